#include "win32/foreground_keeper.h"

#include <exception>
#include <utility>

#include "win32/errors.h"
#include "win32/win32_system.h"

namespace vorelo::win32 {

namespace {

constexpr wchar_t kTimerWindowClass[] = L"VoreloForegroundKeeper";
constexpr UINT kNoActivateMs = 1000;
// After 开始 minimised the window: how often, and how many times, the keyboard is checked.
constexpr UINT kHandBackMs = 150;
constexpr int kHandBackChecks = 7;
// A window shown again is checked until it has been seen shown this many times in a row, and
// at most kShownAgainChecks times.
constexpr UINT kShownAgainMs = 200;
constexpr int kShownInARow = 5;
constexpr int kShownAgainChecks = 25;

// The keeper told of every change of the window in front, where the system reports them.
ForegroundKeeper* foregroundWatcher = nullptr;

// A window came to the front, or a window was restored from the taskbar (it may become the
// foreground window while still minimised, and only then be shown).
void CALLBACK foregroundChanged(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG, DWORD,
                                DWORD) noexcept {
  if (object != OBJID_WINDOW || foregroundWatcher == nullptr) return;
  if (event == EVENT_SYSTEM_FOREGROUND || window == GetForegroundWindow()) {
    foregroundWatcher->noteForeground(window);
  }
}

}  // namespace

ForegroundKeeper::~ForegroundKeeper() {
  if (foregroundWatcher == this) foregroundWatcher = nullptr;
}

void ForegroundKeeper::start(HINSTANCE instance) {
  // The window the user was in when Vorelo started, and every later change where the system
  // reports it (Wine does not): where the keyboard goes back when Vorelo minimises itself.
  noteForeground(GetForegroundWindow());
  foregroundWatcher = this;
  for (std::size_t i = 0; i < foregroundHooks_.size(); ++i) {
    const DWORD event = i == 0 ? EVENT_SYSTEM_FOREGROUND : EVENT_SYSTEM_MINIMIZEEND;
    foregroundHooks_[i].reset(SetWinEventHook(event, event, nullptr, &foregroundChanged, 0, 0,
                                              WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS));
  }
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &ForegroundKeeper::timerProc;
  wc.hInstance = instance;
  wc.lpszClassName = kTimerWindowClass;
  if (RegisterClassExW(&wc) == 0) throw StartupError(L"无法注册计时窗口类", GetLastError());
  timers_.reset(CreateWindowExW(0, kTimerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                instance, nullptr));
  if (!timers_) throw StartupError(L"无法创建计时窗口", GetLastError());
  SetWindowLongPtrW(timers_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  pressBack_.setHost(timers_.get());
  verdict_.setHost(timers_.get());
}

LRESULT CALLBACK ForegroundKeeper::timerProc(HWND hwnd, UINT msg, WPARAM wParam,
                                             LPARAM lParam) noexcept {
  auto* self = reinterpret_cast<ForegroundKeeper*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg != WM_TIMER || self == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  try {
    self->onTimer(static_cast<TimerId>(wParam));
  } catch (const std::exception& e) {
    fatal(e.what());
  } catch (...) {
    fatal("unknown error");
  }
  return 0;
}

void ForegroundKeeper::onTimer(TimerId id) {
  switch (id) {
    case TimerId::Activatable:
      makeActivatable();
      break;
    case TimerId::HandBack:
      handBackKeyboard();
      break;
    case TimerId::ShownAgain:
      checkShownAgain();
      break;
    case TimerId::PressBack:
      pressBack_.elapsed();
      break;
    case TimerId::Verdict:
      verdict_.elapsed();
      break;
  }
}

void ForegroundKeeper::startTimer(TimerId id, UINT ms) {
  SetTimer(timers_.get(), static_cast<UINT_PTR>(id), ms, nullptr);
}

void ForegroundKeeper::stopTimer(TimerId id) {
  KillTimer(timers_.get(), static_cast<UINT_PTR>(id));
}

void ForegroundKeeper::noteForeground(HWND window) {
  chats_.noteForeground(asHandle(window));
}

void ForegroundKeeper::minimise() {
  // A new state ends the checks left from the last one.
  stopTimer(TimerId::ShownAgain);
  makeActivatable();
  // SW_MINIMIZE activates the next window, so the keystrokes that follow go there.
  ShowWindow(window_, SW_MINIMIZE);
  minimisedByUs_ = true;
  handBackChecks_ = kHandBackChecks;
  startTimer(TimerId::HandBack, kHandBackMs);
}

void ForegroundKeeper::showAgain() {
  stopTimer(TimerId::ShownAgain);
  stopTimer(TimerId::HandBack);
  if (IsIconic(window_) || !IsWindowVisible(window_)) showWithoutActivating();
  // A window manager still busy with the minimise asked for before may carry it out after the
  // window was shown, or echo it late, even when the window looks shown now: the window is
  // checked, and shown once more when it needs to be.
  if (std::exchange(minimisedByUs_, false)) {
    shownAgainChecks_ = kShownAgainChecks;
    shownInARow_ = 0;
    startTimer(TimerId::ShownAgain, kShownAgainMs);
  }
}

void ForegroundKeeper::showRunningWindow(bool sending) {
  // While a run goes on the window stays as it is (minimised, the keys going to the chat); when
  // idle it comes back, in front.
  if (sending) return;
  ShowWindow(window_, IsIconic(window_) ? SW_RESTORE : SW_SHOW);
  SetForegroundWindow(window_);
}

void ForegroundKeeper::makeActivatable() {
  stopTimer(TimerId::Activatable);
  const LONG_PTR exStyle = GetWindowLongPtrW(window_, GWL_EXSTYLE);
  if (exStyle & WS_EX_NOACTIVATE) {
    SetWindowLongPtrW(window_, GWL_EXSTYLE, exStyle & ~WS_EX_NOACTIVATE);
  }
}

void ForegroundKeeper::checkShownAgain() {
  if (IsIconic(window_)) {
    showWithoutActivating();
    shownInARow_ = 0;
  } else {
    ++shownInARow_;
  }
  if (shownInARow_ >= kShownInARow || --shownAgainChecks_ <= 0) {
    stopTimer(TimerId::ShownAgain);
    shownAgainChecks_ = 0;
  }
}

void ForegroundKeeper::handBackKeyboard() {
  const bool lost = IsIconic(window_) && !chats_.inFront().chat();
  if (lost) {
    const platform::WindowHandle chat = chats_.runChat();
    if (chats_.kindOf(chat) == platform::WindowKind::Chat) SetForegroundWindow(asHwnd(chat));
  }
  if (!lost || --handBackChecks_ <= 0) stopTimer(TimerId::HandBack);
}

void ForegroundKeeper::showWithoutActivating() {
  HWND previous = GetForegroundWindow();
  // A minimised Vorelo left in front is not the user at its window.
  const bool oursInFront = chats_.inFront().kind == platform::WindowKind::Ours;
  if (previous != nullptr && !oursInFront) {
    SetWindowLongPtrW(window_, GWL_EXSTYLE,
                      GetWindowLongPtrW(window_, GWL_EXSTYLE) | WS_EX_NOACTIVATE);
    startTimer(TimerId::Activatable, kNoActivateMs);
  }
  ShowWindow(window_, SW_SHOWNOACTIVATE);
  // Given back only to a chat: a prompt or a menu that ended the run is not brought forward.
  if (previous != nullptr && GetForegroundWindow() == window_ &&
      chats_.kindOf(asHandle(previous)) == platform::WindowKind::Chat) {
    SetForegroundWindow(previous);
  }
}

}  // namespace vorelo::win32
