// Starts the receiver (a stand-in chat window) and reads back what it received.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/process.h"

namespace vorelo::e2e {

struct KeyMessage {
  double ms = 0;     // QueryPerformanceCounter in milliseconds: see nowMs()
  std::string kind;  // KD KU CH SKD SKU SCH; MENU MENULOOP CMD PROMPT ANSWER (see receiver.cpp)
  unsigned code = 0;
  bool ctrl = false;
  bool shift = false;
  bool alt = false;
  bool extended = false;
  unsigned scan = 0;  // the key message's scan code
};

// One line of the receiver's log, or nothing for a line that is not one.
std::optional<KeyMessage> parseKeyMessage(const std::string& line);
// The Enter key going down, with or without Ctrl: the end of a message.
bool isEnterDown(const KeyMessage& m);
// A character of text: WM_CHAR other than the CR or LF of an Enter key.
bool isTextChar(const KeyMessage& m);

class Receiver {
 public:
  // Starts `exe` (Windows or Unix path) and waits until its window is up and active. With a
  // class name, the window is registered under it. Options: "menu" (a menu bar), "owned" (owned
  // by a visible zero-sized window of its own), or both.
  explicit Receiver(const std::string& exe, const std::string& windowClass = {},
                    const std::string& options = {});
  ~Receiver();
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  HWND window() const { return window_; }
  const std::string& caption() const { return caption_; }
  const std::string& logPath() const { return logPath_; }
  // Asks the receiver to take the focus and waits until it has it.
  bool activate();
  // The receiver reads no messages for `ms`, from a moment after this call.
  void freeze(DWORD ms);
  // Opens a modal prompt owned by the window ("保存更改?", 是, 否 and 取消), as an editor does
  // when it is closed with unsaved changes, and returns it once it is up and in front.
  HWND openPrompt();
  // The number of messages of this kind logged so far (MENULOOP, CMD, ANSWER, ...).
  std::size_t logged(const std::string& kind) const;
  bool active() const;
  // CapsLock as the receiver sees it (rig().capsLockOn): nothing when it cannot be read.
  std::optional<bool> capsLockOn() const;
  // Gives the receiver its input method back, switched to `layout`: true when one is open.
  bool turnInputMethodOn(HKL layout);

  // Every key message logged so far. Only what was added since the last call is read, so
  // polling it while a long message is typed costs little; the vector grows in place.
  const std::vector<KeyMessage>& messages() const;
  // What arrived as text: characters from WM_CHAR, with each Enter key written as "[Enter]"
  // and Ctrl+Enter as "[^Enter]" (their own WM_CHAR, CR or LF, is left out).
  std::string typed() const;
  // Times at which each Enter or Ctrl+Enter key went down.
  std::vector<double> submitTimes() const;

 private:
  std::string logPath_;
  std::string caption_;
  Process process_;
  HWND window_ = nullptr;
  mutable long long readOffset_ = 0;
  mutable std::string partialLine_;
  mutable std::vector<KeyMessage> messages_;
};

// Clicks 开始 and waits until the window has minimised and the receiver holds the focus again,
// so that the keys land there. Returns the time of the click (nowMs).
double beginSending(App& app, Receiver& receiver);

}  // namespace vorelo::e2e
