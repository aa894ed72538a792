// The taskbar button as a progress bar (ITaskbarList3), where the taskbar offers one. It is set
// up when the taskbar says it has made the button; COM is loaded only then, so a system without
// such a taskbar (Wine) pays nothing. Every call that fails is let go.
//
// Explorer answers these calls, and while Explorer hangs a call waits with it. So they run on a
// thread of their own, in a single-threaded COM apartment of its own, which is handed only the
// latest value to show: the window's thread never waits for Explorer, and the ticks, 停止 and F12
// go on. This thread is the one place where Vorelo does not keep to its one GUI thread.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "platform/backend.h"

namespace vorelo::win32 {

class TaskbarProgress {
 public:
  // What shows the progress on the button: ITaskbarList3, or a stand-in in tests. Made, started
  // and called on the taskbar's own thread only.
  class Button {
   public:
    virtual ~Button() = default;
    // False when the taskbar offers no progress (the button then shows nothing, ever).
    virtual bool start() = 0;
    virtual void show(HWND window, const platform::Progress& progress) = 0;
  };
  using MakeButton = std::function<std::unique_ptr<Button>()>;

  // `make` makes the button on the taskbar's thread; by default the system's ITaskbarList3.
  explicit TaskbarProgress(MakeButton make = {});
  ~TaskbarProgress();
  TaskbarProgress(const TaskbarProgress&) = delete;
  TaskbarProgress& operator=(const TaskbarProgress&) = delete;

  // The message the taskbar sends a window once it has made (or remade) its button.
  UINT buttonCreatedMessage() const { return buttonCreated_; }
  // The button of `window` exists: it shows what it was last asked to.
  void buttonCreated(HWND window);
  // Returns at once; the button shows the latest value asked for.
  void show(HWND window, const platform::Progress& progress);

 private:
  struct Shared;
  static DWORD WINAPI run(void* shared) noexcept;
  void wake();

  UINT buttonCreated_;
  std::shared_ptr<Shared> shared_;
  HANDLE thread_ = nullptr;
};

}  // namespace vorelo::win32
