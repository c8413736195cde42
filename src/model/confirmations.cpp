#include "model/confirmations.h"

#include "registry/shown_names.h"

namespace kestrow {

namespace {

const char16_t* const kTitle = u"Confirm";
const char16_t* const kWriteNewValue = u"Do you want to write new value?";

bool Ask(const TSentrel& sentrel, bool flag, const std::u16string& text) {
  return !flag || sentrel.User().AskYesNo(kTitle, text);
}

// The text between single quotes, a quote in it doubled.
std::u16string SingleQuoted(const std::u16string& s) {
  std::u16string out = u"'";
  for (char16_t c : s) {
    if (c == u'\'') out += u'\'';
    out += c;
  }
  return out + u"'";
}

}  // namespace

bool ConfirmChange(const TSentrel& sentrel) { return Ask(sentrel, sentrel.Settings.Get().fConfirmChange, kWriteNewValue); }

bool ConfirmAdd(const TSentrel& sentrel) { return Ask(sentrel, sentrel.Settings.Get().fConfirmAdd, kWriteNewValue); }

bool ConfirmAddCopied(const TSentrel& sentrel, const std::u16string& valueName) {
  return Ask(sentrel, sentrel.Settings.Get().fConfirmAdd,
             u"Do you want to write new value " + SingleQuoted(ShownName(valueName)) + u"?");
}

bool ConfirmRestore(const TSentrel& sentrel, const std::u16string& address) {
  return Ask(sentrel, sentrel.Settings.Get().fConfirmRestore,
             u"Do you want to restore key " + ShownPath(address) + u"?");
}

}  // namespace kestrow
