// Environment references in text, expanded by the rules the system's own expansion follows.
#pragma once

#include <functional>
#include <optional>
#include <string>

namespace kestrow::platform {

// Replaces each "%NAME%" whose name the lookup knows by its value. A reference to a name it does
// not know stays as written, both its "%" included, and the text goes on after it; a "%" without
// a partner stays.
std::u16string ExpandReferences(const std::u16string& text,
                                const std::function<std::optional<std::u16string>(const std::u16string&)>& lookup);

// The variable a program of the other width reads for a name whose value depends on the width
// (the program-files folders), for programs of the given width seen from this process; the name
// itself for every other name.
std::u16string VariableForWidth(const std::u16string& name, bool programs64, bool process64, bool system64);

}  // namespace kestrow::platform
