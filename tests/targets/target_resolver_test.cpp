// The target rules against a system made of tables: one table of command lines and what they
// start, by the kind of location they come from and the registry view they are read in.
#include <gtest/gtest.h>

#include "model/targets/target_resolver.h"
#include "platform/text.h"
#include "targets/fake_target_lookup.h"

namespace kestrow::test {
namespace {

const RegView k32 = RegView::Bits32;
const RegView k64 = RegView::Bits64;

Target F(const std::u16string& path) { return {path, TargetState::Found}; }
Target M(const std::u16string& path) { return {path, TargetState::Missing}; }
StoredValue S(const std::u16string& text) { return StoredValue::String(text); }
StoredValue X(const std::u16string& text) { return StoredValue::ExpandString(text); }

std::string Describe(const std::vector<Target>& targets) {
  std::string s;
  for (const Target& t : targets)
    s += (s.empty() ? "" : " | ") + ToUtf8(t.path) + (t.state == TargetState::Found ? " [found]" : " [missing]");
  return s.empty() ? "(no file)" : s;
}

// A 64-bit system: the usual programs in System32 and SysWOW64, a few of them only in one, and
// programs of its own in the other places a name is searched.
FakeTargetLookup System() {
  FakeTargetLookup sys;
  for (const char16_t* name : {u"rundll32.exe", u"regsvr32.exe", u"wscript.exe", u"cscript.exe", u"svchost.exe",
                               u"userinit.exe", u"shell32.dll", u"cmd.exe", u"notepad.exe", u"logonui.exe",
                               u"msgina.dll", u"appinit1.dll", u"netsvc.dll", u"only64.exe", u"drivers\\kdrv.sys",
                               u"spool\\prtprocs\\print.dll"})
    sys.AddFile(std::u16string(u"C:\\Windows\\System32\\") + name);
  for (const char16_t* name : {u"rundll32.exe", u"regsvr32.exe", u"userinit.exe", u"shell32.dll", u"only32.exe",
                               u"cmd.exe"})
    sys.AddFile(std::u16string(u"C:\\Windows\\SysWOW64\\") + name);
  for (const char16_t* path :
       {u"C:\\Windows\\explorer.exe", u"C:\\Windows\\notepad.exe", u"C:\\Windows\\System\\old16.exe",
        u"C:\\Tools\\bin\\pathtool.exe", u"C:\\Program Files\\Vendor\\app.exe", u"C:\\Program Files\\Vendor\\hook.dll",
        u"C:\\Program Files\\Vendor App\\tool.exe", u"C:\\Program Files (x86)\\Vendor\\app32.exe",
        u"C:\\Apps\\noext.exe", u"C:\\Libs\\plugin.dll", u"C:\\Libs\\appinit2.dll", u"C:\\Scripts\\start.vbs",
        u"C:\\Drivers\\raw.sys", u"C:\\AppPaths\\registered.exe", u"C:\\Data\\set.v2 run.exe"})
    sys.AddFile(path);
  for (const char16_t* path : {u"C:\\Windows", u"C:\\Windows\\System32", u"C:\\Windows\\SysWOW64", u"C:\\Tools\\bin",
                               u"C:\\Tools\\folder.exe", u"C:\\Tools\\bin\\sub.exe", u"C:\\Data\\set.v2",
                               u"C:\\Users\\Me\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"})
    sys.AddFolder(path);
  sys.path = {u"C:\\Tools\\bin", u"C:\\Windows\\System32"};
  sys.env64 = {{u"SystemRoot", u"C:\\Windows"},
               {u"windir", u"C:\\Windows"},
               {u"ProgramFiles", u"C:\\Program Files"},
               {u"APPDATA", u"C:\\Users\\Me\\AppData\\Roaming"}};
  sys.env32 = sys.env64;
  sys.env32[u"ProgramFiles"] = u"C:\\Program Files (x86)";
  sys.appPaths = {{u"registered.exe", u"C:\\AppPaths\\registered.exe"},
                  {u"quoted.exe", u"\"%ProgramFiles%\\Vendor\\app.exe\""},
                  {u"gone.exe", u"C:\\AppPaths\\gone.exe"}};
  sys.serviceDlls = {{u"\\SYSTEM\\CurrentControlSet\\Services\\NetSvc", u"%SystemRoot%\\System32\\netsvc.dll"}};
  return sys;
}

struct Case {
  const char* name;
  LocationKind kind;
  StoredValue value;
  RegView view;
  std::vector<Target> expected;
  std::u16string serviceKey = u"";
};

void Check(const FakeTargetLookup& sys, const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    const TargetRequest request{c.kind, c.value, c.view, c.serviceKey};
    EXPECT_EQ(Describe(c.expected), Describe(ResolveTargets(request, sys))) << c.name;
  }
}

const LocationKind kRun = LocationKind::RunKey;

TEST(TargetRules, CommandLinesOfRunKeys) {
  Check(System(), {
      {"quoted path, then arguments", kRun, S(u"\"C:\\Program Files\\Vendor\\app.exe\" /background"), k64,
       {F(u"C:\\Program Files\\Vendor\\app.exe")}},
      {"quoted path that is not there", kRun, S(u"\"C:\\Program Files\\Gone\\gone.exe\" -x"), k64,
       {M(u"C:\\Program Files\\Gone\\gone.exe")}},
      {"unquoted with spaces: only the longer prefix exists", kRun, S(u"C:\\Program Files\\Vendor App\\tool.exe -x"),
       k64, {F(u"C:\\Program Files\\Vendor App\\tool.exe")}},
      {"unquoted with spaces, nothing there: the text before the switch", kRun,
       S(u"C:\\Program Files\\Gone App\\gone.exe /quiet C:\\x.cfg"), k64, {M(u"C:\\Program Files\\Gone App\\gone.exe")}},
      {"unquoted with spaces, nothing there, no switch: the shortest with an extension", kRun,
       S(u"C:\\Program Files\\Gone App\\gone.exe C:\\x.cfg"), k64, {M(u"C:\\Program Files\\Gone App\\gone.exe")}},
      {"a reading that names a folder is passed over", kRun, S(u"C:\\Data\\set.v2 run.exe"), k64,
       {F(u"C:\\Data\\set.v2 run.exe")}},
      {"no extension: .exe", kRun, S(u"C:\\Apps\\noext -silent"), k64, {F(u"C:\\Apps\\noext.exe")}},
      {"no extension, not there", kRun, S(u"C:\\Apps\\missing"), k64, {M(u"C:\\Apps\\missing.exe")}},
      {"a reference in a plain string", kRun, S(u"%ProgramFiles%\\Vendor\\app.exe /x"), k64,
       {F(u"C:\\Program Files\\Vendor\\app.exe")}},
      {"a reference in an expandable string, 32-bit view", kRun, X(u"\"%ProgramFiles%\\Vendor\\app32.exe\""), k32,
       {F(u"C:\\Program Files (x86)\\Vendor\\app32.exe")}},
      {"a variable that is not set stays", kRun, X(u"%NOSUCHVAR%\\x.exe"), k64, {M(u"%NOSUCHVAR%\\x.exe")}},
      {"bare name: the Windows folder comes first for the shell", kRun, S(u"notepad.exe"), k64,
       {F(u"C:\\Windows\\notepad.exe")}},
      {"bare name in the System folder", kRun, S(u"cmd /c start x"), k64, {F(u"C:\\Windows\\System32\\cmd.exe")}},
      {"bare name on PATH", kRun, S(u"pathtool --run"), k64, {F(u"C:\\Tools\\bin\\pathtool.exe")}},
      {"the shell does not search the 16-bit System folder", kRun, S(u"old16"), k64, {M(u"old16.exe")}},
      {"bare name in App Paths", kRun, S(u"registered -min"), k64, {F(u"C:\\AppPaths\\registered.exe")}},
      {"App Paths entry quoted and expandable", kRun, S(u"quoted.exe"), k64, {F(u"C:\\Program Files\\Vendor\\app.exe")}},
      {"App Paths entry whose file is gone", kRun, S(u"gone.exe"), k64, {M(u"C:\\AppPaths\\gone.exe")}},
      {"bare name found nowhere", kRun, S(u"nowhere.exe /x"), k64, {M(u"nowhere.exe")}},
      {"letters in either case", kRun, S(u"c:\\WINDOWS\\system32\\CMD.EXE"), k64, {F(u"c:\\WINDOWS\\system32\\CMD.EXE")}},
      {"text after a NUL is not read", kRun, S(std::u16string(u"C:\\Apps\\noext.exe\0junk", 22)), k64,
       {F(u"C:\\Apps\\noext.exe")}},
  });
}

TEST(TargetRules, HostsStartWhatTheirArgumentsName) {
  Check(System(), {
      {"rundll32, quoted library", kRun, S(u"rundll32.exe \"C:\\Program Files\\Vendor\\hook.dll\",Start"), k64,
       {F(u"C:\\Program Files\\Vendor\\hook.dll")}},
      {"rundll32, unquoted library with spaces", kRun,
       S(u"C:\\Windows\\System32\\rundll32.exe C:\\Program Files\\Vendor\\hook.dll,Start arg"), k64,
       {F(u"C:\\Program Files\\Vendor\\hook.dll")}},
      {"rundll32, bare library without extension", kRun, S(u"rundll32 shell32,Control_RunDLL"), k64,
       {F(u"C:\\Windows\\System32\\shell32.dll")}},
      {"rundll32, library that is not there", kRun, S(u"rundll32.exe C:\\Libs\\gone.dll,Run"), k64,
       {M(u"C:\\Libs\\gone.dll")}},
      {"rundll32 alone", kRun, S(u"rundll32.exe"), k64, {F(u"C:\\Windows\\System32\\rundll32.exe")}},
      {"regsvr32 with switches", kRun, S(u"regsvr32 /s /n /i:\"a b\" C:\\Libs\\plugin.dll"), k64,
       {F(u"C:\\Libs\\plugin.dll")}},
      {"regsvr32 with two libraries", kRun, S(u"regsvr32.exe -s \"C:\\Libs\\plugin.dll\" shell32"), k64,
       {F(u"C:\\Libs\\plugin.dll"), F(u"C:\\Windows\\System32\\shell32.dll")}},
      {"wscript", kRun, S(u"wscript.exe //B //Nologo \"C:\\Scripts\\start.vbs\" arg"), k64, {F(u"C:\\Scripts\\start.vbs")}},
      {"cscript, script not there", kRun, S(u"cscript //nologo C:\\Scripts\\gone.js"), k64, {M(u"C:\\Scripts\\gone.js")}},
      {"cmd stays the program", kRun, S(u"cmd.exe /c C:\\Scripts\\start.vbs"), k64, {F(u"C:\\Windows\\System32\\cmd.exe")}},
  });
}

TEST(TargetRules, ServicesAndDrivers) {
  const LocationKind svc = LocationKind::ServiceImage;
  const std::u16string key = u"\\SYSTEM\\CurrentControlSet\\Services\\NetSvc";
  const std::u16string noDll = u"\\SYSTEM\\CurrentControlSet\\Services\\Plain";
  Check(System(), {
      {"\\SystemRoot\\", svc, X(u"\\SystemRoot\\System32\\drivers\\kdrv.sys"), k64,
       {F(u"C:\\Windows\\System32\\drivers\\kdrv.sys")}},
      {"System32\\ is in the Windows folder", svc, X(u"System32\\drivers\\kdrv.sys"), k64,
       {F(u"C:\\Windows\\System32\\drivers\\kdrv.sys")}},
      {"\\??\\", svc, X(u"\\??\\C:\\Drivers\\raw.sys"), k64, {F(u"C:\\Drivers\\raw.sys")}},
      {"svchost names the ServiceDll", svc, X(u"%SystemRoot%\\System32\\svchost.exe -k netsvcs -p"), k64,
       {F(u"C:\\Windows\\System32\\netsvc.dll")}, key},
      {"svchost in the 32-bit view: the service manager is a 64-bit program", svc,
       X(u"%SystemRoot%\\system32\\svchost.exe -k netsvcs"), k32, {F(u"C:\\Windows\\System32\\netsvc.dll")}, key},
      {"svchost without a ServiceDll", svc, X(u"svchost.exe -k group"), k64, {F(u"C:\\Windows\\System32\\svchost.exe")},
       noDll},
      {"svchost without a group", svc, X(u"svchost.exe"), k64, {F(u"C:\\Windows\\System32\\svchost.exe")}, key},
      {"unquoted service path with spaces", svc, X(u"C:\\Program Files\\Vendor App\\tool.exe -service"), k64,
       {F(u"C:\\Program Files\\Vendor App\\tool.exe")}},
      {"a driver that is not there", svc, X(u"\\SystemRoot\\System32\\drivers\\gone.sys"), k64,
       {M(u"C:\\Windows\\System32\\drivers\\gone.sys")}},
      {"Start is a number", svc, StoredValue::Integer(), k64, {}},
  });
}

TEST(TargetRules, Lists) {
  const LocationKind winlogon = LocationKind::WinlogonList;
  const LocationKind appInit = LocationKind::AppInitList;
  Check(System(), {
      {"Userinit with an appended program", winlogon,
       S(u"C:\\Windows\\system32\\userinit.exe,C:\\Tools\\bin\\pathtool.exe,"), k64,
       {F(u"C:\\Windows\\system32\\userinit.exe"), F(u"C:\\Tools\\bin\\pathtool.exe")}},
      {"Userinit with a quoted program and arguments", winlogon,
       S(u"userinit.exe, \"C:\\Program Files\\Vendor\\app.exe\" /x,y, C:\\Gone\\evil.exe"), k64,
       {F(u"C:\\Windows\\System32\\userinit.exe"), F(u"C:\\Program Files\\Vendor\\app.exe"), M(u"y.exe"),
        M(u"C:\\Gone\\evil.exe")}},
      {"the same program twice is one target", winlogon, S(u"userinit.exe,USERINIT.EXE"), k64,
       {F(u"C:\\Windows\\System32\\userinit.exe")}},
      {"Shell: explorer.exe in the Windows folder", winlogon, S(u"explorer.exe"), k64, {F(u"C:\\Windows\\explorer.exe")}},
      {"AppInit_DLLs separated by spaces and commas", appInit, S(u"appinit1 C:\\Libs\\appinit2.dll,C:\\Libs\\gone.dll"),
       k64,
       {F(u"C:\\Windows\\System32\\appinit1.dll"), F(u"C:\\Libs\\appinit2.dll"), M(u"C:\\Libs\\gone.dll")}},
      {"AppInit_DLLs: quotes group nothing", appInit, S(u"\"C:\\Program Files\\Vendor\\hook.dll\""), k64,
       {M(u"C:\\Program.dll"), M(u"Files\\Vendor\\hook.dll")}},
      {"a multi-string is a list of command lines", LocationKind::Other,
       StoredValue::MultiString({u"C:\\Libs\\plugin.dll", u"", u"cmd.exe /k"}), k64,
       {F(u"C:\\Libs\\plugin.dll"), F(u"C:\\Windows\\System32\\cmd.exe")}},
  });
}

TEST(TargetRules, WinlogonLibrariesAndPrograms) {
  Check(System(), {
      {"GinaDLL", LocationKind::WinlogonDll, S(u"msgina.dll"), k64, {F(u"C:\\Windows\\System32\\msgina.dll")}},
      {"a notification package: the whole value is the path", LocationKind::WinlogonDll,
       S(u"C:\\Program Files\\Vendor\\hook.dll"), k64, {F(u"C:\\Program Files\\Vendor\\hook.dll")}},
      {"UIHost", LocationKind::WinlogonProgram, X(u"logonui.exe"), k64, {F(u"C:\\Windows\\System32\\logonui.exe")}},
      {"a debugger searches System32 first", LocationKind::Debugger, S(u"notepad.exe -z"), k64,
       {F(u"C:\\Windows\\System32\\notepad.exe")}},
      {"a debugger searches the 16-bit System folder", LocationKind::Debugger, S(u"old16"), k64,
       {F(u"C:\\Windows\\System\\old16.exe")}},
      {"a debugger does not use App Paths", LocationKind::Debugger, S(u"registered"), k64, {M(u"registered.exe")}},
      {"Active Setup", LocationKind::ActiveSetup, X(u"%SystemRoot%\\system32\\regsvr32.exe /s /n /i:U shell32.dll"), k64,
       {F(u"C:\\Windows\\System32\\shell32.dll")}},
  });
}

TEST(TargetRules, EmptyAndOddValues) {
  Check(System(), {
      {"empty", kRun, S(u""), k64, {}},
      {"spaces", kRun, S(u"   \t "), k64, {}},
      {"empty quotes", kRun, S(u"\"\" /x"), k64, {}},
      {"a number", kRun, StoredValue::Integer(), k64, {}},
      {"no value", kRun, StoredValue(), k64, {}},
      {"an empty multi-string", LocationKind::Other, StoredValue::MultiString({}), k64, {}},
      {"a list of commas", LocationKind::WinlogonList, S(u" , ,"), k64, {}},
      {"a quote that is not closed is passed over", kRun, S(u"\"C:\\Program Files\\Vendor\\app.exe /x"), k64,
       {F(u"C:\\Program Files\\Vendor\\app.exe")}},
      {"a lone quote", kRun, S(u"\""), k64, {}},
      {"a drive-relative name", kRun, S(u"C:tool.exe"), k64, {M(u"C:tool.exe")}},
      {"a relative path is searched like a name", LocationKind::Other, S(u"spool\\prtprocs\\print.dll"), k64,
       {F(u"C:\\Windows\\System32\\spool\\prtprocs\\print.dll")}},
  });
}

TEST(TargetRules, Folders) {
  Check(System(), {
      {"a shell folder names a folder", LocationKind::ShellFolder,
       X(u"%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"), k64,
       {F(u"C:\\Users\\Me\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup")}},
      {"a shell folder that is not there", LocationKind::ShellFolder, S(u"C:\\Users\\Gone\\Startup"), k64,
       {M(u"C:\\Users\\Gone\\Startup")}},
      {"a shell folder naming a file", LocationKind::ShellFolder, S(u"C:\\Apps\\noext.exe"), k64,
       {M(u"C:\\Apps\\noext.exe")}},
      {"a Run entry naming a folder starts no file", kRun, S(u"C:\\Tools\\folder.exe"), k64,
       {M(u"C:\\Tools\\folder.exe")}},
      {"a folder on the search path is no program", kRun, S(u"sub.exe"), k64, {M(u"sub.exe")}},
  });
}

TEST(TargetRules, TheThirtyTwoBitViewOfA64BitSystem) {
  Check(System(), {
      {"System32 is SysWOW64", kRun, S(u"C:\\Windows\\System32\\userinit.exe"), k32,
       {F(u"C:\\Windows\\SysWOW64\\userinit.exe")}},
      {"a program only the 64-bit System32 holds is missing", kRun, S(u"%windir%\\system32\\only64.exe"), k32,
       {M(u"C:\\Windows\\SysWOW64\\only64.exe")}},
      {"the same value in the 64-bit view", kRun, S(u"%windir%\\system32\\only64.exe"), k64,
       {F(u"C:\\Windows\\system32\\only64.exe")}},
      {"a library of rundll32", kRun, S(u"%windir%\\System32\\rundll32.exe shell32.dll,Control_RunDLL"), k32,
       {F(u"C:\\Windows\\SysWOW64\\shell32.dll")}},
      {"a bare name is searched in SysWOW64", kRun, S(u"only32.exe"), k32, {F(u"C:\\Windows\\SysWOW64\\only32.exe")}},
      {"and not in System32", kRun, S(u"only64.exe"), k32, {M(u"only64.exe")}},
      {"PATH's System32 is SysWOW64 in every search", LocationKind::Debugger, S(u"only64.exe"), k32, {M(u"only64.exe")}},
      {"Sysnative is the 64-bit System32", kRun, S(u"C:\\Windows\\Sysnative\\only64.exe"), k32,
       {F(u"C:\\Windows\\System32\\only64.exe")}},
      {"Sysnative means nothing to 64-bit programs", kRun, S(u"C:\\Windows\\Sysnative\\only64.exe"), k64,
       {M(u"C:\\Windows\\Sysnative\\only64.exe")}},
      {"a subfolder never redirected", LocationKind::Other, S(u"C:\\Windows\\System32\\spool\\prtprocs\\print.dll"), k32,
       {F(u"C:\\Windows\\System32\\spool\\prtprocs\\print.dll")}},
      {"a list in the 32-bit view", LocationKind::WinlogonList, S(u"C:\\Windows\\system32\\userinit.exe,cmd.exe"), k32,
       {F(u"C:\\Windows\\SysWOW64\\userinit.exe"), F(u"C:\\Windows\\SysWOW64\\cmd.exe")}},
  });
}

TEST(TargetRules, A32BitSystemHasNoSysWOW64) {
  FakeTargetLookup sys = System();
  sys.is64 = false;
  Check(sys, {
      {"System32 stays", kRun, S(u"C:\\Windows\\System32\\only64.exe"), k32, {F(u"C:\\Windows\\System32\\only64.exe")}},
      {"bare names are searched in System32", kRun, S(u"only64.exe"), k32, {F(u"C:\\Windows\\System32\\only64.exe")}},
  });
}

}  // namespace
}  // namespace kestrow::test
