#include "targets/fake_target_lookup.h"

#include "platform/environment.h"

namespace kestrow::test {

std::u16string FakeTargetLookup::Key(const std::u16string& text) {
  std::u16string k = text;
  for (auto& c : k) {
    if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
    if (c == u'/') c = u'\\';
  }
  return k;
}

platform::PathKind FakeTargetLookup::KindOf(const std::u16string& p) const {
  if (files_.count(Key(p))) return platform::PathKind::File;
  if (folders_.count(Key(p))) return platform::PathKind::Folder;
  return platform::PathKind::None;
}

std::u16string FakeTargetLookup::Expand(const std::u16string& text, RegView view) const {
  const auto& env = view == RegView::Bits32 ? env32 : env64;
  return platform::ExpandReferences(text, [&env](const std::u16string& name) -> std::optional<std::u16string> {
    for (const auto& [n, v] : env)
      if (Key(n) == Key(name)) return v;
    return std::nullopt;
  });
}

std::u16string FakeTargetLookup::SystemFolder(RegView view) const {
  return windows + (view == RegView::Bits32 && is64 ? u"\\SysWOW64" : u"\\System32");
}

std::optional<std::u16string> FakeTargetLookup::AppPath(const std::u16string& fileName, RegView) const {
  for (const auto& [n, v] : appPaths)
    if (Key(n) == Key(fileName)) return v;
  return std::nullopt;
}

std::optional<std::u16string> FakeTargetLookup::ServiceDll(const std::u16string& serviceKey, RegView) const {
  for (const auto& [k, v] : serviceDlls)
    if (Key(k) == Key(serviceKey)) return v;
  return std::nullopt;
}

}  // namespace kestrow::test
