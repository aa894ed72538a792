// The real main window: creates the native controls from the layout table, keeps them laid
// out for the window's DPI, routes their notifications and timers, and hands them to the
// window logic.
#pragma once

#include <windows.h>

#include <array>
#include <memory>
#include <optional>

#include "app/main_window.h"
#include "app/toolkit.h"
#include "win32/foreground_keeper.h"
#include "win32/handles.h"
#include "win32/native_controls.h"
#include "win32/taskbar.h"
#include "win32/win32_system.h"

namespace vorelo::win32 {

// Asks the main window of a running Vorelo to show itself (a second copy was started); it does
// when it is idle.
inline constexpr UINT kShowRunningWindow = WM_APP + 1;
inline constexpr wchar_t kMainWindowClass[] = L"VoreloMainWindow";
// No WS_CLIPCHILDREN: group boxes do not paint their inside, the window behind them does.
inline constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
// On the taskbar even while it is briefly shown without activation (setState).
inline constexpr DWORD kMainExStyle = WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;

// The window logic's two timers, by SetTimer id. The keeper's timers run on a window of its own.
enum class TimerId : UINT_PTR { Watch = 1, Send };

class MainFrame final : public app::Toolkit, public platform::WindowBackend {
 public:
  explicit MainFrame(HINSTANCE instance);
  ~MainFrame() override;
  MainFrame(const MainFrame&) = delete;
  MainFrame& operator=(const MainFrame&) = delete;

  // Creates the window and its controls, runs the start-up procedure and shows the window.
  // Throws StartupError when the window or a control cannot be created.
  void create(int showCommand);
  // True when the message should not be dispatched (keyboard navigation between controls).
  bool preTranslate(MSG& msg);

  // app::Toolkit
  platform::ComboBackend& combo(app::Control control) override;
  platform::CheckBackend& check(app::Control control) override;
  platform::ButtonBackend& button(app::Control control) override;
  platform::TimerBackend& timer(app::TimerName name) override;
  platform::WindowBackend& window() override { return *this; }
  platform::System& system() override { return system_; }
  platform::Chats& chats() override { return chats_; }
  platform::KeyPipeline& keys() override { return keys_; }

  // platform::WindowBackend
  void setCaption(std::string_view text) override;
  void setIcon(platform::Icon icon) override;
  void setState(platform::WindowState state) override;
  platform::WindowState state() const override;
  void setProgress(const platform::Progress& progress) override;
  void focus(platform::ControlBackend& control) override;
  bool hasFocus(const platform::ControlBackend& control) const override;
  void messageBox(std::string_view text) override;
  std::string inputBox(std::string_view prompt, std::string_view defaultText) override;
  void end() override;

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
  void registerClass();
  // Each message the window handles, one call each.
  bool onCommand(WPARAM wParam, LPARAM lParam);
  void onTimer(UINT_PTR id);
  bool onActivate(WPARAM wParam);
  void onBoxShown(HWND box);
  void onRawInput(HRAWINPUT input);
  void restoreFocus();

  // Layout (main_frame_layout.cpp).
  void createControls();
  void createTips();
  void placeTips(bool add);
  RECT controlRect(const app::ControlEntry& entry) const;
  void setFont();
  void fitCombos();
  void centreFieldText(HWND combo, int lineHeight);
  void fitLabels();
  void placeStatusPanels();
  void placeWindow(const RECT* suggested);
  void applyDpi(UINT dpi, const RECT* suggested);

  HICON iconImage(platform::Icon icon, bool big);
  HWND child(app::Control control) const;
  template <typename Native>
  Native& native(app::Control control, app::Kind kind, app::Kind other = app::Kind::Frame);
  HWND windowOf(const platform::ControlBackend& control) const;

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
  TaskbarProgress taskbar_;
  Win32System system_;
  platform::Chats chats_{system_};
  ForegroundKeeper keeper_{chats_};
  platform::KeyPipeline keys_{system_, keeper_.pressBackTimer(), keeper_.verdictTimer()};
  // The window's controls, by position in the layout table.
  std::array<std::unique_ptr<NativeControl>, app::kControlCount> controls_;
  std::unique_ptr<NativeTimer> tmrWatch_;
  std::unique_ptr<NativeTimer> tmrSend_;
  std::unique_ptr<app::MainWindow> logic_;
};

}  // namespace vorelo::win32
