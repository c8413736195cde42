#include "model/integer_text.h"

namespace kestrow {

namespace {
int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}
}  // namespace

std::int32_t IntegerFromText(const std::u16string& text, std::int32_t def) {
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == u' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  bool hex = false;
  if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return def;
  std::uint64_t v = 0;
  for (; i < n; ++i) {
    int d = hex ? HexDigit(text[i]) : (text[i] >= u'0' && text[i] <= u'9' ? text[i] - u'0' : -1);
    if (d < 0) return def;
    v = v * (hex ? 16u : 10u) + static_cast<unsigned>(d);
    if (v > 0xFFFFFFFFull) return def;
  }
  if (hex) {
    const auto pattern = static_cast<std::uint32_t>(v);
    const std::uint32_t result = negative ? 0u - pattern : pattern;
    return static_cast<std::int32_t>(result);
  }
  if (negative ? v > 2147483648ull : v > 2147483647ull) return def;
  const std::int64_t signedValue = negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
  return static_cast<std::int32_t>(signedValue);
}

}  // namespace kestrow
