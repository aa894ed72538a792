#include <string>
#include <vector>

#include "unit/window_fixture.h"

namespace vorelo::testing {
namespace {

using app::Control;

TEST_F(WindowTest, StartUpLeavesTheWindowIdleWithThePresetsArmed) {
  auto& m = start();
  EXPECT_EQ(window().caption(), "Vorelo");
  EXPECT_EQ(window().icon(), platform::Icon::Idle);
  EXPECT_EQ(window().state(), platform::WindowState::Normal);

  EXPECT_EQ(m.comInterval.listCount(), 20);
  EXPECT_EQ(m.comInterval.listIndex(), 10);
  EXPECT_EQ(screen(Control::comInterval).shownText(), "11");
  EXPECT_EQ(items(m.comTotalTime),
            (std::vector<std::string>{"1", "2", "5", "10", "15", "20", "30", "60"}));
  EXPECT_EQ(m.comTotalTime.listIndex(), 4);
  EXPECT_EQ(screen(Control::comTotalTime).shownText(), "15");
  EXPECT_FLOAT_EQ(m.SendIntervalMs, 11000.0f);
  EXPECT_EQ(m.tmrSend.interval(), 11000u);
  EXPECT_DOUBLE_EQ(m.RemainingMs, 900000.0);

  EXPECT_TRUE(m.optSend[0].value());
  EXPECT_FALSE(m.optSend[1].value());
  EXPECT_TRUE(check(Control::optSend0).checked());
  EXPECT_EQ(m.SubmitMode, 0);
  EXPECT_EQ(m.chkCycle.value(), 1);
  EXPECT_EQ(m.chkCut.value(), 0);
  EXPECT_EQ(m.CycleIndex, 0);
  EXPECT_TRUE(m.HotkeyStartsNext);

  EXPECT_FALSE(m.tmrSend.enabled());
  EXPECT_TRUE(m.tmrWatch.enabled());
  EXPECT_GT(m.tmrWatch.interval(), 0u);
  EXPECT_LE(m.tmrWatch.interval(), 50u);
  for (Control c :
       {Control::cmdBegin, Control::cmdStop, Control::cmdExit, Control::cmdAdd, Control::cmdDel}) {
    EXPECT_TRUE(button(c).enabled());
  }
}

TEST_F(WindowTest, StartUpWithoutMessageFileGivesAnEmptyListAndNoMessage) {
  auto& m = start();
  EXPECT_EQ(tk.fakeSystem().reads, (std::vector<std::string>{"Msg.txt"}));
  EXPECT_EQ(m.comContent.listCount(), 0);
  EXPECT_EQ(m.comContent.listIndex(), -1);
  EXPECT_TRUE(window().messages().empty());
}

TEST_F(WindowTest, StartUpWithAnEmptyMessageFileGivesAnEmptyList) {
  auto& m = start("");
  EXPECT_EQ(m.comContent.listCount(), 0);
  EXPECT_EQ(m.comContent.text(), "");
  EXPECT_TRUE(window().messages().empty());
}

TEST_F(WindowTest, MessageFileFillsTheListAndSelectsTheLastItem) {
  auto& m = start("\xEF\xBB\xBF你好,世界\r\n\"你好,世界\"\r\n   早上好\r\n");
  EXPECT_EQ(items(m.comContent), (std::vector<std::string>{"你好", "世界", "你好,世界", "早上好"}));
  EXPECT_EQ(m.comContent.listIndex(), 3);
  EXPECT_EQ(m.comContent.text(), "早上好");
  auto& shown = screen(Control::comContent);
  EXPECT_EQ(shown.shownItems().size(), 4u);
  EXPECT_EQ(shown.shownText(), "早上好");
  EXPECT_EQ(shown.shownSelection(), 3);
  // The list is filled without redrawing after every item, and drawn again at the end.
  EXPECT_EQ(shown.redrawOffCount(), 1);
  EXPECT_TRUE(shown.redrawOn());
}

TEST_F(WindowTest, OldFilesInTheLegacyCodePageStillLoad) {
  // GBK bytes of 你好 and 世界, on a Chinese system switched to UTF-8 as its code page; the
  // stand-in converter knows GBK alone.
  auto& system = tk.fakeSystem();
  system.systemCodePage = messages::kUtf8CodePage;
  system.decode = [](uint32_t page, std::string_view bytes) {
    return page == messages::kGbkCodePage && bytes == "\xC4\xE3\xBA\xC3,\xCA\xC0\xBD\xE7"
               ? std::string("你好,世界")
               : std::string("?");
  };
  auto& m = start("\xC4\xE3\xBA\xC3,\xCA\xC0\xBD\xE7");
  EXPECT_EQ(items(m.comContent), (std::vector<std::string>{"你好", "世界"}));
}

TEST_F(WindowTest, LoadingStopsAtTheLargestListAndTheWindowStillStarts) {
  std::string file;
  for (int i = 0; i < 40000; ++i) file += std::to_string(i) + "\r\n";
  auto& m = start(file);
  EXPECT_EQ(m.comContent.listCount(), 32767);
  EXPECT_EQ(m.comContent.text(), "32766");
  EXPECT_FALSE(m.comContent.addItem("one more"));
  EXPECT_EQ(m.comContent.listCount(), 32767);
}

// A read error part way through the file keeps every item read whole before it; the one it cut
// short is dropped.
TEST_F(WindowTest, AReadErrorKeepsTheItemsReadBeforeIt) {
  tk.fakeSystem().readErrorAfter = 9;  // "a,\"b,c\",d" up to the middle of "d"
  auto& m = start("a,\"b,c\",dd,e");
  EXPECT_EQ(items(m.comContent), (std::vector<std::string>{"a", "b,c"}));
  EXPECT_EQ(m.comContent.text(), "b,c");
}

TEST_F(WindowTest, ExitAndClosingEndTheProgramAtOnce) {
  start("a");
  button(Control::cmdExit).click();
  EXPECT_TRUE(window().ended());
}

}  // namespace
}  // namespace vorelo::testing
