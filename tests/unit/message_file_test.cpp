#include "messages/message_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/utf.h"

namespace vorelo::messages {
namespace {

using Items = std::vector<std::string>;

// UTF-8 text from a u8 literal, whatever the compiler's narrow execution character set.
std::string u8(std::u8string_view s) {
  return std::string(s.begin(), s.end());
}

// Stand-in for the code page decoder: ASCII stays, every other byte becomes <decimal value>.
struct FakeAnsi {
  int calls = 0;
  std::string operator()(std::string_view bytes) {
    ++calls;
    std::string out;
    for (char c : bytes) {
      const auto b = static_cast<unsigned char>(c);
      out += b < 0x80 ? std::string(1, c) : "<" + std::to_string(b) + ">";
    }
    return out;
  }
};

std::string bytes(std::initializer_list<unsigned char> list) {
  return std::string(list.begin(), list.end());
}

Items read(std::string_view file) {
  FakeAnsi ansi;
  return readMessageFile(file, std::ref(ansi));
}

TEST(SplitFields, SeparatorsAndBlanks) {
  EXPECT_EQ(splitFields(u8(u8"你好,世界")), (Items{u8(u8"你好"), u8(u8"世界")}));
  EXPECT_EQ(splitFields("  x"), Items{"x"});
  EXPECT_EQ(splitFields(" \ta b \t,c"), (Items{"a b", "c"}));
  EXPECT_EQ(splitFields("a\r\nb\r\n"), (Items{"a", "b"}));
  EXPECT_EQ(splitFields("a\rb\nc"), (Items{"a", "b", "c"}));
  EXPECT_EQ(splitFields("a\r\n\r\nb"), (Items{"a", "", "b"}));
  EXPECT_EQ(splitFields("a,,b,\r\nc"), (Items{"a", "", "b", "", "c"}));
  EXPECT_EQ(splitFields("#TRUE#,#NULL#,#2000-01-01#"), (Items{"#TRUE#", "#NULL#", "#2000-01-01#"}));
}

TEST(SplitFields, EndOfText) {
  EXPECT_EQ(splitFields(""), Items{});
  EXPECT_EQ(splitFields("a\r\n"), Items{"a"});
  EXPECT_EQ(splitFields("a\r\n\r\n"), (Items{"a", ""}));
  EXPECT_EQ(splitFields("a,"), Items{"a"});
  EXPECT_EQ(splitFields("\r\n"), Items{""});
  EXPECT_EQ(splitFields("\n\n"), (Items{"", ""}));
}

TEST(SplitFields, QuotedFields) {
  EXPECT_EQ(splitFields(u8(u8"\"你好,世界\"")), Items{u8(u8"你好,世界")});
  EXPECT_EQ(splitFields("\"a\r\nb\",c"), (Items{"a\r\nb", "c"}));
  EXPECT_EQ(splitFields("\"ab\"cd,e"), (Items{"ab", "e"}));
  EXPECT_EQ(splitFields("  \" x \"  \r\ny"), (Items{" x ", "y"}));
  EXPECT_EQ(splitFields("\"\",\"\""), (Items{"", ""}));
  EXPECT_EQ(splitFields("\"open, \r\nto the end"), Items{"open, \r\nto the end"});
}

TEST(SplitFields, StopsAtTheItemLimit) {
  std::string text;
  for (int i = 0; i < 40000; ++i) text += "x\n";
  const Items items = splitFields(text);
  EXPECT_EQ(items.size(), kMaxItems);
  EXPECT_EQ(splitFields("a,b,c,d", 3), (Items{"a", "b", "c"}));
}

TEST(SplitFields, LargeInputStaysLinear) {
  std::string text(1 << 20, 'a');  // one long line, then 100,000 short fields
  for (int i = 0; i < 100000; ++i) text += "\r\nbb";
  const Items items = splitFields(text, 200000);
  ASSERT_EQ(items.size(), 100001u);
  EXPECT_EQ(items.front().size(), std::size_t{1} << 20);
  EXPECT_EQ(items.back(), "bb");
}

TEST(DecodeMessageFile, Utf8WithAndWithoutBom) {
  EXPECT_EQ(read(u8(u8"\uFEFF你好\r\nb")), (Items{u8(u8"你好"), "b"}));
  EXPECT_EQ(read(u8(u8"你好,é")), (Items{u8(u8"你好"), u8(u8"é")}));
  EXPECT_EQ(read("\xEF\xBB\xBF"), Items{});
  EXPECT_EQ(read(""), Items{});
  EXPECT_EQ(read(bytes({0xEF, 0xBB, 0xBF, 'a', 0xE4, 0xBD, ',', 0xC0, 0x80})),
            (Items{u8(u8"a\uFFFD"), u8(u8"\uFFFD\uFFFD")}));
}

TEST(DecodeMessageFile, Utf16WithBom) {
  // "a😀,b" followed by an odd trailing byte.
  const Items expected{u8(u8"a😀"), "b"};
  EXPECT_EQ(read(bytes({0xFF, 0xFE, 'a', 0, 0x3D, 0xD8, 0x00, 0xDE, ',', 0, 'b', 0, 0x7F})),
            expected);
  EXPECT_EQ(read(bytes({0xFE, 0xFF, 0, 'a', 0xD8, 0x3D, 0xDE, 0x00, 0, ',', 0, 'b', 0x7F})),
            expected);
  // A lone low surrogate, a NUL code unit and a high surrogate at the very end.
  EXPECT_EQ(read(bytes({0xFF, 0xFE, 0x00, 0xDC, 'a', 0, 0, 0, 'b', 0, 0x3D, 0xD8})),
            Items{u8(u8"\uFFFDab\uFFFD")});
}

TEST(DecodeMessageFile, AnsiFallback) {
  FakeAnsi ansi;
  EXPECT_EQ(readMessageFile("\xC4\xE3\xBA\xC3,x", std::ref(ansi)),
            (Items{"<196><227><186><195>", "x"}));
  EXPECT_EQ(readMessageFile("plain,text", std::ref(ansi)), (Items{"plain", "text"}));
  EXPECT_EQ(ansi.calls, 2);
  EXPECT_EQ(readMessageFile(u8(u8"é"), std::ref(ansi)), Items{u8(u8"é")});
  EXPECT_EQ(ansi.calls, 2);

  const AnsiDecoder broken = [](std::string_view) { return bytes({'a', 0xFF, 'b', 0, 'c'}); };
  EXPECT_EQ(readMessageFile("x", broken), Items{u8(u8"a\uFFFDbc")});
  EXPECT_EQ(read(bytes({'a', 0, 'b', ',', 0, 'c'})), (Items{"ab", "c"}));
}

// A file cut inside a UTF-8 character (at the size limit or by a read error) is still UTF-8: the
// piece of a character at the cut is dropped, it does not send the text to the code page.
TEST(DecodeMessageFile, ACutInsideACharacterKeepsUtf8) {
  FakeAnsi ansi;
  const std::string file = u8(u8"你好,世界");
  const std::string cut = file.substr(0, file.size() - 1);
  EXPECT_EQ(readMessageFile(cut, std::ref(ansi), FileEnd::Limit),
            (Items{u8(u8"你好"), u8(u8"世")}));
  EXPECT_EQ(readMessageFile(cut, std::ref(ansi), FileEnd::ReadError), Items{u8(u8"你好")});
  EXPECT_EQ(readMessageFile("\xEF\xBB\xBF" + cut, std::ref(ansi), FileEnd::Limit),
            (Items{u8(u8"你好"), u8(u8"世")}));
  EXPECT_EQ(ansi.calls, 0);
}

TEST(Utf, ConversionsReplaceBrokenInput) {
  const std::string text = u8(u8"a你😀");
  EXPECT_EQ(utf::utf8ToUtf16(text), u"a你😀");
  EXPECT_EQ(utf::utf16ToUtf8(utf::utf8ToUtf16(text)), text);
  EXPECT_EQ(utf::utf8ToUtf16("\xED\xA0\x80z\xF4\x90"), u"\uFFFD\uFFFD\uFFFDz\uFFFD\uFFFD");
  EXPECT_FALSE(utf::isValidUtf8("\xE0\x80\x80"));
  EXPECT_TRUE(utf::isValidUtf8(text));
  std::u32string cps;
  utf::forEachCodePoint(text, [&](char32_t c) { cps += c; });
  EXPECT_EQ(cps, U"a你😀");
}

}  // namespace
}  // namespace vorelo::messages
