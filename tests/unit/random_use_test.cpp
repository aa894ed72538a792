// Tens of thousands of random user actions on the window, checking after each one that the
// window is still in a state the user can rely on.
#include <random>
#include <string>

#include "settings/number_text.h"
#include "unit/window_fixture.h"

namespace vorelo::testing {
namespace {

using app::Control;

class RandomUse : public WindowTest {
 protected:
  std::mt19937 rng{20261207};

  int below(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

  std::string randomText() {
    static const char* const pieces[] = {
        "0", "1", "2", "5", "9", "30",      "45",   ".", "e",  "x",  " ", "-",   "+", "^", "%",
        "~", "{", "}", "(", ")", "{ENTER}", "你好", "😀", "&H", "\n", "a", "{+}", "[", "]", "\t"};
    std::string text;
    const int n = below(6);
    for (int i = 0; i < n; ++i) text += pieces[below(static_cast<int>(std::size(pieces)))];
    return text;
  }

  void randomAction() {
    auto& sys = tk.fakeSystem();
    switch (below(16)) {
      case 0:
        button(Control::cmdBegin).click();
        break;
      case 1:
        button(Control::cmdStop).click();
        break;
      case 2:
        window().inputAnswers.push_back(below(4) == 0 ? std::string() : randomText());
        button(Control::cmdAdd).click();
        window().inputAnswers.clear();
        break;
      case 3:
        button(Control::cmdDel).click();
        break;
      case 4:
        check(Control::chkCycle).click();
        break;
      case 5:
        check(Control::chkCut).click();
        break;
      case 6:
        check(below(2) ? Control::optSend0 : Control::optSend1).click();
        break;
      case 7: {
        const Control c = std::array{Control::comContent, Control::comInterval,
                                     Control::comTotalTime}[static_cast<std::size_t>(below(3))];
        const int count = static_cast<int>(screen(c).shownItems().size());
        if (count > 0) screen(c).pick(below(count));
        break;
      }
      case 8:
        screen(Control::comInterval).type(randomText());
        break;
      case 9:
        screen(Control::comTotalTime).type(randomText());
        break;
      case 10:
        screen(Control::comInterval).paste(randomText());
        break;
      case 11:
        screen(Control::comContent).type(randomText());
        break;
      case 12:
        // F12: a tap, a hold across polls, or a press seen only by its low bit.
        for (uint16_t s : {uint16_t(0x8001), uint16_t(below(2) ? 0x8000 : 0), uint16_t(0)}) {
          sys.keyStates.push_back(s);
        }
        tk.clock().advance(120);
        break;
      case 13:
        window().userSetState(below(2) ? platform::WindowState::Minimized
                                       : platform::WindowState::Normal);
        break;
      case 14:
        tk.clock().advance(static_cast<uint64_t>(below(30000)));
        break;
      default:
        // Now and then the system takes none or only part of a batch, as on a locked screen.
        sys.acceptEvents = below(8) != 0 ? std::nullopt : std::optional<std::size_t>(below(6));
        break;
    }
  }

  void checkInvariants(int step) {
    SCOPED_TRACE(step);
    const bool sending = w->tmrSend.enabled();
    for (Control c : {Control::comContent, Control::comInterval, Control::comTotalTime}) {
      ASSERT_EQ(screen(c).enabled(), !sending) << app::entry(c).name;
    }
    for (Control c : {Control::chkCycle, Control::optSend0, Control::optSend1}) {
      ASSERT_EQ(check(c).enabled(), !sending) << app::entry(c).name;
    }
    for (Control c : {Control::cmdAdd, Control::cmdDel, Control::cmdBegin}) {
      ASSERT_EQ(button(c).enabled(), !sending) << app::entry(c).name;
    }
    ASSERT_TRUE(button(Control::cmdStop).enabled());
    ASSERT_TRUE(button(Control::cmdExit).enabled());
    ASSERT_TRUE(check(Control::chkCut).enabled());
    ASSERT_EQ(window().icon(), sending ? platform::Icon::Sending : platform::Icon::Idle);
    ASSERT_EQ(tk.timerOf(app::TimerName::tmrSend).running(), sending);
    if (sending) {
      ASSERT_GT(w->comContent.listCount(), 0);
    }

    // The time fields always hold a valid number, and the variables follow them.
    const std::string interval = w->comInterval.text();
    ASSERT_TRUE(settings::readsAsNumber(interval)) << interval;
    ASSERT_GE(settings::numberAtStart(interval), 1.0);
    ASSERT_LE(settings::numberAtStart(interval), 30.0);
    ASSERT_FLOAT_EQ(w->SendIntervalMs,
                    static_cast<float>(settings::numberAtStart(interval) * 1000.0));
    ASSERT_EQ(w->tmrSend.interval(),
              static_cast<uint32_t>(settings::roundHalfEven(w->SendIntervalMs)));
    ASSERT_EQ(screen(Control::comInterval).shownText(), interval);
    const std::string duration = w->comTotalTime.text();
    ASSERT_TRUE(settings::readsAsNumber(duration)) << duration;
    ASSERT_GE(settings::numberAtStart(duration), 1.0);
    ASSERT_LE(settings::numberAtStart(duration), 60.0);

    // The list and its selection agree with the screen.
    const int count = w->comContent.listCount();
    ASSERT_LE(count, 32767);
    ASSERT_GE(w->comContent.listIndex(), -1);
    ASSERT_LT(w->comContent.listIndex(), count);
    ASSERT_EQ(static_cast<int>(screen(Control::comContent).shownItems().size()), count);
    ASSERT_EQ(screen(Control::comContent).shownText(), w->comContent.text());
    ASSERT_GE(w->CycleIndex, 0);
  }
};

TEST_F(RandomUse, FiftyThousandActionsKeepTheWindowConsistent) {
  start("a,b,{ENTER},你好😀,\"x,y\"");
  int runs = 0;
  int typed = 0;
  for (int step = 0; step < 50000; ++step) {
    const bool wasSending = w->tmrSend.enabled();
    randomAction();
    checkInvariants(step);
    if (::testing::Test::HasFatalFailure()) return;
    runs += !wasSending && w->tmrSend.enabled();
    // Every batch sent is a complete message or a submit key: presses and releases balance.
    for (const auto& batch : tk.fakeSystem().sent) {
      int held = 0;
      for (const auto& a : batch) {
        held += a.kind == engine::KeyAction::Kind::Down;
        held -= a.kind == engine::KeyAction::Kind::Up;
        ASSERT_GE(held, 0);
      }
      ASSERT_EQ(held, 0);
      ++typed;
    }
    tk.fakeSystem().sent.clear();
    // Whatever the system took, no key is left down, also after a batch it refused part way.
    std::vector<uint16_t> down;
    for (const engine::KeyEvent& e : tk.fakeSystem().injected) {
      if (e.unicode) continue;
      if (e.up) std::erase(down, e.vk);
      if (!e.up) down.push_back(e.vk);
    }
    ASSERT_TRUE(down.empty()) << "key " << down.front() << " stays down";
    tk.fakeSystem().injected.clear();
  }
  // The walk really exercised the engine.
  EXPECT_GT(runs, 100);
  EXPECT_GT(typed, 1000);
  EXPECT_FALSE(window().ended());
}

}  // namespace
}  // namespace vorelo::testing
