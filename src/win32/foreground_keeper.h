// The window manager's side of a run: where the keyboard goes when Vorelo's window minimises or
// comes back, and the timers that check it. Each rule answers something Windows or a window
// manager does on its own, seen on a real desktop or under Wine with openbox:
//
// - The window the user is in. Vorelo remembers the last chat that had the keyboard, from the
//   system's reports of each new window in front (EVENT_SYSTEM_FOREGROUND) and of a window
//   restored from the taskbar (EVENT_SYSTEM_MINIMIZEEND: it may become the window in front while
//   still minimised, and only then be shown). Wine sends neither; the main window's own
//   deactivation (WM_ACTIVATE) tells it there.
// - The hand-back after 开始. SW_MINIMIZE activates the next window, but that can be no chat:
//   nobody, the desktop, the taskbar, File Explorer (Vorelo started from it), or the minimised
//   Vorelo itself (Wine and the window manager can disagree on who is in front, seen with
//   openbox). For about a second the keyboard is checked, and while no chat has it, it goes to
//   the run's chat, never to a window that is no chat by now (minimised, disabled by a prompt).
// - Shown again after a stop without taking the keyboard. A stop the user did not make in
//   Vorelo's window (F12, the time, an error) restores the window while the user types elsewhere;
//   window managers activate a restored window all the same (openbox does even for
//   SW_SHOWNOACTIVATE), so for a second the window is WS_EX_NOACTIVATE, and a foreground it took
//   anyway goes back to the window before, when that one is a chat (a prompt or a menu that
//   ended the run is not brought forward).
// - The late minimise. A window manager slowed down by a busy machine can carry out the minimise
//   of 开始 after the stop showed the window again, seconds later (seen under load, under Wine):
//   the window is checked until it has stayed shown for a second.
// - A second copy of Vorelo, started by the user, may pass on its right to come to the front
//   (AllowSetForegroundWindow): the idle window comes forward; a window that is sending stays
//   minimised, the keys still going to the chat.
// - The key pipeline's timers. Held modifiers are pressed back when the batch they wait for has
//   arrived; a batch whose arrival the system does not report is given a time-out instead. Keys
//   sent to a window whose level cannot be read count as sent once seen to arrive, and as
//   refused when a second passes without any of them arriving.
//
// The timers run on a message-only window of the keeper's own, so no id can meet the main
// window's.
#pragma once

#include <windows.h>

#include <array>

#include "platform/backend.h"
#include "platform/chats.h"
#include "win32/handles.h"
#include "win32/native_controls.h"

namespace vorelo::win32 {

class ForegroundKeeper {
 public:
  explicit ForegroundKeeper(platform::Chats& chats) : chats_(chats) {}
  ~ForegroundKeeper();
  ForegroundKeeper(const ForegroundKeeper&) = delete;
  ForegroundKeeper& operator=(const ForegroundKeeper&) = delete;

  // Notes the window the user is in now and from now on, and makes the timers' window. Throws
  // StartupError.
  void start(HINSTANCE instance);
  // The main window whose state the keeper looks after.
  void keep(HWND window) { window_ = window; }
  // The window in front has changed to `window`.
  void noteForeground(HWND window);
  // 开始 minimises the window and the keyboard goes to the run's chat.
  void minimise();
  // A stop shows the window again, without taking the keyboard from the window the user is in.
  void showAgain();
  // A second copy of Vorelo was started; `sending` keeps the window as it is.
  void showRunningWindow(bool sending);
  // The key pipeline's timers.
  platform::TimerBackend& pressBackTimer() { return pressBack_; }
  platform::TimerBackend& verdictTimer() { return verdict_; }

 private:
  enum class TimerId : UINT_PTR { Activatable = 1, HandBack, ShownAgain, PressBack, Verdict };

  static LRESULT CALLBACK timerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  void onTimer(TimerId id);
  void startTimer(TimerId id, UINT ms);
  void stopTimer(TimerId id);
  void makeActivatable();
  void showWithoutActivating();
  void handBackKeyboard();
  void checkShownAgain();

  platform::Chats& chats_;
  HWND window_ = nullptr;
  UniqueWindow timers_;
  // On the timers' window once it exists.
  NativeTimer pressBack_{nullptr, static_cast<UINT_PTR>(TimerId::PressBack)};
  NativeTimer verdict_{nullptr, static_cast<UINT_PTR>(TimerId::Verdict)};
  // The window in front and windows restored, where the system reports them (not Wine).
  std::array<UniqueWinEventHook, 2> foregroundHooks_;
  // Looks left at the keyboard after 开始 minimised the window (handBackKeyboard).
  int handBackChecks_ = 0;
  // Looks left at a window shown again after a stop (checkShownAgain).
  int shownAgainChecks_ = 0;
  int shownInARow_ = 0;
  // The window was minimised by 开始 and not yet shown again by a stop.
  bool minimisedByUs_ = false;
};

}  // namespace vorelo::win32
