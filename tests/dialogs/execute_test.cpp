// FsExecuteFileW as the file manager calls it: which verb on which entry opens which window,
// what it returns, and when the host's window is asked to re-read its panel.
#include <gtest/gtest.h>

#include <ostream>

#include "dialogs/user_driver.h"
#include "model/sentrel.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "support/helpers.h"

#ifndef _WIN32
#include "host/plugin.h"
#include "registry/memory_registry.h"
#endif

namespace kestrow {
namespace {

using test::CancelFile;
using test::CaseName;
using test::Click;
using test::Exports;
using test::FileName;
using test::Key;
using test::Reg;
using test::RunValue;
using test::Seen;
using test::Some;
using test::Step;
using test::Type;

const char16_t* const kService = u"SYSTEM\\CurrentControlSet\\Services\\KestrowExecTest";

// Each test starts with no Run keys (RegistryTest), its own empty local folder and the service
// key of these tests deleted at its end.
class ExecuteTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    Exports();
    test::Recorded().Reset();
    Own(RT_HKLM, WOW64_64, kService);
    folder = test::ScratchFolder();
  }
  std::u16string folder;
};

void SeedRun() { Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Alpha", u"C:\\alpha.exe"); }
void SeedService() { Reg::Dword(RT_HKLM, WOW64_64, kService, u"Start", 3); }

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

// One entry and verb. Each case sets up what it needs: the registry before the listing, and
// whatever it needs after it; the file names of its steps are in the test's folder.
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
  std::function<void(const Seen&, const std::u16string& folder)> check = nullptr;
  std::vector<bool> answers = {};
  std::string screenshot = "";
  std::function<void(const std::u16string& folder)> prepare = nullptr;  // after the listing
};
void PrintTo(const ExecCase& c, std::ostream* out) { *out << c.name; }

std::vector<ExecCase> ExecCases() {
  using Folder = const std::u16string&;
  return {
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
       [](const Seen& s, Folder) {
         EXPECT_EQ(u"C:\\alpha.exe", s.controls.at(idValue).text);
         EXPECT_EQ(u"HKCU_RUN64", s.controls.at(idTypeID).text);
         EXPECT_EQ(u"Alpha", s.controls.at(idValueName).text);
         EXPECT_EQ(u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", s.controls.at(idPath).text);
         EXPECT_EQ(Some(u"C:\\alpha.exe"), RunValue(u"Alpha"));
       }},
      {"opening an item, changing it and confirming", SeedRun, u"\\HKCU_RUN64", u"\\hkcu_run64\\alpha", u"open",
       {Type(idValue, u" /new"), Click(idOK)}, u"TEditForm", FS_EXEC_OK, 1,
       [](const Seen&, Folder) { EXPECT_EQ(Some(u"C:\\alpha.exe /new"), RunValue(u"Alpha")); }, {true}},
      {"a No to the question", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\Alpha", u"open",
       {Type(idValue, u" /new"), Click(idOK)}, u"TEditForm", FS_EXEC_ERROR, 0,
       [](const Seen&, Folder) { EXPECT_EQ(Some(u"C:\\alpha.exe"), RunValue(u"Alpha")); }, {false}},
      {"any other verb opens the item", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\Alpha",
       u"quote \"C:\\x y\\z.exe\" -p", {Click(idCancel)}, u"TEditForm", FS_EXEC_ERROR, 0},
      {"a failed write", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\Alpha", u"open",
       {Type(idValue, u"x"), Click(idOK)}, u"TEditForm", FS_EXEC_ERROR, 0,
       [](const Seen&, Folder) {
         ASSERT_EQ(2u, test::Recorded().requests.size());
         EXPECT_EQ(u"Registry write failed.\r\nCheck rights and user elevation!", test::Recorded().requests[1].text);
         EXPECT_EQ(std::vector<std::u16string>{u"Value not written!"}, test::Recorded().logs);
         EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, test::kRun));
       },
       {true}, "",
       // The key is deleted after the listing that showed the value.
       [](Folder) { Reg::DeleteKey(RT_HKCU, WOW64_64, test::kRun); }},
      {"a value of a subkey directory", SeedService, u"\\HKLM_SERV64", u"\\HKLM_SERV64\\KestrowExecTest\\Start", u"open",
       {Click(idCancel)}, u"TEditForm", FS_EXEC_ERROR, 0,
       [](const Seen& s, Folder) {
         EXPECT_EQ(u"3", s.controls.at(idValue).text);
         EXPECT_TRUE(s.controls.at(idValue).numbersOnly);
       }},
      {"adding a value", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.ADD", u"open",
       {Type(idValueName, u"Added"), Type(idValue, u"C:\\added.exe"), Click(idOK)}, u"TAddForm", FS_EXEC_OK, 1,
       [](const Seen& s, Folder) {
         EXPECT_EQ(u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run\\", s.controls.at(idPath).text);
         EXPECT_EQ(Some(u"C:\\added.exe"), RunValue(u"Added"));
       },
       {true}},
      {"the command names ignore case; cancelling the add dialog", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.add",
       u"open", {Click(idCancel)}, u"TAddForm", FS_EXEC_ERROR, 0},
      {"cancelling the save dialog", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.SAVE", u"open", {CancelFile()},
       u"#32770", FS_EXEC_ERROR, 0, [](const Seen& s, Folder) { ExpectFileDialog(s, true); }, {}, "save_dialog"},
      {"saving under a name without extension", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.save", u"open",
       {FileName(u"saved")}, u"#32770", FS_EXEC_OK, 1,
       [](const Seen&, Folder folder) { EXPECT_TRUE(platform::FileExists(folder + u"saved.kscrkey")); }},
      {"saving over a file asks nothing", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.SAVE", u"open",
       {FileName(u"other.kscrkey")}, u"#32770", FS_EXEC_OK, 1,
       [](const Seen&, Folder folder) {
         EXPECT_TRUE(test::Recorded().requests.empty());
         EXPECT_NE("not a key file", test::ReadLocal(folder + u"other.kscrkey").value_or("not a key file"));
       },
       {}, "", [](Folder folder) { ASSERT_TRUE(platform::WriteWholeFile(folder + u"other.kscrkey", "not a key file")); }},
      {"cancelling the open dialog", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.RESTORE", u"open", {CancelFile()},
       u"#32770", FS_EXEC_ERROR, 0, [](const Seen& s, Folder) { ExpectFileDialog(s, false); }, {}, "open_dialog"},
      {"a failed restore", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.RESTORE", u"open",
       {FileName(u"missing.kscrkey")}, u"#32770", FS_EXEC_ERROR, 0},
      {"restoring a saved key", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\.Restore", u"open",
       {FileName(u"saved.kscrkey")}, u"#32770", FS_EXEC_OK, 1,
       [](const Seen&, Folder) {
         EXPECT_EQ(Some(u"C:\\alpha.exe"), RunValue(u"Alpha"));
         EXPECT_EQ(std::nullopt, RunValue(u"Later"));
       },
       {}, "",
       // The key saved as the host copies it, then changed.
       [](Folder folder) {
         ASSERT_EQ(FS_FILE_OK, test::GetFile(u"\\HKCU_RUN64\\.SAVE", folder + u"saved.kscrkey", 0));
         Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Later", u"C:\\later.exe");
         Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Alpha", u"changed");
       }},
      {"opening a type directory does nothing", SeedRun, u"\\", u"\\HKCU_RUN64", u"open", {}, u"", FS_EXEC_OK, 0},
      {"opening a subkey directory does nothing", SeedService, u"\\HKLM_SERV64", u"\\HKLM_SERV64\\KestrowExecTest",
       u"open", {}, u"", FS_EXEC_OK, 0},
      {"an entry that names no node", SeedRun, u"\\HKCU_RUN64", u"\\HKCU_RUN64\\Missing", u"open", {}, u"",
       FS_EXEC_ERROR, 0},
      {"a directory part that names no directory", SeedRun, u"\\HKCU_RUN64", u"\\NO_SUCH_TYPE\\Alpha", u"open", {},
       u"", FS_EXEC_ERROR, 0},
  };
}

class EveryEntryAndVerb : public ExecuteTest, public ::testing::WithParamInterface<ExecCase> {};

TEST_P(EveryEntryAndVerb, OpensItsWindowAndReturnsItsResult) {
  const ExecCase& c = GetParam();
  c.seed();
  test::List(c.listed);
  if (c.prepare) c.prepare(folder);
  test::Recorded().Reset();
  test::Recorded().answers = c.answers;
  std::vector<Step> steps = c.steps;
  for (auto& s : steps)
    if (s.act == test::Act::FileName) s.text = folder + s.text;
  std::int32_t result = 12345;
  const Seen seen = test::RunAsUser([&] { result = test::Execute(c.path, c.verb); }, steps, c.screenshot);
  test::ExpectNoProblems(seen);
  EXPECT_EQ(c.result, result);
  EXPECT_EQ(c.window, seen.windowClass);
  EXPECT_EQ(c.window.empty() ? 0 : 1, seen.windows);
  EXPECT_EQ(c.refreshes, seen.refreshes);
  EXPECT_EQ(0, seen.otherHostMessages);
  if (c.check) c.check(seen, folder);
}

INSTANTIATE_TEST_SUITE_P(Cases, EveryEntryAndVerb, ::testing::ValuesIn(ExecCases()),
                         [](const ::testing::TestParamInfo<ExecCase>& p) { return CaseName(p.param.name); });

// A command of a name the plugin does not know, as only a changed tree could hold, is left to
// the host.
TEST_F(ExecuteTest, ACommandOfAnotherNameIsLeftToTheHost) {
#ifdef _WIN32
  GTEST_SKIP() << test::kNeedsLinkedCore;
#else
  SeedRun();
  const auto script = kestrow::Plugin().Sentrel->BuildTemplateMemory;
  kestrow::Plugin().Sentrel->BuildTemplateMemory = [script](TItemTree& tree, TUserMessages& user) {
    if (script) script(tree, user);
    const TMemItem* dir = tree.GetLastParentByPath(u"\\HKCU_RUN64");
    if (!dir) return;
    auto cmd = std::make_unique<TMemItem>(ELT_COMMAND, dir);
    cmd->ItemType = dir->ItemType;
    cmd->ValueName = u".OTHER";
    tree.Append(std::move(cmd));
  };
  test::List(u"\\HKCU_RUN64");
  kestrow::Plugin().Sentrel->BuildTemplateMemory = script;
  test::Recorded().Reset();
  std::int32_t result = 12345;
  const Seen seen = test::RunAsUser([&] { result = test::Execute(u"\\HKCU_RUN64\\.OTHER"); }, {});
  test::ExpectNoProblems(seen);
  EXPECT_EQ(FS_EXEC_YOURSELF, result);
  EXPECT_EQ(0, seen.windows);
  EXPECT_EQ(0, seen.refreshes);
  EXPECT_EQ(0, seen.otherHostMessages);
#endif
}

// A write the registry refuses after the key opened raises an error below the export; the user
// learns of it as of any other failed write: the log line, and the error's own text in a box.
struct RaisedCase {
  const char* name;
  std::u16string path;
  std::vector<Step> steps;
  bool refuseEveryWrite;  // the registry refuses every write (a key without write rights): natively only
};
void PrintTo(const RaisedCase& c, std::ostream* out) { *out << c.name; }

std::vector<RaisedCase> RaisedCases() {
  // Value names end at 16383 characters; the add dialog takes a longer one.
  const std::u16string longName(16384, u'n');
  const std::u16string run = u"\\HKCU_RUN64";
  return {
      {"a value name the registry refuses, in a new subkey", run + u"\\.ADD",
       {Type(idFolderName, u"KestrowNew"), test::SetText(idValueName, longName), Type(idValue, u"C:\\x.exe"),
        Click(idOK)},
       false},
      {"a refused write in the edit dialog", run + u"\\Alpha", {Type(idValue, u"x"), Click(idOK)}, true},
      {"a refused write in the add dialog", run + u"\\.ADD",
       {Type(idValueName, u"New"), Type(idValue, u"x"), Click(idOK)}, true},
  };
}

class ARaisedWriteError : public ExecuteTest, public ::testing::WithParamInterface<RaisedCase> {};

TEST_P(ARaisedWriteError, ReachesTheUser) {
  const RaisedCase& c = GetParam();
#ifdef _WIN32
  if (c.refuseEveryWrite) GTEST_SKIP() << test::kNeedsInMemoryRegistry;
#endif
  SeedRun();
  test::List(u"\\HKCU_RUN64");
#ifndef _WIN32
  auto* memory = dynamic_cast<MemoryRegistry*>(&CurrentRegistry());
  ASSERT_NE(nullptr, memory);
  if (c.refuseEveryWrite) memory->hook = [](RegOp op, const std::u16string&) { return op == RegOp::Set ? 5 : 0; };
#endif
  test::Recorded().Reset();
  test::Recorded().answers = {true};
  std::int32_t result = 12345;
  const Seen seen = test::RunAsUser([&] { result = test::Execute(c.path); }, c.steps);
#ifndef _WIN32
  memory->hook = nullptr;
#endif
  test::ExpectNoProblems(seen);
  EXPECT_EQ(FS_EXEC_ERROR, result);
  EXPECT_EQ(0, seen.refreshes);
  EXPECT_EQ(std::vector<std::u16string>{u"Value not written!"}, test::Recorded().logs);
  EXPECT_EQ(std::vector<std::int32_t>{MSGTYPE_IMPORTANTERROR}, test::Recorded().logTypes);
  const auto& requests = test::Recorded().requests;
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ(u"Confirm", requests[0].title);
  EXPECT_EQ(RT_MsgOK, requests[1].type);
  EXPECT_EQ(u"Error", requests[1].title);
  EXPECT_EQ(0u, requests[1].text.rfind(u"Failed to set data for '", 0)) << ToUtf8(requests[1].text.substr(0, 80));
  EXPECT_EQ(Some(u"C:\\alpha.exe"), RunValue(u"Alpha"));
  // The subkey made for the value went again with the failed write.
  EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, std::u16string(test::kRun) + u"\\KestrowNew"));
  EXPECT_EQ(std::vector<std::u16string>{u"Alpha"}, Reg::ValueNames(RT_HKCU, WOW64_64, test::kRun));
}

INSTANTIATE_TEST_SUITE_P(Cases, ARaisedWriteError, ::testing::ValuesIn(RaisedCases()),
                         [](const ::testing::TestParamInfo<RaisedCase>& p) { return CaseName(p.param.name); });

TEST_F(ExecuteTest, BeforeAnyListingNothingIsFound) {
  test::ReloadPlugin();
  test::Recorded().Reset();
  auto path = test::W(u"\\HKCU_RUN64\\Alpha");
  auto verb = test::W(u"open");
  std::int32_t result = 0;
  const Seen seen = test::RunAsUser([&] { result = Exports().FsExecuteFileW(nullptr, path.data(), verb.data()); }, {});
  EXPECT_EQ(FS_EXEC_ERROR, result);
  EXPECT_EQ(0, seen.windows);
  EXPECT_TRUE(test::Recorded().requests.empty());
}

}  // namespace
}  // namespace kestrow
