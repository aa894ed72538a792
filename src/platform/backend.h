// What the portable controls need from a native toolkit. A backend does the native thing and
// reports what the user did; it never reports the program's own changes. The event rules
// (which change raises Click or Change, and when) live in the portable classes above it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vorelo::platform {

class ComboBox;
class Timer;

// Buttons, check boxes and option buttons: the user clicked it.
class ClickTarget {
 public:
  virtual void userClick() = 0;

 protected:
  ~ClickTarget() = default;
};

class ControlBackend {
 public:
  virtual ~ControlBackend() = default;
  virtual void setEnabled(bool enabled) = 0;
};

class ComboBackend : public ControlBackend {
 public:
  // The control to tell about user edits and picks.
  virtual void connect(ComboBox& owner) = 0;
  virtual void addItem(std::string_view text) = 0;
  virtual void removeItem(int index) = 0;
  // Selects `index` (-1: none) and shows `text` in the field, caret at the end.
  virtual void select(int index, std::string_view text) = 0;
  // Replaces the field's text, caret at the end, leaving the item selection alone.
  virtual void setText(std::string_view text) = 0;
  // Off while many items are added, so the control does not redraw after each one.
  virtual void setRedraw(bool on) = 0;
};

class ButtonBackend : public ControlBackend {
 public:
  virtual void connect(ClickTarget& owner) = 0;
};

// Check boxes and option buttons.
class CheckBackend : public ButtonBackend {
 public:
  virtual void setChecked(bool checked) = 0;
};

class TimerBackend {
 public:
  virtual ~TimerBackend() = default;
  virtual void connect(Timer& owner) = 0;
  // (Re)starts the countdown: the first tick comes `ms` milliseconds from now.
  virtual void start(uint32_t ms) = 0;
  virtual void stop() = 0;
};

enum class Icon : uint8_t { Idle, Sending };
enum class WindowState : uint8_t { Normal = 0, Minimized = 1 };

// What the window's taskbar button shows of a run: nothing, how much of it is done (0 to 1), or
// that it stopped on an error.
struct Progress {
  enum class State : uint8_t { None, Running, Error };
  State state = State::None;
  double done = 0;
  friend bool operator==(const Progress&, const Progress&) = default;
};

class WindowBackend {
 public:
  virtual ~WindowBackend() = default;
  virtual void setCaption(std::string_view text) = 0;
  virtual void setIcon(Icon icon) = 0;
  // Minimised lets another application's window become active. Normal shows the window again
  // without taking the keyboard focus, so keys already queued for another window still reach it.
  virtual void setState(WindowState state) = 0;
  virtual WindowState state() const = 0;
  // Puts the keyboard focus on `control`. A window that is not active is not activated by
  // this: the control is where the focus goes when the user activates the window.
  virtual void focus(ControlBackend& control) = 0;
  // `control` has the focus, or is where the focus goes when the window is activated.
  virtual bool hasFocus(const ControlBackend& control) const = 0;
  // Shown where the system offers it (the taskbar button); nothing happens elsewhere.
  virtual void setProgress(const Progress& progress) = 0;
  // Modal; information icon, one OK button, the application title as caption.
  virtual void messageBox(std::string_view text) = 0;
  // Modal; returns the text as edited, or "" when the user cancels.
  virtual std::string inputBox(std::string_view prompt, std::string_view defaultText) = 0;
  // Closes the window and ends the process at once, without further events.
  virtual void end() = 0;
};

}  // namespace vorelo::platform
