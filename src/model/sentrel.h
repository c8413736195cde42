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

using TMemoryList = std::vector<std::unique_ptr<TMemItem>>;

class TSentrel {
 public:
  TSentrel() = default;
  virtual ~TSentrel();
  TSentrel(const TSentrel&) = delete;
  TSentrel& operator=(const TSentrel&) = delete;

  // The tree; null until the first rebuild. Nodes are only appended, and freed all at once.
  std::unique_ptr<TMemoryList> Memory;
  TMemItem* pos = nullptr;
  std::vector<TItemType> ItemTypes;
  bool fConfirmChange = true;
  bool fConfirmDelete = true;
  bool fConfirmAdd = true;
  bool fConfirmRestore = true;
  bool fCanCreateKey = false;
  bool fDebugStrings = false;

  // Where questions and messages go (not owned); none reach the user until the host connects them.
  TUserMessages* Messages = nullptr;
  TUserMessages& User() const { return Messages ? *Messages : NoUserMessages(); }
  // The plugin's folder ending in a backslash, where the start-up script and the engine lie; empty when
  // it is not known.
  std::u16string PluginFolder;

  // The tree and its lookups.
  void ClearMemory();
  void InitMemory();
  static void InitializeType(std::vector<TItemType>& types, const TItemType& type, TMemoryList& tree);
  TItemType* ItemTypeSearch(const std::u16string& TypeID);
  TMemItem* FindRootDirectoryByType(const TItemType& Value) const;
  TMemItem* FindElement(const TMemItem* Parent) const;
  TMemItem* FindElementByName(const TMemItem* Parent, const std::u16string& name) const;
  TMemItem* GetLastParentByPath(const std::u16string& path);
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
  TValue RegGetValue(const TMemItem& Mi);
  void RegGetAllValues(const TMemItem& templ, TMemoryList& tree);
  void RegGetAllSubkeysByValue(const TMemItem& templ, TMemoryList& tree, const std::u16string& valueName,
                               const ADD_VAL_ARR& extras);
  // The single-value rule: reads the named value and appends it when the type is ET_MUST or the
  // value is present.
  void AddSingleValue(const TMemItem& directory, const std::u16string& valueName);
  // The single-value rule for several names of one directory, read through one open key.
  void AddNamedValues(const TMemItem& directory, const std::vector<std::u16string>& valueNames);
  static TValue RegReadValue(TRegistryEx& Reg, const TMemItem& Mi);

  // The rebuild.
  void InitializeAllTypes();
  void BuildMemory();
  void BuildTemplateMemory();

  // Description text.
  bool GenerateTextInfo(const TMemItem& Mi, const std::u16string& FileName) const;

  // Writing and deleting values.
  bool ApplyNewValue(const TMemItem& Mi, const TValue& Value, bool CreateKey);
  bool TryDeleteValue(const TMemItem& Mi);

  // Key files.
  bool SaveKey(const TMemItem& Mi, const std::u16string& FileName);
  bool RestoreKey(const TMemItem& Mi, const std::u16string& FileName);

  // The start-up script and the two methods it may call on the central object.
  bool ExecuteScript(const std::u16string& FileName);
  void SetConfirmation(bool ConfirmChange, bool ConfirmDelete, bool ConfirmAdd, bool ConfirmRestore);
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
