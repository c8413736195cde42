// The registry scanners: turn one type's registry location into nodes of the tree.
#include "model/errors.h"
#include "model/sentrel.h"
#include "registry/registry_ex.h"

namespace kestrow {

TValue TSentrel::RegReadValue(TRegistryEx& Reg, const TMemItem& Mi) {
  switch (Mi.ItemType.ValueType) {
    case VAL_INTEGER: {
      std::int32_t v = -1;
      if (Reg.ValueExists(Mi.ValueName) && Reg.GetDataType(Mi.ValueName) == rdInteger) v = Reg.ReadInteger(Mi.ValueName);
      return TValue::Integer(v);
    }
    case VAL_STRING:
    case VAL_EXPANDSTRING: {
      std::u16string s;
      if (Reg.ValueExists(Mi.ValueName)) {
        const TRegDataType t = Reg.GetDataType(Mi.ValueName);
        if (t == rdString || t == rdExpandString) s = Reg.ReadString(Mi.ValueName);
      }
      return TValue::Text(std::move(s));
    }
    case VAL_MULTISZ:
      return TValue::Text(JoinCommaText(Reg.ReadStringList(Mi.ValueName)));
  }
  // Only a script's cast can produce another ordinal; the script routines refuse those.
  throw EKestrowError(u"Invalid value type");
}

TValue TSentrel::RegGetValue(const TMemItem& Mi) {
  TValue result = TValue::Null();
  auto reg = TRegistryEx::ForType(Mi.ItemType, KEY_READ_);
  if (reg->KeyExists(Mi.Address) && reg->OpenKeyReadOnly(Mi.Address)) {
    if (reg->ValueExists(Mi.ValueName)) result = RegReadValue(*reg, Mi);
    reg->CloseKey();
  }
  return result;
}

void TSentrel::AddSingleValue(const TMemItem& directory, const std::u16string& valueName) {
  auto node = MakeTemplate(directory, valueName);
  node->Value = RegGetValue(*node);
  if (node->ItemType.EditType == ET_MUST || !node->Value.IsNull()) Append(std::move(node));
}

void TSentrel::RegGetAllValues(const TMemItem& templ, TMemoryList& tree) {
  auto reg = TRegistryEx::ForType(templ.ItemType, KEY_READ_);
  if (!(reg->KeyExists(templ.Address) && reg->OpenKeyReadOnly(templ.Address))) return;
  TStringList names;
  reg->GetValueNames(names);
  for (const auto& name : names) {
    if (name.empty() || !reg->ValueExists(name)) continue;
    auto node = std::make_unique<TMemItem>(ELT_ITEM, templ.Parent);
    node->ItemType = templ.ItemType;
    node->Address = templ.Address;
    node->ValueName = name;
    node->Value = RegReadValue(*reg, *node);
    tree.push_back(std::move(node));
  }
  reg->CloseKey();
}

void TSentrel::RegGetAllSubkeysByValue(const TMemItem& templ, TMemoryList& tree, const std::u16string& valueName,
                                       const ADD_VAL_ARR& extras) {
  auto reg = TRegistryEx::ForType(templ.ItemType, KEY_READ_);
  if (!(reg->KeyExists(templ.Address) && reg->OpenKeyReadOnly(templ.Address))) return;
  TStringList subkeys;
  reg->GetKeyNames(subkeys);
  reg->CloseKey();
  for (const auto& sub : subkeys) {
    const std::u16string path = templ.Address + u"\\" + sub;
    if (!reg->OpenKeyReadOnly(path)) continue;
    if (reg->ValueExists(valueName)) {
      auto dir = std::make_unique<TMemItem>(ELT_DIRECTORY, templ.Parent);
      dir->ItemType = templ.ItemType;
      dir->Address = path;
      dir->ValueName = sub;
      TMemItem* parent = dir.get();
      tree.push_back(std::move(dir));

      auto item = std::make_unique<TMemItem>(ELT_ITEM, parent);
      item->ItemType = templ.ItemType;
      item->Address = path;
      item->ValueName = valueName;
      item->Value = RegReadValue(*reg, *item);
      tree.push_back(std::move(item));

      for (const auto& extra : extras) {
        auto x = std::make_unique<TMemItem>(ELT_ITEM, parent);
        x->ItemType = templ.ItemType;
        x->ItemType.ValueType = extra.ValType;
        x->Address = path;
        x->ValueName = extra.ValName;
        x->Value = RegReadValue(*reg, *x);
        tree.push_back(std::move(x));
      }
    }
    reg->CloseKey();
  }
}

}  // namespace kestrow
