// Loading a shared library by its full path and finding its functions.
#pragma once

#include <string>

namespace kestrow::platform {

// Shared libraries loaded by full path. LoaderFolder turns the plugin's folder into the form the
// loader takes (a POSIX path natively); JoinLoaderPath adds the separator and the file name;
// IsFullPath is true only for a path that names one file whatever the current drive and folder
// ("X:\..." or "\\server\..." on Windows, "/..." elsewhere). LoadLibraryByPath gives null and the
// reason when the library cannot be loaded; a library loaded natively stays in the process.
std::u16string LoaderFolder(const std::u16string& pluginFolder);
std::u16string JoinLoaderPath(const std::u16string& folder, const std::u16string& fileName);
bool IsFullPath(const std::u16string& path);
void* LoadLibraryByPath(const std::u16string& path, std::u16string* error);
void* LibrarySymbol(void* library, const char* name);
void FreeLibraryByHandle(void* library);

}  // namespace kestrow::platform
