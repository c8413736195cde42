#include "model/names.h"

#include "platform/file_names.h"

namespace kestrow {

namespace {
char16_t Fold(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - (u'a' - u'A')) : c; }
std::u16string::size_type LastSeparator(const std::u16string& path) { return path.find_last_of(kPathSeparators); }
}  // namespace

std::u16string FoldedName(std::u16string name) {
  for (auto& c : name) c = Fold(c);
  return name;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (std::u16string::size_type i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(b[i])) return false;
  return true;
}

std::u16string NamePart(const std::u16string& path) {
  auto p = LastSeparator(path);
  return p == std::u16string::npos ? path : path.substr(p + 1);
}

std::u16string DirectoryPart(const std::u16string& path) {
  auto p = LastSeparator(path);
  if (p == std::u16string::npos) return std::u16string();
  std::u16string dir = path.substr(0, p + 1);
  if (dir.back() == u'\\' && dir.size() > 1 && !IsPathSeparator(dir[dir.size() - 2])) dir.pop_back();
  return dir;
}

std::u16string FolderPart(const std::u16string& fileName) {
  auto p = LastSeparator(fileName);
  return p == std::u16string::npos ? std::u16string() : fileName.substr(0, p + 1);
}

std::u16string WithTrailingBackslash(std::u16string folder) {
  if (folder.empty() || folder.back() != u'\\') folder += u'\\';
  return folder;
}

}  // namespace kestrow
