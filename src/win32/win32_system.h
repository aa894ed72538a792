// The system services the window logic asks for, from Windows: the message file, the ANSI
// code page, keystrokes into the window in front, the key state, and starting programs.
#pragma once

#include <windows.h>

#include <optional>

#include "platform/system.h"

namespace vorelo::win32 {

class Win32System final : public platform::System {
 public:
  std::optional<platform::FileContent> readFile(std::string_view name) override;
  std::string ansiToUtf8(std::string_view bytes) override;
  std::string captionOf(platform::WindowHandle window) override;
  uint16_t asyncKeyState(int virtualKey) override;
  bool launch(platform::Folder folder, std::string_view program, std::string_view commandLine,
              int windowStyle) override;
  platform::WindowFacts windowFacts(platform::WindowHandle window) override;
  platform::WindowHandle foregroundWindow() override;
  engine::LayoutLookup layoutOf(platform::WindowHandle window) override;

  // Observes every key event of the session through raw input sent to `window`, also while
  // another program is in front. False when the system refuses; the key state is then read
  // with GetAsyncKeyState, and held modifiers are pressed back at once.
  bool watchKeyboard(HWND window);
  // A WM_INPUT message's data, taken by the system at `timeMs` (GetMessageTime); true for an
  // F12 press of the user's.
  bool onRawInput(HRAWINPUT input, uint32_t timeMs);
  // The timer that calls pressBackOverdue.
  static constexpr UINT_PTR kPressBackTimerId = 6;

 protected:
  std::size_t injectKeys(std::span<const engine::KeyEvent> events, uint16_t batch) override;
  void schedulePressBack(bool on) override;

 private:
  HWND watchWindow_ = nullptr;
};

inline platform::WindowHandle asHandle(HWND window) {
  return reinterpret_cast<platform::WindowHandle>(window);
}
inline HWND asHwnd(platform::WindowHandle handle) {
  return reinterpret_cast<HWND>(handle);
}

}  // namespace vorelo::win32
