#include "engine/key_string.h"

#include <utility>

#include "base/utf.h"
#include "engine/capitals.h"
#include "engine/key_table.h"

namespace vorelo::engine {
namespace {

// The offending text as it should appear in an error message: valid UTF-8, control characters
// shown as blanks, and long pieces clipped.
std::string printable(std::string_view raw) {
  constexpr std::size_t kMaxChars = 24;
  std::string out;
  std::size_t chars = 0;
  for (std::size_t i = 0; i < raw.size();) {
    if (chars == kMaxChars) {
      out += "\xE2\x80\xA6";  // …
      break;
    }
    const char32_t cp = utf::nextCodePoint(raw, i).value;
    utf::appendUtf8(out, (cp < 0x20 || cp == 0x7F) ? U' ' : cp);
    ++chars;
  }
  return out;
}

char modifierChar(Key key) {
  switch (key) {
    case Key::Shift:
      return '+';
    case Key::Control:
      return '^';
    default:
      return '%';
  }
}

// 1-based line and column (in code points) of a byte offset. CR, LF and CR LF each end a line.
std::pair<std::size_t, std::size_t> locate(std::string_view s, std::size_t offset) {
  std::size_t line = 1;
  std::size_t column = 1;
  for (std::size_t i = 0; i < offset && i < s.size();) {
    if (s[i] == '\r' || s[i] == '\n') {
      i += (s[i] == '\r' && i + 1 < offset && s[i + 1] == '\n') ? 2 : 1;
      ++line;
      column = 1;
    } else {
      utf::nextCodePoint(s, i);
      ++column;
    }
  }
  return {line, column};
}

class Parser {
 public:
  Parser(std::string_view text, const LayoutLookup& layout, std::optional<std::size_t> maxPresses)
      : text_(text), layout_(layout), maxPresses_(maxPresses) {
    out_.reserve(text.size());  // usually one action per byte or fewer
  }

  ParseResult run() {
    while (pos_ < text_.size() && step()) {
    }
    if (!error_) finish();
    if (!error_ && maxPresses_ && presses_ > *maxPresses_) {
      error_ = ParseError{ParseErrorKind::TooManyKeyPresses, 0, 0, 0, {}, {}, presses_};
    }
    ParseResult result;
    if (error_) {
      result.error = std::move(error_);
    } else {
      result.actions = std::move(out_);
    }
    return result;
  }

 private:
  // A modifier asked for by + ^ %. Its Down is only emitted right before the first key it
  // applies to, so a hold over nothing (e.g. %{a 0}) presses nothing.
  struct Modifier {
    Key key;
    std::size_t offset;
    bool pressed;
  };

  struct Group {
    std::size_t open_offset;
    std::size_t first_modifier;  // index into mods_ of the modifiers held over this group
    bool has_key;                // a key (even one repeated zero times) appears inside
  };

  // Handles the token at pos_; returns false after recording an error.
  bool step() {
    const std::size_t at = pos_;
    switch (text_[at]) {
      case '+':
        return holdModifier(Key::Shift, at);
      case '^':
        return holdModifier(Key::Control, at);
      case '%':
        return holdModifier(Key::Alt, at);
      case '~':
        ++pos_;
        return emitKey(KeyAction::tap(Key::Enter), 1);
      case '\r':
        pos_ += (at + 1 < text_.size() && text_[at + 1] == '\n') ? 2 : 1;
        return emitKey(KeyAction::tap(Key::Enter), 1);
      case '\n':
        ++pos_;
        return emitKey(KeyAction::tap(Key::Enter), 1);
      case '\t':
        ++pos_;
        return emitKey(KeyAction::tap(Key::Tab), 1);
      case '(':
        groups_.push_back({at, pending_begin_, false});
        pending_begin_ = mods_.size();
        ++pos_;
        return true;
      case ')':
        return closeGroup(at);
      case '{':
        return braced(at);
      case '}':
        return fail(ParseErrorKind::UnmatchedCloseBrace, at, "}");
      default: {
        return emitKey(character(utf::nextCodePoint(text_, pos_).value), 1);
      }
    }
  }

  void finish() {
    if (!groups_.empty()) {
      fail(ParseErrorKind::UnbalancedParenthesis, groups_.front().open_offset, "(");
    } else if (mods_.size() > pending_begin_) {
      fail(ParseErrorKind::ModifierWithoutKey, mods_[pending_begin_].offset,
           modifierChain(pending_begin_, mods_.size()));
    }
  }

  bool holdModifier(Key key, std::size_t at) {
    for (const Modifier& m : mods_) {
      if (m.key == key) {
        return fail(ParseErrorKind::ModifierAlreadyHeld, at, std::string(1, modifierChar(key)));
      }
    }
    mods_.push_back({key, at, false});
    ++pos_;
    return true;
  }

  bool closeGroup(std::size_t at) {
    if (mods_.size() > pending_begin_) {
      return fail(ParseErrorKind::ModifierWithoutKey, mods_[pending_begin_].offset,
                  modifierChain(pending_begin_, mods_.size()));
    }
    if (groups_.empty()) return fail(ParseErrorKind::UnbalancedParenthesis, at, ")");
    const Group group = groups_.back();
    groups_.pop_back();
    if (pending_begin_ > group.first_modifier && !group.has_key) {
      return fail(ParseErrorKind::ModifierWithoutKey, mods_[group.first_modifier].offset,
                  modifierChain(group.first_modifier, pending_begin_));
    }
    release(group.first_modifier);
    pending_begin_ = group.first_modifier;
    if (group.has_key && !groups_.empty()) groups_.back().has_key = true;
    ++pos_;
    return true;
  }

  // {NAME}, {NAME n}, {c}, {c n}. The first code point after { always belongs to the name, so
  // {}} and {{} work; the name then runs to the first } or blank.
  bool braced(std::size_t at) {
    const std::size_t name_begin = at + 1;
    if (name_begin >= text_.size()) return fail(ParseErrorKind::UnclosedBrace, at, "{");
    std::size_t name_end = name_begin;
    const char32_t first = utf::nextCodePoint(text_, name_end).value;
    const std::size_t first_length = name_end - name_begin;
    if (first == U'}' && text_.find('}', name_end) == std::string_view::npos) {
      return fail(ParseErrorKind::UnknownKeyName, at, "{}");
    }
    while (name_end < text_.size() && text_[name_end] != '}' && text_[name_end] != ' ') {
      ++name_end;
    }
    if (name_end >= text_.size()) return fail(ParseErrorKind::UnclosedBrace, at, "{");

    std::size_t close = name_end;
    int repeat = 1;
    if (text_[name_end] == ' ') {
      close = text_.find('}', name_end + 1);
      if (close == std::string_view::npos) return fail(ParseErrorKind::UnclosedBrace, at, "{");
    }
    const std::string_view whole = text_.substr(at, close + 1 - at);

    const std::string_view name = text_.substr(name_begin, name_end - name_begin);
    KeyAction action = KeyAction::text(0);
    if (name.size() == first_length) {
      action = first == U'\t'                       ? KeyAction::tap(Key::Tab)
               : (first == U'\r' || first == U'\n') ? KeyAction::tap(Key::Enter)
                                                    : character(first);
    } else if (const std::optional<Key> key = keyNamed(name)) {
      action = KeyAction::tap(*key);
    } else {
      return fail(ParseErrorKind::UnknownKeyName, at, printable(whole));
    }

    if (close != name_end) {
      const std::string_view digits = text_.substr(name_end + 1, close - name_end - 1);
      bool too_large = false;
      repeat = 0;
      for (const char c : digits) {
        if (c < '0' || c > '9') return fail(ParseErrorKind::BadRepeatCount, at, printable(whole));
        if (!too_large) {
          repeat = repeat * 10 + (c - '0');
          too_large = repeat > kMaxRepeat;
        }
      }
      if (digits.empty()) return fail(ParseErrorKind::BadRepeatCount, at, printable(whole));
      if (too_large) return fail(ParseErrorKind::RepeatCountTooLarge, at, printable(whole));
    }

    pos_ = close + 1;
    return emitKey(action, repeat);
  }

  // Emits one key `repeat` times under the modifiers in force, then releases the modifiers that
  // were waiting for this key. False after recording an error.
  bool emitKey(KeyAction action, int repeat) {
    if (repeat > 0 && action.kind == KeyAction::Kind::CharTap && !typable(action.ch)) {
      return fail(ParseErrorKind::NoKeyForCharacter, mods_.front().offset,
                  modifierChain(0, mods_.size()), action.ch);
    }
    if (repeat > 0) {
      std::size_t modifiers = 0;
      for (const Modifier& m : mods_) modifiers += m.pressed ? 0 : 1;
      presses_ += modifiers + static_cast<std::size_t>(repeat);
      // Past the limit the message is only counted: the key list is never built.
      const bool building = !maxPresses_ || presses_ <= *maxPresses_;
      for (Modifier& m : mods_) {
        if (!m.pressed && building) out_.push_back(KeyAction::down(m.key));
        m.pressed = true;
      }
      if (building) out_.insert(out_.end(), static_cast<std::size_t>(repeat), action);
    }
    if (!groups_.empty()) groups_.back().has_key = true;
    release(pending_begin_);
    return true;
  }

  // Without a layout every character counts as typable; the letters A-Z always are, and so is
  // any letter with a capital under Shift alone, which is typed as its capital.
  bool typable(char32_t ch) const {
    if (!layout_ || (ch >= U'a' && ch <= U'z') || (ch >= U'A' && ch <= U'Z')) return true;
    if (mods_.size() == 1 && mods_.front().key == Key::Shift && capitalLetter(ch)) return true;
    const std::optional<LayoutKey> key = layout_(ch);
    return key && key->vk != 0;
  }

  // Releases, innermost first, every modifier from index `keep` on.
  void release(std::size_t keep) {
    while (mods_.size() > keep) {
      if (mods_.back().pressed && (!maxPresses_ || presses_ <= *maxPresses_)) {
        out_.push_back(KeyAction::up(mods_.back().key));
      }
      mods_.pop_back();
    }
  }

  KeyAction character(char32_t cp) const {
    return mods_.empty() ? KeyAction::text(cp) : KeyAction::charTap(cp);
  }

  std::string modifierChain(std::size_t from, std::size_t to) const {
    std::string chain;
    for (std::size_t i = from; i < to; ++i) chain += modifierChar(mods_[i].key);
    return chain;
  }

  bool fail(ParseErrorKind kind, std::size_t offset, std::string token, char32_t ch = 0) {
    const auto [line, column] = locate(text_, offset);
    error_ = ParseError{kind, offset, line, column, std::move(token), {}, 0};
    if (ch != 0) utf::appendUtf8(error_->character, ch);
    return false;
  }

  std::string_view text_;
  const LayoutLookup& layout_;
  const std::optional<std::size_t> maxPresses_;
  // Characters, named keys and modifiers pressed so far, repeats counted.
  std::size_t presses_ = 0;
  std::size_t pos_ = 0;
  std::vector<KeyAction> out_;
  std::vector<Modifier> mods_;     // outermost first; never more than three
  std::size_t pending_begin_ = 0;  // mods_[pending_begin_..] wait for the next key
  std::vector<Group> groups_;      // explicit stack: deep nesting costs memory, not recursion
  std::optional<ParseError> error_;
};

std::string quoted(std::string_view s) {
  return "“" + std::string(s) + "”";
}

std::string where(const ParseError& e) {
  if (e.line == 0 || e.column == 0) return "消息中";
  std::string place = "第 ";
  if (e.line > 1) place += std::to_string(e.line) + " 行第 ";
  return place + std::to_string(e.column) + " 个字符处";
}

std::string modifierKeyName(char c) {
  switch (c) {
    case '+':
      return "Shift";
    case '^':
      return "Ctrl";
    default:
      return "Alt";
  }
}

bool isModifierChain(std::string_view s) {
  return !s.empty() && s.find_first_not_of("+^%") == std::string_view::npos;
}

// "^+" -> "{^}{+}": how to type the symbols themselves.
std::string bracedEach(std::string_view symbols) {
  std::string out;
  for (const char c : symbols) out += std::string("{") + c + "}";
  return out;
}

}  // namespace

ParseResult parseKeyString(std::string_view utf8, const LayoutLookup& layout,
                           std::optional<std::size_t> maxPresses) {
  return Parser(utf8, layout, maxPresses).run();
}

ParseResult readMessage(std::string_view utf8, const LayoutLookup& layout) {
  const std::size_t chars = utf::countCodePoints(utf8);
  if (chars > kMaxMessageChars) {
    ParseResult result;
    result.error = ParseError{ParseErrorKind::MessageTooLong, 0, 0, 0, {}, {}, chars};
    return result;
  }
  return parseKeyString(utf8, layout, kMaxKeyPresses);
}

std::string describe(const ParseError& error) {
  const std::string at = where(error);
  const std::string& token = error.token;
  switch (error.kind) {
    case ParseErrorKind::UnmatchedCloseBrace:
      return at + "的“}”没有对应的“{”。如果想输入“}”本身，请写成 {}}。";
    case ParseErrorKind::UnclosedBrace:
      return at + "的“{”没有对应的“}”。如果想输入“{”本身，请写成 {{}。";
    case ParseErrorKind::UnknownKeyName:
      if (token.empty() || token == "{}") return at + "的花括号里没有写按键名称。";
      return at + "的" + quoted(token) +
             "不是能识别的按键名称。花括号里应写按键名称（如 {ENTER}）或单个字符。";
    case ParseErrorKind::BadRepeatCount:
      return at + "的" + (token.empty() ? std::string("按键") : quoted(token)) +
             "中重复次数的写法不对：名称后应只有一个空格和数字，例如 {ENTER 3}。";
    case ParseErrorKind::RepeatCountTooLarge:
      return at + "的" + (token.empty() ? std::string("按键") : quoted(token)) +
             "的重复次数太多，最多只能重复 " + std::to_string(kMaxRepeat) + " 次。";
    case ParseErrorKind::UnbalancedParenthesis:
      if (token == "(") return at + "的“(”没有对应的“)”。如果想输入括号本身，请写成 {(}。";
      if (token == ")") return at + "的“)”没有对应的“(”。如果想输入括号本身，请写成 {)}。";
      return at + "的括号没有成对出现。如果想输入括号本身，请写成 {(} 或 {)}。";
    case ParseErrorKind::ModifierAlreadyHeld:
      if (token.size() == 1 && isModifierChain(token)) {
        return at + "的" + quoted(token) + "是多余的：这时 " + modifierKeyName(token[0]) +
               " 键已经按住了。如果想输入" + quoted(token) + "本身，请写成 " + bracedEach(token) +
               "。";
      }
      return at + "重复按住了同一个 Shift、Ctrl 或 Alt 键。";
    case ParseErrorKind::ModifierWithoutKey:
      if (isModifierChain(token)) {
        return at + "的" + quoted(token) + "后面缺少要一起按的键。如果想输入" + quoted(token) +
               "本身，请写成 " + bracedEach(token) + "。";
      }
      return at + "的 Shift、Ctrl 或 Alt 后面缺少要一起按的键。";
    case ParseErrorKind::NoKeyForCharacter:
      return at + "的" + quoted(token) + "要和" + quoted(error.character) +
             "一起按，但当前的键盘布局里没有能打出" + quoted(error.character) + "的键。如果想输入" +
             quoted(token) + "本身，请写成 " + bracedEach(token) + "。";
    case ParseErrorKind::MessageTooLong:
      return "这条消息有 " + std::to_string(error.length) + " 个字符，超过了每条消息最多 " +
             std::to_string(kMaxMessageChars) + " 个字符的上限。请把它分成几条较短的消息。";
    case ParseErrorKind::TooManyKeyPresses:
      return "这条消息要按 " + std::to_string(error.length) +
             " 次键（重复次数也算在内），超过了每条消息最多 " + std::to_string(kMaxKeyPresses) +
             " 次按键的上限。请减少重复次数，或把它分成几条消息。";
  }
  return at + "的写法有误。";
}

}  // namespace vorelo::engine
