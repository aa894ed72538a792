#include "engine/run_rules.h"

namespace vorelo::engine {

std::string_view submitKeys(int16_t submitMode) {
  return submitMode == 0 ? "{enter}" : "^{enter}";
}

int16_t cyclePositionToRead(int16_t cycleIndex, int16_t listCount) {
  return cycleIndex < 0 || cycleIndex >= listCount ? int16_t{0} : cycleIndex;
}

int16_t nextCyclePosition(int16_t position, int16_t listCount) {
  return position < listCount - 1 ? static_cast<int16_t>(position + 1) : int16_t{0};
}

double chargeTick(double remainingMs, float intervalMs) {
  return remainingMs - static_cast<double>(intervalMs);
}

bool budgetUsedUp(double remainingMs) {
  return remainingMs < 0;
}

}  // namespace vorelo::engine
