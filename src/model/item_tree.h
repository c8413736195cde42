// One read of the registry: the declared item types and the item tree one rebuild made. A tree is
// built by one thread, then published and never changed again: every search and every export
// call that reads it holds it (`TTree`) until it is done, so any number of threads may read it
// and a later rebuild frees nothing under them.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "model/mem_item.h"

namespace kestrow {

class TTargetCache;

// The item tree as a list of nodes in listing order; a node's Parent says where it lies.
using TMemoryList = std::vector<std::unique_ptr<TMemItem>>;

class TItemTree {
 public:
  TItemTree();
  ~TItemTree();
  TItemTree(const TItemTree&) = delete;
  TItemTree& operator=(const TItemTree&) = delete;

  // The nodes, in the order they were appended: directories before what lies in them.
  TMemoryList Memory;
  // The declared item types: the built-in ones, then those the start-up script declares.
  std::vector<TItemType> ItemTypes;
  // When the read of the registry ended (the tree was complete), and how many writes through the
  // plugin had ended when it began (TSentrel::Writes).
  std::chrono::steady_clock::time_point Built{};
  std::uint64_t WritesBefore = 0;

  // A copy of the whole tree whose Parent references point into the copy, sealed.
  std::unique_ptr<TItemTree> Clone() const;
  // Ends the building: no node is added or changed after this. The lookups below then answer
  // from an index made here (each node's listed name, each directory's entries by name) instead
  // of walking the whole tree, so walking a directory of thousands of entries and looking each up
  // costs time in proportion to the entries, not to their square. Before it they walk the tree,
  // as the rebuild and the start-up script need while they add nodes.
  void Seal();
  // Appends a node and returns it.
  TMemItem* Append(std::unique_ptr<TMemItem> node);
  // Declares a type: adds it to the types and its directory with the three command files to the tree.
  static void InitializeType(std::vector<TItemType>& types, const TItemType& type, TMemoryList& tree);

  // The first declared type of the identifier (by the name rule), or null.
  const TItemType* ItemTypeSearch(const std::u16string& TypeID) const;
  // The type directory of the type, or null.
  const TMemItem* FindRootDirectoryByType(const TItemType& Value) const;
  // The listing's step: the index of the first node at or after the index from whose parent is
  // Parent (null: the root), or none.
  std::optional<std::size_t> FindElement(const TMemItem* Parent, std::size_t from) const;
  // The node's index in Memory, or none when it is not a node of this tree.
  std::optional<std::size_t> PlaceOf(const TMemItem& node) const;
  // The node of the directory listed under the name, or null.
  const TMemItem* FindElementByName(const TMemItem* Parent, const std::u16string& name) const;
  // The directory a listed path names (a type directory or a subkey directory), or null.
  const TMemItem* GetLastParentByPath(const std::u16string& path) const;
  // The node a file name of the content columns names; a name whose directory is not found is
  // looked for among the type directories.
  const TMemItem* GetElementByFileName(const std::u16string& FileName) const;
  // The node a remote path names: the entry, by listed name, of the directory the path's
  // directory part names; a path in the root names a type directory. The directory comes back
  // through the second parameter (null for a type directory or when there is none).
  const TMemItem* NodeAt(const std::u16string& path, const TMemItem** directory = nullptr) const;
  // The name the node is listed under, and the name the lookups above compare: its ValueName, or
  // the listed form of a name the host cannot carry (model/listed_names.h), unique in its
  // directory.
  std::u16string ListedName(const TMemItem& node) const;
  // The registry name that a name given for a new entry of the directory stands for: the listed
  // form read back, or for a shortened form the name of the item listed so. None for a shortened
  // form that names no item.
  std::optional<std::u16string> RealNameFor(const TMemItem& directory, const std::u16string& listed) const;

  // What the tree's nodes start (model/target_cache.h), worked out when first asked and kept as
  // long as the tree; any thread may ask.
  const TTargetCache& Targets() const { return *targets_; }

 private:
  struct Index;
  std::unique_ptr<const Index> index_;  // made by Seal
  std::unique_ptr<TTargetCache> targets_;
};

// A published tree, shared by everyone who reads it.
using TTree = std::shared_ptr<const TItemTree>;

}  // namespace kestrow
