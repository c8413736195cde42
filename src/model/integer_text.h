// The integer text rule of value writing.
#pragma once

#include <cstdint>
#include <string>

namespace kestrow {

// Leading blanks, one optional sign, then decimal digits in the signed 32-bit range or "$", "x",
// "X", "0x", "0X" and hexadecimal digits that fit in 32 bits. Anything else gives the default.
std::int32_t IntegerFromText(const std::u16string& text, std::int32_t def = -1);

}  // namespace kestrow
