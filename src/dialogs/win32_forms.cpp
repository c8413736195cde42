// The dialogs as Windows windows: one window class per form, child controls made from the form's
// table, and a modal loop of our own that gives the form every key first.
#include <windows.h>
#include <commdlg.h>
#include <objidl.h>

#include <algorithm>
#include <map>
#include <memory>
#include <vector>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include "dialogs/user_interface.h"

namespace kestrow {

namespace {

namespace gp = Gdiplus::DllExports;

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

std::u16string WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::vector<wchar_t> buf(static_cast<std::size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(hwnd, buf.data(), n + 1);
  return std::u16string(reinterpret_cast<const char16_t*>(buf.data()), static_cast<std::size_t>(got > 0 ? got : 0));
}

// The module that holds this code and its resources: the plugin, or a test program that links
// the core directly.
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

// The About picture, decoded from the library's resources with GDI+.
class TPicture {
 public:
  TPicture() {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) {
      token_ = 0;
      return;
    }
    HINSTANCE module = ThisModule();
    HRSRC res = FindResourceW(module, W(kAboutPictureResource), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!res) return;
    const DWORD size = SizeofResource(module, res);
    HGLOBAL loaded = LoadResource(module, res);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || !size) return;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy) return;
    void* dst = GlobalLock(copy);
    if (!dst) {
      GlobalFree(copy);
      return;
    }
    CopyMemory(dst, bytes, size);
    GlobalUnlock(copy);
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(copy, TRUE, &stream) != S_OK) {
      GlobalFree(copy);
      return;
    }
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (gp::GdipCreateBitmapFromStream(stream, &bitmap) == Gdiplus::Ok) image_ = bitmap;
    // GDI+ keeps its own reference to the stream while the image lives.
    stream->Release();
  }
  ~TPicture() {
    if (image_) gp::GdipDisposeImage(image_);
    if (token_) Gdiplus::GdiplusShutdown(token_);
  }
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  // Draws the picture into the box, as large as fits with its proportions kept, from the box's
  // top left corner.
  void Draw(HDC dc, const RECT& box) const {
    if (!image_) return;
    UINT iw = 0, ih = 0;
    gp::GdipGetImageWidth(image_, &iw);
    gp::GdipGetImageHeight(image_, &ih);
    if (!iw || !ih) return;
    const double bw = box.right - box.left, bh = box.bottom - box.top;
    const double scale = std::min(bw / iw, bh / ih);
    const int w = static_cast<int>(iw * scale + 0.5), h = static_cast<int>(ih * scale + 0.5);
    Gdiplus::GpGraphics* g = nullptr;
    if (gp::GdipCreateFromHDC(dc, &g) != Gdiplus::Ok) return;
    gp::GdipSetInterpolationMode(g, Gdiplus::InterpolationModeHighQualityBicubic);
    gp::GdipSetPixelOffsetMode(g, Gdiplus::PixelOffsetModeHighQuality);
    gp::GdipDrawImageRectI(g, image_, box.left, box.top, w, h);
    gp::GdipDeleteGraphics(g);
  }

 private:
  ULONG_PTR token_ = 0;
  Gdiplus::GpImage* image_ = nullptr;
};

// While a dialog is open, the other visible and enabled top-level windows of the thread (the
// host's among them) take no input; they are enabled again when the object goes, on every path.
class TOtherWindowsDisabled {
 public:
  // Leaves out the dialog's own window, where it exists already.
  explicit TOtherWindowsDisabled(HWND self = nullptr);
  ~TOtherWindowsDisabled() { Restore(); }
  TOtherWindowsDisabled(const TOtherWindowsDisabled&) = delete;
  TOtherWindowsDisabled& operator=(const TOtherWindowsDisabled&) = delete;
  // Enables them again now.
  void Restore();

 private:
  std::vector<HWND> disabled_;
};

// One form on the screen.
class TFormWindow {
 public:
  explicit TFormWindow(TForm& form) : form_(form), dpi_(ScreenDpi()) {}
  ~TFormWindow() { Release(); }
  TFormWindow(const TFormWindow&) = delete;
  TFormWindow& operator=(const TFormWindow&) = delete;

  void Run();

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);
  bool Create();
  void CreateControl(const TControlLayout& c);
  int TextWidth(const std::u16string& text) const;
  HWND Control(TControlId id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
  }
  TControlId IdOf(HWND child) const;
  void Close(TModalResult result);
  bool PreviewKey(const MSG& msg);
  void Activated();
  void UserChanged(TControlId id);
  void ReadField(TControlId id);
  void ShowField(TControlId id);
  void ReadBack();
  void Release();
  int S(int v) const { return ScaleToDpi(v, dpi_); }

  TForm& form_;
  const int dpi_;
  HWND hwnd_ = nullptr;
  bool registered_ = false;
  HFONT font_ = nullptr;
  HFONT boldFont_ = nullptr;
  std::map<TControlId, HWND> controls_;
  HWND savedFocus_ = nullptr;
  bool firstActivation_ = true;
  bool showing_ = false;  // the user's own changes are passed on only while shown
  std::unique_ptr<TOtherWindowsDisabled> others_;
  TPicture* picture_ = nullptr;
};

TControlId TFormWindow::IdOf(HWND child) const {
  // A combo box's edit field is a child of the combo box.
  while (child && GetParent(child) != hwnd_) child = GetParent(child);
  for (const auto& [id, h] : controls_)
    if (h == child) return id;
  return idNone;
}

void TFormWindow::Close(TModalResult result) {
  if (form_.ModalResult == mrNone) form_.ModalResult = result;
  // The loop ends on its own flag; the message only wakes it.
  PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void TFormWindow::ReadField(TControlId id) {
  const TControlLayout* c = form_.Layout().Find(id);
  HWND h = Control(id);
  if (!c || !h) return;
  TField& f = form_.Field(id);
  if (c->kind == TControlKind::Memo) f.Lines = SplitLines(WindowText(h));
  else f.Text = WindowText(h);
}

void TFormWindow::ShowField(TControlId id) {
  const TControlLayout* c = form_.Layout().Find(id);
  HWND h = Control(id);
  if (!c || !h) return;
  const TField& f = form_.Field(id);
  SetWindowTextW(h, W(c->kind == TControlKind::Memo ? JoinLines(f.Lines) : f.Text));
}

void TFormWindow::ReadBack() {
  for (const auto& c : form_.Layout().controls)
    if (c.kind == TControlKind::Edit || c.kind == TControlKind::Memo || c.kind == TControlKind::ComboBox)
      ReadField(c.id);
}

void TFormWindow::UserChanged(TControlId id) {
  ReadField(id);
  // The handler may change other controls: show those that it changed.
  std::map<TControlId, std::u16string> before;
  for (const auto& c : form_.Layout().controls)
    if (c.id != id) before[c.id] = form_.Field(c.id).Text + u'\n' + JoinLines(form_.Field(c.id).Lines);
  form_.Changed(id);
  const bool wasShowing = showing_;
  showing_ = false;
  for (const auto& [other, text] : before)
    if (form_.Field(other).Text + u'\n' + JoinLines(form_.Field(other).Lines) != text) ShowField(other);
  showing_ = wasShowing;
}

void TFormWindow::Activated() {
  HWND target = nullptr;
  const TControlId wanted = form_.FormActivate();
  if (wanted != idNone) {
    HWND h = Control(wanted);
    if (h && IsWindowVisible(h) && IsWindowEnabled(h)) target = h;
  }
  if (!target && savedFocus_ && IsWindow(savedFocus_)) target = savedFocus_;
  if (!target && firstActivation_) {
    // Nothing asked for: the first control of the tab order, as a form does when it opens.
    const auto stops = form_.Layout().TabStops();
    if (!stops.empty()) target = Control(stops.front());
  }
  firstActivation_ = false;
  if (target) SetFocus(target);
}

bool TFormWindow::PreviewKey(const MSG& msg) {
  if (msg.message != WM_KEYDOWN || !(msg.hwnd == hwnd_ || IsChild(hwnd_, msg.hwnd))) return false;
  const auto key = static_cast<std::uint16_t>(msg.wParam);
  if (form_.FormKeyDown(key)) {
    if (form_.ModalResult != mrNone) Close(form_.ModalResult);
    return true;
  }
  if (key != VK_RETURN) return false;
  // Enter presses the focused button, or else the default button if the form has one; a memo
  // takes it as a line break; anywhere else it does nothing.
  HWND focus = GetFocus();
  const TControlId id = IdOf(focus);
  const TControlLayout* c = form_.Layout().Find(id);
  if (c && c->kind == TControlKind::Memo) return false;
  if (c && c->kind == TControlKind::Button) {
    SendMessageW(Control(id), BM_CLICK, 0, 0);
    return true;
  }
  for (const auto& b : form_.Layout().controls)
    if (b.kind == TControlKind::Button && b.defaultButton) {
      SendMessageW(Control(b.id), BM_CLICK, 0, 0);
      break;
    }
  return true;
}

int TFormWindow::TextWidth(const std::u16string& text) const {
  // A label is as wide as its text, whatever the font's metrics on this system.
  HDC dc = GetDC(hwnd_);
  HGDIOBJ old = SelectObject(dc, font_);
  SIZE size{};
  GetTextExtentPoint32W(dc, W(text), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(hwnd_, dc);
  return size.cx;
}

void TFormWindow::CreateControl(const TControlLayout& c) {
  const TField& f = form_.Field(c.id);
  DWORD style = WS_CHILD | WS_VISIBLE;
  DWORD ex = 0;
  const wchar_t* cls = L"STATIC";
  int height = S(c.height);
  std::u16string text = f.Text;
  switch (c.kind) {
    case TControlKind::Label:
      style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
      break;
    case TControlKind::SunkenText:
      style |= (c.centered ? SS_CENTER : SS_LEFTNOWORDWRAP) | SS_SUNKEN | SS_NOPREFIX;
      break;
    case TControlKind::Picture:
      style |= SS_OWNERDRAW;
      break;
    case TControlKind::Edit:
      cls = L"EDIT";
      ex = WS_EX_CLIENTEDGE;
      style |= ES_AUTOHSCROLL | ES_LEFT;
      if (f.ReadOnly) style |= ES_READONLY;
      if (f.NumbersOnly) style |= ES_NUMBER;
      break;
    case TControlKind::Memo:
      cls = L"EDIT";
      ex = WS_EX_CLIENTEDGE;
      style |= ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | ES_LEFT;
      if (c.scrollBars) style |= WS_VSCROLL | WS_HSCROLL | ES_AUTOHSCROLL;
      if (f.ReadOnly) style |= ES_READONLY;
      if (f.NumbersOnly) style |= ES_NUMBER;
      text = JoinLines(f.Lines);
      break;
    case TControlKind::ComboBox:
      cls = L"COMBOBOX";
      style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL;
      // The height of a drop-down combo box includes its list, which stays empty.
      height += S(8 * 13 + 2);
      break;
    case TControlKind::Button:
      cls = L"BUTTON";
      style |= c.defaultButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
      break;
  }
  if (c.tabStop) style |= WS_TABSTOP;
  int width = S(c.width);
  if (c.kind == TControlKind::Label) width = std::max(width, TextWidth(text));
  HWND h = CreateWindowExW(ex, cls, W(text), style, S(c.left), S(c.top), width, height, hwnd_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), ThisModule(), nullptr);
  if (!h) return;
  SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(c.bold ? boldFont_ : font_), FALSE);
  if (c.kind == TControlKind::ComboBox) {
    // The closed combo box as high as the table says.
    const LRESULT field = SendMessageW(h, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    RECT r;
    GetWindowRect(h, &r);
    const int extra = (r.bottom - r.top) - static_cast<int>(field);
    if (field > 0 && extra > 0 && r.bottom - r.top != S(c.height))
      SendMessageW(h, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), S(c.height) - extra);
    SetWindowTextW(h, W(text));
  }
  controls_[c.id] = h;
}

bool TFormWindow::Create() {
  const TFormLayout& layout = form_.Layout();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &TFormWindow::Proc;
  wc.hInstance = ThisModule();
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512) /* IDC_ARROW */);
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = W(layout.className);
  if (!RegisterClassExW(&wc)) {
    // A class left behind by an earlier copy of the library: take it over.
    UnregisterClassW(W(layout.className), ThisModule());
    if (!RegisterClassExW(&wc)) return false;
  }
  registered_ = true;

  LOGFONTW lf{};
  lf.lfHeight = -MulDiv(kFormFontPoints, dpi_, 72);
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(lf.lfFaceName, W(kFormFontName), LF_FACESIZE);
  font_ = CreateFontIndirectW(&lf);
  lf.lfWeight = FW_BOLD;
  boldFont_ = CreateFontIndirectW(&lf);

  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  DWORD ex = 0;
  if (layout.dialogFrame) {
    style |= DS_MODALFRAME;
    ex |= WS_EX_DLGMODALFRAME;
  }
  RECT r{0, 0, S(layout.clientWidth), S(layout.clientHeight)};
  AdjustWindowRectEx(&r, style, FALSE, ex);
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  hwnd_ = CreateWindowExW(ex, W(layout.className), W(layout.caption), style, x, y, w, h, nullptr, nullptr, ThisModule(),
                          this);
  if (!hwnd_) return false;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  for (const auto& c : layout.controls) CreateControl(c);
  return true;
}

struct TThreadWindows {
  HWND self;
  std::vector<HWND>* found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto* t = reinterpret_cast<TThreadWindows*>(param);
  if (hwnd != t->self && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd)) t->found->push_back(hwnd);
  return TRUE;
}

TOtherWindowsDisabled::TOtherWindowsDisabled(HWND self) {
  TThreadWindows t{self, &disabled_};
  EnumThreadWindows(GetCurrentThreadId(), &CollectWindow, reinterpret_cast<LPARAM>(&t));
  for (HWND h : disabled_) EnableWindow(h, FALSE);
}

void TOtherWindowsDisabled::Restore() {
  for (HWND h : disabled_)
    if (IsWindow(h)) EnableWindow(h, TRUE);
  disabled_.clear();
}

void TFormWindow::Run() {
  form_.ModalResult = mrNone;
  std::unique_ptr<TPicture> picture;
  if (form_.Layout().Find(idPicture)) picture = std::make_unique<TPicture>();
  picture_ = picture.get();
  if (!Create()) {
    form_.ModalResult = mrCancel;
    Release();
    return;
  }
  // A modal form keeps the user away from the other windows of its thread, the host's included.
  others_ = std::make_unique<TOtherWindowsDisabled>(hwnd_);
  showing_ = true;
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  SetForegroundWindow(hwnd_);
  UpdateWindow(hwnd_);
  MSG msg;
  while (form_.ModalResult == mrNone) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {
      // The thread is asked to quit: close, and leave the request for the thread's own loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      form_.ModalResult = mrCancel;
      break;
    }
    if (got < 0) {
      form_.ModalResult = mrCancel;
      break;
    }
    if (PreviewKey(msg)) continue;
    if (IsDialogMessageW(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  showing_ = false;
  ReadBack();
  // The other windows come back first, so that the activation goes back to them.
  others_.reset();
  Release();
  picture_ = nullptr;
}

void TFormWindow::Release() {
  others_.reset();
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
  }
  controls_.clear();
  if (registered_) {
    // The class goes with each showing: the library may be unloaded and loaded elsewhere.
    UnregisterClassW(W(form_.Layout().className), ThisModule());
    registered_ = false;
  }
  if (font_) DeleteObject(font_);
  if (boldFont_) DeleteObject(boldFont_);
  font_ = boldFont_ = nullptr;
}

LRESULT CALLBACK TFormWindow::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<TFormWindow*>(cs->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<TFormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
  try {
    return self->Handle(msg, wParam, lParam);
  } catch (...) {
    // Nothing may unwind through the window system.
    self->Close(mrCancel);
    return 0;
  }
}

LRESULT TFormWindow::Handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(hwnd_, focus)) savedFocus_ = focus;
      } else {
        Activated();
      }
      return 0;
    case WM_SETFOCUS:
      if (savedFocus_ && IsWindow(savedFocus_)) SetFocus(savedFocus_);
      return 0;
    case WM_CLOSE:
      Close(mrCancel);
      return 0;
    case WM_NEXTDLGCTL: {
      // A memo passes Tab on to its form this way, as it would to a dialog box.
      HWND next = LOWORD(lParam) ? reinterpret_cast<HWND>(wParam)
                                 : GetNextDlgTabItem(hwnd_, GetFocus(), wParam != 0 ? TRUE : FALSE);
      if (next) {
        SetFocus(next);
        if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL) SendMessageW(next, EM_SETSEL, 0, -1);
      }
      return 0;
    }
    case WM_COMMAND: {
      const auto id = static_cast<TControlId>(LOWORD(wParam));
      const UINT code = HIWORD(wParam);
      const TControlLayout* c = lParam ? form_.Layout().Find(id) : nullptr;
      if (!c) return 0;
      if (c->kind == TControlKind::Button && code == BN_CLICKED) {
        if (id == idOK) Close(mrOk);
        else if (id == idCancel) Close(mrCancel);
        return 0;
      }
      const bool edited = ((c->kind == TControlKind::Edit || c->kind == TControlKind::Memo) && code == EN_CHANGE) ||
                          (c->kind == TControlKind::ComboBox && (code == CBN_EDITCHANGE || code == CBN_SELCHANGE));
      if (edited && showing_) UserChanged(id);
      return 0;
    }
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
      const TControlId id = IdOf(reinterpret_cast<HWND>(lParam));
      const TControlLayout* c = form_.Layout().Find(id);
      if (!c) break;
      const int color = form_.Field(id).Color;
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetBkColor(dc, GetSysColor(color));
      SetTextColor(dc, c->bold ? RGB(0, 0, 0) : GetSysColor(COLOR_WINDOWTEXT));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(color));
    }
    case WM_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      if (d->CtlID != static_cast<UINT>(idPicture)) break;
      FillRect(d->hDC, &d->rcItem, GetSysColorBrush(COLOR_BTNFACE));
      if (picture_) picture_->Draw(d->hDC, d->rcItem);
      return TRUE;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

// The file dialogs and the host's window.
class TWindowsInterface : public TUserInterface {
 public:
  void ShowModal(TForm& form) override {
    TFormWindow window(form);
    window.Run();
  }

  std::optional<std::u16string> ChooseFile(const TKeyFileDialog& d) override {
    std::u16string filter = d.Filter;
    std::replace(filter.begin(), filter.end(), u'|', u'\0');
    filter += u'\0';
    filter += u'\0';
    std::vector<wchar_t> file(4096, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = nullptr;
    ofn.lpstrFilter = W(filter);
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrDefExt = d.DefaultExt.empty() ? nullptr : W(d.DefaultExt);
    ofn.Flags = (d.HideReadOnly ? OFN_HIDEREADONLY : 0) | (d.EnableSizing ? OFN_ENABLESIZING : 0) |
                (d.OverwritePrompt ? OFN_OVERWRITEPROMPT : 0) | (d.FileMustExist ? OFN_FILEMUSTEXIST : 0);
    // The dialog has no owner, so the host's window would stay live: it is kept from input as
    // the forms keep it.
    TOtherWindowsDisabled others;
    const BOOL chosen = d.Save ? GetSaveFileNameW(&ofn) : GetOpenFileNameW(&ofn);
    others.Restore();
    if (!chosen) return std::nullopt;
    return std::u16string(reinterpret_cast<const char16_t*>(file.data()));
  }

  void RequestRefresh() override {
    // The handle is not checked: without a host window the message lands in this thread's own
    // queue, where nothing acts on it.
    HWND host = FindWindowW(W(kHostWindowClass), nullptr);
    PostMessageW(host, kHostCommandMessage, kHostRereadSourcePanel, 0);
  }
};

}  // namespace

TUserInterface& PlatformUserInterface() {
  static TWindowsInterface ui;
  return ui;
}

}  // namespace kestrow
