#include "script/script_text.h"

#include "platform/platform.h"
#include "platform/text.h"

namespace kestrow {

std::u16string ScriptTextFromBytes(const std::string& bytes) {
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() >= 3 && at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return FromUtf8(bytes.substr(3));
  if (bytes.size() >= 2 && ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF))) {
    const bool little = at(0) == 0xFF;
    std::u16string text;
    text.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2)
      text += little ? char16_t(at(i) | (at(i + 1) << 8)) : char16_t((at(i) << 8) | at(i + 1));
    return text;
  }
  return platform::FromAnsi(bytes);
}

}  // namespace kestrow
