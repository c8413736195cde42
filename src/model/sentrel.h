// The central object: the newest published item tree, the rebuild that replaces it, the six flags
// and the operations that read and write the registry for the exports.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "model/item_tree.h"
#include "model/mem_item.h"
#include "model/user_messages.h"
#include "platform/shared_value.h"

namespace kestrow {

class TRegistryEx;

// The central object (`TSentrel`): what the drive shows, how it is read from the registry and how
// the user's commands change it. Any thread may call it: the published tree is replaced under a
// short lock and never changed, rebuilds run one at a time, the flags are atomic.
class TSentrel {
 public:
  TSentrel();
  virtual ~TSentrel();
  TSentrel(const TSentrel&) = delete;
  TSentrel& operator=(const TSentrel&) = delete;

  // The newest published tree: an empty one until the first rebuild.
  TTree Tree() const;
  // Reads the registry afresh into a new tree (the built-in locations, the start-up script, the
  // switched-off marks), publishes it and returns it. Rebuilds run one at a time; what the
  // start-up script reports reaches the user after the tree is published and no lock is held.
  TTree Rebuild();
  // How many writes through the plugin (values written or deleted, keys restored, marks written)
  // have ended so far: a tree read before the last of them may not show it.
  std::uint64_t Writes() const { return writes_.load(); }
  // Publishes a copy of the newest tree in which the entry at the path shows the state, so the
  // entry's switched-off state is seen before the next listing reads it again.
  void ShowStartupState(const std::u16string& path, const TStartupState& state);

  std::atomic<bool> fConfirmChange{true};   // ask before a dialog writes a changed value
  std::atomic<bool> fConfirmDelete{true};   // ask before a value is deleted
  std::atomic<bool> fConfirmAdd{true};      // ask before a new value is written
  std::atomic<bool> fConfirmRestore{true};  // ask before a key is restored from a key file
  std::atomic<bool> fCanCreateKey{false};   // a write may create the key it goes to
  std::atomic<bool> fDebugStrings{false};   // say when a string write keeps the expandable type

  // Where questions and messages go (not owned); none reach the user until the host connects them.
  TUserMessages* Messages = nullptr;
  TUserMessages& User() const { return Messages ? *Messages : NoUserMessages(); }
  // The plugin's folder ending in a backslash, where the start-up script and the engine lie;
  // empty when it is not known.
  platform::TShared<std::u16string> PluginFolder;

  // Registry scanners: each appends the nodes of one location to the tree being built.
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
  void AddSingleValue(TMemoryList& tree, const TMemItem& directory, const std::u16string& valueName);
  // The single-value rule for several names of one directory, read through one open key.
  void AddNamedValues(TMemoryList& tree, const TMemItem& directory, const std::vector<std::u16string>& valueNames);
  // The node's value read from the registry object's open key, in the form of the node's type.
  static TValue RegReadValue(TRegistryEx& Reg, const TMemItem& Mi);

  // The steps of a rebuild, on the tree being built.
  void InitializeAllTypes(TItemTree& tree);  // declares the built-in types
  void BuildMemory(TItemTree& tree);         // the built-in locations
  // Runs the start-up script, which may add types and values; its reports go to the user given.
  void BuildTemplateMemory(TItemTree& tree, TUserMessages& user);

  // Writes the node's description into the file; false when the file cannot be written.
  bool GenerateTextInfo(const TMemItem& Mi, const std::u16string& FileName) const;

  // Writes the value for the node (creating its key when allowed); true when it was written.
  bool ApplyNewValue(const TMemItem& Mi, const TValue& Value, bool CreateKey);
  // Deletes the node's value when its type is optional; true when it went.
  bool TryDeleteValue(const TMemItem& Mi);

  // The switched-off marks of the Run locations (model/startup_marks.h).
  // Reads the state of every entry of those locations in the tree.
  void ReadStartupStates(TItemTree& tree);
  // The entry's state as the registry holds it now; none when its type keeps no marks.
  std::optional<TStartupState> ReadStartupState(const TMemItem& Mi);
  // Writes the entry's mark: off since now, or on; true when it was written (or, to switch on,
  // when there is no mark key).
  bool WriteStartupState(const TMemItem& Mi, bool Off);

  // Saves the node's key into the key file, replacing it only when the save worked.
  bool SaveKey(const TMemItem& Mi, const std::u16string& FileName);
  // Restores the node's key from the key file.
  bool RestoreKey(const TMemItem& Mi, const std::u16string& FileName);

  // Runs the start-up script into the tree; false (after telling the user) when it did not run
  // to its end.
  bool ExecuteScript(const std::u16string& FileName, TItemTree& tree, TUserMessages& user);
  // The four confirmation flags, as the script sets them.
  void SetConfirmation(bool ConfirmChange, bool ConfirmDelete, bool ConfirmAdd, bool ConfirmRestore);
  // The two configuration flags, as the script sets them.
  void SetConfiguration(bool CanCreateKey, bool CanDebugStrings);

  // Test seam: called at the end of BuildTemplateMemory with the tree being built, so tests can
  // declare types and add nodes the way the start-up script does. Set it while no rebuild runs.
  std::function<void(TSentrel&, TItemTree&)> AfterTemplate;

 private:
  void Publish(TTree tree);

  // Guards tree_: held only to copy or replace the pointer.
  mutable std::mutex publishing_;
  TTree tree_;
  // One rebuild (or state copy) at a time: the script engine runs one script at a time, and a
  // state copy must not replace a newer tree.
  std::mutex rebuilding_;
  std::atomic<std::uint64_t> writes_{0};
  // The user has been told that the plugin folder is not known.
  std::atomic<bool> folderReported_{false};

  friend class TWriteNote;
};

// Counts a write through the plugin when it ends, however it ends.
class TWriteNote {
 public:
  explicit TWriteNote(TSentrel& sentrel) : sentrel_(sentrel) {}
  ~TWriteNote() { ++sentrel_.writes_; }
  TWriteNote(const TWriteNote&) = delete;
  TWriteNote& operator=(const TWriteNote&) = delete;

 private:
  TSentrel& sentrel_;
};

}  // namespace kestrow
