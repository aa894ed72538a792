#include "e2e/unix_tools.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "e2e/process.h"

namespace vorelo::e2e {

std::optional<std::string> runUnix(const std::string& commandLine, unsigned timeoutMs) {
  // Wine starts Linux programs but does not hand them Windows pipes, so the output goes
  // through a file that both sides can name: /tmp is Z:\tmp under Wine.
  // Process ids repeat from one Wine prefix to the next, so the name carries the time too.
  static int counter = 0;
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const std::string name = "vorelo-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(now.QuadPart) + "-" + std::to_string(++counter);
  const std::string unixPath = "/tmp/" + name;
  const std::wstring windowsPath = widen(toWindowsPath(unixPath));
  // The output appears under its final name only when complete. Wine's handle of a Linux
  // process cannot be waited on, so the test waits for the file instead.
  std::wstring line = widen("/bin/sh -c \"" + commandLine + " >" + unixPath + ".part 2>&1; mv " +
                            unixPath + ".part " + unixPath + "\"");
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return std::nullopt;
  }
  // Wine hands back no real handles for a Linux process (the fields hold whatever was there),
  // so they are neither waited on nor closed.
  if (!waitFor([&] { return GetFileAttributesW(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES; },
               Millis{timeoutMs})) {
    return std::nullopt;
  }
  std::string out = readFile(unixPath);
  DeleteFileW(windowsPath.c_str());
  return out;
}

namespace {

// The shell words that make xprop read the window the window manager made active.
const std::string kActiveWindow = "-id $(xprop -root _NET_ACTIVE_WINDOW | sed -e 's/.* //')";

// `window`: xprop's words for the window, "-name ..." or "-id ...".
Icon iconOf(const std::string& window) {
  Icon best;
  // xprop prints the property as one list of numbers: width, height, then width x height ARGB
  // pixels, for each image the window offers.
  const auto out = runUnix("xprop " + window + " -notype -f _NET_WM_ICON 32c '=$0+' _NET_WM_ICON");
  if (!out) return best;
  const auto eq = out->find('=');
  if (eq == std::string::npos) return best;
  std::vector<uint32_t> numbers;
  std::istringstream in(out->substr(eq + 1));
  std::string token;
  while (std::getline(in, token, ',')) {
    numbers.push_back(static_cast<uint32_t>(std::strtoul(token.c_str(), nullptr, 10)));
  }
  std::size_t i = 0;
  while (i + 2 <= numbers.size()) {
    const int w = static_cast<int>(numbers[i]);
    const int h = static_cast<int>(numbers[i + 1]);
    const std::size_t count = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    if (w <= 0 || h <= 0 || i + 2 + count > numbers.size()) break;
    if (w > best.width) {
      best.width = w;
      best.height = h;
      best.argb.assign(numbers.begin() + static_cast<std::ptrdiff_t>(i + 2),
                       numbers.begin() + static_cast<std::ptrdiff_t>(i + 2 + count));
    }
    i += 2 + count;
  }
  return best;
}

}  // namespace

Icon windowManagerIcon(const std::string& title) {
  return iconOf("-name '" + title + "'");
}

Icon activeWindowIcon() {
  return iconOf(kActiveWindow);
}

std::optional<std::pair<unsigned, unsigned>> activeWindowMotifHints() {
  const auto out = runUnix("xprop " + kActiveWindow + " -notype _MOTIF_WM_HINTS");
  unsigned flags = 0, functions = 0, decorations = 0;
  const auto eq = out ? out->find('=') : std::string::npos;
  if (eq == std::string::npos ||
      std::sscanf(out->c_str() + eq + 1, " %x, %x, %x", &flags, &functions, &decorations) != 3) {
    return std::nullopt;
  }
  return std::pair{functions, decorations};
}

bool xdotool(const std::string& arguments, unsigned timeoutMs) {
  return runUnix("xdotool " + arguments, timeoutMs).has_value();
}

namespace {

// The title and type of the X window whose id ends the output of `listCommand`.
std::optional<ManagedWindow> managedWindow(const std::string& listCommand) {
  const auto out = runUnix("id=$(" + listCommand + " | sed -e 's/.* //'); " +
                           "xprop -id $id WM_NAME _NET_WM_WINDOW_TYPE");
  if (!out) return std::nullopt;
  const auto name = out->find("WM_NAME");
  const auto open = out->find('"', name);
  const auto close = out->find('"', open + 1);
  if (name == std::string::npos || open == std::string::npos || close == std::string::npos) {
    return std::nullopt;
  }
  return ManagedWindow{out->substr(open + 1, close - open - 1),
                       out->find("_NET_WM_WINDOW_TYPE_DIALOG") != std::string::npos};
}

}  // namespace

std::optional<ManagedWindow> activeWindow() {
  return managedWindow("xprop -root _NET_ACTIVE_WINDOW");
}

std::optional<ManagedWindow> topWindow() {
  return managedWindow("xprop -root _NET_CLIENT_LIST_STACKING");
}

}  // namespace vorelo::e2e
