// Where the main window gets its native parts from: real Windows controls in the program, the
// in-memory fakes in tests.
#pragma once

#include "app/layout.h"
#include "platform/backend.h"
#include "platform/chats.h"
#include "platform/key_pipeline.h"
#include "platform/system.h"

namespace vorelo::app {

enum class TimerName : uint8_t { tmrWatch, tmrSend };

class Toolkit {
 public:
  virtual ~Toolkit() = default;
  virtual platform::ComboBackend& combo(Control control) = 0;
  virtual platform::CheckBackend& check(Control control) = 0;
  virtual platform::ButtonBackend& button(Control control) = 0;
  virtual platform::TimerBackend& timer(TimerName timer) = 0;
  virtual platform::WindowBackend& window() = 0;
  virtual platform::System& system() = 0;
  virtual platform::Chats& chats() = 0;
  virtual platform::KeyPipeline& keys() = 0;
};

}  // namespace vorelo::app
