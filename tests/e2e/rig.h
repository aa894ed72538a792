// What an end-to-end test does as the person at the keyboard, and what it reads of the desktop
// as that person sees it. Two sides, told apart at run time:
//   - under Wine the person's desktop is the X server: keys are pressed there (xdotool), and
//     the window manager says which window is active, on top, and with which icon (xprop);
//   - on Windows the system itself: SendInput (a key held that way stays held), the window's
//     own icon, styles and Z order.
// A test that means something on one side only skips on the other, saying why.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorelo::e2e {

// An icon as the person sees it: ARGB pixels of its largest image, or empty when there is none.
struct Icon {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;
  uint32_t at(int x, int y) const { return argb[static_cast<std::size_t>(y * width + x)]; }
};

// A top-level window as the person sees it.
struct ManagedWindow {
  std::string title;
  bool dialog = false;  // a box owned by another window
};

// The buttons a window's frame offers.
struct FrameButtons {
  bool minimize = false;
  bool maximize = false;
};

class Rig {
 public:
  virtual ~Rig() = default;
  // "Wine" or "Windows": which side the tests run on.
  virtual const char* side() const = 0;
  bool underWine() const { return std::string(side()) == "Wine"; }

  // Brings the top-level window to the front with the keyboard; true once it has it.
  virtual bool activate(HWND window) = 0;
  // Keys by virtual key ('Z', VK_F12, VK_SHIFT, VK_CONTROL, VK_MENU, VK_CAPITAL). A key held
  // with keyDown stays down until keyUp, also when the active window changes.
  virtual bool keyDown(UINT virtualKey) = 0;
  virtual bool keyUp(UINT virtualKey) = 0;
  virtual bool tap(UINT virtualKey) = 0;
  // Types lower-case letters and digits as the keyboard does.
  virtual bool type(const std::string& text) = 0;

  // The icon shown for the window.
  virtual Icon icon(HWND window) = 0;
  // The window the person sees active, and the one above all others.
  virtual std::optional<ManagedWindow> activeWindow() = 0;
  virtual std::optional<ManagedWindow> topWindow() = 0;
  // The icon and the frame's buttons of the active window.
  virtual Icon activeWindowIcon() = 0;
  virtual std::optional<FrameButtons> activeWindowButtons() = 0;
};

// True when the tests run under Wine (only Wine's ntdll has wine_get_version).
bool runningUnderWine();

// Why a test that lets a run power the computer off cannot run here, or nothing. Vorelo starts
// the power-off programs from the system folders only. Under Wine a test puts recording stand-ins
// there; a real Windows does not let a test replace them, and must not: Vorelo would start the
// real shutdown.
std::optional<std::string> powerOffCannotBeFaked();
// The rig of the side the tests run on.
Rig& rig();

}  // namespace vorelo::e2e
