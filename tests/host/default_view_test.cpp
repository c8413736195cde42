// The column view the host asks for when the user enters the drive, through both exports: it
// names only the plugin's own fields, in the host's syntax, and never writes past the buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "support/plugin_under_test.h"

namespace kestrow {
namespace {

using test::Exports;

struct View {
  KS_BOOL result = KS_FALSE;
  std::string contents, headers, widths, options;
};

// Four buffers of maxlen characters, with eight guard characters after each.
template <typename C>
struct Buffers {
  explicit Buffers(std::int32_t maxlen) : size(static_cast<std::size_t>(maxlen > 0 ? maxlen : 0)) {
    for (auto& b : b4) b.assign(size + 8, C('x'));
  }
  std::size_t size;
  std::vector<C> b4[4];
  static std::string Text(const std::vector<C>& b) {
    std::string s;
    for (std::size_t i = 0; i < b.size() && b[i] != C(0); ++i) {
      EXPECT_LT(static_cast<unsigned>(b[i]), 128u);
      s += static_cast<char>(b[i]);
    }
    return s;
  }
};

template <typename C>
View Call(KS_BOOL(KS_STDCALL* fn)(C*, C*, C*, C*, std::int32_t), std::int32_t maxlen, Buffers<C>& b) {
  View v;
  v.result = fn(b.b4[0].data(), b.b4[1].data(), b.b4[2].data(), b.b4[3].data(), maxlen);
  // Nothing at or after maxlen is touched.
  for (const auto& buf : b.b4)
    for (std::size_t i = b.size; i < buf.size(); ++i) EXPECT_EQ(C('x'), buf[i]) << "maxlen " << maxlen << " at " << i;
  if (v.result) {
    v.contents = Buffers<C>::Text(b.b4[0]);
    v.headers = Buffers<C>::Text(b.b4[1]);
    v.widths = Buffers<C>::Text(b.b4[2]);
    v.options = Buffers<C>::Text(b.b4[3]);
  }
  return v;
}

View WideView(std::int32_t maxlen = 1024) {
  Buffers<KS_WCHAR> b(maxlen);
  return Call(Exports().FsContentGetDefaultViewW, maxlen, b);
}

View AnsiView(std::int32_t maxlen = 1024) {
  Buffers<char> b(maxlen);
  return Call(Exports().FsContentGetDefaultView, maxlen, b);
}

// Columns are separated by the two characters backslash and n.
std::vector<std::string> Split(const std::string& s, const std::string& sep) {
  std::vector<std::string> out;
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = s.find(sep, from);
    out.push_back(s.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) return out;
    from = at + sep.size();
  }
}

bool IsInteger(const std::string& s) {
  if (s.empty()) return false;
  char* end = nullptr;
  std::strtol(s.c_str(), &end, 10);
  return *end == '\0';
}

std::set<std::string> SupportedFields() {
  std::set<std::string> names;
  char name[64], units[4];
  for (std::int32_t i = 0; Exports().FsContentGetSupportedField(i, name, units, sizeof name) != ft_nomorefields; ++i)
    names.insert(name);
  return names;
}

TEST(DefaultView, BothExportsGiveOneWellFormedViewOfTheOfferedFields) {
  ASSERT_NE(nullptr, Exports().FsContentGetDefaultViewW);
  ASSERT_NE(nullptr, Exports().FsContentGetDefaultView);
  const View v = WideView();
  ASSERT_TRUE(v.result);
  const View a = AnsiView();
  ASSERT_TRUE(a.result);
  EXPECT_EQ(v.contents, a.contents);
  EXPECT_EQ(v.headers, a.headers);
  EXPECT_EQ(v.widths, a.widths);
  EXPECT_EQ(v.options, a.options);

  for (const std::string* s : {&v.contents, &v.headers, &v.widths, &v.options})
    EXPECT_EQ(std::string::npos, s->find_first_of("\r\n")) << *s;

  const std::set<std::string> offered = SupportedFields();
  ASSERT_EQ(13u, offered.size());
  std::vector<std::string> fields;
  for (const std::string& f : Split(v.contents, "\\n")) {
    const std::string prefix = "[=<fs>.";
    ASSERT_EQ(0u, f.rfind(prefix, 0)) << f;
    ASSERT_EQ(']', f.back()) << f;
    const std::string name = f.substr(prefix.size(), f.size() - prefix.size() - 1);
    EXPECT_EQ(1u, offered.count(name)) << name;
    fields.push_back(name);
  }
  EXPECT_EQ(fields.size(), std::set<std::string>(fields.begin(), fields.end()).size()) << v.contents;
  // Whether the target is there, first, so that a missing one stands out; then what starts and
  // who made it; the date; and the stored value and the key it starts from.
  EXPECT_EQ((std::vector<std::string>{"Target state", "Target", "Publisher", "Changed", "State", "Value", "Address"}),
            fields);

  const std::vector<std::string> headers = Split(v.headers, "\\n");
  ASSERT_EQ(fields.size(), headers.size()) << v.headers;
  for (const auto& h : headers) EXPECT_FALSE(h.empty()) << v.headers;

  // Name and extension, then one per field; none zero, so every column shows.
  const std::vector<std::string> widths = Split(v.widths, ",");
  ASSERT_EQ(fields.size() + 2, widths.size()) << v.widths;
  for (const auto& w : widths) {
    ASSERT_TRUE(IsInteger(w)) << v.widths;
    EXPECT_NE(0, std::atoi(w.c_str())) << v.widths;
  }

  const std::vector<std::string> options = Split(v.options, "|");
  ASSERT_EQ(2u, options.size()) << v.options;
  ASSERT_TRUE(IsInteger(options[0])) << v.options;
  const int adjust = std::atoi(options[0].c_str());
  EXPECT_TRUE(adjust == -1 || (adjust >= 0 && adjust < static_cast<int>(widths.size()))) << v.options;
  EXPECT_TRUE(options[1] == "0" || options[1] == "1") << v.options;
}

TEST(DefaultView, SmallBuffersAreNeverOverrunAndRefused) {
  const View full = WideView();
  ASSERT_TRUE(full.result);
  std::size_t longest = 0;
  for (const std::string* s : {&full.contents, &full.headers, &full.widths, &full.options})
    longest = std::max(longest, s->size());
  const auto L = static_cast<std::int32_t>(longest);
  struct Case {
    std::int32_t maxlen;
    bool fits;
  } cases[] = {{-1, false}, {0, false}, {1, false}, {10, false},  // 10: inside "[=<fs>.Target state]"
               {L, false},  // the text fills the buffer, its NUL does not fit
               {L + 1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE("maxlen " + std::to_string(c.maxlen));
    for (bool wide : {true, false}) {
      SCOPED_TRACE(wide ? "wide" : "ansi");
      Buffers<KS_WCHAR> bw(c.maxlen);
      Buffers<char> ba(c.maxlen);
      const View v = wide ? Call(Exports().FsContentGetDefaultViewW, c.maxlen, bw)
                          : Call(Exports().FsContentGetDefaultView, c.maxlen, ba);
      EXPECT_EQ(c.fits, v.result != KS_FALSE);
      if (c.fits) {
        EXPECT_EQ(full.contents, v.contents);
        EXPECT_EQ(full.headers, v.headers);
        EXPECT_EQ(full.widths, v.widths);
        EXPECT_EQ(full.options, v.options);
      } else {
        // A refused view leaves empty texts, not the beginning of one; a buffer of no
        // characters is not touched at all.
        for (int i = 0; i < 4; ++i) {
          const int first = wide ? static_cast<int>(bw.b4[i][0]) : static_cast<int>(ba.b4[i][0]);
          EXPECT_EQ(c.maxlen >= 1 ? 0 : 'x', first);
        }
      }
    }
  }
}

TEST(DefaultView, MissingBuffersAreRefused) {
  KS_WCHAR w[3][256];
  char a[3][256];
  EXPECT_FALSE(Exports().FsContentGetDefaultViewW(nullptr, w[0], w[1], w[2], 256));
  EXPECT_FALSE(Exports().FsContentGetDefaultViewW(w[0], w[1], w[2], nullptr, 256));
  EXPECT_FALSE(Exports().FsContentGetDefaultView(a[0], nullptr, a[1], a[2], 256));
  EXPECT_FALSE(Exports().FsContentGetDefaultView(a[0], a[1], nullptr, a[2], 256));
}

}  // namespace
}  // namespace kestrow
