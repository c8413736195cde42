// What the portable code asks the user and tells them. The host layer answers through the file
// manager's callbacks; where nobody answers, a question is answered No and nothing is shown.
#pragma once

#include <string>
#include <vector>

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

// Error boxes held back while a lock is held, and shown by Deliver() once it is not: the host may
// do anything while a box is open, list the drive again or ask from another thread included.
// Questions are not held back: they are answered No.
class TDeferredMessages final : public TUserMessages {
 public:
  explicit TDeferredMessages(TUserMessages& user) : user_(user) {}
  bool AskYesNo(const std::u16string&, const std::u16string&) override { return false; }
  void ShowError(const std::u16string& text) override { errors_.push_back(text); }
  void LogImportantError(const std::u16string& text) override { logs_.push_back(text); }
  bool Connected() const override { return user_.Connected(); }
  // Shows what was held back, in the order it came.
  void Deliver();

 private:
  TUserMessages& user_;
  std::vector<std::u16string> errors_, logs_;
};

}  // namespace kestrow
