#include <string>
#include <vector>

#include "unit/window_fixture.h"

namespace vorelo::testing {
namespace {

using app::Control;

class ListTest : public WindowTest {
 protected:
  void add(std::optional<std::string> answer) {
    if (answer) window().inputAnswers.push_back(*answer);
    button(Control::cmdAdd).click();
  }
  void del() { button(Control::cmdDel).click(); }
};

TEST_F(ListTest, AddAsksWithTheDefaultAndAppendsTheTextAsTyped) {
  auto& m = start("a");
  add(std::nullopt);  // the default is accepted
  EXPECT_EQ(window().prompts(), (std::vector<std::string>{"输入准备添加至对话列表的内容："}));
  EXPECT_EQ(items(m.comContent), (std::vector<std::string>{"a", "Hello"}));
  EXPECT_EQ(m.comContent.listIndex(), 1);
  EXPECT_EQ(screen(Control::comContent).shownText(), "Hello");

  add("   ");  // only spaces
  add("");     // cancelled
  EXPECT_EQ(m.comContent.listCount(), 2);
  add("  hi there  ");
  EXPECT_EQ(m.comContent.list(2), "  hi there  ");
  EXPECT_EQ(m.comContent.text(), "  hi there  ");
  add("\t");  // only spaces count as blank: a tab is a key
  EXPECT_EQ(m.comContent.list(3), "\t");
  EXPECT_TRUE(tk.fakeSystem().files.at("Msg.txt") == "a") << "nothing is written back";
}

TEST_F(ListTest, DeleteSelectsTheLastRemainingItem) {
  auto& m = start("a,b,c");
  m.comContent.setListIndex(0);
  del();
  EXPECT_EQ(items(m.comContent), (std::vector<std::string>{"b", "c"}));
  EXPECT_EQ(m.comContent.listIndex(), 1);
  EXPECT_EQ(m.comContent.text(), "c");
  del();
  del();
  EXPECT_EQ(m.comContent.listCount(), 0);
  EXPECT_EQ(m.comContent.listIndex(), -1);
  EXPECT_EQ(screen(Control::comContent).shownText(), "");
  del();  // nothing left: nothing happens
  button(Control::cmdBegin).click();
  EXPECT_EQ(window().messages(), (std::vector<std::string>{"对话列表中没有内容！"}));
}

TEST_F(ListTest, DeleteWithFreeTextTypedDoesNothing) {
  auto& m = start("a,b");
  screen(Control::comContent).type("x");
  EXPECT_EQ(m.comContent.listIndex(), -1);
  del();
  EXPECT_EQ(items(m.comContent), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(m.comContent.text(), "bx");
}

TEST_F(ListTest, AddingToAFullListSaysSoWithoutAsking) {
  std::string file;
  for (int i = 0; i < 32767; ++i) file += "m\n";
  auto& m = start(file);
  add("one more");
  EXPECT_EQ(m.comContent.listCount(), 32767);
  EXPECT_TRUE(window().prompts().empty());
  ASSERT_EQ(window().messages().size(), 1u);
  EXPECT_EQ(window().messages()[0], "对话列表已满：已有 32767 条消息，不能再添加。");
}

class HotkeyTest : public WindowTest {
 protected:
  static constexpr uint32_t kPoll = 40;
  // Feeds one F12 state per poll of the watcher.
  void polls(std::initializer_list<uint16_t> states) {
    for (uint16_t s : states) {
      tk.fakeSystem().keyStates.push_back(s);
      tk.clock().advance(kPoll);
    }
  }
  void tap() { polls({0x8001, 0x0000}); }
  bool sending() { return w->tmrSend.enabled(); }
  // Starts the window; the watcher's first look finds a press made before Vorelo started (in
  // another program) and only records it.
  void startWatching(std::optional<std::string> msgFile) {
    start(std::move(msgFile));
    polls({0x0001});
    EXPECT_FALSE(sending());
    EXPECT_TRUE(window().messages().empty()) << "no box for a press made before start-up";
  }
};

TEST_F(HotkeyTest, F12StartsAndStopsAndIsOnlyObserved) {
  startWatching("a");
  tap();
  EXPECT_TRUE(sending());
  EXPECT_FALSE(w->HotkeyStartsNext);
  tap();
  EXPECT_FALSE(sending());
  EXPECT_TRUE(w->HotkeyStartsNext);
  for (int vk : tk.fakeSystem().keyQueries) EXPECT_EQ(vk, 0x7B);
}

TEST_F(HotkeyTest, APressTogglesOnceHoweverLongItLasts) {
  startWatching("a");
  // Held across many polls, with the keyboard's auto-repeat setting the low bit again.
  polls({0x8001, 0x8000, 0x8001, 0x8000, 0x8001, 0x8000, 0x0000});
  EXPECT_TRUE(sending());
  // A tap quick enough to fall between two polls shows only the low bit.
  polls({0x0001, 0x0000});
  EXPECT_FALSE(sending());
}

TEST_F(HotkeyTest, TheFlagFollowsF12PressesOnly) {
  startWatching("a");
  button(Control::cmdBegin).click();
  tap();  // calls the start procedure again: the run goes on
  EXPECT_TRUE(sending());
  tap();
  EXPECT_FALSE(sending());

  // A run started with F12 and ended by its budget needs two presses to start again.
  screen(Control::comTotalTime).paste("1");
  screen(Control::comInterval).paste("30");
  tap();
  EXPECT_TRUE(sending());
  tk.clock().advance(120000);
  EXPECT_FALSE(sending());
  tap();
  EXPECT_FALSE(sending());
  tap();
  EXPECT_TRUE(sending());
}

// A message that presses F12 in the chat does not toggle Vorelo: the press the watcher sees
// after it is Vorelo's own. The user's next press still counts.
TEST_F(HotkeyTest, F12TypedByAMessageIsNotThePress) {
  startWatching("{F12}x");
  button(Control::cmdBegin).click();
  tk.clock().advance(11000 - kPoll);
  polls({0x0001, 0x0000});  // the first look after the tick sees the press it typed
  ASSERT_EQ(tk.fakeSystem().sent.size(), 2u);
  EXPECT_TRUE(sending());
  EXPECT_TRUE(w->HotkeyStartsNext);
  tap();
  EXPECT_TRUE(sending());
  EXPECT_FALSE(w->HotkeyStartsNext);
}

// A start during a run does only what starting does: the messages are not checked again, so no
// box sits in front of the chat while the ticks go on typing.
TEST_F(HotkeyTest, F12DuringARunDoesNotCheckTheMessagesAgain) {
  startWatching("%满");
  tk.fakeSystem().layout = [](char32_t) { return engine::LayoutKey{'M', 0}; };
  button(Control::cmdBegin).click();
  tk.fakeSystem().layout = [](char32_t) { return std::optional<engine::LayoutKey>(); };
  tap();
  EXPECT_TRUE(window().messages().empty());
  EXPECT_TRUE(sending());
  EXPECT_FALSE(w->HotkeyStartsNext);
}

// Where the system reports each press, nothing polls the key, and every reported press is one
// look: it toggles, flips the flag whatever the procedure did, and is let go while a box is open.
TEST_F(HotkeyTest, ReportedPressesKeepThePressRules) {
  tk.keys().watchKeys();
  start(std::nullopt);
  const auto press = [this] { w->F12_Press(); };
  tk.clock().advance(60000);
  EXPECT_TRUE(tk.fakeSystem().keyQueries.empty()) << "the idle window does not poll";
  window().whileModal = press;  // a second press while the empty-list box is open
  press();
  EXPECT_EQ(window().messages().size(), 1u);
  EXPECT_FALSE(w->HotkeyStartsNext);
  window().whileModal = nullptr;
  press();  // the stop procedure
  EXPECT_TRUE(w->HotkeyStartsNext);
  w->comContent.addItem("a");
  press();
  EXPECT_TRUE(sending());
  press();
  EXPECT_FALSE(sending());
  EXPECT_TRUE(tk.fakeSystem().keyQueries.empty());
}

TEST_F(HotkeyTest, EmptyListMessageIsShownOnceAndTheNextPressStops) {
  startWatching(std::nullopt);
  // Presses while the message is open are let go: no second box, no toggle.
  window().whileModal = [this] { polls({0x8001, 0x0000, 0x8001, 0x0000}); };
  tap();
  EXPECT_EQ(window().messages().size(), 1u);
  EXPECT_FALSE(w->HotkeyStartsNext) << "the flag flips once the box is closed";
  window().whileModal = nullptr;
  tap();  // the stop procedure: nothing to stop, no message
  EXPECT_EQ(window().messages().size(), 1u);
  EXPECT_TRUE(w->HotkeyStartsNext);
  EXPECT_FALSE(sending());
}

}  // namespace
}  // namespace vorelo::testing
