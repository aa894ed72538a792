// Text typed into the numeric settings fields: any bytes at all.

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>

#include "property.h"
#include "settings/number_text.h"

namespace {

using vorelo::fuzz::require;
namespace settings = vorelo::settings;

double checkedNumberAtStart(std::string_view text) {
  try {
    const double value = settings::numberAtStart(text);
    require(!std::isnan(value), "the number at the start never gives NaN");
    require(value != 0.0 || !std::signbit(value), "the number at the start never gives -0");
    return value;
  } catch (...) {
    require(false, "the number at the start never throws");
  }
  return 0.0;
}

bool isSpaceOrTab(char c) {
  return c == ' ' || c == '\t';
}

// The full-width digits and point (U+FF10 to U+FF19, U+FF0E) as the ASCII ones.
std::string asciiDigits(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto last = i + 2 < text.size() ? static_cast<unsigned char>(text[i + 2]) : 0u;
    if (text.substr(i, 2) == "\xEF\xBC" && (last == 0x8E || (last >= 0x90 && last <= 0x99))) {
      out += last == 0x8E ? '.' : static_cast<char>('0' + last - 0x90);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isSpaceOrTab(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpaceOrTab(text.back())) text.remove_suffix(1);
  return text;
}

// Only what a plain decimal number is written with, so std::from_chars cannot take it for
// "inf", "nan" or a hexadecimal float.
bool isPlainDecimal(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789.eE+-") == std::string_view::npos;
}

// readsAsNumber and numberAtStart read a decimal number the way std::from_chars does, apart from a
// leading
// '+', which from_chars does not take.
void checkAgainstFromChars(std::string_view text, double value) {
  std::string_view number = trimmed(text);
  bool negative = false;
  if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
    negative = number.front() == '-';
    number.remove_prefix(1);
  }
  const bool numeric = settings::readsAsNumber(text);
  if (!isPlainDecimal(number) || number.front() == '+' || number.front() == '-') {
    require(!numeric, "readsAsNumber takes one sign and a plain decimal number");
    return;
  }

  double expected = 0.0;
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), expected);
  const bool whole = end == number.data() + number.size();
  if (negative) expected = -expected;

  if (numeric) {
    require(whole && (ec == std::errc{} || ec == std::errc::result_out_of_range),
            "from_chars accepts what readsAsNumber accepts");
    // Out of range here can only be too small: readsAsNumber turns down what overflows.
    if (ec == std::errc::result_out_of_range) expected = 0.0;
    require(value == expected, "numberAtStart agrees with from_chars where readsAsNumber accepts");
  } else {
    require(!(whole && ec == std::errc{} && std::isfinite(expected)),
            "readsAsNumber accepts what from_chars reads as a finite number");
  }
}

// Ties to even, saturating; the default floating-point rounding mode is exactly that.
void checkRounding(float value) {
  const std::int32_t rounded = settings::roundHalfEven(value);
  if (std::isnan(value)) {
    require(rounded == 0, "NaN rounds to 0");
    return;
  }
  const double nearest = std::nearbyint(static_cast<double>(value));
  std::int32_t expected = 0;
  if (nearest >= 2147483647.0) {
    expected = std::numeric_limits<std::int32_t>::max();
  } else if (nearest <= -2147483648.0) {
    expected = std::numeric_limits<std::int32_t>::min();
  } else {
    expected = static_cast<std::int32_t>(nearest);
  }
  require(rounded == expected, "roundHalfEven rounds to nearest, ties to even");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  const double value = checkedNumberAtStart(raw);
  // Full-width digits and points read as the ASCII ones.
  const std::string text = asciiDigits(raw);
  require(checkedNumberAtStart(text) == value &&
              settings::readsAsNumber(text) == settings::readsAsNumber(raw),
          "full-width digits and points read as the ASCII ones");

  // The number at the start skips blanks and line breaks wherever they are (unless taking them
  // out joins the bytes around them into a full-width digit).
  std::string squeezed(text);
  std::erase_if(squeezed, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
  require(asciiDigits(squeezed) != squeezed || checkedNumberAtStart(squeezed) == value,
          "the number at the start ignores blanks and line breaks anywhere");

  const std::string_view number = trimmed(text);
  const bool prefixed = number.find('&') != std::string_view::npos;
  if (prefixed) {
    if (settings::readsAsNumber(text)) {
      require(std::trunc(value) == value && std::fabs(value) <= 2147483648.0,
              "a &H / &O number is a 32-bit integer");
    }
  } else {
    checkAgainstFromChars(text, value);
  }

  checkRounding(static_cast<float>(value));
  for (std::size_t i = 0; i + sizeof(float) <= size; i += sizeof(float)) {
    float bits = 0;
    std::memcpy(&bits, data + i, sizeof bits);
    checkRounding(bits);
  }
  return 0;
}
