// The message list: filled from the message file at start-up, edited with 添加 and 删除.
#include <string>

#include "app/main_window.h"
#include "messages/list_rules.h"
#include "messages/message_file.h"

namespace vorelo::app {

namespace {
constexpr std::string_view kAddPrompt = "输入准备添加至对话列表的内容：";
constexpr std::string_view kAddDefault = "Hello";
}  // namespace

void MainWindow::LoadMessageFile() {
  // Any problem with the file ends loading silently; the window starts with what was read.
  auto& system = toolkit.system();
  // A read error part way keeps the items read before it.
  const std::optional<platform::FileContent> file = system.readFile("Msg.txt");
  if (!file) return;
  const std::vector<std::string> items =
      messages::readMessageFile(file->bytes, system.codePages(), file->end);
  comContent.beginUpdate();
  for (const std::string& item : items) {
    if (!comContent.addItem(item)) break;
    comContent.setListIndex(comContent.listCount() - 1);
  }
  comContent.endUpdate();
}

void MainWindow::cmdAdd_Click() {
  if (comContent.listCount() >= platform::ComboBox::kMaxItems) {
    form.messageBox("对话列表已满：已有 " + std::to_string(comContent.listCount()) +
                    " 条消息，不能再添加。");
    return;
  }
  const std::string text = form.inputBox(kAddPrompt, kAddDefault);
  if (messages::isBlankMessage(text)) return;
  // The text is kept as typed, spaces and all.
  if (!comContent.addItem(text)) return;
  comContent.setListIndex(comContent.listCount() - 1);
}

void MainWindow::cmdDel_Click() {
  if (comContent.listCount() <= 0) return;
  // With free text typed into the field no item is selected, and there is nothing to remove.
  if (comContent.listIndex() < 0) return;
  comContent.removeItem(comContent.listIndex());
  // The last remaining item is selected, whichever was removed; none when the list is empty.
  comContent.setListIndex(comContent.listCount() - 1);
}

}  // namespace vorelo::app
