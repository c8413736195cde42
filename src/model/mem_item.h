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

}  // namespace kestrow
