// Runs every test program of Vorelo's test kit that lies beside it (unit_tests, contract_*,
// e2e_*), one at a time: prints a line per program and a closing "N passed, M failed", and
// writes vorelo-tests-report.txt beside itself with the machine it ran on. The exit code is 0
// when every program passed.
//
//   kit_runner.exe [name ...]    only the programs named (without .exe)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "kit/report.h"
#include "win32/handles.h"
#include "win32/text.h"

namespace {

using vorelo::win32::narrow;
using vorelo::win32::UniqueFile;
using vorelo::win32::UniqueHandle;
using vorelo::win32::widen;

// A test program that runs longer than this is stopped and counts as failed.
constexpr DWORD kTimeoutMs = 20 * 60 * 1000;

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

// The test programs in the folder, in a fixed order: unit, contract, then end to end.
std::vector<std::wstring> testPrograms(const std::wstring& folder) {
  std::vector<std::wstring> names;
  for (const wchar_t* pattern : {L"unit_tests.exe", L"contract_*.exe", L"e2e_*.exe"}) {
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data{};
    HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) continue;
    do {
      const std::wstring file = data.cFileName;
      found.push_back(file.substr(0, file.size() - 4));
    } while (FindNextFileW(search, &data));
    FindClose(search);
    std::sort(found.begin(), found.end());
    names.insert(names.end(), found.begin(), found.end());
  }
  return names;
}

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

// Runs the program with its output in a pipe, so the kit writes no file while a test watches
// the folders for files that change.
vorelo::kit::ProgramResult run(const std::wstring& folder, const std::wstring& name) {
  vorelo::kit::ProgramResult result;
  result.name = narrow(name);
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE read = nullptr;
  HANDLE write = nullptr;
  if (!CreatePipe(&read, &write, &inherit, 1 << 16)) {
    result.exitCode = -1;
    result.output = "could not make a pipe\n";
    return result;
  }
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
  std::wstring line = L"\"" + folder + L"\\" + name + L".exe\" --gtest_color=no";
  PROCESS_INFORMATION process{};
  const ULONGLONG began = GetTickCount64();
  const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      folder.c_str(), &startup, &process);
  writer.reset();
  in.reset();
  if (!started) {
    result.exitCode = -1;
    result.output = "could not start " + narrow(line) + "\n";
    return result;
  }
  const UniqueHandle thread(process.hThread);
  const UniqueHandle handle(process.hProcess);
  while (WaitForSingleObject(handle.get(), 50) == WAIT_TIMEOUT) {
    drain(read, result.output);
    if (GetTickCount64() - began > kTimeoutMs) {
      TerminateProcess(handle.get(), 1);
      WaitForSingleObject(handle.get(), 10000);
      result.timedOut = true;
      break;
    }
  }
  drain(read, result.output);
  DWORD code = 1;
  GetExitCodeProcess(handle.get(), &code);
  result.exitCode = static_cast<int>(code);
  result.seconds = static_cast<double>(GetTickCount64() - began) / 1000.0;
  return result;
}

vorelo::kit::Machine machine() {
  vorelo::kit::Machine m;
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
  using WineVersion = const char*(CDECL*)();
  if (const auto wine = reinterpret_cast<WineVersion>(
          reinterpret_cast<void (*)()>(GetProcAddress(ntdll, "wine_get_version")))) {
    m.wine = wine();
  }
  // The screen's DPI as a program that knows about DPI sees it.
  using Aware = BOOL(WINAPI*)();
  if (const auto aware = reinterpret_cast<Aware>(reinterpret_cast<void (*)()>(
          GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDPIAware")))) {
    aware();
  }
  HDC screen = GetDC(nullptr);
  m.dpi = static_cast<unsigned>(GetDeviceCaps(screen, LOGPIXELSX));
  ReleaseDC(nullptr, screen);
  wchar_t layout[KL_NAMELENGTH] = {};
  if (GetKeyboardLayoutNameW(layout)) m.keyboardLayout = narrow(layout);
  m.ansiCodePage = GetACP();
  m.oemCodePage = GetOEMCP();
  wchar_t locale[LOCALE_NAME_MAX_LENGTH] = {};
  if (GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH) > 0) m.locale = narrow(locale);
  return m;
}

void say(const std::string& line) {
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

// UTF-8 with a BOM and CR LF line ends: Notepad shows it on any Windows.
void writeReport(const std::wstring& path, const std::string& text) {
  std::string bytes = "\xEF\xBB\xBF";
  for (const char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  const UniqueFile file(
      CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  if (file) {
    WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring folder = ownFolder();
  std::vector<std::wstring> programs = testPrograms(folder);
  if (argc > 1) {
    std::vector<std::wstring> chosen(argv + 1, argv + argc);
    std::erase_if(programs, [&](const std::wstring& p) {
      return std::find(chosen.begin(), chosen.end(), p) == chosen.end();
    });
  }
  const vorelo::kit::Machine facts = machine();
  say("Vorelo test kit: " + std::to_string(programs.size()) + " test programs, Windows " +
      facts.windows + (facts.wine.empty() ? "" : " (Wine " + facts.wine + ")"));
  std::vector<vorelo::kit::ProgramResult> results;
  for (const std::wstring& name : programs) {
    say("... " + narrow(name));
    results.push_back(run(folder, name));
    say(vorelo::kit::resultLine(results.back()));
  }
  const std::wstring reportPath = folder + L"\\vorelo-tests-report.txt";
  writeReport(reportPath, vorelo::kit::report(facts, results));
  say(vorelo::kit::closingLine(results));
  say("Report: " + narrow(reportPath));
  const bool allPassed =
      std::all_of(results.begin(), results.end(),
                  [](const vorelo::kit::ProgramResult& r) { return r.passed(); });
  return !programs.empty() && allPassed ? 0 : 1;
}
