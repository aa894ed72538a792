// The test kit's report: what each test program's Google Test output says, one line per program
// for the console, and the report file with the machine it ran on. Portable, so the unit tests
// read it on every side; kit_runner.cpp supplies the facts from Windows.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorelo::kit {

// What a Google Test program printed: its cases, and why each skipped one was skipped.
struct Cases {
  int passed = 0;
  int failed = 0;
  int skipped = 0;
  std::vector<std::string> failures;
  std::vector<std::pair<std::string, std::string>> skips;  // case, reason
};
Cases readGoogleTestOutput(std::string_view output);

struct ProgramResult {
  std::string name;
  int exitCode = 0;
  bool timedOut = false;
  double seconds = 0;
  std::string output;
  bool passed() const { return exitCode == 0 && !timedOut; }
};

// The machine the kit ran on.
struct Machine {
  std::string windows;  // "10.0.22631" (RtlGetVersion)
  std::string wine;     // Wine's version, empty on Windows
  unsigned dpi = 96;
  std::string keyboardLayout;  // "00000804"
  unsigned ansiCodePage = 0;
  unsigned oemCodePage = 0;
  std::string locale;  // "zh-CN"
};

// "PASS  e2e_engine  14 passed, 1 skipped  (70 s)"
std::string resultLine(const ProgramResult& result);
// "12 passed, 0 failed": test programs.
std::string closingLine(const std::vector<ProgramResult>& results);
// The whole report: the machine, a line per program, every skip with its reason, the output of
// every program that failed, and the closing line.
std::string report(const Machine& machine, const std::vector<ProgramResult>& results);

}  // namespace vorelo::kit
