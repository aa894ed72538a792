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
  if (PolledHotkeyPress()) F12_Press();
}

void MainWindow::F12_Press() {
  // While a box of this window is open (the empty-list message an earlier press opened, say),
  // presses are let go: they cannot stack boxes or start a run behind one.
  if (form.inModal()) return;
  if (HotkeyStartsNext) {
    cmdBegin_Click();
    // A start Vorelo refused for a reason of its own (no chat to type into, a message it cannot
    // type) leaves the next press a start, as its box advises.
    HotkeyStartsNext = startRefused_;
  } else {
    cmdStop_Click();
    HotkeyStartsNext = true;
  }
}

}  // namespace vorelo::app
