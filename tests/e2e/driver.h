// Drives the real program from a second Win32 process: starts it in a private working
// folder, reads its controls across the process boundary and acts on them as a user would.
//
// Under Wine several reads that work inside one process do not work across processes
// (GetWindowText on an edit, GetComboBoxInfo, SB_GETTEXT into a local buffer); the
// functions here use the ways that do. Strings go in and out as UTF-8.
#pragma once

#include <windows.h>

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/layout.h"
#include "e2e/process.h"

namespace vorelo::e2e {

// The value of an environment variable, or nothing when it is unset.
std::optional<std::string> environment(const char* name);

// The program a test drives: the first command-line argument that is not a Google Test
// flag, else VORELO_EXE, else vorelo.exe in the test's own folder.
std::string programUnderTest();
// The path of a program built beside this test (VORELO_TEST_BIN, or the test's own folder).
std::string siblingProgram(const std::string& name);
// The Windows folder (where rundll.exe is looked for) or the system folder (shutdown.exe).
std::string systemFolder(bool windows);

// Text and class of any window, also one of another process.
std::string windowText(HWND window);
std::string windowClass(HWND window);

// A rectangle in pixels.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool operator==(const Rect&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Rect& rect);

// The text of a message box (its static with id 0xFFFF), or nothing for a window that is not
// a message box or has just closed.
std::optional<std::string> messageBoxText(HWND window);

// Clicks the button with this id in a box (a message box, an input box) like the mouse does;
// fails if the box has no such button or it is disabled or hidden. The click is posted: the
// box may close and end a modal loop.
void clickDialogButton(HWND box, int id);

// One running copy of the program.
class App {
 public:
  // The content of Msg.txt (raw bytes), or nothing for a working folder without one.
  using MessageFile = std::optional<std::string>;
  // Runs with the working folder (a Windows path) once Msg.txt is written, right before the
  // program starts: a test can put more into the folder, hold a file open or take a snapshot.
  using BeforeStart = std::function<void(const std::string& workingFolder)>;

  // Starts `exe` (a Windows path, or a Unix path under Wine) in a new temporary working
  // folder that holds Msg.txt with the given bytes, and waits until the program shows its
  // window captioned "Vorelo" and has finished starting up. Going away, it ends the program if
  // it still runs and removes the working folder.
  explicit App(const std::string& exe, const MessageFile& messageFile = std::nullopt,
               Millis startTimeout = Millis{15000}, const BeforeStart& beforeStart = {});
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  HWND window() const { return window_; }
  HANDLE process() const { return process_->handle(); }
  DWORD processId() const { return process_->id(); }
  DWORD threadId() const { return threadId_; }
  const std::string& workingFolder() const { return folder_.path(); }
  // From the moment the program was started to the moment its window was found showing.
  Millis startupTime() const { return startupTime_; }

  bool running() const { return process_->running(); }
  // The exit code once the program has ended.
  std::optional<DWORD> exitCode() const { return process_->exitCode(); }
  bool waitForExit(Millis timeout = kDefaultTimeout) { return process_->waitForExit(timeout); }

  // Visible top-level windows of the program other than its main window (message boxes,
  // input boxes).
  std::vector<HWND> otherWindows() const;

  // --- reading --------------------------------------------------------------------------
  std::string caption() const;
  bool iconic() const;
  SIZE clientSize() const;

  // The child window with the control's id, or nullptr.
  HWND control(app::Control c) const;
  std::string className(app::Control c) const;
  LONG_PTR style(app::Control c) const;
  std::string text(app::Control c) const;
  // In the main window's client coordinates.
  Rect rect(app::Control c) const;
  bool enabled(app::Control c) const;
  bool visible(app::Control c) const;
  // BM_GETCHECK == BST_CHECKED.
  bool checked(app::Control c) const;

  std::vector<std::string> comboItems(app::Control c) const;
  // The selected item's index, -1 for none.
  int comboSelection(app::Control c) const;
  // The combo's edit field, or nullptr for a combo without one.
  HWND comboEdit(app::Control c) const;
  std::string comboEditText(app::Control c) const;

  // The window with the keyboard focus in the program's GUI thread, and the control it
  // belongs to (a combo's edit field counts as the combo).
  HWND focusWindow() const;
  std::optional<app::Control> focus() const;

  std::vector<std::string> statusTexts() const;
  // Right edges of the status bar's panels.
  std::vector<int> statusParts() const;

  // --- acting ---------------------------------------------------------------------------
  // Like a click with the mouse; fails if the button is disabled or hidden.
  void clickButton(app::Control c);
  // Types text into the combo's edit field one UTF-16 unit at a time and returns once the
  // program has processed every character.
  void typeIntoCombo(app::Control c, std::string_view text);
  // The same over the whole field selected first, as a person replaces what a field holds.
  void retypeCombo(app::Control c, std::string_view text);
  // Picks an item from the combo's drop-down list.
  void pickComboItem(app::Control c, int index);
  // Asks the window to close, like its close box.
  void close();
  // Returns once the program has handled every message posted to it before the call, so the
  // effect of a click, or the lack of one, can be read. Fails if that takes longer than
  // `timeout`.
  void sync(Millis timeout = kDefaultTimeout);

  // Saves the window as it appears on screen into a 24-bit BMP file, creating its folder.
  void screenshot(const std::string& path) const;

 private:
  HWND requireControl(app::Control c) const;
  void requireUsable(app::Control c, HWND hwnd) const;
  LRESULT send(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) const;
  // Raises the edit's modified flag and posts the message that lowers it again, then waits
  // for that message: everything posted to the program before it has been handled then.
  void waitForPostedBefore(HWND edit, const std::string& what, Millis timeout);

  TempFolder folder_;
  // Started once the folder is ready, and ended before it is removed.
  std::optional<Process> process_;
  DWORD threadId_ = 0;
  HWND window_ = nullptr;
  Millis startupTime_{0};
};

}  // namespace vorelo::e2e
