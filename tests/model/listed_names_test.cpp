// The listed form of names the host cannot carry: what the README shows, and that every form
// that is not shortened reads back to its name; and how the texts show names holding a NUL.
#include <gtest/gtest.h>

#include <random>

#include "model/listed_names.h"
#include "model/names.h"

namespace kestrow {
namespace {

TEST(ListedNames, TheFormsTheReadmeShows) {
  struct Case {
    std::u16string real, listed;
  } cases[] = {
      {u"Tool", u"Tool"},
      {u"Plain name.exe", u"Plain name.exe"},
      {u"C:\\acc\\tool.exe", u"C^3A^5Cacc^5Ctool.exe"},
      {u"a/b*c?d\"e<f>g|h", u"a^2Fb^2Ac^3Fd^22e^3Cf^3Eg^7Ch"},
      {u"tab\there", u"tab^09here"},
      {std::u16string(u"nul\0in", 6), u"nul^00in"},
      {u"del\x7F", u"del^7F"},
      {u"caret^", u"caret^5E"},
      {u".ADD", u"^2EADD"},
      {u".restore", u"^2Erestore"},
      {u".", u"^2E"},
      {u"..", u"^2E."},
      {u".profile", u".profile"},
      {u"...", u"..."},
      {std::u16string(259, u'n'), std::u16string(259, u'n')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.listed, ListedForm(c.real));
    EXPECT_EQ(c.real != c.listed, NeedsListedForm(c.real));
    EXPECT_FALSE(IsShortenedForm(c.listed));
    EXPECT_EQ(c.real, RealNameOf(c.listed));
  }
}

TEST(ListedNames, LongNamesAreShortenedStablyAndDistinctly) {
  const std::u16string a(300, u'n'), b = std::u16string(299, u'n') + u"m";
  for (const auto& real : {a, b, std::u16string(87, u':'), std::u16string(260, u'x')}) {
    const std::u16string listed = ListedForm(real);
    EXPECT_LE(listed.size(), kMaxListedName);
    EXPECT_TRUE(IsShortenedForm(listed));
    EXPECT_EQ(listed, ListedForm(real)) << "the same name gives the same form every time";
  }
  EXPECT_NE(ListedForm(a), ListedForm(b));
  EXPECT_EQ(std::u16string(200, u'n'), ListedForm(a).substr(0, 200));
}

TEST(ListedNames, RandomNamesReadBackAndNeverHoldWhatTheHostCannotCarry) {
  // Names drawn mostly from the characters the form is about.
  const std::u16string alphabet = u"\\/:*?\"<>|^~.aB0 \t\n\x01\x1F\x7F\u00E4\u20AC\xD83D\xDE00";
  std::mt19937 random(20261210);
  for (int round = 0; round < 20000; ++round) {
    std::u16string real(random() % 12, u'x');
    for (auto& c : real) c = alphabet[random() % alphabet.size()];
    const std::u16string listed = ListedForm(real);
    ASSERT_LE(listed.size(), kMaxListedName);
    for (char16_t c : listed) ASSERT_TRUE(c >= 0x20 && c != 0x7F && std::u16string(u"\\/:*?\"<>|").find(c) == std::u16string::npos);
    ASSERT_NE(u".", listed);
    ASSERT_NE(u"..", listed);
    ASSERT_FALSE(SameName(listed, u".ADD") || SameName(listed, u".SAVE") || SameName(listed, u".RESTORE"));
    ASSERT_EQ(real, RealNameOf(listed));
  }
}

// The texts show a name holding a NUL as the listing gives it, whole however long, and every other
// name and path as it is.
TEST(ShownNames, OnlyNamesHoldingANulAreShownEscaped) {
  const std::u16string nul(1, u'\0');
  struct Case {
    std::u16string real, shown;
  } names[] = {
      {u"Tool", u"Tool"},
      {u"C:\\acc\\tool.exe", u"C:\\acc\\tool.exe"},
      {u"tab\there^", u"tab\there^"},
      {u"", u""},
      {u"Acc" + nul + u"Hidden", u"Acc^00Hidden"},
      {nul + u"Lead", u"^00Lead"},
      {nul, u"^00"},
      {u"C:" + nul + u"\\x^.exe\t", u"C^3A^00^5Cx^5E.exe^09"},
      {std::u16string(300, u'n') + nul, std::u16string(300, u'n') + u"^00"},
  };
  for (const auto& c : names) {
    EXPECT_EQ(c.shown, ShownName(c.real));
    if (c.real.find(u'\0') != std::u16string::npos && c.shown.size() <= kMaxListedName) {
      EXPECT_EQ(ListedForm(c.real), c.shown);
    }
  }
  struct PathCase {
    std::u16string real, shown;
  } paths[] = {
      {u"\\SYSTEM\\Services\\x:y", u"\\SYSTEM\\Services\\x:y"},
      {u"\\SYSTEM\\Services\\AAA" + nul + u"Nul", u"\\SYSTEM\\Services\\AAA^00Nul"},
      {u"Software\\K" + nul + u"\\a:b\\" + nul + u"|", u"Software\\K^00\\a:b\\^00^7C"},
      {u"\\" + nul + u"\\", u"\\^00\\"},
  };
  for (const auto& c : paths) EXPECT_EQ(c.shown, ShownPath(c.real));
}

}  // namespace
}  // namespace kestrow
