// Writing a new value for an item, and deleting one.
#include "model/description.h"
#include "model/integer_text.h"
#include "model/sentrel.h"
#include "model/type_registry.h"
#include "registry/registry_ex.h"
#include "registry/shown_names.h"

namespace kestrow {

namespace {

// The outermost level of the key path that the registry reports missing, which creating the key
// adds; empty when it reports none. Only "not found" counts: a level whose test failed otherwise
// is taken to be there, so nothing that was there is ever taken for new.
std::u16string FirstMissingLevel(TRegistryEx& reg, const std::u16string& address) {
  const bool rooted = !address.empty() && address[0] == u'\\';
  std::u16string prefix;
  std::size_t start = 0;
  while (start <= address.size()) {
    std::size_t end = address.find(u'\\', start);
    if (end == std::u16string::npos) end = address.size();
    if (end > start) {
      if (rooted || !prefix.empty()) prefix += u'\\';
      prefix += address.substr(start, end - start);
      if (reg.KeyMissing(prefix)) return prefix;
    }
    start = end + 1;
  }
  return std::u16string();
}

}  // namespace

bool TSentrel::ApplyNewValue(const TMemItem& Mi, const TValue& Value, bool CreateKey) {
  const TWriteNote write(*this);
  auto reg = RegistryFor(Mi.ItemType, KEY_ALL_ACCESS_);
  bool result = false;
  // A key created for the value goes again when the value is not written: a failed write leaves
  // the registry as it was.
  std::u16string created;
  bool opened = reg->OpenKey(Mi.Address, false);
  if (!opened && CreateKey && reg->LastOpenStatus() == RS_FILE_NOT_FOUND) {
    created = FirstMissingLevel(*reg, Mi.Address);
    reg->CreateKeyEx(Mi.Address);
    opened = reg->OpenKey(Mi.Address, false);
  }
  struct Undo {
    TRegistryEx& reg;
    const std::u16string& created;
    const bool& done;
    ~Undo() {
      if (done || created.empty()) return;
      try {
        reg.CloseKey();
        reg.DeleteKeyTree(created);
      } catch (...) {
        // A destructor: a key that cannot be taken away again stays, and the write still fails.
      }
    }
  } undo{*reg, created, result};
  if (opened) {
    const std::u16string text = ValueToText(Value);
    switch (Mi.ItemType.ValueType) {
      case VAL_INTEGER:
        reg->WriteInteger(Mi.ValueName, IntegerFromText(text, -1));
        result = true;
        break;
      case VAL_STRING:
        if (reg->ValueExists(Mi.ValueName) && reg->GetDataType(Mi.ValueName) == rdExpandString) {
          reg->WriteExpandString(Mi.ValueName, text);
          if (Settings.Get().fDebugStrings)
            User().AskYesNo(u"Information",
                     u"Type changed to EXPAND_STRING for ADDR = " + ShownPath(Mi.Address) + u" NAME =  " +
                         ShownName(Mi.ValueName) + u"?");
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
  const TWriteNote write(*this);
  auto reg = RegistryFor(Mi.ItemType, KEY_ALL_ACCESS_);
  bool result = false;
  if (reg->OpenKey(Mi.Address, false)) {
    result = reg->DeleteValue(Mi.ValueName);
    reg->CloseKey();
  }
  return result;
}

}  // namespace kestrow
