// Real Windows controls behind the portable ones. They do the native thing and report only
// what the user did: Windows sends no CBN_EDITCHANGE for WM_SETTEXT and no CBN_SELCHANGE for
// CB_SETCURSEL, so every notification that arrives here comes from the user.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/layout.h"
#include "platform/backend.h"
#include "platform/controls.h"

namespace vorelo::win32 {

// One child window of the main window: its handle and control id, and the WM_COMMAND
// notifications its parent receives for it. The parent finds it by control id among its own
// children (MainFrame::onCommand), never through a window handle that arrived in a message.
// Frames, labels and the status bar are native controls that report nothing.
class NativeControl {
 public:
  NativeControl() = default;
  NativeControl(const NativeControl&) = delete;
  NativeControl& operator=(const NativeControl&) = delete;
  virtual ~NativeControl() = default;

  HWND hwnd() const { return hwnd_; }
  int id() const { return id_; }
  void attach(HWND hwnd, int id) {
    hwnd_ = hwnd;
    id_ = id;
  }
  // The part the window logic drives; null for a control it does not.
  virtual platform::ControlBackend* backend() { return nullptr; }
  virtual void onCommand(WORD) {}

 private:
  HWND hwnd_ = nullptr;
  int id_ = 0;
};

class NativeCombo final : public platform::ComboBackend, public NativeControl {
 public:
  void connect(platform::ComboBox& owner) override { owner_ = &owner; }
  void setEnabled(bool enabled) override { EnableWindow(hwnd(), enabled); }
  platform::ControlBackend* backend() override { return this; }
  void onCommand(WORD code) override;
  void addItem(std::string_view text) override;
  void removeItem(int index) override;
  void select(int index, std::string_view text) override;
  void setText(std::string_view text) override;
  void setRedraw(bool on) override;
  HWND edit() const;

 private:
  void caretToEnd(std::size_t length);

  platform::ComboBox* owner_ = nullptr;
  bool redraw_ = true;
  // While the control is not redrawing, selections only take effect when it is turned back on:
  // a bulk load selects each new item in turn, and only the last one is ever seen.
  std::optional<int> pendingSelection_;
};

// Push buttons, check boxes and option buttons.
class NativeButton final : public platform::CheckBackend, public NativeControl {
 public:
  void connect(platform::ClickTarget& owner) override { owner_ = &owner; }
  void setEnabled(bool enabled) override { EnableWindow(hwnd(), enabled); }
  void setChecked(bool checked) override;
  platform::ControlBackend* backend() override { return this; }
  void onCommand(WORD code) override;

 private:
  platform::ClickTarget* owner_ = nullptr;
};

// A SetTimer timer of the host window; the host passes its WM_TIMER on by id.
class NativeTimer final : public platform::TimerBackend {
 public:
  NativeTimer(HWND host, UINT_PTR id) : host_(host), id_(id) {}
  ~NativeTimer() override { stop(); }
  NativeTimer(const NativeTimer&) = delete;
  NativeTimer& operator=(const NativeTimer&) = delete;

  UINT_PTR id() const { return id_; }
  // The window whose WM_TIMER it is, when that one is made after the timer.
  void setHost(HWND host) { host_ = host; }
  void connect(platform::Timer& owner) override { owner_ = &owner; }
  void start(uint32_t ms) override;
  void stop() override;
  // A WM_TIMER for this timer arrived.
  void elapsed();

 private:
  HWND host_;
  UINT_PTR id_;
  bool running_ = false;
  platform::Timer* owner_ = nullptr;
};

// Creates one child control of the kind given, styled as the main window uses it, with the
// native control that goes with it. Null when the system refuses.
std::unique_ptr<NativeControl> createControl(HWND parent, app::Kind kind, int id,
                                             const std::wstring& caption, bool startsGroup,
                                             const RECT& rect);

}  // namespace vorelo::win32
