#include <gtest/gtest.h>

#include "registry/comma_text.h"

namespace kestrow {
namespace {

using L = TStringList;

TEST(CommaText, Join) {
  struct Case {
    L list;
    std::u16string text;
  } cases[] = {
      {{}, u""},
      {{u""}, u"\"\""},
      {{u"a", u"b"}, u"a,b"},
      {{u"a", u"", u"b"}, u"a,,b"},
      {{u"C:\\Program Files\\x.exe"}, u"\"C:\\Program Files\\x.exe\""},
      {{u"say \"hi\""}, u"\"say \"\"hi\"\"\""},
      {{u"a,b"}, u"\"a,b\""},
      {{u"tab\there"}, u"\"tab\there\""},
      {{u"", u""}, u","},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, JoinCommaText(c.list));
}

TEST(CommaText, Split) {
  struct Case {
    std::u16string text;
    L list;
  } cases[] = {
      {u"", {}},
      {u"   ", {}},
      {u"\"\"", {u""}},
      {u"a,", {u"a", u""}},
      {u"a,,b", {u"a", u"", u"b"}},
      {u"C:\\Program Files\\x.exe", {u"C:\\Program", u"Files\\x.exe"}},
      {u"\"C:\\Program Files\\x.exe\"", {u"C:\\Program Files\\x.exe"}},
      {u"  a , b", {u"a", u"b"}},
      {u"\"unclosed", {u"unclosed"}},
      {u"\"a\"\"b\"", {u"a\"b"}},
      {u"a, ", {u"a"}},
      {std::u16string(u"a\0b", 3), {u"a"}},  // the text ends at a NUL
  };
  for (const auto& c : cases) EXPECT_EQ(c.list, SplitCommaText(c.text));
}

TEST(CommaText, ListsSurviveARoundTrip) {
  const L lists[] = {{}, {u""}, {u"", u""}, {u"a", u"", u"b", u""}, {u"x y", u"\"q\"", u",", u" "}};
  for (const auto& l : lists) EXPECT_EQ(l, SplitCommaText(JoinCommaText(l)));
}

}  // namespace
}  // namespace kestrow
