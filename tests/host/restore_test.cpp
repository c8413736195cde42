// Restoring a key from a key file leaves nothing behind in the registry and never leaves the key
// emptied: not with files that are no hive, not when a step of the restore fails.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/text.h"
#include "registry/registry_ex.h"
#ifndef _WIN32
#include "registry/memory_registry.h"
#endif
#include "support/helpers.h"

namespace kestrow {
namespace {

using test::Reg;

// The names of the keys directly below the machine's root.
std::vector<std::u16string> MachineKeys() {
  std::vector<std::u16string> names;
  RegBackend& r = CurrentRegistry();
  RegHandle h = 0;
  EXPECT_EQ(RS_OK, r.OpenKey(HKEY_LOCAL_MACHINE_, u"", KEY_READ_ | KEY_WOW64_64KEY_, &h));
  std::u16string n;
  for (std::uint32_t i = 0; r.EnumKey(h, i, &n) == RS_OK; ++i) names.push_back(n);
  r.CloseKey(h);
  std::sort(names.begin(), names.end());
  return names;
}

// Everything the restores below may change: the Run key in both views, its subkey, the machine's root.
std::string State() {
  std::string state;
  for (auto view : {WOW64_32, WOW64_64})
    for (const std::u16string& key : {std::u16string(test::kRun), std::u16string(test::kRun) + u"\\Sub",
                                      std::u16string(test::kRun) + u"\\Other\\Deeper"}) {
      state += "[" + ToUtf8(key) + "]" + test::ValuesOf(RT_HKCU, view, key);
    }
  for (const auto& k : MachineKeys()) state += "{" + ToUtf8(k) + "}";
  return state;
}

class RestoreFixture : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
#ifndef _WIN32
    mem = dynamic_cast<MemoryRegistry*>(&CurrentRegistry());
    ASSERT_NE(nullptr, mem);
    mem->restoreDoesNothing = throughLoad;
#endif
    test::ReloadPlugin();
    test::InitCoreInProcess();
    test::Recorded().Reset();
    // Outside the host's folder, ".SAVE" copied to a folder names the key file after the type.
    test::SetEnv("COMMANDER_PATH", u"C:\\Commander");
    folder = test::OutsideTempFolder();
    Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Keep", u"original");
    Reg::Str(RT_HKCU, WOW64_64, std::u16string(test::kRun) + u"\\Sub", u"Deep", u"deep");
    test::List(u"\\HKCU_RUN64");
  }
  void TearDown() override {
#ifndef _WIN32
    mem->restoreDoesNothing = false;
#endif
    test::SetEnv("COMMANDER_PATH", u"");
    test::RegistryTest::TearDown();
  }
  static std::int32_t Put(const std::u16string& local, const std::u16string& remote) {
    return test::PutFile(local, remote);
  }
  // Saves the Run key through its ".SAVE" command; the key file's name.
  std::u16string Save() {
    // A key file of an earlier save is written over.
    EXPECT_EQ(FS_FILE_OK, test::GetFile(u"\\HKCU_RUN64\\.SAVE", folder, FS_COPYFLAGS_OVERWRITE));
    return folder + u"HKCU_RUN64.kscrkey";
  }
  // The content a restore replaces: the saved value changed, one added, the subkey gone and
  // another one there, two levels deep.
  static void Change() {
    Reg::DeleteKey(RT_HKCU, WOW64_64, test::kRun);
    Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Keep", u"changed");
    Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Added", u"later");
    Reg::Dword(RT_HKCU, WOW64_64, std::u16string(test::kRun) + u"\\Other\\Deeper", u"Flag", 5);
  }
  std::u16string folder;
  bool throughLoad = false;
#ifndef _WIN32
  MemoryRegistry* mem = nullptr;
#endif
};

// Natively the restores run twice: with a key restore that works, and through the path Wine needs,
// where the key restore does nothing. Under Wine they run on its real registry.
class RestoreTest : public RestoreFixture, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    throughLoad = GetParam();
    RestoreFixture::SetUp();
  }
};

TEST_P(RestoreTest, FilesThatAreNoHiveLeaveNothingBehind) {
  const std::string before = State();
  for (const auto& c : test::FilesThatAreNoHive()) {
    SCOPED_TRACE(c.label);
    const std::u16string file = folder + u"bad.kscrkey";
    ASSERT_TRUE(platform::WriteWholeFile(file, c.bytes));
    EXPECT_EQ(FS_FILE_WRITEERROR, Put(file, u"\\HKCU_RUN64\\bad.kscrkey"));
    EXPECT_EQ(before, State());
  }
}

TEST_P(RestoreTest, ARestoreReplacesTheKeyAndLeavesNothingBehind) {
  const std::string saved = State();
  const std::u16string keyFile = Save();
  Change();
  EXPECT_EQ(FS_FILE_OK, Put(keyFile, u"\\HKCU_RUN64\\HKCU_RUN64.kscrkey"));
  EXPECT_EQ(saved, State());
}

#ifndef _WIN32
INSTANTIATE_TEST_SUITE_P(InMemory, RestoreTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "ThroughLoad" : "Plain"; });
#else
INSTANTIATE_TEST_SUITE_P(Platform, RestoreTest, ::testing::Values(false),
                         [](const ::testing::TestParamInfo<bool>&) { return std::string("Registry"); });
#endif

class RestoreThroughLoadFaults : public RestoreFixture {
 protected:
  void SetUp() override {
    throughLoad = true;
    RestoreFixture::SetUp();
  }
};

// Every registry call of a restore through the load path fails in turn: the key then holds its
// old content or the restored one, never less, and nothing is left at the machine's root.
TEST_F(RestoreThroughLoadFaults, EveryFailingStepLeavesTheOldKeyOrTheRestoredOne) {
#ifdef _WIN32
  GTEST_SKIP() << test::kNeedsInMemoryRegistry;
#else
  const std::string saved = State();
  const std::u16string keyFile = Save();
  Change();
  const std::string changed = State();
  const auto restore = [&] { return Put(keyFile, u"\\HKCU_RUN64\\HKCU_RUN64.kscrkey"); };
  const auto reset = [&] {
    mem->hook = nullptr;
    mem->Clear();
    Change();
    ASSERT_EQ(changed, State());
  };
  std::vector<RegOp> ops;
  mem->hook = [&](RegOp op, const std::u16string&) { return ops.push_back(op), RS_OK; };
  ASSERT_EQ(FS_FILE_OK, restore());
  mem->hook = nullptr;
  ASSERT_EQ(saved, State());
  for (RegOp needed : {RegOp::Load, RegOp::Unload, RegOp::CopyTree, RegOp::EmptyKey})
    ASSERT_NE(ops.end(), std::find(ops.begin(), ops.end(), needed)) << int(needed);
  int restored = 0, refused = 0;
  for (std::size_t k = 1; k <= ops.size(); ++k) {
    SCOPED_TRACE("call " + std::to_string(k) + " of " + std::to_string(ops.size()) + ", op " +
                 std::to_string(int(ops[k - 1])));
    reset();
    std::size_t seen = 0;
    mem->hook = [&](RegOp, const std::u16string&) { return ++seen == k ? RS_ACCESS_DENIED : RS_OK; };
    const std::int32_t r = restore();
    mem->hook = nullptr;
    EXPECT_EQ(0u, mem->OpenHandles());
    if (r == FS_FILE_OK) {
      ++restored;
      EXPECT_EQ(saved, State());
    } else {
      ++refused;
      EXPECT_EQ(FS_FILE_WRITEERROR, r);
      EXPECT_EQ(changed, State());
    }
  }
  std::printf("restore faults injected: %zu (%d restored all the same, %d refused)\n", ops.size(), restored, refused);
  EXPECT_GT(refused, 0);
#endif
}

}  // namespace
}  // namespace kestrow
