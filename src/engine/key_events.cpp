#include "engine/key_events.h"

#include <algorithm>
#include <string>

#include "base/utf.h"
#include "engine/capitals.h"

namespace vorelo::engine {

namespace {

constexpr uint8_t kShiftBit = 1, kControlBit = 2, kAltBit = 4;

uint8_t modifierBit(Key key) {
  switch (key) {
    case Key::Shift:
      return kShiftBit;
    case Key::Control:
      return kControlBit;
    case Key::Alt:
      return kAltBit;
    default:
      return 0;
  }
}

void press(std::vector<KeyEvent>& out, uint16_t key) {
  out.push_back({key, 0, false, false});
}
void release(std::vector<KeyEvent>& out, uint16_t key) {
  out.push_back({key, 0, true, false});
}

void tap(std::vector<KeyEvent>& out, uint16_t key) {
  press(out, key);
  release(out, key);
}

// A character outside the Basic Multilingual Plane goes as its surrogate pair.
void unicodeTap(std::vector<KeyEvent>& out, char32_t ch) {
  std::u16string units;
  utf::appendUtf16(units, ch);
  for (const char16_t u : units) {
    out.push_back({0, u, false, true});
    out.push_back({0, u, true, true});
  }
}

// The key that makes a character typed under a modifier, in the layout of the window the keys
// go to. Letters the layout lacks use the Latin key of the same name, so ^a, ^c, ^v and %f work
// on any layout; nothing for anything else that no key makes (the parser refuses such a
// message when it knows the layout).
std::optional<LayoutKey> keyFor(char32_t ch, const LayoutLookup& layout) {
  std::optional<LayoutKey> key = layout ? layout(ch) : std::nullopt;
  if (key && key->vk != 0) return key;
  if (ch >= U'a' && ch <= U'z') return LayoutKey{static_cast<uint16_t>('A' + (ch - U'a')), 0};
  if (ch >= U'A' && ch <= U'Z') return LayoutKey{static_cast<uint16_t>(ch), kShiftBit};
  return std::nullopt;
}

// Turns the actions of one batch into events, keeping track of the notation's modifiers. Its
// Shift is pressed only for a key that needs it: a letter under Shift alone is typed as the
// capital letter itself, like plain text, so CapsLock cannot turn it into a small one and the
// chat sees no Shift going up and down between the letters of a group.
class Planner {
 public:
  Planner(std::vector<KeyEvent>& out, const LayoutLookup& layout) : out_(out), layout_(layout) {}

  void add(const KeyAction& a) {
    switch (a.kind) {
      case KeyAction::Kind::Text:
        unicodeTap(out_, a.ch);
        break;
      case KeyAction::Kind::Tap:
        pressShiftIfWanted();
        tap(out_, virtualKey(a.key));
        break;
      case KeyAction::Kind::CharTap:
        charTap(a.ch);
        break;
      case KeyAction::Kind::Down:
        pressShiftIfWanted();
        down_ = static_cast<uint8_t>(down_ | modifierBit(a.key));
        if (a.key != Key::Shift) press(out_, virtualKey(a.key));
        break;
      case KeyAction::Kind::Up:
        down_ = static_cast<uint8_t>(down_ & ~modifierBit(a.key));
        if (a.key == Key::Shift) {
          releaseShift();
        } else {
          release(out_, virtualKey(a.key));
        }
        break;
    }
  }

 private:
  void pressShiftIfWanted() {
    if ((down_ & kShiftBit) && !shiftDown_) {
      press(out_, vk::Shift);
      shiftDown_ = true;
    }
  }
  void releaseShift() {
    if (shiftDown_) release(out_, vk::Shift);
    shiftDown_ = false;
  }

  // A character under a modifier: its key, with whatever extra modifiers that key needs (^{+} is
  // Ctrl with Shift and the = key on a US layout).
  void charTap(char32_t ch) {
    if (down_ == kShiftBit) {
      if (const std::optional<char32_t> capital = capitalLetter(ch)) {
        releaseShift();
        unicodeTap(out_, *capital);
        return;
      }
    }
    const std::optional<LayoutKey> key = keyFor(ch, layout_);
    if (!key) {
      unicodeTap(out_, ch);
      return;
    }
    const uint8_t extra =
        static_cast<uint8_t>(key->modifiers & ~down_ & (kShiftBit | kControlBit | kAltBit));
    pressShiftIfWanted();
    if (extra & kControlBit) press(out_, vk::Control);
    if (extra & kAltBit) press(out_, vk::Menu);
    if (extra & kShiftBit) press(out_, vk::Shift);
    tap(out_, key->vk);
    if (extra & kShiftBit) release(out_, vk::Shift);
    if (extra & kAltBit) release(out_, vk::Menu);
    if (extra & kControlBit) release(out_, vk::Control);
  }

  std::vector<KeyEvent>& out_;
  const LayoutLookup& layout_;
  // The notation's modifiers in force, and whether its Shift is pressed now.
  uint8_t down_ = 0;
  bool shiftDown_ = false;
};

bool opensMenus(uint16_t key) {
  return key == vk::LMenu || key == vk::RMenu || key == vk::LWin || key == vk::RWin;
}

// A held Alt or Win let go or pressed again on its own would open the menu bar or the Start
// menu; the mask key pressed in between makes it a combination.
void maskIfMenuKeyHeld(std::vector<KeyEvent>& out, std::span<const uint16_t> held) {
  if (std::any_of(held.begin(), held.end(), opensMenus)) tap(out, vk::Mask);
}

}  // namespace

std::vector<KeyEvent> planKeyEvents(std::span<const KeyAction> actions, const LayoutLookup& layout,
                                    const KeyboardState& keyboard) {
  const std::span<const uint16_t> held = keyboard.held;
  std::vector<KeyEvent> out;
  out.reserve(actions.size() * 2 + held.size() * 2 + 4);
  maskIfMenuKeyHeld(out, held);
  for (uint16_t key : held) release(out, key);
  Planner planner(out, layout);
  for (const KeyAction& a : actions) planner.add(a);
  return out;
}

std::vector<KeyEvent> pressBackEvents(std::span<const uint16_t> held) {
  std::vector<KeyEvent> out;
  for (uint16_t key : held) press(out, key);
  maskIfMenuKeyHeld(out, held);
  return out;
}

std::vector<KeyEvent> letGoEvents(std::span<const uint16_t> keys) {
  std::vector<KeyEvent> out;
  maskIfMenuKeyHeld(out, keys);
  for (uint16_t key : keys) release(out, key);
  return out;
}

std::vector<KeyEvent> releaseAfterPartial(std::span<const KeyEvent> events, std::size_t delivered) {
  // Keys still down after the delivered events, in the order they went down. A Unicode packet
  // left without its key-up is released too.
  std::vector<KeyEvent> pressed;
  auto same = [](const KeyEvent& a, const KeyEvent& b) {
    return a.unicode == b.unicode && a.vk == b.vk && a.unit == b.unit;
  };
  for (std::size_t i = 0; i < delivered && i < events.size(); ++i) {
    const KeyEvent& e = events[i];
    auto found =
        std::find_if(pressed.begin(), pressed.end(), [&](const KeyEvent& p) { return same(p, e); });
    if (!e.up && found == pressed.end()) pressed.push_back(e);
    if (e.up && found != pressed.end()) pressed.erase(found);
  }
  std::vector<KeyEvent> out;
  for (auto it = pressed.rbegin(); it != pressed.rend(); ++it) {
    KeyEvent up = *it;
    up.up = true;
    out.push_back(up);
  }
  return out;
}

}  // namespace vorelo::engine
