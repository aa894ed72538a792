// The F12 watcher: F12 starts and stops sending from any application.
#include "app/main_window.h"
#include "engine/key_events.h"

namespace vorelo::app {

bool MainWindow::PolledHotkeyPress() {
  const uint16_t state = toolkit.system().asyncKeyState(engine::vk::F12);
  // One toggle per press: the key newly down, or pressed and released since the last look (a
  // quick tap may show only that low bit). A key held down, or repeated by the keyboard, does
  // nothing more until it has been seen up. The "pressed since the last query" bit is shared
  // by every program, so the first look only reads it away, with any press made before Vorelo
  // started. A press that a message typed by Vorelo made is read away the same way.
  const bool pressed =
      hotkeyLookedAt_ && !ownHotkeyPressPending_ && !hotkeyWasDown_ && (state & 0x8001) != 0;
  hotkeyLookedAt_ = true;
  ownHotkeyPressPending_ = false;
  hotkeyWasDown_ = (state & 0x8000) != 0;
  return pressed;
}

void MainWindow::tmrWatch_Timer() {
  // A press the system reports is one already: F12 going down, not a repeat, not typed by
  // Vorelo, and none made before Vorelo started.
  const bool pressed = hotkeyPressesReported_ || PolledHotkeyPress();
  // While a box of this window is open (the empty-list message an earlier press opened, say),
  // presses are let go: they cannot stack boxes or start a run behind one.
  if (!pressed || form.inModal()) return;
  if (HotkeyStartsNext) {
    cmdBegin_Click();
    HotkeyStartsNext = false;
  } else {
    cmdStop_Click();
    HotkeyStartsNext = true;
  }
}

}  // namespace vorelo::app
