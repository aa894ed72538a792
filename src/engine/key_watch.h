// What Vorelo learns from the keyboard events it observes as the system delivers them, its own
// included: which modifier keys the user holds, the F12 presses it did not make itself, and
// when its own keys have arrived.
//
// Vorelo marks every key event it injects, with the batch's number and, on the last event of a
// batch, a flag; the system hands that mark back with each event it delivers (the "extra
// information" of a key event). Events without the mark come from the user, or from another
// program, and count as what the user's keyboard does.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace vorelo::engine {

// The mark on Vorelo's own key events: a fixed signature in the high half, the batch number
// and the last-event flag in the low half.
inline constexpr uint32_t kOwnKeySignature = 0x56520000u;
inline constexpr uint32_t kLastOfBatchFlag = 0x8000u;
inline constexpr uint32_t kBatchNumberMask = 0x7FFFu;

constexpr uint32_t ownKeyMark(uint16_t batch, bool last) {
  return kOwnKeySignature | (batch & kBatchNumberMask) | (last ? kLastOfBatchFlag : 0u);
}

struct ObservedKey {
  uint16_t vk;        // left and right modifiers told apart (LShift, not Shift)
  bool up;            // released
  uint32_t mark = 0;  // the extra information delivered with the event
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

  // The left and right Shift, Ctrl, Alt and Win keys the user holds, in that order.
  std::vector<uint16_t> heldModifiers() const;
  bool held(uint16_t vk) const;

 private:
  // Keys the user holds (not pressed by Vorelo), by virtual key.
  std::vector<uint16_t> userDown_;
};

}  // namespace vorelo::engine
