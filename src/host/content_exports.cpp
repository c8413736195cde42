// Custom icons and the content columns.
#include <cstring>

#include "host/plugin.h"
#include "host/wide.h"
#include "model/command_files.h"
#include "model/description.h"
#include "model/names.h"
#include "model/startup_marks.h"
#include "model/target_cache.h"
#include "platform/platform.h"
#include "registry/shown_names.h"

namespace kestrow {

namespace {
// The entry's own fields, then what it starts (worked out when first asked), then when its key
// was written.
const char* const kFields[] = {"TypeID",      "RootType",     "EditType",  "ValueType",
                               "Address",     "ValueName",    "Value",     "State",
                               "Target",      "Target state", "Publisher", "Description",
                               "Changed"};
constexpr int kFieldCount = 13;
constexpr int kFirstTargetField = 8;
constexpr int kChangedField = 12;

std::u16string FieldText(const TItemTree& tree, const TMemItem& n, int index) {
  if (index >= kFirstTargetField) {
    const auto targets = tree.Targets().Of(tree, n);
    switch (index) {
      case 8: return targets->TargetText();
      case 9: return targets->StateText();
      case 10: return targets->Publisher;
      default: return targets->Description;
    }
  }
  switch (index) {
    case 0: return ShownName(n.ItemType.TypeID);
    case 1: return EnumText(n.ItemType.RootType);
    case 2: return EnumText(n.ItemType.EditType);
    case 3: return EnumText(n.ItemType.ValueType);
    case 4: return ShownPath(n.Address);
    case 5: return ShownName(n.ValueName);
    case 6: return ValueText(n);
    // Only the entries of the Run locations are switched on or off.
    default: return n.ElementType == ELT_ITEM && MarkKeyFor(n.ItemType) ? StateText(n.Startup) : std::u16string();
  }
}
}  // namespace

std::int32_t TPlugin::ExtractCustomIcon(const KS_WCHAR* RemoteName, std::int32_t ExtractFlags, KS_HICON* TheIcon) {
  TSentrel* s = Sentrel.get();
  if (!s || !RemoteName || !TheIcon) return FS_ICON_USEDEFAULT;
  const std::u16string path = FromHost(RemoteName);
  const std::u16string name = NamePart(path);
  if (name.empty()) return FS_ICON_USEDEFAULT;
  const TTree tree = s->Tree();
  const TMemItem* node = tree->NodeAt(path);
  if (!node) return FS_ICON_USEDEFAULT;
  const char16_t* resource = nullptr;
  // An entry, or a subkey directory, whose target is missing has an icon of its own.
  const bool entry = node->ElementType == ELT_ITEM || (node->ElementType == ELT_DIRECTORY && node->Parent);
  if (entry && !(ExtractFlags & FS_ICONFLAG_BACKGROUND) && !tree->Targets().Known(*node)) return FS_ICON_DELAYED;
  if (entry && tree->Targets().Of(*tree, *node)->Missing()) {
    resource = u"MISSING";
  } else if (node->ElementType == ELT_ITEM) {
    resource = node->ItemType.EditType == ET_OPTIONAL ? u"OPTIONAL" : u"MUST";
  } else if (node->ElementType == ELT_COMMAND) {
    switch (CommandFileOf(name)) {
      case TCommandFile::Add: resource = u"ADD"; break;
      case TCommandFile::Save: resource = u"SAVE"; break;
      case TCommandFile::Restore: resource = u"RESTORE"; break;
      case TCommandFile::None: break;
    }
  }
  if (!resource) return FS_ICON_USEDEFAULT;
  // The host asks for the small or the large icon; other flags do not change the icon.
  const auto size = (ExtractFlags & FS_ICONFLAG_SMALL) ? platform::IconSize::Small : platform::IconSize::Large;
  *TheIcon = static_cast<KS_HICON>(platform::LoadPluginIcon(resource, size));
  if (!*TheIcon) return FS_ICON_USEDEFAULT;
  return FS_ICON_EXTRACTED_DESTROY;
}

std::int32_t TPlugin::ContentGetSupportedField(std::int32_t FieldIndex, char* FieldName, std::int32_t maxlen) const {
  if (FieldIndex < 0 || FieldIndex >= kFieldCount) return ft_nomorefields;
  if (FieldName && maxlen > 0) {
    std::size_t n = std::strlen(kFields[FieldIndex]);
    if (n > static_cast<std::size_t>(maxlen - 1)) n = static_cast<std::size_t>(maxlen - 1);
    std::memcpy(FieldName, kFields[FieldIndex], n);
    FieldName[n] = '\0';
  }
  return FieldIndex == kChangedField ? ft_datetime : ft_string;
}

std::int32_t TPlugin::ContentGetValue(const KS_WCHAR* FileName, std::int32_t FieldIndex, void* FieldValue,
                                      std::int32_t maxlen, std::int32_t flags) {
  TSentrel* s = Sentrel.get();
  if (!s || !FileName) return ft_fileerror;
  const TTree tree = s->Tree();
  const TMemItem* node = tree->GetElementByFileName(FromHost(FileName));
  if (!node) return ft_fileerror;
  if (FieldIndex < 0 || FieldIndex >= kFieldCount) return ft_nosuchfield;
  if (FieldIndex == kChangedField) {
    if (!node->Changed) return ft_fieldempty;
    if (FieldValue && maxlen >= static_cast<std::int32_t>(sizeof(KsFileTime))) {
      const KsFileTime time{static_cast<KS_DWORD>(node->Changed), static_cast<KS_DWORD>(node->Changed >> 32)};
      std::memcpy(FieldValue, &time, sizeof time);
    }
    return ft_datetime;
  }
  if (FieldIndex >= kFirstTargetField && (flags & CONTENT_DELAYIFSLOW) && !tree->Targets().Known(*node)) {
    if (FieldValue && maxlen > 0) static_cast<char*>(FieldValue)[0] = '\0';
    return ft_delayed;
  }
  if (FieldValue && maxlen > 0) {
    const std::string ansi = platform::AnsiPrefix(platform::ToAnsi(FieldText(*tree, *node, FieldIndex)),
                                                  static_cast<std::size_t>(maxlen - 1));
    std::memcpy(FieldValue, ansi.data(), ansi.size());
    static_cast<char*>(FieldValue)[ansi.size()] = '\0';
  }
  return ft_string;
}

}  // namespace kestrow
