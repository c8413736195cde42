// Declaring the built-in types and reading every built-in location.
#include "model/builtin_types.h"
#include "model/sentrel.h"

namespace kestrow {

void TSentrel::InitializeAllTypes() {
  for (const auto& b : BuiltinTypes()) InitializeType(ItemTypes, b.type, *Memory);
}

void TSentrel::BuildMemory() {
  const std::size_t previous = Memory ? Memory->size() : 0;
  ClearMemory();
  InitMemory();
  // The tree is usually about as large as the last one: its list is made that large at once.
  Memory->reserve(previous + previous / 8);
  InitializeAllTypes();
  const auto& types = BuiltinTypes();
  for (int index : BuiltinScanOrder()) {
    const TBuiltinType& b = types[static_cast<std::size_t>(index)];
    TMemItem* dir = FindRootDirectoryByType(b.type);
    if (!dir) continue;
    // Whatever goes wrong while one location is read ends that location: the others are still
    // read, and the start-up script still runs after them.
    try {
      switch (b.shown) {
        case TBuiltinType::ByNames:
          AddNamedValues(*dir, b.names);
          break;
        case TBuiltinType::AllValues: {
          auto templ = MakeTemplate(*dir, u"");
          RegGetAllValues(*templ, *Memory);
          break;
        }
        case TBuiltinType::Subkeys: {
          auto templ = MakeTemplate(*dir, u"");
          RegGetAllSubkeysByValue(*templ, *Memory, b.names.front(), b.extras);
          break;
        }
      }
    } catch (...) {
    }
  }
}

}  // namespace kestrow
