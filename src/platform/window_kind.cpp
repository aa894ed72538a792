#include "platform/window_kind.h"

#include <algorithm>
#include <array>

namespace vorelo::platform {

namespace {

// Window class and program names compare as Windows compares them: without regard to case.
bool sameName(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

template <std::size_t N>
bool oneOf(std::string_view name, const std::array<std::string_view, N>& names) {
  return std::any_of(names.begin(), names.end(),
                     [&](std::string_view n) { return sameName(name, n); });
}

// The shell's windows that are reported as the window in front, where keys select icons by their
// names and Enter opens one: the desktop, the taskbars, the task switcher, Start and Search.
constexpr std::array<std::string_view, 7> kShellClasses = {"Progman",
                                                           "WorkerW",
                                                           "Shell_TrayWnd",
                                                           "Shell_SecondaryTrayWnd",
                                                           "ForegroundStaging",
                                                           "MultitaskingViewFrame",
                                                           "XamlExplorerHostIslandWindow"};
// File Explorer's folder windows, by the names Windows has given them.
constexpr std::array<std::string_view, 3> kExplorerClasses = {"CabinetWClass", "ExploreWClass",
                                                              "ExplorerWClass"};
// The panel of hidden notification icons, before and since Windows 11.
constexpr std::array<std::string_view, 2> kOverflowClasses = {
    "NotifyIconOverflowWindow", "TopLevelWindowForOverflowXamlIsland"};
// The shell's other programs: Start, Search, the notification centre, the touch keyboard and the
// emoji panel. Every window of theirs is the shell's, also of a class the lists above miss (the
// classes change between Windows builds).
constexpr std::array<std::string_view, 5> kShellHosts = {
    "ShellExperienceHost.exe", "StartMenuExperienceHost.exe", "SearchHost.exe", "SearchApp.exe",
    "TextInputHost.exe"};

}  // namespace

WindowKind classify(const WindowFacts& w, WindowHandle anchor) {
  if (w.handle == 0) return WindowKind::None;
  if (w.ours) return w.minimised ? WindowKind::Minimised : WindowKind::Ours;
  if (w.desktop || oneOf(w.windowClass, kShellClasses) ||
      (sameName(w.windowClass, "Windows.UI.Core.CoreWindow") && w.windowsProgram)) {
    return WindowKind::Shell;
  }
  if (oneOf(w.windowClass, kExplorerClasses)) return WindowKind::Explorer;
  if (oneOf(w.windowClass, kOverflowClasses)) return WindowKind::TrayOverflow;
  if (w.shellProcess || oneOf(w.program, kShellHosts)) return WindowKind::Shell;
  if (w.minimised) return WindowKind::Minimised;
  if (!w.visible || w.cloaked) return WindowKind::Hidden;
  if (w.toolWindow) return WindowKind::Tool;
  if (w.inMenu) return WindowKind::Menu;
  if (w.inMoveSize) return WindowKind::MoveSize;
  // A window that takes no input waits for a prompt of its own.
  if (!w.enabled) return WindowKind::Prompt;
  if (w.handle == anchor) return WindowKind::Chat;
  // Owned alone is no reason: some frameworks give every window of a program an owner, a hidden or
  // zero-sized window of the program's. A disabled owner is: a modal box or dialog is open over it.
  const bool modal = w.owner != 0 && !w.ownerEnabled;
  const bool chatsPopUp = anchor != 0 && w.owner == anchor;
  if (modal || chatsPopUp || sameName(w.windowClass, "#32770")) return WindowKind::Prompt;
  return WindowKind::Chat;
}

std::string_view describe(WindowKind kind) {
  switch (kind) {
    case WindowKind::Chat:
      return "聊天窗口";
    case WindowKind::Ours:
      return "Vorelo 自己的窗口";
    case WindowKind::None:
      return "没有窗口";
    case WindowKind::Shell:
      return "桌面、任务栏或开始菜单";
    case WindowKind::Explorer:
      return "文件资源管理器";
    case WindowKind::TrayOverflow:
      return "任务栏上隐藏图标的面板";
    case WindowKind::Minimised:
      return "一个最小化的窗口";
    case WindowKind::Hidden:
      return "一个看不见的窗口";
    case WindowKind::Tool:
      return "一个工具窗口";
    case WindowKind::Prompt:
      return "一个提示框（例如“保存更改？”或“另存为”）";
    case WindowKind::Menu:
      return "一个打开的菜单";
    case WindowKind::MoveSize:
      return "一个正在移动或调整大小的窗口";
  }
  return "没有窗口";
}

}  // namespace vorelo::platform
