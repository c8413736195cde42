#include "dialogs/forms.h"

#include "dialogs/user_interface.h"
#include "model/confirmations.h"
#include "model/description.h"
#include "model/sentrel.h"
#include "registry/comma_text.h"
#include "registry/shown_names.h"

namespace kestrow {

namespace {

constexpr std::uint16_t kEscapeKey = 27;

const char16_t* const kNotWrittenLog = u"Value not written!";
const char16_t* const kWriteFailed = u"Registry write failed.\r\nCheck rights and user elevation!";

// The value controls by value type: the active one editable with the window colour, the other
// read-only with the button-face colour.
void PrepareValueControls(TForm& form, VALUE_TYPES type) {
  TField& single = form.Field(idValue);
  TField& lines = form.Field(idValueLines);
  const bool multi = type == VAL_MULTISZ;
  single.ReadOnly = multi;
  single.Color = multi ? clBtnFace : clWindow;
  single.NumbersOnly = type == VAL_INTEGER;
  lines.ReadOnly = !multi;
  lines.Color = multi ? clWindow : clBtnFace;
}

void ReportWriteFailure(TUserMessages& user) { ReportWriteError(user, kWriteFailed); }

// The text the dialog hands to the write: the memo's lines as comma text for a multi-string,
// the value field otherwise.
std::u16string NewValueText(TForm& form, VALUE_TYPES type) {
  if (type == VAL_MULTISZ) return JoinCommaText(form.Field(idValueLines).Lines);
  return form.Field(idValue).Text;
}

}  // namespace

void ReportWriteError(TUserMessages& user, const std::u16string& text) {
  user.LogImportantError(kNotWrittenLog);
  user.ShowError(text);
}

bool TField::Accepts(char16_t c) const {
  if (ReadOnly) return false;
  if (NumbersOnly) return c >= u'0' && c <= u'9';
  return true;
}

TForm::TForm(const TFormLayout& layout) : layout_(layout) {
  for (const auto& c : layout.controls) {
    TField f;
    f.Text = c.text;
    f.ReadOnly = c.readOnly;
    f.Color = c.color;
    fields_.emplace(c.id, std::move(f));
  }
}

TField& TForm::Field(TControlId id) { return fields_[id]; }

const TField& TForm::Field(TControlId id) const {
  static const TField none;
  auto it = fields_.find(id);
  return it == fields_.end() ? none : it->second;
}

bool TForm::FormKeyDown(std::uint16_t) { return false; }

std::vector<std::u16string> SplitLines(const std::u16string& text) {
  std::vector<std::u16string> lines;
  std::u16string line;
  std::size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i++];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i < text.size() && text[i] == u'\n') ++i;
      lines.push_back(std::move(line));
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

std::u16string JoinLines(const std::vector<std::u16string>& lines) {
  std::u16string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text += u"\r\n";
    text += lines[i];
  }
  return text;
}

std::u16string TypeNameText(VALUE_TYPES v) { return EnumText(v); }
std::u16string TypeNameText(EDIT_TYPES v) { return EnumText(v); }
std::u16string TypeNameText(ROOT_TYPES v) { return EnumText(v); }

// ---- Edit value dialog ----

TEditForm::TEditForm(const TMemItem& Mi) : TForm(EditFormLayout()) {
  const TItemType& type = Mi.ItemType;
  lbValueType().Text = TypeNameText(type.ValueType);
  lbEditType().Text = TypeNameText(type.EditType);
  lbRootType().Text = TypeNameText(type.RootType);
  lbPath().Text = ShownPath(Mi.Address);
  lbValueName().Text = ShownName(Mi.ValueName);
  lbTypeID().Text = ShownName(type.TypeID);

  PrepareValueControls(*this, type.ValueType);
  switch (type.ValueType) {
    case VAL_INTEGER:
      edValue().Text = Mi.Value.IsNull() ? u"-1" : ValueToText(Mi.Value);
      break;
    case VAL_MULTISZ:
      edlValue().Lines = SplitCommaText(Mi.Value.IsNull() ? std::u16string() : ValueToText(Mi.Value));
      break;
    default:
      edValue().Text = Mi.Value.IsNull() ? std::u16string() : ValueToText(Mi.Value);
      break;
  }
}

TControlId TEditForm::FormActivate() {
  if (!activateAttached_) return idNone;
  activateAttached_ = false;
  return edValue().ReadOnly ? idValueLines : idValue;
}

bool TEditForm::FormKeyDown(std::uint16_t key) {
  if (key != kEscapeKey) return false;
  ModalResult = mrCancel;
  return true;
}

bool ShowEdForm(TSentrel& sentrel, const TMemItem& node) {
  // The host may list while the dialog or the question is open, which rebuilds the tree: what
  // the write needs is copied first.
  const TMemItem Mi = DetachedCopy(node);
  TEditForm form(Mi);
  UserInterface().ShowModal(form);
  if (form.ModalResult != mrOk) return false;
  if (!ConfirmChange(sentrel)) return false;
  const std::u16string text = NewValueText(form, Mi.ItemType.ValueType);
  // The key is never created from this dialog.
  const bool written = sentrel.ApplyNewValue(Mi, TValue::Text(text), false);
  if (!written) ReportWriteFailure(sentrel.User());
  return written;
}

// ---- Add value dialog ----

TAddForm::TAddForm(const TMemItem& item) : TForm(AddFormLayout()) {
  const TItemType& type = item.ItemType;
  lbValueType().Text = TypeNameText(type.ValueType);
  lbEditType().Text = TypeNameText(type.EditType);
  lbRootType().Text = TypeNameText(type.RootType);
  sAddr = item.Address;
  cbFolderName().Text.clear();
  cbFolderNameChange();
  lbTypeID().Text = ShownName(type.TypeID);
  PrepareValueControls(*this, type.ValueType);
}

namespace {
// The type's key path with a final backslash, as the path field starts.
std::u16string PathBase(const std::u16string& sAddr) {
  return sAddr.empty() || sAddr.back() != u'\\' ? sAddr + u'\\' : sAddr;
}
}  // namespace

void TAddForm::cbFolderNameChange() { edPath().Text = ShownPath(PathBase(sAddr)) + cbFolderName().Text; }

std::u16string TAddForm::PathToWrite() {
  // The field shows a key name holding a NUL in its escaped form: while the text begins with the
  // type's key path as shown, that part stands for the real path.
  const std::u16string base = PathBase(sAddr), shown = ShownPath(base);
  const std::u16string& text = edPath().Text;
  if (shown != base && text.compare(0, shown.size(), shown) == 0) return base + text.substr(shown.size());
  return text;
}

TControlId TAddForm::FormActivate() {
  if (!activateAttached_) return idNone;
  activateAttached_ = false;
  return idFolderName;
}

bool TAddForm::FormKeyDown(std::uint16_t key) {
  if (key != kEscapeKey) return false;
  ModalResult = mrCancel;
  return true;
}

void TAddForm::Changed(TControlId id) {
  if (id == idFolderName) cbFolderNameChange();
}

bool ShowAddForm(TSentrel& sentrel, const TMemItem& Mi) {
  // The new value as an item of the type that is not part of the tree. It keeps no reference to
  // the type directory either: the host may list while the dialog is open, which rebuilds the tree.
  TMemItem item(ELT_ITEM, nullptr, Mi.ItemType, Mi.Address, u"");

  TAddForm form(item);
  UserInterface().ShowModal(form);
  if (form.ModalResult != mrOk) return false;
  if (form.edPath().Text.empty()) return false;
  if (!ConfirmAdd(sentrel)) return false;
  // An empty name writes the key's default value.
  item.ValueName = form.edValueName().Text;
  item.Address = form.PathToWrite();
  // A folder name always creates its subkey; a hand-made path only when the flag allows it.
  const bool createKey = !form.cbFolderName().Text.empty() || sentrel.Settings.Get().fCanCreateKey;
  const std::u16string text = NewValueText(form, item.ItemType.ValueType);
  const bool written = sentrel.ApplyNewValue(item, TValue::Text(text), createKey);
  if (!written) ReportWriteFailure(sentrel.User());
  return written;
}

// ---- About dialog ----

TInfoForm::TInfoForm() : TForm(InfoFormLayout()) {
  StaticText1().Text = u"Kestrow " KESTROW_VERSION;
}

void ShowInfoForm() {
  TInfoForm form;
  UserInterface().ShowModal(form);
}

}  // namespace kestrow
