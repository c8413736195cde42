#include "host/plugin.h"

#include <vector>

#include "model/names.h"
#include "platform/platform.h"
#include "script/script_runner.h"

namespace kestrow {

TPlugin& Plugin() {
  static TPlugin plugin;
  return plugin;
}

void TPlugin::Start() {
  TempPath = WithTrailingBackslash(platform::SystemTempPath());
  // Without the module's own folder, PluginPath stays empty: the start-up script and the engine
  // are then looked for nowhere, never relative to the current drive or folder.
  const std::u16string folder = FolderPart(platform::ModuleFileName());
  PluginPath = folder.empty() ? std::u16string() : WithTrailingBackslash(folder);
  Sentrel = std::make_unique<TSentrel>();
  Sentrel->Messages = this;
  auto script = std::make_shared<script::TStartupScript>(PluginPath.Get(), Sentrel->Settings);
  Sentrel->BuildTemplateMemory = [script](TItemTree& tree, TUserMessages& user) {
    script->BuildTemplateMemory(tree, user);
  };
}

void TPlugin::End() {
  searches_.Clear();
  std::unique_ptr<TSentrel> old = std::move(Sentrel);
  old.reset();
  DefaultIniPath = std::u16string();
  TempPath = std::u16string();
  PluginPath = std::u16string();
}

std::int32_t TPlugin::InitW(std::int32_t pluginNr, tProgressProcW progress, tLogProcW log, tRequestProcW request) {
  PluginNumber = pluginNr;
  ProgressProcW = progress;
  LogProcW = log;
  RequestProcW = request;
  return 1;
}

std::int32_t TPlugin::Init(std::int32_t pluginNr, tProgressProc progress, tLogProc log, tRequestProc request) {
  PluginNumber = pluginNr;
  ProgressProc = progress;
  LogProc = log;
  RequestProc = request;
  return -1;
}

void TPlugin::SetDefaultParams(const FsDefaultParamStruct* dps) {
  if (!dps) return;
  std::size_t n = 0;
  while (n < sizeof dps->DefaultIniName && dps->DefaultIniName[n]) ++n;
  DefaultIniPath = FolderPart(platform::FromAnsi(std::string(dps->DefaultIniName, n)));
}

bool TPlugin::IsHostOrTempPath(const std::u16string& name) const {
  const std::u16string host = platform::GetEnv(u"COMMANDER_PATH").value_or(std::u16string());
  return platform::StartsWithIgnoreCase(name, host) || platform::StartsWithIgnoreCase(name, TempPath.Get());
}

namespace {
std::vector<KS_WCHAR> Buffer(const std::u16string& s) {
  std::vector<KS_WCHAR> b(s.size() + 1, 0);
  for (std::size_t i = 0; i < s.size(); ++i) b[i] = static_cast<KS_WCHAR>(s[i]);
  return b;
}
}  // namespace

bool TPlugin::AskYesNo(const std::u16string& title, const std::u16string& text) {
  const tRequestProcW request = RequestProcW;
  if (!request) return false;
  auto t = Buffer(title), x = Buffer(text);
  return request(PluginNumber, RT_MsgYesNo, t.data(), x.data(), nullptr, 0) != 0;
}

void TPlugin::ShowError(const std::u16string& text) {
  const tRequestProcW request = RequestProcW;
  if (!request) return;
  auto t = Buffer(u"Error"), x = Buffer(text);
  request(PluginNumber, RT_MsgOK, t.data(), x.data(), nullptr, 0);
}

void TPlugin::LogImportantError(const std::u16string& text) {
  const tLogProcW log = LogProcW;
  if (!log) return;
  auto x = Buffer(text);
  log(PluginNumber, MSGTYPE_IMPORTANTERROR, x.data());
}

}  // namespace kestrow
