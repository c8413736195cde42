// A host whose window stays live while the plugin waits for the user: it lists a directory, which
// rebuilds the whole item tree, from inside every dialog and every request it shows. Each command
// still acts on what the user chose, with the key, name and view it was opened for.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "dialogs/user_driver.h"
#include "platform/platform.h"
#include "support/plugin_under_test.h"
#include "support/registry_fixture.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kestrow {
namespace {

using test::Click;
using test::FileName;
using test::Exports;
using test::Reg;
using test::Seen;
using test::Step;
using test::Type;

// A value of another key: a command that lost track of its own key would touch or save this one.
const char16_t* const kOtherValue = u"KestrowOtherKey";

std::optional<std::u16string> RunValue(const std::u16string& name) { return Reg::Text(RT_HKCU, WOW64_64, test::kRun, name); }
std::optional<std::u16string> C(const char16_t* s) { return std::u16string(s); }

std::int32_t Execute(const std::u16string& path, const std::u16string& verb = u"open") {
  auto p = test::W(path), v = test::W(verb);
  return Exports().FsExecuteFileW(nullptr, p.data(), v.data());
}

// Saves the key of HKCU_RUN64 as the host's copy command does, and returns the file's bytes.
std::string SavedByCopy(const std::u16string& file) {
  platform::DeleteFileIfExists(file);
  auto remote = test::W(u"\\HKCU_RUN64\\.SAVE"), local = test::W(file);
  EXPECT_EQ(FS_FILE_OK, Exports().FsGetFileW(remote.data(), local.data(), 0, nullptr));
  return test::ReadLocal(file).value_or("(no file)");
}

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
  std::u16string folder;
};

struct DialogCase {
  const char* name;
  std::u16string path;
  std::u16string verb;
  std::vector<Step> steps;  // each lists from inside the dialog before completing it
  std::u16string window;
  std::int32_t result;
  std::function<void()> prepare = nullptr;  // after the listing that precedes the call
  std::function<void()> check = nullptr;
  std::size_t requests = 0;  // host requests shown, each with a listing inside
};

TEST_F(ReentranceTest, AListingFromInsideEachDialogChangesNothingTheCommandDoes) {
  const std::u16string saved = folder + u"during.kscrkey";
  const std::u16string restoreFrom = folder + u"restore.kscrkey";
  const std::vector<DialogCase> cases = {
      {"edit", u"\\HKCU_RUN64\\Alpha", u"open",
       {test::HostLists(u"\\HKCU_RUN64"), test::HostLists(u"\\"), Type(idValue, u" /new"), Click(idOK)}, u"TEditForm",
       FS_EXEC_OK, nullptr, [] { EXPECT_EQ(C(u"C:\\alpha.exe /new"), RunValue(u"Alpha")); }, 1},
      {"add", u"\\HKCU_RUN64\\.ADD", u"open",
       {test::HostLists(u"\\"), Type(idValueName, u"Added"), Type(idValue, u"C:\\added.exe"), Click(idOK)}, u"TAddForm",
       FS_EXEC_OK, nullptr, [] { EXPECT_EQ(C(u"C:\\added.exe"), RunValue(u"Added")); }, 1},
      {"a write that finds no key", u"\\HKCU_RUN64\\Alpha", u"open",
       {test::HostLists(u"\\HKCU_RUN64"), Type(idValue, u"x"), Click(idOK)}, u"TEditForm", FS_EXEC_ERROR,
       // The key is gone since the listing that showed the value: the write fails with its messages.
       [] { Reg::DeleteKey(RT_HKCU, WOW64_64, test::kRun); },
       [] {
         EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, test::kRun));
         EXPECT_EQ(std::vector<std::u16string>{u"Value not written!"}, test::Recorded().logs);
         ASSERT_EQ(2u, test::Recorded().requests.size());
         EXPECT_EQ(u"Registry write failed.\r\nCheck rights and user elevation!", test::Recorded().requests.back().text);
       },
       2},
      {"save", u"\\HKCU_RUN64\\.SAVE", u"open", {test::HostLists(u"\\"), test::HostLists(u"\\HKLM_RUN64"), FileName(saved)},
       u"#32770", FS_EXEC_OK, nullptr,
       [&] {
         // The file holds the chosen key: byte for byte what saving that key by copying gives.
         const auto during = test::ReadLocal(saved);
         ASSERT_TRUE(during.has_value());
         EXPECT_EQ(SavedByCopy(folder + u"by-copy.kscrkey"), *during);
       }},
      {"open", u"\\HKCU_RUN64\\.RESTORE", u"open", {test::HostLists(u"\\"), FileName(restoreFrom)}, u"#32770", FS_EXEC_OK,
       [&] {
         // A key file of HKCU_RUN64 as it is now, then the key changed.
         SavedByCopy(restoreFrom);
         Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Alpha", u"changed");
         Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Later", u"C:\\later.exe");
       },
       [] {
         EXPECT_EQ(C(u"C:\\alpha.exe"), RunValue(u"Alpha"));
         EXPECT_EQ(std::nullopt, RunValue(u"Later"));
       }},
      {"About", u"\\", u"properties", {test::HostLists(u"\\"), Click(idOK)}, u"TInfoForm", FS_EXEC_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    test::List(u"\\HKCU_RUN64");
    if (c.prepare) c.prepare();
    test::Recorded().Reset();
    test::Recorded().answers = {true};
    test::Recorded().listDuringRequests = u"\\HKCU_RUN64";
    std::int32_t result = 12345;
    const Seen seen = test::RunAsUser([&] { result = Execute(c.path, c.verb); }, c.steps);
    for (const auto& p : seen.problems) ADD_FAILURE() << "user: " << p;
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
    if (c.check) c.check();
    // No other key was touched.
    EXPECT_EQ(C(u"C:\\other.exe"), Reg::Text(RT_HKCU, WOW64_64, test::kRunOnce, kOtherValue));
    EXPECT_EQ(C(u"C:\\machine.exe"), Reg::Text(RT_HKLM, WOW64_64, test::kRun, kOtherValue));
  }
}

// The requests that exports other than FsExecuteFileW show: the host lists while each is open.
TEST_F(ReentranceTest, AListingFromInsideEachRequestChangesNothingTheExportDoes) {
  const std::u16string keyFile = folder + u"k.kscrkey";
  const std::u16string script = test::PluginFolder() + u"startup.kscr";
  struct RequestCase {
    const char* name;
    std::function<std::int32_t()> call;
    std::int32_t result;
    std::u16string request;  // the text of the one request shown (its start)
    std::function<void()> check;
  };
  const std::vector<RequestCase> cases = {
      {"copying a file in",
       [] {
         auto local = test::W(u"C:\\Tools\\start.exe"), remote = test::W(u"\\HKCU_RUN64\\start.exe");
         return Exports().FsPutFileW(local.data(), remote.data(), 0);
       },
       FS_FILE_OK, u"Do you want to write new value 'start'?",
       [] { EXPECT_EQ(C(u"C:\\Tools\\start.exe"), RunValue(u"start")); }},
      {"copying a key file in",
       [&] {
         SavedByCopy(keyFile);
         Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Later", u"C:\\later.exe");
         auto local = test::W(keyFile), remote = test::W(u"\\HKCU_RUN64\\k.kscrkey");
         return Exports().FsPutFileW(local.data(), remote.data(), 0);
       },
       FS_FILE_OK, u"Do you want to restore key \\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run?",
       [] {
         EXPECT_EQ(C(u"C:\\alpha.exe"), RunValue(u"Alpha"));
         EXPECT_EQ(std::nullopt, RunValue(u"Later"));
       }},
      {"a listing whose start-up script fails",
       [&] {
         EXPECT_TRUE(platform::WriteWholeFile(script, "begin\n  QAddAllValues('HKCU_RUN64')\n  error here\nend.\n"));
         const auto listed = test::List(u"\\");
         platform::DeleteFileIfExists(script);
         return static_cast<std::int32_t>(listed.size());
       },
       46, u"Compiler: ", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    test::List(u"\\HKCU_RUN64");
    test::Recorded().Reset();
    test::Recorded().listDuringRequests = u"\\HKCU_RUN64";
    EXPECT_EQ(c.result, c.call());
    const auto& requests = test::Recorded().requests;
    ASSERT_LE(1u, requests.size());
    EXPECT_EQ(0u, requests[0].text.rfind(c.request, 0)) << test::Utf8(requests[0].text);
    // One listing inside each request of the export; the listings' own requests list no more.
    ASSERT_LE(1u, test::Recorded().listedDuringRequests.size());
    for (std::size_t n : test::Recorded().listedDuringRequests) EXPECT_LE(3u, n);
    if (c.check) c.check();
    EXPECT_EQ(C(u"C:\\other.exe"), Reg::Text(RT_HKCU, WOW64_64, test::kRunOnce, kOtherValue));
  }
}

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
      [&] { result = Execute(u"\\HKCU_RUN64\\Alpha"); },
      {moreCalls(), test::HostLists(u"\\HKCU_RUN64"), moreCalls(), test::HostLists(u"\\"), moreCalls(),
       Type(idValue, u" /new"), Click(idOK)});
  stop = true;
  worker.join();
  std::printf("worker: %ld calls while the main thread was in the dialog or near it\n", calls.load());
  for (const auto& p : seen.problems) ADD_FAILURE() << "user: " << p;
  EXPECT_EQ(FS_EXEC_OK, result);
  EXPECT_EQ(u"TEditForm", seen.windowClass);
  EXPECT_EQ(2u, seen.listed.size());
  for (const auto& w : wrong) ADD_FAILURE() << "worker: " << w;
  EXPECT_LE(60, calls.load());
  EXPECT_EQ(C(u"C:\\alpha.exe /new"), RunValue(u"Alpha"));
}

}  // namespace
}  // namespace kestrow
