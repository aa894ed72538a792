#include "support/fake_toolkit.h"

#include <algorithm>

#include "base/utf.h"

namespace vorelo::fake {

void Clock::advance(uint64_t ms) {
  const uint64_t target = now_ + ms;
  for (;;) {
    auto next =
        std::min_element(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
          return a.due != b.due ? a.due < b.due : a.order < b.order;
        });
    if (next == entries_.end() || next->due > target) break;
    FakeTimer* timer = next->timer;
    now_ = next->due;
    entries_.erase(next);
    timer->tick();
  }
  // A handler may have moved time on by itself (a modal box that lets events through).
  now_ = std::max(now_, target);
}

void Clock::schedule(FakeTimer& timer, uint64_t due) {
  cancel(timer);
  entries_.push_back({&timer, due, nextOrder_++});
}

void Clock::cancel(FakeTimer& timer) {
  std::erase_if(entries_, [&timer](const Entry& e) { return e.timer == &timer; });
}

void FakeTimer::start(uint32_t ms) {
  period_ = ms;
  clock_.schedule(*this, clock_.now() + ms);
}

void FakeTimer::stop() {
  period_ = 0;
  clock_.cancel(*this);
}

void FakeTimer::tick() {
  // The next tick is due one period after this one, whatever the handler takes; a handler
  // that stops the timer cancels it again.
  clock_.schedule(*this, clock_.now() + period_);
  if (owner_ != nullptr) owner_->fire();
}

void FakeCombo::removeItem(int index) {
  items_.erase(items_.begin() + index);
  if (selection_ == index) {
    selection_ = -1;
  } else if (selection_ > index) {
    --selection_;
  }
}

void FakeCombo::select(int index, std::string_view text) {
  selection_ = index;
  text_ = text;
}

void FakeCombo::setRedraw(bool on) {
  if (!on) ++redrawOffCount_;
  redraw_ = on;
}

void FakeCombo::type(std::string_view characters) {
  utf::forEachCodePoint(characters, [this](char32_t cp) {
    if (!enabled_) return;
    utf::appendUtf8(text_, cp);
    owner_->userEdit(text_);
  });
}

void FakeCombo::replaceText(std::string_view text) {
  if (!enabled_) return;
  text_.clear();
  if (text.empty()) {
    owner_->userEdit(text_);
    return;
  }
  type(text);
}

void FakeCombo::paste(std::string_view text) {
  if (!enabled_) return;
  text_ = text;
  owner_->userEdit(text_);
}

void FakeCombo::pick(int index) {
  if (!enabled_ || index < 0 || static_cast<std::size_t>(index) >= items_.size()) return;
  selection_ = index;
  text_ = items_[static_cast<std::size_t>(index)];
  owner_->userPick(index);
}

void FakeCheck::click() {
  if (enabled_ && owner_ != nullptr) owner_->userClick();
}

void FakeButton::click() {
  if (enabled_ && owner_ != nullptr) owner_->userClick();
}

void FakeWindow::setState(platform::WindowState state) {
  if (state == platform::WindowState::Minimized) {
    ++minimizeCount_;
  } else {
    ++restoreCount_;
  }
  state_ = state;
}

void FakeWindow::messageBox(std::string_view text) {
  messages_.emplace_back(text);
  if (whileModal) whileModal();
}

std::string FakeWindow::inputBox(std::string_view prompt, std::string_view defaultText) {
  prompts_.emplace_back(prompt);
  if (whileModal) whileModal();
  if (inputAnswers.empty()) return std::string(defaultText);
  std::string answer = std::move(inputAnswers.front());
  inputAnswers.pop_front();
  return answer;
}

std::optional<std::string> FakeSystem::readFile(std::string_view name) {
  reads.emplace_back(name);
  const auto found = files.find(name);
  if (found == files.end()) return std::nullopt;
  return found->second;
}

std::string FakeSystem::ansiToUtf8(std::string_view bytes) {
  if (ansi) return ansi(bytes);
  std::string out;
  for (const char c : bytes) utf::appendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

bool FakeSystem::sendKeys(std::span<const engine::KeyAction> actions) {
  if (!acceptKeys) return false;
  sent.emplace_back(actions.begin(), actions.end());
  return true;
}

uint16_t FakeSystem::asyncKeyState(int virtualKey) {
  keyQueries.push_back(virtualKey);
  if (keyStates.empty()) return 0;
  const uint16_t state = keyStates.front();
  keyStates.pop_front();
  return state;
}

bool FakeSystem::launch(platform::Folder folder, std::string_view program,
                        std::string_view commandLine, int windowStyle) {
  if (std::find(missingPrograms.begin(), missingPrograms.end(), program) != missingPrograms.end()) {
    return false;
  }
  launches.push_back({folder, std::string(program), std::string(commandLine), windowStyle});
  return true;
}

Toolkit::Toolkit() {
  using app::Control;
  for (Control c : {Control::comContent, Control::comInterval, Control::comTotalTime}) {
    combos_[c];
  }
  for (Control c : {Control::chkCycle, Control::chkCut, Control::optSend0, Control::optSend1}) {
    checks_[c];
  }
  for (Control c :
       {Control::cmdBegin, Control::cmdStop, Control::cmdExit, Control::cmdAdd, Control::cmdDel}) {
    buttons_[c];
  }
  for (app::TimerName t : {app::TimerName::tmrWatch, app::TimerName::tmrSend}) {
    timers_[t] = std::make_unique<FakeTimer>(clock_);
  }
}

FakeCombo& Toolkit::comboOf(app::Control control) {
  return combos_.at(control);
}
FakeCheck& Toolkit::checkOf(app::Control control) {
  return checks_.at(control);
}
FakeButton& Toolkit::buttonOf(app::Control control) {
  return buttons_.at(control);
}
FakeTimer& Toolkit::timerOf(app::TimerName name) {
  return *timers_.at(name);
}

}  // namespace vorelo::fake
