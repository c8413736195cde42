// Registry calls by counted names, for the names the advapi32 functions cannot take.
//
// The registry counts the characters of every name, so a value or key may be named with a NUL in
// it. The advapi32 functions take names that end at their first NUL: given such a name they act
// on another entry (the one named by the part before the NUL) or on none. These calls go to
// ntdll's native functions instead (NtOpenKeyEx, NtCreateKey, NtQueryValueKey, NtSetValueKey,
// NtDeleteValueKey, NtDeleteKey), which take the whole name with its length. They are loaded once,
// when first needed; where one is missing, the calls that need it fail with RS_INVALID_FUNCTION.
//
// Handles are those of the advapi32 backend, which each call that opens a key is given: a key
// opened here is that backend's and closed by it like any other. The predefined root handles are
// no handles for the native calls: the root is opened as a key of its own where it is needed.
#pragma once

#include <string>

#include "registry/reg_backend.h"
#include "registry/reg_key.h"

namespace kestrow::counted {

inline constexpr std::int32_t RS_INVALID_FUNCTION = 1;

// Opens, or creates when `create` is set, the key at the path below the open key `base`, one key
// of the path at a time, each by its whole name. Missing keys along the path are created too.
TRegKey OpenBelow(RegBackend& reg, RegHandle base, const std::u16string& path, std::uint32_t sam, bool create,
                  std::int32_t* status);

// As the backend's calls of the same names, by the whole name.
std::int32_t QueryValue(RegBackend& reg, RegHandle key, const std::u16string& name, std::uint32_t* type,
                        std::uint8_t* data, std::uint32_t* size);
std::int32_t SetValue(RegBackend& reg, RegHandle key, const std::u16string& name, std::uint32_t type,
                      const std::uint8_t* data, std::uint32_t size);
std::int32_t DeleteValue(RegBackend& reg, RegHandle key, const std::u16string& name);
// Deletes the open key, which must have no subkeys.
std::int32_t DeleteKey(RegHandle key);

}  // namespace kestrow::counted
