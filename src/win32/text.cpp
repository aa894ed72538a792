#include "win32/text.h"

#include <algorithm>
#include <climits>

#include "base/utf.h"

namespace vorelo::win32 {

std::wstring widen(std::string_view utf8) {
  const std::u16string units = utf::utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

std::string narrow(std::wstring_view utf16) {
  const std::u16string units(utf16.begin(), utf16.end());
  return utf::utf16ToUtf8(units);
}

std::string codePageToUtf8(UINT codePage, std::string_view bytes) {
  // The message file is read 64 MiB at most, far below the API's int.
  const int len = static_cast<int>(std::min<std::size_t>(bytes.size(), INT_MAX));
  if (len == 0) return {};
  const int wlen = MultiByteToWideChar(codePage, 0, bytes.data(), len, nullptr, 0);
  if (wlen <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(wlen), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), len, wide.data(), wlen);
  return narrow(wide);
}

UINT userAnsiCodePage() {
  DWORD codePage = 0;
  const int got =
      GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                      reinterpret_cast<LPWSTR>(&codePage), sizeof(codePage) / sizeof(WCHAR));
  return got > 0 ? codePage : 0;
}

std::wstring windowText(HWND hwnd) {
  const LRESULT len = SendMessageW(hwnd, WM_GETTEXTLENGTH, 0, 0);
  if (len <= 0) return {};
  std::wstring text(static_cast<std::size_t>(len) + 1, L'\0');
  const LRESULT got =
      SendMessageW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return text;
}

}  // namespace vorelo::win32
