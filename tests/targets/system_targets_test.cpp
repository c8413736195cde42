// The target rules with the system's own answers: files, folders and keys this test makes
// (natively in a Windows folder of its own and the in-memory registry; under Wine in the prefix's
// Windows, System32, SysWOW64 and program-files folders and its registry), read by the 64-bit and
// by the 32-bit build.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#endif

#include "model/targets/system_target_lookup.h"
#include "model/targets/target_resolver.h"
#include "platform/environment.h"
#ifndef _WIN32
#include "platform/native_path_posix.h"
#endif
#include "platform/platform.h"
#include "platform/text.h"
#include "support/registry_fixture.h"

namespace kestrow::test {
namespace {

void SetEnv(const std::u16string& name, const std::optional<std::u16string>& value) {
#ifdef _WIN32
  SetEnvironmentVariableW(reinterpret_cast<const wchar_t*>(name.c_str()),
                          value ? reinterpret_cast<const wchar_t*>(value->c_str()) : nullptr);
#else
  if (value) ::setenv(ToUtf8(name).c_str(), ToUtf8(*value).c_str(), 1);
  else ::unsetenv(ToUtf8(name).c_str());
#endif
}

std::string Describe(const std::vector<Target>& targets) {
  std::string s;
  for (const Target& t : targets)
    s += (s.empty() ? "" : " | ") + ToUtf8(t.path) + (t.state == TargetState::Found ? " [found]" : " [missing]");
  return s.empty() ? "(no file)" : s;
}

Target F(const std::u16string& path) { return {path, TargetState::Found}; }
Target M(const std::u16string& path) { return {path, TargetState::Missing}; }

const std::u16string kServices = u"SYSTEM\\CurrentControlSet\\Services\\";
const std::u16string kAppPaths = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

class SystemTargets : public ::testing::Test {
 protected:
  void SetUp() override {
    char tag[32];
    std::snprintf(tag, sizeof tag, "kt%x%x", static_cast<unsigned>(platform::ProcessId()),
                  static_cast<unsigned>(platform::TickCount() & 0xFFFFFF));
    tag_ = FromUtf8(tag);
    std::u16string temp = platform::SystemTempPath();
    if (!temp.empty() && temp.back() == u'\\') temp.pop_back();
    root_ = temp + u"\\kestrow-targets-" + tag_;
    Folder(root_);
#ifdef _WIN32
    windows_ = platform::WindowsFolder();
    pf64_ = platform::GetEnv(u"ProgramW6432").value_or(platform::GetEnv(u"ProgramFiles").value_or(u""));
    pf32_ = platform::GetEnv(u"ProgramFiles(x86)").value_or(pf64_);
#else
    // A system of its own: its Windows folder and program-files folders are those the
    // environment names.
    windows_ = root_ + u"\\Windows";
    pf64_ = root_ + u"\\Program Files";
    pf32_ = root_ + u"\\Program Files (x86)";
    Folder(windows_);
    for (const char16_t* sub : {u"\\System32", u"\\SysWOW64", u"\\System"}) Folder(windows_ + sub);
    Folder(pf64_);
    Folder(pf32_);
    Env(u"SystemRoot", windows_);
    Env(u"windir", windows_);
    Env(u"ProgramFiles", pf64_);
    Env(u"ProgramW6432", pf64_);
    Env(u"ProgramFiles(x86)", pf32_);
#endif
    ASSERT_FALSE(windows_.empty());
    ASSERT_FALSE(pf64_.empty());
    sys64_ = platform::SystemFolder(platform::Bitness::Bits64);
    sys32_ = platform::SystemFolder(platform::Bitness::Bits32);
    Env(u"PATH", root_ + u"\\bin;" + platform::GetEnv(u"PATH").value_or(u""));

    for (const char16_t* f : {u"\\Vendor App", u"\\apps", u"\\bin", u"\\scripts", u"\\dir.exe", u"\\Startup"})
      Folder(root_ + f);
    for (const char16_t* f : {u"\\Vendor App\\app.exe", u"\\Vendor App\\hook.dll", u"\\apps\\noext.exe",
                              u"\\apps\\registered.exe", u"\\scripts\\start.vbs", u"\\raw.sys", u"\\svc.dll"})
      File(root_ + f);
    File(root_ + u"\\bin\\" + tag_ + u"path.exe");
    Folder(pf64_ + u"\\kestrow-" + tag_);
    File(pf64_ + u"\\kestrow-" + tag_ + u"\\app64.exe");
    Folder(pf32_ + u"\\kestrow-" + tag_);
    File(pf32_ + u"\\kestrow-" + tag_ + u"\\app32.exe");
    File(windows_ + u"\\" + tag_ + u"w.exe");
    File(sys64_ + u"\\" + tag_ + u"s64.exe");
    File(sys64_ + u"\\" + tag_ + u"lib.dll");
    File(sys64_ + u"\\" + tag_ + u".sys");
    if (sys32_ != sys64_) File(sys32_ + u"\\" + tag_ + u"s32.exe");

    Reg::Str(RT_HKCU, WOW64_64, kAppPaths + tag_ + u"app.exe", u"", root_ + u"\\apps\\registered.exe");
    Reg::Str(RT_HKLM, WOW64_64, kServices + tag_ + u"svc\\Parameters", u"ServiceDll", u"%KESTROW_TARGETS%\\svc.dll",
             REG_EXPAND_SZ_);
    Env(u"KESTROW_TARGETS", root_);
  }

  void TearDown() override {
    Reg::DeleteKey(RT_HKCU, WOW64_64, kAppPaths + tag_ + u"app.exe");
    Reg::DeleteKey(RT_HKLM, WOW64_64, kServices + tag_ + u"svc");
    for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
      const std::u16string real = platform::PathPastRedirection(it->first);
      if (!it->second) {
        EXPECT_TRUE(platform::DeleteFileIfExists(real)) << ToUtf8(real);
        continue;
      }
#ifdef _WIN32
      RemoveDirectoryW(reinterpret_cast<const wchar_t*>(real.c_str()));
#else
      ::rmdir(platform::NativePath(real).c_str());
#endif
    }
    for (auto it = env_.rbegin(); it != env_.rend(); ++it) SetEnv(it->first, it->second);
  }

  void Env(const std::u16string& name, const std::u16string& value) {
    env_.push_back({name, platform::GetEnv(name)});
    SetEnv(name, value);
  }
  // Makes the file or folder where the system itself names it so (past the redirection a 32-bit
  // process meets).
  void File(const std::u16string& path) {
    ASSERT_TRUE(platform::WriteWholeFile(platform::PathPastRedirection(path), "probe")) << ToUtf8(path);
    made_.push_back({path, false});
  }
  void Folder(const std::u16string& path) {
    const std::u16string real = platform::PathPastRedirection(path);
#ifdef _WIN32
    CreateDirectoryW(reinterpret_cast<const wchar_t*>(real.c_str()), nullptr);
#else
    ::mkdir(platform::NativePath(real).c_str(), 0755);
#endif
    ASSERT_EQ(platform::PathKind::Folder, platform::KindOfPath(path)) << ToUtf8(path);
    made_.push_back({path, true});
  }

  struct Case {
    const char* name;
    LocationKind kind;
    StoredValue value;
    RegView view;
    std::vector<Target> expected;
    std::u16string serviceKey = u"";
  };
  void Check(const std::vector<Case>& cases) {
    const SystemTargetLookup lookup;
    for (const Case& c : cases) {
      const TargetRequest request{c.kind, c.value, c.view, c.serviceKey};
      EXPECT_EQ(Describe(c.expected), Describe(ResolveTargets(request, lookup))) << c.name;
    }
  }

  std::u16string tag_, root_, windows_, sys64_, sys32_, pf64_, pf32_;
  std::vector<std::pair<std::u16string, bool>> made_;  // path, is a folder
  std::vector<std::pair<std::u16string, std::optional<std::u16string>>> env_;
};

const RegView k32 = RegView::Bits32;
const RegView k64 = RegView::Bits64;
const LocationKind kRun = LocationKind::RunKey;
StoredValue S(const std::u16string& text) { return StoredValue::String(text); }
StoredValue X(const std::u16string& text) { return StoredValue::ExpandString(text); }

TEST_F(SystemTargets, CommandLinesAndSearchedNames) {
  const std::u16string app = root_ + u"\\Vendor App\\app.exe";
  Check({
      {"quoted path, then arguments", kRun, S(u"\"" + app + u"\" /x"), k64, {F(app)}},
      {"unquoted with spaces: only the longer prefix exists", kRun, S(app + u" /x"), k64, {F(app)}},
      {"no extension", kRun, S(root_ + u"\\apps\\noext -s"), k64, {F(root_ + u"\\apps\\noext.exe")}},
      {"bare name in the Windows folder", kRun, S(tag_ + u"w.exe"), k64, {F(windows_ + u"\\" + tag_ + u"w.exe")}},
      {"bare name in System32", kRun, S(tag_ + u"s64 /x"), k64, {F(sys64_ + u"\\" + tag_ + u"s64.exe")}},
      {"bare name on PATH", kRun, S(tag_ + u"path.exe /q"), k64, {F(root_ + u"\\bin\\" + tag_ + u"path.exe")}},
      {"bare name in App Paths", kRun, S(tag_ + u"app -min"), k64, {F(root_ + u"\\apps\\registered.exe")}},
      {"bare name found nowhere", kRun, S(tag_ + u"none.exe"), k64, {M(tag_ + u"none.exe")}},
      {"a folder starts no file", kRun, S(root_ + u"\\dir.exe"), k64, {M(root_ + u"\\dir.exe")}},
      {"a shell folder", LocationKind::ShellFolder, S(root_ + u"\\Startup"), k64, {F(root_ + u"\\Startup")}},
      {"rundll32, quoted library", kRun, S(u"rundll32.exe \"" + root_ + u"\\Vendor App\\hook.dll\",Entry"), k64,
       {F(root_ + u"\\Vendor App\\hook.dll")}},
      {"rundll32, unquoted library", kRun, S(u"rundll32 " + root_ + u"\\Vendor App\\hook.dll,Entry x"), k64,
       {F(root_ + u"\\Vendor App\\hook.dll")}},
      {"regsvr32", kRun, S(u"regsvr32 /s \"" + root_ + u"\\Vendor App\\hook.dll\""), k64,
       {F(root_ + u"\\Vendor App\\hook.dll")}},
      {"wscript", kRun, S(u"wscript //B " + root_ + u"\\scripts\\start.vbs"), k64, {F(root_ + u"\\scripts\\start.vbs")}},
      {"Userinit with an appended program", LocationKind::WinlogonList,
       S(sys64_ + u"\\" + tag_ + u"s64.exe," + tag_ + u"path.exe"), k64,
       {F(sys64_ + u"\\" + tag_ + u"s64.exe"), F(root_ + u"\\bin\\" + tag_ + u"path.exe")}},
      {"AppInit_DLLs", LocationKind::AppInitList, S(root_ + u"\\svc.dll," + tag_ + u"lib " + tag_ + u"gone"), k64,
       {F(root_ + u"\\svc.dll"), F(sys64_ + u"\\" + tag_ + u"lib.dll"), M(tag_ + u"gone.dll")}},
  });
}

TEST_F(SystemTargets, ServicesAndDrivers) {
  const std::u16string key = u"\\" + kServices + tag_ + u"svc";
  const std::u16string driver = windows_ + u"\\System32\\" + tag_ + u".sys";
  Check({
      {"svchost names the ServiceDll", LocationKind::ServiceImage,
       X(u"%SystemRoot%\\System32\\svchost.exe -k kestrowtest"), k64, {F(root_ + u"\\svc.dll")}, key},
      {"the same from the 32-bit view", LocationKind::ServiceImage, X(u"%SystemRoot%\\System32\\svchost.exe -k x"),
       k32, {F(root_ + u"\\svc.dll")}, key},
      {"\\SystemRoot\\", LocationKind::ServiceImage, X(u"\\SystemRoot\\System32\\" + tag_ + u".sys"), k64, {F(driver)}},
      {"System32\\ in the Windows folder", LocationKind::ServiceImage, X(u"System32\\" + tag_ + u".sys"), k32,
       {F(driver)}},
      {"\\??\\", LocationKind::ServiceImage, X(u"\\??\\" + root_ + u"\\raw.sys"), k64, {F(root_ + u"\\raw.sys")}},
  });
}

TEST_F(SystemTargets, EachViewSeesItsOwnFolders) {
  const std::u16string sub = u"\\kestrow-" + tag_;
  ASSERT_NE(sys32_, sys64_) << "a 64-bit system has a System folder for 32-bit programs";
  Check({
      {"ProgramFiles of the 64-bit view", kRun, S(u"%ProgramFiles%" + sub + u"\\app64.exe"), k64,
       {F(pf64_ + sub + u"\\app64.exe")}},
      {"ProgramFiles of the 32-bit view", kRun, X(u"\"%ProgramFiles%" + sub + u"\\app32.exe\" /x"), k32,
       {F(pf32_ + sub + u"\\app32.exe")}},
      {"the 64-bit program is not in the 32-bit folder", kRun, S(u"%ProgramFiles%" + sub + u"\\app64.exe"), k32,
       {M(pf32_ + sub + u"\\app64.exe")}},
      {"System32 of the 64-bit view", kRun, S(u"%windir%\\System32\\" + tag_ + u"s64.exe"), k64,
       {F(windows_ + u"\\System32\\" + tag_ + u"s64.exe")}},
      {"a file only SysWOW64 holds is not in the 64-bit System32", kRun, S(u"%windir%\\System32\\" + tag_ + u"s32.exe"),
       k64, {M(windows_ + u"\\System32\\" + tag_ + u"s32.exe")}},
      {"the 32-bit view's System32 is SysWOW64", kRun, S(u"%windir%\\System32\\" + tag_ + u"s32.exe"), k32,
       {F(sys32_ + u"\\" + tag_ + u"s32.exe")}},
      {"and a file only System32 holds is missing there", kRun, S(u"%windir%\\System32\\" + tag_ + u"s64.exe"), k32,
       {M(sys32_ + u"\\" + tag_ + u"s64.exe")}},
      {"bare name in SysWOW64", kRun, S(tag_ + u"s32.exe"), k32, {F(sys32_ + u"\\" + tag_ + u"s32.exe")}},
      {"bare name only in System32, 32-bit view", kRun, S(tag_ + u"s64.exe"), k32, {M(tag_ + u"s64.exe")}},
      {"bare name only in SysWOW64, 64-bit view", kRun, S(tag_ + u"s32.exe"), k64, {M(tag_ + u"s32.exe")}},
  });
}

TEST(Environment, ReferencesExpandAsTheSystemExpandsThem) {
  SetEnv(u"KESTROW_A", u"alpha");
  struct Case {
    const char16_t* text;
    const char16_t* expanded;
  };
  const Case cases[] = {
      {u"%KESTROW_A%\\x", u"alpha\\x"},
      {u"%kestrow_a%%KESTROW_A%", u"alphaalpha"},
      {u"%KESTROW_UNSET%\\x", u"%KESTROW_UNSET%\\x"},
      {u"%KESTROW_UNSET%KESTROW_A%", u"%KESTROW_UNSET%KESTROW_A%"},
      {u"100% %KESTROW_A%", u"100% %KESTROW_A%"},
      {u"100%% %KESTROW_A%", u"100%% alpha"},
      {u"%%", u"%%"},
      {u"%KESTROW_A", u"%KESTROW_A"},
      {u"", u""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToUtf8(c.expanded), ToUtf8(platform::ExpandEnvironment(c.text, platform::Bitness::Bits64)))
        << ToUtf8(c.text);
#ifdef _WIN32
    wchar_t system[512] = {};
    ExpandEnvironmentStringsW(reinterpret_cast<const wchar_t*>(c.text), system, 512);
    EXPECT_EQ(ToUtf8(c.expanded), ToUtf8(reinterpret_cast<const char16_t*>(system))) << "the system: " << ToUtf8(c.text);
#endif
  }
  SetEnv(u"KESTROW_A", std::nullopt);
}

}  // namespace
}  // namespace kestrow::test
