#include "platform/win32/text.h"

#include <climits>

namespace vorelo::win32 {

namespace {

std::wstring toWide(UINT codePage, std::string_view bytes) {
  std::wstring out;
  // Converted in slices so no length ever overflows the API's int.
  constexpr std::size_t kSlice = 1u << 26;
  while (!bytes.empty()) {
    std::size_t n = bytes.size() < kSlice ? bytes.size() : kSlice;
    if (n < bytes.size()) {
      // Do not cut a multi-byte character in two: back off to a lead byte.
      if (codePage == CP_UTF8) {
        while (n > 0 && (static_cast<unsigned char>(bytes[n]) & 0xC0) == 0x80) --n;
      } else {
        while (n > 0 && IsDBCSLeadByte(static_cast<BYTE>(bytes[n - 1]))) --n;
      }
      if (n == 0) n = bytes.size() < kSlice ? bytes.size() : kSlice;
    }
    const int len = static_cast<int>(n);
    const int wlen = MultiByteToWideChar(codePage, 0, bytes.data(), len, nullptr, 0);
    if (wlen > 0) {
      const std::size_t at = out.size();
      out.resize(at + static_cast<std::size_t>(wlen));
      MultiByteToWideChar(codePage, 0, bytes.data(), len, out.data() + at, wlen);
    }
    bytes.remove_prefix(n);
  }
  return out;
}

}  // namespace

std::wstring widen(std::string_view utf8) {
  return toWide(CP_UTF8, utf8);
}

std::string narrow(std::wstring_view utf16) {
  std::string out;
  if (utf16.empty() || utf16.size() > static_cast<std::size_t>(INT_MAX / 4)) return out;
  const int len = static_cast<int>(utf16.size());
  const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return out;
  out.resize(static_cast<std::size_t>(n));
  WideCharToMultiByte(CP_UTF8, 0, utf16.data(), len, out.data(), n, nullptr, nullptr);
  return out;
}

std::string ansiToUtf8(std::string_view bytes) {
  return narrow(toWide(CP_ACP, bytes));
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
