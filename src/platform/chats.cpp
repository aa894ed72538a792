#include "platform/chats.h"

namespace vorelo::platform {

WindowKind Chats::judge(const WindowFacts& window) const {
  if (runChat_ != 0) return classify(window, runChat_);
  // A window that would become the run's chat is judged as that chat when it is a program's own
  // window: a program built around a dialog box is a chat. An owned one is judged as the prompt it
  // may be.
  return classify(window, window.owner == 0 ? window.handle : 0);
}

void Chats::remember(WindowHandle chat) {
  lastChat_ = chat;
  if (runChat_ != 0) runChat_ = chat;
}

Front Chats::inFront() {
  const WindowFacts facts = system_.windowFacts(system_.foregroundWindow());
  const Front front{facts.handle, judge(facts), facts.level, facts.ours};
  if (front.chat()) remember(front.window);
  return front;
}

WindowKind Chats::kindOf(WindowHandle window) {
  return window == 0 ? WindowKind::None : judge(system_.windowFacts(window));
}

void Chats::noteForeground(WindowHandle window) {
  if (kindOf(window) == WindowKind::Chat) remember(window);
}

StartChat Chats::toStartIn() {
  const Front front = inFront();
  if (front.chat()) return {front.window, WindowKind::Chat, false};
  // Vorelo itself is in front (开始 was clicked; minimised, it may still be the window in front
  // for a moment), or nothing is, as between two windows: the keyboard goes back to the chat the
  // user was in, if it still is one.
  if (!front.ours && front.window != 0) return {0, front.kind, false};
  if (lastChat_ == 0) return {0, WindowKind::None, true};
  const WindowKind last = kindOf(lastChat_);
  return {last == WindowKind::Chat ? lastChat_ : 0, last, true};
}

engine::LayoutLookup Chats::keyLayout(const Front& front) {
  const WindowHandle window = front.chat() ? front.window : runChat_ != 0 ? runChat_ : lastChat_;
  return system_.layoutOf(window);
}

}  // namespace vorelo::platform
