#include "win32/taskbar.h"

#include <shobjidl.h>

#include <cmath>

#include "win32/libraries.h"

namespace vorelo::win32 {

namespace {

constexpr CLSID kTaskbarList = {
    0x56FDF344, 0xFD6D, 0x11D0, {0x95, 0x8A, 0x00, 0x60, 0x97, 0xC9, 0xA0, 0x90}};
constexpr IID kTaskbarList3 = {
    0xEA1AFB91, 0x9E28, 0x4B86, {0x90, 0xE9, 0x9E, 0x9F, 0x8A, 0x5E, 0xEF, 0xAF}};
// The progress value's whole: a thousandth of the run is the smallest step shown.
constexpr ULONGLONG kProgressTotal = 1000;

}  // namespace

TaskbarProgress::TaskbarProgress()
    : buttonCreated_(RegisterWindowMessageW(L"TaskbarButtonCreated")) {}

TaskbarProgress::~TaskbarProgress() {
  release();
}

void TaskbarProgress::release() {
  if (list_ != nullptr) list_->Release();
  list_ = nullptr;
  if (comStarted_) {
    using Uninitialize = void(WINAPI*)();
    if (auto uninitialize = procedure<Uninitialize>(ole32_, "CoUninitialize")) uninitialize();
    comStarted_ = false;
  }
}

void TaskbarProgress::buttonCreated(HWND window) {
  if (list_ == nullptr) {
    if (ole32_ == nullptr) ole32_ = systemLibrary(L"ole32.dll");
    using Initialize = HRESULT(WINAPI*)(LPVOID, DWORD);
    using Create = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
    const auto initialize = procedure<Initialize>(ole32_, "CoInitializeEx");
    const auto create = procedure<Create>(ole32_, "CoCreateInstance");
    if (initialize == nullptr || create == nullptr) return;
    comStarted_ = SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED));
    void* list = nullptr;
    if (FAILED(create(kTaskbarList, nullptr, CLSCTX_INPROC_SERVER, kTaskbarList3, &list))) {
      release();
      return;
    }
    list_ = static_cast<ITaskbarList3*>(list);
    if (FAILED(list_->HrInit())) {
      release();
      return;
    }
  }
  apply(window);
}

void TaskbarProgress::show(HWND window, const platform::Progress& progress) {
  if (progress == progress_) return;
  progress_ = progress;
  apply(window);
}

void TaskbarProgress::apply(HWND window) {
  if (list_ == nullptr) return;
  using State = platform::Progress::State;
  if (progress_.state == State::None) {
    list_->SetProgressState(window, TBPF_NOPROGRESS);
    return;
  }
  const auto done = static_cast<ULONGLONG>(std::lround(progress_.done * kProgressTotal));
  list_->SetProgressValue(window, done, kProgressTotal);
  list_->SetProgressState(window, progress_.state == State::Error ? TBPF_ERROR : TBPF_NORMAL);
}

}  // namespace vorelo::win32
