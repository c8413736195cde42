// What each node of a published tree starts: its targets, whether they are there, and who made
// the first one, worked out the first time a column or an icon asks and kept with the tree.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "model/targets/target_resolver.h"

namespace kestrow {

class TItemTree;
class TMemItem;

// What a node starts.
struct TNodeTargets {
  // The files, in the order the value names them; empty when the node starts no file.
  std::vector<Target> targets;
  // The company name and file description of the first target found.
  std::u16string Publisher;
  std::u16string Description;

  // The targets' paths joined by "; ".
  std::u16string TargetText() const;
  // "Missing" when any target is missing, "Found" when all are there, empty without targets.
  std::u16string StateText() const;
  bool Missing() const;
};

// The targets of a tree's nodes. The tree is never changed after it is published, so what is
// worked out for a node holds as long as the tree does. Any thread may ask: the files are read
// outside the lock, and when two threads work out the same node at once the first answer stored
// is the one both keep.
class TTargetCache {
 public:
  TTargetCache();
  ~TTargetCache();
  TTargetCache(const TTargetCache&) = delete;
  TTargetCache& operator=(const TTargetCache&) = delete;

  // What the node of the tree starts. A type directory and a command file start nothing; a
  // subkey directory starts what its starting value starts (StartingValue).
  std::shared_ptr<const TNodeTargets> Of(const TItemTree& tree, const TMemItem& node) const;
  // Whether the node's answer is worked out already, so that Of returns without touching files.
  bool Known(const TMemItem& node) const;

  // The value of the subkey directory that makes it an autostart entry: the first value of a
  // known kind (a service's ImagePath, a debugger, a stub path, a notification DLL), else the
  // first value in it; null when it holds none.
  static const TMemItem* StartingValue(const TItemTree& tree, const TMemItem& directory);
  // The request the resolver gets for a value of the tree.
  static TargetRequest RequestFor(const TMemItem& value);

 private:
  const TargetLookup& Lookup() const;
  std::shared_ptr<const TNodeTargets> Work(const TItemTree& tree, const TMemItem& node) const;
  // The version strings of a file, each file read once.
  std::pair<std::u16string, std::u16string> VersionOf(const std::u16string& path) const;

  // The running system's answers, made the first time a node is worked out (the listing alone
  // never needs them).
  mutable std::once_flag lookupMade_;
  mutable std::unique_ptr<TargetLookup> lookup_;
  mutable std::mutex lock_;
  mutable std::unordered_map<const TMemItem*, std::shared_ptr<const TNodeTargets>> nodes_;
  mutable std::unordered_map<std::u16string, std::pair<std::u16string, std::u16string>> versions_;
};

}  // namespace kestrow
