// Saving a type's key to a key file and restoring it.
#include "model/names.h"
#include "model/sentrel.h"
#include "platform/platform.h"
#include "model/type_registry.h"
#include "registry/registry_ex.h"

namespace kestrow {

namespace {
constexpr std::uint32_t REG_LATEST_FORMAT_ = 2;
constexpr std::uint32_t REG_FORCE_RESTORE_ = 8;
}  // namespace

bool TSentrel::SaveKey(const TMemItem& Mi, const std::u16string& FileName) {
  platform::EnablePrivilege(u"SeBackupPrivilege", true);
  auto reg = RegistryFor(Mi.ItemType, KEY_READ_);
  // Save into a new file beside the target and put it in place only when the save worked, so a
  // failed save never costs the user the key file they had.
  auto temp = platform::CreateUniqueFile(FolderPart(FileName), u"kestrow-save");
  if (!temp) return false;
  // The platform's save refuses an existing file.
  platform::DeleteFileIfExists(*temp);
  bool ok = reg->SaveKeyEx(Mi.Address, *temp, REG_LATEST_FORMAT_);
  if (ok) ok = platform::ReplaceFile(*temp, FileName);
  if (!ok) platform::DeleteFileIfExists(*temp);
  return ok;
}

bool TSentrel::RestoreKey(const TMemItem& Mi, const std::u16string& FileName) {
  const TWriteNote write(*this);
  platform::EnablePrivilege(u"SeRestorePrivilege", true);
  platform::EnablePrivilege(u"SeBackupPrivilege", true);
  auto reg = RegistryFor(Mi.ItemType, KEY_ALL_ACCESS_);
  if (!platform::FileExists(FileName)) return false;
  return reg->RestoreKey(Mi.Address, FileName, REG_FORCE_RESTORE_);
}

}  // namespace kestrow
