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

void Focusable::disabled(platform::ControlBackend& self) {
  if (window != nullptr) window->dropFocus(self);
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
    active_ = false;
  } else {
    ++restoreCount_;
  }
  state_ = state;
}

void FakeWindow::messageBox(std::string_view text) {
  messages_.emplace_back(text);
  ++boxesOpen_;
  if (whileModal) whileModal();
  --boxesOpen_;
}

std::string FakeWindow::inputBox(std::string_view prompt, std::string_view defaultText) {
  prompts_.emplace_back(prompt);
  ++boxesOpen_;
  if (whileModal) whileModal();
  --boxesOpen_;
  if (inputAnswers.empty()) return std::string(defaultText);
  std::string answer = std::move(inputAnswers.front());
  inputAnswers.pop_front();
  return answer;
}

std::optional<platform::FileContent> FakeSystem::readFile(std::string_view name) {
  reads.emplace_back(name);
  const auto found = files.find(name);
  if (found == files.end()) return std::nullopt;
  if (readErrorAfter && *readErrorAfter < found->second.size()) {
    return platform::FileContent{found->second.substr(0, *readErrorAfter),
                                 messages::FileEnd::ReadError};
  }
  return platform::FileContent{found->second};
}

messages::CodePages FakeSystem::codePages() {
  if (decode) return {systemCodePage, userCodePage, decode};
  return {systemCodePage, userCodePage, [](uint32_t, std::string_view bytes) {
            std::string out;
            for (const char c : bytes) utf::appendUtf8(out, static_cast<unsigned char>(c));
            return out;
          }};
}

platform::Delivery FakeKeys::send(std::span<const engine::KeyAction> actions,
                                  const platform::Front& target) {
  platform::Delivery delivery = KeyPipeline::send(actions, target);
  if (delivery.sentOrPending()) system_.sent.emplace_back(actions.begin(), actions.end());
  return delivery;
}

std::size_t FakeSystem::injectKeys(std::span<const engine::KeyEvent> events, uint16_t batch) {
  const std::size_t taken = std::min(events.size(), acceptEvents.value_or(events.size()));
  injected.insert(injected.end(), events.begin(),
                  events.begin() + static_cast<std::ptrdiff_t>(taken));
  for (std::size_t i = 0; i < taken; ++i) {
    marks.push_back(engine::ownKeyMark(batch, i + 1 == events.size()));
  }
  lastBatch = batch;
  return taken;
}

void FakeSystem::deliver(platform::KeyPipeline& keys, std::size_t from,
                         std::optional<std::size_t> to) {
  constexpr uint16_t kPacket = 0xE7;  // how a Unicode packet is reported
  const std::size_t end = std::min(to.value_or(injected.size()), injected.size());
  for (std::size_t i = from; i < end; ++i) {
    const engine::KeyEvent e = injected[i];
    keys.observeKey({e.unicode ? kPacket : e.vk, e.up, marks[i]});
  }
}

namespace {

std::optional<engine::LayoutKey> usLayoutKey(char32_t ch) {
  // A US layout: letters, digits and the symbols of the main block.
  constexpr uint8_t kShift = 1;
  if (ch >= U'a' && ch <= U'z') return engine::LayoutKey{static_cast<uint16_t>(ch - U'a' + 'A'), 0};
  if (ch >= U'A' && ch <= U'Z') return engine::LayoutKey{static_cast<uint16_t>(ch), kShift};
  if (ch >= U'0' && ch <= U'9') return engine::LayoutKey{static_cast<uint16_t>(ch), 0};
  constexpr std::u32string_view kPlain = U" `-=[]\\;',./";
  constexpr std::u32string_view kShifted = U" ~_+{}|:\"<>?";
  constexpr uint16_t kKeys[] = {0x20, 0xC0, 0xBD, 0xBB, 0xDB, 0xDD,
                                0xDC, 0xBA, 0xDE, 0xBC, 0xBE, 0xBF};
  if (const auto at = kPlain.find(ch); at != std::u32string_view::npos) {
    return engine::LayoutKey{kKeys[at], 0};
  }
  if (const auto at = kShifted.find(ch); at != std::u32string_view::npos && at > 0) {
    return engine::LayoutKey{kKeys[at], kShift};
  }
  constexpr std::u32string_view kShiftedDigits = U")!@#$%^&*(";
  if (const auto at = kShiftedDigits.find(ch); at != std::u32string_view::npos) {
    return engine::LayoutKey{static_cast<uint16_t>('0' + at), kShift};
  }
  return std::nullopt;
}

}  // namespace

engine::LayoutLookup FakeSystem::layoutOf(platform::WindowHandle window) {
  layoutQueries.push_back(window);
  if (layout) return layout;
  return usLayoutKey;
}

platform::WindowFacts FakeSystem::windowFacts(platform::WindowHandle window) {
  const auto found = windows.find(window);
  if (found != windows.end()) return found->second;
  if (window == kOurs) return {.handle = kOurs, .ours = true};
  return {};
}

platform::WindowHandle FakeSystem::foregroundWindow() {
  return ownWindow != nullptr && ownWindow->inFront() ? kOurs : foreground;
}

platform::WindowFacts& FakeSystem::addWindow(platform::WindowHandle handle,
                                             std::string windowClass) {
  platform::WindowFacts& facts = windows[handle];
  facts = {.handle = handle, .windowClass = std::move(windowClass)};
  return facts;
}

void Toolkit::bringToFront(platform::WindowHandle window) {
  system_.foreground = window;
  chats_.noteForeground(window);
}

uint16_t FakeSystem::asyncKeyState(int virtualKey) {
  keyQueries.push_back(virtualKey);
  if (virtualKey != engine::vk::F12) {
    const bool down = std::find(keysDown.begin(), keysDown.end(), virtualKey) != keysDown.end();
    return down ? 0x8000 : 0;
  }
  if (keyStates.empty()) return 0;
  const uint16_t state = keyStates.front();
  keyStates.pop_front();
  return state;
}

bool FakeSystem::launch(platform::Folder folder, std::string_view program,
                        std::string_view commandLine, platform::ShowStyle show) {
  if (std::find(missingPrograms.begin(), missingPrograms.end(), program) != missingPrograms.end()) {
    return false;
  }
  launches.push_back({folder, std::string(program), std::string(commandLine), show});
  return true;
}

Toolkit::Toolkit() {
  using app::Control;
  system_.ownWindow = &window_;
  for (Control c : {Control::comContent, Control::comInterval, Control::comTotalTime}) {
    combos_[c].window = &window_;
  }
  for (Control c : {Control::chkCycle, Control::chkCut, Control::optSend0, Control::optSend1}) {
    checks_[c].window = &window_;
  }
  for (Control c :
       {Control::cmdBegin, Control::cmdStop, Control::cmdExit, Control::cmdAdd, Control::cmdDel}) {
    buttons_[c].window = &window_;
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
