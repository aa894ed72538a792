// The input box: a small modal window with a prompt, an edit field and 确定 / 取消.
#pragma once

#include <windows.h>

#include <string>

namespace vorelo::win32 {

// Shows the box over `owner` (disabled meanwhile) and returns the text as edited, or "" when
// the user cancels or closes it.
std::wstring runInputBox(HWND owner, const std::wstring& title, const std::wstring& prompt,
                         const std::wstring& defaultText);

}  // namespace vorelo::win32
