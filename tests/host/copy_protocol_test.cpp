// The host's copy protocol: a copy out onto a local file that exists is refused with
// FS_FILE_EXISTS until the host, having asked its user, calls again with the overwrite flag.
#include <gtest/gtest.h>

#include "platform/platform.h"
#include "support/helpers.h"

namespace kestrow {
namespace {

using test::List;
using test::Reg;

const std::string kUsersFile = "the user's own notes";

class CopyProtocolTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    test::ReloadPlugin();
    test::Recorded().Reset();
    test::SetEnv("COMMANDER_PATH", u"C:\\Commander");
    Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Tool", u"C:\\tool.exe");
    List(u"\\HKCU_RUN64");
  }
  void TearDown() override {
    test::SetEnv("COMMANDER_PATH", u"");
    test::RegistryTest::TearDown();
  }
  static std::int32_t Get(const std::u16string& remote, const std::u16string& local, std::int32_t flags) {
    return test::GetFile(remote, local, flags);
  }
  static bool IsDescriptionOfTool(const std::optional<std::string>& bytes) {
    return bytes && bytes->find("\r\nValue name: Tool\r\nCurrent value: C:\\tool.exe\r\n") != std::string::npos;
  }
};

TEST_F(CopyProtocolTest, AnEntryGoesOntoAnExistingFileOnlyWithTheOverwriteFlag) {
  struct Case {
    const char* name;
    bool exists;
    std::int32_t flags;
    std::int32_t result;
    bool replaced;  // the file holds the description afterwards
  };
  const Case cases[] = {
      {"a new file", false, 0, FS_FILE_OK, true},
      {"an existing file", true, 0, FS_FILE_EXISTS, false},
      {"an existing file, moved", true, FS_COPYFLAGS_MOVE, FS_FILE_EXISTS, false},
      {"an existing file, overwrite", true, FS_COPYFLAGS_OVERWRITE, FS_FILE_OK, true},
      {"an existing file, overwrite and move", true, FS_COPYFLAGS_OVERWRITE | FS_COPYFLAGS_MOVE, FS_FILE_OK, true},
      {"a new file, overwrite", false, FS_COPYFLAGS_OVERWRITE, FS_FILE_OK, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string local = test::ScratchFolder() + u"Tool.txt";
    if (c.exists) {
      ASSERT_TRUE(platform::WriteWholeFile(local, kUsersFile));
    }
    EXPECT_EQ(c.result, Get(u"\\HKCU_RUN64\\Tool", local, c.flags));
    const auto after = test::ReadLocal(local);
    if (c.replaced) {
      EXPECT_TRUE(IsDescriptionOfTool(after)) << after.value_or("(no file)");
    } else {
      EXPECT_EQ(kUsersFile, after.value_or("(no file)"));
    }
    // A move deletes nothing: the entry is a registry value, not a file.
    EXPECT_TRUE(Reg::Get(RT_HKCU, WOW64_64, test::kRun, u"Tool"));
    // Nothing else is left in the folder (a description written beside the file first).
    EXPECT_EQ(std::vector<std::u16string>{u"Tool.txt"}, test::FilesIn(local.substr(0, local.size() - 8)));
  }
  EXPECT_TRUE(test::Recorded().requests.empty());
}

TEST_F(CopyProtocolTest, SavingAKeyChecksTheKeyFileThatWouldBeWritten) {
  struct Case {
    const char* name;
    bool inTemp;            // the local name lies in the temporary folder: it is the key file
    bool keyFileExists;     // the file the save would write exists
    bool localNameExists;   // outside the temporary folder: a file of the host's local name
    std::int32_t flags;
    std::int32_t result;
  };
  const Case cases[] = {
      {"a new key file", false, false, false, 0, FS_FILE_OK},
      {"an existing key file", false, true, false, 0, FS_FILE_EXISTS},
      {"an existing key file, overwrite", false, true, false, FS_COPYFLAGS_OVERWRITE, FS_FILE_OK},
      {"only the local name exists", false, false, true, 0, FS_FILE_OK},
      {"in the temporary folder, existing", true, true, false, 0, FS_FILE_EXISTS},
      {"in the temporary folder, overwrite", true, true, false, FS_COPYFLAGS_OVERWRITE, FS_FILE_OK},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string folder = c.inTemp ? test::ScratchFolder() : test::OutsideTempFolder();
    const std::u16string local = folder + u".SAVE";
    const std::u16string keyFile = c.inTemp ? local : folder + u"HKCU_RUN64.kscrkey";
    if (c.keyFileExists) {
      ASSERT_TRUE(platform::WriteWholeFile(keyFile, kUsersFile));
    }
    if (c.localNameExists) {
      ASSERT_TRUE(platform::WriteWholeFile(local, kUsersFile));
    }
    EXPECT_EQ(c.result, Get(u"\\HKCU_RUN64\\.SAVE", local, c.flags));
    const auto after = test::ReadLocal(keyFile);
    ASSERT_TRUE(after);
    if (c.result == FS_FILE_EXISTS) {
      EXPECT_EQ(kUsersFile, *after);
    } else {
      EXPECT_NE(kUsersFile, *after);
    }
    // The host's own local name is never written outside the temporary folder.
    if (!c.inTemp) {
      EXPECT_EQ(c.localNameExists ? std::optional<std::string>(kUsersFile) : std::nullopt, test::ReadLocal(local));
    }
  }
}

}  // namespace
}  // namespace kestrow
