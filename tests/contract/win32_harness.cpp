// The contract suite against real Windows controls: a window of its own hosts them, the user's
// keystrokes and clicks are real window messages, and time is real.
#include <windows.h>

#include <map>
#include <stdexcept>
#include <string>

#include "contract/harness.h"
#include "win32/native_controls.h"
#include "win32/text.h"

namespace vorelo::contract {

namespace {

using win32::NativeButton;
using win32::NativeCombo;
using win32::NativeControl;
using win32::NativeTimer;

LRESULT CALLBACK hostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

void pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

class Win32Harness final : public Harness {
 public:
  Win32Harness() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &hostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VoreloContractHost";
    RegisterClassExW(&wc);
    host_ = CreateWindowExW(0, wc.lpszClassName, L"contract", WS_OVERLAPPEDWINDOW, 0, 0, 600, 400,
                            nullptr, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(host_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    start_ = GetTickCount64();
  }
  ~Win32Harness() override {
    timers_.clear();
    SetWindowLongPtrW(host_, GWLP_USERDATA, 0);
    DestroyWindow(host_);
  }

  // The host routes notifications by control id and timers by id, as the main window does.
  bool route(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && lParam != 0) {
      const auto found = controls_.find(LOWORD(wParam));
      if (found == controls_.end() || found->second->hwnd() != reinterpret_cast<HWND>(lParam)) {
        return false;
      }
      found->second->onCommand(HIWORD(wParam));
      return true;
    }
    if (msg == WM_TIMER) {
      for (const auto& timer : timers_) {
        if (timer->id() == wParam) {
          timer->elapsed();
          return true;
        }
      }
    }
    return false;
  }

  platform::ComboBackend& newCombo() override {
    NativeControl& combo = create(app::Kind::Combo, true);
    MoveWindow(combo.hwnd(), 10, 10, 200, 200, FALSE);
    return static_cast<NativeCombo&>(combo);
  }
  platform::CheckBackend& newCheckBox() override { return button(app::Kind::CheckBox, true); }
  std::pair<platform::CheckBackend*, platform::CheckBackend*> newOptionPair() override {
    auto* first = &button(app::Kind::Option, true);
    auto* second = &button(app::Kind::Option, false);
    // Something after the pair closes its group.
    create(app::Kind::Label, true);
    return {first, second};
  }
  platform::ButtonBackend& newButton() override { return button(app::Kind::Button, true); }
  platform::TimerBackend& newTimer() override {
    return *timers_.emplace_back(std::make_unique<NativeTimer>(host_, timers_.size() + 1));
  }

  void type(platform::ComboBackend& combo, std::string_view characters) override {
    HWND edit = static_cast<NativeCombo&>(combo).edit();
    for (wchar_t unit : win32::widen(characters)) {
      PostMessageW(edit, WM_CHAR, unit, 1);
      pump();
    }
  }
  void pick(platform::ComboBackend& combo, int index) override {
    // As from the keyboard: the arrow key moves the selection and the combo box reports the
    // pick. The neighbour is selected first, silently, so one key lands on `index`.
    auto& native = static_cast<NativeCombo&>(combo);
    const bool fromAbove = index > 0;
    SendMessageW(native.hwnd(), CB_SETCURSEL, static_cast<WPARAM>(fromAbove ? index - 1 : 1), 0);
    SetFocus(native.edit());
    PostMessageW(native.edit(), WM_KEYDOWN, fromAbove ? VK_DOWN : VK_UP, 1);
    pump();
  }
  void click(platform::ButtonBackend& button) override {
    HWND w = dynamic_cast<NativeControl&>(button).hwnd();
    SendMessageW(w, BM_CLICK, 0, 0);
    pump();
  }

  std::string shownText(platform::ComboBackend& combo) override {
    return win32::narrow(win32::windowText(static_cast<NativeCombo&>(combo).hwnd()));
  }
  std::vector<std::string> shownItems(platform::ComboBackend& combo) override {
    HWND w = static_cast<NativeCombo&>(combo).hwnd();
    std::vector<std::string> items;
    const auto count = SendMessageW(w, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      std::wstring text(static_cast<std::size_t>(SendMessageW(w, CB_GETLBTEXTLEN, i, 0)) + 1,
                        L'\0');
      const auto n = SendMessageW(w, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
      text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
      items.push_back(win32::narrow(text));
    }
    return items;
  }
  bool shownChecked(platform::CheckBackend& box) override {
    HWND w = static_cast<NativeButton&>(box).hwnd();
    return SendMessageW(w, BM_GETCHECK, 0, 0) == BST_CHECKED;
  }
  bool shownEnabled(platform::ControlBackend& control) override {
    return IsWindowEnabled(dynamic_cast<NativeControl&>(control).hwnd()) != FALSE;
  }

  uint64_t now() override { return GetTickCount64() - start_; }
  void wait(uint32_t ms) override {
    const ULONGLONG deadline = GetTickCount64() + ms;
    for (;;) {
      pump();
      const ULONGLONG t = GetTickCount64();
      if (t >= deadline) break;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - t), QS_ALLINPUT);
    }
  }
  uint32_t slack() const override { return 150; }

 private:
  NativeControl& create(app::Kind kind, bool startsGroup) {
    const int id = nextId_++;
    auto control = win32::createControl(host_, kind, id, L"x", startsGroup, RECT{0, 0, 0, 0});
    if (!control) throw std::runtime_error("the control cannot be created");
    NativeControl& made = *control;
    controls_[id] = std::move(control);
    return made;
  }
  NativeButton& button(app::Kind kind, bool startsGroup) {
    NativeControl& b = create(kind, startsGroup);
    MoveWindow(b.hwnd(), 10, 40 + 30 * static_cast<int>(controls_.size()), 120, 24, FALSE);
    return static_cast<NativeButton&>(b);
  }

  HWND host_ = nullptr;
  ULONGLONG start_ = 0;
  int nextId_ = 100;
  std::vector<std::unique_ptr<NativeTimer>> timers_;
  std::map<int, std::unique_ptr<NativeControl>> controls_;
};

LRESULT CALLBACK hostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  auto* harness = reinterpret_cast<Win32Harness*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (harness != nullptr && harness->route(msg, wParam, lParam)) return 0;
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

std::unique_ptr<Harness> makeHarness() {
  return std::make_unique<Win32Harness>();
}

}  // namespace vorelo::contract
