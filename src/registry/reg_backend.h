// The registry as the plugin sees it: a handful of calls shaped like advapi32's, so the Win32
// backend passes them straight through and the in-memory backend follows the same rules.
#pragma once

#include <cstdint>
#include <string>

namespace kestrow {

using RegHandle = std::uintptr_t;
inline constexpr RegHandle HKEY_CLASSES_ROOT_ = 0x80000000u;
inline constexpr RegHandle HKEY_CURRENT_USER_ = 0x80000001u;
inline constexpr RegHandle HKEY_LOCAL_MACHINE_ = 0x80000002u;
// The root keys above, which every process has open and nobody closes.
inline bool IsPredefinedRoot(RegHandle h) {
  return h == HKEY_CLASSES_ROOT_ || h == HKEY_CURRENT_USER_ || h == HKEY_LOCAL_MACHINE_;
}

// Status codes (Win32 error numbers).
inline constexpr std::int32_t RS_OK = 0;
inline constexpr std::int32_t RS_FILE_NOT_FOUND = 2;
inline constexpr std::int32_t RS_ACCESS_DENIED = 5;
inline constexpr std::int32_t RS_INVALID_HANDLE = 6;
inline constexpr std::int32_t RS_INVALID_PARAMETER = 87;
inline constexpr std::int32_t RS_ALREADY_EXISTS = 183;
inline constexpr std::int32_t RS_MORE_DATA = 234;
inline constexpr std::int32_t RS_NO_MORE_ITEMS = 259;
inline constexpr std::int32_t RS_NOT_REGISTRY_FILE = 1017;
inline constexpr std::int32_t RS_PRIVILEGE_NOT_HELD = 1314;

// Data types.
inline constexpr std::uint32_t REG_NONE_ = 0;
inline constexpr std::uint32_t REG_SZ_ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ_ = 2;
inline constexpr std::uint32_t REG_BINARY_ = 3;
inline constexpr std::uint32_t REG_DWORD_ = 4;
inline constexpr std::uint32_t REG_MULTI_SZ_ = 7;
inline constexpr std::uint32_t REG_QWORD_ = 11;

// Access rights and view flags.
inline constexpr std::uint32_t KEY_QUERY_VALUE_ = 0x0001;
inline constexpr std::uint32_t KEY_SET_VALUE_ = 0x0002;
inline constexpr std::uint32_t KEY_CREATE_SUB_KEY_ = 0x0004;
inline constexpr std::uint32_t KEY_ENUMERATE_SUB_KEYS_ = 0x0008;
inline constexpr std::uint32_t KEY_WOW64_64KEY_ = 0x0100;
inline constexpr std::uint32_t KEY_WOW64_32KEY_ = 0x0200;
inline constexpr std::uint32_t KEY_VIEW_BITS_ = 0x0300;
inline constexpr std::uint32_t STANDARD_RIGHTS_READ_ = 0x20000;
inline constexpr std::uint32_t KEY_READ_ = 0x20019;
inline constexpr std::uint32_t KEY_ALL_ACCESS_ = 0xF003F;
inline constexpr std::uint32_t KEY_WRITE_BITS_ = 0xD0026;  // set value, create subkey, link, delete, write DAC/owner

enum class RegOp : std::uint8_t {
  Open, Create, Close, Query, Set, DeleteValue, EnumKey, EnumValue, QueryInfo, Save, Restore,
  Load, Unload, CopyTree, EmptyKey, DeleteTree
};

class RegBackend {
 public:
  virtual ~RegBackend() = default;
  virtual std::int32_t OpenKey(RegHandle base, const std::u16string& sub, std::uint32_t sam, RegHandle* out) = 0;
  virtual std::int32_t CreateKey(RegHandle base, const std::u16string& sub, std::uint32_t sam, RegHandle* out) = 0;
  virtual std::int32_t CloseKey(RegHandle key) = 0;
  // As RegQueryValueExW: data may be null to learn the size; *size is the capacity on entry and
  // the stored size on return; a buffer too small gives RS_MORE_DATA.
  virtual std::int32_t QueryValue(RegHandle key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data,
                                  std::uint32_t* size) = 0;
  virtual std::int32_t SetValue(RegHandle key, const std::u16string& name, std::uint32_t type, const std::uint8_t* data,
                                std::uint32_t size) = 0;
  virtual std::int32_t DeleteValue(RegHandle key, const std::u16string& name) = 0;
  virtual std::int32_t EnumKey(RegHandle key, std::uint32_t index, std::u16string* name) = 0;
  virtual std::int32_t EnumValue(RegHandle key, std::uint32_t index, std::u16string* name) = 0;
  virtual std::int32_t QueryInfoKey(RegHandle key, std::uint32_t* subKeys, std::uint32_t* values) = 0;
  // When the open key was last written (a FILETIME in UTC), as RegQueryInfoKeyW gives it.
  virtual std::int32_t QueryKeyTime(RegHandle key, std::uint64_t* lastWrite) = 0;
  virtual std::int32_t SaveKey(RegHandle key, const std::u16string& file) = 0;
  virtual std::int32_t RestoreKey(RegHandle key, const std::u16string& file, std::uint32_t flags) = 0;
  // Deletes the key with everything below it (test fixtures and the restore under Wine).
  virtual std::int32_t DeleteTree(RegHandle base, const std::u16string& sub, std::uint32_t view) = 0;

  // False where the platform's key restore reports success and restores nothing (Wine): there a
  // key is restored by loading the file as a key of its own and copying that over the target.
  virtual bool RestoreWorks() const = 0;
  // As RegLoadKeyW and RegUnLoadKeyW: the key file mounted as the key name below root, and
  // taken away again.
  virtual std::int32_t LoadKey(RegHandle root, const std::u16string& name, const std::u16string& file) = 0;
  virtual std::int32_t UnloadKey(RegHandle root, const std::u16string& name) = 0;
  // As RegCopyTreeW: the values and subkeys of one open key copied into another.
  virtual std::int32_t CopyTree(RegHandle from, RegHandle to) = 0;
  // As RegDeleteTreeW without a subkey: every value and subkey of the open key deleted, the key kept.
  virtual std::int32_t EmptyKey(RegHandle key) = 0;
};

// The backend every registry object uses: the platform's in the shipped library; the test and
// tool builds may put another in (registry/registry_override.h).
RegBackend& CurrentRegistry();

}  // namespace kestrow
