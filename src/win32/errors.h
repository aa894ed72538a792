// What the program says when it cannot go on.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace vorelo::win32 {

// Start-up could not create what the window needs. `what` says which step failed (in
// Chinese, for the user); `error` is GetLastError() right after it.
class StartupError : public std::runtime_error {
 public:
  StartupError(const std::wstring& what, DWORD error)
      : std::runtime_error("start-up failed"), what_(what), error_(error) {}
  const std::wstring& step() const { return what_; }
  DWORD error() const { return error_; }

 private:
  std::wstring what_;
  DWORD error_;
};

// The system's own text for an error code (FormatMessageW), without the line end.
std::wstring systemErrorText(DWORD error);

// Says which start-up step failed and why, in a box the user can read.
void reportStartupFailure(const StartupError& failure) noexcept;

// Reports an error that nothing caught and ends the program with exit code 1.
[[noreturn]] void fatal(const char* what) noexcept;

}  // namespace vorelo::win32
