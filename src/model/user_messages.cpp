#include "model/user_messages.h"

namespace kestrow {

namespace {
class TNoUserMessages final : public TUserMessages {
 public:
  bool AskYesNo(const std::u16string&, const std::u16string&) override { return false; }
  void ShowError(const std::u16string&) override {}
  void LogImportantError(const std::u16string&) override {}
  bool Connected() const override { return false; }
};
}  // namespace

void TDeferredMessages::Deliver() {
  for (const auto& l : logs_) user_.LogImportantError(l);
  for (const auto& e : errors_) user_.ShowError(e);
  logs_.clear();
  errors_.clear();
}

TUserMessages& NoUserMessages() {
  static TNoUserMessages none;
  return none;
}

}  // namespace kestrow
