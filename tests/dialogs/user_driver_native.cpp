// The scripted user natively: a stand-in user interface that applies the steps to the form.
#include "dialogs/user_driver.h"

#include <algorithm>
#include <cstdlib>

#include "host/exports.h"
#include "host/plugin.h"
#include "platform/text.h"
#include "dialogs/forms.h"
#include "dialogs/user_interface.h"
#include "support/plugin_under_test.h"

namespace kestrow::test {

namespace {

class TStandIn : public TUserInterface {
 public:
  TStandIn(const std::vector<Step>& steps, Seen& seen) : steps_(steps), seen_(seen) {}

  void ShowModal(TForm& form) override {
    ++seen_.windows;
    if (used_) {
      seen_.problems.push_back("a second window opened");
      form.ModalResult = mrCancel;
      return;
    }
    used_ = true;
    seen_.shown = true;
    const TFormLayout& layout = form.Layout();
    seen_.windowClass = layout.className;
    seen_.caption = layout.caption;
    seen_.clientWidth = layout.clientWidth;
    seen_.clientHeight = layout.clientHeight;
    seen_.dialogFrame = layout.dialogFrame;
    for (const auto& c : layout.controls) seen_.controls[c.id] = Look(form, c);
    focus_ = form.FormActivate();
    if (focus_ == idNone && !layout.TabStops().empty()) focus_ = layout.TabStops().front();
    seen_.focus = focus_;
    for (; next_ < steps_.size(); ++next_) {
      if (form.ModalResult != mrNone) break;
      Apply(form, steps_[next_]);
    }
    if (next_ < steps_.size()) seen_.problems.push_back("steps left after the window closed");
    if (form.ModalResult == mrNone) {
      seen_.problems.push_back("the window stayed open");
      form.ModalResult = mrCancel;
    }
  }

  std::optional<std::u16string> ChooseFile(const TKeyFileDialog& d) override {
    ++seen_.windows;
    seen_.shown = true;
    seen_.windowClass = u"#32770";
    seen_.saveDialog = d.Save;
    seen_.filterItems.clear();
    std::u16string part;
    int index = 0;
    for (std::size_t i = 0; i <= d.Filter.size(); ++i) {
      if (i == d.Filter.size() || d.Filter[i] == u'|') {
        if (index++ % 2 == 0) seen_.filterItems.push_back(part);
        part.clear();
      } else {
        part += d.Filter[i];
      }
    }
    seen_.readOnlyBoxShown = !d.HideReadOnly;
    seen_.resizable = d.EnableSizing;
    seen_.defaultExt = d.DefaultExt;
    seen_.overwritePrompt = d.OverwritePrompt;
    seen_.fileMustExist = d.FileMustExist;
    if (used_ || next_ >= steps_.size()) {
      seen_.problems.push_back("a file dialog nobody answered");
      return std::nullopt;
    }
    used_ = true;
    // The host may list, and the user wait, while the dialog is open.
    for (; next_ + 1 < steps_.size(); ++next_) {
      const Step& s = steps_[next_];
      if (s.act == Act::HostLists) seen_.listed.push_back(test::List(s.text).size());
      else if (s.act != Act::Await) break;
      else if (!AwaitCondition(s.until)) seen_.problems.push_back("waited in vain with the window open");
    }
    const Step& s = steps_[next_++];
    if (next_ < steps_.size()) seen_.problems.push_back("steps left after the window closed");
    if (s.act == Act::FileName) {
      // As the platform's dialog does: a name without an extension gets the default one.
      const std::u16string name = s.text.substr(s.text.find_last_of(u"\\:") + 1);
      if (name.find(u'.') == std::u16string::npos && !d.DefaultExt.empty()) return s.text + u"." + d.DefaultExt;
      return s.text;
    }
    if (s.act != Act::CancelFile) seen_.problems.push_back("a form step for a file dialog");
    return std::nullopt;
  }

  void RequestRefresh() override { ++seen_.refreshes; }

 private:
  static SeenControl Look(const TForm& form, const TControlLayout& c) {
    const TField& f = form.Field(c.id);
    SeenControl s;
    s.text = c.kind == TControlKind::Memo ? JoinLines(f.Lines) : f.Text;
    s.readOnly = f.ReadOnly;
    s.numbersOnly = f.NumbersOnly;
    s.defaultButton = c.defaultButton;
    s.color = f.Color;
    s.left = c.left;
    s.top = c.top;
    s.width = c.width;
    s.height = c.height;
    s.fontFace = kFormFontName;
    s.fontHeight = -(kFormFontPoints * 96 + 36) / 72;
    s.bold = c.bold;
    return s;
  }

  static void SetTextOf(TForm& form, int id, const std::u16string& text) {
    const TControlLayout* c = form.Layout().Find(static_cast<TControlId>(id));
    TField& f = form.Field(static_cast<TControlId>(id));
    if (c && c->kind == TControlKind::Memo) f.Lines = SplitLines(text);
    else f.Text = text;
  }

  static std::u16string TextOf(TForm& form, int id) {
    const TControlLayout* c = form.Layout().Find(static_cast<TControlId>(id));
    const TField& f = form.Field(static_cast<TControlId>(id));
    return c && c->kind == TControlKind::Memo ? JoinLines(f.Lines) : f.Text;
  }

  void Press(TForm& form, int id) {
    if (id == idOK) form.ModalResult = mrOk;
    else if (id == idCancel) form.ModalResult = mrCancel;
    else seen_.problems.push_back("click on a control that is no button");
  }

  void NextFocus(TForm& form) {
    const auto stops = form.Layout().TabStops();
    if (stops.empty()) return;
    auto it = std::find(stops.begin(), stops.end(), focus_);
    focus_ = (it == stops.end() || it + 1 == stops.end()) ? stops.front() : *(it + 1);
  }

  void Apply(TForm& form, const Step& s) {
    const auto id = static_cast<TControlId>(s.id);
    switch (s.act) {
      case Act::Type: {
        const TField& f = form.Field(id);
        for (char16_t c : s.text) {
          std::u16string text = TextOf(form, id);
          if (c == u'\b') {
            if (f.ReadOnly || text.empty()) continue;
            text.pop_back();
          } else {
            if (!f.Accepts(c)) continue;
            text += c;
          }
          SetTextOf(form, id, text);
          form.Changed(id);
        }
        break;
      }
      case Act::Clear:
        if (form.Field(id).ReadOnly || TextOf(form, id).empty()) break;
        SetTextOf(form, id, u"");
        form.Changed(id);
        break;
      case Act::SetText: {
        SetTextOf(form, id, s.text);
        const TControlLayout* c = form.Layout().Find(id);
        // Replacing a combo box's text is no edit of the user's.
        if (c && c->kind != TControlKind::ComboBox) form.Changed(id);
        break;
      }
      case Act::Key: {
        if (form.FormKeyDown(s.key)) break;
        if (s.key == kTab) {
          NextFocus(form);
        } else if (s.key == kEnter) {
          const TControlLayout* c = form.Layout().Find(static_cast<TControlId>(focus_));
          if (c && c->kind == TControlKind::Memo) break;
          if (c && c->kind == TControlKind::Button) {
            Press(form, c->id);
            break;
          }
          for (const auto& b : form.Layout().controls)
            if (b.kind == TControlKind::Button && b.defaultButton) Press(form, b.id);
        }
        break;
      }
      case Act::Click:
        Press(form, id);
        break;
      case Act::CloseBox:
        form.ModalResult = mrCancel;
        break;
      case Act::TabCycle: {
        const int start = focus_;
        seen_.tabCycle.clear();
        for (int i = 0; i < 20; ++i) {
          NextFocus(form);
          seen_.tabCycle.push_back(focus_);
          if (focus_ == start) break;
        }
        break;
      }
      case Act::Reactivate: {
        seen_.focusBeforeReactivate = focus_;
        const TControlId wanted = form.FormActivate();
        if (wanted != idNone) focus_ = wanted;
        seen_.focusAfterReactivate = focus_;
        break;
      }
      case Act::Snapshot:
        seen_.snapshot.clear();
        for (const auto& c : form.Layout().controls) seen_.snapshot[c.id] = TextOf(form, c.id);
        break;
      case Act::FileName:
      case Act::CancelFile:
        seen_.problems.push_back("a file dialog step for a form");
        break;
      case Act::HostLists:
        seen_.listed.push_back(test::List(s.text).size());
        break;
      case Act::Await:
        if (!AwaitCondition(s.until)) seen_.problems.push_back("waited in vain with the window open");
        break;
    }
  }

  const std::vector<Step>& steps_;
  Seen& seen_;
  std::size_t next_ = 0;
  bool used_ = false;
  int focus_ = idNone;
};

}  // namespace

Seen RunAsUser(const std::function<void()>& call, const std::vector<Step>& steps, const std::string&) {
  Seen seen;
  TStandIn standIn(steps, seen);
  SetUserInterface(&standIn);
  try {
    call();
  } catch (...) {
    SetUserInterface(nullptr);
    throw;
  }
  SetUserInterface(nullptr);
  if (!seen.shown && !steps.empty()) seen.problems.push_back("no window opened");
  return seen;
}

}  // namespace kestrow::test
