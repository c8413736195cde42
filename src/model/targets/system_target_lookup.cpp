#include "model/targets/system_target_lookup.h"

#include "registry/registry_ex.h"

namespace kestrow {

namespace {
platform::Bitness WidthOf(RegView view) {
  return view == RegView::Bits32 ? platform::Bitness::Bits32 : platform::Bitness::Bits64;
}

// The text of a string value of the key, up to its first NUL; none for a value that is missing
// or holds no string.
std::optional<std::u16string> StringValue(RegHandle root, RegView view, const std::u16string& key,
                                          const std::u16string& name) {
  TRegistryEx reg(view, KEY_READ_);
  reg.SetRootKey(root);
  if (!reg.OpenKeyReadOnly(key)) return std::nullopt;
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  if (reg.ReadData(name, &type, &data) != RS_OK || (type != REG_SZ_ && type != REG_EXPAND_SZ_)) return std::nullopt;
  std::u16string text;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const char16_t c = static_cast<char16_t>(data[i] | data[i + 1] << 8);
    if (!c) break;
    text += c;
  }
  return text;
}
}  // namespace

SystemTargetLookup::SystemTargetLookup()
    : windows_(platform::WindowsFolder()),
      system32_(platform::SystemFolder(platform::Bitness::Bits32)),
      system64_(platform::SystemFolder(platform::Bitness::Bits64)),
      is64_(platform::Is64BitSystem()),
      path_(platform::SearchPathFolders()) {}

platform::PathKind SystemTargetLookup::KindOf(const std::u16string& path) const { return platform::KindOfPath(path); }

std::u16string SystemTargetLookup::Expand(const std::u16string& text, RegView view) const {
  return platform::ExpandEnvironment(text, WidthOf(view));
}

std::optional<std::u16string> SystemTargetLookup::AppPath(const std::u16string& fileName, RegView view) const {
  const std::u16string key = u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + fileName;
  for (RegHandle root : {HKEY_CURRENT_USER_, HKEY_LOCAL_MACHINE_})
    if (auto path = StringValue(root, view, key, std::u16string()); path && !path->empty()) return path;
  return std::nullopt;
}

std::optional<std::u16string> SystemTargetLookup::ServiceDll(const std::u16string& serviceKey, RegView view) const {
  std::u16string key = serviceKey;
  if (key.empty() || key[0] != u'\\') key = u"\\" + key;
  for (const std::u16string& k : {key + u"\\Parameters", key})
    if (auto dll = StringValue(HKEY_LOCAL_MACHINE_, view, k, u"ServiceDll")) return dll;
  return std::nullopt;
}

}  // namespace kestrow
