// Value and subkey names that no file name can hold: path separators, wildcards, quotes, angle
// brackets, the pipe, control characters, the listing's escape character "^", and names longer
// than the listing allows. Every such entry is listed under a name the host can carry, and every
// export reached through that name acts on the real value.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "dialogs/user_driver.h"
#include "model/names.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "support/helpers.h"
#include "support/planted_values.h"

namespace kestrow {
namespace {

using test::Column;
using test::Delete;
using test::Exports;
using test::Line;
using test::List;
using test::Reg;
using test::Repeat;
using test::W;

const std::u16string kServices = test::kServices;

// A name as the columns show it in code page 1252. The names here hold ASCII characters and
// characters beyond 16 bits, which no ANSI code page holds: Windows writes a question mark for
// each of their two units, the native build's code page one for the pair.
std::string InCodePage1252(const std::u16string& name) {
#ifdef _WIN32
  const std::string beyond16Bits = "??";
#else
  const std::string beyond16Bits = "?";
#endif
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 && name[i + 1] <= 0xDFFF;
    EXPECT_TRUE(c < 0x80 || pair) << "a name of another kind: " << ToUtf8(name);
    if (pair) ++i;
    out += pair ? beyond16Bits : std::string(1, static_cast<char>(c));
  }
  return out;
}

// The value names: one per character the host cannot carry, the escape character alone and in
// forms that look like its escapes, and long names, some of which share a long beginning.
std::vector<std::u16string> OddValueNames() {
  std::vector<std::u16string> names = {
      u"C:\\acc\\tool.exe", u"acc:colon", u"slash/name", u"star*", u"what?", u"quote\"d", u"<angle>", u"pi|pe",
      u"tab\there", u"line\nbreak", std::u16string(u"\x01start"), std::u16string(u"end\x1f"), u"del\x7f",
      u"caret^name", u"^", u"^^", u"a:b", u"a^3Ab", u"a^3A", u"a^", u"tail^~0123456789ABCDEF",
      u".ADD", u".save", u"..", u".",
      Repeat(u"n", 259), Repeat(u"n", 260), Repeat(u"n", 300), Repeat(u"n", 299) + u"m",
      Repeat(u"long:name\\", 1000), Repeat(u":", 300), Repeat(u"w", 16383),
      Repeat(u"p", 257) + u"\U0001F600" + Repeat(u"q", 20), Repeat(u"\U0001F600", 300),
      // Two long names alike in their first 250 units whose 64-bit FNV-1a hashes are equal (found
      // by a collision search for this test): their shortened forms must still differ.
      Repeat(u"a", 250) + u"cpmbegngphpiiabe", Repeat(u"a", 250) + u"oeaclcnhgljdhpla",
  };
  return names;
}

std::vector<std::u16string> OddSubkeyNames() {
  return {u"svc:colon", u"svc/slash", u"svc*star", u"svc?", u"svc\"q", u"svc<>", u"svc|pipe", u"svc\ttab",
          u"svc^caret", u".ADD", Repeat(u"s:", 128)};
}

bool CarriesAsFileName(const std::u16string& name) {
  if (name.empty() || name.size() > 259 || name == u"." || name == u"..") return false;
  for (char16_t c : name)
    if (c < 32 || c == 0x7F || std::u16string(u"\\/:*?\"<>|").find(c) != std::u16string::npos) return false;
  return true;
}

class UnusualNamesTest : public test::HostFolderTest {
 protected:
  void SetUp() override {
    test::HostFolderTest::SetUp();
    folder = test::ScratchFolder();
  }
  void TearDown() override {
    planted.Undo();
    test::HostFolderTest::TearDown();
  }

  // The description of an entry copied out to a local file of its listed name (where the local
  // file system takes a name that long).
  std::string CopyOut(const std::u16string& dir, const std::u16string& listed) {
    return test::CopiedOut(dir + u"\\" + listed, folder + (listed.size() <= 100 ? listed : u"entry.txt"));
  }
  // The entries of a directory by the real name their description gives.
  std::map<std::u16string, std::u16string> ListedByRealName(const std::u16string& dir) {
    std::map<std::u16string, std::u16string> byReal;
    const auto entries = List(dir);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const auto& e = entries[i];
      EXPECT_TRUE(CarriesAsFileName(e.name)) << ToUtf8(e.name);
      for (std::size_t j = 0; j < i; ++j)
        EXPECT_FALSE(SameName(entries[j].name, e.name)) << "listed twice: " << ToUtf8(e.name);
      if (e.name.size() && e.name[0] == u'.' && i < 3) continue;  // the command files
      const std::string text = CopyOut(dir, e.name);
      const std::u16string real = FromUtf8(Line(text, "Value name"));
      EXPECT_EQ(0u, byReal.count(real)) << ToUtf8(real);
      byReal[real] = e.name;
    }
    return byReal;
  }
  // Opens the entry, replaces its value in the edit dialog and confirms; the name the dialog shows.
  static std::u16string EditThroughDialog(const std::u16string& path, const std::u16string& value,
                                          std::int32_t* result) {
    return test::Shown(test::EditAsUser(path, value, result), idValueName);
  }

  test::Planted planted;
  std::u16string folder;
};

TEST_F(UnusualNamesTest, ValueNamesAreListedReachablyAndPlainOnesUnchanged) {
  const auto names = OddValueNames();
  for (const auto& n : names) planted.Text(RT_HKCU, WOW64_64, test::kRun, n, u"v:" + n.substr(0, 40));
  planted.Text(RT_HKCU, WOW64_64, test::kRun, u"Plain name.exe", u"plain");
  const auto byReal = ListedByRealName(u"\\HKCU_RUN64");
  ASSERT_EQ(names.size() + 1, byReal.size());
  EXPECT_EQ(u"Plain name.exe", byReal.at(u"Plain name.exe"));
  EXPECT_EQ(Repeat(u"n", 259), byReal.at(Repeat(u"n", 259)));
  for (const auto& n : names) {
    SCOPED_TRACE(ToUtf8(n.substr(0, 40)) + " (" + std::to_string(n.size()) + " units)");
    ASSERT_EQ(1u, byReal.count(n));
    const std::u16string path = u"\\HKCU_RUN64\\" + byReal.at(n);
    const std::string text = CopyOut(u"\\HKCU_RUN64", byReal.at(n));
    EXPECT_EQ(ToUtf8(u"v:" + n.substr(0, 40)), Line(text, "Current value"));
    EXPECT_EQ(InCodePage1252(n), Column(path, 5));
    EXPECT_EQ(InCodePage1252(u"v:" + n.substr(0, 40)), Column(path, 6));
    KS_HICON icon = nullptr;
    auto p = W(path);
    EXPECT_EQ(FS_ICON_EXTRACTED_DESTROY, Exports().FsExtractCustomIconW(p.data(), FS_ICONFLAG_BACKGROUND, &icon));
  }
}

TEST_F(UnusualNamesTest, EditCopyInAndDeleteActOnTheRealValue) {
  const auto names = OddValueNames();
  for (const auto& n : names) planted.Text(RT_HKCU, WOW64_64, test::kRun, n, u"old");
  const auto byReal = ListedByRealName(u"\\HKCU_RUN64");
  for (const auto& n : names) {
    SCOPED_TRACE(ToUtf8(n.substr(0, 40)) + " (" + std::to_string(n.size()) + " units)");
    const std::u16string path = u"\\HKCU_RUN64\\" + byReal.at(n);
    std::int32_t result = -99;
    EXPECT_EQ(n, EditThroughDialog(path, u"edited", &result));
    EXPECT_EQ(FS_EXEC_OK, result);
    EXPECT_EQ(std::optional<std::u16string>(u"edited"), Reg::Text(RT_HKCU, WOW64_64, test::kRun, n));

    // Copying a file in under the listed name and an extension writes over the same value.
    test::Recorded().Reset();
    EXPECT_EQ(FS_FILE_OK, test::PutFile(u"C:\\Tools\\new.exe", path + u".exe"));
    EXPECT_EQ(std::optional<std::u16string>(u"C:\\Tools\\new.exe"), Reg::Text(RT_HKCU, WOW64_64, test::kRun, n));
    ASSERT_EQ(1u, test::Recorded().requests.size());
    // The name as it is: none of them holds a quote, which the question would double.
    ASSERT_EQ(std::u16string::npos, n.find(u'\''));
    EXPECT_EQ(u"Do you want to write new value '" + n + u"'?", test::Recorded().requests[0].text);
  }
  // Deleting each one through its listed name removes that value and no other.
  std::size_t left = names.size();
  for (const auto& n : names) {
    SCOPED_TRACE(ToUtf8(n.substr(0, 40)) + " (" + std::to_string(n.size()) + " units)");
    EXPECT_EQ(KS_TRUE, Delete(u"\\HKCU_RUN64\\" + byReal.at(n)));
    EXPECT_FALSE(Reg::Get(RT_HKCU, WOW64_64, test::kRun, n));
    EXPECT_EQ(--left, Reg::ValueNames(RT_HKCU, WOW64_64, test::kRun).size());
  }
}

TEST_F(UnusualNamesTest, SubkeyDirectoriesAreReachable) {
  const auto subkeys = OddSubkeyNames();
  for (const auto& s : subkeys) {
    planted.Dword(RT_HKLM, WOW64_64, kServices + u"\\" + s, u"Start", 3);
    planted.Text(RT_HKLM, WOW64_64, std::u16string(test::kIfeo) + u"\\" + s, u"Debugger", u"dbg.exe");
  }
  for (const char16_t* dir : {u"\\HKLM_SERV64", u"\\HKLM_IFEO64"}) {
    SCOPED_TRACE(ToUtf8(dir));
    const bool services = dir == std::u16string(u"\\HKLM_SERV64");
    const std::u16string key = services ? kServices : std::u16string(test::kIfeo);
    // A directory lists no description of its own: find each by the path of the value inside.
    std::map<std::u16string, std::u16string> byReal;
    for (const auto& e : List(dir)) {
      if (!e.directory) continue;
      EXPECT_TRUE(CarriesAsFileName(e.name)) << ToUtf8(e.name);
      const std::string path = Line(CopyOut(dir + std::u16string(u"\\") + e.name, services ? u"Start" : u"Debugger"), "Path");
      const std::string prefix = "\\" + ToUtf8(key) + "\\";
      ASSERT_EQ(prefix, path.substr(0, prefix.size()));
      byReal[FromUtf8(path.substr(prefix.size()))] = e.name;
    }
    for (const auto& s : subkeys) {
      SCOPED_TRACE(ToUtf8(s));
      ASSERT_EQ(1u, byReal.count(s));
      const std::u16string sub = dir + std::u16string(u"\\") + byReal.at(s);
      const auto inside = test::Names(List(sub));
      EXPECT_EQ(services ? 5u : 1u, inside.size());
      EXPECT_EQ(test::Ascii(u"\\" + key + u"\\" + s), Column(sub + (services ? u"\\Start" : u"\\Debugger"), 4));
      if (services) {
        std::int32_t result = -99;
        EXPECT_EQ(u"Start", EditThroughDialog(sub + u"\\Start", u"4", &result));
        EXPECT_EQ(FS_EXEC_OK, result);
        auto v = Reg::Get(RT_HKLM, WOW64_64, key + u"\\" + s, u"Start");
        ASSERT_TRUE(v);
        EXPECT_EQ((std::vector<std::uint8_t>{4, 0, 0, 0}), v->data);
      } else {
        // A file copied into the subkey directory writes into that subkey.
        test::Recorded().defaultAnswer = true;
        EXPECT_EQ(FS_FILE_OK, test::PutFile(u"C:\\Tools\\GlobalFlag.exe", sub + u"\\GlobalFlag.exe"));
        EXPECT_EQ(std::optional<std::u16string>(u"C:\\Tools\\GlobalFlag.exe"),
                  Reg::Text(RT_HKLM, WOW64_64, key + u"\\" + s, u"GlobalFlag"));
        EXPECT_EQ(KS_TRUE, Delete(sub + u"\\Debugger"));
        EXPECT_FALSE(Reg::Get(RT_HKLM, WOW64_64, key + u"\\" + s, u"Debugger"));
      }
    }
  }
}

}  // namespace
}  // namespace kestrow
