// Which window a run types into: the chat the user was in last, the run's chat, and what the
// window in front is to them. The rules that say what a window is stand in window_kind.h.
#pragma once

#include "engine/key_string.h"
#include "platform/system.h"
#include "platform/window_kind.h"

namespace vorelo::platform {

// The window in front, and what it is to the run.
struct Front {
  WindowHandle window = 0;
  WindowKind kind = WindowKind::None;
  Level level = Level::NotHigher;
  bool ours = false;  // one of Vorelo's own windows, minimised or not
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

class Chats {
 public:
  explicit Chats(System& system) : system_(system) {}

  // The window in front, judged against the run's chat. A chat in front is the user's: it is
  // remembered, and during a run it becomes the run's chat.
  Front inFront();
  // What `window` is now: judged against the run's chat during a run; otherwise as the chat it
  // would become, when it is a program's own window (it has no owner).
  WindowKind kindOf(WindowHandle window);
  // The window in front has changed to `window`, as the system reports it.
  void noteForeground(WindowHandle window);
  // The chat a run started now would type into: the window in front when it is a chat; with
  // Vorelo itself or no window in front, the chat the user was in last, if it still is one.
  StartChat toStartIn();
  // The run's chat from now on (0 when the run ends): the window the keyboard goes back to.
  void setRunChat(WindowHandle chat) { runChat_ = chat; }
  WindowHandle runChat() const { return runChat_; }
  // The keyboard layout of the window the keys go to: `front` when it is a chat, else the run's
  // chat, else the chat the user was in last.
  engine::LayoutLookup keyLayout(const Front& front);

 private:
  WindowKind judge(const WindowFacts& window) const;
  void remember(WindowHandle chat);

  System& system_;
  WindowHandle lastChat_ = 0;
  WindowHandle runChat_ = 0;
};

}  // namespace vorelo::platform
