#include "win32/main_frame.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "win32/boxes.h"
#include "win32/dpi.h"
#include "win32/errors.h"
#include "win32/input_box.h"
#include "win32/res/resource_ids.h"
#include "win32/text.h"

namespace vorelo::win32 {

namespace {

using app::Control;
using app::Kind;

// No WS_CLIPCHILDREN: group boxes do not paint their inside, the window behind them does.
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// On the taskbar even while it is briefly shown without activation (setState).
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;
constexpr UINT_PTR kWatchTimerId = 1;
constexpr UINT_PTR kSendTimerId = 2;
// Ends the moment after a stop during which the window cannot be activated.
constexpr UINT_PTR kActivatableTimerId = 3;
constexpr UINT kNoActivateMs = 1000;
// Checks, a moment after 开始 minimised the window, that the keyboard went back to the window
// the user was in.
constexpr UINT_PTR kHandBackTimerId = 4;
constexpr UINT kHandBackMs = 150;
constexpr int kHandBackChecks = 7;
// How often a window shown again is checked to have stayed shown: until it has been seen shown
// this many times in a row, and at most for kShownAgainChecks looks.
constexpr UINT_PTR kShownAgainTimerId = 5;
constexpr UINT kShownAgainMs = 200;
constexpr int kShownInARow = 5;
constexpr int kShownAgainChecks = 25;

// The frame told of every change of the window in front, where the system reports them.
MainFrame* foregroundWatcher = nullptr;

void CALLBACK foregroundChanged(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD,
                                DWORD) noexcept {
  if (object == OBJID_WINDOW && foregroundWatcher != nullptr) {
    foregroundWatcher->noteForeground(window);
  }
}

int px(int twips, UINT dpi) {
  return app::twipsToPixels(twips, static_cast<int>(dpi));
}

std::size_t slot(Control c) {
  return static_cast<std::size_t>(c);
}

}  // namespace

MainFrame::MainFrame(HINSTANCE instance) : instance_(instance) {}

MainFrame::~MainFrame() {
  if (foregroundWatcher == this) foregroundWatcher = nullptr;
  // The logic goes first: its controls and timers refer to the native parts below.
  logic_.reset();
  tmrWatch_.reset();
  tmrSend_.reset();
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void MainFrame::create(int showCommand) {
  // The window the user was in when Vorelo started, and every later change where the system
  // reports it (Wine does not): where the keyboard goes back when Vorelo minimises itself.
  system_.noteForeground(GetForegroundWindow());
  foregroundWatcher = this;
  foregroundHook_.reset(SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                        &foregroundChanged, 0, 0,
                                        WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS));
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &MainFrame::windowProc;
  wc.hInstance = instance_;
  // No class icon: the start-up procedure sets the window's icon before it is first shown.
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kMainWindowClass;
  if (RegisterClassExW(&wc) == 0) throw StartupError(L"无法注册主窗口类", GetLastError());

  if (CreateWindowExW(kExStyle, kMainWindowClass, L"", kStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                      nullptr, nullptr, instance_, this) == nullptr) {
    throw StartupError(L"无法创建主窗口", GetLastError());
  }
  // Raw input shows every key event of the session; without it the key state is read directly.
  system_.watchKeyboard(hwnd_);
  dpi_ = dpiForWindow(hwnd_);
  setFont();
  createControls();
  fitCombos();
  fitLabels();
  placeStatusPanels();
  placeWindow(nullptr);
  tmrWatch_ = std::make_unique<NativeTimer>(hwnd_, kWatchTimerId);
  tmrSend_ = std::make_unique<NativeTimer>(hwnd_, kSendTimerId);

  logic_ = std::make_unique<app::MainWindow>(*this);
  logic_->Form_Load();

  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  restoreFocus();
  // The tool tips are not needed before the pointer can reach the status bar.
  createTips();
}

void MainFrame::createControls() {
  // Children are created in tab order: the dialog manager tabs through them in Z order.
  std::array<const app::ControlEntry*, app::kControlCount> order{};
  std::transform(app::kLayout.begin(), app::kLayout.end(), order.begin(),
                 [](const app::ControlEntry& e) { return &e; });
  std::sort(order.begin(), order.end(),
            [](const auto* a, const auto* b) { return a->tabIndex < b->tabIndex; });

  for (const app::ControlEntry* s : order) {
    // Created in place and in the window's font, so nothing is laid out twice.
    HWND w = createControlWindow(hwnd_, s->kind, app::controlId(s->control), widen(s->caption),
                                 s->control != Control::optSend0, controlRect(*s));
    if (w == nullptr) throw StartupError(L"无法创建控件 " + widen(s->name), GetLastError());
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    windows_[slot(s->control)] = w;
    if (s->kind == Kind::Combo) {
      combos_[slot(s->control)] = std::make_unique<NativeCombo>();
      combos_[slot(s->control)]->attach(w);
    } else if (s->kind == Kind::Button || s->kind == Kind::CheckBox || s->kind == Kind::Option) {
      buttons_[slot(s->control)] = std::make_unique<NativeButton>();
      buttons_[slot(s->control)]->attach(w);
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

RECT MainFrame::controlRect(const app::ControlEntry& s) const {
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
  TEXTMETRICW tm{};
  if (const WindowDc dc(hwnd_); dc) {
    const SelectedObject selected(dc.get(), font_.get());
    GetTextMetricsW(dc.get(), &tm);
  }
  // The closed box takes its height from the selection field, which is sized until the box is
  // as tall as the layout says.
  for (const app::ControlEntry& s : app::kLayout) {
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
    centreFieldText(w, tm.tmHeight);
  }
}

void MainFrame::centreFieldText(HWND combo, int lineHeight) {
  // The combo box puts its edit field at the top of the selection field, and a single-line
  // edit draws its text at its own top: in a tall field (192 DPI) the text would sit high. The
  // edit is made one line tall and centred.
  HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
  if (edit == nullptr || lineHeight <= 0) return;
  RECT field{};
  GetClientRect(combo, &field);
  RECT r{};
  GetWindowRect(edit, &r);
  MapWindowPoints(nullptr, combo, reinterpret_cast<POINT*>(&r), 2);
  const int height = std::min<int>(lineHeight, field.bottom - field.top);
  const int top = (field.bottom - field.top - height) / 2;
  if (r.top != top || r.bottom - r.top != height) {
    SetWindowPos(edit, nullptr, r.left, top, r.right - r.left, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void MainFrame::fitLabels() {
  // The labels take the width of their text in the window's font, so "(s)" and "(m)" never
  // wrap away whatever font the system maps the message font to (SimSun on Chinese Windows).
  std::array<int, 2> widths{};
  const Control labels[2] = {Control::lblInterval, Control::lblTotalTime};
  if (const WindowDc dc(hwnd_); dc) {
    const SelectedObject selected(dc.get(), font_.get());
    for (std::size_t i = 0; i < 2; ++i) {
      const std::wstring text = widen(app::entry(labels[i]).caption);
      RECT r{0, 0, 0, 0};
      DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &r,
                DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
      widths[i] = r.right - r.left;
    }
  }
  // A group box draws its caption 7 px in from its left edge (at 96 DPI).
  const int captionLeft =
      app::pixelRect(app::entry(Control::fraTime), static_cast<int>(dpi_)).left +
      MulDiv(7, static_cast<int>(dpi_), 96);
  const auto rects = app::timeLabelRects(static_cast<int>(dpi_), widths, captionLeft);
  for (std::size_t i = 0; i < 2; ++i) {
    MoveWindow(child(labels[i]), rects[i].left, rects[i].top, rects[i].width(), rects[i].height(),
               FALSE);
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
  for (const app::ControlEntry& s : app::kLayout) {
    const RECT r = controlRect(s);
    MoveWindow(child(s.control), r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
  }
  fitCombos();
  fitLabels();
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

HWND MainFrame::windowOf(const platform::ControlBackend& control) const {
  for (std::size_t i = 0; i < windows_.size(); ++i) {
    const platform::ControlBackend* native =
        combos_[i] ? static_cast<const platform::ControlBackend*>(combos_[i].get())
                   : static_cast<const platform::ControlBackend*>(buttons_[i].get());
    if (native == &control) return windows_[i];
  }
  return nullptr;
}

void MainFrame::focus(platform::ControlBackend& control) {
  HWND target = windowOf(control);
  if (target == nullptr) return;
  // SetFocus would activate an inactive window and take the keyboard from the chat window; the
  // control is then where restoreFocus puts the focus when the user activates the window.
  if (GetForegroundWindow() == hwnd_ && !IsIconic(hwnd_)) {
    SetFocus(target);
  } else {
    lastFocus_ = target;
  }
}

bool MainFrame::hasFocus(const platform::ControlBackend& control) const {
  HWND target = windowOf(control);
  HWND focus = GetForegroundWindow() == hwnd_ ? GetFocus() : lastFocus_;
  // A combo box's edit field counts as the combo box.
  return target != nullptr && focus != nullptr && (focus == target || IsChild(target, focus));
}

void MainFrame::showRunningWindow() {
  // A second copy was started. While a run goes on the window stays as it is (minimised, the
  // keys going to the chat window); when idle it comes back, in front.
  if (logic_ != nullptr && logic_->tmrSend.enabled()) return;
  ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(hwnd_);
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
        if (routeCommand(wParam, lParam)) return 0;
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
      if (wParam == kHandBackTimerId) {
        handBackKeyboard();
        return 0;
      }
      if (wParam == Win32System::kPressBackTimerId) {
        system_.pressBackOverdue();
        return 0;
      }
      if (wParam == kActivatableTimerId) {
        makeActivatable();
        return 0;
      }
      if (wParam == kShownAgainTimerId) {
        checkShownAgain();
        return 0;
      }
      for (NativeTimer* timer : {tmrWatch_.get(), tmrSend_.get()}) {
        if (timer != nullptr && timer->id() == wParam) {
          timer->elapsed();
          return 0;
        }
      }
      break;
    case WM_INPUT:
      system_.onRawInput(reinterpret_cast<HRAWINPUT>(lParam));
      break;
    case WM_CLOSE:
      // The window has no close handler of its own: closing it ends the program like 退出.
      end();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) {
        system_.noteForeground(GetForegroundWindow());
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
    case kShowRunningWindow:
      showRunningWindow();
      return 0;
    case WM_DPICHANGED:
      applyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      if (isBoxShownMessage(msg)) {
        // Only a box of this thread: any program can post this message, naming any window.
        HWND box = reinterpret_cast<HWND>(wParam);
        if (GetWindowThreadProcessId(box, nullptr) == GetCurrentThreadId()) {
          bringBoxToFront(box, hwnd_);
        }
        return 0;
      }
      break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

bool MainFrame::routeCommand(WPARAM wParam, LPARAM lParam) {
  // The id picks the control; the handle must be that very child of this window. A message
  // naming any other window (another process can send one) is ignored.
  const int position = LOWORD(wParam) - app::controlId(Control{});
  if (position < 0 || position >= static_cast<int>(app::kControlCount)) return false;
  const auto at = static_cast<std::size_t>(position);
  if (windows_[at] == nullptr || windows_[at] != reinterpret_cast<HWND>(lParam)) return false;
  NativeControl* control = combos_[at] ? static_cast<NativeControl*>(combos_[at].get())
                                       : static_cast<NativeControl*>(buttons_[at].get());
  if (control == nullptr) return false;
  control->onCommand(HIWORD(wParam));
  return true;
}

platform::ComboBackend& MainFrame::combo(Control control) {
  return *combos_.at(slot(control));
}
platform::CheckBackend& MainFrame::check(Control control) {
  return *buttons_.at(slot(control));
}
platform::ButtonBackend& MainFrame::button(Control control) {
  return *buttons_.at(slot(control));
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

void MainFrame::makeActivatable() {
  KillTimer(hwnd_, kActivatableTimerId);
  const LONG_PTR exStyle = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  if (exStyle & WS_EX_NOACTIVATE)
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, exStyle & ~WS_EX_NOACTIVATE);
}

void MainFrame::setState(platform::WindowState state) {
  // A new state ends the checks left from the last one.
  KillTimer(hwnd_, kShownAgainTimerId);
  KillTimer(hwnd_, kHandBackTimerId);
  if (state == platform::WindowState::Minimized) {
    makeActivatable();
    // SW_MINIMIZE activates the next window, so the keystrokes that follow go there.
    ShowWindow(hwnd_, SW_MINIMIZE);
    handBackChecks_ = kHandBackChecks;
    SetTimer(hwnd_, kHandBackTimerId, kHandBackMs, nullptr);
  } else if (IsIconic(hwnd_) || !IsWindowVisible(hwnd_)) {
    showWithoutActivating();
    // A window manager still busy with the minimise just asked for may minimise the window
    // again after it was shown; it is then shown once more.
    shownAgainChecks_ = kShownAgainChecks;
    shownInARow_ = 0;
    SetTimer(hwnd_, kShownAgainTimerId, kShownAgainMs, nullptr);
  }
}

void MainFrame::checkShownAgain() {
  // A window manager slowed down by a busy machine can carry out the minimise of 开始 after the
  // window was shown again by a stop, seconds later. The window is shown once more each time,
  // until it has stayed shown for a second.
  if (IsIconic(hwnd_)) {
    showWithoutActivating();
    shownInARow_ = 0;
  } else {
    ++shownInARow_;
  }
  if (shownInARow_ >= kShownInARow || --shownAgainChecks_ <= 0) {
    KillTimer(hwnd_, kShownAgainTimerId);
    shownAgainChecks_ = 0;
  }
}

void MainFrame::handBackKeyboard() {
  // The window manager normally activates the next window. When it leaves the keyboard with
  // nobody, with the desktop, or with this minimised window (Wine and the window manager can
  // disagree on who is in front), it goes back to the window the user was in, until another
  // program has it.
  HWND foreground = GetForegroundWindow();
  const bool lost = IsIconic(hwnd_) && (ownWindow(foreground) || nobodysWindow(foreground));
  if (lost) {
    if (HWND target = system_.lastOtherForeground()) SetForegroundWindow(target);
  }
  if (!lost || --handBackChecks_ <= 0) KillTimer(hwnd_, kHandBackTimerId);
}

void MainFrame::showWithoutActivating() {
  // A stop the user did not make in this window (F12, the time running out, a bad message)
  // shows it again without taking the keyboard from the window the user is typing in. A window
  // manager may activate a restored window all the same; with WS_EX_NOACTIVATE, for a moment,
  // it does not.
  HWND previous = GetForegroundWindow();
  if (previous != nullptr && !ownsForeground()) {
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, GetWindowLongPtrW(hwnd_, GWL_EXSTYLE) | WS_EX_NOACTIVATE);
    SetTimer(hwnd_, kActivatableTimerId, kNoActivateMs, nullptr);
  }
  ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  if (previous != nullptr && GetForegroundWindow() == hwnd_ && IsWindow(previous)) {
    SetForegroundWindow(previous);
  }
}

platform::WindowState MainFrame::state() const {
  return IsIconic(hwnd_) ? platform::WindowState::Minimized : platform::WindowState::Normal;
}

bool MainFrame::ownsForeground() const {
  HWND foreground = GetForegroundWindow();
  return foreground != nullptr && ownWindow(foreground);
}

void MainFrame::messageBox(std::string_view text) {
  showMessageBox(hwnd_, widen(text), widen(app::kAppTitle));
}

std::string MainFrame::inputBox(std::string_view prompt, std::string_view defaultText) {
  return narrow(runInputBox(hwnd_, widen(app::kAppTitle), widen(prompt), widen(defaultText)));
}

void MainFrame::end() {
  // Immediate end: nothing after this runs, nothing is saved, nothing is asked.
  ExitProcess(0);
}

}  // namespace vorelo::win32
