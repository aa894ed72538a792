#include "win32/boxes.h"

namespace vorelo::win32 {

namespace {

// The message box is made by the system: a thread hook sees it being created, and the owner is
// asked (by a posted message, handled inside the box's own message loop, once it is shown) to
// bring it to the front.
HHOOK boxHook = nullptr;
HWND boxOwner = nullptr;
UINT boxShownMessage() {
  static const UINT message = RegisterWindowMessageW(L"Vorelo.BoxShown");
  return message;
}

LRESULT CALLBACK watchForBox(int code, WPARAM wParam, LPARAM lParam) noexcept {
  if (code == HCBT_CREATEWND) {
    const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
    if (create->lpcs->hwndParent == boxOwner && (create->lpcs->style & WS_CHILD) == 0) {
      announceBox(reinterpret_cast<HWND>(wParam), boxOwner);
    }
  }
  return CallNextHookEx(boxHook, code, wParam, lParam);
}

}  // namespace

void announceBox(HWND box, HWND owner) {
  if (owner != nullptr) PostMessageW(owner, boxShownMessage(), reinterpret_cast<WPARAM>(box), 0);
}

void bringBoxToFront(HWND box, HWND owner) {
  if (!IsWindow(box)) return;
  // Wine ignores MB_TOPMOST and MB_SETFOREGROUND; the box is placed itself.
  SetWindowPos(box, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(box);
  if (GetForegroundWindow() != box) {
    FLASHWINFO flash{};
    flash.cbSize = sizeof(flash);
    flash.hwnd = owner != nullptr ? owner : box;
    flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
    FlashWindowEx(&flash);
  }
}

void showMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption) {
  HHOOK previousHook = boxHook;
  HWND previousOwner = boxOwner;
  boxOwner = owner;
  boxHook = SetWindowsHookExW(WH_CBT, &watchForBox, nullptr, GetCurrentThreadId());
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONINFORMATION);
  if (boxHook != nullptr) UnhookWindowsHookEx(boxHook);
  boxHook = previousHook;
  boxOwner = previousOwner;
}

bool isBoxShownMessage(UINT message) {
  return message == boxShownMessage();
}

}  // namespace vorelo::win32
