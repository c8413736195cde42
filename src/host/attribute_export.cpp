// Changing an entry's attributes: the hidden attribute switches a Run entry off, as the system's
// start-up settings do, and clearing it switches the entry on again.
#include "host/plugin.h"
#include "host/wide.h"
#include "model/confirmations.h"
#include "model/startup_marks.h"

namespace kestrow {

KS_BOOL TPlugin::SetAttr(const KS_WCHAR* RemoteName, std::int32_t NewAttr) {
  TSentrel* s = Sentrel.get();
  if (!s || !RemoteName) return KS_FALSE;
  const std::u16string remote = FromHost(RemoteName);
  // Held until the export returns: the host may list while the question is shown.
  const TTree tree = s->Tree();
  const TMemItem* node = tree->NodeAt(remote);
  if (!node || node->ElementType != ELT_ITEM || !MarkKeyFor(node->ItemType)) return KS_FALSE;
  const TMemItem& entry = *node;
  const bool off = (static_cast<std::uint32_t>(NewAttr) & KS_FILE_ATTRIBUTE_HIDDEN) != 0;
  const std::optional<TStartupState> now = s->ReadStartupState(entry);
  if (!now) return KS_FALSE;
  // An entry already in that state keeps its mark, and the time it was switched off.
  if (now->Off == off) return KS_TRUE;
  if (!ConfirmChange(*s)) return KS_FALSE;
  if (!s->WriteStartupState(entry, off)) return KS_FALSE;
  // The entry shows its new state before the next listing reads it again.
  if (const auto state = s->ReadStartupState(entry)) s->ShowStartupState(remote, *state);
  return KS_TRUE;
}

}  // namespace kestrow
