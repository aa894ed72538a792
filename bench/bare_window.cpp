// The smallest program that shows a window: the floor the benchmark sets Vorelo's figures
// against, built with the same toolchain and the same static linking.
//
//   bare_window.exe [--poll <ms>] [--tick <ms>]
//
// --poll: also read F12 with GetAsyncKeyState every <ms> milliseconds from a window timer, as
// Vorelo's hotkey watcher does, and nothing else: what that costs while idle.
// --tick: once the window receives WM_APP, type "tick" and Enter into the focused window
// every <ms> milliseconds from a window timer, as Vorelo's sending timer does.
#include <windows.h>

#include <cwchar>

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr UINT_PTR kTickTimer = 2;
constexpr wchar_t kClassName[] = L"VoreloBenchBareWindow";

// The number after `option` on the command line, 0 when it is not there. Read without
// CommandLineToArgvW, which would load shell32 and make this floor heavier than it need be.
UINT option(const wchar_t* name) {
  const wchar_t* found = std::wcsstr(GetCommandLineW(), name);
  if (found == nullptr) return 0;
  return static_cast<UINT>(std::wcstoul(found + std::wcslen(name), nullptr, 10));
}

void typeTick() {
  constexpr wchar_t kText[] = L"tick";
  INPUT inputs[2 * 4 + 2] = {};
  for (int i = 0; i < 4; ++i) {
    for (int up = 0; up < 2; ++up) {
      KEYBDINPUT& k = inputs[2 * i + up].ki;
      inputs[2 * i + up].type = INPUT_KEYBOARD;
      k.wScan = kText[i];
      k.dwFlags = KEYEVENTF_UNICODE | (up != 0 ? KEYEVENTF_KEYUP : 0);
    }
  }
  for (int up = 0; up < 2; ++up) {
    KEYBDINPUT& k = inputs[8 + up].ki;
    inputs[8 + up].type = INPUT_KEYBOARD;
    k.wVk = VK_RETURN;
    k.wScan = static_cast<WORD>(MapVirtualKeyW(VK_RETURN, MAPVK_VK_TO_VSC));
    k.dwFlags = up != 0 ? KEYEVENTF_KEYUP : 0;
  }
  SendInput(10, inputs, sizeof(INPUT));
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  switch (msg) {
    case WM_APP:
      if (const UINT period = option(L"--tick "); period > 0) {
        SetTimer(hwnd, kTickTimer, period, nullptr);
      }
      return 0;
    case WM_TIMER:
      if (wParam == kPollTimer) GetAsyncKeyState(VK_F12);
      if (wParam == kTickTimer) typeTick();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &windowProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = kClassName;
  if (RegisterClassExW(&wc) == 0) return 1;
  HWND hwnd = CreateWindowExW(0, kClassName, L"Bare window", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                              CW_USEDEFAULT, 340, 300, nullptr, nullptr, instance, nullptr);
  if (hwnd == nullptr) return 1;
  if (const UINT period = option(L"--poll "); period > 0)
    SetTimer(hwnd, kPollTimer, period, nullptr);
  ShowWindow(hwnd, showCommand);
  UpdateWindow(hwnd);

  MSG msg{};
  BOOL got = 0;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return got == 0 ? static_cast<int>(msg.wParam) : 1;
}
