// Owning wrappers for GDI and USER handles: move-only, released exactly once. Child windows
// are never owned (their parent destroys them), and icons loaded shared are never destroyed.
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
  Unique(Unique&& other) noexcept : h_(std::exchange(other.h_, Handle{})) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) {
      reset();
      h_ = std::exchange(other.h_, Handle{});
    }
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;

  Handle get() const { return h_; }
  explicit operator bool() const { return h_ != Handle{}; }
  void reset(Handle h = Handle{}) {
    if (h_ != Handle{}) Traits::close(h_);
    h_ = h;
  }

 private:
  Handle h_{};
};

struct FontTraits {
  using Handle = HFONT;
  static void close(HFONT h) { DeleteObject(h); }
};
struct IconTraits {
  using Handle = HICON;
  static void close(HICON h) { DestroyIcon(h); }
};
struct BitmapTraits {
  using Handle = HBITMAP;
  static void close(HBITMAP h) { DeleteObject(h); }
};
struct KernelTraits {
  using Handle = HANDLE;
  static void close(HANDLE h) {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};
struct WindowTraits {
  using Handle = HWND;
  static void close(HWND h) { DestroyWindow(h); }
};

using UniqueFont = Unique<FontTraits>;
using UniqueIcon = Unique<IconTraits>;
using UniqueBitmap = Unique<BitmapTraits>;
using UniqueHandle = Unique<KernelTraits>;
// Only for top-level windows this program creates and must destroy itself (dialogs, tips).
using UniqueWindow = Unique<WindowTraits>;

}  // namespace vorelo::win32
