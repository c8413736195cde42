// Command lines taken apart: the readings of a program path and the argument rules of the C
// runtime, with the documented examples.
#include <gtest/gtest.h>

#include "model/targets/command_line.h"
#include "platform/text.h"

namespace kestrow::test {
namespace {

std::string Joined(const std::vector<std::u16string>& parts) {
  std::string s;
  for (const auto& p : parts) s += "[" + ToUtf8(p) + "]";
  return s;
}

TEST(CommandLines, ReadingsOfTheProgramPath) {
  struct Case {
    const char16_t* line;
    std::size_t most;
    const char* readings;  // each reading as [path|rest]
  };
  const Case cases[] = {
      {u"\"C:\\A B\\x.exe\" /s", 32, "[C:\\A B\\x.exe| /s]"},
      {u"  \"C:\\A B\\x.exe", 32, "[C:\\A| B\\x.exe][C:\\A B\\x.exe|]"},
      {u"\"", 32, ""},
      {u"C:\\A B\\x.exe /s", 32, "[C:\\A| B\\x.exe /s][C:\\A B\\x.exe| /s][C:\\A B\\x.exe /s|]"},
      {u" x.exe \t y  ", 32, "[x.exe| \t y][x.exe \t y|]"},
      {u"a b c d e", 3, "[a| b c d e][a b| c d e][a b c d e|]"},
      {u"a b", 1, "[a b|]"},
      {u"   ", 32, ""},
      {u"", 32, ""},
  };
  for (const Case& c : cases) {
    std::string got;
    for (const ProgramReading& r : ProgramReadings(c.line, c.most)) got += "[" + ToUtf8(r.path) + "|" + ToUtf8(r.rest) + "]";
    EXPECT_EQ(c.readings, got) << ToUtf8(c.line);
  }
}

TEST(CommandLines, ArgumentsFollowTheRuntimeRules) {
  struct Case {
    const char16_t* line;
    const char* args;
  };
  const Case cases[] = {
      {u"\"a b c\" d e", "[a b c][d][e]"},
      {u"\"ab\\\"c\" \"\\\\\" d", "[ab\"c][\\][d]"},
      {u"a\\\\\\b d\"e f\"g h", "[a\\\\\\b][de fg][h]"},
      {u"a\\\\\\\"b c d", "[a\\\"b][c][d]"},
      {u"a\\\\\\\\\"b c\" d e", "[a\\\\b c][d][e]"},
      {u"a\"b\"\" c d", "[ab\" c d]"},
      {u"/i:\"x y\" -s\tlast", "[/i:x y][-s][last]"},
      {u"\"\"", "[]"},
      {u"  ", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.args, Joined(SplitArguments(c.line))) << ToUtf8(c.line);
}

TEST(CommandLines, Lists) {
  EXPECT_EQ("[a.exe][\"b, c.exe\" /x][d]", Joined(SplitList(u" a.exe,\"b, c.exe\" /x,, d ,", u",", true)));
  EXPECT_EQ("[\"b][c.exe\"]", Joined(SplitList(u"\"b, c.exe\"", u",", false)));
  EXPECT_EQ("[a][b][c]", Joined(SplitList(u"a b,c\t", u" ,\t", false)));
  EXPECT_EQ("", Joined(SplitList(u" , ", u",", true)));
}

}  // namespace
}  // namespace kestrow::test
