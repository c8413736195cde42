#include "model/listed_names.h"

#include <cstdint>

#include "model/command_files.h"
#include "model/names.h"

namespace kestrow {

namespace {

// Where a shortened form stops taking the name itself: room is left for the marker, the hash
// and a counter of up to ten digits.
constexpr std::size_t kShortenedPrefix = kMaxListedName - 2 - 16 - 11;

// Names that would read as something the listing or the host gives a meaning of its own.
bool Reserved(const std::u16string& real) {
  return real == u"." || real == u".." || CommandFileOf(real) != TCommandFile::None;
}

int HexValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// The listed form of one unit (or of a surrogate pair, which stays whole).
std::u16string Piece(const std::u16string& real, std::size_t& i) {
  std::u16string out;
  const char16_t c = real[i];
  if (IsEscapedInNames(c) || (i == 0 && c == u'.' && Reserved(real))) {
    AppendNameEscape(out, c);
  } else {
    out += c;
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < real.size() && real[i + 1] >= 0xDC00 && real[i + 1] <= 0xDFFF)
      out += real[++i];
  }
  ++i;
  return out;
}

std::u16string Hash(const std::u16string& real) {
  static const char16_t kHex[] = u"0123456789ABCDEF";
  // FNV-1a over the name's units: stable from one listing to the next, whatever else the
  // directory holds.
  std::uint64_t h = 0xCBF29CE484222325ull;
  for (char16_t c : real)
    for (unsigned b : {unsigned(c & 0xFF), unsigned(c >> 8)}) {
      h ^= b;
      h *= 0x100000001B3ull;
    }
  std::u16string out(16, u'0');
  for (int k = 15; k >= 0; --k, h >>= 4) out[static_cast<std::size_t>(k)] = kHex[h & 0xF];
  return out;
}

}  // namespace

bool NeedsListedForm(const std::u16string& real) {
  if (real.size() > kMaxListedName || Reserved(real)) return true;
  for (char16_t c : real)
    if (IsEscapedInNames(c)) return true;
  return false;
}

std::u16string ListedForm(const std::u16string& real) {
  if (!NeedsListedForm(real)) return real;
  std::u16string out;
  for (std::size_t i = 0; i < real.size();) out += Piece(real, i);
  if (out.size() <= kMaxListedName) return out;
  out.clear();
  for (std::size_t i = 0; i < real.size();) {
    const std::u16string piece = Piece(real, i);
    if (out.size() + piece.size() > kShortenedPrefix) break;
    out += piece;
  }
  return out + kNameEscape + u'~' + Hash(real);
}

bool IsShortenedForm(const std::u16string& listed) {
  return listed.find(std::u16string{kNameEscape, u'~'}) != std::u16string::npos;
}

std::u16string RealNameOf(const std::u16string& listed) {
  std::u16string real;
  for (std::size_t i = 0; i < listed.size(); ++i) {
    if (listed[i] == kNameEscape && i + 2 < listed.size() && HexValue(listed[i + 1]) >= 0 &&
        HexValue(listed[i + 2]) >= 0) {
      real += char16_t(HexValue(listed[i + 1]) * 16 + HexValue(listed[i + 2]));
      i += 2;
    } else {
      real += listed[i];
    }
  }
  return real;
}

}  // namespace kestrow
