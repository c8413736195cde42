// The item types the plugin knows of its own, and how each is read.
#pragma once

#include <vector>

#include "model/item_types.h"

namespace kestrow {

struct TBuiltinType {
  enum Shown { ByNames, AllValues, Subkeys };
  TItemType type;
  Shown shown;
  std::vector<std::u16string> names;  // ByNames: the values; Subkeys: the looked-for value first
  ADD_VAL_ARR extras;                 // Subkeys: the further values of each subkey
};

// The 46 types in declaration order.
const std::vector<TBuiltinType>& BuiltinTypes();
// Indexes into BuiltinTypes() in the order the rebuild reads them.
const std::vector<int>& BuiltinScanOrder();

}  // namespace kestrow
