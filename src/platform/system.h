// Services of the system that are not controls: files, text conversion, the keyboard and
// starting programs. The window logic asks for these instead of calling the operating system
// itself, so tests can answer them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/key_events.h"
#include "engine/key_string.h"

namespace vorelo::platform {

// Where a program started by the window lives. Programs are never looked up in the current
// folder or the program's own folder, where a planted copy would run with the user's rights.
enum class Folder : uint8_t { System, Windows };

// What was read of a file: everything, or the part before a read error.
struct FileContent {
  std::string bytes;
  bool complete = true;
};

// The window keystrokes go to now.
struct KeyTarget {
  std::string caption;
  // False for a window of a program that runs at a higher integrity level than Vorelo (as
  // administrator), or whose level cannot be read: the system drops keys sent to it.
  bool acceptsKeys = true;
};

// How a batch of keystrokes went.
struct Delivery {
  enum class Outcome : uint8_t {
    Sent,
    // Nothing was typed: the window in front runs at a higher integrity level.
    Blocked,
    // The system took none or only part of the keys (a locked screen, a system prompt); every
    // key pressed was released.
    Refused
  };
  Outcome outcome = Outcome::Sent;
  // The caption of the window the keys were meant for.
  std::string window;
  bool sent() const { return outcome == Outcome::Sent; }
};

class System {
 public:
  virtual ~System() = default;
  // The content of a file named relative to the current directory, or nothing when it cannot
  // be opened. A file larger than the limit is read up to the limit, as if it ended there.
  virtual std::optional<FileContent> readFile(std::string_view name) = 0;
  // Bytes in the system's ANSI code page, as UTF-8.
  virtual std::string ansiToUtf8(std::string_view bytes) = 0;

  // Types `actions` into the window in front and returns without waiting for them to be
  // processed: checks the window, lets go of the modifiers the user holds, injects, releases
  // what a refused batch left pressed, and has the held modifiers put back.
  virtual Delivery sendKeys(std::span<const engine::KeyAction> actions);
  // The key that types a character in the keyboard layout of the window the keys go to: the
  // one in front, or, while Vorelo itself is in front, the window it hands the keyboard back to.
  virtual engine::LayoutLookup keyLayout() = 0;

  // The parts of sendKeys that reach the system.
  virtual KeyTarget keyTarget() = 0;
  // The modifiers the user holds.
  virtual engine::KeyboardState keyboardState() = 0;
  // Puts the events into the input stream as one piece; returns how many the system took.
  virtual std::size_t injectKeys(std::span<const engine::KeyEvent> events) = 0;
  // Presses `held` again once the events injected so far have arrived: those keys of it that
  // the user still holds then.
  virtual void pressBack(std::span<const uint16_t> held) = 0;

  // True when the system reports each F12 press (raw input): the key going down, not its
  // repeats, not the presses Vorelo types itself. Otherwise F12 is watched by polling
  // asyncKeyState.
  virtual bool reportsHotkeyPresses() = 0;
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
