// The blit worker (clipping, stretch, mirroring, colour key, update bits, bounded retries),
// BltWait and the fills.

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "display_test_support.h"
#include "testsupport/trace_capture.h"

namespace {

using display_test::DisplayTest;
using platform::Surface;

constexpr BltFx kMirrorX{100, kBltFxMirrorLeftRight};
constexpr BltFx kMirrorY{100, kBltFxMirrorUpDown};

// ---- Clipping ----

struct ClipCase {
  const char* name;
  Rect src;
  Rect dst;
  const BltFx* fx;
  int nothing;  // expected result of ClipBltRect
  Rect src_out;
  Rect dst_out;
};

class ClipTest : public ::testing::TestWithParam<ClipCase> {};

TEST_P(ClipTest, ClipsAgainstTheDestinationWithTheSameShareOfTheSource) {
  const ClipCase& c = GetParam();
  testsupport::TestEngine engine;
  auto& dd = engine.ctx().ddraw;
  ASSERT_EQ(dd.InitDirectDraw(), 1);
  Rect s = c.src;
  Rect d = c.dst;
  uint32_t flags = c.fx != nullptr ? kBltDdFx : 0;
  ASSERT_EQ(dd.ClipBltRect(dd.GetSurface(12), &s, dd.GetSurface(2), &d, flags, c.fx), c.nothing);
  if (c.nothing) return;
  EXPECT_EQ(s.left, c.src_out.left);
  EXPECT_EQ(s.top, c.src_out.top);
  EXPECT_EQ(s.right, c.src_out.right);
  EXPECT_EQ(s.bottom, c.src_out.bottom);
  EXPECT_EQ(d.left, c.dst_out.left);
  EXPECT_EQ(d.top, c.dst_out.top);
  EXPECT_EQ(d.right, c.dst_out.right);
  EXPECT_EQ(d.bottom, c.dst_out.bottom);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipTest,
    ::testing::Values(
        ClipCase{"Inside", {0, 0, 64, 64}, {10, 20, 74, 84}, nullptr, 0, {0, 0, 64, 64},
                 {10, 20, 74, 84}},
        ClipCase{"WhollyRight", {0, 0, 64, 64}, {700, 0, 764, 64}, nullptr, 1, {}, {}},
        ClipCase{"WhollyLeft", {0, 0, 64, 64}, {-64, 0, 0, 64}, nullptr, 1, {}, {}},
        ClipCase{"WhollyBelow", {0, 0, 64, 64}, {0, 480, 64, 544}, nullptr, 1, {}, {}},
        ClipCase{"StretchLeftCut", {0, 0, 32, 32}, {-10, 0, 54, 64}, nullptr, 0, {5, 0, 32, 32},
                 {0, 0, 54, 64}},
        ClipCase{"RightCut", {0, 0, 64, 64}, {600, 0, 664, 64}, nullptr, 0, {0, 0, 40, 64},
                 {600, 0, 640, 64}},
        ClipCase{"MirrorRightCut", {0, 0, 64, 64}, {592, 0, 656, 64}, &kMirrorX, 0,
                 {16, 0, 64, 64}, {592, 0, 640, 64}},
        ClipCase{"MirrorLeftCut", {0, 0, 64, 64}, {-16, 0, 48, 64}, &kMirrorX, 0, {0, 0, 48, 64},
                 {0, 0, 48, 64}},
        ClipCase{"MirrorBothSides", {0, 0, 700, 8}, {-20, 0, 680, 8}, &kMirrorX, 0,
                 {40, 0, 680, 8}, {0, 0, 640, 8}},
        ClipCase{"MirrorFromInsideASheet", {100, 0, 164, 8}, {592, 0, 656, 8}, &kMirrorX, 0,
                 {116, 0, 164, 8}, {592, 0, 640, 8}},
        ClipCase{"MirrorBottomCut", {0, 0, 8, 64}, {0, 448, 8, 512}, &kMirrorY, 0, {0, 32, 8, 64},
                 {0, 448, 8, 480}},
        ClipCase{"ZeroWidthDestination", {0, 0, 64, 64}, {10, 10, 10, 74}, nullptr, 1, {}, {}},
        ClipCase{"ZeroHeightSource", {0, 5, 64, 5}, {0, 0, 64, 64}, nullptr, 1, {}, {}},
        ClipCase{"InvertedDestination", {0, 0, 64, 64}, {74, 10, 10, 74}, nullptr, 1, {}, {}},
        ClipCase{"ExtremeValues", {INT_MIN, 0, INT_MAX, 1}, {INT_MIN, 0, INT_MAX, 1}, nullptr, 0,
                 {0, 0, 640, 1}, {0, 0, 640, 1}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Pixels ----

class BlitTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    // A source whose every pixel tells its own column and row.
    src_no = ddraw().CreateUserSurface(128, 64);
    src = ddraw().GetUserSurface(src_no);
    ASSERT_NE(src, nullptr);
    for (int y = 0; y < 64; ++y) {
      for (int x = 0; x < 128; ++x) src->Row(y)[x] = Code(x, y);
    }
  }
  static uint16_t Code(int x, int y) { return static_cast<uint16_t>(0x4000 | (y << 7) | x); }

  UserSurface src_no = -1;
  Surface* src = nullptr;
};
INSTANTIATE_FOR_BOTH_LAYOUTS(BlitTest);

TEST_P(BlitTest, StretchSamplesColumnsAndRowsByIntegerShares) {
  auto& dd = ddraw();
  Surface* dst = dd.GetSurface(12);
  struct Case {
    Rect s, d;
    const BltFx* fx;
    std::vector<int> columns;  // source columns of destination columns 0.. on the first row
    std::vector<int> rows;     // source rows of destination rows 0.. in the first column
  };
  const Case cases[] = {
      {{0, 0, 3, 1}, {0, 0, 7, 1}, nullptr, {0, 0, 0, 1, 1, 2, 2}, {0}},
      {{0, 0, 3, 1}, {0, 0, 7, 1}, &kMirrorX, {2, 2, 2, 1, 1, 0, 0}, {0}},
      {{10, 0, 17, 1}, {0, 0, 3, 1}, nullptr, {10, 12, 14}, {0}},
      {{4, 2, 5, 5}, {0, 0, 1, 6}, nullptr, {4}, {2, 2, 3, 3, 4, 4}},
      {{4, 2, 5, 5}, {0, 0, 1, 6}, &kMirrorY, {}, {4, 4, 3, 3, 2, 2}},
      // 2x stretch clipped on the left by 10 starts 5 source pixels in.
      {{0, 0, 32, 1}, {-10, 0, 54, 1}, nullptr, {5, 5, 6, 6, 7}, {0}},
      // Mirrored 0-64 clipped on the right by 16 shows source 63 down to 16.
      {{0, 0, 64, 1}, {592, 0, 656, 1}, &kMirrorX, {}, {}},
  };
  for (const Case& c : cases) {
    Paint(dst, {0, 0, 640, 8}, 0);
    uint32_t flags = c.fx != nullptr ? kBltDdFx : 0;
    ASSERT_EQ(dd.BltSurface(src, c.s, dst, c.d, 0, flags, c.fx), 1);
    int x0 = std::max(c.d.left, 0);
    for (size_t i = 0; i < c.columns.size(); ++i) {
      EXPECT_EQ(Pixel(dst, x0 + static_cast<int>(i), 0), Code(c.columns[i], c.s.top)) << i;
    }
    const int column0 = c.columns.empty() ? c.s.left : c.columns[0];
    for (size_t j = 0; j < c.rows.size(); ++j) {
      EXPECT_EQ(Pixel(dst, x0, static_cast<int>(j)), Code(column0, c.rows[j])) << j;
    }
  }
  EXPECT_EQ(Pixel(dst, 592, 0), Code(63, 0));
  EXPECT_EQ(Pixel(dst, 639, 0), Code(16, 0));
}

TEST_P(BlitTest, KeyedBlitsSkipKeyPixelsAndSetTheDestinationsUpdateBit) {
  auto& dd = ddraw();
  src->Row(0)[1] = Key();
  src->Row(0)[3] = Key();
  Paint(12, {0, 0, 8, 1}, 0x1111);
  dd.SetUpdate(12, 0);
  ASSERT_EQ(dd.BltFromSurface(src, {0, 0, 4, 1}, 12, {0, 0, 4, 1}, 1), 1);
  EXPECT_EQ(Pixel(12, 0, 0), Code(0, 0));
  EXPECT_EQ(Pixel(12, 1, 0), 0x1111);
  EXPECT_EQ(Pixel(12, 2, 0), Code(2, 0));
  EXPECT_EQ(Pixel(12, 3, 0), 0x1111);
  EXPECT_NE(dd.IsUpdate(12), 0u);
  EXPECT_EQ(src->color_key(), Key());

  // Without the flag key pixels are copied; the mirrored keyed path skips them too.
  ASSERT_EQ(dd.BltFromSurface(src, {0, 0, 4, 1}, 12, {4, 0, 8, 1}, 0), 1);
  EXPECT_EQ(Pixel(12, 5, 0), Key());
  Paint(12, {0, 0, 8, 1}, 0x1111);
  ASSERT_EQ(dd.BltFromSurfaceEx(src, {0, 0, 4, 1}, 12, {0, 0, 4, 1}, 1, kBltDdFx, &kMirrorX), 1);
  EXPECT_EQ(Pixel(12, 0, 0), 0x1111);  // source column 3
  EXPECT_EQ(Pixel(12, 1, 0), Code(2, 0));
  EXPECT_EQ(Pixel(12, 2, 0), 0x1111);  // source column 1

  // Into a user surface no bit is set; a blit clipped away sets none either.
  dd.SetUpdate(12, 0);
  UserSurface other = dd.CreateUserSurface(8, 8);
  const uint32_t before = dd.update_word();
  ASSERT_EQ(dd.BltPtr(src, {0, 0, 4, 4}, dd.GetUserSurface(other), {0, 0, 4, 4}, 0), 1);
  ASSERT_EQ(dd.BltFromSurface(src, {0, 0, 4, 4}, 12, {700, 0, 704, 4}, 0), 1);
  EXPECT_EQ(dd.update_word(), before);
}

TEST_P(BlitTest, ASurfaceOntoItselfCopiesThroughATemporary) {
  auto& dd = ddraw();
  Surface* s = dd.GetSurface(13);
  for (int x = 0; x < 120; ++x) s->Row(0)[x] = static_cast<uint16_t>(x);
  ASSERT_EQ(dd.Blt(13, {0, 0, 100, 1}, 13, {10, 0, 110, 1}, 0), 1);
  for (int x = 0; x < 100; ++x) ASSERT_EQ(Pixel(s, 10 + x, 0), x);
  ASSERT_EQ(dd.Blt(13, {10, 0, 110, 1}, 13, {0, 0, 100, 1}, 0), 1);
  for (int x = 0; x < 100; ++x) ASSERT_EQ(Pixel(s, x, 0), x);
  // Mirrored in place over itself.
  ASSERT_EQ(dd.BltEx(13, {0, 0, 10, 1}, 13, {0, 0, 10, 1}, 0, kBltDdFx, &kMirrorX), 1);
  for (int x = 0; x < 10; ++x) ASSERT_EQ(Pixel(s, x, 0), 9 - x);
}

TEST_P(BlitTest, DrawingNeverTouchesTheRowPadding) {
  auto& dd = ddraw();
  Surface* s = dd.GetSurface(12);
  ASSERT_GT(s->pitch(), 1280);
  ASSERT_EQ(dd.ClearSurface(12, 1), 1);
  ASSERT_EQ(dd.Blt(9, {0, 0, 640, 480}, 12, {-5, -5, 700, 500}, 0), 1);
  ASSERT_EQ(dd.BltFromSurface(src, {0, 0, 128, 64}, 12, {600, 400, 1000, 600}, 0), 1);
  const int words = s->pitch() / 2;
  for (int y = 0; y < 480; ++y) {
    for (int x = 640; x < words; ++x) ASSERT_EQ(s->Row(y)[x], 0) << x << "," << y;
  }
}

TEST_P(BlitTest, InvalidParametersAreRefusedAtOnceWithoutRetry) {
  auto& dd = ddraw();
  testsupport::TraceCapture trace;
  int restores = 0;
  dd.hooks().redraw_text = [&] { ++restores; };
  struct Case {
    Rect s;
    Rect d;
  };
  for (Case c : {Case{{100, 0, 200, 10}, {0, 0, 100, 10}}, Case{{-1, 0, 10, 10}, {0, 0, 11, 10}},
                 Case{{0, 60, 10, 70}, {0, 0, 10, 10}}}) {
    trace.Clear();
    Paint(12, {0, 0, 200, 10}, 0x2222);
    EXPECT_EQ(dd.BltFromSurface(src, c.s, 12, c.d, 0), 0);
    EXPECT_TRUE(trace.Contains("outside its 128x64 surface"));
    EXPECT_EQ(trace.lines().size(), 1u);
    EXPECT_EQ(Pixel(12, 0, 0), 0x2222);
  }
  EXPECT_EQ(dd.BltSurface(nullptr, {0, 0, 1, 1}, src, {0, 0, 1, 1}, 0, 0, nullptr), 0);
  EXPECT_EQ(dd.Blt(0, {0, 0, 1, 1}, 12, {0, 0, 1, 1}, 0), 0);
  EXPECT_EQ(restores, 0);
  // Empty rectangles are nothing to draw, even from a missing-size source.
  EXPECT_EQ(dd.BltFromSurface(src, {0, 0, 0, 0}, 12, {0, 0, 10, 10}, 0), 1);
}

TEST_P(BlitTest, ALostSurfaceIsRestoredAndTriedAgainABoundedNumberOfTimes) {
  auto& dd = ddraw();
  testsupport::TraceCapture trace;
  auto losses = [&] {
    int n = 0;
    for (const auto& line : trace.lines()) n += line.text == "Surface Lost!\n";
    return n;
  };

  // The flip buffer goes with a lost primary; the restore brings both back and the copy is made.
  dd.GetSurface(1)->SetLost(true);
  EXPECT_EQ(dd.Blt(12, {0, 0, 640, 480}, 3, {0, 0, 640, 480}, 0), 1);
  EXPECT_EQ(losses(), 1);
  EXPECT_FALSE(dd.GetSurface(1)->IsLost());

  // A restore that fails ends the blit with 0.
  trace.Clear();
  dd.GetSurface(1)->SetLost(true);
  dd.GetSurface(1)->SetRestoreFails(true);
  EXPECT_EQ(dd.Blt(12, {0, 0, 10, 10}, 3, {0, 0, 10, 10}, 0), 0);
  EXPECT_EQ(losses(), 1);

  // A lost surface that the restore does not cover (a user surface) gives up after a few tries.
  dd.GetSurface(1)->SetRestoreFails(false);
  ASSERT_EQ(dd.RestoreAllSurfaces(), 1);
  trace.Clear();
  src->SetLost(true);
  EXPECT_EQ(dd.BltFromSurface(src, {0, 0, 10, 10}, 12, {0, 0, 10, 10}, 0), 0);
  EXPECT_GE(losses(), 1);
  EXPECT_LE(losses(), 8);
  EXPECT_TRUE(trace.Contains("gave up"));
}

TEST_P(BlitTest, ABusySurfaceGivesUpWithATraceInsteadOfSpinning) {
  auto& dd = ddraw();
  testsupport::TraceCapture trace;
  SurfaceDesc desc;
  ASSERT_EQ(dd.LockSurface(dd.GetSurface(12), &desc), 1);
  EXPECT_EQ(dd.Blt(13, {0, 0, 10, 10}, 12, {0, 0, 10, 10}, 0), 0);
  EXPECT_EQ(dd.ClearSurface(12, 0), 0);
  Surface* s12 = dd.GetSurface(12);
  EXPECT_EQ(dd.BltWait(s12, nullptr, dd.GetSurface(13), nullptr, kBltWait, nullptr), 0);
  EXPECT_TRUE(trace.Contains("CDdrawFunc::BltSurface: gave up"));
  EXPECT_TRUE(trace.Contains("CDdrawFunc::BltColorFill: gave up"));
  EXPECT_TRUE(trace.Contains("CDdrawFunc::BltWait: gave up"));
  s12->Unlock();
  EXPECT_EQ(dd.Blt(13, {0, 0, 10, 10}, 12, {0, 0, 10, 10}, 0), 1);
}

TEST_P(BlitTest, BltWaitCopiesWholeSurfacesWithoutClippingOrUpdateBit) {
  auto& dd = ddraw();
  UserSurface n = dd.CreateUserSurface(128, 64);
  Surface* dst = dd.GetUserSurface(n);
  ASSERT_EQ(dd.BltWait(dst, nullptr, src, nullptr, kBltWait, nullptr), 1);
  EXPECT_EQ(Pixel(dst, 127, 63), Code(127, 63));

  // Keyed and mirrored by the flags, into a numbered surface: still no update bit.
  dd.SetUpdate(12, 0);
  dd.SetColorKey(src);
  src->Row(0)[0] = Key();
  Paint(12, {0, 0, 4, 1}, 0x1111);
  Rect s{0, 0, 4, 1};
  ASSERT_EQ(dd.BltWait(dd.GetSurface(12), &s, src, &s, kBltWait | kBltKeySrc | kBltDdFx, &kMirrorX),
            1);
  EXPECT_EQ(Pixel(12, 0, 0), Code(3, 0));
  EXPECT_EQ(Pixel(12, 3, 0), 0x1111);
  EXPECT_EQ(dd.IsUpdate(12), 0u);

  testsupport::TraceCapture trace;
  Rect outside{0, 0, 700, 10};
  EXPECT_EQ(dd.BltWait(dd.GetSurface(12), &outside, src, &s, kBltWait, nullptr), 0);
  EXPECT_EQ(trace.lines().size(), 1u);
  EXPECT_EQ(dd.BltWait(nullptr, nullptr, src, nullptr, 0, nullptr), 0);
}

// ---- Fills ----

class FillTest : public DisplayTest {};
INSTANTIATE_FOR_BOTH_LAYOUTS(FillTest);

TEST_P(FillTest, FillsWithKeyOrBlackRefuseThePrimaryAndResetALayersScroll) {
  auto& dd = ddraw();
  dd.SetUpdate(12, 0);
  ASSERT_EQ(dd.FillSurfaceRect(12, 10, 10, 20, 20, 1), 1);
  EXPECT_EQ(Pixel(12, 10, 10), Key());
  EXPECT_EQ(Pixel(12, 19, 19), Key());
  EXPECT_EQ(Pixel(12, 20, 19), 0);
  EXPECT_EQ(dd.IsUpdate(12), 0u);  // a fill requests no compose
  ASSERT_EQ(dd.FillSurfaceRect(12, 10, 10, 20, 20, 0), 1);
  EXPECT_EQ(Pixel(12, 15, 15), 0);
  // Black inside a keyed rectangle (a byte fill): its edges stay where they are.
  ASSERT_EQ(dd.FillSurfaceRect(12, 8, 8, 22, 22, 1), 1);
  ASSERT_EQ(dd.FillSurfaceRect(12, 10, 10, 20, 20, 0), 1);
  EXPECT_EQ(Pixel(12, 10, 10), 0);
  EXPECT_EQ(Pixel(12, 19, 19), 0);
  EXPECT_EQ(Pixel(12, 9, 15), Key());
  EXPECT_EQ(Pixel(12, 20, 15), Key());
  EXPECT_EQ(Pixel(12, 15, 20), Key());

  EXPECT_EQ(dd.FillSurfaceRect(1, 0, 0, 10, 10, 0), 0);
  EXPECT_EQ(dd.ClearSurface(1, 0), 0);
  EXPECT_EQ(dd.FillSurfaceRect(0, 0, 0, 10, 10, 0), 0);
  EXPECT_EQ(dd.FillSurfaceRect(12, 5, 5, 5, 50, 1), 1);  // empty: nothing to fill

  testsupport::TraceCapture trace;
  EXPECT_EQ(dd.FillSurfaceRect(12, 600, 0, 700, 10, 1), 0);
  EXPECT_TRUE(trace.Contains("outside its 640x480 surface"));
  EXPECT_EQ(Pixel(12, 639, 0), 0);

  ASSERT_EQ(dd.SetLayerView(5, 100, 50, 400, 300), 1);
  int x = -1, y = -1;
  dd.GetLayerScroll(5, &x, &y);
  ASSERT_EQ(x, 100);
  ASSERT_EQ(dd.FillSurfaceRect(5, 0, 0, 1, 1, 0), 1);
  dd.GetLayerScroll(5, &x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);
}

TEST_P(FillTest, ClearLayerCoversALargerLayerSurfaceAndCopiesRefuseTheSameId) {
  auto& dd = ddraw();
  ASSERT_EQ(dd.ResizeSurface(6, 0, 900, 700), 1);
  ASSERT_EQ(dd.ClearSurface(6, 0), 1);
  EXPECT_EQ(Pixel(6, 899, 699), 0);  // a new surface starts black; the clear covered 640 x 480
  ASSERT_EQ(dd.ClearLayer(6, 1), 1);
  EXPECT_EQ(Pixel(6, 899, 699), Key());
  ASSERT_EQ(dd.ClearLayer(12, 1), 1);
  EXPECT_EQ(Pixel(12, 639, 479), Key());

  EXPECT_EQ(dd.CopySurface(12, 12, 0), 0);
  EXPECT_EQ(dd.CopyLayer(5, 5, 0, 0), 0);
  Paint(12, {0, 0, 640, 480}, 0x0101);
  ASSERT_EQ(dd.CopySurface(12, 13, 0), 1);
  EXPECT_EQ(Pixel(13, 639, 479), 0x0101);
}

}  // namespace
