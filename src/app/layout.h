// The window's controls in the order the window holds them, with their rectangles in twips.
// Controls inside a frame are positioned relative to that frame.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "app/version.h"

namespace vorelo::app {

enum class Control : uint8_t {
  stbStatus,
  cmdBegin,
  cmdStop,
  cmdExit,
  fraContent,
  comContent,
  cmdAdd,
  cmdDel,
  fraSend,
  chkCycle,
  optSend0,
  optSend1,
  fraTime,
  chkCut,
  comInterval,
  comTotalTime,
  lblInterval,
  lblTotalTime,
};
inline constexpr std::size_t kControlCount = 18;

enum class Kind : uint8_t { StatusBar, Button, Frame, Combo, CheckBox, Option, Label };

struct ControlEntry {
  Control control;
  std::string_view name;
  Kind kind;
  // The frame the rectangle is relative to; the control itself for controls placed on the window.
  Control container;
  std::string_view caption;      // UTF-8
  int left, top, width, height;  // twips
  int tabIndex;
};

// Child window identifiers: 100 + position in the table. Test drivers find controls by them.
constexpr int controlId(Control c) {
  return 100 + static_cast<int>(c);
}

inline constexpr int kClientWidthTwips = 4995;
inline constexpr int kClientHeightTwips = 4455;

using C = Control;
using K = Kind;
// clang-format off
inline constexpr std::array<ControlEntry, kControlCount> kLayout{{
    {C::stbStatus,    "stbStatus",    K::StatusBar, C::stbStatus,  "",                  0,    4155, 4995, 300,  17},
    {C::cmdBegin,     "cmdBegin",     K::Button,    C::cmdBegin,   "开始",              600,  3720, 975,  375,  10},
    {C::cmdStop,      "cmdStop",      K::Button,    C::cmdStop,    "停止",              2040, 3720, 975,  375,  9},
    {C::cmdExit,      "cmdExit",      K::Button,    C::cmdExit,    "退出",              3360, 3720, 975,  375,  8},
    {C::fraContent,   "fraContent",   K::Frame,     C::fraContent, "对话列表",          120,  120,  4815, 1215, 2},
    {C::comContent,   "comContent",   K::Combo,     C::fraContent, "",                  120,  360,  4455, 315,  5},
    {C::cmdAdd,       "cmdAdd",       K::Button,    C::fraContent, "添加",              600,  720,  975,  375,  4},
    {C::cmdDel,       "cmdDel",       K::Button,    C::fraContent, "删除",              3240, 720,  975,  375,  3},
    {C::fraSend,      "fraSend",      K::Frame,     C::fraSend,    "发送设置",          120,  2760, 4815, 855,  1},
    {C::chkCycle,     "chkCycle",     K::CheckBox,  C::fraSend,    "循环发送",          3480, 360,  1095, 255,  11},
    {C::optSend0,     "optSend(0)",   K::Option,    C::fraSend,    "ENTER发送",         240,  360,  1215, 255,  7},
    {C::optSend1,     "optSend(1)",   K::Option,    C::fraSend,    "CTRL+ENTER发送",    1560, 360,  1935, 255,  6},
    {C::fraTime,      "fraTime",      K::Frame,     C::fraTime,    "时间设置",          120,  1440, 4815, 1215, 0},
    {C::chkCut,       "chkCut",       K::CheckBox,  C::fraTime,    "时间到自动关机",    2850, 795,  1695, 255,  16},
    {C::comInterval,  "comInterval",  K::Combo,     C::fraTime,    "",                  1320, 300,  1095, 315,  13},
    {C::comTotalTime, "comTotalTime", K::Combo,     C::fraTime,    "",                  1320, 780,  1095, 315,  12},
    {C::lblInterval,  "lblInterval",  K::Label,     C::fraTime,    "时间间隔(s)",       360,  360,  885,  195,  15},
    {C::lblTotalTime, "lblTotalTime", K::Label,     C::fraTime,    "持续时长(m)",       360,  840,  930,  195,  14},
}};
// clang-format on

constexpr const ControlEntry& entry(Control c) {
  return kLayout[static_cast<std::size_t>(c)];
}

// Status bar panels, twips wide, and their texts.
inline constexpr int kStatusPanelWidths[2] = {2100, 2820};
inline constexpr std::string_view kStatusPanelTexts[2] = {"Vorelo 开发组", "版本 " VORELO_VERSION};

inline constexpr std::string_view kAppTitle = "Vorelo";

// Twips to pixels at `dpi`, rounded to the nearest pixel (twips are never negative here).
constexpr int twipsToPixels(int twips, int dpi) {
  return (twips * dpi + 720) / 1440;
}

struct PixelRect {
  int left, top, right, bottom;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A control's rectangle in the window's client area. Each edge is rounded on its own
// (right = pixels(left + width), never pixels(left) + pixels(width)), so neighbours keep
// their gaps at every DPI.
constexpr PixelRect pixelRect(const ControlEntry& c, int dpi) {
  int left = c.left;
  int top = c.top;
  if (c.container != c.control) {
    left += entry(c.container).left;
    top += entry(c.container).top;
  }
  return {twipsToPixels(left, dpi), twipsToPixels(top, dpi), twipsToPixels(left + c.width, dpi),
          twipsToPixels(top + c.height, dpi)};
}

// Where the two time labels go when their texts need `textWidths` pixels in the window's font
// at `dpi`. A label never wraps: one whose text is wider than its place grows to the right, up
// to 2 px before the combo box beside it; where that is not enough, both labels move left
// together, keeping one left edge, but not past `leftmost` (where the frame's caption starts).
// Top and height stay as the table says.
inline std::array<PixelRect, 2> timeLabelRects(int dpi, std::array<int, 2> textWidths,
                                               int leftmost) {
  constexpr Control kLabels[2] = {Control::lblInterval, Control::lblTotalTime};
  constexpr Control kCombos[2] = {Control::comInterval, Control::comTotalTime};
  constexpr int kGapToCombo = 2;
  std::array<PixelRect, 2> rects{};
  int left = 0;
  int shortfall = 0;
  for (std::size_t i = 0; i < 2; ++i) {
    rects[i] = pixelRect(entry(kLabels[i]), dpi);
    left = rects[i].left;  // the table gives both labels one left edge
    const int limit = pixelRect(entry(kCombos[i]), dpi).left - kGapToCombo;
    shortfall = std::max(shortfall, rects[i].left + textWidths[i] - limit);
  }
  if (shortfall > 0) left = std::max(std::min(left, leftmost), left - shortfall);
  for (std::size_t i = 0; i < 2; ++i) {
    const int limit = pixelRect(entry(kCombos[i]), dpi).left - kGapToCombo;
    rects[i].left = left;
    rects[i].right = std::min(limit, std::max(rects[i].right, left + textWidths[i]));
  }
  return rects;
}

}  // namespace vorelo::app
