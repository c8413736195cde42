// What the portable code asks the user and tells them. The host layer answers through the file
// manager's callbacks; where nobody answers, a question is answered No and nothing is shown.
#pragma once

#include <string>

namespace kestrow {

class TUserMessages {
 public:
  virtual ~TUserMessages() = default;
  // A Yes/No question; true for Yes.
  virtual bool AskYesNo(const std::u16string& title, const std::u16string& text) = 0;
  // An error box the user closes.
  virtual void ShowError(const std::u16string& text) = 0;
  // A line in the host's log of important errors.
  virtual void LogImportantError(const std::u16string& text) = 0;
  // True when questions and messages reach the user.
  virtual bool Connected() const = 0;
};

// Messages that reach nobody: every question is answered No.
TUserMessages& NoUserMessages();

}  // namespace kestrow
