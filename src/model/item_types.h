// Item types: the enumerations, the type record and the extra-value list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrow {

// What a node is: a directory, a value or a command file.
enum ELEMENT_TYPES : std::uint8_t { ELT_DIRECTORY = 0, ELT_ITEM = 1, ELT_COMMAND = 2 };
// Whether a type's values are listed only when present (and may be deleted) or always.
enum EDIT_TYPES : std::uint8_t { ET_OPTIONAL = 0, ET_MUST = 1 };
// The form a type's values are read and written in.
enum VALUE_TYPES : std::uint8_t { VAL_INTEGER = 0, VAL_STRING = 1, VAL_EXPANDSTRING = 2, VAL_MULTISZ = 3 };
// The root key a type's key lies under.
enum ROOT_TYPES : std::uint8_t { RT_HKLM = 0, RT_HKCU = 1 };
// The registry view a type is read and written in.
enum PLATFORM_TYPE : std::uint8_t { WOW64_32 = 0, WOW64_64 = 1 };

static_assert(sizeof(ELEMENT_TYPES) == 1 && sizeof(EDIT_TYPES) == 1 && sizeof(VALUE_TYPES) == 1 &&
              sizeof(ROOT_TYPES) == 1 && sizeof(PLATFORM_TYPE) == 1, "enumerations are one byte each");

// The identifiers as the user sees them; an ordinal outside the enumeration gives the empty text.
const char16_t* EnumText(ELEMENT_TYPES v);
const char16_t* EnumText(EDIT_TYPES v);
const char16_t* EnumText(VALUE_TYPES v);
const char16_t* EnumText(ROOT_TYPES v);
const char16_t* EnumText(PLATFORM_TYPE v);

// One autostart location: its identifier, root key, edit and value type, view and key.
struct TItemType {
  std::u16string TypeID;
  ROOT_TYPES RootType = RT_HKLM;
  EDIT_TYPES EditType = ET_OPTIONAL;
  VALUE_TYPES ValueType = VAL_INTEGER;
  PLATFORM_TYPE tPlatform = WOW64_32;
  std::u16string DefAddr;
};

// A further value a subkey directory lists, with its form.
struct ADD_VAL_REC {
  VALUE_TYPES ValType = VAL_INTEGER;
  std::u16string ValName;
};
// The further values of a subkey scan.
using ADD_VAL_ARR = std::vector<ADD_VAL_REC>;

}  // namespace kestrow
