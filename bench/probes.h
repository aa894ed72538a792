// What the benchmark measures other programs with: starting them and timing their first
// window, their CPU time and memory, and a receiver window's key log read as it grows.
#pragma once

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/receiver_client.h"

namespace vorelo::bench {

using e2e::KeyMessage;
using e2e::UniqueHandle;

// A temporary folder, removed with everything in it when this goes away.
class TempFolder {
 public:
  // `messageFile`: the bytes of a Msg.txt to put in it, or nothing for an empty folder.
  explicit TempFolder(const std::optional<std::string>& messageFile = std::nullopt);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

// A program this process started. Ended (and waited for) when this goes away.
class Process {
 public:
  // Starts `exe` (a Windows path) with `arguments` in `folder`, its first window shown as
  // `show` says (SW_..., or as the program likes when nothing). Wine sometimes refuses to
  // start a program right after another copy ended, so a refused start is retried for up to
  // 2 s. Throws e2e::DriverError when it still does not start.
  Process(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder,
          std::optional<WORD> show = std::nullopt);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  HANDLE handle() const { return handle_.get(); }
  DWORD id() const { return id_; }
  // nowMs() just before the CreateProcess call that succeeded.
  double startedAt() const { return startedAt_; }
  bool running() const;
  // Ends the program and waits until it has gone.
  void stop();

 private:
  UniqueHandle handle_;
  DWORD id_ = 0;
  double startedAt_ = 0;
};

// A visible top-level window of the process, or nullptr.
HWND visibleWindowOf(DWORD processId);

// Polls (1 ms sleeps) until `ready` holds for a visible top-level window of the process, and
// returns that window and the time; throws e2e::DriverError after `timeoutMs`.
struct Shown {
  HWND window = nullptr;
  double at = 0;
};
template <typename Ready>
Shown waitUntilShown(const Process& process, Ready ready, double timeoutMs = 30000);

// The number of items in a combo box of another process, or -1 when it does not answer.
int comboCount(HWND combo);

// CPU time (kernel + user) the process has used so far, in milliseconds.
//
// Under Wine 8 GetProcessTimes on another process's handle returns the caller's own times,
// so this sums GetThreadTimes over the process's threads instead; Wine reads those from
// /proc/<pid>/task/<tid>/stat, 10 ms steps.
double cpuMs(DWORD processId);

// PeakWorkingSetSize from GetProcessMemoryInfo, in bytes.
std::size_t peakWorkingSet(HANDLE process);

// Starts receiver.exe (the test suite's stand-in chat window) and reads its key log as it
// grows, so that waiting for keys costs little CPU while they are being typed.
class ReceiverWindow {
 public:
  explicit ReceiverWindow(const std::wstring& exe);
  ~ReceiverWindow();
  ReceiverWindow(const ReceiverWindow&) = delete;
  ReceiverWindow& operator=(const ReceiverWindow&) = delete;

  HWND window() const { return window_; }
  const std::string& caption() const { return caption_; }
  bool active() const { return GetForegroundWindow() == window_; }
  // Asks the receiver to take the focus and waits until it has it.
  bool activate();

  // Every key message logged so far; reads only what was added since the last call.
  const std::vector<KeyMessage>& messages();

 private:
  std::wstring logPath_;
  std::string caption_;
  std::optional<Process> process_;
  HWND window_ = nullptr;
  long long readOffset_ = 0;
  std::string partialLine_;
  std::vector<KeyMessage> messages_;
};

// Median, smallest and largest of a set of samples.
struct Spread {
  double median = 0;
  double low = 0;
  double high = 0;
  std::size_t count = 0;
};
Spread spread(std::vector<double> samples);

// ---------------------------------------------------------------------------------------

template <typename Ready>
Shown waitUntilShown(const Process& process, Ready ready, double timeoutMs) {
  for (;;) {
    if (HWND window = visibleWindowOf(process.id()); window != nullptr && ready(window)) {
      return {window, e2e::nowMs()};
    }
    if (e2e::nowMs() - process.startedAt() > timeoutMs) {
      throw e2e::DriverError("no window within " + std::to_string(timeoutMs) + " ms");
    }
    if (!process.running()) throw e2e::DriverError("the program ended before showing a window");
    Sleep(1);
  }
}

}  // namespace vorelo::bench
