#pragma once

// Turns a chat message written in the key-string notation into a flat list of key actions.
// This file knows nothing about Windows: the injector maps the actions onto SendInput.
//
// Notation:
//   plain characters   typed as themselves (layout-independent Unicode input)
//   CR, LF, CR LF      one Enter; a tab character is one Tab
//   ~                  Enter
//   + ^ %              hold Shift, Ctrl, Alt over the next key, braced key or (group)
//   ( ... )            a group; with a modifier in front, the modifier is held over all of it
//   {NAME} {NAME n}    a named key ({ENTER}, {F5}, ...) or one literal character ({+}, {}}, {你}),
//                      optionally repeated n times (0 to kMaxRepeat, one space before the digits)
//   [ ]                typed as themselves
//
// A count above kMaxRepeat is rejected rather than typed, a modifier that is already held or has
// no key to act on is rejected, and a modifier whose key is repeated zero times is never pressed
// at all (a lone Alt tap would open the menu bar).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorelo::engine {

inline constexpr int kMaxRepeat = 9999;
// Longer messages are refused: far above what a chat input box takes, and typing one would keep
// the window from answering for a long time.
inline constexpr std::size_t kMaxMessageChars = 10000;
// A message presses at most this many keys: each character, each named key and each modifier,
// repeats counted. Repeat counts make a short message press many keys, and the window cannot
// answer 停止 or F12 while they are being typed.
inline constexpr std::size_t kMaxKeyPresses = 20000;

// The key that types a character in the focused window's keyboard layout, with the modifiers
// it needs (bit 0 Shift, bit 1 Ctrl, bit 2 Alt), as VkKeyScanEx reports them. Nothing, or a
// key of 0, when no key of the layout types it.
struct LayoutKey {
  uint16_t vk;
  uint8_t modifiers;
};
using LayoutLookup = std::function<std::optional<LayoutKey>(char32_t)>;

enum class Key : std::uint8_t {
  Shift,
  Control,
  Alt,  // modifiers (Down/Up)
  Enter,
  Tab,
  Escape,
  Home,
  End,
  Left,
  Right,
  Up,
  Down,
  PageUp,
  PageDown,
  NumLock,
  ScrollLock,
  PrintScreen,
  Break,
  Backspace,
  Clear,
  CapsLock,
  Insert,
  Delete,
  Help,
  F1,
  F2,
  F3,
  F4,
  F5,
  F6,
  F7,
  F8,
  F9,
  F10,
  F11,
  F12,
  F13,
  F14,
  F15,
  F16,
  Multiply,
  Add,
  Subtract,
  Divide
};

struct KeyAction {
  enum class Kind : std::uint8_t {
    Text,     // type code point `ch` as a Unicode packet (layout-independent)
    Tap,      // press and release named key `key`
    CharTap,  // press and release the key that makes `ch` in the focused window's keyboard
              // layout (used under a modifier: ^a, %f)
    Down,     // press modifier `key`
    Up        // release modifier `key`
  };

  Kind kind;
  Key key{};        // meaningful for Tap, Down and Up; Key{} otherwise
  char32_t ch = 0;  // meaningful for Text and CharTap; 0 otherwise

  static constexpr KeyAction text(char32_t c) { return {Kind::Text, Key{}, c}; }
  static constexpr KeyAction tap(Key k) { return {Kind::Tap, k, 0}; }
  static constexpr KeyAction charTap(char32_t c) { return {Kind::CharTap, Key{}, c}; }
  static constexpr KeyAction down(Key k) { return {Kind::Down, k, 0}; }
  static constexpr KeyAction up(Key k) { return {Kind::Up, k, 0}; }

  friend bool operator==(const KeyAction&, const KeyAction&) = default;
};

enum class ParseErrorKind : std::uint8_t {
  UnmatchedCloseBrace,    // a } with no {
  UnclosedBrace,          // a { with no }
  UnknownKeyName,         // {} or {NAME} with a name we do not know
  BadRepeatCount,         // {NAME n} where n is not one space and plain digits
  RepeatCountTooLarge,    // n above kMaxRepeat
  UnbalancedParenthesis,  // ( never closed, or ) with no (
  ModifierAlreadyHeld,    // ++a, +(+a), ^+^a
  ModifierWithoutKey,     // a modifier at the end, before ), or over an empty group: a+, (a+), +()
  NoKeyForCharacter,      // %满: no key of the layout types the character under the modifier
  MessageTooLong,         // more than kMaxMessageChars characters
  TooManyKeyPresses       // more than kMaxKeyPresses key presses
};

struct ParseError {
  ParseErrorKind kind;
  std::size_t offset;      // byte offset in the message
  std::size_t line = 0;    // 1-based line of `offset`, 0 when unknown
  std::size_t column = 0;  // 1-based character (code point) within that line, 0 when unknown
  std::string token;       // the offending text as written, e.g. "}", "{FOO}", "^+"; may be clipped
  std::string character;   // NoKeyForCharacter: the character no key types
  std::size_t length = 0;  // MessageTooLong: characters; TooManyKeyPresses: key presses
};

struct ParseResult {
  std::vector<KeyAction> actions;  // empty whenever `error` is set
  std::optional<ParseError> error;

  bool ok() const { return !error.has_value(); }
};

// Linear in the size of the message plus the number of actions produced. Never recurses.
// Invalid UTF-8 is typed as U+FFFD. With a layout, a character under a modifier that no key of
// it types is an error (the letters A-Z are pressed with their Latin keys on any layout, and a
// letter with a capital under Shift alone is typed as that capital). With
// `maxPresses`, a message that presses more keys is an error; its presses are counted, not
// built, so the time stays linear in the size of the message.
ParseResult parseKeyString(std::string_view utf8, const LayoutLookup& layout = {},
                           std::optional<std::size_t> maxPresses = std::nullopt);

// A message the way a tick types it: refused when longer than kMaxMessageChars characters or
// pressing more than kMaxKeyPresses keys, otherwise parsed against the layout of the window the
// keys go to.
ParseResult readMessage(std::string_view utf8, const LayoutLookup& layout);

// A short Simplified Chinese sentence, for the user, saying what is wrong and where.
std::string describe(const ParseError& error);

}  // namespace vorelo::engine
