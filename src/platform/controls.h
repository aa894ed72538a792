// Portable controls: the event rules the window logic relies on, written once over a backend.
//  - Setting ListIndex selects the item, copies it into the text field and raises Click
//    before returning.
//  - Setting Text raises Change before returning.
//  - A user edit raises Change and leaves ListIndex at -1; a user pick raises Click.
//  - A timer with Interval 0 never fires; enabling a running timer keeps its countdown.
// Windows itself does not notify a program of its own changes, so these rules cannot be left
// to the native controls.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "messages/list_rules.h"
#include "platform/backend.h"

namespace vorelo::platform {

// Handlers run synchronously, on the GUI thread, inside the call that raised them.
using Handler = std::function<void()>;

class OptionButton;

class Control {
 public:
  explicit Control(ControlBackend& backend) : backend_(backend) {}
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  bool enabled() const { return enabled_; }
  void setEnabled(bool enabled);
  ControlBackend& backend() const { return backend_; }

 private:
  ControlBackend& backend_;
  bool enabled_ = true;
};

class ComboBox : public Control {
 public:
  // The item count is a 16-bit signed number.
  static constexpr int kMaxItems = static_cast<int>(messages::kMaxItems);

  explicit ComboBox(ComboBackend& backend);

  Handler onClick;
  Handler onChange;

  int16_t listCount() const { return static_cast<int16_t>(items_.size()); }
  // Item i; throws std::out_of_range for a position that does not exist.
  const std::string& list(int index) const;
  int listIndex() const { return listIndex_; }
  // Selects item `index` (-1 clears the selection and the text), then raises Click.
  // Throws std::out_of_range for a position that does not exist.
  void setListIndex(int index);
  const std::string& text() const { return text_; }
  void setText(std::string_view text);
  // Appends an item; returns false (and changes nothing) when the list is full.
  bool addItem(std::string_view text);
  // Throws std::out_of_range for a position that does not exist.
  void removeItem(int index);
  // Brackets a bulk load: the control does not redraw in between.
  void beginUpdate();
  void endUpdate();

  // Reported by the backend.
  void userEdit(std::string_view text);
  void userPick(int index);

 private:
  ComboBackend& backend_;
  std::vector<std::string> items_;
  std::string text_;
  int listIndex_ = -1;
};

class CheckBox : public Control, public ClickTarget {
 public:
  explicit CheckBox(CheckBackend& backend);

  Handler onClick;

  // 0 clear, 1 ticked.
  int value() const { return value_; }
  void setValue(int value);

  // Reported by the backend: the user clicked the box.
  void userClick() override;

 private:
  CheckBackend& backend_;
  int value_ = 0;
};

// An option-button array; Click carries the index of the element selected.
class OptionGroup {
 public:
  std::function<void(int index)> onClick;

 private:
  friend class OptionButton;
  void select(int index);
  std::vector<OptionButton*> members_;
};

// One element of an option-button array; selecting it clears its siblings.
class OptionButton : public Control, public ClickTarget {
 public:
  OptionButton(CheckBackend& backend, OptionGroup& group, int index);

  bool value() const { return value_; }
  // Setting true selects this element, clears its siblings and raises the group's Click.
  void setValue(bool value);

  // Reported by the backend.
  void userClick() override;

 private:
  friend class OptionGroup;
  void show(bool value);

  CheckBackend& backend_;
  OptionGroup& group_;
  int index_;
  bool value_ = false;
};

class Button : public Control, public ClickTarget {
 public:
  explicit Button(ButtonBackend& backend);

  Handler onClick;

  // Reported by the backend. A disabled button cannot be clicked.
  void userClick() override;
};

class Timer {
 public:
  explicit Timer(TimerBackend& backend);
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;

  Handler onTimer;

  uint32_t interval() const { return interval_; }
  // Whole milliseconds; 0 means the timer never fires. A new period restarts the countdown
  // of a running timer; the same period leaves it alone.
  void setInterval(uint32_t ms);
  bool enabled() const { return enabled_; }
  // Enabling a running timer leaves its countdown alone.
  void setEnabled(bool enabled);

  // Reported by the backend when a period has passed.
  void fire();

 private:
  void apply();

  TimerBackend& backend_;
  uint32_t interval_ = 0;
  bool enabled_ = false;
  bool running_ = false;
};

// The window itself: caption, icon, state, and the modal dialogs it owns.
class Window {
 public:
  explicit Window(WindowBackend& backend) : backend_(backend) {}

  const std::string& caption() const { return caption_; }
  void setCaption(std::string_view text);
  Icon icon() const { return icon_; }
  void setIcon(Icon icon);
  WindowState state() const { return backend_.state(); }
  void setState(WindowState state) { backend_.setState(state); }
  void setProgress(const Progress& progress) { backend_.setProgress(progress); }
  void focus(Control& control) { backend_.focus(control.backend()); }
  bool hasFocus(const Control& control) const { return backend_.hasFocus(control.backend()); }

  void messageBox(std::string_view text);
  std::string inputBox(std::string_view prompt, std::string_view defaultText);
  // True while a message box or input box of this window is open.
  bool inModal() const { return modalDepth_ > 0; }
  void end() { backend_.end(); }

 private:
  WindowBackend& backend_;
  std::string caption_;
  Icon icon_ = Icon::Idle;
  int modalDepth_ = 0;
};

}  // namespace vorelo::platform
