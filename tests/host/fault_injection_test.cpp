// Every registry call of a scenario fails in turn, and every value read changes its type under
// the reader: the exports give their failure results, nothing escapes, no handle leaks, and a
// failed write or restore leaves the registry as it was.
#include <gtest/gtest.h>

#include <functional>

#include "host/exports.h"
#include "host/library.h"
#include "registry/memory_registry.h"
#include "support/plugin_under_test.h"
#include "support/registry_fixture.h"

namespace kestrow {
namespace {

using test::Reg;
using test::W;

const char16_t* const kFaultService = u"SYSTEM\\CurrentControlSet\\Services\\FaultSvc";

struct Scenario {
  const char* name;
  std::function<std::int32_t()> run;  // the export's result
  std::vector<std::int32_t> allowed;  // results it may give
  bool writes;                        // when it fails, the registry must be unchanged
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
    folder = test::OutsideTempFolder();
    List();
    // A key file to restore from.
    auto save = W(u"\\HKCU_RUN32\\.SAVE"), local = W(folder + u"x");
    ASSERT_EQ(FS_FILE_OK, FsGetFileW(save.data(), local.data(), 0, nullptr));
  }
  void TearDown() override {
    test::SetEnv("COMMANDER_PATH", u"");
    test::RegistryTest::TearDown();
  }
  static std::int32_t List() { return static_cast<std::int32_t>(test::List(u"\\HKLM_SERV64\\FaultSvc").size()); }

  std::vector<Scenario> Scenarios() {
    auto call = [](const std::u16string& a, const std::u16string& b, int kind) -> std::int32_t {
      auto x = W(a), y = W(b);
      switch (kind) {
        case 0: return FsGetFileW(x.data(), y.data(), 0, nullptr);
        case 1: return FsPutFileW(x.data(), y.data(), 0);
        default: return FsDeleteFileW(x.data());
      }
    };
    const std::u16string keyFile = folder + u"HKCU_RUN32.kscrkey";
    return {
        {"listing", [] { List(); return std::int32_t(0); }, {0}, false},
        {"copy out", [=] { return call(u"\\HKLM_WINLOGON32\\Shell", folder + u"d.txt", 0); }, {FS_FILE_OK}, false},
        {"save", [=] { return call(u"\\HKCU_RUN32\\.SAVE", folder + u"s", 0); }, {FS_FILE_OK, FS_FILE_NOTFOUND}, false},
        {"copy in", [=] { return call(u"C:\\new.exe", u"\\HKCU_RUN32\\new.exe", 1); },
         {FS_FILE_OK, FS_FILE_WRITEERROR}, true},
        {"restore", [=] { return call(keyFile, u"\\HKCU_RUN32\\k.kscrkey", 1); }, {FS_FILE_OK, FS_FILE_WRITEERROR}, true},
        {"delete", [=] { return call(u"\\HKCU_RUN32\\Tool", u"", 2); }, {KS_TRUE, KS_FALSE}, true},
    };
  }

  MemoryRegistry* mem = nullptr;
  std::u16string folder;
};

TEST_F(FaultInjection, EveryFailingCallIsSurvived) {
  int injected = 0;
  for (const auto& sc : Scenarios()) {
    // Count the calls of a clean run, then fail each one in turn.
    mem->Clear();
    SetUp();
    const std::string clean = mem->Snapshot();
    int calls = 0;
    mem->hook = [&](RegOp, const std::u16string&) { return ++calls, RS_OK; };
    sc.run();
    mem->hook = nullptr;
    const std::string afterClean = mem->Snapshot();
    for (int k = 1; k <= calls; ++k) {
      // Put the registry back as it was before the scenario.
      mem->Clear();
      SetUp();
      ASSERT_EQ(clean, mem->Snapshot());
      int seen = 0;
      mem->hook = [&](RegOp, const std::u16string&) { return ++seen == k ? RS_ACCESS_DENIED : RS_OK; };
      std::int32_t r = -99;
      ASSERT_NO_THROW(r = sc.run()) << sc.name << " call " << k;
      mem->hook = nullptr;
      ++injected;
      EXPECT_NE(sc.allowed.end(), std::find(sc.allowed.begin(), sc.allowed.end(), r)) << sc.name << " call " << k
                                                                                     << " gave " << r;
      EXPECT_EQ(0u, mem->OpenHandles()) << sc.name << " call " << k;
      const std::string now = mem->Snapshot();
      if (sc.writes) {
        EXPECT_TRUE(now == clean || now == afterClean) << sc.name << " call " << k << " half-written";
      }
      // The tree is still usable: a listing afterwards works.
      EXPECT_EQ(46u, test::List(u"\\").size());
    }
  }
  RecordProperty("faults_injected", injected);
  std::printf("registry faults injected and survived: %d\n", injected);
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
    EXPECT_EQ(KsListingHandle(), h);
    EXPECT_EQ(0u, mem->OpenHandles());
    if (k > queries) break;
    injected += changed ? 1 : 0;
    mem->Clear();
    SetUp();
  }
  std::printf("type changes injected between test and read: %d\n", injected);
  EXPECT_GT(injected, 5);
}

}  // namespace
}  // namespace kestrow
