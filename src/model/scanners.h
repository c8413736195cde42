// The registry scanners and the build of the built-in locations: each scanner appends the nodes
// of one registry location to the tree being built. They keep nothing between two calls.
#pragma once

#include <string>
#include <vector>

#include "model/item_tree.h"
#include "model/mem_item.h"

namespace kestrow {

class TRegistryEx;

class TScanners {
 public:
  // The value the node names as the registry holds it now; Null when it is not there.
  static TValue RegGetValue(const TMemItem& Mi);
  // Appends a node for every named value of the template's key.
  static void RegGetAllValues(const TMemItem& templ, TMemoryList& tree);
  // Appends a directory for every subkey of the template's key, with the looked-for value and
  // the extra values in it.
  static void RegGetAllSubkeysByValue(const TMemItem& templ, TMemoryList& tree, const std::u16string& valueName,
                                      const ADD_VAL_ARR& extras);
  // The single-value rule: reads the named value and appends it when the type is ET_MUST or the
  // value is present.
  static void AddSingleValue(TMemoryList& tree, const TMemItem& directory, const std::u16string& valueName);
  // The single-value rule for several names of one directory, read through one open key.
  static void AddNamedValues(TMemoryList& tree, const TMemItem& directory,
                             const std::vector<std::u16string>& valueNames);
  // The node's value read from the registry object's open key, in the form of the node's type.
  static TValue RegReadValue(TRegistryEx& Reg, const TMemItem& Mi);

  // The first step of a rebuild, on the tree being built.
  static void InitializeAllTypes(TItemTree& tree);  // declares the built-in types
  static void BuildMemory(TItemTree& tree);         // the built-in locations
};

}  // namespace kestrow
