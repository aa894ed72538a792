// Sending: starting and stopping a run, and the send tick with its time budget.
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

}  // namespace

void MainWindow::cmdBegin_Click() {
  if (comContent.listCount() <= 0) {
    form.messageBox(kEmptyListMessage);
    return;
  }
  // Enabling the timer while it already runs leaves its countdown alone.
  tmrSend.setEnabled(true);
  form.setIcon(platform::Icon::Sending);
  LockControls();
  form.setState(platform::WindowState::Minimized);
}

void MainWindow::cmdStop_Click() {
  tmrSend.setEnabled(false);
  form.setIcon(platform::Icon::Idle);
  UnlockControls();
  form.setState(platform::WindowState::Normal);
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
  // The typing half.
  const bool cycling = chkCycle.value() == kTicked;
  std::string message;
  if (cycling) {
    // No tick ever types an empty message by accident after items were deleted while stopped.
    CycleIndex = engine::cyclePositionToRead(CycleIndex, comContent.listCount());
    if (comContent.listCount() > 0) message = comContent.list(CycleIndex);
  } else {
    message = comContent.text();
  }

  // The whole message is read before anything is typed: one that does not parse types
  // nothing, not even the submit key, and ends the run with a message saying why.
  const engine::ParseResult keys = engine::parseKeyString(message);
  if (!keys.ok()) {
    cmdStop_Click();
    form.messageBox("这条消息无法发送，已停止发送：\n\n" + quoted(message) + "\n\n" +
                    engine::describe(*keys.error));
    return;
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

}  // namespace vorelo::app
