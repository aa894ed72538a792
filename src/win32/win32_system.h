// The system services the window logic asks for, from Windows: the message file, the ANSI
// code page, keystrokes into the window in front, the key state, and starting programs.
#pragma once

#include <windows.h>

#include <optional>
#include <vector>

#include "engine/key_watch.h"
#include "platform/system.h"

namespace vorelo::win32 {

class Win32System final : public platform::System {
 public:
  std::optional<platform::FileContent> readFile(std::string_view name) override;
  std::string ansiToUtf8(std::string_view bytes) override;
  engine::LayoutLookup keyLayout() override;
  platform::KeyTarget keyTarget() override;
  engine::KeyboardState keyboardState() override;
  std::size_t injectKeys(std::span<const engine::KeyEvent> events) override;
  void pressBack(std::span<const uint16_t> held) override;
  bool reportsHotkeyPresses() override { return watch_.has_value(); }
  uint16_t asyncKeyState(int virtualKey) override;
  bool launch(platform::Folder folder, std::string_view program, std::string_view commandLine,
              int windowStyle) override;

  // Observes every key event of the session through raw input sent to `window`, also while
  // another program is in front. False when the system refuses; the key state is then read
  // with GetAsyncKeyState and GetKeyState, and held modifiers are pressed back at once.
  bool watchKeyboard(HWND window);
  struct RawKey {
    bool hotkeyPressed = false;
  };
  // A WM_INPUT message's data.
  RawKey onRawInput(HRAWINPUT input);
  // The held modifiers waiting to be pressed back are pressed now, if the batch they wait for
  // has not arrived within kPressBackWaitMs (pressBackTimer).
  void pressBackOverdue();
  static constexpr UINT_PTR kPressBackTimerId = 6;
  static constexpr UINT kPressBackWaitMs = 250;

  // The window in front has changed to `window`; a window of another program is remembered as
  // the one the user was in.
  void noteForeground(HWND window);
  // The window of another program that was in front last, if it still exists.
  HWND lastOtherForeground() const;

 private:
  // The window the keys go to: the one in front, or, while one of Vorelo's own windows is in
  // front (the user has just clicked 开始), the window of another program that was in front last.
  HWND keyTargetWindow() const;
  void pressBackNow();

  HWND lastOtherForeground_ = nullptr;
  HWND watchWindow_ = nullptr;
  std::optional<engine::KeyWatch> watch_;
  // Vorelo's own batches are numbered, so the watch can tell when the last one has arrived.
  uint16_t batch_ = 0;
  // Modifiers to press again once batch_ has arrived.
  std::vector<uint16_t> pressBackPending_;
};

// A window of this program (the main window or one of its boxes). Null counts as ours, so it
// is never taken for another program's window.
bool ownWindow(HWND window);
// The desktop itself, or no window at all: keys sent now reach no program.
bool nobodysWindow(HWND window);

}  // namespace vorelo::win32
