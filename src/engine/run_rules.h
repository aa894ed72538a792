// The arithmetic of a sending run: which list item a tick types, where the cycle goes next,
// and the time budget each tick draws on.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorelo::engine {

// The key strings typed after each message: submit mode 0 is Enter, anything else Ctrl+Enter.
std::string_view submitKeys(int16_t submitMode);

// The list position a tick reads. Items may have been deleted while stopped: a position past
// the end of the list wraps to the first item before anything is read.
int16_t cyclePositionToRead(int16_t cycleIndex, int16_t listCount);
// The position after `position` has been typed: the next item, or the first after the last.
int16_t nextCyclePosition(int16_t position, int16_t listCount);

// The budget after one tick. It may go below zero; only the duration field refills it.
double chargeTick(double remainingMs, float intervalMs);
// The run ends on the tick that takes the budget below zero, not the one that leaves 0.
bool budgetUsedUp(double remainingMs);

}  // namespace vorelo::engine
