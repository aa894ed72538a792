#include "win32/native_controls.h"

#include <commctrl.h>

#include "win32/text.h"

namespace vorelo::win32 {

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

void NativeTimer::start(uint32_t ms) {
  // SetTimer on an existing id restarts its countdown, which is what a new period means. A
  // timer the system refuses (it has run out of them) does not count as running.
  running_ = SetTimer(host_, id_, ms, nullptr) != 0;
}

void NativeTimer::stop() {
  if (running_) KillTimer(host_, id_);
  running_ = false;
}

void NativeTimer::elapsed() {
  // A WM_TIMER already in the queue when the timer was killed is dropped.
  if (running_ && owner_ != nullptr) owner_->fire();
}

std::unique_ptr<NativeControl> createControl(HWND parent, app::Kind kind, int id,
                                             const std::wstring& caption, bool startsGroup,
                                             const RECT& rect) {
  const wchar_t* cls = WC_BUTTONW;
  DWORD style = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
  // Every control starts a group of its own except the second option button, so the arrow
  // keys move between the two options and nowhere else.
  if (startsGroup) style |= WS_GROUP;
  switch (kind) {
    case app::Kind::StatusBar:
      cls = STATUSCLASSNAMEW;
      // Placed by the layout like every other control; at any DPI it sits on the bottom edge.
      style |= CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER;
      break;
    case app::Kind::Button:
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case app::Kind::Frame:
      style |= BS_GROUPBOX;
      break;
    case app::Kind::Combo:
      cls = WC_COMBOBOXW;
      style |= CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
      break;
    case app::Kind::CheckBox:
      style |= BS_AUTOCHECKBOX | WS_TABSTOP;
      break;
    case app::Kind::Option:
      style |= BS_AUTORADIOBUTTON | WS_TABSTOP;
      break;
    case app::Kind::Label:
      cls = WC_STATICW;
      // A label never wraps: the window sizes it to its text (MainFrame::fitLabels).
      style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
      break;
  }
  HWND w = CreateWindowExW(0, cls, caption.c_str(), style, rect.left, rect.top,
                           rect.right - rect.left, rect.bottom - rect.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
  if (w == nullptr) return nullptr;
  std::unique_ptr<NativeControl> control;
  if (kind == app::Kind::Combo) {
    // No length limit: a message may be longer than the edit's default 30,000 characters.
    SendMessageW(w, CB_LIMITTEXT, 0, 0);
    control = std::make_unique<NativeCombo>();
  } else if (kind == app::Kind::Button || kind == app::Kind::CheckBox ||
             kind == app::Kind::Option) {
    control = std::make_unique<NativeButton>();
  } else {
    control = std::make_unique<NativeControl>();
  }
  control->attach(w, id);
  return control;
}

}  // namespace vorelo::win32
