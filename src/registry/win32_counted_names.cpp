#include "registry/win32_counted_names.h"

#include <windows.h>

#include <cstring>
#include <type_traits>
#include <vector>

namespace kestrow::counted {

namespace {

// The native calls' own records.
struct CountedName {
  USHORT Length;  // in bytes, without a terminating NUL
  USHORT MaximumLength;
  const wchar_t* Buffer;
};
struct ObjectAttributes {
  ULONG Length;
  HANDLE RootDirectory;
  const CountedName* ObjectName;
  ULONG Attributes;
  void* SecurityDescriptor;
  void* SecurityQualityOfService;
};
constexpr ULONG kCaseInsensitive = 0x40;
// KeyValuePartialInformation: title index, type and data length (32 bits each), then the data.
constexpr int kValuePartialInformation = 2;
constexpr std::size_t kValueHeader = 12;
constexpr LONG kBufferOverflow = static_cast<LONG>(0x80000005);
constexpr LONG kBufferTooSmall = static_cast<LONG>(0xC0000023);
// The longest name a counted name holds: its length is a 16-bit byte count.
constexpr std::size_t kMaxNameUnits = 0x7FFF;

struct NativeCalls {
  LONG(NTAPI* OpenKeyEx)(HANDLE*, ACCESS_MASK, const ObjectAttributes*, ULONG) = nullptr;
  LONG(NTAPI* CreateKey)(HANDLE*, ACCESS_MASK, const ObjectAttributes*, ULONG, const CountedName*, ULONG, ULONG*) =
      nullptr;
  LONG(NTAPI* QueryValueKey)(HANDLE, const CountedName*, int, void*, ULONG, ULONG*) = nullptr;
  LONG(NTAPI* SetValueKey)(HANDLE, const CountedName*, ULONG, ULONG, const void*, ULONG) = nullptr;
  LONG(NTAPI* DeleteValueKey)(HANDLE, const CountedName*) = nullptr;
  LONG(NTAPI* DeleteKey)(HANDLE) = nullptr;
  LONG(NTAPI* OpenCurrentUser)(ACCESS_MASK, HANDLE*) = nullptr;
  ULONG(NTAPI* StatusToError)(LONG) = nullptr;

  // Loaded once; a static's initialisation runs once even when two threads ask at the same time.
  static const NativeCalls& Get() {
    static const NativeCalls calls = [] {
      NativeCalls c;
      const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
      const auto load = [ntdll](auto& slot, const char* name) {
        using Slot = std::remove_reference_t<decltype(slot)>;
        slot = ntdll ? reinterpret_cast<Slot>(reinterpret_cast<void*>(GetProcAddress(ntdll, name))) : nullptr;
      };
      load(c.OpenKeyEx, "NtOpenKeyEx");
      load(c.CreateKey, "NtCreateKey");
      load(c.QueryValueKey, "NtQueryValueKey");
      load(c.SetValueKey, "NtSetValueKey");
      load(c.DeleteValueKey, "NtDeleteValueKey");
      load(c.DeleteKey, "NtDeleteKey");
      load(c.OpenCurrentUser, "RtlOpenCurrentUser");
      load(c.StatusToError, "RtlNtStatusToDosError");
      return c;
    }();
    return calls;
  }

  // The Win32 error code of a status.
  std::int32_t Error(LONG status) const {
    if (status == 0) return RS_OK;
    if (!StatusToError) return RS_INVALID_FUNCTION;
    return static_cast<std::int32_t>(StatusToError(status));
  }
};

std::int32_t ToCounted(const std::u16string& s, CountedName* out) {
  if (s.size() > kMaxNameUnits) return RS_INVALID_PARAMETER;
  const auto bytes = static_cast<USHORT>(s.size() * 2);
  *out = CountedName{bytes, bytes, reinterpret_cast<const wchar_t*>(s.data())};
  return RS_OK;
}

// The key the status of a native call opened, or nothing.
TRegKey Opened(RegBackend& reg, const NativeCalls& nt, LONG status, HANDLE h, std::int32_t* error) {
  *error = nt.Error(status);
  return status == 0 ? TRegKey(reg, reinterpret_cast<RegHandle>(h)) : TRegKey();
}

// One key below an open one, by its whole name.
TRegKey OpenOne(RegBackend& reg, RegHandle parent, const std::u16string& name, std::uint32_t sam, bool create,
                std::int32_t* error) {
  const NativeCalls& nt = NativeCalls::Get();
  *error = RS_INVALID_FUNCTION;
  if (!(create ? nt.CreateKey != nullptr : nt.OpenKeyEx != nullptr)) return TRegKey();
  CountedName n{};
  if ((*error = ToCounted(name, &n)) != RS_OK) return TRegKey();
  const ObjectAttributes a{sizeof(ObjectAttributes), reinterpret_cast<HANDLE>(parent), &n, kCaseInsensitive,
                           nullptr, nullptr};
  HANDLE h = nullptr;
  ULONG disposition = 0;
  const LONG status = create ? nt.CreateKey(&h, sam, &a, 0, nullptr, 0, &disposition) : nt.OpenKeyEx(&h, sam, &a, 0);
  return Opened(reg, nt, status, h, error);
}

// The root key (HKEY_LOCAL_MACHINE_ or HKEY_CURRENT_USER_) as a key opened with the rights.
TRegKey OpenRoot(RegBackend& reg, RegHandle root, std::uint32_t sam, std::int32_t* error) {
  const NativeCalls& nt = NativeCalls::Get();
  *error = RS_INVALID_FUNCTION;
  HANDLE h = nullptr;
  LONG status = 0;
  if (root == HKEY_CURRENT_USER_) {
    if (!nt.OpenCurrentUser) return TRegKey();
    status = nt.OpenCurrentUser(sam, &h);
  } else if (root == HKEY_LOCAL_MACHINE_) {
    if (!nt.OpenKeyEx) return TRegKey();
    static const std::u16string machine = u"\\Registry\\Machine";
    CountedName n{};
    ToCounted(machine, &n);
    const ObjectAttributes a{sizeof(ObjectAttributes), nullptr, &n, kCaseInsensitive, nullptr, nullptr};
    status = nt.OpenKeyEx(&h, sam, &a, 0);
  } else {
    *error = RS_INVALID_HANDLE;
    return TRegKey();
  }
  return Opened(reg, nt, status, h, error);
}

// A key for the value calls: the open key itself, or for a root key, the root opened anew.
class ValueKey {
 public:
  ValueKey(RegBackend& reg, RegHandle key, std::uint32_t rights) : key_(key) {
    if (IsPredefinedRoot(key)) {
      root_ = OpenRoot(reg, key, rights, &status_);
      key_ = root_.Get();
    }
  }
  std::int32_t status() const { return status_; }
  HANDLE get() const { return reinterpret_cast<HANDLE>(key_); }

 private:
  TRegKey root_;
  RegHandle key_ = 0;
  std::int32_t status_ = RS_OK;
};

}  // namespace

TRegKey OpenBelow(RegBackend& reg, RegHandle base, const std::u16string& path, std::uint32_t sam, bool create,
                  std::int32_t* status) {
  TRegKey root;
  RegHandle cur = base;
  if (IsPredefinedRoot(base)) {
    root = OpenRoot(reg, base, sam, status);
    if (!root) return TRegKey();
    cur = root.Get();
  }
  // Each key of the path by its whole name; empty names between separators are skipped, as the
  // registry skips them.
  TRegKey step;
  bool any = false;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(u'\\', start);
    if (end == std::u16string::npos) end = path.size();
    if (end > start) {
      TRegKey next = OpenOne(reg, cur, path.substr(start, end - start), sam, create, status);
      if (!next) return TRegKey();
      step = std::move(next);
      cur = step.Get();
      any = true;
    }
    start = end + 1;
  }
  // A path of no key names opens the base key again.
  if (!any) return OpenOne(reg, cur, std::u16string(), sam, create, status);
  *status = RS_OK;
  return step;
}

std::int32_t QueryValue(RegBackend& reg, RegHandle key, const std::u16string& name, std::uint32_t* type,
                        std::uint8_t* data, std::uint32_t* size) {
  const NativeCalls& nt = NativeCalls::Get();
  if (!nt.QueryValueKey) return RS_INVALID_FUNCTION;
  if (data && !size) return RS_INVALID_PARAMETER;
  ValueKey k(reg, key, KEY_QUERY_VALUE_);
  if (k.status()) return k.status();
  CountedName n{};
  if (const std::int32_t e = ToCounted(name, &n)) return e;
  // The record holds the type, the length and the data; one more query when the data grew.
  std::vector<std::uint8_t> buffer(kValueHeader + (data ? *size : 0) + 16);
  for (int attempt = 0;; ++attempt) {
    ULONG needed = 0;
    const LONG status = nt.QueryValueKey(k.get(), &n, kValuePartialInformation, buffer.data(),
                                         static_cast<ULONG>(buffer.size()), &needed);
    if ((status == kBufferOverflow || status == kBufferTooSmall) && attempt < 8) {
      buffer.resize(needed > buffer.size() ? needed : buffer.size() * 2);
      continue;
    }
    if (status != 0) return nt.Error(status);
    break;
  }
  std::uint32_t storedType = 0, length = 0;
  std::memcpy(&storedType, buffer.data() + 4, 4);
  std::memcpy(&length, buffer.data() + 8, 4);
  if (type) *type = storedType;
  if (data) {
    if (*size < length) {
      *size = length;
      return RS_MORE_DATA;
    }
    if (length) std::memcpy(data, buffer.data() + kValueHeader, length);
  }
  if (size) *size = length;
  return RS_OK;
}

std::int32_t SetValue(RegBackend& reg, RegHandle key, const std::u16string& name, std::uint32_t type,
                      const std::uint8_t* data, std::uint32_t size) {
  const NativeCalls& nt = NativeCalls::Get();
  if (!nt.SetValueKey) return RS_INVALID_FUNCTION;
  ValueKey k(reg, key, KEY_SET_VALUE_);
  if (k.status()) return k.status();
  CountedName n{};
  if (const std::int32_t e = ToCounted(name, &n)) return e;
  return nt.Error(nt.SetValueKey(k.get(), &n, 0, type, data, size));
}

std::int32_t DeleteValue(RegBackend& reg, RegHandle key, const std::u16string& name) {
  const NativeCalls& nt = NativeCalls::Get();
  if (!nt.DeleteValueKey) return RS_INVALID_FUNCTION;
  ValueKey k(reg, key, KEY_SET_VALUE_);
  if (k.status()) return k.status();
  CountedName n{};
  if (const std::int32_t e = ToCounted(name, &n)) return e;
  return nt.Error(nt.DeleteValueKey(k.get(), &n));
}

std::int32_t DeleteKey(RegHandle key) {
  const NativeCalls& nt = NativeCalls::Get();
  if (!nt.DeleteKey) return RS_INVALID_FUNCTION;
  if (IsPredefinedRoot(key)) return RS_ACCESS_DENIED;
  return nt.Error(nt.DeleteKey(reinterpret_cast<HANDLE>(key)));
}

}  // namespace kestrow::counted
