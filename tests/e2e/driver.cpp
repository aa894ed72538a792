#include "driver.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <ostream>
#include <sstream>
#include <system_error>
#include <thread>
#include <utility>

namespace vorelo::e2e {
namespace {

using Clock = std::chrono::steady_clock;

constexpr Millis kPollInterval{20};
// How long the program may take to answer one message before it counts as hung.
constexpr UINT kAnswerTimeoutMs = 5000;
// Wine sometimes refuses to start a program right after its previous copy has ended.
constexpr Millis kLaunchRetryTime{2000};

std::string lastError(std::string_view what) {
  std::ostringstream out;
  out << what << " (error " << GetLastError() << ")";
  return out.str();
}

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

// Owns a GDI object or device context.
template <typename T, auto Free>
class Gdi {
 public:
  explicit Gdi(T handle) : handle_(handle) {}
  ~Gdi() {
    if (handle_) Free(handle_);
  }
  Gdi(const Gdi&) = delete;
  Gdi& operator=(const Gdi&) = delete;
  T get() const { return handle_; }

 private:
  T handle_;
};

void deleteDc(HDC dc) {
  DeleteDC(dc);
}
void deleteBitmap(HBITMAP bitmap) {
  DeleteObject(bitmap);
}

class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {
    if (!dc_) throw DriverError(lastError("GetDC(screen) failed"));
  }
  ~ScreenDc() { ReleaseDC(nullptr, dc_); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

void writeFile(const std::wstring& path, const std::string& bytes) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw DriverError(lastError("cannot create " + narrow(path)));
  DWORD written = 0;
  if (!bytes.empty() &&
      (!WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
       written != bytes.size())) {
    throw DriverError(lastError("cannot write " + narrow(path)));
  }
}

std::wstring makeWorkingFolder() {
  static std::atomic<unsigned> counter{0};
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  if (length == 0 || length > MAX_PATH) throw DriverError(lastError("GetTempPathW failed"));
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring folder =
        std::wstring(temp) + L"vorelo-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
        std::to_wstring(counter++) + L"-" + std::to_wstring(GetTickCount64());
    if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
    if (GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  throw DriverError(lastError("cannot create a working folder"));
}

void removeFolder(const std::wstring& folder) {
  // The program's files may stay locked for a moment after it has ended.
  std::error_code error;
  waitFor(
      [&] {
        std::filesystem::remove_all(folder, error);
        return !error;
      },
      Millis{2000});
}

struct WindowSearch {
  DWORD processId;
  HWND found = nullptr;
};

BOOL CALLBACK findMainWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner != search->processId || !IsWindowVisible(hwnd)) return TRUE;
  // The caption as the window manager knows it; sends no message to the program.
  wchar_t caption[64] = {};
  InternalGetWindowText(hwnd, caption, 64);
  if (widen(app::kAppTitle) != caption) return TRUE;
  search->found = hwnd;
  return FALSE;
}

struct OwnedWindows {
  DWORD processId;
  HWND except;
  std::vector<HWND> found;
};

BOOL CALLBACK collectOwnedWindows(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<OwnedWindows*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner == search->processId && hwnd != search->except && IsWindowVisible(hwnd)) {
    search->found.push_back(hwnd);
  }
  return TRUE;
}

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

  ScreenDc screen;
  Gdi<HDC, deleteDc> memory(CreateCompatibleDC(screen.get()));
  void* bits = nullptr;
  Gdi<HBITMAP, deleteBitmap> bitmap(
      CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!memory.get() || !bitmap.get() || !bits) throw DriverError(lastError("no bitmap"));
  const HGDIOBJ previous = SelectObject(memory.get(), bitmap.get());
  const BOOL copied = BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top,
                             SRCCOPY | CAPTUREBLT);
  GdiFlush();
  SelectObject(memory.get(), previous);
  if (!copied) throw DriverError(lastError("BitBlt from the screen failed"));

  const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
  return std::string(static_cast<const char*>(bits), stride * static_cast<std::size_t>(height));
}

}  // namespace

// --- free functions -------------------------------------------------------------------------

std::wstring widen(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int size = static_cast<int>(utf8.size());
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
  std::wstring result(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, result.data(), length);
  return result;
}

std::string narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  const int size = static_cast<int>(utf16.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  std::string result(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, result.data(), length, nullptr, nullptr);
  return result;
}

std::string toWindowsPath(std::string_view path) {
  if (path.empty() || path.front() != '/') return std::string(path);
  std::string result = "Z:";
  result += path;
  std::replace(result.begin(), result.end(), '/', '\\');
  return result;
}

std::optional<std::string> environment(const char* name) {
  const std::wstring wideName = widen(name);
  const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
  value.resize(length);
  return narrow(value);
}

bool waitFor(const std::function<bool()>& condition, Millis timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(kPollInterval);
  }
}

std::string windowText(HWND window) {
  const auto length = static_cast<std::size_t>(sendOrThrow(window, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  const auto copied = static_cast<std::size_t>(
      sendOrThrow(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(std::min(copied, length));
  return narrow(text);
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
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, length);
  path.resize(path.find_last_of(L"\\/") + 1);
  return narrow(path) + "vorelo.exe";
}

std::optional<std::string> messageBoxText(HWND window) {
  HWND text = GetDlgItem(window, 0xFFFF);
  if (!text) return std::nullopt;
  try {
    return windowText(text);
  } catch (const DriverError&) {
    // Closed while being read.
    if (!IsWindow(text)) return std::nullopt;
    throw;
  }
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

UniqueHandle& UniqueHandle::operator=(UniqueHandle&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

HANDLE UniqueHandle::release() {
  return std::exchange(handle_, nullptr);
}

void UniqueHandle::reset(HANDLE handle) {
  if (*this) CloseHandle(handle_);
  handle_ = handle;
}

// --- App: life cycle ------------------------------------------------------------------------

App::App(const std::string& exe, const MessageFile& messageFile, Millis startTimeout,
         const BeforeStart& beforeStart) {
  const std::wstring folder = makeWorkingFolder();
  workingFolder_ = narrow(folder);
  try {
    if (messageFile) writeFile(folder + L"\\Msg.txt", *messageFile);
    if (beforeStart) beforeStart(workingFolder_);

    const std::wstring program = widen(toWindowsPath(exe));
    std::wstring commandLine = L"\"" + program + L"\"";
    PROCESS_INFORMATION started{};
    DWORD launchError = 0;
    const bool launched = waitFor(
        [&] {
          STARTUPINFOW startup{};
          startup.cb = sizeof startup;
          if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                             nullptr, folder.c_str(), &startup, &started)) {
            return true;
          }
          launchError = GetLastError();
          return false;
        },
        kLaunchRetryTime);
    if (!launched) {
      throw DriverError("cannot start " + narrow(program) + " (error " +
                        std::to_string(launchError) + ")");
    }
    process_.reset(started.hProcess);
    CloseHandle(started.hThread);
    processId_ = started.dwProcessId;
    const auto startedAt = Clock::now();

    WindowSearch search{processId_};
    waitFor(
        [&] {
          EnumWindows(findMainWindow, reinterpret_cast<LPARAM>(&search));
          return search.found != nullptr || !running();
        },
        startTimeout);
    if (!search.found) {
      std::string why = running() ? "no window captioned \"Vorelo\" appeared in time"
                                  : "the program ended during start-up, exit code " +
                                        std::to_string(exitCode().value_or(0));
      throw DriverError(why);
    }
    window_ = search.found;
    startupTime_ = std::chrono::duration_cast<Millis>(Clock::now() - startedAt);
    threadId_ = GetWindowThreadProcessId(window_, nullptr);

    // Start-up is over once the program waits for input; a message round trip makes sure
    // it is not stuck in between.
    WaitForInputIdle(process_.get(), static_cast<DWORD>(startTimeout.count()));
    send(window_, WM_NULL, 0, 0);
  } catch (...) {
    if (process_ && running()) {
      TerminateProcess(process_.get(), 1);
      WaitForSingleObject(process_.get(), kAnswerTimeoutMs);
    }
    removeFolder(folder);
    throw;
  }
}

App::~App() {
  if (running()) {
    TerminateProcess(process_.get(), 1);
    WaitForSingleObject(process_.get(), kAnswerTimeoutMs);
  }
  removeFolder(widen(workingFolder_));
}

bool App::running() const {
  return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> App::exitCode() const {
  DWORD code = 0;
  if (running() || !GetExitCodeProcess(process_.get(), &code)) return std::nullopt;
  return code;
}

bool App::waitForExit(Millis timeout) {
  return WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

std::vector<HWND> App::otherWindows() const {
  OwnedWindows search{processId_, window_, {}};
  EnumWindows(collectOwnedWindows, reinterpret_cast<LPARAM>(&search));
  return search.found;
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
    RemoteBuffer buffer(process_.get(), (length + 1) * sizeof(wchar_t));
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
  RemoteBuffer buffer(process_.get(), kMaxParts * sizeof(int));
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
  writeFile(target.wstring(), bytes);
}

}  // namespace vorelo::e2e
