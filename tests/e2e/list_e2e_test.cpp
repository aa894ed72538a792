// Editing the message list end to end: 添加 with its input box, 删除, and the message file
// left untouched by both.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "e2e/driver.h"
#include "e2e/rig.h"

namespace vorelo::e2e {
namespace {

using app::Control;
using Items = std::vector<std::string>;

constexpr std::string_view kPrompt = "输入准备添加至对话列表的内容：";
constexpr std::string_view kEmptyListMessage = "对话列表中没有内容！";

HWND boxEdit(HWND box) {
  return FindWindowExW(box, nullptr, L"Edit", nullptr);
}

std::pair<int, int> selection(HWND edit) {
  const auto packed = static_cast<DWORD>(SendMessageW(edit, EM_GETSEL, 0, 0));
  return {LOWORD(packed), HIWORD(packed)};
}

bool closed(HWND window) {
  return !IsWindow(window) || !IsWindowVisible(window);
}

void postKey(HWND window, UINT key) {
  ASSERT_TRUE(PostMessageW(window, WM_KEYDOWN, key, 1));
}

class ListE2E : public ::testing::Test {
 protected:
  void launch(const std::string& messageFile) {
    app = std::make_unique<App>(programUnderTest(), messageFile);
  }

  // 添加, then the input box it opens.
  HWND openInputBox() {
    app->clickButton(Control::cmdAdd);
    HWND box = nullptr;
    waitFor([&] {
      for (HWND window : app->otherWindows()) {
        if (boxEdit(window) != nullptr) box = window;
      }
      return box != nullptr;
    });
    return box;
  }

  // Waits until the box is gone and the program has finished what closing it started.
  void waitUntilClosed(HWND box) {
    ASSERT_TRUE(waitFor([&] { return closed(box); })) << "the box stays open";
    app->sync();
  }

  void expectList(const Items& items, int selected, const std::string& shown) {
    EXPECT_EQ(app->comboItems(Control::comContent), items);
    EXPECT_EQ(app->comboSelection(Control::comContent), selected);
    EXPECT_EQ(app->comboEditText(Control::comContent), shown);
  }

  std::unique_ptr<App> app;
};

// --- 添加 ------------------------------------------------------------------------------------

TEST_F(ListE2E, AddAsksForTheTextInAModalBoxAndOkAddsItAsTheSelectedLastItem) {
  launch("a,b");
  HWND box = openInputBox();
  ASSERT_NE(box, nullptr) << "添加 opens no input box";

  EXPECT_EQ(windowText(box), "Vorelo");
  HWND prompt = FindWindowExW(box, nullptr, L"Static", nullptr);
  ASSERT_NE(prompt, nullptr);
  EXPECT_EQ(windowText(prompt), kPrompt);
  HWND edit = boxEdit(box);
  EXPECT_EQ(windowText(edit), "Hello");
  EXPECT_EQ(selection(edit), std::make_pair(0, 5))
      << "the default text is selected, ready to type over";
  for (auto [id, caption] : {std::pair{IDOK, "确定"}, std::pair{IDCANCEL, "取消"}}) {
    HWND button = GetDlgItem(box, id);
    ASSERT_NE(button, nullptr) << caption;
    EXPECT_EQ(windowClass(button), "Button");
    EXPECT_EQ(windowText(button), caption);
  }
  EXPECT_FALSE(IsWindowEnabled(app->window())) << "the main window waits for the box";

  clickDialogButton(box, IDOK);
  waitUntilClosed(box);
  EXPECT_TRUE(IsWindowEnabled(app->window()));
  expectList({"a", "b", "Hello"}, 2, "Hello");
}

// The input box is a modal dialog: it asks for no minimise or maximise button, and the window
// manager shows Vorelo's own icon for it, not Wine's stand-in for programs without one.
TEST_F(ListE2E, TheInputBoxIsAModalDialogWithVoreloSIcon) {
  launch("a");
  // In front as a person's click puts it there, so that its box opens in front too.
  ASSERT_TRUE(rig().activate(app->window()));
  HWND box = openInputBox();
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(waitFor([&] {
    const auto active = rig().activeWindow();
    return active && active->dialog;
  }));
  const auto buttons = rig().activeWindowButtons();
  ASSERT_TRUE(buttons);
  EXPECT_FALSE(buttons->minimize);
  EXPECT_FALSE(buttons->maximize);
  const Icon icon = rig().activeWindowIcon();
  ASSERT_GT(icon.width, 0);
  EXPECT_EQ(icon.at(icon.width / 2, icon.height / 2) & 0xFFFFFF, 0xCC3300u) << "the idle square";
  clickDialogButton(box, IDCANCEL);
  waitUntilClosed(box);
}

// Each way of closing the input box, and whether it adds the text.
struct Closing {
  const char* name;
  std::function<void(HWND box)> act;
  bool adds;
};

void PrintTo(const Closing& c, std::ostream* out) {
  *out << c.name;
}

class ClosingTheBox : public ListE2E, public testing::WithParamInterface<Closing> {};

TEST_P(ClosingTheBox, AddsTheTextOnlyWhenAccepted) {
  launch("a,b");
  HWND box = openInputBox();
  ASSERT_NE(box, nullptr) << "添加 opens no input box";
  GetParam().act(box);
  waitUntilClosed(box);
  EXPECT_TRUE(IsWindowEnabled(app->window()));
  if (GetParam().adds) {
    expectList({"a", "b", "Hello"}, 2, "Hello");
  } else {
    expectList({"a", "b"}, 1, "b");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, ClosingTheBox,
    testing::Values(
        Closing{"EnterInTheField", [](HWND box) { postKey(boxEdit(box), VK_RETURN); }, true},
        Closing{"CancelButton", [](HWND box) { clickDialogButton(box, IDCANCEL); }, false},
        Closing{"EscInTheField", [](HWND box) { postKey(boxEdit(box), VK_ESCAPE); }, false},
        Closing{"CloseBox", [](HWND box) { ASSERT_TRUE(PostMessageW(box, WM_CLOSE, 0, 0)); },
                false}),
    [](const testing::TestParamInfo<Closing>& info) { return info.param.name; });

struct Entry {
  const char* name;
  std::string typed;
  bool adds;
};

void PrintTo(const Entry& e, std::ostream* out) {
  *out << e.name;
}

class EnteredText : public ListE2E, public testing::WithParamInterface<Entry> {};

TEST_P(EnteredText, IsAddedAsTypedUnlessBlank) {
  launch("a");
  HWND box = openInputBox();
  ASSERT_NE(box, nullptr) << "添加 opens no input box";
  const std::wstring text = widen(GetParam().typed);
  SendMessageW(boxEdit(box), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  clickDialogButton(box, IDOK);
  waitUntilClosed(box);
  if (GetParam().adds) {
    expectList({"a", GetParam().typed}, 1, GetParam().typed);
  } else {
    expectList({"a"}, 0, "a");
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, EnteredText,
                         testing::Values(Entry{"SpacesAroundAreKept", "  hi  ", true},
                                         Entry{"ChineseAndEmoji", "你好，世界😀", true},
                                         Entry{"OnlySpacesAddNothing", "   ", false},
                                         Entry{"EmptyAddsNothing", "", false}),
                         [](const testing::TestParamInfo<Entry>& info) { return info.param.name; });

// --- 删除 ------------------------------------------------------------------------------------

TEST_F(ListE2E, DeleteRemovesTheSelectedItemAndSelectsTheLastOneLeft) {
  launch("a,b,c");
  app->pickComboItem(Control::comContent, 0);
  app->clickButton(Control::cmdDel);
  app->sync();
  expectList({"b", "c"}, 1, "c");

  app->clickButton(Control::cmdDel);
  app->sync();
  expectList({"b"}, 0, "b");

  // The last item goes too: an empty list with nothing selected and nothing shown.
  app->clickButton(Control::cmdDel);
  app->sync();
  expectList({}, -1, "");

  // With nothing left, 开始 says so instead of starting.
  app->clickButton(Control::cmdBegin);
  HWND box = nullptr;
  ASSERT_TRUE(waitFor([&] {
    for (HWND window : app->otherWindows()) {
      if (messageBoxText(window) == kEmptyListMessage) box = window;
    }
    return box != nullptr;
  })) << "开始 with an empty list shows no message";
  clickDialogButton(box, IDOK);
  waitUntilClosed(box);
  EXPECT_FALSE(app->iconic());
  EXPECT_TRUE(app->enabled(Control::cmdBegin));
}

TEST_F(ListE2E, DeleteWithFreeTextInTheFieldRemovesNothing) {
  launch("a,b");
  app->retypeCombo(Control::comContent, "zz");
  app->clickButton(Control::cmdDel);
  app->sync();
  EXPECT_TRUE(app->running());
  EXPECT_EQ(app->comboItems(Control::comContent), (Items{"a", "b"}));
  EXPECT_EQ(app->comboEditText(Control::comContent), "zz");
}

// --- the message file -----------------------------------------------------------------------

TEST_F(ListE2E, EditingTheListNeverWritesToTheFolder) {
  // A file that a program writing the list back could not reproduce byte for byte.
  const std::string original = "\"x,y\",  b\r\nc";
  launch(original);
  const std::filesystem::path folder(widen(app->workingFolder()));

  HWND box = openInputBox();
  ASSERT_NE(box, nullptr) << "添加 opens no input box";
  clickDialogButton(box, IDOK);
  waitUntilClosed(box);
  app->pickComboItem(Control::comContent, 0);
  app->clickButton(Control::cmdDel);
  app->sync();
  EXPECT_EQ(app->comboItems(Control::comContent), (Items{"b", "c", "Hello"}));

  // Nothing is saved on the way out either.
  app->clickButton(Control::cmdExit);
  ASSERT_TRUE(app->waitForExit());
  EXPECT_EQ(readFile(app->workingFolder() + "\\Msg.txt"), original);
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files.push_back(narrow(entry.path().filename().wstring()));
  }
  EXPECT_EQ(files, std::vector<std::string>{"Msg.txt"});
}

}  // namespace
}  // namespace vorelo::e2e
