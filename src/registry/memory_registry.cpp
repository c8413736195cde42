#include "registry/memory_registry.h"

#include <chrono>
#include <cstring>

#include "platform/platform.h"

namespace kestrow {

namespace {

char16_t Upper(char16_t c) {
  if (c >= u'a' && c <= u'z') return char16_t(c - 32);
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return char16_t(c - 32);
  if (c >= 0x430 && c <= 0x44F) return char16_t(c - 32);
  if (c >= 0x450 && c <= 0x45F) return char16_t(c - 80);
  return c;
}

bool SameKeyName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

std::u16string UpperName(std::u16string s) {
  for (auto& c : s) c = Upper(c);
  return s;
}

std::vector<std::u16string> Components(const std::u16string& path) {
  std::vector<std::u16string> parts;
  std::u16string cur;
  for (char16_t c : path) {
    if (c == u'\\') {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

constexpr std::uint32_t kReadBits = 0x20019;
constexpr char kMagic[8] = {'K', 'S', 'R', 'E', 'G', '0', '1', '\n'};

void PutU32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += char((v >> (8 * i)) & 0xFF);
}
void PutText(std::string& out, const std::u16string& s) {
  PutU32(out, static_cast<std::uint32_t>(s.size()));
  for (char16_t c : s) {
    out += char(c & 0xFF);
    out += char(c >> 8);
  }
}
void PutKey(std::string& out, const MemoryRegistry::Key& k) {
  PutU32(out, static_cast<std::uint32_t>(k.values.size()));
  for (const auto& v : k.values) {
    PutText(out, v.name);
    PutU32(out, v.type);
    PutU32(out, static_cast<std::uint32_t>(v.data.size()));
    out.append(reinterpret_cast<const char*>(v.data.data()), v.data.size());
  }
  std::uint32_t live = 0;
  for (const auto& s : k.subkeys) live += s->deleted ? 0 : 1;
  PutU32(out, live);
  for (const auto& s : k.subkeys) {
    if (s->deleted) continue;
    PutText(out, s->name);
    PutKey(out, *s);
  }
}

struct Reader {
  const std::string& in;
  std::size_t at = 0;
  bool ok = true;
  std::uint32_t U32() {
    if (in.size() - at < 4) {
      ok = false;
      return 0;
    }
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(static_cast<unsigned char>(in[at + i])) << (8 * i);
    at += 4;
    return v;
  }
  std::u16string Text() {
    std::uint32_t n = U32();
    if (!ok || (in.size() - at) / 2 < n) {
      ok = false;
      return {};
    }
    std::u16string s(n, u'\0');
    for (std::uint32_t i = 0; i < n; ++i)
      s[i] = char16_t(static_cast<unsigned char>(in[at + 2 * i]) | (static_cast<unsigned char>(in[at + 2 * i + 1]) << 8));
    at += 2 * std::size_t(n);
    return s;
  }
  bool Key(MemoryRegistry::Key& k, int depth) {
    bool ok2 = KeyBody(k, depth);
    k.Reindex();
    return ok2;
  }
  bool KeyBody(MemoryRegistry::Key& k, int depth) {
    if (depth > 512) return ok = false;
    std::uint32_t nv = U32();
    for (std::uint32_t i = 0; ok && i < nv; ++i) {
      MemoryRegistry::Value v;
      v.name = Text();
      v.type = U32();
      std::uint32_t n = U32();
      if (!ok || in.size() - at < n) return ok = false;
      v.data.assign(in.begin() + static_cast<std::ptrdiff_t>(at), in.begin() + static_cast<std::ptrdiff_t>(at + n));
      at += n;
      k.values.push_back(std::move(v));
    }
    std::uint32_t ns = U32();
    for (std::uint32_t i = 0; ok && i < ns; ++i) {
      auto s = std::make_shared<MemoryRegistry::Key>();
      s->name = Text();
      if (!ok || !Key(*s, depth + 1)) return ok = false;
      k.subkeys.push_back(std::move(s));
    }
    return ok;
  }
};

void MarkDeleted(MemoryRegistry::Key& k) {
  k.deleted = true;
  for (auto& s : k.subkeys) MarkDeleted(*s);
}

// The tree a key file holds.
std::int32_t ReadKeyFile(const std::u16string& file, MemoryRegistry::Key& out) {
  std::string in;
  if (!platform::ReadWholeFile(file, in)) return RS_FILE_NOT_FOUND;
  if (in.size() < sizeof kMagic || in.compare(0, sizeof kMagic, std::string(kMagic, sizeof kMagic)) != 0)
    return RS_NOT_REGISTRY_FILE;
  Reader r{in, sizeof kMagic};
  if (!r.Key(out, 0) || r.at != in.size()) return RS_NOT_REGISTRY_FILE;
  return RS_OK;
}

// Copies the values and subkeys of one key into another, over what is there already.
void CopyInto(const MemoryRegistry::Key& from, MemoryRegistry::Key& to) {
  for (const auto& v : from.values) {
    MemoryRegistry::Value* target = to.FindValue(v.name);
    if (!target) target = &to.AddValue(v.name);
    target->type = v.type;
    target->data = v.data;
  }
  for (const auto& s : from.subkeys) {
    if (s->deleted) continue;
    std::shared_ptr<MemoryRegistry::Key> target = to.FindSubkey(s->name);
    if (!target) {
      target = std::make_shared<MemoryRegistry::Key>();
      target->name = s->name;
      to.AddSubkey(target);
    }
    CopyInto(*s, *target);
  }
}

}  // namespace

std::shared_ptr<MemoryRegistry::Key> MemoryRegistry::Key::FindSubkey(const std::u16string& n) const {
  auto it = subkeyIndex.find(UpperName(n));
  return it == subkeyIndex.end() ? nullptr : it->second;
}

std::uint64_t MemoryRegistry::Now() {
  // From the Unix epoch (1970) to the FILETIME epoch (1601): 11644473600 seconds.
  const auto since1970 = std::chrono::duration_cast<std::chrono::nanoseconds>(
      std::chrono::system_clock::now().time_since_epoch()).count();
  return std::uint64_t(since1970 / 100) + 116444736000000000ull;
}

void MemoryRegistry::Key::AddSubkey(std::shared_ptr<Key> k) {
  Touch();
  subkeyIndex[UpperName(k->name)] = k;
  subkeys.push_back(std::move(k));
}

bool MemoryRegistry::Key::RemoveSubkey(const Key* k) {
  for (auto it = subkeys.begin(); it != subkeys.end(); ++it)
    if (it->get() == k) {
      Touch();
      subkeyIndex.erase(UpperName(k->name));
      subkeys.erase(it);
      return true;
    }
  return false;
}

MemoryRegistry::Value* MemoryRegistry::Key::FindValue(const std::u16string& n) {
  auto it = valueIndex.find(UpperName(n));
  return it == valueIndex.end() ? nullptr : &values[it->second];
}

MemoryRegistry::Value& MemoryRegistry::Key::AddValue(const std::u16string& n) {
  Touch();
  valueIndex[UpperName(n)] = values.size();
  values.push_back(Value{n, 0, {}});
  return values.back();
}

bool MemoryRegistry::Key::RemoveValue(const std::u16string& n) {
  auto it = valueIndex.find(UpperName(n));
  if (it == valueIndex.end()) return false;
  Touch();
  values.erase(values.begin() + static_cast<std::ptrdiff_t>(it->second));
  Reindex();
  return true;
}

void MemoryRegistry::Key::Reindex() {
  subkeyIndex.clear();
  valueIndex.clear();
  for (auto& k : subkeys) subkeyIndex[UpperName(k->name)] = k;
  for (std::size_t i = 0; i < values.size(); ++i) valueIndex[UpperName(values[i].name)] = i;
}

MemoryRegistry::MemoryRegistry() { Clear(); }

std::string MemoryRegistry::Snapshot() const {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  std::string out;
  PutKey(out, *hklm_);
  PutKey(out, *hkcu_);
  return out;
}

void MemoryRegistry::Clear() {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hklm_) MarkDeleted(*hklm_);
  if (hkcu_) MarkDeleted(*hkcu_);
  hklm_ = std::make_shared<Key>();
  hkcu_ = std::make_shared<Key>();
  handles_.clear();
  loaded_.clear();
}

std::shared_ptr<MemoryRegistry::Key> MemoryRegistry::RootOf(RegHandle h) {
  if (h == HKEY_LOCAL_MACHINE_) return hklm_;
  if (h == HKEY_CURRENT_USER_) return hkcu_;
  return nullptr;
}

MemoryRegistry::Open* MemoryRegistry::Lookup(RegHandle h) {
  auto it = handles_.find(h);
  if (it == handles_.end() || it->second.key->deleted) return nullptr;
  return &it->second;
}

MemoryRegistry::Value* MemoryRegistry::FindValue(Key& key, const std::u16string& name) { return key.FindValue(name); }

std::int32_t MemoryRegistry::Resolve(RegHandle base, const std::u16string& sub, std::uint32_t sam, bool create,
                                     std::shared_ptr<Key>* out) {
  std::shared_ptr<Key> cur = RootOf(base);
  if (!cur) {
    Open* o = Lookup(base);
    if (!o) return RS_INVALID_HANDLE;
    cur = o->key;
  }
  std::vector<std::u16string> parts = Components(sub);
  // The 32-bit view of HKLM\SOFTWARE lives under WOW6432Node.
  if (cur == hklm_ && (sam & KEY_WOW64_32KEY_) && !parts.empty() && SameKeyName(parts[0], u"SOFTWARE") &&
      !(parts.size() > 1 && SameKeyName(parts[1], u"WOW6432Node")))
    parts.insert(parts.begin() + 1, u"WOW6432Node");
  const std::uint32_t rights = sam & ~KEY_VIEW_BITS_;
  for (const auto& part : parts) {
    std::shared_ptr<Key> next = cur->FindSubkey(part);
    if (!next) {
      if (!create) return RS_FILE_NOT_FOUND;
      if (!cur->writable) return RS_ACCESS_DENIED;
      next = std::make_shared<Key>();
      next->name = part;
      cur->AddSubkey(next);
    }
    cur = next;
  }
  if ((rights & kReadBits) && !cur->readable) return RS_ACCESS_DENIED;
  if ((rights & KEY_WRITE_BITS_) && !cur->writable) return RS_ACCESS_DENIED;
  *out = cur;
  return RS_OK;
}

std::int32_t MemoryRegistry::OpenKey(RegHandle base, const std::u16string& sub, std::uint32_t sam, RegHandle* out) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::Open, sub)) return e;
  std::shared_ptr<Key> k;
  if (std::int32_t e = Resolve(base, sub, sam, false, &k)) return e;
  RegHandle h = next_ += 4;
  handles_[h] = Open{k, sam & ~KEY_VIEW_BITS_};
  *out = h;
  return RS_OK;
}

std::int32_t MemoryRegistry::CreateKey(RegHandle base, const std::u16string& sub, std::uint32_t sam, RegHandle* out) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::Create, sub)) return e;
  std::shared_ptr<Key> k;
  if (std::int32_t e = Resolve(base, sub, sam, true, &k)) return e;
  RegHandle h = next_ += 4;
  handles_[h] = Open{k, sam & ~KEY_VIEW_BITS_};
  *out = h;
  return RS_OK;
}

std::int32_t MemoryRegistry::CloseKey(RegHandle key) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  // An injected failure is reported, but the handle is gone all the same, as a close that
  // fails on Windows leaves nothing to close again.
  const std::int32_t injected = hook ? hook(RegOp::Close, u"") : RS_OK;
  if (RootOf(key)) return injected;
  const bool known = handles_.erase(key) != 0;
  return injected ? injected : known ? RS_OK : RS_INVALID_HANDLE;
}

std::int32_t MemoryRegistry::QueryValue(RegHandle key, const std::u16string& name, std::uint32_t* type,
                                        std::uint8_t* data, std::uint32_t* size) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::Query, name)) return e;
  Open* o = Lookup(key);
  if (!o) return RS_INVALID_HANDLE;
  if (!(o->granted & KEY_QUERY_VALUE_)) return RS_ACCESS_DENIED;
  Value* v = FindValue(*o->key, name);
  if (!v) return RS_FILE_NOT_FOUND;
  if (type) *type = v->type;
  const auto n = static_cast<std::uint32_t>(v->data.size());
  if (data) {
    if (!size) return RS_INVALID_PARAMETER;
    if (*size < n) {
      *size = n;
      return RS_MORE_DATA;
    }
    if (n) std::memcpy(data, v->data.data(), n);
  }
  if (size) *size = n;
  return RS_OK;
}

std::int32_t MemoryRegistry::SetValue(RegHandle key, const std::u16string& name, std::uint32_t type,
                                      const std::uint8_t* data, std::uint32_t size) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::Set, name)) return e;
  Open* o = Lookup(key);
  if (!o) return RS_INVALID_HANDLE;
  if (!(o->granted & KEY_SET_VALUE_)) return RS_ACCESS_DENIED;
  if (size && !data) return RS_INVALID_PARAMETER;
  // As the platform's registry: a value name has at most 16383 characters.
  if (name.size() > kMaxValueNameLength) return RS_INVALID_PARAMETER;
  Value* v = o->key->FindValue(name);
  if (!v) v = &o->key->AddValue(name);
  v->type = type;
  v->data.assign(data, data + size);
  o->key->Touch();
  return RS_OK;
}

std::int32_t MemoryRegistry::DeleteValue(RegHandle key, const std::u16string& name) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::DeleteValue, name)) return e;
  Open* o = Lookup(key);
  if (!o) return RS_INVALID_HANDLE;
  if (!(o->granted & KEY_SET_VALUE_)) return RS_ACCESS_DENIED;
  return o->key->RemoveValue(name) ? RS_OK : RS_FILE_NOT_FOUND;
}

std::int32_t MemoryRegistry::EnumKey(RegHandle key, std::uint32_t index, std::u16string* name) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::EnumKey, u"")) return e;
  Open* o = Lookup(key);
  if (!o) return RS_INVALID_HANDLE;
  if (!(o->granted & KEY_ENUMERATE_SUB_KEYS_)) return RS_ACCESS_DENIED;
  if (index >= o->key->subkeys.size()) return RS_NO_MORE_ITEMS;
  *name = o->key->subkeys[index]->name;
  return RS_OK;
}

std::int32_t MemoryRegistry::EnumValue(RegHandle key, std::uint32_t index, std::u16string* name) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::EnumValue, u"")) return e;
  Open* o = Lookup(key);
  if (!o) return RS_INVALID_HANDLE;
  if (!(o->granted & KEY_QUERY_VALUE_)) return RS_ACCESS_DENIED;
  if (index >= o->key->values.size()) return RS_NO_MORE_ITEMS;
  *name = o->key->values[index].name;
  return RS_OK;
}

std::int32_t MemoryRegistry::QueryInfoKey(RegHandle key, std::uint32_t* subKeys, std::uint32_t* values) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::QueryInfo, u"")) return e;
  Open* o = Lookup(key);
  if (!o) return RS_INVALID_HANDLE;
  if (!(o->granted & KEY_QUERY_VALUE_)) return RS_ACCESS_DENIED;
  if (subKeys) *subKeys = static_cast<std::uint32_t>(o->key->subkeys.size());
  if (values) *values = static_cast<std::uint32_t>(o->key->values.size());
  return RS_OK;
}

std::int32_t MemoryRegistry::QueryKeyTime(RegHandle key, std::uint64_t* lastWrite) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::QueryInfo, u"")) return e;
  Open* o = Lookup(key);
  if (!o) return RS_INVALID_HANDLE;
  if (!(o->granted & KEY_QUERY_VALUE_)) return RS_ACCESS_DENIED;
  if (lastWrite) *lastWrite = o->key->lastWrite;
  return RS_OK;
}

std::int32_t MemoryRegistry::SaveKey(RegHandle key, const std::u16string& file) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::Save, file)) return e;
  Open* o = Lookup(key);
  if (!o) return RS_INVALID_HANDLE;
  // Like the platform's key save, an existing file is not overwritten.
  if (platform::FileExists(file)) return RS_ALREADY_EXISTS;
  std::string out(kMagic, sizeof kMagic);
  PutKey(out, *o->key);
  return platform::WriteWholeFile(file, out) ? RS_OK : RS_ACCESS_DENIED;
}

std::int32_t MemoryRegistry::RestoreKey(RegHandle key, const std::u16string& file, std::uint32_t) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::Restore, file)) return e;
  Open* o = Lookup(key);
  if (!o) return RS_INVALID_HANDLE;
  if (restoreDoesNothing) return RS_OK;
  if (!o->key->writable) return RS_ACCESS_DENIED;
  Key loaded;
  if (std::int32_t e = ReadKeyFile(file, loaded)) return e;
  for (auto& s : o->key->subkeys) MarkDeleted(*s);
  o->key->values = std::move(loaded.values);
  o->key->subkeys = std::move(loaded.subkeys);
  o->key->Reindex();
  return RS_OK;
}

std::int32_t MemoryRegistry::DeleteTree(RegHandle base, const std::u16string& sub, std::uint32_t view) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::DeleteTree, sub)) return e;
  std::shared_ptr<Key> k;
  if (std::int32_t e = Resolve(base, sub, view, false, &k)) return e;
  if (k == hklm_ || k == hkcu_) return RS_ACCESS_DENIED;
  MarkDeleted(*k);
  std::function<bool(Key&)> unlink = [&](Key& parent) {
    if (parent.RemoveSubkey(k.get())) return true;
    for (auto& s : parent.subkeys)
      if (unlink(*s)) return true;
    return false;
  };
  unlink(*hklm_) || unlink(*hkcu_);
  loaded_.erase(k.get());
  return RS_OK;
}

std::int32_t MemoryRegistry::LoadKey(RegHandle root, const std::u16string& name, const std::u16string& file) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::Load, name)) return e;
  if (root != HKEY_LOCAL_MACHINE_ || name.empty() || name.find(u'\\') != std::u16string::npos)
    return RS_INVALID_PARAMETER;
  if (hklm_->FindSubkey(name)) return RS_ALREADY_EXISTS;
  auto key = std::make_shared<Key>();
  const std::int32_t e = ReadKeyFile(file, *key);
  if (e == RS_FILE_NOT_FOUND || (e && !restoreDoesNothing)) return e;
  if (e) key = std::make_shared<Key>();
  key->name = name;
  hklm_->AddSubkey(key);
  loaded_.insert(key.get());
  return e;
}

std::int32_t MemoryRegistry::UnloadKey(RegHandle root, const std::u16string& name) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::Unload, name)) return e;
  if (root != HKEY_LOCAL_MACHINE_) return RS_INVALID_PARAMETER;
  std::shared_ptr<Key> key = hklm_->FindSubkey(name);
  if (!key) return RS_FILE_NOT_FOUND;
  if (!loaded_.count(key.get())) return RS_INVALID_PARAMETER;
  loaded_.erase(key.get());
  MarkDeleted(*key);
  hklm_->RemoveSubkey(key.get());
  return RS_OK;
}

std::int32_t MemoryRegistry::CopyTree(RegHandle from, RegHandle to) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::CopyTree, u"")) return e;
  Open* source = Lookup(from);
  Open* target = Lookup(to);
  if (!source || !target) return RS_INVALID_HANDLE;
  if (!(source->granted & KEY_QUERY_VALUE_) || !(target->granted & KEY_SET_VALUE_) || !target->key->writable)
    return RS_ACCESS_DENIED;
  CopyInto(*source->key, *target->key);
  target->key->Touch();
  return RS_OK;
}

std::int32_t MemoryRegistry::EmptyKey(RegHandle key) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  if (hook)
    if (std::int32_t e = hook(RegOp::EmptyKey, u"")) return e;
  Open* o = Lookup(key);
  if (!o) return RS_INVALID_HANDLE;
  if (!(o->granted & KEY_SET_VALUE_) || !o->key->writable) return RS_ACCESS_DENIED;
  for (auto& s : o->key->subkeys) MarkDeleted(*s);
  o->key->subkeys.clear();
  o->key->values.clear();
  o->key->Reindex();
  o->key->Touch();
  return RS_OK;
}

MemoryRegistry::Key* MemoryRegistry::Find(RegHandle root, const std::u16string& path, std::uint32_t view) {
  std::lock_guard<std::recursive_mutex> lock(lock_);
  std::shared_ptr<Key> k;
  return Resolve(root, path, view, false, &k) == RS_OK ? k.get() : nullptr;
}

}  // namespace kestrow
