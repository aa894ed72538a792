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

  const ProgramResult failed{"e2e_desktop", 1, false, 7.4, output};
  const ProgramResult passed{"unit_tests", 0, false, 0.6, "[       OK ] A.B (1 ms)\n"};
  const ProgramResult hung{"e2e_hotkey", 1, true, 1200, ""};
  EXPECT_EQ(resultLine(failed), "FAIL  e2e_desktop  2 passed, 1 failed, 1 skipped  (7 s)");
  EXPECT_EQ(resultLine(hung), "FAIL  e2e_hotkey  0 passed, timed out  (1200 s)");
  EXPECT_EQ(closingLine({passed, failed, hung}), "1 passed, 2 failed");

  const Machine machine{"10.0.22631", "", 144, "00000804", 936, 936, "zh-CN"};
  const std::string text = report(machine, {passed, failed});
  for (const char* part :
       {"Windows version: 10.0.22631\n", "DPI: 144\n", "Keyboard layout: 00000804\n",
        "Code page: ANSI 936, OEM 936\n", "e2e_desktop: Desk.HeldKey: Windows keeps a key",
        "Output of e2e_desktop\n", "1 passed, 1 failed\n"}) {
    EXPECT_NE(text.find(part), std::string::npos) << part << "\n" << text;
  }
  EXPECT_EQ(text.find("Output of unit_tests"), std::string::npos) << "only failures' output";
  EXPECT_EQ(text.find("Wine version"), std::string::npos);
}

}  // namespace
}  // namespace vorelo::kit
