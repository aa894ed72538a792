#include "win32/dpi.h"

#include "win32/handles.h"
#include "win32/libraries.h"

namespace vorelo::win32 {

namespace {

template <typename F>
F user32(const char* name) {
  return procedure<F>(GetModuleHandleW(L"user32.dll"), name);
}

UINT systemDpi() {
  const WindowDc screen(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

}  // namespace

UINT dpiForWindow(HWND hwnd) {
  using Fn = UINT(WINAPI*)(HWND);
  static const Fn getDpiForWindow = user32<Fn>("GetDpiForWindow");
  if (getDpiForWindow != nullptr && hwnd != nullptr) {
    const UINT dpi = getDpiForWindow(hwnd);
    if (dpi != 0) return dpi;
  }
  return systemDpi();
}

int metricForDpi(int index, UINT dpi) {
  using Fn = int(WINAPI*)(int, UINT);
  static const Fn getSystemMetricsForDpi = user32<Fn>("GetSystemMetricsForDpi");
  if (getSystemMetricsForDpi != nullptr) return getSystemMetricsForDpi(index, dpi);
  return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(systemDpi()));
}

LOGFONTW messageFontForDpi(UINT dpi) {
  using Fn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const Fn parametersForDpi = user32<Fn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (parametersForDpi != nullptr &&
      parametersForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, dpi)) {
    return metrics.lfMessageFont;
  }
  LOGFONTW font{};
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    font = metrics.lfMessageFont;
  } else {
    font.lfHeight = -12;
    lstrcpynW(font.lfFaceName, L"Microsoft YaHei UI", LF_FACESIZE);
  }
  font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(systemDpi()));
  return font;
}

SIZE windowSizeForClient(int width, int height, DWORD style, DWORD exStyle, UINT dpi) {
  using Fn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const Fn adjustForDpi = user32<Fn>("AdjustWindowRectExForDpi");
  RECT r{0, 0, width, height};
  if (adjustForDpi == nullptr || !adjustForDpi(&r, style, FALSE, exStyle, dpi)) {
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
  }
  return {r.right - r.left, r.bottom - r.top};
}

void enableDpiAwareness() {
  using ContextFn = BOOL(WINAPI*)(HANDLE);
  static const ContextFn setContext = user32<ContextFn>("SetProcessDpiAwarenessContext");
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2 and _PER_MONITOR_AWARE. Wine 8 refuses V2.
  if (setContext != nullptr) {
    if (setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) return;
    if (setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)))) return;
  }
  using AwareFn = BOOL(WINAPI*)();
  static const AwareFn setAware = user32<AwareFn>("SetProcessDPIAware");
  if (setAware != nullptr) setAware();
}

int TextMeasure::lineHeight() const {
  TEXTMETRICW tm{};
  return dc_ && GetTextMetricsW(dc_.get(), &tm) ? tm.tmHeight : 0;
}

int TextMeasure::width(std::wstring_view text) const {
  RECT r{0, 0, 0, 0};
  if (dc_) {
    DrawTextW(dc_.get(), text.data(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  }
  return r.right - r.left;
}

}  // namespace vorelo::win32
