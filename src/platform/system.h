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
#include "platform/window_kind.h"

namespace vorelo::platform {

// Where a program started by the window lives. Programs are never looked up in the current
// folder or the program's own folder, where a planted copy would run with the user's rights.
enum class Folder : uint8_t { System, Windows };

// What was read of a file, and where it ended.
struct FileContent {
  std::string bytes;
  messages::FileEnd end = messages::FileEnd::Whole;
};

// The window in front, and what it is to the run.
struct Front {
  WindowHandle window = 0;
  WindowKind kind = WindowKind::None;
  Level level = Level::NotHigher;
  bool chat() const { return kind == WindowKind::Chat; }
};

// The chat a run is to start in, or why there is none.
struct StartChat {
  // 0 when there is none.
  WindowHandle window = 0;
  // What the window looked at is: the one in front, or, with Vorelo in front, the chat the user
  // was in last (None when there was none since Vorelo started).
  WindowKind kind = WindowKind::None;
  bool remembered = false;
};

// How a batch of keystrokes went.
struct Delivery {
  enum class Outcome : uint8_t {
    Sent,
    // Nothing was typed: no window that can take a message is in front (kind says which).
    NoChat,
    // Nothing was typed: the window in front runs at a higher integrity level.
    Blocked,
    // The system took none or only part of the keys (a locked screen, a system prompt, a window
    // with higher rights); every key pressed was released.
    Refused
  };
  Outcome outcome = Outcome::Sent;
  // What was in front instead of a chat (NoChat).
  WindowKind kind = WindowKind::Chat;
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
  // Bytes in the system's ANSI code page, as UTF-8.
  virtual std::string ansiToUtf8(std::string_view bytes) = 0;

  // Types `actions` into the window in front and returns without waiting for them to be
  // processed: checks the window, lets go of the modifiers the user holds, injects, releases
  // what a refused batch left pressed, and has the held modifiers put back.
  virtual Delivery sendKeys(std::span<const engine::KeyAction> actions);
  // The key that types a character in the keyboard layout of the window the keys go to: the
  // one in front when it is a chat, else the run's chat, else the chat the user was in last.
  engine::LayoutLookup keyLayout();
  // The caption of a window, read without waiting on its program.
  virtual std::string captionOf(WindowHandle window) = 0;

  // --- Where keys may go (window_kind.h) ---
  // The window in front, judged against the run's chat.
  Front front();
  // What `window` is now: judged against the run's chat during a run; otherwise as the chat it
  // would become, when it is a program's own window (it has no owner).
  WindowKind kindOf(WindowHandle window);
  // The window in front has changed to `window`: a chat is remembered as the one the user was
  // in, and during a run it becomes the run's chat.
  void noteForeground(WindowHandle window);
  // The chat a run started now would type into: the window in front when it is a chat; with
  // Vorelo itself in front, the chat the user was in last, if it still is one.
  StartChat chatToStartIn();
  // The run's chat from now on (0 when the run ends): the window the keyboard goes back to.
  void setRunChat(WindowHandle chat) { runChat_ = chat; }
  WindowHandle runChat() const { return runChat_; }

  // From now on the system reports every key event of the session (observeKey), also while
  // another program is in front. Otherwise the key state is read with asyncKeyState, and held
  // modifiers are pressed back at once.
  void watchKeys() { watch_.emplace(); }
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

  // What the system says of a window, and which window is in front.
  virtual WindowFacts windowFacts(WindowHandle window) = 0;
  virtual WindowHandle foregroundWindow() = 0;
  // The key that types a character in the keyboard layout of `window`'s thread.
  virtual engine::LayoutLookup layoutOf(WindowHandle window) = 0;

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

  // The window the keys go to now, for its keyboard layout.
  WindowHandle keyWindow();
  static WindowHandle ownAnchor(const WindowFacts& window);

  std::optional<engine::KeyWatch> watch_;
  // Vorelo's own batches are numbered, so the watch can tell when the last one has arrived.
  uint16_t batch_ = 0;
  // Modifiers Vorelo let go, to press again once batch_ has arrived.
  std::vector<uint16_t> pressBackPending_;
  // The chat the user was in last, and the chat of the run going on.
  WindowHandle lastChat_ = 0;
  WindowHandle runChat_ = 0;
};

}  // namespace vorelo::platform
