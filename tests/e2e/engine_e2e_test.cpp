// The sending engine end to end: the real vorelo.exe types into a receiver window that
// records every key message it gets.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/input_methods.h"
#include "e2e/receiver_client.h"
#include "e2e/rig.h"

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
  // Brought to the front, the window has the focus where it was before the run: on 开始, where
  // Enter or Space starts again and deletes nothing. (For a moment after a stop it cannot be
  // activated, so that the keyboard stays in the chat.)
  ASSERT_TRUE(waitFor([&] { return rig().activate(app->window()); }, Millis{15000}));
  EXPECT_TRUE(waitFor([&] { return app->focus() == Control::cmdBegin; }))
      << "focus on " << (app->focus() ? app::entry(*app->focus()).name : "nothing");
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
    // Keys carry their own scan codes, as the keyboard's would.
    if (m.kind == "KD" && m.code == VK_RETURN) {
      EXPECT_EQ(m.scan, 0x1Cu);
    }
  }
  EXPECT_EQ(chars.substr(0, 3), "AB+");
  EXPECT_TRUE(tab);
  EXPECT_TRUE(ctrlA) << "^a is the A key with Ctrl held";
}

// Nothing gives the receiver the focus after 开始: Vorelo minimising itself hands the keyboard
// back to the window the user was in.
TEST_F(EngineE2E, BeginHandsTheKeyboardBackToTheWindowTheUserWasIn) {
  launch(std::string("a"));
  app->clickButton(Control::cmdBegin);
  ASSERT_TRUE(waitForSubmits(1, Millis{5000})) << "received: " << receiver->typed();
  stop();
  EXPECT_EQ(receiver->typed().substr(0, 8), "a[Enter]");
}

// Modifiers held on the X server while a tick types: each is let go for the message and put
// back afterwards. A held Alt never becomes a lone Alt press, so no menu bar opens.
TEST_F(EngineE2E, HeldShiftCtrlAndAltAreLetGoForTheMessageAndPutBack) {
  launch(std::string("ab"));
  begin();
  ASSERT_TRUE(waitForSubmits(1));
  const std::pair<const char*, int> keys[] = {
      {"shift", VK_SHIFT}, {"ctrl", VK_CONTROL}, {"alt", VK_MENU}};
  std::size_t submits = 1;
  for (const auto& [name, vk] : keys) {
    ASSERT_TRUE(rig().keyDown(vk));
    // Shift stays held over two ticks: it must be seen held at the second one as well.
    submits += vk == VK_SHIFT ? 2 : 1;
    const bool typed = waitForSubmits(submits, Millis{5000});
    // Pressed again once the message has arrived (at once, not when the wait for a batch the
    // system does not report runs out): the chat sees the key go down after the Enter.
    const bool pressedBack = waitFor(
        [&, vk = vk] {
          const auto& got = receiver->messages();
          const auto enter = std::find_if(got.rbegin(), got.rend(), isEnterDown);
          return std::any_of(got.rbegin(), enter, [&](const KeyMessage& m) {
            return (m.kind == "KD" || m.kind == "SKD") && m.code == static_cast<unsigned>(vk);
          });
        },
        Millis{1000});
    rig().keyUp(vk);
    ASSERT_TRUE(typed) << name;
    EXPECT_TRUE(pressedBack) << name << " is pressed again after the message";
  }
  stop();
  EXPECT_EQ(receiver->typed().substr(0, 45), "ab[Enter]ab[Enter]ab[Enter]ab[Enter]ab[Enter]");
  for (const KeyMessage& m : receiver->messages()) EXPECT_NE(m.kind, "MENU");
}

// CapsLock on in the chat: the notation still writes capitals under Shift and small letters
// without it, a capital written as such stays one, and CapsLock stays as the user set it.
// Navigation keys arrive with their extended flag. CapsLock is read where the keys arrive (the
// receiver's key state, the X server's lock under Wine).
TEST_F(EngineE2E, CapsLockChangesNothingAndNavigationKeysAreExtended) {
  launch(std::string("+a+(ab)cAa{LEFT}{DEL}"));
  const std::optional<bool> capsAtFirst = receiver->capsLockOn();
  ASSERT_TRUE(capsAtFirst.has_value()) << "the receiver does not say whether CapsLock is on";
  begin();
  // Pressed in the chat, as a person would, before the first tick. The rig taps it back after
  // the test, also when a check below fails.
  if (!*capsAtFirst) {
    ASSERT_TRUE(rig().tap(VK_CAPITAL));
  }
  ASSERT_TRUE(waitFor([&] { return receiver->capsLockOn() == true; }));
  const bool typed = waitForSubmits(1);
  stop();
  EXPECT_EQ(receiver->capsLockOn(), true) << "CapsLock is left as the user set it";
  ASSERT_TRUE(typed);
  EXPECT_EQ(receiver->typed().substr(0, 13), "AABcAa[Enter]");
  int extended = 0;
  for (const KeyMessage& m : receiver->messages()) {
    if (m.kind == "KD" && (m.code == VK_LEFT || m.code == VK_DELETE)) extended += m.extended;
  }
  EXPECT_EQ(extended, 2);
}

// With the chat's input method on (a Chinese one switches letters into a composition), what
// Vorelo types arrives as it is written, as the guide promises.
TEST_F(EngineE2E, TheChatsInputMethodChangesNoLetter) {
  if (runningUnderWine()) {
    GTEST_SKIP() << "Wine offers no input method of its own (its XIM bridge has none behind it "
                    "here)";
  }
  const std::vector<InputMethod> methods = inputMethods();
  if (methods.empty()) GTEST_SKIP() << "no input method is installed on this Windows";
  launch(std::string("ab+cd中文，1~x"));
  if (!receiver->turnInputMethodOn(methods.front().layout)) {
    GTEST_SKIP() << "the input method " << methods.front().name
                 << " could not be turned on in the receiver";
  }
  begin();
  const bool typed = waitForSubmits(2);
  stop();
  ASSERT_TRUE(typed) << "received: " << receiver->typed();
  const std::string expected = "abCd中文，1[Enter]x[Enter]";
  EXPECT_EQ(receiver->typed().substr(0, expected.size()), expected)
      << "with " << methods.front().name;
}

// Brought back to the front during a run, Vorelo has its focus on 停止 and types nothing into
// itself: the run goes on, nothing arrives anywhere while it is in front.
TEST_F(EngineE2E, RestoredDuringARunVoreloTypesNothingIntoItself) {
  launch(std::string("x"));
  begin();
  ASSERT_TRUE(waitForSubmits(1));
  ASSERT_TRUE(rig().activate(app->window()));
  ASSERT_TRUE(waitFor([&] { return GetForegroundWindow() == app->window() && !app->iconic(); }));
  EXPECT_EQ(app->focus(), Control::cmdStop);
  const std::size_t before = receiver->submitTimes().size();
  Sleep(2500);  // two ticks
  EXPECT_TRUE(app->running());
  EXPECT_FALSE(app->enabled(Control::cmdBegin)) << "still sending";
  EXPECT_EQ(receiver->submitTimes().size(), before);
  EXPECT_EQ(app->comboEditText(Control::comContent), "x");
  stop();
}

// A message over the length limit is found by 开始, before anything is typed.
TEST_F(EngineE2E, BeginRefusesAMessageOverTheLengthLimit) {
  launch("ok," + std::string(10001, 'y'));
  app->clickButton(Control::cmdBegin);
  std::optional<std::string> box;
  ASSERT_TRUE(waitFor([&] {
    for (HWND w : app->otherWindows()) box = messageBoxText(w);
    return box.has_value();
  }));
  EXPECT_NE(box->find("第 2 条"), std::string::npos) << *box;
  EXPECT_NE(box->find("10001"), std::string::npos) << *box;
  EXPECT_NE(box->find("10000"), std::string::npos) << *box;
  EXPECT_FALSE(app->iconic());
  for (HWND w : app->otherWindows()) clickDialogButton(w, IDOK);
  ASSERT_TRUE(waitFor([&] { return app->otherWindows().empty(); }));
  EXPECT_TRUE(app->enabled(Control::cmdBegin)) << "the run did not start";
  EXPECT_TRUE(receiver->messages().empty());
}

// A message that presses F12 in the chat does not stop the run it belongs to.
TEST_F(EngineE2E, AMessageThatPressesF12KeepsTheRunGoing) {
  launch(std::string("{F12}x"));
  begin();
  ASSERT_TRUE(waitForSubmits(3)) << "received: " << receiver->typed();
  EXPECT_TRUE(app->iconic());
  EXPECT_FALSE(app->enabled(Control::cmdBegin)) << "still sending";
  stop();
  EXPECT_EQ(receiver->typed().substr(0, 24), "x[Enter]x[Enter]x[Enter]");
}

// At most 20,000 key presses a message. A message of repeats that would press two million keys
// is refused at once by 开始, and the window goes on answering; 20,001 presses are refused,
// 20,000 are typed.
TEST_F(EngineE2E, AMessagePressesAtMostTwentyThousandKeys) {
  std::string flood;
  for (int i = 0; i < 200; ++i) flood += "{a 9999}";
  launch("{a 9999}{a 9999}{b 2}," + flood);
  const auto refusedAtBegin = [&](const char* count) {
    const double clicked = nowMs();
    app->clickButton(Control::cmdBegin);
    std::optional<std::string> box;
    ASSERT_TRUE(waitFor([&] {
      for (HWND w : app->otherWindows()) box = messageBoxText(w);
      return box.has_value();
    }));
    EXPECT_LT(nowMs() - clicked, 1000.0) << "refused at once";
    EXPECT_NE(box->find(count), std::string::npos) << *box;
    EXPECT_NE(box->find("20000"), std::string::npos) << *box;
    for (HWND w : app->otherWindows()) clickDialogButton(w, IDOK);
    ASSERT_TRUE(waitFor([&] { return app->otherWindows().empty(); }));
    app->sync();
    EXPECT_TRUE(app->enabled(Control::cmdBegin)) << "the run did not start";
  };
  refusedAtBegin("1999800");
  app->clickButton(Control::cmdDel);  // the flood, the selected last item
  app->clickButton(Control::chkCycle);
  app->sync();  // the clicks are posted; the field is retyped once they are done
  app->retypeCombo(Control::comContent, "{a 9999}{a 9999}{b 3}");
  refusedAtBegin("20001");
  app->clickButton(Control::chkCycle);
  begin();
  // Forty thousand key events may take a busy machine minutes: the wait goes on while they come.
  std::size_t received = 0;
  while (!waitForSubmits(1, Millis{10000}) && receiver->messages().size() > received) {
    received = receiver->messages().size();
  }
  ASSERT_TRUE(waitForSubmits(1, Millis{0})) << "received " << receiver->typed().size();
  stop();
  const std::string typed = receiver->typed();
  EXPECT_EQ(typed.substr(0, 20007), std::string(19998, 'a') + "bb[Enter]");
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
  const Icon idle = rig().icon(app->window());
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
  if (const auto why = rig().cannot(Rig::Can::readIcons)) {
    stop();
    GTEST_SKIP() << "the icon: " << *why;
  }
  Icon sending;
  ASSERT_TRUE(waitFor([&] {
    sending = rig().icon(app->window());
    return sending.width > 0 && sending.argb != idle.argb;
  })) << "the window manager shows the sending icon";
  // The middle of the triangle is green, the middle of the square red-orange.
  EXPECT_EQ(sending.at(sending.width / 2 - 2, sending.height / 2) & 0xFFFFFF, 0x339933u);
  ASSERT_GT(idle.width, 0);
  EXPECT_EQ(idle.at(idle.width / 2, idle.height / 2) & 0xFFFFFF, 0xCC3300u);
  stop();
}

// CapsLock on in the editors Wine ships (an EDIT and a RichEdit field, real targets besides the
// receiver), as a user has it on in the chat: the notation still writes capitals under Shift and
// small letters without it. Only under Wine, whose editors are its own: on a person's Windows the
// kit starts no program of theirs (Windows 11's notepad.exe opens the Store's Notepad with their
// tabs).
struct Editor {
  const char* name;
  const char* program;
};
class CapsLockInAnEditor : public ::testing::TestWithParam<Editor> {};

TEST_P(CapsLockInAnEditor, TheNotationWritesWhatItSays) {
  const Editor& editor = GetParam();
  if (!rig().underWine()) GTEST_SKIP() << "the kit starts no program of the machine's own";
  Process chat(systemFolder(true) + editor.program);
  const HWND frame = waitUntilShown(chat, {}, Millis{30000}).window;
  HWND text = nullptr;
  EnumChildWindows(
      frame,
      [](HWND child, LPARAM found) -> BOOL {
        const std::string name = windowClass(child);
        if (name == "Edit" || name.rfind("RICHEDIT", 0) == 0 || name.rfind("RichEdit", 0) == 0) {
          *reinterpret_cast<HWND*>(found) = child;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&text));
  ASSERT_NE(text, nullptr) << "no text field in " << editor.name;
  ASSERT_TRUE(rig().activate(frame));
  // Turned on in the editor; the rig turns it back after the test, also when a check fails.
  if (rig().capsLockOn(nullptr) != true) {
    ASSERT_TRUE(rig().tap(VK_CAPITAL));
  }
  App app(programUnderTest(), std::string("+a+(bc)Aa"));
  app.retypeCombo(Control::comInterval, "1");
  app.clickButton(Control::cmdBegin);
  ASSERT_TRUE(waitFor([&] { return app.iconic(); }));
  ASSERT_TRUE(rig().activate(frame));
  const bool typed = waitFor([&] { return windowText(text).find('a') != std::string::npos; });
  app.clickButton(Control::cmdStop);
  ASSERT_TRUE(typed) << "nothing arrived in " << editor.name << ": " << windowText(text);
  EXPECT_EQ(windowText(text).substr(0, 5), "ABCAa");
}

INSTANTIATE_TEST_SUITE_P(WineEditors, CapsLockInAnEditor,
                         ::testing::Values(Editor{"notepad", "\\notepad.exe"},
                                           Editor{"wordpad",
                                                  "\\..\\Program Files\\Windows NT\\"
                                                  "Accessories\\wordpad.exe"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorelo::e2e
