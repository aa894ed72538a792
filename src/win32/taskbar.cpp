#include "win32/taskbar.h"

#include <shobjidl.h>

#include <cmath>
#include <utility>

#include "win32/libraries.h"

namespace vorelo::win32 {

namespace {

constexpr CLSID kTaskbarList = {
    0x56FDF344, 0xFD6D, 0x11D0, {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};
constexpr IID kTaskbarList3 = {
    0xEA1AFB91, 0x9E28, 0x4B86, {0x90, 0xE9, 0x9E, 0x9F, 0x8A, 0x5E, 0xEF, 0xAF}};
// The progress value's whole: a thousandth of the run is the smallest step shown.
constexpr ULONGLONG kProgressTotal = 1000;
// How long a closing window waits for the taskbar's thread; a thread held by a hung Explorer
// is left to the end of the process.
constexpr DWORD kFarewellMs = 200;

// The system's taskbar button, in the apartment of the thread that starts it.
class ComButton final : public TaskbarProgress::Button {
 public:
  ~ComButton() override {
    if (list_ != nullptr) list_->Release();
    if (comStarted_) {
      using Uninitialize = void(WINAPI*)();
      if (auto uninitialize = procedure<Uninitialize>(ole32_, "CoUninitialize")) uninitialize();
    }
  }

  bool start() override {
    ole32_ = systemLibrary(L"ole32.dll");
    using Initialize = HRESULT(WINAPI*)(LPVOID, DWORD);
    using Create = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
    const auto initialize = procedure<Initialize>(ole32_, "CoInitializeEx");
    const auto create = procedure<Create>(ole32_, "CoCreateInstance");
    if (initialize == nullptr || create == nullptr) return false;
    comStarted_ = SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED));
    void* list = nullptr;
    if (FAILED(create(kTaskbarList, nullptr, CLSCTX_INPROC_SERVER, kTaskbarList3, &list))) {
      return false;
    }
    list_ = static_cast<ITaskbarList3*>(list);
    return SUCCEEDED(list_->HrInit());
  }

  void show(HWND window, const platform::Progress& progress) override {
    using State = platform::Progress::State;
    if (progress.state == State::None) {
      list_->SetProgressState(window, TBPF_NOPROGRESS);
      return;
    }
    const auto done = static_cast<ULONGLONG>(std::lround(progress.done * kProgressTotal));
    list_->SetProgressValue(window, done, kProgressTotal);
    list_->SetProgressState(window, progress.state == State::Error ? TBPF_ERROR : TBPF_NORMAL);
  }

 private:
  HMODULE ole32_ = nullptr;
  bool comStarted_ = false;
  ITaskbarList3* list_ = nullptr;
};

}  // namespace

// What the window's thread and the taskbar's share; it lives as long as either of them.
struct TaskbarProgress::Shared {
  MakeButton make;
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
  // Under the lock:
  HWND window = nullptr;
  platform::Progress wanted;
  // The button shows something other than `wanted`: it was remade, or asked for more.
  bool due = false;
  bool stop = false;
};

TaskbarProgress::TaskbarProgress(MakeButton make)
    : buttonCreated_(RegisterWindowMessageW(L"TaskbarButtonCreated")),
      shared_(std::make_shared<Shared>()) {
  shared_->make = make ? std::move(make) : [] { return std::make_unique<ComButton>(); };
}

TaskbarProgress::~TaskbarProgress() {
  if (thread_ == nullptr) return;
  AcquireSRWLockExclusive(&shared_->lock);
  shared_->stop = true;
  ReleaseSRWLockExclusive(&shared_->lock);
  WakeConditionVariable(&shared_->changed);
  WaitForSingleObject(thread_, kFarewellMs);
  CloseHandle(thread_);
}

void TaskbarProgress::buttonCreated(HWND window) {
  AcquireSRWLockExclusive(&shared_->lock);
  shared_->window = window;
  shared_->due = true;
  ReleaseSRWLockExclusive(&shared_->lock);
  // A thread whose button could not start has ended: the remade button gets a new one.
  if (thread_ != nullptr && WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0) {
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  if (thread_ == nullptr) {
    // The thread holds its own share of the state, so a window that closes first leaves it
    // nothing dangling.
    auto share = std::make_unique<std::shared_ptr<Shared>>(shared_);
    thread_ = CreateThread(nullptr, 0, &TaskbarProgress::run, share.get(), 0, nullptr);
    if (thread_ != nullptr) share.release();
    return;
  }
  WakeConditionVariable(&shared_->changed);
}

void TaskbarProgress::show(HWND window, const platform::Progress& progress) {
  AcquireSRWLockExclusive(&shared_->lock);
  const bool changed = !(progress == shared_->wanted) || window != shared_->window;
  if (changed) {
    shared_->window = window;
    shared_->wanted = progress;
    shared_->due = true;
  }
  ReleaseSRWLockExclusive(&shared_->lock);
  if (changed) WakeConditionVariable(&shared_->changed);
}

DWORD WINAPI TaskbarProgress::run(void* share) noexcept {
  const std::unique_ptr<std::shared_ptr<Shared>> owned(
      static_cast<std::shared_ptr<Shared>*>(share));
  Shared& shared = **owned;
  try {
    const std::unique_ptr<Button> button = shared.make();
    if (button == nullptr || !button->start()) return 0;
    for (;;) {
      AcquireSRWLockExclusive(&shared.lock);
      while (!shared.due && !shared.stop) {
        SleepConditionVariableSRW(&shared.changed, &shared.lock, INFINITE, 0);
      }
      const bool stop = shared.stop;
      const HWND window = shared.window;
      const platform::Progress progress = shared.wanted;
      shared.due = false;
      ReleaseSRWLockExclusive(&shared.lock);
      if (stop) return 0;
      button->show(window, progress);
    }
  } catch (...) {
    // The button shows nothing more; the window goes on.
  }
  return 0;
}

}  // namespace vorelo::win32
