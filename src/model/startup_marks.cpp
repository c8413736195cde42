// Reading and writing the marks that switch Run entries off and on.
#include "model/startup_marks.h"

#include "model/names.h"
#include "model/sentrel.h"
#include "model/type_registry.h"
#include "platform/errors.h"
#include "platform/platform.h"
#include "registry/registry_ex.h"

namespace kestrow {

namespace {

constexpr std::size_t kMarkSize = 12;
const char16_t* const kApproved = u"\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";

std::unique_ptr<TRegistryEx> MarkRegistry(const TMarkKey& key, std::uint32_t rights) {
  auto reg = std::make_unique<TRegistryEx>(RegView::Bits64, rights);
  reg->SetRootKey(RootOf(key.RootType));
  return reg;
}

}  // namespace

std::optional<TMarkKey> MarkKeyFor(const TItemType& type) {
  struct Known {
    const char16_t* typeId;
    ROOT_TYPES root;
    const char16_t* subkey;
  };
  static const Known known[] = {
      {u"HKCU_RUN32", RT_HKCU, u"Run"},
      {u"HKCU_RUN64", RT_HKCU, u"Run"},
      {u"HKLM_RUN32", RT_HKLM, u"Run32"},
      {u"HKLM_RUN64", RT_HKLM, u"Run"},
  };
  for (const auto& k : known)
    if (SameName(type.TypeID, k.typeId)) return TMarkKey{k.root, std::u16string(kApproved) + k.subkey};
  return std::nullopt;
}

TStartupState StateFromMark(std::int32_t status, std::uint32_t type, const std::vector<std::uint8_t>& data) {
  TStartupState state;
  if (status != RS_OK || type != REG_BINARY_ || data.size() != kMarkSize) return state;
  state.Off = (data[0] & 1) != 0;
  if (state.Off)
    for (std::size_t i = 0; i < 8; ++i) state.OffSince |= std::uint64_t(data[4 + i]) << (8 * i);
  return state;
}

std::vector<std::uint8_t> MarkBytes(bool off, std::uint64_t offSince) {
  std::vector<std::uint8_t> data(kMarkSize, 0);
  data[0] = off ? 0x03 : 0x02;
  if (off)
    for (std::size_t i = 0; i < 8; ++i) data[4 + i] = std::uint8_t(offSince >> (8 * i));
  return data;
}

std::u16string StateText(const TStartupState& state) {
  if (!state.Off) return u"On";
  const std::u16string since = state.OffSince ? platform::LocalDateTimeText(state.OffSince) : std::u16string();
  return since.empty() ? u"Off" : u"Off since " + since;
}

void TSentrel::ReadStartupStates(TItemTree& tree) {
  for (const auto& dirNode : tree.Memory) {
    if (dirNode->ElementType != ELT_DIRECTORY || dirNode->Parent) continue;
    const auto key = MarkKeyFor(dirNode->ItemType);
    if (!key) continue;
    // One open of the mark key for all entries of the location; without it every entry is on.
    auto reg = MarkRegistry(*key, KEY_READ_);
    if (!reg->OpenKeyReadOnly(key->Path)) continue;
    std::vector<std::uint8_t> data;
    for (const auto& node : tree.Memory) {
      if (node->Parent != dirNode.get() || node->ElementType != ELT_ITEM) continue;
      std::uint32_t type = 0;
      const std::int32_t status = reg->ReadData(node->ValueName, &type, &data);
      node->Startup = StateFromMark(status, type, data);
    }
    reg->CloseKey();
  }
}

std::optional<TStartupState> TSentrel::ReadStartupState(const TMemItem& Mi) {
  const auto key = MarkKeyFor(Mi.ItemType);
  if (!key || Mi.ElementType != ELT_ITEM) return std::nullopt;
  auto reg = MarkRegistry(*key, KEY_READ_);
  if (!reg->OpenKeyReadOnly(key->Path)) return TStartupState{};
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  const std::int32_t status = reg->ReadData(Mi.ValueName, &type, &data);
  reg->CloseKey();
  return StateFromMark(status, type, data);
}

bool TSentrel::WriteStartupState(const TMemItem& Mi, bool Off) {
  const auto key = MarkKeyFor(Mi.ItemType);
  if (!key || Mi.ElementType != ELT_ITEM) return false;
  const TWriteNote write(*this);
  auto reg = MarkRegistry(*key, KEY_ALL_ACCESS_);
  // Switching off creates the mark key; switching on needs none, as no mark means on.
  if (!reg->OpenKey(key->Path, Off)) return !Off && reg->LastOpenStatus() == RS_FILE_NOT_FOUND;
  bool written = false;
  try {
    reg->WriteBinary(Mi.ValueName, MarkBytes(Off, Off ? platform::FileTimeNow() : 0));
    written = true;
  } catch (const EKestrowError&) {
    // The registry refused the mark: it is not written, which the caller reports.
  }
  reg->CloseKey();
  return written;
}

}  // namespace kestrow
