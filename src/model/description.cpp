#include "model/description.h"

#include "model/names.h"
#include "model/sentrel.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "registry/comma_text.h"
#include "registry/shown_names.h"

namespace kestrow {

std::u16string MultiSzToText(const TMemItem& node) {
  std::u16string out;
  for (const auto& s : SplitCommaText(ValueToText(node.Value))) out += u"\r\n" + s;
  return out;
}

std::u16string ValueText(const TMemItem& node) {
  // A missing multi-string says so like any other missing value.
  if (node.Value.IsNull()) return u"<NULL>";
  if (node.ItemType.ValueType == VAL_MULTISZ) return MultiSzToText(node);
  return ValueToText(node.Value);
}

std::u16string DescriptionText(const TMemItem& n) {
  std::u16string t;
  t += u"Platform type: " + std::u16string(EnumText(n.ItemType.tPlatform)) + u"\r\n";
  t += u"Element type: " + std::u16string(EnumText(n.ElementType)) + u"\r\n";
  t += u"Value type: " + std::u16string(EnumText(n.ItemType.ValueType)) + u"\r\n";
  t += u"Edit type: " + std::u16string(EnumText(n.ItemType.EditType)) + u"\r\n";
  t += u"Root type: " + std::u16string(EnumText(n.ItemType.RootType)) + u"\r\n";
  t += u"Path: " + ShownPath(n.Address) + u"\r\n";
  t += u"Value name: " + ShownName(n.ValueName) + u"\r\n";
  t += u"Current value: " + ValueText(n) + u"\r\n";
  return t;
}

bool FileCreatable(const std::u16string& fileName) { return platform::CreateEmptyFile(fileName); }

bool TSentrel::GenerateTextInfo(const TMemItem& Mi, const std::u16string& FileName) const {
  const std::string bytes = "\xEF\xBB\xBF" + ToUtf8(DescriptionText(Mi));
  if (!platform::FileExists(FileName)) return FileCreatable(FileName) && platform::WriteWholeFile(FileName, bytes);
  // A file that is there is replaced only by a whole description: it is written beside it first
  // and then put in its place, so a copy that fails leaves the user's file as it was.
  const auto temp = platform::CreateUniqueFile(FolderPart(FileName), u"kestrow-copy");
  if (!temp) return false;
  const bool ok = platform::WriteWholeFile(*temp, bytes) && platform::ReplaceFile(*temp, FileName);
  if (!ok) platform::DeleteFileIfExists(*temp);
  return ok;
}

}  // namespace kestrow
