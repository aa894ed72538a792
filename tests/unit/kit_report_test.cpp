// The test kit's report: what it reads of a test program's output, and the lines it prints.
#include <gtest/gtest.h>

#include "kit/report.h"

namespace vorelo::kit {
namespace {

TEST(KitReport, CountsCasesKeepsSkipReasonsAndShowsFailures) {
  const std::string output =
      "[==========] Running 4 tests from 1 test suite.\r\n"
      "[ RUN      ] Desk.Types\r\n"
      "[       OK ] Desk.Types (812 ms)\r\n"
      "[ RUN      ] Desk.HeldKey\r\n"
      ".\\tests\\e2e\\desktop_e2e_test.cpp(61): Skipped\r\n"
      "Windows keeps a key another program holds down;\r\n"
      "see step 2\r\n"
      "[  SKIPPED ] Desk.HeldKey (0 ms)\r\n"
      "[ RUN      ] Desk.Stops\r\n"
      "desktop_e2e_test.cpp(91): error: Value of: idle()\r\n"
      "[  FAILED  ] Desk.Stops (2004 ms)\r\n"
      "[ RUN      ] Desk.Shell\r\n"
      "[       OK ] Desk.Shell (2500 ms)\r\n"
      "[  SKIPPED ] 1 test, listed below:\r\n"
      "[  SKIPPED ] Desk.HeldKey\r\n"
      "[  FAILED  ] 1 test, listed below:\r\n"
      "[  FAILED  ] Desk.Stops\r\n";
  const Cases cases = readGoogleTestOutput(output);
  EXPECT_EQ(cases.passed, 2);
  EXPECT_EQ(cases.failed, 1);
  EXPECT_EQ(cases.failures, std::vector<std::string>{"Desk.Stops"});
  ASSERT_EQ(cases.skips.size(), 1u);
  EXPECT_EQ(cases.skips[0].first, "Desk.HeldKey");
  EXPECT_EQ(cases.skips[0].second, "Windows keeps a key another program holds down; see step 2");

  ProgramResult failed{"e2e_desktop", 1, false, false, "", 7.4, output};
  const ProgramResult passed{"unit_tests", 0, false, false, "", 0.6, "[       OK ] A.B (1 ms)\n"};
  const ProgramResult hung{"e2e_hotkey", 1, true, false, "", 1200, ""};
  ProgramResult missing{"e2e_budget", 0, false, true, "", 0, ""};
  ProgramResult pushedAside{"e2e_engine", 0, false, false, "foreground taken by Chrome", 9, ""};
  EXPECT_EQ(resultLine(failed), "FAIL  e2e_desktop  2 passed, 1 failed, 1 skipped  (7 s)");
  EXPECT_EQ(resultLine(hung), "FAIL  e2e_hotkey  0 passed, timed out  (1200 s)");
  EXPECT_EQ(resultLine(pushedAside),
            "FAIL  e2e_engine  0 passed, stopped: foreground taken by Chrome  (9 s)");
  EXPECT_NE(resultLine(missing).find("FAIL  e2e_budget  missing"), std::string::npos);
  EXPECT_EQ(closingLine({passed, failed, hung, missing}), "1 passed, 3 failed");
  // The last line and the exit code agree: a missing program, or a report that could not be
  // written, is a failure however the programs went.
  EXPECT_EQ(verdictLine({passed}, ""), "通过 PASSED: 1 passed, 0 failed");
  EXPECT_EQ(verdictLine({passed, missing}, ""), "未通过 FAILED: 1 passed, 1 failed");
  EXPECT_EQ(verdictLine({passed}, "no report"), "未通过 FAILED: 1 passed, 0 failed; no report");
  EXPECT_EQ(verdictLine({}, "nothing chosen"), "未通过 FAILED: nothing chosen");

  Machine machine;
  machine.kitVersion = "1.0.0";
  machine.kitCommit = "0123abc";
  machine.windows = "10.0.22631.3880";
  machine.monitors = {"1920x1080 at (0, 0), 144 DPI, primary", "1280x1024 at (1920, 0), 96 DPI"};
  machine.inputMethods = {"Microsoft Pinyin (zh-CN)"};
  machine.timeZone = "China Standard Time, UTC+08:00";
  const std::string text = report(machine, {passed, failed, missing});
  for (const char* part :
       {"Kit: 1.0.0, commit 0123abc\n", "Windows version: 10.0.22631.3880\n",
        "Monitor 2: 1280x1024 at (1920, 0), 96 DPI\n", "Keyboard layouts: none\n",
        "Input methods: Microsoft Pinyin (zh-CN)\n", "Time zone: China Standard Time",
        "e2e_desktop: Desk.HeldKey: Windows keeps a key", "Output of e2e_desktop\n",
        "1 passed, 2 failed\n"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  EXPECT_EQ(text.find("Output of unit_tests"), std::string::npos) << "only failures' output";
  EXPECT_EQ(text.find("Wine version"), std::string::npos);
}

// The watch of the window in front: another program's window in front for longer than a moment
// while the kit's windows are up ends the test; nothing of the kit up, or the console the kit
// runs in before a kit window had the front, does not.
TEST(KitForegroundWatch, EndsATestOnlyWhenAnotherWindowStaysInFrontOfTheKit) {
  using Screen = ForegroundWatch::Screen;
  const Screen kitInFront{true, false, true, false, false};
  const Screen chatInFront{true, false, false, false, false};
  const Screen consoleInFront{true, false, false, false, true};
  const Screen nothingUp{false, false, false, false, false};
  constexpr double moment = ForegroundWatch::kMomentMs;

  ForegroundWatch watch;
  EXPECT_FALSE(watch.taken(consoleInFront, 0)) << "the kit's window is still coming up";
  EXPECT_FALSE(watch.taken(consoleInFront, 10 * moment));
  EXPECT_FALSE(watch.taken(kitInFront, 10 * moment));
  EXPECT_FALSE(watch.taken(chatInFront, 11 * moment));
  EXPECT_FALSE(watch.taken(chatInFront, 11.9 * moment)) << "for a moment";
  EXPECT_TRUE(watch.taken(chatInFront, 12.1 * moment));

  ForegroundWatch between;
  EXPECT_FALSE(between.taken(kitInFront, 0));
  EXPECT_FALSE(between.taken(chatInFront, 0.5 * moment));
  EXPECT_FALSE(between.taken(kitInFront, 0.9 * moment)) << "back in front: the moment restarts";
  EXPECT_FALSE(between.taken(chatInFront, 1.2 * moment));
  EXPECT_FALSE(between.taken(nothingUp, 2 * moment)) << "between two tests";
  EXPECT_FALSE(between.taken(nothingUp, 9 * moment));
  EXPECT_FALSE(between.taken(consoleInFront, 10 * moment));
  EXPECT_FALSE(between.taken(consoleInFront, 20 * moment)) << "a new test's window coming up";
  EXPECT_FALSE(between.taken(kitInFront, 21 * moment));
  EXPECT_FALSE(between.taken(consoleInFront, 22 * moment));
  EXPECT_TRUE(between.taken(consoleInFront, 23.1 * moment)) << "the console, once the kit had it";

  ForegroundWatch sending;
  const Screen consoleWhileSending{true, true, false, false, true};
  EXPECT_FALSE(sending.taken(consoleWhileSending, 0));
  EXPECT_TRUE(sending.taken(consoleWhileSending, 1.1 * moment)) << "Vorelo would type there";
}
}  // namespace
}  // namespace vorelo::kit
