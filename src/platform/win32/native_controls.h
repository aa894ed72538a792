// Real Windows controls behind the portable ones. They do the native thing and report only
// what the user did: Windows sends no CBN_EDITCHANGE for WM_SETTEXT and no CBN_SELCHANGE for
// CB_SETCURSEL, so every notification that arrives here comes from the user.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "platform/backend.h"
#include "platform/controls.h"

namespace vorelo::win32 {

// A child window that reacts to the WM_COMMAND notifications its parent receives for it.
class NativeControl {
 public:
  NativeControl() = default;
  NativeControl(const NativeControl&) = delete;
  NativeControl& operator=(const NativeControl&) = delete;

  HWND hwnd() const { return hwnd_; }
  // Ties the control to its window; the parent finds it again through fromWindow().
  void attach(HWND hwnd);
  static NativeControl* fromWindow(HWND hwnd);
  // Routes a WM_COMMAND received by the parent; returns false when it is not for a control.
  static bool dispatchCommand(WPARAM wParam, LPARAM lParam);

 protected:
  ~NativeControl() = default;
  virtual void onCommand(WORD code) = 0;

 private:
  HWND hwnd_ = nullptr;
};

class NativeCombo final : public platform::ComboBackend, public NativeControl {
 public:
  void connect(platform::ComboBox& owner) override { owner_ = &owner; }
  void setEnabled(bool enabled) override { EnableWindow(hwnd(), enabled); }
  void addItem(std::string_view text) override;
  void removeItem(int index) override;
  void select(int index, std::string_view text) override;
  void setText(std::string_view text) override;
  void setRedraw(bool on) override;
  HWND edit() const;

 private:
  void onCommand(WORD code) override;
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

 private:
  void onCommand(WORD code) override;

  platform::ClickTarget* owner_ = nullptr;
};

class NativeTimer final : public platform::TimerBackend {
 public:
  explicit NativeTimer(HWND host);
  ~NativeTimer() override;
  NativeTimer(const NativeTimer&) = delete;
  NativeTimer& operator=(const NativeTimer&) = delete;

  void connect(platform::Timer& owner) override { owner_ = &owner; }
  void start(uint32_t ms) override;
  void stop() override;
  // Routes a WM_TIMER received by the host window; returns false for an unknown timer.
  static bool dispatch(HWND host, UINT_PTR id);

 private:
  HWND host_;
  UINT_PTR id_;
  bool running_ = false;
  platform::Timer* owner_ = nullptr;
};

}  // namespace vorelo::win32
