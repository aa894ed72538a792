// Where the program's UTF-8 text meets the Windows API's UTF-16: both directions go through
// the one codec in base/.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vorelo::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);
// Bytes in a code page (GBK, 936, on a Chinese system), as UTF-8.
std::string codePageToUtf8(UINT codePage, std::string_view bytes);
// The ANSI code page of the user's locale (LOCALE_IDEFAULTANSICODEPAGE), or 0 where it names none
// (a locale written only in Unicode) or cannot be read.
UINT userAnsiCodePage();
// The whole text of a window (also another process's edit control: WM_GETTEXT, not
// GetWindowText, which does not cross processes).
std::wstring windowText(HWND hwnd);

}  // namespace vorelo::win32
