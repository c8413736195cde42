// One node of the item tree.
#pragma once

#include "model/item_types.h"
#include "model/value.h"

namespace kestrow {

class TMemItem {
 public:
  TMemItem(ELEMENT_TYPES MiType, TMemItem* ParentElement) : ElementType(MiType), Parent(ParentElement) {}

  ELEMENT_TYPES ElementType;
  TItemType ItemType;
  std::u16string Address;
  std::u16string ValueName;
  TValue Value;
  TMemItem* Parent;  // not owned; null for a type directory
};

// A copy of a node's own fields that refers to nothing in the tree: what a command keeps while
// control is with the user or the host, whose listing may rebuild the tree meanwhile.
inline TMemItem DetachedCopy(const TMemItem& node) {
  TMemItem copy(node.ElementType, nullptr);
  copy.ItemType = node.ItemType;
  copy.Address = node.Address;
  copy.ValueName = node.ValueName;
  copy.Value = node.Value;
  return copy;
}

}  // namespace kestrow
