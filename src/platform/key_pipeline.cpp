#include "platform/key_pipeline.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace vorelo::platform {

KeyPipeline::KeyPipeline(System& system, TimerBackend& pressBackTimer, TimerBackend& verdictTimer)
    : system_(system), pressBackTimer_(pressBackTimer), verdictTimer_(verdictTimer) {
  pressBackTimer_.onTimer = [this] { pressBackOverdue(); };
  pressBackTimer_.setInterval(kPressBackWaitMs);
  verdictTimer_.onTimer = [this] { giveVerdict(false); };
  verdictTimer_.setInterval(kArrivalWaitMs);
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
  using Outcome = Delivery::Outcome;
  const auto toTarget = [&](Outcome outcome) {
    return Delivery{outcome, WindowKind::Chat, system_.captionOf(target.window)};
  };
  if (!target.chat()) return {Outcome::NoChat, target.kind, {}};
  if (target.level == Level::Higher) return toTarget(Outcome::Blocked);
  // Where the level cannot be read (another account's program, a protected one), SendInput's
  // count is no proof: the system drops keys for a window of a higher level and says nothing.
  // Only keys seen to arrive count, and without the watch none can be seen.
  const bool unknownLevel = target.level == Level::Unknown;
  if (unknownLevel && !watch_) return toTarget(Outcome::Unverifiable);

  const engine::KeyboardState keyboard = keyboardState();
  const std::vector<engine::KeyEvent> events =
      engine::planKeyEvents(actions, system_.layoutOf(target.window), keyboard);
  const std::size_t taken = inject(events);
  if (taken == 0) return toTarget(Outcome::Refused);
  // Refused part way: every key the part that went pressed is let go.
  const bool whole = taken == events.size();
  if (!whole) inject(engine::releaseAfterPartial(events, taken));
  // What the system took ran from the start, where the held modifiers were let go.
  pressBack(keyboard.held);
  if (!whole) return toTarget(Outcome::Refused);
  if (!unknownLevel) return {};
  awaited_ = batch_;
  awaitedWindow_ = system_.captionOf(target.window);
  waitForArrival();
  return toTarget(Outcome::Pending);
}

void KeyPipeline::waitForArrival() {
  // A second from now, or from the last key of Vorelo's that arrived.
  verdictTimer_.setEnabled(false);
  verdictTimer_.setEnabled(true);
}

void KeyPipeline::giveVerdict(bool arrived) {
  verdictTimer_.setEnabled(false);
  awaited_.reset();
  const Delivery verdict =
      arrived ? Delivery{} : Delivery{Delivery::Outcome::Refused, WindowKind::Chat, awaitedWindow_};
  if (onVerdict) onVerdict(verdict);
}

bool KeyPipeline::observeKey(const engine::ObservedKey& key) {
  if (!watch_) return false;
  const engine::KeyWatch::Seen seen = watch_->observe(key);
  const bool own = engine::isOwnKey(key.mark);
  if (awaited_) {
    // Every key of Vorelo's own that arrives is progress: a long message, or a slow input
    // method, takes seconds. The last event of the awaited batch (its Enter, a virtual key) is the
    // proof.
    if (seen.batchArrived == awaited_) {
      giveVerdict(true);
    } else if (own) {
      waitForArrival();
    }
  }
  if (seen.batchArrived == batch_ && !pressBackPending_.empty()) pressBackNow();
  if (seen.batchArrived == pressBackBatch_) pressedBack_.clear();
  // The user let go of a key while Vorelo's press-back of it was on its way: in the input stream
  // the release comes first, so the key would stay down. It is let go once more.
  if (key.up && !own && std::erase(pressedBack_, key.vk) > 0) {
    const uint16_t released[] = {key.vk};
    inject(engine::letGoEvents(released));
  }
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
  if (keys.empty()) return;
  inject(engine::pressBackEvents(keys));
  pressedBack_ = keys;
  pressBackBatch_ = batch_;
}

void KeyPipeline::pressBackOverdue() {
  if (watch_ && !pressBackPending_.empty()) pressBackNow();
}

bool KeyPipeline::waitsForPressBack(uint16_t key) const {
  return std::find(pressBackPending_.begin(), pressBackPending_.end(), key) !=
         pressBackPending_.end();
}

}  // namespace vorelo::platform
