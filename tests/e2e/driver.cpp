#include "e2e/driver.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <system_error>

#include "e2e/rig.h"

namespace vorelo::e2e {
namespace {

// On Windows a program that does not say it knows about DPI sees another program's windows
// scaled to 96 DPI; the tests measure Vorelo's window in its own pixels, as Vorelo (aware of
// each monitor's DPI) lays it out.
const bool kMeasuresInPixels = [] {
  if (runningUnderWine()) return false;
  using Context = BOOL(WINAPI*)(HANDLE);
  const auto setContext = reinterpret_cast<Context>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetProcessDpiAwarenessContext")));
  // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
  return setContext != nullptr && setContext(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)));
}();

// How long the program may take to answer one message before it counts as hung.
constexpr UINT kAnswerTimeoutMs = 5000;

std::string controlName(app::Control c) {
  return std::string(app::entry(c).name);
}

LRESULT sendOrThrow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SetLastError(0);
  if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                           kAnswerTimeoutMs, &result)) {
    std::ostringstream out;
    out << "window " << hwnd << " did not answer message 0x" << std::hex << message;
    throw DriverError(lastError(out.str()));
  }
  return static_cast<LRESULT>(result);
}

// Memory inside the program's address space, for messages whose buffers Wine does not
// copy between processes.
class RemoteBuffer {
 public:
  RemoteBuffer(HANDLE process, std::size_t size) : process_(process), size_(size) {
    address_ = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!address_) throw DriverError(lastError("VirtualAllocEx failed"));
  }
  ~RemoteBuffer() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  LPARAM address() const { return reinterpret_cast<LPARAM>(address_); }

  void read(void* target, std::size_t size) const {
    SIZE_T done = 0;
    if (size > size_ || !ReadProcessMemory(process_, address_, target, size, &done) ||
        done != size) {
      throw DriverError(lastError("ReadProcessMemory failed"));
    }
  }

 private:
  HANDLE process_;
  std::size_t size_;
  void* address_ = nullptr;
};

struct ChildSearch {
  int id;
  HWND found = nullptr;
};

BOOL CALLBACK findChildById(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<ChildSearch*>(param);
  if (GetDlgCtrlID(hwnd) != search->id) return TRUE;
  search->found = hwnd;
  return FALSE;
}

// Pixels of a screen rectangle, 24 bits per pixel, rows bottom-up and padded to 4 bytes,
// as a BMP file stores them.
std::string capture(const RECT& area) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) throw DriverError("nothing to capture: empty rectangle");

  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;

  struct BitmapTraits {
    using Handle = HBITMAP;
    static Handle empty() { return nullptr; }
    static void close(HBITMAP h) { DeleteObject(h); }
  };
  struct MemoryDcTraits {
    using Handle = HDC;
    static Handle empty() { return nullptr; }
    static void close(HDC h) { DeleteDC(h); }
  };
  win32::WindowDc screen(nullptr);
  if (!screen) throw DriverError(lastError("GetDC(screen) failed"));
  win32::Unique<MemoryDcTraits> memory(CreateCompatibleDC(screen.get()));
  void* bits = nullptr;
  win32::Unique<BitmapTraits> bitmap(
      CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory || !bitmap || !bits) throw DriverError(lastError("no bitmap"));
  {
    win32::SelectedObject selected(memory.get(), bitmap.get());
    if (!BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top,
                SRCCOPY | CAPTUREBLT)) {
      throw DriverError(lastError("BitBlt from the screen failed"));
    }
    GdiFlush();
  }

  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  return std::string(static_cast<const char*>(bits), stride * static_cast<std::size_t>(height));
}

}  // namespace

// --- free functions -------------------------------------------------------------------------

std::optional<std::string> environment(const char* name) {
  const std::wstring wideName = widen(name);
  const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
  value.resize(length);
  return narrow(value);
}

std::string windowText(HWND window) {
  // A round trip with a time limit first, so that a program that stopped answering fails the
  // test instead of holding it up.
  sendOrThrow(window, WM_NULL, 0, 0);
  return narrow(win32::windowText(window));
}

std::string programUnderTest() {
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  std::string found;
  for (int i = 1; args && i < count && found.empty(); ++i) {
    const std::wstring_view arg = args[i];
    const bool flag = arg.starts_with(L"--gtest_") || arg.starts_with(L"-gtest_") ||
                      arg.starts_with(L"/gtest_") || arg == L"--help" || arg == L"-h" ||
                      arg == L"-?" || arg == L"/?";
    if (!flag) found = narrow(arg);
  }
  LocalFree(args);
  if (!found.empty()) return found;
  if (auto exe = environment("VORELO_EXE")) return *exe;
  return siblingProgram("vorelo.exe");
}

std::string siblingProgram(const std::string& name) {
  if (auto dir = environment("VORELO_TEST_BIN")) return toWindowsPath(*dir) + "\\" + name;
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  path.resize(path.find_last_of(L"\\/") + 1);
  return narrow(path) + name;
}

std::string systemFolder(bool windows) {
  wchar_t path[MAX_PATH];
  const UINT n =
      windows ? GetWindowsDirectoryW(path, MAX_PATH) : GetSystemDirectoryW(path, MAX_PATH);
  return narrow(std::wstring_view(path, n));
}

std::optional<std::string> messageBoxText(HWND window) {
  HWND text = GetDlgItem(window, 0xFFFF);
  if (!text) return std::nullopt;
  try {
    std::string read = windowText(text);
    // A box closed while being read answers nothing.
    if (IsWindow(text)) return read;
  } catch (const DriverError&) {
    if (IsWindow(text)) throw;
  }
  return std::nullopt;
}

void clickDialogButton(HWND box, int id) {
  HWND button = GetDlgItem(box, id);
  if (!button || windowClass(button) != "Button") {
    throw DriverError("the box has no button with id " + std::to_string(id));
  }
  if (!IsWindowVisible(button)) {
    throw DriverError("the box's button " + windowText(button) + " is hidden");
  }
  if (!IsWindowEnabled(button)) {
    throw DriverError("the box's button " + windowText(button) + " is disabled");
  }
  if (!PostMessageW(button, BM_CLICK, 0, 0)) throw DriverError(lastError("PostMessage failed"));
}

std::string windowClass(HWND window) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(window, name, 256);
  return narrow(std::wstring_view(name, static_cast<std::size_t>(std::max(length, 0))));
}

std::ostream& operator<<(std::ostream& out, const Rect& rect) {
  return out << "(" << rect.left << ", " << rect.top << ")-(" << rect.right << ", " << rect.bottom
             << ") " << rect.width() << "x" << rect.height();
}

// --- App: life cycle ------------------------------------------------------------------------

App::App(const std::string& exe, const MessageFile& messageFile, Millis startTimeout,
         const BeforeStart& beforeStart)
    : folder_(messageFile) {
  if (beforeStart) beforeStart(folder_.path());
  process_.emplace(exe, "", folder_.path());
  const Shown shown = waitUntilShown(
      *process_,
      [](HWND window) {
        // The caption as the window manager knows it; sends no message to the program.
        wchar_t caption[64] = {};
        InternalGetWindowText(window, caption, 64);
        return widen(app::kAppTitle) == caption;
      },
      startTimeout);
  window_ = shown.window;
  startupTime_ = Millis{static_cast<Millis::rep>(shown.at - process_->startedAt())};
  threadId_ = GetWindowThreadProcessId(window_, nullptr);

  // Start-up is over once the program waits for input; a message round trip makes sure
  // it is not stuck in between.
  WaitForInputIdle(process(), static_cast<DWORD>(startTimeout.count()));
  send(window_, WM_NULL, 0, 0);
}

std::vector<HWND> App::otherWindows() const {
  std::vector<HWND> windows = visibleWindowsOf(processId());
  std::erase(windows, window_);
  return windows;
}

// --- App: reading ---------------------------------------------------------------------------

LRESULT App::send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) const {
  return sendOrThrow(hwnd, message, wParam, lParam);
}

std::string App::caption() const {
  return windowText(window_);
}

bool App::iconic() const {
  return IsIconic(window_) != FALSE;
}

SIZE App::clientSize() const {
  RECT client{};
  if (!GetClientRect(window_, &client)) throw DriverError(lastError("GetClientRect failed"));
  return {client.right - client.left, client.bottom - client.top};
}

HWND App::control(app::Control c) const {
  const int id = app::controlId(c);
  if (HWND direct = GetDlgItem(window_, id)) return direct;
  // A control placed inside a frame may be the frame's child rather than the window's.
  ChildSearch search{id};
  EnumChildWindows(window_, findChildById, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND App::requireControl(app::Control c) const {
  HWND hwnd = control(c);
  if (!hwnd) {
    throw DriverError("the window has no control " + controlName(c) + " (id " +
                      std::to_string(app::controlId(c)) + ")");
  }
  return hwnd;
}

std::string App::className(app::Control c) const {
  return windowClass(requireControl(c));
}

LONG_PTR App::style(app::Control c) const {
  return GetWindowLongPtrW(requireControl(c), GWL_STYLE);
}

std::string App::text(app::Control c) const {
  return windowText(requireControl(c));
}

Rect App::rect(app::Control c) const {
  RECT screen{};
  if (!GetWindowRect(requireControl(c), &screen)) {
    throw DriverError(lastError("GetWindowRect failed for " + controlName(c)));
  }
  POINT corners[2] = {{screen.left, screen.top}, {screen.right, screen.bottom}};
  MapWindowPoints(nullptr, window_, corners, 2);
  return {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

bool App::enabled(app::Control c) const {
  return IsWindowEnabled(requireControl(c)) != FALSE;
}

bool App::visible(app::Control c) const {
  return IsWindowVisible(requireControl(c)) != FALSE;
}

bool App::checked(app::Control c) const {
  return send(requireControl(c), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<std::string> App::comboItems(app::Control c) const {
  HWND combo = requireControl(c);
  const LRESULT count = send(combo, CB_GETCOUNT, 0, 0);
  if (count == CB_ERR) throw DriverError(controlName(c) + " does not answer CB_GETCOUNT");
  std::vector<std::string> items;
  for (LRESULT i = 0; i < count; ++i) {
    const LRESULT length = send(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length == CB_ERR) throw DriverError(controlName(c) + ": item vanished while reading");
    std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied =
        send(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
    if (copied == CB_ERR) throw DriverError(controlName(c) + ": item vanished while reading");
    item.resize(static_cast<std::size_t>(std::min(copied, length)));
    items.push_back(narrow(item));
  }
  return items;
}

int App::comboSelection(app::Control c) const {
  return static_cast<int>(send(requireControl(c), CB_GETCURSEL, 0, 0));
}

HWND App::comboEdit(app::Control c) const {
  // GetComboBoxInfo does not report the edit field of another process's combo under Wine.
  return FindWindowExW(requireControl(c), nullptr, L"Edit", nullptr);
}

std::string App::comboEditText(app::Control c) const {
  HWND edit = comboEdit(c);
  if (!edit) throw DriverError(controlName(c) + " has no edit field");
  return windowText(edit);
}

HWND App::focusWindow() const {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(threadId_, &info)) throw DriverError(lastError("GetGUIThreadInfo failed"));
  return info.hwndFocus;
}

std::optional<app::Control> App::focus() const {
  for (HWND hwnd = focusWindow(); hwnd && hwnd != window_; hwnd = GetParent(hwnd)) {
    for (const app::ControlEntry& entry : app::kLayout) {
      if (control(entry.control) == hwnd) return entry.control;
    }
  }
  return std::nullopt;
}

std::vector<std::string> App::statusTexts() const {
  HWND bar = requireControl(app::Control::stbStatus);
  const auto parts = static_cast<int>(send(bar, SB_GETPARTS, 0, 0));
  std::vector<std::string> texts;
  for (int i = 0; i < parts; ++i) {
    const auto length =
        static_cast<std::size_t>(LOWORD(send(bar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(i), 0)));
    // SB_GETTEXTW writes straight into the given address, so it must be the program's.
    RemoteBuffer buffer(process(), (length + 1) * sizeof(wchar_t));
    send(bar, SB_GETTEXTW, static_cast<WPARAM>(i), buffer.address());
    std::wstring text(length, L'\0');
    buffer.read(text.data(), length * sizeof(wchar_t));
    texts.push_back(narrow(text));
  }
  return texts;
}

std::vector<int> App::statusParts() const {
  HWND bar = requireControl(app::Control::stbStatus);
  constexpr int kMaxParts = 256;  // the most a status bar can have
  RemoteBuffer buffer(process(), kMaxParts * sizeof(int));
  const auto parts = static_cast<int>(send(bar, SB_GETPARTS, kMaxParts, buffer.address()));
  std::vector<int> edges(static_cast<std::size_t>(std::clamp(parts, 0, kMaxParts)));
  buffer.read(edges.data(), edges.size() * sizeof(int));
  return edges;
}

// --- App: acting ----------------------------------------------------------------------------

void App::requireUsable(app::Control c, HWND hwnd) const {
  // Under Wine a disabled button still reports a click sent as a message, so check first
  // what a person could do.
  if (!IsWindowVisible(hwnd)) throw DriverError(controlName(c) + " is hidden");
  if (!IsWindowEnabled(hwnd)) throw DriverError(controlName(c) + " is disabled");
}

void App::clickButton(app::Control c) {
  HWND button = requireControl(c);
  requireUsable(c, button);
  if (!PostMessageW(button, BM_CLICK, 0, 0)) throw DriverError(lastError("PostMessage failed"));
}

void App::typeIntoCombo(app::Control c, std::string_view text) {
  HWND combo = requireControl(c);
  requireUsable(c, combo);
  HWND edit = comboEdit(c);
  if (!edit) throw DriverError(controlName(c) + " has no edit field to type into");

  // A sent message would overtake the posted characters, so the end of the typing is
  // marked in the edit's own queue instead: the modified flag is raised now, and lowered
  // by a message posted after the last character.
  for (wchar_t unit : widen(text)) {
    if (!PostMessageW(edit, WM_CHAR, unit, 1)) throw DriverError(lastError("PostMessage failed"));
  }
  waitForPostedBefore(edit, controlName(c) + " did not process the typed text", kDefaultTimeout);
}

void App::retypeCombo(app::Control c, std::string_view text) {
  if (HWND edit = comboEdit(c)) send(edit, EM_SETSEL, 0, static_cast<LPARAM>(-1));
  typeIntoCombo(c, text);
}

void App::waitForPostedBefore(HWND edit, const std::string& what, Millis timeout) {
  // Posted messages are handled in the order they were posted, whichever of the thread's
  // windows they are for; a sent message would overtake them.
  send(edit, EM_SETMODIFY, TRUE, 0);
  if (!PostMessageW(edit, EM_SETMODIFY, FALSE, 0)) {
    throw DriverError(lastError("PostMessage failed"));
  }
  if (!waitFor([&] { return send(edit, EM_GETMODIFY, 0, 0) == 0; }, timeout)) {
    throw DriverError(what + " in time");
  }
}

void App::sync(Millis timeout) {
  // Any edit field of the window serves as the marker; the program never reads the flag.
  HWND edit = comboEdit(app::Control::comContent);
  if (!edit) throw DriverError("the window has no edit field to mark its message queue with");
  waitForPostedBefore(edit, "the program did not get through its posted messages", timeout);
}

void App::pickComboItem(app::Control c, int index) {
  HWND combo = requireControl(c);
  requireUsable(c, combo);
  const LRESULT count = send(combo, CB_GETCOUNT, 0, 0);
  if (index < 0 || index >= count) {
    throw DriverError(controlName(c) + " has no item " + std::to_string(index) + " (" +
                      std::to_string(count) + " items)");
  }
  if (send(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0) != index) {
    throw DriverError(controlName(c) + " refused to select item " + std::to_string(index));
  }
  // The notifications a pick from the drop-down list sends, synchronously as the combo
  // itself would, so the program has reacted once this returns.
  HWND parent = GetParent(combo);
  const auto id = static_cast<WORD>(GetDlgCtrlID(combo));
  send(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
  send(parent, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK), reinterpret_cast<LPARAM>(combo));
}

void App::close() {
  if (!PostMessageW(window_, WM_CLOSE, 0, 0)) throw DriverError(lastError("PostMessage failed"));
}

void App::screenshot(const std::string& path) const {
  // Let pending painting reach the screen, then take the picture once two captures in a
  // row agree (Wine copies window contents to the X server asynchronously).
  UpdateWindow(window_);
  send(window_, WM_NULL, 0, 0);
  RECT area{};
  if (!GetWindowRect(window_, &area)) throw DriverError(lastError("GetWindowRect failed"));
  std::string pixels = capture(area);
  waitFor(
      [&] {
        std::string again = capture(area);
        const bool stable = again == pixels;
        pixels = std::move(again);
        return stable;
      },
      Millis{2000});

  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = area.right - area.left;
  header.biHeight = area.bottom - area.top;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(pixels.size());
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + header.biSizeImage;

  std::string bytes(reinterpret_cast<const char*>(&file), sizeof file);
  bytes.append(reinterpret_cast<const char*>(&header), sizeof header);
  bytes += pixels;
  const std::filesystem::path target(widen(toWindowsPath(path)));
  std::error_code ignored;
  std::filesystem::create_directories(target.parent_path(), ignored);
  writeFile(narrow(target.wstring()), bytes);
}

}  // namespace vorelo::e2e
