// A stand-in chat window for end-to-end tests: it records every keyboard message it receives,
// with the Ctrl/Shift/Alt state and the time, one line per message, flushed at once:
//
//   <milliseconds> <KD|KU|CH|SKD|SKU|SCH|MENU|MENULOOP|CMD|PROMPT|ANSWER> <hex code> <C><S><A><E>
//   <hex scan code>
//
// C, S and A: Ctrl, Shift and Alt down; E: the key's extended flag; '-' where not. The scan code
// is the key message's (0 for characters). MENU is a menu-bar activation (a lone Alt) the window
// was asked for, which it declines unless it has a menu bar; MENULOOP is its menu opening, CMD a
// menu item chosen (its id). PROMPT is a modal prompt opening, ANSWER its answer (the button's
// id).
//
// Times are QueryPerformanceCounter in milliseconds, the same clock in every process, so a
// test can compare them with the moment it clicked a button.
//
// receiver.exe <log file> [caption [window class [options]]]
// The window takes the focus when it receives WM_APP (a test asks for it), reads no messages for
// wParam milliseconds when it receives WM_APP + 1, like a chat that is busy, and opens a modal
// prompt owned by itself ("保存更改?", as an editor asks when it is closed) on WM_APP + 2. Given a
// class (one of the shell's, say), it registers its window under that name ("-": its own).
// Options, a word each in one argument: "menu" gives the window a menu bar; "owned" gives it an
// owner, a visible zero-sized window of its own, as some frameworks do for every window. It
// starts with its input method turned off, so that letters typed on the keyboard arrive as
// letters on any system; receiver_messages.h lists what else it answers.
#include <windows.h>

#include <imm.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "e2e/receiver_messages.h"

namespace {

FILE* logFile = nullptr;
bool hasMenu = false;
// The menu's items, chosen by letters typed while the menu is open.
constexpr UINT kNewItem = 100;
constexpr UINT kSaveAsItem = 101;
// What arrived as text, shown in the window so a screenshot tells what was typed.
std::wstring shown;
LARGE_INTEGER frequency{};

void record(const char* kind, WPARAM code, LPARAM flags = 0) {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const double ms =
      static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
  const bool ctrl = GetKeyState(VK_CONTROL) < 0;
  const bool shift = GetKeyState(VK_SHIFT) < 0;
  const bool alt = GetKeyState(VK_MENU) < 0;
  const bool extended = (flags & (1 << 24)) != 0;
  const auto scan = static_cast<unsigned>((flags >> 16) & 0xFF);
  std::fprintf(logFile, "%.3f %s %04X %c%c%c%c %02X\n", ms, kind, static_cast<unsigned>(code),
               ctrl ? 'C' : '-', shift ? 'S' : '-', alt ? 'A' : '-', extended ? 'E' : '-', scan);
  std::fflush(logFile);
}

bool inputMethodOn(HWND hwnd, HKL layout) {
  if (layout != nullptr) ActivateKeyboardLayout(layout, 0);
  ImmAssociateContextEx(hwnd, nullptr, IACE_DEFAULT);
  HIMC context = ImmGetContext(hwnd);
  if (context == nullptr) return false;
  ImmSetOpenStatus(context, TRUE);
  DWORD conversion = 0;
  DWORD sentence = 0;
  if (ImmGetConversionStatus(context, &conversion, &sentence)) {
    ImmSetConversionStatus(context, conversion | IME_CMODE_NATIVE, sentence);
  }
  const bool open = ImmGetOpenStatus(context) != FALSE;
  ImmReleaseContext(hwnd, context);
  return open;
}

LRESULT CALLBACK receiverProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  switch (msg) {
    case WM_KEYDOWN:
      record("KD", wParam, lParam);
      return 0;
    case WM_KEYUP:
      record("KU", wParam, lParam);
      return 0;
    case WM_CHAR:
      record("CH", wParam);
      if (wParam == 0x0D || wParam == 0x0A) {
        shown += L"\r\n";
      } else if (wParam >= 0x20) {
        shown += static_cast<wchar_t>(wParam);
      }
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd, &paint);
      RECT area;
      GetClientRect(hwnd, &area);
      InflateRect(&area, -8, -8);
      SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
      DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &area,
                DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
      EndPaint(hwnd, &paint);
      return 0;
    }
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_KEYMENU) {
        record("MENU", wParam);
        if (!hasMenu) return 0;
      }
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_ENTERMENULOOP:
      record("MENULOOP", 0);
      return 0;
    case WM_COMMAND:
      record("CMD", LOWORD(wParam));
      return 0;
    // Passed on like any window does, so a lone Alt asks for the menu bar as it would in a chat.
    case WM_SYSKEYDOWN:
      record("SKD", wParam, lParam);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_SYSKEYUP:
      record("SKU", wParam, lParam);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_SYSCHAR:
      record("SCH", wParam);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    case WM_APP:
      ShowWindow(hwnd, SW_RESTORE);
      SetForegroundWindow(hwnd);
      SetFocus(hwnd);
      return 0;
    case WM_APP + 1:
      Sleep(static_cast<DWORD>(wParam));
      return 0;
    case WM_APP + 2: {
      record("PROMPT", 0);
      const int answer = MessageBoxW(hwnd, L"保存更改?", L"Vorelo Receiver", MB_YESNOCANCEL);
      record("ANSWER", static_cast<WPARAM>(answer));
      return 0;
    }
    case vorelo::e2e::kReceiverCapsLock:
      return (GetKeyState(VK_CAPITAL) & 1) != 0 ? 1 : 0;
    case vorelo::e2e::kReceiverInputMethodOn:
      return inputMethodOn(hwnd, reinterpret_cast<HKL>(wParam)) ? 1 : 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 2) return 2;
  logFile = _wfopen(argv[1], L"w");
  if (logFile == nullptr) return 3;
  const std::wstring caption = argc > 2 ? argv[2] : L"Vorelo Receiver";
  const std::wstring className =
      argc > 3 && std::wstring_view(argv[3]) != L"-" ? argv[3] : L"VoreloReceiver";
  const std::wstring_view options = argc > 4 ? argv[4] : L"";
  hasMenu = options.find(L"menu") != std::wstring_view::npos;
  const bool owned = options.find(L"owned") != std::wstring_view::npos;
  QueryPerformanceFrequency(&frequency);

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &receiverProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  wc.lpszClassName = className.c_str();
  RegisterClassExW(&wc);
  HWND owner = nullptr;
  if (owned) {
    owner = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr,
                            nullptr, instance, nullptr);
  }
  HMENU menu = nullptr;
  if (hasMenu) {
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, kNewItem, L"新建(&N)");
    AppendMenuW(file, MF_STRING, kSaveAsItem, L"另存为(&A)");
    menu = CreateMenu();
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"文件(&F)");
  }
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, caption.c_str(), WS_OVERLAPPEDWINDOW, 40, 40,
                              400, 300, owner, menu, instance, nullptr);
  LocalFree(argv);
  if (hwnd == nullptr) return 4;
  // No input method: a Chinese one would turn typed letters into a composition.
  ImmAssociateContextEx(hwnd, nullptr, 0);
  ShowWindow(hwnd, SW_SHOW);
  SetForegroundWindow(hwnd);

  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  std::fclose(logFile);
  return 0;
}
