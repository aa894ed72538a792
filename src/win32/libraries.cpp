#include "win32/libraries.h"

#include <string>

namespace vorelo::win32 {

HMODULE systemLibrary(const wchar_t* name) {
  wchar_t folder[MAX_PATH];
  const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  return LoadLibraryW((std::wstring(folder, n) + L"\\" + name).c_str());
}

}  // namespace vorelo::win32
