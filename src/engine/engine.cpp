// The sending engine: starting and stopping a run, the send tick and the F12 watcher.
#include "app/main_window.h"

namespace vorelo::app {

void MainWindow::cmdBegin_Click() {}
void MainWindow::cmdStop_Click() {}
void MainWindow::tmrSend_Timer() {}
void MainWindow::tmrWatch_Timer() {}
void MainWindow::LockControls() {}
void MainWindow::UnlockControls() {}

}  // namespace vorelo::app
