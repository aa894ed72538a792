// The message list: filled from the message file at start-up, edited with 添加 and 删除.
#include "app/main_window.h"
#include "messages/message_file.h"

namespace vorelo::app {

void MainWindow::LoadMessageFile() {
  // Any problem with the file ends loading silently; the window starts with what was read.
  auto& system = toolkit.system();
  const std::optional<std::string> bytes = system.readFile("Msg.txt");
  if (!bytes) return;
  const std::vector<std::string> items = messages::readMessageFile(
      *bytes, [&system](std::string_view ansi) { return system.ansiToUtf8(ansi); });
  comContent.beginUpdate();
  for (const std::string& item : items) {
    if (!comContent.addItem(item)) break;
    comContent.setListIndex(comContent.listCount() - 1);
  }
  comContent.endUpdate();
}

void MainWindow::cmdAdd_Click() {}

void MainWindow::cmdDel_Click() {}

}  // namespace vorelo::app
