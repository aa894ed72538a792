// Starts the receiver (a stand-in chat window) and reads back what it received.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "e2e/driver.h"

namespace vorelo::e2e {

struct KeyMessage {
  double ms = 0;     // QueryPerformanceCounter in milliseconds: see nowMs()
  std::string kind;  // KD KU CH SKD SKU SCH
  unsigned code = 0;
  bool ctrl = false;
  bool shift = false;
  bool alt = false;
};

// One line of the receiver's log, or nothing for a line that is not one.
std::optional<KeyMessage> parseKeyMessage(const std::string& line);

class Receiver {
 public:
  // Starts `exe` (Windows or Unix path) and waits until its window is up and active.
  explicit Receiver(const std::string& exe);
  ~Receiver();
  Receiver(const Receiver&) = delete;
  Receiver& operator=(const Receiver&) = delete;

  HWND window() const { return window_; }
  // Asks the receiver to take the focus and waits until it has it.
  bool activate();
  bool active() const;

  std::vector<KeyMessage> messages() const;
  // What arrived as text: characters from WM_CHAR, with each Enter key written as "[Enter]"
  // and Ctrl+Enter as "[^Enter]" (their own WM_CHAR, CR or LF, is left out).
  std::string typed() const;
  // Times at which each Enter or Ctrl+Enter key went down.
  std::vector<double> submitTimes() const;

 private:
  std::string logPath_;
  UniqueHandle process_;
  HWND window_ = nullptr;
};

// The clock the receiver stamps its messages with.
double nowMs();

// The path of a program built beside this test (VORELO_TEST_BIN, or the test's own folder).
std::string siblingProgram(const std::string& name);

}  // namespace vorelo::e2e
