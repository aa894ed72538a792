// Vorelo's boxes come up in front of every other window (the chat window the user is typing
// in, say), visible at once, and take the keyboard focus where the system allows it; where it
// does not, the taskbar button flashes.
#pragma once

#include <windows.h>

#include <string>

namespace vorelo::win32 {

// Puts a box that has just been shown above every other window and asks for the focus.
void bringBoxToFront(HWND box, HWND owner);

// Asks `owner` (by a posted message, handled once the box is shown) to bring `box` to the front.
void announceBox(HWND box, HWND owner);

// A modal message box (information icon, OK) over `owner`, brought to the front.
void showMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption);

// The message the owner receives, with the box in wParam, once a message box is up; its window
// procedure answers it with bringBoxToFront.
bool isBoxShownMessage(UINT message);

}  // namespace vorelo::win32
