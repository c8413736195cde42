// What names and paths may hold, and how long a name may be: the file system's rules, which the
// drive's names follow (each entry is a file name to the host) and which local file names meet.
// Every rule about the characters or the length of a name is written here once.
#pragma once

#include <cstddef>
#include <string>

namespace kestrow {

// The longest file name: the find-data record that carries a listed name to the host holds 260
// units with the terminating NUL (MAX_PATH).
inline constexpr std::size_t kMaxFileName = 259;

// The separators of a path, on the drive and locally: "\" and the ":" after a drive letter.
inline constexpr const char16_t* kPathSeparators = u"\\:";
inline bool IsPathSeparator(char16_t c) { return c == u'\\' || c == u':'; }
// A file copied in is named by what follows the last of these in its remote name: the path
// separators and "/".
inline constexpr const char16_t* kCopiedNameSeparators = u"\\/:";

// Characters no path holds: the control characters, '"', "<", ">" and "|".
inline bool IsInvalidInPath(char16_t c) { return c < 0x20 || c == u'"' || c == u'<' || c == u'>' || c == u'|'; }
// The wildcards, which name no file: "*" and "?".
inline bool IsWildcard(char16_t c) { return c == u'*' || c == u'?'; }
// Characters no file name holds: those no path holds, the wildcards and the separators "\", "/"
// and ":".
inline bool IsInvalidInFileName(char16_t c) {
  return IsInvalidInPath(c) || IsWildcard(c) || c == u'\\' || c == u'/' || c == u':';
}

// True when the text holds a NUL: a registry name may, no file name and no text of the host does.
inline bool HoldsNul(const std::u16string& s) { return s.find(u'\0') != std::u16string::npos; }

}  // namespace kestrow
