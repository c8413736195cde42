#include "model/targets/location_kind.h"

#include "model/targets/path_text.h"

namespace kestrow {

namespace {
// The key path's last parts, compared with "\" between them: true when the path ends with them.
bool EndsWithKey(const std::u16string& path, const std::u16string& tail) {
  if (path.size() < tail.size()) return false;
  const std::size_t at = path.size() - tail.size();
  return (at == 0 || path[at - 1] == u'\\') && SameFolded(path.substr(at), tail);
}

// True when the path is a subkey of a key ending with the parent parts.
bool IsSubkeyOf(const std::u16string& path, const std::u16string& parent) {
  const std::size_t slash = path.rfind(u'\\');
  return slash != std::u16string::npos && slash + 1 < path.size() && EndsWithKey(path.substr(0, slash), parent);
}
}  // namespace

LocationKind KindOfLocation(const std::u16string& keyPath, const std::u16string& valueName) {
  std::u16string path = keyPath;
  while (!path.empty() && path.back() == u'\\') path.pop_back();
  const auto is = [&valueName](const char16_t* name) { return SameFolded(valueName, name); };

  static const char16_t* const runKeys[] = {
      u"CurrentVersion\\Run",         u"CurrentVersion\\RunOnce",  u"CurrentVersion\\RunServices",
      u"CurrentVersion\\RunServicesOnce", u"CurrentVersion\\RunOnceEx", u"Policies\\Explorer\\Run"};
  for (const char16_t* k : runKeys)
    if (EndsWithKey(path, k)) return LocationKind::RunKey;

  if (EndsWithKey(path, u"Windows NT\\CurrentVersion\\Windows")) {
    if (is(u"Load") || is(u"Run")) return LocationKind::WindowsLoadRun;
    if (is(u"AppInit_DLLs")) return LocationKind::AppInitList;
  }
  if (EndsWithKey(path, u"Windows NT\\CurrentVersion\\Winlogon")) {
    if (is(u"Userinit") || is(u"Shell")) return LocationKind::WinlogonList;
    if (is(u"UIHost")) return LocationKind::WinlogonProgram;
    if (is(u"GinaDLL")) return LocationKind::WinlogonDll;
  }
  if (IsSubkeyOf(path, u"Winlogon\\Notify") && is(u"DLLName")) return LocationKind::WinlogonDll;
  if (IsSubkeyOf(path, u"Services") && is(u"ImagePath")) return LocationKind::ServiceImage;
  if (IsSubkeyOf(path, u"Image File Execution Options") && is(u"Debugger")) return LocationKind::Debugger;
  if (IsSubkeyOf(path, u"Active Setup\\Installed Components") && is(u"StubPath")) return LocationKind::ActiveSetup;
  if (EndsWithKey(path, u"Explorer\\Shell Folders") || EndsWithKey(path, u"Explorer\\User Shell Folders"))
    return LocationKind::ShellFolder;
  return LocationKind::Other;
}

}  // namespace kestrow
