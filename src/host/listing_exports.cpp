// The directory listing, the host's operations, the root name and the host's default settings.
#include <cstring>
#include <mutex>

#include "host/plugin.h"
#include "host/wide.h"
#include "model/listed_names.h"
#include "model/names.h"
#include "platform/platform.h"
#include "platform/text.h"

namespace kestrow {

namespace {

void Fill(KsFindDataW* fd, const TItemTree& tree, const TMemItem& node) {
  if (node.ElementType == ELT_DIRECTORY) fd->dwFileAttributes = KS_FILE_ATTRIBUTE_DIRECTORY;
  // A Run entry switched off is listed hidden, for the host to show it dimmed.
  if (node.ElementType == ELT_ITEM && node.Startup.Off) fd->dwFileAttributes |= KS_FILE_ATTRIBUTE_HIDDEN;
  // The listed name fits the record; the cut only guards it, never between the halves of a pair.
  const std::u16string name = CutUtf16(tree.ListedName(node), kMaxListedName);
  for (std::size_t i = 0; i < name.size(); ++i) fd->cFileName[i] = static_cast<KS_WCHAR>(name[i]);
  fd->cFileName[name.size()] = 0;
  // When the key the node is read from was last written; no time for what has none.
  fd->ftLastWriteTime = node.Changed ? KsFileTime{static_cast<KS_DWORD>(node.Changed),
                                                  static_cast<KS_DWORD>(node.Changed >> 32)}
                                     : KsNoFileTime;
}

}  // namespace

KS_HANDLE TPlugin::FindFirst(const KS_WCHAR* Path, KsFindDataW* FindData) {
  TSentrel* sentrel = Sentrel.get();
  if (!sentrel || !FindData || !Path) return KsInvalidHandle();
  // The registry is read afresh unless the rule of TSearches::Reusable lets this search list
  // the newest tree.
  TTree tree = searches_.Reusable(sentrel->Tree(), sentrel->Writes());
  if (!tree) {
    tree = sentrel->Rebuild();
    searches_.Read(tree);
  }
  std::memset(FindData, 0, sizeof *FindData);
  const std::u16string path = FromHost(Path);
  const TMemItem* dir = nullptr;
  if (path != u"\\") {
    dir = tree->GetLastParentByPath(path);
    if (!dir) return KsInvalidHandle();
  }
  auto search = std::make_shared<TSearch>(tree, dir);
  if (const auto first = tree->FindElement(dir, 0)) {
    Fill(FindData, *tree, *tree->Memory[*first]);
    search->pos = *first;
  } else if (!dir) {
    return KsInvalidHandle();
  } else {
    // A directory without entries lists ".", and then nothing.
    FindData->dwFileAttributes = KS_FILE_ATTRIBUTE_DIRECTORY;
    FindData->cFileName[0] = u'.';
    search->ended = true;
  }
  return searches_.Add(std::move(search));
}

KS_BOOL TPlugin::FindNext(KS_HANDLE Hdl, KsFindDataW* FindData) {
  // A handle that names no open search touches nothing.
  const std::shared_ptr<TSearch> search = searches_.Find(Hdl);
  if (!search || !FindData) return KS_FALSE;
  std::lock_guard<std::mutex> step(search->stepping);
  std::memset(FindData, 0, sizeof *FindData);
  if (search->ended) return KS_FALSE;
  const TItemTree& tree = *search->tree;
  const auto next = tree.FindElement(search->directory, search->pos + 1);
  if (!next) {
    search->ended = true;
    return KS_FALSE;
  }
  Fill(FindData, tree, *tree.Memory[*next]);
  search->pos = *next;
  return KS_TRUE;
}

std::int32_t TPlugin::FindClose(KS_HANDLE Hdl) {
  searches_.Close(Hdl);
  return 0;
}

void TPlugin::StatusInfo(std::int32_t startEnd) {
  if (startEnd == FS_STATUS_START) searches_.OperationStarts();
  if (startEnd == FS_STATUS_END) searches_.OperationEnds();
}

void TPlugin::DefRootName(char* DefRootName, std::int32_t maxlen) const {
  if (!DefRootName || maxlen <= 0) return;
  const char root[] = "Kestrow";
  std::size_t n = std::strlen(root);
  if (n > static_cast<std::size_t>(maxlen - 1)) n = static_cast<std::size_t>(maxlen - 1);
  std::memcpy(DefRootName, root, n);
  DefRootName[n] = '\0';
}

}  // namespace kestrow
