#include "e2e/rig.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "e2e/driver.h"
#include "e2e/process.h"
#include "e2e/receiver_messages.h"
#include "e2e/unix_tools.h"

namespace vorelo::e2e {

namespace {

bool isMenuKey(UINT vk) {
  return vk == VK_MENU || vk == VK_LMENU || vk == VK_RMENU || vk == VK_LWIN || vk == VK_RWIN;
}

bool extended(UINT vk) {
  switch (vk) {
    case VK_RCONTROL:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
    case VK_INSERT:
    case VK_DELETE:
    case VK_DIVIDE:
    case VK_NUMLOCK:
    case VK_SNAPSHOT:
      return true;
    default:
      return vk >= VK_PRIOR && vk <= VK_DOWN;
  }
}

// A key through SendInput, with its scan code and extended flag as the keyboard sends it. Under
// Wine it changes Wine's key state, not the X server's.
bool send(UINT vk, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = static_cast<WORD>(vk);
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
  if (extended(vk)) input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  if (up) input.ki.dwFlags |= KEYEVENTF_KEYUP;
  return SendInput(1, &input, sizeof(input)) == 1;
}

// A key no keyboard has, down and up: Alt or Win let go right after it opens no menu and no Start.
void mask() {
  send(0xE8, false);
  send(0xE8, true);
}

// A character as itself (KEYEVENTF_UNICODE): no layout or input method changes it.
bool sendCharacter(wchar_t unit) {
  INPUT inputs[2] = {};
  for (int up = 0; up < 2; ++up) {
    inputs[up].type = INPUT_KEYBOARD;
    inputs[up].ki.wScan = unit;
    inputs[up].ki.dwFlags = KEYEVENTF_UNICODE | (up != 0 ? KEYEVENTF_KEYUP : 0);
  }
  return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

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
    case VK_LWIN:
      return "Super_L";
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
  void allowForeground() override {}  // Wine lets any program bring its window to the front

  std::optional<bool> capsLockOn(HWND) override {
    // "... Caps Lock:   on    01: Num Lock:    off ..."
    const auto out = runUnix("xset q");
    const auto at = out ? out->find("Caps Lock:") : std::string::npos;
    if (at == std::string::npos) return std::nullopt;
    const auto value = out->find_first_not_of(' ', at + 10);
    if (value == std::string::npos) return std::nullopt;
    return out->compare(value, 2, "on") == 0;
  }

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

 protected:
  bool sendKey(UINT vk, bool up) override {
    return xdotool((up ? "keyup " : "keydown ") + keyName(vk));
  }
  bool sendTap(UINT vk) override { return xdotool("key " + keyName(vk)); }
  bool sendText(const std::string& text) override { return xdotool("type '" + text + "'"); }
};

// --- Windows: the system itself --------------------------------------------------------------

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

// Gives this process the right to bring a window to the front: Windows grants it to the program
// that sent the last input, and Alt with a key no keyboard has in between opens no menu bar.
void takeForegroundRight() {
  send(VK_MENU, false);
  mask();
  send(VK_MENU, true);
}

class WindowsRig final : public Rig {
 public:
  const char* side() const override { return "Windows"; }

  std::optional<std::string> cannot(Can what) const override {
    if (!runningUnderWine()) return std::nullopt;
    switch (what) {
      case Can::readIcons:
        return "the Windows side of the rig reads a window's icon through WM_GETICON, which Wine "
               "8 does not answer for another program, and icon handles do not cross programs "
               "there";
    }
    return std::nullopt;
  }

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
    takeForegroundRight();
    return bringForward();
  }
  void allowForeground() override {
    takeForegroundRight();
    AllowSetForegroundWindow(ASFW_ANY);
  }

  std::optional<bool> capsLockOn(HWND chat) override {
    if (chat != nullptr) {
      DWORD_PTR answer = 0;
      if (!SendMessageTimeoutW(chat, kReceiverCapsLock, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer)) {
        return std::nullopt;
      }
      return answer != 0;
    }
    // The key state of the thread in front, read by sharing its input for a moment.
    HWND front = GetForegroundWindow();
    const DWORD thread = front != nullptr ? GetWindowThreadProcessId(front, nullptr) : 0;
    const DWORD self = GetCurrentThreadId();
    const bool joined = thread != 0 && thread != self && AttachThreadInput(self, thread, TRUE);
    const bool on = (GetKeyState(VK_CAPITAL) & 1) != 0;
    if (joined) AttachThreadInput(self, thread, FALSE);
    return on;
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

 protected:
  bool sendKey(UINT vk, bool up) override { return send(vk, up); }
  bool sendTap(UINT vk) override { return send(vk, false) && send(vk, true); }
  bool sendText(const std::string& text) override {
    // Letters as the keys of the layout of the window in front; what it has no key for (a
    // Russian or Greek layout has no Latin letters), or only with Shift or AltGr, as itself.
    HWND front = GetForegroundWindow();
    const HKL layout =
        GetKeyboardLayout(front != nullptr ? GetWindowThreadProcessId(front, nullptr) : 0);
    for (const wchar_t unit : widen(text)) {
      const SHORT key = VkKeyScanExW(unit, layout);
      const bool plainKey = key != -1 && HIBYTE(key) == 0;
      if (!(plainKey ? sendTap(LOBYTE(key)) : sendCharacter(unit))) return false;
    }
    return true;
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
      runningUnderWine() && environment("VORELO_RIG") != "windows"
          ? std::unique_ptr<Rig>(std::make_unique<XRig>())
          : std::unique_ptr<Rig>(std::make_unique<WindowsRig>());
  return *chosen;
}

// --- Both sides -------------------------------------------------------------------------------

void Rig::beforePressing(UINT vk) {
  HWND front = nullptr;
  const bool ours = waitFor(
      [&] {
        front = GetForegroundWindow();
        DWORD owner = 0;
        if (front != nullptr) GetWindowThreadProcessId(front, &owner);
        return owner != 0 && startedHere(owner);
      },
      Millis{1000});
  if (!ours) {
    throw DriverError(front == nullptr ? std::string("no window in front: no key is pressed")
                                       : "foreground taken by " + windowClass(front) +
                                             ": no key is pressed there");
  }
  if (vk != VK_F12) return;
  // Vorelo's main window class. An F12 would start or stop that Vorelo, and with its power-off
  // box ticked, power the computer off.
  for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"VoreloMainWindow", nullptr));) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (!startedHere(owner)) {
      throw DriverError("a Vorelo this test did not start runs (process " + std::to_string(owner) +
                        "): F12 is not pressed");
    }
  }
}

bool Rig::keyDown(UINT vk) {
  beforePressing(vk);
  held_.insert(vk);
  if (vk == VK_CAPITAL) ++capsLockTaps_;
  return sendKey(vk, false);
}

bool Rig::keyUp(UINT vk) {
  held_.erase(vk);
  return sendKey(vk, true);
}

bool Rig::tap(UINT vk) {
  beforePressing(vk);
  if (vk == VK_CAPITAL) ++capsLockTaps_;
  return sendTap(vk);
}

bool Rig::type(const std::string& text) {
  beforePressing(0);
  return sendText(text);
}

void Rig::letGo() {
  try {
    if (std::any_of(held_.begin(), held_.end(), isMenuKey)) mask();
    for (const UINT vk : held_) sendKey(vk, true);
    held_.clear();
    if (capsLockTaps_ % 2 != 0) sendTap(VK_CAPITAL);
    capsLockTaps_ = 0;
  } catch (const std::exception&) {
    // Called after a test has ended; whatever could not be let go, the test kit lets go.
  }
}

bool Rig::putCapsLock(bool on) {
  const auto now = capsLockOn(nullptr);
  if (!now) return false;
  if (*now == on) return true;
  sendTap(VK_CAPITAL);
  return waitFor([&] { return capsLockOn(nullptr) == on; }, Millis{2000});
}

std::vector<UINT> keysDown() {
  std::vector<UINT> down;
  for (UINT vk = 1; vk < 0xFF; ++vk) {
    const bool mouse = vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON ||
                       vk == VK_XBUTTON1 || vk == VK_XBUTTON2;
    if (!mouse && (GetAsyncKeyState(static_cast<int>(vk)) & 0x8000) != 0) down.push_back(vk);
  }
  return down;
}

void letGoOfEveryKey() {
  const std::vector<UINT> down = keysDown();
  if (std::any_of(down.begin(), down.end(), isMenuKey)) mask();
  const auto sided = [&](UINT left, UINT right) {
    return std::find(down.begin(), down.end(), left) != down.end() ||
           std::find(down.begin(), down.end(), right) != down.end();
  };
  for (const UINT vk : down) {
    // The side-less Shift, Ctrl and Alt go up with their left or right key.
    if ((vk == VK_SHIFT && sided(VK_LSHIFT, VK_RSHIFT)) ||
        (vk == VK_CONTROL && sided(VK_LCONTROL, VK_RCONTROL)) ||
        (vk == VK_MENU && sided(VK_LMENU, VK_RMENU))) {
      continue;
    }
    send(vk, true);
  }
  // Keys the rig held on the X server; a key that is not down is left as it is.
  if (runningUnderWine()) {
    xdotool("keyup Shift_L Shift_R Control_L Control_R Alt_L Alt_R Super_L Super_R F12");
  }
}

void hangHereWhenAsked(const char* point) {
  if (environment("VORELO_TEST_HANG") != point) return;
  for (;;) Sleep(INFINITE);
}

}  // namespace vorelo::e2e
