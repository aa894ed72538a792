#include "probes.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vorelo::bench {

namespace {

using e2e::DriverError;
using e2e::nowMs;

constexpr DWORD kEndTimeoutMs = 5000;
constexpr double kLaunchRetryMs = 2000;
constexpr UINT kAnswerTimeoutMs = 2000;

std::wstring tempPath() {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) throw DriverError("GetTempPathW failed");
  return temp;
}

std::wstring uniqueName(const wchar_t* stem) {
  static std::atomic<unsigned> counter{0};
  return tempPath() + stem + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(counter++) + L"-" + std::to_wstring(GetTickCount64());
}

unsigned long long ticks(const FILETIME& time) {
  return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

struct WindowSearch {
  DWORD processId;
  HWND found = nullptr;
};

BOOL CALLBACK findVisibleWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner != search->processId || !IsWindowVisible(hwnd)) return TRUE;
  search->found = hwnd;
  return FALSE;
}

}  // namespace

// --- TempFolder --------------------------------------------------------------------------

TempFolder::TempFolder(const std::optional<std::string>& messageFile)
    : path_(uniqueName(L"vorelo-bench-")) {
  if (!CreateDirectoryW(path_.c_str(), nullptr)) throw DriverError("cannot create a folder");
  if (!messageFile) return;
  UniqueHandle file(CreateFileW((path_ + L"\\Msg.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file ||
      !WriteFile(file.get(), messageFile->data(), static_cast<DWORD>(messageFile->size()), &written,
                 nullptr) ||
      written != messageFile->size()) {
    throw DriverError("cannot write Msg.txt");
  }
}

TempFolder::~TempFolder() {
  // A program that has just ended may hold its files open for a moment.
  std::error_code error;
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::filesystem::remove_all(path_, error);
    if (!error) return;
    Sleep(100);
  }
}

// --- Process -----------------------------------------------------------------------------

Process::Process(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder,
                 std::optional<WORD> show) {
  std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  const double firstTry = nowMs();
  DWORD error = 0;
  for (;;) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (show) {
      startup.dwFlags = STARTF_USESHOWWINDOW;
      startup.wShowWindow = *show;
    }
    PROCESS_INFORMATION info{};
    startedAt_ = nowMs();
    if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &info)) {
      handle_.reset(info.hProcess);
      CloseHandle(info.hThread);
      id_ = info.dwProcessId;
      return;
    }
    error = GetLastError();
    if (nowMs() - firstTry > kLaunchRetryMs) break;
    Sleep(20);
  }
  throw DriverError(e2e::narrow(L"cannot start " + exe) + " (error " + std::to_string(error) + ")");
}

Process::~Process() {
  stop();
}

bool Process::running() const {
  return handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT;
}

void Process::stop() {
  if (!handle_) return;
  if (running()) TerminateProcess(handle_.get(), 1);
  WaitForSingleObject(handle_.get(), kEndTimeoutMs);
}

// --- Reading other processes -------------------------------------------------------------

HWND visibleWindowOf(DWORD processId) {
  WindowSearch search{processId};
  EnumWindows(findVisibleWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

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
  UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
  if (!snapshot) throw DriverError("CreateToolhelp32Snapshot failed");
  unsigned long long total = 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot.get(), &entry); more;
       more = Thread32Next(snapshot.get(), &entry)) {
    if (entry.th32OwnerProcessID != processId) continue;
    UniqueHandle thread(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID));
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
    throw DriverError("GetProcessMemoryInfo failed");
  }
  return counters.PeakWorkingSetSize;
}

// --- ReceiverWindow ----------------------------------------------------------------------

ReceiverWindow::ReceiverWindow(const std::wstring& exe)
    : logPath_(uniqueName(L"vorelo-bench-keys-") + L".log"),
      caption_("Vorelo Bench Receiver " + std::to_string(GetTickCount64())) {
  const std::wstring wideCaption = e2e::widen(caption_);
  process_.emplace(exe, L"\"" + logPath_ + L"\" \"" + wideCaption + L"\"", tempPath());
  const double deadline = nowMs() + 15000;
  while ((window_ = FindWindowW(L"VoreloReceiver", wideCaption.c_str())) == nullptr) {
    if (nowMs() > deadline) throw DriverError("the receiver shows no window");
    Sleep(10);
  }
  activate();
}

ReceiverWindow::~ReceiverWindow() {
  process_.reset();
  DeleteFileW(logPath_.c_str());
}

bool ReceiverWindow::activate() {
  PostMessageW(window_, WM_APP, 0, 0);
  const double deadline = nowMs() + 5000;
  while (!active()) {
    if (nowMs() > deadline) return false;
    Sleep(10);
  }
  return true;
}

const std::vector<KeyMessage>& ReceiverWindow::messages() {
  // The receiver keeps the file open for writing; open it shared.
  UniqueHandle file(CreateFileW(logPath_.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  if (!file) return messages_;
  LARGE_INTEGER position{};
  position.QuadPart = readOffset_;
  if (!SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN)) return messages_;
  std::string added;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr) && n > 0) added.append(buffer, n);
  readOffset_ += static_cast<long long>(added.size());
  partialLine_ += added;

  // Whole lines only; a line still being written stays for the next call.
  std::size_t start = 0;
  for (std::size_t end = partialLine_.find('\n'); end != std::string::npos;
       end = partialLine_.find('\n', start)) {
    const std::string line = partialLine_.substr(start, end - start);
    start = end + 1;
    if (auto m = e2e::parseKeyMessage(line)) messages_.push_back(std::move(*m));
  }
  partialLine_.erase(0, start);
  return messages_;
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
