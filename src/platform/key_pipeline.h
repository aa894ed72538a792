// How a message reaches the chat as keys: the held modifiers let go, the keys planned and put
// into the input stream, what a refused batch left pressed released, and the held modifiers
// pressed back once the batch has arrived, reconciled with the system's own key state. The
// operating system only injects and answers (System); the rules are here, where tests run them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/key_events.h"
#include "engine/key_string.h"
#include "engine/key_watch.h"
#include "platform/backend.h"
#include "platform/chats.h"
#include "platform/controls.h"
#include "platform/system.h"

namespace vorelo::platform {

// How a batch of keystrokes went.
struct Delivery {
  enum class Outcome : uint8_t {
    Sent,
    // Nothing was typed: no window that can take a message is in front (kind says which).
    NoChat,
    // Nothing was typed: the window in front runs at a higher integrity level.
    Blocked,
    // The system took none or only part of the keys (a locked screen, a system prompt, a window
    // with higher rights), or, where the window's level is unknown, they were not seen to arrive;
    // every key pressed was released.
    Refused,
    // The keys went to a window whose level cannot be read; whether they arrived is told later
    // (KeyPipeline::onVerdict).
    Pending,
    // Nothing was typed: the window's level cannot be read and the system does not report key
    // events, so whether keys would arrive could never be known.
    Unverifiable
  };
  Outcome outcome = Outcome::Sent;
  // What was in front instead of a chat (NoChat).
  WindowKind kind = WindowKind::Chat;
  // The caption of the window the keys were meant for (Blocked, Refused, Unverifiable).
  std::string window;
  bool sent() const { return outcome == Outcome::Sent; }
  bool sentOrPending() const { return sent() || outcome == Outcome::Pending; }
};

class KeyPipeline {
 public:
  // `pressBackTimer` presses back the modifiers of a batch whose arrival is late; `verdictTimer`
  // ends the wait for keys whose arrival decides whether they were sent.
  KeyPipeline(System& system, TimerBackend& pressBackTimer, TimerBackend& verdictTimer);
  virtual ~KeyPipeline() = default;
  KeyPipeline(const KeyPipeline&) = delete;
  KeyPipeline& operator=(const KeyPipeline&) = delete;

  // Types `actions` into `target`, the window in front as Chats found it, and returns without
  // waiting for them to be processed. Nothing is typed where no chat is, nor into a window the
  // system drops Vorelo's keys for. Into a window whose level cannot be read the keys go, and
  // they count as sent only once the watch sees them arrive: the answer is Pending, and
  // onVerdict tells Sent, or Refused when nothing more of them arrives for a second.
  virtual Delivery send(std::span<const engine::KeyAction> actions, const Front& target);
  // The verdict on keys sent Pending.
  std::function<void(const Delivery&)> onVerdict;
  bool verdictPending() const { return awaited_.has_value(); }
  // Keys of a Pending send that show no progress for this long did not arrive.
  static constexpr unsigned kArrivalWaitMs = 1000;

  // From now on the system reports every key event of the session (observeKey), also while
  // another program is in front. Otherwise the key state is read with asyncKeyState, and held
  // modifiers are pressed back at once.
  void watchKeys() {
    watch_.emplace();
    watch_->setLongestRepeatGap(longestRepeatGapMs_);
  }
  // The system's FilterKeys setting, read at start-up and whenever it changes: it decides how far
  // apart the repeats of a held F12 may come.
  void setFilterKeys(const engine::FilterKeys& keys);
  // True when the system reports each F12 press: the key going down, not its repeats, not the
  // presses Vorelo types itself. Otherwise F12 is watched by polling asyncKeyState.
  bool reportsHotkeyPresses() const { return watch_.has_value(); }
  // A key event the system reported, Vorelo's own included. True for a press of F12 by the user.
  bool observeKey(const engine::ObservedKey& key);
  // Held modifiers are pressed back when the batch they wait for has arrived, or, where the
  // system does not report Vorelo's own keys, this long after it was sent.
  static constexpr unsigned kPressBackWaitMs = 2000;

 private:
  // The modifiers the user holds: those the watch saw go down and not up, and the system's key
  // state says are down as well.
  engine::KeyboardState keyboardState();
  std::size_t inject(std::span<const engine::KeyEvent> events);
  void pressBack(std::span<const uint16_t> held);
  void pressBackNow();
  void waitForArrival();
  void giveVerdict(bool arrived);
  // The held modifiers waiting for a batch to arrive are pressed now: the batch is late.
  void pressBackOverdue();
  void schedulePressBack(bool on);
  bool waitsForPressBack(uint16_t key) const;

  System& system_;
  Timer pressBackTimer_;
  Timer verdictTimer_;
  std::optional<engine::KeyWatch> watch_;
  uint32_t longestRepeatGapMs_ = engine::kLongestRepeatGapMs;
  // Vorelo's own batches are numbered, so the watch can tell when the last one has arrived.
  uint16_t batch_ = 0;
  // Modifiers Vorelo let go, to press again once batch_ has arrived.
  std::vector<uint16_t> pressBackPending_;
  // Modifiers pressed back in the batch pressBackBatch_, which has not arrived yet: a release of
  // the user's seen meanwhile came before them, and lets them go again.
  std::vector<uint16_t> pressedBack_;
  uint16_t pressBackBatch_ = 0;
  // The batch whose arrival decides a Pending send, and the window it went to.
  std::optional<uint16_t> awaited_;
  std::string awaitedWindow_;
};

}  // namespace vorelo::platform
