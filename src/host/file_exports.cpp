// Copying entries out and files in, and deleting values.
#include "host/plugin.h"
#include "host/wide.h"
#include "model/command_files.h"
#include "model/confirmations.h"
#include "model/listed_names.h"
#include "model/names.h"
#include "platform/file_names.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace kestrow {

namespace {

// The value name a copied-in file gives: its name without the last extension.
std::u16string ValueNameFromRemote(const std::u16string& remote) {
  auto sep = remote.find_last_of(kCopiedNameSeparators);
  std::u16string name = sep == std::u16string::npos ? remote : remote.substr(sep + 1);
  auto dot = name.rfind(u'.');
  if (dot != std::u16string::npos) name.resize(dot);
  return name;
}

std::u16string LowerAscii(std::u16string s) {
  for (auto& c : s)
    if (c >= u'A' && c <= u'Z') c = char16_t(c + 32);
  return s;
}

std::u16string LocalExtension(const std::u16string& local) {
  auto sep = local.find_last_of(kPathSeparators);
  auto dot = local.rfind(u'.');
  if (dot == std::u16string::npos || (sep != std::u16string::npos && dot < sep)) return std::u16string();
  return LowerAscii(local.substr(dot));
}

bool HasCharacterInvalidInPath(const std::u16string& path) {
  for (char16_t c : path)
    if (IsInvalidInPath(c)) return true;
  return false;
}

// A local name no file can have: the characters no path holds and the wildcards. The "?" of the "\\?\"
// prefix that long local names carry belongs to the prefix.
bool IsImpossibleLocalName(const std::u16string& local) {
  const std::u16string prefix = u"\\\\?\\";
  const std::u16string name = local.compare(0, prefix.size(), prefix) == 0 ? local.substr(prefix.size()) : local;
  for (char16_t c : name)
    if (IsInvalidInPath(c) || IsWildcard(c)) return true;
  return false;
}

// A name longer than any listed name: the host could never find the entry again.
bool IsTooLongToList(const std::u16string& valueName) {
  return CutUtf16(valueName, kMaxListedName).size() < valueName.size();
}

}  // namespace

std::int32_t TPlugin::GetFile(const KS_WCHAR* RemoteName, const KS_WCHAR* LocalName, std::int32_t CopyFlags) {
  TSentrel* s = Sentrel.get();
  if (!s || !RemoteName || !LocalName) return FS_FILE_NOTFOUND;
  const std::u16string remote = FromHost(RemoteName), local = FromHost(LocalName);
  // Not even an empty file is created under a name no file may have.
  if (IsImpossibleLocalName(local)) return FS_FILE_WRITEERROR;
  const TTree tree = s->Tree();
  const TMemItem* dir = nullptr;
  const TMemItem* node = tree->NodeAt(remote, &dir);
  // A type directory is no file.
  if (!node || !dir) return FS_FILE_NOTFOUND;
  // The file this copy writes is not written over unless the host says so: it asks its user
  // first, and calls again with the overwrite flag. The move flag changes nothing, as an entry is
  // a registry value that a copy never deletes.
  const bool overwrite = (CopyFlags & FS_COPYFLAGS_OVERWRITE) != 0;
  if (node->ElementType == ELT_COMMAND && CommandFileOf(NamePart(remote)) == TCommandFile::Save) {
    const std::u16string keyFile =
        IsHostOrTempPath(local) ? local : FolderPart(local) + tree->ListedName(*dir) + u".kscrkey";
    if (!overwrite && platform::FileExists(keyFile)) return FS_FILE_EXISTS;
    return s->SaveKey(*node, keyFile) ? FS_FILE_OK : FS_FILE_NOTFOUND;
  }
  if (!overwrite && platform::FileExists(local)) return FS_FILE_EXISTS;
  return s->GenerateTextInfo(*node, local) ? FS_FILE_OK : FS_FILE_WRITEERROR;
}

std::int32_t TPlugin::PutFile(const KS_WCHAR* LocalName, const KS_WCHAR* RemoteName) {
  TSentrel* s = Sentrel.get();
  if (!s || !RemoteName || !LocalName) return FS_FILE_USERABORT;
  const std::u16string remote = FromHost(RemoteName), local = FromHost(LocalName);
  // Nothing is asked and nothing written for a remote name no path may hold, for a local file
  // that cannot exist, or for a value the listing could not show under its name.
  if (HasCharacterInvalidInPath(remote) || IsImpossibleLocalName(local)) return FS_FILE_WRITEERROR;
  std::int32_t result = FS_FILE_USERABORT;
  const TTree tree = s->Tree();
  const TMemItem* dir = tree->GetLastParentByPath(DirectoryPart(remote));
  const std::u16string valueName = ValueNameFromRemote(remote);
  if (dir && IsTooLongToList(valueName)) return FS_FILE_WRITEERROR;
  if (!dir) return FS_FILE_USERABORT;
  // The name as listed stands for the registry name it was listed for.
  const std::optional<std::u16string> realName = tree->RealNameFor(*dir, valueName);
  if (!realName) return FS_FILE_WRITEERROR;
  const TMemItem temp(ELT_ITEM, nullptr, dir->ItemType, dir->Address, *realName);
  if (LocalExtension(local) == u".kscrkey") {
    if (!ConfirmRestore(*s, temp.Address)) return FS_FILE_USERABORT;
    result = s->RestoreKey(temp, local) ? FS_FILE_OK : FS_FILE_WRITEERROR;
  } else {
    if (!ConfirmAddCopied(*s, temp.ValueName)) return FS_FILE_USERABORT;
    result = s->ApplyNewValue(temp, TValue::Text(local), s->Settings.Get().fCanCreateKey) ? FS_FILE_OK : FS_FILE_WRITEERROR;
  }
  return result;
}

KS_BOOL TPlugin::Delete(const KS_WCHAR* RemoteName) {
  TSentrel* s = Sentrel.get();
  if (!s || !RemoteName) return KS_FALSE;
  const TTree tree = s->Tree();
  const TMemItem* node = tree->NodeAt(FromHost(RemoteName));
  if (!node || node->ElementType != ELT_ITEM) return KS_FALSE;
  return s->TryDeleteValue(*node) ? KS_TRUE : KS_FALSE;
}

}  // namespace kestrow
