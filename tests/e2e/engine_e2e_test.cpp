// The sending engine end to end: the real vorelo.exe types into a receiver window that
// records every key message it gets.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

#include "e2e/driver.h"
#include "e2e/receiver_client.h"
#include "e2e/unix_tools.h"

namespace vorelo::e2e {
namespace {

using app::Control;

class EngineE2E : public ::testing::Test {
 protected:
  // The receiver comes first and Vorelo second, so minimising Vorelo hands the focus back to it.
  void launch(const App::MessageFile& msg, std::string_view interval = "1") {
    receiver = std::make_unique<Receiver>(siblingProgram("receiver.exe"));
    app = std::make_unique<App>(programUnderTest(), msg);
    app->retypeCombo(Control::comInterval, interval);
  }
  double begin() { return beginSending(*app, *receiver); }
  bool waitForSubmits(std::size_t n, Millis timeout = Millis{15000}) {
    return waitFor([&] { return receiver->submitTimes().size() >= n; }, timeout);
  }
  void stop() { app->clickButton(Control::cmdStop); }

  std::unique_ptr<Receiver> receiver;
  std::unique_ptr<App> app;
};

TEST_F(EngineE2E, CycleModeTypesTheListInOrderWithEnter) {
  launch(std::string("a,b,c"));
  begin();
  ASSERT_TRUE(waitForSubmits(5));
  stop();
  EXPECT_EQ(receiver->typed().substr(0, 25), "a[Enter]b[Enter]c[Enter]a");
  EXPECT_TRUE(waitFor([&] { return !app->iconic() && app->enabled(Control::cmdBegin); }))
      << "停止 shows the window again, unlocked";
}

TEST_F(EngineE2E, FieldTextWithCtrlEnterChineseAndEmojiArriveIntact) {
  launch(std::string("x"));
  app->clickButton(Control::chkCycle);
  app->clickButton(Control::optSend1);
  app->retypeCombo(Control::comContent, "你好，世界😀");
  begin();
  ASSERT_TRUE(waitForSubmits(2));
  stop();
  const std::string typed = receiver->typed();
  EXPECT_EQ(typed.substr(0, 2 * std::string("你好，世界😀[^Enter]").size()),
            "你好，世界😀[^Enter]你好，世界😀[^Enter]");
  // Ctrl+Enter arrives as the Enter key with Ctrl down and a line feed character.
  const auto messages = receiver->messages();
  EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const KeyMessage& m) {
    return m.kind == "CH" && m.code == 0x0A && m.ctrl;
  }));
}

TEST_F(EngineE2E, KeyStringsArriveAsKeys) {
  launch(std::string("+(ab){+}{TAB}^a"));
  begin();
  ASSERT_TRUE(waitForSubmits(1));
  stop();
  const auto messages = receiver->messages();
  std::string chars;
  bool ctrlA = false;
  bool tab = false;
  for (const KeyMessage& m : messages) {
    if (m.kind == "CH" && m.code >= 0x20) chars += static_cast<char>(m.code);
    if (m.kind == "KD" && m.code == 'A' && m.ctrl && !m.shift) ctrlA = true;
    if (m.kind == "KD" && m.code == VK_TAB) tab = true;
  }
  EXPECT_EQ(chars.substr(0, 3), "AB+");
  EXPECT_TRUE(tab);
  EXPECT_TRUE(ctrlA) << "^a is the A key with Ctrl held";
}

TEST_F(EngineE2E, MessagesComeOnePeriodApartStartingOnePeriodAfterBegin) {
  launch(std::string("t"));
  const double started = begin();
  ASSERT_TRUE(waitForSubmits(4));
  stop();
  const auto times = receiver->submitTimes();
  // A message arrives within a few tens of milliseconds of its tick on an idle machine. Nothing
  // may come early or twice; a busy machine may hold one back, so the period is judged over the
  // whole run, where such a delay is shared by four periods.
  EXPECT_GT(times[0] - started, 900.0) << "the first message waits one period";
  for (std::size_t i = 1; i < 4; ++i) EXPECT_GT(times[i] - times[i - 1], 500.0) << i;
  const double period = (times[3] - started) / 4;
  EXPECT_GT(period, 950.0);
  EXPECT_LT(period, 1300.0);
}

TEST_F(EngineE2E, WhileSendingTheWindowIsMinimisedGreenAndLocked) {
  launch(std::string("a"));
  const Icon idle = windowManagerIcon("Vorelo");
  begin();
  EXPECT_TRUE(app->iconic());
  for (Control c : {Control::comContent, Control::comInterval, Control::comTotalTime,
                    Control::chkCycle, Control::cmdAdd, Control::cmdDel, Control::optSend0,
                    Control::optSend1, Control::cmdBegin}) {
    EXPECT_FALSE(app->enabled(c)) << app::entry(c).name;
  }
  EXPECT_TRUE(app->enabled(Control::cmdStop));
  EXPECT_TRUE(app->enabled(Control::chkCut));
  EXPECT_TRUE(app->enabled(Control::cmdExit));
  Icon sending;
  ASSERT_TRUE(waitFor([&] {
    sending = windowManagerIcon("Vorelo");
    return sending.width > 0 && sending.argb != idle.argb;
  })) << "the window manager shows the sending icon";
  // The middle of the triangle is green, the middle of the square red-orange.
  EXPECT_EQ(sending.at(sending.width / 2 - 2, sending.height / 2) & 0xFFFFFF, 0x339933u);
  ASSERT_GT(idle.width, 0);
  EXPECT_EQ(idle.at(idle.width / 2, idle.height / 2) & 0xFFFFFF, 0xCC3300u);
  stop();
}

}  // namespace
}  // namespace vorelo::e2e
