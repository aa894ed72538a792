// Turns key actions into the key-down and key-up events handed to the system in one batch.
// Plain characters go as Unicode packets, so the keyboard layout, CapsLock and an input
// method's Shift toggle cannot change them; named keys and keys under a modifier go as
// virtual keys. Modifiers the user happens to hold are released for the batch and pressed
// again after it, and every key the batch presses, it releases.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "engine/key_string.h"

namespace vorelo::engine {

// Windows virtual-key codes used here (they are plain numbers, the same on every system).
namespace vk {
inline constexpr uint16_t Shift = 0x10, Control = 0x11, Menu = 0x12;
inline constexpr uint16_t LShift = 0xA0, RShift = 0xA1, LControl = 0xA2, RControl = 0xA3,
                          LMenu = 0xA4, RMenu = 0xA5, LWin = 0x5B, RWin = 0x5C;
inline constexpr uint16_t Return = 0x0D, F12 = 0x7B;
}  // namespace vk

struct KeyEvent {
  uint16_t vk = 0;    // virtual key; 0 for a Unicode packet
  uint16_t unit = 0;  // the UTF-16 unit of a Unicode packet
  bool up = false;
  bool unicode = false;
  friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

// The key that types a character in the focused window's keyboard layout, with the modifiers
// it needs (bit 0 Shift, bit 1 Ctrl, bit 2 Alt), as VkKeyScanEx reports them.
struct LayoutKey {
  uint16_t vk;
  uint8_t modifiers;
};
using LayoutLookup = std::function<std::optional<LayoutKey>(char32_t)>;

uint16_t virtualKey(Key key);
// Keys that carry the extended flag: the arrows and the block above them, and a few others.
bool isExtendedKey(uint16_t virtualKey);

// `held`: the modifier keys (left/right Shift, Ctrl, Alt, Win) the user holds right now.
std::vector<KeyEvent> planKeyEvents(std::span<const KeyAction> actions, const LayoutLookup& layout,
                                    std::span<const uint16_t> held = {});

// When the system took only the first `delivered` events, the key-ups that release every key
// those events left pressed.
std::vector<KeyEvent> releaseAfterPartial(std::span<const KeyEvent> events, std::size_t delivered);

}  // namespace vorelo::engine
