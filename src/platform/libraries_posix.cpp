// Shared libraries on Linux: dlopen by a POSIX path.
#include "platform/libraries.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "platform/text.h"

namespace kestrow::platform {

std::u16string LoaderFolder(const std::u16string& pluginFolder) {
  std::u16string p = pluginFolder;
  if (p.size() >= 2 && p[1] == u':') p = p.substr(2);
  for (auto& c : p)
    if (c == u'\\') c = u'/';
  return p;
}

std::u16string JoinLoaderPath(const std::u16string& folder, const std::u16string& fileName) {
  std::u16string path = folder;
  if (!path.empty() && path.back() != u'/') path += u'/';
  return path + fileName;
}

bool IsFullPath(const std::u16string& path) { return !path.empty() && path[0] == u'/'; }

void* LoadLibraryByPath(const std::u16string& path, std::u16string* error) {
  // The library stays in the process once loaded: the Free Pascal run-time library does not
  // survive being unloaded and loaded again on Linux (its per-thread iconv state is closed a
  // second time when a later thread ends). A library loaded before is found by its name even
  // after its file is gone, so the file is looked for first.
  const std::string file = ToUtf8(path);
  struct stat st;
  if (stat(file.c_str(), &st) != 0) {
    *error = u"no such file";
    return nullptr;
  }
  void* module = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (module == nullptr) {
    const char* why = dlerror();
    *error = FromUtf8(why ? why : "unknown error");
  }
  return module;
}

void* LibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

void FreeLibraryByHandle(void* library) { dlclose(library); }

}  // namespace kestrow::platform
