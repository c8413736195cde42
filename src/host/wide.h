// Conversions between the host's character type and the core's text.
#pragma once

#include <string>

#include "host/fsplugin.h"

namespace kestrow {

inline std::u16string FromHost(const KS_WCHAR* s) {
  if (!s) return std::u16string();
  std::u16string out;
  while (*s) out += static_cast<char16_t>(*s++);
  return out;
}

}  // namespace kestrow
