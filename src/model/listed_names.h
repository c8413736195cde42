// How an entry's name appears in the listing when the host cannot carry it as it is.
//
// Registry names may hold what no file name can: the path separators "\" and "/", ":", the
// wildcards "*" and "?", '"', "<", ">", "|" and control characters, and they may be far longer
// than the 259 units a listed name can have. Such a name is listed in a form of its own:
//  - each of those characters, and the escape character "^" itself, becomes "^" and its code in
//    two upper-case hexadecimal digits: "C:\acc\tool.exe" is listed as "C^3A^5Cacc^5Ctool.exe";
//  - a name that would read as "." or "..", or as one of the command files ".ADD", ".SAVE" and
//    ".RESTORE", has its first dot escaped: ".ADD" is listed as "^2EADD";
//  - a name whose listed form is longer than 259 units is shortened to the first part of that
//    form, "^~" and sixteen hexadecimal digits of a hash of the whole name; if two names of one
//    directory still come out alike, the later one gets "~2", "~3" and so on.
// Every other name is listed unchanged. "^" is rare in registry names, and where it occurs it is
// escaped too, so the form reads back without doubt. A name holding a NUL, which the registry
// allows, is listed like this too ("Acc^00Hidden"), and the texts show it so (registry/shown_names.h).
#pragma once

#include <string>

#include "platform/file_names.h"
#include "registry/shown_names.h"

namespace kestrow {

// The longest listed name: the longest file name.
inline constexpr std::size_t kMaxListedName = kMaxFileName;

// True when the name is not listed as it is.
bool NeedsListedForm(const std::u16string& real);
// The listed form of a name, before a counter makes shortened forms unique in their directory.
std::u16string ListedForm(const std::u16string& real);
// True for a shortened form: the real name cannot be read back from it, only found.
bool IsShortenedForm(const std::u16string& listed);
// The name a listed form that is not shortened stands for. An escape character that is not
// followed by two hexadecimal digits stands for itself.
std::u16string RealNameOf(const std::u16string& listed);

}  // namespace kestrow
