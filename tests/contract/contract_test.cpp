// The event rules of the controls, checked against a backend: the in-memory fake on Linux,
// the real Windows controls under Windows or Wine. Both must behave the same, because the
// window logic is tested on the fake and runs on the real thing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "contract/harness.h"
#include "platform/controls.h"

namespace vorelo::contract {
namespace {

using platform::Button;
using platform::CheckBox;
using platform::ComboBox;
using platform::OptionButton;
using platform::OptionGroup;
using platform::Timer;

class Contract : public ::testing::Test {
 protected:
  std::unique_ptr<Harness> h = makeHarness();
  std::vector<std::string> events;

  void record(ComboBox& combo, const char* name) {
    combo.onClick = [this, &combo, name] {
      events.push_back(std::string(name) + ".Click " + combo.text() + " " +
                       std::to_string(combo.listIndex()));
    };
    combo.onChange = [this, &combo, name] {
      events.push_back(std::string(name) + ".Change " + combo.text() + " " +
                       std::to_string(combo.listIndex()));
    };
  }
};

TEST_F(Contract, SettingListIndexSelectsCopiesAndRaisesClickBeforeReturning) {
  auto& backend = h->newCombo();
  ComboBox combo(backend);
  for (const char* item : {"一", "二", "三"}) combo.addItem(item);
  record(combo, "c");

  combo.setListIndex(1);
  EXPECT_EQ(events, (std::vector<std::string>{"c.Click 二 1"}));
  EXPECT_EQ(combo.listIndex(), 1);
  EXPECT_EQ(combo.text(), "二");
  EXPECT_EQ(h->shownText(backend), "二");

  events.clear();
  combo.setListIndex(-1);
  EXPECT_EQ(combo.listIndex(), -1);
  EXPECT_EQ(combo.text(), "");
  EXPECT_EQ(h->shownText(backend), "");
  EXPECT_THROW(combo.setListIndex(3), std::out_of_range);
}

TEST_F(Contract, SettingTextRaisesChangeBeforeReturningAndKeepsTheSelection) {
  auto& backend = h->newCombo();
  ComboBox combo(backend);
  combo.addItem("11");
  combo.setListIndex(0);
  record(combo, "c");

  combo.setText("30");
  EXPECT_EQ(events, (std::vector<std::string>{"c.Change 30 0"}));
  EXPECT_EQ(h->shownText(backend), "30");

  // A Change handler that rewrites the field runs nested, before the outer write returns.
  events.clear();
  combo.onChange = [&] {
    events.push_back("Change " + combo.text());
    if (combo.text() == "x") combo.setText("1");
  };
  combo.setText("x");
  EXPECT_EQ(events, (std::vector<std::string>{"Change x", "Change 1"}));
  EXPECT_EQ(combo.text(), "1");
  EXPECT_EQ(h->shownText(backend), "1");
}

TEST_F(Contract, UserEditRaisesChangePerKeystrokeAndClearsTheSelection) {
  auto& backend = h->newCombo();
  ComboBox combo(backend);
  for (const char* item : {"1", "2"}) combo.addItem(item);
  combo.setListIndex(1);
  record(combo, "c");

  h->type(backend, "5好");
  EXPECT_EQ(events, (std::vector<std::string>{"c.Change 25 -1", "c.Change 25好 -1"}));
  EXPECT_EQ(combo.text(), "25好");
  EXPECT_EQ(combo.listIndex(), -1);

  // A correction made inside Change leaves the caret at the end: typing goes on after it.
  combo.onChange = [&] {
    if (combo.text().size() > 3) combo.setText("9");
  };
  h->type(backend, "x");
  EXPECT_EQ(combo.text(), "9");
  h->type(backend, "7");
  EXPECT_EQ(combo.text(), "97");
  EXPECT_EQ(h->shownText(backend), "97");
}

TEST_F(Contract, UserPickRaisesClickWithTheItemInTheField) {
  auto& backend = h->newCombo();
  ComboBox combo(backend);
  for (const char* item : {"1", "2", "5", "60"}) combo.addItem(item);
  combo.setListIndex(0);
  record(combo, "c");

  h->pick(backend, 3);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), "c.Click 60 3");
  EXPECT_EQ(combo.listIndex(), 3);
  EXPECT_EQ(combo.text(), "60");
  EXPECT_EQ(h->shownText(backend), "60");

  // The first item too.
  events.clear();
  h->pick(backend, 0);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front(), "c.Click 1 0");
  EXPECT_EQ(combo.listIndex(), 0);
  EXPECT_EQ(h->shownText(backend), "1");
}

TEST_F(Contract, AddAndRemoveItemsKeepListAndScreenInStep) {
  auto& backend = h->newCombo();
  ComboBox combo(backend);
  for (const char* item : {"a", "b", "c", "d"}) EXPECT_TRUE(combo.addItem(item));
  EXPECT_EQ(combo.listCount(), 4);
  combo.setListIndex(3);

  combo.removeItem(0);
  EXPECT_EQ(combo.listCount(), 3);
  EXPECT_EQ(combo.list(0), "b");
  EXPECT_EQ(combo.listIndex(), 2) << "the selection follows its item";
  EXPECT_EQ(h->shownItems(backend), (std::vector<std::string>{"b", "c", "d"}));

  combo.removeItem(2);
  EXPECT_EQ(combo.listIndex(), -1) << "removing the selected item leaves nothing selected";
  EXPECT_EQ(combo.text(), "d") << "the field keeps its text";
  EXPECT_THROW(combo.removeItem(2), std::out_of_range);
  EXPECT_THROW((void)combo.list(-1), std::out_of_range);

  // A bulk load shows the same list and selection as one item at a time.
  combo.beginUpdate();
  for (int i = 0; i < 200; ++i) {
    combo.addItem("item " + std::to_string(i));
    combo.setListIndex(combo.listCount() - 1);
  }
  combo.endUpdate();
  EXPECT_EQ(combo.listCount(), 202);
  EXPECT_EQ(h->shownItems(backend).size(), 202u);
  EXPECT_EQ(h->shownText(backend), "item 199");
}

TEST_F(Contract, CheckBoxAndOptionButtonsRaiseClickAndShowTheirValue) {
  auto& box = h->newCheckBox();
  CheckBox check(box);
  int clicks = 0;
  check.onClick = [&] { ++clicks; };
  check.setValue(1);
  EXPECT_EQ(check.value(), 1);
  EXPECT_TRUE(h->shownChecked(box));
  h->click(box);
  EXPECT_EQ(check.value(), 0);
  EXPECT_FALSE(h->shownChecked(box));
  EXPECT_EQ(clicks, 2);

  auto [first, second] = h->newOptionPair();
  OptionGroup group;
  OptionButton opt0(*first, group, 0);
  OptionButton opt1(*second, group, 1);
  std::vector<int> picked;
  group.onClick = [&](int index) { picked.push_back(index); };
  opt0.setValue(true);
  EXPECT_TRUE(opt0.value());
  EXPECT_FALSE(opt1.value());
  h->click(*second);
  EXPECT_EQ(picked, (std::vector<int>{0, 1}));
  EXPECT_FALSE(opt0.value());
  EXPECT_TRUE(opt1.value());
  EXPECT_FALSE(h->shownChecked(*first));
  EXPECT_TRUE(h->shownChecked(*second));
}

TEST_F(Contract, EveryControlCanBeDisabledAndThenIgnoresTheUser) {
  auto& comboBackend = h->newCombo();
  auto& buttonBackend = h->newButton();
  auto& checkBackend = h->newCheckBox();
  auto [first, second] = h->newOptionPair();
  ComboBox combo(comboBackend);
  Button button(buttonBackend);
  CheckBox check(checkBackend);
  OptionGroup group;
  OptionButton opt0(*first, group, 0);
  OptionButton opt1(*second, group, 1);
  opt0.setValue(true);
  int clicks = 0;
  button.onClick = [&] { ++clicks; };
  check.onClick = [&] { ++clicks; };
  group.onClick = [&](int) { ++clicks; };

  std::vector<platform::Control*> controls{&combo, &button, &check, &opt0, &opt1};
  std::vector<platform::ControlBackend*> backends{&comboBackend, &buttonBackend, &checkBackend,
                                                  first, second};
  for (std::size_t i = 0; i < controls.size(); ++i) {
    controls[i]->setEnabled(false);
    EXPECT_FALSE(controls[i]->enabled());
    EXPECT_FALSE(h->shownEnabled(*backends[i])) << i;
  }
  clicks = 0;
  h->click(buttonBackend);
  h->click(checkBackend);
  h->click(*second);
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(check.value(), 0);
  EXPECT_TRUE(opt0.value());

  for (std::size_t i = 0; i < controls.size(); ++i) {
    controls[i]->setEnabled(true);
    EXPECT_TRUE(h->shownEnabled(*backends[i])) << i;
  }
  h->click(buttonBackend);
  EXPECT_EQ(clicks, 1);
}

TEST_F(Contract, TimerWithIntervalZeroNeverFiresAndStoppedTimerIsSilent) {
  Timer timer(h->newTimer());
  int ticks = 0;
  timer.onTimer = [&] { ++ticks; };
  timer.setEnabled(true);
  h->wait(300);
  EXPECT_EQ(ticks, 0);

  timer.setInterval(50);
  for (int i = 0; i < 200 && ticks < 3; ++i) h->wait(10);
  EXPECT_GE(ticks, 3);
  timer.setEnabled(false);
  const int stopped = ticks;
  h->wait(200);
  EXPECT_EQ(ticks, stopped);
}

TEST_F(Contract, EnablingARunningTimerKeepsItsCountdown) {
  Timer timer(h->newTimer());
  timer.setInterval(1000);
  uint64_t firstTick = 0;
  timer.onTimer = [&] {
    if (firstTick == 0) firstTick = h->now();
  };
  const uint64_t start = h->now();
  timer.setEnabled(true);
  h->wait(600);
  timer.setEnabled(true);
  for (int i = 0; i < 300 && firstTick == 0; ++i) h->wait(10);
  ASSERT_NE(firstTick, 0u);
  // Restarted by the second call, the first tick would come at 1600 ms; a late one on a busy
  // machine still falls well short of that.
  EXPECT_GE(firstTick - start, 990u - h->slack() / 4);
  EXPECT_LE(firstTick - start, 1000u + 2 * h->slack());
}

}  // namespace
}  // namespace vorelo::contract
