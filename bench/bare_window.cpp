// The smallest program that shows a window: the floor the benchmark sets Vorelo's figures
// against, built with the same toolchain and the same static linking.
//
//   bare_window.exe [--poll <ms>]
//
// With --poll it also reads F12 with GetAsyncKeyState every <ms> milliseconds from a window
// timer, as Vorelo's hotkey watcher does, and nothing else: what that costs while idle.
#include <windows.h>

#include <cwchar>

namespace {

constexpr UINT_PTR kPollTimer = 1;
constexpr wchar_t kClassName[] = L"VoreloBenchBareWindow";

LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  switch (msg) {
    case WM_TIMER:
      if (wParam == kPollTimer) GetAsyncKeyState(VK_F12);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

// The poll period from the command line, 0 for none.
UINT pollPeriod() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return 0;
  UINT period = 0;
  if (argc >= 3 && std::wcscmp(argv[1], L"--poll") == 0) {
    period = static_cast<UINT>(std::wcstoul(argv[2], nullptr, 10));
  }
  LocalFree(argv);
  return period;
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
  if (const UINT period = pollPeriod(); period > 0) SetTimer(hwnd, kPollTimer, period, nullptr);
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
