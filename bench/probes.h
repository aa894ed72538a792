// What the benchmark measures other programs with, beside what it shares with the end-to-end
// tests (e2e/process.h): the items of a list, CPU time and memory, and statistics.
#pragma once

#include <windows.h>

#include <cstddef>
#include <vector>

namespace vorelo::bench {

// The number of items in a combo box of another process, or -1 when it does not answer.
int comboCount(HWND combo);

// CPU time (kernel + user) the process has used so far, in milliseconds.
//
// Under Wine 8 GetProcessTimes on another process's handle returns the caller's own times,
// so this sums GetThreadTimes over the process's threads instead; Wine reads those from
// /proc/<pid>/task/<tid>/stat, 10 ms steps.
double cpuMs(DWORD processId);

// PeakWorkingSetSize from GetProcessMemoryInfo, in bytes.
std::size_t peakWorkingSet(HANDLE process);

// Median, smallest and largest of a set of samples.
struct Spread {
  double median = 0;
  double low = 0;
  double high = 0;
  std::size_t count = 0;
};
Spread spread(std::vector<double> samples);

}  // namespace vorelo::bench
