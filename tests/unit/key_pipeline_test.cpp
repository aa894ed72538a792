// The key pipeline on the in-memory operating system: where it types nothing, what a refused
// batch leaves pressed, and the modifiers the user holds, let go for a message and pressed back.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/key_events.h"
#include "engine/key_watch.h"
#include "platform/key_pipeline.h"
#include "support/fake_toolkit.h"

namespace vorelo::testing {
namespace {

namespace vk = engine::vk;
using engine::KeyAction;
using E = engine::KeyEvent;
using platform::Delivery;

class KeyPipelineTest : public ::testing::Test {
 protected:
  std::vector<KeyAction> message(const char* text) { return engine::parseKeyString(text).actions; }
  // The chat in front, as Chats judges it.
  platform::Front chat(platform::Level level = platform::Level::NotHigher) {
    return {fake::FakeSystem::kChat, platform::WindowKind::Chat, level};
  }
  long pressed(uint16_t key) const {
    return std::count(sys.injected.begin(), sys.injected.end(), E{key});
  }

  fake::FakeSystem sys;
  fake::Clock clock;
  fake::FakeTimer pressBackTimer{clock};
  fake::FakeTimer verdictTimer{clock};
  platform::KeyPipeline keys{sys, pressBackTimer, verdictTimer};
};

// No chat in front, or one run as administrator: nothing at all goes into the input stream.
TEST_F(KeyPipelineTest, TypesNothingWhereNoChatIsOrTheSystemDropsTheKeys) {
  sys.caption = "微信";
  const Delivery none = keys.send(message("a"), {0, platform::WindowKind::Prompt});
  EXPECT_EQ(none.outcome, Delivery::Outcome::NoChat);
  EXPECT_EQ(none.kind, platform::WindowKind::Prompt);
  const Delivery admin = keys.send(message("a"), chat(platform::Level::Higher));
  EXPECT_EQ(admin.outcome, Delivery::Outcome::Blocked);
  EXPECT_EQ(admin.window, "微信");
  EXPECT_TRUE(sys.injected.empty());
  EXPECT_TRUE(keys.send(message("a"), chat()).sent());
}

// The system takes none or part of a batch: every key the part that went pressed is let go.
TEST_F(KeyPipelineTest, ARefusedBatchReleasesWhatItPressed) {
  sys.acceptEvents = 0;
  EXPECT_EQ(keys.send(message("a"), chat()).outcome, Delivery::Outcome::Refused);
  sys.acceptEvents = 2;
  EXPECT_EQ(keys.send(message("^b"), chat()).outcome, Delivery::Outcome::Refused);
  std::vector<uint16_t> down;
  for (const E& e : sys.injected) {
    if (!e.unicode && e.up) std::erase(down, e.vk);
    if (!e.unicode && !e.up) down.push_back(e.vk);
  }
  EXPECT_EQ(sys.injected.size(), 4u) << "Ctrl and B went down and were let go";
  EXPECT_TRUE(down.empty());
}

// A modifier the watch saw go down and the system says is up was let go out of sight (on the
// lock screen, in a window run as administrator, or by another program's keys): it is neither
// let go for a message nor pressed back after it. Those still held (the right Win key among
// them) are let go before the message and pressed back once the batch has arrived.
TEST_F(KeyPipelineTest, HeldModifiersArePressedBackOnceTheBatchHasArrived) {
  keys.watchKeys();
  for (const uint16_t key : {vk::LControl, vk::LShift, vk::RWin}) keys.observeKey({key, false});
  sys.keysDown = {vk::LShift, vk::RWin};
  ASSERT_TRUE(keys.send(message("a"), chat()).sent());
  const auto firstText =
      std::find_if(sys.injected.begin(), sys.injected.end(), [](const E& e) { return e.unicode; });
  ASSERT_NE(firstText, sys.injected.end());
  EXPECT_EQ(std::vector<E>(sys.injected.begin(), firstText),
            (std::vector<E>{
                {vk::Mask}, {vk::Mask, 0, true}, {vk::LShift, 0, true}, {vk::RWin, 0, true}}));
  EXPECT_EQ(pressed(vk::LShift), 0) << "not before the batch has arrived";
  EXPECT_TRUE(pressBackTimer.running());
  keys.observeKey({vk::Return, true, engine::ownKeyMark(sys.lastBatch, true)});
  EXPECT_EQ(pressed(vk::LShift), 1);
  EXPECT_EQ(pressed(vk::RWin), 1);
  for (const E& e : sys.injected) EXPECT_NE(e.vk, vk::LControl);
  EXPECT_FALSE(pressBackTimer.running());

  // A batch whose arrival is never reported: once it is overdue, only the keys the user still
  // holds go down again.
  sys.injected.clear();
  ASSERT_TRUE(keys.send(message("b"), chat()).sent());
  keys.observeKey({vk::RWin, true});
  clock.advance(platform::KeyPipeline::kPressBackWaitMs - 1);
  EXPECT_EQ(pressed(vk::LShift), 0);
  clock.advance(1);
  EXPECT_EQ(pressed(vk::LShift), 1);
  EXPECT_EQ(pressed(vk::RWin), 0) << "let go while the batch was on its way";
  EXPECT_FALSE(pressBackTimer.running());
}

// Where the system reports no key events, the held modifiers come from its key state and are
// pressed back right after the batch, in a batch of their own.
TEST_F(KeyPipelineTest, WithoutTheWatchTheKeyStateDecidesAndKeysGoBackAtOnce) {
  sys.keysDown = {vk::RControl};
  ASSERT_TRUE(keys.send(message("a"), chat()).sent());
  EXPECT_EQ(sys.injected.front(), (E{vk::RControl, 0, true}));
  EXPECT_EQ(sys.injected.back(), E{vk::RControl});
  EXPECT_FALSE(pressBackTimer.running());
}

// With FilterKeys on, a held key repeats only after the user's delay (up to 20 s) and then at the
// user's rate: a held F12 still counts once. The setting is followed as it changes, also when it
// was read before the watch started; with BounceKeys the keyboard's own repeat applies.
TEST_F(KeyPipelineTest, FilterKeysSpacesTheRepeatsOfAHeldF12) {
  keys.setFilterKeys({true, 0, 20000, 2000, 0});
  keys.watchKeys();
  uint32_t now = 0;
  const auto f12After = [&](uint32_t ms) {
    now += ms;
    return keys.observeKey({engine::vk::F12, false, 0, now});
  };
  EXPECT_TRUE(f12After(0));
  EXPECT_FALSE(f12After(20000));
  EXPECT_FALSE(f12After(2000));
  EXPECT_TRUE(f12After(30000)) << "its release was not seen";
  keys.setFilterKeys({true, 0, 0, 0, 500});
  EXPECT_TRUE(f12After(2000));
  keys.setFilterKeys({true, 0, 2000, 2000, 0});
  EXPECT_FALSE(f12After(2000));
  keys.setFilterKeys({false, 0, 2000, 2000, 0});
  EXPECT_TRUE(f12After(2000));
}

// The user lets go of a held key just as Vorelo presses it back: their release, queued before the
// press-back, is seen after Vorelo injected it and before it arrived, and the key is let go once
// more (Alt with the mask key, so no menu opens). A release seen after the press-back arrived
// comes after it in the input stream too, and needs nothing.
TEST_F(KeyPipelineTest, AKeyLetGoWhileItsPressBackIsOnItsWayIsLetGoAgain) {
  keys.watchKeys();
  for (const uint16_t key : {vk::LControl, vk::RMenu}) keys.observeKey({key, false});
  sys.keysDown = {vk::LControl, vk::RMenu};
  ASSERT_TRUE(keys.send(message("a"), chat()).sent());
  sys.deliver(keys, 0);
  const std::size_t afterPressBack = sys.injected.size();
  ASSERT_EQ(pressed(vk::LControl), 1) << "pressed back once the message arrived";
  keys.observeKey({vk::LControl, true});
  keys.observeKey({vk::RMenu, true});
  EXPECT_EQ(
      std::vector<E>(sys.injected.begin() + static_cast<long>(afterPressBack), sys.injected.end()),
      (std::vector<E>{
          {vk::LControl, 0, true}, {vk::Mask}, {vk::Mask, 0, true}, {vk::RMenu, 0, true}}));

  for (const uint16_t key : {vk::LControl, vk::RMenu}) keys.observeKey({key, false});
  ASSERT_TRUE(keys.send(message("b"), chat()).sent());
  const std::size_t second = sys.injected.size();
  sys.deliver(keys, 0, second);
  sys.deliver(keys, second);  // the press-back arrives
  const std::size_t arrived = sys.injected.size();
  keys.observeKey({vk::LControl, true});
  EXPECT_EQ(sys.injected.size(), arrived);
}

// Where the window's level cannot be read, the system's count is no proof: the keys count as sent
// once their Enter is seen to arrive, and as refused when a second passes with none of them
// arriving, however long the message takes as long as its keys keep coming. Without the watch
// nothing is typed there at all.
TEST_F(KeyPipelineTest, KeysToAWindowOfUnknownLevelCountOnceSeenToArrive) {
  std::vector<Delivery> verdicts;
  keys.onVerdict = [&](const Delivery& d) { verdicts.push_back(d); };
  sys.caption = "另一个账户的聊天";
  const auto unknown = chat(platform::Level::Unknown);
  EXPECT_EQ(keys.send(message("a"), unknown).outcome, Delivery::Outcome::Unverifiable);
  EXPECT_TRUE(sys.injected.empty());

  keys.watchKeys();
  EXPECT_EQ(keys.send(message("ab"), unknown).outcome, Delivery::Outcome::Pending);
  EXPECT_EQ(keys.send(message("{ENTER}"), unknown).outcome, Delivery::Outcome::Pending);
  EXPECT_TRUE(keys.verdictPending());
  const std::size_t all = sys.injected.size();
  for (std::size_t i = 0; i < all; ++i) {
    clock.advance(platform::KeyPipeline::kArrivalWaitMs - 1);
    ASSERT_TRUE(verdicts.empty()) << "timed out while keys were still coming";
    sys.deliver(keys, i, i + 1);
  }
  ASSERT_EQ(verdicts.size(), 1u);
  EXPECT_TRUE(verdicts[0].sent());
  EXPECT_FALSE(keys.verdictPending());

  ASSERT_EQ(keys.send(message("c~"), unknown).outcome, Delivery::Outcome::Pending);
  sys.deliver(keys, all, all + 2);  // the character, not the Enter
  clock.advance(platform::KeyPipeline::kArrivalWaitMs);
  ASSERT_EQ(verdicts.size(), 2u);
  EXPECT_EQ(verdicts[1].outcome, Delivery::Outcome::Refused);
  EXPECT_EQ(verdicts[1].window, "另一个账户的聊天");
  EXPECT_FALSE(keys.verdictPending());
}

}  // namespace
}  // namespace vorelo::testing
