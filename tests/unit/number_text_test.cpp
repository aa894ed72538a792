#include "settings/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace vorelo::settings {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(NumberText, ReadsAsNumberAcceptsWholeNumbersOnly) {
  for (const char* t : {"45", "2.5", "0.5", "0", "2.", ".5", " 45\t", "-3", "+3", "1e5", "1E-3",
                        "2.e+3", "1e-400", "&H1F", "&hff", "&O17", "&17", "-&H10", "+&o7"}) {
    EXPECT_TRUE(readsAsNumber(t)) << t;
  }
  for (const char* t :
       {"",    "   ",   ".",   "5x",  "abc", "1e",    "1e+",         "e5",    "1 2", "- 3",
        "1,5", "1,000", "$5",  "1d2", "--5", "+",     "1.2.3",       "1e5.0", "1\n", "1e400",
        "&H",  "&H-1",  "&HG", "&8",  "&O8", "&H1.5", "&H123456789", "& H1F"}) {
    EXPECT_FALSE(readsAsNumber(t)) << t;
  }
}

TEST(NumberText, NumberAtStartReadsTheLeadingNumber) {
  const std::pair<const char*, double> cases[] = {
      {"45", 45},     {"2.5", 2.5}, {"0.5", 0.5},      {"-.5", -0.5},  {"+7", 7},
      {"2.", 2},      {".5", 0.5},  {"1e5", 1e5},      {"1E-3", 1e-3}, {"1d2", 100},
      {"1D-2", 0.01}, {"1e", 1},    {"1e+", 1},        {"5x", 5},      {"12abc3", 12},
      {"3.4.5", 3.4}, {"", 0},      {"abc", 0},        {".", 0},       {"-", 0},
      {"--5", 0},     {"+-5", 0},   {"0", 0},          {"-0", 0},      {" 2 45 7", 2457},
      {"1 . 5", 1.5}, {"- 3", -3},  {"\r\n 12\t", 12}, {"1 e 2", 100}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(numberAtStart(text), expected) << text;
  EXPECT_FALSE(std::signbit(numberAtStart("-0")));
}

TEST(NumberText, PrefixedLiteralsAreSigned16Or32BitIntegers) {
  const std::pair<const char*, double> cases[] = {
      {"&H10", 16},   {"&O10", 8},        {"&17", 15},     {"&hff", 255},     {"&H7FFF", 32767},
      {"&HFFFF", -1}, {"&H8000", -32768}, {"&H0FFFF", -1}, {"&O177777", -1},  {"-&H10", -16},
      {"&H", 0},      {"&H1.5", 1},       {"&8", 0},       {"- & h 1F", -31}, {"&H10000", 65536}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(numberAtStart(text), expected) << text;
  EXPECT_EQ(numberAtStart("&HFFFFFFFF"), -1);
  EXPECT_EQ(numberAtStart("&O37777777777"), -1);
  EXPECT_EQ(numberAtStart("&H80000000"), -2147483648.0);
  EXPECT_EQ(numberAtStart("&H1FFFFFFFF"), 0x1FFFFFFF);  // the ninth digit would not fit in 32 bits
}

// A Chinese input method types full-width digits and point; they read as the ASCII ones. Other
// full-width characters (the minus, the comma, the space) are no part of a number.
TEST(NumberText, FullWidthDigitsAndPointReadAsAscii) {
  EXPECT_TRUE(readsAsNumber("１５"));
  EXPECT_TRUE(readsAsNumber(" ２．５\t"));
  EXPECT_EQ(numberAtStart("１５"), 15);
  EXPECT_EQ(numberAtStart("1０.５"), 10.5);
  EXPECT_EQ(numberAtStart("０１２３４５６７８９"), 123456789);
  for (const char* t : {"－３", "１，５", "１　５", "１\xEF\xBC", "\xEF\xBC\x9A"}) {
    EXPECT_FALSE(readsAsNumber(t)) << t;
  }
  EXPECT_EQ(numberAtStart("１，５"), 1);
}

TEST(NumberText, NumberAtStartRoundsCorrectlyEvenForLongDigitStrings) {
  EXPECT_EQ(numberAtStart("0.1"), 0.1);
  EXPECT_EQ(numberAtStart("9007199254740993"), 9007199254740992.0);  // tie, to even
  EXPECT_EQ(numberAtStart("9007199254740993." + std::string(1000, '0')), 9007199254740992.0);
  EXPECT_EQ(numberAtStart("9007199254740993." + std::string(1000, '0') + "1"), 9007199254740994.0);
  EXPECT_EQ(numberAtStart("2.2250738585072011e-308"), 0x0.fffffffffffffp-1022);
  EXPECT_EQ(numberAtStart("1.7976931348623158e308"), std::numeric_limits<double>::max());
  EXPECT_EQ(numberAtStart("4.9e-324"), std::numeric_limits<double>::denorm_min());
  EXPECT_EQ(numberAtStart("0." + std::string(200000, '3')), 1.0 / 3.0);
  EXPECT_EQ(numberAtStart("0." + std::string(10000, '9')), 1.0);
  EXPECT_EQ(numberAtStart("1" + std::string(1000, '0') + "e-1000"), 1.0);
  EXPECT_EQ(numberAtStart("0." + std::string(5000, '0') + "1e5010"), 1e9);
}

TEST(NumberText, HugeValuesSaturate) {
  EXPECT_EQ(numberAtStart("1.7976931348623159e308"), kInf);
  EXPECT_EQ(numberAtStart("1e400"), kInf);
  EXPECT_EQ(numberAtStart("-1e400"), -kInf);
  EXPECT_EQ(numberAtStart("1e99999999999999999999"), kInf);
  EXPECT_EQ(numberAtStart("1" + std::string(400, '0')), kInf);
  EXPECT_EQ(numberAtStart("1e-99999999999999999999"), 0.0);
  EXPECT_EQ(numberAtStart("0e99999999999999999999"), 0.0);
  EXPECT_FALSE(readsAsNumber("1.7976931348623159e308"));
  EXPECT_TRUE(readsAsNumber("1.7976931348623158e308"));
}

TEST(NumberText, IgnoresTheProcessLocale) {
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "German")) {
    GTEST_SKIP() << "no German locale installed";
  }
  const double point = numberAtStart("2.5"), comma = numberAtStart("2,5");
  const bool numeric = readsAsNumber("2.5") && !readsAsNumber("2,5");
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(point, 2.5);
  EXPECT_EQ(comma, 2.0);
  EXPECT_TRUE(numeric);
}

// Short strings from a number-like alphabet: readsAsNumber must accept exactly what
// from_chars reads in full, and numberAtStart must then give the same value.
TEST(NumberText, BothReadingsAgreeOnGeneratedText) {
  std::mt19937 rng(678);
  const std::string alphabet = "0123456789..eE+- d";
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    for (int n = static_cast<int>(rng() % 8); n > 0; --n) text += alphabet[rng() % alphabet.size()];
    std::string_view body = text;
    while (!body.empty() && body.front() == ' ') body.remove_prefix(1);
    while (!body.empty() && body.back() == ' ') body.remove_suffix(1);
    if (body.size() > 1 && body[0] == '+' && body[1] != '+' && body[1] != '-') {
      body.remove_prefix(1);
    }
    double reference = 0;
    const auto [end, ec] = std::from_chars(body.data(), body.data() + body.size(), reference);
    if (ec == std::errc::result_out_of_range) continue;
    const bool readsInFull = !body.empty() && ec == std::errc{} && end == body.data() + body.size();
    EXPECT_EQ(readsAsNumber(text), readsInFull) << '"' << text << '"';
    if (readsInFull) {
      EXPECT_EQ(numberAtStart(text), reference) << '"' << text << '"';
    }
  }
}

TEST(NumberText, RoundHalfEvenTiesToEvenAndSaturates) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kFloatInf = std::numeric_limits<float>::infinity();
  constexpr auto kFloatNaN = std::numeric_limits<float>::quiet_NaN();
  const std::pair<float, std::int32_t> cases[] = {
      {2000.5f, 2000}, {2001.5f, 2002},  {2500.0f, 2500},   {0.5f, 0},
      {0.50001f, 1},   {2.4999998f, 2},  {-0.5f, 0},        {-1.5f, -2},
      {-2.5f, -2},     {-2.6f, -3},      {3e9f, kMax},      {-3e9f, kMin},
      {0x1p31f, kMax}, {-0x1p31f, kMin}, {kFloatInf, kMax}, {kFloatNaN, 0}};
  for (const auto& [value, expected] : cases) EXPECT_EQ(roundHalfEven(value), expected) << value;
}

}  // namespace
}  // namespace vorelo::settings
