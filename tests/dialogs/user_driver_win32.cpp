// The scripted user under Windows: a second thread that acts on the real windows.
#include <windows.h>
#include <objidl.h>

#include "dialogs/user_driver.h"

#include <algorithm>
#include <cstdlib>

#include "host/exports.h"
#include "host/plugin.h"
#include "platform/text.h"
#include "support/plugin_under_test.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

namespace kestrow::test {

namespace {

using Clock = std::chrono::steady_clock;

const wchar_t* Wide(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

std::u16string ClassOf(HWND h) {
  wchar_t buf[256] = {};
  const int n = GetClassNameW(h, buf, 256);
  return std::u16string(reinterpret_cast<const char16_t*>(buf), static_cast<std::size_t>(n > 0 ? n : 0));
}

std::u16string TextOfWindow(HWND h) {
  const auto n = static_cast<int>(SendMessageW(h, WM_GETTEXTLENGTH, 0, 0));
  std::vector<wchar_t> buf(static_cast<std::size_t>(n) + 1, L'\0');
  SendMessageW(h, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(buf.data()));
  return std::u16string(reinterpret_cast<const char16_t*>(buf.data()));
}

struct ThreadWindows {
  std::vector<HWND> list;
};

BOOL CALLBACK CollectVisible(HWND h, LPARAM p) {
  if (IsWindowVisible(h)) reinterpret_cast<ThreadWindows*>(p)->list.push_back(h);
  return TRUE;
}

std::vector<HWND> VisibleWindows(DWORD thread) {
  ThreadWindows w;
  EnumThreadWindows(thread, &CollectVisible, reinterpret_cast<LPARAM>(&w));
  return w.list;
}

// The host's main window, as the plugin finds it: counts the refresh requests it receives, and
// lists a path when asked by a posted message, as a host re-reads a panel while a plugin's dialog
// is open.
constexpr UINT kListMessage = WM_APP + 7;

class HostWindow {
 public:
  HostWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TTOTAL_CMD";
    RegisterClassW(&wc);
    hwnd_ = CreateWindowExW(0, L"TTOTAL_CMD", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                            wc.hInstance, nullptr);
    // Shown, as the host's window is: a dialog keeps a visible window of its thread from input.
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  }
  // Delivers what was posted to this thread and returns the counts since the last call.
  void Drain(int& refreshes, int& others) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.hwnd == nullptr && msg.message == 1024 + 51) ++others_;
      DispatchMessageW(&msg);
    }
    refreshes = refreshes_;
    others = others_;
    refreshes_ = others_ = 0;
  }
  HWND Handle() const { return hwnd_; }

  // From the driver's thread: has the host's thread list the path, and waits until it has.
  bool ListFromHostThread(const std::u16string& path, std::vector<std::size_t>& listed) {
    listPath_ = path;
    listedOut_ = &listed;
    const int before = listings_;
    PostMessageW(hwnd_, kListMessage, 0, 0);
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (listings_ == before && Clock::now() < end) Sleep(5);
    return listings_ != before;
  }

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == kListMessage) {
      listedOut_->push_back(test::List(listPath_).size());
      ++listings_;
      return 0;
    }
    if (m == 1024 + 51) {
      if (w == 540 && l == 0) ++refreshes_;
      else ++others_;
      return 0;
    }
    return DefWindowProcW(h, m, w, l);
  }
  static inline int refreshes_ = 0;
  static inline int others_ = 0;
  static inline std::u16string listPath_;
  static inline std::vector<std::size_t>* listedOut_ = nullptr;
  static inline std::atomic<int> listings_{0};
  HWND hwnd_ = nullptr;
};

HostWindow& Host() {
  static HostWindow host;
  return host;
}

const int kAllControls[] = {idTypeIDLabel, idTypeID,   idValueTypeLabel, idValueType,  idEditTypeLabel,
                            idEditType,    idRootTypeLabel, idRootType,  idFolderNameLabel, idFolderName,
                            idPathLabel,   idPath,     idValueNameLabel, idValueName,  idValueLabel,
                            idValue,       idValueLines, idOK,           idCancel,     idPicture,
                            idCaptionStrip};

// An image of the window as it is on the screen.
class Capture {
 public:
  explicit Capture(HWND form) {
    GetWindowRect(form, &rect_);
    const int w = rect_.right - rect_.left, h = rect_.bottom - rect_.top;
    HDC screen = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen);
    bitmap_ = CreateCompatibleBitmap(screen, w, h);
    old_ = SelectObject(dc_, bitmap_);
    BitBlt(dc_, 0, 0, w, h, screen, rect_.left, rect_.top, SRCCOPY);
    ReleaseDC(nullptr, screen);
  }
  ~Capture() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  // Every pixel of the image, row by row.
  std::vector<std::uint32_t> Pixels() const {
    const int w = rect_.right - rect_.left, h = rect_.bottom - rect_.top;
    if (w <= 0 || h <= 0) return {};
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint32_t> out(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    SelectObject(dc_, old_);
    const int rows = GetDIBits(dc_, bitmap_, 0, static_cast<UINT>(h), out.data(), &info, DIB_RGB_COLORS);
    SelectObject(dc_, bitmap_);
    if (rows != h) out.clear();
    return out;
  }
  // The colour at a screen point, as a system colour number when it is one of the two.
  int ColorAt(POINT screenPoint) const {
    const COLORREF c = GetPixel(dc_, screenPoint.x - rect_.left, screenPoint.y - rect_.top);
    if (c == GetSysColor(COLOR_WINDOW)) return clWindow;
    if (c == GetSysColor(COLOR_BTNFACE)) return clBtnFace;
    return -1;
  }
  void SavePng(const std::string& name) const {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return;
    Gdiplus::GpBitmap* image = nullptr;
    SelectObject(dc_, old_);
    if (Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap_, nullptr, &image) == Gdiplus::Ok) {
      // The PNG encoder.
      const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
      const std::u16string path = FromUtf8(std::string(KESTROW_SCREENSHOT_DIR) + "\\" + name + ".png");
      Gdiplus::DllExports::GdipSaveImageToFile(image, Wide(path), &png, nullptr);
      Gdiplus::DllExports::GdipDisposeImage(image);
    }
    SelectObject(dc_, bitmap_);
    Gdiplus::GdiplusShutdown(token);
  }

 private:
  RECT rect_{};
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

class Driver {
 public:
  Driver(DWORD thread, const std::vector<Step>& steps, const std::string& shot, Seen& seen)
      : thread_(thread), steps_(steps), shot_(shot), seen_(seen), before_(VisibleWindows(thread)) {}

  void Run(const std::atomic<bool>& done) {
    while (!done) {
      for (HWND h : VisibleWindows(thread_)) {
        if (std::find(before_.begin(), before_.end(), h) != before_.end()) continue;
        before_.push_back(h);
        ++seen_.windows;
        if (seen_.shown) {
          seen_.problems.push_back("a second window opened: " + ToUtf8(ClassOf(h)));
          ForceClose(h);
          continue;
        }
        seen_.shown = true;
        Handle(h);
      }
      Sleep(5);
    }
  }

 private:
  int FocusId(HWND form) const {
    GUITHREADINFO gi{};
    gi.cbSize = sizeof gi;
    if (!GetGUIThreadInfo(thread_, &gi) || !gi.hwndFocus) return 0;
    HWND h = gi.hwndFocus;
    while (h && GetParent(h) != form) h = GetParent(h);
    return h ? GetDlgCtrlID(h) : 0;
  }

  bool WaitFor(const std::function<bool()>& cond, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
      if (cond()) return true;
      Sleep(5);
    }
    return cond();
  }

  // Whether the window and its controls have painted all they had to: none of them holds a part
  // still to be painted, and the window's thread has gone back to waiting for messages (a message
  // sent to it returns), which is when what it painted reaches the screen.
  static bool Painted(HWND form) {
    if (!IsWindowVisible(form) || GetUpdateRect(form, nullptr, FALSE)) return false;
    for (HWND c = GetWindow(form, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
      if (IsWindowVisible(c) && GetUpdateRect(c, nullptr, FALSE)) return false;
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(form, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &ignored) != 0;
  }

  // Waits until the window has painted and its image on the screen has stopped changing: two
  // looks in a row see the same pixels.
  void AwaitPainted(HWND form) {
    std::vector<std::uint32_t> last;
    if (!WaitFor(
            [&] {
              if (!Painted(form)) return false;
              std::vector<std::uint32_t> now = Capture(form).Pixels();
              const bool same = !now.empty() && now == last;
              last = std::move(now);
              return same;
            },
            3000))
      seen_.problems.push_back("the window did not finish painting");
  }

  void Look(HWND form) {
    seen_.windowClass = ClassOf(form);
    seen_.caption = TextOfWindow(form);
    RECT client;
    GetClientRect(form, &client);
    seen_.clientWidth = client.right;
    seen_.clientHeight = client.bottom;
    HDC screen = GetDC(nullptr);
    seen_.dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const LONG style = GetWindowLongW(form, GWL_STYLE), ex = GetWindowLongW(form, GWL_EXSTYLE);
    seen_.resizable = (style & WS_THICKFRAME) != 0;
    seen_.minimizeBox = (style & WS_MINIMIZEBOX) != 0;
    seen_.maximizeBox = (style & WS_MAXIMIZEBOX) != 0;
    seen_.dialogFrame = (ex & WS_EX_DLGMODALFRAME) != 0;
    RECT wr;
    GetWindowRect(form, &wr);
    const int cx = (wr.left + wr.right) / 2, cy = (wr.top + wr.bottom) / 2;
    seen_.centred = std::abs(cx - GetSystemMetrics(SM_CXSCREEN) / 2) <= 1 &&
                    std::abs(cy - GetSystemMetrics(SM_CYSCREEN) / 2) <= 1;
    Capture image(form);
    for (int id : kAllControls) {
      HWND c = GetDlgItem(form, id);
      if (!c) continue;
      SeenControl s;
      s.text = TextOfWindow(c);
      const LONG cs = GetWindowLongW(c, GWL_STYLE);
      const std::u16string cls = ClassOf(c);
      if (cls == u"Edit") {
        s.readOnly = (cs & ES_READONLY) != 0;
        s.numbersOnly = (cs & ES_NUMBER) != 0;
      }
      if (cls == u"Button") s.defaultButton = (cs & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
      RECT r;
      GetWindowRect(c, &r);
      MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
      s.left = r.left;
      s.top = r.top;
      s.width = r.right - r.left;
      s.height = r.bottom - r.top;
      RECT inner;
      GetClientRect(c, &inner);
      POINT p{inner.right - 3, inner.bottom - 3};
      ClientToScreen(c, &p);
      s.color = image.ColorAt(p);
      if (auto font = reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0))) {
        LOGFONTW lf{};
        GetObjectW(font, sizeof lf, &lf);
        s.fontFace = reinterpret_cast<const char16_t*>(lf.lfFaceName);
        s.fontHeight = lf.lfHeight;
        s.bold = lf.lfWeight >= FW_BOLD;
      }
      seen_.controls[id] = s;
      if (id == idPicture) {
        POINT mid{(inner.left + inner.right) / 2, (inner.top + inner.bottom) / 2};
        ClientToScreen(c, &mid);
        seen_.pictureCenterColor = image.ColorAt(mid);
        POINT edge{inner.right - 2, (inner.top + inner.bottom) / 2};
        ClientToScreen(c, &edge);
        seen_.pictureRightEdgeColor = image.ColorAt(edge);
      }
    }
    if (!shot_.empty()) image.SavePng(shot_);
  }

  void LookAtFileDialog(HWND dlg) {
    seen_.windowClass = ClassOf(dlg);
    seen_.caption = TextOfWindow(dlg);
    const LONG style = GetWindowLongW(dlg, GWL_STYLE);
    seen_.resizable = (style & WS_THICKFRAME) != 0;
    // The type list (cmb1) and the read-only box (chx1).
    if (HWND types = GetDlgItem(dlg, 0x470)) {
      const auto n = static_cast<int>(SendMessageW(types, CB_GETCOUNT, 0, 0));
      for (int i = 0; i < n; ++i) {
        const auto len = static_cast<int>(SendMessageW(types, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0));
        std::vector<wchar_t> buf(static_cast<std::size_t>(len > 0 ? len : 0) + 1, L'\0');
        SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf.data()));
        seen_.filterItems.push_back(reinterpret_cast<const char16_t*>(buf.data()));
      }
    }
    HWND readOnly = GetDlgItem(dlg, 0x410);
    seen_.readOnlyBoxShown = readOnly && IsWindowVisible(readOnly);
    if (!shot_.empty()) Capture(dlg).SavePng(shot_);
  }

  void ForceClose(HWND h) {
    if (ClassOf(h) == u"#32770") PostMessageW(h, WM_COMMAND, IDCANCEL, 0);
    else PostMessageW(h, WM_CLOSE, 0, 0);
    WaitFor([&] { return !IsWindow(h) || !IsWindowVisible(h); }, 3000);
  }

  HWND Target(HWND form, int id) const {
    HWND c = GetDlgItem(form, id);
    // Typing into a combo box goes to its edit field.
    if (c && ClassOf(c) == u"ComboBox") {
      if (HWND edit = FindWindowExW(c, nullptr, L"Edit", nullptr)) return edit;
    }
    return c;
  }

  void PressKey(HWND form, std::uint16_t key) {
    GUITHREADINFO gi{};
    gi.cbSize = sizeof gi;
    GetGUIThreadInfo(thread_, &gi);
    HWND to = gi.hwndFocus ? gi.hwndFocus : form;
    PostMessageW(to, WM_KEYDOWN, key, 1);
    PostMessageW(to, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
  }

  void ListThroughHost(const std::u16string& path) {
    if (!Host().ListFromHostThread(path, seen_.listed))
      seen_.problems.push_back("the host's window did not list while the window was open");
  }

  void Handle(HWND h) {
    seen_.hostEnabledWhileOpen = IsWindowEnabled(Host().Handle()) != FALSE;
    if (ClassOf(h) == u"#32770") {
      WaitFor([&] { return GetDlgItem(h, kFileNameField) != nullptr; }, 3000);
      AwaitPainted(h);
      LookAtFileDialog(h);
      for (const Step& s : steps_) {
        if (!IsWindow(h)) {
          seen_.problems.push_back("steps left after the window closed");
          break;
        }
        if (s.act == Act::HostLists) {
          ListThroughHost(s.text);
        } else if (s.act == Act::Await) {
          if (!AwaitCondition(s.until)) seen_.problems.push_back("waited in vain with the window open");
        } else if (s.act == Act::FileName) {
          SetDlgItemTextW(h, kFileNameField, Wide(s.text));
          SendMessageW(GetDlgItem(h, kFileOk), BM_CLICK, 0, 0);
        } else if (s.act == Act::CancelFile) {
          SendMessageW(GetDlgItem(h, kFileCancel), BM_CLICK, 0, 0);
        } else {
          seen_.problems.push_back("a form step for a file dialog");
        }
      }
      if (!WaitFor([&] { return !IsWindow(h) || !IsWindowVisible(h); }, 5000)) {
        seen_.problems.push_back("the window stayed open");
        ForceClose(h);
      }
      return;
    }
    // Open once the first activation has placed the focus and the window has painted.
    WaitFor([&] { return FocusId(h) != 0; }, 2000);
    AwaitPainted(h);
    Look(h);
    seen_.focus = FocusId(h);
    for (const Step& s : steps_) {
      if (!IsWindow(h) || !IsWindowVisible(h)) {
        seen_.problems.push_back("steps left after the window closed");
        break;
      }
      Do(h, s);
    }
    if (!WaitFor([&] { return !IsWindow(h) || !IsWindowVisible(h); }, 5000)) {
      seen_.problems.push_back("the window stayed open");
      ForceClose(h);
    }
  }

  void Do(HWND form, const Step& s) {
    switch (s.act) {
      case Act::Type: {
        HWND t = Target(form, s.id);
        const auto len = SendMessageW(t, WM_GETTEXTLENGTH, 0, 0);
        SendMessageW(t, EM_SETSEL, static_cast<WPARAM>(len), len);
        for (char16_t c : s.text) SendMessageW(t, WM_CHAR, c, 1);
        break;
      }
      case Act::Clear: {
        HWND t = Target(form, s.id);
        SendMessageW(t, EM_SETSEL, 0, -1);
        SendMessageW(t, WM_CHAR, u'\b', 1);
        break;
      }
      case Act::SetText:
        SendMessageW(GetDlgItem(form, s.id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(s.text)));
        break;
      case Act::Key: {
        const int before = FocusId(form);
        PressKey(form, s.key);
        if (s.key == kTab) WaitFor([&] { return FocusId(form) != before; }, 2000);
        else WaitFor([&] { return !IsWindowVisible(form); }, 200);
        break;
      }
      case Act::Click:
        SendMessageW(GetDlgItem(form, s.id), BM_CLICK, 0, 0);
        break;
      case Act::CloseBox:
        PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
        WaitFor([&] { return !IsWindowVisible(form); }, 2000);
        break;
      case Act::TabCycle: {
        const int start = FocusId(form);
        seen_.tabCycle.clear();
        for (int i = 0; i < 20; ++i) {
          const int before = FocusId(form);
          PressKey(form, kTab);
          WaitFor([&] { return FocusId(form) != before; }, 1000);
          seen_.tabCycle.push_back(FocusId(form));
          if (FocusId(form) == start) break;
        }
        break;
      }
      case Act::Reactivate: {
        seen_.focusBeforeReactivate = FocusId(form);
        HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                     GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(other);
        // Behind once the window's thread has taken in its deactivation.
        WaitFor([&] { return GetForegroundWindow() == other && Painted(form); }, 1000);
        SetForegroundWindow(form);
        // Back in front once the activation has placed the focus again and the thread is idle.
        WaitFor([&] { return GetForegroundWindow() == form && FocusId(form) != 0 && Painted(form); }, 1000);
        seen_.focusAfterReactivate = FocusId(form);
        DestroyWindow(other);
        break;
      }
      case Act::Snapshot:
        seen_.snapshot.clear();
        for (int id : kAllControls)
          if (HWND c = GetDlgItem(form, id)) seen_.snapshot[id] = TextOfWindow(c);
        break;
      case Act::FileName:
      case Act::CancelFile:
        seen_.problems.push_back("a file dialog step for a form");
        break;
      case Act::HostLists:
        ListThroughHost(s.text);
        break;
      case Act::Await:
        if (!AwaitCondition(s.until)) seen_.problems.push_back("waited in vain with the window open");
        break;
    }
  }

  const DWORD thread_;
  const std::vector<Step>& steps_;
  const std::string shot_;
  Seen& seen_;
  std::vector<HWND> before_;
};

}  // namespace

Seen RunAsUser(const std::function<void()>& call, const std::vector<Step>& steps, const std::string& screenshot) {
  Seen seen;
  int refreshes = 0, others = 0;
  Host().Drain(refreshes, others);
  std::atomic<bool> done{false};
  Driver driver(GetCurrentThreadId(), steps, screenshot, seen);
  std::thread user([&] { driver.Run(done); });
  try {
    call();
  } catch (...) {
    done = true;
    user.join();
    throw;
  }
  done = true;
  user.join();
  seen.hostEnabledAfter = IsWindowEnabled(Host().Handle()) != FALSE;
  Host().Drain(seen.refreshes, seen.otherHostMessages);
  if (!seen.shown && !steps.empty()) seen.problems.push_back("no window opened");
  return seen;
}

}  // namespace kestrow::test
