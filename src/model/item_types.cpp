#include "model/item_types.h"

namespace kestrow {

namespace {
template <std::size_t N>
const char16_t* Pick(const char16_t* const (&names)[N], unsigned ordinal) {
  return ordinal < N ? names[ordinal] : u"";
}
}  // namespace

const char16_t* EnumText(ELEMENT_TYPES v) {
  static const char16_t* const names[] = {u"ELT_DIRECTORY", u"ELT_ITEM", u"ELT_COMMAND"};
  return Pick(names, v);
}
const char16_t* EnumText(EDIT_TYPES v) {
  static const char16_t* const names[] = {u"ET_OPTIONAL", u"ET_MUST"};
  return Pick(names, v);
}
const char16_t* EnumText(VALUE_TYPES v) {
  static const char16_t* const names[] = {u"VAL_INTEGER", u"VAL_STRING", u"VAL_EXPANDSTRING", u"VAL_MULTISZ"};
  return Pick(names, v);
}
const char16_t* EnumText(ROOT_TYPES v) {
  static const char16_t* const names[] = {u"RT_HKLM", u"RT_HKCU"};
  return Pick(names, v);
}
const char16_t* EnumText(PLATFORM_TYPE v) {
  static const char16_t* const names[] = {u"WOW64_32", u"WOW64_64"};
  return Pick(names, v);
}

}  // namespace kestrow
