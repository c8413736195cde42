#include "registry/registry_ex.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/errors.h"
#include "platform/platform.h"
#include "registry/restore_through_load.h"
#include "registry/shown_names.h"

namespace kestrow {

namespace {
// The message with the value's name in place of "%s", as the texts show names.
std::u16string Quoted(const char16_t* format, const std::u16string& name) {
  std::u16string s(format);
  auto at = s.find(u"%s");
  return s.replace(at, 2, ShownName(name));
}
}  // namespace

TRegistryEx::TRegistryEx(RegView view, std::uint32_t rights) : reg_(CurrentRegistry()), view_(view), access_(rights) {}

TRegistryEx::~TRegistryEx() = default;

void TRegistryEx::SetRootKey(RegHandle root) {
  if (root != root_) {
    CloseKey();
    root_ = root;
  }
}

RegHandle TRegistryEx::Base(const std::u16string& key, std::u16string* rest) const {
  if (!key.empty() && key[0] == u'\\') {
    *rest = key.substr(1);
    return root_;
  }
  *rest = key;
  return current_ ? current_.Get() : root_;
}

TRegKey TRegistryEx::Open(const std::u16string& key, std::uint32_t rights, std::int32_t* status) const {
  std::u16string rest;
  const RegHandle base = Base(key, &rest);
  return TRegKey::Open(reg_, base, rest, Sam(rights), status);
}

void TRegistryEx::MakeCurrent(TRegKey key, const std::u16string& path) {
  const bool relative = !(path.size() && path[0] == u'\\') && current_;
  std::u16string full = relative ? currentPath_ + u"\\" + path : path;
  CloseKey();
  current_ = std::move(key);
  currentPath_ = std::move(full);
}

namespace {
// Enough to learn that a key is there: query values and enumerate subkeys.
constexpr std::uint32_t kProbeRights = 0x20009;
}  // namespace

bool TRegistryEx::KeyExists(const std::u16string& Key) { return bool(Open(Key, kProbeRights)); }

bool TRegistryEx::KeyMissing(const std::u16string& Key) {
  std::int32_t status = RS_OK;
  Open(Key, kProbeRights, &status);
  return status == RS_FILE_NOT_FOUND;
}

bool TRegistryEx::DeleteKeyTree(const std::u16string& Key) {
  std::u16string rest;
  RegHandle base = Base(Key, &rest);
  return reg_.DeleteTree(base, rest, ViewBits(view_)) == RS_OK;
}

bool TRegistryEx::OpenKey(const std::u16string& Key, bool CanCreate) {
  TRegKey h;
  if (CanCreate) {
    std::u16string rest;
    const RegHandle base = Base(Key, &rest);
    h = TRegKey::Create(reg_, base, rest, Sam(access_), &lastOpenStatus_);
  } else {
    h = Open(Key, access_, &lastOpenStatus_);
  }
  if (!h) return false;
  MakeCurrent(std::move(h), Key);
  return true;
}

bool TRegistryEx::OpenKeyReadOnly(const std::u16string& Key) {
  for (std::uint32_t rights : {KEY_READ_, kProbeRights, KEY_QUERY_VALUE_}) {
    TRegKey h = Open(Key, rights, &lastOpenStatus_);
    // A key that is not there does not appear with fewer rights.
    if (lastOpenStatus_ == RS_FILE_NOT_FOUND) return false;
    if (h) {
      MakeCurrent(std::move(h), Key);
      access_ = rights;
      return true;
    }
  }
  return false;
}

void TRegistryEx::CloseKey() {
  current_.Reset();
  currentPath_.clear();
}

bool TRegistryEx::ValueExists(const std::u16string& Name) {
  if (!current_) return false;
  std::uint32_t type = 0, size = 0;
  return reg_.QueryValue(current_.Get(), Name, &type, nullptr, &size) == RS_OK;
}

TRegDataType TRegistryEx::GetDataType(const std::u16string& Name) {
  std::uint32_t type = 0, size = 0;
  if (!current_ || reg_.QueryValue(current_.Get(), Name, &type, nullptr, &size) != RS_OK) return rdUnknown;
  switch (type) {
    case REG_SZ_: return rdString;
    case REG_EXPAND_SZ_: return rdExpandString;
    case REG_DWORD_: return rdInteger;
    case REG_BINARY_: return rdBinary;
    default: return rdUnknown;
  }
}

std::int32_t TRegistryEx::GetDataSize(const std::u16string& Name) {
  std::uint32_t type = 0, size = 0;
  if (!current_ || reg_.QueryValue(current_.Get(), Name, &type, nullptr, &size) != RS_OK) return -1;
  return size > 0x7FFFFFFFu ? -1 : static_cast<std::int32_t>(size);
}

bool TRegistryEx::GetData(const std::u16string& name, std::uint8_t* buffer, std::uint32_t size, std::uint32_t* type,
                          std::uint32_t* got) {
  *got = size;
  return current_ && reg_.QueryValue(current_.Get(), name, type, buffer, got) == RS_OK;
}

std::u16string TRegistryEx::ReadString(const std::u16string& Name) {
  const std::int32_t len = GetDataSize(Name);
  if (len <= 0) return std::u16string();
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(len) + 2, 0);
  std::uint32_t type = 0, got = 0;
  if (!GetData(Name, buf.data(), static_cast<std::uint32_t>(len), &type, &got))
    throw EKestrowError(Quoted(u"Failed to get data for '%s'", Name));
  if (type != REG_SZ_ && type != REG_EXPAND_SZ_) throw EKestrowError(Quoted(u"Invalid data type for '%s'", Name));
  std::u16string s(got / 2, u'\0');
  if (!s.empty()) std::memcpy(&s[0], buf.data(), s.size() * 2);
  auto nul = s.find(u'\0');
  if (nul != std::u16string::npos) s.resize(nul);
  return s;
}

std::int32_t TRegistryEx::ReadInteger(const std::u16string& Name) {
  std::uint8_t buf[4] = {};
  std::uint32_t type = 0, got = 0;
  if (!GetData(Name, buf, 4, &type, &got)) throw EKestrowError(Quoted(u"Failed to get data for '%s'", Name));
  if (type != REG_DWORD_) throw EKestrowError(Quoted(u"Invalid data type for '%s'", Name));
  std::uint32_t v = std::uint32_t(buf[0]) | std::uint32_t(buf[1]) << 8 | std::uint32_t(buf[2]) << 16 |
                    std::uint32_t(buf[3]) << 24;
  return static_cast<std::int32_t>(v);
}

void TRegistryEx::WriteTyped(const std::u16string& name, std::uint32_t type, const std::u16string& text) {
  std::vector<std::uint8_t> data((text.size() + 1) * 2, 0);
  if (!text.empty()) std::memcpy(data.data(), text.data(), text.size() * 2);
  if (!current_ || reg_.SetValue(current_.Get(), name, type, data.data(), static_cast<std::uint32_t>(data.size())) != RS_OK)
    throw EKestrowError(Quoted(u"Failed to set data for '%s'", name));
}

void TRegistryEx::WriteString(const std::u16string& Name, const std::u16string& Text) { WriteTyped(Name, REG_SZ_, Text); }

void TRegistryEx::WriteExpandString(const std::u16string& Name, const std::u16string& Text) {
  WriteTyped(Name, REG_EXPAND_SZ_, Text);
}

void TRegistryEx::WriteInteger(const std::u16string& Name, std::int32_t N) {
  const std::uint32_t v = static_cast<std::uint32_t>(N);
  const std::uint8_t data[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
  if (!current_ || reg_.SetValue(current_.Get(), Name, REG_DWORD_, data, 4) != RS_OK)
    throw EKestrowError(Quoted(u"Failed to set data for '%s'", Name));
}

void TRegistryEx::WriteBinary(const std::u16string& Name, const std::vector<std::uint8_t>& Data) {
  if (!current_ ||
      reg_.SetValue(current_.Get(), Name, REG_BINARY_, Data.data(), static_cast<std::uint32_t>(Data.size())) != RS_OK)
    throw EKestrowError(Quoted(u"Failed to set data for '%s'", Name));
}

bool TRegistryEx::DeleteValue(const std::u16string& Name) {
  return current_ && reg_.DeleteValue(current_.Get(), Name) == RS_OK;
}

namespace {
// Every name an enumeration gives, in its order. It ends where the registry says there are no
// more; an index that fails is tried once more and then passed over, so that one entry that
// cannot be read does not hide the ones after it. Past the count the key reported, a failure ends
// it (the key changed meanwhile).
template <typename Enumerate>
void EnumerateNames(std::uint32_t count, TStringList& list, Enumerate enumerate) {
  for (std::uint32_t i = 0; i < 0x7FFFFFFFu; ++i) {
    std::u16string name;
    std::int32_t e = enumerate(i, &name);
    if (e != RS_OK && e != RS_NO_MORE_ITEMS) e = enumerate(i, &name);
    if (e == RS_OK) {
      list.push_back(std::move(name));
      continue;
    }
    if (e == RS_NO_MORE_ITEMS || i >= count) return;
  }
}
}  // namespace

void TRegistryEx::GetValueNames(TStringList& List) {
  List.clear();
  if (!current_) return;
  std::uint32_t subKeys = 0, values = 0;
  if (reg_.QueryInfoKey(current_.Get(), &subKeys, &values) != RS_OK) values = 0;
  EnumerateNames(values, List, [&](std::uint32_t i, std::u16string* n) { return reg_.EnumValue(current_.Get(), i, n); });
}

void TRegistryEx::GetKeyNames(TStringList& List) {
  List.clear();
  if (!current_) return;
  std::uint32_t subKeys = 0, values = 0;
  if (reg_.QueryInfoKey(current_.Get(), &subKeys, &values) != RS_OK) subKeys = 0;
  EnumerateNames(subKeys, List, [&](std::uint32_t i, std::u16string* n) { return reg_.EnumKey(current_.Get(), i, n); });
}

std::uint64_t TRegistryEx::CurrentKeyTime() {
  std::uint64_t time = 0;
  if (!current_ || reg_.QueryKeyTime(current_.Get(), &time) != RS_OK) return 0;
  return time;
}

std::int32_t TRegistryEx::ReadData(const std::u16string& Name, std::uint32_t* type, std::vector<std::uint8_t>* data) {
  *type = 0;
  data->clear();
  if (!current_) return RS_INVALID_HANDLE;
  // Most values fit at once; a larger one, or one that grows between two queries, is read again
  // with the size the registry reported. The query goes into the object's own buffer, which keeps
  // its size from one value to the next, and only the value's bytes are copied out.
  std::uint32_t capacity = std::max<std::uint32_t>(512, static_cast<std::uint32_t>(buffer_.size()));
  for (int attempt = 0; attempt < 8; ++attempt) {
    if (buffer_.size() < capacity) buffer_.resize(capacity);
    std::uint32_t size = capacity;
    const std::int32_t e = reg_.QueryValue(current_.Get(), Name, type, buffer_.data(), &size);
    if (e == RS_OK) {
      data->assign(buffer_.begin(), buffer_.begin() + std::min(size, capacity));
      return RS_OK;
    }
    if (e != RS_MORE_DATA) {
      data->clear();
      return e;
    }
    capacity = std::max(size, capacity * 2);
  }
  data->clear();
  return RS_MORE_DATA;
}

bool TRegistryEx::CreateKeyEx(const std::u16string& Key) {
  std::u16string rest;
  const RegHandle base = Base(Key, &rest);
  return bool(TRegKey::Create(reg_, base, rest, Sam(access_)));
}

bool TRegistryEx::SaveKeyEx(const std::u16string& Key, const std::u16string& FileName, std::uint32_t) {
  const TRegKey h = Open(Key, access_);
  const bool ok = h && reg_.SaveKey(h.Get(), FileName) == RS_OK;
  if (!ok) platform::DeleteFileIfExists(FileName);
  return ok;
}

bool TRegistryEx::RestoreKey(const std::u16string& Key, const std::u16string& FileName, std::uint32_t flags) {
  const TRegKey h = Open(Key, access_);
  if (!h) return false;
  const std::int32_t e = reg_.RestoreWorks() ? reg_.RestoreKey(h.Get(), FileName, flags)
                                              : RestoreThroughLoad(reg_, h.Get(), ViewBits(view_), FileName);
  return e == RS_OK;
}

void TRegistryEx::WriteStringList(const std::u16string& name, const TStringList& list) {
  std::u16string block;
  for (const auto& entry : list) {
    std::size_t first = 0, last = entry.size();
    while (first < last && entry[first] <= 32) ++first;
    while (last > first && entry[last - 1] <= 32) --last;
    if (first == last) continue;
    block += entry;
    block += u'\0';
  }
  block += u'\0';
  const auto bytes = static_cast<std::uint32_t>(block.size() * 2);
  if (!current_ ||
      reg_.SetValue(current_.Get(), name, REG_MULTI_SZ_, reinterpret_cast<const std::uint8_t*>(block.data()), bytes) != RS_OK)
    throw EKestrowError(u"Error RegistryExt Write Param " + ShownName(name));
}

TStringList TRegistryEx::StringListFromData(const std::uint8_t* data, std::size_t bytes) {
  TStringList list;
  const std::size_t n = bytes / 2;
  std::u16string entry;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t c = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
    const bool last = i + 1 == n;
    if (c != 0) {
      entry += c;
    } else if (!last) {
      list.push_back(entry);
      entry.clear();
    }
  }
  // The final NUL closes the last string; data without one keeps it too. A final NUL after
  // another NUL is the list's terminator and closes nothing.
  if (!entry.empty()) list.push_back(entry);
  return list;
}

TStringList TRegistryEx::ReadStringList(const std::u16string& name) {
  const std::int32_t size = GetDataSize(name);
  if (size < 1) return TStringList();
  std::vector<std::uint8_t> buf(static_cast<std::size_t>(size), 0);
  std::uint32_t type = 0, got = 0;
  if (!GetData(name, buf.data(), static_cast<std::uint32_t>(size), &type, &got))
    throw EKestrowError(u"Error RegistryExt Get Data Failed on " + ShownName(name));
  if (type != REG_MULTI_SZ_) throw EKestrowError(u"Error RegistryExt Invalid RegType on " + ShownName(name));
  return StringListFromData(buf.data(), got);
}

}  // namespace kestrow
