// The system services the window logic asks for, from Windows: the message file, the ANSI
// code page, keystrokes into the focused window, the key state, and starting programs.
#pragma once

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
};

}  // namespace vorelo::win32
