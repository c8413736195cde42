#include "host/library.h"

#include <vector>

#include "platform/platform.h"

namespace kestrow {

TLibraryState& Library() {
  static TLibraryState state;
  return state;
}

void LibraryStart() {
  TLibraryState& s = Library();
  s.TempPath = WithTrailingBackslash(platform::SystemTempPath());
  // Without the module's own folder, PluginPath stays empty: the start-up script and the engine
  // are then looked for nowhere, never relative to the current drive or folder.
  const std::u16string folder = FolderPart(platform::ModuleFileName());
  s.PluginPath = folder.empty() ? std::u16string() : WithTrailingBackslash(folder);
  s.PluginPathReported = false;
  s.Sentrel = std::make_unique<TSentrel>();
  s.Sentrel->Messages = &HostMessages();
  s.Sentrel->PluginFolder = s.PluginPath;
}

void LibraryEnd() {
  TLibraryState& s = Library();
  std::unique_ptr<TSentrel> old = std::move(s.Sentrel);
  old.reset();
  s.DefaultIniPath.clear();
  s.TempPath.clear();
  s.PluginPath.clear();
}

namespace {
std::vector<KS_WCHAR> Buffer(const std::u16string& s) {
  std::vector<KS_WCHAR> b(s.size() + 1, 0);
  for (std::size_t i = 0; i < s.size(); ++i) b[i] = static_cast<KS_WCHAR>(s[i]);
  return b;
}
}  // namespace

bool AskYesNo(const std::u16string& title, const std::u16string& text) {
  TLibraryState& s = Library();
  if (!s.RequestProcW) return false;
  auto t = Buffer(title), x = Buffer(text);
  return s.RequestProcW(s.PluginNumber, RT_MsgYesNo, t.data(), x.data(), nullptr, 0) != 0;
}

void ShowError(const std::u16string& text) {
  TLibraryState& s = Library();
  if (!s.RequestProcW) return;
  auto t = Buffer(u"Error"), x = Buffer(text);
  s.RequestProcW(s.PluginNumber, RT_MsgOK, t.data(), x.data(), nullptr, 0);
}

void LogImportantError(const std::u16string& text) {
  TLibraryState& s = Library();
  if (!s.LogProcW) return;
  auto x = Buffer(text);
  s.LogProcW(s.PluginNumber, MSGTYPE_IMPORTANTERROR, x.data());
}

namespace {
class THostMessages final : public TUserMessages {
 public:
  bool AskYesNo(const std::u16string& title, const std::u16string& text) override {
    return kestrow::AskYesNo(title, text);
  }
  void ShowError(const std::u16string& text) override { kestrow::ShowError(text); }
  void LogImportantError(const std::u16string& text) override { kestrow::LogImportantError(text); }
  bool Connected() const override { return Library().RequestProcW != nullptr; }
};
}  // namespace

TUserMessages& HostMessages() {
  static THostMessages messages;
  return messages;
}

}  // namespace kestrow
