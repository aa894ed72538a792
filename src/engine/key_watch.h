// What Vorelo learns from the keyboard events it observes as the system delivers them, its own
// included: which modifier keys the user holds, the F12 presses it did not make itself, and
// when its own keys have arrived.
//
// Vorelo marks every key event it injects, with the batch's number and, on the last event of a
// batch, a flag; the system hands that mark back with each event it delivers (the "extra
// information" of a key event). Events without the mark come from the user, or from another
// program, and count as what the user's keyboard does.
//
// The system does not report every release: a key let go while the secure desktop is up (the
// lock screen, Ctrl+Alt+Del, a UAC prompt) or while a window run as administrator has the
// keyboard is never seen. The watch is therefore told which of its keys the system's own key
// state says are up (forgetReleased), and a key seen going down again long after it last did
// counts as a new press: a held key repeats far more often (how often the system's FilterKeys
// setting decides, where it is on).
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/key_table.h"

namespace vorelo::engine {

// The mark on Vorelo's own key events: a fixed signature in the high half, the batch number
// and the last-event flag in the low half.
inline constexpr uint32_t kOwnKeySignature = 0x56520000u;
inline constexpr uint32_t kLastOfBatchFlag = 0x8000u;
inline constexpr uint32_t kBatchNumberMask = 0x7FFFu;

constexpr uint32_t ownKeyMark(uint16_t batch, bool last) {
  return kOwnKeySignature | (batch & kBatchNumberMask) | (last ? kLastOfBatchFlag : 0u);
}
// An event that carries Vorelo's mark, and its batch.
constexpr bool isOwnKey(uint32_t mark) {
  return (mark & ~(kBatchNumberMask | kLastOfBatchFlag)) == kOwnKeySignature;
}
constexpr uint16_t batchOf(uint32_t mark) {
  return static_cast<uint16_t>(mark & kBatchNumberMask);
}

// The left and right Shift, Ctrl, Alt and Win keys, in the order they are let go.
inline constexpr std::array<uint16_t, 8> kModifierKeys = {
    vk::LShift, vk::RShift, vk::LControl, vk::RControl, vk::LMenu, vk::RMenu, vk::LWin, vk::RWin};

// A held key repeats at least every second (the slowest delay Windows offers before the first
// repeat); a key that goes down again after a longer gap was let go unseen and pressed anew.
inline constexpr uint32_t kLongestRepeatGapMs = 1500;

// The system's FilterKeys setting (SPI_GETFILTERKEYS), its times in milliseconds.
struct FilterKeys {
  bool on = false;
  uint32_t waitMs = 0;    // a key must be held this long before it is taken (SlowKeys)
  uint32_t delayMs = 0;   // held this long before it repeats (RepeatKeys)
  uint32_t repeatMs = 0;  // between repeats
  uint32_t bounceMs = 0;  // a press this soon after a release is dropped (BounceKeys)
};

// The longest gap between a held key's down events. With FilterKeys on, RepeatKeys holds the
// first repeat back by its delay and spaces the others by its repeat time (each up to 20 s), and
// the delay may run only once SlowKeys has taken the key; the margin is that of
// kLongestRepeatGapMs. BounceKeys turns RepeatKeys and SlowKeys off (the keyboard's own repeat
// applies) and only drops presses that follow a release.
constexpr uint32_t longestRepeatGapMs(const FilterKeys& keys) {
  constexpr uint32_t kMargin = kLongestRepeatGapMs - 1000;
  constexpr uint32_t kLongestSetting = 20000;  // the most SPI_SETFILTERKEYS takes for each time
  if (!keys.on || keys.bounceMs != 0) return kLongestRepeatGapMs;
  const uint32_t slowest = std::min(std::max(keys.delayMs, keys.repeatMs), kLongestSetting);
  return std::max(std::min(keys.waitMs, kLongestSetting) + slowest + kMargin, kLongestRepeatGapMs);
}

struct ObservedKey {
  uint16_t vk;          // left and right modifiers told apart (LShift, not Shift)
  bool up;              // released
  uint32_t mark = 0;    // the extra information delivered with the event
  uint32_t timeMs = 0;  // when the system took the event (a wrapping millisecond clock)
};

class KeyWatch {
 public:
  struct Seen {
    // F12 went down and was not down before, and not by Vorelo's hand.
    bool hotkeyPressed = false;
    // The last event of this batch of Vorelo's own has arrived: everything the user did before
    // it has been seen.
    std::optional<uint16_t> batchArrived;
  };
  Seen observe(const ObservedKey& key);

  // Forgets every key it holds for which `down` says no: its release was never reported.
  void forgetReleased(const std::function<bool(uint16_t)>& down);

  // A key seen going down again more than `ms` after it last did is pressed anew.
  void setLongestRepeatGap(uint32_t ms) { longestRepeatGapMs_ = ms; }

  // The modifiers of kModifierKeys the user holds, in that order.
  std::vector<uint16_t> heldModifiers() const;
  bool held(uint16_t vk) const;

 private:
  struct Held {
    uint16_t vk;
    uint32_t lastDownMs;  // the key's last down event, repeats included
  };
  // Keys the user holds (not pressed by Vorelo).
  std::vector<Held> userDown_;
  uint32_t longestRepeatGapMs_ = kLongestRepeatGapMs;
};

}  // namespace vorelo::engine
