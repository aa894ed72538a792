// What the control contract suite needs from a backend: controls to test and a way to act as
// the person in front of them. The fake answers in memory with a virtual clock; the Windows
// harness uses real controls, real notifications and real time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/backend.h"

namespace vorelo::contract {

class Harness {
 public:
  virtual ~Harness() = default;

  virtual platform::ComboBackend& newCombo() = 0;
  virtual platform::CheckBackend& newCheckBox() = 0;
  // Two option buttons forming one group.
  virtual std::pair<platform::CheckBackend*, platform::CheckBackend*> newOptionPair() = 0;
  virtual platform::ButtonBackend& newButton() = 0;
  virtual platform::TimerBackend& newTimer() = 0;

  // Acting as the user, one keystroke per character, as a person types into the field.
  virtual void type(platform::ComboBackend& combo, std::string_view characters) = 0;
  // The user picks item `index` from the list.
  virtual void pick(platform::ComboBackend& combo, int index) = 0;
  // The user clicks; on a disabled control the click reaches nothing the user could see.
  virtual void click(platform::ButtonBackend& button) = 0;

  // What the screen shows.
  virtual std::string shownText(platform::ComboBackend& combo) = 0;
  virtual std::vector<std::string> shownItems(platform::ComboBackend& combo) = 0;
  virtual bool shownChecked(platform::CheckBackend& box) = 0;
  virtual bool shownEnabled(platform::ControlBackend& control) = 0;

  // Milliseconds since the harness started: virtual for the fake, real for Windows.
  virtual uint64_t now() = 0;
  // Lets `ms` pass, delivering whatever is due in between.
  virtual void wait(uint32_t ms) = 0;
  // How late a real timer may be on a busy machine; 0 where time is virtual.
  virtual uint32_t slack() const = 0;
};

// Each test binary links the harness of its backend.
std::unique_ptr<Harness> makeHarness();

}  // namespace vorelo::contract
