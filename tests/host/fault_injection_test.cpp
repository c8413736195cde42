// Every registry call of a scenario fails in turn, and every value read changes its type under
// the reader: the exports give their failure or their success result, nothing escapes, no handle
// leaks; a failure leaves the registry and the files as they were, a success leaves exactly what a
// run without faults leaves.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "dialogs/user_driver.h"
#include "host/exports.h"
#include "host/plugin.h"
#include "platform/platform.h"
#include "registry/memory_registry.h"
#include "support/helpers.h"

namespace kestrow {
namespace {

using test::Reg;
using test::W;

const char16_t* const kFaultService = u"SYSTEM\\CurrentControlSet\\Services\\FaultSvc";

// The files of the test's folder: a key file to restore from, and a file a save replaces.
const char16_t* const kKeyFile = u"HKCU_RUN32.kscrkey";
const char16_t* const kSaved = u"s";

// The listing a fault while reading may cut short: its number of entries.
std::int32_t List() { return static_cast<std::int32_t>(test::List(u"\\HKLM_SERV64\\FaultSvc").size()); }

class FaultInjection : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    mem = dynamic_cast<MemoryRegistry*>(&CurrentRegistry());
    ASSERT_NE(nullptr, mem);
    folder = test::OutsideTempFolder();
    test::SetEnv("COMMANDER_PATH", u"C:\\Commander");
    StartAgain();
  }
  void TearDown() override {
    test::SetEnv("COMMANDER_PATH", u"");
    test::RegistryTest::TearDown();
  }

  // Puts everything back as the test started: the in-memory registry emptied and filled with
  // the test's values, the plugin loaded afresh and its tree listed once, the key file to
  // restore from saved again (the key then gains a value the restore takes away), and the file
  // a save replaces only when it succeeds written again.
  void StartAgain() {
    mem->hook = nullptr;
    mem->Clear();
    test::ReloadPlugin();
    Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Tool", u"C:\\tool.exe");
    Reg::Str(RT_HKLM, WOW64_64, test::kRun, u"Exp", u"%x%", REG_EXPAND_SZ_);
    const std::u16string svc = std::u16string(test::kServices) + u"\\FaultSvc";
    Reg::Dword(RT_HKLM, WOW64_64, svc, u"Start", 2);
    Reg::Str(RT_HKLM, WOW64_64, svc, u"ImagePath", u"a.sys", REG_EXPAND_SZ_);
    Reg::Str(RT_HKLM, WOW64_32, test::kWinlogon, u"Shell", u"explorer.exe");
    List();
    platform::DeleteFileIfExists(folder + kKeyFile);
    auto save = W(u"\\HKCU_RUN32\\.SAVE"), local = W(folder + u"x");
    ASSERT_EQ(FS_FILE_OK, FsGetFileW(save.data(), local.data(), 0, nullptr));
    Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Later", u"C:\\later.exe");
    ASSERT_TRUE(platform::WriteWholeFile(folder + kSaved, "the file from before"));
  }

  MemoryRegistry* mem = nullptr;
  std::u16string folder;
};

// FsExecuteFileW with a user who takes the steps.
std::int32_t Execute(const std::u16string& path, std::vector<test::Step> steps) {
  auto p = W(path), v = W(u"open");
  std::int32_t result = -99;
  test::Recorded().Reset();
  const test::Seen seen = test::RunAsUser([&] { result = FsExecuteFileW(nullptr, p.data(), v.data()); }, steps);
  test::ExpectNoProblems(seen);
  // A failed write is told to the user, however it failed; a successful one is not.
  const std::vector<std::u16string> told =
      result == FS_EXEC_OK ? std::vector<std::u16string>{} : std::vector<std::u16string>{u"Value not written!"};
  EXPECT_EQ(told, test::Recorded().logs);
  return result;
}

// A scenario's result is either its success or its failure; each is paired with the state it
// must leave: failure, the registry (and a key file that was there) unchanged; success, exactly
// what a run without faults leaves. A scenario that only reads may also end between the two, with
// fewer entries, and leaves the registry as it was.
struct Scenario {
  const char* name;
  std::function<std::int32_t(const std::u16string& folder)> run;  // the export's result
  std::int32_t success;
  std::int32_t failure;
  std::u16string file;  // a file the scenario writes, in the test's folder, or empty
  bool reads = false;   // the scenario only reads: a fault may leave fewer entries than its success
  int leastCalls = 1;   // the registry calls a run without faults makes at least
};
void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

std::vector<Scenario> Scenarios() {
  using Folder = const std::u16string&;
  using test::Click;
  using test::Type;
  // As the host copies once its user has allowed a file to be written over.
  auto get = [](const std::u16string& remote, const std::u16string& local) {
    auto x = W(remote), y = W(local);
    return FsGetFileW(x.data(), y.data(), FS_COPYFLAGS_OVERWRITE, nullptr);
  };
  auto put = [](const std::u16string& local, const std::u16string& remote) {
    auto x = W(local), y = W(remote);
    return FsPutFileW(x.data(), y.data(), 0);
  };
  // Copying an entry out reads the tree the listing left and makes no registry call: it cannot
  // be a scenario of its own; the listing that reads what it shows is one.
  return {
      // The rebuild alone reads every one of the 46 locations.
      {"listing", [](Folder) { return List(); }, 5, 0, u"", true, 46 + 6},
      {"save", [=](Folder f) { return get(u"\\HKCU_RUN32\\.SAVE", f + kSaved); }, FS_FILE_OK, FS_FILE_NOTFOUND, kSaved},
      {"copy in", [=](Folder) { return put(u"C:\\new.exe", u"\\HKCU_RUN32\\new.exe"); }, FS_FILE_OK,
       FS_FILE_WRITEERROR, u""},
      {"restore", [=](Folder f) { return put(f + kKeyFile, u"\\HKCU_RUN32\\k.kscrkey"); }, FS_FILE_OK,
       FS_FILE_WRITEERROR, u""},
      {"delete",
       [](Folder) {
         auto x = W(u"\\HKCU_RUN32\\Tool");
         return FsDeleteFileW(x.data());
       },
       KS_TRUE, KS_FALSE, u""},
      {"edit", [](Folder) { return Execute(u"\\HKCU_RUN32\\Tool", {Type(idValue, u" /x"), Click(idOK)}); },
       FS_EXEC_OK, FS_EXEC_ERROR, u""},
      {"add",
       [](Folder) {
         return Execute(u"\\HKCU_RUN32\\.ADD",
                        {Type(idFolderName, u"Sub"), Type(idValueName, u"N"), Type(idValue, u"v"), Click(idOK)});
       },
       FS_EXEC_OK, FS_EXEC_ERROR, u""},
  };
}

class EveryFailingCall : public FaultInjection, public ::testing::WithParamInterface<Scenario> {};

TEST_P(EveryFailingCall, IsSurvived) {
  const Scenario& sc = GetParam();
  const std::u16string file = sc.file.empty() ? u"" : folder + sc.file;
  // Count the calls of a clean run, then fail each one in turn.
  const std::string clean = mem->Snapshot();
  const std::optional<std::string> fileBefore = file.empty() ? std::nullopt : test::ReadLocal(file);
  int calls = 0;
  mem->hook = [&](RegOp, const std::u16string&) { return ++calls, RS_OK; };
  ASSERT_EQ(sc.success, sc.run(folder));
  mem->hook = nullptr;
  const std::string afterClean = mem->Snapshot();
  const std::optional<std::string> fileAfterClean = file.empty() ? std::nullopt : test::ReadLocal(file);
  // Every scenario works on the registry, so every one has faults to survive.
  ASSERT_LE(sc.leastCalls, calls);
  if (file.empty() && !sc.reads) {
    ASSERT_NE(clean, afterClean) << "the clean run changed nothing to compare with";
  }
  int failures = 0;
  for (int k = 1; k <= calls; ++k) {
    StartAgain();
    ASSERT_EQ(clean, mem->Snapshot());
    int seen = 0;
    mem->hook = [&](RegOp, const std::u16string&) { return ++seen == k ? RS_ACCESS_DENIED : RS_OK; };
    std::int32_t r = -99;
    ASSERT_NO_THROW(r = sc.run(folder)) << "call " << k;
    mem->hook = nullptr;
    EXPECT_EQ(0u, mem->OpenHandles()) << "call " << k;
    const std::string now = mem->Snapshot();
    const std::optional<std::string> got = file.empty() ? std::nullopt : test::ReadLocal(file);
    if (r == sc.failure) {
      ++failures;
      EXPECT_TRUE(now == clean) << "call " << k << " failed and changed the registry";
      EXPECT_TRUE(got == fileBefore) << "call " << k << " failed and changed the file";
    } else if (sc.reads) {
      // A fault while reading leaves fewer entries, never anything else.
      EXPECT_LE(0, r);
      EXPECT_GE(sc.success, r);
      EXPECT_TRUE(now == clean) << "call " << k;
    } else {
      EXPECT_EQ(sc.success, r) << "call " << k << " gave neither result";
      EXPECT_TRUE(now == afterClean) << "call " << k << " succeeded and wrote another state";
      EXPECT_TRUE(got == fileAfterClean) << "call " << k << " succeeded and wrote another file";
    }
    // The tree is still usable: a listing afterwards works.
    EXPECT_EQ(46u, test::List(u"\\").size());
  }
  RecordProperty("faults_injected", calls);
  std::printf("%s: %d registry calls failed in turn, %d of them failed the export\n", sc.name, calls, failures);
  // Failing a registry call must fail a writing export at least once.
  if (!sc.reads) {
    EXPECT_LT(0, failures);
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, EveryFailingCall, ::testing::ValuesIn(Scenarios()),
                         [](const ::testing::TestParamInfo<Scenario>& p) { return test::CaseName(p.param.name); });

TEST_F(FaultInjection, ValuesChangingTypeUnderTheReader) {
  int injected = 0;
  for (int k = 1;; ++k) {
    int queries = 0;
    bool changed = false;
    mem->hook = [&](RegOp op, const std::u16string& name) {
      if (op != RegOp::Query || ++queries != k) return RS_OK;
      // Whatever the value was, it is now a DWORD; a DWORD becomes a string.
      for (auto [root, view, path] : {std::tuple{HKEY_CURRENT_USER_, KEY_WOW64_32KEY_, test::kRun},
                                      std::tuple{HKEY_LOCAL_MACHINE_, KEY_WOW64_64KEY_, test::kRun},
                                      std::tuple{HKEY_LOCAL_MACHINE_, KEY_WOW64_32KEY_, test::kWinlogon},
                                      std::tuple{HKEY_LOCAL_MACHINE_, KEY_WOW64_64KEY_, kFaultService}}) {
        if (auto* key = mem->Find(root, path, view))
          if (auto* v = MemoryRegistry::FindValue(*key, name)) {
            v->type = v->type == REG_DWORD_ ? REG_SZ_ : REG_DWORD_;
            v->data = {1, 0, 0, 0};
            changed = true;
          }
      }
      return RS_OK;
    };
    KsFindDataW fd;
    auto root = W(u"\\");
    KS_HANDLE h = KsInvalidHandle();
    ASSERT_NO_THROW(h = FsFindFirstW(root.data(), &fd));
    mem->hook = nullptr;
    EXPECT_NE(KsInvalidHandle(), h);
    if (h != KsInvalidHandle()) FsFindClose(h);
    EXPECT_EQ(0u, mem->OpenHandles());
    if (k > queries) break;
    injected += changed ? 1 : 0;
    StartAgain();
  }
  std::printf("type changes injected between test and read: %d\n", injected);
  EXPECT_GT(injected, 5);
}

// A write the registry refuses after the key opened is told with the value's name, and a name
// holding a NUL is told as it is listed: the message holds no NUL that would cut it short.
TEST_F(FaultInjection, ARefusedWriteNamesAValueWithANulAsItIsListed) {
  const std::u16string hidden(u"Acc\0Hidden", 10);
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, hidden, u"C:\\hidden.exe");
  test::List(u"\\HKCU_RUN32");
  mem->hook = [&](RegOp op, const std::u16string& name) { return op == RegOp::Set && name == hidden ? RS_ACCESS_DENIED : RS_OK; };
  EXPECT_EQ(FS_EXEC_ERROR, Execute(u"\\HKCU_RUN32\\Acc^00Hidden", {test::Type(idValue, u" /x"), test::Click(idOK)}));
  mem->hook = nullptr;
  ASSERT_FALSE(test::Recorded().requests.empty());
  EXPECT_EQ(u"Failed to set data for 'Acc^00Hidden'", test::Recorded().requests.back().text);
  EXPECT_EQ(std::optional<std::u16string>(u"C:\\hidden.exe"), Reg::Text(RT_HKCU, WOW64_32, test::kRun, hidden));
}

}  // namespace
}  // namespace kestrow
