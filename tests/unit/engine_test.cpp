#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "engine/key_events.h"
#include "engine/key_watch.h"
#include "unit/window_fixture.h"

namespace vorelo::testing {
namespace {

using app::Control;
using engine::Key;
using engine::KeyAction;

// What the keystrokes of every batch sent so far would type, with [Enter] and [^Enter] for the
// submit keys; batches are separated by '|'.
std::string typed(const std::vector<std::vector<KeyAction>>& batches) {
  std::string out;
  for (const auto& batch : batches) {
    if (&batch != &batches.front()) out += '|';
    bool ctrl = false;
    for (const KeyAction& a : batch) {
      if (a.kind == KeyAction::Kind::Down && a.key == Key::Control) ctrl = true;
      if (a.kind == KeyAction::Kind::Up && a.key == Key::Control) ctrl = false;
      if (a.kind == KeyAction::Kind::Text || a.kind == KeyAction::Kind::CharTap) {
        out += static_cast<char>(a.ch < 0x80 ? a.ch : '?');
      }
      if (a.kind == KeyAction::Kind::Tap && a.key == Key::Enter)
        out += ctrl ? "[^Enter]" : "[Enter]";
    }
  }
  return out;
}

class EngineTest : public WindowTest {
 protected:
  std::vector<std::vector<KeyAction>>& sent() { return tk.fakeSystem().sent; }
  void setDuration(const char* minutes) { screen(Control::comTotalTime).paste(minutes); }
  void setInterval(const char* seconds) { screen(Control::comInterval).paste(seconds); }
  void begin() { button(Control::cmdBegin).click(); }
  void stop() { button(Control::cmdStop).click(); }
  void advance(uint64_t ms) { tk.clock().advance(ms); }
  // Messages typed so far, each followed by its submit key.
  std::size_t messages() { return tk.fakeSystem().sent.size() / 2; }
  bool idle() { return !w->tmrSend.enabled() && w->cmdBegin.enabled(); }
};

TEST_F(EngineTest, BeginLocksTheSettingsMinimisesAndStopUndoesIt) {
  start("a,b");
  begin();
  EXPECT_TRUE(w->tmrSend.enabled());
  EXPECT_EQ(window().icon(), platform::Icon::Sending);
  EXPECT_EQ(window().state(), platform::WindowState::Minimized);
  for (Control c : {Control::comContent, Control::comInterval, Control::comTotalTime}) {
    EXPECT_FALSE(screen(c).enabled());
  }
  for (Control c : {Control::chkCycle, Control::optSend0, Control::optSend1}) {
    EXPECT_FALSE(check(c).enabled());
  }
  for (Control c : {Control::cmdAdd, Control::cmdDel, Control::cmdBegin}) {
    EXPECT_FALSE(button(c).enabled());
  }
  EXPECT_TRUE(button(Control::cmdStop).enabled());
  EXPECT_TRUE(button(Control::cmdExit).enabled());
  EXPECT_TRUE(check(Control::chkCut).enabled()) << "the power-off box stays usable";

  stop();
  EXPECT_TRUE(idle());
  EXPECT_EQ(window().icon(), platform::Icon::Idle);
  EXPECT_EQ(window().state(), platform::WindowState::Normal);
  for (Control c : {Control::cmdAdd, Control::cmdDel, Control::cmdBegin, Control::cmdStop}) {
    EXPECT_TRUE(button(c).enabled());
  }
  EXPECT_TRUE(screen(Control::comContent).enabled());
  EXPECT_TRUE(check(Control::optSend1).enabled());
}

TEST_F(EngineTest, BeginWithAnEmptyListOnlyShowsTheMessage) {
  start();
  begin();
  EXPECT_EQ(window().messages(), (std::vector<std::string>{"对话列表中没有内容！"}));
  EXPECT_TRUE(idle());
  EXPECT_EQ(window().icon(), platform::Icon::Idle);
  EXPECT_EQ(window().minimizeCount(), 0);
  advance(60000);
  EXPECT_TRUE(sent().empty());
}

TEST_F(EngineTest, CycleModeWalksTheListAndWraps) {
  start("a,b,c");
  begin();
  advance(10999);
  EXPECT_EQ(messages(), 0u) << "the first message comes one full period after 开始";
  advance(1);
  EXPECT_EQ(typed(sent()), "a|[Enter]");
  advance(11000 * 4);
  EXPECT_EQ(typed(sent()), "a|[Enter]|b|[Enter]|c|[Enter]|a|[Enter]|b|[Enter]");
  EXPECT_EQ(w->CycleIndex, 2);
}

TEST_F(EngineTest, SingleItemTextFieldAndEmptyMessages) {
  start("only");
  begin();
  advance(33000);
  EXPECT_EQ(typed(sent()), "only|[Enter]|only|[Enter]|only|[Enter]");
  EXPECT_EQ(w->CycleIndex, 0);
  stop();

  // Without cycle mode every tick types what the field held when the run began.
  sent().clear();
  check(Control::chkCycle).click();
  screen(Control::comContent).paste("free text");
  check(Control::optSend1).click();
  begin();
  advance(22000);
  EXPECT_EQ(typed(sent()), "free text|[^Enter]|free text|[^Enter]");
  stop();

  sent().clear();
  screen(Control::comContent).paste("");
  begin();
  advance(11000);
  EXPECT_EQ(typed(sent()), "|[^Enter]") << "an empty text types only the submit key";
}

TEST_F(EngineTest, StoppedCycleResumesWhereItLeftOff) {
  start("1,2,3,4,5");
  begin();
  advance(33000);
  stop();
  EXPECT_EQ(typed(sent()), "1|[Enter]|2|[Enter]|3|[Enter]");
  sent().clear();
  begin();
  advance(11000);
  EXPECT_EQ(typed(sent()), "4|[Enter]");
}

TEST_F(EngineTest, BudgetStopsTheRunAfterTheTickThatCrossesZero) {
  struct Case {
    const char* interval;
    const char* duration;
    std::size_t messages;
  };
  // 1.0005 s is charged as 1000.5 ms, not the timer's whole 1000: 60 messages in a minute.
  for (const Case& c :
       {Case{"10", "1", 7}, Case{"11", "15", 82}, Case{"30", "1", 3}, Case{"1.0005", "1", 60}}) {
    SCOPED_TRACE(std::string(c.interval) + " s for " + c.duration + " min");
    tk.fakeSystem().sent.clear();
    if (!w) start("x");
    setInterval(c.interval);
    setDuration(c.duration);
    begin();
    advance(2 * 60 * 60 * 1000);
    EXPECT_EQ(messages(), c.messages);
    EXPECT_TRUE(idle());
    EXPECT_EQ(window().state(), platform::WindowState::Normal);
    EXPECT_LT(w->RemainingMs, 0);
  }
  EXPECT_TRUE(tk.fakeSystem().launches.empty()) << "the power-off box is clear";
}

TEST_F(EngineTest, BudgetCarriesOverBetweenRuns) {
  start("x");
  setInterval("10");
  setDuration("1");
  begin();
  advance(30000);
  stop();
  EXPECT_DOUBLE_EQ(w->RemainingMs, 30000.0);
  begin();
  advance(10 * 60000);
  EXPECT_EQ(messages(), 7u) << "3 in the first run and 4 in the second";

  // A used-up budget stays used up: the next run types one message and stops again.
  tk.fakeSystem().sent.clear();
  begin();
  advance(60000);
  EXPECT_EQ(messages(), 1u);
  EXPECT_TRUE(idle());
  // Only the duration field refills it.
  setDuration("1");
  EXPECT_DOUBLE_EQ(w->RemainingMs, 60000.0);
}

TEST_F(EngineTest, PowerOffRunsBothCommandsFromTheSystemFoldersWhenTheBudgetRunsOut) {
  start("x");
  setInterval("30");
  setDuration("1");
  begin();
  advance(30000);
  // Ticking the box during the run is enough: it is read when the budget runs out.
  check(Control::chkCut).click();
  advance(60000);
  const auto& launches = tk.fakeSystem().launches;
  ASSERT_EQ(launches.size(), 2u);
  EXPECT_EQ(launches[0].folder, platform::Folder::Windows);
  EXPECT_EQ(launches[0].program, "rundll.exe");
  EXPECT_EQ(launches[0].commandLine, "rundll.exe user.exe,exitwindows");
  EXPECT_EQ(launches[1].folder, platform::Folder::System);
  EXPECT_EQ(launches[1].program, "shutdown.exe");
  EXPECT_EQ(launches[1].commandLine, "shutdown -s -t 30 -c \"设定时间到，Vorelo为你关机了！\"");
  EXPECT_EQ(launches[0].show, platform::ShowStyle::MinimisedWithFocus);
  EXPECT_EQ(launches[1].show, platform::ShowStyle::MinimisedWithFocus);
  EXPECT_TRUE(idle());

  // One that fails to start is skipped; the next still runs, on every run that runs out.
  tk.fakeSystem().launches.clear();
  tk.fakeSystem().missingPrograms = {"rundll.exe"};
  begin();
  advance(30000);
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].program, "shutdown.exe");
}

// A chat whose level cannot be read: a message counts once its Enter is seen to arrive. Until
// then no tick types and the end of the time (with its power-off) waits; a message that never
// arrives is taken back (the item, the budget) and stops the run with the box of refused keys,
// without a power-off.
TEST_F(EngineTest, AMessageToAWindowOfUnknownLevelCountsOnceItArrived) {
  auto& sys = tk.fakeSystem();
  sys.windows[sys.kChat].level = platform::Level::Unknown;
  tk.keys().watchKeys();
  start("a,b");
  setInterval("1");
  setDuration("1");  // 61 messages
  check(Control::chkCut).click();
  begin();
  advance(1600);
  ASSERT_EQ(messages(), 1u);
  sys.deliver(tk.keys(), 0, 1);  // its first key arrives: the verdict is still awaited
  advance(400);
  EXPECT_EQ(messages(), 1u) << "a tick typed while the verdict was awaited";
  for (std::size_t tick = 2; tick <= 61; ++tick) {
    sys.deliver(tk.keys(), 1);
    advance(1000);
    ASSERT_EQ(messages(), tick);
  }
  EXPECT_EQ(w->RemainingMs, -1000);
  EXPECT_TRUE(w->tmrSend.enabled()) << "the end of the time waits for the last verdict";
  EXPECT_TRUE(sys.launches.empty());
  sys.deliver(tk.keys(), 1);
  EXPECT_TRUE(idle());
  EXPECT_EQ(sys.launches.size(), 2u) << "powered off once the last message arrived";

  sys.launches.clear();
  setDuration("1");
  begin();
  advance(1000);
  ASSERT_EQ(messages(), 62u);
  window().whileModal = [this] { advance(60000); };
  advance(platform::KeyPipeline::kArrivalWaitMs);  // nothing arrives
  EXPECT_TRUE(idle());
  EXPECT_EQ(w->CycleIndex, 1) << "the item stays next";
  EXPECT_EQ(w->RemainingMs, 60000);
  EXPECT_TRUE(sys.launches.empty());
  ASSERT_EQ(window().messages().size(), 1u);
  EXPECT_NE(window().messages()[0].find("按键没有送达窗口“聊天窗口”"), std::string::npos);
}

// Keys that cannot reach a chat end the run like 停止: nothing more is typed, the item stays
// next, the tick is not charged, the computer is not powered off, and one box says which window
// (or that no chat was in front) and what to do. The run was started by F12, and the next F12
// starts again.
class RefusedKeys : public EngineTest {
 protected:
  void secondTickRefused(const std::function<void(fake::FakeSystem&)>& change,
                         std::optional<std::size_t> accepted,
                         std::initializer_list<const char*> says) {
    auto& sys = tk.fakeSystem();
    sys.caption = "微信";
    start("a,^b,c");
    setDuration("1");
    check(Control::chkCut).click();
    w->F12_Press();
    advance(11000);
    if (change) change(sys);
    sys.acceptEvents = accepted;
    sys.injected.clear();
    window().whileModal = [this] { advance(60000); };
    advance(11000);
    EXPECT_TRUE(idle());
    EXPECT_EQ(window().state(), platform::WindowState::Normal);
    EXPECT_EQ(typed(sent()), "a|[Enter]");
    EXPECT_EQ(w->CycleIndex, 1);
    EXPECT_EQ(w->RemainingMs, 60000 - 11000);
    EXPECT_TRUE(sys.launches.empty());
    EXPECT_TRUE(w->HotkeyStartsNext) << "the next F12 starts, as the box advises";
    ASSERT_EQ(window().messages().size(), 1u);
    const std::string& box = window().messages()[0];
    for (const char* part : says) EXPECT_NE(box.find(part), std::string::npos) << part;
    EXPECT_NE(box.find("也不会自动关机"), std::string::npos) << box;
  }
};

TEST_F(RefusedKeys, AWindowRunningAsAdministratorGetsNothing) {
  secondTickRefused(
      [](fake::FakeSystem& sys) { sys.windows[sys.kChat].level = platform::Level::Higher; },
      std::nullopt, {"窗口“微信”", "请先退出这个 Vorelo，再以管理员身份运行 Vorelo"});
  EXPECT_TRUE(tk.fakeSystem().injected.empty());
}

// A window whose level cannot be read is typed into; the system's refusal then stops the run.
TEST_F(RefusedKeys, ASystemThatTakesNothing) {
  secondTickRefused({}, 0, {"窗口“微信”", "解锁屏幕", "以管理员身份运行"});
}

TEST_F(RefusedKeys, ASystemThatTakesPartOfTheBatch) {
  secondTickRefused({}, 2, {"解锁屏幕"});
}

// The desktop, the taskbar, Start, a minimised chat: keys typed there select and open icons or
// search, so nothing is typed at all.
TEST_F(RefusedKeys, NoChatInFront) {
  secondTickRefused(
      [this](fake::FakeSystem& sys) { tk.bringToFront(sys.addWindow(2, "Progman").handle); },
      std::nullopt, {"没有可以接收消息的聊天窗口", "前台是桌面、任务栏或开始菜单"});
  EXPECT_TRUE(tk.fakeSystem().injected.empty());
}

// 开始 reads every message the run can type: a bad one is named by its place in the list and
// the run does not start. Time passing while the box is open types nothing.
TEST_F(EngineTest, AMalformedOrOverlongMessageStopsBeginAndSaysWhich) {
  start("good,{bad},after");
  window().whileModal = [this] { advance(60000); };
  begin();
  EXPECT_TRUE(idle());
  EXPECT_EQ(window().minimizeCount(), 0);
  EXPECT_TRUE(sent().empty());
  ASSERT_EQ(window().messages().size(), 1u);
  const std::string& box = window().messages()[0];
  EXPECT_NE(box.find("第 2 条消息无法发送，没有开始发送"), std::string::npos) << box;
  EXPECT_NE(box.find("{bad}"), std::string::npos) << "the message is quoted";

  // Without cycling only the field's text is read: the selected last item is fine.
  check(Control::chkCycle).click();
  begin();
  EXPECT_FALSE(idle());
  stop();
  screen(Control::comContent).paste(std::string(engine::kMaxMessageChars + 1, 'x'));
  begin();
  ASSERT_EQ(window().messages().size(), 2u);
  EXPECT_NE(window().messages()[1].find("10001"), std::string::npos) << window().messages()[1];
  EXPECT_TRUE(idle());
}

// The last item is checked too. The box quotes at most 200 characters of a message, in lines
// a box can hold.
TEST_F(EngineTest, TheCheckReadsTheLastItemAndTheBoxStaysNarrow) {
  std::string lines;
  for (int i = 1; i <= 40; ++i) lines += "line" + std::to_string(i) + "\r\n";
  start("good," + std::string(300, 'x') + "{bad},\"" + lines + "{worse}\"");
  begin();
  EXPECT_TRUE(idle());
  ASSERT_EQ(window().messages().size(), 1u);
  const std::string& box = window().messages()[0];
  EXPECT_NE(box.find("第 2 条消息"), std::string::npos);
  EXPECT_NE(box.find("xxx{bad}"), std::string::npos) << "the part around the fault is quoted";
  EXPECT_LT(std::count(box.begin(), box.end(), 'x'), 200);
  std::size_t widest = 0;
  for (std::size_t at = 0, end; at < box.size(); at = end + 1) {
    end = std::min(box.find('\n', at), box.size());
    if (box.compare(at, 1, "x") == 0) widest = std::max(widest, end - at);
  }
  EXPECT_LE(widest, 60u);

  // A fault on the 41st line of a message: the box shows that line, not the first 35.
  screen(Control::comContent).pick(1);
  button(Control::cmdDel).click();
  begin();
  ASSERT_EQ(window().messages().size(), 2u);
  const std::string& tall = window().messages()[1];
  EXPECT_NE(tall.find("第 2 条消息"), std::string::npos) << tall;
  EXPECT_NE(tall.find("line40\n{worse}"), std::string::npos) << tall;
  EXPECT_NE(tall.find("第 41 行"), std::string::npos) << tall;
  EXPECT_EQ(tall.find("line1\n"), std::string::npos) << tall;
}

// The tick keeps its own check: a character the focused window's layout had at 开始 but lacks
// at the tick stops the run; nothing of that message is typed, the item stays next, and the next
// F12 starts again.
TEST_F(EngineTest, TheTickStopsOnAMessageItCannotType) {
  start("good,%满");
  tk.fakeSystem().layout = [](char32_t) { return engine::LayoutKey{'M', 0}; };
  check(Control::chkCut).click();
  w->F12_Press();
  tk.fakeSystem().layout = [](char32_t ch) {
    return ch < 0x80 ? std::optional(engine::LayoutKey{'M', 0}) : std::nullopt;
  };
  window().whileModal = [this] { advance(60000); };
  advance(22000);
  EXPECT_EQ(typed(sent()), "good|[Enter]");
  EXPECT_TRUE(idle());
  EXPECT_EQ(window().state(), platform::WindowState::Normal);
  ASSERT_EQ(window().messages().size(), 1u);
  EXPECT_NE(window().messages()[0].find("第 2 条消息无法发送，已停止发送，也不会自动关机"),
            std::string::npos);
  EXPECT_NE(window().messages()[0].find("{%}"), std::string::npos);
  EXPECT_EQ(w->CycleIndex, 1);
  EXPECT_EQ(w->RemainingMs, 900000 - 11000) << "the refused tick is not charged";
  EXPECT_TRUE(w->HotkeyStartsNext);
}

// Items deleted while stopped can leave the cycle position at the list's length: the next tick
// types the first item.
TEST_F(EngineTest, CyclePositionPastAShortenedListWrapsToTheFirstItem) {
  start("a,b,c");
  begin();
  advance(22000);
  stop();
  ASSERT_EQ(w->CycleIndex, 2);
  button(Control::cmdDel).click();
  ASSERT_EQ(w->comContent.listCount(), 2);
  begin();
  advance(11000);
  EXPECT_EQ(typed(sent()), "a|[Enter]|b|[Enter]|a|[Enter]");
}

// While sending the focus rests on 停止; afterwards it goes back to where it was before 开始, or
// to the first control in tab order when nothing had it.
TEST_F(EngineTest, FocusRestsOnStopWhileSendingAndReturnsAfterwards) {
  start("a");
  const auto focusedOn = [this](Control c) { return window().focused() == &tk.buttonOf(c); };
  window().focus(tk.buttonOf(Control::cmdBegin));  // the user clicks 开始
  begin();
  EXPECT_TRUE(focusedOn(Control::cmdStop));
  w->cmdBegin_Click();  // F12 during the run: the focus stays
  stop();
  EXPECT_TRUE(focusedOn(Control::cmdBegin));
  stop();  // while idle nothing moves
  EXPECT_TRUE(focusedOn(Control::cmdBegin));

  window().focus(tk.comboOf(Control::comInterval));
  screen(Control::comTotalTime).paste("1");
  begin();
  EXPECT_TRUE(focusedOn(Control::cmdStop));
  advance(120000);  // the budget ends the run
  EXPECT_TRUE(window().focused() == &tk.comboOf(Control::comInterval));
}

// The taskbar button shows how much of the run's starting budget is used up, at every tick; it
// is cleared when the run stops, and shows the error while the box of a run stopped on a
// message it cannot type is open.
TEST_F(EngineTest, TheTaskbarButtonShowsTheRunsProgress) {
  using State = platform::Progress::State;
  start("good,%满");
  setDuration("1");
  setInterval("15");
  auto& layout = tk.fakeSystem().layout;
  layout = [](char32_t) { return engine::LayoutKey{'M', 0}; };
  begin();
  advance(15000);
  layout = [](char32_t ch) {
    return ch < 0x80 ? std::optional(engine::LayoutKey{'M', 0}) : std::nullopt;
  };
  std::vector<platform::Progress> duringBox;
  window().whileModal = [&] { duringBox = window().progress(); };
  advance(15000);
  EXPECT_EQ(window().progress(),
            (std::vector<platform::Progress>{
                {State::Running, 0}, {State::Running, 0.25}, {}, {State::Error, 0.25}, {}}));
  ASSERT_FALSE(duringBox.empty());
  EXPECT_EQ(duringBox.back().state, State::Error);

  // The next run's whole is the budget it starts with: 45 s are left.
  layout = [](char32_t) { return engine::LayoutKey{'M', 0}; };
  begin();
  advance(15000);
  EXPECT_EQ(window().progress().back().state, State::Running);
  EXPECT_DOUBLE_EQ(window().progress().back().done, 1.0 / 3);
}

// Brought back to the front during a run, Vorelo would type into itself: the tick types
// nothing and keeps its place in the cycle, but the time is charged.
TEST_F(EngineTest, ATickWithVoreloInFrontTypesNothing) {
  start("a,b");
  begin();
  window().userActivate();
  advance(11000);
  EXPECT_TRUE(sent().empty());
  EXPECT_EQ(w->CycleIndex, 0);
  EXPECT_EQ(w->RemainingMs, 900000 - 11000);
  window().userSetState(platform::WindowState::Minimized);
  advance(11000);
  EXPECT_EQ(typed(sent()), "a|[Enter]");
}

TEST_F(EngineTest, KeyStringsAreInterpretedNotTypedLiterally) {
  start("+(ab){+}~x");
  begin();
  advance(11000);
  ASSERT_FALSE(sent().empty());
  const auto& keys = sent()[0];
  EXPECT_EQ(keys.front(), KeyAction::down(Key::Shift));
  EXPECT_EQ(typed(sent()), "ab+[Enter]x|[Enter]");
}

// --- Key events handed to the system ---

std::optional<engine::LayoutKey> usLayout(char32_t ch) {
  if (ch >= U'a' && ch <= U'z')
    return engine::LayoutKey{static_cast<uint16_t>('A' + (ch - U'a')), 0};
  if (ch == U'+') return engine::LayoutKey{0xBB, 1};  // Shift and the = key
  return std::nullopt;
}

TEST(KeyEvents, TextGoesAsUnicodePacketsAndEmojiAsSurrogatePairs) {
  const auto keys = engine::parseKeyString("你😀");
  const auto events = engine::planKeyEvents(keys.actions, usLayout);
  const std::vector<uint16_t> units{0x4F60, 0x4F60, 0xD83D, 0xD83D, 0xDE00, 0xDE00};
  ASSERT_EQ(events.size(), units.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    EXPECT_TRUE(events[i].unicode);
    EXPECT_EQ(events[i].unit, units[i]);
    EXPECT_EQ(events[i].up, i % 2 == 1);
  }
}

TEST(KeyEvents, ModifiedCharactersUseTheLayoutAndItsExtraModifiers) {
  using E = engine::KeyEvent;
  auto plan = [](std::string_view s) {
    return engine::planKeyEvents(engine::parseKeyString(s).actions, usLayout);
  };
  EXPECT_EQ(plan("^a"), (std::vector<E>{{0x11}, {'A'}, {'A', 0, true}, {0x11, 0, true}}));
  // '+' needs Shift on this layout, pressed only around its own key.
  EXPECT_EQ(
      plan("^{+}"),
      (std::vector<E>{{0x11}, {0x10}, {0xBB}, {0xBB, 0, true}, {0x10, 0, true}, {0x11, 0, true}}));
  // A modifier of the notation counts as held only over its own key or group: after +{+} the
  // '+' of ^{+} needs its Shift again.
  EXPECT_EQ(plan("+{+}^{+}"), (std::vector<E>{{0x10},
                                              {0xBB},
                                              {0xBB, 0, true},
                                              {0x10, 0, true},
                                              {0x11},
                                              {0x10},
                                              {0xBB},
                                              {0xBB, 0, true},
                                              {0x10, 0, true},
                                              {0x11, 0, true}}));
  // Shift held by the notation stays down over a character that needs Shift itself.
  EXPECT_EQ(
      plan("+({+}{+})"),
      (std::vector<E>{{0x10}, {0xBB}, {0xBB, 0, true}, {0xBB}, {0xBB, 0, true}, {0x10, 0, true}}));
  // A layout without Latin letters still gets ^a to ^z from the Latin keys, and ^C adds Shift; a
  // character no key makes is typed as it is.
  const auto noLatin = [](char32_t) { return std::optional<engine::LayoutKey>(); };
  for (const char* shortcut : {"^a", "^c", "^z"}) {
    const engine::ParseResult keys = engine::readMessage(shortcut, noLatin);
    ASSERT_TRUE(keys.ok()) << shortcut;
    EXPECT_EQ(engine::planKeyEvents(keys.actions, noLatin)[1],
              (E{static_cast<uint16_t>(shortcut[1] - 'a' + 'A')}))
        << shortcut;
  }
  const auto upper = engine::planKeyEvents(engine::parseKeyString("^C").actions, noLatin);
  EXPECT_EQ(upper, (std::vector<E>{
                       {0x11}, {0x10}, {'C'}, {'C', 0, true}, {0x10, 0, true}, {0x11, 0, true}}));
  const auto chinese = engine::planKeyEvents(engine::parseKeyString("^你").actions, noLatin);
  EXPECT_TRUE(chinese[1].unicode);
  // Named keys under Shift go with Shift.
  for (const char* key : {"+{TAB}", "+~", "+{DEL}"}) {
    const auto events = plan(key);
    ASSERT_EQ(events.size(), 4u) << key;
    EXPECT_EQ(events.front(), (E{0x10})) << key;
    EXPECT_EQ(events.back(), (E{0x10, 0, true})) << key;
  }
  // Named keys map to their virtual keys, no two to the same; the navigation block carries the
  // extended flag.
  std::set<uint16_t> keys;
  for (int k = 0; k <= static_cast<int>(Key::Divide); ++k) {
    EXPECT_TRUE(keys.insert(engine::virtualKey(static_cast<Key>(k))).second) << k;
  }
  EXPECT_EQ(plan("{LEFT}")[0].vk, 0x25);
  for (const char* key : {"{INS}", "{DEL}", "{HOME}", "{END}", "{PGUP}", "{PGDN}", "{LEFT}",
                          "{RIGHT}", "{UP}", "{DOWN}"}) {
    EXPECT_TRUE(engine::isExtendedKey(plan(key)[0].vk)) << key;
  }
  EXPECT_FALSE(engine::isExtendedKey(0x0D));
  EXPECT_EQ(plan("{F16}")[0].vk, 0x7F);
}

TEST(KeyEvents, HeldModifiersAreReleasedForTheBatchAndEverythingPressedIsReleased) {
  using E = engine::KeyEvent;
  namespace vk = engine::vk;
  const auto a = engine::parseKeyString("a").actions;
  const std::vector<uint16_t> ctrl{vk::LControl};
  EXPECT_EQ(engine::planKeyEvents(a, usLayout, {ctrl}),
            (std::vector<E>{{vk::LControl, 0, true}, {0, 'a', false, true}, {0, 'a', true, true}}));
  EXPECT_EQ(engine::pressBackEvents(ctrl), (std::vector<E>{{vk::LControl}}));
  // A held Alt or Win is never let go or pressed again on its own: the mask key 0xE8, which no
  // keyboard has, goes between, so no menu bar or Start menu opens.
  for (const uint16_t key : {vk::LMenu, vk::LWin, vk::RWin}) {
    const std::vector<uint16_t> held{key};
    EXPECT_EQ(
        engine::planKeyEvents(a, usLayout, {held}),
        (std::vector<E>{
            {0xE8}, {0xE8, 0, true}, {key, 0, true}, {0, 'a', false, true}, {0, 'a', true, true}}));
    EXPECT_EQ(engine::pressBackEvents(held), (std::vector<E>{{key}, {0xE8}, {0xE8, 0, true}}));
  }

  // The system took only part of a batch: the keys that part pressed are let go, last first.
  const auto batch = engine::planKeyEvents(engine::parseKeyString("^+a").actions, usLayout);
  const auto undo = engine::releaseAfterPartial(batch, 3);  // Ctrl, Shift and A went down
  ASSERT_EQ(undo.size(), 3u);
  EXPECT_EQ(undo[0].vk, 'A');
  EXPECT_EQ(undo[1].vk, 0x10);
  EXPECT_EQ(undo[2].vk, 0x11);
  for (const auto& e : undo) EXPECT_TRUE(e.up);
  EXPECT_TRUE(engine::releaseAfterPartial(batch, batch.size()).empty());
  const auto text = engine::planKeyEvents(engine::parseKeyString("xy").actions, usLayout);
  EXPECT_EQ(engine::releaseAfterPartial(text, 1).size(), 1u) << "a packet without its key-up";
}

// A letter under Shift alone is typed as the capital letter, so CapsLock in the chat cannot make
// it small, and Shift is pressed only for the keys under it that need it: the chat never sees
// it go up and down between the letters of a group. Shortcuts are pressed as written.
TEST(KeyEvents, LettersUnderShiftAreTypedAsCapitals) {
  using E = engine::KeyEvent;
  auto plan = [](std::string_view s) {
    return engine::planKeyEvents(engine::parseKeyString(s).actions, usLayout);
  };
  EXPECT_EQ(plan("+(aB)"), plan("AB"));
  EXPECT_EQ(plan("+(a{+})"), (std::vector<E>{{0, 'A', false, true},
                                             {0, 'A', true, true},
                                             {0x10},
                                             {0xBB},
                                             {0xBB, 0, true},
                                             {0x10, 0, true}}));
  EXPECT_EQ(
      plan("^+s"),
      (std::vector<E>{{0x11}, {0x10}, {'S'}, {'S', 0, true}, {0x10, 0, true}, {0x11, 0, true}}));
  // Every letter with a capital, whatever the layout has: also one it lacks (é on a US layout).
  EXPECT_EQ(plan("+(дéД)"), plan("ДÉД"));
  EXPECT_TRUE(engine::readMessage("+é", usLayout).ok());
  // Other characters under Shift go as Shift and their key; without one the message is refused.
  const auto german = [](char32_t ch) {
    return ch == U'ß' ? std::optional(engine::LayoutKey{0xDB, 0}) : std::nullopt;
  };
  EXPECT_EQ(engine::planKeyEvents(engine::parseKeyString("+ß").actions, german),
            (std::vector<E>{{0x10}, {0xDB}, {0xDB, 0, true}, {0x10, 0, true}}));
  EXPECT_FALSE(engine::readMessage("+1", german).ok());
}

// The keys the user holds are those the watch saw go down and not up, Vorelo's own events left
// out.
TEST(KeyWatch, FollowsTheUserAndTellsVoreloItsOwnKeysArrived) {
  namespace vk = engine::vk;
  const uint32_t own = engine::ownKeyMark(7, false);
  const uint32_t ownLast = engine::ownKeyMark(7, true);
  engine::KeyWatch watch;
  watch.observe({vk::LShift, false});
  watch.observe({vk::RMenu, false});
  watch.observe({vk::LShift, true, own});  // Vorelo lets go of it for a batch
  EXPECT_EQ(watch.heldModifiers(), (std::vector<uint16_t>{vk::LShift, vk::RMenu}));
  watch.observe({vk::RMenu, true});  // the user lets go before the batch has arrived
  EXPECT_EQ(watch.observe({vk::Return, true, ownLast}).batchArrived, std::optional<uint16_t>(7));
  EXPECT_EQ(watch.heldModifiers(), (std::vector<uint16_t>{vk::LShift}));

  // F12: once per press, never for Vorelo's own.
  EXPECT_FALSE(watch.observe({vk::F12, false, own}).hotkeyPressed);
  EXPECT_TRUE(watch.observe({vk::F12, false}).hotkeyPressed);
  EXPECT_FALSE(watch.observe({vk::F12, false}).hotkeyPressed);
  watch.observe({vk::F12, true});
  EXPECT_TRUE(watch.observe({vk::F12, false, 0, 1000}).hotkeyPressed);
  // Its release was never reported (the lock screen was up): repeats come close together, the
  // next press much later.
  EXPECT_FALSE(watch.observe({vk::F12, false, 0, 1500}).hotkeyPressed);
  EXPECT_TRUE(watch.observe({vk::F12, false, 0, 4000}).hotkeyPressed);
  // Keys the system says are up are forgotten.
  watch.forgetReleased([](uint16_t key) { return key != vk::F12; });
  EXPECT_FALSE(watch.held(vk::F12));
  EXPECT_TRUE(watch.held(vk::LShift));
}

}  // namespace
}  // namespace vorelo::testing
