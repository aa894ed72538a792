// The taskbar button as a progress bar (ITaskbarList3), where the taskbar offers one. It is set
// up when the taskbar says it has made the button; COM is loaded only then, so a system
// without such a taskbar (Wine) pays nothing. Every call that fails is let go.
#pragma once

#include <windows.h>

#include "platform/backend.h"

struct ITaskbarList3;

namespace vorelo::win32 {

class TaskbarProgress {
 public:
  TaskbarProgress();
  ~TaskbarProgress();
  TaskbarProgress(const TaskbarProgress&) = delete;
  TaskbarProgress& operator=(const TaskbarProgress&) = delete;

  // The message the taskbar sends a window once it has made (or remade) its button.
  UINT buttonCreatedMessage() const { return buttonCreated_; }
  // The button of `window` exists: it shows what it was last asked to.
  void buttonCreated(HWND window);
  void show(HWND window, const platform::Progress& progress);

 private:
  void apply(HWND window);
  void release();

  UINT buttonCreated_;
  platform::Progress progress_;
  HMODULE ole32_ = nullptr;
  bool comStarted_ = false;
  ITaskbarList3* list_ = nullptr;
};

}  // namespace vorelo::win32
