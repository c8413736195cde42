// Writing a new value for an item, and deleting one.
#include "host/library.h"
#include "model/description.h"
#include "model/integer_text.h"
#include "model/sentrel.h"
#include "registry/registry_ex.h"

namespace kestrow {

bool TSentrel::ApplyNewValue(const TMemItem& Mi, const TValue& Value, bool CreateKey) {
  auto reg = TRegistryEx::ForType(Mi.ItemType, KEY_ALL_ACCESS_);
  bool result = false;
  if (!reg->KeyExists(Mi.Address) && CreateKey) reg->CreateKeyEx(Mi.Address);
  if (reg->KeyExists(Mi.Address) && reg->OpenKey(Mi.Address, false)) {
    const std::u16string text = ValueToText(Value);
    switch (Mi.ItemType.ValueType) {
      case VAL_INTEGER:
        reg->WriteInteger(Mi.ValueName, IntegerFromText(text, -1));
        result = true;
        break;
      case VAL_STRING:
        if (reg->ValueExists(Mi.ValueName) && reg->GetDataType(Mi.ValueName) == rdExpandString) {
          reg->WriteExpandString(Mi.ValueName, text);
          if (fDebugStrings)
            AskYesNo(u"Information",
                     u"Type changed to EXPAND_STRING for ADDR = " + Mi.Address + u" NAME =  " + Mi.ValueName + u"?");
        } else {
          // A value stored with any other type is replaced by a REG_SZ.
          reg->WriteString(Mi.ValueName, text);
        }
        result = true;
        break;
      case VAL_EXPANDSTRING:
        reg->WriteExpandString(Mi.ValueName, text);
        result = true;
        break;
      case VAL_MULTISZ:
        reg->WriteStringList(Mi.ValueName, SplitCommaText(text));
        result = true;
        break;
    }
    reg->CloseKey();
  }
  return result;
}

bool TSentrel::TryDeleteValue(const TMemItem& Mi) {
  if (Mi.ItemType.EditType != ET_OPTIONAL) return false;
  auto reg = TRegistryEx::ForType(Mi.ItemType, KEY_ALL_ACCESS_);
  bool result = false;
  if (reg->KeyExists(Mi.Address) && reg->OpenKey(Mi.Address, false)) {
    result = reg->DeleteValue(Mi.ValueName);
    reg->CloseKey();
  }
  return result;
}

}  // namespace kestrow
