// The real main window: creates the native controls from the layout table, keeps them laid
// out for the window's DPI, and hands them to the window logic.
#pragma once

#include <windows.h>

#include <array>
#include <map>
#include <memory>
#include <optional>

#include "app/main_window.h"
#include "app/toolkit.h"
#include "platform/win32/handles.h"
#include "platform/win32/native_controls.h"

namespace vorelo::win32 {

class MainFrame final : public app::Toolkit,
                        public platform::WindowBackend,
                        public platform::System {
 public:
  explicit MainFrame(HINSTANCE instance);
  ~MainFrame() override;
  MainFrame(const MainFrame&) = delete;
  MainFrame& operator=(const MainFrame&) = delete;

  // Creates the window and its controls, runs the start-up procedure and shows the window.
  bool create(int showCommand);
  HWND hwnd() const { return hwnd_; }
  // True when the message should not be dispatched (keyboard navigation between controls).
  bool preTranslate(MSG& msg);

  // app::Toolkit
  platform::ComboBackend& combo(app::Control control) override;
  platform::CheckBackend& check(app::Control control) override;
  platform::ButtonBackend& button(app::Control control) override;
  platform::TimerBackend& timer(app::TimerName name) override;
  platform::WindowBackend& window() override { return *this; }
  platform::System& system() override { return *this; }

  // platform::WindowBackend
  void setCaption(std::string_view text) override;
  void setIcon(platform::Icon icon) override;
  void setState(platform::WindowState state) override;
  platform::WindowState state() const override;
  void messageBox(std::string_view text) override;
  std::string inputBox(std::string_view prompt, std::string_view defaultText) override;
  void end() override;

  // platform::System
  std::optional<std::string> readFile(std::string_view name) override;
  std::string ansiToUtf8(std::string_view bytes) override;
  bool sendKeys(std::span<const engine::KeyAction> actions) override;
  uint16_t asyncKeyState(int virtualKey) override;
  bool launch(platform::Folder folder, std::string_view program, std::string_view commandLine,
              int windowStyle) override;

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
  void createControls();
  void createTips();
  RECT controlRect(const app::ControlSpec& spec) const;
  void setFont();
  void fitCombos();
  void placeStatusPanels();
  void placeWindow(const RECT* suggested);
  void applyDpi(UINT dpi, const RECT* suggested);
  HICON iconImage(platform::Icon icon, bool big);
  HWND child(app::Control control) const;
  void restoreFocus();

  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  UINT dpi_ = 96;
  UniqueFont font_;
  std::array<UniqueIcon, 2> bigIcons_;
  std::array<UniqueIcon, 2> smallIcons_;
  platform::Icon icon_ = platform::Icon::Idle;
  std::optional<platform::Icon> shownIcon_;
  UniqueWindow tips_;
  HWND lastFocus_ = nullptr;
  std::map<app::Control, std::unique_ptr<NativeCombo>> combos_;
  std::map<app::Control, std::unique_ptr<NativeButton>> buttons_;
  std::array<HWND, app::kControlCount> windows_{};
  std::unique_ptr<NativeTimer> tmrWatch_;
  std::unique_ptr<NativeTimer> tmrSend_;
  std::unique_ptr<app::MainWindow> logic_;
};

// Creates one child control of the kind given, styled as the main window uses it.
HWND createControlWindow(HWND parent, app::Kind kind, int id, const std::wstring& caption,
                         bool startsGroup, const RECT& rect);

// Shows the modal input box; returns "" when the user cancels.
std::wstring runInputBox(HWND owner, const std::wstring& title, const std::wstring& prompt,
                         const std::wstring& defaultText);

// Reports an error that nothing caught and ends the program.
[[noreturn]] void fatal(const char* what) noexcept;

}  // namespace vorelo::win32
