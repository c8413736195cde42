// The three dialogs as the logic sees them: the state of each control and the form's handlers.
// A view (the Windows windows, or a test's stand-in) shows a form modally, keeps the fields in
// step with what the user types, calls the handlers and sets ModalResult.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "dialogs/form_layout.h"
#include "model/mem_item.h"

namespace kestrow {

class TSentrel;
class TUserMessages;

// One control's state.
struct TField {
  std::u16string Text;               // every control but the memo
  std::vector<std::u16string> Lines;  // the memo
  bool ReadOnly = false;
  bool NumbersOnly = false;  // typing accepts the digits 0 to 9 only
  int Color = clBtnFace;     // clWindow or clBtnFace

  // Whether typing the character changes this control.
  bool Accepts(char16_t c) const;
};

class TForm {
 public:
  explicit TForm(const TFormLayout& layout);
  virtual ~TForm() = default;
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  const TFormLayout& Layout() const { return layout_; }
  TField& Field(TControlId id);
  const TField& Field(TControlId id) const;

  TModalResult ModalResult = mrNone;

  // Called on each activation of the form; the control that should get the focus, or idNone.
  // The view gives it the focus only if that control can take it.
  virtual TControlId FormActivate() { return idNone; }
  // Called with every key before the focused control sees it; true when the key was used.
  virtual bool FormKeyDown(std::uint16_t key);
  // Called after the user changed the text of an editable control.
  virtual void Changed(TControlId) {}

 private:
  const TFormLayout& layout_;
  std::map<TControlId, TField> fields_;
};

// The lines of a memo's text, and back: lines end with CR LF, CR or LF; a final line break does
// not start another line.
std::vector<std::u16string> SplitLines(const std::u16string& text);
std::u16string JoinLines(const std::vector<std::u16string>& lines);

// The names of the item's types as the dialogs show them.
std::u16string TypeNameText(VALUE_TYPES v);
std::u16string TypeNameText(EDIT_TYPES v);
std::u16string TypeNameText(ROOT_TYPES v);

class TEditForm : public TForm {
 public:
  // Fills the fields from the item (the first two steps of ShowEdForm).
  explicit TEditForm(const TMemItem& Mi);

  TField& lbTypeID() { return Field(idTypeID); }
  TField& lbValueType() { return Field(idValueType); }
  TField& lbEditType() { return Field(idEditType); }
  TField& lbRootType() { return Field(idRootType); }
  TField& lbPath() { return Field(idPath); }
  TField& lbValueName() { return Field(idValueName); }
  TField& edValue() { return Field(idValue); }
  TField& edlValue() { return Field(idValueLines); }

  TControlId FormActivate() override;
  bool FormKeyDown(std::uint16_t key) override;

 private:
  bool activateAttached_ = true;
};

class TAddForm : public TForm {
 public:
  // Fills the fields for the temporary item (step 2 and 3 of ShowAddForm).
  explicit TAddForm(const TMemItem& item);

  TField& lbTypeID() { return Field(idTypeID); }
  TField& lbValueType() { return Field(idValueType); }
  TField& lbEditType() { return Field(idEditType); }
  TField& lbRootType() { return Field(idRootType); }
  TField& cbFolderName() { return Field(idFolderName); }
  TField& edPath() { return Field(idPath); }
  TField& edValueName() { return Field(idValueName); }
  TField& edValue() { return Field(idValue); }
  TField& edlValue() { return Field(idValueLines); }

  // The type's key path the dialog started from.
  std::u16string sAddr;

  // Rebuilds the path from sAddr and the folder name.
  void cbFolderNameChange();
  // The key path the path field names: its text, in which the type's key path may be shown with
  // its key names escaped (registry/shown_names.h).
  std::u16string PathToWrite();
  TControlId FormActivate() override;
  bool FormKeyDown(std::uint16_t key) override;
  void Changed(TControlId id) override;

 private:
  bool activateAttached_ = true;
};

class TInfoForm : public TForm {
 public:
  TInfoForm();
  TField& StaticText1() { return Field(idCaptionStrip); }
};

// The name of the About picture among the library's resources (raw data, a JPEG).
inline constexpr const char16_t* kAboutPictureResource = u"ABOUT";
// Its size in pixels.
inline constexpr int kAboutPictureWidth = 676;
inline constexpr int kAboutPictureHeight = 530;

// The dialogs' operations. Each shows its dialog through the current user interface; the
// messages go through the host's callbacks.
// The edit dialog for an item of the tree (copied before anything is shown); true only when a
// new value was written.
bool ShowEdForm(TSentrel& sentrel, const TMemItem& Mi);
// The add dialog for a type's ".ADD" command; true only when a value was written.
bool ShowAddForm(TSentrel& sentrel, const TMemItem& Mi);
// The About dialog.
void ShowInfoForm();
// How a failed write of a dialog reaches the user: "Value not written!" in the host's log, then
// the text in an error box.
void ReportWriteError(TUserMessages& user, const std::u16string& text);

}  // namespace kestrow
