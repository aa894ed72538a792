#include "platform/win32/main_frame.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/win32/dpi.h"
#include "platform/win32/keyboard.h"
#include "platform/win32/res/resource_ids.h"
#include "platform/win32/text.h"

namespace vorelo::win32 {

namespace {

using app::Control;
using app::Kind;

constexpr wchar_t kClassName[] = L"VoreloMainWindow";
// No WS_CLIPCHILDREN: group boxes do not paint their inside, the window behind them does.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
// Files larger than this are read only this far; no list of messages comes near it.
constexpr LONGLONG kMaxFileBytes = 64LL << 20;

int px(int twips, UINT dpi) {
  return app::twipsToPixels(twips, static_cast<int>(dpi));
}

std::size_t slot(Control c) {
  return static_cast<std::size_t>(c);
}

}  // namespace

HWND createControlWindow(HWND parent, app::Kind kind, int id, const std::wstring& caption,
                         bool startsGroup, const RECT& rect) {
  const wchar_t* cls = WC_BUTTONW;
  DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  // Every control starts a group of its own except the second option button, so the arrow
  // keys move between the two options and nowhere else.
  if (startsGroup) style |= WS_GROUP;
  switch (kind) {
    case Kind::StatusBar:
      cls = STATUSCLASSNAMEW;
      // Placed by the layout like every other control; at any DPI it sits on the bottom edge.
      style |= CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER;
      break;
    case Kind::Button:
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case Kind::Frame:
      style |= BS_GROUPBOX;
      break;
    case Kind::Combo:
      cls = WC_COMBOBOXW;
      style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
      break;
    case Kind::CheckBox:
      style |= BS_AUTOCHECKBOX | WS_TABSTOP;
      break;
    case Kind::Option:
      style |= BS_AUTORADIOBUTTON | WS_TABSTOP;
      break;
    case Kind::Label:
      cls = WC_STATICW;
      style |= SS_LEFT | SS_NOPREFIX;
      break;
  }
  HWND w = CreateWindowExW(0, cls, caption.c_str(), style, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
  // No length limit: a message may be longer than the edit's default 30,000 characters.
  if (w != nullptr && kind == Kind::Combo) SendMessageW(w, CB_LIMITTEXT, 0, 0);
  return w;
}

MainFrame::MainFrame(HINSTANCE instance) : instance_(instance) {}

MainFrame::~MainFrame() {
  // The logic goes first: its controls and timers refer to the native parts below.
  logic_.reset();
  tmrWatch_.reset();
  tmrSend_.reset();
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool MainFrame::create(int showCommand) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &MainFrame::windowProc;
  wc.hInstance = instance_;
  // No class icon: the start-up procedure sets the window's icon before it is first shown.
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kClassName;
  if (RegisterClassExW(&wc) == 0) return false;

  if (CreateWindowExW(kExStyle, kClassName, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                      nullptr, nullptr, instance_, this) == nullptr) {
    return false;
  }
  dpi_ = dpiForWindow(hwnd_);
  setFont();
  createControls();
  fitCombos();
  placeStatusPanels();
  placeWindow(nullptr);
  tmrWatch_ = std::make_unique<NativeTimer>(hwnd_);
  tmrSend_ = std::make_unique<NativeTimer>(hwnd_);

  logic_ = std::make_unique<app::MainWindow>(*this);
  logic_->Form_Load();

  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  restoreFocus();
  // The tool tips are not needed before the pointer can reach the status bar.
  createTips();
  return true;
}

void MainFrame::createControls() {
  // Children are created in tab order: the dialog manager tabs through them in Z order.
  std::array<const app::ControlSpec*, app::kControlCount> order{};
  std::transform(app::kLayout.begin(), app::kLayout.end(), order.begin(),
                 [](const app::ControlSpec& s) { return &s; });
  std::sort(order.begin(), order.end(),
            [](const auto* a, const auto* b) { return a->tabIndex < b->tabIndex; });

  for (const app::ControlSpec* s : order) {
    // Created in place and in the window's font, so nothing is laid out twice.
    HWND w = createControlWindow(hwnd_, s->kind, app::controlId(s->control), widen(s->caption),
                                 s->control != Control::optSend0, controlRect(*s));
    if (w == nullptr) throw std::runtime_error("cannot create a control");
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    windows_[slot(s->control)] = w;
    if (s->kind == Kind::Combo) {
      auto combo = std::make_unique<NativeCombo>();
      combo->attach(w);
      combos_[s->control] = std::move(combo);
    } else if (s->kind == Kind::Button || s->kind == Kind::CheckBox || s->kind == Kind::Option) {
      auto button = std::make_unique<NativeButton>();
      button->attach(w);
      buttons_[s->control] = std::move(button);
    }
  }
  // Frames go to the bottom of the Z order so they never paint over the controls inside them;
  // they take no focus, so the tab order is unchanged.
  for (Control frame : {Control::fraTime, Control::fraSend, Control::fraContent}) {
    SetWindowPos(child(frame), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  // The panels must exist before their texts can be set.
  HWND status = child(Control::stbStatus);
  int edges[2] = {1, 2};
  SendMessageW(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
  for (int i = 0; i < 2; ++i) {
    const std::wstring text = widen(app::kStatusPanelTexts[i]);
    SendMessageW(status, SB_SETTEXTW, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(text.c_str()));
  }
}

void MainFrame::createTips() {
  HWND status = child(Control::stbStatus);
  tips_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr));
  if (!tips_) return;
  for (int i = 0; i < 2; ++i) {
    std::wstring text = widen(app::kStatusPanelTexts[i]);
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = status;
    tool.uId = static_cast<UINT_PTR>(i + 1);
    tool.lpszText = text.data();
    SendMessageW(status, SB_GETRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool.rect));
    SendMessageW(tips_.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

RECT MainFrame::controlRect(const app::ControlSpec& s) const {
  const app::PixelRect r = app::pixelRect(s, static_cast<int>(dpi_));
  // A combo box's window height includes its drop-down list.
  const int extra = s.kind == Kind::Combo ? px(2400, dpi_) : 0;
  return {r.left, r.top, r.right, r.bottom + extra};
}

void MainFrame::setFont() {
  LOGFONTW lf = messageFontForDpi(dpi_);
  UniqueFont font(CreateFontIndirectW(&lf));
  for (HWND w : windows_) {
    if (w != nullptr) SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
  }
  // The old font outlives the controls' use of it: it is replaced only after they switched.
  font_ = std::move(font);
}

void MainFrame::fitCombos() {
  // The closed box takes its height from the selection field, which is sized until the box is
  // as tall as the layout says.
  for (const app::ControlSpec& s : app::kLayout) {
    if (s.kind != Kind::Combo) continue;
    const int wanted = app::pixelRect(s, static_cast<int>(dpi_)).height();
    HWND w = child(s.control);
    // Corrections build on the height last asked for, not on what CB_GETITEMHEIGHT reports:
    // Wine adds two pixels to the height it is given, so the two do not round-trip.
    LRESULT asked = SendMessageW(w, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    for (int attempt = 0; attempt < 4 && asked != CB_ERR; ++attempt) {
      RECT closed{};
      GetWindowRect(w, &closed);
      const int delta = wanted - (closed.bottom - closed.top);
      if (delta == 0 || asked + delta <= 0) break;
      asked += delta;
      SendMessageW(w, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), asked);
    }
  }
}

void MainFrame::placeStatusPanels() {
  HWND status = child(Control::stbStatus);
  int edges[2] = {px(app::kStatusPanelWidths[0], dpi_),
                  px(app::kStatusPanelWidths[0] + app::kStatusPanelWidths[1], dpi_)};
  SendMessageW(status, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
  if (!tips_) return;
  for (int i = 0; i < 2; ++i) {
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = status;
    tool.uId = static_cast<UINT_PTR>(i + 1);
    SendMessageW(status, SB_GETRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool.rect));
    SendMessageW(tips_.get(), TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  }
}

void MainFrame::placeWindow(const RECT* suggested) {
  const SIZE size = windowSizeForClient(px(app::kClientWidthTwips, dpi_),
                                        px(app::kClientHeightTwips, dpi_), kStyle, kExStyle, dpi_);
  if (suggested != nullptr) {
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  // Centred on the work area of its monitor.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const int x = work.left + std::max(0L, (work.right - work.left - size.cx) / 2);
  const int y = work.top + std::max(0L, (work.bottom - work.top - size.cy) / 2);
  SetWindowPos(hwnd_, nullptr, x, y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainFrame::applyDpi(UINT dpi, const RECT* suggested) {
  dpi_ = dpi;
  setFont();
  for (const app::ControlSpec& s : app::kLayout) {
    const RECT r = controlRect(s);
    MoveWindow(child(s.control), r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
  }
  fitCombos();
  placeStatusPanels();
  placeWindow(suggested);
  // Icons are drawn for the new size when next needed; the one showing is replaced now.
  bigIcons_ = {};
  smallIcons_ = {};
  shownIcon_.reset();
  setIcon(icon_);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

HICON MainFrame::iconImage(platform::Icon icon, bool big) {
  const std::size_t i = icon == platform::Icon::Idle ? 0 : 1;
  UniqueIcon& slot = big ? bigIcons_[i] : smallIcons_[i];
  if (!slot) {
    const int id = icon == platform::Icon::Idle ? IDI_IDLE : IDI_SEND;
    const int size = metricForDpi(big ? SM_CXICON : SM_CXSMICON, dpi_);
    slot.reset(static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
  }
  return slot.get();
}

HWND MainFrame::child(Control control) const {
  return windows_[slot(control)];
}

void MainFrame::restoreFocus() {
  HWND target = lastFocus_;
  if (target == nullptr || !IsWindow(target) || !IsChild(hwnd_, target) ||
      !IsWindowEnabled(target) || !IsWindowVisible(target)) {
    // The first control in tab order that can take the focus.
    target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
  }
  if (target != nullptr) SetFocus(target);
}

bool MainFrame::preTranslate(MSG& msg) {
  return hwnd_ != nullptr && IsDialogMessageW(hwnd_, &msg) != FALSE;
}

LRESULT CALLBACK MainFrame::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  MainFrame* self = nullptr;
  if (msg == WM_NCCREATE) {
    self = static_cast<MainFrame*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<MainFrame*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
  try {
    return self->handle(msg, wParam, lParam);
  } catch (const std::exception& e) {
    fatal(e.what());
  } catch (...) {
    fatal("unknown error");
  }
}

LRESULT MainFrame::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_COMMAND:
      if (lParam != 0) {
        if (NativeControl::dispatchCommand(wParam, lParam)) return 0;
      } else if (LOWORD(wParam) == IDOK) {
        // Enter, sent by the dialog manager: it presses the focused push button.
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus) &&
            (SendMessageW(focus, WM_GETDLGCODE, 0, 0) &
             (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
          SendMessageW(focus, BM_CLICK, 0, 0);
        }
        return 0;
      }
      break;
    case WM_TIMER:
      if (NativeTimer::dispatch(hwnd_, wParam)) return 0;
      break;
    case WM_CLOSE:
      // The window has no close handler of its own: closing it ends the program like 退出.
      end();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(hwnd_, focus)) lastFocus_ = focus;
        return 0;
      }
      if (HIWORD(wParam) == 0) {
        restoreFocus();
        return 0;
      }
      break;
    case WM_SETFOCUS:
      restoreFocus();
      return 0;
    case WM_DPICHANGED:
      applyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

platform::ComboBackend& MainFrame::combo(Control control) {
  return *combos_.at(control);
}
platform::CheckBackend& MainFrame::check(Control control) {
  return *buttons_.at(control);
}
platform::ButtonBackend& MainFrame::button(Control control) {
  return *buttons_.at(control);
}
platform::TimerBackend& MainFrame::timer(app::TimerName name) {
  return name == app::TimerName::tmrWatch ? *tmrWatch_ : *tmrSend_;
}

void MainFrame::setCaption(std::string_view text) {
  SetWindowTextW(hwnd_, widen(text).c_str());
}

void MainFrame::setIcon(platform::Icon icon) {
  icon_ = icon;
  if (shownIcon_ == icon) return;
  // Loaded when first shown: a window that never sends never loads the sending picture.
  SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(iconImage(icon, true)));
  SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(iconImage(icon, false)));
  shownIcon_ = icon;
}

void MainFrame::setState(platform::WindowState state) {
  if (state == platform::WindowState::Minimized) {
    // SW_MINIMIZE activates the next window, so the keystrokes that follow go there.
    ShowWindow(hwnd_, SW_MINIMIZE);
  } else if (IsIconic(hwnd_) || !IsWindowVisible(hwnd_)) {
    // Shown again without taking the focus: keys a tick has just queued for the chat window
    // must still reach it, not this one.
    ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  }
}

platform::WindowState MainFrame::state() const {
  return IsIconic(hwnd_) ? platform::WindowState::Minimized : platform::WindowState::Normal;
}

void MainFrame::messageBox(std::string_view text) {
  MessageBoxW(hwnd_, widen(text).c_str(), widen(app::kAppTitle).c_str(),
              MB_OK | MB_ICONINFORMATION);
}

std::string MainFrame::inputBox(std::string_view prompt, std::string_view defaultText) {
  return narrow(runInputBox(hwnd_, widen(app::kAppTitle), widen(prompt), widen(defaultText)));
}

void MainFrame::end() {
  // Immediate end: nothing after this runs, nothing is saved, nothing is asked.
  ExitProcess(0);
}

std::optional<std::string> MainFrame::readFile(std::string_view name) {
  UniqueHandle file(CreateFileW(widen(name).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return std::nullopt;
  const LONGLONG wanted = std::min(size.QuadPart, kMaxFileBytes);
  std::string bytes(static_cast<std::size_t>(wanted), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 24));
    if (!ReadFile(file.get(), bytes.data() + got, chunk, &n, nullptr)) return std::nullopt;
    if (n == 0) break;
    got += n;
  }
  bytes.resize(got);
  return bytes;
}

std::string MainFrame::ansiToUtf8(std::string_view bytes) {
  return win32::ansiToUtf8(bytes);
}

bool MainFrame::sendKeys(std::span<const engine::KeyAction> actions) {
  return injectKeys(actions);
}

uint16_t MainFrame::asyncKeyState(int virtualKey) {
  return static_cast<uint16_t>(GetAsyncKeyState(virtualKey));
}

bool MainFrame::launch(platform::Folder folder, std::string_view program,
                       std::string_view commandLine, int windowStyle) {
  return launchProgram(folder, program, commandLine, windowStyle);
}

void fatal(const char* what) noexcept {
  std::wstring text = L"Vorelo 遇到内部错误，即将退出。\n\n";
  for (const char* p = what; p != nullptr && *p != '\0'; ++p) {
    text += static_cast<wchar_t>(static_cast<unsigned char>(*p));
  }
  MessageBoxW(nullptr, text.c_str(), L"Vorelo", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(1);
}

}  // namespace vorelo::win32
