// End-to-end tests of the main window: the real program is started under Wine and read
// from outside, the way a user sees it.
//
//   window_e2e_test [gtest flags] <path of vorelo.exe>     (or VORELO_EXE=<path>)
//
// Linked with gtest_main; the program's path is taken from the command line here.
//
// VORELO_ARTIFACTS names a folder for a screenshot of the window. The GBK test needs the
// Chinese ANSI code page (run-in-wine with VORELO_WINE_LOCALE=zh_CN) and is skipped
// otherwise.
#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>  // after windows.h

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/layout.h"
#include "e2e/driver.h"
#include "e2e/receiver_client.h"
#include "e2e/rig.h"
#include "e2e/shared_app.h"
#include "win32/handles.h"

namespace {

using vorelo::app::Control;
using vorelo::app::ControlEntry;
using vorelo::app::Kind;
using vorelo::app::kLayout;
using vorelo::e2e::App;
using vorelo::e2e::Millis;
using vorelo::e2e::Receiver;
using vorelo::e2e::Rect;
using vorelo::e2e::waitFor;
using Items = std::vector<std::string>;

const std::string& program() {
  static const std::string path = vorelo::e2e::programUnderTest();
  return path;
}

constexpr int kTwipsPerInch = 1440;
constexpr int kTolerancePx = 1;

// The resolution the window is laid out for; Wine always runs at 96 DPI.
int dpiOf(HWND window) {
  const UINT dpi = GetDpiForWindow(window);
  return dpi != 0 ? static_cast<int>(dpi) : 96;
}

int toPixels(int twips, int dpi) {
  return (twips * dpi + kTwipsPerInch / 2) / kTwipsPerInch;
}

// Where a control belongs, in pixels of the window's client area. Each edge is rounded on
// its own; a control inside a frame is placed relative to the frame.
Rect expectedRect(const ControlEntry& entry, int dpi) {
  int left = entry.left;
  int top = entry.top;
  if (entry.container != entry.control) {
    left += vorelo::app::entry(entry.container).left;
    top += vorelo::app::entry(entry.container).top;
  }
  return {toPixels(left, dpi), toPixels(top, dpi), toPixels(left + entry.width, dpi),
          toPixels(top + entry.height, dpi)};
}

// Reports a control the window lacks; the tests then go on with the others.
bool present(const App& app, const ControlEntry& entry) {
  if (app.control(entry.control)) return true;
  ADD_FAILURE() << entry.name << " is missing (id " << vorelo::app::controlId(entry.control) << ")";
  return false;
}

std::string describe(const std::vector<HWND>& windows) {
  std::string text;
  for (HWND window : windows) {
    text += "\n  [" + vorelo::e2e::windowClass(window) + "] \"" + vorelo::e2e::windowText(window) +
            "\"";
    // A message box keeps its text in the static with id 0xFFFF.
    if (HWND message = GetDlgItem(window, 0xFFFF)) {
      text += ": \"" + vorelo::e2e::windowText(message) + "\"";
    }
  }
  return text;
}

// --- the window right after start-up --------------------------------------------------------

// One copy of the program shared by tests that only look at it.
class StartedWindow : public vorelo::e2e::SharedApp<StartedWindow> {
 protected:
  static void SetUpTestSuite() { startShared("你好,世界\r\n"); }
  static int dpi() { return dpiOf(app().window()); }
};

TEST_F(StartedWindow, HasTheTitleAndTheClientAreaSize) {
  EXPECT_EQ(app().caption(), "Vorelo");
  const SIZE client = app().clientSize();
  EXPECT_EQ(client.cx, toPixels(vorelo::app::kClientWidthTwips, dpi()));
  EXPECT_EQ(client.cy, toPixels(vorelo::app::kClientHeightTwips, dpi()));
  EXPECT_FALSE(app().iconic());
}

TEST_F(StartedWindow, HasEveryControlAsTheRightKindOfWindow) {
  for (const ControlEntry& entry : kLayout) {
    if (!present(app(), entry)) continue;
    SCOPED_TRACE(entry.name);
    EXPECT_TRUE(app().visible(entry.control));
    const std::string windowClass = app().className(entry.control);
    const LONG_PTR buttonType = app().style(entry.control) & BS_TYPEMASK;
    switch (entry.kind) {
      case Kind::StatusBar:
        EXPECT_EQ(windowClass, "msctls_statusbar32");
        break;
      case Kind::Button:
        EXPECT_EQ(windowClass, "Button");
        EXPECT_TRUE(buttonType == BS_PUSHBUTTON || buttonType == BS_DEFPUSHBUTTON) << buttonType;
        break;
      case Kind::Frame:
        EXPECT_EQ(windowClass, "Button");
        EXPECT_EQ(buttonType, BS_GROUPBOX);
        break;
      case Kind::CheckBox:
        EXPECT_EQ(windowClass, "Button");
        EXPECT_TRUE(buttonType == BS_CHECKBOX || buttonType == BS_AUTOCHECKBOX) << buttonType;
        break;
      case Kind::Option:
        EXPECT_EQ(windowClass, "Button");
        EXPECT_TRUE(buttonType == BS_RADIOBUTTON || buttonType == BS_AUTORADIOBUTTON) << buttonType;
        break;
      case Kind::Combo:
        // Editable drop-down lists: the text field can be typed into.
        EXPECT_EQ(windowClass, "ComboBox");
        EXPECT_EQ(app().style(entry.control) & 0x3, CBS_DROPDOWN);
        EXPECT_NE(app().comboEdit(entry.control), nullptr);
        break;
      case Kind::Label:
        EXPECT_EQ(windowClass, "Static");
        break;
    }
  }
}

TEST_F(StartedWindow, ShowsEveryCaption) {
  for (const ControlEntry& entry : kLayout) {
    if (entry.kind == Kind::Combo || entry.kind == Kind::StatusBar) continue;
    if (!present(app(), entry)) continue;
    SCOPED_TRACE(entry.name);
    EXPECT_EQ(app().text(entry.control), entry.caption);
  }
}

// Every control where the table puts it. The time labels are the exception the window makes
// so their text never wraps: same top and height, a common left edge no further left than the
// frame's caption, and a right edge no further than 2 px before the combo box beside them.
TEST_F(StartedWindow, PlacesEveryControlAtItsRectangle) {
  const Rect frame = expectedRect(vorelo::app::entry(Control::fraTime), dpi());
  const int labelsLeft = app().rect(Control::lblInterval).left;
  for (const ControlEntry& entry : kLayout) {
    if (!present(app(), entry)) continue;
    SCOPED_TRACE(entry.name);
    const Rect want = expectedRect(entry, dpi());
    const Rect got = app().rect(entry.control);
    SCOPED_TRACE(testing::Message() << "expected " << want << ", got " << got);
    EXPECT_NEAR(got.top, want.top, kTolerancePx);
    if (entry.kind == Kind::Label) {
      const Control combo =
          entry.control == Control::lblInterval ? Control::comInterval : Control::comTotalTime;
      EXPECT_EQ(got.left, labelsLeft);
      EXPECT_LE(got.left, want.left);
      EXPECT_GE(got.left, frame.left + MulDiv(7, dpi(), 96));
      EXPECT_GE(got.right, want.right);
      EXPECT_LE(got.right, expectedRect(vorelo::app::entry(combo), dpi()).left - 2);
      EXPECT_NEAR(got.bottom, want.bottom, kTolerancePx);
      continue;
    }
    EXPECT_NEAR(got.left, want.left, kTolerancePx);
    if (entry.kind == Kind::Combo) {
      // The window of a closed combo box is as high as its closed box.
      EXPECT_NEAR(got.width(), want.width(), kTolerancePx);
      EXPECT_NEAR(got.height(), want.height(), kTolerancePx);
    } else {
      EXPECT_NEAR(got.right, want.right, kTolerancePx);
      EXPECT_NEAR(got.bottom, want.bottom, kTolerancePx);
    }
  }
}

// No text needs more width than its control has, measured in the message font at the
// window's DPI (the font the program takes from the system): labels, check boxes, option
// buttons (their box and a gap before the text) and push buttons (a margin on each side).
TEST_F(StartedWindow, EveryTextFitsItsControl) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  ASSERT_TRUE(SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0,
                                         static_cast<UINT>(dpi())));
  const vorelo::win32::UniqueFont font(CreateFontIndirectW(&metrics.lfMessageFont));
  const vorelo::win32::WindowDc screen(nullptr);
  const vorelo::win32::SelectedObject selected(screen.get(), font.get());
  for (const ControlEntry& entry : kLayout) {
    int around = 0;
    if (entry.kind == Kind::CheckBox || entry.kind == Kind::Option) {
      around = MulDiv(13 + 4, dpi(), 96);
    } else if (entry.kind == Kind::Button) {
      around = MulDiv(2 * 4, dpi(), 96);
    } else if (entry.kind != Kind::Label) {
      continue;
    }
    const std::wstring text = vorelo::e2e::widen(entry.caption);
    RECT r{0, 0, 0, 0};
    DrawTextW(screen.get(), text.c_str(), static_cast<int>(text.size()), &r,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    EXPECT_LE(r.right + around, app().rect(entry.control).width())
        << entry.name << " at " << dpi() << " DPI, code page " << GetACP();
  }
}

TEST_F(StartedWindow, StatusBarShowsTwoPanels) {
  const auto& widths = vorelo::app::kStatusPanelWidths;
  EXPECT_EQ(app().statusParts(),
            (std::vector<int>{toPixels(widths[0], dpi()), toPixels(widths[0] + widths[1], dpi())}));
  EXPECT_EQ(app().statusTexts(), (Items{std::string(vorelo::app::kStatusPanelTexts[0]),
                                        std::string(vorelo::app::kStatusPanelTexts[1])}));
}

TEST_F(StartedWindow, StartsWithTheDefaultSettings) {
  Items seconds;
  for (int i = 1; i <= 20; ++i) seconds.push_back(std::to_string(i));
  EXPECT_EQ(app().comboItems(Control::comInterval), seconds);
  EXPECT_EQ(app().comboSelection(Control::comInterval), 10);
  EXPECT_EQ(app().comboEditText(Control::comInterval), "11");

  EXPECT_EQ(app().comboItems(Control::comTotalTime),
            (Items{"1", "2", "5", "10", "15", "20", "30", "60"}));
  EXPECT_EQ(app().comboSelection(Control::comTotalTime), 4);
  EXPECT_EQ(app().comboEditText(Control::comTotalTime), "15");

  EXPECT_TRUE(app().checked(Control::optSend0));
  EXPECT_FALSE(app().checked(Control::optSend1));
  EXPECT_TRUE(app().checked(Control::chkCycle));
  EXPECT_FALSE(app().checked(Control::chkCut));
}

TEST_F(StartedWindow, StartsWithEveryControlEnabled) {
  for (const ControlEntry& entry : kLayout) {
    if (!present(app(), entry)) continue;
    SCOPED_TRACE(entry.name);
    EXPECT_TRUE(app().enabled(entry.control));
  }
}

TEST_F(StartedWindow, StartsWithTheFocusOnDelete) {
  waitFor([&] { return app().focus() == Control::cmdDel; });
  const std::optional<Control> focus = app().focus();
  ASSERT_TRUE(focus.has_value()) << "the focus is on window " << app().focusWindow();
  EXPECT_EQ(vorelo::app::entry(*focus).name, vorelo::app::entry(Control::cmdDel).name);
}

TEST_F(StartedWindow, CanBeCapturedForInspection) {
  const std::optional<std::string> folder = vorelo::e2e::environment("VORELO_ARTIFACTS");
  if (!folder || folder->empty()) GTEST_SKIP() << "VORELO_ARTIFACTS is not set";
  const std::string path =
      *folder + "/window-" + std::to_string(dpi()) + "dpi-cp" + std::to_string(GetACP()) + ".bmp";
  app().screenshot(path);
  const std::filesystem::path written(vorelo::e2e::widen(vorelo::e2e::toWindowsPath(path)));
  ASSERT_TRUE(std::filesystem::exists(written));
  EXPECT_GT(std::filesystem::file_size(written), 54u);  // more than the headers
}

// --- loading Msg.txt ------------------------------------------------------------------------

std::string utf16le(std::u16string_view text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t unit : text) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

struct MessageFileCase {
  const char* name;
  App::MessageFile content;  // nothing: no Msg.txt at all
  Items items;
};

void PrintTo(const MessageFileCase& c, std::ostream* out) {
  *out << c.name;
}

class MessageFile : public testing::TestWithParam<MessageFileCase> {};

TEST_P(MessageFile, FillsTheListAndShowsTheLastItem) {
  const MessageFileCase& param = GetParam();
  App app(program(), param.content);
  waitFor([&] { return app.comboItems(Control::comContent) == param.items; }, Millis{2000});

  EXPECT_EQ(app.comboItems(Control::comContent), param.items);
  if (param.items.empty()) {
    EXPECT_EQ(app.comboSelection(Control::comContent), -1);
    EXPECT_EQ(app.comboEditText(Control::comContent), "");
  } else {
    EXPECT_EQ(app.comboSelection(Control::comContent), static_cast<int>(param.items.size()) - 1);
    EXPECT_EQ(app.comboEditText(Control::comContent), param.items.back());
  }
  // Start-up reports nothing, whatever the file holds.
  const std::vector<HWND> others = app.otherWindows();
  EXPECT_TRUE(others.empty()) << "start-up opened windows:" << describe(others);
}

INSTANTIATE_TEST_SUITE_P(
    Content, MessageFile,
    testing::Values(
        MessageFileCase{"CommaSeparatesItems", "你好,世界\r\n", {"你好", "世界"}},
        MessageFileCase{"EndOfFileEndsTheLastItem", "你好,世界", {"你好", "世界"}},
        MessageFileCase{"QuotesKeepACommaAndAreDropped", "\"你好,世界\"\r\n", {"你好,世界"}},
        MessageFileCase{"LeadingSpacesAreDropped", "  你好,   世界\r\n", {"你好", "世界"}},
        MessageFileCase{"EachLineGivesOneItem", "第一行\r\n第二行\r\n", {"第一行", "第二行"}},
        MessageFileCase{"EmptyFileGivesAnEmptyList", "", {}},
        MessageFileCase{"NoFileGivesAnEmptyList", std::nullopt, {}},
        MessageFileCase{"Utf8WithByteOrderMark", "\xEF\xBB\xBF你好,世界\r\n", {"你好", "世界"}},
        MessageFileCase{
            "Utf16LittleEndianWithByteOrderMark", utf16le(u"你好,世界\r\n"), {"你好", "世界"}},
        MessageFileCase{"Utf16LittleEndianWithoutByteOrderMark",
                        utf16le(u"你好,世界\r\n").substr(2),
                        {"你好", "世界"}}),
    [](const testing::TestParamInfo<MessageFileCase>& info) { return info.param.name; });

TEST(MessageFileCodePage, ReadsGbkTextInTheChineseCodePage) {
  if (GetACP() != 936) {
    GTEST_SKIP() << "needs ANSI code page 936 (run-in-wine with VORELO_WINE_LOCALE=zh_CN), have "
                 << GetACP();
  }
  // 你好,世界 in GBK.
  App app(program(), std::string("\xC4\xE3\xBA\xC3,\xCA\xC0\xBD\xE7\r\n"));
  waitFor([&] { return app.comboItems(Control::comContent).size() == 2; }, Millis{2000});
  EXPECT_EQ(app.comboItems(Control::comContent), (Items{"你好", "世界"}));
  EXPECT_EQ(app.comboEditText(Control::comContent), "世界");
}

// --- ending the program ---------------------------------------------------------------------

TEST(Exit, ExitButtonEndsTheProgramAtOnce) {
  App app(program(), std::string("你好\r\n"));
  app.clickButton(Control::cmdExit);
  EXPECT_TRUE(app.waitForExit(Millis{5000})) << "still running after 退出";
}

// Any process can send the window a WM_COMMAND. One that names a window other than the
// control with that id (here a window of this process whose user data is a bogus pointer, and
// another control of Vorelo's) does nothing: 退出 is not pressed and nothing crashes.
TEST(Exit, CommandsNamingAnotherWindowAreIgnored) {
  App app(program(), std::string("你好\r\n"));
  HWND stranger = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(stranger, nullptr);
  SetWindowLongPtrW(stranger, GWLP_USERDATA, static_cast<LONG_PTR>(0x1234));
  const WPARAM exitClicked = MAKEWPARAM(vorelo::app::controlId(Control::cmdExit), BN_CLICKED);
  for (HWND named : {stranger, app.control(Control::cmdDel)}) {
    SendMessageW(app.window(), WM_COMMAND, exitClicked, reinterpret_cast<LPARAM>(named));
  }
  app.sync();
  EXPECT_TRUE(app.running());
  EXPECT_EQ(app.comboItems(Control::comContent), Items{"你好"});
  DestroyWindow(stranger);
}

// The message that asks Vorelo to bring one of its boxes to the front can be posted by any
// program, naming any window: a window that is not Vorelo's is left where it is.
TEST(Exit, BoxMessagesNamingAnotherWindowAreIgnored) {
  App app(program(), std::string("你好\r\n"));
  HWND stranger = CreateWindowExW(0, L"STATIC", L"stranger", WS_POPUP | WS_VISIBLE, 0, 0, 10, 10,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(stranger, nullptr);
  PostMessageW(app.window(), RegisterWindowMessageW(L"Vorelo.BoxShown"),
               reinterpret_cast<WPARAM>(stranger), 0);
  app.sync();
  EXPECT_EQ(GetWindowLongPtrW(stranger, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_TRUE(app.running());
  DestroyWindow(stranger);
}

// One Vorelo at a time: a second start shows the running window (restored and in front when
// idle; left as it is during a run) and ends at once with exit code 0.
TEST(SecondStart, ShowsTheRunningWindowAndEnds) {
  // The chat the run types into, in front when Vorelo starts.
  Receiver chat(vorelo::e2e::siblingProgram("receiver.exe"));
  App app(program(), std::string("你好\r\n"));
  const auto startAgain = [&] {
    // Started as by a person, who may bring a window to the front (a double-click).
    vorelo::e2e::rig().allowForeground();
    vorelo::e2e::Process copy(program(), "", app.workingFolder());
    EXPECT_TRUE(copy.waitForExit(Millis{10000}));
    return copy.exitCode();
  };
  const auto mainWindows = [] {
    int count = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"VoreloMainWindow", nullptr));) ++count;
    return count;
  };
  ShowWindow(app.window(), SW_MINIMIZE);
  ASSERT_TRUE(waitFor([&] { return app.iconic(); }));
  EXPECT_EQ(startAgain(), 0u);
  EXPECT_TRUE(waitFor([&] { return !app.iconic() && GetForegroundWindow() == app.window(); }))
      << "the idle window comes back in front";
  EXPECT_EQ(mainWindows(), 1);

  app.clickButton(Control::cmdBegin);
  ASSERT_TRUE(waitFor([&] { return app.iconic(); }));
  EXPECT_EQ(startAgain(), 0u);
  EXPECT_FALSE(waitFor([&] { return !app.iconic(); }, Millis{1000})) << "a run is left alone";
  EXPECT_EQ(mainWindows(), 1);
  EXPECT_TRUE(app.running());
}

TEST(Exit, ClosingTheWindowEndsTheProgram) {
  App app(program(), std::string("你好\r\n"));
  app.close();
  EXPECT_TRUE(app.waitForExit(Millis{5000})) << "still running after WM_CLOSE";
}

}  // namespace
