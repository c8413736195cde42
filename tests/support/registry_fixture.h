// Seeding and reading the registry the plugin under test sees, on every platform through the
// same calls: the in-memory registry natively, the real one under Wine. Names may hold NULs
// anywhere (in a value's name, in any key of a path): under Wine the fixture reaches those
// through ntdll's counted names itself, whatever the backend under test does with them.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "model/item_types.h"
#include "registry/reg_backend.h"
#include "registry/registry_override.h"

namespace kestrow::test {

struct RawValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
};

class Reg {
 public:
  static void Set(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
                  std::uint32_t type, const std::vector<std::uint8_t>& data);
  static void Str(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
                  const std::u16string& text, std::uint32_t type = REG_SZ_);
  static void Dword(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
                    std::uint32_t value);
  static void MultiSz(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name,
                      const std::u16string& charsWithNuls);
  static void CreateKey(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path);
  static void DeleteKey(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path);
  // True when the value was there and went.
  static bool DeleteValue(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name);
  static bool KeyExists(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path);
  static std::optional<RawValue> Get(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path,
                                     const std::u16string& name);
  // A value's data read as UTF-16 text, its terminating NULs dropped; none when the value is missing.
  static std::optional<std::u16string> Text(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path,
                                            const std::u16string& name);
  static std::vector<std::u16string> ValueNames(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path);
  static std::vector<std::u16string> SubkeyNames(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path);
  static std::vector<std::uint8_t> Utf16Bytes(const std::u16string& s, bool withNul = true);
};

// The Run keys and the other locations the scenarios write, emptied before and after each test.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Keys the test creates besides the standard ones, deleted at the end.
  void Own(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path) { owned_.push_back({root, view, path}); }
  // Deletes a value the system may hold (Wine fills some locations, differently per view) for
  // the test; TearDown writes it back as it was.
  void Hide(ROOT_TYPES root, PLATFORM_TYPE view, const std::u16string& path, const std::u16string& name);
  static bool InMemory();

 private:
  struct Owned {
    ROOT_TYPES root;
    PLATFORM_TYPE view;
    std::u16string path;
  };
  std::vector<Owned> owned_;
  struct Hidden {
    ROOT_TYPES root;
    PLATFORM_TYPE view;
    std::u16string path;
    std::u16string name;
    RawValue value;
  };
  std::vector<Hidden> hidden_;
};

inline const char16_t* kRun = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
inline const char16_t* kRunOnce = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
inline const char16_t* kWinlogon = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
inline const char16_t* kServices = u"SYSTEM\\CurrentControlSet\\Services";
inline const char16_t* kIfeo = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";

}  // namespace kestrow::test
