// Declaring the built-in types and reading every built-in location.
#include "model/builtin_types.h"
#include "model/scanners.h"

namespace kestrow {

void TScanners::InitializeAllTypes(TItemTree& tree) {
  for (const auto& b : BuiltinTypes()) TItemTree::InitializeType(tree.ItemTypes, b.type, tree.Memory);
}

void TScanners::BuildMemory(TItemTree& tree) {
  InitializeAllTypes(tree);
  const auto& types = BuiltinTypes();
  for (int index : BuiltinScanOrder()) {
    const TBuiltinType& b = types[static_cast<std::size_t>(index)];
    const TMemItem* dir = tree.FindRootDirectoryByType(b.type);
    if (!dir) continue;
    // Whatever goes wrong while one location is read ends that location: the others are still
    // read, and the start-up script still runs after them.
    try {
      switch (b.shown) {
        case TBuiltinType::ByNames:
          AddNamedValues(tree.Memory, *dir, b.names);
          break;
        case TBuiltinType::AllValues: {
          auto templ = MakeTemplate(*dir, u"");
          RegGetAllValues(*templ, tree.Memory);
          break;
        }
        case TBuiltinType::Subkeys: {
          auto templ = MakeTemplate(*dir, u"");
          RegGetAllSubkeysByValue(*templ, tree.Memory, b.names.front(), b.extras);
          break;
        }
      }
    } catch (...) {
      // See above: the next location is read all the same.
    }
  }
}

}  // namespace kestrow
