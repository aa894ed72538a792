// Start-up and exit: the window's initial state, Form_Load and 退出.
#include "app/main_window.h"

namespace vorelo::app {

namespace {
// How often the F12 watcher looks at the key where the system does not report its presses.
// Short enough that a quick tap is never missed between two looks and the toggle feels
// immediate.
constexpr uint32_t kWatchPeriodMs = 40;

const char* const kIntervalPresets[] = {"1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10",
                                        "11", "12", "13", "14", "15", "16", "17", "18", "19", "20"};
const char* const kDurationPresets[] = {"1", "2", "5", "10", "15", "20", "30", "60"};
}  // namespace

MainWindow::MainWindow(Toolkit& tk)
    : toolkit(tk),
      form(tk.window()),
      cmdBegin(tk.button(Control::cmdBegin)),
      cmdStop(tk.button(Control::cmdStop)),
      cmdExit(tk.button(Control::cmdExit)),
      comContent(tk.combo(Control::comContent)),
      cmdAdd(tk.button(Control::cmdAdd)),
      cmdDel(tk.button(Control::cmdDel)),
      tmrWatch(tk.timer(TimerName::tmrWatch)),
      tmrSend(tk.timer(TimerName::tmrSend)),
      chkCycle(tk.check(Control::chkCycle)),
      optSend{platform::OptionButton(tk.check(Control::optSend0), optSendGroup, 0),
              platform::OptionButton(tk.check(Control::optSend1), optSendGroup, 1)},
      chkCut(tk.check(Control::chkCut)),
      comInterval(tk.combo(Control::comInterval)),
      comTotalTime(tk.combo(Control::comTotalTime)),
      hotkeyPressesReported_(tk.keys().reportsHotkeyPresses()) {
  // The state the window is created with, before any procedure is connected.
  for (const char* item : kIntervalPresets) comInterval.addItem(item);
  for (const char* item : kDurationPresets) comTotalTime.addItem(item);
  chkCycle.setValue(1);

  cmdBegin.onClick = [this] { cmdBegin_Click(); };
  cmdStop.onClick = [this] { cmdStop_Click(); };
  cmdExit.onClick = [this] { cmdExit_Click(); };
  cmdAdd.onClick = [this] { cmdAdd_Click(); };
  cmdDel.onClick = [this] { cmdDel_Click(); };
  comInterval.onClick = [this] { comInterval_Click(); };
  comInterval.onChange = [this] { comInterval_Change(); };
  comTotalTime.onClick = [this] { comTotalTime_Click(); };
  comTotalTime.onChange = [this] { comTotalTime_Change(); };
  optSendGroup.onClick = [this](int index) { optSend_Click(index); };
  tmrSend.onTimer = [this] { tmrSend_Timer(); };
  tmrWatch.onTimer = [this] { tmrWatch_Timer(); };
  tk.keys().onVerdict = [this](const platform::Delivery& verdict) { Keys_Verdict(verdict); };

  // Where the system reports each F12 press, tmrWatch_Timer runs once per press and nothing
  // wakes the idle window; otherwise the watcher polls for the whole life of the window.
  tmrWatch.setInterval(kWatchPeriodMs);
  tmrWatch.setEnabled(!hotkeyPressesReported_);
}

void MainWindow::Form_Load() {
  form.setCaption(kAppTitle);
  form.setIcon(platform::Icon::Idle);
  comInterval.setListIndex(comInterval.listCount() / 2);
  comTotalTime.setListIndex(comTotalTime.listCount() / 2);
  optSend[0].setValue(true);
  CycleIndex = 0;
  tmrSend.setEnabled(false);
  HotkeyStartsNext = true;
  LoadMessageFile();
}

std::array<platform::Control*, 12> MainWindow::tabOrder() {
  return {&cmdDel,  &cmdAdd,   &comContent, &optSend[1],   &optSend[0],  &cmdExit,
          &cmdStop, &cmdBegin, &chkCycle,   &comTotalTime, &comInterval, &chkCut};
}

void MainWindow::cmdExit_Click() {
  form.end();
}

}  // namespace vorelo::app
