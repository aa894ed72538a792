// Services of the system that are not controls: files, text conversion, the keyboard and
// starting programs. The window logic asks for these instead of calling the operating system
// itself, so tests can answer them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/key_string.h"

namespace vorelo::platform {

// Where a program started by the window lives. Programs are never looked up in the current
// folder or the program's own folder, where a planted copy would run with the user's rights.
enum class Folder : uint8_t { System, Windows };

class System {
 public:
  virtual ~System() = default;
  // The whole content of a file named relative to the current directory, or nothing when it
  // cannot be opened or read.
  virtual std::optional<std::string> readFile(std::string_view name) = 0;
  // Bytes in the system's ANSI code page, as UTF-8.
  virtual std::string ansiToUtf8(std::string_view bytes) = 0;
  // Queues the keystrokes for the window that has the keyboard focus and returns without
  // waiting for them. False when the system took none or only part of them (every key pressed
  // is released all the same).
  virtual bool sendKeys(std::span<const engine::KeyAction> actions) = 0;
  // The key that types `ch` in the keyboard layout of the window that has the focus, or
  // nothing when no key of it does.
  virtual std::optional<engine::LayoutKey> layoutKey(char32_t ch) = 0;
  // GetAsyncKeyState: bit 15 set while the key is down, bit 0 when it was pressed since the
  // previous query.
  virtual uint16_t asyncKeyState(int virtualKey) = 0;
  // Starts `program` from `folder` with the full command line given; `windowStyle` 2 shows
  // it minimised with the focus, anything else normally. Returns at once; false when it did not
  // start.
  virtual bool launch(Folder folder, std::string_view program, std::string_view commandLine,
                      int windowStyle) = 0;
};

}  // namespace vorelo::platform
