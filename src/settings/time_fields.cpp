#include "settings/time_fields.h"

#include "settings/number_text.h"

namespace vorelo::settings {

bool belowRange(std::string_view text) {
  return !readsAsNumber(text) || numberAtStart(text) < 1;
}

bool aboveRange(std::string_view text, const TimeRange& range) {
  return numberAtStart(text) > range.highest;
}

float intervalMs(std::string_view text) {
  return static_cast<float>(numberAtStart(text) * 1000.0);
}

uint32_t timerPeriodMs(float intervalMs) {
  return static_cast<uint32_t>(roundHalfEven(intervalMs));
}

double durationMs(std::string_view text) {
  return numberAtStart(text) * 60.0 * 1000.0;
}

}  // namespace vorelo::settings
