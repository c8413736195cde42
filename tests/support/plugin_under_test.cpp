#include "support/plugin_under_test.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include "host/plugin.h"
#include "platform/platform.h"
#include "platform/text.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "host/exports.h"
#endif

namespace kestrow::test {

namespace {
Callbacks g_callbacks;
PluginApi g_api;
bool g_loaded = false;
std::u16string g_folder;
std::u16string g_ownFolder;  // the folder of the first load
bool g_engineCopied = false;

#ifndef _WIN32
// The plugin's temporary folder is $TMPDIR. A build tree under /tmp would put the folders the
// tests use as "outside the temporary folder" inside it, so every test process gets a temporary
// folder of its own beside them, before anything asks for it.
[[maybe_unused]] const bool g_ownTemp = [] {
  const std::string dir = std::string(KESTROW_TEST_OUTSIDE_DIR) + "-temp";
  ::mkdir(dir.c_str(), 0755);
  return ::setenv("TMPDIR", dir.c_str(), 1) == 0;
}();
#endif

// A folder in the build tree, outside the temporary folder.
std::u16string WorkingFolder() {
  std::u16string w = u"Z:" + FromUtf8(KESTROW_TEST_OUTSIDE_DIR);
  for (auto& c : w)
    if (c == u'/') c = u'\\';
#ifdef _WIN32
  CreateDirectoryW(reinterpret_cast<const wchar_t*>(w.c_str()), nullptr);
#else
  ::mkdir(KESTROW_TEST_OUTSIDE_DIR, 0755);
#endif
  return w;
}

// The folders stay after the process; process ids come again (under Wine within minutes), so a
// name already taken is skipped: the folder is always new and empty.
std::u16string MakeFolder(const std::u16string& tag, bool outsideTemp = false) {
  static int counter = 0;
  std::u16string base = outsideTemp ? WorkingFolder() : platform::SystemTempPath();
  if (base.empty() || base.back() != u'\\') base += u'\\';
  for (;;) {
#ifdef _WIN32
    std::u16string dir = base + u"kestrow-test-" + tag + FromUtf8(std::to_string(GetCurrentProcessId())) + u"-" +
                         FromUtf8(std::to_string(++counter));
    if (CreateDirectoryW(reinterpret_cast<const wchar_t*>(dir.c_str()), nullptr) ||
        GetLastError() != ERROR_ALREADY_EXISTS)
      return dir + u"\\";
#else
    std::u16string dir = base + u"kestrow-test-" + tag + FromUtf8(std::to_string(getpid())) + u"-" +
                         FromUtf8(std::to_string(++counter));
    std::string native = ToUtf8(dir.substr(2));
    for (auto& c : native)
      if (c == '\\') c = '/';
    if (::mkdir(native.c_str(), 0755) == 0 || errno != EEXIST) return dir + u"\\";
#endif
  }
}

#ifdef _WIN32
HMODULE g_module = nullptr;

template <typename T>
void Resolve(T& slot, const char* name) {
  slot = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(g_module, name)));
}

void Load() {
  const char* dll = std::getenv("KESTROW_PLUGIN");
  std::u16string source = dll ? FromUtf8(dll) : FromUtf8(KESTROW_PLUGIN_PATH);
  if (g_folder.empty()) g_folder = MakeFolder(u"plugin");
  if (g_ownFolder.empty()) g_ownFolder = g_folder;
  std::u16string target = g_folder + FromUtf8(KESTROW_DLL_NAME);
  CopyFileW(reinterpret_cast<const wchar_t*>(source.c_str()), reinterpret_cast<const wchar_t*>(target.c_str()), FALSE);
  std::u16string engine = u"Z:" + FromUtf8(KESTROW_ENGINE_BUILT);
  for (auto& c : engine)
    if (c == u'/') c = u'\\';
  CopyFileW(reinterpret_cast<const wchar_t*>(engine.c_str()),
            reinterpret_cast<const wchar_t*>((g_folder + FromUtf8(KESTROW_ENGINE_FILE)).c_str()), FALSE);
  g_module = LoadLibraryW(reinterpret_cast<const wchar_t*>(target.c_str()));
  if (!g_module) {
    std::fprintf(stderr, "cannot load %s\n", ToUtf8(target).c_str());
    std::abort();
  }
  g_api = PluginApi();
  Resolve(g_api.FsInitW, "FsInitW");
  Resolve(g_api.FsInit, "FsInit");
  Resolve(g_api.FsFindFirstW, "FsFindFirstW");
  Resolve(g_api.FsFindNextW, "FsFindNextW");
  Resolve(g_api.FsFindFirst, "FsFindFirst");
  Resolve(g_api.FsFindNext, "FsFindNext");
  Resolve(g_api.FsFindClose, "FsFindClose");
  Resolve(g_api.FsStatusInfoW, "FsStatusInfoW");
  Resolve(g_api.FsGetDefRootName, "FsGetDefRootName");
  Resolve(g_api.FsSetDefaultParams, "FsSetDefaultParams");
  Resolve(g_api.FsGetFileW, "FsGetFileW");
  Resolve(g_api.FsPutFileW, "FsPutFileW");
  Resolve(g_api.FsDeleteFileW, "FsDeleteFileW");
  Resolve(g_api.FsSetAttrW, "FsSetAttrW");
  Resolve(g_api.FsExecuteFileW, "FsExecuteFileW");
  Resolve(g_api.FsExtractCustomIconW, "FsExtractCustomIconW");
  Resolve(g_api.FsContentGetSupportedField, "FsContentGetSupportedField");
  Resolve(g_api.FsContentGetValueW, "FsContentGetValueW");
  Resolve(g_api.FsContentGetDefaultViewW, "FsContentGetDefaultViewW");
  Resolve(g_api.FsContentGetDefaultView, "FsContentGetDefaultView");
}

void Unload() {
  if (g_module) FreeLibrary(g_module);
  g_module = nullptr;
}
#else
void Load() {
  if (g_ownFolder.empty()) g_folder = g_ownFolder = MakeFolder(u"plugin");
  if (!g_engineCopied && !g_folder.empty()) {
    std::string bytes;
    if (platform::ReadWholeFile(u"Z:" + FromUtf8(KESTROW_ENGINE_BUILT), bytes))
      platform::WriteWholeFile(g_folder + FromUtf8(KESTROW_ENGINE_FILE), bytes);
    g_engineCopied = true;
  }
  platform::SetModuleFileNameForTests(g_folder + u"wfx_kestrow.so");
  kestrow::Plugin().Start();
  g_api = PluginApi();
  g_api.FsInitW = &::FsInitW;
  g_api.FsInit = &::FsInit;
  g_api.FsFindFirstW = &::FsFindFirstW;
  g_api.FsFindNextW = &::FsFindNextW;
  g_api.FsFindFirst = &::FsFindFirst;
  g_api.FsFindNext = &::FsFindNext;
  g_api.FsFindClose = &::FsFindClose;
  g_api.FsStatusInfoW = &::FsStatusInfoW;
  g_api.FsGetDefRootName = &::FsGetDefRootName;
  g_api.FsSetDefaultParams = &::FsSetDefaultParams;
#ifdef KESTROW_HAS_FILE_EXPORTS
  g_api.FsGetFileW = &::FsGetFileW;
  g_api.FsPutFileW = &::FsPutFileW;
  g_api.FsDeleteFileW = &::FsDeleteFileW;
  g_api.FsSetAttrW = &::FsSetAttrW;
  g_api.FsExtractCustomIconW = &::FsExtractCustomIconW;
  g_api.FsContentGetSupportedField = &::FsContentGetSupportedField;
  g_api.FsContentGetValueW = &::FsContentGetValueW;
  g_api.FsContentGetDefaultViewW = &::FsContentGetDefaultViewW;
  g_api.FsContentGetDefaultView = &::FsContentGetDefaultView;
#endif
#ifdef KESTROW_HAS_EXECUTE_EXPORT
  g_api.FsExecuteFileW = &::FsExecuteFileW;
#endif
}

void Unload() { kestrow::Plugin().End(); }
#endif
}  // namespace

KS_BOOL KS_STDCALL RecordingRequestW(std::int32_t, std::int32_t type, KS_WCHAR* title, KS_WCHAR* text, KS_WCHAR*,
                                     std::int32_t) {
  return RecordRequest(type, title, text);
}

void KS_STDCALL RecordingLogW(std::int32_t, std::int32_t type, KS_WCHAR* text) {
  g_callbacks.logs.push_back(FromHost(text));
  g_callbacks.logTypes.push_back(type);
}

std::int32_t KS_STDCALL NoProgressW(std::int32_t, KS_WCHAR*, KS_WCHAR*, std::int32_t) { return 0; }

PluginApi& Exports() {
  if (!g_loaded) {
    Load();
    g_loaded = true;
    g_api.FsInitW(7, &NoProgressW, &RecordingLogW, &RecordingRequestW);
  }
  return g_api;
}

void UnloadPlugin() {
  if (g_loaded) Unload();
  g_loaded = false;
}

void ReloadPlugin() {
  UnloadPlugin();
  Exports();
}

void ReloadPluginFrom(const std::u16string& folder) {
  Exports();
  UnloadPlugin();
  g_folder = folder;
  g_engineCopied = false;
  Exports();
}

void UseOwnFolder() {
  if (g_ownFolder.empty() || g_folder == g_ownFolder) return;
  UnloadPlugin();
  g_folder = g_ownFolder;
  g_engineCopied = true;
  Exports();
}

std::u16string LongFolder(std::size_t length) {
  std::u16string dir = MakeFolder(u"long");
  for (int level = 0; dir.size() < length; ++level) {
    dir += std::u16string(60, char16_t(u'a' + level)) + u"\\";
#ifdef _WIN32
    CreateDirectoryW(reinterpret_cast<const wchar_t*>(dir.c_str()), nullptr);
#else
    std::string native = ToUtf8(dir.substr(2));
    for (auto& c : native)
      if (c == '\\') c = '/';
    ::mkdir(native.c_str(), 0755);
#endif
  }
  return dir;
}

std::u16string PluginFolder() {
  Exports();
  return g_folder;
}

std::u16string ScratchFolder() { return MakeFolder(u"scratch"); }
std::u16string OutsideTempFolder() { return MakeFolder(u"outside", true); }

std::optional<std::string> ReadLocal(const std::u16string& path) {
  std::string bytes;
  if (!platform::ReadWholeFile(path, bytes)) return std::nullopt;
  return bytes;
}

std::vector<std::u16string> FilesIn(const std::u16string& folder) {
  std::vector<std::u16string> names;
#ifdef _WIN32
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(reinterpret_cast<const wchar_t*>((folder + u"*").c_str()), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::u16string name(reinterpret_cast<const char16_t*>(fd.cFileName));
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(name);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
#else
  std::string native = ToUtf8(folder.substr(2));
  for (auto& c : native)
    if (c == '\\') c = '/';
  if (DIR* d = ::opendir(native.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      struct stat st;
      if (::stat((native + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(FromUtf8(name));
    }
    ::closedir(d);
  }
#endif
  return names;
}

Callbacks& Recorded() { return g_callbacks; }

KS_BOOL RecordRequest(std::int32_t type, const KS_WCHAR* title, const KS_WCHAR* text) {
  g_callbacks.requests.push_back({type, FromHost(title), FromHost(text)});
  static bool listing = false;
  if (!g_callbacks.listDuringRequests.empty() && !listing) {
    listing = true;
    const std::size_t found = List(g_callbacks.listDuringRequests).size();
    listing = false;
    g_callbacks.listedDuringRequests.push_back(found);
  }
  if (type != RT_MsgYesNo) return 1;
  bool answer = g_callbacks.defaultAnswer;
  if (!g_callbacks.answers.empty()) {
    answer = g_callbacks.answers.front();
    g_callbacks.answers.erase(g_callbacks.answers.begin());
  }
  return answer ? 1 : 0;
}

void SetEnv(const char* name, const std::u16string& value) {
#ifdef _WIN32
  const std::u16string n = FromUtf8(name);
  SetEnvironmentVariableW(reinterpret_cast<const wchar_t*>(n.c_str()),
                          value.empty() ? nullptr : reinterpret_cast<const wchar_t*>(value.c_str()));
#else
  if (value.empty()) ::unsetenv(name);
  else ::setenv(name, ToUtf8(value).c_str(), 1);
#endif
}

void InitCoreInProcess() {
  kestrow::Plugin().InitW(7, nullptr, &RecordingLogW, &RecordingRequestW);
  if (kestrow::Plugin().TempPath.Get().empty()) kestrow::Plugin().TempPath = platform::SystemTempPath();
}

std::vector<KS_WCHAR> W(const std::u16string& s) {
  std::vector<KS_WCHAR> b(s.size() + 1, 0);
  for (std::size_t i = 0; i < s.size(); ++i) b[i] = static_cast<KS_WCHAR>(s[i]);
  return b;
}

std::u16string FromHost(const KS_WCHAR* s, std::size_t max) {
  std::u16string out;
  for (std::size_t i = 0; s && i < max && s[i]; ++i) out += static_cast<char16_t>(s[i]);
  return out;
}

std::vector<Entry> List(const std::u16string& path, bool* ok) {
  std::vector<Entry> out;
  KsFindDataW fd;
  auto p = W(path);
  KS_HANDLE h = Exports().FsFindFirstW(p.data(), &fd);
  if (ok) *ok = h != KsInvalidHandle();
  if (h == KsInvalidHandle()) return out;
  do {
    out.push_back(
        {FromHost(fd.cFileName), (fd.dwFileAttributes & KS_FILE_ATTRIBUTE_DIRECTORY) != 0, fd.dwFileAttributes});
  } while (Exports().FsFindNextW(h, &fd));
  Exports().FsFindClose(h);
  return out;
}

std::vector<std::u16string> Names(const std::vector<Entry>& entries) {
  std::vector<std::u16string> n;
  for (const auto& e : entries) n.push_back(e.name);
  return n;
}

}  // namespace kestrow::test
