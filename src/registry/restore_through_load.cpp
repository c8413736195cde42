#include "registry/restore_through_load.h"

#include <string>
#include <vector>

#include "platform/platform.h"
#include "registry/reg_key.h"

namespace kestrow {

namespace {

// A key's values and subkeys at every depth, as read from the registry.
struct KeyTree {
  struct Value {
    std::u16string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };
  std::u16string name;
  std::vector<Value> values;
  std::vector<KeyTree> subkeys;
};

constexpr int kMaxDepth = 512;

std::int32_t ReadValue(RegBackend& reg, RegHandle key, KeyTree::Value& v) {
  // The data may grow between asking its size and reading it: ask again.
  for (int attempt = 0; attempt < 8; ++attempt) {
    std::uint32_t size = 0;
    std::int32_t e = reg.QueryValue(key, v.name, &v.type, nullptr, &size);
    if (e != RS_OK) return e;
    v.data.assign(size, 0);
    e = reg.QueryValue(key, v.name, &v.type, v.data.data(), &size);
    if (e == RS_MORE_DATA) continue;
    if (e == RS_OK) v.data.resize(size);
    return e;
  }
  return RS_MORE_DATA;
}

std::int32_t ReadTree(RegBackend& reg, RegHandle key, std::uint32_t view, KeyTree& tree, int depth) {
  if (depth > kMaxDepth) return RS_INVALID_PARAMETER;
  for (std::uint32_t i = 0;; ++i) {
    KeyTree::Value v;
    const std::int32_t e = reg.EnumValue(key, i, &v.name);
    if (e == RS_NO_MORE_ITEMS) break;
    if (e != RS_OK) return e;
    if (const std::int32_t r = ReadValue(reg, key, v)) return r;
    tree.values.push_back(std::move(v));
  }
  for (std::uint32_t i = 0;; ++i) {
    KeyTree sub;
    const std::int32_t e = reg.EnumKey(key, i, &sub.name);
    if (e == RS_NO_MORE_ITEMS) break;
    if (e != RS_OK) return e;
    std::int32_t status = RS_OK;
    const TRegKey h = TRegKey::Open(reg, key, sub.name, KEY_READ_ | view, &status);
    if (!h) return status;
    if (const std::int32_t r = ReadTree(reg, h.Get(), view, sub, depth + 1)) return r;
    tree.subkeys.push_back(std::move(sub));
  }
  return RS_OK;
}

std::int32_t WriteTree(RegBackend& reg, RegHandle key, std::uint32_t view, const KeyTree& tree) {
  std::int32_t result = RS_OK;
  for (const auto& v : tree.values) {
    const std::int32_t e =
        reg.SetValue(key, v.name, v.type, v.data.data(), static_cast<std::uint32_t>(v.data.size()));
    if (e != RS_OK) result = e;
  }
  for (const auto& sub : tree.subkeys) {
    std::int32_t e = RS_OK;
    const TRegKey h = TRegKey::Create(reg, key, sub.name, KEY_ALL_ACCESS_ | view, &e);
    if (h) e = WriteTree(reg, h.Get(), view, sub);
    if (e != RS_OK) result = e;
  }
  return result;
}

std::u16string Decimal(std::uint32_t v) {
  const std::string s = std::to_string(v);
  return std::u16string(s.begin(), s.end());
}

bool MachineKeyExists(RegBackend& reg, const std::u16string& name) {
  std::int32_t status = RS_OK;
  TRegKey::Open(reg, HKEY_LOCAL_MACHINE_, name, KEY_READ_, &status);
  return status != RS_FILE_NOT_FOUND;
}

// The loaded key below the machine's root: unloaded when it goes out of scope, and deleted if
// it is still there then, as Wine leaves an ordinary key behind when a load fails.
class LoadedKey {
 public:
  explicit LoadedKey(RegBackend& reg) : reg_(reg) {
    const std::u16string base =
        u"KestrowRestore-" + Decimal(platform::ProcessId()) + u"-" + Decimal(platform::TickCount());
    name_ = base;
    for (std::uint32_t n = 2; MachineKeyExists(reg_, name_) && n < 1000; ++n) name_ = base + u"-" + Decimal(n);
  }
  ~LoadedKey() {
    if (!attempted_) return;
    if (reg_.UnloadKey(HKEY_LOCAL_MACHINE_, name_) != RS_OK && MachineKeyExists(reg_, name_))
      reg_.DeleteTree(HKEY_LOCAL_MACHINE_, name_, 0);
  }
  LoadedKey(const LoadedKey&) = delete;
  LoadedKey& operator=(const LoadedKey&) = delete;

  std::int32_t Load(const std::u16string& file) {
    // A name some other key holds is never loaded over, so the clean-up removes only our own.
    if (MachineKeyExists(reg_, name_)) return RS_ALREADY_EXISTS;
    attempted_ = true;
    return reg_.LoadKey(HKEY_LOCAL_MACHINE_, name_, file);
  }
  const std::u16string& name() const { return name_; }

 private:
  RegBackend& reg_;
  std::u16string name_;
  bool attempted_ = false;
};

}  // namespace

std::int32_t RestoreThroughLoad(RegBackend& reg, RegHandle target, std::uint32_t view, const std::u16string& file) {
  // Load and read everything first: until the target is changed, a failure changes nothing.
  LoadedKey loadedKey(reg);
  if (const std::int32_t e = loadedKey.Load(file)) return e;
  std::int32_t status = RS_OK;
  const TRegKey loaded = TRegKey::Open(reg, HKEY_LOCAL_MACHINE_, loadedKey.name(), KEY_READ_, &status);
  if (!loaded) return status;
  std::uint32_t subKeys = 0, values = 0;
  if (const std::int32_t e = reg.QueryInfoKey(loaded.Get(), &subKeys, &values)) return e;
  KeyTree old;
  if (const std::int32_t e = ReadTree(reg, target, view, old, 0)) return e;

  std::int32_t e = reg.EmptyKey(target);
  if (e == RS_OK) e = reg.CopyTree(loaded.Get(), target);
  if (e != RS_OK) {
    // The key gets its old content back, whatever the failed step left in it.
    reg.EmptyKey(target);
    WriteTree(reg, target, view, old);
  }
  return e;
}

}  // namespace kestrow
