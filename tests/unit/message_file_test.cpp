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

// Stand-in for the code page converter: ASCII stays, every other byte becomes <decimal value>.
// Records the code pages it was asked for.
struct FakeConverter {
  std::vector<uint32_t> pages;
  std::string operator()(uint32_t page, std::string_view bytes) {
    pages.push_back(page);
    std::string out;
    for (char c : bytes) {
      const auto b = static_cast<unsigned char>(c);
      out += b < 0x80 ? std::string(1, c) : "<" + std::to_string(b) + ">";
    }
    return out;
  }
};

// A Chinese system: GBK for the system and the user's locale.
CodePages chinese(FakeConverter& converter) {
  return {kGbkCodePage, kGbkCodePage, std::ref(converter)};
}

std::string bytes(std::initializer_list<unsigned char> list) {
  return std::string(list.begin(), list.end());
}

std::string utf16le(std::u16string_view text, bool bigEndian = false) {
  std::string out;
  for (const char16_t unit : text) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  }
  return out;
}

Items read(std::string_view file, FileEnd end = FileEnd::Whole) {
  FakeConverter converter;
  return readMessageFile(file, chinese(converter), end);
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

// Broken input is dropped; a U+FFFD the file holds itself stays.
TEST(DecodeMessageFile, Utf8WithAndWithoutBom) {
  EXPECT_EQ(read(u8(u8"\uFEFF你好\r\nb")), (Items{u8(u8"你好"), "b"}));
  EXPECT_EQ(read(u8(u8"你好,é")), (Items{u8(u8"你好"), u8(u8"é")}));
  EXPECT_EQ(read("\xEF\xBB\xBF"), Items{});
  EXPECT_EQ(read(""), Items{});
  EXPECT_EQ(
      read(bytes({0xEF, 0xBB, 0xBF, 'a', 0xE4, 0xBD, ',', 0xC0, 0x80, 'b', 0xEF, 0xBF, 0xBD})),
      (Items{"a", u8(u8"b\uFFFD")}));
}

TEST(DecodeMessageFile, Utf16WithBom) {
  // "a😀,b" followed by an odd trailing byte.
  const Items expected{u8(u8"a😀"), "b"};
  EXPECT_EQ(read(bytes({0xFF, 0xFE, 'a', 0, 0x3D, 0xD8, 0x00, 0xDE, ',', 0, 'b', 0, 0x7F})),
            expected);
  EXPECT_EQ(read(bytes({0xFE, 0xFF, 0, 'a', 0xD8, 0x3D, 0xDE, 0x00, 0, ',', 0, 'b', 0x7F})),
            expected);
  // A lone low surrogate, a NUL code unit, the file's own U+FFFD and a high surrogate at the end.
  EXPECT_EQ(read(bytes({0xFF, 0xFE, 0x00, 0xDC, 'a', 0, 0, 0, 'b', 0, 0xFD, 0xFF, 0x3D, 0xD8})),
            Items{u8(u8"ab\uFFFD")});
}

// Without a BOM, UTF-16 LE is told by the zero bytes its ASCII characters put at odd offsets all
// through the file; a file in a code page, with a stray NUL or of an odd length, reads as before.
TEST(DecodeMessageFile, Utf16LeWithoutBom) {
  const std::string file = utf16le(u"你好,一二\r\n早上好😀\r\n");
  EXPECT_EQ(read(file), (Items{u8(u8"你好"), u8(u8"一二"), u8(u8"早上好😀")}));
  // Cut short at the limit, inside a surrogate pair: what was read whole is kept.
  EXPECT_EQ(read(file.substr(0, file.size() - 5), FileEnd::Limit),
            (Items{u8(u8"你好"), u8(u8"一二"), u8(u8"早上好")}));
  // ASCII in UTF-16 LE reads the same either way.
  EXPECT_EQ(read(utf16le(u"ab,c")), (Items{"ab", "c"}));

  FakeConverter converter;
  const auto legacy = [&](const std::string& f) { return readMessageFile(f, chinese(converter)); };
  legacy(file.substr(0, file.size() - 1));                                 // of an odd length
  EXPECT_EQ(legacy(bytes({'a', 'b', 'c', 0, 'd', 'e'})), Items{"abcde"});  // a single NUL
  EXPECT_EQ(legacy(bytes({0xC4, 0xE3, 0, 0xBA, 0xC3, ',', 'x', 0})),
            (Items{"<196><227><186><195>", "x"}));                // GBK with NULs in one half only
  EXPECT_EQ(legacy(bytes({'a', 0, 0, 0, 'b', 0})), Items{"ab"});  // a zero code unit
  const std::u16string lone{u'a', u',', char16_t{0xDC00}, u'b', u','};
  EXPECT_EQ(legacy(utf16le(lone)), (Items{"a", "<220>b"}));  // a lone surrogate
  // UTF-16 BE: more zeros at even offsets than at odd ones, though both halves have some.
  EXPECT_EQ(legacy(utf16le(u"ab一,cd一,", true)), (Items{"abN", "cdN"}));
  std::string stray(2000, 'a');  // two NULs at odd offsets, one in each half
  stray[301] = stray[1501] = '\0';
  EXPECT_EQ(legacy(stray), Items{std::string(1998, 'a')});
  EXPECT_EQ(legacy("a"), Items{"a"});
  EXPECT_EQ(legacy(std::string(1, '\0')), Items{});
  EXPECT_EQ(converter.pages.size(), 9u);
}

TEST(DecodeMessageFile, CodePageFallback) {
  FakeConverter converter;
  const CodePages pages = chinese(converter);
  EXPECT_EQ(readMessageFile("\xC4\xE3\xBA\xC3,x", pages), (Items{"<196><227><186><195>", "x"}));
  EXPECT_EQ(readMessageFile("plain,text", pages), (Items{"plain", "text"}));
  EXPECT_EQ(readMessageFile(u8(u8"é"), pages), Items{u8(u8"é")});
  EXPECT_EQ(converter.pages, (std::vector<uint32_t>{kGbkCodePage, kGbkCodePage}));

  // What the converter could not read is dropped, not typed as U+FFFD.
  const CodePages broken{kGbkCodePage, kGbkCodePage, [](uint32_t, std::string_view) {
                           return bytes({'a', 0xFF, 'b', 0, 'c', 0xEF, 0xBF, 0xBD});
                         }};
  EXPECT_EQ(readMessageFile("x", broken), Items{"abc"});
  // Without a converter the bytes are kept as far as they are UTF-8.
  EXPECT_EQ(readMessageFile(bytes({'a', 0xC4, 'b'}), CodePages{}), Items{"ab"});
}

// Where the system code page is UTF-8, a file that is not UTF-8 was written in the legacy code
// page of the user's locale, GBK where the locale has none.
TEST(DecodeMessageFile, Utf8SystemCodePageReadsOtherFilesInTheUsersLegacyOne) {
  FakeConverter converter;
  const std::string gbk = "\xC4\xE3\xBA\xC3";
  EXPECT_EQ(readMessageFile(gbk, {kUtf8CodePage, 950, std::ref(converter)}),
            Items{"<196><227><186><195>"});
  readMessageFile(gbk, {kUtf8CodePage, 0, std::ref(converter)});
  readMessageFile(gbk, {kUtf8CodePage, kUtf8CodePage, std::ref(converter)});
  EXPECT_EQ(converter.pages, (std::vector<uint32_t>{950, kGbkCodePage, kGbkCodePage}));
  EXPECT_EQ(readMessageFile(u8(u8"你好"), {kUtf8CodePage, 950, std::ref(converter)}),
            Items{u8(u8"你好")});
  EXPECT_EQ(converter.pages.size(), 3u);
}

// A file cut inside a UTF-8 character (at the size limit or by a read error) is still UTF-8: the
// piece of a character at the cut is dropped, it does not send the text to the code page.
TEST(DecodeMessageFile, ACutInsideACharacterKeepsUtf8) {
  FakeConverter converter;
  const CodePages pages = chinese(converter);
  const std::string file = u8(u8"你好,世界");
  const std::string cut = file.substr(0, file.size() - 1);
  EXPECT_EQ(readMessageFile(cut, pages, FileEnd::Limit), (Items{u8(u8"你好"), u8(u8"世")}));
  EXPECT_EQ(readMessageFile(cut, pages, FileEnd::ReadError), Items{u8(u8"你好")});
  EXPECT_EQ(readMessageFile("\xEF\xBB\xBF" + cut, pages, FileEnd::Limit),
            (Items{u8(u8"你好"), u8(u8"世")}));
  EXPECT_TRUE(converter.pages.empty());
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
