// The interval and duration fields and the submit key. Both time fields are kept valid at all
// times: what is picked or typed is corrected at once, on every keystroke.
#include "app/main_window.h"
#include "settings/time_fields.h"

namespace vorelo::app {

namespace {

// Puts "1" back for text that is not a number or is below 1, and the highest value for one
// above the range. Each rewrite raises Change, which runs the whole validation again, nested,
// before the write returns; the field text is therefore read afresh at every step.
void correct(platform::ComboBox& field, const settings::TimeRange& range) {
  if (settings::belowRange(field.text())) field.setText(settings::kLowestText);
  if (settings::aboveRange(field.text(), range)) field.setText(range.highestText);
}

}  // namespace

void MainWindow::comInterval_Click() {
  correct(comInterval, settings::kIntervalRange);
  SendIntervalMs = settings::intervalMs(comInterval.text());
  // Setting the period neither starts nor stops the timer.
  tmrSend.setInterval(settings::timerPeriodMs(SendIntervalMs));
}

void MainWindow::comInterval_Change() {
  comInterval_Click();
}

void MainWindow::comTotalTime_Click() {
  correct(comTotalTime, settings::kDurationRange);
  RemainingMs = settings::durationMs(comTotalTime.text());
}

void MainWindow::comTotalTime_Change() {
  comTotalTime_Click();
}

void MainWindow::optSend_Click(int index) {
  SubmitMode = static_cast<int16_t>(index);
}

}  // namespace vorelo::app
