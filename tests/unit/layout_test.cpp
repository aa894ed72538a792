#include <gtest/gtest.h>

#include "app/layout.h"

namespace vorelo::app {
namespace {

TEST(Layout, ClientAreaAndControlsAtStandardDpi) {
  EXPECT_EQ(twipsToPixels(kClientWidthTwips, 96), 333);
  EXPECT_EQ(twipsToPixels(kClientHeightTwips, 96), 297);
  // Controls inside a frame are placed relative to it.
  const PixelRect combo = pixelRect(entry(Control::comContent), 96);
  EXPECT_EQ(combo.left, 16);
  EXPECT_EQ(combo.top, 32);
  EXPECT_EQ(combo.width(), 297);
  EXPECT_EQ(combo.height(), 21);
  const PixelRect status = pixelRect(entry(Control::stbStatus), 96);
  EXPECT_EQ(status.bottom, 297) << "the status bar sits on the bottom edge";
}

// Texts measured in SimSun at 96 DPI: the duration label needs 5 px more than its place.
TEST(Layout, TimeLabelsGrowRightThenMoveLeftTogether) {
  const auto table = [](Control c) { return pixelRect(entry(c), 96); };
  EXPECT_EQ(timeLabelRects(96, {40, 40}, 15)[1], table(Control::lblTotalTime)) << "nothing moves";
  const auto fitted = timeLabelRects(96, {61, 67}, 15);
  EXPECT_EQ(fitted[0].left, 27);
  EXPECT_EQ(fitted[1].left, 27);
  EXPECT_EQ(fitted[1].right, table(Control::comTotalTime).left - 2);
  EXPECT_GE(fitted[0].width(), 61);
  EXPECT_EQ(fitted[1].top, table(Control::lblTotalTime).top);
  EXPECT_EQ(fitted[1].bottom, table(Control::lblTotalTime).bottom);
  EXPECT_EQ(timeLabelRects(96, {61, 200}, 15)[1].left, 15) << "never past the frame's caption";
}

TEST(Layout, NeighboursKeepTheirGapsAtEveryDpi) {
  for (int dpi : {96, 120, 144, 168, 192, 240, 288}) {
    SCOPED_TRACE(dpi);
    const int clientWidth = twipsToPixels(kClientWidthTwips, dpi);
    const int clientHeight = twipsToPixels(kClientHeightTwips, dpi);
    for (const ControlEntry& a : kLayout) {
      const PixelRect ra = pixelRect(a, dpi);
      EXPECT_LE(ra.right, clientWidth) << a.name;
      EXPECT_LE(ra.bottom, clientHeight) << a.name;
      // Each edge is the exact scaled position, within half a pixel.
      const double scale = dpi / 1440.0;
      const int absLeft = a.left + (a.container != a.control ? entry(a.container).left : 0);
      EXPECT_NEAR(ra.left, absLeft * scale, 0.5) << a.name;
      EXPECT_NEAR(ra.right, (absLeft + a.width) * scale, 0.5) << a.name;
      for (const ControlEntry& b : kLayout) {
        const PixelRect rb = pixelRect(b, dpi);
        const int bLeft = b.left + (b.container != b.control ? entry(b.container).left : 0);
        // Controls that touch or keep a gap in twips keep it in pixels: no overlap appears.
        if (absLeft + a.width <= bLeft) {
          EXPECT_LE(ra.right, rb.left) << a.name << " " << b.name;
        }
      }
    }
    // The three buttons along the bottom stay the same width as each other.
    const int begin = pixelRect(entry(Control::cmdBegin), dpi).width();
    EXPECT_NEAR(pixelRect(entry(Control::cmdStop), dpi).width(), begin, 1);
    EXPECT_NEAR(pixelRect(entry(Control::cmdExit), dpi).width(), begin, 1);
  }
}

TEST(Layout, TabOrderRunsThroughEveryControlOnce) {
  std::array<bool, kControlCount> seen{};
  for (const ControlEntry& c : kLayout) {
    ASSERT_GE(c.tabIndex, 0);
    ASSERT_LT(c.tabIndex, static_cast<int>(kControlCount));
    EXPECT_FALSE(seen[static_cast<std::size_t>(c.tabIndex)]) << c.name;
    seen[static_cast<std::size_t>(c.tabIndex)] = true;
    EXPECT_EQ(&entry(c.control), &c) << "the table is in control order";
  }
}

}  // namespace
}  // namespace vorelo::app
