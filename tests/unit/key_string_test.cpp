#include "engine/key_string.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <ostream>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace vorelo::engine {

void PrintTo(const KeyAction& a, std::ostream* os) {
  static const char* const kKinds[] = {"Text", "Tap", "CharTap", "Down", "Up"};
  *os << kKinds[static_cast<int>(a.kind)] << "(key " << static_cast<int>(a.key) << ", U+"
      << std::hex << static_cast<unsigned>(a.ch) << std::dec << ")";
}

namespace {

using A = KeyAction;
using E = ParseErrorKind;
using Actions = std::vector<KeyAction>;

Actions parse(std::string_view s) {
  ParseResult r = parseKeyString(s);
  EXPECT_TRUE(r.ok()) << "input: " << s << " error kind " << static_cast<int>(r.error->kind);
  return r.actions;
}

Actions texts(std::u32string_view s) {
  Actions out;
  for (char32_t c : s) out.push_back(A::text(c));
  return out;
}

TEST(KeyString, PlainCharactersAreTypedAsText) {
  EXPECT_EQ(parse(""), Actions{});
  EXPECT_EQ(parse("ab 1"), texts(U"ab 1"));
  EXPECT_EQ(parse("你好，世界"), texts(U"你好，世界"));
  EXPECT_EQ(parse("😀x"), texts(U"😀x"));  // one code point, not a surrogate pair
  EXPECT_EQ(parse("[a]"), texts(U"[a]"));
  EXPECT_EQ(parse("(ab)(())"), texts(U"ab"));  // groups without a modifier just type their content
}

TEST(KeyString, LineBreaksTabsAndTilde) {
  const A enter = A::tap(Key::Enter);
  EXPECT_EQ(parse("a\r\nb\rc\nd"),
            (Actions{A::text('a'), enter, A::text('b'), enter, A::text('c'), enter, A::text('d')}));
  EXPECT_EQ(parse("\r\r\n\n\r"), (Actions{enter, enter, enter, enter}));
  EXPECT_EQ(parse("\t~"), (Actions{A::tap(Key::Tab), enter}));
}

TEST(KeyString, ModifiersHoldOverTheNextKeyOrGroup) {
  const A shiftDown = A::down(Key::Shift), shiftUp = A::up(Key::Shift);
  const A ctrlDown = A::down(Key::Control), ctrlUp = A::up(Key::Control);
  EXPECT_EQ(parse("^a"), (Actions{ctrlDown, A::charTap('a'), ctrlUp}));
  EXPECT_EQ(parse("%f"), (Actions{A::down(Key::Alt), A::charTap('f'), A::up(Key::Alt)}));
  EXPECT_EQ(parse("+(ab)c"),
            (Actions{shiftDown, A::charTap('a'), A::charTap('b'), shiftUp, A::text('c')}));
  EXPECT_EQ(parse("^~"), (Actions{ctrlDown, A::tap(Key::Enter), ctrlUp}));
  EXPECT_EQ(parse("^{ENTER}"), (Actions{ctrlDown, A::tap(Key::Enter), ctrlUp}));
  EXPECT_EQ(parse("+{TAB}"), (Actions{shiftDown, A::tap(Key::Tab), shiftUp}));
  EXPECT_EQ(parse("+\r\n"), (Actions{shiftDown, A::tap(Key::Enter), shiftUp}));
  EXPECT_EQ(parse("+((a))"), (Actions{shiftDown, A::charTap('a'), shiftUp}));
  EXPECT_EQ(parse("^+a"), (Actions{ctrlDown, shiftDown, A::charTap('a'), shiftUp, ctrlUp}));
  EXPECT_EQ(parse("+(^a\tb)"), (Actions{shiftDown, ctrlDown, A::charTap('a'), ctrlUp,
                                        A::tap(Key::Tab), A::charTap('b'), shiftUp}));
}

TEST(KeyString, NamedKeysAreCaseInsensitive) {
  const std::pair<const char*, Key> cases[] = {
      {"{enter}", Key::Enter},   {"{Esc}", Key::Escape},       {"{ESCAPE}", Key::Escape},
      {"{pgup}", Key::PageUp},   {"{PGDN}", Key::PageDown},    {"{prtsc}", Key::PrintScreen},
      {"{bs}", Key::Backspace},  {"{BKSP}", Key::Backspace},   {"{backspace}", Key::Backspace},
      {"{ins}", Key::Insert},    {"{del}", Key::Delete},       {"{ScrollLock}", Key::ScrollLock},
      {"{f1}", Key::F1},         {"{F10}", Key::F10},          {"{F16}", Key::F16},
      {"{divide}", Key::Divide}, {"{MULTIPLY}", Key::Multiply}};
  for (const auto& [text, key] : cases) EXPECT_EQ(parse(text), Actions{A::tap(key)}) << text;
}

TEST(KeyString, OneBracedCharacterIsThatCharacter) {
  EXPECT_EQ(parse("{+}{^}{%}{~}{(}{)}{{}{}}{[}{]}{a}{你}{ }"), texts(U"+^%~(){}[]a你 "));
  EXPECT_EQ(parse("{}}x"), texts(U"}x"));
  EXPECT_EQ(parse("^{a}"), (Actions{A::down(Key::Control), A::charTap('a'), A::up(Key::Control)}));
}

TEST(KeyString, RepeatCounts) {
  EXPECT_EQ(parse("{ENTER 3}"), Actions(3, A::tap(Key::Enter)));
  EXPECT_EQ(parse("{a 10}"), Actions(10, A::text('a')));
  EXPECT_EQ(parse("{} 2}"), Actions(2, A::text('}')));
  EXPECT_EQ(parse("{a 007}"), Actions(7, A::text('a')));
  EXPECT_EQ(parse("{a 0}b"), texts(U"b"));
  EXPECT_EQ(parse("{a 9999}").size(), 9999u);
  Actions held{A::down(Key::Control)};
  held.insert(held.end(), 3, A::charTap('a'));
  held.push_back(A::up(Key::Control));
  EXPECT_EQ(parse("^{a 3}"), held);
  // A modifier over zero keys is never pressed: a lone Alt tap would open the menu bar.
  EXPECT_EQ(parse("%{a 0}"), Actions{});
  EXPECT_EQ(parse("+({a 0}b)"), (Actions{A::down(Key::Shift), A::charTap('b'), A::up(Key::Shift)}));
}

TEST(KeyString, ErrorsRejectTheWholeMessageAtTheRightOffset) {
  const std::tuple<const char*, E, std::size_t> cases[] = {
      {"ab}", E::UnmatchedCloseBrace, 2},
      {"{}}}", E::UnmatchedCloseBrace, 3},
      {"a{ENTER", E::UnclosedBrace, 1},
      {"{", E::UnclosedBrace, 0},
      {"{ENTER 3", E::UnclosedBrace, 0},
      {"x{}", E::UnknownKeyName, 1},
      {"{}abc", E::UnknownKeyName, 0},
      {"{FOO}", E::UnknownKeyName, 0},
      {"{F17}", E::UnknownKeyName, 0},
      {"{ab}", E::UnknownKeyName, 0},
      {"{ENTER x}", E::BadRepeatCount, 0},
      {"{ENTER }", E::BadRepeatCount, 0},
      {"{ENTER  3}", E::BadRepeatCount, 0},
      {"{ENTER 3 }", E::BadRepeatCount, 0},
      {"{a +3}", E::BadRepeatCount, 0},
      {"{a -1}", E::BadRepeatCount, 0},
      {"{a ３}", E::BadRepeatCount, 0},
      {"{a 10000}", E::RepeatCountTooLarge, 0},
      {"{a 99999999999999999999999}", E::RepeatCountTooLarge, 0},
      {"(a", E::UnbalancedParenthesis, 0},
      {"(a(b)", E::UnbalancedParenthesis, 0},
      {"a)", E::UnbalancedParenthesis, 1},
      {"++a", E::ModifierAlreadyHeld, 1},
      {"+(+a)", E::ModifierAlreadyHeld, 2},
      {"^+^a", E::ModifierAlreadyHeld, 2},
      {"a+", E::ModifierWithoutKey, 1},
      {"(a^+)", E::ModifierWithoutKey, 2},
      {"x+()", E::ModifierWithoutKey, 1},
      {"%(())", E::ModifierWithoutKey, 0},
      {"你}", E::UnmatchedCloseBrace, 3}};
  for (const auto& [text, kind, offset] : cases) {
    const ParseResult r = parseKeyString(text);
    ASSERT_FALSE(r.ok()) << text;
    EXPECT_EQ(r.error->kind, kind) << text;
    EXPECT_EQ(r.error->offset, offset) << text;
    EXPECT_TRUE(r.actions.empty()) << text;
  }
}

TEST(KeyString, ErrorsKnowTheirLineColumnAndText) {
  ParseError e = *parseKeyString("你好}").error;
  EXPECT_EQ(e.line, 1u);
  EXPECT_EQ(e.column, 3u);
  EXPECT_EQ(describe(e), "第 3 个字符处的“}”没有对应的“{”。如果想输入“}”本身，请写成 {}}。");
  e = *parseKeyString("ab\r\n\tc{Foo 2}").error;
  EXPECT_EQ(e.line, 2u);
  EXPECT_EQ(e.column, 3u);
  EXPECT_EQ(e.token, "{Foo 2}");
  EXPECT_EQ(parseKeyString("a^+").error->token, "^+");
  EXPECT_NE(describe(*parseKeyString("a^+").error).find("{^}{+}"), std::string::npos);
}

TEST(KeyString, DescribeGivesChineseTextForEveryKind) {
  for (int k = 0; k <= static_cast<int>(E::NoKeyForCharacter); ++k) {
    for (const char* token : {"", "+", "(", "{x}"}) {
      const std::string text = describe(ParseError{static_cast<E>(k), 0, 1, 1, token, "满", 0});
      EXPECT_NE(text.find("第 1 个字符处"), std::string::npos) << k << " " << text;
      EXPECT_NE(text.find("。"), std::string::npos) << k << " " << text;
    }
  }
}

// Under a modifier, a character the focused window's layout has no key for is refused (the
// letters keep their Latin keys); so is a message over the length limit, counted in characters.
TEST(KeyString, CharactersNoKeyTypesAndOverlongMessagesAreRefused) {
  const LayoutLookup asciiOnly = [](char32_t ch) -> std::optional<LayoutKey> {
    if (ch >= 0x80) return std::nullopt;
    return LayoutKey{static_cast<uint16_t>(ch), 0};
  };
  const ParseResult bad = parseKeyString("100%满意", asciiOnly);
  ASSERT_FALSE(bad.ok());
  EXPECT_EQ(bad.error->kind, E::NoKeyForCharacter);
  EXPECT_EQ(bad.error->offset, 3u);
  EXPECT_EQ(bad.error->character, "满");
  EXPECT_NE(describe(*bad.error).find("{%}"), std::string::npos) << describe(*bad.error);
  EXPECT_EQ(parseKeyString("^+(a满)", asciiOnly).error->token, "^+");
  EXPECT_TRUE(parseKeyString("%{满 0}", asciiOnly).ok()) << "nothing is pressed";
  EXPECT_TRUE(parseKeyString("^c", [](char32_t) { return std::optional<LayoutKey>(); }).ok());
  EXPECT_TRUE(parseKeyString("%满").ok()) << "without a layout nothing is looked up";

  std::string chinese;
  for (std::size_t i = 0; i < kMaxMessageChars; ++i) chinese += "你";
  EXPECT_TRUE(readMessage(chinese, asciiOnly).ok());
  const ParseResult tooLong = readMessage(chinese + "a", asciiOnly);
  ASSERT_FALSE(tooLong.ok());
  EXPECT_EQ(tooLong.error->length, kMaxMessageChars + 1);
  EXPECT_NE(describe(*tooLong.error).find("10001"), std::string::npos);
}

// A message presses at most 20,000 keys, repeats and modifiers counted. A message far over is
// counted, not built: its count is exact and it is refused at once.
TEST(KeyString, AtMostTwentyThousandKeyPresses) {
  std::string exact;
  for (int i = 0; i < 2; ++i) exact += "{a 9999}";
  exact += "+(a)";  // Shift and A
  EXPECT_EQ(readMessage(exact, {}).actions.size(), 20001u) << "and Shift's release";
  const ParseResult over = readMessage(exact + "b", {});
  ASSERT_FALSE(over.ok());
  EXPECT_EQ(over.error->kind, E::TooManyKeyPresses);
  EXPECT_EQ(over.error->length, 20001u);
  EXPECT_NE(describe(*over.error).find("20001"), std::string::npos);
  EXPECT_NE(describe(*over.error).find("20000"), std::string::npos);

  std::string flood;
  for (int i = 0; i < 200; ++i) flood += "{a 9999}";
  const ParseResult refused = readMessage(flood, {});
  ASSERT_FALSE(refused.ok());
  EXPECT_EQ(refused.error->length, 1999800u);
  EXPECT_EQ(readMessage("{a 9999}{x", {}).error->kind, E::UnclosedBrace) << "syntax comes first";
}

TEST(KeyString, InvalidUtf8BecomesReplacementCharacters) {
  EXPECT_EQ(parse("\xE4\xB8"
                  "a\xFF"),
            texts(U"\uFFFDa\uFFFD"));
  EXPECT_EQ(parse("\xC0\xAF"), texts(U"\uFFFD\uFFFD"));            // overlong
  EXPECT_EQ(parse("\xED\xA0\x80"), texts(U"\uFFFD\uFFFD\uFFFD"));  // surrogate
  EXPECT_EQ(parse("{\xE4\xB8}"), texts(U"\uFFFD"));
}

TEST(KeyString, DeepAndLongInputs) {
  const std::string deep = std::string(200000, '(') + "a" + std::string(200000, ')');
  EXPECT_EQ(parse(deep), texts(U"a"));
  std::string longText;
  for (int i = 0; i < 2500; ++i) longText += "你a";
  EXPECT_EQ(parse(longText).size(), 5000u);
}

// For any input: an error with no actions, or Downs and Ups that nest properly, never press a
// modifier twice, and put every CharTap (and no Text) under a held modifier.
TEST(KeyString, RandomInputsKeepModifiersBalanced) {
  const char* const pieces[] = {"a",     "+", "^", "%", "(",  ")",  "{",     "}",     "~",
                                "ENTER", " ", "3", "0", "\n", "你", "{a 2}", "{a 0}", "\xE4"};
  std::mt19937 rng(12345);
  int accepted = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string input;
    for (int n = static_cast<int>(rng() % 16); n > 0; --n)
      input += pieces[rng() % std::size(pieces)];
    const ParseResult r = parseKeyString(input);
    if (!r.ok()) {
      ASSERT_TRUE(r.actions.empty()) << input;
      continue;
    }
    ++accepted;
    std::vector<Key> held;
    for (const KeyAction& a : r.actions) {
      if (a.kind == A::Kind::Down) {
        ASSERT_EQ(std::find(held.begin(), held.end(), a.key), held.end()) << input;
        held.push_back(a.key);
      } else if (a.kind == A::Kind::Up) {
        ASSERT_TRUE(!held.empty() && held.back() == a.key) << input;
        held.pop_back();
      } else if (a.kind == A::Kind::CharTap) {
        ASSERT_FALSE(held.empty()) << input;
      } else if (a.kind == A::Kind::Text) {
        ASSERT_TRUE(held.empty()) << input;
      }
    }
    ASSERT_TRUE(held.empty()) << input;
  }
  EXPECT_GT(accepted, 2000);
}

}  // namespace
}  // namespace vorelo::engine
