#include "win32/main_frame.h"

#include <string>
#include <utility>

#include "win32/boxes.h"
#include "win32/dpi.h"
#include "win32/errors.h"
#include "win32/input_box.h"
#include "win32/text.h"

namespace vorelo::win32 {

namespace {

using app::Control;
using app::Kind;

}  // namespace

MainFrame::MainFrame(HINSTANCE instance) : instance_(instance) {}

MainFrame::~MainFrame() {
  // The logic goes first: its controls and timers refer to the native parts below.
  logic_.reset();
  tmrWatch_.reset();
  tmrSend_.reset();
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

void MainFrame::registerClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &MainFrame::windowProc;
  wc.hInstance = instance_;
  // No class icon: the start-up procedure sets the window's icon before it is first shown.
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kMainWindowClass;
  if (RegisterClassExW(&wc) == 0) throw StartupError(L"无法注册主窗口类", GetLastError());
}

void MainFrame::create(int showCommand) {
  // The window the user is in, before Vorelo's own comes up.
  keeper_.start(instance_);
  registerClass();
  if (CreateWindowExW(kMainExStyle, kMainWindowClass, L"", kMainStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                      0, 0, nullptr, nullptr, instance_, this) == nullptr) {
    throw StartupError(L"无法创建主窗口", GetLastError());
  }
  keeper_.keep(hwnd_);
  // Run as administrator, Vorelo still hears from the taskbar of the user's desktop, and from a
  // second copy started normally, which asks it to show itself.
  for (const UINT message : {taskbar_.buttonCreatedMessage(), kShowRunningWindow}) {
    ChangeWindowMessageFilterEx(hwnd_, message, MSGFLT_ALLOW, nullptr);
  }
  // Raw input shows every key event of the session; without it the key state is read directly.
  if (system_.watchKeyboard(hwnd_)) {
    keys_.watchKeys();
    keys_.setFilterKeys(system_.filterKeys());
  }
  dpi_ = dpiForWindow(hwnd_);
  setFont();
  createControls();
  fitCombos();
  fitLabels();
  placeWindow(nullptr);
  tmrWatch_ = std::make_unique<NativeTimer>(hwnd_, static_cast<UINT_PTR>(TimerId::Watch));
  tmrSend_ = std::make_unique<NativeTimer>(hwnd_, static_cast<UINT_PTR>(TimerId::Send));

  logic_ = std::make_unique<app::MainWindow>(*this);
  logic_->Form_Load();

  ShowWindow(hwnd_, showCommand);
  UpdateWindow(hwnd_);
  restoreFocus();
  // The tool tips are not needed before the pointer can reach the status bar.
  createTips();
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
      if (onCommand(wParam, lParam)) return 0;
      break;
    case WM_TIMER:
      onTimer(wParam);
      return 0;
    case WM_INPUT:
      onRawInput(reinterpret_cast<HRAWINPUT>(lParam));
      break;
    case WM_ACTIVATE:
      if (onActivate(wParam)) return 0;
      break;
    case WM_SETFOCUS:
      restoreFocus();
      return 0;
    case WM_CLOSE:
      // The window has no close handler of its own: closing it ends the program like 退出.
      end();
      return 0;
    case kShowRunningWindow:
      keeper_.showRunningWindow(logic_ != nullptr && logic_->tmrSend.enabled());
      return 0;
    case WM_DPICHANGED:
      applyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_SETTINGCHANGE:
      if (wParam == SPI_SETFILTERKEYS) keys_.setFilterKeys(system_.filterKeys());
      break;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      if (isBoxShownMessage(msg)) {
        onBoxShown(reinterpret_cast<HWND>(wParam));
        return 0;
      }
      if (msg == taskbar_.buttonCreatedMessage()) {
        taskbar_.buttonCreated(hwnd_);
        return 0;
      }
      break;
  }
  return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

bool MainFrame::onCommand(WPARAM wParam, LPARAM lParam) {
  if (lParam == 0) {
    // Enter, sent by the dialog manager: it presses the focused push button.
    if (LOWORD(wParam) != IDOK) return false;
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus) &&
        (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON))) {
      SendMessageW(focus, BM_CLICK, 0, 0);
    }
    return true;
  }
  // The id picks the control; the handle must be that very child of this window. A message
  // naming any other window (another process can send one) is ignored.
  const int position = LOWORD(wParam) - app::controlId(Control{});
  if (position < 0 || position >= static_cast<int>(app::kControlCount)) return false;
  NativeControl* control = controls_[static_cast<std::size_t>(position)].get();
  if (control == nullptr || control->hwnd() != reinterpret_cast<HWND>(lParam)) return false;
  control->onCommand(HIWORD(wParam));
  return true;
}

void MainFrame::onTimer(UINT_PTR id) {
  switch (static_cast<TimerId>(id)) {
    case TimerId::Watch:
      tmrWatch_->elapsed();
      break;
    case TimerId::Send:
      tmrSend_->elapsed();
      break;
  }
}

bool MainFrame::onActivate(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    // The window that took the keyboard from Vorelo is the one the user is in now.
    keeper_.noteForeground(GetForegroundWindow());
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(hwnd_, focus)) lastFocus_ = focus;
    return true;
  }
  if (HIWORD(wParam) != 0) return false;  // activated while minimised
  restoreFocus();
  return true;
}

void MainFrame::onRawInput(HRAWINPUT input) {
  // F12 pressed anywhere, by the user or another program: the same press the poll would see.
  const auto time = static_cast<uint32_t>(GetMessageTime());
  const std::optional<engine::ObservedKey> key = system_.rawKey(input, time);
  if (key && keys_.observeKey(*key) && logic_ != nullptr) logic_->F12_Press();
}

void MainFrame::onBoxShown(HWND box) {
  // Only a box of this thread: any program can post this message, naming any window.
  if (GetWindowThreadProcessId(box, nullptr) == GetCurrentThreadId()) bringBoxToFront(box, hwnd_);
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

HWND MainFrame::child(Control control) const {
  return controls_[static_cast<std::size_t>(control)]->hwnd();
}

template <typename Native>
Native& MainFrame::native(Control control, Kind kind, Kind other) {
  const Kind actual = app::entry(control).kind;
  if (actual != kind && actual != other) throw std::logic_error("no such control");
  return static_cast<Native&>(*controls_.at(static_cast<std::size_t>(control)));
}

HWND MainFrame::windowOf(const platform::ControlBackend& control) const {
  for (const auto& native : controls_) {
    if (native && native->backend() == &control) return native->hwnd();
  }
  return nullptr;
}

platform::ComboBackend& MainFrame::combo(Control control) {
  return native<NativeCombo>(control, Kind::Combo);
}
platform::CheckBackend& MainFrame::check(Control control) {
  return native<NativeButton>(control, Kind::CheckBox, Kind::Option);
}
platform::ButtonBackend& MainFrame::button(Control control) {
  return native<NativeButton>(control, Kind::Button);
}
platform::TimerBackend& MainFrame::timer(app::TimerName name) {
  return name == app::TimerName::tmrWatch ? *tmrWatch_ : *tmrSend_;
}

// --- platform::WindowBackend ---------------------------------------------------------------

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
    keeper_.minimise();
  } else {
    keeper_.showAgain();
  }
}

platform::WindowState MainFrame::state() const {
  return IsIconic(hwnd_) ? platform::WindowState::Minimized : platform::WindowState::Normal;
}

void MainFrame::setProgress(const platform::Progress& progress) {
  taskbar_.show(hwnd_, progress);
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
