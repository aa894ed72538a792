// Sending: starting and stopping a run, and the send tick with its time budget.
#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "app/main_window.h"
#include "base/utf.h"
#include "engine/key_string.h"
#include "engine/run_rules.h"

namespace vorelo::app {

namespace {

constexpr std::string_view kEmptyListMessage = "对话列表中没有内容！";
constexpr std::string_view kPowerOffComment = "设定时间到，Vorelo为你关机了！";
// The checked value of a check box; the engine tests for exactly this.
constexpr int kTicked = 1;
// Long messages are shortened in the error box to at most this many characters and lines,
// broken into lines no wider than kBoxLineWidth (a Chinese character counts twice), so the box
// stays on the screen. A fault further in is shown with up to kContextChars characters (and one
// line) before it.
constexpr std::size_t kQuotedMessageChars = 200;
constexpr std::size_t kQuotedLines = 12;
constexpr std::size_t kBoxLineWidth = 60;
constexpr std::size_t kContextChars = 80;

bool isWide(char32_t ch) {
  return ch >= 0x1100 && !(ch >= 0xA4D0 && ch < 0xAC00) && !(ch >= 0xD7A4 && ch < 0xF900) &&
         !(ch >= 0xFE70 && ch < 0xFF00) && !(ch >= 0xFF61 && ch < 0xFFE0);
}

bool isLineEnd(std::string_view text, std::size_t at) {
  // CR LF is one line end, counted at its LF.
  return text[at] == '\n' || (text[at] == '\r' && (at + 1 == text.size() || text[at + 1] != '\n'));
}

// Where the quote of a message starts: at its beginning when the fault lies in the part the box
// shows from there, otherwise a little before the fault, at the start of the line before it.
std::size_t quoteStart(std::string_view message, std::size_t fault) {
  std::size_t shown = utf::prefixBytes(message, kQuotedMessageChars);
  for (std::size_t at = 0, lines = 1; at < shown; ++at) {
    if (isLineEnd(message, at) && ++lines > kQuotedLines) shown = at;
  }
  if (fault < shown) return 0;
  std::size_t start = std::min(fault, message.size());
  for (std::size_t chars = 0, lineEnds = 0; start > 0 && chars < kContextChars; --start) {
    if (isLineEnd(message, start - 1) && ++lineEnds == 2) break;
    if ((static_cast<unsigned char>(message[start - 1]) & 0xC0) != 0x80) ++chars;
  }
  return start;
}

// The message as the box shows it, from `start`: at most kQuotedMessageChars characters and
// kQuotedLines lines, in lines a box can hold; "…" marks what is left out. The line breaks of the
// message itself stay.
std::string quoted(std::string_view message, std::size_t start) {
  const std::string_view shown = message.substr(start);
  std::string out = start > 0 ? "…" : "";
  std::size_t width = 0, chars = 0, lines = 1, pos = 0;
  while (pos < shown.size() && chars < kQuotedMessageChars) {
    const std::size_t at = pos;
    const char32_t ch = utf::nextCodePoint(shown, pos).value;
    ++chars;
    if (ch == U'\r' || ch == U'\n') {
      if (!isLineEnd(shown, at)) continue;
      if (++lines > kQuotedLines) break;
      out += '\n';
      width = 0;
      continue;
    }
    const std::size_t w = isWide(ch) ? 2 : 1;
    if (width + w > kBoxLineWidth) {
      out += '\n';
      width = 0;
    }
    utf::appendUtf8(out, ch);
    width += w;
  }
  return pos < shown.size() ? out + "…" : out;
}

std::string stoppedText(bool powerOffWanted) {
  return powerOffWanted ? "，已停止发送，也不会自动关机。\n\n" : "，已停止发送。\n\n";
}

// What the box says of a message that cannot be sent: which one (its place in the list, when
// it comes from the list), what became of the run, the message around the fault, and why.
std::string badMessageText(std::optional<int> position, std::optional<bool> powerOffWanted,
                           const std::string& message, const engine::ParseError& error) {
  std::string text = position ? "第 " + std::to_string(*position + 1) + " 条消息" : "这条消息";
  text +=
      powerOffWanted ? "无法发送" + stoppedText(*powerOffWanted) : "无法发送，没有开始发送：\n\n";
  return text + quoted(message, quoteStart(message, error.offset)) + "\n\n" +
         engine::describe(error);
}

// Why no chat can take the keys: what is in front instead (or, at 开始, the window the user was in
// last).
std::string noChatReason(const platform::StartChat& chat) {
  using platform::WindowKind;
  if (chat.remembered) {
    if (chat.kind == WindowKind::None) return "Vorelo 启动以后你还没有用过聊天窗口，或者它已经关闭";
    return "你上次用的窗口现在是" + std::string(platform::describe(chat.kind));
  }
  if (chat.kind == WindowKind::None) return "前台没有窗口（聊天窗口可能已关闭，或者屏幕已锁定）";
  return "前台是" + std::string(platform::describe(chat.kind));
}

constexpr std::string_view kNoChat = "没有可以接收消息的聊天窗口：";

// What the box says when 开始 (or F12) finds no chat to type into.
std::string noChatAtStartText(const platform::StartChat& chat) {
  return std::string(kNoChat) + noChatReason(chat) +
         "，没有开始发送。\n\n请先点一下聊天窗口的输入框，再点 Vorelo 的“开始”，或者在聊天窗口里按 "
         "F12。";
}

// What the box says when keys could not reach a chat: which window, what became of the run, and
// what to do.
std::string undeliveredText(const platform::Delivery& delivery, bool powerOffWanted) {
  using Outcome = platform::Delivery::Outcome;
  const std::string window = delivery.window.empty() ? "前台窗口" : "窗口“" + delivery.window + "”";
  constexpr std::string_view kAsAdministrator =
      "请先退出这个 Vorelo，再以管理员身份运行 Vorelo（右键点击 vorelo.exe，选择“以管理员身份"
      "运行”），然后重新开始发送。";
  switch (delivery.outcome) {
    case Outcome::NoChat: {
      const bool prompt = delivery.kind == platform::WindowKind::Prompt;
      return std::string(kNoChat) + noChatReason({0, delivery.kind, false}) + "，什么也没有输入" +
             (prompt ? "，也没有回答提示框" : "") + stoppedText(powerOffWanted) +
             "请点一下聊天窗口的输入框（屏幕锁定了就先解锁），然后重新开始发送。";
    }
    case Outcome::Blocked:
      return window + "以管理员身份运行，Vorelo 的按键无法送达" + stoppedText(powerOffWanted) +
             std::string(kAsAdministrator);
    case Outcome::Unverifiable:
      return window +
             "的权限无法读取（它可能属于另一个账户，或是受保护的程序），而这台电脑不向 Vorelo "
             "报告按键，无法确认按键能否送达，所以什么也没有输入" +
             stoppedText(powerOffWanted) + "请换一个聊天窗口，然后重新开始发送。";
    default:
      return "按键没有送达" + window + stoppedText(powerOffWanted) +
             "屏幕可能已锁定，或正显示系统提示（例如用户账户控制）：请解锁屏幕或关闭提示，然后重新"
             "开始"
             "发送。如果这个窗口以管理员身份运行，" +
             std::string(kAsAdministrator);
  }
}

bool pressesF12(std::span<const engine::KeyAction> actions) {
  return std::find(actions.begin(), actions.end(), engine::KeyAction::tap(engine::Key::F12)) !=
         actions.end();
}

}  // namespace

bool MainWindow::CheckMessagesBeforeRun(const engine::LayoutLookup& layout) {
  // Every message the run can type is read the way the tick will read it, so a bad one is found
  // now and not minutes later, while the user is away.
  const auto refuse = [&](std::optional<int> position, const std::string& message,
                          const engine::ParseError& error) {
    form.messageBox(badMessageText(position, std::nullopt, message, error));
    return false;
  };
  if (chkCycle.value() != kTicked) {
    const engine::ParseResult keys = engine::readMessage(comContent.text(), layout);
    return keys.ok() || refuse(std::nullopt, comContent.text(), *keys.error);
  }
  for (int i = 0; i < comContent.listCount(); ++i) {
    const engine::ParseResult keys = engine::readMessage(comContent.list(i), layout);
    if (!keys.ok()) return refuse(i, comContent.list(i), *keys.error);
  }
  return true;
}

void MainWindow::cmdBegin_Click() {
  startRefused_ = false;
  if (comContent.listCount() <= 0) {
    form.messageBox(kEmptyListMessage);
    return;
  }
  // A start during a run (F12) does only what a start does; the messages were checked when the
  // run began, and a box now would sit in front while the ticks type.
  const bool alreadySending = tmrSend.enabled();
  if (!alreadySending) {
    // The chat comes first: with none to type into (a prompt, File Explorer, the desktop in front,
    // or no chat since Vorelo started), nothing starts and the window stays as it is. Its keyboard
    // layout is the one the messages are checked in.
    auto& chats = toolkit.chats();
    const platform::StartChat chat = chats.toStartIn();
    if (chat.window == 0) form.messageBox(noChatAtStartText(chat));
    if (chat.window == 0 || !CheckMessagesBeforeRun(toolkit.system().layoutOf(chat.window))) {
      startRefused_ = true;
      return;
    }
    chats.setRunChat(chat.window);
    // Where the focus is, read before the controls are locked: a disabled control loses it.
    NoteFocusBeforeRun();
    runStartMs_ = RemainingMs;
  }
  // Enabling the timer while it already runs leaves its countdown alone.
  tmrSend.setEnabled(true);
  form.setIcon(platform::Icon::Sending);
  form.setProgress(RunProgress(platform::Progress::State::Running));
  LockControls();
  if (!alreadySending) form.focus(cmdStop);
  form.setState(platform::WindowState::Minimized);
}

void MainWindow::cmdStop_Click() {
  const bool wasSending = tmrSend.enabled();
  // A stop before the verdict on the last message: the time's end no longer waits for it.
  endOnVerdict_ = false;
  tmrSend.setEnabled(false);
  form.setIcon(platform::Icon::Idle);
  form.setProgress({});
  UnlockControls();
  if (wasSending) ReturnFocus();
  form.setState(platform::WindowState::Normal);
  // Shown again, the window gives the keyboard back only to the run's chat; then the run has none.
  toolkit.chats().setRunChat(0);
}

void MainWindow::NoteFocusBeforeRun() {
  // A window shown during the run has its focus where Enter or Space cannot end the program or
  // delete a message: on 停止. Afterwards the focus goes back where it was.
  focusBeforeRun_ = nullptr;
  for (platform::Control* control : tabOrder()) {
    if (form.hasFocus(*control)) {
      focusBeforeRun_ = control;
      break;
    }
  }
}

void MainWindow::ReturnFocus() {
  platform::Control* target = focusBeforeRun_;
  focusBeforeRun_ = nullptr;
  if (target == nullptr || !target->enabled()) {
    for (platform::Control* control : tabOrder()) {
      if (control->enabled()) {
        target = control;
        break;
      }
    }
  }
  if (target != nullptr) form.focus(*target);
}

void MainWindow::LockControls() {
  SetSettingsEnabled(false);
  cmdStop.setEnabled(true);
}

void MainWindow::UnlockControls() {
  // 停止 is left alone: it is enabled from the start and nothing disables it.
  SetSettingsEnabled(true);
}

void MainWindow::SetSettingsEnabled(bool enabled) {
  for (platform::Control* control : std::initializer_list<platform::Control*>{
           &comContent, &comInterval, &comTotalTime, &chkCycle, &cmdAdd, &cmdDel, &optSend[0],
           &optSend[1], &cmdBegin}) {
    control->setEnabled(enabled);
  }
}

void MainWindow::tmrSend_Timer() {
  // While the arrival of the last message is still awaited, no tick types: a refusal may yet come.
  if (toolkit.keys().verdictPending()) return;
  const TakeBack before{CycleIndex, RemainingMs};
  // The typing half. With one of this program's own windows in front (the user brought it back
  // during the run), the keys would go into Vorelo itself: nothing is typed, and the cycle stays
  // where it is. The budget is charged all the same: the duration is wall-clock time.
  // The window in front is looked at once a tick, and the message and its submit key go there.
  const platform::Front front = toolkit.chats().inFront();
  if (front.kind != platform::WindowKind::Ours) {
    const Typed typed = TypeNextMessage(front);
    if (typed == Typed::Stopped) return;
    // Counted as sent until the verdict says otherwise.
    if (typed == Typed::Pending) takeBack_ = before;
  }

  // The budget half: the interval is charged, and the run ends once the budget is below zero.
  RemainingMs = engine::chargeTick(RemainingMs, SendIntervalMs);
  form.setProgress(RunProgress(platform::Progress::State::Running));
  if (!engine::budgetUsedUp(RemainingMs)) return;
  // The end of the time, and a power-off, wait for the verdict on the last message.
  if (toolkit.keys().verdictPending()) {
    endOnVerdict_ = true;
    return;
  }
  EndOfTime();
}

void MainWindow::EndOfTime() {
  cmdStop_Click();
  // Two programs, in turn, each skipped when it fails to start: rundll.exe ends the session where
  // that old program exists (its launch fails elsewhere), shutdown.exe powers off after 30 s
  // with the notice.
  if (chkCut.value() == kTicked) {
    constexpr auto kShow = platform::ShowStyle::MinimisedWithFocus;
    auto& system = toolkit.system();
    system.launch(platform::Folder::Windows, "rundll.exe", "rundll.exe user.exe,exitwindows",
                  kShow);
    system.launch(platform::Folder::System, "shutdown.exe",
                  "shutdown -s -t 30 -c \"" + std::string(kPowerOffComment) + "\"", kShow);
  }
}

void MainWindow::Keys_Verdict(const platform::Delivery& verdict) {
  const bool end = std::exchange(endOnVerdict_, false);
  const std::optional<TakeBack> taken = std::exchange(takeBack_, std::nullopt);
  if (verdict.sent()) {
    if (end) EndOfTime();
    return;
  }
  // The message did not arrive: what it moved goes back (the next item, the budget, the progress)
  // and the run stops with the box of refused keys, without a power-off. A run already stopped
  // with a box of its own keeps that one.
  if (!taken) return;
  CycleIndex = taken->cycleIndex;
  RemainingMs = taken->remainingMs;
  StopOnError(undeliveredText(verdict, chkCut.value() == kTicked));
}

platform::Progress MainWindow::RunProgress(platform::Progress::State state) const {
  // A run begun on a budget already used up types one message: it is all done at once.
  const double used = runStartMs_ > 0 ? (runStartMs_ - RemainingMs) / runStartMs_ : 1.0;
  return {state, std::clamp(used, 0.0, 1.0)};
}

void MainWindow::StopOnError(const std::string& text) {
  // The taskbar button shows the error until the box saying why is closed.
  const platform::Progress progress = RunProgress(platform::Progress::State::Error);
  cmdStop_Click();
  HotkeyStartsNext = true;
  form.setProgress(progress);
  form.messageBox(text);
  form.setProgress({});
}

MainWindow::Typed MainWindow::TypeNextMessage(const platform::Front& front) {
  const bool cycling = chkCycle.value() == kTicked;
  std::string message;
  if (cycling) {
    // No tick ever types an empty message by accident after items were deleted while stopped.
    CycleIndex = engine::cyclePositionToRead(CycleIndex, comContent.listCount());
    if (comContent.listCount() > 0) message = comContent.list(CycleIndex);
  } else {
    message = comContent.text();
  }

  // Read in whole before anything is typed: a message that cannot be typed (the layout may
  // have changed since 开始 checked it) types nothing, not even the submit key, and ends the run
  // with a box saying why. The item stays next, where the user can find it.
  auto& chats = toolkit.chats();
  const engine::ParseResult keys = engine::readMessage(message, chats.keyLayout(front));
  if (!keys.ok()) {
    StopOnError(badMessageText(cycling ? std::optional<int>(CycleIndex) : std::nullopt,
                               chkCut.value() == kTicked, message, *keys.error));
    return Typed::Stopped;
  }
  // The two submit keys never change: they are read once.
  static const engine::ParseResult enter = engine::parseKeyString(engine::submitKeys(0));
  static const engine::ParseResult ctrlEnter = engine::parseKeyString(engine::submitKeys(1));
  const engine::ParseResult& submit = SubmitMode == 0 ? enter : ctrlEnter;
  // Keys that cannot reach the window in front (a program running as administrator, a locked
  // screen) end the run like 停止, with a box saying why: a run that types nothing must not go
  // on to power the computer off as if it had worked. The item stays next.
  auto& pipeline = toolkit.keys();
  platform::Delivery delivery = pipeline.send(keys.actions, front);
  if (delivery.sentOrPending()) {
    const platform::Delivery enterKey = pipeline.send(submit.actions, front);
    if (delivery.sent() || !enterKey.sent()) delivery = enterKey;
  }
  // The F12 this message pressed is Vorelo's own, not the user's.
  if (pressesF12(keys.actions)) ownHotkeyPressPending_ = true;
  if (!delivery.sentOrPending()) {
    StopOnError(undeliveredText(delivery, chkCut.value() == kTicked));
    return Typed::Stopped;
  }

  if (cycling) CycleIndex = engine::nextCyclePosition(CycleIndex, comContent.listCount());
  return delivery.sent() ? Typed::Sent : Typed::Pending;
}

}  // namespace vorelo::app
