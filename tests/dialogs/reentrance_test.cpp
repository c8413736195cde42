// A host whose window stays live while the plugin waits for the user: it lists a directory, which
// rebuilds the whole item tree, from inside every dialog and every request it shows. Each command
// still acts on what the user chose, with the key, name and view it was opened for.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <thread>

#include "dialogs/user_driver.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "support/helpers.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kestrow {
namespace {

using test::CaseName;
using test::Click;
using test::Exports;
using test::FileName;
using test::Reg;
using test::RunValue;
using test::Seen;
using test::Some;
using test::Step;
using test::Type;

// A value of another key: a command that lost track of its own key would touch or save this one.
const char16_t* const kOtherValue = u"KestrowOtherKey";

// Saves the key of HKCU_RUN64 as the host's copy command does, and returns the file's bytes.
std::string SavedByCopy(const std::u16string& file) {
  platform::DeleteFileIfExists(file);
  EXPECT_EQ(FS_FILE_OK, test::GetFile(u"\\HKCU_RUN64\\.SAVE", file, 0));
  return test::ReadLocal(file).value_or("(no file)");
}

// Each case starts from the same registry: the user's Run key holds Alpha, and a value of
// another key beside it in each of two other keys.
class ReentranceTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    Exports();
    test::Recorded().Reset();
    folder = test::ScratchFolder();
    Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Alpha", u"C:\\alpha.exe");
    Reg::Str(RT_HKCU, WOW64_64, test::kRunOnce, kOtherValue, u"C:\\other.exe");
    Reg::Str(RT_HKLM, WOW64_64, test::kRun, kOtherValue, u"C:\\machine.exe");
  }
  // No other key was touched.
  static void ExpectOtherKeysAsTheyWere() {
    EXPECT_EQ(Some(u"C:\\other.exe"), Reg::Text(RT_HKCU, WOW64_64, test::kRunOnce, kOtherValue));
    EXPECT_EQ(Some(u"C:\\machine.exe"), Reg::Text(RT_HKLM, WOW64_64, test::kRun, kOtherValue));
  }
  std::u16string folder;  // a new one for each test
};

struct DialogCase {
  const char* name;
  std::u16string path;
  std::u16string verb;
  // Each lists from inside the dialog before completing it; file names are in the test's folder.
  std::vector<Step> steps;
  std::u16string window;
  std::int32_t result;
  // After the listing that precedes the call.
  std::function<void(const std::u16string& folder)> prepare = nullptr;
  std::function<void(const std::u16string& folder)> check = nullptr;
  std::size_t requests = 0;  // host requests shown, each with a listing inside
};
void PrintTo(const DialogCase& c, std::ostream* out) { *out << c.name; }

std::vector<DialogCase> DialogCases() {
  return {
      {"edit", u"\\HKCU_RUN64\\Alpha", u"open",
       {test::HostLists(u"\\HKCU_RUN64"), test::HostLists(u"\\"), Type(idValue, u" /new"), Click(idOK)}, u"TEditForm",
       FS_EXEC_OK, nullptr, [](const std::u16string&) { EXPECT_EQ(Some(u"C:\\alpha.exe /new"), RunValue(u"Alpha")); },
       1},
      {"add", u"\\HKCU_RUN64\\.ADD", u"open",
       {test::HostLists(u"\\"), Type(idValueName, u"Added"), Type(idValue, u"C:\\added.exe"), Click(idOK)}, u"TAddForm",
       FS_EXEC_OK, nullptr, [](const std::u16string&) { EXPECT_EQ(Some(u"C:\\added.exe"), RunValue(u"Added")); }, 1},
      {"a write that finds no key", u"\\HKCU_RUN64\\Alpha", u"open",
       {test::HostLists(u"\\HKCU_RUN64"), Type(idValue, u"x"), Click(idOK)}, u"TEditForm", FS_EXEC_ERROR,
       // The key is gone since the listing that showed the value: the write fails with its messages.
       [](const std::u16string&) { Reg::DeleteKey(RT_HKCU, WOW64_64, test::kRun); },
       [](const std::u16string&) {
         EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, test::kRun));
         EXPECT_EQ(std::vector<std::u16string>{u"Value not written!"}, test::Recorded().logs);
         ASSERT_EQ(2u, test::Recorded().requests.size());
         EXPECT_EQ(u"Registry write failed.\r\nCheck rights and user elevation!",
                   test::Recorded().requests.back().text);
       },
       2},
      {"save", u"\\HKCU_RUN64\\.SAVE", u"open",
       {test::HostLists(u"\\"), test::HostLists(u"\\HKLM_RUN64"), FileName(u"during.kscrkey")}, u"#32770", FS_EXEC_OK,
       nullptr,
       [](const std::u16string& folder) {
         // The file holds the chosen key: byte for byte what saving that key by copying gives.
         const auto during = test::ReadLocal(folder + u"during.kscrkey");
         ASSERT_TRUE(during.has_value());
         EXPECT_EQ(SavedByCopy(folder + u"by-copy.kscrkey"), *during);
       }},
      {"open", u"\\HKCU_RUN64\\.RESTORE", u"open", {test::HostLists(u"\\"), FileName(u"restore.kscrkey")}, u"#32770",
       FS_EXEC_OK,
       [](const std::u16string& folder) {
         // A key file of HKCU_RUN64 as it is now, then the key changed.
         SavedByCopy(folder + u"restore.kscrkey");
         Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Alpha", u"changed");
         Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Later", u"C:\\later.exe");
       },
       [](const std::u16string&) {
         EXPECT_EQ(Some(u"C:\\alpha.exe"), RunValue(u"Alpha"));
         EXPECT_EQ(std::nullopt, RunValue(u"Later"));
       }},
      {"About", u"\\", u"properties", {test::HostLists(u"\\"), Click(idOK)}, u"TInfoForm", FS_EXEC_OK},
  };
}

class ListingInsideADialog : public ReentranceTest, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(ListingInsideADialog, ChangesNothingTheCommandDoes) {
  const DialogCase& c = GetParam();
  test::List(u"\\HKCU_RUN64");
  if (c.prepare) c.prepare(folder);
  test::Recorded().Reset();
  test::Recorded().answers = {true};
  test::Recorded().listDuringRequests = u"\\HKCU_RUN64";
  std::vector<Step> steps = c.steps;
  for (auto& s : steps)
    if (s.act == test::Act::FileName) s.text = folder + s.text;
  std::int32_t result = 12345;
  const Seen seen = test::RunAsUser([&] { result = test::Execute(c.path, c.verb); }, steps);
  test::ExpectNoProblems(seen);
  EXPECT_EQ(c.result, result);
  EXPECT_EQ(c.window, seen.windowClass);
  // Every listing from inside the dialog or a request found its directory, with at least the
  // three command files of a type.
  std::size_t lists = 0;
  for (const auto& s : c.steps) lists += s.act == test::Act::HostLists ? 1 : 0;
  ASSERT_EQ(lists, seen.listed.size());
  for (std::size_t n : seen.listed) EXPECT_LE(3u, n);
  EXPECT_EQ(c.requests, test::Recorded().requests.size());
  EXPECT_EQ(c.requests, test::Recorded().listedDuringRequests.size());
  for (std::size_t n : test::Recorded().listedDuringRequests) EXPECT_LE(3u, n);
  EXPECT_EQ(c.result == FS_EXEC_OK && c.verb == u"open" ? 1 : 0, seen.refreshes);
#ifdef _WIN32
  // The host's window takes no input while a dialog is open, and takes it again afterwards.
  EXPECT_FALSE(seen.hostEnabledWhileOpen);
  EXPECT_TRUE(seen.hostEnabledAfter);
#endif
  if (c.check) c.check(folder);
  ExpectOtherKeysAsTheyWere();
}

INSTANTIATE_TEST_SUITE_P(EachDialog, ListingInsideADialog, ::testing::ValuesIn(DialogCases()),
                         [](const ::testing::TestParamInfo<DialogCase>& p) { return CaseName(p.param.name); });

// The requests that exports other than FsExecuteFileW show: the host lists while each is open.
struct RequestCase {
  const char* name;
  std::function<std::int32_t(const std::u16string& folder)> call;
  std::int32_t result;
  std::u16string request;  // the text of the one request shown (its start)
  std::function<void()> check;
};
void PrintTo(const RequestCase& c, std::ostream* out) { *out << c.name; }

std::vector<RequestCase> RequestCases() {
  return {
      {"copying a file in",
       [](const std::u16string&) { return test::PutFile(u"C:\\Tools\\start.exe", u"\\HKCU_RUN64\\start.exe"); },
       FS_FILE_OK, u"Do you want to write new value 'start'?",
       [] { EXPECT_EQ(Some(u"C:\\Tools\\start.exe"), RunValue(u"start")); }},
      {"copying a key file in",
       [](const std::u16string& folder) {
         SavedByCopy(folder + u"k.kscrkey");
         Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Later", u"C:\\later.exe");
         return test::PutFile(folder + u"k.kscrkey", u"\\HKCU_RUN64\\k.kscrkey");
       },
       FS_FILE_OK, u"Do you want to restore key \\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run?",
       [] {
         EXPECT_EQ(Some(u"C:\\alpha.exe"), RunValue(u"Alpha"));
         EXPECT_EQ(std::nullopt, RunValue(u"Later"));
       }},
      {"a listing whose start-up script fails",
       [](const std::u16string&) {
         EXPECT_TRUE(platform::WriteWholeFile(test::ScriptPath(),
                                              "begin\n  QAddAllValues('HKCU_RUN64')\n  error here\nend.\n"));
         const auto listed = test::List(u"\\");
         platform::DeleteFileIfExists(test::ScriptPath());
         return static_cast<std::int32_t>(listed.size());
       },
       46, u"Compiler: ", nullptr},
  };
}

class ListingInsideARequest : public ReentranceTest, public ::testing::WithParamInterface<RequestCase> {};

TEST_P(ListingInsideARequest, ChangesNothingTheExportDoes) {
  const RequestCase& c = GetParam();
  test::List(u"\\HKCU_RUN64");
  test::Recorded().Reset();
  test::Recorded().listDuringRequests = u"\\HKCU_RUN64";
  EXPECT_EQ(c.result, c.call(folder));
  const auto& requests = test::Recorded().requests;
  ASSERT_LE(1u, requests.size());
  EXPECT_EQ(0u, requests[0].text.rfind(c.request, 0)) << ToUtf8(requests[0].text);
  // One listing inside each request of the export; the listings' own requests list no more.
  ASSERT_LE(1u, test::Recorded().listedDuringRequests.size());
  for (std::size_t n : test::Recorded().listedDuringRequests) EXPECT_LE(3u, n);
  if (c.check) c.check();
  ExpectOtherKeysAsTheyWere();
}

INSTANTIATE_TEST_SUITE_P(EachRequest, ListingInsideARequest, ::testing::ValuesIn(RequestCases()),
                         [](const ::testing::TestParamInfo<RequestCase>& p) { return CaseName(p.param.name); });

// A host's worker thread asks for the Value column and the icon of an entry all the while the
// main thread is inside the edit dialog and lists from it: every call of the worker returns while
// the dialog is open, and answers right.
TEST_F(ReentranceTest, AWorkerAsksForColumnsAndIconsWhileADialogIsOpen) {
  test::List(u"\\HKCU_RUN64");
  std::atomic<bool> stop{false};
  std::atomic<long> calls{0};
  std::vector<std::string> wrong;  // the worker's findings, read after it ends
  std::thread worker([&] {
    auto p = test::W(u"\\HKCU_RUN64\\Alpha");
    while (!stop && wrong.size() < 20) {
      char value[256] = {};
      const std::int32_t r = Exports().FsContentGetValueW(p.data(), 6, 0, value, sizeof value, 0);
      // The value is written when the dialog closes; the worker may see it from then on.
      const bool known = std::strcmp(value, "C:\\alpha.exe") == 0 || std::strcmp(value, "C:\\alpha.exe /new") == 0;
      if (r != ft_string || !known) wrong.push_back("value: " + std::to_string(r) + " " + value);
      KS_HICON icon = nullptr;
      const std::int32_t extracted =
          Exports().FsExtractCustomIconW(p.data(), FS_ICONFLAG_SMALL | FS_ICONFLAG_BACKGROUND, &icon);
      if (extracted != FS_ICON_EXTRACTED_DESTROY) wrong.push_back("icon: " + std::to_string(extracted));
#ifdef _WIN32
      if (extracted == FS_ICON_EXTRACTED_DESTROY) DestroyIcon(icon);
#endif
      ++calls;
    }
  });
  // A step that waits until the worker has made a few more calls.
  const auto moreCalls = [&calls] {
    auto start = std::make_shared<long>(-1);
    return test::Await([&calls, start] {
      if (*start < 0) *start = calls;
      return calls - *start >= 20;
    });
  };
  test::Recorded().Reset();
  test::Recorded().answers = {true};
  std::int32_t result = 12345;
  const Seen seen = test::RunAsUser(
      [&] { result = test::Execute(u"\\HKCU_RUN64\\Alpha"); },
      {moreCalls(), test::HostLists(u"\\HKCU_RUN64"), moreCalls(), test::HostLists(u"\\"), moreCalls(),
       Type(idValue, u" /new"), Click(idOK)});
  stop = true;
  worker.join();
  std::printf("worker: %ld calls while the main thread was in the dialog or near it\n", calls.load());
  test::ExpectNoProblems(seen);
  EXPECT_EQ(FS_EXEC_OK, result);
  EXPECT_EQ(u"TEditForm", seen.windowClass);
  EXPECT_EQ(2u, seen.listed.size());
  for (const auto& w : wrong) ADD_FAILURE() << "worker: " << w;
  EXPECT_LE(60, calls.load());
  EXPECT_EQ(Some(u"C:\\alpha.exe /new"), RunValue(u"Alpha"));
}

}  // namespace
}  // namespace kestrow
