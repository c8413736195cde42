// The central object: the declared item types, the item tree and the six flags.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "model/mem_item.h"
#include "model/user_messages.h"

namespace kestrow {

class TRegistryEx;

// The item tree as a list of nodes in listing order; a node's Parent says where it lies.
using TMemoryList = std::vector<std::unique_ptr<TMemItem>>;

// The central object (`TSentrel`): what the drive shows, how it is read from the registry and how
// the user's commands change it.
class TSentrel {
 public:
  TSentrel() = default;
  virtual ~TSentrel();
  TSentrel(const TSentrel&) = delete;
  TSentrel& operator=(const TSentrel&) = delete;

  // The tree; null until the first rebuild. Nodes are only appended, and freed all at once.
  std::unique_ptr<TMemoryList> Memory;
  // The listing's place in the tree: the node the last FsFindFirstW or FsFindNextW returned.
  TMemItem* pos = nullptr;
  // The declared item types: the built-in ones, then those the start-up script declares.
  std::vector<TItemType> ItemTypes;
  bool fConfirmChange = true;   // ask before a dialog writes a changed value
  bool fConfirmDelete = true;   // ask before a value is deleted
  bool fConfirmAdd = true;      // ask before a new value is written
  bool fConfirmRestore = true;  // ask before a key is restored from a key file
  bool fCanCreateKey = false;   // a write may create the key it goes to
  bool fDebugStrings = false;   // say when a string write keeps the expandable type

  // Where questions and messages go (not owned); none reach the user until the host connects them.
  TUserMessages* Messages = nullptr;
  TUserMessages& User() const { return Messages ? *Messages : NoUserMessages(); }
  // The plugin's folder ending in a backslash, where the start-up script and the engine lie;
  // empty when it is not known.
  std::u16string PluginFolder;

  // The tree and its lookups.
  void ClearMemory();  // frees the tree
  void InitMemory();   // an empty tree and no types
  // Declares a type: adds it to the types and its directory with the three command files to the tree.
  static void InitializeType(std::vector<TItemType>& types, const TItemType& type, TMemoryList& tree);
  // The first declared type of the identifier (by the name rule), or null.
  TItemType* ItemTypeSearch(const std::u16string& TypeID);
  // The type directory of the type, or null.
  TMemItem* FindRootDirectoryByType(const TItemType& Value) const;
  // The next node after pos whose parent is Parent, or null: the listing's step.
  TMemItem* FindElement(const TMemItem* Parent) const;
  // The node of the directory listed under the name, or null.
  TMemItem* FindElementByName(const TMemItem* Parent, const std::u16string& name) const;
  // The directory a listed path names (a type directory or a subkey directory), or null.
  TMemItem* GetLastParentByPath(const std::u16string& path);
  // The node a file name of the content columns names; a name whose directory is not found is
  // looked for among the type directories.
  TMemItem* GetElementByFileName(const std::u16string& FileName);
  // The node a remote path names: the entry, by listed name, of the directory the path's
  // directory part names; a path in the root names a type directory. The directory comes back
  // through the second parameter (null for a type directory or when there is none).
  TMemItem* NodeAt(const std::u16string& path, TMemItem** directory = nullptr);
  // The name the node is listed under, and the name the lookups above compare: its ValueName, or
  // the listed form of a name the host cannot carry (model/listed_names.h), unique in its
  // directory.
  std::u16string ListedName(const TMemItem& node) const;
  // The registry name that a name given for a new entry of the directory stands for: the listed
  // form read back, or for a shortened form the name of the item listed so. None for a shortened
  // form that names no item.
  std::optional<std::u16string> RealNameFor(const TMemItem& directory, const std::u16string& listed) const;
  // Appends a node to the tree (creating the tree when there is none) and returns it.
  TMemItem* Append(std::unique_ptr<TMemItem> node);

  // Registry scanners.
  // The value the node names as the registry holds it now; Null when it is not there.
  TValue RegGetValue(const TMemItem& Mi);
  // Appends a node for every named value of the template's key.
  void RegGetAllValues(const TMemItem& templ, TMemoryList& tree);
  // Appends a directory for every subkey of the template's key, with the looked-for value and
  // the extra values in it.
  void RegGetAllSubkeysByValue(const TMemItem& templ, TMemoryList& tree, const std::u16string& valueName,
                               const ADD_VAL_ARR& extras);
  // The single-value rule: reads the named value and appends it when the type is ET_MUST or the
  // value is present.
  void AddSingleValue(const TMemItem& directory, const std::u16string& valueName);
  // The single-value rule for several names of one directory, read through one open key.
  void AddNamedValues(const TMemItem& directory, const std::vector<std::u16string>& valueNames);
  // The node's value read from the registry object's open key, in the form of the node's type.
  static TValue RegReadValue(TRegistryEx& Reg, const TMemItem& Mi);

  // The rebuild.
  void InitializeAllTypes();   // declares the built-in types
  void BuildMemory();          // a new tree from the built-in locations
  void BuildTemplateMemory();  // runs the start-up script, which may add types and values

  // Writes the node's description into the file; false when the file cannot be written.
  bool GenerateTextInfo(const TMemItem& Mi, const std::u16string& FileName) const;

  // Writes the value for the node (creating its key when allowed); true when it was written.
  bool ApplyNewValue(const TMemItem& Mi, const TValue& Value, bool CreateKey);
  // Deletes the node's value when its type is optional; true when it went.
  bool TryDeleteValue(const TMemItem& Mi);

  // The switched-off marks of the Run locations (model/startup_marks.h).
  // Reads the state of every entry of those locations in the tree.
  void ReadStartupStates();
  // The entry's state as the registry holds it now; none when its type keeps no marks.
  std::optional<TStartupState> ReadStartupState(const TMemItem& Mi);
  // Writes the entry's mark: off since now, or on; true when it was written (or, to switch on,
  // when there is no mark key).
  bool WriteStartupState(const TMemItem& Mi, bool Off);

  // Saves the node's key into the key file, replacing it only when the save worked.
  bool SaveKey(const TMemItem& Mi, const std::u16string& FileName);
  // Restores the node's key from the key file.
  bool RestoreKey(const TMemItem& Mi, const std::u16string& FileName);

  // Runs the start-up script; false (after telling the user) when it did not run to its end.
  bool ExecuteScript(const std::u16string& FileName);
  // The four confirmation flags, as the script sets them.
  void SetConfirmation(bool ConfirmChange, bool ConfirmDelete, bool ConfirmAdd, bool ConfirmRestore);
  // The two configuration flags, as the script sets them.
  void SetConfiguration(bool CanCreateKey, bool CanDebugStrings);

  // Test seam: called at the end of BuildTemplateMemory, so tests can declare types the way the
  // start-up script does.
  std::function<void(TSentrel&)> AfterTemplate;

 private:
  // Where the last node FindElement returned sits in Memory: the listing moves pos there, so the
  // next call usually finds pos at once instead of by a search.
  mutable std::size_t lastFound_ = 0;
  // The user has been told that the plugin folder is not known.
  bool folderReported_ = false;
};

// A node of the tree that the caller creates; the tree copy rules of a template node.
std::unique_ptr<TMemItem> MakeTemplate(const TMemItem& directory, const std::u16string& valueName);

}  // namespace kestrow
