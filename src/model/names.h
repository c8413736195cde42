// The name rule and the path-part rule of the virtual drive.
#pragma once

#include <string>

namespace kestrow {

// Equal when of the same length and equal after folding "a".."z" to "A".."Z" (nothing else folds).
bool SameName(const std::u16string& a, const std::u16string& b);
// The name with "a".."z" folded to "A".."Z": names the rule above finds equal fold alike.
std::u16string FoldedName(std::u16string name);

// Text after the last path separator, "\" or ":" (the whole text when there is none).
std::u16string NamePart(const std::u16string& path);

// Text up to and including the last separator; a final "\" is dropped unless it is the first
// character or follows another separator.
std::u16string DirectoryPart(const std::u16string& path);

// Folder part of a file name: up to and including the last "\" or ":".
std::u16string FolderPart(const std::u16string& fileName);
// The folder ending in "\": one is added when it has none (to an empty folder too).
std::u16string WithTrailingBackslash(std::u16string folder);

}  // namespace kestrow
