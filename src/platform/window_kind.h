// What a window is to a run: Vorelo's own, a chat that can take a message, or no chat, and which
// kind. One set of rules, used wherever Vorelo decides where keys may go: the send tick, the
// check of the messages at 开始 (in the chat's keyboard layout), the window remembered as the
// user's, and the keyboard handed back after 开始 and after a stop.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorelo::platform {

// A top-level window; 0 is none.
using WindowHandle = std::uintptr_t;

// How the integrity level of a window's program compares with Vorelo's. The system drops keys
// sent to a window of a higher level.
enum class Level : uint8_t { NotHigher, Higher, Unknown };

// What the system says of a top-level window, read without a message to its program: a program
// that hangs cannot hold Vorelo up.
struct WindowFacts {
  // 0 when there is no such window: none in front, or it has closed.
  WindowHandle handle = 0;
  // A window of Vorelo's own process: the main window or one of its boxes.
  bool ours = false;
  bool visible = true;
  bool minimised = false;
  // Hidden by the desktop window manager while it seems shown: on another virtual desktop, or an
  // app that is suspended.
  bool cloaked = false;
  bool toolWindow = false;
  bool enabled = true;
  // The desktop window itself, or the shell's window (GetShellWindow).
  bool desktop = false;
  std::string windowClass{};
  // The file name of the window's program ("explorer.exe"); empty when it cannot be read.
  std::string program{};
  // The program lives in the Windows folder, as the shell's hosts do, or cannot be asked.
  bool windowsProgram = false;
  // The window runs in the process of the shell's window (the taskbar's and desktop's).
  bool shellProcess = false;
  // The window that owns it (GW_OWNER), and whether that one takes input: Windows disables the
  // window a modal dialog or message box belongs to.
  WindowHandle owner = 0;
  bool ownerEnabled = true;
  // The window's thread is in a menu (the menu bar, a pop-up menu or the window menu), or moves
  // or resizes a window: keys choose menu items or move the window.
  bool inMenu = false;
  bool inMoveSize = false;
  Level level = Level::NotHigher;
};

enum class WindowKind : uint8_t {
  Chat,
  // Vorelo's own window or box, shown.
  Ours,
  // No chat:
  None,          // no window at all, or it has closed
  Shell,         // the desktop, the taskbar, Start, Search, the task switcher, the shell's own
  Explorer,      // File Explorer
  TrayOverflow,  // the panel of the notification area's hidden icons
  Minimised,
  Hidden,    // invisible or cloaked
  Tool,      // a tool window
  Prompt,    // a modal prompt, a pop-up of the chat, a dialog box, or a window waiting for one
  Menu,      // a menu is open
  MoveSize,  // being moved or resized
};

// What `window` is during a run whose chat is `anchor` (0: no run, or none yet). The anchor is
// exempt from the rules that catch a chat's prompts: a chat that is itself a dialog or a modal
// window stays a chat.
WindowKind classify(const WindowFacts& window, WindowHandle anchor);

// The kind as a box names it, in Chinese ("文件资源管理器").
std::string_view describe(WindowKind kind);

}  // namespace vorelo::platform
