#include "win32/win32_system.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "engine/key_events.h"
#include "win32/handles.h"
#include "win32/libraries.h"
#include "win32/text.h"

namespace vorelo::win32 {

namespace {

// Files larger than this are read only this far; no list of messages comes near it.
constexpr LONGLONG kMaxFileBytes = 64LL << 20;

// The keyboard layout of the window the keys go to: a character under a modifier is looked
// up there, as the user would type it in that window.
HKL keyboardLayoutOf(HWND target) {
  const DWORD thread = target != nullptr ? GetWindowThreadProcessId(target, nullptr) : 0;
  return GetKeyboardLayout(thread);
}

std::optional<engine::LayoutKey> keyInLayout(char32_t ch, HKL layout) {
  if (ch > 0xFFFF) return std::nullopt;
  const SHORT scan = VkKeyScanExW(static_cast<WCHAR>(ch), layout);
  if (scan == -1 || LOBYTE(scan) == 0xFF) return std::nullopt;
  return engine::LayoutKey{LOBYTE(scan), static_cast<uint8_t>(HIBYTE(scan) & 0x07)};
}

// Every event carries Vorelo's mark with the batch's number; the last one says it is the last.
std::vector<INPUT> toInputs(std::span<const engine::KeyEvent> events, HKL layout, uint16_t batch) {
  std::vector<INPUT> inputs(events.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    const engine::KeyEvent& e = events[i];
    KEYBDINPUT& k = inputs[i].ki;
    inputs[i].type = INPUT_KEYBOARD;
    k.dwExtraInfo = engine::ownKeyMark(batch, i + 1 == events.size());
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

// The integrity level of a process (the last part of its mandatory label), or nothing when its
// token cannot be read.
std::optional<DWORD> integrityLevel(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return std::nullopt;
  const UniqueHandle owned(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
  if (size == 0) return std::nullopt;
  // Aligned for the label's pointer.
  std::vector<std::max_align_t> buffer((size + sizeof(std::max_align_t) - 1) /
                                       sizeof(std::max_align_t));
  if (!GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) {
    return std::nullopt;
  }
  const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
  const UCHAR parts = *GetSidSubAuthorityCount(sid);
  if (parts == 0) return std::nullopt;
  return *GetSidSubAuthority(sid, parts - 1u);
}

// How the integrity level of another program compares with Vorelo's. A level that cannot be read
// (another account's program, a protected one, or where security software strips the rights to
// ask) is unknown.
platform::Level levelOf(HANDLE process) {
  static const std::optional<DWORD> ours = integrityLevel(GetCurrentProcess());
  const std::optional<DWORD> theirs = process != nullptr ? integrityLevel(process) : std::nullopt;
  if (!theirs || !ours) return platform::Level::Unknown;
  return *theirs > *ours ? platform::Level::Higher : platform::Level::NotHigher;
}

bool sameText(const wchar_t* a, int aLength, const wchar_t* b, int bLength) {
  return CompareStringOrdinal(a, aLength, b, bLength, TRUE) == CSTR_EQUAL;
}

// The file name of a process's program, and whether it lives in the Windows folder (the shell's
// hosts of Start, Search and the notification centre do; apps from the Store do not). A program
// that cannot be asked counts as one of the Windows folder.
void readProgram(HANDLE process, platform::WindowFacts& facts) {
  facts.windowsProgram = true;
  wchar_t image[MAX_PATH];
  DWORD length = MAX_PATH;
  if (process == nullptr || !QueryFullProcessImageNameW(process, 0, image, &length)) return;
  const std::wstring_view path(image, length);
  facts.program = narrow(path.substr(path.find_last_of(L'\\') + 1));
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemWindowsDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH - 1) return;
  folder[n] = L'\\';
  const int prefix = static_cast<int>(n) + 1;
  facts.windowsProgram =
      static_cast<int>(length) > prefix && sameText(image, prefix, folder, prefix);
}

// Hidden by the desktop window manager while it seems shown: on another virtual desktop, or an
// app that is suspended.
bool cloaked(HWND window) {
  using Get = HRESULT(WINAPI*)(HWND, DWORD, PVOID, DWORD);
  static const Get get = procedure<Get>(systemLibrary(L"dwmapi.dll"), "DwmGetWindowAttribute");
  constexpr DWORD kCloaked = 14;  // DWMWA_CLOAKED, from Windows 8 on
  DWORD value = 0;
  return get != nullptr && SUCCEEDED(get(window, kCloaked, &value, sizeof(value))) && value != 0;
}

// The left or right key of a raw input event: the generic Shift, Ctrl and Alt are told apart by
// their scan code and prefix.
uint16_t sidedKey(const RAWKEYBOARD& key) {
  constexpr USHORT kRightShiftScan = 0x36;
  const bool e0 = (key.Flags & RI_KEY_E0) != 0;
  switch (key.VKey) {
    case VK_SHIFT:
      return key.MakeCode == kRightShiftScan ? engine::vk::RShift : engine::vk::LShift;
    case VK_CONTROL:
      return e0 ? engine::vk::RControl : engine::vk::LControl;
    case VK_MENU:
      return e0 ? engine::vk::RMenu : engine::vk::LMenu;
    default:
      return key.VKey;
  }
}

}  // namespace

platform::WindowHandle Win32System::foregroundWindow() {
  return asHandle(GetForegroundWindow());
}

platform::WindowFacts Win32System::windowFacts(platform::WindowHandle handle) {
  // Every question goes to the system, none to the window's program: a program that hangs cannot
  // keep Vorelo waiting.
  HWND window = asHwnd(handle);
  platform::WindowFacts facts;
  if (window == nullptr || !IsWindow(window)) return facts;
  facts.handle = handle;
  DWORD process = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &process);
  facts.ours = process == GetCurrentProcessId();
  facts.visible = IsWindowVisible(window) != FALSE;
  facts.minimised = IsIconic(window) != FALSE;
  facts.enabled = IsWindowEnabled(window) != FALSE;
  if (facts.ours) return facts;
  facts.cloaked = cloaked(window);
  facts.toolWindow = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) != 0;
  HWND shell = GetShellWindow();
  facts.desktop = window == GetDesktopWindow() || window == shell;
  DWORD shellProcess = 0;
  if (shell != nullptr) GetWindowThreadProcessId(shell, &shellProcess);
  facts.shellProcess = shellProcess != 0 && shellProcess == process;
  wchar_t name[256];
  const int length = GetClassNameW(window, name, 256);
  facts.windowClass =
      narrow(std::wstring_view(name, static_cast<std::size_t>(std::max(length, 0))));
  HWND owner = GetWindow(window, GW_OWNER);
  facts.owner = asHandle(owner);
  facts.ownerEnabled = owner == nullptr || IsWindowEnabled(owner) != FALSE;
  GUITHREADINFO gui{};
  gui.cbSize = sizeof(gui);
  if (thread != 0 && GetGUIThreadInfo(thread, &gui)) {
    // Only these: the caret's bit is set in every chat.
    facts.inMenu = (gui.flags & (GUI_INMENUMODE | GUI_POPUPMENUMODE | GUI_SYSTEMMENUMODE)) != 0;
    facts.inMoveSize = (gui.flags & GUI_INMOVESIZE) != 0;
  }
  const UniqueHandle program(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process));
  readProgram(program.get(), facts);
  facts.level = levelOf(program.get());
  return facts;
}

std::optional<platform::FileContent> Win32System::readFile(std::string_view name) {
  UniqueFile file(CreateFileW(widen(name).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return std::nullopt;
  const LONGLONG wanted = std::min(size.QuadPart, kMaxFileBytes);
  platform::FileContent content{std::string(static_cast<std::size_t>(wanted), '\0')};
  if (size.QuadPart > kMaxFileBytes) content.end = messages::FileEnd::Limit;
  std::string& bytes = content.bytes;
  std::size_t got = 0;
  while (got < bytes.size()) {
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 24));
    if (!ReadFile(file.get(), bytes.data() + got, chunk, &n, nullptr)) {
      // What was read before the error is kept.
      content.end = messages::FileEnd::ReadError;
      break;
    }
    if (n == 0) break;
    got += n;
  }
  bytes.resize(got);
  return content;
}

messages::CodePages Win32System::codePages() {
  return {GetACP(), userAnsiCodePage(), [](uint32_t codePage, std::string_view bytes) {
            return codePageToUtf8(codePage, bytes);
          }};
}

engine::LayoutLookup Win32System::layoutOf(platform::WindowHandle window) {
  const HKL layout = keyboardLayoutOf(asHwnd(window));
  return [layout](char32_t ch) { return keyInLayout(ch, layout); };
}

std::string Win32System::captionOf(platform::WindowHandle window) {
  // GetWindowText reads another program's caption from the system, without a message to the
  // program: a busy or frozen chat cannot keep Vorelo waiting.
  HWND hwnd = asHwnd(window);
  wchar_t text[256];
  const int length = hwnd != nullptr && IsWindow(hwnd) ? GetWindowTextW(hwnd, text, 256) : 0;
  return narrow(std::wstring_view(text, static_cast<std::size_t>(std::max(length, 0))));
}

std::size_t Win32System::injectKeys(std::span<const engine::KeyEvent> events, uint16_t batch) {
  std::vector<INPUT> inputs = toInputs(events, keyboardLayoutOf(GetForegroundWindow()), batch);
  return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

bool Win32System::watchKeyboard(HWND window) {
  RAWINPUTDEVICE keyboard{};
  keyboard.usUsagePage = 0x01;  // generic desktop
  keyboard.usUsage = 0x06;      // keyboard
  keyboard.dwFlags = RIDEV_INPUTSINK;
  keyboard.hwndTarget = window;
  return RegisterRawInputDevices(&keyboard, 1, sizeof(keyboard)) != FALSE;
}

engine::FilterKeys Win32System::filterKeys() {
  FILTERKEYS keys{};
  keys.cbSize = sizeof(keys);
  // A setting that cannot be read counts as FilterKeys off.
  if (!SystemParametersInfoW(SPI_GETFILTERKEYS, sizeof(keys), &keys, 0)) keys.dwFlags = 0;
  return {(keys.dwFlags & FKF_FILTERKEYSON) != 0, keys.iWaitMSec, keys.iDelayMSec, keys.iRepeatMSec,
          keys.iBounceMSec};
}

std::optional<engine::ObservedKey> Win32System::rawKey(HRAWINPUT input, uint32_t timeMs) {
  RAWINPUT data{};
  UINT size = sizeof(data);
  if (GetRawInputData(input, RID_INPUT, &data, &size, sizeof(RAWINPUTHEADER)) == UINT(-1) ||
      data.header.dwType != RIM_TYPEKEYBOARD || data.data.keyboard.VKey >= 0xFF) {
    return std::nullopt;
  }
  const RAWKEYBOARD& key = data.data.keyboard;
  return engine::ObservedKey{sidedKey(key), (key.Flags & RI_KEY_BREAK) != 0,
                             static_cast<uint32_t>(key.ExtraInformation), timeMs};
}

uint16_t Win32System::asyncKeyState(int virtualKey) {
  return static_cast<uint16_t>(GetAsyncKeyState(virtualKey));
}

bool Win32System::launch(platform::Folder folder, std::string_view program,
                         std::string_view commandLine, platform::ShowStyle show) {
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
  startup.wShowWindow = static_cast<WORD>(
      show == platform::ShowStyle::MinimisedWithFocus ? SW_SHOWMINIMIZED : SW_SHOWNORMAL);
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
