#include "settings/number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <string>

namespace vorelo::settings {
namespace {

// A double needs at most 767 significant decimal digits to be rounded
// correctly. Digits beyond this many are folded into one trailing '1' when any
// of them is non-zero, which keeps the value strictly between the same two
// neighbouring doubles / halfway points and so rounds the same way.
constexpr std::size_t kMaxDigits = 800;

// Exponents are accumulated up to this and then only consumed; anything this
// large overflows or underflows a double unless the text also carries about a
// billion digits to offset it.
constexpr std::int64_t kExponentCap = 1'000'000'000;

// Decimal magnitudes (position of the leading digit) beyond these limits are
// certainly infinite or certainly zero, whatever the digits are.
constexpr std::int64_t kMaxMagnitude = 310;
constexpr std::int64_t kMinMagnitude = -330;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

bool isSpaceOrTab(char c) {
  return c == ' ' || c == '\t';
}

// The number at the start of the text also skips line breaks.
bool isLeadingBlank(char c) {
  return isSpaceOrTab(c) || c == '\r' || c == '\n';
}

int digitValue(char c, int base) {
  int v = base;
  if (c >= '0' && c <= '9') {
    v = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    v = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    v = c - 'A' + 10;
  }
  return v < base ? v : -1;
}

enum class Mode {
  kLeading,  // the number at the start: blanks ignored anywhere, D exponent allowed
  kStrict,   // the whole text as one number: no blanks inside, E exponent only
};

class Cursor {
 public:
  Cursor(std::string_view text, Mode mode) : text_(text), skipBlanks_(mode == Mode::kLeading) {}

  // The next character to read, or '\0' at the end of the text. A full-width digit or point
  // reads as the ASCII one.
  char peek() {
    if (skipBlanks_) {
      while (pos_ < text_.size() && isLeadingBlank(text_[pos_])) ++pos_;
    }
    if (pos_ >= text_.size()) return '\0';
    const char ascii = fullWidthAt(pos_);
    return ascii != '\0' ? ascii : text_[pos_];
  }

  void advance() { pos_ += fullWidthAt(pos_) != '\0' ? 3 : 1; }

  void skipSpacesAndTabs() {
    while (pos_ < text_.size() && isSpaceOrTab(text_[pos_])) ++pos_;
  }

  bool atEnd() const { return pos_ == text_.size(); }

 private:
  // The ASCII digit or point for the full-width one at `pos` (U+FF10 to U+FF19 and U+FF0E, in
  // UTF-8 EF BC then 90 to 99 or 8E), or '\0'.
  char fullWidthAt(std::size_t pos) const {
    if (pos + 3 > text_.size() || text_[pos] != '\xEF' || text_[pos + 1] != '\xBC') return '\0';
    const auto last = static_cast<unsigned char>(text_[pos + 2]);
    if (last == 0x8E) return '.';
    return last >= 0x90 && last <= 0x99 ? static_cast<char>('0' + (last - 0x90)) : '\0';
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  bool skipBlanks_;
};

struct Reading {
  bool found = false;
  double value = 0.0;
};

// Correctly rounded value of digits * 10^exp10 (digits has no leading zeros).
double composeDecimal(std::string& digits, std::int64_t exp10, bool droppedNonZero) {
  if (droppedNonZero) {
    digits.push_back('1');
    --exp10;
  }
  while (!digits.empty() && digits.back() == '0') {
    digits.pop_back();
    ++exp10;
  }
  if (digits.empty()) return 0.0;

  const std::int64_t magnitude = static_cast<std::int64_t>(digits.size()) + exp10;
  if (magnitude > kMaxMagnitude) return std::numeric_limits<double>::infinity();
  if (magnitude < kMinMagnitude) return 0.0;

  // Hand a canonical "<digits>e<exp>" to strtod: without a decimal point the locale plays no
  // part, it rounds once, and what lies out of range comes back as infinity or as a number at or
  // near 0.
  std::array<char, kMaxDigits + 32> buffer{};
  char* end = buffer.data();
  for (char d : digits) *end++ = d;
  *end++ = 'e';
  *std::to_chars(end, buffer.data() + buffer.size() - 1, exp10).ptr = '\0';
  return std::strtod(buffer.data(), nullptr);
}

Reading readDecimal(Cursor& in, Mode mode) {
  std::string digits;  // significant digits, at most kMaxDigits
  std::int64_t exp10 = 0;
  bool droppedNonZero = false;
  bool anyDigit = false;

  auto take = [&](char d, bool inFraction) {
    anyDigit = true;
    if (digits.empty() && d == '0') {
      if (inFraction) --exp10;
    } else if (digits.size() < kMaxDigits) {
      digits.push_back(d);
      if (inFraction) --exp10;
    } else {
      if (!inFraction) ++exp10;
      if (d != '0') droppedNonZero = true;
    }
  };

  for (char c = in.peek(); isDigit(c); c = in.peek()) {
    take(c, false);
    in.advance();
  }
  if (in.peek() == '.') {
    in.advance();
    for (char c = in.peek(); isDigit(c); c = in.peek()) {
      take(c, true);
      in.advance();
    }
  }
  if (!anyDigit) return {};

  const char e = in.peek();
  if (e == 'E' || e == 'e' || (mode == Mode::kLeading && (e == 'D' || e == 'd'))) {
    // An exponent without digits is not part of the number ("1e" is 1), so
    // remember where it started.
    const Cursor beforeExponent = in;
    in.advance();
    bool negative = false;
    if (const char s = in.peek(); s == '+' || s == '-') {
      negative = s == '-';
      in.advance();
    }
    if (!isDigit(in.peek())) {
      in = beforeExponent;
    } else {
      std::int64_t exponent = 0;
      for (char c = in.peek(); isDigit(c); c = in.peek()) {
        if (exponent < kExponentCap) exponent = exponent * 10 + (c - '0');
        in.advance();
      }
      exp10 += negative ? -exponent : exponent;
    }
  }
  return {true, composeDecimal(digits, exp10, droppedNonZero)};
}

// &H1F, &O17 or &17. The cursor is on the '&'.
Reading readPrefixed(Cursor& in) {
  in.advance();
  int base = 0;
  const char c = in.peek();
  if (c == 'H' || c == 'h') {
    base = 16;
    in.advance();
  } else if (c == 'O' || c == 'o') {
    base = 8;
    in.advance();
  } else if (digitValue(c, 8) >= 0) {
    base = 8;
  } else {
    return {};
  }

  std::uint64_t bits = 0;
  bool anyDigit = false;
  for (int d = digitValue(in.peek(), base); d >= 0; d = digitValue(in.peek(), base)) {
    const std::uint64_t next = bits * static_cast<std::uint64_t>(base) + static_cast<unsigned>(d);
    if (next > 0xFFFF'FFFFu) break;
    bits = next;
    anyDigit = true;
    in.advance();
  }
  if (!anyDigit) return {};

  // A literal that fits 16 bits is a signed 16-bit value, anything longer a signed 32-bit one.
  if (bits <= 0xFFFFu) return {true, static_cast<double>(static_cast<std::int16_t>(bits))};
  return {true, static_cast<double>(static_cast<std::int32_t>(bits))};
}

Reading readNumber(Cursor& in, Mode mode) {
  bool negative = false;
  if (const char s = in.peek(); s == '+' || s == '-') {
    negative = s == '-';
    in.advance();
  }
  Reading r = in.peek() == '&' ? readPrefixed(in) : readDecimal(in, mode);
  if (negative) r.value = -r.value;
  if (r.value == 0.0) r.value = 0.0;  // no negative zero
  return r;
}

}  // namespace

bool readsAsNumber(std::string_view text) {
  Cursor in(text, Mode::kStrict);
  in.skipSpacesAndTabs();
  const Reading r = readNumber(in, Mode::kStrict);
  in.skipSpacesAndTabs();
  return r.found && in.atEnd() && std::isfinite(r.value);
}

double numberAtStart(std::string_view text) {
  Cursor in(text, Mode::kLeading);
  return readNumber(in, Mode::kLeading).value;
}

std::int32_t roundHalfEven(float value) {
  if (std::isnan(value)) return 0;
  constexpr auto kMax = static_cast<double>(std::numeric_limits<std::int32_t>::max());
  constexpr auto kMin = static_cast<double>(std::numeric_limits<std::int32_t>::min());
  // Every float is exact as a double, and so are its integer and fraction parts.
  const auto v = static_cast<double>(value);
  double whole = std::trunc(v);
  const double fraction = std::fabs(v - whole);
  const double away = v < 0 ? -1.0 : 1.0;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += away;
  if (whole >= kMax) return std::numeric_limits<std::int32_t>::max();
  if (whole <= kMin) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(whole);
}

}  // namespace vorelo::settings
