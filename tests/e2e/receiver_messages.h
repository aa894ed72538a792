// What a test asks the receiver beyond its log. The receiver answers from its own thread, so the
// answer is what the window the keys arrive in sees, as a chat would.
#pragma once

#include <windows.h>

namespace vorelo::e2e {

// Answers 1 when CapsLock is on in the receiver's key state, else 0.
inline constexpr UINT kReceiverCapsLock = WM_APP + 10;
// Gives the window its input method back (the receiver starts with none, so that letters arrive
// as letters) and opens it in its native mode. wParam: a keyboard layout to switch the window to
// first, or 0. Answers 1 when an input method is then open for the window.
inline constexpr UINT kReceiverInputMethodOn = WM_APP + 11;

}  // namespace vorelo::e2e
