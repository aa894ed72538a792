// The system services the window logic asks for, from Windows: the message file, the code
// pages, keystrokes into the window in front, the key state, and starting programs.
#pragma once

#include <windows.h>

#include <optional>

#include "platform/system.h"

namespace vorelo::win32 {

class Win32System final : public platform::System {
 public:
  std::optional<platform::FileContent> readFile(std::string_view name) override;
  messages::CodePages codePages() override;
  engine::LayoutLookup keyLayout() override;
  platform::KeyTarget keyTarget() override;
  std::string captionOf(std::uintptr_t window) override;
  uint16_t asyncKeyState(int virtualKey) override;
  bool launch(platform::Folder folder, std::string_view program, std::string_view commandLine,
              int windowStyle) override;

  // Observes every key event of the session through raw input sent to `window`, also while
  // another program is in front. False when the system refuses; the key state is then read
  // with GetAsyncKeyState, and held modifiers are pressed back at once.
  bool watchKeyboard(HWND window);
  // A WM_INPUT message's data, taken by the system at `timeMs` (GetMessageTime); true for an
  // F12 press of the user's.
  bool onRawInput(HRAWINPUT input, uint32_t timeMs);
  // The timer that calls pressBackOverdue.
  static constexpr UINT_PTR kPressBackTimerId = 6;
  // Hands the system's FilterKeys setting to the key watch: at start-up, and on the
  // WM_SETTINGCHANGE that says it changed.
  void readFilterKeys();

  // The window in front has changed to `window`; a chat window is remembered as the one the
  // user was in.
  void noteForeground(HWND window);
  // The chat window the user was in last, if it still exists.
  HWND lastChat() const;

 protected:
  std::size_t injectKeys(std::span<const engine::KeyEvent> events, uint16_t batch) override;
  void schedulePressBack(bool on) override;

 private:
  // The window the keys go to: the one in front, or, while no chat is in front (the user has
  // just clicked 开始), the chat the user was in last.
  HWND keyTargetWindow() const;

  HWND lastChat_ = nullptr;
  HWND watchWindow_ = nullptr;
};

// A window of this program (the main window or one of its boxes). Null counts as ours, so it
// is never taken for another program's window.
bool ownWindow(HWND window);
// A window that can take a chat message: a shown, not minimised, not cloaked top-level window of
// another program that is no tool window and not the desktop, the taskbar, the task switcher,
// Start or Search.
bool chatWindow(HWND window);

}  // namespace vorelo::win32
