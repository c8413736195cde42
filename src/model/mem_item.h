// One node of the item tree.
#pragma once

#include <memory>
#include <utility>

#include "model/item_types.h"
#include "model/value.h"

namespace kestrow {

// Whether a Run entry is switched off the way the system's start-up settings switch it off, and
// since when (a FILETIME; zero when the mark holds no time).
struct TStartupState {
  bool Off = false;
  std::uint64_t OffSince = 0;
};

// A node of the item tree (`TMemItem`): a type directory, a subkey directory, a value or a
// command file, with the type it belongs to, its key and its value's name and data.
class TMemItem {
 public:
  TMemItem(ELEMENT_TYPES MiType, const TMemItem* ParentElement) : ElementType(MiType), Parent(ParentElement) {}
  TMemItem(ELEMENT_TYPES MiType, const TMemItem* ParentElement, const TItemType& type, std::u16string address,
           std::u16string valueName)
      : ElementType(MiType),
        ItemType(type),
        Address(std::move(address)),
        ValueName(std::move(valueName)),
        Parent(ParentElement) {}

  ELEMENT_TYPES ElementType;
  TItemType ItemType;
  std::u16string Address;
  std::u16string ValueName;
  TValue Value;
  TStartupState Startup;  // read for the entries of the Run locations only (model/startup_marks.h)
  // When the key the node is read from was last written (a FILETIME in UTC), read while scanning;
  // 0 when it is not known (a command file, a key that could not be opened).
  std::uint64_t Changed = 0;
  const TMemItem* Parent;  // not owned; null for a type directory
};

// A copy of a node's own fields that refers to nothing in the tree: what a command keeps while
// control is with the user or the host, whose listing may rebuild the tree meanwhile.
inline TMemItem DetachedCopy(const TMemItem& node) {
  TMemItem copy(node.ElementType, nullptr, node.ItemType, node.Address, node.ValueName);
  copy.Value = node.Value;
  copy.Startup = node.Startup;
  copy.Changed = node.Changed;
  return copy;
}

// The one way a node for the tree is made: its kind, parent, type, key and value name.
inline std::unique_ptr<TMemItem> MakeNode(ELEMENT_TYPES kind, const TMemItem* parent, const TItemType& type,
                                          std::u16string address, std::u16string valueName) {
  return std::make_unique<TMemItem>(kind, parent, type, std::move(address), std::move(valueName));
}

// A value of the directory's type that the caller creates: what the scanners and the script
// routines fill and append.
inline std::unique_ptr<TMemItem> MakeTemplate(const TMemItem& directory, const std::u16string& valueName) {
  return MakeNode(ELT_ITEM, &directory, directory.ItemType, directory.ItemType.DefAddr, valueName);
}

}  // namespace kestrow
