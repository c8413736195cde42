// Command lines taken apart the way the programs that read them do.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace kestrow {

// A reading of the start of a command line as the program's path, and the arguments after it.
struct ProgramReading {
  std::u16string path;
  std::u16string rest;
};

// The readings the system tries in turn: for a quoted start the text in the quotes alone;
// otherwise each prefix that ends before a space or tab, shortest first, and then the whole line
// (an opening quote that is never closed is passed over). At most `most` readings: the whole line
// is always the last. None for a line of spaces.
std::vector<ProgramReading> ProgramReadings(const std::u16string& command, std::size_t most);

// The arguments of a command line by the rules of the C runtime's argument parsing: separated by
// spaces and tabs, quotes group and are dropped, backslashes before a quote halve.
std::vector<std::u16string> SplitArguments(const std::u16string& text);

// The parts of a list between any of the separators, trimmed, empty parts left out. With
// quotesGroup a separator inside double quotes separates nothing.
std::vector<std::u16string> SplitList(const std::u16string& text, const std::u16string& separators, bool quotesGroup);

}  // namespace kestrow
