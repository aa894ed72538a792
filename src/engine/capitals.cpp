#include "engine/capitals.h"

#include "engine/capital_runs.h"

namespace vorelo::engine {

namespace {

// `ch` is a letter of the run when it lies on one of its steps.
bool inRun(const CapitalRun& run, char32_t ch) {
  if (ch < run.first) return false;
  const char32_t step = ch - run.first;
  return step % run.stride == 0 && step / run.stride < run.count;
}

}  // namespace

std::optional<char32_t> capitalLetter(char32_t ch) {
  for (const CapitalRun& run : kCapitalRuns) {
    if (inRun(run, ch)) return static_cast<char32_t>(static_cast<int32_t>(ch) + run.delta);
    if (inRun(run, static_cast<char32_t>(static_cast<int32_t>(ch) - run.delta))) return ch;
  }
  return std::nullopt;
}

}  // namespace vorelo::engine
