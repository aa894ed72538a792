#include "platform/key_pipeline.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace vorelo::platform {

KeyPipeline::KeyPipeline(System& system, TimerBackend& pressBackTimer)
    : system_(system), pressBackTimer_(pressBackTimer) {
  pressBackTimer_.onTimer = [this] { pressBackOverdue(); };
  pressBackTimer_.setInterval(kPressBackWaitMs);
}

void KeyPipeline::schedulePressBack(bool on) {
  // A new batch waits the whole time again.
  pressBackTimer_.setEnabled(false);
  pressBackTimer_.setEnabled(on);
}

Delivery KeyPipeline::send(std::span<const engine::KeyAction> actions, const Front& target) {
  if (actions.empty()) return {};
  // Keys typed anywhere but a chat do harm: on the desktop they select icons and the Enter after
  // them opens one; in a prompt the Enter answers it, in a menu the letters choose its items. A
  // window running as administrator (or the lock screen) drops them, and the system may not even
  // say so. Nothing is typed into any of these.
  if (!target.chat()) return {Delivery::Outcome::NoChat, target.kind, {}};
  if (target.level == Level::Higher) {
    return {Delivery::Outcome::Blocked, WindowKind::Chat, system_.captionOf(target.window)};
  }

  const engine::KeyboardState keyboard = keyboardState();
  const std::vector<engine::KeyEvent> events =
      engine::planKeyEvents(actions, system_.layoutOf(target.window), keyboard);
  const std::size_t taken = inject(events);
  if (taken == 0)
    return {Delivery::Outcome::Refused, WindowKind::Chat, system_.captionOf(target.window)};
  // Refused part way: every key the part that went pressed is let go.
  const bool whole = taken == events.size();
  if (!whole) inject(engine::releaseAfterPartial(events, taken));
  // What the system took ran from the start, where the held modifiers were let go.
  pressBack(keyboard.held);
  if (whole) return {};
  return {Delivery::Outcome::Refused, WindowKind::Chat, system_.captionOf(target.window)};
}

bool KeyPipeline::observeKey(const engine::ObservedKey& key) {
  if (!watch_) return false;
  const engine::KeyWatch::Seen seen = watch_->observe(key);
  if (seen.batchArrived == batch_ && !pressBackPending_.empty()) pressBackNow();
  return seen.hotkeyPressed;
}

void KeyPipeline::setFilterKeys(const engine::FilterKeys& keys) {
  longestRepeatGapMs_ = engine::longestRepeatGapMs(keys);
  if (watch_) watch_->setLongestRepeatGap(longestRepeatGapMs_);
}

engine::KeyboardState KeyPipeline::keyboardState() {
  const auto down = [this](uint16_t key) { return (system_.asyncKeyState(key) & 0x8000) != 0; };
  engine::KeyboardState state;
  if (!watch_) {
    std::copy_if(engine::kModifierKeys.begin(), engine::kModifierKeys.end(),
                 std::back_inserter(state.held), down);
    return state;
  }
  // A key the watch holds and the system says is up was let go where the watch could not see
  // it: it is forgotten, and neither let go nor pressed back. A key Vorelo itself let go and has
  // not pressed back yet is up in the system's state by Vorelo's hand; the watch alone knows.
  watch_->forgetReleased([&](uint16_t key) { return waitsForPressBack(key) || down(key); });
  state.held = watch_->heldModifiers();
  return state;
}

std::size_t KeyPipeline::inject(std::span<const engine::KeyEvent> events) {
  if (events.empty()) return 0;
  batch_ = static_cast<uint16_t>((batch_ + 1) & engine::kBatchNumberMask);
  return system_.injectKeys(events, batch_);
}

void KeyPipeline::pressBack(std::span<const uint16_t> held) {
  if (held.empty()) return;
  if (!watch_) {
    inject(engine::pressBackEvents(held));
    return;
  }
  // Pressed once the batch has arrived, and only the keys the user still holds then: a key let
  // go while the batch was on its way would otherwise stay down.
  for (const uint16_t key : held) {
    if (!waitsForPressBack(key)) pressBackPending_.push_back(key);
  }
  schedulePressBack(true);
}

void KeyPipeline::pressBackNow() {
  schedulePressBack(false);
  std::vector<uint16_t> keys;
  for (const uint16_t key : pressBackPending_) {
    if (watch_->held(key)) keys.push_back(key);
  }
  pressBackPending_.clear();
  if (!keys.empty()) inject(engine::pressBackEvents(keys));
}

void KeyPipeline::pressBackOverdue() {
  if (watch_ && !pressBackPending_.empty()) pressBackNow();
}

bool KeyPipeline::waitsForPressBack(uint16_t key) const {
  return std::find(pressBackPending_.begin(), pressBackPending_.end(), key) !=
         pressBackPending_.end();
}

}  // namespace vorelo::platform
