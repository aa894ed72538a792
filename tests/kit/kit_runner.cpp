// Runs the test programs of Vorelo's test kit, the ones it was built with, one at a time: prints
// a line per program and a last line that says what the exit code says, and writes
// vorelo-tests-report.txt beside itself with the kit and the machine it ran on.
//
//   kit_runner.exe [--yes] [--timeout SECONDS] [name ...]
//     --yes              start without asking (it never asks when its input is not a console)
//     --timeout SECONDS  a program that runs longer is stopped and fails (20 minutes)
//     name               only these programs (without .exe), in the kit's order
//
// The desktop is a person's own: before the first test the runner says what will happen and
// waits for a key, stops when a Vorelo of theirs runs, and runs every program in a job object
// that ends it and everything it started when the runner ends, however it ends. After each
// program it lets go of every key and puts CapsLock back as it was. While an end-to-end program
// runs, a window of another program in front of the kit's for longer than a moment ends it.
#include <windows.h>

#include <imm.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/version.h"
#include "e2e/driver.h"
#include "e2e/input_methods.h"
#include "e2e/rig.h"
#include "kit/commit.h"
#include "kit/programs.h"
#include "kit/report.h"
#include "win32/handles.h"
#include "win32/text.h"

namespace {

using vorelo::kit::ForegroundWatch;
using vorelo::kit::ProgramResult;
using vorelo::win32::narrow;
using vorelo::win32::UniqueFile;
using vorelo::win32::UniqueHandle;
using vorelo::win32::widen;

constexpr DWORD kDefaultTimeoutMs = 20 * 60 * 1000;
// What vorelo.exe calls its main window and its one-at-a-time mutex (src/win32).
constexpr wchar_t kVoreloWindowClass[] = L"VoreloMainWindow";
constexpr wchar_t kVoreloMutex[] = L"Local\\Vorelo.OneAtATime";
constexpr const char* kHelpers[] = {"vorelo.exe", "receiver.exe", "fake_poweroff.exe"};

// --- The console ------------------------------------------------------------------------------

// A line for the person: UTF-16 to a console, whatever its code page; UTF-8 when redirected.
void say(const std::string& line) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(out, &mode)) {
    const std::wstring text = widen(line + "\n");
    WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  } else {
    const std::string text = line + "\r\n";
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
}

bool interactive() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != FALSE;
}

// Waits for a key pressed in the console; what was typed before does not count.
void waitForKeyNow() {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  FlushConsoleInputBuffer(in);
  for (;;) {
    INPUT_RECORD record{};
    DWORD read = 0;
    if (!ReadConsoleInputW(in, &record, 1, &read) || read == 0) return;
    if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown) break;
  }
  FlushConsoleInputBuffer(in);
}

// --- Ending everything, however the runner ends -----------------------------------------------

// The job of the program that runs now, for the console's handler.
std::atomic<HANDLE> runningJob{nullptr};
std::atomic<bool> interrupted{false};
// While the runner waits for a key: the exit code it ends with when it is cancelled instead, and
// whether it then still has to say so (before the tests; after them the last line is said).
std::atomic<int> codeWhileWaiting{-1};
std::atomic<bool> sayWhenCancelled{false};
// Set once the main thread has let go of the keys and written the report.
HANDLE finished = nullptr;

// Ctrl+C, Ctrl+Break, the console window closed, the session ending: the tests end at once, and
// the main thread tidies up (a closing console leaves a few seconds for that).
BOOL WINAPI onConsoleEvent(DWORD) noexcept {
  interrupted = true;
  if (const int code = codeWhileWaiting.load(); code >= 0) {
    try {
      if (sayWhenCancelled) say("未通过 FAILED: cancelled");
    } catch (...) {
      // The exit code says it all the same.
    }
    ExitProcess(static_cast<UINT>(code));
  }
  if (HANDLE job = runningJob.load()) TerminateJobObject(job, 1);
  if (WaitForSingleObject(finished, 4000) != WAIT_OBJECT_0) {
    try {
      vorelo::e2e::letGoOfEveryKey();
    } catch (...) {
      // Nothing more can be done on the way out.
    }
  }
  return TRUE;
}

// The same; cancelled instead (Ctrl+C, the window closed), the runner ends with `codeIfCancelled`.
void waitForKey(int codeIfCancelled, bool sayIfCancelled) {
  sayWhenCancelled = sayIfCancelled;
  codeWhileWaiting = codeIfCancelled;
  waitForKeyNow();
  codeWhileWaiting = -1;
}

// --- The kit's folder -------------------------------------------------------------------------

std::wstring ownFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L"\\/"));
}

bool exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring lower(std::wstring text) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Explorer runs a program from inside a zip out of a temporary folder named after the zip.
bool insideAZip(const std::wstring& folder) {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  const std::wstring name = lower(folder.substr(folder.find_last_of(L"\\/") + 1));
  return n > 0 && lower(folder).starts_with(lower(std::wstring(temp, n))) &&
         name.ends_with(L".zip");
}

// --- Another Vorelo ---------------------------------------------------------------------------

// A Vorelo that runs outside the kit's jobs, named for the person: "C:\...\vorelo.exe (process
// 1234)", or nothing.
std::optional<std::string> runningVorelo() {
  HWND window = FindWindowW(kVoreloWindowClass, nullptr);
  if (window != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    std::string name = "vorelo.exe";
    const UniqueHandle handle(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
    wchar_t path[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    if (handle && QueryFullProcessImageNameW(handle.get(), 0, path, &size)) {
      name = narrow(std::wstring_view(path, size));
    }
    return name + " (process " + std::to_string(process) + ")";
  }
  // One run as administrator may have a window this program cannot see; its mutex is there.
  const UniqueHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, kVoreloMutex));
  if (mutex || GetLastError() == ERROR_ACCESS_DENIED) return std::string("vorelo.exe");
  return std::nullopt;
}

std::string voreloRunningMessage(const std::string& which) {
  return "Vorelo 正在运行：" + which +
         "。\n请先退出它（点“退出”），再运行测试：测试会按 F12，它会因此开始发送（勾选了“时间到"
         "自动关机”时还会关机）。\nVorelo is running: " +
         which +
         ".\nQuit it first (click 退出), then run the tests again: they press F12, which would "
         "start it sending (and, with its power-off box ticked, power the computer off).";
}

// --- The machine ------------------------------------------------------------------------------

std::string registryText(const wchar_t* key, const wchar_t* value) {
  wchar_t text[256] = {};
  DWORD size = sizeof(text);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_SZ, nullptr, text, &size) !=
      ERROR_SUCCESS) {
    return {};
  }
  return narrow(text);
}

std::string hex(ULONG_PTR value, int digits) {
  char text[32];
  std::snprintf(text, sizeof(text), "%0*llX", digits, static_cast<unsigned long long>(value));
  return text;
}

// Per-monitor aware, so that each monitor's own DPI is read, not the primary one's.
void becomeDpiAware() {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  using Context = BOOL(WINAPI*)(HANDLE);
  if (const auto setContext = reinterpret_cast<Context>(
          reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")))) {
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, then _PER_MONITOR_AWARE.
    if (setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))) ||
        setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)))) {
      return;
    }
  }
  if (HMODULE shcore = LoadLibraryW(L"shcore.dll")) {
    using Awareness = HRESULT(WINAPI*)(int);
    if (const auto set = reinterpret_cast<Awareness>(
            reinterpret_cast<void (*)()>(GetProcAddress(shcore, "SetProcessDpiAwareness")))) {
      if (SUCCEEDED(set(2))) return;  // PROCESS_PER_MONITOR_DPI_AWARE
    }
  }
  using Aware = BOOL(WINAPI*)();
  if (const auto aware = reinterpret_cast<Aware>(
          reinterpret_cast<void (*)()>(GetProcAddress(user32, "SetProcessDPIAware")))) {
    aware();
  }
}

std::string describeMonitor(HMONITOR monitor) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (!GetMonitorInfoW(monitor, &info)) return "unknown";
  UINT dpiX = 0;
  UINT dpiY = 0;
  using Dpi = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  HMODULE shcore = LoadLibraryW(L"shcore.dll");
  const auto dpiOf = shcore != nullptr ? reinterpret_cast<Dpi>(reinterpret_cast<void (*)()>(
                                             GetProcAddress(shcore, "GetDpiForMonitor")))
                                       : nullptr;
  if (dpiOf == nullptr || FAILED(dpiOf(monitor, 0, &dpiX, &dpiY))) {  // MDT_EFFECTIVE_DPI
    const vorelo::win32::WindowDc screen(nullptr);
    dpiX = static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSX));
  }
  const RECT& r = info.rcMonitor;
  std::string line = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) +
                     " at (" + std::to_string(r.left) + ", " + std::to_string(r.top) + "), " +
                     std::to_string(dpiX) + " DPI";
  if ((info.dwFlags & MONITORINFOF_PRIMARY) != 0) line += ", primary";
  return line;
}

BOOL CALLBACK addMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM into) noexcept {
  try {
    reinterpret_cast<std::vector<std::string>*>(into)->push_back(describeMonitor(monitor));
    return TRUE;
  } catch (...) {
    return FALSE;
  }
}

vorelo::kit::Machine machine() {
  vorelo::kit::Machine m;
  m.kitVersion = VORELO_VERSION;
  m.kitCommit = VORELO_KIT_COMMIT;
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
  const auto getVersion = reinterpret_cast<GetVersion>(
      reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "RtlGetVersion")));
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  if (getVersion != nullptr && getVersion(&version) == 0) {
    m.windows = std::to_string(version.dwMajorVersion) + "." +
                std::to_string(version.dwMinorVersion) + "." +
                std::to_string(version.dwBuildNumber);
  }
  const wchar_t* const current = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  DWORD revision = 0;
  DWORD size = sizeof(revision);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, current, L"UBR", RRF_RT_REG_DWORD, nullptr, &revision,
                   &size) == ERROR_SUCCESS) {
    m.windows += "." + std::to_string(revision);
  } else {
    m.windows += " (no update revision)";
  }
  m.edition = registryText(current, L"ProductName");
  std::string release = registryText(current, L"DisplayVersion");
  if (release.empty()) release = registryText(current, L"ReleaseId");
  if (!release.empty()) m.edition += ", " + release;
  using WineVersion = const char*(CDECL*)();
  if (const auto wine = reinterpret_cast<WineVersion>(
          reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "wine_get_version")))) {
    m.wine = wine();
  }

  m.elevated = "unknown";
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    const UniqueHandle owned(token);
    TOKEN_ELEVATION elevation{};
    DWORD length = 0;
    if (GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &length)) {
      m.elevated = elevation.TokenIsElevated != 0 ? "yes" : "no";
    }
  }
  if (!m.wine.empty()) m.elevated += " (Wine runs every program elevated)";

  EnumDisplayMonitors(nullptr, nullptr, addMonitor, reinterpret_cast<LPARAM>(&m.monitors));
  for (const auto& layout : vorelo::e2e::keyboardLayouts()) {
    std::string line =
        hex(reinterpret_cast<ULONG_PTR>(layout.handle) & 0xFFFFFFFF, 8) + " (" + layout.language;
    if (layout.inputMethod) line += ", input method " + layout.description;
    m.keyboardLayouts.push_back(line + ")");
  }
  for (const auto& method : vorelo::e2e::inputMethods()) {
    m.inputMethods.push_back(method.name + " (" + method.language + ")");
  }
  m.ansiCodePage = GetACP();
  m.oemCodePage = GetOEMCP();
  wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
  if (GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH) > 0) m.locale = narrow(locale);
  DYNAMIC_TIME_ZONE_INFORMATION zone{};
  if (GetDynamicTimeZoneInformation(&zone) != TIME_ZONE_ID_INVALID) {
    const long east = -zone.Bias;
    char offset[16];
    std::snprintf(offset, sizeof(offset), "UTC%c%02ld:%02ld", east < 0 ? '-' : '+',
                  (east < 0 ? -east : east) / 60, (east < 0 ? -east : east) % 60);
    const std::string name = narrow(zone.TimeZoneKeyName);
    m.timeZone = (name.empty() ? narrow(zone.StandardName) : name) + ", " + offset;
  }
  return m;
}

// --- Running one program ----------------------------------------------------------------------

// Whatever the pipe holds now, without waiting for more.
void drain(HANDLE pipe, std::string& into) {
  DWORD available = 0;
  while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
    char buffer[65536];
    DWORD n = 0;
    if (!ReadFile(pipe, buffer, std::min<DWORD>(available, sizeof(buffer)), &n, nullptr) ||
        n == 0) {
      return;
    }
    into.append(buffer, n);
  }
}

std::vector<DWORD> processesIn(HANDLE job) {
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more[255];
  } ids{};
  if (!QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof(ids), nullptr)) {
    return {};
  }
  std::vector<DWORD> found;
  for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i) {
    found.push_back(static_cast<DWORD>(ids.list.ProcessIdList[i]));
  }
  return found;
}

struct ShownWindows {
  const std::vector<DWORD>* kit;
  bool kitShown = false;
  bool voreloSending = false;
};

BOOL CALLBACK lookAtWindow(HWND window, LPARAM param) noexcept {
  auto* shown = reinterpret_cast<ShownWindows*>(param);
  if (!IsWindowVisible(window)) return TRUE;
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (std::find(shown->kit->begin(), shown->kit->end(), process) == shown->kit->end()) return TRUE;
  shown->kitShown = true;
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (std::wstring_view(name) == kVoreloWindowClass && IsIconic(window)) {
    shown->voreloSending = true;
  }
  return TRUE;
}

// What the watch needs to know of the screen now.
ForegroundWatch::Screen lookAtScreen(HANDLE job, HWND startWindow, std::string& frontClass) {
  const std::vector<DWORD> kit = processesIn(job);
  ShownWindows shown{&kit};
  EnumWindows(lookAtWindow, reinterpret_cast<LPARAM>(&shown));
  ForegroundWatch::Screen screen;
  screen.kitWindowShown = shown.kitShown;
  screen.voreloSending = shown.voreloSending;
  HWND front = GetForegroundWindow();
  screen.frontIsNone = front == nullptr;
  if (front != nullptr) {
    DWORD process = 0;
    GetWindowThreadProcessId(front, &process);
    screen.frontIsKit = std::find(kit.begin(), kit.end(), process) != kit.end();
    screen.frontIsStartWindow = front == startWindow;
    // The class only: a caption may name a person or a conversation, and the report is public.
    frontClass = vorelo::e2e::windowClass(front);
  }
  return screen;
}

struct RunSettings {
  std::wstring folder;
  DWORD timeoutMs = kDefaultTimeoutMs;
  HWND startWindow = nullptr;  // the window in front when the run began: the kit's console
};

// Runs the program in a job of its own with its output in a pipe (so the kit writes no file
// while a test watches the folders for files that change). The job ends it and everything it
// started once it is over, also when the runner itself goes away.
ProgramResult run(const RunSettings& settings, const std::string& name) {
  ProgramResult result;
  result.name = name;
  const auto fail = [&](const std::string& why) {
    result.exitCode = -1;
    result.output += why + "\n";
    return result;
  };
  const UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  // A crash ends the program at once instead of waiting in a box for the time-out.
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
  if (!job || !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits,
                                       sizeof(limits))) {
    return fail(vorelo::e2e::lastError("could not make a job object"));
  }
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!CreatePipe(&read, &write, &inherit, 1 << 16)) return fail("could not make a pipe");
  const UniqueHandle reader(read);
  UniqueHandle writer(write);
  SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
  UniqueFile in(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.get();
  startup.hStdOutput = write;
  startup.hStdError = write;
  std::wstring line = L"\"" + settings.folder + L"\\" + widen(name) + L".exe\" --gtest_color=no";
  PROCESS_INFORMATION process{};
  const ULONGLONG began = GetTickCount64();
  const BOOL started =
      CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                     settings.folder.c_str(), &startup, &process);
  writer.reset();
  in.reset();
  if (!started) return fail(vorelo::e2e::lastError("could not start " + narrow(line)));
  const UniqueHandle thread(process.hThread);
  const UniqueHandle handle(process.hProcess);
  if (!AssignProcessToJobObject(job.get(), handle.get())) {
    TerminateProcess(handle.get(), 1);
    return fail(vorelo::e2e::lastError("could not put the program into a job object"));
  }
  runningJob = job.get();
  ResumeThread(thread.get());
  const bool watched = name.starts_with("e2e_");
  ForegroundWatch watch;
  while (WaitForSingleObject(handle.get(), 50) == WAIT_TIMEOUT) {
    drain(read, result.output);
    if (interrupted) {
      result.stoppedBecause = "interrupted";
      break;
    }
    if (GetTickCount64() - began > settings.timeoutMs) {
      result.timedOut = true;
      break;
    }
    std::string frontClass;
    if (watched && watch.taken(lookAtScreen(job.get(), settings.startWindow, frontClass),
                               static_cast<double>(GetTickCount64()))) {
      result.stoppedBecause = "foreground taken by " + frontClass;
      break;
    }
  }
  // The program, and whatever it started that is still there, gone before the next one starts.
  TerminateJobObject(job.get(), 1);
  runningJob = nullptr;
  WaitForSingleObject(handle.get(), 10000);
  vorelo::e2e::waitFor([&] { return processesIn(job.get()).empty(); }, vorelo::e2e::Millis{10000});
  drain(read, result.output);
  DWORD code = 1;
  GetExitCodeProcess(handle.get(), &code);
  result.exitCode = static_cast<int>(code);
  result.seconds = static_cast<double>(GetTickCount64() - began) / 1000.0;
  return result;
}

// After every program: no key left down, CapsLock as it was. What is still down is named.
std::string tidyUp(std::optional<bool> capsLock) {
  vorelo::e2e::letGoOfEveryKey();
  std::string problem;
  if (capsLock && !vorelo::e2e::rig().putCapsLock(*capsLock)) {
    problem = "CapsLock could not be put back";
  }
  std::string down;
  vorelo::e2e::waitFor(
      [&] {
        down.clear();
        for (const UINT vk : vorelo::e2e::keysDown())
          down += (down.empty() ? "" : " ") + hex(vk, 2);
        return down.empty();
      },
      vorelo::e2e::Millis{1000});
  if (!down.empty()) {
    problem += (problem.empty() ? "" : "; ") + std::string("keys still down: ") + down;
  }
  return problem;
}

// UTF-8 with a BOM and CR LF line ends: Notepad shows it on any Windows. The error, if any.
std::optional<std::string> writeReport(const std::wstring& path, const std::string& text) {
  std::string bytes = "\xEF\xBB\xBF";
  for (const char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  const UniqueFile file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  if (!file) return vorelo::e2e::lastError("could not create it");
  if (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    return vorelo::e2e::lastError("could not write it");
  }
  return std::nullopt;
}

// --- Options ----------------------------------------------------------------------------------

struct Options {
  bool yes = false;
  DWORD timeoutMs = kDefaultTimeoutMs;
  std::vector<std::string> names;
};

std::optional<Options> parse(int argc, wchar_t** argv, std::string& error) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = narrow(argv[i]);
    if (arg == "--yes") {
      options.yes = true;
    } else if (arg == "--timeout") {
      const std::string value = i + 1 < argc ? narrow(argv[++i]) : "";
      char* end = nullptr;
      const unsigned long seconds = std::strtoul(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || seconds == 0 || seconds > 24 * 60 * 60) {
        error = "--timeout needs a number of seconds, not '" + value + "'";
        return std::nullopt;
      }
      options.timeoutMs = static_cast<DWORD>(seconds * 1000);
    } else if (arg.starts_with("-")) {
      error = "unknown option " + arg;
      return std::nullopt;
    } else {
      options.names.push_back(arg.ends_with(".exe") ? arg.substr(0, arg.size() - 4) : arg);
    }
  }
  return options;
}

std::string kitNames() {
  std::string names;
  for (const auto& program : vorelo::kit::kPrograms) {
    names += (names.empty() ? "" : " ") + std::string(program.name);
  }
  return names;
}

void intro(std::size_t programs, int minutes) {
  const std::string n = std::to_string(programs);
  const std::string m = std::to_string(minutes);
  say("Vorelo 测试工具包：将依次运行 " + n + " 个测试程序，大约需要 " + m + " 分钟。");
  say("测试会打开自己的窗口，并向这些窗口输入按键（也会按 F12）。在此期间请不要碰键盘和鼠标，");
  say("并先关闭聊天软件、编辑器和其他可能弹出窗口的程序：别的窗口跑到前面时，正在进行的测试会被");
  say("停下并记为失败。测试不会关机，也不需要管理员权限。结果写在本文件夹的 "
      "vorelo-tests-report.txt。");
  say("");
  say("Vorelo test kit: runs " + n + " test programs, one after another, in about " + m +
      (minutes == 1 ? " minute." : " minutes."));
  say("The tests open windows of their own and type into them (F12 too). Meanwhile leave the");
  say("keyboard and the mouse alone, and first close chats, editors and other programs that may");
  say("pop up a window: another window in front stops the test that runs, as a failure. The tests");
  say("never power the computer off and need no administrator rights. The results go to");
  say("vorelo-tests-report.txt in this folder.");
  say("");
}

// The last line, which says what the exit code says.
int finish(const std::vector<ProgramResult>& results, const std::string& problem, bool wait) {
  say(vorelo::kit::verdictLine(results, problem));
  SetEvent(finished);
  const int code = !results.empty() && vorelo::kit::allPassed(results) && problem.empty() ? 0 : 1;
  if (wait && !interrupted) {
    say("按任意键关闭。 Press any key to close.");
    waitForKey(code, false);
  }
  return code;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // No error boxes from the tests (they inherit it): a crash ends the program that crashed.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  becomeDpiAware();
  const UniqueHandle finishedEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  finished = finishedEvent.get();
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);

  std::string error;
  const std::optional<Options> options = parse(argc, argv, error);
  if (!options) {
    say("kit_runner.exe [--yes] [--timeout SECONDS] [" + kitNames() + "]");
    return finish({}, error, false);
  }
  const bool ask = !options->yes && interactive();
  const std::wstring folder = ownFolder();
  if (insideAZip(folder)) {
    say("请先解压再运行：把整个 zip 解压到一个新文件夹，再双击其中的 run-tests.cmd。");
    say("Unzip first: extract the whole zip into a new folder, then run run-tests.cmd there.");
    return finish({}, "started from inside the zip", ask);
  }

  std::vector<vorelo::kit::Planned> chosen;
  for (const std::string& name : options->names) {
    const auto found =
        std::find_if(std::begin(vorelo::kit::kPrograms), std::end(vorelo::kit::kPrograms),
                     [&](const auto& p) { return name == p.name; });
    if (found == std::end(vorelo::kit::kPrograms)) {
      say("The kit has no test program " + name + "; it has: " + kitNames());
      return finish({}, "no test program " + name, ask);
    }
    if (std::find_if(chosen.begin(), chosen.end(), [&](const auto& p) { return name == p.name; }) ==
        chosen.end()) {
      chosen.push_back(*found);
    }
  }
  if (options->names.empty()) {
    chosen.assign(std::begin(vorelo::kit::kPrograms), std::end(vorelo::kit::kPrograms));
  }
  // In the kit's order, whatever the order of the names.
  std::sort(chosen.begin(), chosen.end(), [](const auto& a, const auto& b) {
    const auto index = [](const auto& p) {
      return std::find_if(std::begin(vorelo::kit::kPrograms), std::end(vorelo::kit::kPrograms),
                          [&](const auto& q) { return std::string_view(q.name) == p.name; }) -
             std::begin(vorelo::kit::kPrograms);
    };
    return index(a) < index(b);
  });
  if (chosen.empty()) return finish({}, "no test program chosen", ask);
  for (const char* helper : kHelpers) {
    if (!exists(folder + L"\\" + widen(helper))) {
      say("The kit's " + std::string(helper) +
          " is missing: unzip the kit again (an antivirus program may have held it back).");
      return finish({}, std::string(helper) + " is missing", ask);
    }
  }
  if (const auto other = runningVorelo()) {
    say(voreloRunningMessage(*other));
    return finish({}, "a Vorelo runs: " + *other, ask);
  }

  int seconds = 0;
  for (const auto& program : chosen) seconds += program.seconds;
  intro(chosen.size(), std::max(1, (seconds + 59) / 60));
  if (ask) {
    say("按任意键开始，按 Ctrl+C 取消。 Press any key to start, Ctrl+C to cancel.");
    waitForKey(1, true);
  }

  const vorelo::kit::Machine facts = machine();
  say("Windows " + facts.windows + (facts.wine.empty() ? "" : " (Wine " + facts.wine + ")") +
      ", kit " + facts.kitVersion + " (" + facts.kitCommit + ")");
  // The console the kit runs in may stay in front until a kit window comes up: the window in front
  // when the person agreed, else the console's own window.
  RunSettings settings{folder, options->timeoutMs,
                       ask ? GetForegroundWindow() : GetConsoleWindow()};
  const std::optional<bool> capsLock = vorelo::e2e::rig().capsLockOn(nullptr);
  std::vector<ProgramResult> results;
  std::string problem;
  for (const auto& program : chosen) {
    const std::string name = program.name;
    if (interrupted) break;
    if (!exists(folder + L"\\" + widen(name) + L".exe")) {
      ProgramResult missing;
      missing.name = name;
      missing.missing = true;
      results.push_back(missing);
      say(vorelo::kit::resultLine(missing));
      continue;
    }
    if (const auto other = runningVorelo()) {
      say(voreloRunningMessage(*other));
      problem = "a Vorelo was started during the run: " + *other;
      break;
    }
    say("... " + name);
    results.push_back(run(settings, name));
    const std::string keys = tidyUp(capsLock);
    if (!keys.empty()) {
      say("after " + name + ": " + keys);
      problem += (problem.empty() ? "" : "; ") + ("after " + name + ": " + keys);
    }
    say(vorelo::kit::resultLine(results.back()));
  }
  if (interrupted) problem += (problem.empty() ? "" : "; ") + std::string("interrupted");

  const std::wstring reportPath = folder + L"\\vorelo-tests-report.txt";
  if (const auto failed = writeReport(reportPath, vorelo::kit::report(facts, results))) {
    say("报告未能写入 The report could not be written: " + narrow(reportPath) + ": " + *failed);
    problem += (problem.empty() ? "" : "; ") + ("no report written to " + narrow(reportPath));
  } else {
    say("报告 Report: " + narrow(reportPath));
  }
  return finish(results, problem, ask);
}
