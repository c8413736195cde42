// Copying out and in, deletion, key files, icons and columns through the exports.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>

#include "host/exports.h"
#include "host/plugin.h"
#include "model/description.h"
#include "model/sentrel.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "support/helpers.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kestrow {
namespace {

using test::Column;
using test::Delete;
using test::Exports;
using test::List;
using test::Names;
using test::Reg;
using test::W;

// The plugin loaded with its default flags.
class FileTest : public test::HostFolderTest {
 protected:
  // As the host copies once its user has allowed an existing file to be written over.
  static std::int32_t Get(const std::u16string& remote, const std::u16string& local) {
    return test::GetFile(remote, local);
  }
  static std::int32_t Put(const std::u16string& local, const std::u16string& remote) {
    return test::PutFile(local, remote);
  }
  static std::string Description(const std::vector<std::string>& lines) {
    std::string s = "\xEF\xBB\xBF";
    for (const auto& l : lines) s += l + "\r\n";
    return s;
  }
  std::u16string KeyFileOf(const std::u16string& folder, const char16_t* type) {
    return folder + type + u".kscrkey";
  }
};

TEST_F(FileTest, CopyOutWritesTheDescriptionByteForByte) {
  Reg::Str(RT_HKLM, WOW64_32, test::kRun, u"Tool", u"C:\\T\u00FCr\\tool.exe");
  List(u"\\HKLM_RUN32");
  const std::u16string local = test::ScratchFolder() + u"out.txt";
  test::Recorded().Reset();
  ASSERT_TRUE(platform::WriteWholeFile(local, "previous content that is longer than the new one..........."));
  struct Case {
    std::u16string remote;
    std::vector<std::string> lines;
  } cases[] = {
      {u"\\HKLM_RUN32\\Tool",
       {"Platform type: WOW64_32", "Element type: ELT_ITEM", "Value type: VAL_STRING", "Edit type: ET_OPTIONAL",
        "Root type: RT_HKLM", "Path: \\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Value name: Tool",
        "Current value: C:\\T\xC3\xBCr\\tool.exe"}},
      {u"\\HKLM_RUN32\\.ADD",
       {"Platform type: WOW64_32", "Element type: ELT_COMMAND", "Value type: VAL_STRING", "Edit type: ET_OPTIONAL",
        "Root type: RT_HKLM", "Path: \\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", "Value name: .ADD",
        "Current value: "}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(FS_FILE_OK, Get(c.remote, local));
    EXPECT_EQ(Description(c.lines), test::ReadLocal(local).value_or("missing"));
  }
  // A required value that does not exist is listed and described as <NULL>.
  Hide(RT_HKLM, WOW64_32, u"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Folders", u"Common Startup");
  List(u"\\HKLM_SF32");
  ASSERT_EQ(FS_FILE_OK, Get(u"\\HKLM_SF32\\Common Startup", local));
  EXPECT_EQ(Description({"Platform type: WOW64_32", "Element type: ELT_ITEM", "Value type: VAL_STRING",
                         "Edit type: ET_MUST", "Root type: RT_HKLM",
                         "Path: Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Shell Folders",
                         "Value name: Common Startup", "Current value: <NULL>"}),
            test::ReadLocal(local).value_or("missing"));
  const std::u16string svc = std::u16string(test::kServices) + u"\\KestrowDescSvc";
  Own(RT_HKLM, WOW64_64, svc);
  Reg::Dword(RT_HKLM, WOW64_64, svc, u"Start", 3);
  Reg::Str(RT_HKLM, WOW64_64, svc, u"Type", u"not a number");
  List(u"\\HKLM_SERV64");
  ASSERT_EQ(FS_FILE_OK, Get(u"\\HKLM_SERV64\\KestrowDescSvc", local));
  EXPECT_EQ(Description({"Platform type: WOW64_64", "Element type: ELT_DIRECTORY", "Value type: VAL_INTEGER",
                         "Edit type: ET_MUST", "Root type: RT_HKLM",
                         "Path: \\SYSTEM\\CurrentControlSet\\Services\\KestrowDescSvc", "Value name: KestrowDescSvc",
                         "Current value: "}),
            test::ReadLocal(local).value_or("missing"));
  List(u"\\HKLM_SERV64\\KestrowDescSvc");
  ASSERT_EQ(FS_FILE_OK, Get(u"\\HKLM_SERV64\\KestrowDescSvc\\Type", local));
  EXPECT_NE(std::string::npos, test::ReadLocal(local)->find("Current value: -1\r\n"));
  EXPECT_TRUE(test::Recorded().requests.empty());
}

TEST_F(FileTest, MultiStringDescriptionHasOneLinePerString) {
  TMemItem m(ELT_ITEM, nullptr);
  m.ItemType.ValueType = VAL_MULTISZ;
  const std::u16string local = test::ScratchFolder() + u"ms.txt";
  struct Case {
    TValue value;
    std::string last;
  } cases[] = {{TValue::Text(u"a,b"), "Current value: \r\na\r\nb\r\n"},
               {TValue::Text(u""), "Current value: \r\n"},
               {TValue::Null(), "Current value: <NULL>\r\n"}};
  TSentrel s;
  for (const auto& c : cases) {
    m.Value = c.value;
    ASSERT_TRUE(s.GenerateTextInfo(m, local));
    const std::string text = *test::ReadLocal(local);
    EXPECT_EQ(c.last, text.substr(text.find("Current value:")));
  }
  EXPECT_FALSE(s.GenerateTextInfo(m, test::ScratchFolder() + u"no-such-folder\\x.txt"));
}

TEST_F(FileTest, CopyOutFailures) {
  List(u"\\HKLM_RUN32");
  const std::u16string local = test::ScratchFolder() + u"x.txt";
  EXPECT_EQ(FS_FILE_NOTFOUND, Get(u"\\NOPE\\x", local));
  EXPECT_EQ(FS_FILE_NOTFOUND, Get(u"\\HKLM_RUN32\\missing", local));
  EXPECT_EQ(FS_FILE_WRITEERROR, Get(u"\\HKLM_RUN32\\.ADD", test::ScratchFolder() + u"missing\\x.txt"));
  EXPECT_FALSE(test::ReadLocal(local));
}

TEST_F(FileTest, CopyInWritesAValueHoldingTheLocalPath) {
  List(u"\\HKCU_RUN32");
  struct Case {
    std::u16string remote, name;
    std::u16string question;  // a quote in the name is doubled
  } cases[] = {{u"\\HKCU_RUN32\\start.exe", u"start", u"Do you want to write new value 'start'?"},
               {u"\\HKCU_RUN32\\a.b.c", u"a.b", u"Do you want to write new value 'a.b'?"},
               {u"\\HKCU_RUN32\\readme", u"readme", u"Do you want to write new value 'readme'?"},
               {u"\\HKCU_RUN32\\.profile", u"", u"Do you want to write new value ''?"},
               {u"\\HKCU_RUN32\\it's.exe", u"it's", u"Do you want to write new value 'it''s'?"},
               {u"\\HKCU_RUN32\\'q''.exe", u"'q''", u"Do you want to write new value '''q'''''?"}};
  Reg::CreateKey(RT_HKCU, WOW64_32, test::kRun);
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.remote));
    test::Recorded().Reset();
    ASSERT_EQ(FS_FILE_OK, Put(u"C:\\Tools\\start.exe", c.remote));
    ASSERT_EQ(1u, test::Recorded().requests.size());
    EXPECT_EQ(c.question, test::Recorded().requests[0].text);
    EXPECT_EQ(u"Confirm", test::Recorded().requests[0].title);
    auto v = Reg::Get(RT_HKCU, WOW64_32, test::kRun, c.name);
    ASSERT_TRUE(v);
    EXPECT_EQ(REG_SZ_, v->type);
    EXPECT_EQ(Reg::Utf16Bytes(u"C:\\Tools\\start.exe"), v->data);
  }
}

TEST_F(FileTest, CopyInRefusals) {
  List(u"\\HKCU_RUN32");
  test::Recorded().defaultAnswer = false;
  EXPECT_EQ(FS_FILE_USERABORT, Put(u"C:\\Tools\\no.exe", u"\\HKCU_RUN32\\no.exe"));
  EXPECT_FALSE(Reg::Get(RT_HKCU, WOW64_32, test::kRun, u"no"));
  test::Recorded().Reset();
  EXPECT_EQ(FS_FILE_USERABORT, Put(u"C:\\Tools\\x.exe", u"\\x.exe"));  // the root
  EXPECT_EQ(FS_FILE_USERABORT, Put(u"C:\\Tools\\x.exe", u"\\NOPE\\x.exe"));
  for (const char16_t* bad : {u"\\HKCU_RUN32\\a|b.exe", u"\\HKCU_RUN32\\a\"b", u"\\HKCU_RUN32\\<x>", u"\\HKCU_RUN32\\a\tb"})
    EXPECT_EQ(FS_FILE_WRITEERROR, Put(u"C:\\Tools\\x.exe", bad));
  EXPECT_TRUE(test::Recorded().requests.empty());
  EXPECT_TRUE(Reg::ValueNames(RT_HKCU, WOW64_32, test::kRun).empty());
  // A missing key is created only when the script allowed it.
  Reg::DeleteKey(RT_HKCU, WOW64_32, test::kRun);
  test::Recorded().defaultAnswer = true;
  EXPECT_EQ(FS_FILE_WRITEERROR, Put(u"C:\\Tools\\x.exe", u"\\HKCU_RUN32\\x.exe"));
  EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_32, test::kRun));
}

TEST_F(FileTest, DeletionResults) {
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Victim", u"x");
  List(u"\\HKCU_RUN64");
  EXPECT_EQ(KS_FALSE, Delete(u"\\HKCU_RUN64\\.ADD"));
  EXPECT_EQ(KS_FALSE, Delete(u"\\HKCU_RUN64\\missing"));
  EXPECT_EQ(KS_FALSE, Delete(u"\\HKCU_RUN64"));
  EXPECT_EQ(KS_TRUE, Delete(u"\\HKCU_RUN64\\Victim"));
  EXPECT_FALSE(Reg::Get(RT_HKCU, WOW64_64, test::kRun, u"Victim"));
  EXPECT_EQ(KS_FALSE, Delete(u"\\HKCU_RUN64\\Victim"));  // the node stays until the next listing
  List(u"\\HKLM_WINLOGON64");
  EXPECT_EQ(KS_FALSE, Delete(u"\\HKLM_WINLOGON64\\Shell"));  // a required value
  EXPECT_TRUE(test::Recorded().requests.empty());
}

TEST_F(FileTest, SaveChangeRestoreRoundTripsInBothViews) {
  for (auto view : {WOW64_32, WOW64_64}) {
    const std::u16string type = view == WOW64_32 ? u"HKLM_RUN32" : u"HKLM_RUN64";
    Reg::Str(RT_HKLM, view, test::kRun, u"Keep", u"original");
    Reg::Str(RT_HKLM, view, test::kRun + std::u16string(u"\\Sub"), u"Deep", u"deep");
    List(u"\\" + type);
    const std::u16string folder = test::OutsideTempFolder();
    ASSERT_EQ(FS_FILE_OK, Get(u"\\" + type + u"\\.SAVE", folder + u".SAVE"));
    const std::u16string keyFile = KeyFileOf(folder, type.c_str());
    ASSERT_TRUE(test::ReadLocal(keyFile)) << "the key file is named after the type";
    EXPECT_FALSE(test::ReadLocal(folder + u".SAVE"));

    Reg::Str(RT_HKLM, view, test::kRun, u"Keep", u"changed");
    Reg::Str(RT_HKLM, view, test::kRun, u"Added", u"later");
    Reg::DeleteKey(RT_HKLM, view, test::kRun + std::u16string(u"\\Sub"));
    test::Recorded().Reset();
    ASSERT_EQ(FS_FILE_OK, Put(keyFile, u"\\" + type + u"\\" + type + u".kscrkey"));
    ASSERT_EQ(1u, test::Recorded().requests.size());
    EXPECT_EQ(u"Do you want to restore key \\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run?",
              test::Recorded().requests[0].text);
    EXPECT_EQ(Reg::Utf16Bytes(u"original"), Reg::Get(RT_HKLM, view, test::kRun, u"Keep")->data);
    EXPECT_FALSE(Reg::Get(RT_HKLM, view, test::kRun, u"Added"));
    EXPECT_TRUE(Reg::Get(RT_HKLM, view, test::kRun + std::u16string(u"\\Sub"), u"Deep"));
    // The other view was not touched.
    const PLATFORM_TYPE other = view == WOW64_32 ? WOW64_64 : WOW64_32;
    EXPECT_FALSE(Reg::Get(RT_HKLM, other, test::kRun, u"Keep"));
    Reg::DeleteKey(RT_HKLM, view, test::kRun);
  }
}

TEST_F(FileTest, RestoreAnswersAndFailures) {
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"v", u"1");
  List(u"\\HKCU_RUN64");
  const std::u16string folder = test::OutsideTempFolder();
  ASSERT_EQ(FS_FILE_OK, Get(u"\\HKCU_RUN64\\.SAVE", folder));
  const std::u16string keyFile = KeyFileOf(folder, u"HKCU_RUN64");
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"v", u"2");
  test::Recorded().defaultAnswer = false;
  EXPECT_EQ(FS_FILE_USERABORT, Put(keyFile, u"\\HKCU_RUN64\\x.KscrKey"));
  EXPECT_EQ(Reg::Utf16Bytes(u"2"), Reg::Get(RT_HKCU, WOW64_64, test::kRun, u"v")->data);
  test::Recorded().defaultAnswer = true;
  EXPECT_EQ(FS_FILE_WRITEERROR, Put(folder + u"missing.kscrkey", u"\\HKCU_RUN64\\missing.kscrkey"));
  const std::u16string notAHive = folder + u"bad.KSCRKEY";
  ASSERT_TRUE(platform::WriteWholeFile(notAHive, "this is not a registry hive"));
  EXPECT_EQ(FS_FILE_WRITEERROR, Put(notAHive, u"\\HKCU_RUN64\\bad.kscrkey"));
  EXPECT_EQ(Reg::Utf16Bytes(u"2"), Reg::Get(RT_HKCU, WOW64_64, test::kRun, u"v")->data);
  // Restoring into a key that does not exist fails and creates nothing.
  Reg::DeleteKey(RT_HKCU, WOW64_64, test::kRunOnce);
  List(u"\\HKCU_RUNONCE64");
  EXPECT_EQ(FS_FILE_WRITEERROR, Put(keyFile, u"\\HKCU_RUNONCE64\\x.kscrkey"));
  EXPECT_FALSE(Reg::KeyExists(RT_HKCU, WOW64_64, test::kRunOnce));
}

TEST_F(FileTest, AFailedSaveLeavesTheOldFileAsItWas) {
  Reg::DeleteKey(RT_HKCU, WOW64_32, test::kRunOnce);
  List(u"\\HKCU_RUNONCE32");
  const std::u16string folder = test::OutsideTempFolder();
  const std::u16string keyFile = KeyFileOf(folder, u"HKCU_RUNONCE32");
  ASSERT_TRUE(platform::WriteWholeFile(keyFile, "the user's only backup"));
  EXPECT_EQ(FS_FILE_NOTFOUND, Get(u"\\HKCU_RUNONCE32\\.SAVE", folder + u"anything"));
  EXPECT_EQ("the user's only backup", test::ReadLocal(keyFile).value_or("gone"));
  // Nothing else is left in the folder: saving again over an existing file replaces it.
  Reg::Str(RT_HKCU, WOW64_32, test::kRunOnce, u"v", u"x");
  List(u"\\HKCU_RUNONCE32");
  ASSERT_EQ(FS_FILE_OK, Get(u"\\HKCU_RUNONCE32\\.SAVE", folder + u"anything"));
  EXPECT_NE("the user's only backup", test::ReadLocal(keyFile).value_or("gone"));
}

TEST_F(FileTest, HostAndTemporaryFolderPrefixes) {
  test::SetEnv("COMMANDER_PATH", u"C:\\Commander");
  EXPECT_TRUE(kestrow::Plugin().IsHostOrTempPath(u"c:\\commander\\x.kscrkey"));
  EXPECT_FALSE(kestrow::Plugin().IsHostOrTempPath(u"C:\\Comm"));
  EXPECT_FALSE(kestrow::Plugin().IsHostOrTempPath(u"D:\\Data\\x"));
  test::SetEnv("COMMANDER_PATH", u"");
  EXPECT_TRUE(kestrow::Plugin().IsHostOrTempPath(u"D:\\Data\\x"));  // no host folder: an empty prefix matches every name
}

TEST_F(FileTest, KeyFileNameInsideTheTemporaryFolderIsKeptAsGiven) {
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"v", u"x");
  List(u"\\HKCU_RUN32");
  const std::u16string folder = test::ScratchFolder();  // below the temporary folder
  ASSERT_EQ(FS_FILE_OK, Get(u"\\HKCU_RUN32\\.save", folder + u".SAVE"));
  EXPECT_TRUE(test::ReadLocal(folder + u".SAVE"));
  EXPECT_FALSE(test::ReadLocal(KeyFileOf(folder, u"HKCU_RUN32")));
}

TEST_F(FileTest, IconsPerNodeKind) {
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"v", u"x");
  List(u"\\HKCU_RUN32");
  List(u"\\HKLM_WINLOGON32");
  struct Case {
    std::u16string path;
    std::int32_t result;
  } cases[] = {{u"\\", FS_ICON_USEDEFAULT},
               {u"\\HKCU_RUN32", FS_ICON_USEDEFAULT},
               {u"\\HKCU_RUN32\\v", FS_ICON_EXTRACTED_DESTROY},
               {u"\\HKLM_WINLOGON32\\Shell", FS_ICON_EXTRACTED_DESTROY},
               {u"\\HKCU_RUN32\\.ADD", FS_ICON_EXTRACTED_DESTROY},
               {u"\\HKCU_RUN32\\.save", FS_ICON_EXTRACTED_DESTROY},
               {u"\\HKCU_RUN32\\.RESTORE", FS_ICON_EXTRACTED_DESTROY},
               {u"\\HKCU_RUN32\\missing", FS_ICON_USEDEFAULT}};
  std::vector<KS_HICON> icons;
  for (const auto& c : cases) {
    KS_HICON icon = nullptr;
    auto p = W(c.path);
    EXPECT_EQ(c.result, Exports().FsExtractCustomIconW(p.data(), FS_ICONFLAG_BACKGROUND, &icon));
    EXPECT_EQ(c.result == FS_ICON_EXTRACTED_DESTROY, icon != nullptr);
    icons.push_back(icon);
  }
  // Optional, required, add, save and restore are five different icons.
  for (std::size_t i = 2; i < 7; ++i)
    for (std::size_t j = i + 1; j < 7; ++j) EXPECT_NE(icons[i], icons[j]);
}

#ifdef _WIN32
// Width and height of the icon's colour image.
std::pair<long, long> IconPixels(KS_HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return {-1, -1};
  BITMAP bitmap{};
  const bool read = info.hbmColor && GetObjectW(info.hbmColor, sizeof bitmap, &bitmap) == sizeof bitmap;
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return read ? std::pair<long, long>{bitmap.bmWidth, bitmap.bmHeight} : std::pair<long, long>{-1, -1};
}
#endif

TEST_F(FileTest, IconSizeFollowsTheExtractFlags) {
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"v", u"x");
  List(u"\\HKCU_RUN32");
  List(u"\\HKLM_WINLOGON32");
  const std::u16string paths[] = {u"\\HKCU_RUN32\\v", u"\\HKLM_WINLOGON32\\Shell", u"\\HKCU_RUN32\\.ADD",
                                  u"\\HKCU_RUN32\\.save", u"\\HKCU_RUN32\\.RESTORE"};
  // The small flag alone decides; 2 is the host extracting in the background. The background
  // asks come first: until one has worked an entry's target out, the host's own thread is asked
  // to wait for it.
  const struct {
    std::int32_t flags;
    bool small;
  } requests[] = {{2, false}, {2 | FS_ICONFLAG_SMALL, true}, {0, false}, {FS_ICONFLAG_SMALL, true}};
  for (const auto& path : paths) {
    SCOPED_TRACE(ToUtf8(path));
#ifndef _WIN32
    KS_HICON seen[2] = {nullptr, nullptr};  // the token for large and small
#endif
    for (const auto& r : requests) {
      SCOPED_TRACE(r.flags);
      KS_HICON icon = nullptr;
      auto p = W(path);
      ASSERT_EQ(FS_ICON_EXTRACTED_DESTROY, Exports().FsExtractCustomIconW(p.data(), r.flags, &icon));
      ASSERT_NE(nullptr, icon);
#ifdef _WIN32
      const std::pair<long, long> expected{GetSystemMetrics(r.small ? SM_CXSMICON : SM_CXICON),
                                           GetSystemMetrics(r.small ? SM_CYSMICON : SM_CYICON)};
      EXPECT_EQ(expected, IconPixels(icon));
      EXPECT_TRUE(DestroyIcon(icon));  // the host destroys what it is given
#else
      KS_HICON& same = seen[r.small ? 1 : 0];
      if (!same) same = icon;
      EXPECT_EQ(same, icon);
#endif
    }
#ifndef _WIN32
    EXPECT_NE(seen[0], seen[1]);
#endif
  }
}

// Each icon group of the plugin holds the six sizes, 32 bits per pixel, each image present.
TEST_F(FileTest, EveryIconResourceHoldsTheSixSizes) {
#ifndef _WIN32
  GTEST_SKIP() << "the icon images are resources of the Windows DLL; the native build has none";
#else
  HMODULE dll = nullptr;
  ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 reinterpret_cast<LPCWSTR>(Exports().FsExtractCustomIconW), &dll));
  const auto word = [](const unsigned char* at) { return static_cast<unsigned>(at[0] | at[1] << 8); };
  const auto dword = [&](const unsigned char* at) { return word(at) | word(at + 2) << 16; };
  for (const wchar_t* name : {L"OPTIONAL", L"MUST", L"ADD", L"SAVE", L"RESTORE", L"AAA", L"MISSING"}) {
    SCOPED_TRACE(ToUtf8(reinterpret_cast<const char16_t*>(name)));
    HRSRC group = FindResourceW(dll, name, MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(nullptr, group);
    const auto* dir = static_cast<const unsigned char*>(LockResource(LoadResource(dll, group)));
    ASSERT_NE(nullptr, dir);
    const unsigned count = word(dir + 4);
    ASSERT_EQ(6u + 14u * count, SizeofResource(dll, group));
    std::vector<unsigned> sizes;
    for (unsigned i = 0; i < count; ++i) {
      const unsigned char* entry = dir + 6 + 14 * i;  // w, h, colours, reserved, planes, bits, bytes, id
      EXPECT_EQ(entry[0], entry[1]);
      EXPECT_EQ(32u, word(entry + 6));
      sizes.push_back(entry[0]);
      HRSRC image = FindResourceW(dll, MAKEINTRESOURCEW(word(entry + 12)), MAKEINTRESOURCEW(3));  // RT_ICON
      ASSERT_NE(nullptr, image);
      EXPECT_EQ(dword(entry + 8), SizeofResource(dll, image));
    }
    EXPECT_EQ((std::vector<unsigned>{16, 20, 24, 32, 40, 48}), sizes);
  }
#endif
}

TEST_F(FileTest, ContentColumns) {
  char name[16], units[4] = "u!";
  struct Field {
    int index;
    const char* name;
    std::int32_t type;
  } fields[] = {{0, "TypeID", ft_string},        {1, "RootType", ft_string},  {2, "EditType", ft_string},
                {3, "ValueType", ft_string},     {4, "Address", ft_string},   {5, "ValueName", ft_string},
                {6, "Value", ft_string},         {7, "State", ft_string},     {8, "Target", ft_string},
                {9, "Target state", ft_string},  {10, "Publisher", ft_string}, {11, "Description", ft_string},
                {12, "Changed", ft_datetime}};
  for (const auto& f : fields) {
    EXPECT_EQ(f.type, Exports().FsContentGetSupportedField(f.index, name, units, sizeof name));
    EXPECT_STREQ(f.name, name);
    EXPECT_STREQ("u!", units);
  }
  EXPECT_EQ(ft_nomorefields, Exports().FsContentGetSupportedField(13, name, units, sizeof name));
  EXPECT_EQ(ft_nomorefields, Exports().FsContentGetSupportedField(-1, name, units, sizeof name));
  EXPECT_EQ(ft_string, Exports().FsContentGetSupportedField(0, name, units, 4));
  EXPECT_STREQ("Typ", name);

  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"v", u"C:\\x.exe");
  List(u"\\HKCU_RUN32");
  EXPECT_EQ("HKCU_RUN32", Column(u"\\HKCU_RUN32", 0));
  EXPECT_EQ("HKCU_RUN32", Column(u"\\HKCU_RUN32", 5));
  EXPECT_EQ("\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", Column(u"\\HKCU_RUN32", 4));
  EXPECT_EQ("", Column(u"\\HKCU_RUN32", 6));
  EXPECT_EQ("RT_HKCU", Column(u"\\HKCU_RUN32\\v", 1));
  EXPECT_EQ("ET_OPTIONAL", Column(u"\\HKCU_RUN32\\v", 2));
  EXPECT_EQ("VAL_STRING", Column(u"\\HKCU_RUN32\\v", 3));
  EXPECT_EQ("C:\\x.exe", Column(u"\\HKCU_RUN32\\v", 6));
  EXPECT_EQ("C:\\", Column(u"\\HKCU_RUN32\\v", 6, 4));
  EXPECT_EQ("Missing", Column(u"\\HKCU_RUN32\\v", 9));
  EXPECT_EQ("result -1", Column(u"\\HKCU_RUN32\\v", 13));
  for (int i : {0, 6, 9, 12, 13}) EXPECT_EQ("result -2", Column(u"\\HKCU_RUN32\\nothing", i));
  List(u"\\HKLM_WINLOGON32");
  EXPECT_EQ("<NULL>", Column(u"\\HKLM_WINLOGON32\\UIHost", 6));
  const std::u16string svc = std::u16string(test::kServices) + u"\\KestrowColSvc";
  Own(RT_HKLM, WOW64_32, svc);
  Reg::Dword(RT_HKLM, WOW64_32, svc, u"Start", 4);
  List(u"\\HKLM_SERV32");
  EXPECT_EQ("4", Column(u"\\HKLM_SERV32\\KestrowColSvc\\Start", 6));
  EXPECT_EQ("-1", Column(u"\\HKLM_SERV32\\KestrowColSvc\\Type", 6));
  EXPECT_EQ("", Column(u"\\HKLM_SERV32\\KestrowColSvc", 6));
}

TEST_F(FileTest, ColumnsAreInTheAnsiCodePage) {
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"uml", u"\u00FC\u20AC\u4E2D");
  List(u"\\HKCU_RUN32");
  // The code page the test runs in: 1252, unless the test command sets another.
  const char* want = std::getenv("KESTROW_EXPECT_ACP");
  const unsigned codePage = want ? static_cast<unsigned>(std::strtoul(want, nullptr, 10)) : 1252u;
  ASSERT_EQ(codePage, platform::AnsiCodePage());
  // u-umlaut, the euro sign and a CJK character. In 1252 the first two have places of their own;
  // in 1251 the euro sign has its own place and u-umlaut is written as its best fit, a plain u.
  // The CJK character is in neither.
  const std::map<unsigned, std::string> expected = {{1252u, "\xFC\x80?"}, {1251u, "u\x88?"}};
  ASSERT_TRUE(expected.count(codePage)) << "no expected bytes for code page " << codePage;
  EXPECT_EQ(expected.at(codePage), Column(u"\\HKCU_RUN32\\uml", 6));
}

}  // namespace
}  // namespace kestrow
