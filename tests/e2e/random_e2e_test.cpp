// Random use of the real window: a few hundred actions a person could take, with the window's
// promises checked after each one.
#include <gtest/gtest.h>

#include <windows.h>

#include <random>
#include <string>

#include "e2e/driver.h"
#include "e2e/receiver_client.h"
#include "e2e/rig.h"

namespace vorelo::e2e {
namespace {

using app::Control;

constexpr Control kLocked[] = {Control::comContent, Control::comInterval, Control::comTotalTime,
                               Control::chkCycle,   Control::cmdAdd,      Control::cmdDel,
                               Control::optSend0,   Control::optSend1,    Control::cmdBegin};

bool isNumber(const std::string& text, double low, double high) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  while (end != nullptr && (*end == ' ' || *end == '\t')) ++end;
  return !text.empty() && end != nullptr && *end == '\0' && v >= low && v <= high;
}

// Answers whatever box the program has open: OK for a message, OK or cancel for the input box.
bool closeBoxes(App& app, std::mt19937& rng) {
  bool any = false;
  for (HWND box : app.otherWindows()) {
    any = true;
    HWND ok = GetDlgItem(box, IDOK);
    HWND cancel = GetDlgItem(box, IDCANCEL);
    HWND target = (rng() % 2 != 0 && cancel != nullptr) ? cancel : ok;
    if (target == nullptr) target = cancel;
    if (target != nullptr) PostMessageW(target, BM_CLICK, 0, 0);
  }
  if (any) waitFor([&] { return app.otherWindows().empty(); });
  return any;
}

TEST(RandomUseE2E, ThreeHundredActionsOnTheRealWindow) {
  std::mt19937 rng(7);
  Receiver receiver(siblingProgram("receiver.exe"));
  App app(programUnderTest(), std::string("one,two,{bad,\"x,y\""));
  const char* const texts[] = {"1", "5", "0", "45", "x", "2.5", ".", "9", "7"};
  int actions = 0;
  for (int step = 0; step < 300; ++step) {
    SCOPED_TRACE(step);
    // A box the program opened by itself (a message it could not send) is answered first, as
    // a person must before touching the window again.
    closeBoxes(app, rng);
    const bool locked = !app.enabled(Control::cmdBegin);
    const unsigned what = rng() % 10;
    if (what == 0) {
      app.clickButton(locked ? Control::cmdStop : Control::cmdBegin);
    } else if (what == 1 && !locked) {
      app.clickButton(Control::cmdAdd);
    } else if (what == 2 && !locked) {
      app.clickButton(Control::cmdDel);
    } else if (what == 3 && !locked) {
      const Control c = rng() % 2 ? Control::comInterval : Control::comTotalTime;
      app.retypeCombo(c, texts[rng() % std::size(texts)]);
    } else if (what == 4 && !locked) {
      const Control c = rng() % 2 ? Control::comInterval : Control::comTotalTime;
      app.pickComboItem(c, static_cast<int>(rng() % app.comboItems(c).size()));
    } else if (what == 5 && !locked) {
      app.clickButton(rng() % 2 ? Control::chkCycle : Control::optSend1);
    } else if (what == 6 && !powerOffCannotBeFaked()) {
      // Under Wine only: a run may use its time up, and the power-off it starts is Wine's stub.
      app.clickButton(Control::chkCut);
    } else if (what == 7 && !locked) {
      const auto count = app.comboItems(Control::comContent).size();
      if (count > 0) app.pickComboItem(Control::comContent, static_cast<int>(rng() % count));
    } else if (what == 8) {
      // F12 as the keyboard presses it, with the receiver holding the focus.
      receiver.activate();
      rig().tap(VK_F12);
      // The watcher sees the press at its next look; it may start, stop or show a box, or
      // (calling stop while idle) change nothing at all.
      waitFor(
          [&] { return !app.enabled(Control::cmdBegin) != locked || !app.otherWindows().empty(); },
          Millis{400});
    } else {
      SendMessageW(app.comboEdit(Control::comInterval), EM_SETSEL, 0, -1);
      if (!locked) app.typeIntoCombo(Control::comInterval, "1");
    }
    ++actions;
    // Once the program got through the action, answer any box it opened.
    app.sync();
    closeBoxes(app, rng);
    app.sync();

    ASSERT_TRUE(app.running()) << "the program is still there";
    const bool nowLocked = !app.enabled(Control::cmdBegin);
    for (Control c : kLocked) ASSERT_EQ(app.enabled(c), !nowLocked) << app::entry(c).name;
    ASSERT_TRUE(app.enabled(Control::cmdStop));
    ASSERT_TRUE(app.enabled(Control::chkCut));
    ASSERT_TRUE(isNumber(app.comboEditText(Control::comInterval), 1, 30))
        << app.comboEditText(Control::comInterval);
    ASSERT_TRUE(isNumber(app.comboEditText(Control::comTotalTime), 1, 60))
        << app.comboEditText(Control::comTotalTime);
    const int selected = app.comboSelection(Control::comContent);
    ASSERT_LT(selected, static_cast<int>(app.comboItems(Control::comContent).size()));
  }
  EXPECT_EQ(actions, 300);
  app.clickButton(Control::cmdExit);
  EXPECT_TRUE(app.waitForExit());
}

}  // namespace
}  // namespace vorelo::e2e
