#include <string>

#include "unit/window_fixture.h"

namespace vorelo::testing {
namespace {

using app::Control;

class SettingsTest : public WindowTest {
 protected:
  void SetUp() override { start("a,b"); }
  fake::FakeCombo& interval() { return screen(Control::comInterval); }
  fake::FakeCombo& duration() { return screen(Control::comTotalTime); }
};

TEST_F(SettingsTest, TimeFieldsCannotBeLeftEmptyOrHoldSomethingElseThanANumber) {
  for (const char* typed : {"0", "", "abc", "5x", "-3", ".", "1e", "0.99"}) {
    SCOPED_TRACE(typed);
    interval().paste(typed);
    EXPECT_EQ(w->comInterval.text(), "1");
    EXPECT_EQ(interval().shownText(), "1");
    EXPECT_FLOAT_EQ(w->SendIntervalMs, 1000.0f);
    EXPECT_EQ(w->tmrSend.interval(), 1000u);

    duration().paste(typed);
    EXPECT_EQ(w->comTotalTime.text(), "1");
    EXPECT_DOUBLE_EQ(w->RemainingMs, 60000.0);
  }
  // Out-of-range fractions are clamped too; values in range are kept as typed.
  interval().paste("0.5");
  EXPECT_EQ(w->comInterval.text(), "1");
  // Typed one key at a time, 0 becomes 1 at once and 0.5 ends as 1.5.
  interval().replaceText("0.5");
  EXPECT_EQ(w->comInterval.text(), "1.5");
  interval().replaceText("2.5");
  EXPECT_EQ(w->comInterval.text(), "2.5");
  EXPECT_FLOAT_EQ(w->SendIntervalMs, 2500.0f);
  EXPECT_EQ(w->tmrSend.interval(), 2500u);
}

TEST_F(SettingsTest, UpperBoundsDifferBetweenTheTwoFields) {
  interval().replaceText("45");
  EXPECT_EQ(w->comInterval.text(), "30");
  EXPECT_FLOAT_EQ(w->SendIntervalMs, 30000.0f);
  EXPECT_EQ(w->tmrSend.interval(), 30000u);

  duration().replaceText("45");
  EXPECT_EQ(w->comTotalTime.text(), "45");
  EXPECT_DOUBLE_EQ(w->RemainingMs, 2700000.0);
  duration().replaceText("61");
  EXPECT_EQ(w->comTotalTime.text(), "60");
  EXPECT_DOUBLE_EQ(w->RemainingMs, 3600000.0);

  // The bounds themselves are accepted as typed.
  interval().replaceText("30");
  EXPECT_EQ(w->comInterval.text(), "30");
  interval().replaceText("1");
  EXPECT_EQ(w->comInterval.text(), "1");
}

TEST_F(SettingsTest, EveryKeystrokeCountsAndCorrectionsLeaveTheCaretAtTheEnd) {
  // "11" becomes "25": the text is replaced by 2 (valid), then 5 is typed.
  interval().replaceText("2");
  EXPECT_FLOAT_EQ(w->SendIntervalMs, 2000.0f);
  interval().type("5");
  EXPECT_EQ(w->comInterval.text(), "25");
  EXPECT_FLOAT_EQ(w->SendIntervalMs, 25000.0f);

  // Typing 0 puts 1 back at once; the next digit goes after it.
  duration().replaceText("0");
  EXPECT_EQ(duration().shownText(), "1");
  duration().type("5");
  EXPECT_EQ(w->comTotalTime.text(), "15");
  EXPECT_DOUBLE_EQ(w->RemainingMs, 900000.0);

  // Typing on past the bound is clamped at every keystroke.
  interval().replaceText("9");
  interval().type("9");
  EXPECT_EQ(w->comInterval.text(), "30");
}

TEST_F(SettingsTest, ARewriteRunsTheValidationNestedAndBothRunsAgree) {
  int runs = 0;
  std::string seen;
  w->comInterval.onChange = [&] {
    ++runs;
    seen += w->comInterval.text() + ";";
    w->comInterval_Change();
  };
  interval().replaceText("x");
  // The user's edit, then the nested run raised by writing "1".
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(seen, "x;1;");
  EXPECT_FLOAT_EQ(w->SendIntervalMs, 1000.0f);
  EXPECT_EQ(w->tmrSend.interval(), 1000u);
}

TEST_F(SettingsTest, PicksValidateAndThePeriodRoundsHalfToEven) {
  duration().pick(7);
  EXPECT_EQ(w->comTotalTime.text(), "60");
  EXPECT_DOUBLE_EQ(w->RemainingMs, 3600000.0);
  interval().pick(0);
  EXPECT_FLOAT_EQ(w->SendIntervalMs, 1000.0f);

  interval().replaceText("2.0005");
  EXPECT_FLOAT_EQ(w->SendIntervalMs, 2000.5f);
  EXPECT_EQ(w->tmrSend.interval(), 2000u);
  interval().replaceText("2.0015");
  EXPECT_FLOAT_EQ(w->SendIntervalMs, 2001.5f);
  EXPECT_EQ(w->tmrSend.interval(), 2002u);

  // Hexadecimal literals and exponents are read too.
  interval().paste("&H1E");
  EXPECT_FLOAT_EQ(w->SendIntervalMs, 30000.0f);
  interval().paste(" 1.5e1 ");
  EXPECT_FLOAT_EQ(w->SendIntervalMs, 15000.0f);
  // So are the full-width digits a Chinese input method types, and the text stays as typed.
  interval().paste("２．５");
  EXPECT_EQ(w->comInterval.text(), "２．５");
  EXPECT_FLOAT_EQ(w->SendIntervalMs, 2500.0f);
  duration().type("５");
  EXPECT_EQ(w->comTotalTime.text(), "60");
}

TEST_F(SettingsTest, EditingThePeriodNeitherStartsNorStopsTheSendTimer) {
  EXPECT_FALSE(w->tmrSend.enabled());
  interval().replaceText("3");
  EXPECT_FALSE(w->tmrSend.enabled());
  EXPECT_FALSE(tk.timerOf(app::TimerName::tmrSend).running());
}

TEST_F(SettingsTest, SubmitKeyFollowsTheOptionButtons) {
  check(Control::optSend1).click();
  EXPECT_EQ(w->SubmitMode, 1);
  EXPECT_FALSE(w->optSend[0].value());
  EXPECT_FALSE(check(Control::optSend0).checked());
  check(Control::optSend0).click();
  EXPECT_EQ(w->SubmitMode, 0);
}

}  // namespace
}  // namespace vorelo::testing
