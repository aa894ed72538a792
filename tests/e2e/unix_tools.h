// Under Wine a Windows program can start Linux programs too. The end-to-end tests use that to
// ask the X server what the window manager sees (the window's icon) and to press keys on the
// X server itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vorelo::e2e {

// Runs a Linux shell command and returns what it printed, or nothing when it could
// not be started or did not finish in time.
std::optional<std::string> runUnix(const std::string& commandLine, unsigned timeoutMs = 10000);

// The icon the window manager shows for the top-level window with this exact title: ARGB
// pixels of its largest image, or empty when there is none.
struct Icon {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;
  uint32_t at(int x, int y) const { return argb[static_cast<std::size_t>(y * width + x)]; }
};
Icon windowManagerIcon(const std::string& title);
// The same for the window the window manager made active.
Icon activeWindowIcon();
// The functions and decorations the active window asks the window manager for (Motif hints).
std::optional<std::pair<unsigned, unsigned>> activeWindowMotifHints();

// Runs xdotool on the test's X server; returns whether it finished in time.
bool xdotool(const std::string& arguments, unsigned timeoutMs = 10000);

// A top-level window as the window manager sees it: what a person sees, which may differ from
// Wine's own idea of the foreground and the Z order.
struct ManagedWindow {
  std::string title;
  bool dialog = false;  // _NET_WM_WINDOW_TYPE_DIALOG: a box owned by another window
};
// The window the window manager made active (_NET_ACTIVE_WINDOW), and the one it stacks above
// all others; nothing when there is none.
std::optional<ManagedWindow> activeWindow();
std::optional<ManagedWindow> topWindow();

}  // namespace vorelo::e2e
