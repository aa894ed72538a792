// In-memory controls and a virtual clock. A test acts as the user through these (type, pick,
// click) and reads back what the screen would show.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/toolkit.h"
#include "platform/controls.h"

namespace vorelo::fake {

class FakeTimer;
class FakeWindow;

// A control that takes the focus: disabled, it loses it, as a Windows control does.
struct Focusable {
  FakeWindow* window = nullptr;
  void disabled(platform::ControlBackend& self);
};

// Virtual time in milliseconds. Due timers fire in time order (ties in the order they were
// started), so a fifteen-minute run is simulated in microseconds.
class Clock {
 public:
  uint64_t now() const { return now_; }
  // Moves time forward by `ms`, firing every tick that falls due on the way.
  void advance(uint64_t ms);

 private:
  friend class FakeTimer;

  struct Entry {
    FakeTimer* timer;
    uint64_t due;
    uint64_t order;
  };
  void schedule(FakeTimer& timer, uint64_t due);
  void cancel(FakeTimer& timer);

  uint64_t now_ = 0;
  uint64_t nextOrder_ = 0;
  std::vector<Entry> entries_;
};

class FakeTimer final : public platform::TimerBackend {
 public:
  explicit FakeTimer(Clock& clock) : clock_(clock) {}
  ~FakeTimer() override { clock_.cancel(*this); }
  void connect(platform::Timer& owner) override { owner_ = &owner; }
  void start(uint32_t ms) override;
  void stop() override;
  bool running() const { return period_ != 0; }

 private:
  friend class Clock;
  void tick();

  Clock& clock_;
  platform::Timer* owner_ = nullptr;
  uint32_t period_ = 0;
};

class FakeCombo final : public platform::ComboBackend, public Focusable {
 public:
  void connect(platform::ComboBox& owner) override { owner_ = &owner; }
  void setEnabled(bool enabled) override {
    enabled_ = enabled;
    if (!enabled) disabled(*this);
  }
  void addItem(std::string_view text) override { items_.emplace_back(text); }
  void removeItem(int index) override;
  void select(int index, std::string_view text) override;
  void setText(std::string_view text) override { text_ = text; }
  void setRedraw(bool on) override;

  // Acting as the user: a person can only do this to an enabled control.
  void type(std::string_view characters);   // one keystroke per code point, each raising Change
  void replaceText(std::string_view text);  // select all and type
  void paste(std::string_view text);        // select all and paste: one Change
  void pick(int index);

  const std::string& shownText() const { return text_; }
  const std::vector<std::string>& shownItems() const { return items_; }
  int shownSelection() const { return selection_; }
  bool enabled() const { return enabled_; }
  int redrawOffCount() const { return redrawOffCount_; }
  bool redrawOn() const { return redraw_; }

 private:
  platform::ComboBox* owner_ = nullptr;
  std::vector<std::string> items_;
  std::string text_;
  int selection_ = -1;
  bool enabled_ = true;
  bool redraw_ = true;
  int redrawOffCount_ = 0;
};

class FakeCheck final : public platform::CheckBackend, public Focusable {
 public:
  void connect(platform::ClickTarget& owner) override { owner_ = &owner; }
  void setEnabled(bool enabled) override {
    enabled_ = enabled;
    if (!enabled) disabled(*this);
  }
  void setChecked(bool checked) override { checked_ = checked; }
  void click();
  bool checked() const { return checked_; }
  bool enabled() const { return enabled_; }

 private:
  platform::ClickTarget* owner_ = nullptr;
  bool checked_ = false;
  bool enabled_ = true;
};

class FakeButton final : public platform::ButtonBackend, public Focusable {
 public:
  void connect(platform::ClickTarget& owner) override { owner_ = &owner; }
  void setEnabled(bool enabled) override {
    enabled_ = enabled;
    if (!enabled) disabled(*this);
  }
  void click();
  bool enabled() const { return enabled_; }

 private:
  platform::ClickTarget* owner_ = nullptr;
  bool enabled_ = true;
};

class FakeWindow final : public platform::WindowBackend {
 public:
  void setCaption(std::string_view text) override { caption_ = text; }
  void setIcon(platform::Icon icon) override { icon_ = icon; }
  void setState(platform::WindowState state) override;
  platform::WindowState state() const override { return state_; }
  // A box of the window is in front while it is open; the window itself once the user
  // brought it there.
  bool inFront() const { return active_ || boxesOpen_ > 0; }
  void focus(platform::ControlBackend& control) override { focused_ = &control; }
  // A control that had the focus was disabled: nothing has it now.
  void dropFocus(const platform::ControlBackend& control) {
    if (focused_ == &control) focused_ = nullptr;
  }
  bool hasFocus(const platform::ControlBackend& control) const override {
    return focused_ == &control;
  }
  void setProgress(const platform::Progress& progress) override { progress_.push_back(progress); }
  void messageBox(std::string_view text) override;
  std::string inputBox(std::string_view prompt, std::string_view defaultText) override;
  void end() override { ended_ = true; }
  // What the taskbar button was asked to show, in order.
  const std::vector<platform::Progress>& progress() const { return progress_; }

  // The user minimises or restores the window; a minimised window is no longer in front.
  void userSetState(platform::WindowState state) {
    state_ = state;
    if (state == platform::WindowState::Minimized) active_ = false;
  }
  // The user brings the window to the front (its taskbar button, a click): it is shown and
  // active until it is minimised.
  void userActivate() {
    state_ = platform::WindowState::Normal;
    active_ = true;
  }
  // Answers for the next input boxes; without one the user accepts the default text.
  std::deque<std::string> inputAnswers;
  // Runs while a modal box is open, as events the box lets through would.
  std::function<void()> whileModal;

  const std::string& caption() const { return caption_; }
  platform::Icon icon() const { return icon_; }
  bool ended() const { return ended_; }
  const std::vector<std::string>& messages() const { return messages_; }
  const std::vector<std::string>& prompts() const { return prompts_; }
  // Times the window was minimised and shown again by the program.
  int minimizeCount() const { return minimizeCount_; }
  // The control with the focus (or where it goes when the window is activated); null before
  // anything was focused.
  const platform::ControlBackend* focused() const { return focused_; }
  int restoreCount() const { return restoreCount_; }

 private:
  std::string caption_;
  platform::Icon icon_ = platform::Icon::Idle;
  platform::WindowState state_ = platform::WindowState::Normal;
  bool ended_ = false;
  std::vector<std::string> messages_;
  std::vector<std::string> prompts_;
  std::vector<platform::Progress> progress_;
  int minimizeCount_ = 0;
  int restoreCount_ = 0;
  bool active_ = false;
  const platform::ControlBackend* focused_ = nullptr;
  int boxesOpen_ = 0;
};

// The operating system as the window logic sees it, in memory: files, programs started, the
// desktop's windows, the key state and the events injected.
class FakeSystem final : public platform::System {
 public:
  std::optional<platform::FileContent> readFile(std::string_view name) override;
  messages::CodePages codePages() override;
  bool launch(platform::Folder folder, std::string_view program, std::string_view commandLine,
              platform::ShowStyle show) override;
  platform::WindowFacts windowFacts(platform::WindowHandle window) override;
  platform::WindowHandle foregroundWindow() override;
  std::string captionOf(platform::WindowHandle) override { return caption; }
  engine::LayoutLookup layoutOf(platform::WindowHandle window) override;
  uint16_t asyncKeyState(int virtualKey) override;
  std::size_t injectKeys(std::span<const engine::KeyEvent> events, uint16_t batch) override;

  // The layout of the window the keys go to; a US layout when not set.
  engine::LayoutLookup layout;
  // The windows the layout was asked for, in order.
  std::vector<platform::WindowHandle> layoutQueries;
  // Every batch of keystrokes delivered, in order (FakeKeys records them).
  std::vector<std::vector<engine::KeyAction>> sent;

  // The desktop: its windows by handle (each one's facts name it), the one in front, and the
  // caption every window has. At first one chat is in front. Vorelo's own window is in front
  // while the fake window is active or one of its boxes is open.
  static constexpr platform::WindowHandle kChat = 1;
  static constexpr platform::WindowHandle kOurs = 100;
  std::map<platform::WindowHandle, platform::WindowFacts> windows{{kChat, {.handle = kChat}}};
  platform::WindowHandle foreground = kChat;
  std::string caption = "聊天窗口";
  const FakeWindow* ownWindow = nullptr;
  // Adds a window of another program (a chat, unless the test says more of it).
  platform::WindowFacts& addWindow(platform::WindowHandle handle, std::string windowClass = {});

  // How many events of each batch the system takes; all when not set.
  std::optional<std::size_t> acceptEvents;
  // The events the system took, in order, each one's mark, and the number of the last batch.
  std::vector<engine::KeyEvent> injected;
  std::vector<uint32_t> marks;
  uint16_t lastBatch = 0;
  // The events injected from `from` up to `to` (those injected so far) reach the key watch, in
  // order, as the system reports them.
  void deliver(platform::KeyPipeline& keys, std::size_t from, std::optional<std::size_t> to = {});
  // Answers for asyncKeyState(F12), one per query; 0 once they run out.
  std::deque<uint16_t> keyStates;
  // Queried key codes.
  std::vector<int> keyQueries;
  // The other keys the system's key state says are down.
  std::vector<uint16_t> keysDown;
  struct Launch {
    platform::Folder folder;
    std::string program;
    std::string commandLine;
    platform::ShowStyle show;
  };
  std::vector<Launch> launches;
  // Programs that fail to start.
  std::vector<std::string> missingPrograms;

  // Files by name; a missing name cannot be read.
  std::map<std::string, std::string, std::less<>> files;
  // Reading stops with an error after this many bytes.
  std::optional<std::size_t> readErrorAfter;
  // The system's and the user locale's code pages, and the conversion from a code page: each byte
  // to itself as Latin-1 unless replaced.
  uint32_t systemCodePage = messages::kGbkCodePage;
  uint32_t userCodePage = messages::kGbkCodePage;
  std::function<std::string(uint32_t codePage, std::string_view bytes)> decode;
  // Names of files read, in order.
  std::vector<std::string> reads;
};

// The real key pipeline, recording in FakeSystem::sent every batch it typed.
class FakeKeys final : public platform::KeyPipeline {
 public:
  FakeKeys(FakeSystem& system, platform::TimerBackend& pressBackTimer,
           platform::TimerBackend& verdictTimer)
      : KeyPipeline(system, pressBackTimer, verdictTimer), system_(system) {}
  platform::Delivery send(std::span<const engine::KeyAction> actions,
                          const platform::Front& target) override;

 private:
  FakeSystem& system_;
};

// Every backend of the main window, in memory.
class Toolkit final : public app::Toolkit {
 public:
  Toolkit();
  platform::ComboBackend& combo(app::Control control) override { return comboOf(control); }
  platform::CheckBackend& check(app::Control control) override { return checkOf(control); }
  platform::ButtonBackend& button(app::Control control) override { return buttonOf(control); }
  platform::TimerBackend& timer(app::TimerName name) override { return timerOf(name); }
  platform::WindowBackend& window() override { return window_; }
  platform::System& system() override { return system_; }
  platform::Chats& chats() override { return chats_; }
  platform::KeyPipeline& keys() override { return keys_; }

  FakeCombo& comboOf(app::Control control);
  FakeCheck& checkOf(app::Control control);
  FakeButton& buttonOf(app::Control control);
  FakeTimer& timerOf(app::TimerName name);
  FakeWindow& fakeWindow() { return window_; }
  FakeSystem& fakeSystem() { return system_; }
  // The key pipeline's timers, on the virtual clock.
  FakeTimer& pressBackTimer() { return pressBackTimer_; }
  FakeTimer& verdictTimer() { return verdictTimer_; }
  // The window comes to the front, and the system reports it.
  void bringToFront(platform::WindowHandle window);
  Clock& clock() { return clock_; }

 private:
  Clock clock_;
  FakeWindow window_;
  FakeSystem system_;
  platform::Chats chats_{system_};
  FakeTimer pressBackTimer_{clock_};
  FakeTimer verdictTimer_{clock_};
  FakeKeys keys_{system_, pressBackTimer_, verdictTimer_};
  std::map<app::Control, FakeCombo> combos_;
  std::map<app::Control, FakeCheck> checks_;
  std::map<app::Control, FakeButton> buttons_;
  std::map<app::TimerName, std::unique_ptr<FakeTimer>> timers_;
};

}  // namespace vorelo::fake
