#include "platform/win32/native_controls.h"

#include <map>

#include "platform/win32/text.h"

namespace vorelo::win32 {

void NativeControl::attach(HWND hwnd) {
  hwnd_ = hwnd;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

NativeControl* NativeControl::fromWindow(HWND hwnd) {
  if (hwnd == nullptr) return nullptr;
  return reinterpret_cast<NativeControl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

bool NativeControl::dispatchCommand(WPARAM wParam, LPARAM lParam) {
  NativeControl* control = fromWindow(reinterpret_cast<HWND>(lParam));
  if (control == nullptr) return false;
  control->onCommand(HIWORD(wParam));
  return true;
}

HWND NativeCombo::edit() const {
  return FindWindowExW(hwnd(), nullptr, L"Edit", nullptr);
}

void NativeCombo::addItem(std::string_view text) {
  const std::wstring w = widen(text);
  SendMessageW(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(w.c_str()));
}

void NativeCombo::removeItem(int index) {
  SendMessageW(hwnd(), CB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void NativeCombo::select(int index, std::string_view text) {
  if (!redraw_) {
    pendingSelection_ = index;
    return;
  }
  pendingSelection_.reset();
  SendMessageW(hwnd(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  // CB_SETCURSEL already put the item into the field; with a very long item, setting the
  // same text again would double the cost. Only a field that does not show it is set.
  const std::wstring w = widen(text);
  if (static_cast<std::size_t>(GetWindowTextLengthW(hwnd())) != w.size()) {
    SetWindowTextW(hwnd(), w.c_str());
  }
  caretToEnd(w.size());
}

void NativeCombo::setText(std::string_view text) {
  const std::wstring w = widen(text);
  SetWindowTextW(hwnd(), w.c_str());
  caretToEnd(w.size());
}

void NativeCombo::caretToEnd(std::size_t length) {
  // As after every change the program makes to the field, the caret goes to the end so the
  // user can go on typing. The edit takes the position itself: CB_SETEDITSEL stops at 65,535.
  const auto end = static_cast<LPARAM>(length);
  if (HWND e = edit()) SendMessageW(e, EM_SETSEL, static_cast<WPARAM>(end), end);
}

void NativeCombo::setRedraw(bool on) {
  redraw_ = on;
  SendMessageW(hwnd(), WM_SETREDRAW, on ? TRUE : FALSE, 0);
  if (!on) return;
  if (pendingSelection_ && owner_ != nullptr) {
    const int index = *pendingSelection_;
    select(index, index >= 0 ? owner_->list(index) : std::string());
  }
  RedrawWindow(hwnd(), nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void NativeCombo::onCommand(WORD code) {
  if (owner_ == nullptr) return;
  switch (code) {
    case CBN_EDITCHANGE:
      owner_->userEdit(narrow(windowText(hwnd())));
      break;
    case CBN_SELCHANGE: {
      const auto index = static_cast<int>(SendMessageW(hwnd(), CB_GETCURSEL, 0, 0));
      if (index >= 0) owner_->userPick(index);
      break;
    }
    default:
      break;
  }
}

void NativeButton::setChecked(bool checked) {
  SendMessageW(hwnd(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void NativeButton::onCommand(WORD code) {
  // A disabled button still reports BM_CLICK under Wine; the portable control ignores it.
  if (code == BN_CLICKED && owner_ != nullptr) owner_->userClick();
}

namespace {
// Timers by host window and id. Everything runs on the one GUI thread.
std::map<std::pair<HWND, UINT_PTR>, NativeTimer*>& timers() {
  static std::map<std::pair<HWND, UINT_PTR>, NativeTimer*> all;
  return all;
}
UINT_PTR nextTimerId = 1;
}  // namespace

NativeTimer::NativeTimer(HWND host) : host_(host), id_(nextTimerId++) {
  timers()[{host_, id_}] = this;
}

NativeTimer::~NativeTimer() {
  stop();
  timers().erase({host_, id_});
}

void NativeTimer::start(uint32_t ms) {
  // SetTimer on an existing id restarts its countdown, which is what a new period means.
  SetTimer(host_, id_, ms, nullptr);
  running_ = true;
}

void NativeTimer::stop() {
  if (running_) KillTimer(host_, id_);
  running_ = false;
}

bool NativeTimer::dispatch(HWND host, UINT_PTR id) {
  const auto found = timers().find({host, id});
  if (found == timers().end()) return false;
  NativeTimer& timer = *found->second;
  // A WM_TIMER already in the queue when the timer was killed is dropped.
  if (timer.running_ && timer.owner_ != nullptr) timer.owner_->fire();
  return true;
}

}  // namespace vorelo::win32
