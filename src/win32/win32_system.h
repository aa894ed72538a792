// The system services the window logic asks for, from Windows: the message file, the ANSI
// code page, keystrokes into the focused window, the key state, and starting programs.
#pragma once

#include <windows.h>

#include "platform/system.h"

namespace vorelo::win32 {

class Win32System final : public platform::System {
 public:
  std::optional<std::string> readFile(std::string_view name) override;
  std::string ansiToUtf8(std::string_view bytes) override;
  bool sendKeys(std::span<const engine::KeyAction> actions) override;
  std::optional<engine::LayoutKey> layoutKey(char32_t ch) override;
  uint16_t asyncKeyState(int virtualKey) override;
  bool launch(platform::Folder folder, std::string_view program, std::string_view commandLine,
              int windowStyle) override;

  // The window in front has changed to `window`; a window of another program is remembered as
  // the one the user was in.
  void noteForeground(HWND window);
  // The window the keys go to: the one in front, or, while one of Vorelo's own windows is in
  // front (the user has just clicked 开始), the window of another program that was in front last.
  // Null when none is known.
  HWND keyTarget() const;
  // The window of another program that was in front last, if it still exists.
  HWND lastOtherForeground() const;

 private:
  HWND lastOtherForeground_ = nullptr;
};

// A window of this program (the main window or one of its boxes). Null counts as ours, so it
// is never taken for another program's window.
bool ownWindow(HWND window);
// The desktop itself, or no window at all: keys sent now reach no program.
bool nobodysWindow(HWND window);

}  // namespace vorelo::win32
