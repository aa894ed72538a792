// DPI helpers. The per-monitor functions exist from Windows 10 1607 on; on older systems (and
// where Wine lacks one) the system-wide values are scaled instead.
#pragma once

#include <windows.h>

#include <string_view>

#include "win32/handles.h"

namespace vorelo::win32 {

UINT dpiForWindow(HWND hwnd);
// A length in pixels at 96 DPI, at `dpi`.
inline int scaledFrom96(int pixels, UINT dpi) {
  return MulDiv(pixels, static_cast<int>(dpi), 96);
}
int metricForDpi(int index, UINT dpi);
// The system's message font (the one message boxes use) at `dpi`.
LOGFONTW messageFontForDpi(UINT dpi);
// The window rectangle for a client area of the given size at `dpi`.
SIZE windowSizeForClient(int width, int height, DWORD style, DWORD exStyle, UINT dpi);
// Asks for per-monitor awareness where the manifest was not honoured; failure is harmless.
void enableDpiAwareness();

// Text measured in a font on a window's screen; zero sizes where the screen cannot be read.
class TextMeasure {
 public:
  TextMeasure(HWND window, HFONT font) : dc_(window), selected_(dc_.get(), font) {}
  int lineHeight() const;
  // The width of `text` on one line.
  int width(std::wstring_view text) const;

 private:
  WindowDc dc_;
  SelectedObject selected_;
};

}  // namespace vorelo::win32
