// The main window on the in-memory toolkit, started the way the program starts it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "support/fake_toolkit.h"

namespace vorelo::testing {

// The items of a list, in order.
inline std::vector<std::string> items(const platform::ComboBox& combo) {
  std::vector<std::string> out;
  for (int i = 0; i < combo.listCount(); ++i) out.push_back(combo.list(i));
  return out;
}

class WindowTest : public ::testing::Test {
 protected:
  fake::Toolkit tk;
  std::unique_ptr<app::MainWindow> w;

  // Creates the window and runs Form_Load with `msgFile` as the content of Msg.txt (none:
  // there is no such file).
  app::MainWindow& start(std::optional<std::string> msgFile = std::nullopt) {
    if (msgFile) tk.fakeSystem().files["Msg.txt"] = *msgFile;
    // The program starts remembering the window the user was in.
    tk.chats().noteForeground(tk.fakeSystem().foreground);
    w = std::make_unique<app::MainWindow>(tk);
    w->Form_Load();
    return *w;
  }

  fake::FakeCombo& screen(app::Control c) { return tk.comboOf(c); }
  fake::FakeButton& button(app::Control c) { return tk.buttonOf(c); }
  fake::FakeCheck& check(app::Control c) { return tk.checkOf(c); }
  fake::FakeWindow& window() { return tk.fakeWindow(); }
};

}  // namespace vorelo::testing
