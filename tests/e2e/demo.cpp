// Shows the program doing its job where nobody can watch: a receiver window stands in for a
// chat, Vorelo sends the sample messages into it at a 1 s interval, and the result is printed
// and photographed.
//
//   demo.exe <vorelo.exe> <Msg.txt> <folder for screenshots>
#include <windows.h>

#include <cstdio>
#include <string>

#include "e2e/driver.h"
#include "e2e/receiver_client.h"
#include "e2e/unix_tools.h"

namespace {

using vorelo::app::Control;
namespace e2e = vorelo::e2e;

void shoot(const std::string& folder, const char* name) {
  const std::string path = folder + "/" + name;
  e2e::runUnix("import -window root '" + path + "'");
  std::printf("  screenshot: %s\n", path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: demo <vorelo.exe> <Msg.txt> <screenshot folder>\n");
    return 2;
  }
  const std::string shots = argv[3];
  try {
    e2e::Receiver receiver(e2e::siblingProgram("receiver.exe"));
    e2e::App app(argv[1], e2e::readFile(argv[2]));
    app.retypeCombo(Control::comInterval, "1");
    std::printf("Vorelo started with %zu sample messages, interval 1 s.\n",
                app.comboItems(Control::comContent).size());
    shoot(shots, "1-vorelo-idle.png");

    e2e::beginSending(app, receiver);
    std::printf("开始 clicked: Vorelo minimised itself and types into the receiver window.\n");
    e2e::waitFor([&] { return receiver.submitTimes().size() >= 5; }, e2e::Millis{20000});
    shoot(shots, "2-receiver-while-sending.png");
    app.clickButton(Control::cmdStop);
    e2e::waitFor([&] { return !app.iconic(); });
    std::printf("停止 clicked after %zu messages. The receiver got:\n",
                receiver.submitTimes().size());
    std::string typed = receiver.typed();
    for (std::size_t at = typed.find("[Enter]"); at != std::string::npos;
         at = typed.find("[Enter]", at)) {
      typed.replace(at, 7, "  ⏎\n    ");
    }
    std::printf("    %s\n", typed.c_str());
    shoot(shots, "3-vorelo-stopped.png");
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "demo failed: %s\n", e.what());
    return 1;
  }
}
