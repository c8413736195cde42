// Shared libraries on Windows: LoadLibraryW by full path.
#include <windows.h>

#include <string>

#include "platform/libraries.h"

namespace kestrow::platform {

std::u16string LoaderFolder(const std::u16string& pluginFolder) { return pluginFolder; }

std::u16string JoinLoaderPath(const std::u16string& folder, const std::u16string& fileName) {
  std::u16string path = folder;
  if (!path.empty() && path.back() != u'\\' && path.back() != u'/') path += u'\\';
  return path + fileName;
}

bool IsFullPath(const std::u16string& path) {
  auto separator = [](char16_t c) { return c == u'\\' || c == u'/'; };
  const bool letter = path.size() >= 3 && ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
  if (letter && path[1] == u':' && separator(path[2])) return true;
  return path.size() >= 3 && separator(path[0]) && separator(path[1]) && !separator(path[2]);
}

void* LoadLibraryByPath(const std::u16string& path, std::u16string* error) {
  HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(path.c_str()));
  if (module == nullptr) {
    const std::string code = std::to_string(GetLastError());
    *error = u"error " + std::u16string(code.begin(), code.end());
  }
  return reinterpret_cast<void*>(module);
}

void* LibrarySymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void FreeLibraryByHandle(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

}  // namespace kestrow::platform
