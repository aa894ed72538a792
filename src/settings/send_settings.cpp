// The interval and duration fields and the submit key. Both time fields are kept valid at all
// times: what is picked or typed is clamped at once, on every keystroke.
#include "app/main_window.h"
#include "settings/number_text.h"

namespace vorelo::app {

namespace {

// Puts "1" back for text that is not a number or is below 1, and the upper bound for a value
// above it. Each rewrite raises Change, which runs the whole validation again, nested, before
// the write returns; the field text is therefore read afresh at every step.
void clamp(platform::ComboBox& field, double upper, std::string_view upperText) {
  if (!settings::isNumeric(field.text()) || settings::val(field.text()) < 1) field.setText("1");
  if (settings::val(field.text()) > upper) field.setText(upperText);
}

}  // namespace

void MainWindow::comInterval_Click() {
  clamp(comInterval, 30, "30");
  SendIntervalMs = static_cast<float>(settings::val(comInterval.text()) * 1000.0);
  // The period follows the stored float, rounded half to even; it neither starts nor stops
  // the timer.
  tmrSend.setInterval(static_cast<uint32_t>(settings::roundHalfEven(SendIntervalMs)));
}

void MainWindow::comInterval_Change() {
  comInterval_Click();
}

void MainWindow::comTotalTime_Click() {
  clamp(comTotalTime, 60, "60");
  RemainingMs = settings::val(comTotalTime.text()) * 60.0 * 1000.0;
}

void MainWindow::comTotalTime_Change() {
  comTotalTime_Click();
}

void MainWindow::optSend_Click(int index) {
  SubmitMode = static_cast<int16_t>(index);
}

}  // namespace vorelo::app
