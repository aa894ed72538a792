// The main window's controls laid out from the layout table at the window's DPI, in the
// system's message font.
#include "win32/main_frame.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "win32/dpi.h"
#include "win32/errors.h"
#include "win32/res/resource_ids.h"
#include "win32/text.h"

namespace vorelo::win32 {

namespace {

using app::Control;
using app::Kind;

int px(int twips, UINT dpi) {
  return app::twipsToPixels(twips, static_cast<int>(dpi));
}

// A group box draws its caption this far in from its left edge, in pixels at 96 DPI.
constexpr int kFrameCaptionInset = 7;
// A combo box's window height includes its drop-down list.
constexpr int kDropDownTwips = 2400;

}  // namespace

void MainFrame::createControls() {
  // Children are created in tab order: the dialog manager tabs through them in Z order.
  std::array<const app::ControlEntry*, app::kControlCount> order{};
  std::transform(app::kLayout.begin(), app::kLayout.end(), order.begin(),
                 [](const app::ControlEntry& e) { return &e; });
  std::sort(order.begin(), order.end(),
            [](const auto* a, const auto* b) { return a->tabIndex < b->tabIndex; });
  for (const app::ControlEntry* s : order) {
    // Created in place and in the window's font, so nothing is laid out twice.
    auto control = createControl(hwnd_, s->kind, app::controlId(s->control), widen(s->caption),
                                 s->control != Control::optSend0, controlRect(*s));
    if (!control) throw StartupError(L"无法创建控件 " + widen(s->name), GetLastError());
    SendMessageW(control->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    controls_[static_cast<std::size_t>(s->control)] = std::move(control);
  }
  // Frames go to the bottom of the Z order so they never paint over the controls inside them;
  // they take no focus, so the tab order is unchanged.
  for (Control frame : {Control::fraTime, Control::fraSend, Control::fraContent}) {
    SetWindowPos(child(frame), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  placeStatusPanels();
  for (int i = 0; i < 2; ++i) {
    const std::wstring text = widen(app::kStatusPanelTexts[i]);
    SendMessageW(child(Control::stbStatus), SB_SETTEXTW, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(text.c_str()));
  }
}

void MainFrame::createTips() {
  tips_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_, nullptr));
  placeTips(true);
}

void MainFrame::placeTips(bool add) {
  // Each status bar panel's tip repeats its text, over the panel's rectangle.
  if (!tips_) return;
  HWND status = child(Control::stbStatus);
  for (int i = 0; i < 2; ++i) {
    std::wstring text = widen(app::kStatusPanelTexts[i]);
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = status;
    tool.uId = static_cast<UINT_PTR>(i + 1);
    tool.lpszText = text.data();
    SendMessageW(status, SB_GETRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tool.rect));
    SendMessageW(tips_.get(), add ? TTM_ADDTOOLW : TTM_NEWTOOLRECTW, 0,
                 reinterpret_cast<LPARAM>(&tool));
  }
}

RECT MainFrame::controlRect(const app::ControlEntry& s) const {
  const app::PixelRect r = app::pixelRect(s, static_cast<int>(dpi_));
  const int extra = s.kind == Kind::Combo ? px(kDropDownTwips, dpi_) : 0;
  return {r.left, r.top, r.right, r.bottom + extra};
}

void MainFrame::setFont() {
  LOGFONTW lf = messageFontForDpi(dpi_);
  UniqueFont font(CreateFontIndirectW(&lf));
  // Without a new font the controls keep the one they have (the system's, at first).
  if (!font) return;
  for (const auto& control : controls_) {
    if (control) {
      SendMessageW(control->hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    }
  }
  // The old font outlives the controls' use of it: it is replaced only after they switched.
  font_ = std::move(font);
}

void MainFrame::fitCombos() {
  const int lineHeight = TextMeasure(hwnd_, font_.get()).lineHeight();
  // The closed box takes its height from the selection field, which is sized until the box is
  // as tall as the layout says.
  for (const app::ControlEntry& s : app::kLayout) {
    if (s.kind != Kind::Combo) continue;
    const int wanted = app::pixelRect(s, static_cast<int>(dpi_)).height();
    HWND w = child(s.control);
    // Corrections build on the height last asked for, not on what CB_GETITEMHEIGHT reports:
    // Wine adds two pixels to the height it is given, so the two do not round-trip.
    LRESULT asked = SendMessageW(w, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    for (int attempt = 0; attempt < 4 && asked != CB_ERR; ++attempt) {
      RECT closed{};
      GetWindowRect(w, &closed);
      const int delta = wanted - (closed.bottom - closed.top);
      if (delta == 0 || asked + delta <= 0) break;
      asked += delta;
      SendMessageW(w, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), asked);
    }
    centreFieldText(w, lineHeight);
  }
}

void MainFrame::centreFieldText(HWND combo, int lineHeight) {
  // The combo box puts its edit field at the top of the selection field, and a single-line
  // edit draws its text at its own top: in a tall field (192 DPI) the text would sit high. The
  // edit is made one line tall and centred.
  HWND edit = FindWindowExW(combo, nullptr, L"Edit", nullptr);
  if (edit == nullptr || lineHeight <= 0) return;
  RECT field{};
  GetClientRect(combo, &field);
  RECT r{};
  GetWindowRect(edit, &r);
  MapWindowPoints(nullptr, combo, reinterpret_cast<POINT*>(&r), 2);
  const int height = std::min<int>(lineHeight, field.bottom - field.top);
  const int top = (field.bottom - field.top - height) / 2;
  if (r.top != top || r.bottom - r.top != height) {
    SetWindowPos(edit, nullptr, r.left, top, r.right - r.left, height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void MainFrame::fitLabels() {
  // The labels take the width of their text in the window's font, so "(s)" and "(m)" never
  // wrap away whatever font the system maps the message font to (SimSun on Chinese Windows).
  const Control labels[2] = {Control::lblInterval, Control::lblTotalTime};
  std::array<int, 2> widths{};
  const TextMeasure measure(hwnd_, font_.get());
  for (std::size_t i = 0; i < 2; ++i)
    widths[i] = measure.width(widen(app::entry(labels[i]).caption));
  const int captionLeft =
      app::pixelRect(app::entry(Control::fraTime), static_cast<int>(dpi_)).left +
      scaledFrom96(kFrameCaptionInset, dpi_);
  const auto rects = app::timeLabelRects(static_cast<int>(dpi_), widths, captionLeft);
  for (std::size_t i = 0; i < 2; ++i) {
    MoveWindow(child(labels[i]), rects[i].left, rects[i].top, rects[i].width(), rects[i].height(),
               FALSE);
  }
}

void MainFrame::placeStatusPanels() {
  int edges[2] = {px(app::kStatusPanelWidths[0], dpi_),
                  px(app::kStatusPanelWidths[0] + app::kStatusPanelWidths[1], dpi_)};
  SendMessageW(child(Control::stbStatus), SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
  placeTips(false);
}

void MainFrame::placeWindow(const RECT* suggested) {
  if (suggested != nullptr) {
    // Moved to a monitor of another DPI: the place and size the system suggests, so the window
    // lands where the drag put it and does not jump back and forth between the two monitors.
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                 suggested->right - suggested->left, suggested->bottom - suggested->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  const SIZE size =
      windowSizeForClient(px(app::kClientWidthTwips, dpi_), px(app::kClientHeightTwips, dpi_),
                          kMainStyle, kMainExStyle, dpi_);
  // Centred on the work area of its monitor.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const int x = work.left + std::max(0L, (work.right - work.left - size.cx) / 2);
  const int y = work.top + std::max(0L, (work.bottom - work.top - size.cy) / 2);
  SetWindowPos(hwnd_, nullptr, x, y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainFrame::applyDpi(UINT dpi, const RECT* suggested) {
  dpi_ = dpi;
  setFont();
  for (const app::ControlEntry& s : app::kLayout) {
    const RECT r = controlRect(s);
    MoveWindow(child(s.control), r.left, r.top, r.right - r.left, r.bottom - r.top, FALSE);
  }
  fitCombos();
  fitLabels();
  placeStatusPanels();
  placeWindow(suggested);
  // Icons are drawn for the new size when next needed; the one showing is replaced now.
  bigIcons_ = {};
  smallIcons_ = {};
  shownIcon_.reset();
  setIcon(icon_);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

HICON MainFrame::iconImage(platform::Icon icon, bool big) {
  const std::size_t i = icon == platform::Icon::Idle ? 0 : 1;
  UniqueIcon& slot = big ? bigIcons_[i] : smallIcons_[i];
  if (!slot) {
    const int id = icon == platform::Icon::Idle ? IDI_IDLE : IDI_SEND;
    const int size = metricForDpi(big ? SM_CXICON : SM_CXSMICON, dpi_);
    slot.reset(static_cast<HICON>(
        LoadImageW(instance_, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
  }
  return slot.get();
}

}  // namespace vorelo::win32
