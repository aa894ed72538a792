// A whole run that ends by its budget, with the power-off box ticked: the power-off programs
// are started from the system's folders only, never from the working folder or the program's.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/receiver_client.h"
#include "e2e/rig.h"

namespace vorelo::e2e {
namespace {

using app::Control;

void copy(const std::string& from, const std::string& to) {
  ASSERT_TRUE(CopyFileW(widen(from).c_str(), widen(to).c_str(), FALSE)) << from << " -> " << to;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

TEST(BudgetE2E, OneMinuteAtOneSecondTypes61MessagesThenPowersOffFromSystemFolders) {
  if (const auto why = powerOffCannotBeFaked()) GTEST_SKIP() << *why;
  const std::string fake = siblingProgram("fake_poweroff.exe");
  const TempFolder base;
  const std::string log = base.path() + "\\poweroff.log";
  SetEnvironmentVariableW(L"VORELO_POWEROFF_LOG", widen(log).c_str());

  // The real places, and two planted copies that must never run.
  copy(fake, systemFolder(false) + "\\shutdown.exe");
  copy(fake, systemFolder(true) + "\\rundll.exe");
  const std::string exe = base.path() + "\\vorelo.exe";
  copy(siblingProgram("vorelo.exe"), exe);
  copy(fake, base.path() + "\\shutdown.exe");
  copy(fake, base.path() + "\\rundll.exe");

  Receiver receiver(siblingProgram("receiver.exe"));
  App app(exe, std::string("m"));
  copy(fake, app.workingFolder() + "\\shutdown.exe");
  copy(fake, app.workingFolder() + "\\rundll.exe");
  app.retypeCombo(Control::comInterval, "1");
  app.retypeCombo(Control::comTotalTime, "1");
  app.clickButton(Control::chkCut);
  beginSending(app, receiver);

  // The run ends by itself: the window comes back, idle, with every control usable.
  ASSERT_TRUE(
      waitFor([&] { return !app.iconic() && app.enabled(Control::cmdBegin); }, Millis{90000}));
  ASSERT_TRUE(waitFor([&] { return receiver.submitTimes().size() >= 61; }, Millis{5000}));
  // Nothing more arrives after the end.
  Sleep(1500);
  EXPECT_EQ(receiver.submitTimes().size(), 61u);
  std::string expected;
  for (int i = 0; i < 61; ++i) expected += "m[Enter]";
  EXPECT_EQ(receiver.typed(), expected);
  // The window is back, but the keyboard stays with the chat: what the user types next goes
  // there, not into Vorelo.
  EXPECT_EQ(GetForegroundWindow(), receiver.window());
  const auto active = rig().activeWindow();
  EXPECT_EQ(active ? active->title : "", receiver.caption());
  ASSERT_TRUE(rig().type("z"));
  EXPECT_TRUE(waitFor([&] { return receiver.typed() == expected + "z"; }));
  EXPECT_EQ(app.comboEditText(Control::comContent), "m");
  for (Control c : {Control::comContent, Control::comInterval, Control::comTotalTime,
                    Control::chkCycle, Control::cmdAdd, Control::cmdDel, Control::optSend0,
                    Control::optSend1, Control::cmdBegin, Control::cmdStop}) {
    EXPECT_TRUE(app.enabled(c)) << app::entry(c).name;
  }

  ASSERT_TRUE(waitFor([&] {
    const std::string text = readFile(log);
    return std::count(text.begin(), text.end(), '\n') >= 2;
  }));
  // Both programs are started back to back and run side by side, so the order of their log
  // lines is the scheduler's; the order of the launches themselves is checked without Wine.
  std::vector<std::string> ran;
  std::istringstream lines(readFile(log));
  for (std::string line; std::getline(lines, line);) ran.push_back(line);
  ASSERT_EQ(ran.size(), 2u) << "nothing else ran";
  // Lower-cased, the Windows folder's rundll.exe sorts before the system folder's shutdown.exe.
  std::sort(ran.begin(), ran.end(),
            [](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
  const auto path = [](const std::string& line) { return lower(line.substr(0, line.find('|'))); };
  const auto commandLine = [](const std::string& line) { return line.substr(line.find('|') + 1); };
  EXPECT_EQ(path(ran[0]), lower(systemFolder(true) + "\\rundll.exe"));
  EXPECT_EQ(commandLine(ran[0]), "rundll.exe user.exe,exitwindows");
  EXPECT_EQ(path(ran[1]), lower(systemFolder(false) + "\\shutdown.exe"));
  EXPECT_EQ(commandLine(ran[1]), "shutdown -s -t 30 -c \"设定时间到，Vorelo为你关机了！\"");
}

}  // namespace
}  // namespace vorelo::e2e
