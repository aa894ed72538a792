// MainWindow: the program's only window and the owner of all its state. Its event procedures are
// named after the control that raises them and the event; they are defined in the files named
// after what they do (start-up and exit, list editing, send settings, sending, the F12 watcher)
// and call the pure logic of messages/, settings/ and engine/.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "app/toolkit.h"
#include "engine/key_string.h"
#include "platform/controls.h"

namespace vorelo::app {

class MainWindow {
 public:
  explicit MainWindow(Toolkit& toolkit);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Start-up and exit (startup_exit.cpp). Form_Load runs once, after the controls exist and
  // before the window is first shown.
  void Form_Load();
  void cmdExit_Click();

  // List editing (list_editing.cpp)
  void LoadMessageFile();
  void cmdAdd_Click();
  void cmdDel_Click();

  // Send settings (send_settings.cpp)
  void comInterval_Click();
  void comInterval_Change();
  void comTotalTime_Click();
  void comTotalTime_Change();
  void optSend_Click(int index);

  // Sending (sending.cpp)
  void cmdBegin_Click();
  void cmdStop_Click();
  void tmrSend_Timer();

  // The F12 watcher (hotkey_watch.cpp). tmrWatch_Timer looks at F12 every 40 ms where the
  // system does not report each press; F12_Press is the press itself, seen by that look or
  // reported by the system.
  void tmrWatch_Timer();
  void F12_Press();

  Toolkit& toolkit;
  platform::Window form;
  platform::Button cmdBegin;
  platform::Button cmdStop;
  platform::Button cmdExit;
  platform::ComboBox comContent;
  platform::Button cmdAdd;
  platform::Button cmdDel;
  platform::Timer tmrWatch;
  platform::Timer tmrSend;
  platform::CheckBox chkCycle;
  platform::OptionGroup optSendGroup;
  std::array<platform::OptionButton, 2> optSend;
  platform::CheckBox chkCut;
  platform::ComboBox comInterval;
  platform::ComboBox comTotalTime;

  // The window-level variables. Their widths change results: the period is a 32-bit float,
  // the budget a double, the cycle position a 16-bit count like the list's.
  float SendIntervalMs = 0;
  int16_t SubmitMode = 0;
  int16_t CycleIndex = 0;
  bool HotkeyStartsNext = false;
  double RemainingMs = 0;

 private:
  void LockControls();
  void UnlockControls();
  // The controls a run locks, in this order: comContent, comInterval, comTotalTime, chkCycle,
  // cmdAdd, cmdDel, optSend(0), optSend(1), cmdBegin.
  void SetSettingsEnabled(bool enabled);
  // False, after a box saying which message and why, when a message the run would type cannot
  // be typed.
  bool CheckMessagesBeforeRun(const engine::LayoutLookup& layout);
  // The typing half of the tick: the message went (Sent), went to a window whose verdict is
  // still to come (Pending), or the run was stopped with a box saying why (Stopped).
  enum class Typed : uint8_t { Sent, Pending, Stopped };
  Typed TypeNextMessage(const platform::Front& front);
  // The end of the time: the run stops, and the computer is powered off when that box is ticked.
  void EndOfTime();
  // The verdict on a message sent to a window whose level could not be read.
  void Keys_Verdict(const platform::Delivery& verdict);
  // Stops the run on a message it cannot type or keys that cannot arrive, and says why. The next
  // F12 starts a run again, as the box advises.
  void StopOnError(const std::string& text);
  // While sending the focus rests on 停止, the one control that acts on the run; afterwards it
  // goes back where it was before 开始, or to the first enabled control in tab order.
  void NoteFocusBeforeRun();
  void ReturnFocus();

  // The controls that can take the focus, in tab order.
  std::array<platform::Control*, 12> tabOrder();

  bool PolledHotkeyPress();
  // The share of the run's starting budget used up, for the taskbar button.
  platform::Progress RunProgress(platform::Progress::State state) const;

  // The system reports each F12 press; tmrWatch does not poll.
  const bool hotkeyPressesReported_;
  // The budget when the run began.
  double runStartMs_ = 0;
  // F12 as seen at the previous look, so a press toggles once however long it is held.
  bool hotkeyWasDown_ = false;
  // The first look only records F12's state: a press made before Vorelo started, in another
  // program, does not count.
  bool hotkeyLookedAt_ = false;
  // The control that had the focus when the run began.
  platform::Control* focusBeforeRun_ = nullptr;
  // A message just pressed F12: the press the watcher sees next is Vorelo's own.
  bool ownHotkeyPressPending_ = false;
  // The last cmdBegin_Click refused for a reason of Vorelo's own: no chat, or a message that
  // cannot be typed.
  bool startRefused_ = false;
  // What a message awaiting its verdict moved, for a refusal to take back; and whether the end of
  // the time waits for that verdict.
  struct TakeBack {
    int16_t cycleIndex;
    double remainingMs;
  };
  std::optional<TakeBack> takeBack_;
  bool endOnVerdict_ = false;
};

}  // namespace vorelo::app
