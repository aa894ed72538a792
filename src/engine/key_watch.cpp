#include "engine/key_watch.h"

#include <algorithm>

#include "engine/key_events.h"

namespace vorelo::engine {

namespace {
constexpr uint16_t kModifiers[] = {vk::LShift, vk::RShift, vk::LControl, vk::RControl,
                                   vk::LMenu,  vk::RMenu,  vk::LWin,     vk::RWin};
}  // namespace

KeyWatch::Seen KeyWatch::observe(const ObservedKey& key) {
  Seen seen;
  const bool own = (key.mark & ~(kBatchNumberMask | kLastOfBatchFlag)) == kOwnKeySignature;
  if (own) {
    if (key.mark & kLastOfBatchFlag)
      seen.batchArrived = static_cast<uint16_t>(key.mark & kBatchNumberMask);
    return seen;
  }
  const bool wasHeld = held(key.vk);
  if (key.up) {
    std::erase(userDown_, key.vk);
  } else if (!wasHeld) {
    userDown_.push_back(key.vk);
  }
  seen.hotkeyPressed = key.vk == vk::F12 && !key.up && !wasHeld;
  return seen;
}

std::vector<uint16_t> KeyWatch::heldModifiers() const {
  std::vector<uint16_t> out;
  for (const uint16_t key : kModifiers) {
    if (held(key)) out.push_back(key);
  }
  return out;
}

bool KeyWatch::held(uint16_t vk) const {
  return std::find(userDown_.begin(), userDown_.end(), vk) != userDown_.end();
}

}  // namespace vorelo::engine
