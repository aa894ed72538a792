#include "platform/controls.h"

#include <stdexcept>

namespace vorelo::platform {

namespace {

void raise(const Handler& handler) {
  if (handler) handler();
}

void checkPosition(int index, std::size_t count) {
  if (index < 0 || static_cast<std::size_t>(index) >= count) {
    throw std::out_of_range("no list item at this position");
  }
}

}  // namespace

void Control::setEnabled(bool enabled) {
  enabled_ = enabled;
  backend_.setEnabled(enabled);
}

ComboBox::ComboBox(ComboBackend& backend) : Control(backend), backend_(backend) {
  backend_.connect(*this);
}

const std::string& ComboBox::list(int index) const {
  checkPosition(index, items_.size());
  return items_[static_cast<std::size_t>(index)];
}

void ComboBox::setListIndex(int index) {
  if (index != -1) checkPosition(index, items_.size());
  listIndex_ = index;
  text_ = index == -1 ? std::string() : items_[static_cast<std::size_t>(index)];
  backend_.select(index, text_);
  raise(onClick);
}

void ComboBox::setText(std::string_view text) {
  text_ = text;
  backend_.setText(text_);
  raise(onChange);
}

bool ComboBox::addItem(std::string_view text) {
  if (items_.size() >= static_cast<std::size_t>(kMaxItems)) return false;
  items_.emplace_back(text);
  backend_.addItem(text);
  return true;
}

void ComboBox::removeItem(int index) {
  checkPosition(index, items_.size());
  items_.erase(items_.begin() + index);
  backend_.removeItem(index);
  // The field keeps its text; the selection follows the item it pointed at.
  if (listIndex_ == index) {
    listIndex_ = -1;
  } else if (listIndex_ > index) {
    --listIndex_;
  }
}

void ComboBox::beginUpdate() {
  backend_.setRedraw(false);
}
void ComboBox::endUpdate() {
  backend_.setRedraw(true);
}

void ComboBox::userEdit(std::string_view text) {
  if (!enabled()) return;
  text_ = text;
  listIndex_ = -1;
  raise(onChange);
}

void ComboBox::userPick(int index) {
  if (!enabled() || index < 0 || static_cast<std::size_t>(index) >= items_.size()) return;
  listIndex_ = index;
  text_ = items_[static_cast<std::size_t>(index)];
  raise(onClick);
}

CheckBox::CheckBox(CheckBackend& backend) : Control(backend), backend_(backend) {
  backend_.connect(*this);
}

void CheckBox::setValue(int value) {
  const int v = value == 1 ? 1 : 0;
  if (v == value_) return;
  value_ = v;
  backend_.setChecked(v == 1);
  raise(onClick);
}

void CheckBox::userClick() {
  if (!enabled()) return;
  value_ = value_ == 1 ? 0 : 1;
  // The native box may or may not have flipped itself; make it show our value.
  backend_.setChecked(value_ == 1);
  raise(onClick);
}

OptionButton::OptionButton(CheckBackend& backend, OptionGroup& group, int index)
    : Control(backend), backend_(backend), group_(group), index_(index) {
  group_.members_.push_back(this);
  backend_.connect(*this);
}

void OptionButton::setValue(bool value) {
  if (value) {
    group_.select(index_);
  } else {
    show(false);
  }
}

void OptionButton::userClick() {
  if (enabled()) group_.select(index_);
}

void OptionButton::show(bool value) {
  value_ = value;
  backend_.setChecked(value);
}

void OptionGroup::select(int index) {
  for (OptionButton* member : members_) member->show(member->index_ == index);
  if (onClick) onClick(index);
}

Button::Button(ButtonBackend& backend) : Control(backend) {
  backend.connect(*this);
}

void Button::userClick() {
  if (enabled()) raise(onClick);
}

Timer::Timer(TimerBackend& backend) : backend_(backend) {
  backend_.connect(*this);
}

void Timer::setInterval(uint32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  if (running_) {
    backend_.stop();
    running_ = false;
  }
  apply();
}

void Timer::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  apply();
}

void Timer::apply() {
  const bool wanted = enabled_ && interval_ > 0;
  if (wanted && !running_) {
    backend_.start(interval_);
    running_ = true;
  } else if (!wanted && running_) {
    backend_.stop();
    running_ = false;
  }
}

void Timer::fire() {
  // A tick already queued when the timer was stopped is dropped here.
  if (running_) raise(onTimer);
}

void Window::setCaption(std::string_view text) {
  caption_ = text;
  backend_.setCaption(caption_);
}

void Window::setIcon(Icon icon) {
  icon_ = icon;
  backend_.setIcon(icon);
}

namespace {
struct ModalScope {
  explicit ModalScope(int& depth) : depth_(depth) { ++depth_; }
  ~ModalScope() { --depth_; }
  ModalScope(const ModalScope&) = delete;
  ModalScope& operator=(const ModalScope&) = delete;
  int& depth_;
};
}  // namespace

void Window::messageBox(std::string_view text) {
  ModalScope scope(modalDepth_);
  backend_.messageBox(text);
}

std::string Window::inputBox(std::string_view prompt, std::string_view defaultText) {
  ModalScope scope(modalDepth_);
  return backend_.inputBox(prompt, defaultText);
}

}  // namespace vorelo::platform
