// Under Wine a Windows program can start Linux programs too. The end-to-end rig's Wine side
// (rig.cpp) uses that to ask the X server what the window manager sees (the window's icon) and
// to press keys on the X server itself; tests go through the rig.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "e2e/rig.h"

namespace vorelo::e2e {

// Runs a Linux shell command and returns what it printed, or nothing when it could
// not be started or did not finish in time.
std::optional<std::string> runUnix(const std::string& commandLine, unsigned timeoutMs = 10000);

// The icon the window manager shows for the top-level window with this exact title: ARGB
// pixels of its largest image, or empty when there is none.
Icon windowManagerIcon(const std::string& title);
// The same for the window the window manager made active.
Icon activeWindowIcon();
// The functions and decorations the active window asks the window manager for (Motif hints).
std::optional<std::pair<unsigned, unsigned>> activeWindowMotifHints();

// Runs xdotool on the test's X server; returns whether it finished in time.
bool xdotool(const std::string& arguments, unsigned timeoutMs = 10000);

// The window the window manager made active (_NET_ACTIVE_WINDOW), and the one it stacks above
// all others; nothing when there is none. This is what a person sees, which may differ from
// Wine's own idea of the foreground and the Z order. A dialog is _NET_WM_WINDOW_TYPE_DIALOG.
std::optional<ManagedWindow> activeWindow();
std::optional<ManagedWindow> topWindow();

}  // namespace vorelo::e2e
