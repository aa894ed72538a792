#include "win32/win32_system.h"

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/key_events.h"
#include "win32/handles.h"
#include "win32/text.h"

namespace vorelo::win32 {

namespace {

// Files larger than this are read only this far; no list of messages comes near it.
constexpr LONGLONG kMaxFileBytes = 64LL << 20;

// The keyboard layout of the window the keys go to: a character under a modifier is looked
// up there, as the user would type it in that window.
HKL layoutOf(HWND target) {
  const DWORD thread = target != nullptr ? GetWindowThreadProcessId(target, nullptr) : 0;
  return GetKeyboardLayout(thread);
}

std::optional<engine::LayoutKey> keyInLayout(char32_t ch, HKL layout) {
  if (ch > 0xFFFF) return std::nullopt;
  const SHORT scan = VkKeyScanExW(static_cast<WCHAR>(ch), layout);
  if (scan == -1 || LOBYTE(scan) == 0xFF) return std::nullopt;
  return engine::LayoutKey{LOBYTE(scan), static_cast<uint8_t>(HIBYTE(scan) & 0x07)};
}

engine::KeyboardState keyboardState() {
  engine::KeyboardState state;
  for (uint16_t key :
       {engine::vk::LShift, engine::vk::RShift, engine::vk::LControl, engine::vk::RControl,
        engine::vk::LMenu, engine::vk::RMenu, engine::vk::LWin, engine::vk::RWin}) {
    if (GetAsyncKeyState(key) & 0x8000) state.held.push_back(key);
  }
  // The toggle bit: the system keeps it the same for every thread.
  state.capsLock = (GetKeyState(engine::vk::CapsLock) & 0x0001) != 0;
  return state;
}

std::vector<INPUT> toInputs(std::span<const engine::KeyEvent> events, HKL layout) {
  std::vector<INPUT> inputs(events.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    const engine::KeyEvent& e = events[i];
    KEYBDINPUT& k = inputs[i].ki;
    inputs[i].type = INPUT_KEYBOARD;
    if (e.unicode) {
      k.wScan = e.unit;
      k.dwFlags = KEYEVENTF_UNICODE;
    } else {
      k.wVk = e.vk;
      k.wScan = static_cast<WORD>(MapVirtualKeyExW(e.vk, MAPVK_VK_TO_VSC, layout));
      if (engine::isExtendedKey(e.vk)) k.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    }
    if (e.up) k.dwFlags |= KEYEVENTF_KEYUP;
  }
  return inputs;
}

UINT send(std::vector<INPUT>& inputs) {
  if (inputs.empty()) return 0;
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace

bool ownWindow(HWND window) {
  DWORD process = 0;
  if (window != nullptr) GetWindowThreadProcessId(window, &process);
  return window == nullptr || process == GetCurrentProcessId();
}

bool nobodysWindow(HWND window) {
  return window == nullptr || window == GetDesktopWindow() || window == GetShellWindow();
}

void Win32System::noteForeground(HWND window) {
  if (!ownWindow(window) && !nobodysWindow(window)) lastOtherForeground_ = window;
}

HWND Win32System::lastOtherForeground() const {
  return lastOtherForeground_ != nullptr && IsWindow(lastOtherForeground_) ? lastOtherForeground_
                                                                           : nullptr;
}

HWND Win32System::keyTarget() const {
  HWND foreground = GetForegroundWindow();
  return ownWindow(foreground) ? lastOtherForeground() : foreground;
}

std::optional<std::string> Win32System::readFile(std::string_view name) {
  UniqueFile file(CreateFileW(widen(name).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return std::nullopt;
  const LONGLONG wanted = std::min(size.QuadPart, kMaxFileBytes);
  std::string bytes(static_cast<std::size_t>(wanted), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 24));
    if (!ReadFile(file.get(), bytes.data() + got, chunk, &n, nullptr)) return std::nullopt;
    if (n == 0) break;
    got += n;
  }
  bytes.resize(got);
  return bytes;
}

std::string Win32System::ansiToUtf8(std::string_view bytes) {
  return win32::ansiToUtf8(bytes);
}

bool Win32System::sendKeys(std::span<const engine::KeyAction> actions) {
  if (actions.empty()) return true;
  const HKL layout = layoutOf(GetForegroundWindow());
  const engine::LayoutLookup lookup = [layout](char32_t ch) { return keyInLayout(ch, layout); };
  const std::vector<engine::KeyEvent> events =
      engine::planKeyEvents(actions, lookup, keyboardState());
  std::vector<INPUT> inputs = toInputs(events, layout);
  const UINT delivered = send(inputs);
  if (delivered == inputs.size()) return true;
  // Blocked part way (another desktop, a locked screen): let go of everything pressed.
  const std::vector<engine::KeyEvent> releases = engine::releaseAfterPartial(events, delivered);
  std::vector<INPUT> undo = toInputs(releases, layout);
  send(undo);
  return false;
}

std::optional<engine::LayoutKey> Win32System::layoutKey(char32_t ch) {
  return keyInLayout(ch, layoutOf(keyTarget()));
}

uint16_t Win32System::asyncKeyState(int virtualKey) {
  return static_cast<uint16_t>(GetAsyncKeyState(virtualKey));
}

bool Win32System::launch(platform::Folder folder, std::string_view program,
                         std::string_view commandLine, int windowStyle) {
  wchar_t dir[MAX_PATH];
  const UINT n = folder == platform::Folder::System ? GetSystemDirectoryW(dir, MAX_PATH)
                                                    : GetWindowsDirectoryW(dir, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return false;
  const std::wstring folderPath(dir, n);
  // The full path names the program: nothing is searched for in the current folder or the
  // program's own folder, where a planted copy could be waiting.
  const std::wstring application = folderPath + L"\\" + widen(program);
  std::wstring line = widen(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(windowStyle == 2 ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, FALSE,
                      CREATE_UNICODE_ENVIRONMENT, nullptr, folderPath.c_str(), &startup,
                      &process)) {
    return false;
  }
  UniqueHandle thread(process.hThread);
  UniqueHandle handle(process.hProcess);
  return true;
}

}  // namespace vorelo::win32
