// UTF-8 and UTF-16 conversion for the portable core.
#pragma once

#include <string>

namespace kestrow {

std::string ToUtf8(const std::u16string& text);   // unpaired surrogates become U+FFFD
std::u16string FromUtf8(const std::string& text);  // invalid bytes become U+FFFD
// The text cut to at most max units, never between the halves of a surrogate pair.
std::u16string CutUtf16(const std::u16string& text, std::size_t max);

}  // namespace kestrow
