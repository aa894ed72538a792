// The one UTF-8 / UTF-16 codec. Text inside the program is UTF-8 in std::string; UTF-16 is
// only used at the edges (files, key packets, the Windows API).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vorelo::utf {

inline constexpr char32_t kReplacementChar = U'\uFFFD';

struct CodePoint {
  char32_t value;  // kReplacementChar when !valid
  bool valid;
};

// Reads the code point that starts at utf8[pos] (pos must be < utf8.size()) and moves pos past
// it. An ill-formed sequence gives {U+FFFD, false}, and pos moves past the longest prefix that
// could have begun a well-formed sequence (at least one byte): one U+FFFD per broken sequence,
// the same substitution Windows and web browsers make.
CodePoint nextCodePoint(std::string_view utf8, std::size_t& pos);

bool isValidUtf8(std::string_view bytes);

// Returns bytes unchanged if they are valid UTF-8, otherwise with every ill-formed sequence
// replaced by U+FFFD.
std::string sanitizeUtf8(std::string_view bytes);

// Append one code point; surrogates and values above U+10FFFF are appended as U+FFFD.
void appendUtf8(std::string& out, char32_t cp);
void appendUtf16(std::u16string& out, char32_t cp);

// Conversions never fail: ill-formed input (bad UTF-8, lone surrogates) becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);

// The number of bytes taken by the first `maxCodePoints` code points of utf8 (all of it when
// it is shorter): a prefix that never cuts a character in two.
std::size_t prefixBytes(std::string_view utf8, std::size_t maxCodePoints);

// The number of code points in utf8, each ill-formed sequence counting as one.
std::size_t countCodePoints(std::string_view utf8);

// Calls f(char32_t) for every code point of utf8, ill-formed sequences as U+FFFD.
template <typename F>
void forEachCodePoint(std::string_view utf8, F&& f) {
  std::size_t pos = 0;
  while (pos < utf8.size()) f(nextCodePoint(utf8, pos).value);
}

}  // namespace vorelo::utf
