// Values and keys a test plants into the registry the plugin reads, and takes out again: values
// it overwrote get their old data back, keys it created are deleted, in the reverse order. Under
// Wine this keeps the prefix's own content (its services, its Winlogon values) as it was.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "support/registry_fixture.h"

namespace kestrow::test {

class Planted {
 public:
  Planted() = default;
  ~Planted() { Undo(); }
  Planted(const Planted&) = delete;
  Planted& operator=(const Planted&) = delete;

  // Stores the value, creating its key (and the keys above it) when it is missing.
  void Value(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
             std::uint32_t type, const std::vector<std::uint8_t>& data);
  void Text(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
            const std::u16string& text, std::uint32_t type = REG_SZ_);
  void Dword(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
             std::uint32_t value);
  void Key(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path);
  // Puts everything back as it was before the first plant.
  void Undo();

 private:
  struct Change {
    ROOT_TYPES root;
    PLATFORM_TYPE view;
    std::u16string path;
    bool key;                          // a created key, or a stored value
    std::u16string name;               // the value
    std::optional<RawValue> previous;  // what the value held before, if it existed
  };
  void CreateKeys(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path);
  std::vector<Change> changes_;
};

// Removes a value through the registry the plugin under test sees.
bool DeleteValue(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name);

}  // namespace kestrow::test
