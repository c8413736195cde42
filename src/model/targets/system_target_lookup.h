// The answers of the running system: files, folders and the environment through the platform
// layer, "App Paths" and ServiceDll through registry objects of their own. The folders and PATH
// are read once, when the object is made. After that, questions about files, folders and the
// environment may come from any thread; the two registry questions from several threads at once
// only where the registry backend allows it (advapi32 does, the in-memory registry does not).
#pragma once

#include "model/targets/target_lookup.h"

namespace kestrow {

class SystemTargetLookup : public TargetLookup {
 public:
  SystemTargetLookup();

  platform::PathKind KindOf(const std::u16string& path) const override;
  std::u16string Expand(const std::u16string& text, RegView view) const override;
  std::u16string WindowsFolder() const override { return windows_; }
  std::u16string SystemFolder(RegView view) const override { return view == RegView::Bits32 ? system32_ : system64_; }
  bool Is64BitSystem() const override { return is64_; }
  std::vector<std::u16string> PathFolders() const override { return path_; }
  std::optional<std::u16string> AppPath(const std::u16string& fileName, RegView view) const override;
  std::optional<std::u16string> ServiceDll(const std::u16string& serviceKey, RegView view) const override;

 private:
  std::u16string windows_, system32_, system64_;
  bool is64_;
  std::vector<std::u16string> path_;
};

}  // namespace kestrow
