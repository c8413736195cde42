#include "dialogs/form_layout.h"

#include <algorithm>

namespace kestrow {

namespace {

using K = TControlKind;

// One row: id, kind, text, left, top, width, height, tab order, tab stop.
TControlLayout Row(TControlId id, K kind, const char16_t* text, int l, int t, int w, int h, int tab, bool stop) {
  TControlLayout c{id, kind, text, l, t, w, h, tab, stop};
  if (kind == K::Edit || kind == K::Memo || kind == K::ComboBox) c.color = clWindow;
  return c;
}

TControlLayout ReadOnlyFace(TControlLayout c) {
  c.readOnly = true;
  c.color = clBtnFace;
  return c;
}

TControlLayout WithScrollBars(TControlLayout c) {
  c.scrollBars = true;
  return c;
}

TControlLayout Default(TControlLayout c) {
  c.defaultButton = true;
  return c;
}

TControlLayout CentredBold(TControlLayout c) {
  c.centered = true;
  c.bold = true;
  return c;
}

}  // namespace

const TControlLayout* TFormLayout::Find(TControlId id) const {
  for (const auto& c : controls)
    if (c.id == id) return &c;
  return nullptr;
}

std::vector<TControlId> TFormLayout::TabStops() const {
  std::vector<const TControlLayout*> inOrder;
  for (const auto& c : controls)
    if (c.tabOrder >= 0 && c.tabStop) inOrder.push_back(&c);
  std::stable_sort(inOrder.begin(), inOrder.end(),
                   [](const TControlLayout* a, const TControlLayout* b) { return a->tabOrder < b->tabOrder; });
  std::vector<TControlId> ids;
  for (const auto* c : inOrder) ids.push_back(c->id);
  return ids;
}

const TFormLayout& EditFormLayout() {
  static const TFormLayout layout{
      u"TEditForm",
      u"Kestrow",
      424,
      370,
      false,
      {
          Row(idValue, K::Edit, u"", 8, 224, 401, 21, 0, true),
          WithScrollBars(Row(idValueLines, K::Memo, u"", 8, 251, 401, 80, 1, true)),
          Row(idOK, K::Button, u"OK", 8, 337, 75, 25, 2, true),
          Row(idCancel, K::Button, u"Cancel", 341, 337, 75, 25, 3, true),
          Row(idValueType, K::SunkenText, u"", 216, 36, 193, 17, 4, false),
          Row(idEditType, K::SunkenText, u"", 8, 82, 185, 17, 5, false),
          Row(idRootType, K::SunkenText, u"", 216, 82, 193, 17, 6, false),
          Row(idValueName, K::SunkenText, u"", 8, 176, 402, 17, 7, false),
          ReadOnlyFace(Row(idPath, K::Edit, u"", 8, 130, 401, 21, 8, true)),
          Row(idTypeID, K::SunkenText, u"", 8, 36, 185, 17, 9, false),
          Row(idTypeIDLabel, K::Label, u"Type ID:", 8, 17, 42, 13, -1, false),
          Row(idValueTypeLabel, K::Label, u"Value type:", 216, 17, 55, 13, -1, false),
          Row(idEditTypeLabel, K::Label, u"Edit type:", 8, 64, 47, 13, -1, false),
          Row(idRootTypeLabel, K::Label, u"Root type:", 216, 63, 52, 13, -1, false),
          Row(idPathLabel, K::Label, u"Path:", 8, 112, 26, 13, -1, false),
          Row(idValueNameLabel, K::Label, u"Value name:", 8, 157, 59, 13, -1, false),
          // The value field's own label, three pixels above it.
          Row(idValueLabel, K::Label, u"New value:", 8, 208, 54, 13, -1, false),
      },
  };
  return layout;
}

const TFormLayout& AddFormLayout() {
  static const TFormLayout layout{
      u"TAddForm",
      u"Kestrow",
      419,
      429,
      false,
      {
          Row(idFolderName, K::ComboBox, u"", 8, 133, 401, 21, 0, true),
          Row(idPath, K::Edit, u"", 8, 187, 401, 21, 1, true),
          Row(idValueName, K::Edit, u"", 8, 232, 401, 21, 2, true),
          Row(idValue, K::Edit, u"", 8, 283, 401, 21, 3, true),
          Row(idValueLines, K::Memo, u"", 8, 310, 401, 82, 4, true),
          Row(idOK, K::Button, u"OK", 8, 398, 75, 25, 5, true),
          Row(idCancel, K::Button, u"Cancel", 341, 398, 75, 25, 6, true),
          Row(idValueType, K::SunkenText, u"", 216, 36, 193, 17, 7, false),
          Row(idEditType, K::SunkenText, u"", 8, 82, 185, 17, 8, false),
          Row(idRootType, K::SunkenText, u"", 216, 82, 193, 17, 9, false),
          Row(idTypeID, K::SunkenText, u"", 8, 36, 185, 17, 10, false),
          Row(idTypeIDLabel, K::Label, u"Type ID:", 8, 17, 42, 13, -1, false),
          Row(idValueTypeLabel, K::Label, u"Value type:", 216, 17, 55, 13, -1, false),
          Row(idEditTypeLabel, K::Label, u"Edit type:", 8, 64, 47, 13, -1, false),
          Row(idRootTypeLabel, K::Label, u"Root type:", 216, 63, 52, 13, -1, false),
          Row(idFolderNameLabel, K::Label, u"Folder name:", 8, 114, 63, 13, -1, false),
          Row(idPathLabel, K::Label, u"Path:", 8, 168, 26, 13, -1, false),
          Row(idValueNameLabel, K::Label, u"Value name:", 8, 213, 59, 13, -1, false),
          Row(idValueLabel, K::Label, u"New value:", 8, 267, 54, 13, -1, false),
      },
  };
  return layout;
}

const TFormLayout& InfoFormLayout() {
  static const TFormLayout layout{
      u"TInfoForm",
      u"Kestrow",
      295,
      283,
      true,
      {
          Default(Row(idOK, K::Button, u"OK", 104, 254, 75, 25, 0, true)),
          CentredBold(Row(idCaptionStrip, K::SunkenText, u"", 6, 231, 281, 17, 1, false)),
          Row(idPicture, K::Picture, u"", 8, 8, 281, 217, -1, false),
      },
  };
  return layout;
}

int ScaleToDpi(int pixelsAt96, int dpi) {
  if (dpi <= 0) dpi = 96;
  const long long scaled = static_cast<long long>(pixelsAt96) * dpi;
  return static_cast<int>(scaled >= 0 ? (scaled + 48) / 96 : -((-scaled + 48) / 96));
}

}  // namespace kestrow
