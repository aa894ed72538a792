#include "e2e/receiver_client.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace vorelo::e2e {

namespace {

std::string tempFile(const char* stem) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  static int counter = 0;
  return narrow(dir) + stem + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++counter) + ".log";
}

void appendUtf16(std::u16string& out, unsigned code) {
  out.push_back(static_cast<char16_t>(code));
}

}  // namespace

double nowMs() {
  LARGE_INTEGER now{};
  LARGE_INTEGER frequency{};
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::string siblingProgram(const std::string& name) {
  if (auto dir = environment("VORELO_TEST_BIN")) return toWindowsPath(*dir) + "\\" + name;
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  path.resize(path.find_last_of(L"\\/") + 1);
  return narrow(path) + name;
}

Receiver::Receiver(const std::string& exe) : logPath_(tempFile("vorelo-receiver-")) {
  const std::string caption = "Vorelo Receiver " + std::to_string(GetTickCount64());
  std::wstring line = L"\"" + widen(toWindowsPath(exe)) + L"\" \"" + widen(logPath_) + L"\" \"" +
                      widen(caption) + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  bool started = false;
  // Wine sometimes refuses a start right after another program ended; it passes on retry.
  waitFor(
      [&] {
        started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                 &startup, &info) != FALSE;
        return started;
      },
      Millis{2000});
  if (!started) throw DriverError("cannot start the receiver");
  CloseHandle(info.hThread);
  process_.reset(info.hProcess);
  const std::wstring wcaption = widen(caption);
  if (!waitFor(
          [&] { return (window_ = FindWindowW(L"VoreloReceiver", wcaption.c_str())) != nullptr; },
          Millis{15000})) {
    throw DriverError("the receiver shows no window");
  }
  activate();
}

Receiver::~Receiver() {
  if (process_) {
    TerminateProcess(process_.get(), 0);
    WaitForSingleObject(process_.get(), 5000);
  }
  DeleteFileW(widen(logPath_).c_str());
}

bool Receiver::active() const {
  return GetForegroundWindow() == window_;
}

bool Receiver::activate() {
  PostMessageW(window_, WM_APP, 0, 0);
  return waitFor([&] { return active(); }, Millis{5000});
}

std::vector<KeyMessage> Receiver::messages() const {
  std::vector<KeyMessage> out;
  // The receiver keeps the file open for writing; open it shared.
  HANDLE file = CreateFileW(widen(logPath_).c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return out;
  UniqueHandle owner(file);
  std::string content;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n > 0) content.append(buffer, n);
  std::istringstream lines(content);
  std::string line;
  while (std::getline(lines, line)) {
    if (auto m = parseKeyMessage(line)) out.push_back(std::move(*m));
  }
  return out;
}

std::optional<KeyMessage> parseKeyMessage(const std::string& line) {
  KeyMessage m;
  char kind[8] = {};
  char mods[4] = {};
  if (std::sscanf(line.c_str(), "%lf %7s %x %3s", &m.ms, kind, &m.code, mods) != 4) {
    return std::nullopt;
  }
  m.kind = kind;
  m.ctrl = mods[0] == 'C';
  m.shift = mods[1] == 'S';
  m.alt = mods[2] == 'A';
  return m;
}

std::string Receiver::typed() const {
  std::u16string text;
  std::string out;
  auto flush = [&] {
    out += narrow(std::wstring(text.begin(), text.end()));
    text.clear();
  };
  for (const KeyMessage& m : messages()) {
    if (m.kind == "KD" && m.code == VK_RETURN) {
      flush();
      out += m.ctrl ? "[^Enter]" : "[Enter]";
    } else if (m.kind == "CH" && m.code != 0x0D && m.code != 0x0A) {
      appendUtf16(text, m.code);
    }
  }
  flush();
  return out;
}

std::vector<double> Receiver::submitTimes() const {
  std::vector<double> times;
  for (const KeyMessage& m : messages()) {
    if (m.kind == "KD" && m.code == VK_RETURN) times.push_back(m.ms);
  }
  return times;
}

}  // namespace vorelo::e2e
