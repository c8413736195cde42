#include "platform/text.h"

#include <cstdint>

namespace kestrow {

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::uint32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (std::uint32_t(text[i + 1]) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += char(0xC0 | (c >> 6));
      out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += char(0xE0 | (c >> 12));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    } else {
      out += char(0xF0 | (c >> 18));
      out += char(0x80 | ((c >> 12) & 0x3F));
      out += char(0x80 | ((c >> 6) & 0x3F));
      out += char(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::u16string FromUtf8(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    std::uint32_t c = 0xFFFD;
    std::size_t len = 1;
    if (b < 0x80) {
      c = b;
    } else if ((b >> 5) == 6 || (b >> 4) == 14 || (b >> 3) == 30) {
      len = (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : 4;
      std::uint32_t v = b & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
      bool ok = i + len <= n;
      for (std::size_t k = 1; ok && k < len; ++k) {
        const unsigned char t = static_cast<unsigned char>(text[i + k]);
        if ((t >> 6) != 2) ok = false;
        v = (v << 6) | (t & 0x3F);
      }
      const std::uint32_t minimum = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
      if (ok && v >= minimum && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
        c = v;
      } else {
        len = 1;
      }
    }
    i += len;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += char16_t(0xD800 + (c >> 10));
      out += char16_t(0xDC00 + (c & 0x3FF));
    } else {
      out += char16_t(c);
    }
  }
  return out;
}

std::u16string CutUtf16(const std::u16string& text, std::size_t max) {
  if (text.size() <= max) return text;
  std::size_t n = max;
  if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
  return text.substr(0, n);
}

}  // namespace kestrow
