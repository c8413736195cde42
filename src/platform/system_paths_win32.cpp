#include <windows.h>

#include <vector>

#include "platform/platform.h"

namespace kestrow::platform {

namespace {
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// A folder the system reports through a call of the GetSystemDirectoryW kind, whatever its length.
template <typename Call>
std::u16string FolderFrom(Call call) {
  std::vector<wchar_t> buf(MAX_PATH + 1);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const UINT n = call(buf.data(), static_cast<UINT>(buf.size()));
    if (n == 0) return std::u16string();
    if (n < buf.size()) {
      std::u16string folder(reinterpret_cast<const char16_t*>(buf.data()), n);
      while (folder.size() > 3 && folder.back() == u'\\') folder.pop_back();
      return folder;
    }
    buf.resize(n + 1);
  }
  return std::u16string();
}

bool ProcessIsWow64() {
  static const bool wow64 = [] {
    BOOL result = FALSE;
    return IsWow64Process(GetCurrentProcess(), &result) && result;
  }();
  return wow64;
}

char16_t Fold(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

// True when text begins with prefix, letters a to z in either case, "/" as "\".
bool StartsWithPath(const std::u16string& text, const std::u16string& prefix) {
  if (prefix.size() > text.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char16_t a = text[i] == u'/' ? u'\\' : text[i];
    char16_t b = prefix[i] == u'/' ? u'\\' : prefix[i];
    if (Fold(a) != Fold(b)) return false;
  }
  return true;
}
}  // namespace

std::u16string WindowsFolder() {
  static const std::u16string folder = FolderFrom([](wchar_t* b, UINT n) { return GetSystemWindowsDirectoryW(b, n); });
  return folder;
}

std::u16string SystemFolder(Bitness programs) {
  static const std::u16string native = FolderFrom([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); });
  static const std::u16string wow = FolderFrom([](wchar_t* b, UINT n) { return GetSystemWow64DirectoryW(b, n); });
  return programs == Bitness::Bits32 && Is64BitSystem() && !wow.empty() ? wow : native;
}

bool Is64BitSystem() {
#ifdef _WIN64
  return true;
#else
  return ProcessIsWow64();
#endif
}

// Through "Sysnative" a 32-bit process reaches the real System32, the subfolders the redirector
// leaves alone included.
std::u16string PathPastRedirection(const std::u16string& path) {
  if (!ProcessIsWow64()) return path;
  const std::u16string system = SystemFolder(Bitness::Bits64);
  if (system.empty() || !StartsWithPath(path, system)) return path;
  const std::u16string rest = path.substr(system.size());
  if (!rest.empty() && rest[0] != u'\\' && rest[0] != u'/') return path;
  return WindowsFolder() + u"\\Sysnative" + rest;
}

PathKind KindOfPath(const std::u16string& path) {
  if (path.empty()) return PathKind::None;
  const DWORD a = GetFileAttributesW(W(PathPastRedirection(path)));
  if (a == INVALID_FILE_ATTRIBUTES) return PathKind::None;
  return (a & FILE_ATTRIBUTE_DIRECTORY) ? PathKind::Folder : PathKind::File;
}

}  // namespace kestrow::platform
