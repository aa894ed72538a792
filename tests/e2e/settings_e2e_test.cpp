// The time fields end to end: keystrokes typed into the real combo boxes one at a time, the
// field read back after each, and a typed interval timing a real run.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/receiver_client.h"
#include "e2e/shared_app.h"

namespace vorelo::e2e {
namespace {

using app::Control;
using Texts = std::vector<std::string>;

// Where the caret stands in a combo's edit field: the selection's start and end.
std::pair<int, int> selection(HWND edit) {
  const auto packed = static_cast<DWORD>(SendMessageW(edit, EM_GETSEL, 0, 0));
  return {LOWORD(packed), HIWORD(packed)};
}

// Selects the whole field, then types one key at a time; returns the field's text after each
// key, and checks that the caret is at the end of the text every time, so typing can go on.
Texts typeKeys(App& app, Control field, const Texts& keys) {
  HWND edit = app.comboEdit(field);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  Texts shown;
  for (const std::string& key : keys) {
    app.typeIntoCombo(field, key);
    shown.push_back(app.comboEditText(field));
    const auto end = static_cast<int>(widen(shown.back()).size());
    EXPECT_EQ(selection(edit), std::make_pair(end, end))
        << "caret after typing \"" << key << "\" gives \"" << shown.back() << "\"";
  }
  return shown;
}

// --- validation while typing ----------------------------------------------------------------

struct TypingCase {
  const char* name;
  Control field;
  Texts keys;   // one keystroke each; "\b" is Backspace
  Texts shown;  // the field after each keystroke
};

void PrintTo(const TypingCase& c, std::ostream* out) {
  *out << c.name;
}

// One copy of the program for all cases: each starts by selecting the whole field, so what
// an earlier case left there is replaced.
class Typing : public SharedApp<Typing, testing::TestWithParam<TypingCase>> {
 protected:
  static void SetUpTestSuite() { startShared("a"); }
};

TEST_P(Typing, FieldIsCorrectedAfterEveryKeystroke) {
  const TypingCase& c = GetParam();
  EXPECT_EQ(typeKeys(app(), c.field, c.keys), c.shown);
  // Nothing comes later to change the field again.
  app().sync();
  EXPECT_EQ(app().comboEditText(c.field), c.shown.back());
}

constexpr Control kInterval = Control::comInterval;
constexpr Control kDuration = Control::comTotalTime;

INSTANTIATE_TEST_SUITE_P(
    TimeFields, Typing,
    testing::Values(
        TypingCase{"IntervalAboveThirtyBecomesThirty", kInterval, {"4", "5"}, {"4", "30"}},
        TypingCase{"IntervalOfThirtyStays", kInterval, {"3", "0"}, {"3", "30"}},
        TypingCase{"DurationOfFortyFiveStays", kDuration, {"4", "5"}, {"4", "45"}},
        TypingCase{"DurationAboveSixtyBecomesSixty", kDuration, {"6", "5"}, {"6", "60"}},
        TypingCase{"IntervalZeroBecomesOne", kInterval, {"0"}, {"1"}},
        TypingCase{"DurationZeroBecomesOne", kDuration, {"0"}, {"1"}},
        TypingCase{"IntervalLetterBecomesOne", kInterval, {"x"}, {"1"}},
        TypingCase{"DurationLetterBecomesOne", kDuration, {"x"}, {"1"}},
        TypingCase{"IntervalLetterAfterANumberBecomesOne", kInterval, {"5", "x"}, {"5", "1"}},
        TypingCase{"DurationLetterAfterANumberBecomesOne", kDuration, {"5", "x"}, {"5", "1"}},
        TypingCase{"IntervalKeepsADecimalPoint", kInterval, {"2", ".", "5"}, {"2", "2.", "2.5"}},
        TypingCase{"DurationKeepsADecimalPoint", kDuration, {"2", ".", "5"}, {"2", "2.", "2.5"}},
        TypingCase{"IntervalTypingGoesOnAfterACorrection", kInterval, {"0", "5"}, {"1", "15"}},
        TypingCase{"DurationTypingGoesOnAfterACorrection", kDuration, {"x", "5"}, {"1", "15"}},
        TypingCase{"IntervalEmptiedBecomesOne", kInterval, {"\b"}, {"1"}},
        TypingCase{"DurationEmptiedBecomesOne", kDuration, {"\b"}, {"1"}}),
    [](const testing::TestParamInfo<TypingCase>& info) { return info.param.name; });

// --- picking from the lists -----------------------------------------------------------------

TEST(Picking, EachListShowsThePickedItem) {
  App app(programUnderTest(), std::string("a"));
  // Typed text first, so the field has to change to show the pick.
  typeKeys(app, kDuration, {"7"});
  app.pickComboItem(kDuration, 7);
  EXPECT_EQ(app.comboEditText(kDuration), "60");
  EXPECT_EQ(app.comboSelection(kDuration), 7);

  typeKeys(app, kInterval, {"7"});
  app.pickComboItem(kInterval, 19);
  EXPECT_EQ(app.comboEditText(kInterval), "20");
  EXPECT_EQ(app.comboSelection(kInterval), 19);
}

// --- the interval in a real run -------------------------------------------------------------

TEST(TypedInterval, SpacesTheMessagesOfARun) {
  // The receiver first: Vorelo minimising itself hands the focus back to it.
  Receiver receiver(siblingProgram("receiver.exe"));
  App app(programUnderTest(), std::string("t"));
  ASSERT_EQ(typeKeys(app, kInterval, {"2", ".", "5"}).back(), "2.5");

  const double begun = beginSending(app, receiver);
  ASSERT_TRUE(waitFor([&] { return receiver.submitTimes().size() >= 2; }, Millis{10000}))
      << "received: " << receiver.typed();
  app.clickButton(Control::cmdStop);

  const auto times = receiver.submitTimes();
  EXPECT_GT(times[1] - times[0], 1500.0) << "one message per tick";
  // Over both periods since 开始 a late delivery is shared, and the period still tells 2.5 s
  // apart from a value cut or rounded to whole seconds (2 s or 3 s).
  const double period = (times[1] - begun) / 2;
  EXPECT_GT(period, 2300.0);
  EXPECT_LT(period, 2950.0);
}

}  // namespace
}  // namespace vorelo::e2e
