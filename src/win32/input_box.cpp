// The input box: a small modal window with a prompt, an edit field and 确定 / 取消, drawn in
// the system message font at the owner's DPI. Enter accepts, Esc cancels.
#include <windows.h>

#include <algorithm>
#include <string>

#include "win32/boxes.h"
#include "win32/dpi.h"
#include "win32/errors.h"
#include "win32/handles.h"
#include "win32/input_box.h"
#include "win32/text.h"

namespace vorelo::win32 {

namespace {

constexpr wchar_t kClassName[] = L"VoreloInputBox";
constexpr int kPromptId = 100;
constexpr int kEditId = 101;

struct BoxState {
  HWND edit = nullptr;
  bool done = false;
  bool accepted = false;
  std::wstring text;
};

LRESULT CALLBACK boxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    state = static_cast<BoxState*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
  }
  if (state == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
  try {
    switch (msg) {
      case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
          state->accepted = LOWORD(wParam) == IDOK;
          if (state->accepted) state->text = windowText(state->edit);
          state->done = true;
          return 0;
        }
        break;
      case WM_CLOSE:
        state->done = true;
        return 0;
      case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE && state->edit != nullptr) {
          SetFocus(state->edit);
          return 0;
        }
        break;
      default:
        break;
    }
  } catch (...) {
    fatal("input box");
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

int scaled(int px96, UINT dpi) {
  return MulDiv(px96, static_cast<int>(dpi), 96);
}

}  // namespace

std::wstring runInputBox(HWND owner, const std::wstring& title, const std::wstring& prompt,
                         const std::wstring& defaultText) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!GetClassInfoExW(instance, kClassName, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &boxProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
  }

  const UINT dpi = dpiForWindow(owner);
  LOGFONTW lf = messageFontForDpi(dpi);
  UniqueFont font(CreateFontIndirectW(&lf));

  // Measure the prompt, wrapped to the box's width.
  const int margin = scaled(12, dpi);
  const int clientWidth = scaled(380, dpi);
  const int textWidth = clientWidth - 2 * margin;
  RECT promptRect{0, 0, textWidth, 0};
  int lineHeight = scaled(16, dpi);
  if (const WindowDc dc(owner); dc) {
    const SelectedObject selected(dc.get(), font.get());
    TEXTMETRICW tm{};
    GetTextMetricsW(dc.get(), &tm);
    lineHeight = tm.tmHeight;
    DrawTextW(dc.get(), prompt.c_str(), static_cast<int>(prompt.size()), &promptRect,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EDITCONTROL);
  }
  const int promptHeight = std::max<int>(promptRect.bottom - promptRect.top, lineHeight);
  const int editHeight = lineHeight + scaled(10, dpi);
  const int buttonWidth = scaled(88, dpi);
  const int buttonHeight = std::max(scaled(28, dpi), lineHeight + scaled(10, dpi));
  const int gap = scaled(8, dpi);
  const int editTop = margin + promptHeight + gap;
  const int buttonsTop = editTop + editHeight + margin;
  const int clientHeight = buttonsTop + buttonHeight + margin;

  const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
  const SIZE size = windowSizeForClient(clientWidth, clientHeight, style, exStyle, dpi);

  // Centred on the owner, kept inside the owner's monitor work area.
  RECT anchor{};
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (owner != nullptr && GetWindowPlacement(owner, &placement) && IsIconic(owner)) {
    anchor = placement.rcNormalPosition;
  } else if (owner == nullptr || !GetWindowRect(owner, &anchor)) {
    anchor = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromRect(&anchor, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& work = monitor.rcWork;
  int x = (anchor.left + anchor.right - size.cx) / 2;
  int y = (anchor.top + anchor.bottom - size.cy) / 2;
  x = std::clamp<int>(x, work.left, std::max<int>(work.left, work.right - size.cx));
  y = std::clamp<int>(y, work.top, std::max<int>(work.top, work.bottom - size.cy));

  BoxState state;
  UniqueWindow box(CreateWindowExW(exStyle, kClassName, title.c_str(), style, x, y, size.cx,
                                   size.cy, owner, nullptr, instance, &state));
  if (!box) return {};
  HWND hwnd = box.get();
  auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD childStyle, int id, int left,
                  int top, int width, int height, DWORD childEx = 0) {
    HWND w = CreateWindowExW(childEx, cls, text, WS_CHILD | WS_VISIBLE | childStyle, left, top,
                             width, height, hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             instance, nullptr);
    SendMessageW(w, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    return w;
  };
  make(L"STATIC", prompt.c_str(), SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, kPromptId, margin, margin,
       textWidth, promptHeight);
  state.edit = make(L"EDIT", defaultText.c_str(), WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL, kEditId,
                    margin, editTop, textWidth, editHeight, WS_EX_CLIENTEDGE);
  SendMessageW(state.edit, EM_LIMITTEXT, 0, 0);
  const int okLeft = clientWidth - margin - 2 * buttonWidth - gap;
  make(L"BUTTON", L"确定", WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, IDOK, okLeft, buttonsTop,
       buttonWidth, buttonHeight);
  make(L"BUTTON", L"取消", WS_TABSTOP | WS_GROUP | BS_PUSHBUTTON, IDCANCEL,
       okLeft + buttonWidth + gap, buttonsTop, buttonWidth, buttonHeight);
  // The default text starts fully selected, so typing replaces it.
  SendMessageW(state.edit, EM_SETSEL, 0, -1);

  const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  ShowWindow(hwnd, SW_SHOW);
  bringBoxToFront(hwnd, owner);
  SetFocus(state.edit);

  MSG msg{};
  bool quit = false;
  while (!state.done) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) {
      quit = got == 0;
      break;
    }
    if (!IsDialogMessageW(hwnd, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // The owner is enabled before the box goes, so Windows hands the activation back to it.
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  box.reset();
  if (quit) PostQuitMessage(static_cast<int>(msg.wParam));
  return state.accepted ? state.text : std::wstring();
}

}  // namespace vorelo::win32
