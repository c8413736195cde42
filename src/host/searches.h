// The host's open searches, each listing one directory of the tree it started on, and the one
// rule that decides whether a new search reads the registry afresh.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "host/fsplugin.h"
#include "model/item_tree.h"

namespace kestrow {

// One search (FsFindFirstW to FsFindClose): the tree it lists and its place in it.
struct TSearch {
  TSearch(TTree listed, const TMemItem* dir) : tree(std::move(listed)), directory(dir) {}
  const TTree tree;
  const TMemItem* const directory;  // the directory listed; null for the root
  std::mutex stepping;              // one step at a time, should two threads step one search
  std::size_t pos = 0;              // the index in the tree of the entry returned last
  bool ended = false;               // nothing more to return
};

// A tree is reused for at most this long after its read ended.
inline constexpr std::chrono::seconds kReuseAge{3};

class TSearches {
 public:
  // When a new search lists the newest tree instead of reading the registry afresh.
  //
  // A listing reads the registry afresh, so that a refresh shows every change, except while the
  // host is in the middle of an operation over a tree: copying, counting, deleting or searching
  // a directory with its subdirectories reads every directory of it, and one read serves them
  // all. The newest tree is reused when
  //  (a) another search is open: a search started while another is open (a subdirectory while
  //      its parent is listed, or two directories stepped alternately) lists from the newest
  //      read; or
  //  (b) the host has marked an operation as started with FsStatusInfo and not yet as ended, and
  //      the tree was read since that operation started;
  // and, in either case, when both hold:
  //  - no write through the plugin (a value written or deleted, a key restored, an entry
  //    switched off or on) has ended since its read began: the next listing shows the write;
  //  - its read ended less than kReuseAge ago: a host that leaves a search open or never ends
  //    an operation sees changes made elsewhere after a few seconds all the same, and a walk
  //    that takes longer reads the registry once more every few seconds. Counting from the end
  //    keeps a slow read (a large registry) from being read again almost as soon as it is done.
  TTree Reusable(const TTree& newest, std::uint64_t writes) const;
  // A new search lists a tree read afresh for it.
  void Read(const TTree& tree);

  // The handle of a new open search: never 0 or -1, and never one that is open.
  KS_HANDLE Add(std::shared_ptr<TSearch> search);
  // The open search of the handle, or null for any other value (closed, never given, 0, -1); the
  // handle is only compared, never followed.
  std::shared_ptr<TSearch> Find(KS_HANDLE handle) const;
  // Ends the search of the handle; any other value is ignored.
  void Close(KS_HANDLE handle);
  // FsStatusInfo: an operation starts or ends. Operations may nest; an end without a start is
  // ignored.
  void OperationStarts();
  void OperationEnds();
  // Every search ends and every operation with them.
  void Clear();

 private:
  mutable std::mutex lock_;
  std::map<std::uintptr_t, std::shared_ptr<TSearch>> open_;
  std::uintptr_t last_ = 0;
  int operations_ = 0;
  std::weak_ptr<const TItemTree> readInOperation_;  // the newest tree read since the operation started
};

}  // namespace kestrow
