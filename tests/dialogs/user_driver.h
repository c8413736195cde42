// A user for the dialog tests: runs a call that opens a window, looks at the window, performs a
// list of steps on it and reports what it saw. Under Windows (wine64) the steps act on the real
// windows from a second thread; natively a stand-in user interface applies them to the form.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "dialogs/form_layout.h"

namespace kestrow::test {

// Keys.
inline constexpr std::uint16_t kTab = 9;
inline constexpr std::uint16_t kEnter = 13;
inline constexpr std::uint16_t kEscape = 27;

// File dialog controls.
inline constexpr int kFileNameField = 0x47c;
inline constexpr int kFileOk = 1;
inline constexpr int kFileCancel = 2;

enum class Act {
  Type,        // characters typed at the end of the control's text ('\b' erases one)
  Clear,       // the whole text selected and erased
  SetText,     // the text replaced at once (an edit or memo; not the combo box)
  Key,         // a key pressed with the focus where it is
  Click,       // a button clicked
  CloseBox,    // the window's close box
  TabCycle,    // Tab pressed until the focus comes back; records the controls it visited
  Reactivate,  // another window activated, then the dialog again; records the focus
  Snapshot,    // records the texts of the controls again
  FileName,    // file dialog: a name entered and OK clicked
  CancelFile,  // file dialog: Cancel clicked
  HostLists,   // the host lists a path while the window is open (FsFindFirstW and FsFindNextW)
  Await,       // the user waits, the window open, until a condition holds (at most ten seconds)
};

struct Step {
  Step(Act a, int i = 0, std::u16string t = std::u16string(), std::uint16_t k = 0)
      : act(a), id(i), text(std::move(t)), key(k) {}
  Act act;
  int id;
  std::u16string text;
  std::uint16_t key;
  std::function<bool()> until;  // Await
};

inline Step Type(int id, std::u16string text) { return {Act::Type, id, std::move(text)}; }
inline Step Clear(int id) { return {Act::Clear, id}; }
inline Step SetText(int id, std::u16string text) { return {Act::SetText, id, std::move(text)}; }
inline Step Key(std::uint16_t key) { return {Act::Key, 0, u"", key}; }
inline Step Click(int id) { return {Act::Click, id}; }
inline Step CloseBox() { return {Act::CloseBox}; }
inline Step TabCycle() { return {Act::TabCycle}; }
inline Step Reactivate() { return {Act::Reactivate}; }
inline Step Snapshot() { return {Act::Snapshot}; }
inline Step FileName(std::u16string name) { return {Act::FileName, 0, std::move(name)}; }
inline Step CancelFile() { return {Act::CancelFile}; }
// Natively the stand-in lists from inside the dialog; under Windows the driver posts a message to
// the host's window, whose window procedure lists when the dialog's message loop delivers it.
inline Step HostLists(std::u16string path) { return {Act::HostLists, 0, std::move(path)}; }
// The condition is asked from the user's side: natively inside the dialog's modal call, under
// Windows from the user's thread while the dialog's message loop runs.
inline Step Await(std::function<bool()> until) {
  Step s(Act::Await);
  s.until = std::move(until);
  return s;
}
// Waits for an Await step's condition; false when ten seconds passed without it.
bool AwaitCondition(const std::function<bool()>& until);

struct SeenControl {
  std::u16string text;  // a memo's text has its lines joined by CR LF
  bool readOnly = false;
  bool numbersOnly = false;
  bool defaultButton = false;
  int color = -1;  // clWindow, clBtnFace, or -1 for another colour
  int left = 0, top = 0, width = 0, height = 0;  // client pixels of the form
  std::u16string fontFace;
  int fontHeight = 0;
  bool bold = false;
};

struct Seen {
  bool shown = false;          // a window opened
  int windows = 0;             // how many windows opened during the call
  std::u16string windowClass;  // TEditForm, TAddForm, TInfoForm, or the file dialog's class
  std::u16string caption;
  int clientWidth = 0, clientHeight = 0;
  int dpi = 96;
  std::map<int, SeenControl> controls;
  int focus = 0;               // control with the focus once the window is open
  std::vector<int> tabCycle;   // focus after each Tab of a TabCycle step
  int focusBeforeReactivate = 0, focusAfterReactivate = 0;
  std::map<int, std::u16string> snapshot;  // texts at the last Snapshot step
  int refreshes = 0;           // refresh requests that reached the host window
  int otherHostMessages = 0;   // host command messages with other parameters
  std::vector<std::size_t> listed;  // entries each List step found, in order
  // Under Windows: whether the host's window took input while the window was open, and after
  // the call.
  bool hostEnabledWhileOpen = true, hostEnabledAfter = true;
  std::vector<std::string> problems;  // what went wrong on the user's side

  // Window system details, checked where there is a window system.
  bool resizable = false, minimizeBox = false, maximizeBox = false, dialogFrame = false, centred = false;
  // The file dialog.
  bool saveDialog = false;
  std::vector<std::u16string> filterItems;
  bool readOnlyBoxShown = false;
  std::u16string defaultExt;   // natively only: what the dialog was given
  bool overwritePrompt = false, fileMustExist = false;  // natively only
  // The About picture: the colour in the middle of its box, and beside the drawn picture.
  int pictureCenterColor = -1, pictureRightEdgeColor = -1;
};

// Runs the call on this thread as the user performs the steps on the window it opens, and
// collects what the user saw. A window left open after the steps is closed and reported.
Seen RunAsUser(const std::function<void()>& call, const std::vector<Step>& steps,
               const std::string& screenshot = "");

// Reports every problem on the user's side as a failure of the test.
void ExpectNoProblems(const Seen& seen);
// The text of a control as the window showed it when it opened, or "(no control)".
std::u16string Shown(const Seen& seen, int id);
// The user opens the entry (FsExecuteFileW with "open"), replaces its value in the edit dialog,
// presses OK and answers Yes: what the user saw; the export's result goes to *result.
Seen EditAsUser(const std::u16string& remote, const std::u16string& value, std::int32_t* result);

// Points the host callbacks of the core linked into this test at the recorders of
// test::Recorded(), creating the central object first if needed.
void UseRecordingHost();


}  // namespace kestrow::test
