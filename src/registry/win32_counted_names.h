// Registry calls by counted names, for the names the advapi32 functions cannot take.
//
// The registry counts the characters of every name, so a value or key may be named with a NUL in
// it. The advapi32 functions take names that end at their first NUL: given such a name they act
// on another entry (the one named by the part before the NUL) or on none. These calls go to
// ntdll's native functions instead (NtOpenKeyEx, NtCreateKey, NtQueryValueKey, NtSetValueKey,
// NtDeleteValueKey, NtDeleteKey), which take the whole name with its length. They are loaded once,
// when first needed; where one is missing, the calls that need it fail with RS_INVALID_FUNCTION.
//
// Handles are those of the advapi32 backend: a key opened here is closed by RegCloseKey like any
// other. The predefined root handles are no handles for the native calls: the root is opened as
// a key of its own where it is needed.
#pragma once

#include <string>

#include "registry/reg_backend.h"

namespace kestrow::counted {

inline constexpr std::int32_t RS_INVALID_FUNCTION = 1;

// A key handle of the advapi32 backend that closes itself.
class OwnedKey {
 public:
  OwnedKey() = default;
  ~OwnedKey() { Reset(); }
  OwnedKey(const OwnedKey&) = delete;
  OwnedKey& operator=(const OwnedKey&) = delete;
  // Where a call puts the handle it opens; a handle held before is closed first.
  RegHandle* out() {
    Reset();
    return &h_;
  }
  RegHandle get() const { return h_; }
  RegHandle release() {
    const RegHandle h = h_;
    h_ = 0;
    return h;
  }
  void Take(OwnedKey& other) {
    Reset();
    h_ = other.release();
  }
  void Reset();

 private:
  RegHandle h_ = 0;
};

// Opens, or creates when `create` is set, the key at the path below the open key `base`, one key
// of the path at a time, each by its whole name. Missing keys along the path are created too.
std::int32_t OpenBelow(RegHandle base, const std::u16string& path, std::uint32_t sam, bool create, RegHandle* out);
// The root key (HKEY_LOCAL_MACHINE_ or HKEY_CURRENT_USER_) as a key opened with the rights.
std::int32_t OpenRoot(RegHandle root, std::uint32_t sam, RegHandle* out);

// As the backend's calls of the same names, by the whole name.
std::int32_t QueryValue(RegHandle key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data,
                        std::uint32_t* size);
std::int32_t SetValue(RegHandle key, const std::u16string& name, std::uint32_t type, const std::uint8_t* data,
                      std::uint32_t size);
std::int32_t DeleteValue(RegHandle key, const std::u16string& name);
// Deletes the open key, which must have no subkeys.
std::int32_t DeleteKey(RegHandle key);

}  // namespace kestrow::counted
