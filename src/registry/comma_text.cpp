#include "registry/comma_text.h"

#include <algorithm>

namespace kestrow {

namespace {
bool Blank(char16_t c) { return c >= 1 && c <= 32; }

bool NeedsQuotes(const std::u16string& s) {
  for (char16_t c : s)
    if (Blank(c) || c == u',' || c == u'"') return true;
  return false;
}
}  // namespace

std::u16string JoinCommaText(const TStringList& list) {
  if (list.empty()) return std::u16string();
  if (list.size() == 1 && list[0].empty()) return u"\"\"";
  std::u16string out;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (i) out += u',';
    const std::u16string& s = list[i];
    if (!NeedsQuotes(s)) {
      out += s;
      continue;
    }
    out += u'"';
    for (char16_t c : s) {
      if (c == u'"') out += u'"';
      out += c;
    }
    out += u'"';
  }
  return out;
}

TStringList SplitCommaText(const std::u16string& text) {
  TStringList list;
  // The text ends at its first NUL.
  const std::size_t n = std::min(text.size(), text.find(u'\0'));
  std::size_t i = 0;
  while (i < n && Blank(text[i])) ++i;
  while (i < n) {
    std::u16string entry;
    if (text[i] == u'"') {
      ++i;
      while (i < n) {
        if (text[i] == u'"') {
          if (i + 1 < n && text[i + 1] == u'"') {
            entry += u'"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        entry += text[i++];
      }
    } else {
      while (i < n && text[i] != u',' && text[i] > 32) entry += text[i++];
    }
    list.push_back(std::move(entry));
    while (i < n && Blank(text[i])) ++i;
    if (i < n && text[i] == u',') {
      if (i + 1 == n) list.emplace_back();
      ++i;
      while (i < n && Blank(text[i])) ++i;
    }
  }
  return list;
}

}  // namespace kestrow
