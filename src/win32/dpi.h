// DPI helpers. The per-monitor functions exist from Windows 10 1607 on; on older systems (and
// where Wine lacks one) the system-wide values are scaled instead.
#pragma once

#include <windows.h>

namespace vorelo::win32 {

UINT dpiForWindow(HWND hwnd);
int metricForDpi(int index, UINT dpi);
// The system's message font (the one message boxes use) at `dpi`.
LOGFONTW messageFontForDpi(UINT dpi);
// The window rectangle for a client area of the given size at `dpi`.
SIZE windowSizeForClient(int width, int height, DWORD style, DWORD exStyle, UINT dpi);
// Asks for per-monitor awareness where the manifest was not honoured; failure is harmless.
void enableDpiAwareness();

}  // namespace vorelo::win32
