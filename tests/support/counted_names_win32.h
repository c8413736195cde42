// The real registry reached by counted names, through ntdll: how the fixture plants and reads
// values and keys whose names hold a NUL, which the advapi32 functions end at their first NUL.
// It works on its own, so a fault of the backend under test cannot hide behind the fixture.
#pragma once

#ifdef _WIN32

#include <optional>
#include <string>
#include <vector>

#include "support/registry_fixture.h"

namespace kestrow::test::counted {

bool HoldsNul(const std::u16string& s);

// Each gives a Win32 error code, 0 on success. Paths are below the root key, without a leading
// backslash; every key of a path is opened by its whole name.
std::int32_t CreateKey(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path);
// Stores the value, creating the keys of the path that are missing.
std::int32_t SetValue(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
                      std::uint32_t type, const std::vector<std::uint8_t>& data);
std::int32_t DeleteValue(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name);
// Deletes the key with every value and subkey below it, whatever their names hold.
std::int32_t DeleteTree(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path);
bool KeyExists(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path);
std::optional<RawValue> Get(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path,
                            const std::u16string& name);
std::vector<std::u16string> ValueNames(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path);
std::vector<std::u16string> SubkeyNames(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path);

}  // namespace kestrow::test::counted

#endif
