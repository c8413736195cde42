// The directory listing through the exports, as the file manager calls them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "platform/text.h"
#include "support/helpers.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include "host/plugin.h"
#include "registry/memory_registry.h"
#endif

namespace kestrow {
namespace {

using test::CountOf;
using test::Entry;
using test::Exports;
using test::List;
using test::Names;
using test::Reg;

class ListingTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    Exports();
    test::Recorded().Reset();
  }
  static std::vector<std::u16string> Commands() { return test::WithCommands(); }
  static std::vector<std::u16string> With(const std::vector<std::u16string>& entries) {
    return test::WithCommands(entries);
  }
};

TEST_F(ListingTest, RootListsTheFortySixTypesInDeclarationOrder) {
  // The 32-bit view's locations, then the same in the 64-bit view.
  const std::vector<std::u16string> types = {
      u"HKLM_WINLOGON32", u"HKCU_WINLOGON32", u"HKLM_RUN32", u"HKLM_RUNONCE32", u"HKLM_RUNSERVICES32",
      u"HKLM_RUNSERVICESONCE32", u"HKLM_RUNONCEEX32", u"HKLM_POR32", u"HKCU_RUN32", u"HKCU_RUNSERVICES32",
      u"HKCU_RUNONCE32", u"HKCU_RUNONCEEX32", u"HKCU_POR32", u"HKCU_LOADRUN32", u"HKLM_APPINIT32", u"HKLM_IFEO32",
      u"HKLM_SERV32", u"HKLM_NOTIFY32", u"HKLM_SF32", u"HKCU_SF32", u"HKLM_USF32", u"HKCU_USF32",
      u"HKLM_ACTIVESETUP32",
      u"HKLM_WINLOGON64", u"HKCU_WINLOGON64", u"HKLM_RUN64", u"HKLM_RUNONCE64", u"HKLM_RUNSERVICES64",
      u"HKLM_RUNSERVICESONCE64", u"HKLM_RUNONCEEX64", u"HKLM_POR64", u"HKCU_RUN64", u"HKCU_RUNSERVICES64",
      u"HKCU_RUNONCE64", u"HKCU_RUNONCEEX64", u"HKCU_POR64", u"HKCU_LOADRUN64", u"HKLM_APPINIT64", u"HKLM_IFEO64",
      u"HKLM_SERV64", u"HKLM_NOTIFY64", u"HKLM_SF64", u"HKCU_SF64", u"HKLM_USF64", u"HKCU_USF64",
      u"HKLM_ACTIVESETUP64",
  };
  ASSERT_EQ(46u, types.size());
  bool ok = false;
  auto root = List(u"\\", &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(types, Names(root));
  for (const auto& e : root) EXPECT_TRUE(e.directory) << ToUtf8(e.name);
  EXPECT_TRUE(test::Recorded().requests.empty());
}

TEST_F(ListingTest, FirstEntryRecordIsFilledExactly) {
  KsFindDataW fd;
  std::memset(&fd, 0xAB, sizeof fd);
  auto path = test::W(u"\\");
  KS_HANDLE h = Exports().FsFindFirstW(path.data(), &fd);
  EXPECT_NE(KsInvalidHandle(), h);
  EXPECT_NE(nullptr, h);
  EXPECT_EQ(16u, fd.dwFileAttributes);
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&fd);
  // Of the times only the last write is filled: the time of the location's key, or "no time"
  // where the registry has no such key.
  const std::size_t time = offsetof(KsFindDataW, ftLastWriteTime);
  for (std::size_t i = 4; i < offsetof(KsFindDataW, cFileName); ++i) {
    if (i >= time && i < time + sizeof(KsFileTime)) continue;
    ASSERT_EQ(0, bytes[i]) << i;
  }
  const bool noTime = fd.ftLastWriteTime.dwHighDateTime == 0xFFFFFFFFu && fd.ftLastWriteTime.dwLowDateTime == 0xFFFFFFFEu;
  // 2000-01-01 as a FILETIME.
  const std::uint64_t written = std::uint64_t(fd.ftLastWriteTime.dwHighDateTime) << 32 | fd.ftLastWriteTime.dwLowDateTime;
  EXPECT_TRUE(noTime || written > 125911584000000000ull) << written;
  const std::u16string first = u"HKLM_WINLOGON32";
  for (std::size_t i = first.size() * 2 + offsetof(KsFindDataW, cFileName); i < sizeof fd; ++i)
    ASSERT_EQ(0, bytes[i]) << i;
  EXPECT_EQ(KS_TRUE, Exports().FsFindNextW(h, &fd));
  EXPECT_EQ(0, Exports().FsFindClose(h));
}

TEST_F(ListingTest, TypeDirectoryListsCommandsThenValuesInRegistryOrder) {
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Alpha", u"C:\\a.exe");
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Beta", u"C:\\b.exe");
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"", u"default is never listed");
  auto entries = List(u"\\HKCU_RUN32");
  EXPECT_EQ(With({u"Alpha", u"Beta"}), Names(entries));
  for (const auto& e : entries) EXPECT_FALSE(e.directory);
  // HKCU\Software is one key in both views.
  EXPECT_EQ(With({u"Alpha", u"Beta"}), Names(List(u"\\hkcu_run64")));
  EXPECT_EQ(Commands(), Names(List(u"\\HKLM_RUN64")));
}

TEST_F(ListingTest, AValueInOneViewIsAbsentFromTheOther) {
  Reg::Str(RT_HKLM, WOW64_32, test::kRun, u"Only32", u"x");
  EXPECT_EQ(With({u"Only32"}), Names(List(u"\\HKLM_RUN32")));
  EXPECT_EQ(Commands(), Names(List(u"\\HKLM_RUN64")));
}

TEST_F(ListingTest, EntryWithoutChildrenListsDotThenStops) {
  KsFindDataW fd;
  auto path = test::W(u"\\HKCU_RUN32\\.ADD");
  KS_HANDLE h = Exports().FsFindFirstW(path.data(), &fd);
  ASSERT_NE(KsInvalidHandle(), h);
  EXPECT_EQ(std::u16string(u"."), std::u16string(reinterpret_cast<const char16_t*>(fd.cFileName), 1));
  EXPECT_EQ(0, fd.cFileName[1]);
  EXPECT_EQ(16u, fd.dwFileAttributes);
  EXPECT_EQ(KS_FALSE, Exports().FsFindNextW(h, &fd));
  EXPECT_EQ(0, Exports().FsFindClose(h));
}

TEST_F(ListingTest, PathsThatNameNoDirectoryAreRefused) {
  for (const char16_t* p : {u"\\NOT_A_TYPE", u"", u"\\HKCU_RUN32\\", u"\\HKCU_RUN32\\missing"}) {
    bool ok = true;
    List(p, &ok);
    EXPECT_FALSE(ok) << std::string(p, p + std::char_traits<char16_t>::length(p)).size();
  }
  KsFindDataW fd;
  EXPECT_EQ(KsInvalidHandle(), Exports().FsFindFirstW(nullptr, &fd));
}

TEST_F(ListingTest, EveryListingReadsTheRegistryAfresh) {
  EXPECT_EQ(Commands(), Names(List(u"\\HKCU_RUN32")));
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Later", u"x");
  EXPECT_EQ(With({u"Later"}), Names(List(u"\\HKCU_RUN32")));
}

TEST_F(ListingTest, AnsiCallsRefuseWithoutTouchingTheirRecord) {
  KsFindDataA fd;
  std::memset(&fd, 0x5A, sizeof fd);
  char path[] = "\\";
  EXPECT_EQ(KsInvalidHandle(), Exports().FsFindFirst(path, &fd));
  EXPECT_EQ(KS_FALSE, Exports().FsFindNext(reinterpret_cast<KS_HANDLE>(static_cast<std::intptr_t>(1)), &fd));
  const unsigned char* b = reinterpret_cast<const unsigned char*>(&fd);
  for (std::size_t i = 0; i < sizeof fd; ++i) ASSERT_EQ(0x5A, b[i]);
}

TEST_F(ListingTest, InitialisationAndRootName) {
  EXPECT_EQ(-1, Exports().FsInit(3, nullptr, nullptr, nullptr));
  char buf[17];
  struct Case {
    int size;
    const char* expected;
  } cases[] = {{4, "Kes"}, {1, ""}, {8, "Kestrow"}, {16, "Kestrow"}};
  for (const auto& c : cases) {
    std::memset(buf, 'x', sizeof buf);
    Exports().FsGetDefRootName(buf, c.size);
    EXPECT_STREQ(c.expected, buf);
    EXPECT_EQ('x', buf[c.size]) << "wrote past the buffer";
  }
  FsDefaultParamStruct dps = {};
  dps.size = sizeof dps;
  std::strcpy(dps.DefaultIniName, "C:\\Tools\\wincmd.ini");
  Exports().FsSetDefaultParams(&dps);
  test::ReloadPlugin();  // FsInitW again, with the recording callbacks
}

TEST_F(ListingTest, RequiredValuesAreListedEvenWhenMissingOptionalOnlyWhenPresent) {
  Reg::DeleteKey(RT_HKCU, WOW64_32, test::kWinlogon);
  Own(RT_HKCU, WOW64_32, test::kWinlogon);
  Reg::Str(RT_HKCU, WOW64_32, test::kWinlogon, u"shell", u"explorer.exe");
  EXPECT_EQ(With({u"Shell"}), Names(List(u"\\HKCU_WINLOGON32")));
  EXPECT_EQ(With({u"GinaDLL", u"Shell", u"UserInit", u"UIHost"}), Names(List(u"\\HKLM_WINLOGON32")));
  EXPECT_EQ(With({u"Startup"}), Names(List(u"\\HKCU_SF64")));
}

TEST_F(ListingTest, ServicesAreSubkeyDirectoriesWithTheirExtrasInOrder) {
  const std::u16string a = std::u16string(test::kServices) + u"\\KestrowTestSvcA";
  const std::u16string b = std::u16string(test::kServices) + u"\\KestrowTestSvcB";
  Own(RT_HKLM, WOW64_64, a);
  Own(RT_HKLM, WOW64_64, b);
  Reg::Dword(RT_HKLM, WOW64_64, a, u"Start", 2);
  Reg::Str(RT_HKLM, WOW64_64, a, u"ImagePath", u"%SystemRoot%\\a.sys", REG_EXPAND_SZ_);
  Reg::Str(RT_HKLM, WOW64_64, b, u"DisplayName", u"no start value");
  for (const char16_t* type : {u"\\HKLM_SERV32", u"\\HKLM_SERV64"}) {
    auto entries = List(type);
    auto names = Names(entries);
    auto it = std::find(names.begin(), names.end(), u"KestrowTestSvcA");
    ASSERT_NE(names.end(), it);
    EXPECT_TRUE(entries[std::size_t(it - names.begin())].directory);
    EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), u"KestrowTestSvcB"));
    EXPECT_EQ(Commands(), std::vector<std::u16string>(names.begin(), names.begin() + 3));
  }
  EXPECT_EQ((std::vector<std::u16string>{u"Start", u"DisplayName", u"Group", u"ImagePath", u"Type"}),
            Names(List(u"\\HKLM_SERV64\\KestrowTestSvcA")));
  EXPECT_EQ((std::vector<std::u16string>{u"Start", u"DisplayName", u"Group", u"ImagePath", u"Type"}),
            Names(List(u"\\anything\\HKLM_SERV32\\KestrowTestSvcA")));
}

TEST_F(ListingTest, ImageFileEntriesNeedADebugger) {
  const std::u16string a = std::u16string(test::kIfeo) + u"\\kestrow_a.exe";
  const std::u16string b = std::u16string(test::kIfeo) + u"\\kestrow_b.exe";
  Own(RT_HKLM, WOW64_32, a);
  Own(RT_HKLM, WOW64_32, b);
  Reg::Str(RT_HKLM, WOW64_32, a, u"Debugger", u"C:\\dbg.exe");
  Reg::Dword(RT_HKLM, WOW64_32, b, u"GlobalFlag", 2);
  auto names = Names(List(u"\\HKLM_IFEO32"));
  EXPECT_NE(names.end(), std::find(names.begin(), names.end(), u"kestrow_a.exe"));
  EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), u"kestrow_b.exe"));
  EXPECT_EQ(std::vector<std::u16string>{u"Debugger"}, Names(List(u"\\HKLM_IFEO32\\kestrow_a.exe")));
}

TEST_F(ListingTest, LongValueNamesAreShortenedWithoutSplittingASurrogatePair) {
  // Pairs at even and at odd positions: wherever the shortening cuts, it meets a pair.
  std::u16string pairs, pairsAfterOne = u"p";
  while (pairs.size() < 300) pairs += u"\U0001F600";
  while (pairsAfterOne.size() < 301) pairsAfterOne += u"\U0001F600";
  const std::u16string longName(300, u'n');
  for (const auto& name : {longName, pairs, pairsAfterOne}) Reg::Str(RT_HKCU, WOW64_64, test::kRun, name, u"x");
  auto names = Names(List(u"\\HKCU_RUN64"));
  ASSERT_EQ(6u, names.size());
  // The value each listed name reaches, as its description names it.
  const std::u16string local = test::ScratchFolder() + u"entry.txt";
  const auto reach = [&](const std::u16string& listed) {
    auto r = test::W(u"\\HKCU_RUN64\\" + listed), l = test::W(local);
    // Each description replaces the last one in the same local file.
    if (Exports().FsGetFileW(r.data(), l.data(), FS_COPYFLAGS_OVERWRITE, nullptr) != FS_FILE_OK)
      return std::u16string(u"(not reached)");
    const std::string text = test::ReadLocal(local).value_or("");
    const auto from = text.find("Value name: ") + 12, to = text.find("\r\nCurrent value:");
    return FromUtf8(text.substr(from, to - from));
  };
  std::vector<std::u16string> reached;
  for (std::size_t i = 3; i < names.size(); ++i) {
    const std::u16string& n = names[i];
    EXPECT_LE(n.size(), 259u);
    for (std::size_t k = 0; k < n.size(); ++k) {
      const bool high = n[k] >= 0xD800 && n[k] <= 0xDBFF, low = n[k] >= 0xDC00 && n[k] <= 0xDFFF;
      if (high) {
        EXPECT_TRUE(k + 1 < n.size() && n[k + 1] >= 0xDC00 && n[k + 1] <= 0xDFFF) << "split at " << k;
      }
      if (low) {
        EXPECT_TRUE(k > 0 && n[k - 1] >= 0xD800 && n[k - 1] <= 0xDBFF) << "split at " << k;
      }
    }
    reached.push_back(reach(n));
    EXPECT_EQ(0, reached.back().compare(0, 100, n, 0, 100));
  }
  std::sort(reached.begin(), reached.end());
  std::vector<std::u16string> planted = {longName, pairs, pairsAfterOne};
  std::sort(planted.begin(), planted.end());
  EXPECT_EQ(planted, reached);
}

TEST_F(ListingTest, AValueChangingTypeUnderTheReaderEndsNoScan) {
#ifdef _WIN32
  GTEST_SKIP() << test::kNeedsInMemoryRegistry;
#else
  auto* mem = dynamic_cast<MemoryRegistry*>(&CurrentRegistry());
  ASSERT_NE(nullptr, mem);
  Reg::Str(RT_HKLM, WOW64_32, test::kRun, u"Flip", u"x");
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"ReadAfter", u"y");
  // As the value is read it becomes a DWORD of eight bytes.
  int seen = 0;
  mem->hook = [&](RegOp op, const std::u16string& name) {
    if (op == RegOp::Query && name == u"Flip" && ++seen == 1) {
      MemoryRegistry::Value* v = MemoryRegistry::FindValue(
          *mem->Find(HKEY_LOCAL_MACHINE_, test::kRun, KEY_WOW64_32KEY_), u"Flip");
      v->type = REG_DWORD_;
      v->data = {1, 0, 0, 0, 0, 0, 0, 0};
    }
    return RS_OK;
  };
  auto root = List(u"\\");
  mem->hook = nullptr;
  EXPECT_EQ(1, seen);
  EXPECT_EQ(46u, root.size());
  const TTree s = kestrow::Plugin().Sentrel->Tree();
  const TMemItem* flip = s->FindElementByName(s->GetLastParentByPath(u"\\HKLM_RUN32"), u"Flip");
  ASSERT_NE(nullptr, flip);
  EXPECT_EQ(TValue::Text(u""), flip->Value);
  const TMemItem* after = s->FindElementByName(s->GetLastParentByPath(u"\\HKCU_RUN32"), u"ReadAfter");
  ASSERT_NE(nullptr, after) << "the scans after it still run";
  EXPECT_EQ(TValue::Text(u"y"), after->Value);
#endif
}

TEST_F(ListingTest, ValuesOfTheWrongTypeReadAsSubstitutes) {
#ifdef _WIN32
  GTEST_SKIP() << test::kNeedsLinkedCore;
#else
  Reg::Str(RT_HKLM, WOW64_64, test::kRun, u"Dword", u"");
  Reg::Dword(RT_HKLM, WOW64_64, test::kRun, u"Dword", 5);
  const std::u16string svc = std::u16string(test::kServices) + u"\\KestrowTypes";
  Reg::Str(RT_HKLM, WOW64_64, svc, u"Start", u"5");
  List(u"\\");
  const TTree s = kestrow::Plugin().Sentrel->Tree();
  const TMemItem* v = s->GetElementByFileName(u"\\HKLM_RUN64\\Dword");
  ASSERT_NE(nullptr, v);
  EXPECT_EQ(TValue::Text(u""), v->Value);
  const TMemItem* start = s->GetElementByFileName(u"\\HKLM_SERV32\\KestrowTypes\\Start");
  ASSERT_NE(nullptr, start);
  EXPECT_EQ(TValue::Integer(-1), start->Value);
  EXPECT_EQ(u"SYSTEM", start->Address.substr(1, 6));
  const TMemItem* group = s->GetElementByFileName(u"\\HKLM_SERV32\\KestrowTypes\\Group");
  ASSERT_NE(nullptr, group);
  EXPECT_EQ(TValue::Text(u""), group->Value);
  EXPECT_EQ(VAL_STRING, group->ItemType.ValueType);
  EXPECT_EQ(WOW64_32, group->ItemType.tPlatform);
  const TMemItem* gina = s->GetElementByFileName(u"\\HKLM_WINLOGON64\\GinaDLL");
  ASSERT_NE(nullptr, gina);
  EXPECT_TRUE(gina->Value.IsNull());
#endif
}

// Where the plugin looks for its start-up script and its engine: in its own folder, whatever the
// length of that folder's name, and nowhere else, not in the current folder nor at the root of the
// current drive.
class PluginFolderTest : public ListingTest {
 protected:
  void SetUp() override {
    ListingTest::SetUp();
#ifdef _WIN32
    wchar_t buf[32768];
    const DWORD n = GetCurrentDirectoryW(32768, buf);
    cwd_ = std::u16string(reinterpret_cast<const char16_t*>(buf), n);
#else
    char buf[4096];
    cwd_ = FromUtf8(getcwd(buf, sizeof buf) ? buf : "/");
#endif
  }
  void TearDown() override {
    ChangeFolder(cwd_);
    for (const auto& f : planted_) platform::DeleteFileIfExists(f);
#ifdef _WIN32
    RemoveDirectoryW(L"C:\\kestrow-current");
#endif
    test::UseOwnFolder();
    ListingTest::TearDown();
  }
  static std::string Declaring(const char* typeId) {
    return std::string("begin\n  QInitializeType('") + typeId +
           "', RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, '\\Software\\KestrowNowhere');\nend.\n";
  }
  // A start-up script and a copy of the engine, planted in a folder the plugin must not look in.
  void Plant(const std::u16string& folder, const char* typeId) {
    ASSERT_TRUE(platform::WriteWholeFile(folder + u"startup.kscr", Declaring(typeId)));
    planted_.push_back(folder + u"startup.kscr");
    const auto engine = test::ReadLocal(test::PluginFolder() + FromUtf8(KESTROW_ENGINE_FILE));
    ASSERT_TRUE(engine.has_value());
    ASSERT_TRUE(platform::WriteWholeFile(folder + FromUtf8(KESTROW_ENGINE_FILE), *engine));
    planted_.push_back(folder + FromUtf8(KESTROW_ENGINE_FILE));
  }
  static void ChangeFolder(const std::u16string& folder) {
#ifdef _WIN32
    SetCurrentDirectoryW(reinterpret_cast<const wchar_t*>(folder.c_str()));
#else
    std::string native = ToUtf8(folder.size() >= 2 && folder[1] == u':' ? folder.substr(2) : folder);
    for (auto& c : native)
      if (c == '\\') c = '/';
    ASSERT_EQ(0, chdir(native.c_str()));
#endif
  }
  static bool Has(const std::vector<Entry>& entries, const std::u16string& name) { return CountOf(entries, name) > 0; }

  std::u16string cwd_;
  std::vector<std::u16string> planted_;
};

TEST_F(PluginFolderTest, AFolderLongerThanMaxPathIsTheOneLookedIn) {
  const std::u16string folder = test::LongFolder(328);
  ASSERT_LE(328u, folder.size());
#ifdef _WIN32
  // The root of the drive the current folder is on, in the test prefix.
  const std::u16string elsewhere = u"C:\\";
  CreateDirectoryW(L"C:\\kestrow-current", nullptr);
  ChangeFolder(u"C:\\kestrow-current");
#else
  // The current folder (a root of the drive cannot be planted in here).
  const std::u16string elsewhere = test::ScratchFolder();
  ChangeFolder(elsewhere);
#endif
  Plant(elsewhere, "KS_ELSEWHERE");
  test::ReloadPluginFrom(folder);
  ASSERT_TRUE(platform::WriteWholeFile(folder + u"startup.kscr", Declaring("KS_BESIDE_THE_PLUGIN")));
  planted_.push_back(folder + u"startup.kscr");
  test::Recorded().Reset();
  const auto root = List(u"\\");
  EXPECT_TRUE(Has(root, u"KS_BESIDE_THE_PLUGIN"));
  EXPECT_FALSE(Has(root, u"KS_ELSEWHERE"));
  EXPECT_EQ(47u, root.size());
  EXPECT_TRUE(test::Recorded().requests.empty());
}

// A module name without a folder is what the plugin has when its own name cannot be read.
TEST_F(PluginFolderTest, WithoutItsFolderNoScriptRunsAndTheUserIsToldOnce) {
#ifdef _WIN32
  GTEST_SKIP() << "only the native test can give the plugin a module name without a folder; Windows gives the "
                  "DLL its full path";
#else
  const std::u16string current = test::ScratchFolder();
  ChangeFolder(current);
  Plant(current, "KS_CURRENT_FOLDER");
  test::ReloadPluginFrom(u"");
  EXPECT_EQ(u"", kestrow::Plugin().PluginPath.Get());
  test::Recorded().Reset();
  const auto first = List(u"\\");
  const auto second = List(u"\\HKCU_RUN64");
  EXPECT_EQ(46u, first.size());
  EXPECT_EQ(3u, second.size());
  ASSERT_EQ(1u, test::Recorded().requests.size());
  EXPECT_EQ(RT_MsgOK, test::Recorded().requests[0].type);
  EXPECT_EQ(u"Error", test::Recorded().requests[0].title);
  EXPECT_EQ(u"The plugin could not read the name of its own folder, so its start-up script did not run.",
            test::Recorded().requests[0].text);
#endif
}

}  // namespace
}  // namespace kestrow
