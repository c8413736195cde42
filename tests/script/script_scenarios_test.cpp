// The start-up script beside the plugin, through the listing, on the real engine.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "platform/platform.h"
#include "platform/text.h"
#include "support/helpers.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kestrow {
namespace {

using test::Exports;
using test::Line;
using test::List;
using test::Names;
using test::Reg;
using test::ScriptPath;
using test::Whole;
using test::WithCommands;

class ScriptTest : public test::RegistryTest {
 protected:
  void SetUp() override {
    test::RegistryTest::SetUp();
    test::ReloadPlugin();
    test::Recorded().Reset();
  }
  void TearDown() override {
    platform::DeleteFileIfExists(ScriptPath());
    test::RegistryTest::TearDown();
  }
  static void Script(const std::string& bytes) { ASSERT_TRUE(platform::WriteWholeFile(ScriptPath(), bytes)); }
  static std::vector<test::Request> Errors() {
    std::vector<test::Request> e;
    for (const auto& r : test::Recorded().requests)
      if (r.title == u"Error") e.push_back(r);
    return e;
  }
  static std::vector<std::u16string> Root() { return Names(List(u"\\")); }
};

TEST_F(ScriptTest, WithoutAScriptOnlyTheBuiltInTypesAndNoMessage) {
  EXPECT_EQ(46u, Root().size());
  EXPECT_TRUE(test::Recorded().requests.empty());
}

TEST_F(ScriptTest, DeclaresTypesAndAddsValuesAsSpecified) {
  const std::u16string k = u"Software\\KestrowScript";
  Own(RT_HKCU, WOW64_64, k);
  Reg::Str(RT_HKCU, WOW64_64, k, u"present", u"here");
  Reg::Str(RT_HKCU, WOW64_64, k, u"zother", u"also");
  for (const char16_t* s : {u"s0", u"s1"}) {
    Reg::Str(RT_HKCU, WOW64_64, k + u"\\" + s, u"Key", u"k");
    Reg::Dword(RT_HKCU, WOW64_64, k + u"\\" + s, u"A", 1);
  }
  Reg::Dword(RT_HKCU, WOW64_64, k + u"\\nokey", u"A", 1);
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"FromScript", u"x");
  Script(R"(begin
  QInitializeType('MUSTTYPE', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, '\Software\KestrowScript');
  QInitializeType('OPTTYPE', RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, '\Software\KestrowScript');
  QInitializeType('DUP', RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, '\Software\KestrowScript');
  QInitializeType('DUP', RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, '\Software\KestrowScript');
  QInitializeType('SCAN0', RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, '\Software\KestrowScript');
  QInitializeType('SCAN2', RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, '\Software\KestrowScript');
  QInitializeType('SCAN6', RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, '\Software\KestrowScript');
  if not QAddValue('musttype', 'missing') then RaiseException(erCustomError, 'lookup');
  QAddValue('MUSTTYPE', 'present');
  QAddValue('OPTTYPE', 'missing');
  QAddValue('OPTTYPE', 'present');
  QAddValue('OPTTYPE', 'present');
  QAddValue('DUP', 'present');
  if QAddValue('NOSUCHTYPE', 'present') then RaiseException(erCustomError, 'undeclared');
  QAddValue('hkcu_run64', 'FromScript');
  QAddAllValues('DUP');
  QScanForValues('SCAN0', 'Key', 0, VAL_INTEGER, 'A', VAL_INTEGER, 'B', VAL_INTEGER, 'C', VAL_INTEGER, 'D');
  QScanForValues('SCAN2', 'Key', 2, VAL_INTEGER, 'A', VAL_STRING, 'B', VAL_INTEGER, 'C', VAL_INTEGER, 'D');
  QScanForValues('SCAN6', 'Key', 6, VAL_INTEGER, 'A', VAL_STRING, 'B', VAL_INTEGER, 'C', VAL_STRING, 'D');
end.
)");
  auto root = Root();
  ASSERT_EQ(53u, root.size());
  EXPECT_EQ((std::vector<std::u16string>{u"MUSTTYPE", u"OPTTYPE", u"DUP", u"DUP", u"SCAN0", u"SCAN2", u"SCAN6"}),
            std::vector<std::u16string>(root.begin() + 46, root.end()));
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(WithCommands({u"missing", u"present"}), Names(List(u"\\MUSTTYPE")));
  EXPECT_EQ(WithCommands({u"present", u"present"}), Names(List(u"\\OPTTYPE")));
  EXPECT_EQ(WithCommands({u"present", u"present", u"zother"}), Names(List(u"\\DUP")));
  // Once from the built-in scan, once more from the script: routines do not look for duplicates.
  EXPECT_EQ(WithCommands({u"FromScript", u"FromScript"}), Names(List(u"\\HKCU_RUN64")));
  EXPECT_EQ(WithCommands({u"s0", u"s1"}), Names(List(u"\\SCAN0")));
  EXPECT_EQ(std::vector<std::u16string>{u"Key"}, Names(List(u"\\SCAN0\\s0")));
  EXPECT_EQ((std::vector<std::u16string>{u"Key", u"A", u"B"}), Names(List(u"\\SCAN2\\s1")));
  EXPECT_EQ((std::vector<std::u16string>{u"Key", u"A", u"B", u"C", u"D", u"", u""}), Names(List(u"\\SCAN6\\s0")));
}

TEST_F(ScriptTest, CompilerMessagesEachGetABoxAndTheScriptDoesNotRun) {
  Script("begin\n  QInitializeType('X', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, 'a')\n  QAddValue('X');\nend.\n");
  EXPECT_EQ(46u, Root().size());
  auto errors = Errors();
  ASSERT_FALSE(errors.empty());
  for (const auto& e : errors) {
    EXPECT_EQ(u"Compiler: ", e.text.substr(0, 10));
    EXPECT_EQ(RT_MsgOK, test::Recorded().requests[0].type);
  }
  // Again at the next listing.
  test::Recorded().Reset();
  List(u"\\");
  EXPECT_EQ(errors.size(), Errors().size());
}

TEST_F(ScriptTest, HintsAndWarningsAloneShowNothing) {
  Script("var unused: Integer;\nbegin\n  QInitializeType('HINTED', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, 'a');\nend.\n");
  EXPECT_EQ(47u, Root().size());
  EXPECT_TRUE(test::Recorded().requests.empty());
}

TEST_F(ScriptTest, RunTimeErrorsKeepWhatWasAddedAndShowOneBox) {
  struct Case {
    const char* failing;
  } cases[] = {{"RaiseException(erCustomError, 'boom');"},
               {"QScanForValues('KEPT', 'Key', -1, VAL_INTEGER, '', VAL_INTEGER, '', VAL_INTEGER, '', VAL_INTEGER, '');"},
               {"QScanForValues('KEPT', 'Key', 100000, VAL_INTEGER, '', VAL_INTEGER, '', VAL_INTEGER, '', VAL_INTEGER, '');"}};
  for (const auto& c : cases) {
    test::Recorded().Reset();
    Script(std::string("begin\n  QInitializeType('KEPT', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, '\\Software');\n"
                       "  QAddValue('KEPT', 'gone');\n  ") +
           c.failing + "\n  QInitializeType('NEVER', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, 'a');\nend.\n");
    auto root = Root();
    ASSERT_EQ(47u, root.size()) << c.failing;
    EXPECT_EQ(u"KEPT", root[46]);
    EXPECT_EQ(WithCommands({u"gone"}), Names(List(u"\\KEPT")));
    test::Recorded().Reset();
    List(u"\\");
    auto errors = Errors();
    ASSERT_EQ(1u, errors.size()) << c.failing;
    // "<engine text> at <procedure>.<position>"
    const std::u16string& t = errors[0].text;
    auto at = t.rfind(u" at ");
    ASSERT_NE(std::u16string::npos, at) << ToUtf8(t);
    const std::u16string tail = t.substr(at + 4);
    auto dot = tail.find(u'.');
    ASSERT_NE(std::u16string::npos, dot) << ToUtf8(t);
    EXPECT_FALSE(tail.substr(0, dot).empty());
    EXPECT_EQ(std::u16string::npos, tail.find_first_not_of(u"0123456789."));
  }
}

TEST_F(ScriptTest, FlagsSetByOneRunStayForLaterListingsWithoutAScript) {
  Script("begin\n  Sentrel.SetConfirmation(True, True, False, True);\n  Sentrel.SetConfiguration(True, False);\nend.\n");
  List(u"\\");
  platform::DeleteFileIfExists(ScriptPath());
  Reg::DeleteKey(RT_HKCU, WOW64_32, test::kRun);
  List(u"\\HKCU_RUN32");
  test::Recorded().Reset();
  auto local = test::W(u"C:\\Tools\\quiet.exe"), remote = test::W(u"\\HKCU_RUN32\\quiet.exe");
  // No question (ConfirmAdd off) and the missing key is created (CanCreateKey on).
  EXPECT_EQ(FS_FILE_OK, Exports().FsPutFileW(local.data(), remote.data(), 0));
  EXPECT_TRUE(test::Recorded().requests.empty());
  EXPECT_TRUE(Reg::Get(RT_HKCU, WOW64_32, test::kRun, u"quiet"));
}

TEST_F(ScriptTest, EncodingsAreReadByTheirByteOrderMark) {
  const std::u16string body = u"begin QInitializeType('T\u00E9ST', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, 'a'); end.";
  std::string le = "\xFF\xFE", be = "\xFE\xFF";
  for (char16_t c : body) {
    le += char(c & 0xFF), le += char(c >> 8);
    be += char(c >> 8), be += char(c & 0xFF);
  }
  // Without a byte-order mark, in code page 1252: e-acute is the byte E9.
  const std::string ansi = "begin QInitializeType('T\xE9ST', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, 'a'); end.";
  const std::string files[] = {"\xEF\xBB\xBF" + ToUtf8(body), le, be, ansi};
  for (const auto& f : files) {
    Script(f);
    auto root = Root();
    ASSERT_EQ(47u, root.size());
    EXPECT_EQ(u"T\u00E9ST", root[46]);
  }
  EXPECT_TRUE(Errors().empty());
}

TEST_F(ScriptTest, AMissingEngineLibraryIsNamedAndTheListingGoesOn) {
  const std::u16string engine = test::PluginFolder() + FromUtf8(KESTROW_ENGINE_FILE);
  std::string saved;
  ASSERT_TRUE(platform::ReadWholeFile(engine, saved));
  ASSERT_TRUE(platform::DeleteFileIfExists(engine));
  Script("begin end.");
  const auto root = Root();
  platform::WriteWholeFile(engine, saved);
  EXPECT_EQ(46u, root.size());
  auto errors = Errors();
  ASSERT_EQ(1u, errors.size());
  EXPECT_NE(std::u16string::npos, errors[0].text.find(FromUtf8(KESTROW_ENGINE_FILE))) << ToUtf8(errors[0].text);
}

TEST_F(ScriptTest, AnEndlessScriptIsStoppedAndWhatItAddedIsKept) {
  Script("begin\n  QInitializeType('BEFORE', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, 'a');\n  while True do ;\nend.\n");
  const auto start = std::chrono::steady_clock::now();
  auto root = Root();
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_EQ(47u, root.size());
  EXPECT_EQ(u"BEFORE", root[46]);
  auto errors = Errors();
  ASSERT_EQ(1u, errors.size());
  EXPECT_NE(std::u16string::npos, errors[0].text.find(u"stopped")) << ToUtf8(errors[0].text);
  EXPECT_LT(seconds, 30.0);
}

TEST_F(ScriptTest, EndlessRecursionEndsAsARunTimeError) {
  Script("procedure Down(n: Integer);\nbegin\n  Down(n + 1);\nend;\nbegin\n  Down(0);\nend.\n");
  EXPECT_EQ(46u, Root().size());
  EXPECT_EQ(1u, Errors().size());
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// The engine's compiler descends once per level of nesting; on the file manager's own stack a few
// thousand levels were enough to end the process.
TEST_F(ScriptTest, DeeplyNestedScriptsCompileAndRun) {
  const struct {
    const char* name;
    std::string body;
  } cases[] = {
      {"parentheses", "x := " + Repeat("(", 50000) + "1" + Repeat(")", 50000) + ";"},
      {"unary minus", "x := " + Repeat("- ", 50000) + "1;"},
      {"a long sum", "x := 1" + Repeat("+1", 50000) + ";"},
      {"blocks", Repeat("begin ", 12000) + Repeat("end ", 12000) + ";"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::Recorded().Reset();
    Script("var x: Integer;\nbegin\n" + c.body +
           "\nQInitializeType('DEEP', RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, 'a');\nend.\n");
    const auto root = Root();
    EXPECT_TRUE(Errors().empty()) << ToUtf8(Errors().empty() ? u"" : Errors()[0].text);
    ASSERT_EQ(47u, root.size());
    EXPECT_EQ(u"DEEP", root[46]);
  }
}

TEST_F(ScriptTest, AScriptLargerThan128KiBIsNotRun) {
  const std::string head = "begin\n  QInitializeType('BIG', RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, 'a');\nend.\n";
  for (const std::size_t size : {std::size_t(128) << 10, (std::size_t(128) << 10) + 1}) {
    SCOPED_TRACE(size);
    test::Recorded().Reset();
    std::string text = head + "{";
    text += std::string(size - text.size() - 1, 'x') + "}";
    ASSERT_EQ(size, text.size());
    Script(text);
    const auto root = Root();
    const auto errors = Errors();
    if (size == std::size_t(128) << 10) {
      EXPECT_TRUE(errors.empty());
      EXPECT_EQ(47u, root.size());
    } else {
      EXPECT_EQ(46u, root.size());
      ASSERT_EQ(1u, errors.size());
      EXPECT_NE(std::u16string::npos, errors[0].text.find(u"startup.kscr is larger than 128 KiB")) << ToUtf8(errors[0].text);
    }
  }
}

TEST_F(ScriptTest, AScriptThatCannotBeReadIsNamed) {
#ifndef _WIN32
  GTEST_SKIP() << "a file held open by another program without sharing it is a Windows case";
#else
  Script("begin end.");
  const std::u16string path = ScriptPath();
  HANDLE lock = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  const auto root = Root();
  CloseHandle(lock);
  EXPECT_EQ(46u, root.size());
  auto errors = Errors();
  ASSERT_EQ(1u, errors.size());
  EXPECT_NE(std::u16string::npos, errors[0].text.find(u"startup.kscr"));
#endif
}


TEST_F(ScriptTest, EmptyAndBinaryScriptFilesShowOneBoxAndTheListingGoesOn) {
  std::string noise(4096, '\0');
  std::uint32_t seed = 12345;
  for (auto& b : noise) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<char>(seed >> 24);
  }
  noise[100] = '\0';
  struct Case {
    const char* label;
    std::string bytes;
    std::u16string box;  // the start of the one error box
  } cases[] = {
      {"empty", "", u"Compiler: [Error] (1:1): Unexpected end of file"},
      {"a byte-order mark alone", "\xEF\xBB\xBF", u"Compiler: [Error] (1:1): Unexpected end of file"},
      {"random bytes with NULs", noise, u"The start-up script "},
      {"NULs", std::string(64, '\0'), u"The start-up script "},
      // Whatever follows a NUL would be lost without a word: the script does not run at all.
      {"a script with a NUL inside",
       std::string("begin\n  QInitializeType('CUT', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, 'a');\nend.\n\0", 83) +
           "{ rest }",
       u"The start-up script "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    test::Recorded().Reset();
    Script(c.bytes);
    EXPECT_EQ(46u, Root().size());
    const auto errors = Errors();
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ(c.box, errors[0].text.substr(0, c.box.size())) << ToUtf8(errors[0].text);
    if (c.box == u"The start-up script ") {
      EXPECT_NE(std::u16string::npos, errors[0].text.find(u"startup.kscr holds a NUL character; it did not run."))
          << ToUtf8(errors[0].text);
    }
    EXPECT_EQ(RT_MsgOK, errors[0].type);
  }
}

// Each routine raising an exception of its own: the run ends there, what it added before stays.
TEST_F(ScriptTest, AnExceptionInEachRoutineEndsTheRunWithOneBox) {
  struct Case {
    const char* failing;
    std::u16string box;  // the start of the box, before " at <procedure>.<position>"
  } cases[] = {
      {"V := 7; QInitializeType('BAD', V, ET_MUST, VAL_STRING, WOW64_64, 'a');",
       u"Exception: RootType 7 is out of range"},
      {"V := 9; QScanForValues('KEPT', 'Key', 1, V, 'A', VAL_INTEGER, '', VAL_INTEGER, '', VAL_INTEGER, '');",
       u"Exception: Extra value type 9 is out of range"},
      {"Nobody.SetConfirmation(False, False, False, False);", u"Null Pointer Exception"},
      {"Nobody.SetConfiguration(True, True);", u"Null Pointer Exception"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failing);
    test::Recorded().Reset();
    Script(std::string("var Nobody: TSentrel; V: Variant;\nbegin\n"
                       "  QInitializeType('KEPT', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, '\\Software');\n"
                       "  QInitializeType('MULTI', RT_HKCU, ET_OPTIONAL, VAL_MULTISZ, WOW64_64,\n"
                       "    '\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run');\n"
                       "  QAddValue('KEPT', 'gone');\n  ") +
           c.failing + "\n  QInitializeType('NEVER', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, 'a');\nend.\n");
    const auto root = Root();
    ASSERT_EQ(48u, root.size());
    EXPECT_EQ((std::vector<std::u16string>{u"KEPT", u"MULTI"}), std::vector<std::u16string>(root.begin() + 46, root.end()));
    const auto errors = Errors();
    ASSERT_EQ(1u, errors.size());
    const std::u16string& t = errors[0].text;
    EXPECT_EQ(c.box + u" at ", t.substr(0, c.box.size() + 4)) << ToUtf8(t);
    const std::u16string place = t.substr(std::min(t.size(), c.box.size() + 4));
    EXPECT_FALSE(place.empty());
    EXPECT_EQ(std::u16string::npos, place.find_first_not_of(u"0123456789.")) << ToUtf8(t);
    test::Recorded().Reset();
    EXPECT_EQ(WithCommands({u"gone"}), Names(List(u"\\KEPT")));
  }
  // The methods called on no object changed no flag: copying in still asks.
  List(u"\\HKCU_RUN32");
  test::Recorded().Reset();
  test::Recorded().defaultAnswer = false;
  auto local = test::W(u"C:\\Tools\\asked.exe"), remote = test::W(u"\\HKCU_RUN32\\asked.exe");
  EXPECT_EQ(FS_FILE_USERABORT, Exports().FsPutFileW(local.data(), remote.data(), 0));
  EXPECT_EQ(1u, test::Recorded().requests.size());
}

// A multi-string location holding values of other types, as any program can write them: each
// routine lists them with the empty text and the run goes on, so no such value can end a script
// and hide the locations it reads after it. A script that guards its calls still runs unchanged.
TEST_F(ScriptTest, ValuesOfAnotherTypeInAMultiStringLocationEndNoRun) {
  Reg::Str(RT_HKCU, WOW64_64, test::kRun, u"plain", u"x");
  Reg::Dword(RT_HKCU, WOW64_64, test::kRun, u"dw", 9);
  Reg::MultiSz(RT_HKCU, WOW64_64, test::kRun, u"ms", std::u16string(u"a\0b\0\0", 5));
  const std::u16string sub = std::u16string(test::kRun) + u"\\sub";
  Reg::Str(RT_HKCU, WOW64_64, sub, u"plain", u"y");
  Script("begin\n"
         "  QInitializeType('MULTI', RT_HKCU, ET_OPTIONAL, VAL_MULTISZ, WOW64_64,\n"
         "    '\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run');\n"
         "  QInitializeType('ONE', RT_HKCU, ET_MUST, VAL_MULTISZ, WOW64_64,\n"
         "    '\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run');\n"
         "  QAddAllValues('MULTI');\n"
         "  QAddValue('ONE', 'plain');\n"
         "  try QAddValue('ONE', 'dw'); except RaiseException(erCustomError, 'not reached'); end;\n"
         "  QScanForValues('MULTI', 'plain', 1, VAL_MULTISZ, 'plain', VAL_INTEGER, '', VAL_INTEGER, '', VAL_INTEGER, '');\n"
         "  QInitializeType('AFTER', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, 'a');\n"
         "end.\n");
  const auto root = Root();
  ASSERT_EQ(49u, root.size());
  EXPECT_EQ(u"AFTER", root.back());
  EXPECT_TRUE(Errors().empty()) << ToUtf8(Errors()[0].text);
  // The registry decides the order of the values (Wine sorts them).
  auto multi = Names(List(u"\\MULTI"));
  std::sort(multi.begin() + 3, multi.end() - 1);
  EXPECT_EQ(WithCommands({u"dw", u"ms", u"plain", u"sub"}), multi);
  EXPECT_EQ(WithCommands({u"plain", u"dw"}), Names(List(u"\\ONE")));
  EXPECT_EQ((std::vector<std::u16string>{u"plain", u"plain"}), Names(List(u"\\MULTI\\sub")));
  const struct {
    const char16_t* path;
    const char* column;
  } values[] = {{u"\\MULTI\\plain", ""}, {u"\\MULTI\\dw", ""}, {u"\\MULTI\\ms", "\r\na\r\nb"},
                {u"\\ONE\\plain", ""}};
  for (const auto& v : values) {
    std::vector<char> buf(64, 'x');
    auto p = test::W(v.path);
    ASSERT_EQ(ft_string, Exports().FsContentGetValueW(p.data(), 6, 0, buf.data(), 64, 0)) << ToUtf8(v.path);
    EXPECT_EQ(std::string(v.column), std::string(buf.data())) << ToUtf8(v.path);
  }
}

// A script's names may hold NULs (#0): the routines take them whole, with the key paths and the
// type's identifier, and every export reaches what they add. A value or key named like the part
// before the NUL is another one.
class ScriptNulNamesTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    Own(RT_HKCU, WOW64_64, kKey);
    Own(RT_HKCU, WOW64_64, NulKey());
    Reg::Str(RT_HKCU, WOW64_64, NulKey(), Whole(u"Acc\0Hidden"), u"hidden");
    Reg::Str(RT_HKCU, WOW64_64, NulKey(), u"Acc", u"decoy");
    Reg::Str(RT_HKCU, WOW64_64, kKey, Whole(u"Acc\0Hidden"), u"wrong key");
    Reg::Str(RT_HKCU, WOW64_64, kKey, u"Acc", u"wrong key");
    Reg::Str(RT_HKCU, WOW64_64, Sub(), Whole(u"Key\0X"), u"k");
    Reg::Str(RT_HKCU, WOW64_64, Sub(), u"Key", u"wrong");
    Reg::Str(RT_HKCU, WOW64_64, Sub(), Whole(u"Extra\0"), u"e");
    folder = test::ScratchFolder();
    Script("begin\n"
           "  QInitializeType('NUL'#0'TYPE', RT_HKCU, ET_MUST, VAL_STRING, WOW64_64, '\\Software\\KestrowScript'#0'Nul');\n"
           "  QAddValue('NUL'#0'TYPE', 'Acc'#0'Hidden');\n"
           "  QAddValue('NUL'#0'TYPE', 'Acc');\n"
           "  if QAddValue('NUL', 'Acc') then RaiseException(erCustomError, 'found by the cut name');\n"
           "  QInitializeType('ALLNUL', RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, '\\Software\\KestrowScript'#0'Nul');\n"
           "  QAddAllValues('ALLNUL');\n"
           "  QInitializeType('SCANNUL', RT_HKCU, ET_OPTIONAL, VAL_STRING, WOW64_64, '\\Software\\KestrowScript'#0'Nul');\n"
           "  QScanForValues('SCANNUL', 'Key'#0'X', 1, VAL_STRING, 'Extra'#0, VAL_INTEGER, '', VAL_INTEGER, '',\n"
           "    VAL_INTEGER, '');\n"
           "end.\n");
  }

  static std::u16string NulKey() { return kKey + Whole(u"\0Nul"); }
  static std::u16string Sub() { return NulKey() + u"\\" + Whole(u"s\0one"); }
  // The description of an entry copied out.
  std::string CopyOut(const std::u16string& path) { return test::CopiedOut(path, folder + u"entry.txt"); }

  static inline const std::u16string kKey = u"Software\\KestrowScript";
  std::u16string folder;
};

TEST_F(ScriptNulNamesTest, RoutinesTakeNamesWithANulWhole) {
  const auto root = Root();
  EXPECT_TRUE(Errors().empty()) << ToUtf8(Errors().empty() ? u"" : Errors()[0].text);
  ASSERT_EQ(49u, root.size());
  EXPECT_EQ((std::vector<std::u16string>{u"NUL^00TYPE", u"ALLNUL", u"SCANNUL"}),
            std::vector<std::u16string>(root.begin() + 46, root.end()));

  EXPECT_EQ(WithCommands({u"Acc^00Hidden", u"Acc"}), Names(List(u"\\NUL^00TYPE")));
  const std::string hidden = CopyOut(u"\\NUL^00TYPE\\Acc^00Hidden");
  EXPECT_EQ(std::string::npos, hidden.find('\0'));
  EXPECT_EQ("\\Software\\KestrowScript^00Nul", Line(hidden, "Path"));
  EXPECT_EQ("Acc^00Hidden", Line(hidden, "Value name"));
  EXPECT_EQ("hidden", Line(hidden, "Current value"));
  EXPECT_EQ("decoy", Line(CopyOut(u"\\NUL^00TYPE\\Acc"), "Current value"));
  std::vector<char> buf(256, 'x');
  auto p = test::W(u"\\NUL^00TYPE\\Acc");
  ASSERT_EQ(ft_string, Exports().FsContentGetValueW(p.data(), 0, 0, buf.data(), 256, 0));
  EXPECT_EQ("NUL^00TYPE", std::string(buf.data()));

  // The registry decides the order of the values (Wine sorts them).
  auto all = Names(List(u"\\ALLNUL"));
  std::sort(all.begin() + 3, all.end());
  EXPECT_EQ(WithCommands({u"Acc", u"Acc^00Hidden"}), all);
  EXPECT_EQ("hidden", Line(CopyOut(u"\\ALLNUL\\Acc^00Hidden"), "Current value"));

  EXPECT_EQ(WithCommands({u"s^00one"}), Names(List(u"\\SCANNUL")));
  EXPECT_EQ((std::vector<std::u16string>{u"Key^00X", u"Extra^00"}), Names(List(u"\\SCANNUL\\s^00one")));
  const std::string key = CopyOut(u"\\SCANNUL\\s^00one\\Key^00X");
  EXPECT_EQ("\\Software\\KestrowScript^00Nul\\s^00one", Line(key, "Path"));
  EXPECT_EQ("k", Line(key, "Current value"));
  EXPECT_EQ("e", Line(CopyOut(u"\\SCANNUL\\s^00one\\Extra^00"), "Current value"));
}

TEST_F(ScriptNulNamesTest, AKeyNamedWithANulIsSavedAndRestored) {
  Root();
  // Not "nul.kscrkey": Windows takes that for its NUL device.
  const std::u16string keyFile = folder + u"saved.kscrkey";
  auto r = test::W(u"\\ALLNUL\\.SAVE"), l = test::W(keyFile);
  ASSERT_EQ(FS_FILE_OK, Exports().FsGetFileW(r.data(), l.data(), 0, nullptr));
  Reg::Str(RT_HKCU, WOW64_64, NulKey(), Whole(u"Acc\0Hidden"), u"changed");
  Reg::Str(RT_HKCU, WOW64_64, NulKey(), Whole(u"\0Added"), u"added");
  test::Recorded().Reset();
  auto remote = test::W(u"\\ALLNUL\\saved.kscrkey");
  EXPECT_EQ(FS_FILE_OK, Exports().FsPutFileW(l.data(), remote.data(), 0));
  ASSERT_EQ(1u, test::Recorded().requests.size());
  EXPECT_EQ(u"Do you want to restore key \\Software\\KestrowScript^00Nul?", test::Recorded().requests[0].text);
  EXPECT_EQ(std::optional<std::u16string>(u"hidden"), Reg::Text(RT_HKCU, WOW64_64, NulKey(), Whole(u"Acc\0Hidden")));
  EXPECT_FALSE(Reg::Get(RT_HKCU, WOW64_64, NulKey(), Whole(u"\0Added")));
  EXPECT_EQ(std::optional<std::u16string>(u"k"), Reg::Text(RT_HKCU, WOW64_64, Sub(), Whole(u"Key\0X")));
  EXPECT_EQ(std::optional<std::u16string>(u"wrong key"), Reg::Text(RT_HKCU, WOW64_64, kKey, Whole(u"Acc\0Hidden")));
  platform::DeleteFileIfExists(keyFile);
}

TEST_F(ScriptTest, TheSampleScriptRuns) {
  std::string sample;
  ASSERT_TRUE(platform::ReadWholeFile(u"Z:" + FromUtf8(KESTROW_SAMPLE_SCRIPT), sample));
  Script(sample);
  auto root = Root();
  EXPECT_TRUE(Errors().empty()) << ToUtf8(Errors().empty() ? u"" : Errors()[0].text);
  EXPECT_GT(root.size(), 60u);
  EXPECT_NE(root.end(), std::find(root.begin(), root.end(), u"HKLM_BOOTEXECUTE"));
}

}  // namespace
}  // namespace kestrow
