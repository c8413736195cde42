#include "model/targets/path_text.h"

namespace kestrow {

namespace {
char16_t Fold(char16_t c) {
  if (c >= u'a' && c <= u'z') return char16_t(c - 32);
  return c == u'/' ? u'\\' : c;
}
bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }
}  // namespace

bool SameFolded(const std::u16string& a, const std::u16string& b) {
  return a.size() == b.size() && StartsFolded(a, b);
}

bool StartsFolded(const std::u16string& text, const std::u16string& prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i)
    if (Fold(text[i]) != Fold(prefix[i])) return false;
  return true;
}

std::u16string Trimmed(const std::u16string& text) {
  std::size_t first = 0, last = text.size();
  while (first < last && (text[first] == u' ' || text[first] == u'\t')) ++first;
  while (last > first && (text[last - 1] == u' ' || text[last - 1] == u'\t')) --last;
  return text.substr(first, last - first);
}

std::u16string FileNameOf(const std::u16string& path) {
  const std::size_t cut = path.find_last_of(u"\\/:");
  return cut == std::u16string::npos ? path : path.substr(cut + 1);
}

bool HasExtension(const std::u16string& path) { return FileNameOf(path).find(u'.') != std::u16string::npos; }

bool IsRooted(const std::u16string& path) {
  if (!path.empty() && IsSeparator(path[0])) return true;
  return path.size() >= 3 && path[1] == u':' && IsSeparator(path[2]);
}

bool HasFolder(const std::u16string& path) { return path.find_first_of(u"\\/:") != std::u16string::npos; }

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name) {
  if (folder.empty()) return name;
  return IsSeparator(folder.back()) ? folder + name : folder + u"\\" + name;
}

}  // namespace kestrow
