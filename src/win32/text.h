// Where the program's UTF-8 text meets the Windows API's UTF-16: both directions go through
// the one codec in base/.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vorelo::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);
// Bytes in the system's ANSI code page (GBK on a Chinese system), as UTF-8.
std::string ansiToUtf8(std::string_view bytes);
// The whole text of a window (also another process's edit control: WM_GETTEXT, not
// GetWindowText, which does not cross processes).
std::wstring windowText(HWND hwnd);

}  // namespace vorelo::win32
