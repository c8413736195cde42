#include "model/key_times.h"

#include <unordered_map>

#include "model/type_registry.h"
#include "registry/registry_ex.h"

namespace kestrow {

void DateTypeDirectories(TItemTree& tree) {
  // A value read from the location's own key carries that key's time already; only a directory
  // without one (a location of subkeys, an empty or missing key) opens its key again.
  std::unordered_map<const TMemItem*, std::uint64_t> known;
  for (const auto& n : tree.Memory)
    if (n->Parent && !n->Parent->Parent && n->ElementType == ELT_ITEM && n->Changed && n->Address == n->Parent->Address)
      known.emplace(n->Parent, n->Changed);
  for (const auto& n : tree.Memory) {
    if (n->Parent || n->ElementType != ELT_DIRECTORY) continue;
    if (const auto at = known.find(n.get()); at != known.end()) {
      n->Changed = at->second;
      continue;
    }
    try {
      auto reg = RegistryFor(n->ItemType, KEY_READ_);
      if (reg->OpenKeyReadOnly(n->Address)) n->Changed = reg->CurrentKeyTime();
    } catch (...) {
    }
  }
}

}  // namespace kestrow
