#include "model/names.h"
#include "model/sentrel.h"

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
  auto dir = std::make_unique<TMemItem>(ELT_DIRECTORY, nullptr);
  dir->ItemType = type;
  dir->ValueName = type.TypeID;
  dir->Address = type.DefAddr;
  TMemItem* parent = dir.get();
  tree.push_back(std::move(dir));
  for (const char16_t* name : {u".ADD", u".SAVE", u".RESTORE"}) {
    auto cmd = std::make_unique<TMemItem>(ELT_COMMAND, parent);
    cmd->ItemType = parent->ItemType;
    cmd->Address = parent->Address;
    cmd->ValueName = name;
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
    for (std::size_t i = 0; i < Memory->size(); ++i)
      if ((*Memory)[i].get() == pos) {
        start = i + 1;
        break;
      }
  }
  for (std::size_t i = start; i < Memory->size(); ++i)
    if ((*Memory)[i]->Parent == Parent) return (*Memory)[i].get();
  return nullptr;
}

TMemItem* TSentrel::FindElementByName(const TMemItem* Parent, const std::u16string& name) const {
  if (!Memory) return nullptr;
  for (const auto& n : *Memory)
    if (n->Parent == Parent && SameName(n->ValueName, name)) return n.get();
  return nullptr;
}

TMemItem* TSentrel::GetLastParentByPath(const std::u16string& path) {
  const std::u16string last = NamePart(path);
  const std::u16string previous = NamePart(DirectoryPart(path));
  if (!previous.empty()) {
    TItemType* t = ItemTypeSearch(previous);
    if (!t) return nullptr;
    TMemItem* dir = FindRootDirectoryByType(*t);
    if (!dir) return nullptr;
    return FindElementByName(dir, last);
  }
  TItemType* t = ItemTypeSearch(last);
  return t ? FindRootDirectoryByType(*t) : nullptr;
}

TMemItem* TSentrel::GetElementByFileName(const std::u16string& FileName) {
  TMemItem* dir = GetLastParentByPath(DirectoryPart(FileName));
  if (dir) return FindElementByName(dir, NamePart(FileName));
  return FindElementByName(nullptr, NamePart(FileName));
}

std::unique_ptr<TMemItem> MakeTemplate(const TMemItem& directory, const std::u16string& valueName) {
  auto t = std::make_unique<TMemItem>(ELT_ITEM, const_cast<TMemItem*>(&directory));
  t->ItemType = directory.ItemType;
  t->Address = directory.ItemType.DefAddr;
  t->ValueName = valueName;
  return t;
}

}  // namespace kestrow
