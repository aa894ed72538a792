// Program entry: one window, one GUI thread, one message loop.
#include <windows.h>

#include <commctrl.h>

#include <exception>

#include "win32/dpi.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/main_frame.h"

namespace {

using namespace vorelo::win32;

// One Vorelo at a time in a user session: two would type every message twice, and an F12 press
// would reach one or both. A second start shows the running window and ends.
constexpr wchar_t kInstanceMutex[] = L"Local\\Vorelo.OneAtATime";

void showTheRunningCopy() {
  // The first copy may still be starting: its window comes within a moment.
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (HWND running = FindWindowW(kMainWindowClass, nullptr)) {
      DWORD process = 0;
      GetWindowThreadProcessId(running, &process);
      // This copy was just started by the user, so it may pass the right to come to the front.
      AllowSetForegroundWindow(process);
      SendMessageTimeoutW(running, kShowRunningWindow, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
      return;
    }
    Sleep(50);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  try {
    const UniqueHandle oneAtATime(CreateMutexW(nullptr, FALSE, kInstanceMutex));
    // A copy run as administrator made the mutex where this one may not open it: access denied
    // means a copy runs all the same.
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || (!oneAtATime && error == ERROR_ACCESS_DENIED)) {
      showTheRunningCopy();
      return 0;
    }
    enableDpiAwareness();
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_BAR_CLASSES;
    InitCommonControlsEx(&controls);

    MainFrame frame(instance);
    frame.create(showCommand);
    MSG msg{};
    BOOL got = 0;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) > 0) {
      if (!frame.preTranslate(msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    return got == 0 ? static_cast<int>(msg.wParam) : 1;
  } catch (const StartupError& failure) {
    reportStartupFailure(failure);
    return 1;
  } catch (const std::exception& e) {
    fatal(e.what());
  } catch (...) {
    fatal("unknown error");
  }
}
