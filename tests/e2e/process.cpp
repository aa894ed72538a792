#include "e2e/process.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>

namespace vorelo::e2e {
namespace {

constexpr Millis kPollInterval{20};
constexpr Millis kLaunchRetryTime{2000};
constexpr DWORD kEndTimeoutMs = 5000;

// The programs the Process objects of this process started and still hold.
std::mutex startedLock;
std::set<DWORD>& startedIds() {
  static std::set<DWORD> ids;
  return ids;
}

void removeTree(const std::string& folder) {
  // A program that has just ended may hold its files open for a moment.
  std::error_code error;
  waitFor(
      [&] {
        std::filesystem::remove_all(widen(folder), error);
        return !error;
      },
      Millis{2000});
}

struct WindowSearch {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK collectVisibleWindows(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->processId && IsWindowVisible(hwnd)) search->found.push_back(hwnd);
  return TRUE;
}

}  // namespace

std::string lastError(std::string_view what) {
  return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

bool waitFor(const std::function<bool()>& condition, Millis timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

double nowMs() {
  LARGE_INTEGER now{};
  LARGE_INTEGER frequency{};
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string toWindowsPath(std::string_view path) {
  if (path.empty() || path.front() != '/') return std::string(path);
  std::string result = "Z:";
  result += path;
  std::replace(result.begin(), result.end(), '/', '\\');
  return result;
}

std::string uniqueTempPath(std::string_view stem) {
  static std::atomic<unsigned> counter{0};
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) throw DriverError(lastError("GetTempPathW failed"));
  return narrow(std::wstring_view(temp, length)) + std::string(stem) +
         std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++) + "-" +
         std::to_string(GetTickCount64());
}

std::string readFile(const std::string& path, long long from) {
  std::string content;
  UniqueFile file(CreateFileW(widen(toWindowsPath(path)).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER start{};
  start.QuadPart = from;
  if (!file || !SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return content;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &n, nullptr) && n > 0) {
    content.append(buffer, n);
  }
  return content;
}

void writeFile(const std::string& path, const std::string& bytes) {
  UniqueFile file(CreateFileW(widen(toWindowsPath(path)).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw DriverError(lastError("cannot create " + path));
  DWORD written = 0;
  if (!bytes.empty() &&
      (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
       written != bytes.size())) {
    throw DriverError(lastError("cannot write " + path));
  }
}

// --- TempFolder -----------------------------------------------------------------------------

TempFolder::TempFolder(const std::optional<std::string>& messageFile)
    : path_(uniqueTempPath("vorelo-e2e-")) {
  if (!CreateDirectoryW(widen(path_).c_str(), nullptr)) {
    throw DriverError(lastError("cannot create " + path_));
  }
  try {
    if (messageFile) writeFile(path_ + "\\Msg.txt", *messageFile);
  } catch (...) {
    removeTree(path_);
    throw;
  }
}

TempFolder::~TempFolder() {
  removeTree(path_);
}

// --- Process --------------------------------------------------------------------------------

Process::Process(const std::string& exe, const std::string& arguments, const std::string& folder,
                 std::optional<WORD> show)
    : exe_(toWindowsPath(exe)) {
  const std::wstring program = widen(exe_);
  std::wstring commandLine = L"\"" + program + L"\"";
  if (!arguments.empty()) commandLine += L" " + widen(arguments);
  const std::wstring directory = widen(toWindowsPath(folder));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  if (show) {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = *show;
  }
  PROCESS_INFORMATION info{};
  DWORD error = 0;
  const bool started = waitFor(
      [&] {
        startedAt_ = nowMs();
        if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           directory.empty() ? nullptr : directory.c_str(), &startup, &info)) {
          return true;
        }
        error = GetLastError();
        return false;
      },
      kLaunchRetryTime);
  if (!started)
    throw DriverError("cannot start " + exe_ + " (error " + std::to_string(error) + ")");
  handle_.reset(info.hProcess);
  CloseHandle(info.hThread);
  id_ = info.dwProcessId;
  const std::lock_guard lock(startedLock);
  startedIds().insert(id_);
}

Process::~Process() {
  stop();
  const std::lock_guard lock(startedLock);
  startedIds().erase(id_);
}

bool startedHere(DWORD processId) {
  const std::lock_guard lock(startedLock);
  return startedIds().contains(processId);
}

bool Process::running() const {
  return handle_ && WaitForSingleObject(handle_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::exitCode() const {
  DWORD code = 0;
  if (running() || !GetExitCodeProcess(handle_.get(), &code)) return std::nullopt;
  return code;
}

bool Process::waitForExit(Millis timeout) const {
  return WaitForSingleObject(handle_.get(), static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

void Process::stop() {
  if (running()) TerminateProcess(handle_.get(), 1);
  if (handle_) WaitForSingleObject(handle_.get(), kEndTimeoutMs);
}

// --- Windows --------------------------------------------------------------------------------

std::vector<HWND> visibleWindowsOf(DWORD processId) {
  WindowSearch search{processId, {}};
  EnumWindows(collectVisibleWindows, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

Shown waitUntilShown(const Process& process, const std::function<bool(HWND)>& ready, Millis timeout,
                     Millis poll) {
  for (;;) {
    for (HWND window : visibleWindowsOf(process.id())) {
      if (!ready || ready(window)) return {window, nowMs()};
    }
    if (!process.running()) {
      throw DriverError(process.exe() + " ended before showing its window, exit code " +
                        std::to_string(process.exitCode().value_or(0)));
    }
    if (nowMs() - process.startedAt() > static_cast<double>(timeout.count())) {
      throw DriverError(process.exe() + " showed no window as awaited within " +
                        std::to_string(timeout.count()) + " ms");
    }
    Sleep(static_cast<DWORD>(poll.count()));
  }
}

}  // namespace vorelo::e2e
