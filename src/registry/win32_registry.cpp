#include "registry/win32_registry.h"

#include <windows.h>

#include <vector>

#include "platform/file_names.h"
#include "platform/platform.h"
#include "registry/win32_counted_names.h"

namespace kestrow {

namespace {
HKEY H(RegHandle h) {
  if (h == HKEY_LOCAL_MACHINE_) return HKEY_LOCAL_MACHINE;
  if (h == HKEY_CURRENT_USER_) return HKEY_CURRENT_USER;
  if (h == HKEY_CLASSES_ROOT_) return HKEY_CLASSES_ROOT;
  return reinterpret_cast<HKEY>(h);
}
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
// Opens or creates a path one of whose key names holds a NUL: the keys before that one through
// advapi32 (in the view the rights give), the rest by their whole names.
std::int32_t OpenCounted(RegBackend& reg, RegHandle base, const std::u16string& sub, std::uint32_t sam, bool create,
                         RegHandle* out) {
  std::size_t split = sub.find(u'\0');
  split = sub.rfind(u'\\', split);
  split = split == std::u16string::npos ? 0 : split + 1;
  std::u16string leading = sub.substr(0, split);
  while (!leading.empty() && leading.back() == u'\\') leading.pop_back();
  TRegKey start;
  RegHandle from = base;
  if (leading.find_first_not_of(u'\\') != std::u16string::npos) {
    std::int32_t e = RS_OK;
    start = create ? TRegKey::Create(reg, base, leading, sam, &e) : TRegKey::Open(reg, base, leading, sam, &e);
    if (!start) return e;
    from = start.Get();
  }
  std::int32_t e = RS_OK;
  TRegKey key = counted::OpenBelow(reg, from, sub.substr(split), sam, create, &e);
  if (key) *out = key.Release();
  return e;
}
}  // namespace

std::int32_t Win32Registry::OpenKey(RegHandle base, const std::u16string& sub, std::uint32_t sam, RegHandle* out) {
  if (HoldsNul(sub)) return OpenCounted(*this, base, sub, sam, false, out);
  HKEY k = nullptr;
  LONG e = RegOpenKeyExW(H(base), W(sub), 0, sam, &k);
  if (e == ERROR_SUCCESS) *out = reinterpret_cast<RegHandle>(k);
  return e;
}

std::int32_t Win32Registry::CreateKey(RegHandle base, const std::u16string& sub, std::uint32_t sam, RegHandle* out) {
  if (HoldsNul(sub)) return OpenCounted(*this, base, sub, sam, true, out);
  HKEY k = nullptr;
  LONG e = RegCreateKeyExW(H(base), W(sub), 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, &k, nullptr);
  if (e == ERROR_SUCCESS) *out = reinterpret_cast<RegHandle>(k);
  return e;
}

std::int32_t Win32Registry::CloseKey(RegHandle key) { return RegCloseKey(H(key)); }

std::int32_t Win32Registry::QueryValue(RegHandle key, const std::u16string& name, std::uint32_t* type,
                                       std::uint8_t* data, std::uint32_t* size) {
  if (HoldsNul(name)) return counted::QueryValue(*this, key, name, type, data, size);
  DWORD t = 0;
  DWORD n = size ? *size : 0;
  LONG e = RegQueryValueExW(H(key), W(name), nullptr, &t, data, size ? &n : nullptr);
  if (type) *type = t;
  if (size) *size = n;
  return e;
}

std::int32_t Win32Registry::SetValue(RegHandle key, const std::u16string& name, std::uint32_t type,
                                     const std::uint8_t* data, std::uint32_t size) {
  if (HoldsNul(name)) return counted::SetValue(*this, key, name, type, data, size);
  return RegSetValueExW(H(key), W(name), 0, type, data, size);
}

std::int32_t Win32Registry::DeleteValue(RegHandle key, const std::u16string& name) {
  if (HoldsNul(name)) return counted::DeleteValue(*this, key, name);
  return RegDeleteValueW(H(key), W(name));
}

namespace {
// Enumerates one name into a buffer that grows while the name does not fit: key names are at
// most 255 characters on Windows but 256 under Wine, value names at most 16383 (each with its
// terminating NUL). The name comes back whole, with every NUL it holds.
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

std::int32_t Win32Registry::QueryKeyTime(RegHandle key, std::uint64_t* lastWrite) {
  FILETIME t{};
  const LONG e = RegQueryInfoKeyW(H(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                  nullptr, nullptr, &t);
  if (lastWrite) *lastWrite = e ? 0 : (std::uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime);
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

// The tree calls of advapi32 (RegCopyTreeW, RegDeleteTreeW) go by names that end at a NUL: they
// stop at the first entry named with one. The trees are walked here instead, every entry by its
// whole name: advapi32 for ordinary names, the counted calls for the others.

namespace {
template <typename Enumerate>
std::vector<std::u16string> AllNames(Enumerate enumerate) {
  std::vector<std::u16string> names;
  std::u16string name;
  for (std::uint32_t i = 0; enumerate(i, &name) == RS_OK; ++i) names.push_back(name);
  return names;
}
}  // namespace

std::int32_t Win32Registry::CopyTree(RegHandle from, RegHandle to) {
  std::int32_t result = RS_OK;
  std::vector<std::uint8_t> data;
  for (const auto& name : AllNames([&](std::uint32_t i, std::u16string* n) { return EnumValue(from, i, n); })) {
    // The data may grow between asking its size and reading it: ask again.
    std::uint32_t type = 0, size = 0;
    std::int32_t e = QueryValue(from, name, &type, nullptr, &size);
    for (int attempt = 0; e == RS_OK; ++attempt) {
      data.assign(size, 0);
      e = QueryValue(from, name, &type, data.data(), &size);
      if (e == RS_MORE_DATA && attempt < 8) e = RS_OK;
      else break;
    }
    if (e == RS_OK) e = SetValue(to, name, type, data.data(), size);
    if (e != RS_OK) result = e;
  }
  for (const auto& name : AllNames([&](std::uint32_t i, std::u16string* n) { return EnumKey(from, i, n); })) {
    std::int32_t e = RS_OK;
    const TRegKey source = TRegKey::Open(*this, from, name, KEY_READ, &e);
    const TRegKey target = source ? TRegKey::Create(*this, to, name, KEY_ALL_ACCESS, &e) : TRegKey();
    if (target) e = CopyTree(source.Get(), target.Get());
    if (e != RS_OK) result = e;
  }
  return result;
}

std::int32_t Win32Registry::EmptyKey(RegHandle key) {
  std::int32_t result = RS_OK;
  for (const auto& name : AllNames([&](std::uint32_t i, std::u16string* n) { return EnumValue(key, i, n); }))
    if (const std::int32_t e = DeleteValue(key, name)) result = e;
  for (const auto& name : AllNames([&](std::uint32_t i, std::u16string* n) { return EnumKey(key, i, n); })) {
    std::int32_t e = RS_OK;
    const TRegKey sub = TRegKey::Open(*this, key, name, KEY_ALL_ACCESS, &e);
    if (sub) e = EmptyKey(sub.Get());
    if (e == RS_OK) e = HoldsNul(name) ? counted::DeleteKey(sub.Get()) : RegDeleteKeyW(H(key), W(name));
    if (e != RS_OK) result = e;
  }
  return result;
}

std::int32_t Win32Registry::DeleteTree(RegHandle base, const std::u16string& sub, std::uint32_t view) {
  std::int32_t e = RS_OK;
  const TRegKey k = TRegKey::Open(*this, base, sub, KEY_ALL_ACCESS | view, &e);
  if (!k) return e;
  e = EmptyKey(k.Get());
  if (e != RS_OK) return e;
  if (HoldsNul(sub)) return counted::DeleteKey(k.Get());
  return RegDeleteKeyExW(H(base), W(sub), view, 0);
}

}  // namespace kestrow
