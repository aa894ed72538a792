// Turns key actions into the key-down and key-up events handed to the system in one batch.
// Plain characters and letters under Shift alone go as Unicode packets, so the keyboard layout,
// CapsLock and an input method's Shift toggle cannot change them; named keys and keys under
// Ctrl or Alt go as virtual keys. Every key the batch presses, it releases.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "engine/key_string.h"
#include "engine/key_table.h"

namespace vorelo::engine {

struct KeyEvent {
  uint16_t vk = 0;    // virtual key; 0 for a Unicode packet
  uint16_t unit = 0;  // the UTF-16 unit of a Unicode packet
  bool up = false;
  bool unicode = false;
  friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

// What the user's keyboard is doing when a batch is typed.
struct KeyboardState {
  // The modifier keys (left/right Shift, Ctrl, Alt, Win) the user holds right now.
  std::vector<uint16_t> held;
};

// The events that type `actions`. Modifiers the user holds are let go first (pressBackEvents
// puts them back once the batch has arrived); a held Alt or Win gets the mask key pressed
// before it is let go. A letter under Shift alone is typed as the capital letter, as plain text
// is, so CapsLock cannot change it; shortcuts with Ctrl or Alt are pressed as written.
std::vector<KeyEvent> planKeyEvents(std::span<const KeyAction> actions, const LayoutLookup& layout,
                                    const KeyboardState& keyboard = {});

// Presses the modifiers of `held` again, in the order they were let go, with the mask key after
// them when one of them is an Alt or Win key.
std::vector<KeyEvent> pressBackEvents(std::span<const uint16_t> held);

// Lets go of `keys` again, with the mask key before them when one of them is an Alt or Win key,
// so that no menu or Start opens.
std::vector<KeyEvent> letGoEvents(std::span<const uint16_t> keys);

// When the system took only the first `delivered` events, the key-ups that release every key
// those events left pressed.
std::vector<KeyEvent> releaseAfterPartial(std::span<const KeyEvent> events, std::size_t delivered);

}  // namespace vorelo::engine
