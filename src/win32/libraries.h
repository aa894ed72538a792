// Functions found at run time: those newer than the oldest Windows Vorelo runs on, and those of
// DLLs it loads only when they are needed.
#pragma once

#include <windows.h>

namespace vorelo::win32 {

// A function of a loaded module, or null.
template <typename F>
F procedure(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // The cast through a generic function pointer keeps both GCC and MSVC quiet.
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// A DLL of the system folder, loaded by its full path, never from the program's own folder
// where a planted copy could wait, and kept for the program's life; null when it cannot be.
HMODULE systemLibrary(const wchar_t* name);

}  // namespace vorelo::win32
