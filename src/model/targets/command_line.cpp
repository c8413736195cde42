#include "model/targets/command_line.h"

#include "model/targets/path_text.h"

namespace kestrow {

namespace {
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
}  // namespace

std::vector<ProgramReading> ProgramReadings(const std::u16string& command, std::size_t most) {
  std::vector<ProgramReading> readings;
  std::size_t start = 0;
  while (start < command.size() && IsBlank(command[start])) ++start;
  if (start == command.size() || most == 0) return readings;
  if (command[start] == u'"') {
    const std::size_t close = command.find(u'"', start + 1);
    if (close != std::u16string::npos) {
      readings.push_back({command.substr(start + 1, close - start - 1), command.substr(close + 1)});
      return readings;
    }
    ++start;  // a quote that is not closed: the rest is read as if it had none
  }
  const std::u16string line = Trimmed(command.substr(start));
  if (line.empty()) return readings;
  for (std::size_t i = 1; i < line.size() && readings.size() + 1 < most; ++i)
    if (IsBlank(line[i]) && !IsBlank(line[i - 1])) readings.push_back({line.substr(0, i), line.substr(i)});
  readings.push_back({line, std::u16string()});
  return readings;
}

std::vector<std::u16string> SplitArguments(const std::u16string& text) {
  std::vector<std::u16string> args;
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i == text.size()) break;
    std::u16string arg;
    bool quoted = false;
    while (i < text.size() && (quoted || !IsBlank(text[i]))) {
      if (text[i] == u'\\') {
        std::size_t n = 0;
        while (i < text.size() && text[i] == u'\\') ++n, ++i;
        if (i < text.size() && text[i] == u'"') {
          arg.append(n / 2, u'\\');
          if (n % 2) {
            arg += u'"';
            ++i;
          }
        } else {
          arg.append(n, u'\\');
        }
        continue;
      }
      if (text[i] == u'"') {
        // Inside quotes, a doubled quote is a quote and the quotes stay open.
        if (quoted && i + 1 < text.size() && text[i + 1] == u'"') {
          arg += u'"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += text[i++];
    }
    args.push_back(arg);
  }
  return args;
}

std::vector<std::u16string> SplitList(const std::u16string& text, const std::u16string& separators, bool quotesGroup) {
  std::vector<std::u16string> parts;
  std::u16string part;
  bool quoted = false;
  for (char16_t c : text) {
    if (quotesGroup && c == u'"') quoted = !quoted;
    if (!quoted && separators.find(c) != std::u16string::npos) {
      part = Trimmed(part);
      if (!part.empty()) parts.push_back(part);
      part.clear();
      continue;
    }
    part += c;
  }
  part = Trimmed(part);
  if (!part.empty()) parts.push_back(part);
  return parts;
}

}  // namespace kestrow
