// FsExecuteFileW as the file manager calls it: which verb on which entry opens which window,
// what it returns, and when the host's window is asked to re-read its panel.
#include <gtest/gtest.h>

#include "dialogs/user_driver.h"
#include "model/sentrel.h"
#include "platform/platform.h"
#include "support/plugin_under_test.h"
#include "support/registry_fixture.h"

#ifndef _WIN32
#include "host/plugin.h"
#include "registry/memory_registry.h"
#endif

namespace kestrow {
namespace {

using test::CancelFile;
using test::Click;
using test::FileName;
using test::Key;
using test::Plugin;
using test::Reg;
using test::Seen;
using test::Step;
using test::Type;

const char16_t* const kService = u"SYSTEM\\CurrentControlSet\\Services\\KestrowExecTest";

struct ExecCase {
  const char* name;
  std::function<void()> seed;  // the registry before the listing
  std::u16string listed;       // the directory listed before the call
  std::u16string path;
  std::u16string verb;
  std::vector<Step> steps;
  std::u16string window;  // the class of the window that opens, or empty for none
  std::int32_t result;
  int refreshes;
  std::function<void(const Seen&)> check = nullptr;
  std::vector<bool> answers = {};
  std::string screenshot = "";
  bool nativeOnly = false;
};

void SeedRun() {
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Alpha", u"C:\\alpha.exe");
}

std::optional<std::u16string> RunValue(const std::u16string& name) {
  return Reg::Text(RT_HKCU, WOW64_64, test::kRun, name);
}

std::optional<std::u16string> C(const char16_t* s) { return std::u16string(s); }

bool LocalFileExists(const std::u16string& path) { return platform::FileExists(path); }

class ExecuteTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    Plugin();
    test::Recorded().Reset();
    Own(RT_HKLM, WOW64_64, kService);
  }
};

void ExpectFileDialog(const Seen& s, bool save) {
  EXPECT_EQ(std::vector<std::u16string>{u"*.kscrkey"}, s.filterItems);
  EXPECT_FALSE(s.readOnlyBoxShown);
  EXPECT_TRUE(s.resizable);
#ifndef _WIN32
  EXPECT_EQ(save, s.saveDialog);
  EXPECT_EQ(u"kscrkey", s.defaultExt);
  EXPECT_FALSE(s.overwritePrompt);
  EXPECT_FALSE(s.fileMustExist);
#else
  (void)save;
#endif
}

TEST_F(ExecuteTest, EveryEntryAndVerb) {
  const std::u16string folder = test::ScratchFolder();
  const std::u16string keyFile = folder + u"saved.kscrkey";
  const std::u16string other = folder + u"other.kscrkey";
  const std::vector<ExecCase> cases = {
      {"properties of the root show the About dialog", SeedRun, u"\\", u"\\", u"properties", {Click(idOK)},
       u"TInfoForm", FS_EXEC_OK, 0, nullptr, {}, "exec_about"},
      {"the verb ignores case", SeedRun, u"\\", u"\\", u"Properties", {Key(test::kEnter)}, u"TInfoForm", FS_EXEC_OK,
       0},
      {"properties of a type directory show nothing", SeedRun, u"\\", u"\\HKCU_RUN64", u"properties", {}, u"",
       FS_EXEC_OK, 0},
      {"properties of an item show nothing", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\Alpha", u"properties", {}, u"",
       FS_EXEC_OK, 0},
      {"opening an item and cancelling", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\Alpha", u"open",
       {Type(idValue, u"x"), Click(idCancel)}, u"TEditForm", FS_EXEC_ERROR, 0,
       [](const Seen& s) {
         EXPECT_EQ(u"C:\\alpha.exe", s.controls.at(idValue).text);
         EXPECT_EQ(u"HKCU_RUN64", s.controls.at(idTypeID).text);
         EXPECT_EQ(u"Alpha", s.controls.at(idValueName).text);
         EXPECT_EQ(u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", s.controls.at(idPath).text);
         EXPECT_EQ(C(u"C:\\alpha.exe"), RunValue(u"Alpha"));
       }},
      {"opening an item, changing it and confirming", SeedRun, u"\\HKCU_RUN64", u"\\hkcu_run64\\alpha", u"open",
       {Type(idValue, u" /new"), Click(idOK)}, u"TEditForm", FS_EXEC_OK, 1,
       [](const Seen&) { EXPECT_EQ(C(u"C:\\alpha.exe /new"), RunValue(u"Alpha")); }, {true}},
      {"a No to the question", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\Alpha", u"open",
       {Type(idValue, u" /new"), Click(idOK)}, u"TEditForm", FS_EXEC_ERROR, 0,
       [](const Seen&) { EXPECT_EQ(C(u"C:\\alpha.exe"), RunValue(u"Alpha")); }, {false}},
      {"any other verb opens the item", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\Alpha",
       u"quote \"C:\\x y\\z.exe\" -p", {Click(idCancel)}, u"TEditForm", FS_EXEC_ERROR, 0},
      {"a failed write", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\Alpha", u"open",
       {Type(idValue, u"x"), Click(idOK)}, u"TEditForm", FS_EXEC_ERROR, 0, nullptr, {true}},
      {"a value of a subkey directory", [] { Reg::Dword(RT_HKLM, WOW64_64, kService, u"Start", 3); }, u"\\HKLM_SERV64",
       u"\\HKLM_SERV64\\KestrowExecTest\\Start", u"open", {Click(idCancel)}, u"TEditForm", FS_EXEC_ERROR, 0,
       [](const Seen& s) {
         EXPECT_EQ(u"3", s.controls.at(idValue).text);
         EXPECT_TRUE(s.controls.at(idValue).numbersOnly);
       }},
      {"adding a value", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.ADD", u"open",
       {Type(idValueName, u"Added"), Type(idValue, u"C:\\added.exe"), Click(idOK)}, u"TAddForm", FS_EXEC_OK, 1,
       [](const Seen& s) {
         EXPECT_EQ(u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\", s.controls.at(idPath).text);
         EXPECT_EQ(C(u"C:\\added.exe"), RunValue(u"Added"));
       },
       {true}},
      {"the command names ignore case; cancelling the add dialog", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.add",
       u"open", {Click(idCancel)}, u"TAddForm", FS_EXEC_ERROR, 0},
      {"cancelling the save dialog", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.SAVE", u"open", {CancelFile()},
       u"#32770", FS_EXEC_ERROR, 0, [](const Seen& s) { ExpectFileDialog(s, true); }, {}, "save_dialog"},
      {"saving under a name without extension", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.save", u"open",
       {FileName(folder + u"saved")}, u"#32770", FS_EXEC_OK, 1,
       [keyFile](const Seen&) { EXPECT_TRUE(LocalFileExists(keyFile)); }},
      {"saving over a file asks nothing", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.SAVE", u"open",
       {FileName(other)}, u"#32770", FS_EXEC_OK, 1, nullptr},
      {"cancelling the open dialog", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.RESTORE", u"open", {CancelFile()},
       u"#32770", FS_EXEC_ERROR, 0, [](const Seen& s) { ExpectFileDialog(s, false); }, {}, "open_dialog"},
      {"a failed restore", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.RESTORE", u"open",
       {FileName(folder + u"missing.kscrkey")}, u"#32770", FS_EXEC_ERROR, 0},
      {"restoring the saved key",
       [] {
         Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Later", u"C:\\later.exe");
         Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Alpha", u"changed");
       },
       u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.Restore", u"open", {FileName(keyFile)}, u"#32770", FS_EXEC_OK, 1,
       [](const Seen&) {
         EXPECT_EQ(C(u"C:\\alpha.exe"), RunValue(u"Alpha"));
         EXPECT_EQ(std::nullopt, RunValue(u"Later"));
       }},
      {"opening a type directory does nothing", SeedRun, u"\\", u"\\HKCU_RUN64", u"open", {}, u"", FS_EXEC_OK, 0},
      {"opening a subkey directory does nothing", [] { Reg::Dword(RT_HKLM, WOW64_64, kService, u"Start", 3); },
       u"\\HKLM_SERV64", u"\\HKLM_SERV64\\KestrowExecTest", u"open", {}, u"", FS_EXEC_OK, 0},
      {"an entry that names no node", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\Missing", u"open", {}, u"",
       FS_EXEC_ERROR, 0},
      {"a directory part that names no directory", SeedRun, u"\\HKCU_RUN64", u"\\NO_SUCH_TYPE\\Alpha", u"open", {},
       u"", FS_EXEC_ERROR, 0},
      {"a command of another name is left to the host", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.OTHER", u"open",
       {}, u"", FS_EXEC_YOURSELF, 0, nullptr, {}, "", true},
  };
  // "saving over a file" needs a file there; "restoring" uses the file "saving" wrote.
  platform::DeleteFileIfExists(keyFile);
  ASSERT_TRUE(platform::WriteWholeFile(other, "not a key file"));
  for (const auto& c : cases) {
#ifdef _WIN32
    if (c.nativeOnly) continue;
#endif
    SCOPED_TRACE(c.name);
    c.seed();
#ifndef _WIN32
    const auto script = kestrow::Plugin().Sentrel->BuildTemplateMemory;
    if (c.nativeOnly) {
      // A command of a name the plugin does not know, as only a changed tree could hold.
      kestrow::Plugin().Sentrel->BuildTemplateMemory = [script](TItemTree& tree, TUserMessages& user) {
        if (script) script(tree, user);
        const TMemItem* dir = tree.GetLastParentByPath(u"\\HKCU_RUN64");
        if (!dir) return;
        auto cmd = std::make_unique<TMemItem>(ELT_COMMAND, dir);
        cmd->ItemType = dir->ItemType;
        cmd->ValueName = u".OTHER";
        tree.Append(std::move(cmd));
      };
    }
#endif
    test::List(c.listed);
#ifndef _WIN32
    kestrow::Plugin().Sentrel->BuildTemplateMemory = script;
#endif
    if (std::string(c.name) == "a failed write") Reg::DeleteKey(RT_HKCU, WOW64_64, test::kRun);
    test::Recorded().Reset();
    test::Recorded().answers = c.answers;
    auto path = test::W(c.path);
    auto verb = test::W(c.verb);
    std::int32_t result = 12345;
    const Seen seen = test::RunAsUser(
        [&] { result = Plugin().FsExecuteFileW(nullptr, path.data(), verb.data()); }, c.steps, c.screenshot);
    for (const auto& p : seen.problems) ADD_FAILURE() << "user: " << p;
    EXPECT_EQ(c.result, result);
    EXPECT_EQ(c.window, seen.windowClass);
    EXPECT_EQ(c.window.empty() ? 0 : 1, seen.windows);
    EXPECT_EQ(c.refreshes, seen.refreshes);
    EXPECT_EQ(0, seen.otherHostMessages);
    if (std::string(c.name) == "a failed write") {
      ASSERT_EQ(2u, test::Recorded().requests.size());
      EXPECT_EQ(u"Registry write failed.\r\nCheck rights and user elevation!", test::Recorded().requests[1].text);
      EXPECT_EQ(std::vector<std::u16string>{u"Value not written!"}, test::Recorded().logs);
      EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, test::kRun));
    }
    if (c.check) c.check(seen);
    Reg::DeleteKey(RT_HKCU, WOW64_64, test::kRun);
    Reg::DeleteKey(RT_HKLM, WOW64_64, kService);
  }
}

// A write the registry refuses after the key opened raises an error below the export; the user
// learns of it as of any other failed write: the log line, and the error's own text in a box.
TEST_F(ExecuteTest, ARaisedWriteErrorReachesTheUser) {
  // Value names end at 16383 characters; the add dialog takes a longer one.
  const std::u16string longName(16384, u'n');
  const std::u16string run = u"\\HKCU_RUN64";
  struct RaisedCase {
    const char* name;
    std::u16string path;
    std::vector<Step> steps;
    bool refuseEveryWrite;  // natively: the registry refuses every write (a key without write rights)
  };
  std::vector<RaisedCase> cases = {
      {"a value name the registry refuses, in a new subkey", run + u"\\.ADD",
       {Type(idFolderName, u"KestrowNew"), test::SetText(idValueName, longName), Type(idValue, u"C:\\x.exe"),
        Click(idOK)},
       false},
  };
#ifndef _WIN32
  cases.push_back({"a refused write in the edit dialog", run + u"\\Alpha", {Type(idValue, u"x"), Click(idOK)}, true});
  cases.push_back({"a refused write in the add dialog", run + u"\\.ADD",
                   {Type(idValueName, u"New"), Type(idValue, u"x"), Click(idOK)}, true});
#endif
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SeedRun();
    test::List(run);
#ifndef _WIN32
    auto* memory = dynamic_cast<MemoryRegistry*>(&CurrentRegistry());
    ASSERT_NE(nullptr, memory);
    if (c.refuseEveryWrite) memory->hook = [](RegOp op, const std::u16string&) { return op == RegOp::Set ? 5 : 0; };
#endif
    test::Recorded().Reset();
    test::Recorded().answers = {true};
    auto path = test::W(c.path), verb = test::W(u"open");
    std::int32_t result = 12345;
    const Seen seen = test::RunAsUser([&] { result = Plugin().FsExecuteFileW(nullptr, path.data(), verb.data()); },
                                      c.steps);
#ifndef _WIN32
    memory->hook = nullptr;
#endif
    for (const auto& p : seen.problems) ADD_FAILURE() << "user: " << p;
    EXPECT_EQ(FS_EXEC_ERROR, result);
    EXPECT_EQ(0, seen.refreshes);
    EXPECT_EQ(std::vector<std::u16string>{u"Value not written!"}, test::Recorded().logs);
    EXPECT_EQ(std::vector<std::int32_t>{MSGTYPE_IMPORTANTERROR}, test::Recorded().logTypes);
    const auto& requests = test::Recorded().requests;
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(u"Confirm", requests[0].title);
    EXPECT_EQ(RT_MsgOK, requests[1].type);
    EXPECT_EQ(u"Error", requests[1].title);
    EXPECT_EQ(0u, requests[1].text.rfind(u"Failed to set data for '", 0)) << test::Utf8(requests[1].text.substr(0, 80));
    EXPECT_EQ(C(u"C:\\alpha.exe"), RunValue(u"Alpha"));
    // The subkey made for the value went again with the failed write.
    EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, std::u16string(test::kRun) + u"\\KestrowNew"));
    EXPECT_EQ(std::vector<std::u16string>{u"Alpha"}, Reg::ValueNames(RT_HKCU, WOW64_64, test::kRun));
    Reg::DeleteKey(RT_HKCU, WOW64_64, test::kRun);
  }
}

TEST_F(ExecuteTest, BeforeAnyListingNothingIsFound) {
  test::ReloadPlugin();
  test::Recorded().Reset();
  auto path = test::W(u"\\HKCU_RUN64\\Alpha");
  auto verb = test::W(u"open");
  std::int32_t result = 0;
  const Seen seen = test::RunAsUser([&] { result = Plugin().FsExecuteFileW(nullptr, path.data(), verb.data()); }, {});
  EXPECT_EQ(FS_EXEC_ERROR, result);
  EXPECT_EQ(0, seen.windows);
  EXPECT_TRUE(test::Recorded().requests.empty());
}

}  // namespace
}  // namespace kestrow
