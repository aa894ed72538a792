// The interval and duration fields: what makes their text valid, and what they are worth in
// milliseconds. The window applies the corrections; every reading here is of the text alone.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorelo::settings {

struct TimeRange {
  double highest;
  std::string_view highestText;
};

// Seconds between messages, and minutes of sending.
inline constexpr TimeRange kIntervalRange{30, "30"};
inline constexpr TimeRange kDurationRange{60, "60"};
// What a field holding no number, or one below 1, is set to.
inline constexpr std::string_view kLowestText = "1";

// The text is not one number, or its number is below 1. Exactly 1 is accepted.
bool belowRange(std::string_view text);
// The number at the start of the text is above the range. Exactly the highest is accepted.
bool aboveRange(std::string_view text, const TimeRange& range);

// The send period the interval text gives: seconds times 1000, stored as a 32-bit float.
float intervalMs(std::string_view text);
// The send timer's period: the interval rounded to whole milliseconds, ties to even.
uint32_t timerPeriodMs(float intervalMs);
// The sending budget the duration text gives: minutes times 60 times 1000.
double durationMs(std::string_view text);

}  // namespace vorelo::settings
