#include "platform/environment.h"

#include "platform/platform.h"

namespace kestrow::platform {

namespace {
char16_t Fold(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

bool SameName(const std::u16string& a, const char16_t* b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return i == a.size() && !b[i];
}
}  // namespace

std::u16string ExpandReferences(const std::u16string& text,
                                const std::function<std::optional<std::u16string>(const std::u16string&)>& lookup) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] != u'%') {
      out += text[i++];
      continue;
    }
    const std::size_t close = text.find(u'%', i + 1);
    if (close == std::u16string::npos) {
      out.append(text, i, std::u16string::npos);
      break;
    }
    const std::u16string name = text.substr(i + 1, close - i - 1);
    std::optional<std::u16string> value;
    if (!name.empty()) value = lookup(name);
    if (value) {
      out += *value;
      i = close + 1;
    } else {
      out.append(text, i, close - i + 1);
      i = close + 1;
    }
  }
  return out;
}

// A 32-bit program on a 64-bit system sees ProgramFiles and CommonProgramFiles pointing at the
// "(x86)" folders; the system's own programs see the plain ones, which a 32-bit process reads
// from ProgramW6432 and CommonProgramW6432.
std::u16string VariableForWidth(const std::u16string& name, bool programs64, bool process64, bool system64) {
  if (!system64 || programs64 == process64) return name;
  struct Pair {
    const char16_t* name;
    const char16_t* for32;
    const char16_t* for64;
  };
  static const Pair pairs[] = {
      {u"ProgramFiles", u"ProgramFiles(x86)", u"ProgramW6432"},
      {u"CommonProgramFiles", u"CommonProgramFiles(x86)", u"CommonProgramW6432"},
  };
  for (const Pair& p : pairs)
    if (SameName(name, p.name)) return programs64 ? p.for64 : p.for32;
  return name;
}

std::u16string ExpandEnvironment(const std::u16string& text, Bitness programs) {
  const bool process64 = sizeof(void*) == 8;
  const bool system64 = Is64BitSystem();
  return ExpandReferences(text, [&](const std::u16string& name) {
    const std::u16string seen = VariableForWidth(name, programs == Bitness::Bits64, process64, system64);
    if (seen != name)
      if (auto v = GetEnv(seen)) return v;
    return GetEnv(name);
  });
}

std::vector<std::u16string> SearchPathFolders() {
  std::vector<std::u16string> folders;
  const std::u16string path = GetEnv(u"PATH").value_or(std::u16string());
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(u';', start);
    if (end == std::u16string::npos) end = path.size();
    std::u16string folder = path.substr(start, end - start);
    std::u16string bare;
    for (char16_t c : folder)
      if (c != u'"') bare += c;
    while (!bare.empty() && (bare.back() == u' ' || bare.back() == u'\t')) bare.pop_back();
    std::size_t lead = 0;
    while (lead < bare.size() && (bare[lead] == u' ' || bare[lead] == u'\t')) ++lead;
    bare.erase(0, lead);
    if (!bare.empty()) folders.push_back(bare);
    start = end + 1;
  }
  return folders;
}

}  // namespace kestrow::platform
