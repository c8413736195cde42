// Linux only: a Windows path as the Linux stand-ins open it ("C:\dir\file" is "/dir/file").
#pragma once

#include <string>

namespace kestrow::platform {

// The drive is dropped and backslashes become slashes.
std::string NativePath(const std::u16string& path);

}  // namespace kestrow::platform
