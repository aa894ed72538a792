// Program entry: one window, one GUI thread, one message loop.
#include <windows.h>

#include <commctrl.h>

#include <exception>

#include "win32/dpi.h"
#include "win32/errors.h"
#include "win32/main_frame.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  using namespace vorelo::win32;
  try {
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
