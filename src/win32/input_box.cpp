// The input box: the dialog IDD_INPUT_BOX of the resource script. Enter accepts, Esc and the
// close box cancel; the dialog manager does that, and keeps the owner disabled meanwhile.
#include "win32/input_box.h"

#include <algorithm>
#include <utility>

#include "win32/boxes.h"
#include "win32/dpi.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/libraries.h"
#include "win32/res/resource_ids.h"
#include "win32/text.h"

namespace vorelo::win32 {

namespace {

struct BoxState {
  std::wstring caption;
  std::wstring prompt;
  std::wstring text;
  // Outlives the box's controls: released after the dialog has gone.
  UniqueFont font;
};

// Centred on the owner (on where it was before it was minimised), inside its monitor's work
// area.
void placeOverOwner(HWND box, HWND owner) {
  RECT anchor{};
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (owner != nullptr && GetWindowPlacement(owner, &placement) && IsIconic(owner)) {
    anchor = placement.rcNormalPosition;
  } else if (owner == nullptr || !GetWindowRect(owner, &anchor)) {
    anchor = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  RECT r{};
  GetWindowRect(box, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromRect(&anchor, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  const int x = std::clamp<int>((anchor.left + anchor.right - width) / 2, work.left,
                                std::max<int>(work.left, work.right - width));
  const int y = std::clamp<int>((anchor.top + anchor.bottom - height) / 2, work.top,
                                std::max<int>(work.top, work.bottom - height));
  SetWindowPos(box, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The controls in the message font at `dpi`. The old font is let go only after they switched.
void setMessageFont(HWND box, BoxState& state, UINT dpi) {
  LOGFONTW lf = messageFontForDpi(dpi);
  UniqueFont font(CreateFontIndirectW(&lf));
  if (!font) return;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  }
  state.font = std::move(font);
}

BOOL initBox(HWND box, BoxState& state) {
  SetWindowLongPtrW(box, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
  SetWindowTextW(box, state.caption.c_str());
  SetDlgItemTextW(box, IDC_INPUT_PROMPT, state.prompt.c_str());
  HWND edit = GetDlgItem(box, IDC_INPUT_TEXT);
  // No length limit: a message may be longer than the edit's default 30,000 characters.
  SendMessageW(edit, EM_LIMITTEXT, 0, 0);
  SetWindowTextW(edit, state.text.c_str());
  // Moved to a monitor of another DPI, the controls keep the message font (the dialog manager
  // would put the dialog's font back): it is made anew for the new DPI (WM_DPICHANGED).
  using Behavior = BOOL(WINAPI*)(HWND, int, int);
  static const Behavior setBehavior =
      procedure<Behavior>(GetModuleHandleW(L"user32.dll"), "SetDialogControlDpiChangeBehavior");
  constexpr int kKeepFont = 1;  // DCDC_DISABLE_FONT_UPDATE, from Windows 10 1703 on
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr && setBehavior != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    setBehavior(child, kKeepFont, kKeepFont);
  }
  setMessageFont(box, state, dpiForWindow(box));
  // Vorelo's own icon where the system shows one for the box (Wine's taskbar), not a stranger's.
  const auto icon =
      reinterpret_cast<LPARAM>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_IDLE),
                                          IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  SendMessageW(box, WM_SETICON, ICON_BIG, icon);
  SendMessageW(box, WM_SETICON, ICON_SMALL, icon);
  HWND owner = GetWindow(box, GW_OWNER);
  placeOverOwner(box, owner);
  announceBox(box, owner);
  // The default text starts fully selected, so typing replaces it.
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  return FALSE;
}

INT_PTR CALLBACK boxProc(HWND box, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  try {
    if (msg == WM_INITDIALOG) return initBox(box, *reinterpret_cast<BoxState*>(lParam));
    auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(box, DWLP_USER));
    if (msg == WM_DPICHANGED && state != nullptr) {
      setMessageFont(box, *state, HIWORD(wParam));
      return FALSE;  // the dialog manager moves and sizes the box as the system suggests
    }
    const WORD command = LOWORD(wParam);
    if (msg == WM_COMMAND && (command == IDOK || command == IDCANCEL)) {
      if (command == IDOK && state != nullptr) {
        state->text = windowText(GetDlgItem(box, IDC_INPUT_TEXT));
      }
      EndDialog(box, command);
      return TRUE;
    }
  } catch (const std::exception& e) {
    fatal(e.what());
  } catch (...) {
    fatal("input box");
  }
  return FALSE;
}

}  // namespace

std::wstring runInputBox(HWND owner, const std::wstring& title, const std::wstring& prompt,
                         const std::wstring& defaultText) {
  BoxState state{title, prompt, defaultText, {}};
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_INPUT_BOX),
                                         owner, &boxProc, reinterpret_cast<LPARAM>(&state));
  return result == IDOK ? state.text : std::wstring();
}

}  // namespace vorelo::win32
