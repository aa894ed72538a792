// Stands in for shutdown.exe and rundll.exe in end-to-end tests: appends where it was started
// from and its command line to the file named by VORELO_POWEROFF_LOG, one line, UTF-8, and
// powers nothing off.
#include <windows.h>

#include <string>

#include "win32/handles.h"
#include "win32/text.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t log[MAX_PATH];
  if (GetEnvironmentVariableW(L"VORELO_POWEROFF_LOG", log, MAX_PATH) == 0) return 1;
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::string line =
      vorelo::win32::narrow(std::wstring(self, n) + L"|" + GetCommandLineW() + L"\n");
  const vorelo::win32::UniqueFile file(CreateFileW(log, FILE_APPEND_DATA,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return 2;
  DWORD written = 0;
  WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  return 0;
}
