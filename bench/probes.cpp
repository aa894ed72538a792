#include "probes.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>

#include "e2e/process.h"

namespace vorelo::bench {

namespace {

constexpr UINT kAnswerTimeoutMs = 2000;

unsigned long long ticks(const FILETIME& time) {
  return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

// --- Reading other processes -------------------------------------------------------------

int comboCount(HWND combo) {
  DWORD_PTR result = 0;
  if (combo == nullptr ||
      !SendMessageTimeoutW(combo, CB_GETCOUNT, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                           kAnswerTimeoutMs, &result)) {
    return -1;
  }
  return static_cast<int>(static_cast<LRESULT>(result));
}

double cpuMs(DWORD processId) {
  // A snapshot fails with INVALID_HANDLE_VALUE, as CreateFile does.
  e2e::UniqueFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) throw e2e::DriverError("CreateToolhelp32Snapshot failed");
  unsigned long long total = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot.get(), &entry); more;
       more = Thread32Next(snapshot.get(), &entry)) {
    if (entry.th32OwnerProcessID != processId) continue;
    e2e::UniqueHandle thread(
        OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID));
    FILETIME created{}, ended{}, kernel{}, user{};
    if (thread && GetThreadTimes(thread.get(), &created, &ended, &kernel, &user)) {
      total += ticks(kernel) + ticks(user);
    }
  }
  return static_cast<double>(total) / 10000.0;  // 100 ns units
}

std::size_t peakWorkingSet(HANDLE process) {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(process, &counters, sizeof counters)) {
    throw e2e::DriverError("GetProcessMemoryInfo failed");
  }
  return counters.PeakWorkingSetSize;
}

// --- Statistics --------------------------------------------------------------------------

Spread spread(std::vector<double> samples) {
  Spread s;
  s.count = samples.size();
  if (samples.empty()) return s;
  std::sort(samples.begin(), samples.end());
  const std::size_t mid = samples.size() / 2;
  s.median = samples.size() % 2 == 1 ? samples[mid] : (samples[mid - 1] + samples[mid]) / 2;
  s.low = samples.front();
  s.high = samples.back();
  return s;
}

}  // namespace vorelo::bench
