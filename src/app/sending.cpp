// Sending: starting and stopping a run, and the send tick with its time budget.
#include <optional>
#include <string>

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
// Long messages are shortened in the error box so the box stays on the screen.
constexpr std::size_t kQuotedMessageChars = 200;

std::string quoted(const std::string& message) {
  const std::size_t cut = utf::prefixBytes(message, kQuotedMessageChars);
  if (cut == message.size()) return message;
  return message.substr(0, cut) + "…";
}

// What the box says of a message that cannot be sent: which one (its place in the list, when
// it comes from the list), what became of the run, the message, and why.
std::string badMessageText(std::optional<int> position, bool runStopped, const std::string& message,
                           const engine::ParseError& error) {
  std::string text = position ? "第 " + std::to_string(*position + 1) + " 条消息" : "这条消息";
  text += runStopped ? "无法发送，已停止发送：\n\n" : "无法发送，没有开始发送：\n\n";
  return text + quoted(message) + "\n\n" + engine::describe(error);
}

}  // namespace

engine::LayoutLookup MainWindow::focusedLayout() {
  return [this](char32_t ch) { return toolkit.system().layoutKey(ch); };
}

bool MainWindow::CheckMessagesBeforeRun() {
  // Every message the run can type is read the way the tick will read it, so a bad one is found
  // now and not minutes later, while the user is away.
  const engine::LayoutLookup layout = focusedLayout();
  const auto refuse = [&](std::optional<int> position, const std::string& message,
                          const engine::ParseError& error) {
    form.messageBox(badMessageText(position, false, message, error));
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
  if (comContent.listCount() <= 0) {
    form.messageBox(kEmptyListMessage);
    return;
  }
  if (!CheckMessagesBeforeRun()) return;
  const bool alreadySending = tmrSend.enabled();
  // Enabling the timer while it already runs leaves its countdown alone.
  tmrSend.setEnabled(true);
  form.setIcon(platform::Icon::Sending);
  LockControls();
  if (!alreadySending) HoldFocusOnStop();
  form.setState(platform::WindowState::Minimized);
}

void MainWindow::cmdStop_Click() {
  const bool wasSending = tmrSend.enabled();
  tmrSend.setEnabled(false);
  form.setIcon(platform::Icon::Idle);
  UnlockControls();
  if (wasSending) ReturnFocus();
  form.setState(platform::WindowState::Normal);
}

void MainWindow::HoldFocusOnStop() {
  focusBeforeRun_ = nullptr;
  for (platform::Control* control : tabOrder()) {
    if (form.hasFocus(*control)) {
      focusBeforeRun_ = control;
      break;
    }
  }
  // A window shown during the run then has its focus where Enter or Space cannot end the
  // program: on 停止, not on 退出.
  form.focus(cmdStop);
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
  comContent.setEnabled(false);
  comInterval.setEnabled(false);
  comTotalTime.setEnabled(false);
  chkCycle.setEnabled(false);
  cmdAdd.setEnabled(false);
  cmdDel.setEnabled(false);
  optSend[0].setEnabled(false);
  optSend[1].setEnabled(false);
  cmdBegin.setEnabled(false);
  cmdStop.setEnabled(true);
}

void MainWindow::UnlockControls() {
  // 停止 is left alone: it is enabled from the start and nothing disables it.
  comContent.setEnabled(true);
  comInterval.setEnabled(true);
  comTotalTime.setEnabled(true);
  chkCycle.setEnabled(true);
  cmdAdd.setEnabled(true);
  cmdDel.setEnabled(true);
  optSend[0].setEnabled(true);
  optSend[1].setEnabled(true);
  cmdBegin.setEnabled(true);
}

void MainWindow::tmrSend_Timer() {
  // The typing half. With one of this program's own windows in front (the user brought it back
  // during the run), the keys would go into Vorelo itself: nothing is typed, and the cycle stays
  // where it is. The budget is charged all the same: the duration is wall-clock time.
  if (!form.ownsForeground() && !TypeNextMessage()) return;

  // The budget half. Each statement that fails is skipped and the next one runs.
  RemainingMs = engine::chargeTick(RemainingMs, SendIntervalMs);
  if (engine::budgetUsedUp(RemainingMs)) {
    cmdStop_Click();
    // A power-off program that fails to start is skipped; the next one still runs.
    if (chkCut.value() == kTicked) {
      constexpr int kMinimizedWithFocus = 2;
      auto& system = toolkit.system();
      system.launch(platform::Folder::Windows, "rundll.exe", "rundll.exe user.exe,exitwindows",
                    kMinimizedWithFocus);
      system.launch(platform::Folder::System, "shutdown.exe",
                    "shutdown -s -t 30 -c \"" + std::string(kPowerOffComment) + "\"",
                    kMinimizedWithFocus);
    }
  }
}

bool MainWindow::TypeNextMessage() {
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
  const engine::ParseResult keys = engine::readMessage(message, focusedLayout());
  if (!keys.ok()) {
    cmdStop_Click();
    form.messageBox(badMessageText(cycling ? std::optional<int>(CycleIndex) : std::nullopt, true,
                                   message, *keys.error));
    return false;
  }
  // The two submit keys never change: they are read once.
  static const engine::ParseResult enter = engine::parseKeyString(engine::submitKeys(0));
  static const engine::ParseResult ctrlEnter = engine::parseKeyString(engine::submitKeys(1));
  const engine::ParseResult& submit = SubmitMode == 0 ? enter : ctrlEnter;
  // A refused batch (a locked screen, say) does not stop the run or the budget: the user may
  // have left the computer to power off at the end.
  toolkit.system().sendKeys(keys.actions);
  toolkit.system().sendKeys(submit.actions);

  if (cycling) CycleIndex = engine::nextCyclePosition(CycleIndex, comContent.listCount());
  return true;
}

}  // namespace vorelo::app
