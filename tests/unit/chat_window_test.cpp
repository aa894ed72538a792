// Where keys may go: what a window is to a run, the run's chat as the user moves between windows,
// and what F12 does after the run stopped because no chat was in front.
#include <string>
#include <vector>

#include "platform/window_kind.h"
#include "unit/window_fixture.h"

namespace vorelo::testing {
namespace {

using app::Control;
using platform::WindowFacts;
using platform::WindowKind;

constexpr platform::WindowHandle kAnchor = 7;

struct Case {
  const char* what;
  WindowFacts window;
  WindowKind kind;
};

TEST(WindowKind, EveryRuleOfTheTable) {
  const std::vector<Case> cases = {
      {"no window", {}, WindowKind::None},
      {"a plain chat", {.handle = 2, .windowClass = "WeChatMainWndForPC"}, WindowKind::Chat},
      {"Vorelo's own window", {.handle = 2, .ours = true}, WindowKind::Ours},
      {"Vorelo minimised", {.handle = 2, .ours = true, .minimised = true}, WindowKind::Minimised},
      {"the desktop", {.handle = 2, .desktop = true}, WindowKind::Shell},
      {"the taskbar", {.handle = 2, .windowClass = "Shell_TrayWnd"}, WindowKind::Shell},
      {"Start, of the Windows folder",
       {.handle = 2, .windowClass = "Windows.UI.Core.CoreWindow", .windowsProgram = true},
       WindowKind::Shell},
      {"an app from the Store",
       {.handle = 2, .windowClass = "Windows.UI.Core.CoreWindow"},
       WindowKind::Chat},
      {"File Explorer", {.handle = 2, .windowClass = "cabinetwclass"}, WindowKind::Explorer},
      {"the overflow panel",
       {.handle = 2, .windowClass = "NotifyIconOverflowWindow"},
       WindowKind::TrayOverflow},
      {"the overflow panel of Windows 11",
       {.handle = 2, .windowClass = "TopLevelWindowForOverflowXamlIsland"},
       WindowKind::TrayOverflow},
      {"a class of the shell's process no list names",
       {.handle = 2, .windowClass = "NewShellFlyout", .shellProcess = true},
       WindowKind::Shell},
      {"a window of a shell host",
       {.handle = 2, .windowClass = "Xaml", .program = "searchhost.exe"},
       WindowKind::Shell},
      {"a chat minimised", {.handle = kAnchor, .minimised = true}, WindowKind::Minimised},
      {"invisible", {.handle = 2, .visible = false}, WindowKind::Hidden},
      {"on another virtual desktop", {.handle = 2, .cloaked = true}, WindowKind::Hidden},
      {"a tool window", {.handle = 2, .toolWindow = true}, WindowKind::Tool},
      {"the chat's menu open", {.handle = kAnchor, .inMenu = true}, WindowKind::Menu},
      {"the chat being moved", {.handle = kAnchor, .inMoveSize = true}, WindowKind::MoveSize},
      {"the chat disabled under its prompt",
       {.handle = kAnchor, .enabled = false},
       WindowKind::Prompt},
      {"the chat's save prompt",
       {.handle = 2, .windowClass = "#32770", .owner = kAnchor, .ownerEnabled = false},
       WindowKind::Prompt},
      {"a modal window of another program",
       {.handle = 2, .windowClass = "Frame", .owner = 3, .ownerEnabled = false},
       WindowKind::Prompt},
      {"the chat, itself a modal window",
       {.handle = kAnchor, .windowClass = "#32770", .owner = 3, .ownerEnabled = false},
       WindowKind::Chat},
      {"a pop-up of the chat",
       {.handle = 2, .windowClass = "EmojiPicker", .owner = kAnchor},
       WindowKind::Prompt},
      {"a message box of another program",
       {.handle = 2, .windowClass = "#32770"},
       WindowKind::Prompt},
      {"a chat owned by its program's zero-sized window",
       {.handle = 2, .windowClass = "TForm1", .owner = 3},
       WindowKind::Chat},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::classify(c.window, kAnchor), c.kind) << c.what;
}

class ChatTest : public WindowTest {
 protected:
  fake::FakeSystem& sys() { return tk.fakeSystem(); }
  void advance(uint64_t ms) { tk.clock().advance(ms); }
  std::size_t batches() { return sys().sent.size(); }
  bool sending() { return w->tmrSend.enabled(); }
  // A run of "a,b,c" started by F12 in the chat, with the power-off box ticked; each box that
  // opens is closed at once.
  void startRun() {
    start("a,b,c");
    check(Control::chkCut).click();
    w->F12_Press();
    ASSERT_TRUE(sending());
    ASSERT_EQ(tk.chats().runChat(), fake::FakeSystem::kChat);
  }
};

// What comes in front during a run, and the word its box uses for it.
struct InFront {
  const char* what;
  WindowFacts window;
  const char* named;
};

class NoChatInFront : public ChatTest, public ::testing::WithParamInterface<InFront> {};

constexpr platform::WindowHandle kOtherChat = 2;

// The run's chat moves to a chat the user clicks into; the windows a chat or the desktop puts in
// front meanwhile get nothing: the run stops at the next tick, uncharged, at the same item, with
// no power-off, and one box names what was in front. The next F12 starts again.
TEST_P(NoChatInFront, StopsTheRunAndTheNextF12Starts) {
  const InFront& c = GetParam();
  startRun();
  advance(11000);
  // The user clicks into another chat, owned by its program's hidden window: the run follows.
  sys().addWindow(kOtherChat, "Chat").owner = 3;
  tk.bringToFront(kOtherChat);
  EXPECT_EQ(tk.chats().runChat(), kOtherChat);
  advance(11000);
  ASSERT_EQ(batches(), 4u);
  EXPECT_EQ(w->CycleIndex, 2);

  if (c.window.handle != 0) sys().windows[c.window.handle] = c.window;
  tk.bringToFront(c.window.handle);
  EXPECT_EQ(tk.chats().runChat(), kOtherChat) << "no chat is not the run's chat";
  advance(11000);
  EXPECT_EQ(batches(), 4u);
  EXPECT_FALSE(sending());
  EXPECT_EQ(tk.chats().runChat(), 0u);
  EXPECT_EQ(w->CycleIndex, 2);
  EXPECT_EQ(w->RemainingMs, 900000 - 22000);
  EXPECT_TRUE(sys().launches.empty());
  ASSERT_EQ(window().messages().size(), 1u);
  const std::string& box = window().messages()[0];
  EXPECT_NE(box.find(c.named), std::string::npos) << box;
  EXPECT_NE(box.find("没有可以接收消息的聊天窗口"), std::string::npos) << box;
  EXPECT_TRUE(w->HotkeyStartsNext) << "the next F12 starts, as the box advises";

  tk.bringToFront(fake::FakeSystem::kChat);
  w->F12_Press();
  EXPECT_TRUE(sending());
  EXPECT_EQ(tk.chats().runChat(), fake::FakeSystem::kChat);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, NoChatInFront,
    ::testing::Values(
        InFront{"SavePrompt",
                {.handle = 5, .windowClass = "#32770", .owner = kOtherChat, .ownerEnabled = false},
                "提示框"},
        InFront{
            "PopUpOfTheChat", {.handle = 5, .windowClass = "Popup", .owner = kOtherChat}, "提示框"},
        InFront{"MenuOfTheChat", {.handle = kOtherChat, .inMenu = true}, "菜单"},
        InFront{"FileExplorer", {.handle = 5, .windowClass = "CabinetWClass"}, "文件资源管理器"},
        InFront{"OverflowPanel",
                {.handle = 5, .windowClass = "NotifyIconOverflowWindow"},
                "隐藏图标的面板"},
        InFront{"Nothing", {}, "前台没有窗口"}),
    [](const auto& info) { return std::string(info.param.what); });

// 开始 and F12 start only where a chat can take the keys: nothing is typed, the window stays as
// it is, and F12 stays a start. The messages are checked in the keyboard layout of the chat.
TEST_F(ChatTest, AStartWithNoChatToTypeIntoIsRefused) {
  const platform::WindowHandle explorer = 5, chat = fake::FakeSystem::kChat;
  sys().addWindow(explorer, "CabinetWClass");
  sys().foreground = explorer;  // Vorelo was started from File Explorer
  start("a");
  window().userActivate();
  button(Control::cmdBegin).click();
  ASSERT_EQ(window().messages().size(), 1u);
  EXPECT_NE(window().messages()[0].find("还没有用过聊天窗口"), std::string::npos);
  EXPECT_EQ(window().minimizeCount(), 0);
  EXPECT_FALSE(sending());

  window().userSetState(platform::WindowState::Minimized);
  w->F12_Press();  // in File Explorer
  ASSERT_EQ(window().messages().size(), 2u);
  EXPECT_NE(window().messages()[1].find("前台是文件资源管理器"), std::string::npos);
  EXPECT_TRUE(w->HotkeyStartsNext);
  advance(60000);
  EXPECT_TRUE(sys().sent.empty());

  // The user clicks into the chat, then into Vorelo: 开始 hands the keyboard back to the chat.
  tk.bringToFront(chat);
  tk.bringToFront(explorer);
  window().userActivate();
  sys().layoutQueries.clear();
  button(Control::cmdBegin).click();
  EXPECT_TRUE(sending());
  EXPECT_EQ(tk.chats().runChat(), chat);
  EXPECT_EQ(sys().layoutQueries, std::vector<platform::WindowHandle>{chat});
  button(Control::cmdStop).click();

  // The chat minimised meanwhile is no chat to go back to.
  sys().windows[chat].minimised = true;
  window().userActivate();
  button(Control::cmdBegin).click();
  EXPECT_FALSE(sending());
  EXPECT_NE(window().messages().back().find("你上次用的窗口现在是一个最小化的窗口"),
            std::string::npos);
}

// Between two windows nothing may be in front, or Vorelo itself, minimised a moment ago: a start
// then goes to the chat the user was in.
TEST_F(ChatTest, WithNothingOrVoreloMinimisedInFrontAStartGoesToTheLastChat) {
  start("a");
  for (const platform::WindowHandle front : {platform::WindowHandle{0}, fake::FakeSystem::kOurs}) {
    sys().windows[fake::FakeSystem::kOurs] = {
        .handle = fake::FakeSystem::kOurs, .ours = true, .minimised = true};
    sys().foreground = front;
    w->F12_Press();
    EXPECT_TRUE(sending()) << front;
    EXPECT_EQ(tk.chats().runChat(), fake::FakeSystem::kChat);
    w->F12_Press();
  }
  EXPECT_TRUE(window().messages().empty());
}

// A program built around a dialog box is a chat when the user starts in it; a message box owned
// by a window is not.
TEST_F(ChatTest, ADialogIsAChatOnlyWhereTheUserStartsInIt) {
  sys().windows[fake::FakeSystem::kChat].windowClass = "#32770";
  start("a");
  w->F12_Press();
  EXPECT_TRUE(sending());
  advance(11000);
  EXPECT_EQ(batches(), 2u);
  w->F12_Press();
  sys().windows[fake::FakeSystem::kChat].owner = 3;
  w->F12_Press();
  EXPECT_FALSE(sending());
  EXPECT_NE(window().messages().back().find("提示框"), std::string::npos);
}

}  // namespace
}  // namespace vorelo::testing
