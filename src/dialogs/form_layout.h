// The three dialogs as tables: window size and caption, and each control's kind, fixed text,
// position and size in pixels at 96 dots per inch, in tab order. The Windows view creates its
// windows from these tables; the logic and its tests only read them.
#pragma once

#include <string>
#include <vector>

namespace kestrow {

enum TModalResult : int { mrNone = 0, mrOk = 1, mrCancel = 2 };

// System colour numbers, as the platform's colour table counts them.
inline constexpr int clWindow = 5;
inline constexpr int clBtnFace = 15;

// The controls of all three dialogs. On Windows these are the child windows' identifiers; they
// stay clear of the platform's IDOK and IDCANCEL, so that Enter and Escape never reach a button
// through the platform's dialog keys.
enum TControlId : int {
  idNone = 0,
  idTypeIDLabel = 100,
  idTypeID,
  idValueTypeLabel,
  idValueType,
  idEditTypeLabel,
  idEditType,
  idRootTypeLabel,
  idRootType,
  idFolderNameLabel,
  idFolderName,
  idPathLabel,
  idPath,
  idValueNameLabel,
  idValueName,
  idValueLabel,
  idValue,
  idValueLines,
  idOK,
  idCancel,
  idPicture,
  idCaptionStrip,
};

enum class TControlKind {
  Label,       // plain text on the form's background
  SunkenText,  // one line of text in a sunken frame, fixed size
  Edit,        // single-line edit
  Memo,        // multi-line edit
  ComboBox,    // editable combo box
  Button,      // push button
  Picture,     // the About picture, drawn by the form
};

struct TControlLayout {
  TControlId id;
  TControlKind kind;
  const char16_t* text;  // fixed text; empty when the form fills the control
  int left, top, width, height;
  int tabOrder;  // -1: not in the tab order
  bool tabStop;
  bool readOnly = false;     // read-only whatever the value type
  int color = clBtnFace;     // background: clWindow or clBtnFace
  bool scrollBars = false;   // memo: both scroll bars
  bool defaultButton = false;
  bool centered = false;     // text centred in the control
  bool bold = false;         // bold black text
};

struct TFormLayout {
  const char16_t* className;  // window class of the form
  const char16_t* caption;
  int clientWidth, clientHeight;
  bool dialogFrame;  // fixed dialog frame without minimise and maximise boxes
  std::vector<TControlLayout> controls;  // tab order first, then the controls outside it

  const TControlLayout* Find(TControlId id) const;
  // The controls that Tab visits, in order.
  std::vector<TControlId> TabStops() const;
};

const TFormLayout& EditFormLayout();
const TFormLayout& AddFormLayout();
const TFormLayout& InfoFormLayout();

// The form's font: Tahoma, 8 points.
inline constexpr const char16_t* kFormFontName = u"Tahoma";
inline constexpr int kFormFontPoints = 8;

// A length in pixels at 96 dots per inch, at the given resolution (rounded to nearest).
int ScaleToDpi(int pixelsAt96, int dpi);

}  // namespace kestrow
