// A chat message in the key-string notation, as typed into the message list: any bytes at all.
// The parsed actions are then planned into key events, and a batch cut short part way is undone.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/utf.h"
#include "engine/key_events.h"
#include "engine/key_string.h"
#include "property.h"

namespace {

using vorelo::fuzz::require;
using namespace vorelo::engine;

bool isModifier(Key key) {
  return key == Key::Shift || key == Key::Control || key == Key::Alt;
}

void checkError(std::string_view message, const ParseResult& result) {
  require(result.actions.empty(), "an error comes without actions");
  const ParseError& error = *result.error;
  require(error.offset < message.size(), "the error points into the message");
  require(error.line >= 1 && error.column >= 1, "the error has a line and a column");
  require(vorelo::utf::isValidUtf8(error.token), "the error token is valid UTF-8");
  const std::string text = describe(error);
  require(!text.empty() && vorelo::utf::isValidUtf8(text), "the description is valid UTF-8");
}

// Modifiers go down and up like brackets; characters under one are typed through the layout,
// characters under none as Unicode.
void checkActions(std::span<const KeyAction> actions) {
  std::vector<Key> held;
  for (const KeyAction& a : actions) {
    switch (a.kind) {
      case KeyAction::Kind::Down:
        require(isModifier(a.key), "only a modifier goes Down");
        require(std::find(held.begin(), held.end(), a.key) == held.end(),
                "no Down of a modifier already down");
        held.push_back(a.key);
        break;
      case KeyAction::Kind::Up:
        require(!held.empty() && held.back() == a.key, "every Up matches the last Down");
        held.pop_back();
        break;
      case KeyAction::Kind::Tap:
        require(!isModifier(a.key), "a Tap is never a modifier");
        break;
      case KeyAction::Kind::Text:
        require(held.empty(), "Text only with no modifier down");
        require(a.ch <= 0x10FFFF && (a.ch < 0xD800 || a.ch > 0xDFFF), "Text is a scalar value");
        break;
      case KeyAction::Kind::CharTap:
        require(!held.empty(), "CharTap only under a modifier");
        break;
    }
  }
  require(held.empty(), "every Down has its Up");
}

// A US-like layout, with a few keys that need Ctrl+Alt (AltGr) and one the layout reports
// without a key.
std::optional<LayoutKey> layout(char32_t ch) {
  constexpr uint8_t kShift = 1, kControlAlt = 6;
  if (ch >= U'a' && ch <= U'z') return LayoutKey{static_cast<uint16_t>('A' + (ch - U'a')), 0};
  if (ch >= U'A' && ch <= U'Z') return LayoutKey{static_cast<uint16_t>(ch), kShift};
  if (ch >= U'0' && ch <= U'9') return LayoutKey{static_cast<uint16_t>(ch), 0};
  switch (ch) {
    case U' ':
      return LayoutKey{0x20, 0};
    case U'=':
      return LayoutKey{0xBB, 0};
    case U'+':
      return LayoutKey{0xBB, kShift};
    case U'-':
      return LayoutKey{0xBD, 0};
    case U'!':
      return LayoutKey{'1', kShift};
    case U'@':
      return LayoutKey{'Q', kControlAlt};
    case U'€':
      return LayoutKey{'E', kControlAlt};
    case U'§':
      return LayoutKey{0, 0};
    default:
      return std::nullopt;
  }
}

constexpr std::array<uint16_t, 8> kHeldKeys = {vk::LShift, vk::RShift, vk::LControl, vk::RControl,
                                               vk::LMenu,  vk::RMenu,  vk::LWin,     vk::RWin};

bool sameKey(const KeyEvent& a, const KeyEvent& b) {
  return a.unicode == b.unicode && a.vk == b.vk && a.unit == b.unit;
}

// Keys down at some point of a batch, in the order they went down.
class Keyboard {
 public:
  // Returns false for a key-down of a key already down or a key-up of a key that is not.
  bool apply(const KeyEvent& e) {
    const auto found =
        std::find_if(down_.begin(), down_.end(), [&](const KeyEvent& d) { return sameKey(d, e); });
    if (e.up) {
      if (found == down_.end()) return false;
      down_.erase(found);
    } else {
      if (found != down_.end()) return false;
      down_.push_back(e);
    }
    return true;
  }
  // Like apply, but a key-up of a key that this batch did not press is let through.
  void applyLenient(const KeyEvent& e) {
    if (!apply(e)) require(e.up, "no key-down of a key already down");
  }
  const std::vector<KeyEvent>& down() const { return down_; }

 private:
  std::vector<KeyEvent> down_;
};

void checkEvents(std::span<const KeyAction> actions, std::span<const uint16_t> held,
                 std::uint64_t seed) {
  const KeyboardState state{std::vector<uint16_t>(held.begin(), held.end())};
  std::vector<KeyEvent> events = planKeyEvents(actions, layout, state);
  const std::vector<KeyEvent> pressBack = pressBackEvents(held);
  events.insert(events.end(), pressBack.begin(), pressBack.end());

  // The user's modifiers start down; the batch lets them go, presses and releases its own keys,
  // and puts the user's back.
  Keyboard keyboard;
  for (uint16_t key : held) keyboard.apply({key, 0, false, false});
  for (std::size_t i = 0; i < events.size(); ++i) {
    const KeyEvent& e = events[i];
    if (e.unicode) {
      require(e.vk == 0, "a Unicode packet has no virtual key");
      if (!e.up) {
        require(i + 1 < events.size() && events[i + 1].unicode && events[i + 1].up &&
                    events[i + 1].unit == e.unit,
                "every Unicode packet goes down, then straight up");
      }
    } else {
      require(e.vk != 0 && e.unit == 0, "a key event has a virtual key");
    }
    require(keyboard.apply(e), "a key goes down only when up, and up only when down");
  }
  require(keyboard.down().size() == held.size(), "every key pressed is released by the end");
  for (uint16_t key : held) {
    require(std::any_of(keyboard.down().begin(), keyboard.down().end(),
                        [key](const KeyEvent& d) { return d.vk == key; }),
            "the user's modifiers are down again at the end");
  }

  // The system took only the first `delivered` events: the releases must leave nothing that
  // the batch pressed still down.
  if (events.empty()) return;
  const std::size_t delivered = seed % events.size();
  Keyboard partial;
  for (std::size_t i = 0; i < delivered; ++i) partial.applyLenient(events[i]);
  for (const KeyEvent& e : releaseAfterPartial(events, delivered)) {
    require(e.up, "the undo only releases keys");
    require(partial.apply(e), "the undo releases only keys that are down, once each");
  }
  require(partial.down().empty(), "nothing is left pressed after a partial batch");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view message(reinterpret_cast<const char*>(data), size);
  const ParseResult result = parseKeyString(message);
  if (!result.ok()) {
    checkError(message, result);
    return 0;
  }
  checkActions(result.actions);

  // Which modifiers the user holds and where the batch is cut short both come from the message,
  // so every input replays the same way.
  std::uint64_t hash = 14695981039346656037u;
  for (std::uint8_t b : std::span(data, size)) hash = (hash ^ b) * 1099511628211u;
  std::vector<uint16_t> held;
  for (std::size_t i = 0; i < kHeldKeys.size(); ++i) {
    if ((hash >> (i * 3)) % 8 == 0) held.push_back(kHeldKeys[i]);
  }
  checkEvents(result.actions, held, hash >> 32);
  return 0;
}
