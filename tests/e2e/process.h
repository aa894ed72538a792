// What the end-to-end driver, the receiver client and the benchmark share: waiting, the clock,
// files and folders of their own, the programs they start and the windows those show. Text and
// paths go in and out as UTF-8; a path may be a Windows path or, under Wine, a Unix one.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "win32/handles.h"
#include "win32/text.h"

namespace vorelo::e2e {

using Millis = std::chrono::milliseconds;
using win32::narrow;
using win32::UniqueFile;
using win32::UniqueHandle;
using win32::widen;

// How long a condition may take to come true before a test gives up on it.
inline constexpr Millis kDefaultTimeout{5000};

// Raised when a program cannot be driven as asked: it does not start, a control is missing or
// disabled, or the program stops answering. Google Test reports the exception as a failure of
// the test that was running.
class DriverError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// "<what> (error <GetLastError()>)".
std::string lastError(std::string_view what);

// Polls `condition` until it holds or `timeout` has passed. Returns whether it held.
bool waitFor(const std::function<bool()>& condition, Millis timeout = kDefaultTimeout);

// QueryPerformanceCounter in milliseconds: the same clock in every process, the one the
// receiver stamps its log with.
double nowMs();

// Wine shows the Unix root as drive Z:, so "/a/b" becomes "Z:\a\b". Anything not starting
// with '/' is returned unchanged.
std::string toWindowsPath(std::string_view path);

// A path in the temporary folder that no other call gives out: the stem, this process's id, a
// count and the time (process ids repeat from one Wine prefix to the next).
std::string uniqueTempPath(std::string_view stem);

// What the file holds from byte `from` on; empty when it cannot be opened. It is opened sharing
// everything, so a program writing it can go on.
std::string readFile(const std::string& path, long long from = 0);
void writeFile(const std::string& path, const std::string& bytes);

// A new temporary folder, removed with everything in it when this goes away.
class TempFolder {
 public:
  // `messageFile`: the bytes of a Msg.txt to put in it, or nothing for an empty folder.
  explicit TempFolder(const std::optional<std::string>& messageFile = std::nullopt);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // A Windows path.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// A program this process started. Ended, and waited for, when this goes away.
class Process {
 public:
  // Starts `exe` with `arguments` in `folder` (empty: this process's folder), its first window
  // shown as `show` says (SW_..., or as the program likes when nothing). Wine sometimes refuses
  // to start a program right after another copy ended (ERROR_INTERNAL_ERROR), so a refused
  // start is retried for up to 2 s. Throws DriverError when it still does not start.
  explicit Process(const std::string& exe, const std::string& arguments = "",
                   const std::string& folder = "", std::optional<WORD> show = std::nullopt);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  const std::string& exe() const { return exe_; }
  HANDLE handle() const { return handle_.get(); }
  DWORD id() const { return id_; }
  // nowMs() right before the CreateProcess call that succeeded.
  double startedAt() const { return startedAt_; }
  bool running() const;
  // The exit code once the program has ended.
  std::optional<DWORD> exitCode() const;
  bool waitForExit(Millis timeout = kDefaultTimeout) const;
  // Ends the program if it still runs and waits until it has gone.
  void stop();

 private:
  std::string exe_;
  UniqueHandle handle_;
  DWORD id_ = 0;
  double startedAt_ = 0;
};

// Whether this process started the program with this id (through a Process that has not gone
// away yet): the rig presses keys only into windows of these.
bool startedHere(DWORD processId);

// The visible top-level windows of a process, from the front to the back.
std::vector<HWND> visibleWindowsOf(DWORD processId);

// Polls every `poll` until `ready` holds for a visible top-level window of the process (the
// first one, without `ready`) and returns that window and when it was seen (nowMs). Throws
// DriverError when the program ends first or `timeout` has passed since its start.
struct Shown {
  HWND window = nullptr;
  double at = 0;
};
Shown waitUntilShown(const Process& process, const std::function<bool(HWND)>& ready = {},
                     Millis timeout = Millis{30000}, Millis poll = Millis{20});

}  // namespace vorelo::e2e
