#include "engine/gfx/pixels/quad_raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tests/engine/gfx/picture16.h"

namespace {

using testpix::Picture;

constexpr uint16_t kBack = 0xEEEE;  // destination background
constexpr uint16_t kKey = 0x07FF;

// A picture whose every pixel is distinct: 0x100 * y + x + 1.
Picture Numbered(int w, int h) {
  Picture p(w, h, 0);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) p.at(x, y) = static_cast<uint16_t>(0x100 * y + x + 1);
  }
  return p;
}

// The four corners of an axis-aligned destination rectangle with texture corners (s0, t0) and
// (s1, t1), clockwise from the top left.
Quad Rect(int x0, int y0, int x1, int y1, int s0, int t0, int s1, int t1) {
  return Quad{{{x0, y0, s0, t0}, {x1, y0, s1, t0}, {x1, y1, s1, t1}, {x0, y1, s0, t1}}};
}

void Draw(Picture& dst, const Quad& q, const Picture& src) {
  BlitTransform16B(dst.data(), dst.pitch(), dst.width, dst.height, q, src.data(), src.pitch(),
                   src.width, src.height);
}

int CountNot(const Picture& p, uint16_t value) {
  int n = 0;
  for (int y = 0; y < p.height; ++y) {
    for (int x = 0; x < p.width; ++x) n += p.at(x, y) != value;
  }
  return n;
}

bool PaddingUntouched(const Picture& p) {
  for (int y = 0; y < p.height; ++y) {
    for (int i = 0; i < Picture::kPad; ++i) {
      if (p.pad(i, y) != kBack) return false;
    }
  }
  return true;
}

// Texture corners spanning a w x h source rectangle exactly on a w x h destination rectangle:
// every column in place (the horizontal step is exactly 1.0); each row shows the source row
// below it, as every row is drawn with the positions of the next one. Inside a larger picture
// that is the row below the rectangle; at the picture's bottom the last row is clamped to it.
TEST(QuadRaster, AxisAlignedQuadKeepsColumnsInPlace) {
  struct Case {
    int pic_w, pic_h, sx, sy;
  };
  for (const Case c : {Case{8, 6, 0, 0}, Case{12, 10, 2, 3}}) {
    const Picture src = Numbered(c.pic_w, c.pic_h);
    Picture dst(20, 15, kBack);
    const int w = 8, h = 6, x = 5, y = 4;
    Draw(dst, Rect(x, y, x + w, y + h, c.sx, c.sy, c.sx + w, c.sy + h), src);
    for (int dy = 0; dy < dst.height; ++dy) {
      for (int dx = 0; dx < dst.width; ++dx) {
        const bool inside = dx >= x && dx < x + w && dy >= y && dy < y + h;
        const int row = std::min(c.sy + dy - y + 1, c.pic_h - 1);
        const uint16_t expected = inside ? src.at(c.sx + dx - x, row) : kBack;
        ASSERT_EQ(dst.at(dx, dy), expected) << "picture " << c.pic_w << " at " << dx << "," << dy;
      }
    }
    EXPECT_TRUE(PaddingUntouched(dst));
  }
}

// A turned, zoomed quad with a single topmost vertex: the winding does not change the picture.
TEST(QuadRaster, ReversedWindingGivesTheSameImage) {
  const Picture src = Numbered(16, 12);
  const QuadVertex v[4] = {{30, 2, 0, 0}, {55, 20, 15, 0}, {28, 44, 15, 11}, {6, 22, 0, 11}};
  Picture forward(64, 48, kBack), reversed(64, 48, kBack), solid_f(64, 48, kBack),
      solid_r(64, 48, kBack);
  for (int start = 0; start < 4; ++start) {
    const Quad cw{{v[start], v[(start + 1) % 4], v[(start + 2) % 4], v[(start + 3) % 4]}};
    const Quad ccw{{v[start], v[(start + 3) % 4], v[(start + 2) % 4], v[(start + 1) % 4]}};
    Draw(forward, cw, src);
    Draw(reversed, ccw, src);
    BlitPolygon16Work(solid_f.data(), solid_f.pitch(), 64, 48, cw, 0x1234);
    BlitPolygon16Work(solid_r.data(), solid_r.pitch(), 64, 48, ccw, 0x1234);
    EXPECT_EQ(forward.pixels, reversed.pixels) << "starting at vertex " << start;
    EXPECT_EQ(solid_f.pixels, solid_r.pixels) << "starting at vertex " << start;
  }
  EXPECT_GT(CountNot(forward, kBack), 800);
  EXPECT_EQ(CountNot(forward, kBack), CountNot(solid_f, kBack));
}

// A quad hanging over the left and top edges is clipped there with its texture positions
// advanced by the cut.
TEST(QuadRaster, QuadOverTheLeftAndTopEdgesAdvancesItsTexture) {
  const Picture src = Numbered(8, 7);
  Picture dst(10, 8, kBack);
  Draw(dst, Rect(-3, -2, 5, 4, 0, 0, 8, 6), src);
  for (int y = 0; y < dst.height; ++y) {
    for (int x = 0; x < dst.width; ++x) {
      const uint16_t expected = x < 5 && y < 4 ? src.at(x + 3, y + 2 + 1) : kBack;
      ASSERT_EQ(dst.at(x, y), expected) << x << "," << y;
    }
  }
}

TEST(QuadRaster, DegenerateAndOutsideQuadsDrawNothing) {
  const Picture src = Numbered(8, 8);
  const Quad quads[] = {
      Quad{{{0, 5, 0, 0}, {30, 5, 7, 0}, {20, 5, 7, 7}, {3, 5, 0, 7}}},  // all on one row
      Quad{{{6, 0, 0, 0}, {6, 9, 7, 0}, {6, 20, 7, 7}, {6, 3, 0, 7}}},   // all on one column
      Rect(32, 0, 40, 8, 0, 0, 8, 8),                                    // right of the area
      Rect(-8, 0, 0, 8, 0, 0, 8, 8),                                     // left: ends at x = 0
      Rect(0, 24, 8, 30, 0, 0, 8, 8),                                    // below
      Rect(0, -9, 8, -1, 0, 0, 8, 8),                                    // above
  };
  for (const Quad& q : quads) {
    Picture dst(32, 24, kBack);
    Draw(dst, q, src);
    BlitTransform16(dst.data(), dst.pitch(), 32, 24, q, src.data(), src.pitch(), 8, 8, kKey);
    BlitPolygon16Work(dst.data(), dst.pitch(), 32, 24, q, 0x1234);
    EXPECT_EQ(CountNot(dst, kBack), 0);
  }
  // A destination or a source of no size.
  Picture dst(32, 24, kBack);
  const Quad q = Rect(0, 0, 8, 8, 0, 0, 8, 8);
  BlitTransform16B(dst.data(), dst.pitch(), 0, 24, q, src.data(), src.pitch(), 8, 8);
  BlitTransform16B(dst.data(), dst.pitch(), 32, -1, q, src.data(), src.pitch(), 8, 8);
  BlitTransform16B(dst.data(), dst.pitch(), 32, 24, q, src.data(), src.pitch(), 0, 8);
  BlitPolygon16(dst.data(), dst.pitch(), 0, 0, 0, 0, 8, 0, 8, 8, 0, 8, 0x1234);
  EXPECT_EQ(CountNot(dst, kBack), 0);
}

TEST(QuadRaster, KeyTexelsLeaveTheDestination) {
  Picture src = Numbered(8, 8);
  src.at(2, 3) = kKey;
  src.at(6, 5) = kKey;
  const Quad q = Rect(0, 0, 8, 8, 0, -1, 8, 7);  // shows source row y on destination row y
  Picture keyed(8, 8, kBack), plain(8, 8, kBack);
  BlitTransform16(keyed.data(), keyed.pitch(), 8, 8, q, src.data(), src.pitch(), 8, 8, kKey);
  Draw(plain, q, src);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(plain.at(x, y), src.at(x, y)) << "unkeyed: every texel written, the key too";
      EXPECT_EQ(keyed.at(x, y), src.at(x, y) == kKey ? kBack : src.at(x, y)) << x << "," << y;
    }
  }
}

TEST(QuadRaster, PolygonFillsItsRectangle) {
  Picture dst(16, 12, kBack);
  BlitPolygon16(dst.data(), dst.pitch(), 16, 12, 2, 3, 7, 3, 7, 9, 2, 9, 0x1234);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 16; ++x) {
      const bool inside = x >= 2 && x < 7 && y >= 3 && y < 9;
      ASSERT_EQ(dst.at(x, y), inside ? 0x1234 : kBack) << x << "," << y;
    }
  }
}

// A sprite's own small surface as destination: quads larger than it, over every edge, turned
// and zoomed, stay inside it (the padding and, under AddressSanitizer, the allocation's end).
TEST(QuadRaster, SmallDestinationIsNeverWrittenOutside) {
  const Picture src = Numbered(16, 16);
  const Quad quads[] = {
      Rect(-20, -20, 40, 40, 0, 0, 16, 16),
      Rect(10, 8, 300, 200, 0, 0, 16, 16),
      Quad{{{8, -30, 0, 0}, {60, 6, 15, 0}, {8, 42, 15, 15}, {-44, 6, 0, 15}}},
      Quad{{{700, 10, 0, 0}, {710, 500, 15, 0}, {5, 11, 15, 15}, {-3, 0, 0, 15}}},
  };
  for (const Quad& q : quads) {
    Picture dst(16, 12, kBack);
    Draw(dst, q, src);
    BlitTransform16(dst.data(), dst.pitch(), 16, 12, q, src.data(), src.pitch(), 16, 16, kKey);
    BlitPolygon16Work(dst.data(), dst.pitch(), 16, 12, q, 0x1234);
    EXPECT_TRUE(PaddingUntouched(dst));
    EXPECT_GT(CountNot(dst, kBack), 0);
  }
}

// Texture corners beyond the picture sample its edge pixels, never memory around it.
TEST(QuadRaster, TexturePositionsAreClampedToThePicture) {
  const Picture src = Numbered(8, 4);
  Picture dst(26, 8, kBack);
  Draw(dst, Rect(0, 0, 26, 8, -5, -3, 21, 5), src);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 26; ++x) {
      ASSERT_EQ(dst.at(x, y), src.at(std::clamp(x - 5, 0, 7), std::clamp(y - 3 + 1, 0, 3)))
          << x << "," << y;
    }
  }
}

// Corners far outside the area and giant zooms: 16.16 positions of such corners do not fit in
// 32 bits; the quad still covers the whole destination (and, under the undefined-behaviour
// sanitizer, no arithmetic overflows).
TEST(QuadRaster, LargeCoordinatesDoNotOverflow) {
  for (int32_t r : {40000, 1000000, 1 << 30, INT32_MAX}) {
    Picture dst(16, 12, kBack);
    BlitPolygon16(dst.data(), dst.pitch(), 16, 12, -r, -r, r, -r, r, r, -r, r, 0x1234);
    EXPECT_EQ(CountNot(dst, 0x1234), 0) << r;
    EXPECT_TRUE(PaddingUntouched(dst));
  }
  // A 4 x 4 texture zoomed 100000 times: the visible corner is all texel (0, 0).
  const Picture src = Numbered(4, 4);
  Picture dst(16, 12, kBack);
  Draw(dst, Rect(0, 0, 400000, 400000, 0, 0, 4, 4), src);
  EXPECT_EQ(CountNot(dst, src.at(0, 0)), 0);
  // Turned 45 degrees around a far centre, through the whole area.
  Picture turned(16, 12, kBack);
  const int32_t big = 1 << 29;
  Draw(turned, Quad{{{8, -big, 0, 0}, {big, 6, 3, 0}, {8, big, 3, 3}, {-big, 6, 0, 3}}}, src);
  EXPECT_EQ(CountNot(turned, kBack), 16 * 12);
}

// ---- The rasterizer against a literal reading of its rules -----------------------------------

// The 32-bit rules on a 640 x 480 destination, written row by row: row y uses, on each chain,
// the edge (a, b) with a.y <= y < b.y, at its position for row y + 1 (x = a.x << 16 +
// dx * (y + 1 - a.y)), then the span rule. For quads whose arithmetic fits in 32 bits and whose
// texture positions stay inside the picture, the rasterizer must give exactly this.
void LiteralRaster(std::vector<uint16_t>& dst, const Quad& q, const Picture& src, bool keyed) {
  int top = 0;
  for (;;) {
    const int p = (top + 3) % 4, n = (top + 1) % 4;
    const int lower = q[p].y < q[n].y ? p : n;
    if (q[lower].y >= q[top].y) break;
    top = lower;
  }
  auto slope = [&](int n) { return ((q[n].x - q[top].x) << 16) / (q[n].y - q[top].y + 1); };
  const int lstep = slope((top + 1) % 4) < slope((top + 3) % 4) ? 1 : 3;
  int min_x = q[0].x, max_x = q[0].x, max_y = q[0].y;
  for (const auto& v : q) {
    min_x = std::min(min_x, v.x);
    max_x = std::max(max_x, v.x);
    max_y = std::max(max_y, v.y);
  }
  if (q[top].y >= 480 || max_y < 0 || max_y == q[top].y || min_x >= 640 || max_x < 0 ||
      min_x == max_x) {
    return;
  }
  struct At {
    int x, s, t;
  };
  // The chain position for row y, or false when no edge of the chain covers it.
  auto chain = [&](int step, int y, At& at) {
    for (int a = top, k = 0; k < 3; ++k, a = (a + step) % 4) {
      const QuadVertex &va = q[a], &vb = q[(a + step) % 4];
      if (va.y <= y && y < vb.y) {
        const int h = vb.y - va.y, rows = y + 1 - va.y;
        at.x = (va.x << 16) + ((vb.x - va.x) << 16) / h * rows;
        at.s = (va.s << 16) + ((vb.s - va.s) << 16) / h * rows;
        at.t = (va.t << 16) + ((vb.t - va.t) << 16) / h * rows;
        return true;
      }
    }
    return false;
  };
  for (int y = std::max(q[top].y, 0); y < std::min(max_y, 480); ++y) {
    At l{}, r{};
    if (!chain(lstep, y, l) || !chain(4 - lstep, y, r)) continue;
    int left = l.x >> 16;
    const int right = r.x >> 16;
    if (right - left <= 0) continue;
    const int ds = (r.s - l.s) / (right - left), dt = (r.t - l.t) / (right - left);
    int s = l.s, t = l.t;
    if (left < 0) {
      s += ds * -left;
      t += dt * -left;
      left = 0;
    }
    for (int x = left; x < std::min(right, 640); ++x, s += ds, t += dt) {
      const uint16_t texel = src.at(s >> 16, t >> 16);
      if (!keyed || texel != kKey) dst[y * 640 + x] = texel;
    }
  }
}

// Pixels of a 640 x 480 draw of the quad that differ from the literal rules' (and in `changed`
// the pixels the rules draw).
int DifferencesFromTheLiteralRules(const Quad& q, const Picture& src, bool keyed, int* changed) {
  std::vector<uint16_t> expected(640 * 480, kBack);
  LiteralRaster(expected, q, src, keyed);
  Picture dst(640, 480, kBack);
  if (keyed) {
    BlitTransform16(dst.data(), dst.pitch(), 640, 480, q, src.data(), src.pitch(), src.width,
                    src.height, kKey);
  } else {
    Draw(dst, q, src);
  }
  int differ = 0;
  *changed = 0;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      differ += dst.at(x, y) != expected[y * 640 + x];
      *changed += expected[y * 640 + x] != kBack;
    }
  }
  return differ;
}

// Random convex quads (corners at sorted angles around an ellipse, turned, partly off screen,
// both windings) with the sprite draw's texture corners, keyed and unkeyed.
TEST(QuadRaster, MatchesTheLiteralRulesOnTheFullScreen) {
  Picture src = Numbered(64, 48);
  for (int i = 0; i < 48 * 64; i += 7) src.pixels[i] = kKey;
  uint32_t seed = 12345;
  auto next = [&](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  int drawn = 0;
  for (int round = 0; round < 200; ++round) {
    const double cx = next(1000) - 180, cy = next(800) - 160;
    const double rx = 5 + next(400), ry = 5 + next(300), turn = next(628) / 100.0;
    double angles[4];
    for (double& a : angles) a = next(6283) / 1000.0;
    std::sort(angles, angles + 4);
    const int tw = 1 + next(63), th = 1 + next(46);
    const int corners[4][2] = {{0, 0}, {tw - 1, 0}, {tw - 1, th - 1}, {0, th - 1}};
    Quad q;
    for (int k = 0; k < 4; ++k) {
      const double u = rx * std::cos(angles[k]), v = ry * std::sin(angles[k]);
      q[k] = {static_cast<int32_t>(cx + u * std::cos(turn) - v * std::sin(turn)),
              static_cast<int32_t>(cy + u * std::sin(turn) + v * std::cos(turn)), corners[k][0],
              corners[k][1]};
    }
    if (next(2) == 1) std::swap(q[1], q[3]);
    const bool keyed = next(2) == 1;
    int changed = 0;
    ASSERT_EQ(DifferencesFromTheLiteralRules(q, src, keyed, &changed), 0) << "round " << round;
    drawn += changed > 0;
  }
  EXPECT_GT(drawn, 100);
}

// Quads whose spans test the per-row texture steps at their limits, against the literal rules:
// nearly flat ones (one or two rows, up to 5000 pixels wide, so the unclipped span is wider than
// the screen), needles one or two pixels wide, a texture of 2048 columns squeezed into a few
// pixels (steps near 2^27), corners at odd positions far off screen, and quads without height or
// width; both windings, keyed and unkeyed.
TEST(QuadRaster, SpanStepsAtTheirLimitsMatchTheLiteralRules) {
  Picture src(2048, 40, 0);
  for (int y = 0; y < src.height; ++y) {
    for (int x = 0; x < src.width; ++x) {
      src.at(x, y) = static_cast<uint16_t>((x * 40503 + y * 977 + 1) & 0xFFFF);
    }
  }
  for (int i = 0; i < src.width * src.height; i += 5) src.pixels[static_cast<size_t>(i)] = kKey;
  uint32_t seed = 2026;
  auto next = [&](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 8) % static_cast<uint32_t>(n));
  };
  struct Shape {
    const char* name;
    int max_width, max_height;  // the quad's extent: 0 .. max - 1 pixels
    int texture_width, texture_height;
  };
  const Shape shapes[] = {
      {"nearly flat and wide", 5000, 3, 2048, 40}, {"needle", 3, 700, 64, 40},
      {"squeezed texture", 12, 12, 2048, 40},      {"one pixel texture", 900, 500, 1, 1},
      {"any", 1400, 1100, 300, 40},
  };
  for (const Shape& shape : shapes) {
    int drawn = 0;
    for (int round = 0; round < 60; ++round) {
      const int w = next(shape.max_width), h = next(shape.max_height);
      const int x0 = next(640 + 2 * w + 41) - w - 21, y0 = next(480 + 2 * h + 41) - h - 21;
      const int tw = shape.texture_width, th = shape.texture_height;
      // A parallelogram (convex, as the sprite draw's quads are) leaning and dropping by up to
      // its own extent: its edges cross the rows at uneven fractions of a pixel.
      const int lean = next(2 * w + 1) - w, drop = next(2 * h + 1) - h;
      Quad q{{{x0, y0, 0, 0},
              {x0 + w, y0 + drop / 3, tw - 1, 0},
              {x0 + w + lean / 5, y0 + h + drop / 3, tw - 1, th - 1},
              {x0 + lean / 5, y0 + h, 0, th - 1}}};
      if (next(2) == 1) std::swap(q[1], q[3]);
      const bool keyed = next(2) == 1;
      int changed = 0;
      ASSERT_EQ(DifferencesFromTheLiteralRules(q, src, keyed, &changed), 0)
          << shape.name << ", round " << round;
      drawn += changed > 0;
    }
    EXPECT_GT(drawn, 5) << shape.name;
  }
}

// The span step against a division: every width to 4100 with numerators around its multiples
// and at the ends of the 32-bit range, and wider spans and longer distances.
TEST(QuadRaster, SpanStepIsTheTruncatedQuotient) {
  int wrong = 0;
  const auto check = [&](int64_t n, int64_t width) {
    if (SpanStep(n, width) != n / width && wrong++ < 5) {
      ADD_FAILURE() << n << " / " << width << ": got " << SpanStep(n, width);
    }
  };
  for (int64_t width = 1; width <= 4100; ++width) {
    for (const int64_t k : {int64_t{0}, int64_t{1}, int64_t{7}, int64_t{65536},
                            (int64_t{1} << 32) / width - 1, (int64_t{1} << 32) / width}) {
      for (const int64_t d : {-1, 0, 1}) {
        check(k * width + d, width);
        check(-(k * width + d), width);
      }
    }
    for (const int64_t n : {int64_t{INT32_MAX}, int64_t{INT32_MIN}, int64_t{UINT32_MAX},
                            -int64_t{UINT32_MAX}, int64_t{1} << 32, -(int64_t{1} << 32)}) {
      check(n, width);
    }
  }
  for (const int64_t width : {int64_t{5000}, int64_t{1} << 20, int64_t{INT32_MAX},
                              int64_t{1} << 40}) {
    for (const int64_t n : {int64_t{0}, int64_t{4999}, int64_t{-5001}, int64_t{INT32_MIN},
                            int64_t{1} << 45, -(int64_t{3} << 50)}) {
      check(n, width);
    }
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
