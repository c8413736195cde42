#include "model/sentrel.h"

#include <map>
#include <string>

#include "model/command_files.h"
#include "model/listed_names.h"
#include "model/names.h"

namespace kestrow {

TSentrel::~TSentrel() { ClearMemory(); }

void TSentrel::ClearMemory() {
  Memory.reset();
  // The listing sets pos anew before it is used again; it must not dangle meanwhile.
  pos = nullptr;
}

void TSentrel::InitMemory() {
  if (Memory) ClearMemory();
  ItemTypes.clear();
  Memory = std::make_unique<TMemoryList>();
}

TMemItem* TSentrel::Append(std::unique_ptr<TMemItem> node) {
  if (!Memory) Memory = std::make_unique<TMemoryList>();
  Memory->push_back(std::move(node));
  return Memory->back().get();
}

void TSentrel::InitializeType(std::vector<TItemType>& types, const TItemType& type, TMemoryList& tree) {
  types.push_back(type);
  TMemItem* parent = tree.emplace_back(MakeNode(ELT_DIRECTORY, nullptr, type, type.DefAddr, type.TypeID)).get();
  for (const char16_t* name : kCommandFiles) {
    auto cmd = MakeNode(ELT_COMMAND, parent, parent->ItemType, parent->Address, name);
    cmd->Value = TValue::Text(u"");
    tree.push_back(std::move(cmd));
  }
}

TItemType* TSentrel::ItemTypeSearch(const std::u16string& TypeID) {
  for (auto& t : ItemTypes)
    if (SameName(t.TypeID, TypeID)) return &t;
  return nullptr;
}

TMemItem* TSentrel::FindRootDirectoryByType(const TItemType& Value) const {
  if (!Memory) return nullptr;
  for (const auto& n : *Memory)
    if (n->Parent == nullptr && n->ElementType == ELT_DIRECTORY && n->ItemType.TypeID == Value.TypeID) return n.get();
  return nullptr;
}

TMemItem* TSentrel::FindElement(const TMemItem* Parent) const {
  if (!Memory) return nullptr;
  std::size_t start = 0;
  if (pos) {
    if (lastFound_ < Memory->size() && (*Memory)[lastFound_].get() == pos) {
      start = lastFound_ + 1;
    } else {
      for (std::size_t i = 0; i < Memory->size(); ++i)
        if ((*Memory)[i].get() == pos) {
          start = i + 1;
          break;
        }
    }
  }
  for (std::size_t i = start; i < Memory->size(); ++i)
    if ((*Memory)[i]->Parent == Parent) {
      lastFound_ = i;
      return (*Memory)[i].get();
    }
  return nullptr;
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

std::u16string TSentrel::ListedName(const TMemItem& node) const {
  if (node.ElementType == ELT_COMMAND || !NeedsListedForm(node.ValueName)) return node.ValueName;
  ListedNames names;
  if (Memory)
    for (const auto& n : *Memory) {
      if (n.get() == &node) break;
      if (n->Parent == node.Parent) names.Of(*n);
    }
  return names.Of(node);
}

TMemItem* TSentrel::FindElementByName(const TMemItem* Parent, const std::u16string& name) const {
  if (!Memory) return nullptr;
  ListedNames names;
  for (const auto& n : *Memory)
    if (n->Parent == Parent && SameName(names.Of(*n), name)) return n.get();
  return nullptr;
}

std::optional<std::u16string> TSentrel::RealNameFor(const TMemItem& directory, const std::u16string& listed) const {
  if (!IsShortenedForm(listed)) return RealNameOf(listed);
  const TMemItem* item = FindElementByName(&directory, listed);
  if (!item || item->ElementType != ELT_ITEM) return std::nullopt;
  return item->ValueName;
}

TMemItem* TSentrel::GetLastParentByPath(const std::u16string& path) {
  const std::u16string last = NamePart(path);
  const std::u16string previous = NamePart(DirectoryPart(path));
  // The type directories lie in the root under their listed names; the first of a name wins, as
  // the type lookup by TypeID finds the first type of that name.
  if (!previous.empty()) {
    TMemItem* dir = FindElementByName(nullptr, previous);
    if (!dir) return nullptr;
    return FindElementByName(dir, last);
  }
  return FindElementByName(nullptr, last);
}

TMemItem* TSentrel::GetElementByFileName(const std::u16string& FileName) {
  TMemItem* dir = GetLastParentByPath(DirectoryPart(FileName));
  if (dir) return FindElementByName(dir, NamePart(FileName));
  return FindElementByName(nullptr, NamePart(FileName));
}

TMemItem* TSentrel::NodeAt(const std::u16string& path, TMemItem** directory) {
  const std::u16string dirPart = DirectoryPart(path);
  TMemItem* dir = GetLastParentByPath(dirPart);
  if (directory) *directory = dir;
  if (dir) return FindElementByName(dir, NamePart(path));
  // The root, which no node stands for, holds the type directories and nothing else.
  if (dirPart != u"\\") return nullptr;
  TMemItem* node = FindElementByName(nullptr, NamePart(path));
  return node && node->ElementType == ELT_DIRECTORY ? node : nullptr;
}

std::unique_ptr<TMemItem> MakeTemplate(const TMemItem& directory, const std::u16string& valueName) {
  return MakeNode(ELT_ITEM, const_cast<TMemItem*>(&directory), directory.ItemType, directory.ItemType.DefAddr,
                  valueName);
}

}  // namespace kestrow
