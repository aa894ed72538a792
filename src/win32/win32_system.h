// The system services the window logic asks for, from Windows: the message file, the code
// pages, keystrokes into the window in front, the key state, and starting programs.
#pragma once

#include <windows.h>

#include <optional>

#include "engine/key_watch.h"
#include "platform/system.h"

namespace vorelo::win32 {

class Win32System final : public platform::System {
 public:
  std::optional<platform::FileContent> readFile(std::string_view name) override;
  messages::CodePages codePages() override;
  bool launch(platform::Folder folder, std::string_view program, std::string_view commandLine,
              platform::ShowStyle show) override;
  platform::WindowFacts windowFacts(platform::WindowHandle window) override;
  platform::WindowHandle foregroundWindow() override;
  std::string captionOf(platform::WindowHandle window) override;
  engine::LayoutLookup layoutOf(platform::WindowHandle window) override;
  uint16_t asyncKeyState(int virtualKey) override;
  std::size_t injectKeys(std::span<const engine::KeyEvent> events, uint16_t batch) override;

  // Has every key event of the session sent to `window` as raw input, also while another
  // program is in front. False when the system refuses; the key state is then read with
  // GetAsyncKeyState.
  bool watchKeyboard(HWND window);
  // The system's FilterKeys setting, for the key watch: read at start-up, and on the
  // WM_SETTINGCHANGE that says it changed.
  engine::FilterKeys filterKeys();
  // A WM_INPUT message's key event, taken by the system at `timeMs` (GetMessageTime).
  std::optional<engine::ObservedKey> rawKey(HRAWINPUT input, uint32_t timeMs);
};

inline platform::WindowHandle asHandle(HWND window) {
  return reinterpret_cast<platform::WindowHandle>(window);
}
inline HWND asHwnd(platform::WindowHandle handle) {
  return reinterpret_cast<HWND>(handle);
}

}  // namespace vorelo::win32
