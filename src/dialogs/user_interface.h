// What the plugin needs from the window system: showing its dialogs modally, the platform's
// standard file dialogs, and the host's refresh request. Windows builds show real windows; the
// native build has no windows, and its tests put a scripted stand-in in place.
#pragma once

#include <optional>
#include <string>

#include "dialogs/forms.h"

namespace kestrow {

// The settings of the file dialogs for key files.
struct TKeyFileDialog {
  bool Save = false;  // the save-file dialog, else the open-file dialog
  std::u16string Filter = u"*.kscrkey|*.kscrkey";  // description|mask pairs
  std::u16string DefaultExt = u"kscrkey";
  bool HideReadOnly = true;
  bool EnableSizing = true;
  bool OverwritePrompt = false;
  bool FileMustExist = false;
};

class TUserInterface {
 public:
  virtual ~TUserInterface() = default;
  // Shows the form without an owner and returns when it is closed; ModalResult tells how.
  virtual void ShowModal(TForm& form) = 0;
  // The platform's standard file dialog, without an owner; the chosen name, or none.
  virtual std::optional<std::u16string> ChooseFile(const TKeyFileDialog& dialog) = 0;
  // Asks the host's main window to read its panel again; does not wait for it.
  virtual void RequestRefresh() = 0;
};

// The user interface in use.
TUserInterface& UserInterface();
// Puts another user interface in place; null puts the platform's back.
void SetUserInterface(TUserInterface* ui);

// The host's main window and its command message for re-reading the source panel.
inline constexpr const char16_t* kHostWindowClass = u"TTOTAL_CMD";
inline constexpr unsigned kHostCommandMessage = 1024 + 51;
inline constexpr unsigned kHostRereadSourcePanel = 540;

}  // namespace kestrow
