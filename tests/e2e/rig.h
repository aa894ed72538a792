// What an end-to-end test does as the person at the keyboard, and what it reads of the desktop
// as that person sees it. Two sides, told apart at run time:
//   - under Wine the person's desktop is the X server: keys are pressed there (xdotool), and
//     the window manager says which window is active, on top, and with which icon (xprop);
//   - on Windows the system itself: SendInput (a key held that way stays held), the window's
//     own icon, styles and Z order.
// VORELO_RIG=windows picks the Windows side under Wine too, so that its code runs on every
// change; what Wine cannot do there, cannot() says.
// A test that means something on one side only skips on the other, saying why.
//
// The rig presses keys only while a window of a program this test started is in front, and F12
// only while no Vorelo other than the test's own runs: on a person's desktop a key must never
// land in their programs, nor start their own Vorelo. It lets go of what it holds (letGo) after
// every test, also a failed one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <set>
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

  // What a side may be unable to do where it runs: the reason, or nothing when it can.
  enum class Can { readIcons };
  virtual std::optional<std::string> cannot(Can) const { return std::nullopt; }

  // Brings the top-level window to the front with the keyboard; true once it has it.
  virtual bool activate(HWND window) = 0;
  // Lets this program and those it starts next bring their windows to the front, as the program
  // the person last typed into may.
  virtual void allowForeground() = 0;

  // Keys by virtual key ('Z', VK_F12, VK_SHIFT, VK_CONTROL, VK_MENU, VK_CAPITAL). A key held
  // with keyDown stays down until keyUp, also when the active window changes. Each press throws
  // DriverError, pressing nothing, when no window of this test's programs is in front.
  bool keyDown(UINT virtualKey);
  bool keyUp(UINT virtualKey);
  bool tap(UINT virtualKey);
  // Types lower-case letters and digits as the keyboard does; a character the keyboard layout of
  // the window in front has no key for goes as the character itself.
  bool type(const std::string& text);
  // Lets go of every key the rig holds down (Alt and Win masked, so that no menu and no Start
  // opens) and taps CapsLock once more if the rig left it turned.
  void letGo();

  // CapsLock as the window the keys arrive in sees it: under Wine the X server's lock (the
  // keyboard's light); on Windows the key state of that window's thread, which the receiver
  // answers (kReceiverCapsLock), or with no window given, of the window in front. Nothing when
  // it cannot be read.
  virtual std::optional<bool> capsLockOn(HWND chat) = 0;
  // Taps CapsLock when it is not as asked; whatever is in front (only the lock changes).
  bool putCapsLock(bool on);

  // The icon shown for the window.
  virtual Icon icon(HWND window) = 0;
  // The window the person sees active, and the one above all others.
  virtual std::optional<ManagedWindow> activeWindow() = 0;
  virtual std::optional<ManagedWindow> topWindow() = 0;
  // The icon and the frame's buttons of the active window.
  virtual Icon activeWindowIcon() = 0;
  virtual std::optional<FrameButtons> activeWindowButtons() = 0;

 protected:
  virtual bool sendKey(UINT virtualKey, bool up) = 0;
  virtual bool sendTap(UINT virtualKey) = 0;
  virtual bool sendText(const std::string& text) = 0;

 private:
  void beforePressing(UINT virtualKey);

  std::set<UINT> held_;
  int capsLockTaps_ = 0;
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

// Lets go of every key that is down, whoever pressed it (Alt and Win masked): what the test kit
// does after a test program ends or is stopped. Under Wine also on the X server.
void letGoOfEveryKey();
// The keys that are down (virtual keys, mouse buttons left out).
std::vector<UINT> keysDown();

// Stops the calling test here for good when VORELO_TEST_HANG names this point: how a check of the
// test kit makes a test program hang, with keys held and Vorelo sending, until the kit's time-out.
void hangHereWhenAsked(const char* point);

}  // namespace vorelo::e2e
