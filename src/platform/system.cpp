#include "platform/system.h"

#include <algorithm>
#include <vector>

namespace vorelo::platform {

Delivery System::sendKeys(std::span<const engine::KeyAction> actions) {
  if (actions.empty()) return {};
  // Keys typed into the desktop select its icons, and the Enter after them opens one; a window
  // running as administrator (or the lock screen) drops them, and the system may not even say
  // so: nothing is typed into either.
  const KeyTarget target = keyTarget();
  if (!target.chat) return {Delivery::Outcome::NoChat, {}};
  if (target.higherLevel) return {Delivery::Outcome::Blocked, captionOf(target.window)};

  const engine::KeyboardState keyboard = keyboardState();
  const std::vector<engine::KeyEvent> events =
      engine::planKeyEvents(actions, keyLayout(), keyboard);
  const std::size_t taken = inject(events);
  if (taken == 0) return {Delivery::Outcome::Refused, captionOf(target.window)};
  // Refused part way: every key the part that went pressed is let go.
  const bool whole = taken == events.size();
  if (!whole) inject(engine::releaseAfterPartial(events, taken));
  // What the system took ran from the start, where the held modifiers were let go.
  pressBack(keyboard.held);
  if (whole) return {};
  return {Delivery::Outcome::Refused, captionOf(target.window)};
}

bool System::observeKey(const engine::ObservedKey& key) {
  if (!watch_) return false;
  const engine::KeyWatch::Seen seen = watch_->observe(key);
  if (seen.batchArrived == batch_ && !pressBackPending_.empty()) pressBackNow();
  return seen.hotkeyPressed;
}

void System::setFilterKeys(const engine::FilterKeys& keys) {
  longestRepeatGapMs_ = engine::longestRepeatGapMs(keys);
  if (watch_) watch_->setLongestRepeatGap(longestRepeatGapMs_);
}

engine::KeyboardState System::keyboardState() {
  const auto down = [this](uint16_t key) { return (asyncKeyState(key) & 0x8000) != 0; };
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

std::size_t System::inject(std::span<const engine::KeyEvent> events) {
  if (events.empty()) return 0;
  batch_ = static_cast<uint16_t>((batch_ + 1) & engine::kBatchNumberMask);
  return injectKeys(events, batch_);
}

void System::pressBack(std::span<const uint16_t> held) {
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

void System::pressBackNow() {
  schedulePressBack(false);
  std::vector<uint16_t> keys;
  for (const uint16_t key : pressBackPending_) {
    if (watch_->held(key)) keys.push_back(key);
  }
  pressBackPending_.clear();
  if (!keys.empty()) inject(engine::pressBackEvents(keys));
}

void System::pressBackOverdue() {
  if (watch_ && !pressBackPending_.empty()) pressBackNow();
}

bool System::waitsForPressBack(uint16_t key) const {
  return std::find(pressBackPending_.begin(), pressBackPending_.end(), key) !=
         pressBackPending_.end();
}

}  // namespace vorelo::platform
