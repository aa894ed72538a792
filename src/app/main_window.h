// frmMain: the program's only window and the owner of all its state. Its event procedures
// keep the names the program has always used; each is defined in the folder of the part of
// the program it belongs to (messages/, settings/, engine/).
#pragma once

#include <array>
#include <cstdint>

#include "app/toolkit.h"
#include "platform/controls.h"

namespace vorelo::app {

// A 16-bit boolean as the window's variables store it: true is -1.
using Bool16 = int16_t;
inline constexpr Bool16 kTrue16 = -1;
inline constexpr Bool16 kFalse16 = 0;

class MainWindow {
 public:
  explicit MainWindow(Toolkit& toolkit);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Runs once, after the controls exist and before the window is first shown.
  void Form_Load();

  // Main window (app/)
  void cmdExit_Click();

  // Message list (messages/)
  void LoadMessageFile();
  void cmdAdd_Click();
  void cmdDel_Click();

  // Send settings (settings/)
  void comInterval_Click();
  void comInterval_Change();
  void comTotalTime_Click();
  void comTotalTime_Change();
  void optSend_Click(int index);

  // Sending engine (engine/)
  void cmdBegin_Click();
  void cmdStop_Click();
  void tmrSend_Timer();
  void tmrWatch_Timer();

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

  // The window-level variables, in their historical widths.
  float SendIntervalMs = 0;
  int16_t SubmitMode = 0;
  int16_t CycleIndex = 0;
  Bool16 HotkeyStartsNext = kFalse16;
  double RemainingMs = 0;

 private:
  void LockControls();
  void UnlockControls();

  // F12 as seen at the previous look, so a press toggles once however long it is held.
  bool hotkeyWasDown_ = false;
};

}  // namespace vorelo::app
