#include "engine/key_watch.h"

#include <algorithm>

namespace vorelo::engine {

KeyWatch::Seen KeyWatch::observe(const ObservedKey& key) {
  Seen seen;
  if (isOwnKey(key.mark)) {
    if (key.mark & kLastOfBatchFlag) seen.batchArrived = batchOf(key.mark);
    return seen;
  }
  const auto found = std::find_if(userDown_.begin(), userDown_.end(),
                                  [&](const Held& h) { return h.vk == key.vk; });
  if (key.up) {
    if (found != userDown_.end()) userDown_.erase(found);
    return seen;
  }
  // A repeat of a held key is no new press; the same key down after a longer gap is.
  const bool newPress =
      found == userDown_.end() || key.timeMs - found->lastDownMs > longestRepeatGapMs_;
  if (found == userDown_.end()) {
    userDown_.push_back({key.vk, key.timeMs});
  } else {
    found->lastDownMs = key.timeMs;
  }
  seen.hotkeyPressed = key.vk == vk::F12 && newPress;
  return seen;
}

void KeyWatch::forgetReleased(const std::function<bool(uint16_t)>& down) {
  std::erase_if(userDown_, [&](const Held& h) { return !down(h.vk); });
}

std::vector<uint16_t> KeyWatch::heldModifiers() const {
  std::vector<uint16_t> out;
  for (const uint16_t key : kModifierKeys) {
    if (held(key)) out.push_back(key);
  }
  return out;
}

bool KeyWatch::held(uint16_t vk) const {
  return std::any_of(userDown_.begin(), userDown_.end(),
                     [vk](const Held& h) { return h.vk == vk; });
}

}  // namespace vorelo::engine
