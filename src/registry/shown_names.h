// How the names of values and keys appear in the texts the plugin writes: descriptions, columns,
// dialogs, questions and error messages.
//
// The registry counts the characters of a name, so a name may hold a NUL, which none of those
// texts can carry (the host's and the system's text functions end at it, and a reader would not
// see it). A name holding a NUL is shown in the escaped form in which the listing gives it: each
// character no file name can hold, and the escape character "^" itself, as "^" and its code in two
// upper-case hexadecimal digits ("Acc", NUL, "Hidden" is shown as "Acc^00Hidden"), whole, never
// shortened. Every other name is shown as it is, character for character.
#pragma once

#include <string>

namespace kestrow {

inline constexpr char16_t kNameEscape = u'^';

// True for the characters that the escaped form of a name writes as an escape: those no file name
// holds (platform/file_names.h), DEL, and "^".
bool IsEscapedInNames(char16_t c);
// Appends the escape of the character: "^" and its code in two hexadecimal digits.
void AppendNameEscape(std::u16string& out, char16_t c);

// The name as the texts show it.
std::u16string ShownName(const std::u16string& name);
// A key path as the texts show it: each key name in it as ShownName shows it, the separators
// as they are.
std::u16string ShownPath(const std::u16string& path);

}  // namespace kestrow
