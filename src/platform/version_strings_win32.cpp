#include <windows.h>

#include <vector>

#include "platform/pe_version.h"

namespace kestrow::platform {

namespace {
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// A string of the version block by its query path; its text ends at its NUL or at the block's end.
std::u16string Query(const std::vector<std::uint8_t>& block, const std::u16string& path) {
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), W(path), &value, &length) || !value) return std::u16string();
  const auto* begin = static_cast<const std::uint8_t*>(value);
  const std::uint8_t* end = block.data() + block.size();
  if (begin < block.data() || begin >= end) return std::u16string();
  std::u16string text;
  for (const std::uint8_t* p = begin; end - p >= 2; p += 2) {
    const char16_t c = static_cast<char16_t>(p[0] | p[1] << 8);
    if (!c) break;
    text += c;
  }
  return text;
}
}  // namespace

std::optional<VersionStrings> ReadVersionStrings(const std::u16string& path) {
  const std::u16string file = PathPastRedirection(path);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(W(file), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<std::uint8_t> block(size);
  if (!GetFileVersionInfoW(W(file), 0, size, block.data())) return std::nullopt;

  // The first translation listed names the string table; without one, the first table there is.
  std::u16string table;
  void* value = nullptr;
  UINT length = 0;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &length) && value && length >= 4) {
    const auto* pair = static_cast<const WORD*>(value);
    wchar_t key[16];
    wsprintfW(key, L"%04x%04x", pair[0], pair[1]);
    table = reinterpret_cast<const char16_t*>(key);
    const std::u16string probe = u"\\StringFileInfo\\" + table;
    if (!VerQueryValueW(block.data(), W(probe), &value, &length)) table.clear();
  }
  if (table.empty()) table = FirstStringTableKey(block.data(), block.size());

  VersionStrings strings;
  if (table.empty()) return strings;
  const std::u16string prefix = u"\\StringFileInfo\\" + table + u"\\";
  strings.CompanyName = Query(block, prefix + u"CompanyName");
  strings.FileDescription = Query(block, prefix + u"FileDescription");
  return strings;
}

}  // namespace kestrow::platform
