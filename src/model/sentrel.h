// The central object: the newest published item tree, the rebuild that replaces it, the six flags
// and the operations that write the registry for the exports. The scanners that read the
// registry into a tree are model/scanners.h; the start-up script's run is the script layer's.
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
#include "model/settings.h"
#include "model/user_messages.h"
#include "platform/shared_value.h"

namespace kestrow {

class TRegistryEx;

// The central object (`TSentrel`): what the drive shows, how it is read from the registry and how
// the user's commands change it. Any thread may call it: the published tree is replaced under a
// short lock and never changed, rebuilds run one at a time, the flags are replaced whole under a lock.
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

  // The six flags the start-up script can change, read and replaced whole.
  platform::TShared<TSettings> Settings;

  // Where questions and messages go (not owned); none reach the user until the host connects them.
  TUserMessages* Messages = nullptr;
  TUserMessages& User() const { return Messages ? *Messages : NoUserMessages(); }

  // The step of a rebuild after the built-in locations (`BuildTemplateMemory`): the start-up
  // script's run, which the script layer provides and the library connects when it loads; the
  // tree being built and where the script's reports go. None: no script runs.
  std::function<void(TItemTree& tree, TUserMessages& user)> BuildTemplateMemory;

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

 private:
  void Publish(TTree tree);

  // Guards tree_: held only to copy or replace the pointer.
  mutable std::mutex publishing_;
  TTree tree_;
  // One rebuild (or state copy) at a time: the script engine runs one script at a time, and a
  // state copy must not replace a newer tree.
  std::mutex rebuilding_;
  std::atomic<std::uint64_t> writes_{0};

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
