#include "model/item_tree.h"

#include <map>
#include <string>
#include <unordered_map>

#include "model/command_files.h"
#include "model/listed_names.h"
#include "model/names.h"
#include "model/target_cache.h"

namespace kestrow {

// What Seal works out once for the lookups: the listed name of every node (by its place in
// Memory), where each node sits, the type directories, and each directory's entries by their
// listed names with "a".."z" folded (the name rule), the first of a name kept.
struct TItemTree::Index {
  std::vector<std::u16string> listed;
  std::unordered_map<const TMemItem*, std::size_t> place;
  std::vector<const TMemItem*> roots;
  std::unordered_map<const TMemItem*, std::unordered_map<std::u16string, const TMemItem*>> byName;
};

TItemTree::TItemTree() : targets_(std::make_unique<TTargetCache>()) {}
TItemTree::~TItemTree() = default;

std::unique_ptr<TItemTree> TItemTree::Clone() const {
  auto copy = std::make_unique<TItemTree>();
  copy->ItemTypes = ItemTypes;
  copy->Built = Built;
  copy->WritesBefore = WritesBefore;
  copy->Memory.reserve(Memory.size());
  // A directory comes before what lies in it, so every parent is copied before its children.
  std::unordered_map<const TMemItem*, const TMemItem*> copied;
  for (const auto& n : Memory) {
    auto node = std::make_unique<TMemItem>(*n);
    if (n->Parent) node->Parent = copied.at(n->Parent);
    copied[n.get()] = node.get();
    copy->Memory.push_back(std::move(node));
  }
  copy->Seal();
  return copy;
}

TMemItem* TItemTree::Append(std::unique_ptr<TMemItem> node) {
  Memory.push_back(std::move(node));
  return Memory.back().get();
}

void TItemTree::InitializeType(std::vector<TItemType>& types, const TItemType& type, TMemoryList& tree) {
  types.push_back(type);
  const TMemItem* parent = tree.emplace_back(MakeNode(ELT_DIRECTORY, nullptr, type, type.DefAddr, type.TypeID)).get();
  for (const char16_t* name : kCommandFiles) {
    auto cmd = MakeNode(ELT_COMMAND, parent, parent->ItemType, parent->Address, name);
    cmd->Value = TValue::Text(u"");
    tree.push_back(std::move(cmd));
  }
}

const TItemType* TItemTree::ItemTypeSearch(const std::u16string& TypeID) const {
  for (const auto& t : ItemTypes)
    if (SameName(t.TypeID, TypeID)) return &t;
  return nullptr;
}

const TMemItem* TItemTree::FindRootDirectoryByType(const TItemType& Value) const {
  if (index_) {
    for (const TMemItem* n : index_->roots)
      if (n->ItemType.TypeID == Value.TypeID) return n;
    return nullptr;
  }
  for (const auto& n : Memory)
    if (n->Parent == nullptr && n->ElementType == ELT_DIRECTORY && n->ItemType.TypeID == Value.TypeID) return n.get();
  return nullptr;
}

std::optional<std::size_t> TItemTree::FindElement(const TMemItem* Parent, std::size_t from) const {
  for (std::size_t i = from; i < Memory.size(); ++i)
    if (Memory[i]->Parent == Parent) return i;
  return std::nullopt;
}

std::optional<std::size_t> TItemTree::PlaceOf(const TMemItem& node) const {
  if (index_) {
    const auto at = index_->place.find(&node);
    if (at == index_->place.end()) return std::nullopt;
    return at->second;
  }
  for (std::size_t i = 0; i < Memory.size(); ++i)
    if (Memory[i].get() == &node) return i;
  return std::nullopt;
}

namespace {

// The listed names of one directory's nodes in Memory order. Shortened forms that come out alike
// for different names get a counter, by the order of the names' first nodes.
class ListedNames {
 public:
  std::u16string Of(const TMemItem& n) {
    if (n.ElementType == ELT_COMMAND || !NeedsListedForm(n.ValueName)) return n.ValueName;
    std::u16string base = ListedForm(n.ValueName);
    if (!IsShortenedForm(base)) return base;
    std::vector<std::u16string>& names = shortened_[base];
    std::size_t k = 0;
    while (k < names.size() && names[k] != n.ValueName) ++k;
    if (k == names.size()) names.push_back(n.ValueName);
    if (k == 0) return base;
    const std::string counter = std::to_string(k + 1);
    return base + u"~" + std::u16string(counter.begin(), counter.end());
  }

 private:
  std::map<std::u16string, std::vector<std::u16string>> shortened_;
};

}  // namespace

void TItemTree::Seal() {
  auto index = std::make_unique<Index>();
  index->listed.reserve(Memory.size());
  index->place.reserve(Memory.size());
  // One pass in Memory order gives each directory's names in the order the linear lookups see
  // them, counters of shortened forms included.
  std::unordered_map<const TMemItem*, ListedNames> names;
  for (std::size_t i = 0; i < Memory.size(); ++i) {
    const TMemItem& n = *Memory[i];
    std::u16string listed = names[n.Parent].Of(n);
    index->byName[n.Parent].emplace(FoldedName(listed), &n);
    index->listed.push_back(std::move(listed));
    index->place.emplace(&n, i);
    if (!n.Parent && n.ElementType == ELT_DIRECTORY) index->roots.push_back(&n);
  }
  index_ = std::move(index);
}

std::u16string TItemTree::ListedName(const TMemItem& node) const {
  if (node.ElementType == ELT_COMMAND || !NeedsListedForm(node.ValueName)) return node.ValueName;
  if (index_) {
    const auto at = index_->place.find(&node);
    if (at != index_->place.end()) return index_->listed[at->second];
  }
  ListedNames names;
  for (const auto& n : Memory) {
    if (n.get() == &node) break;
    if (n->Parent == node.Parent) names.Of(*n);
  }
  return names.Of(node);
}

const TMemItem* TItemTree::FindElementByName(const TMemItem* Parent, const std::u16string& name) const {
  if (index_) {
    const auto dir = index_->byName.find(Parent);
    if (dir == index_->byName.end()) return nullptr;
    const auto found = dir->second.find(FoldedName(name));
    return found == dir->second.end() ? nullptr : found->second;
  }
  ListedNames names;
  for (const auto& n : Memory)
    if (n->Parent == Parent && SameName(names.Of(*n), name)) return n.get();
  return nullptr;
}

std::optional<std::u16string> TItemTree::RealNameFor(const TMemItem& directory, const std::u16string& listed) const {
  if (!IsShortenedForm(listed)) return RealNameOf(listed);
  const TMemItem* item = FindElementByName(&directory, listed);
  if (!item || item->ElementType != ELT_ITEM) return std::nullopt;
  return item->ValueName;
}

const TMemItem* TItemTree::GetLastParentByPath(const std::u16string& path) const {
  const std::u16string last = NamePart(path);
  const std::u16string previous = NamePart(DirectoryPart(path));
  // The type directories lie in the root under their listed names; the first of a name wins, as
  // the type lookup by TypeID finds the first type of that name.
  if (!previous.empty()) {
    const TMemItem* dir = FindElementByName(nullptr, previous);
    if (!dir) return nullptr;
    return FindElementByName(dir, last);
  }
  return FindElementByName(nullptr, last);
}

const TMemItem* TItemTree::GetElementByFileName(const std::u16string& FileName) const {
  const TMemItem* dir = GetLastParentByPath(DirectoryPart(FileName));
  if (dir) return FindElementByName(dir, NamePart(FileName));
  return FindElementByName(nullptr, NamePart(FileName));
}

const TMemItem* TItemTree::NodeAt(const std::u16string& path, const TMemItem** directory) const {
  const std::u16string dirPart = DirectoryPart(path);
  const TMemItem* dir = GetLastParentByPath(dirPart);
  if (directory) *directory = dir;
  if (dir) return FindElementByName(dir, NamePart(path));
  // The root, which no node stands for, holds the type directories and nothing else.
  if (dirPart != u"\\") return nullptr;
  const TMemItem* node = FindElementByName(nullptr, NamePart(path));
  return node && node->ElementType == ELT_DIRECTORY ? node : nullptr;
}

}  // namespace kestrow
