// Input no well-behaved host sends: overlong and degenerate paths, null and tiny buffers, very
// large and malformed values, odd value names, local names no file can have and key files that
// are no hive. Every call must give its refusal result and leave the registry and the local
// folders as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "host/exports.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "support/helpers.h"

#ifndef _WIN32
#include "dialogs/user_interface.h"
#include "registry/memory_registry.h"
#endif

namespace kestrow {
namespace {

using test::Column;
using test::Exports;
using test::List;
using test::Names;
using test::Reg;
using test::Repeat;
using test::ScriptPath;
using test::W;

// Multi-strings have no built-in type: a script declares one over HKCU's 32-bit RunOnce key.
const char* const kMultiTypeScript =
    "begin\n"
    "  QInitializeType('HOSTILE_MULTI', RT_HKCU, ET_OPTIONAL, VAL_MULTISZ, WOW64_32,\n"
    "    '\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce');\n"
    "  QAddAllValues('HOSTILE_MULTI');\n"
    "end.\n";

#ifndef _WIN32
// Counts the windows the plugin would open; the native build can see them.
class CountingUserInterface : public TUserInterface {
 public:
  void ShowModal(TForm&) override { ++shown; }
  std::optional<std::u16string> ChooseFile(const TKeyFileDialog&) override {
    ++shown;
    return std::nullopt;
  }
  void RequestRefresh() override {}
  int shown = 0;
};
#endif

class HostileInputTest : public test::HostFolderTest {
 protected:
  void TearDown() override {
    platform::DeleteFileIfExists(ScriptPath());
    test::HostFolderTest::TearDown();
  }

  // Everything the calls below could change in the registry.
  static std::string RegistryState() {
#ifndef _WIN32
    if (auto* m = dynamic_cast<MemoryRegistry*>(&CurrentRegistry())) return m->Snapshot();
#endif
    std::string state;
    for (auto root : {RT_HKLM, RT_HKCU})
      for (auto view : {WOW64_32, WOW64_64})
        for (const char16_t* key : {test::kRun, test::kRunOnce})
          state += "[" + ToUtf8(key) + "]" + test::ValuesOf(root, view, key);
    return state;
  }

  // As the host copies once its user has allowed an existing file to be written over.
  static std::int32_t Get(const std::u16string& remote, const std::u16string& local, RemoteInfoStruct* ri = nullptr) {
    return test::GetFile(remote, local, FS_COPYFLAGS_OVERWRITE, ri);
  }
  static std::int32_t Put(const std::u16string& local, const std::u16string& remote) {
    return test::PutFile(local, remote);
  }
  static std::string Utf8Description(const std::u16string& name, const std::u16string& value) {
    return "Value name: " + ToUtf8(name) + "\r\nCurrent value: " + ToUtf8(value) + "\r\n";
  }
  static bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  }
};

// A path no entry answers to: every export refuses it, writes nothing, asks nothing, opens no
// window.
struct RefusedPath {
  const char* label;
  std::u16string path;
  bool listable;         // FsFindFirstW lists it (the root)
  std::int32_t putResult;  // FS_FILE_USERABORT without a directory, FS_FILE_WRITEERROR for a bad name
};

std::vector<RefusedPath> OverlongPaths() {
  const std::u16string run = u"\\HKCU_RUN32\\";
  const auto deep = [](std::size_t units) { return Repeat(u"\\segment", units); };
  return {
      {"1023 units, one name in a directory", run + Repeat(u"n", 1023 - run.size()), false, FS_FILE_WRITEERROR},
      {"1023 units, one name with an extension", run + Repeat(u"e", 1019 - run.size()) + u".exe", false,
       FS_FILE_WRITEERROR},
      {"1023 units, many levels", deep(1023), false, FS_FILE_USERABORT},
      {"1023 units below a directory", run + Repeat(u"d", 500) + u"\\" + Repeat(u"f", 1023 - run.size() - 501),
       false, FS_FILE_USERABORT},
      {"261 units", run + Repeat(u"a", 120) + u"\\" + Repeat(u"b", 261 - run.size() - 121), false, FS_FILE_USERABORT},
      {"280 units", deep(280), false, FS_FILE_USERABORT},
      {"300 units", run + Repeat(u"a", 200) + u"\\" + Repeat(u"b", 300 - run.size() - 201), false, FS_FILE_USERABORT},
      {"last name of 260 units", run + Repeat(u"x", 260), false, FS_FILE_WRITEERROR},
      {"last name of 288 units in 300", u"\\HKLM_RUN64\\" + Repeat(u"y", 288), false, FS_FILE_WRITEERROR},
      {"last name of 300 units under a long directory", u"\\" + Repeat(u"T", 300) + u"\\" + Repeat(u"z", 300), false,
       FS_FILE_USERABORT},
  };
}

std::vector<RefusedPath> DegeneratePaths() {
  return {
      {"empty", u"", false, FS_FILE_USERABORT},
      {"the root", u"\\", true, FS_FILE_USERABORT},
      {"two separators", u"\\\\", false, FS_FILE_USERABORT},
      {"three separators", u"\\\\\\", false, FS_FILE_USERABORT},
      {"a dot between separators", u"\\.\\", false, FS_FILE_USERABORT},
  };
}

TEST_F(HostileInputTest, OverlongAndDegeneratePathsAreRefusedByEveryExport) {
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Tool", u"C:\\tool.exe");
  Reg::Str(RT_HKLM, WOW64_64, test::kRun, u"Other", u"C:\\other.exe");
  List(u"\\HKCU_RUN32");
  const std::string before = RegistryState();
#ifndef _WIN32
  CountingUserInterface ui;
  SetUserInterface(&ui);
#endif
  auto cases = OverlongPaths();
  for (auto& c : DegeneratePaths()) cases.push_back(c);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    test::Recorded().Reset();
    {
      // A record in a larger buffer: nothing may be written after it.
      std::vector<unsigned char> buf(sizeof(KsFindDataW) + 64, 0xAB);
      auto* fd = reinterpret_cast<KsFindDataW*>(buf.data());
      auto p = W(c.path);
      const KS_HANDLE h = Exports().FsFindFirstW(p.data(), fd);
      EXPECT_EQ(c.listable, h != KsInvalidHandle());
      if (h != KsInvalidHandle()) Exports().FsFindClose(h);
      for (std::size_t i = sizeof(KsFindDataW); i < buf.size(); ++i) ASSERT_EQ(0xAB, buf[i]) << i;
    }
    const std::u16string folder = test::ScratchFolder();
    EXPECT_EQ(FS_FILE_NOTFOUND, Get(c.path, folder + u"out.txt"));
    EXPECT_FALSE(test::ReadLocal(folder + u"out.txt"));
    EXPECT_EQ(c.putResult, Put(u"C:\\Tools\\start.exe", c.path));
    EXPECT_EQ(c.putResult, Put(folder + u"saved.kscrkey", c.path)) << "a restore";
    {
      auto p = W(c.path);
      EXPECT_EQ(KS_FALSE, Exports().FsDeleteFileW(p.data()));
    }
    {
      KS_HICON icon = nullptr;
      auto p = W(c.path);
      EXPECT_EQ(FS_ICON_USEDEFAULT, Exports().FsExtractCustomIconW(p.data(), 0, &icon));
      EXPECT_EQ(nullptr, icon);
    }
    for (int field : {0, 6}) EXPECT_EQ("result " + std::to_string(ft_fileerror), Column(c.path, field, 64));
    if (Exports().FsExecuteFileW) {
      // "properties" of the root would open the About box: only the verb that opens an entry.
      auto p = W(c.path), verb = W(u"open");
      EXPECT_EQ(FS_EXEC_ERROR, Exports().FsExecuteFileW(nullptr, p.data(), verb.data()));
    }
    EXPECT_TRUE(test::Recorded().requests.empty()) << ToUtf8(test::Recorded().requests[0].text);
    EXPECT_TRUE(before == RegistryState()) << "the registry changed";
  }
#ifndef _WIN32
  SetUserInterface(nullptr);
  EXPECT_EQ(0, ui.shown);
#endif
}

TEST_F(HostileInputTest, AValueNameOfTheLongestListableLengthIsStillWritten) {
  List(u"\\HKCU_RUN32");
  Reg::CreateKey(RT_HKCU, WOW64_32, test::kRun);
  const std::u16string name = Repeat(u"k", KS_MAX_PATH - 1);
  EXPECT_EQ(FS_FILE_OK, Put(u"C:\\Tools\\start.exe", u"\\HKCU_RUN32\\" + name + u".exe"));
  EXPECT_EQ(1u, test::Recorded().requests.size());
  EXPECT_TRUE(Reg::Get(RT_HKCU, WOW64_32, test::kRun, name));
  EXPECT_EQ((std::vector<std::u16string>{u".ADD", u".SAVE", u".RESTORE", name}), Names(List(u"\\HKCU_RUN32")));
}

TEST_F(HostileInputTest, NullAndTinyOptionalArguments) {
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Tool", u"C:\\tool.exe");
  List(u"\\HKCU_RUN32");
  const std::u16string tool = u"\\HKCU_RUN32\\Tool";

  // Copying out with and without the remote file's details.
  const std::u16string folder = test::ScratchFolder();
  RemoteInfoStruct ri = {};
  ri.SizeLow = 42;
  ASSERT_EQ(FS_FILE_OK, Get(tool, folder + u"with.txt", &ri));
  ASSERT_EQ(FS_FILE_OK, Get(tool, folder + u"without.txt", nullptr));
  EXPECT_EQ(test::ReadLocal(folder + u"with.txt"), test::ReadLocal(folder + u"without.txt"));

  // Column buffers: none, no room, room for the terminator only, a few characters.
  struct ColumnCase {
    bool buffer;
    std::int32_t size;
    std::int32_t result;
    std::string text;  // what the buffer holds afterwards ("xxxx" is untouched)
  } columns[] = {
      {false, 1024, ft_string, ""}, {true, 0, ft_string, "xxxx"}, {true, -1, ft_string, "xxxx"},
      {true, 1, ft_string, ""},     {true, 2, ft_string, "C"},     {true, 3, ft_string, "C:"},
  };
  for (const auto& c : columns) {
    SCOPED_TRACE(c.size);
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    buf[4] = '\0';
    auto p = W(tool);
    EXPECT_EQ(c.result, Exports().FsContentGetValueW(p.data(), 6, 0, c.buffer ? buf : nullptr, c.size, 0));
    if (c.buffer) {
      EXPECT_EQ(c.text, std::string(buf));
      if (c.size > 0) {
        EXPECT_EQ('x', buf[c.size]) << "wrote past the buffer";
      }
    }
  }
  {
    auto missing = W(u"\\HKCU_RUN32\\missing");
    EXPECT_EQ(ft_fileerror, Exports().FsContentGetValueW(missing.data(), 6, 0, nullptr, 0, 0));
  }

  // An icon without a place to put it.
  {
    auto p = W(tool);
    EXPECT_EQ(FS_ICON_USEDEFAULT, Exports().FsExtractCustomIconW(p.data(), 0, nullptr));
  }

  // The root name into no room at all.
  for (std::int32_t size : {0, -1}) {
    char buf[4] = {'x', 'x', 'x', 'x'};
    Exports().FsGetDefRootName(buf, size);
    EXPECT_EQ(std::string("xxxx"), std::string(buf, 4)) << size;
  }
  Exports().FsGetDefRootName(nullptr, 8);
  EXPECT_TRUE(test::Recorded().requests.empty());
}

TEST_F(HostileInputTest, WithoutCallbacksEveryQuestionIsAnsweredNo) {
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Keep", u"original");
  List(u"\\HKCU_RUN32");
  const std::u16string folder = test::OutsideTempFolder();
  ASSERT_EQ(FS_FILE_OK, Get(u"\\HKCU_RUN32\\.SAVE", folder));
  const std::u16string keyFile = folder + u"HKCU_RUN32.kscrkey";
  ASSERT_TRUE(test::ReadLocal(keyFile));
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Keep", u"changed");
  const std::string before = RegistryState();

  ASSERT_EQ(1, Exports().FsInitW(7, nullptr, nullptr, nullptr));
  List(u"\\HKCU_RUN32");
  EXPECT_EQ(FS_FILE_USERABORT, Put(u"C:\\Tools\\new.exe", u"\\HKCU_RUN32\\new.exe"));
  EXPECT_EQ(FS_FILE_USERABORT, Put(keyFile, u"\\HKCU_RUN32\\HKCU_RUN32.kscrkey"));
  EXPECT_TRUE(before == RegistryState()) << "the registry changed";
  EXPECT_TRUE(test::Recorded().requests.empty());
  test::ReloadPlugin();
}

TEST_F(HostileInputTest, MegabyteValuesAreListedCopiedOutAndShownInColumns) {
  // 1 MiB of data each: a string of 512 Ki - 1 characters and its terminator, and 4096 strings
  // of 127 characters with theirs.
  const std::u16string big = Repeat(u"0123456789abcdef\u00FC", (std::size_t(1) << 19) - 1);
  std::vector<std::u16string> parts;
  std::u16string multi;
  for (int i = 0; i < 4096; ++i) {
    parts.push_back(Repeat(u"m" + FromUtf8(std::to_string(i)) + u"-", 127));
    multi += parts.back() + u'\0';
  }
  ASSERT_EQ(std::size_t(1) << 19, multi.size());
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Big", big);
  Reg::MultiSz(RT_HKCU, WOW64_32, test::kRunOnce, u"BigMulti", multi + u'\0');
  ASSERT_TRUE(platform::WriteWholeFile(ScriptPath(), kMultiTypeScript));

  std::u16string multiText;  // the column and the description: one line per string
  for (const auto& s : parts) multiText += u"\r\n" + s;
  // The column in code page 1252: u-umlaut is the byte FC, the rest is ASCII.
  std::string bigAnsi;
  while (bigAnsi.size() < big.size()) bigAnsi += "0123456789abcdef\xFC";
  bigAnsi.resize(big.size());
  struct Case {
    std::u16string dir, name, value;
    std::string ansi;  // the value as the column shows it
  } cases[] = {
      {u"\\HKCU_RUN32", u"Big", big, bigAnsi},
      {u"\\HOSTILE_MULTI", u"BigMulti", multiText, test::Ascii(multiText)},
      // A multi-string in a location of strings is shown as an empty string.
      {u"\\HKCU_RUNONCE32", u"BigMulti", u"", ""},
  };
  const std::u16string folder = test::ScratchFolder();
  for (const auto& c : cases) {
    SCOPED_TRACE(ToUtf8(c.dir));
    EXPECT_EQ((std::vector<std::u16string>{u".ADD", u".SAVE", u".RESTORE", c.name}), Names(List(c.dir)));
    const std::u16string path = c.dir + u"\\" + c.name;
    ASSERT_EQ(FS_FILE_OK, Get(path, folder + u"big.txt"));
    const std::string text = test::ReadLocal(folder + u"big.txt").value_or("");
    EXPECT_TRUE(EndsWith(text, Utf8Description(c.name, c.value))) << text.size();
    const std::string& ansi = c.ansi;
    EXPECT_EQ(ansi.substr(0, 1023), Column(path, 6, 1024));
    EXPECT_EQ(ansi, Column(path, 6, ansi.size() + 1));
    if (!ansi.empty()) {
      EXPECT_EQ(ansi.substr(0, ansi.size() - 1), Column(path, 6, ansi.size()));
    }
  }
  EXPECT_TRUE(test::Recorded().requests.empty()) << ToUtf8(test::Recorded().requests[0].text);
}

TEST_F(HostileInputTest, OddByteCountsIgnoreTheLastHalfCharacter) {
  const auto bytes = [](const std::u16string& units, bool halfMore) {
    auto b = Reg::Utf16Bytes(units, false);
    if (halfMore) b.push_back('Z');
    return b;
  };
  struct Case {
    const char* label;
    std::u16string name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    std::u16string value;  // as the description and the column show it
  } cases[] = {
      {"terminated list and a half", u"m1", REG_MULTI_SZ_, bytes(std::u16string(u"ab\0cd\0\0", 7), true),
       u"\r\nab\r\ncd"},
      {"unterminated list and a half", u"m2", REG_MULTI_SZ_, bytes(std::u16string(u"ab\0cd", 5), true),
       u"\r\nab\r\ncd"},
      {"a half alone", u"m3", REG_MULTI_SZ_, bytes(u"", true), u""},
      {"three bytes", u"m4", REG_MULTI_SZ_, bytes(u"q", true), u"\r\nq"},
      {"an unterminated string and a half", u"s1", REG_SZ_, bytes(u"abc", true), u"abc"},
  };
  for (const auto& c : cases) {
    const bool multi = c.type == REG_MULTI_SZ_;
    Reg::Set(RT_HKCU, WOW64_32, multi ? test::kRunOnce : test::kRun, c.name, c.type, c.data);
  }
  ASSERT_TRUE(platform::WriteWholeFile(ScriptPath(), kMultiTypeScript));
  EXPECT_EQ((std::vector<std::u16string>{u".ADD", u".SAVE", u".RESTORE", u"m1", u"m2", u"m3", u"m4"}),
            Names(List(u"\\HOSTILE_MULTI")));
  EXPECT_EQ((std::vector<std::u16string>{u".ADD", u".SAVE", u".RESTORE", u"s1"}), Names(List(u"\\HKCU_RUN32")));
  const std::u16string folder = test::ScratchFolder();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const std::u16string path = (c.type == REG_MULTI_SZ_ ? u"\\HOSTILE_MULTI\\" : u"\\HKCU_RUN32\\") + c.name;
    ASSERT_EQ(FS_FILE_OK, Get(path, folder + u"odd.txt"));
    EXPECT_TRUE(EndsWith(test::ReadLocal(folder + u"odd.txt").value_or(""), Utf8Description(c.name, c.value)));
    EXPECT_EQ(test::Ascii(c.value), Column(path, 6, 64));
  }
  EXPECT_TRUE(test::Recorded().requests.empty()) << ToUtf8(test::Recorded().requests[0].text);
}

TEST_F(HostileInputTest, LongAndUnusualValueNamesAreShortenedOnlyInTheListing) {
  // The column shows the name in code page 1252: a character it does not hold, a lone surrogate
  // among them, is a question mark. A character beyond 16 bits is two units: Windows writes a
  // question mark for each, the native build's code page one for the pair.
#ifdef _WIN32
  const std::string beyond16Bits = "??";
#else
  const std::string beyond16Bits = "?";
#endif
  struct Case {
    const char* label;
    std::u16string name;
    std::string utf8;  // the name in the description
    std::string ansi;  // the name in the column
  } cases[] = {
      {"300 units", Repeat(u"n", 300), std::string(300, 'n'), std::string(300, 'n')},
      {"a lone high surrogate at the edge", Repeat(u"p", 258) + u"\xD83Dtail",
       std::string(258, 'p') + "\xEF\xBF\xBDtail", std::string(258, 'p') + "?tail"},
      {"a lone high surrogate inside", u"lone\xD800mid", "lone\xEF\xBF\xBDmid", "lone?mid"},
      {"a lone low surrogate first", u"\xDC00" u"first", "\xEF\xBF\xBD" "first", "?first"},
      {"a lone high surrogate last", u"last\xDBFF", "last\xEF\xBF\xBD", "last?"},
      {"outside every ANSI code page", u"\u4E2D\u6587\U0001F600", "\xE4\xB8\xAD\xE6\x96\x87\xF0\x9F\x98\x80",
       "??" + beyond16Bits},
      {"Cyrillic, umlaut, euro", u"\u0416\u00FC\u20AC", "\xD0\x96\xC3\xBC\xE2\x82\xAC", "?\xFC\x80"},
  };
  ASSERT_EQ(1252u, platform::AnsiCodePage());
  for (const auto& c : cases) Reg::Str(RT_HKCU, WOW64_64, test::kRun, c.name, u"v");

  // The records, each in a larger buffer whose tail must stay untouched.
  std::vector<std::u16string> listed;
  {
    std::vector<unsigned char> buf(sizeof(KsFindDataW) + 64, 0xAB);
    auto* fd = reinterpret_cast<KsFindDataW*>(buf.data());
    auto p = W(u"\\HKCU_RUN64");
    const KS_HANDLE h = Exports().FsFindFirstW(p.data(), fd);
    ASSERT_NE(KsInvalidHandle(), h);
    do {
      ASSERT_EQ(0, fd->cFileName[KS_MAX_PATH - 1]) << "not terminated";
      listed.push_back(test::FromHost(fd->cFileName, KS_MAX_PATH));
      for (std::size_t i = sizeof(KsFindDataW); i < buf.size(); ++i) ASSERT_EQ(0xAB, buf[i]) << i;
    } while (Exports().FsFindNextW(h, fd));
    Exports().FsFindClose(h);
  }
  ASSERT_EQ(3 + std::size(cases), listed.size());
  const std::u16string folder = test::ScratchFolder();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    // The registry decides the order; each name is listed once: whole, or when longer than 259
    // units shortened to a name of at most 259 that begins as the name does and then differs.
    const bool whole = c.name.size() < KS_MAX_PATH;
    std::vector<std::u16string> shown;
    for (const auto& l : listed)
      if (whole ? l == c.name
                : l.size() < KS_MAX_PATH && l.compare(0, 200, c.name, 0, 200) == 0 && c.name.compare(0, l.size(), l) != 0)
        shown.push_back(l);
    ASSERT_EQ(1u, shown.size());
    const std::u16string path = u"\\HKCU_RUN64\\" + shown[0];
    ASSERT_EQ(FS_FILE_OK, Get(path, folder + u"name.txt"));
    const std::string text = test::ReadLocal(folder + u"name.txt").value_or("");
    EXPECT_NE(std::string::npos, text.find("\r\nValue name: " + c.utf8 + "\r\nCurrent value: v\r\n"));
    const std::string column = Column(path, 5, 1024);
    EXPECT_EQ(c.ansi, column);
    EXPECT_EQ(std::string::npos, column.find('\0'));
    EXPECT_EQ("v", Column(path, 6, 1024));
  }
  EXPECT_TRUE(test::Recorded().requests.empty());
}

TEST_F(HostileInputTest, LocalNamesNoFileCanHaveAreRefused) {
  Reg::Str(RT_HKCU, WOW64_32, test::kRun, u"Tool", u"C:\\tool.exe");
  List(u"\\HKCU_RUN32");
  const std::string before = RegistryState();
  const std::u16string folder = test::ScratchFolder();
  const std::u16string names[] = {u"a<b.txt", u"a>b.txt", u"a|b.txt", u"a\"b.txt", u"a*b.txt", u"a?b.txt",
                                  u"a\tb.txt", u"a\x01" u"b.txt", u"a\x1F" u"b.txt", u"bad<dir\\x.txt"};
  for (const auto& name : names) {
    SCOPED_TRACE(ToUtf8(name));
    const std::u16string local = folder + name;
    EXPECT_EQ(FS_FILE_WRITEERROR, Get(u"\\HKCU_RUN32\\Tool", local));
    EXPECT_EQ(FS_FILE_WRITEERROR, Get(u"\\HKCU_RUN32\\.SAVE", local));
    EXPECT_FALSE(test::ReadLocal(local));
    const std::u16string dotless = name.substr(0, name.rfind(u'.'));
    EXPECT_FALSE(test::ReadLocal(folder + dotless + u".kscrkey"));
    EXPECT_FALSE(test::ReadLocal(folder + u"HKCU_RUN32.kscrkey"));
    EXPECT_EQ(FS_FILE_WRITEERROR, Put(u"C:\\Tools\\" + name, u"\\HKCU_RUN32\\new.exe"));
    EXPECT_EQ(FS_FILE_WRITEERROR, Put(folder + dotless + u".kscrkey", u"\\HKCU_RUN32\\x.kscrkey"));
  }
  EXPECT_TRUE(test::Recorded().requests.empty());
  EXPECT_TRUE(before == RegistryState()) << "the registry changed";
  // The prefix of a long local name holds a question mark of its own.
  EXPECT_EQ(FS_FILE_OK, Put(u"\\\\?\\C:\\Tools\\long.exe", u"\\HKCU_RUN32\\long.exe"));
  EXPECT_EQ(Reg::Utf16Bytes(u"\\\\?\\C:\\Tools\\long.exe"), Reg::Get(RT_HKCU, WOW64_32, test::kRun, u"long")->data);
}

TEST_F(HostileInputTest, KeyFilesThatAreNoHiveAreRefused) {
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"Keep", u"original");
  Reg::Str(RT_HKCU, WOW64_64, test::kRun + std::u16string(u"\\Sub"), u"Deep", u"deep");
  List(u"\\HKCU_RUN64");
  const std::string before = RegistryState();
  const std::u16string folder = test::OutsideTempFolder();
  for (const auto& c : test::FilesThatAreNoHive()) {
    SCOPED_TRACE(c.label);
    test::Recorded().Reset();
    const std::u16string file = folder + u"bad.kscrkey";
    ASSERT_TRUE(platform::WriteWholeFile(file, c.bytes));
    EXPECT_EQ(FS_FILE_WRITEERROR, Put(file, u"\\HKCU_RUN64\\bad.kscrkey"));
    ASSERT_EQ(1u, test::Recorded().requests.size());
    EXPECT_EQ(u"Do you want to restore key " + std::u16string(u"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run") +
                  u"?",
              test::Recorded().requests[0].text);
    EXPECT_TRUE(before == RegistryState()) << "the registry changed";
    EXPECT_TRUE(Reg::Get(RT_HKCU, WOW64_64, test::kRun + std::u16string(u"\\Sub"), u"Deep"));
  }
}

}  // namespace
}  // namespace kestrow
