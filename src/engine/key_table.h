// The keys Vorelo presses by name or as a modifier, one row each: the names the notation knows
// it by, its Windows virtual key (a plain number, the same on every system) and whether it
// carries the extended flag.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/key_string.h"

namespace vorelo::engine {

// Virtual keys the planner and the key watch name.
namespace vk {
inline constexpr uint16_t Shift = 0x10, Control = 0x11, Menu = 0x12;
inline constexpr uint16_t LShift = 0xA0, RShift = 0xA1, LControl = 0xA2, RControl = 0xA3,
                          LMenu = 0xA4, RMenu = 0xA5, LWin = 0x5B, RWin = 0x5C;
inline constexpr uint16_t Return = 0x0D, F12 = 0x7B, CapsLock = 0x14;
// A key no keyboard has: pressed while Alt or Win is down, so the system never sees a lone Alt
// (which would open the menu bar) or a lone Win (the Start menu).
inline constexpr uint16_t Mask = 0xE8;
}  // namespace vk

struct KeyRow {
  // Nothing for a modifier of one side, which only the user holds.
  std::optional<Key> key;
  uint16_t vk;
  bool extended;
  // Upper case; empty where the notation has no name for the key.
  std::array<std::string_view, 3> names;
};

// The key the notation calls `name`, in any case.
std::optional<Key> keyNamed(std::string_view name);
uint16_t virtualKey(Key key);
// Keys that carry the extended flag: the arrows and the block above them, and a few others.
bool isExtendedKey(uint16_t virtualKey);

}  // namespace vorelo::engine
