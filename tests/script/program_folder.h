// The folder of the running program: the engine library is built next to the engine's test and
// benchmark.
#pragma once

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <limits.h>
#include <unistd.h>
#endif

namespace kestrow::test {

inline std::u16string ProgramFolder() {
#ifdef _WIN32
  wchar_t buf[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::u16string path(reinterpret_cast<const char16_t*>(buf), n);
  return path.substr(0, path.find_last_of(u"\\/"));
#else
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string path(buf, n > 0 ? std::size_t(n) : 0);
  path = path.substr(0, path.find_last_of('/'));
  return std::u16string(path.begin(), path.end());  // the build folder is ASCII
#endif
}

}  // namespace kestrow::test
