#include "registry/win32_registry.h"

#include <windows.h>

#include <vector>

#include "platform/platform.h"

namespace kestrow {

namespace {
HKEY H(RegHandle h) {
  if (h == HKEY_LOCAL_MACHINE_) return HKEY_LOCAL_MACHINE;
  if (h == HKEY_CURRENT_USER_) return HKEY_CURRENT_USER;
  if (h == HKEY_CLASSES_ROOT_) return HKEY_CLASSES_ROOT;
  return reinterpret_cast<HKEY>(h);
}
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
}  // namespace

std::int32_t Win32Registry::OpenKey(RegHandle base, const std::u16string& sub, std::uint32_t sam, RegHandle* out) {
  HKEY k = nullptr;
  LONG e = RegOpenKeyExW(H(base), W(sub), 0, sam, &k);
  if (e == ERROR_SUCCESS) *out = reinterpret_cast<RegHandle>(k);
  return e;
}

std::int32_t Win32Registry::CreateKey(RegHandle base, const std::u16string& sub, std::uint32_t sam, RegHandle* out) {
  HKEY k = nullptr;
  LONG e = RegCreateKeyExW(H(base), W(sub), 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, &k, nullptr);
  if (e == ERROR_SUCCESS) *out = reinterpret_cast<RegHandle>(k);
  return e;
}

std::int32_t Win32Registry::CloseKey(RegHandle key) { return RegCloseKey(H(key)); }

std::int32_t Win32Registry::QueryValue(RegHandle key, const std::u16string& name, std::uint32_t* type,
                                       std::uint8_t* data, std::uint32_t* size) {
  DWORD t = 0;
  DWORD n = size ? *size : 0;
  LONG e = RegQueryValueExW(H(key), W(name), nullptr, &t, data, size ? &n : nullptr);
  if (type) *type = t;
  if (size) *size = n;
  return e;
}

std::int32_t Win32Registry::SetValue(RegHandle key, const std::u16string& name, std::uint32_t type,
                                     const std::uint8_t* data, std::uint32_t size) {
  return RegSetValueExW(H(key), W(name), 0, type, data, size);
}

std::int32_t Win32Registry::DeleteValue(RegHandle key, const std::u16string& name) {
  return RegDeleteValueW(H(key), W(name));
}

namespace {
// Enumerates one name into a buffer that grows while the name does not fit: key names are at
// most 255 characters on Windows but 256 under Wine, value names at most 16383 (each with its
// terminating NUL).
template <typename Call>
LONG EnumName(DWORD first, std::u16string* name, Call call) {
  std::vector<wchar_t> buf;
  for (DWORD capacity = first; capacity <= 65536; capacity *= 2) {
    buf.assign(capacity, L'\0');
    DWORD n = capacity;
    const LONG e = call(buf.data(), &n);
    if (e == ERROR_MORE_DATA) continue;
    if (e == ERROR_SUCCESS) name->assign(reinterpret_cast<const char16_t*>(buf.data()), n);
    return e;
  }
  return ERROR_MORE_DATA;
}
}  // namespace

std::int32_t Win32Registry::EnumKey(RegHandle key, std::uint32_t index, std::u16string* name) {
  return EnumName(257, name, [&](wchar_t* buf, DWORD* n) {
    return RegEnumKeyExW(H(key), index, buf, n, nullptr, nullptr, nullptr, nullptr);
  });
}

std::int32_t Win32Registry::EnumValue(RegHandle key, std::uint32_t index, std::u16string* name) {
  return EnumName(16384, name, [&](wchar_t* buf, DWORD* n) {
    return RegEnumValueW(H(key), index, buf, n, nullptr, nullptr, nullptr, nullptr);
  });
}

std::int32_t Win32Registry::QueryInfoKey(RegHandle key, std::uint32_t* subKeys, std::uint32_t* values) {
  DWORD s = 0, v = 0;
  LONG e = RegQueryInfoKeyW(H(key), nullptr, nullptr, nullptr, &s, nullptr, nullptr, &v, nullptr, nullptr, nullptr,
                            nullptr);
  if (subKeys) *subKeys = s;
  if (values) *values = v;
  return e;
}

std::int32_t Win32Registry::SaveKey(RegHandle key, const std::u16string& file) {
  return RegSaveKeyExW(H(key), W(file), nullptr, REG_LATEST_FORMAT);
}

std::int32_t Win32Registry::RestoreKey(RegHandle key, const std::u16string& file, std::uint32_t flags) {
  return RegRestoreKeyW(H(key), W(file), flags);
}

bool Win32Registry::RestoreWorks() const { return !platform::RunningOnWine(); }

std::int32_t Win32Registry::LoadKey(RegHandle root, const std::u16string& name, const std::u16string& file) {
  return RegLoadKeyW(H(root), W(name), W(file));
}

std::int32_t Win32Registry::UnloadKey(RegHandle root, const std::u16string& name) {
  return RegUnLoadKeyW(H(root), W(name));
}

std::int32_t Win32Registry::CopyTree(RegHandle from, RegHandle to) { return RegCopyTreeW(H(from), nullptr, H(to)); }

std::int32_t Win32Registry::EmptyKey(RegHandle key) { return RegDeleteTreeW(H(key), nullptr); }

std::int32_t Win32Registry::DeleteTree(RegHandle base, const std::u16string& sub, std::uint32_t view) {
  HKEY k = nullptr;
  LONG e = RegOpenKeyExW(H(base), W(sub), 0, KEY_ALL_ACCESS | view, &k);
  if (e != ERROR_SUCCESS) return e;
  e = RegDeleteTreeW(k, nullptr);
  RegCloseKey(k);
  if (e != ERROR_SUCCESS) return e;
  return RegDeleteKeyExW(H(base), W(sub), view, 0);
}

}  // namespace kestrow
