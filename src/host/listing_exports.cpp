// The directory listing, the root name and the host's default settings.
#include <cstring>

#include "host/plugin.h"
#include "host/wide.h"
#include "model/names.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace kestrow {

namespace {

void Fill(KsFindDataW* fd, const TSentrel& sentrel, const TMemItem& node) {
  if (node.ElementType == ELT_DIRECTORY) fd->dwFileAttributes = KS_FILE_ATTRIBUTE_DIRECTORY;
  // A Run entry switched off is listed hidden, for the host to show it dimmed.
  if (node.ElementType == ELT_ITEM && node.Startup.Off) fd->dwFileAttributes |= KS_FILE_ATTRIBUTE_HIDDEN;
  // The listed name fits the record; the cut only guards it, never between the halves of a pair.
  const std::u16string name = CutUtf16(sentrel.ListedName(node), KS_MAX_PATH - 1);
  for (std::size_t i = 0; i < name.size(); ++i) fd->cFileName[i] = static_cast<KS_WCHAR>(name[i]);
  fd->cFileName[name.size()] = 0;
}

}  // namespace

KS_HANDLE TPlugin::FindFirst(const KS_WCHAR* Path, KsFindDataW* FindData) {
  TSentrel* sentrel = Sentrel.get();
  if (!sentrel) return KsInvalidHandle();
  // The rebuild reports its own failures; the listing goes on with what it left.
  try {
    sentrel->BuildMemory();
  } catch (...) {
  }
  try {
    sentrel->BuildTemplateMemory();
  } catch (...) {
  }
  try {
    sentrel->ReadStartupStates();
  } catch (...) {
  }
  if (!FindData || !Path) return KsInvalidHandle();
  std::memset(FindData, 0, sizeof *FindData);
  const std::u16string path = FromHost(Path);
  sentrel->pos = nullptr;
  if (path == u"\\") {
    TMemItem* first = sentrel->FindElement(nullptr);
    if (!first) return KsInvalidHandle();
    Fill(FindData, *sentrel, *first);
    sentrel->pos = first;
    return KsListingHandle();
  }
  TMemItem* dir = sentrel->GetLastParentByPath(path);
  if (!dir) return KsInvalidHandle();
  TMemItem* first = sentrel->FindElement(dir);
  if (first) {
    Fill(FindData, *sentrel, *first);
    sentrel->pos = first;
    return KsListingHandle();
  }
  sentrel->pos = sentrel->Memory && !sentrel->Memory->empty() ? sentrel->Memory->back().get() : nullptr;
  FindData->dwFileAttributes = KS_FILE_ATTRIBUTE_DIRECTORY;
  FindData->cFileName[0] = u'.';
  return KsListingHandle();
}

KS_BOOL TPlugin::FindNext(KsFindDataW* FindData) {
  TSentrel* sentrel = Sentrel.get();
  if (!sentrel || !FindData) return KS_FALSE;
  std::memset(FindData, 0, sizeof *FindData);
  if (!sentrel->pos) return KS_FALSE;
  TMemItem* next = sentrel->FindElement(sentrel->pos->Parent);
  if (!next) return KS_FALSE;
  Fill(FindData, *sentrel, *next);
  sentrel->pos = next;
  return KS_TRUE;
}

void TPlugin::DefRootName(char* DefRootName, std::int32_t maxlen) const {
  if (!DefRootName || maxlen <= 0) return;
  const char root[] = "Kestrow";
  std::size_t n = std::strlen(root);
  if (n > static_cast<std::size_t>(maxlen - 1)) n = static_cast<std::size_t>(maxlen - 1);
  std::memcpy(DefRootName, root, n);
  DefRootName[n] = '\0';
}

void TPlugin::SetDefaultParams(const FsDefaultParamStruct* dps) {
  if (!dps) return;
  std::size_t n = 0;
  while (n < sizeof dps->DefaultIniName && dps->DefaultIniName[n]) ++n;
  DefaultIniPath = FolderPart(platform::FromAnsi(std::string(dps->DefaultIniName, n)));
}

}  // namespace kestrow
