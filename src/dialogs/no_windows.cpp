// The native build has no window system: every dialog closes at once as if cancelled, and there
// is no host window to refresh.
#include "dialogs/user_interface.h"

namespace kestrow {

namespace {
class TNoWindows : public TUserInterface {
 public:
  void ShowModal(TForm& form) override { form.ModalResult = mrCancel; }
  std::optional<std::u16string> ChooseFile(const TKeyFileDialog&) override { return std::nullopt; }
  void RequestRefresh() override {}
};
}  // namespace

TUserInterface& PlatformUserInterface() {
  static TNoWindows ui;
  return ui;
}

}  // namespace kestrow
