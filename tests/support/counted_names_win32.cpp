#include "support/counted_names_win32.h"

#include <windows.h>

#include <cstring>
#include <type_traits>

namespace kestrow::test::counted {

namespace {

struct CountedString {
  USHORT Length;
  USHORT MaximumLength;
  const wchar_t* Buffer;
};
struct Attributes {
  ULONG Length;
  HANDLE RootDirectory;
  CountedString* ObjectName;
  ULONG Attributes;
  void* SecurityDescriptor;
  void* SecurityQualityOfService;
};
constexpr ULONG kCaseInsensitive = 0x40;
constexpr int kPartialInformation = 2;
constexpr LONG kBufferOverflow = static_cast<LONG>(0x80000005);
constexpr LONG kBufferTooSmall = static_cast<LONG>(0xC0000023);

struct Ntdll {
  LONG(NTAPI* OpenKey)(HANDLE*, ACCESS_MASK, Attributes*) = nullptr;
  LONG(NTAPI* CreateKey)(HANDLE*, ACCESS_MASK, Attributes*, ULONG, CountedString*, ULONG, ULONG*) = nullptr;
  LONG(NTAPI* SetValueKey)(HANDLE, CountedString*, ULONG, ULONG, const void*, ULONG) = nullptr;
  LONG(NTAPI* QueryValueKey)(HANDLE, CountedString*, int, void*, ULONG, ULONG*) = nullptr;
  LONG(NTAPI* DeleteValueKey)(HANDLE, CountedString*) = nullptr;
  LONG(NTAPI* DeleteKey)(HANDLE) = nullptr;
  LONG(NTAPI* OpenCurrentUser)(ACCESS_MASK, HANDLE*) = nullptr;
  ULONG(NTAPI* StatusToError)(LONG) = nullptr;

  static const Ntdll& Get() {
    static const Ntdll n = [] {
      Ntdll d;
      HMODULE m = GetModuleHandleW(L"ntdll.dll");
      const auto load = [m](auto& slot, const char* name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(reinterpret_cast<void*>(GetProcAddress(m, name)));
      };
      load(d.OpenKey, "NtOpenKey");
      load(d.CreateKey, "NtCreateKey");
      load(d.SetValueKey, "NtSetValueKey");
      load(d.QueryValueKey, "NtQueryValueKey");
      load(d.DeleteValueKey, "NtDeleteValueKey");
      load(d.DeleteKey, "NtDeleteKey");
      load(d.OpenCurrentUser, "RtlOpenCurrentUser");
      load(d.StatusToError, "RtlNtStatusToDosError");
      return d;
    }();
    return n;
  }
  std::int32_t Error(LONG status) const { return status == 0 ? 0 : static_cast<std::int32_t>(StatusToError(status)); }
};

CountedString Counted(const std::u16string& s) {
  const auto bytes = static_cast<USHORT>(s.size() * 2);
  return CountedString{bytes, bytes, reinterpret_cast<const wchar_t*>(s.data())};
}

class Handle {
 public:
  Handle() = default;
  ~Handle() { Reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE* out() {
    Reset();
    return &h_;
  }
  HANDLE get() const { return h_; }
  void Reset() {
    if (h_) RegCloseKey(static_cast<HKEY>(h_));
    h_ = nullptr;
  }
  void Take(Handle& other) {
    Reset();
    h_ = other.h_;
    other.h_ = nullptr;
  }

 private:
  HANDLE h_ = nullptr;
};

std::vector<std::u16string> Components(const std::u16string& path) {
  std::vector<std::u16string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

DWORD ViewFlag(PLATFORM_TYPE view) { return view == WOW64_64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY; }

// One key below an open one, by its whole name.
std::int32_t Below(HANDLE parent, const std::u16string& name, ACCESS_MASK access, bool create, Handle& out) {
  const Ntdll& nt = Ntdll::Get();
  CountedString n = Counted(name);
  Attributes a{sizeof(Attributes), parent, &n, kCaseInsensitive, nullptr, nullptr};
  ULONG disposition = 0;
  const LONG status = create ? nt.CreateKey(out.out(), access, &a, 0, nullptr, 0, &disposition)
                             : nt.OpenKey(out.out(), access, &a);
  return nt.Error(status);
}

// The root key as a handle the native calls take (the predefined handles are not such).
std::int32_t Root(ROOT_TYPES root, ACCESS_MASK access, Handle& out) {
  const Ntdll& nt = Ntdll::Get();
  if (root == RT_HKCU) return nt.Error(nt.OpenCurrentUser(access, out.out()));
  std::u16string machine = u"\\Registry\\Machine";
  CountedString n = Counted(machine);
  Attributes a{sizeof(Attributes), nullptr, &n, kCaseInsensitive, nullptr, nullptr};
  return nt.Error(nt.OpenKey(out.out(), access, &a));
}

// Opens (or creates) root\path: the keys before the first name holding a NUL through advapi32,
// in the view, then one key at a time natively.
std::int32_t Open(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, ACCESS_MASK access, bool create,
                  Handle& out) {
  const std::vector<std::u16string> parts = Components(path);
  std::size_t first = 0;
  while (first < parts.size() && !HoldsNul(parts[first])) ++first;
  std::u16string leading;
  for (std::size_t i = 0; i < first; ++i) leading += (i ? u"\\" : u"") + parts[i];
  const ACCESS_MASK sam = access | ViewFlag(view);
  Handle cur;
  if (leading.empty()) {
    if (const std::int32_t e = Root(root, sam, cur)) return e;
  } else {
    HKEY k = nullptr;
    const auto* w = reinterpret_cast<const wchar_t*>(leading.c_str());
    const HKEY base = root == RT_HKLM ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const LONG e = create ? RegCreateKeyExW(base, w, 0, nullptr, 0, sam, nullptr, &k, nullptr)
                          : RegOpenKeyExW(base, w, 0, sam, &k);
    if (e != ERROR_SUCCESS) return e;
    *cur.out() = k;
  }
  for (std::size_t i = first; i < parts.size(); ++i) {
    Handle next;
    if (const std::int32_t e = Below(cur.get(), parts[i], sam, create, next)) return e;
    cur.Take(next);
  }
  out.Take(cur);
  return 0;
}

template <typename Enumerate>
std::vector<std::u16string> Names(Enumerate enumerate) {
  std::vector<std::u16string> names;
  std::vector<wchar_t> buf(32768);
  for (DWORD i = 0;; ++i) {
    DWORD n = static_cast<DWORD>(buf.size());
    if (enumerate(i, buf.data(), &n) != ERROR_SUCCESS) break;
    names.emplace_back(reinterpret_cast<const char16_t*>(buf.data()), n);
  }
  return names;
}

std::vector<std::u16string> SubkeysOf(HANDLE key) {
  return Names([key](DWORD i, wchar_t* buf, DWORD* n) {
    return RegEnumKeyExW(static_cast<HKEY>(key), i, buf, n, nullptr, nullptr, nullptr, nullptr);
  });
}

// Empties the open key and deletes it.
std::int32_t DeleteOpen(HANDLE key, DWORD sam) {
  for (const auto& name : SubkeysOf(key)) {
    Handle sub;
    if (Below(key, name, sam, false, sub) == 0) DeleteOpen(sub.get(), sam);
  }
  return Ntdll::Get().Error(Ntdll::Get().DeleteKey(key));
}

}  // namespace

bool HoldsNul(const std::u16string& s) { return s.find(u'\0') != std::u16string::npos; }

std::int32_t CreateKey(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
  Handle k;
  return Open(root, view, path, KEY_ALL_ACCESS, true, k);
}

std::int32_t SetValue(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
                      std::uint32_t type, const std::vector<std::uint8_t>& data) {
  Handle k;
  if (const std::int32_t e = Open(root, view, path, KEY_ALL_ACCESS, true, k)) return e;
  CountedString n = Counted(name);
  const Ntdll& nt = Ntdll::Get();
  return nt.Error(nt.SetValueKey(k.get(), &n, 0, type, data.data(), static_cast<ULONG>(data.size())));
}

std::int32_t DeleteValue(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name) {
  Handle k;
  if (const std::int32_t e = Open(root, view, path, KEY_ALL_ACCESS, false, k)) return e;
  CountedString n = Counted(name);
  const Ntdll& nt = Ntdll::Get();
  return nt.Error(nt.DeleteValueKey(k.get(), &n));
}

std::int32_t DeleteTree(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
  Handle k;
  if (const std::int32_t e = Open(root, view, path, KEY_ALL_ACCESS, false, k)) return e;
  return DeleteOpen(k.get(), KEY_ALL_ACCESS | ViewFlag(view));
}

bool KeyExists(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
  Handle k;
  return Open(root, view, path, KEY_READ, false, k) == 0;
}

std::optional<RawValue> Get(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path,
                            const std::u16string& name) {
  Handle k;
  if (Open(root, view, path, KEY_READ, false, k) != 0) return std::nullopt;
  CountedString n = Counted(name);
  const Ntdll& nt = Ntdll::Get();
  // The partial information: title index, type, data length, then the data.
  std::vector<std::uint8_t> buf(256);
  for (;;) {
    ULONG got = 0;
    const LONG status = nt.QueryValueKey(k.get(), &n, kPartialInformation, buf.data(), static_cast<ULONG>(buf.size()), &got);
    if (status == kBufferOverflow || status == kBufferTooSmall) {
      buf.resize(got > buf.size() ? got : buf.size() * 2);
      continue;
    }
    if (status != 0) return std::nullopt;
    RawValue v;
    ULONG length = 0;
    std::memcpy(&v.type, buf.data() + 4, 4);
    std::memcpy(&length, buf.data() + 8, 4);
    v.data.assign(buf.begin() + 12, buf.begin() + 12 + length);
    return v;
  }
}

std::vector<std::u16string> ValueNames(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
  Handle k;
  if (Open(root, view, path, KEY_READ, false, k) != 0) return {};
  const HKEY key = static_cast<HKEY>(k.get());
  return Names([key](DWORD i, wchar_t* buf, DWORD* n) {
    return RegEnumValueW(key, i, buf, n, nullptr, nullptr, nullptr, nullptr);
  });
}

std::vector<std::u16string> SubkeyNames(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) {
  Handle k;
  if (Open(root, view, path, KEY_READ, false, k) != 0) return {};
  return SubkeysOf(k.get());
}

}  // namespace kestrow::test::counted
