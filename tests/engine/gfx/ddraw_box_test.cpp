// Box styles 0-9 (solid, checker, tinted over a read surface), styles beyond, refusals, and the
// text size.

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "display_test_support.h"
#include "engine/gfx/text/text_big5.h"

namespace {

using display_test::DisplayTest;
using platform::PixelLayout;
using platform::Surface;

constexpr ColorRef kOrange = 0x0080FF;

class BoxTest : public DisplayTest {
 protected:
  static constexpr uint16_t kUnder = 0x1357;
  void SetUp() override {
    DisplayTest::SetUp();
    Paint(SURFACE_SCRATCH, {0, 0, 640, 480}, kUnder);
  }
};

TEST_P(BoxTest, SolidBoxFillsItsRectangleWithTheMatchedColour) {
  ASSERT_EQ(ddraw().DrawBox(SURFACE_SCRATCH, kOrange, 10, 20, 30, 25, 0), 1);
  for (int y = 15; y < 30; ++y) {
    for (int x = 5; x < 35; ++x) {
      const bool inside = x >= 10 && x < 30 && y >= 20 && y < 25;
      ASSERT_EQ(Pixel(SURFACE_SCRATCH, x, y), inside ? Pack(kOrange) : kUnder) << x << "," << y;
    }
  }
  // A box reaching past the surface is drawn where it lies on it.
  ASSERT_EQ(ddraw().DrawBox(SURFACE_SCRATCH, kOrange, 630, 470, 700, 500, 0), 1);
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 639, 479), Pack(kOrange));
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 629, 479), kUnder);
}

TEST_P(BoxTest, CheckerBoxAlternatesColourAndTransparency) {
  ASSERT_EQ(ddraw().DrawBox(SURFACE_SCRATCH, kOrange, 0, 0, 2, 2, 1), 1);
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 1, 0), Pack(kOrange));
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 0, 1), Pack(kOrange));
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 0, 0), Key());
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 1, 1), Key());
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 2, 0), kUnder);
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 0, 2), kUnder);
  // The pattern follows the surface's coordinates, so neighbouring boxes join seamlessly.
  ASSERT_EQ(ddraw().DrawBox(SURFACE_SCRATCH, kOrange, 5, 3, 8, 4, 1), 1);
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 5, 3), Key());
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 6, 3), Pack(kOrange));
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 7, 3), Key());
}

// Styles 2-9 over a read surface of known pixels: each box pixel is the read pixel tinted toward
// the colour with level 256 >> (style - 1) (styles 2-5) or 256 >> (style - 5) (styles 6-9); where
// the read pixel is the key the box keeps what it had.
TEST_P(BoxTest, TintedStylesBlendTheReadSurfaceTowardTheColour) {
  constexpr std::array<unsigned, 10> kLevel{0, 0, 128, 64, 32, 16, 128, 64, 32, 16};
  Surface* read = ddraw().GetSurface(SURFACE_SCRATCH2);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      read->Row(y)[x] = (x + y) % 5 == 0 ? Key() : Pack(0x0F1F2Fu * static_cast<unsigned>(x % 9));
    }
  }
  const Rect box{40, 30, 60, 41};
  for (int style = 2; style <= 9; ++style) {
    Paint(SURFACE_SCRATCH, {0, 0, 640, 480}, kUnder);
    ASSERT_EQ(ddraw().DrawBoxEx(SURFACE_SCRATCH, kOrange, box, style, SURFACE_SCRATCH2), 1);
    for (int y = box.top - 1; y <= box.bottom; ++y) {
      for (int x = box.left - 1; x <= box.right; ++x) {
        const bool inside = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
        const uint16_t s = Pixel(read, x, y);
        const uint16_t want =
            inside && s != Key() ? Blend(s, Pack(kOrange), kLevel[static_cast<size_t>(style)]) : kUnder;
        ASSERT_EQ(Pixel(SURFACE_SCRATCH, x, y), want) << "style " << style << " at " << x << "," << y;
      }
    }
  }
}

// DrawBox reads the primary, which holds the last frame shown.
TEST_P(BoxTest, DrawBoxTintsTheLastFrameShown) {
  Paint(SURFACE_PRIMARY, {0, 0, 640, 480}, Pack(0xFFFFFF));
  ASSERT_EQ(ddraw().DrawBox(SURFACE_SCRATCH, 0x000000, 0, 0, 4, 4, 2), 1);
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 3, 3), Blend(Pack(0xFFFFFF), 0, 128));
}

TEST_P(BoxTest, StylesBeyondNineDrawNothingAndThePrimaryIsRefused) {
  for (int style : {10, 11, 1000, -1}) {
    EXPECT_EQ(ddraw().DrawBox(SURFACE_SCRATCH, kOrange, 0, 0, 640, 480, style), 1) << style;
  }
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) ASSERT_EQ(Pixel(SURFACE_SCRATCH, x, y), kUnder);
  }
  Paint(SURFACE_PRIMARY, {0, 0, 640, 480}, kUnder);
  EXPECT_EQ(ddraw().DrawBox(SURFACE_PRIMARY, kOrange, 0, 0, 4, 4, 0), 0);
  EXPECT_EQ(Pixel(SURFACE_PRIMARY, 0, 0), kUnder);
  EXPECT_EQ(ddraw().DrawBox(0, kOrange, 0, 0, 4, 4, 0), 0);
  EXPECT_EQ(ddraw().DrawBox(99, kOrange, 0, 0, 4, 4, 0), 0);
  // A box over a read surface that does not exist fails.
  EXPECT_EQ(ddraw().DrawBoxEx(SURFACE_SCRATCH, kOrange, {0, 0, 4, 4}, 3, 0), 0);
}

TEST_P(BoxTest, LostSurfacesAreRestoredOrTheBoxFails) {
  Surface* s = ddraw().GetSurface(SURFACE_SCRATCH);
  s->SetLost(true);
  ASSERT_EQ(ddraw().DrawBox(SURFACE_SCRATCH, kOrange, 0, 0, 2, 2, 0), 1);
  EXPECT_EQ(Pixel(s, 0, 0), Pack(kOrange));
  s->SetLost(true);
  s->SetRestoreFails(true);
  EXPECT_EQ(ddraw().DrawBox(SURFACE_SCRATCH, kOrange, 0, 0, 2, 2, 1), 0);
  s->SetRestoreFails(false);
}

TEST_P(BoxTest, TextSizeMeasuresTheWholeString) {
  auto big5 = Big5FromUtf8("中a");
  ASSERT_TRUE(big5.has_value());
  const std::string text = *big5 + "bc";
  // One double-byte character (24) and three single-byte ones (12 each); height 24.
  EXPECT_EQ(ddraw().GetTextSize(text.c_str(), 1, 2, 3, SURFACE_SCRATCH), (24u << 16) | 60u);
  EXPECT_EQ(ddraw().GetTextSize("a\nbcd", 0, 0, 0, SURFACE_BG), (48u << 16) | 36u);
  EXPECT_EQ(ddraw().GetTextSize("abc", 0, 0, 0, 0), 0u);

  Surface* s = ddraw().GetSurface(SURFACE_SCRATCH);
  s->SetLost(true);
  EXPECT_EQ(ddraw().GetTextSize("abc", 0, 0, 0, SURFACE_SCRATCH), 36u | (24u << 16));
  s->SetLost(true);
  s->SetRestoreFails(true);
  EXPECT_EQ(ddraw().GetTextSize("abc", 0, 0, 0, SURFACE_SCRATCH), 0u);
  s->SetRestoreFails(false);
}

INSTANTIATE_FOR_BOTH_LAYOUTS(BoxTest);

}  // namespace
