// The rotate / zoom draw of sprites (corners, mirroring, four-corner block, keyed and unkeyed
// pixels, lock failures) and the solid polygon draw (zoom, turns, perspective, distance 0).

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "display_test_support.h"
#include "engine/gfx/display/ddraw_transform.h"

namespace {

using display_test::DisplayTest;
using platform::Surface;

constexpr BltFx kMirrorX{100, kBltFxMirrorLeftRight};
constexpr BltFx kMirrorY{100, kBltFxMirrorUpDown};
constexpr BltFx kMirrorXY{100, kBltFxMirrorLeftRight | kBltFxMirrorUpDown};
constexpr int32_t kOne = 0x10000;

// ---- Corners ----

struct CornerCase {
  const char* name;
  Rect destination;
  int32_t rotation;
  std::vector<int32_t> block;  // empty: no four-corner block
  int32_t left, right, top, bottom;
  uint32_t flags;
  const BltFx* fx;
  QuadCorners want;
};

class TransformCornerTest : public ::testing::TestWithParam<CornerCase> {};

TEST_P(TransformCornerTest, TurnsScalesAndMirrorsAboutTheCentre) {
  const CornerCase& c = GetParam();
  const QuadCorners got =
      TransformCorners(c.destination, c.rotation, c.block.empty() ? nullptr : c.block.data(),
                       c.left, c.right, c.top, c.bottom, c.flags, c.fx);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(got[i].x, c.want[i].x) << "corner " << i;
    EXPECT_EQ(got[i].y, c.want[i].y) << "corner " << i;
  }
}

// A 4 x 3 picture centred at (100, 50): edges -2, 2, -1, 2. Turned corners were worked out with
// cos and sin of rotation / 256 and every product truncated toward zero.
const Rect kCentred{98, 49, 102, 52};
const std::vector<int32_t> kOnes{kOne, kOne, kOne, kOne};

INSTANTIATE_TEST_SUITE_P(
    Cases, TransformCornerTest,
    ::testing::Values(
        CornerCase{"Unturned", kCentred, 0, {}, -2, 2, -1, 2, 0, nullptr,
                   {{{98, 49}, {102, 49}, {102, 52}, {98, 52}}}},
        CornerCase{"CornerBlockOfOnesIsNoBlock", kCentred, 0, kOnes, -2, 2, -1, 2, 0, nullptr,
                   {{{98, 49}, {102, 49}, {102, 52}, {98, 52}}}},
        // Top edge at half width, bottom edge doubled, heights kept: a trapezoid.
        CornerCase{"CornerBlockScalesEachEdge", kCentred, 0, {kOne / 2, kOne, 2 * kOne, kOne},
                   -2, 2, -1, 2, 0, nullptr, {{{99, 49}, {101, 49}, {104, 52}, {96, 52}}}},
        // 1.5 x -1 = -1.5 truncates toward zero to -1 (not -2).
        CornerCase{"CornerBlockTruncatesTowardZero", Rect{99, 49, 101, 51}, 0,
                   {kOne * 3 / 2, kOne * 3 / 2, kOne * 3 / 2, kOne * 3 / 2}, -1, 1, -1, 1, 0,
                   nullptr, {{{99, 49}, {101, 49}, {101, 51}, {99, 51}}}},
        // About 45 degrees: a diamond around the centre.
        CornerCase{"EighthTurn", kCentred, 201, {}, -2, 2, -1, 2, 0, nullptr,
                   {{{100, 48}, {102, 50}, {100, 52}, {98, 50}}}},
        // About 180 degrees: the corners change places (truncation pulls them toward the centre).
        CornerCase{"HalfTurn", kCentred, 804, {}, -2, 2, -1, 2, 0, nullptr,
                   {{{102, 50}, {99, 51}, {98, 49}, {101, 48}}}},
        // About 90 degrees on a zoomed 2 x 3 picture turned about its top-left corner.
        CornerCase{"QuarterTurn", Rect{100, 100, 108, 112}, 402, {}, 0, 8, 0, 12, 0, nullptr,
                   {{{100, 100}, {100, 107}, {89, 108}, {89, 100}}}},
        CornerCase{"MirrorLeftRight", kCentred, 0, {}, -2, 2, -1, 2, kBltDdFx, &kMirrorX,
                   {{{102, 49}, {98, 49}, {98, 52}, {102, 52}}}},
        CornerCase{"MirrorUpDown", kCentred, 0, {}, -2, 2, -1, 2, kBltDdFx, &kMirrorY,
                   {{{98, 52}, {102, 52}, {102, 49}, {98, 49}}}},
        CornerCase{"MirrorBoth", kCentred, 0, {}, -2, 2, -1, 2, kBltDdFx, &kMirrorXY,
                   {{{102, 52}, {98, 52}, {98, 49}, {102, 49}}}},
        // The effects block counts only with the effects flag.
        CornerCase{"MirrorBitsWithoutTheFlag", kCentred, 0, {}, -2, 2, -1, 2, 0, &kMirrorXY,
                   {{{98, 49}, {102, 49}, {102, 52}, {98, 52}}}}),
    [](const auto& info) { return std::string(info.param.name); });

struct PolygonCase {
  const char* name;
  PolygonBlock block;
  QuadCorners want;
};

class PolygonCornerTest : public ::testing::TestWithParam<PolygonCase> {};

TEST_P(PolygonCornerTest, ZoomsTurnsAndProjects) {
  const PolygonCase& c = GetParam();
  const QuadCorners got = PolygonCorners(c.block);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(got[i].x, c.want[i].x) << "corner " << i;
    EXPECT_EQ(got[i].y, c.want[i].y) << "corner " << i;
  }
}

PolygonBlock Square(int32_t a1, int32_t a2, int32_t a3, int32_t zoom_x, int32_t zoom_y,
                    int32_t distance) {
  PolygonBlock b;
  b.x = 320;
  b.y = 240;
  b.corner[0] = {-10, -10};
  b.corner[1] = {10, -10};
  b.corner[2] = {10, 10};
  b.corner[3] = {-10, 10};
  b.angle1 = a1;
  b.angle2 = a2;
  b.angle3 = a3;
  b.zoom_x = zoom_x;
  b.zoom_y = zoom_y;
  b.distance = distance;
  return b;
}

// Angles: 268 / 256 rad (cos 0.5007, sin 0.8656); 201 / 256 rad (cos 0.70728, sin 0.70694).
INSTANTIATE_TEST_SUITE_P(
    Cases, PolygonCornerTest,
    ::testing::Values(
        PolygonCase{"Flat", Square(0, 0, 0, kOne, kOne, 100),
                    {{{310, 230}, {330, 230}, {330, 250}, {310, 250}}}},
        PolygonCase{"ZoomOnly", Square(0, 0, 0, 2 * kOne, kOne / 2, 100),
                    {{{300, 235}, {340, 235}, {340, 245}, {300, 245}}}},
        // (-10, -10) turned: x = trunc(-7.0728 + 7.0694) = 0, y = trunc(-7.0694 - 7.0728) = -14.
        PolygonCase{"InPlaneTurn", Square(0, 0, 201, kOne, kOne, 100),
                    {{{320, 226}, {334, 240}, {320, 254}, {306, 240}}}},
        // About the vertical axis: x foreshortened to 5, depth z = trunc(x sin) = -/+8, and
        // y x (z + 100) / 100 (truncated): -10 x 92 / 100 = -9, -10 x 108 / 100 = -10.
        PolygonCase{"VerticalAxisWithPerspective", Square(0, 268, 0, kOne, kOne, 100),
                    {{{315, 231}, {325, 230}, {325, 250}, {315, 249}}}},
        // About the horizontal axis: y foreshortened, x scaled by (z + 100) / 100.
        PolygonCase{"HorizontalAxisWithPerspective", Square(268, 0, 0, kOne, kOne, 100),
                    {{{311, 235}, {329, 235}, {330, 245}, {310, 245}}}},
        // A viewer distance of 0 gives no perspective: only the foreshortening remains.
        PolygonCase{"DistanceZeroDrawsFlat", Square(0, 268, 0, kOne, kOne, 0),
                    {{{315, 230}, {325, 230}, {325, 250}, {315, 250}}}},
        // Both out-of-plane turns without perspective: the second turn also sees the depth the
        // first one gave.
        PolygonCase{"DistanceZeroBothAxes", Square(268, 268, 0, kOne, kOne, 0),
                    {{{315, 241}, {325, 229}, {325, 239}, {315, 251}}}},
        // A distance that scales to 0 (1 x 0.5 truncates to 0) is the same as 0.
        PolygonCase{"DistanceScalingToZero", Square(0, 268, 0, kOne / 2, kOne / 2, 1),
                    {{{318, 235}, {322, 235}, {322, 245}, {318, 245}}}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Pixels ----

class TransformTest : public DisplayTest {
 protected:
  Surface* Src() { return ddraw().GetSurface(SURFACE_SCRATCH); }
  Surface* Dst() { return ddraw().GetSurface(SURFACE_SCRATCH2); }
  // A w x h picture at the top-left of the source with a distinct value per pixel; key pixels
  // where `keyed` says so.
  void PaintSprite(int w, int h, const std::vector<std::pair<int, int>>& keyed = {}) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) Src()->Row(y)[x] = Value(x, y);
    }
    for (auto [x, y] : keyed) Src()->Row(y)[x] = Key();
  }
  // A picture of w x h blocks of 4 x 4 pixels, block (c, r) holding Value(c, r); keyed blocks
  // hold the key.
  void PaintBlocks(int w, int h, const std::vector<std::pair<int, int>>& keyed) {
    for (int y = 0; y < 4 * h; ++y) {
      for (int x = 0; x < 4 * w; ++x) Src()->Row(y)[x] = Value(x / 4, y / 4);
    }
    for (auto [c, r] : keyed) Paint(Src(), {4 * c, 4 * r, 4 * c + 4, 4 * r + 4}, Key());
  }
  static uint16_t Value(int x, int y) { return static_cast<uint16_t>(0x1000 + y * 0x40 + x); }
};

// An unturned transform draw covers exactly the plain blit's rectangle, keeps every row in place
// (inclusive source corners) and leaves the destination under key texels. Across a row the
// inclusive corners spread w - 1 source steps over w pixels, so pixel i shows source column
// floor(i (w - 1) / w) (the first column twice, the last one not at all); with w = 1 that is the
// blit exactly.
TEST_P(TransformTest, RotationZeroCoversTheBlitRectangleWithRowsInPlace) {
  constexpr int kW = 5, kH = 4;
  PaintSprite(kW, kH, {{2, 1}, {0, 3}});
  const uint16_t under = Pack(0x336699);
  Paint(Dst(), {0, 0, 640, 480}, under);
  const Rect src{0, 0, kW, kH};
  const Rect dst{200, 100, 200 + kW, 100 + kH};
  ASSERT_EQ(ddraw().PutTransform(Src(), &src, Dst(), &dst, 1, 0, nullptr, 0, nullptr, 0, kW, 0,
                                 kH),
            1);
  for (int y = 90; y < 115; ++y) {
    for (int x = 190; x < 215; ++x) {
      const bool inside = x >= dst.left && x < dst.right && y >= dst.top && y < dst.bottom;
      uint16_t want = under;
      if (inside) {
        const int sx = (x - dst.left) * (kW - 1) / kW;
        const uint16_t texel = Pixel(Src(), sx, y - dst.top);
        want = texel == Key() ? under : texel;
      }
      ASSERT_EQ(Pixel(Dst(), x, y), want) << x << "," << y;
    }
  }

  // A one-pixel-wide column is the plain keyed blit.
  Paint(Dst(), {0, 0, 640, 480}, under);
  const Rect column{2, 0, 3, kH};
  const Rect at{300, 50, 301, 50 + kH};
  ASSERT_EQ(ddraw().PutTransform(Src(), &column, Dst(), &at, 1, 0, nullptr, 0, nullptr, 0, 1, 0,
                                 kH),
            1);
  auto by_transform = Snapshot(Dst());
  Paint(Dst(), {0, 0, 640, 480}, under);
  ASSERT_EQ(ddraw().BltPtr(Src(), column, Dst(), at, 1), 1);
  EXPECT_EQ(by_transform, Snapshot(Dst()));
}

// A 2 x 3 sprite whose pixels are 4 x 4 blocks (an 8 x 12 picture), turned a quarter
// (clockwise on the screen, y pointing down) about its top-left corner: sprite point (u, v)
// lands at (-v, u), so the sprite's rows run right to left and its columns top to bottom. Each
// block is checked at its middle, clear of the edges where truncation moves the boundaries.
TEST_P(TransformTest, QuarterTurnOfATwoByThreeSprite) {
  PaintBlocks(2, 3, {});
  Paint(Dst(), {0, 0, 640, 480}, 0);
  const Rect src{0, 0, 8, 12};
  const Rect dst{100, 100, 108, 112};  // edges 0, 8, 0, 12 from the turning point
  ASSERT_EQ(ddraw().PutTransform(Src(), &src, Dst(), &dst, 0, 0, nullptr, 402, nullptr, 0, 8, 0,
                                 12),
            1);
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 2; ++col) {
      EXPECT_EQ(Pixel(Dst(), 100 - 4 * row - 2, 100 + 4 * col + 2), Value(col, row))
          << "sprite block " << col << "," << row;
    }
  }
  // Nothing right of the turning point or above it.
  for (int y = 90; y < 115; ++y) EXPECT_EQ(Pixel(Dst(), 101, y), 0) << y;
  for (int x = 85; x < 105; ++x) EXPECT_EQ(Pixel(Dst(), x, 98), 0) << x;
}

TEST_P(TransformTest, CornerBlockOfOnesDrawsAsNoBlockAndMirroringFlipsThePicture) {
  PaintBlocks(4, 4, {{1, 1}});
  const Rect src{0, 0, 16, 16};
  const Rect dst{50, 60, 66, 76};  // about the centre: edges -8, 8, -8, 8
  const int32_t ones[4] = {kOne, kOne, kOne, kOne};
  Paint(Dst(), {0, 0, 640, 480}, 0);
  ASSERT_EQ(ddraw().PutTransform(Src(), &src, Dst(), &dst, 1, 0, nullptr, 0, nullptr, -8, 8, -8, 8),
            1);
  const auto plain = Snapshot(Dst());
  Paint(Dst(), {0, 0, 640, 480}, 0);
  ASSERT_EQ(ddraw().PutTransform(Src(), &src, Dst(), &dst, 1, 0, nullptr, 0, ones, -8, 8, -8, 8), 1);
  EXPECT_EQ(Snapshot(Dst()), plain);

  // Block (c, r) shows sprite block (c, r); mirrored left-right (3 - c, r); up-down (c, 3 - r).
  struct Mirror {
    uint32_t flags;
    const BltFx* fx;
    bool x, y;
  };
  for (Mirror m : {Mirror{0, nullptr, false, false}, Mirror{kBltDdFx, &kMirrorX, true, false},
                   Mirror{kBltDdFx, &kMirrorY, false, true},
                   Mirror{kBltDdFx, &kMirrorXY, true, true}}) {
    Paint(Dst(), {0, 0, 640, 480}, 0);
    ASSERT_EQ(ddraw().PutTransform(Src(), &src, Dst(), &dst, 1, m.flags, m.fx, 0, nullptr, -8, 8,
                                   -8, 8),
              1);
    for (int r = 0; r < 4; ++r) {
      for (int c = 0; c < 4; ++c) {
        const int sc = m.x ? 3 - c : c, sr = m.y ? 3 - r : r;
        const uint16_t want = sc == 1 && sr == 1 ? 0 : Value(sc, sr);  // block (1, 1) is keyed
        EXPECT_EQ(Pixel(Dst(), 50 + 4 * c + 2, 60 + 4 * r + 2), want)
            << "block " << c << "," << r << " mirror " << m.x << m.y;
      }
    }
  }
}

TEST_P(TransformTest, UnkeyedDrawWritesKeyTexels) {
  PaintSprite(1, 2, {{0, 1}});
  Paint(Dst(), {0, 0, 640, 480}, 0);
  const Rect src{0, 0, 1, 2};
  const Rect dst{10, 10, 11, 12};
  ASSERT_EQ(ddraw().PutTransform(Src(), &src, Dst(), &dst, 0, 0, nullptr, 0, nullptr, 0, 1, 0, 2),
            1);
  EXPECT_EQ(Pixel(Dst(), 10, 10), Value(0, 0));
  EXPECT_EQ(Pixel(Dst(), 10, 11), Key());
}

TEST_P(TransformTest, LockFailuresReportZeroAndDrawNothing) {
  PaintSprite(4, 4);
  Paint(Dst(), {0, 0, 640, 480}, 0);
  const Rect src{0, 0, 4, 4};
  const Rect dst{10, 10, 14, 14};
  PolygonBlock poly = Square(0, 0, 0, kOne, kOne, 100);
  for (Surface* lost : {Src(), Dst()}) {
    lost->SetLost(true);
    EXPECT_EQ(ddraw().PutTransform(Src(), &src, Dst(), &dst, 1, 0, nullptr, 10, nullptr, 0, 4, 0, 4),
              0);
    if (lost == Dst()) {
      EXPECT_EQ(ddraw().DrawPolygon(Dst(), &poly), 0);
    }
    lost->SetLost(false);
    EXPECT_FALSE(Src()->locked());
    EXPECT_FALSE(Dst()->locked());
  }
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) ASSERT_EQ(Pixel(Dst(), x, y), 0) << x << "," << y;
  }
  EXPECT_EQ(ddraw().PutTransform(nullptr, &src, Dst(), &dst, 1, 0, nullptr, 0, nullptr, 0, 4, 0, 4),
            0);
  EXPECT_EQ(ddraw().DrawPolygon(Dst(), nullptr), 0);
}

// Corners far outside the surface, or a source rectangle reaching past its picture, draw what
// falls on the surface and never write or read outside it (AddressSanitizer watches).
TEST_P(TransformTest, ExtremeCornersAndRectanglesStayInsideTheSurfaces) {
  PaintSprite(4, 4);
  const Rect src{-100, -100, 5000, 5000};
  const Rect dst{-1000, -1000, 100000, 100000};
  EXPECT_EQ(ddraw().PutTransform(Src(), &src, Dst(), &dst, 1, 0, nullptr, 77, nullptr, INT_MIN,
                                 INT_MAX, INT_MIN, INT_MAX),
            1);
  const int32_t huge[4] = {INT_MAX, INT_MAX, INT_MAX, INT_MAX};
  EXPECT_EQ(ddraw().PutTransform(Src(), &src, Dst(), &dst, 1, 0, nullptr, 0, huge, -5000, 5000,
                                 -5000, 5000),
            1);
  PolygonBlock poly = Square(300, 300, 300, INT_MAX, INT_MAX, INT_MAX);
  EXPECT_EQ(ddraw().DrawPolygon(Dst(), &poly), 1);
  poly.distance = INT_MIN;
  EXPECT_EQ(ddraw().DrawPolygon(Dst(), &poly), 1);

  // A destination smaller than the screen is filled only within itself.
  UserSurface small = ddraw().CreateUserSurface(8, 8);
  ASSERT_GE(small, 0);
  PolygonBlock cover = Square(0, 0, 0, 100 * kOne, 100 * kOne, 100);
  EXPECT_EQ(ddraw().DrawPolygon(ddraw().GetUserSurface(small), &cover), 1);
  EXPECT_EQ(Pixel(ddraw().GetUserSurface(small), 7, 7), 0u);  // square centred at (320, 240)
  cover.x = cover.y = 4;
  cover.color = 0x1234;
  EXPECT_EQ(ddraw().DrawPolygon(ddraw().GetUserSurface(small), &cover), 1);
  EXPECT_EQ(Pixel(ddraw().GetUserSurface(small), 7, 7), 0x1234u);
  ddraw().DeleteUserSurface(small);
}

TEST_P(TransformTest, PolygonFillsItsZoomedAndTurnedCorners) {
  Paint(Dst(), {0, 0, 640, 480}, 0);
  PolygonBlock poly = Square(0, 0, 0, 2 * kOne, kOne, 100);  // 40 x 20 around (320, 240)
  poly.color = Pack(0x00FF00);
  ASSERT_EQ(ddraw().DrawPolygon(Dst(), &poly), 1);
  int count = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      if (Pixel(Dst(), x, y) == poly.color) {
        ++count;
        EXPECT_TRUE(x >= 300 && x < 340 && y >= 230 && y < 250) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(count, 40 * 20);

  // Turned by about 45 degrees: a diamond; its centre is filled, the square's corners are not.
  Paint(Dst(), {0, 0, 640, 480}, 0);
  poly = Square(0, 0, 201, kOne, kOne, 100);
  poly.color = 0x1111;
  ASSERT_EQ(ddraw().DrawPolygon(Dst(), &poly), 1);
  EXPECT_EQ(Pixel(Dst(), 320, 240), 0x1111u);
  EXPECT_EQ(Pixel(Dst(), 320, 228), 0x1111u);
  EXPECT_EQ(Pixel(Dst(), 311, 231), 0u);
  EXPECT_EQ(Pixel(Dst(), 328, 248), 0u);

  // Out of the plane with a viewer distance of 0: drawn flat, foreshortened.
  Paint(Dst(), {0, 0, 640, 480}, 0);
  poly = Square(0, 268, 0, kOne, kOne, 0);  // corners (315, 230) .. (325, 250)
  poly.color = 0x2222;
  ASSERT_EQ(ddraw().DrawPolygon(Dst(), &poly), 1);
  EXPECT_EQ(Pixel(Dst(), 315, 230), 0x2222u);
  EXPECT_EQ(Pixel(Dst(), 324, 249), 0x2222u);
  EXPECT_EQ(Pixel(Dst(), 314, 240), 0u);
  EXPECT_EQ(Pixel(Dst(), 325, 240), 0u);
}

INSTANTIATE_FOR_BOTH_LAYOUTS(TransformTest);

}  // namespace
