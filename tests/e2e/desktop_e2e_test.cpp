// What a desktop does around a run: the chat minimised or busy, its prompt or menu open, the shell
// or File Explorer in front, a key another program left down. The real vorelo.exe types into a
// receiver window that records every key message it gets.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "e2e/driver.h"
#include "e2e/receiver_client.h"
#include "e2e/rig.h"

namespace vorelo::e2e {
namespace {

using app::Control;

class DesktopE2E : public ::testing::Test {
 protected:
  // The receiver comes first and Vorelo second, so minimising Vorelo hands the focus back to it.
  void launch(const std::string& message = "m", std::string_view interval = "1",
              const std::string& receiverOptions = {}) {
    receiver = std::make_unique<Receiver>(siblingProgram("receiver.exe"), "", receiverOptions);
    app = std::make_unique<App>(programUnderTest(), message);
    app->retypeCombo(Control::comInterval, interval);
  }
  bool waitForSubmits(std::size_t n) {
    return waitFor([&] { return receiver->submitTimes().size() >= n; }, Millis{15000});
  }
  bool idle() { return !app->iconic() && app->enabled(Control::cmdBegin); }
  // The text of the box Vorelo shows, once it shows one.
  std::optional<std::string> box() {
    std::optional<std::string> text;
    waitFor([&] {
      for (HWND w : app->otherWindows()) text = messageBoxText(w);
      return text.has_value();
    });
    return text;
  }
  // No chat in front: the run has stopped as 停止 does, and one box says so, naming what is in
  // front instead.
  void expectStoppedWithoutAChat(const char* named = "") {
    const std::optional<std::string> text = box();
    ASSERT_TRUE(text.has_value()) << "no box; received " << receiver->typed();
    EXPECT_NE(text->find("没有可以接收消息的聊天窗口"), std::string::npos) << *text;
    EXPECT_NE(text->find(named), std::string::npos) << *text;
    EXPECT_TRUE(idle());
    for (HWND w : app->otherWindows()) clickDialogButton(w, IDOK);
  }

  std::unique_ptr<Receiver> receiver;
  std::unique_ptr<App> app;
};

// A Ctrl another program pressed through SendInput reaches Vorelo's key watch as the user's, and
// Wine lets it go, unreported, when the active window changes. It is not pressed back after the
// messages: a key the user types between two of them arrives as itself.
TEST_F(DesktopE2E, AKeyLetGoOutOfSightIsNotPressedBack) {
  if (!runningUnderWine()) {
    GTEST_SKIP() << "Windows keeps a key another program holds down; docs/windows-checks.md "
                    "checks keys let go on the lock screen (steps 2 and 3)";
  }
  launch();
  // Wine lets the key go when the X server's focus moves; a new window that the window manager
  // did not focus would leave it on the receiver, and the minimise of 开始 would move nothing.
  ASSERT_TRUE(rig().activate(app->window()));
  INPUT ctrl{};
  ctrl.type = INPUT_KEYBOARD;
  ctrl.ki.wVk = VK_LCONTROL;
  ASSERT_EQ(SendInput(1, &ctrl, sizeof(ctrl)), 1u);
  ASSERT_TRUE(waitFor([] { return (GetAsyncKeyState(VK_LCONTROL) & 0x8000) != 0; }));
  beginSending(*app, *receiver);
  const bool letGo = waitFor([] { return (GetAsyncKeyState(VK_LCONTROL) & 0x8000) == 0; });
  ctrl.ki.dwFlags = KEYEVENTF_KEYUP;
  if (!letGo) SendInput(1, &ctrl, sizeof(ctrl));
  ASSERT_TRUE(letGo) << "Wine no longer lets the key go when the active window changes";
  // Ctrl pressed back after a message would be let go again before the next one: the chat would
  // see it go up and down.
  ASSERT_TRUE(waitForSubmits(3));
  ASSERT_TRUE(rig().type("z"));
  const bool typed = waitFor([&] { return receiver->typed().find('z') != std::string::npos; });
  app->clickButton(Control::cmdStop);
  ASSERT_TRUE(typed) << receiver->typed();
  for (const KeyMessage& m : receiver->messages()) {
    EXPECT_FALSE(m.ctrl) << m.kind << " " << std::hex << m.code;
    EXPECT_NE(m.code, static_cast<unsigned>(VK_CONTROL)) << m.kind;
  }
}

// Vorelo never waits on another program: with the chat busy for seconds, 停止 works at once.
TEST_F(DesktopE2E, StopWorksWhileTheChatReadsNoMessages) {
  launch();
  beginSending(*app, *receiver);
  ASSERT_TRUE(waitForSubmits(1));
  constexpr DWORD kBusyMs = 8000;
  receiver->freeze(kBusyMs);
  const double frozen = nowMs();
  Sleep(2500);  // two ticks type into the busy chat
  app->clickButton(Control::cmdStop);
  EXPECT_TRUE(waitFor([&] { return idle(); }, Millis{2000}));
  EXPECT_LT(nowMs() - frozen, kBusyMs - 1000.0) << "stopped only once the chat was back";
  // What was typed meanwhile arrives once the chat reads its messages again.
  EXPECT_TRUE(waitForSubmits(3)) << receiver->typed();
}

// A modifier the user lets go while a long message is on its way is up once the message is in:
// the release comes after the message's keys, and it may come before or after Vorelo presses the
// key back. Pressed and let go through SendInput, on both sides: under Wine the X server's release
// of a key Vorelo has just let go itself is dropped.
TEST_F(DesktopE2E, AModifierLetGoDuringALongMessageIsUpAfterIt) {
  std::string message;
  for (int i = 0; i < 1000; ++i) message += "你好";
  launch(message, "10");
  beginSending(*app, *receiver);
  // Under Wine the X focus reaches the chat a moment after it is active (or, on a busy machine,
  // not at all), and Wine then sets up every key the X server does not hold without telling any
  // window: a Ctrl pressed before that is up for Vorelo and down for the chat. A key tapped on the
  // X server arrives after the focus: F13, which no program acts on (a lone Shift would switch a
  // Chinese input method between 中 and 英).
  const auto keyArrived = [&] {
    const auto& got = receiver->messages();
    return std::any_of(got.begin(), got.end(), [](const KeyMessage& m) {
      return m.kind == "KU" && m.code == static_cast<unsigned>(VK_F13);
    });
  };
  for (int i = 0; i < 5 && !keyArrived(); ++i) {
    ASSERT_TRUE(rig().activate(receiver->window()));
    ASSERT_TRUE(rig().tap(VK_F13));
    waitFor(keyArrived, Millis{2000});
  }
  ASSERT_TRUE(keyArrived()) << "the chat gets no keys";
  INPUT ctrl{};
  ctrl.type = INPUT_KEYBOARD;
  ctrl.ki.wVk = VK_LCONTROL;
  ASSERT_EQ(SendInput(1, &ctrl, sizeof(ctrl)), 1u);
  const auto characters = [&] {
    const auto& got = receiver->messages();
    return std::count_if(got.begin(), got.end(), isTextChar);
  };
  const bool started = waitFor([&] { return characters() > 0; }, Millis{20000});
  ctrl.ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &ctrl, sizeof(ctrl));
  ASSERT_TRUE(started);
  ASSERT_TRUE(waitForSubmits(1));
  // The chat sees Ctrl go down and up in turn; it ends up.
  const auto lastCtrlIsUp = [&] {
    const auto& got = receiver->messages();
    const auto last = std::find_if(got.rbegin(), got.rend(), [](const KeyMessage& m) {
      return m.code == static_cast<unsigned>(VK_CONTROL) && (m.kind == "KD" || m.kind == "KU");
    });
    return last != got.rend() && last->kind == "KU" && (GetAsyncKeyState(VK_CONTROL) & 0x8000) == 0;
  };
  EXPECT_TRUE(waitFor(lastCtrlIsUp, Millis{3000})) << "Ctrl stays down after the message";
  EXPECT_FALSE(waitFor([&] { return !lastCtrlIsUp(); }, Millis{1000})) << "Ctrl goes down again";
  app->clickButton(Control::cmdStop);
  bool ctrlLetGo = false;  // Vorelo let Ctrl go before the message
  for (const KeyMessage& m : receiver->messages()) {
    if (m.kind == "KU" && m.code == static_cast<unsigned>(VK_CONTROL)) ctrlLetGo = true;
    if (isTextChar(m)) {
      ASSERT_FALSE(m.ctrl) << "a character arrived with Ctrl at " << m.ms
                           << (ctrlLetGo ? "" : ", and Ctrl was not let go before it");
    }
  }
}

// Left with no chat right after 开始 (here the window manager hands the keyboard to the shell,
// the window the user was in before Vorelo), the keyboard goes back to the chat.
TEST_F(DesktopE2E, BeginHandsTheKeyboardBackWhenNoChatHasIt) {
  launch();
  Receiver shell(siblingProgram("receiver.exe"), "Progman");
  ASSERT_TRUE(rig().activate(app->window()));
  app->clickButton(Control::cmdBegin);
  EXPECT_TRUE(waitForSubmits(1)) << "boxes: " << app->otherWindows().size();
  app->clickButton(Control::cmdStop);
  EXPECT_TRUE(shell.messages().empty()) << shell.typed();
}

// The minimised chat leaves no chat in front: nothing more is typed and the run stops with its
// box, before its time is up (so the computer is not powered off).
TEST_F(DesktopE2E, TheChatMinimisedDuringARunStopsIt) {
  // On a person's desktop the window behind the chat would come to the front, one of theirs: a
  // stand-in of the shell lies behind it instead, as the desktop lies behind the last window.
  std::optional<Receiver> desktop;
  if (!runningUnderWine()) desktop.emplace(siblingProgram("receiver.exe"), "Progman");
  launch();
  // Ticked where the power-off programs are stand-ins: the run must stop before its time is up.
  if (!powerOffCannotBeFaked()) app->clickButton(Control::chkCut);
  beginSending(*app, *receiver);
  ASSERT_TRUE(waitForSubmits(1));
  PostMessageW(receiver->window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(waitFor([&] { return IsIconic(receiver->window()) != FALSE; }));
  const std::size_t arrived = receiver->submitTimes().size();
  expectStoppedWithoutAChat();
  EXPECT_LE(receiver->submitTimes().size(), arrived + 1) << "at most a tick already on its way";
  if (desktop) {
    EXPECT_TRUE(desktop->messages().empty()) << desktop->typed();
  }
}

// A window of the shell in front (under Wine a window of the shell's class stands in for it):
// keys typed there would select and open icons. Nothing arrives there.
class ShellInFront : public DesktopE2E, public ::testing::WithParamInterface<const char*> {};

TEST_P(ShellInFront, StopsTheRunAndTypesNothingThere) {
  launch();
  beginSending(*app, *receiver);
  ASSERT_TRUE(waitForSubmits(1));
  Receiver shell(siblingProgram("receiver.exe"), GetParam());
  ASSERT_TRUE(shell.active());
  expectStoppedWithoutAChat();
  EXPECT_TRUE(shell.messages().empty()) << shell.typed();
}

INSTANTIATE_TEST_SUITE_P(Classes, ShellInFront,
                         ::testing::Values("Progman", "Shell_TrayWnd", "NotifyIconOverflowWindow",
                                           "CabinetWClass"),
                         [](const auto& info) { return std::string(info.param); });

// The chat asks "保存更改?" (closed during a run): the prompt stays unanswered, and the run stops
// at its next tick. A tick every 4 s leaves time to open the prompt between two messages.
TEST_F(DesktopE2E, APromptOfTheChatStaysUnanswered) {
  launch("m", "4");
  beginSending(*app, *receiver);
  ASSERT_TRUE(waitForSubmits(1));
  const std::size_t arrived = receiver->submitTimes().size();
  HWND prompt = receiver->openPrompt();
  ASSERT_NE(prompt, nullptr) << "the receiver's prompt is not in front";
  const double opened = nowMs();
  expectStoppedWithoutAChat("提示框");
  EXPECT_LT(nowMs() - opened, 4000.0 + 3000.0) << "the run went on past its next tick";
  EXPECT_EQ(receiver->logged("ANSWER"), 0u) << "the prompt was answered";
  EXPECT_TRUE(IsWindow(prompt));
  EXPECT_EQ(receiver->submitTimes().size(), arrived);
  clickDialogButton(prompt, IDCANCEL);
  EXPECT_TRUE(waitFor([&] { return receiver->logged("ANSWER") == 1; }));
}

// The chat's menu made active (a tap of Alt does it): the message's letters would choose 文件 and
// then 另存为. Nothing is chosen, and the run stops.
TEST_F(DesktopE2E, TheMenuOfTheChatChoosesNothing) {
  launch("fa", "4", "menu");
  beginSending(*app, *receiver);
  ASSERT_TRUE(waitForSubmits(1));
  PostMessageW(receiver->window(), WM_SYSCOMMAND, SC_KEYMENU, 0);
  ASSERT_TRUE(waitFor([&] { return receiver->logged("MENULOOP") == 1; })) << "no menu opened";
  expectStoppedWithoutAChat("菜单");
  EXPECT_EQ(receiver->logged("CMD"), 0u) << "a menu item was chosen";
  EXPECT_EQ(receiver->submitTimes().size(), 1u);
}

// Started from File Explorer (the window the user was in), 开始 finds no chat to hand the
// keyboard to: it refuses with its box and the window stays as it is. Nothing reaches Explorer.
TEST_F(DesktopE2E, BeginTypesNothingIntoFileExplorer) {
  Receiver explorer(siblingProgram("receiver.exe"), "CabinetWClass");
  app = std::make_unique<App>(programUnderTest(), std::string("m"));
  ASSERT_TRUE(rig().activate(app->window()));
  app->clickButton(Control::cmdBegin);
  const std::optional<std::string> text = box();
  ASSERT_TRUE(text.has_value()) << "no box; Explorer received " << explorer.typed();
  EXPECT_NE(text->find("还没有用过聊天窗口"), std::string::npos) << *text;
  EXPECT_FALSE(app->iconic());
  EXPECT_TRUE(app->enabled(Control::cmdBegin)) << "a run started";
  EXPECT_TRUE(explorer.messages().empty()) << explorer.typed();
}

// Some frameworks give every window of a program an owner, a visible zero-sized window of the
// program's: such a chat gets every message.
TEST_F(DesktopE2E, AChatOwnedByAZeroSizedWindowGetsEveryMessage) {
  launch("m", "1", "owned");
  ASSERT_NE(GetWindow(receiver->window(), GW_OWNER), nullptr);
  beginSending(*app, *receiver);
  ASSERT_TRUE(waitForSubmits(3)) << receiver->typed();
  app->clickButton(Control::cmdStop);
  EXPECT_EQ(receiver->typed().substr(0, 24), "m[Enter]m[Enter]m[Enter]");
  EXPECT_TRUE(app->otherWindows().empty()) << "a box opened";
}

}  // namespace
}  // namespace vorelo::e2e
