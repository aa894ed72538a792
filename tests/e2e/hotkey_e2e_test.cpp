// F12 end to end: the key is pressed on the X server while a receiver window (the chat) has
// the focus, as a person presses it while chatting; Vorelo only observes it (raw input, or the
// key state where that is missing) and toggles a run once per press.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/driver.h"
#include "e2e/receiver_client.h"
#include "e2e/rig.h"

namespace vorelo::e2e {
namespace {

using app::Control;

constexpr std::string_view kEmptyListMessage = "对话列表中没有内容！";
// Long enough for Vorelo to have handled a press, even on a busy machine, so a toggle would
// have shown by then.
constexpr Millis kQuietTime{1000};

// Presses and holds F12 as the keyboard does; lets it go when it goes out of scope, so a failed
// check cannot leave the key down for the tests that follow.
class HeldF12 {
 public:
  HeldF12() { down_ = rig().keyDown(VK_F12); }
  ~HeldF12() { release(); }
  HeldF12(const HeldF12&) = delete;
  HeldF12& operator=(const HeldF12&) = delete;

  bool down() const { return down_; }
  void release() {
    if (down_) rig().keyUp(VK_F12);
    down_ = false;
  }

 private:
  bool down_ = false;
};

class HotkeyE2E : public ::testing::Test {
 protected:
  // The receiver comes first and Vorelo second, as a chat is open before the tool is started.
  void launch(const App::MessageFile& msg) {
    // A press nobody read is remembered for the whole desktop; read it away so that it cannot
    // toggle the new copy.
    GetAsyncKeyState(VK_F12);
    receiver = std::make_unique<Receiver>(siblingProgram("receiver.exe"));
    app = std::make_unique<App>(programUnderTest(), msg);
    // Short runs: one message a second.
    app->retypeCombo(Control::comInterval, "1");
    focusReceiver();
  }

  // Gives the receiver the focus as the person at the keyboard sees it (under Wine, both in
  // Wine's eyes and the X server's: keys pressed there go to the window with the X focus).
  void focusReceiver() {
    rig().activate(receiver->window());
    ASSERT_TRUE(receiver->activate()) << "the receiver does not take the focus";
  }

  std::size_t f12Presses() const {
    const auto messages = receiver->messages();
    return static_cast<std::size_t>(std::count_if(messages.begin(), messages.end(), [](auto& m) {
      return m.kind == "KD" && m.code == VK_F12;
    }));
  }

  // A quick tap on F12; returns once the receiver has the key, which is also when the
  // system has told every program watching the keyboard of it.
  void tapF12() {
    const std::size_t before = f12Presses();
    ASSERT_TRUE(rig().tap(VK_F12));
    ASSERT_TRUE(waitFor([&] { return f12Presses() > before; }))
        << "the focused receiver did not get F12: swallowed, or the focus moved";
  }

  bool sending() const { return app->iconic() && !app->enabled(Control::cmdBegin); }
  bool idle() const { return !app->iconic() && app->enabled(Control::cmdBegin); }

  // Submits that went down after the given moment.
  std::size_t submitsSince(double ms) const {
    const auto times = receiver->submitTimes();
    return static_cast<std::size_t>(
        std::count_if(times.begin(), times.end(), [&](double t) { return t > ms; }));
  }

  // The message boxes the program has open, with their texts.
  std::vector<std::string> boxTexts() const {
    std::vector<std::string> texts;
    for (HWND window : app->otherWindows()) {
      if (auto text = messageBoxText(window)) texts.push_back(*text);
    }
    return texts;
  }
  bool oneEmptyListBox() const {
    return boxTexts() == std::vector<std::string>{std::string(kEmptyListMessage)};
  }
  void closeBoxes() {
    for (HWND window : app->otherWindows()) {
      if (messageBoxText(window)) clickDialogButton(window, IDOK);
    }
    ASSERT_TRUE(waitFor([&] { return boxTexts().empty(); })) << "the message box stays open";
  }

  std::unique_ptr<Receiver> receiver;
  std::unique_ptr<App> app;
};

TEST_F(HotkeyE2E, TapStartsARunAndTheNextTapStopsIt) {
  launch(std::string("a"));

  tapF12();
  ASSERT_TRUE(waitFor([&] { return sending(); })) << "F12 starts a run like 开始";
  ASSERT_TRUE(waitFor([&] { return submitsSince(0) >= 2; }, Millis{5000}))
      << "received: " << receiver->typed();
  EXPECT_EQ(receiver->typed().substr(0, 16), "a[Enter]a[Enter]");

  tapF12();
  EXPECT_TRUE(waitFor([&] { return idle(); })) << "the second F12 stops the run like 停止";
  // The chat keeps its F12: the watcher only observes the key.
  EXPECT_EQ(f12Presses(), 2u);

  // The window is back, but the keyboard stays with the chat: what the user types next goes
  // there, not into Vorelo.
  Sleep(500);
  EXPECT_EQ(GetForegroundWindow(), receiver->window());
  const auto active = rig().activeWindow();
  EXPECT_EQ(active ? active->title : "", receiver->caption());
  ASSERT_TRUE(rig().type("z"));
  EXPECT_TRUE(waitFor([&] { return receiver->typed().ends_with("z"); }));
  EXPECT_EQ(app->comboEditText(Control::comContent), "a");
}

// An F12 press made in another program before Vorelo started is not taken for a press.
TEST_F(HotkeyE2E, APressBeforeStartUpDoesNotCount) {
  receiver = std::make_unique<Receiver>(siblingProgram("receiver.exe"));
  focusReceiver();
  tapF12();  // nobody reads it away before Vorelo starts
  app = std::make_unique<App>(programUnderTest(), std::string(""));
  EXPECT_FALSE(waitFor([&] { return !boxTexts().empty(); }, kQuietTime))
      << "boxes: " << testing::PrintToString(boxTexts());
}

TEST_F(HotkeyE2E, HeldKeyTogglesOnlyOnce) {
  launch(std::string("a"));

  {
    const double pressed = nowMs();
    HeldF12 key;
    ASSERT_TRUE(key.down());
    ASSERT_TRUE(waitFor([&] { return sending(); })) << "holding F12 starts a run at once";
    // The hold itself is what is tested here: a second must not toggle again.
    const double held = nowMs() - pressed;
    if (held < 1000) Sleep(static_cast<DWORD>(1000 - held));
    EXPECT_TRUE(sending()) << "still running while F12 is held";
    // Where a check of the test kit stops a test for good, F12 held and Vorelo sending.
    hangHereWhenAsked("held-F12");
    key.release();
  }
  const double released = nowMs();
  // Two messages after the release: a second has passed, and the run goes on.
  ASSERT_TRUE(waitFor([&] { return submitsSince(released) >= 2; }, Millis{5000}));
  EXPECT_TRUE(sending()) << "letting go of F12 does not stop the run";

  tapF12();
  EXPECT_TRUE(waitFor([&] { return idle(); })) << "the next tap stops the run";
}

// A run started by F12 and stopped by Vorelo itself (here the chat's prompt came in front): its
// box says to start again, and the first F12 in the chat does.
TEST_F(HotkeyE2E, AfterAStopForAPromptTheFirstF12Starts) {
  launch(std::string("a"));
  // A tick every 4 s leaves time to open the prompt between two messages.
  app->retypeCombo(Control::comInterval, "4");
  focusReceiver();
  tapF12();
  ASSERT_TRUE(waitFor([&] { return sending(); }));
  ASSERT_TRUE(waitFor([&] { return submitsSince(0) >= 1; }, Millis{8000}));
  HWND prompt = receiver->openPrompt();
  ASSERT_NE(prompt, nullptr) << "the receiver's prompt is not in front";
  ASSERT_TRUE(waitFor([&] { return boxTexts().size() == 1; }, Millis{8000}));
  EXPECT_NE(boxTexts()[0].find("提示框"), std::string::npos) << boxTexts()[0];
  closeBoxes();
  clickDialogButton(prompt, IDCANCEL);
  ASSERT_TRUE(waitFor([&] { return receiver->logged("ANSWER") == 1; }));
  ASSERT_TRUE(idle());

  focusReceiver();
  const double pressed = nowMs();
  tapF12();
  EXPECT_TRUE(waitFor([&] { return sending(); })) << "the first F12 does not start";
  EXPECT_TRUE(waitFor([&] { return submitsSince(pressed) >= 1; }, Millis{8000}));
  tapF12();
  EXPECT_TRUE(waitFor([&] { return idle(); }));
}

TEST_F(HotkeyE2E, EmptyListShowsTheMessageOnceThenStopsThenShowsItAgain) {
  launch(std::string(""));

  tapF12();
  ASSERT_TRUE(waitFor([&] { return oneEmptyListBox(); }))
      << "boxes: " << testing::PrintToString(boxTexts());
  // The box comes up in front of the chat, where the user sees it.
  std::optional<ManagedWindow> top;
  EXPECT_TRUE(waitFor([&] {
    top = rig().topWindow();
    return top && top->dialog && top->title == "Vorelo";
  })) << "on top: "
      << (top ? top->title : "nothing");

  // Another press while the box is open adds no second box.
  focusReceiver();
  tapF12();
  EXPECT_FALSE(waitFor([&] { return boxTexts().size() > 1; }, kQuietTime));
  EXPECT_TRUE(oneEmptyListBox()) << "boxes: " << testing::PrintToString(boxTexts());
  closeBoxes();
  EXPECT_TRUE(idle());

  // The first press had asked for a start, so the next one stops: nothing to see.
  focusReceiver();
  tapF12();
  EXPECT_FALSE(waitFor([&] { return !boxTexts().empty() || !idle(); }, kQuietTime))
      << "boxes: " << testing::PrintToString(boxTexts());

  // And the one after that starts again, which shows the box again.
  tapF12();
  EXPECT_TRUE(waitFor([&] { return oneEmptyListBox(); }))
      << "boxes: " << testing::PrintToString(boxTexts());
  closeBoxes();
  EXPECT_TRUE(app->running());
}

}  // namespace
}  // namespace vorelo::e2e
