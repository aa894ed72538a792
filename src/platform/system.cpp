#include "platform/system.h"

#include <vector>

namespace vorelo::platform {

Delivery System::sendKeys(std::span<const engine::KeyAction> actions) {
  if (actions.empty()) return {};
  // A program running as administrator (or the lock screen's, which cannot be read) drops keys
  // from Vorelo, and the system may not even say so: nothing is typed into it.
  const KeyTarget target = keyTarget();
  if (!target.acceptsKeys) return {Delivery::Outcome::Blocked, target.caption};

  const engine::KeyboardState keyboard = keyboardState();
  const std::vector<engine::KeyEvent> events =
      engine::planKeyEvents(actions, keyLayout(), keyboard);
  const std::size_t taken = injectKeys(events);
  if (taken == 0) return {Delivery::Outcome::Refused, target.caption};
  // Refused part way: every key the part that went pressed is let go.
  const bool whole = taken == events.size();
  if (!whole) injectKeys(engine::releaseAfterPartial(events, taken));
  // What the system took ran from the start, where the held modifiers were let go.
  pressBack(keyboard.held);
  return {whole ? Delivery::Outcome::Sent : Delivery::Outcome::Refused, target.caption};
}

}  // namespace vorelo::platform
