// The registry scanners: turn one type's registry location into nodes of the tree.
//
// Other programs write what they like into these locations, and the drive exists to show it.
// So no value's data can end a scan: a value is read whole in one query, and data that does not
// have its type's form (another type, another size, a value that turns unreadable between the
// enumeration and the read) gives the same substitute as a value of another type: -1 or the
// empty text. A value that is gone by the time it is read is not listed; one that cannot be read
// is. A subkey that cannot be opened is listed with substitutes for its values, unless it is gone.
#include "platform/errors.h"
#include "model/scanners.h"
#include "model/type_registry.h"
#include "registry/registry_ex.h"

namespace kestrow {

namespace {

// Status of a value that the registry could not give for a reason other than its absence.
bool Gone(std::int32_t status) { return status == RS_FILE_NOT_FOUND; }

std::u16string TextFromData(const std::vector<std::uint8_t>& data) {
  // An odd last byte is half a character and is dropped; the text ends at its first NUL or with
  // the data, terminated or not.
  std::u16string s(data.size() / 2, u'\0');
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = char16_t(data[2 * i] | (data[2 * i + 1] << 8));
  const auto nul = s.find(u'\0');
  if (nul != std::u16string::npos) s.resize(nul);
  return s;
}

// The in-memory value for what a read gave: the stored form where the data has it, else the
// substitute of the value type.
TValue ValueFromData(VALUE_TYPES valueType, std::int32_t status, std::uint32_t type,
                     const std::vector<std::uint8_t>& data) {
  const bool read = status == RS_OK;
  switch (valueType) {
    case VAL_INTEGER: {
      if (!read || type != REG_DWORD_ || data.size() != 4) return TValue::Integer(-1);
      const std::uint32_t v = std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8 | std::uint32_t(data[2]) << 16 |
                              std::uint32_t(data[3]) << 24;
      return TValue::Integer(static_cast<std::int32_t>(v));
    }
    case VAL_STRING:
    case VAL_EXPANDSTRING:
      if (!read || (type != REG_SZ_ && type != REG_EXPAND_SZ_)) return TValue::Text(u"");
      return TValue::Text(TextFromData(data));
    case VAL_MULTISZ:
      if (!read || type != REG_MULTI_SZ_) return TValue::Text(u"");
      return TValue::Text(JoinCommaText(TRegistryEx::StringListFromData(data.data(), data.size())));
  }
  // Only a script's cast can produce another ordinal; the script routines refuse those.
  throw EKestrowError(u"Invalid value type");
}

// Reads the node's value from the registry object's current key; the status tells whether the
// value was there. The buffer is the scan's own, kept from one value to the next.
std::int32_t ReadInto(TRegistryEx& reg, TMemItem& node, std::vector<std::uint8_t>& data) {
  std::uint32_t type = 0;
  const std::int32_t status = reg.ReadData(node.ValueName, &type, &data);
  node.Value = ValueFromData(node.ItemType.ValueType, status, type, data);
  return status;
}

}  // namespace

TValue TScanners::RegReadValue(TRegistryEx& Reg, const TMemItem& Mi) {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  const std::int32_t status = Reg.ReadData(Mi.ValueName, &type, &data);
  return ValueFromData(Mi.ItemType.ValueType, status, type, data);
}

TValue TScanners::RegGetValue(const TMemItem& Mi) {
  TValue result = TValue::Null();
  auto reg = RegistryFor(Mi.ItemType, KEY_READ_);
  if (reg->OpenKeyReadOnly(Mi.Address)) {
    TMemItem node(Mi.ElementType, Mi.Parent, Mi.ItemType, Mi.Address, Mi.ValueName);
    std::vector<std::uint8_t> data;
    if (!Gone(ReadInto(*reg, node, data))) result = node.Value;
    reg->CloseKey();
  }
  return result;
}

void TScanners::AddSingleValue(TMemoryList& tree, const TMemItem& directory, const std::u16string& valueName) {
  auto node = MakeTemplate(directory, valueName);
  node->Value = RegGetValue(*node);
  // A required value is listed whether it is there or not, an optional one only when it is.
  if (node->ItemType.EditType == ET_MUST || !node->Value.IsNull()) tree.push_back(std::move(node));
}

void TScanners::AddNamedValues(TMemoryList& tree, const TMemItem& directory,
                              const std::vector<std::u16string>& valueNames) {
  // The location's key is opened once for all its names.
  auto reg = RegistryFor(directory.ItemType, KEY_READ_);
  const std::u16string& address = directory.ItemType.DefAddr;
  const bool opened = reg->OpenKeyReadOnly(address);
  const std::uint64_t changed = opened ? reg->CurrentKeyTime() : 0;
  std::vector<std::uint8_t> data;
  for (const auto& name : valueNames) {
    auto node = MakeTemplate(directory, name);
    node->Changed = changed;
    if (!opened || Gone(ReadInto(*reg, *node, data))) node->Value = TValue::Null();
    // A required value is listed whether it is there or not, an optional one only when it is.
    if (node->ItemType.EditType == ET_MUST || !node->Value.IsNull()) tree.push_back(std::move(node));
  }
}

void TScanners::RegGetAllValues(const TMemItem& templ, TMemoryList& tree) {
  auto reg = RegistryFor(templ.ItemType, KEY_READ_);
  if (!reg->OpenKeyReadOnly(templ.Address)) return;
  const std::uint64_t changed = reg->CurrentKeyTime();
  TStringList names;
  reg->GetValueNames(names);
  std::vector<std::uint8_t> data;
  for (auto& name : names) {
    if (name.empty()) continue;
    auto node = MakeNode(ELT_ITEM, templ.Parent, templ.ItemType, templ.Address, std::move(name));
    node->Changed = changed;
    if (Gone(ReadInto(*reg, *node, data))) continue;
    tree.push_back(std::move(node));
  }
  reg->CloseKey();
}

void TScanners::RegGetAllSubkeysByValue(const TMemItem& templ, TMemoryList& tree, const std::u16string& valueName,
                                       const ADD_VAL_ARR& extras) {
  auto location = RegistryFor(templ.ItemType, KEY_READ_);
  if (!location->OpenKeyReadOnly(templ.Address)) return;
  TStringList subkeys;
  location->GetKeyNames(subkeys);
  // Each subkey is opened below the location's open key, not by its whole path from the root.
  TRegistryEx reg(location->View(), KEY_READ_);
  reg.SetRootKey(location->CurrentKey());
  std::vector<std::uint8_t> data;
  std::u16string relative = u"\\";
  for (auto& sub : subkeys) {
    relative.resize(1);
    relative += sub;
    const bool opened = reg.OpenKeyReadOnly(relative);
    if (!opened && Gone(reg.LastOpenStatus())) continue;
    // One subkey whose values cannot be read ends that subkey, not the scan.
    try {
      const std::u16string path = templ.Address + u"\\" + sub;
      // The subkey's own time dates its directory and every value read from it.
      const std::uint64_t changed = opened ? reg.CurrentKeyTime() : 0;
      auto item = MakeNode(ELT_ITEM, nullptr, templ.ItemType, path, valueName);
      item->Changed = changed;
      if (opened) {
        if (Gone(ReadInto(reg, *item, data))) {
          reg.CloseKey();
          continue;
        }
      } else {
        item->Value = ValueFromData(item->ItemType.ValueType, reg.LastOpenStatus(), 0, {});
      }

      TMemItem* parent =
          tree.emplace_back(MakeNode(ELT_DIRECTORY, templ.Parent, templ.ItemType, path, std::move(sub))).get();
      parent->Changed = changed;
      item->Parent = parent;
      tree.push_back(std::move(item));

      for (const auto& extra : extras) {
        auto x = MakeNode(ELT_ITEM, parent, templ.ItemType, path, extra.ValName);
        x->Changed = changed;
        x->ItemType.ValueType = extra.ValType;
        if (opened) {
          ReadInto(reg, *x, data);
        } else {
          x->Value = ValueFromData(x->ItemType.ValueType, reg.LastOpenStatus(), 0, {});
        }
        tree.push_back(std::move(x));
      }
    } catch (...) {
      // See above: the next subkey is read all the same.
    }
    reg.CloseKey();
  }
}

}  // namespace kestrow
