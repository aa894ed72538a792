// Owning wrappers for kernel, GDI and USER handles: move-only, released exactly once. Each
// handle type has its own empty value: CreateFile fails with INVALID_HANDLE_VALUE, everything
// else with null. Child windows are never owned (their parent destroys them), and icons
// loaded shared are never destroyed.
#pragma once

#include <windows.h>

#include <utility>

namespace vorelo::win32 {

template <typename Traits>
class Unique {
 public:
  using Handle = typename Traits::Handle;
  Unique() = default;
  explicit Unique(Handle h) : h_(h) {}
  ~Unique() { reset(); }
  Unique(Unique&& other) noexcept : h_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;

  Handle get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::empty(); }
  Handle release() { return std::exchange(h_, Traits::empty()); }
  void reset(Handle h = Traits::empty()) {
    if (h_ != Traits::empty()) Traits::close(h_);
    h_ = h;
  }

 private:
  Handle h_ = Traits::empty();
};

struct FileTraits {
  using Handle = HANDLE;
  static Handle empty() { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { CloseHandle(h); }
};
struct KernelTraits {
  using Handle = HANDLE;
  static Handle empty() { return nullptr; }
  static void close(HANDLE h) { CloseHandle(h); }
};
struct FontTraits {
  using Handle = HFONT;
  static Handle empty() { return nullptr; }
  static void close(HFONT h) { DeleteObject(h); }
};
struct IconTraits {
  using Handle = HICON;
  static Handle empty() { return nullptr; }
  static void close(HICON h) { DestroyIcon(h); }
};
struct WindowTraits {
  using Handle = HWND;
  static Handle empty() { return nullptr; }
  static void close(HWND h) { DestroyWindow(h); }
};
struct WinEventHookTraits {
  using Handle = HWINEVENTHOOK;
  static Handle empty() { return nullptr; }
  static void close(HWINEVENTHOOK h) { UnhookWinEvent(h); }
};

// Handles whose failure is INVALID_HANDLE_VALUE: CreateFile, CreateToolhelp32Snapshot.
using UniqueFile = Unique<FileTraits>;
// Processes, threads, snapshots, events: their failure is null.
using UniqueHandle = Unique<KernelTraits>;
using UniqueFont = Unique<FontTraits>;
using UniqueIcon = Unique<IconTraits>;
// Only for top-level windows this program creates and must destroy itself (dialogs, tips).
using UniqueWindow = Unique<WindowTraits>;
using UniqueWinEventHook = Unique<WinEventHookTraits>;

// GetDC paired with ReleaseDC. null is the screen.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;

  HDC get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

// SelectObject paired with putting the previous object back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(dc != nullptr ? SelectObject(dc, object) : nullptr) {}
  ~SelectedObject() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace vorelo::win32
