// Windows path text as the resolver reads it: letters a to z compare in either case, "/" stands
// for "\".
#pragma once

#include <string>

namespace kestrow {

bool SameFolded(const std::u16string& a, const std::u16string& b);
// True when text begins with prefix.
bool StartsFolded(const std::u16string& text, const std::u16string& prefix);
// The text without the spaces and tabs around it.
std::u16string Trimmed(const std::u16string& text);
// The last part of the path: what follows its last "\", "/" or drive colon.
std::u16string FileNameOf(const std::u16string& path);
// True when the last part holds a dot ("tool.exe", "run."), false for "tool".
bool HasExtension(const std::u16string& path);
// True for a path from a drive's root ("C:\..."), a share ("\\server\...") or the current
// drive's root ("\...").
bool IsRooted(const std::u16string& path);
// True when the path has a folder part ("sub\tool.exe"), false for a bare name.
bool HasFolder(const std::u16string& path);
// The folder and the name joined by one "\".
std::u16string JoinPath(const std::u16string& folder, const std::u16string& name);

}  // namespace kestrow
