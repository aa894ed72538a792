// What the operating system does for the program and nothing more: files, text conversion,
// starting programs, what it says of windows and the keyboard, and putting keys into the input
// stream. The rules built on these (which window is a chat, how a message is typed) are the
// platform's own, in chats.h and key_pipeline.h; the window logic asks for these instead of
// calling the operating system itself, so tests can answer them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/key_events.h"
#include "engine/key_string.h"
#include "messages/message_file.h"
#include "platform/window_kind.h"

namespace vorelo::platform {

// Where a program started by the window lives. Programs are never looked up in the current
// folder or the program's own folder, where a planted copy would run with the user's rights.
enum class Folder : uint8_t { System, Windows };

// How a started program shows its window.
enum class ShowStyle : uint8_t { Normal, MinimisedWithFocus };

// What was read of a file, and where it ended.
struct FileContent {
  std::string bytes;
  messages::FileEnd end = messages::FileEnd::Whole;
};

class System {
 public:
  virtual ~System() = default;

  // The content of a file named relative to the current directory, or nothing when it cannot
  // be opened. A file larger than the limit is read up to the limit.
  virtual std::optional<FileContent> readFile(std::string_view name) = 0;
  // The system's and the user locale's ANSI code pages, and the conversion from a code page.
  virtual messages::CodePages codePages() = 0;
  // Starts `program` from `folder` with the full command line given. Returns at once; false when
  // it did not start.
  virtual bool launch(Folder folder, std::string_view program, std::string_view commandLine,
                      ShowStyle show) = 0;

  // What the system says of a window, and which window is in front.
  virtual WindowFacts windowFacts(WindowHandle window) = 0;
  virtual WindowHandle foregroundWindow() = 0;
  // The caption of a window, read without waiting on its program.
  virtual std::string captionOf(WindowHandle window) = 0;
  // The key that types a character in the keyboard layout of `window`'s thread.
  virtual engine::LayoutLookup layoutOf(WindowHandle window) = 0;

  // GetAsyncKeyState: bit 15 set while the key is down, bit 0 when it was pressed since the
  // previous query.
  virtual uint16_t asyncKeyState(int virtualKey) = 0;
  // Puts the events into the input stream as one piece, each marked as Vorelo's own with
  // `batch` (engine::ownKeyMark); returns how many the system took.
  virtual std::size_t injectKeys(std::span<const engine::KeyEvent> events, uint16_t batch) = 0;
};

}  // namespace vorelo::platform
