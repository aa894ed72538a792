#include "e2e/rig.h"

#include <chrono>
#include <memory>

#include "e2e/driver.h"
#include "e2e/process.h"
#include "e2e/unix_tools.h"

namespace vorelo::e2e {

namespace {

// --- Wine: the X server is the person's desktop ---------------------------------------------

// xdotool's name for a key.
std::string keyName(UINT vk) {
  if (vk >= 'A' && vk <= 'Z') return std::string(1, static_cast<char>(vk - 'A' + 'a'));
  if (vk >= '0' && vk <= '9') return std::string(1, static_cast<char>(vk));
  if (vk >= VK_F1 && vk <= VK_F24) return "F" + std::to_string(vk - VK_F1 + 1);
  switch (vk) {
    case VK_SHIFT:
      return "shift";
    case VK_CONTROL:
      return "ctrl";
    case VK_MENU:
      return "alt";
    case VK_CAPITAL:
      return "Caps_Lock";
    case VK_RETURN:
      return "Return";
    default:
      throw DriverError("no X name for virtual key " + std::to_string(vk));
  }
}

// The window's title as a regular expression xdotool matches exactly.
std::string exactTitle(HWND window) {
  std::string pattern = "^";
  for (const char c : windowText(window)) {
    if (std::string_view("\\^$.|?*+()[]{}'\"").find(c) != std::string_view::npos)
      pattern += '.';
    else
      pattern += c;
  }
  return pattern + "$";
}

class XRig final : public Rig {
 public:
  const char* side() const override { return "Wine"; }

  bool activate(HWND window) override {
    // Both the X server (whose focused window gets the keys) and Wine must agree. A window that
    // refuses activation for a moment makes xdotool wait: it is given up on after a while and
    // asked again, as a busy machine may take seconds over it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    do {
      xdotool("search --name '" + exactTitle(window) + "' windowactivate --sync", 3000);
      if (waitFor([&] { return GetForegroundWindow() == window; }, Millis{1000})) return true;
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }
  bool keyDown(UINT vk) override { return xdotool("keydown " + keyName(vk)); }
  bool keyUp(UINT vk) override { return xdotool("keyup " + keyName(vk)); }
  bool tap(UINT vk) override { return xdotool("key " + keyName(vk)); }
  bool type(const std::string& text) override { return xdotool("type '" + text + "'"); }

  Icon icon(HWND window) override { return windowManagerIcon(windowText(window)); }
  std::optional<ManagedWindow> activeWindow() override { return e2e::activeWindow(); }
  std::optional<ManagedWindow> topWindow() override { return e2e::topWindow(); }
  Icon activeWindowIcon() override { return e2e::activeWindowIcon(); }
  std::optional<FrameButtons> activeWindowButtons() override {
    const auto hints = activeWindowMotifHints();
    if (!hints) return std::nullopt;
    // Motif: the functions minimise 0x08 and maximise 0x10, the decorations 0x20 and 0x40.
    const auto [functions, decorations] = *hints;
    return FrameButtons{(functions & 0x08) != 0 || (decorations & 0x20) != 0,
                        (functions & 0x10) != 0 || (decorations & 0x40) != 0};
  }
};

// --- Windows: the system itself --------------------------------------------------------------

bool send(UINT vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = static_cast<WORD>(vk);
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  if (vk == VK_RCONTROL || vk == VK_RMENU || (vk >= VK_PRIOR && vk <= VK_DOWN)) {
    input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  }
  if (up) input.ki.dwFlags |= KEYEVENTF_KEYUP;
  return SendInput(1, &input, sizeof(input)) == 1;
}

Icon pixelsOf(HICON handle) {
  Icon icon;
  ICONINFO info{};
  if (handle == nullptr || !GetIconInfo(handle, &info)) return icon;
  HBITMAP colour = info.hbmColor != nullptr ? info.hbmColor : info.hbmMask;
  BITMAP bitmap{};
  if (GetObjectW(colour, sizeof(bitmap), &bitmap) != 0 && bitmap.bmWidth > 0) {
    icon.width = bitmap.bmWidth;
    icon.height = info.hbmColor != nullptr ? bitmap.bmHeight : bitmap.bmHeight / 2;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = icon.width;
    header.bmiHeader.biHeight = -icon.height;  // top row first
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    icon.argb.resize(static_cast<std::size_t>(icon.width) * static_cast<std::size_t>(icon.height));
    HDC screen = GetDC(nullptr);
    if (GetDIBits(screen, colour, 0, static_cast<UINT>(icon.height), icon.argb.data(), &header,
                  DIB_RGB_COLORS) == 0) {
      icon = {};
    }
    ReleaseDC(nullptr, screen);
  }
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
  return icon;
}

ManagedWindow managed(HWND window) {
  return {windowText(window), GetWindow(window, GW_OWNER) != nullptr};
}

class WindowsRig final : public Rig {
 public:
  const char* side() const override { return "Windows"; }

  bool activate(HWND window) override {
    if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
    // Windows lets a program bring a window to the front only now and then: joined to the input
    // of the window in front, or right after it pressed a key itself (Alt, with a key no
    // keyboard has in between, so no menu bar opens).
    const auto bringForward = [window] {
      const DWORD front = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
      const DWORD self = GetCurrentThreadId();
      const bool joined = front != 0 && front != self && AttachThreadInput(self, front, TRUE);
      BringWindowToTop(window);
      SetForegroundWindow(window);
      if (joined) AttachThreadInput(self, front, FALSE);
      return waitFor([window] { return GetForegroundWindow() == window; }, Millis{1000});
    };
    if (bringForward()) return true;
    send(VK_MENU, false);
    send(0xE8, false);
    send(0xE8, true);
    send(VK_MENU, true);
    return bringForward();
  }
  bool keyDown(UINT vk) override { return send(vk, false); }
  bool keyUp(UINT vk) override { return send(vk, true); }
  bool tap(UINT vk) override { return send(vk, false) && send(vk, true); }
  bool type(const std::string& text) override {
    for (const char c : text) {
      const SHORT key = VkKeyScanW(static_cast<WCHAR>(c));
      if (key == -1 || !tap(LOBYTE(key))) return false;
    }
    return true;
  }

  Icon icon(HWND window) override {
    for (const WPARAM size : {ICON_BIG, ICON_SMALL2, ICON_SMALL}) {
      DWORD_PTR handle = 0;
      if (SendMessageTimeoutW(window, WM_GETICON, size, 0, SMTO_ABORTIFHUNG, 2000, &handle) &&
          handle != 0) {
        return pixelsOf(reinterpret_cast<HICON>(handle));
      }
    }
    return pixelsOf(reinterpret_cast<HICON>(GetClassLongPtrW(window, GCLP_HICON)));
  }
  std::optional<ManagedWindow> activeWindow() override {
    HWND front = GetForegroundWindow();
    if (front == nullptr) return std::nullopt;
    return managed(front);
  }
  std::optional<ManagedWindow> topWindow() override {
    // The first shown window from the top of the Z order that a person sees as a window: not a
    // tool window, not the taskbar.
    for (HWND w = GetTopWindow(nullptr); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
      if (!IsWindowVisible(w) || IsIconic(w)) continue;
      if (GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) continue;
      const std::string name = windowClass(w);
      if (name == "Shell_TrayWnd" || name == "Shell_SecondaryTrayWnd") continue;
      return managed(w);
    }
    return std::nullopt;
  }
  Icon activeWindowIcon() override {
    HWND front = GetForegroundWindow();
    return front != nullptr ? icon(front) : Icon{};
  }
  std::optional<FrameButtons> activeWindowButtons() override {
    HWND front = GetForegroundWindow();
    if (front == nullptr) return std::nullopt;
    const LONG_PTR style = GetWindowLongPtrW(front, GWL_STYLE);
    const bool menu = (style & WS_SYSMENU) != 0;
    return FrameButtons{menu && (style & WS_MINIMIZEBOX) != 0,
                        menu && (style & WS_MAXIMIZEBOX) != 0};
  }
};

}  // namespace

bool runningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::optional<std::string> powerOffCannotBeFaked() {
  if (runningUnderWine()) return std::nullopt;
  return "on Windows the power-off programs cannot be replaced by stand-ins in the system "
         "folders without administrator rights, and a test must never start the real shutdown";
}

Rig& rig() {
  static const std::unique_ptr<Rig> chosen =
      runningUnderWine() ? std::unique_ptr<Rig>(std::make_unique<XRig>())
                         : std::unique_ptr<Rig>(std::make_unique<WindowsRig>());
  return *chosen;
}

}  // namespace vorelo::e2e
