// Alpha blits: level clamp, blitter choice (layout, colour key), clipping, lock failures, and the
// copy path of flip mode 1 against the direct path.

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "display_test_support.h"
#include "testsupport/trace_capture.h"

namespace {

using display_test::DisplayTest;
using platform::PixelLayout;
using platform::Surface;

class AlphaTest : public DisplayTest {
 protected:
  Surface* Src() { return ddraw().GetSurface(SURFACE_SCRATCH); }
  Surface* Dst() { return ddraw().GetSurface(SURFACE_SCRATCH2); }

  // Mode 0 of one pixel by its definition: each channel floor(s a / 256) + floor(d (256 - a) /
  // 256); a destination equal to the source stays as it is.
  uint16_t Mix(uint16_t s, uint16_t d, unsigned a) const { return s == d ? d : Blend(s, d, a); }
  // Distinct values in every channel, with a key pixel every 7th.
  void PaintSource(Surface* s, Rect r) {
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) {
        const auto a = static_cast<unsigned>(x % 5 + 1), b = static_cast<unsigned>(y % 3);
        s->Row(y)[x] = (x + 3 * y) % 7 == 0 ? Key() : Pack(0x102030u * a + 0x0B0000u * b);
      }
    }
  }
};

TEST_P(AlphaTest, LevelsAboveFullBlendAsFullAndKeyedPixelsLeaveTheDestination) {
  const Rect r{10, 20, 42, 36};
  PaintSource(Src(), r);
  const uint16_t under = Pack(0x445566);
  struct Case {
    BlendWord word;
    unsigned level;  // the level it must blend as
  };
  for (Case c : {Case{256, 256}, Case{300, 256}, Case{0xFFFF, 256}, Case{128, 128}, Case{0, 0}}) {
    Paint(Dst(), {0, 0, 640, 480}, under);
    ASSERT_EQ(ddraw().BltAlpha(Src(), r, Dst(), r, 1, c.word), 1);
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) {
        const uint16_t s = Pixel(Src(), x, y);
        const uint16_t want = s == Key() ? under : Mix(s, under, c.level);
        ASSERT_EQ(Pixel(Dst(), x, y), want) << "word " << c.word << " at " << x << "," << y;
      }
    }
    EXPECT_EQ(Pixel(Dst(), r.left - 1, r.top), under);
    EXPECT_EQ(Pixel(Dst(), r.right, r.bottom - 1), under);
  }
  // The software blend asks for no compose.
  EXPECT_EQ(ddraw().IsUpdate(SURFACE_SCRATCH2), 0u);
}

TEST_P(AlphaTest, WithoutTheKeyFlagKeyPixelsAreWrittenThroughTheBlend) {
  const Rect r{0, 0, 14, 3};
  PaintSource(Src(), r);
  const uint16_t under = Pack(0x445566);
  Paint(Dst(), {0, 0, 640, 480}, under);
  ASSERT_EQ(ddraw().BltAlpha(Src(), r, Dst(), r, 0, 128), 1);
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const uint16_t s = Pixel(Src(), x, y);
      ASSERT_EQ(Pixel(Dst(), x, y), s == Key() ? Key() : Mix(s, under, 128)) << x << "," << y;
    }
  }
}

// Clipped like a blit against the destination; the source moves by the cut.
TEST_P(AlphaTest, ClipsAgainstTheDestination) {
  PaintSource(Src(), {0, 0, 64, 64});
  const uint16_t under = Pack(0x445566);
  Paint(Dst(), {0, 0, 640, 480}, under);
  ASSERT_EQ(ddraw().BltAlpha(Src(), {0, 0, 20, 10}, Dst(), {-5, 475, 15, 485}, 1, 256), 1);
  for (int y = 470; y < 480; ++y) {
    for (int x = 0; x < 20; ++x) {
      uint16_t want = under;
      if (x < 15 && y >= 475) {
        const uint16_t s = Pixel(Src(), x + 5, y - 475);
        want = s == Key() ? under : s;
      }
      ASSERT_EQ(Pixel(Dst(), x, y), want) << x << "," << y;
    }
  }
  // Wholly outside: nothing to draw, success.
  EXPECT_EQ(ddraw().BltAlpha(Src(), {0, 0, 20, 10}, Dst(), {640, 0, 660, 10}, 1, 256), 1);
  // A source rectangle outside its surface is refused before anything is read.
  testsupport::TraceCapture trace;
  EXPECT_EQ(ddraw().BltAlpha(Src(), {630, 0, 650, 10}, Dst(), {0, 0, 20, 10}, 1, 256), 0);
  EXPECT_TRUE(trace.Contains("outside"));
  EXPECT_EQ(ddraw().BltAlpha(nullptr, {0, 0, 2, 2}, Dst(), {0, 0, 2, 2}, 1, 256), 0);
}

// Rectangles of different sizes blend over their common top-left part (no stretching, and no
// read beyond the source rectangle).
TEST_P(AlphaTest, DifferentSizesBlendTheirCommonPart) {
  PaintSource(Src(), {0, 0, 64, 64});
  const uint16_t under = Pack(0x445566);
  Paint(Dst(), {0, 0, 640, 480}, under);
  ASSERT_EQ(ddraw().BltAlpha(Src(), {0, 0, 4, 6}, Dst(), {100, 100, 110, 103}, 0, 256), 1);
  for (int y = 98; y < 108; ++y) {
    for (int x = 98; x < 112; ++x) {
      const bool drawn = x >= 100 && x < 104 && y >= 100 && y < 103;
      ASSERT_EQ(Pixel(Dst(), x, y), drawn ? Pixel(Src(), x - 100, y - 100) : under) << x << "," << y;
    }
  }
}

TEST_P(AlphaTest, ALockFailureDrawsNothingAndStillSucceeds) {
  const Rect r{0, 0, 32, 32};
  PaintSource(Src(), r);
  const uint16_t under = Pack(0x445566);
  // In flip mode 1 the back buffer is the screen's flip buffer, which a restore of the screen
  // would bring back (cleared): here the screen cannot be restored, so it stays unlockable.
  ddraw().GetSurface(SURFACE_PRIMARY)->SetRestoreFails(true);
  for (int flip_mode : {0, 1}) {
    ddraw().SetFlipMode(flip_mode);
    Surface* back = ddraw().GetSurface(SURFACE_BACK);
    for (Surface* lost : {Src(), back}) {
      Paint(back, {0, 0, 640, 480}, under);
      lost->SetLost(true);
      EXPECT_EQ(ddraw().BltAlpha(Src(), r, back, r, 1, 128), 1);
      EXPECT_FALSE(Src()->locked());
      EXPECT_FALSE(back->locked());
      lost->SetLost(false);
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) ASSERT_EQ(Pixel(back, x, y), under) << x << "," << y;
      }
    }
  }
}

// In flip mode 1 the back buffer is the flip buffer; alpha and additive blends go through a
// system-memory copy, the others straight in. Every mode gives the same pixels either way.
TEST_P(AlphaTest, FlipModeOneGivesTheSamePixelsAsFlipModeZero) {
  const Rect src{3, 5, 203, 105};
  const Rect dst{-20, 400, 180, 500};  // clipped on two sides
  PaintSource(Src(), {0, 0, 640, 480});
  for (BlendWord word : {BlendWord{96}, BlendWord{kBlendAdd | 200}, BlendWord{kBlendTint | 64},
                         BlendWord{kBlendMesh | 256}}) {
    std::vector<uint16_t> results[2];
    for (int flip_mode : {0, 1}) {
      ddraw().SetFlipMode(flip_mode);
      Surface* back = ddraw().GetSurface(SURFACE_BACK);
      for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) back->Row(y)[x] = static_cast<uint16_t>(x * 37 + y * 11);
      }
      ASSERT_EQ(ddraw().BltAlphaWork(Src(), src, back, dst, 1, word, Pack(0x00FF00)), 1);
      results[flip_mode] = Snapshot(back);
    }
    EXPECT_EQ(results[0], results[1]) << "word " << std::hex << word;
    // And the blend did draw.
    EXPECT_NE(results[0][static_cast<size_t>(450 * 640 + 52)],
              static_cast<uint16_t>(52 * 37 + 450 * 11));
  }
  ddraw().SetFlipMode(0);
}

INSTANTIATE_FOR_BOTH_LAYOUTS(AlphaTest);

// Before a display opens no colours are matched: the display object answers RGB565, and the
// software blend works in the layout it answers (the halving mask tells the layouts apart).
TEST(AlphaWithoutDisplay, BlendsInTheLayoutTheDisplayObjectAnswers) {
  testsupport::TestEngine engine;
  auto& dd = engine.ctx().ddraw;
  EXPECT_EQ(dd.MatchedLayout(), PixelLayout::kRgb565);
  const std::array<uint16_t, 2> src = {0xFFFF, 0x0841};
  std::array<uint16_t, 2> dst = {0x0000, 0xFFFF};
  dd.BltAlphaSoft(src.data(), 4, 0, 0, 2, 1, dst.data(), 4, 0, 0, 2, 1, 0, 128, kBlendAlpha, 0);
  EXPECT_EQ(dst[0], 0x7BEF);  // RGB555 would give 0x3DEF
  EXPECT_EQ(dst[1], 0x7C0F);  // 0x0020 + 0x7BEF; RGB555 would give 0x420F
}

}  // namespace
