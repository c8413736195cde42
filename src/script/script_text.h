// The text of a script file: a byte-order mark selects UTF-8, UTF-16 LE or UTF-16 BE; without
// one the bytes are in the system's ANSI code page.
#pragma once

#include <string>

namespace kestrow {

std::u16string ScriptTextFromBytes(const std::string& bytes);

}  // namespace kestrow
