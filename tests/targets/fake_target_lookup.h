// A system made of tables, for the target rules: files and folders by path, the environment of
// each width, PATH, "App Paths" entries and service libraries.
#pragma once

#include <map>
#include <set>

#include "model/targets/target_lookup.h"

namespace kestrow::test {

class FakeTargetLookup : public TargetLookup {
 public:
  std::u16string windows = u"C:\\Windows";
  bool is64 = true;
  std::vector<std::u16string> path;
  // Variables by name as programs of each width see them.
  std::map<std::u16string, std::u16string> env64, env32;
  // "App Paths" by file name; ServiceDll by service key.
  std::map<std::u16string, std::u16string> appPaths, serviceDlls;

  void AddFile(const std::u16string& p) { files_.insert(Key(p)); }
  void AddFolder(const std::u16string& p) { folders_.insert(Key(p)); }

  platform::PathKind KindOf(const std::u16string& p) const override;
  std::u16string Expand(const std::u16string& text, RegView view) const override;
  std::u16string WindowsFolder() const override { return windows; }
  std::u16string SystemFolder(RegView view) const override;
  bool Is64BitSystem() const override { return is64; }
  std::vector<std::u16string> PathFolders() const override { return path; }
  std::optional<std::u16string> AppPath(const std::u16string& fileName, RegView view) const override;
  std::optional<std::u16string> ServiceDll(const std::u16string& serviceKey, RegView view) const override;

 private:
  // Paths and names as the system compares them: letters in either case, "/" as "\".
  static std::u16string Key(const std::u16string& text);
  std::set<std::u16string> files_, folders_;
};

}  // namespace kestrow::test
