// Every registry call of a scenario fails in turn, and every value read changes its type under
// the reader: the exports give their failure or their success result, nothing escapes, no handle
// leaks; a failure leaves the registry and the files as they were, a success leaves exactly what a
// run without faults leaves.
#include <gtest/gtest.h>

#include <functional>

#include "dialogs/user_driver.h"
#include "host/exports.h"
#include "host/plugin.h"
#include "platform/platform.h"
#include "registry/memory_registry.h"
#include "support/plugin_under_test.h"
#include "support/registry_fixture.h"

namespace kestrow {
namespace {

using test::Reg;
using test::W;

const char16_t* const kFaultService = u"SYSTEM\\CurrentControlSet\\Services\\FaultSvc";

// A scenario's result is either its success or its failure; each is paired with the state it
// must leave: failure, the registry (and a key file that was there) unchanged; success, exactly
// what a run without faults leaves.
struct Scenario {
  const char* name;
  std::function<std::int32_t()> run;  // the export's result
  std::int32_t success;
  std::int32_t failure;
  std::u16string file;  // a file the scenario writes, or empty
};

class FaultInjection : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    mem = dynamic_cast<MemoryRegistry*>(&CurrentRegistry());
    ASSERT_NE(nullptr, mem);
    test::ReloadPlugin();
    test::SetEnv("COMMANDER_PATH", u"C:\\Commander");
    Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Tool", u"C:\\tool.exe");
    Reg::Str(RT_HKLM, WOW64_64, test::kRun, u"Exp", u"%x%", REG_EXPAND_SZ_);
    const std::u16string svc = std::u16string(test::kServices) + u"\\FaultSvc";
    Reg::Dword(RT_HKLM, WOW64_64, svc, u"Start", 2);
    Reg::Str(RT_HKLM, WOW64_64, svc, u"ImagePath", u"a.sys", REG_EXPAND_SZ_);
    Reg::Str(RT_HKLM, WOW64_32, test::kWinlogon, u"Shell", u"explorer.exe");
    if (folder.empty()) folder = test::OutsideTempFolder();
    List();
    // A key file to restore from; the key then gains a value the restore takes away again.
    platform::DeleteFileIfExists(KeyFile());
    auto save = W(u"\\HKCU_RUN32\\.SAVE"), local = W(folder + u"x");
    ASSERT_EQ(FS_FILE_OK, FsGetFileW(save.data(), local.data(), 0, nullptr));
    Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Later", u"C:\\later.exe");
    // A key file that a save replaces only when it succeeds.
    ASSERT_TRUE(platform::WriteWholeFile(folder + u"s", "the file from before"));
  }
  void TearDown() override {
    test::SetEnv("COMMANDER_PATH", u"");
    test::RegistryTest::TearDown();
  }
  std::u16string KeyFile() const { return folder + u"HKCU_RUN32.kscrkey"; }
  static std::int32_t List() { return static_cast<std::int32_t>(test::List(u"\\HKLM_SERV64\\FaultSvc").size()); }

  // FsExecuteFileW with a user who changes the value field and confirms.
  static std::int32_t Execute(const std::u16string& path, std::vector<test::Step> steps) {
    auto p = W(path), v = W(u"open");
    std::int32_t result = -99;
    test::Recorded().Reset();
    const test::Seen seen = test::RunAsUser([&] { result = FsExecuteFileW(nullptr, p.data(), v.data()); }, steps);
    for (const auto& problem : seen.problems) ADD_FAILURE() << "user: " << problem;
    // A failed write is told to the user, however it failed; a successful one is not.
    const std::vector<std::u16string> told =
        result == FS_EXEC_OK ? std::vector<std::u16string>{} : std::vector<std::u16string>{u"Value not written!"};
    EXPECT_EQ(told, test::Recorded().logs);
    return result;
  }

  std::vector<Scenario> Scenarios() {
    auto call = [](const std::u16string& a, const std::u16string& b, int kind) -> std::int32_t {
      auto x = W(a), y = W(b);
      switch (kind) {
        // As the host copies once its user has allowed a file to be written over.
        case 0: return FsGetFileW(x.data(), y.data(), FS_COPYFLAGS_OVERWRITE, nullptr);
        case 1: return FsPutFileW(x.data(), y.data(), 0);
        default: return FsDeleteFileW(x.data());
      }
    };
    const std::u16string keyFile = KeyFile();
    const std::u16string saved = folder + u"s";
    using test::Click;
    using test::Type;
    // Copying an entry out reads the tree the listing left and makes no registry call: it cannot
    // be a scenario of its own; the listing that reads what it shows is one.
    return {
        {"listing", [] { return List(); }, 5, 0, u""},
        {"save", [=] { return call(u"\\HKCU_RUN32\\.SAVE", saved, 0); }, FS_FILE_OK, FS_FILE_NOTFOUND, saved},
        {"copy in", [=] { return call(u"C:\\new.exe", u"\\HKCU_RUN32\\new.exe", 1); }, FS_FILE_OK,
         FS_FILE_WRITEERROR, u""},
        {"restore", [=] { return call(keyFile, u"\\HKCU_RUN32\\k.kscrkey", 1); }, FS_FILE_OK, FS_FILE_WRITEERROR,
         u""},
        {"delete", [=] { return call(u"\\HKCU_RUN32\\Tool", u"", 2); }, KS_TRUE, KS_FALSE, u""},
        {"edit", [] { return Execute(u"\\HKCU_RUN32\\Tool", {Type(idValue, u" /x"), Click(idOK)}); }, FS_EXEC_OK,
         FS_EXEC_ERROR, u""},
        {"add",
         [] {
           return Execute(u"\\HKCU_RUN32\\.ADD",
                          {Type(idFolderName, u"Sub"), Type(idValueName, u"N"), Type(idValue, u"v"), Click(idOK)});
         },
         FS_EXEC_OK, FS_EXEC_ERROR, u""},
    };
  }

  MemoryRegistry* mem = nullptr;
  std::u16string folder;
};

TEST_F(FaultInjection, EveryFailingCallIsSurvived) {
  int injected = 0;
  for (const auto& sc : Scenarios()) {
    SCOPED_TRACE(sc.name);
    // Count the calls of a clean run, then fail each one in turn.
    mem->Clear();
    SetUp();
    const std::string clean = mem->Snapshot();
    const std::optional<std::string> fileBefore = sc.file.empty() ? std::nullopt : test::ReadLocal(sc.file);
    int calls = 0;
    mem->hook = [&](RegOp, const std::u16string&) { return ++calls, RS_OK; };
    ASSERT_EQ(sc.success, sc.run());
    mem->hook = nullptr;
    const std::string afterClean = mem->Snapshot();
    const std::optional<std::string> fileAfterClean = sc.file.empty() ? std::nullopt : test::ReadLocal(sc.file);
    // Every scenario works on the registry, so every one has faults to survive.
    ASSERT_LT(0, calls);
    if (sc.file.empty() && std::string(sc.name) != "listing") {
      ASSERT_NE(clean, afterClean) << "the clean run changed nothing to compare with";
    }
    int failures = 0;
    for (int k = 1; k <= calls; ++k) {
      // Put the registry back as it was before the scenario.
      mem->Clear();
      SetUp();
      ASSERT_EQ(clean, mem->Snapshot());
      int seen = 0;
      mem->hook = [&](RegOp, const std::u16string&) { return ++seen == k ? RS_ACCESS_DENIED : RS_OK; };
      std::int32_t r = -99;
      ASSERT_NO_THROW(r = sc.run()) << "call " << k;
      mem->hook = nullptr;
      ++injected;
      EXPECT_EQ(0u, mem->OpenHandles()) << "call " << k;
      const std::string now = mem->Snapshot();
      const std::optional<std::string> file = sc.file.empty() ? std::nullopt : test::ReadLocal(sc.file);
      if (r == sc.failure) {
        ++failures;
        EXPECT_TRUE(now == clean) << "call " << k << " failed and changed the registry";
        EXPECT_TRUE(file == fileBefore) << "call " << k << " failed and changed the file";
      } else if (std::string(sc.name) == "listing") {
        // A fault while reading leaves fewer entries, never anything else.
        EXPECT_LE(0, r);
        EXPECT_GE(sc.success, r);
        EXPECT_TRUE(now == clean) << "call " << k;
      } else {
        EXPECT_EQ(sc.success, r) << "call " << k << " gave neither result";
        EXPECT_TRUE(now == afterClean) << "call " << k << " succeeded and wrote another state";
        EXPECT_TRUE(file == fileAfterClean) << "call " << k << " succeeded and wrote another file";
      }
      // The tree is still usable: a listing afterwards works.
      EXPECT_EQ(46u, test::List(u"\\").size());
    }
    std::printf("%s: %d registry calls failed in turn, %d of them failed the export\n", sc.name, calls, failures);
    // Failing a registry call must fail a writing export at least once.
    if (std::string(sc.name) != "listing") {
      EXPECT_LT(0, failures);
    }
  }
  RecordProperty("faults_injected", injected);
  std::printf("registry faults injected and survived: %d\n", injected);
  // The rebuild alone reads every one of the 46 locations.
  EXPECT_LE(46 + 6, injected);
}

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
    mem->Clear();
    SetUp();
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
