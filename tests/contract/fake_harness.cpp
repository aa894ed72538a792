#include <map>

#include "contract/harness.h"
#include "support/fake_toolkit.h"

namespace vorelo::contract {

namespace {

class FakeHarness final : public Harness {
 public:
  platform::ComboBackend& newCombo() override {
    return *combos_.emplace_back(std::make_unique<fake::FakeCombo>());
  }
  platform::CheckBackend& newCheckBox() override {
    return *checks_.emplace_back(std::make_unique<fake::FakeCheck>());
  }
  std::pair<platform::CheckBackend*, platform::CheckBackend*> newOptionPair() override {
    return {&newCheckBox(), &newCheckBox()};
  }
  platform::ButtonBackend& newButton() override {
    return *buttons_.emplace_back(std::make_unique<fake::FakeButton>());
  }
  platform::TimerBackend& newTimer() override {
    return *timers_.emplace_back(std::make_unique<fake::FakeTimer>(clock_));
  }

  void type(platform::ComboBackend& combo, std::string_view characters) override {
    static_cast<fake::FakeCombo&>(combo).type(characters);
  }
  void pick(platform::ComboBackend& combo, int index) override {
    static_cast<fake::FakeCombo&>(combo).pick(index);
  }
  void click(platform::ButtonBackend& button) override {
    if (auto* check = dynamic_cast<fake::FakeCheck*>(&button)) {
      check->click();
    } else {
      static_cast<fake::FakeButton&>(button).click();
    }
  }

  std::string shownText(platform::ComboBackend& combo) override {
    return static_cast<fake::FakeCombo&>(combo).shownText();
  }
  std::vector<std::string> shownItems(platform::ComboBackend& combo) override {
    return static_cast<fake::FakeCombo&>(combo).shownItems();
  }
  bool shownChecked(platform::CheckBackend& box) override {
    return static_cast<fake::FakeCheck&>(box).checked();
  }
  bool shownEnabled(platform::ControlBackend& control) override {
    if (auto* c = dynamic_cast<fake::FakeCombo*>(&control)) return c->enabled();
    if (auto* c = dynamic_cast<fake::FakeCheck*>(&control)) return c->enabled();
    return static_cast<fake::FakeButton&>(control).enabled();
  }

  uint64_t now() override { return clock_.now(); }
  void wait(uint32_t ms) override { clock_.advance(ms); }
  uint32_t slack() const override { return 0; }

 private:
  fake::Clock clock_;
  std::vector<std::unique_ptr<fake::FakeCombo>> combos_;
  std::vector<std::unique_ptr<fake::FakeCheck>> checks_;
  std::vector<std::unique_ptr<fake::FakeButton>> buttons_;
  std::vector<std::unique_ptr<fake::FakeTimer>> timers_;
};

}  // namespace

std::unique_ptr<Harness> makeHarness() {
  return std::make_unique<FakeHarness>();
}

}  // namespace vorelo::contract
