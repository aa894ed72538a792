// Keeps a Wine session as busy as another program drawing on the machine does: a small window in
// the corner of the screen, drawn over and over as fast as Wine and the X server draw it. It
// never takes the focus. scripts/test --repeat N --load starts one in the Wine prefix and on the
// X display of every test run, beside the test.
#include <windows.h>

namespace {

LRESULT CALLBACK loadProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  static unsigned frame = 0;
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      RECT area;
      GetClientRect(hwnd, &area);
      for (int band = 0; band < 16; ++band) {
        RECT strip = area;
        strip.top = area.bottom * band / 16;
        strip.bottom = area.bottom * (band + 1) / 16;
        const auto shade = static_cast<BYTE>((frame * 7 + static_cast<unsigned>(band) * 16) & 0xFF);
        HBRUSH brush = CreateSolidBrush(RGB(shade, 255 - shade, shade / 2));
        FillRect(dc, &strip, brush);
        DeleteObject(brush);
      }
      wchar_t text[32];
      const int length = wsprintfW(text, L"frame %u", frame++);
      TextOutW(dc, 8, 8, text, length);
      EndPaint(hwnd, &paint);
      // The next frame as soon as the queue is empty again.
      InvalidateRect(hwnd, nullptr, FALSE);
      return 0;
    }
    case WM_MOUSEACTIVATE:
      return MA_NOACTIVATE;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &loadProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"VoreloWineLoad";
  RegisterClassExW(&wc);
  // Bottom right, clear of the windows the tests open near the top left.
  HWND hwnd =
      CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, wc.lpszClassName, L"Vorelo Wine load",
                      WS_POPUP, 1060, 580, 200, 200, nullptr, nullptr, instance, nullptr);
  if (hwnd == nullptr) return 1;
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
