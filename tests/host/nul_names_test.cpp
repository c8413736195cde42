// Values and keys whose names hold a NUL. The registry counts the characters of a name, so a
// program can name a value "Acc", NUL, "Hidden" beside an ordinary value "Acc"; functions that end
// names at their first NUL reach the other value instead, or nothing. Such entries are listed,
// read, edited, switched off, copied over and deleted by their whole names, and every text the
// plugin gives shows them without a NUL: in their listed form ("Acc^00Hidden").
#include <gtest/gtest.h>


#include "dialogs/user_driver.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "support/helpers.h"
#include "support/planted_values.h"

namespace kestrow {
namespace {

using test::AttributesOf;
using test::Click;
using test::Column;
using test::CountOf;
using test::Delete;
using test::Exports;
using test::Line;
using test::List;
using test::Reg;
using test::ScriptPath;
using test::SetAttr;
using test::Shown;
using test::Type;
using test::W;
using test::Whole;

const std::u16string kServices = test::kServices;
const std::u16string kIfeo = test::kIfeo;
const char16_t* const kApproved = u"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved";
constexpr std::uint32_t kHidden = 2;

class NulNamesTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    for (auto root : {RT_HKCU, RT_HKLM}) {
      Reg::DeleteKey(root, WOW64_64, kApproved);
      Own(root, WOW64_64, kApproved);
    }
    test::ReloadPlugin();
    test::InitCoreInProcess();
    test::Recorded().Reset();
    folder = test::ScratchFolder();
  }
  void TearDown() override {
    platform::DeleteFileIfExists(ScriptPath());
    planted.Undo();
    test::RegistryTest::TearDown();
  }

  // The description of an entry copied out, as the bytes of the file.
  std::string CopyOut(const std::u16string& path) { return test::CopiedOut(path, folder + u"entry.txt"); }
  static std::int32_t Put(const std::u16string& local, const std::u16string& remote) {
    return test::PutFile(local, remote);
  }

  test::Planted planted;
  std::u16string folder;
};

// One value named with a NUL beside the value its name reads as when cut at the first NUL.
struct RunCase {
  const char* what;
  const char16_t* typeId;
  ROOT_TYPES root;
  PLATFORM_TYPE view;
  const char16_t* markKey;  // below the StartupApproved key
  std::u16string hidden;    // the name holding a NUL
  std::u16string listed;    // how it is listed and shown
  std::u16string decoy;     // the name cut at the first NUL (empty: the key's default value)
};

TEST_F(NulNamesTest, RunValueIsReadEditedSwitchedOffCopiedOverAndDeletedByItsWholeName) {
  const RunCase cases[] = {
      {"a NUL inside", u"HKCU_RUN64", RT_HKCU, WOW64_64, u"Run", Whole(u"Acc\0Hidden"), u"Acc^00Hidden", u"Acc"},
      {"a NUL first", u"HKCU_RUN64", RT_HKCU, WOW64_64, u"Run", Whole(u"\0AccLead"), u"^00AccLead", u""},
      {"a NUL last, 32-bit view", u"HKLM_RUN32", RT_HKLM, WOW64_32, u"Run32", Whole(u"Tail\0"), u"Tail^00", u"Tail"},
      {"several NULs and a caret", u"HKLM_RUN64", RT_HKLM, WOW64_64, u"Run", Whole(u"a\0b^\0"), u"a^00b^5E^00", u"a"},
      {"only a NUL", u"HKCU_RUN32", RT_HKCU, WOW64_32, u"Run", Whole(u"\0"), u"^00", u""},
  };
  const std::u16string runPath = u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::u16string dir = u"\\" + std::u16string(c.typeId);
    const std::u16string entry = dir + u"\\" + c.listed;
    const std::u16string markKey = std::u16string(kApproved) + u"\\" + c.markKey;
    planted.Text(c.root, c.view, test::kRun, c.decoy, u"C:\\decoy.exe");
    planted.Text(c.root, c.view, test::kRun, c.hidden, u"C:\\nul\\inside.exe");
    const auto decoyIntact = [&] {
      EXPECT_EQ(std::optional<std::u16string>(u"C:\\decoy.exe"), Reg::Text(c.root, c.view, test::kRun, c.decoy));
    };

    // Listed once, beside the other value.
    const auto entries = List(dir);
    EXPECT_EQ(1u, CountOf(entries, c.listed));
    EXPECT_EQ(c.decoy.empty() ? 4u : 5u, entries.size());
    if (!c.decoy.empty()) {
      EXPECT_EQ(1u, CountOf(entries, c.decoy));
    }

    // Its description and columns tell its own value, and no text holds a NUL.
    const std::string text = CopyOut(entry);
    EXPECT_EQ(std::string::npos, text.find('\0'));
    EXPECT_EQ(ToUtf8(c.listed), Line(text, "Value name"));
    EXPECT_EQ("C:\\nul\\inside.exe", Line(text, "Current value"));
    EXPECT_EQ(ToUtf8(runPath), Line(text, "Path"));
    EXPECT_EQ(ToUtf8(c.listed), Column(entry, 5));
    EXPECT_EQ("C:\\nul\\inside.exe", Column(entry, 6));
    EXPECT_EQ("On", Column(entry, 7));
    KS_HICON icon = nullptr;
    auto p = W(entry);
    EXPECT_EQ(FS_ICON_EXTRACTED_DESTROY, Exports().FsExtractCustomIconW(p.data(), FS_ICONFLAG_BACKGROUND, &icon));

    // Switched off and on again by a mark named exactly like it.
    test::Recorded().Reset();
    ASSERT_EQ(KS_TRUE, SetAttr(entry, kHidden));
    auto mark = Reg::Get(c.root, WOW64_64, markKey, c.hidden);
    ASSERT_TRUE(mark);
    ASSERT_EQ(12u, mark->data.size());
    EXPECT_EQ(3, mark->data[0]);
    EXPECT_FALSE(Reg::Get(c.root, WOW64_64, markKey, c.decoy));
    EXPECT_EQ(kHidden, AttributesOf(dir, c.listed));
    if (!c.decoy.empty()) {
      EXPECT_EQ(0u, AttributesOf(dir, c.decoy));
    }
    EXPECT_EQ("Off since ", Column(entry, 7).substr(0, 10));
    ASSERT_EQ(KS_TRUE, SetAttr(entry, 0));
    mark = Reg::Get(c.root, WOW64_64, markKey, c.hidden);
    ASSERT_TRUE(mark);
    EXPECT_EQ(2, mark->data[0]);
    EXPECT_EQ(0u, AttributesOf(dir, c.listed));

    // Edited in the dialog, which shows the name as it is listed.
    std::int32_t result = -99;
    const test::Seen seen = test::EditAsUser(entry, u"C:\\edited.exe", &result);
    EXPECT_EQ(FS_EXEC_OK, result);
    EXPECT_EQ(c.listed, Shown(seen, idValueName));
    EXPECT_EQ(runPath, Shown(seen, idPath));
    EXPECT_EQ(std::optional<std::u16string>(u"C:\\edited.exe"), Reg::Text(c.root, c.view, test::kRun, c.hidden));
    decoyIntact();

    // A file copied in under its listed name writes over it.
    test::Recorded().Reset();
    EXPECT_EQ(FS_FILE_OK, Put(u"C:\\Tools\\new.exe", entry + u".exe"));
    ASSERT_EQ(1u, test::Recorded().requests.size());
    EXPECT_EQ(u"Do you want to write new value '" + c.listed + u"'?", test::Recorded().requests[0].text);
    EXPECT_EQ(std::optional<std::u16string>(u"C:\\Tools\\new.exe"), Reg::Text(c.root, c.view, test::kRun, c.hidden));
    decoyIntact();

    // Deleted: that value and no other.
    EXPECT_EQ(KS_TRUE, Delete(entry));
    EXPECT_FALSE(Reg::Get(c.root, c.view, test::kRun, c.hidden));
    decoyIntact();
    EXPECT_EQ(0u, CountOf(List(dir), c.listed));
    planted.Undo();
    Reg::DeleteKey(c.root, WOW64_64, kApproved);
  }
}

TEST_F(NulNamesTest, ServiceKeyNamedWithANulIsListedReadEditedAndWrittenInto) {
  const std::u16string hidden = kServices + u"\\" + Whole(u"AAAKestrow\0Nul");
  const std::u16string decoy = kServices + u"\\AAAKestrow";
  const std::u16string shownPath = u"\\" + kServices + u"\\AAAKestrow^00Nul";
  planted.Dword(RT_HKLM, WOW64_64, decoy, u"Start", 1);
  planted.Text(RT_HKLM, WOW64_64, decoy, u"ImagePath", u"C:\\decoy.exe", REG_EXPAND_SZ_);
  planted.Text(RT_HKLM, WOW64_64, hidden, u"ImagePath", u"C:\\nul\\svc.exe", REG_EXPAND_SZ_);
  // Both lists show the one services key of both views; each starts from a Start of 2.
  for (const char16_t* type : {u"\\HKLM_SERV64", u"\\HKLM_SERV32"}) {
    SCOPED_TRACE(ToUtf8(type));
    planted.Dword(RT_HKLM, WOW64_64, hidden, u"Start", 2);
    const std::u16string dir = std::u16string(type) + u"\\AAAKestrow^00Nul";
    const auto entries = List(type);
    ASSERT_EQ(1u, CountOf(entries, u"AAAKestrow^00Nul"));
    EXPECT_EQ(1u, CountOf(entries, u"AAAKestrow"));
    EXPECT_EQ((std::vector<std::u16string>{u"Start", u"DisplayName", u"Group", u"ImagePath", u"Type"}),
              test::Names(List(dir)));

    const std::string image = CopyOut(dir + u"\\ImagePath");
    EXPECT_EQ(std::string::npos, image.find('\0'));
    EXPECT_EQ(ToUtf8(shownPath), Line(image, "Path"));
    EXPECT_EQ("ImagePath", Line(image, "Value name"));
    EXPECT_EQ("C:\\nul\\svc.exe", Line(image, "Current value"));
    const std::string directory = CopyOut(dir);
    EXPECT_EQ(std::string::npos, directory.find('\0'));
    EXPECT_EQ("AAAKestrow^00Nul", Line(directory, "Value name"));
    EXPECT_EQ(ToUtf8(shownPath), Column(dir + u"\\Start", 4));
    EXPECT_EQ("2", Column(dir + u"\\Start", 6));

    // The dialog shows the key path as it is listed and writes into that key.
    std::int32_t result = -99;
    const test::Seen seen = test::EditAsUser(dir + u"\\Start", u"3", &result);
    EXPECT_EQ(FS_EXEC_OK, result);
    EXPECT_EQ(shownPath, Shown(seen, idPath));
    const auto written = Reg::Get(RT_HKLM, WOW64_64, hidden, u"Start"), other = Reg::Get(RT_HKLM, WOW64_64, decoy, u"Start");
    ASSERT_TRUE(written && other);
    EXPECT_EQ((std::vector<std::uint8_t>{3, 0, 0, 0}), written->data);
    EXPECT_EQ((std::vector<std::uint8_t>{1, 0, 0, 0}), other->data);
  }
}

TEST_F(NulNamesTest, ValueInAKeyNamedWithANulIsWrittenAndDeletedInThatKeyOnly) {
  const std::u16string hidden = kIfeo + u"\\" + Whole(u"tool\0.exe");
  const std::u16string decoy = kIfeo + u"\\tool";
  for (auto view : {WOW64_64, WOW64_32}) {
    SCOPED_TRACE(view == WOW64_64 ? "64-bit view" : "32-bit view");
    const std::u16string type = view == WOW64_64 ? u"\\HKLM_IFEO64" : u"\\HKLM_IFEO32";
    planted.Text(RT_HKLM, view, decoy, u"Debugger", u"C:\\decoy\\dbg.exe");
    planted.Text(RT_HKLM, view, hidden, u"Debugger", u"C:\\nul\\dbg.exe");
    ASSERT_EQ(1u, CountOf(List(type), u"tool^00.exe"));
    EXPECT_EQ("C:\\nul\\dbg.exe", Line(CopyOut(type + u"\\tool^00.exe\\Debugger"), "Current value"));
    // A file copied into the directory writes its value into that key.
    test::Recorded().Reset();
    EXPECT_EQ(FS_FILE_OK, Put(u"C:\\Tools\\GlobalFlag.exe", type + u"\\tool^00.exe\\GlobalFlag.exe"));
    EXPECT_EQ(std::optional<std::u16string>(u"C:\\Tools\\GlobalFlag.exe"), Reg::Text(RT_HKLM, view, hidden, u"GlobalFlag"));
    EXPECT_FALSE(Reg::Get(RT_HKLM, view, decoy, u"GlobalFlag"));
    Reg::DeleteValue(RT_HKLM, view, hidden, u"GlobalFlag");
    EXPECT_EQ(KS_TRUE, Delete(type + u"\\tool^00.exe\\Debugger"));
    EXPECT_FALSE(Reg::Get(RT_HKLM, view, hidden, u"Debugger"));
    EXPECT_EQ(std::optional<std::u16string>(u"C:\\decoy\\dbg.exe"), Reg::Text(RT_HKLM, view, decoy, u"Debugger"));
    EXPECT_EQ(0u, CountOf(List(type), u"tool^00.exe"));
    EXPECT_EQ(1u, CountOf(List(type), u"tool"));
    planted.Undo();
  }
}

TEST_F(NulNamesTest, KeyRestoreBringsBackNamesWithANulAndTakesAwayOthers) {
  const std::u16string sub = std::u16string(test::kRun) + u"\\" + Whole(u"Sub\0Key");
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, Whole(u"Acc\0Hidden"), u"C:\\nul\\inside.exe");
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Acc", u"C:\\decoy.exe");
  Reg::Str(RT_HKCU, WOW64_64, sub, Whole(u"In\0Side"), u"deep");
  const std::u16string keyFile = folder + u"run.kscrkey";
  ASSERT_EQ(5u, List(u"\\HKCU_RUN64").size());
  {
    auto r = W(u"\\HKCU_RUN64\\.SAVE"), l = W(keyFile);
    ASSERT_EQ(FS_FILE_OK, Exports().FsGetFileW(r.data(), l.data(), 0, nullptr));
  }
  Reg::DeleteValue(RT_HKCU, WOW64_64, test::kRun, Whole(u"Acc\0Hidden"));
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Acc", u"changed");
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, Whole(u"Extra\0"), u"new");
  Reg::Str(RT_HKCU, WOW64_64, std::u16string(test::kRun) + u"\\" + Whole(u"\0New"), u"x", u"y");
  Reg::DeleteKey(RT_HKCU, WOW64_64, sub);

  test::Recorded().defaultAnswer = true;
  EXPECT_EQ(FS_FILE_OK, Put(keyFile, u"\\HKCU_RUN64\\run.kscrkey"));
  EXPECT_EQ(std::optional<std::u16string>(u"C:\\nul\\inside.exe"),
            Reg::Text(RT_HKCU, WOW64_64, test::kRun, Whole(u"Acc\0Hidden")));
  EXPECT_EQ(std::optional<std::u16string>(u"C:\\decoy.exe"), Reg::Text(RT_HKCU, WOW64_64, test::kRun, u"Acc"));
  EXPECT_EQ(std::optional<std::u16string>(u"deep"), Reg::Text(RT_HKCU, WOW64_64, sub, Whole(u"In\0Side")));
  EXPECT_FALSE(Reg::Get(RT_HKCU, WOW64_64, test::kRun, Whole(u"Extra\0")));
  EXPECT_EQ(std::vector<std::u16string>{Whole(u"Sub\0Key")}, Reg::SubkeyNames(RT_HKCU, WOW64_64, test::kRun));
  platform::DeleteFileIfExists(keyFile);
}

// A start-up script's type whose key is named with a NUL: the add dialog shows its path as it is
// listed, and writes into that key and the subkeys it creates below it, never into the key named
// like the part before the NUL.
TEST_F(NulNamesTest, AddDialogShowsAndWritesAKeyPathNamedWithANul) {
  const std::u16string key = u"Software\\" + Whole(u"KestrowAdd\0Nul"), cut = u"Software\\KestrowAdd";
  Own(RT_HKCU, WOW64_64, key);
  Own(RT_HKCU, WOW64_64, cut);
  Reg::CreateKey(RT_HKCU, WOW64_64, key);
  ASSERT_TRUE(platform::WriteWholeFile(
      ScriptPath(), "begin\n  QInitializeType('ADDNUL', RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64,\n"
                    "    '\\Software\\KestrowAdd'#0'Nul');\nend.\n"));
  ASSERT_EQ(3u, List(u"\\ADDNUL").size());
  auto p = W(u"\\ADDNUL\\.ADD"), verb = W(u"open");
  std::int32_t result = -99;
  test::Seen seen = test::RunAsUser([&] { result = Exports().FsExecuteFileW(nullptr, p.data(), verb.data()); },
                                    {Type(idValueName, u"v"), Type(idValue, u"x"), Click(idOK)});
  for (const auto& problem : seen.problems) ADD_FAILURE() << "user: " << problem;
  EXPECT_EQ(FS_EXEC_OK, result);
  EXPECT_EQ(u"\\Software\\KestrowAdd^00Nul\\", Shown(seen, idPath));
  EXPECT_EQ(std::optional<std::u16string>(u"x"), Reg::Text(RT_HKCU, WOW64_64, key, u"v"));

  // A folder name creates a subkey below that key.
  seen = test::RunAsUser([&] { result = Exports().FsExecuteFileW(nullptr, p.data(), verb.data()); },
                         {Type(idFolderName, u"sub"), test::Snapshot(), Type(idValueName, u"w"), Type(idValue, u"y"),
                          Click(idOK)});
  for (const auto& problem : seen.problems) ADD_FAILURE() << "user: " << problem;
  EXPECT_EQ(FS_EXEC_OK, result);
  EXPECT_EQ(u"\\Software\\KestrowAdd^00Nul\\sub", seen.snapshot[idPath]);
  EXPECT_EQ(std::optional<std::u16string>(u"y"), Reg::Text(RT_HKCU, WOW64_64, key + u"\\sub", u"w"));
  EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, cut));
}

}  // namespace
}  // namespace kestrow
