// Services of the system that are not controls: files, text conversion, the keyboard and
// starting programs. The window logic asks for these instead of calling the operating system
// itself, so tests can answer them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/key_events.h"
#include "engine/key_string.h"
#include "engine/key_watch.h"
#include "messages/message_file.h"

namespace vorelo::platform {

// Where a program started by the window lives. Programs are never looked up in the current
// folder or the program's own folder, where a planted copy would run with the user's rights.
enum class Folder : uint8_t { System, Windows };

// What was read of a file, and where it ended.
struct FileContent {
  std::string bytes;
  messages::FileEnd end = messages::FileEnd::Whole;
};

// The window keystrokes would go to now.
struct KeyTarget {
  // A window that can take a message: one of another program, shown, not minimised, and not the
  // desktop, the taskbar, the task switcher or Start. False when no window is in front.
  bool chat = true;
  // The window's program runs at a higher integrity level than Vorelo (as administrator): the
  // system drops keys sent to it. False too when the level cannot be read (another account's
  // program, a protected one); the system's answer to the keys then decides.
  bool higherLevel = false;
  // Names the window for captionOf.
  std::uintptr_t window = 0;
};

// How a batch of keystrokes went.
struct Delivery {
  enum class Outcome : uint8_t {
    Sent,
    // Nothing was typed: no window that can take a message is in front.
    NoChat,
    // Nothing was typed: the window in front runs at a higher integrity level.
    Blocked,
    // The system took none or only part of the keys (a locked screen, a system prompt, a window
    // with higher rights); every key pressed was released.
    Refused
  };
  Outcome outcome = Outcome::Sent;
  // The caption of the window the keys were meant for (Blocked and Refused).
  std::string window;
  bool sent() const { return outcome == Outcome::Sent; }
};

class System {
 public:
  virtual ~System() = default;
  // The content of a file named relative to the current directory, or nothing when it cannot
  // be opened. A file larger than the limit is read up to the limit.
  virtual std::optional<FileContent> readFile(std::string_view name) = 0;
  // The system's and the user locale's ANSI code pages, and the conversion from a code page.
  virtual messages::CodePages codePages() = 0;

  // Types `actions` into the window in front and returns without waiting for them to be
  // processed: checks the window, lets go of the modifiers the user holds, injects, releases
  // what a refused batch left pressed, and has the held modifiers put back.
  virtual Delivery sendKeys(std::span<const engine::KeyAction> actions);
  // The key that types a character in the keyboard layout of the window the keys go to: the
  // one in front, or, while Vorelo itself is in front, the window it hands the keyboard back to.
  virtual engine::LayoutLookup keyLayout() = 0;
  // The window in front, as the keys would find it.
  virtual KeyTarget keyTarget() = 0;
  // The caption of a window keyTarget named, read without waiting on its program.
  virtual std::string captionOf(std::uintptr_t window) = 0;

  // From now on the system reports every key event of the session (observeKey), also while
  // another program is in front. Otherwise the key state is read with asyncKeyState, and held
  // modifiers are pressed back at once.
  void watchKeys() {
    watch_.emplace();
    watch_->setLongestRepeatGap(longestRepeatGapMs_);
  }
  // The system's FilterKeys setting, read at start-up and whenever it changes: it decides how far
  // apart the repeats of a held F12 may come.
  void setFilterKeys(const engine::FilterKeys& keys);
  // True when the system reports each F12 press: the key going down, not its repeats, not the
  // presses Vorelo types itself. Otherwise F12 is watched by polling asyncKeyState.
  bool reportsHotkeyPresses() const { return watch_.has_value(); }
  // A key event the system reported, Vorelo's own included. True for a press of F12 by the user.
  bool observeKey(const engine::ObservedKey& key);
  // The held modifiers waiting for a batch to arrive are pressed now: the batch is late.
  void pressBackOverdue();

  // GetAsyncKeyState: bit 15 set while the key is down, bit 0 when it was pressed since the
  // previous query.
  virtual uint16_t asyncKeyState(int virtualKey) = 0;
  // Starts `program` from `folder` with the full command line given; `windowStyle` 2 shows
  // it minimised with the focus, anything else normally. Returns at once; false when it did not
  // start.
  virtual bool launch(Folder folder, std::string_view program, std::string_view commandLine,
                      int windowStyle) = 0;

  // Held modifiers are pressed back when the batch they wait for has arrived, or, where the
  // system does not report Vorelo's own keys, this long after it was sent.
  static constexpr unsigned kPressBackWaitMs = 2000;

 protected:
  // Puts the events into the input stream as one piece, each marked as Vorelo's own with
  // `batch` (engine::ownKeyMark); returns how many the system took.
  virtual std::size_t injectKeys(std::span<const engine::KeyEvent> events, uint16_t batch) = 0;
  // Has pressBackOverdue called kPressBackWaitMs from now, or not at all.
  virtual void schedulePressBack(bool on) = 0;

 private:
  // The modifiers the user holds: those the watch saw go down and not up, and the system's key
  // state says are down as well.
  engine::KeyboardState keyboardState();
  std::size_t inject(std::span<const engine::KeyEvent> events);
  void pressBack(std::span<const uint16_t> held);
  void pressBackNow();
  bool waitsForPressBack(uint16_t key) const;

  std::optional<engine::KeyWatch> watch_;
  uint32_t longestRepeatGapMs_ = engine::kLongestRepeatGapMs;
  // Vorelo's own batches are numbered, so the watch can tell when the last one has arrived.
  uint16_t batch_ = 0;
  // Modifiers Vorelo let go, to press again once batch_ has arrived.
  std::vector<uint16_t> pressBackPending_;
};

}  // namespace vorelo::platform
