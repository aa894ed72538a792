#include "win32/errors.h"

namespace vorelo::win32 {

std::wstring systemErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n > 0 && buffer != nullptr ? std::wstring(buffer, n) : std::wstring();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  if (text.empty()) text = L"未知错误";
  return text + L"（错误代码 " + std::to_wstring(error) + L"）";
}

void reportStartupFailure(const StartupError& failure) noexcept {
  try {
    const std::wstring text =
        L"Vorelo 无法启动：" + failure.step() + L"。\n\n" + systemErrorText(failure.error());
    MessageBoxW(nullptr, text.c_str(), L"Vorelo", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  } catch (...) {
    MessageBoxW(nullptr, L"Vorelo 无法启动。", L"Vorelo", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  }
}

void fatal(const char* what) noexcept {
  wchar_t text[512] = L"Vorelo 遇到内部错误，即将退出。\n\n";
  // The description is ASCII from the standard library; anything else is shown byte by byte.
  std::size_t at = wcslen(text);
  for (const char* p = what; p != nullptr && *p != '\0' && at + 1 < std::size(text); ++p) {
    text[at++] = static_cast<wchar_t>(static_cast<unsigned char>(*p));
  }
  text[at] = L'\0';
  MessageBoxW(nullptr, text, L"Vorelo", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(1);
}

}  // namespace vorelo::win32
