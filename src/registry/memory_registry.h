// A registry held in memory that follows the rules the plugin relies on: two roots, two views of
// HKLM\SOFTWARE (the 32-bit one under WOW6432Node, as on 64-bit Windows) and one shared view of
// everything else, key names compared without regard to case, values and subkeys enumerated in
// the order they were created, access rights per key, and save and restore in a format of its
// own. Faults can be injected into any call. Any thread may call it: each call holds the
// registry's lock (the fault hook runs inside it and may call Find()). It is the registry of the
// test and tool builds on Linux; the shipped library does not hold it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <unordered_map>
#include <vector>

#include "registry/reg_backend.h"
#include "registry/registry_override.h"

namespace kestrow {

class MemoryRegistry : public RegBackend {
 public:
  struct Value {
    std::u16string name;
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
  };
  struct Key {
    std::u16string name;
    std::vector<std::shared_ptr<Key>> subkeys;  // in creation order
    std::vector<Value> values;                  // in creation order
    bool readable = true;
    bool writable = true;
    bool deleted = false;
    // When the key was made or last written (a FILETIME in UTC): a value set or deleted, a subkey
    // added or removed, the key emptied or copied into.
    std::uint64_t lastWrite = Now();
    // Indexes by upper-cased name, kept in step with the two lists.
    std::unordered_map<std::u16string, std::shared_ptr<Key>> subkeyIndex;
    std::unordered_map<std::u16string, std::size_t> valueIndex;

    std::shared_ptr<Key> FindSubkey(const std::u16string& n) const;
    void AddSubkey(std::shared_ptr<Key> k);
    bool RemoveSubkey(const Key* k);
    Value* FindValue(const std::u16string& n);
    Value& AddValue(const std::u16string& n);
    bool RemoveValue(const std::u16string& n);
    void Reindex();
    void Touch() { lastWrite = Now(); }
  };

  // The system time as a FILETIME in UTC: 100-nanosecond steps since 1601-01-01.
  static std::uint64_t Now();

  MemoryRegistry();

  static constexpr std::size_t kMaxValueNameLength = 16383;

  std::int32_t OpenKey(RegHandle base, const std::u16string& sub, std::uint32_t sam, RegHandle* out) override;
  std::int32_t CreateKey(RegHandle base, const std::u16string& sub, std::uint32_t sam, RegHandle* out) override;
  std::int32_t CloseKey(RegHandle key) override;
  std::int32_t QueryValue(RegHandle key, const std::u16string& name, std::uint32_t* type, std::uint8_t* data,
                          std::uint32_t* size) override;
  std::int32_t SetValue(RegHandle key, const std::u16string& name, std::uint32_t type, const std::uint8_t* data,
                        std::uint32_t size) override;
  std::int32_t DeleteValue(RegHandle key, const std::u16string& name) override;
  std::int32_t EnumKey(RegHandle key, std::uint32_t index, std::u16string* name) override;
  std::int32_t EnumValue(RegHandle key, std::uint32_t index, std::u16string* name) override;
  std::int32_t QueryInfoKey(RegHandle key, std::uint32_t* subKeys, std::uint32_t* values) override;
  std::int32_t QueryKeyTime(RegHandle key, std::uint64_t* lastWrite) override;
  std::int32_t SaveKey(RegHandle key, const std::u16string& file) override;
  std::int32_t RestoreKey(RegHandle key, const std::u16string& file, std::uint32_t flags) override;
  std::int32_t DeleteTree(RegHandle base, const std::u16string& sub, std::uint32_t view) override;
  bool RestoreWorks() const override { return !restoreDoesNothing; }
  std::int32_t LoadKey(RegHandle root, const std::u16string& name, const std::u16string& file) override;
  std::int32_t UnloadKey(RegHandle root, const std::u16string& name) override;
  std::int32_t CopyTree(RegHandle from, RegHandle to) override;
  std::int32_t EmptyKey(RegHandle key) override;

  // Behaves as Wine's registry does: the key restore reports success and changes nothing, and
  // loading a file that is no key file leaves an empty key of that name, which unloading removes.
  bool restoreDoesNothing = false;

  // Called at the start of every call with its kind and its name argument (value or key path).
  // A nonzero result makes the call fail with that status before it does anything. The hook may
  // change the registry through Find(); it is not called for that.
  std::function<std::int32_t(RegOp op, const std::u16string& name)> hook;

  // The key at root\path in the given view (KEY_WOW64_32KEY_ or KEY_WOW64_64KEY_), or null.
  Key* Find(RegHandle root, const std::u16string& path, std::uint32_t view);
  // Number of handles open now (for leak checks).
  std::size_t OpenHandles() const {
    std::lock_guard<std::recursive_mutex> lock(lock_);
    return handles_.size();
  }
  // Removes every key and value.
  void Clear();
  // Both roots serialised: equal snapshots mean equal registries (names, order, types, data).
  std::string Snapshot() const;

  static Value* FindValue(Key& key, const std::u16string& name);

 private:
  struct Open {
    std::shared_ptr<Key> key;
    std::uint32_t granted;
  };
  std::int32_t Resolve(RegHandle base, const std::u16string& sub, std::uint32_t sam, bool create,
                       std::shared_ptr<Key>* out);
  Open* Lookup(RegHandle h);
  std::shared_ptr<Key> RootOf(RegHandle h);

  std::shared_ptr<Key> hklm_;
  std::shared_ptr<Key> hkcu_;
  mutable std::recursive_mutex lock_;
  std::map<RegHandle, Open> handles_;
  std::set<const Key*> loaded_;  // keys that LoadKey mounted
  RegHandle next_ = 0x1000;
};

}  // namespace kestrow
