// Comma text: one text that holds a list of strings.
#pragma once

#include <string>
#include <vector>

namespace kestrow {

using TStringList = std::vector<std::u16string>;

std::u16string JoinCommaText(const TStringList& list);
TStringList SplitCommaText(const std::u16string& text);

}  // namespace kestrow
