// The test kit's report: what each test program's Google Test output says, one line per program
// for the console, and the report file with the machine it ran on. Portable, so the unit tests
// read it on every side; kit_runner.cpp supplies the facts from Windows.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorelo::kit {

// A test program the kit is built with, and about how many seconds it takes.
struct Planned {
  const char* name;
  int seconds;
};

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
  // Not in the kit's folder (deleted, or held back by an antivirus program).
  bool missing = false;
  // Why the kit stopped it, if it did for another reason than the time-out: "foreground taken
  // by Chrome_WidgetWin_1", "interrupted".
  std::string stoppedBecause;
  double seconds = 0;
  std::string output;
  bool passed() const { return exitCode == 0 && !timedOut && !missing && stoppedBecause.empty(); }
};

// The kit and the machine it ran on. Nothing in it names the person: no user or computer name,
// no folder, no window caption (the report is posted publicly).
struct Machine {
  std::string kitVersion;  // "1.0.0"
  std::string kitCommit;   // the commit the kit was built from
  std::string windows;     // "10.0.22631.3880": RtlGetVersion and the update revision (UBR)
  std::string edition;     // "Windows 10 Pro, 23H2"
  std::string wine;        // Wine's version, empty on Windows
  std::string elevated;    // "no", "yes"
  std::vector<std::string> monitors;         // "1920x1080 at (0, 0), 144 DPI, primary"
  std::vector<std::string> keyboardLayouts;  // "08040804 (zh-CN)"
  std::vector<std::string> inputMethods;     // "Microsoft Pinyin (zh-CN)"
  unsigned ansiCodePage = 0;
  unsigned oemCodePage = 0;
  std::string locale;    // "zh-CN"
  std::string timeZone;  // "China Standard Time, UTC+08:00"
};

// "PASS  e2e_engine  14 passed, 1 skipped  (70 s)"
std::string resultLine(const ProgramResult& result);
// "12 passed, 0 failed": test programs.
std::string closingLine(const std::vector<ProgramResult>& results);
// The console's last line, which says what the exit code says: "通过 PASSED: 12 passed, 0 failed",
// else "未通过 FAILED: ..." with what else went wrong (`problem`, empty when nothing did).
std::string verdictLine(const std::vector<ProgramResult>& results, const std::string& problem);
bool allPassed(const std::vector<ProgramResult>& results);
// The whole report: the kit and the machine, a line per program, every skip with its reason, the
// output of every program that failed, and the closing line.
std::string report(const Machine& machine, const std::vector<ProgramResult>& results);

// While a test program runs, whether the window in front is still the kit's. Fed every moment
// with what is on the screen; says when another program's window has stayed in front for longer
// than a moment while the kit's windows are up. Before a kit window has had the front, the window
// the kit was started from (its console) may keep it, unless Vorelo under test is sending.
class ForegroundWatch {
 public:
  static constexpr double kMomentMs = 1500;

  struct Screen {
    bool kitWindowShown = false;  // a window of the program or of what it started is up
    bool voreloSending = false;   // a Vorelo under test is minimised: it is sending
    bool frontIsKit = false;
    bool frontIsNone = false;
    bool frontIsStartWindow = false;
  };
  // True once the front has been taken.
  bool taken(const Screen& screen, double nowMs);

 private:
  bool kitHadFront_ = false;
  bool away_ = false;
  double awaySince_ = 0;
};

}  // namespace vorelo::kit
