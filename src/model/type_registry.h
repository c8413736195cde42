// Where an item type lives in the registry: its root key and view, and a registry object for it.
#pragma once

#include <memory>

#include "model/item_types.h"
#include "registry/registry_ex.h"

namespace kestrow {

inline RegView ViewOf(PLATFORM_TYPE p) { return p == WOW64_64 ? RegView::Bits64 : RegView::Bits32; }
inline RegHandle RootOf(ROOT_TYPES r) { return r == RT_HKCU ? HKEY_CURRENT_USER_ : HKEY_LOCAL_MACHINE_; }

// A registry object in the type's view under its root key, with the given rights.
inline std::unique_ptr<TRegistryEx> RegistryFor(const TItemType& type, std::uint32_t rights) {
  auto r = std::make_unique<TRegistryEx>(ViewOf(type.tPlatform), rights);
  r->SetRootKey(RootOf(type.RootType));
  return r;
}

}  // namespace kestrow
