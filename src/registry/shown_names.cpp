#include "registry/shown_names.h"

#include "platform/file_names.h"

namespace kestrow {

namespace {
const char16_t kHex[] = u"0123456789ABCDEF";
}  // namespace

bool IsEscapedInNames(char16_t c) { return IsInvalidInFileName(c) || c == 0x7F || c == kNameEscape; }

void AppendNameEscape(std::u16string& out, char16_t c) {
  out += kNameEscape;
  out += kHex[(c >> 4) & 0xF];
  out += kHex[c & 0xF];
}

std::u16string ShownName(const std::u16string& name) {
  if (!HoldsNul(name)) return name;
  std::u16string out;
  for (char16_t c : name) {
    if (IsEscapedInNames(c)) {
      AppendNameEscape(out, c);
    } else {
      out += c;
    }
  }
  return out;
}

std::u16string ShownPath(const std::u16string& path) {
  if (!HoldsNul(path)) return path;
  std::u16string out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = path.find(u'\\', start);
    out += ShownName(path.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start));
    if (end == std::u16string::npos) return out;
    out += u'\\';
    start = end + 1;
  }
}

}  // namespace kestrow
