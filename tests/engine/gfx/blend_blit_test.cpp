#include "engine/gfx/pixels/blend_blit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <climits>
#include <tuple>
#include <utility>
#include <vector>

#include "tests/engine/gfx/picture16.h"

namespace {

using testpix::Picture;

// ---- The reference: each blend mode written per channel, in field units ----------------------

struct Layout {
  const char* name;
  int red_shift, green_shift;
  int red_max, green_max, blue_max;
  uint16_t key;  // the packed transparent colour (COLORREF 0xFFFF00)
};
constexpr Layout k565{"RGB565", 11, 5, 31, 63, 31, 0x07FF};
constexpr Layout k555{"RGB555", 10, 5, 31, 31, 31, 0x03FF};

struct Rgb {
  int r, g, b;
};
Rgb Split(const Layout& l, uint16_t p) {
  return {(p >> l.red_shift) & l.red_max, (p >> l.green_shift) & l.green_max, p & l.blue_max};
}
uint16_t Pack(const Layout& l, Rgb c) {
  return static_cast<uint16_t>(c.r << l.red_shift | c.g << l.green_shift | c.b);
}

// The value the destination pixel at (col, row) of an area `height` rows high ends with.
uint16_t Reference(const Layout& l, bool honour_key, int mode, int level, uint16_t s, uint16_t d,
                   uint16_t key, uint16_t tint, int col, int row, int height) {
  const int a = std::min(level, 256);
  if (mode > 9) return d;
  if (s == key && honour_key) return d;
  if (s == key && mode == 0) return s;
  const Rgb cs = Split(l, s), cd = Split(l, d), ct = Split(l, tint);
  const Rgb max{l.red_max, l.green_max, l.blue_max};
  auto each = [&](auto f) { return Pack(l, {f(cs.r, cd.r, ct.r, max.r), f(cs.g, cd.g, ct.g, max.g),
                                            f(cs.b, cd.b, ct.b, max.b)}); };
  switch (mode) {
    case 0:
      if (d == s) return d;
      return each([&](int s, int d, int, int) { return s * a / 256 + d * (256 - a) / 256; });
    case 1:
      return each([&](int s, int d, int, int m) { return std::min(d + s * a / 256, m); });
    case 2:
      return each([&](int s, int, int, int) { return s * a / 256; });
    case 3:
      return each([&](int s, int, int, int m) { return std::min(s + m * a / 256, m); });
    case 4:
    case 5:
    case 6: {
      Rgb out = cs;
      int* channel = mode == 4 ? &out.r : mode == 5 ? &out.g : &out.b;
      const int m = mode == 4 ? max.r : mode == 5 ? max.g : max.b;
      *channel = std::min(*channel + m * a / 256, m);
      return Pack(l, out);
    }
    case 7:
      return each([&](int s, int, int c, int) { return s * a / 256 + c * (256 - a) / 256; });
    case 8:
      if (a == 128) return d;
      return each([&](int, int d, int, int) { return d / 2; });
    case 9:
      return (col + row + height) % 2 == 0 ? s : d;
  }
  return d;
}

using BlendFn = void (*)(void*, int32_t, int32_t, int32_t, int32_t, int32_t, const void*, int32_t,
                         int32_t, int32_t, int32_t, uint32_t, uint32_t, uint16_t, uint16_t);
struct Member {
  const char* name;
  BlendFn fn;
  const Layout* layout;
  bool honours_key;
};
const Member kMembers[] = {
    {"BlitBlend16", BlitBlend16, &k565, true},
    {"BlitBlend16Alt", BlitBlend16Alt, &k565, false},
    {"BlitBlend16For555", BlitBlend16For555, &k555, true},
    {"BlitBlend16AltFor555", BlitBlend16AltFor555, &k555, false},
};

// Source and destination rows: the key, white, black, a mid colour, pure channels and a few odd
// values (in RGB555 also bit 15 set), in an order that puts every kind in both the eight-pixel body and the tail of a row.
std::vector<uint16_t> SourceRow(const Layout& l) {
  const uint16_t white = Pack(l, {l.red_max, l.green_max, l.blue_max});
  const uint16_t mid = Pack(l, {l.red_max / 2, l.green_max / 2 + 1, l.blue_max / 3});
  return {l.key, white, 0x0000, mid, Pack(l, {l.red_max, 0, 0}), Pack(l, {0, l.green_max, 0}),
          // In RGB555 a pixel with the unused bit 15 set: the arithmetic drops it.
          static_cast<uint16_t>(l.green_max == 31 ? 0x9234 : 0x1234),
          l.key, mid, white, Pack(l, {3, 5, 7}), 0x0000, Pack(l, {0, 0, l.blue_max})};
}
std::vector<uint16_t> DestRow(const Layout& l) {
  const uint16_t white = Pack(l, {l.red_max, l.green_max, l.blue_max});
  const uint16_t mid = Pack(l, {l.red_max / 3, l.green_max / 2, l.blue_max / 2 + 1});
  // Column 8 equals the source's mid colour (mode 0 leaves equal pixels alone).
  return {mid, white, white, 0x0000, Pack(l, {0, 0, l.blue_max}), mid, white, 0x0000,
          Pack(l, {l.red_max / 2, l.green_max / 2 + 1, l.blue_max / 3}), white, 0x0000,
          static_cast<uint16_t>(Pack(l, {9, 1, 30}) | (l.green_max == 31 ? 0x8000 : 0)), mid};
}

// Every member, mode 0-10 and a spread of levels over a 13 x 3 area (one full eight-pixel chunk
// and a tail per row), placed off the origin of both pictures, against the reference.
TEST(BlendBlit, EveryModeMatchesThePerChannelFormula) {
  const int levels[] = {0, 1, 77, 127, 128, 129, 200, 255, 256, 1000};
  for (const Member& m : kMembers) {
    const Layout& l = *m.layout;
    const std::vector<uint16_t> src_row = SourceRow(l), dst_row = DestRow(l);
    const int w = static_cast<int>(src_row.size()), h = 3;
    const uint16_t tint = Pack(l, {l.red_max / 4, l.green_max, 2});
    for (int mode = 0; mode <= 10; ++mode) {
      for (int level : levels) {
        Picture src(w + 2, h + 1, 0x5555), dst(w + 4, h + 2, 0xAAAA);
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < w; ++x) {
            // Rotate the rows against each other so every row pairs different pixels.
            src.at(x + 2, y + 1) = src_row[(x + y) % w];
            dst.at(x + 1, y + 2) = dst_row[x];
          }
        }
        const Picture before = dst;
        m.fn(dst.data(), dst.pitch(), 1, 2, w, h, src.data(), src.pitch(), 2, 1, w,
             static_cast<uint32_t>(level), static_cast<uint32_t>(mode) << 16, l.key, tint);
        for (int y = 0; y < dst.height; ++y) {
          for (int x = 0; x < dst.width + 3; ++x) {
            const bool inside = x >= 1 && x < 1 + w && y >= 2 && y < 2 + h;
            const uint16_t old = before.pixels[y * (dst.width + 3) + x];
            const uint16_t expected =
                inside ? Reference(l, m.honours_key, mode, level, src.at(x + 1, y - 1), old,
                                   l.key, tint, x - 1, y - 2, h)
                       : old;
            ASSERT_EQ(dst.pixels[y * (dst.width + 3) + x], expected)
                << m.name << " mode " << mode << " level " << level << " at (" << x << ", " << y
                << ")";
          }
        }
      }
    }
  }
}

// Key runs of every length from 0 to 20 starting at every column of a 29-pixel row: groups of
// eight that are wholly key, partly key and free of it, next to each other and in the tail, for
// every member and a spread of modes, against the reference.
TEST(BlendBlit, KeyRunsAcrossGroupsOfEight) {
  const int modes[] = {0, 1, 2, 7, 8, 9};
  for (const Member& m : kMembers) {
    const Layout& l = *m.layout;
    const uint16_t tint = Pack(l, {l.red_max / 4, l.green_max, 2});
    constexpr int kW = 29;
    for (int mode : modes) {
      for (int length = 0; length <= 20; length += 4) {
        const int h = kW;  // one row per start column
        Picture src(kW + 1, h, 0), dst(kW + 2, h, 0);
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < kW; ++x) {
            const bool key = x >= y && x < y + length;
            src.at(x + 1, y) = key ? l.key : Pack(l, {(x * 3) % (l.red_max + 1), (x + y) % 17, y % 31});
            dst.at(x + 2, y) = Pack(l, {y % 31, (x * 5) % (l.green_max + 1), (x + 2 * y) % 31});
          }
        }
        const Picture before = dst;
        m.fn(dst.data(), dst.pitch(), 2, 0, kW, h, src.data(), src.pitch(), 1, 0, kW, 100,
             static_cast<uint32_t>(mode) << 16, l.key, tint);
        for (int y = 0; y < h; ++y) {
          for (int x = 0; x < dst.width + 3; ++x) {
            const bool inside = x >= 2 && x < 2 + kW;
            const uint16_t old = before.pixels[y * (dst.width + 3) + x];
            const uint16_t expected =
                inside ? Reference(l, m.honours_key, mode, 100, src.at(x - 1, y), old, l.key,
                                   tint, x - 2, y, h)
                       : old;
            ASSERT_EQ(dst.pixels[y * (dst.width + 3) + x], expected)
                << m.name << " mode " << mode << " run " << length << " at (" << x << ", " << y
                << ")";
          }
        }
      }
    }
  }
}

// The key rules spelt out with literal pixels, independent of the reference above.
TEST(BlendBlit, KeyRules) {
  for (const Member& m : kMembers) {
    const uint16_t key = m.layout->key, dst_pixel = 0x0842;
    for (uint32_t mode = 0; mode <= 9; ++mode) {
      Picture src(1, 1, key), dst(1, 1, dst_pixel);
      m.fn(dst.data(), dst.pitch(), 0, 0, 1, 1, src.data(), src.pitch(), 0, 0, 1, 200, mode << 16,
           key, 0);
      if (m.honours_key) {
        EXPECT_EQ(dst.at(0, 0), dst_pixel) << m.name << " mode " << mode;
      } else if (mode == 0) {
        EXPECT_EQ(dst.at(0, 0), key) << m.name << ": the key survives an alpha blend";
      }
    }
    // Without the key a non-honouring shadow halves the whole rectangle.
    if (!m.honours_key) {
      Picture src(2, 1, key), dst(2, 1, 0x1084);  // channels 2, 4, 4 in RGB565; 4, 4, 4 in RGB555
      m.fn(dst.data(), dst.pitch(), 0, 0, 2, 1, src.data(), src.pitch(), 0, 0, 2, 100,
           kBlendShadow, key, 0);
      EXPECT_EQ(dst.at(0, 0), 0x0842) << m.name;
      EXPECT_EQ(dst.at(1, 0), 0x0842) << m.name;
    }
  }
}

TEST(BlendBlit, MeshCheckerboardCountsFromTheAreaHeight) {
  for (const Member& m : kMembers) {
    Picture src(2, 1, 0x1111), dst(2, 1, 0x2222);
    m.fn(dst.data(), dst.pitch(), 0, 0, 1, 1, src.data(), src.pitch(), 0, 0, 1, 256, kBlendMesh,
         m.layout->key, 0);
    EXPECT_EQ(dst.at(0, 0), 0x2222) << m.name << ": 1 x 1 writes nothing";
    m.fn(dst.data(), dst.pitch(), 0, 0, 2, 1, src.data(), src.pitch(), 0, 0, 2, 256, kBlendMesh,
         m.layout->key, 0);
    EXPECT_EQ(dst.at(0, 0), 0x2222) << m.name;
    EXPECT_EQ(dst.at(1, 0), 0x1111) << m.name << ": 2 x 1 writes column 1 only";
  }
}

TEST(BlendBlit, LiteralValues) {
  struct Case {
    BlendFn fn;
    uint32_t level, mode;
    uint16_t s, d, tint, expected;
  };
  const Case cases[] = {
      {BlitBlend16, 128, kBlendAlpha, 0xF800, 0x001F, 0, 0x780F},       // half red, half blue
      {BlitBlend16, 256, kBlendAlpha, 0x1234, 0xFFFF, 0, 0x1234},       // opaque copies
      {BlitBlend16, 0, kBlendAlpha, 0x1234, 0xABCD, 0, 0xABCD},         // clear keeps
      {BlitBlend16, 256, kBlendAdd, 0xFFFF, 0xFFFF, 0, 0xFFFF},         // saturates, no wrap
      {BlitBlend16, 256, kBlendAdd, 0x0841, 0xF7DE, 0, 0xFFFF},         // 1 + 30 etc.
      {BlitBlend16, 256, kBlendLighten, 0x0000, 0x1234, 0, 0xFFFF},     // lighten to white
      {BlitBlend16, 256, kBlendLightenRed, 0x0000, 0x1234, 0, 0xF800},  // red only
      {BlitBlend16, 256, kBlendLightenGreen, 0x0000, 0, 0, 0x07E0},
      {BlitBlend16, 256, kBlendLightenBlue, 0x0000, 0, 0, 0x001F},
      {BlitBlend16, 0, kBlendTint, 0x1234, 0x0000, 0xF81F, 0xF81F},     // all tint
      {BlitBlend16, 128, kBlendShadow, 0x1234, 0xFFFF, 0, 0xFFFF},      // level 128: nothing
      {BlitBlend16, 100, kBlendShadow, 0x1234, 0xFFFF, 0, 0x7BEF},
      {BlitBlend16For555, 100, kBlendShadow, 0x1234, 0x7FFF, 0, 0x3DEF},
      {BlitBlend16, 256, 0xA0000, 0x1234, 0x5678, 0, 0x5678},           // mode 10 draws nothing
      {BlitBlend16For555, 128, kBlendAlpha, 0x7C00, 0x001F, 0, 0x3C0F},
  };
  for (const Case& c : cases) {
    Picture src(1, 1, c.s), dst(1, 1, c.d);
    c.fn(dst.data(), dst.pitch(), 0, 0, 1, 1, src.data(), src.pitch(), 0, 0, 1, c.level, c.mode,
         0x07FF, c.tint);
    EXPECT_EQ(dst.at(0, 0), c.expected) << std::hex << "mode " << c.mode << " level " << c.level;
  }
}

// A source that overlaps the destination one pixel to the left: each pixel must see the pixel
// written just before it, as the pixel-at-a-time order has it.
TEST(BlendBlit, OverlappingSourceSeesEarlierWrites) {
  Picture pic(20, 2, 0);
  for (int x = 0; x < 20; ++x) pic.at(x, 0) = pic.at(x, 1) = static_cast<uint16_t>(x * 0x0841);
  Picture expected = pic;
  for (int y = 0; y < 2; ++y) {
    for (int x = 1; x < 20; ++x) {
      expected.at(x, y) = Reference(k565, false, 1, 256, expected.at(x - 1, y), expected.at(x, y),
                                    0x07FF, 0, x - 1, y, 2);
    }
  }
  BlitBlend16Alt(pic.data(), pic.pitch(), 1, 0, 19, 2, pic.data(), pic.pitch(), 0, 0, 19, 256,
                 kBlendAdd, 0x07FF, 0);
  EXPECT_EQ(pic.pixels, expected.pixels);
}

// The source moves on by pitch - 2 * source width after each row; callers keep the two widths
// equal, and a smaller source width shifts each row's start.
TEST(BlendBlit, SourceRowAdvanceUsesTheSourceWidth) {
  Picture src(8, 3, 0), dst(4, 2, 0);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 8; ++x) src.at(x, y) = static_cast<uint16_t>(y * 16 + x + 1);
  }
  BlitBlend16Alt(dst.data(), dst.pitch(), 0, 0, 4, 2, src.data(), src.pitch(), 0, 0, 2, 256,
                 kBlendAlpha, 0x07FF, 0);
  EXPECT_EQ(dst.at(0, 0), 1);
  EXPECT_EQ(dst.at(0, 1), 16 + 2 + 1) << "row 1 starts two pixels further on";
}

TEST(BlendBlit, EmptyAreasDrawNothing) {
  Picture src(4, 4, 0xFFFF), dst(4, 4, 0x1234);
  const Picture before = dst;
  for (const Member& m : kMembers) {
    for (auto [w, h] : {std::pair{0, 4}, {4, 0}, {-3, 4}, {4, -1}}) {
      m.fn(dst.data(), dst.pitch(), 0, 0, w, h, src.data(), src.pitch(), 0, 0, w, 256,
           kBlendAdd, 0x07FF, 0);
    }
  }
  EXPECT_EQ(dst.pixels, before.pixels);
}

// ---- Brightness tables ----------------------------------------------------------------------

constexpr int kLevelOfTable[18] = {0, 16, 1, 15, 2, 14, 3, 13, 4, 12, 5, 11, 6, 10, 7, 9, 8, 8};
constexpr int kTableOfStep[17] = {0, 2, 4, 6, 8, 10, 12, 14, 16, 15, 13, 11, 9, 7, 5, 3, 1};

// Entry p of a table of factor f / 16: 5-bit channels (RGB565 green without its lowest bit).
uint16_t BrightReference(bool is565, int f, uint16_t p) {
  if (is565) {
    const int r = p >> 11, g = (p >> 6) & 31, b = p & 31;
    return static_cast<uint16_t>((r * f / 16) << 11 | (g * f / 16) << 6 | (b * f / 16));
  }
  const int r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
  return static_cast<uint16_t>((r * f / 16) << 10 | (g * f / 16) << 5 | (b * f / 16));
}

TEST(BrightTest, TablesHoldEveryEntryInTheirLayout) {
  for (int layout : {kBrightLayout565, kBrightLayout555}) {
    EXPECT_EQ(BrightTable(layout, -1), nullptr);
    EXPECT_EQ(BrightTable(layout, kBrightTableCount), nullptr);
    for (int t = 0; t < kBrightTableCount; ++t) {
      const uint16_t* table = BrightTable(layout, t);
      ASSERT_NE(table, nullptr);
      for (uint32_t p = 0; p < 65536; ++p) {
        ASSERT_EQ(table[p], BrightReference(layout == 16, kLevelOfTable[t], uint16_t(p)))
            << "layout " << layout << " table " << t << " entry " << p;
      }
    }
  }
  // Step s lands on the table of factor s / 16.
  for (int s = 0; s <= 16; ++s) EXPECT_EQ(kLevelOfTable[kTableOfStep[s]], s);
}

TEST(BrightTest, LevelToStepAtItsEdges) {
  const std::pair<int32_t, int> cases[] = {{0, 0},     {7, 0},     {8, 1},   {23, 1},
                                           {24, 2},    {128, 8},   {247, 15}, {248, 16},
                                           {256, 16},  {1000, 16}, {-8, 0},  {-23, 0},
                                           {-24, 16},  {INT32_MIN, 16}, {INT32_MAX, 16}};
  for (auto [level, step] : cases) EXPECT_EQ(BrightStep(level), step) << "level " << level;
}

// A row of 37 pixels covering all channel values, through both table blits at every level,
// compared with the tables themselves.
TEST(BrightTest, BlitsMatchTheTablesAtEveryLevel) {
  for (int layout : {kBrightLayout565, kBrightLayout555}) {
    const int w = 37, h = 2;
    Picture a(w, h, 0), b(w, h, 0);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        a.at(x, y) = static_cast<uint16_t>((x * 1777 + y * 9001) & 0xFFFF);
        b.at(x, y) = static_cast<uint16_t>((x * 4099 + y * 313 + 0x8421) & 0xFFFF);
      }
    }
    for (int level = -30; level <= 270; ++level) {
      Picture out(w, h, 0xDEAD), fade(w, h, 0xDEAD);
      BlitBright16(out.data(), out.pitch(), 0, 0, w, h, a.data(), a.pitch(), 0, 0, level, layout);
      BlitBright16B(fade.data(), fade.pitch(), 0, 0, w, h, a.data(), a.pitch(), 0, 0, b.data(),
                    b.pitch(), 0, 0, level, layout);
      const int s = BrightStep(level);
      const uint16_t* to_s = BrightTable(layout, kTableOfStep[s]);
      const uint16_t* to_rest = BrightTable(layout, kTableOfStep[16 - s]);
      ASSERT_NE(to_s, nullptr);
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          ASSERT_EQ(out.at(x, y), to_s[a.at(x, y)]) << "layout " << layout << " level " << level;
          ASSERT_EQ(fade.at(x, y), to_rest[a.at(x, y)] + to_s[b.at(x, y)])
              << "layout " << layout << " level " << level;
        }
        EXPECT_EQ(out.pixels[y * (w + 3) + w], 0xDEAD) << "padding untouched";
      }
    }
  }
}

TEST(BrightTest, FullLevelDropsTheLowGreenBitOf565) {
  Picture src(3, 1, 0), dst(3, 1, 0);
  src.at(0, 0) = 0xFFFF;
  src.at(1, 0) = 0x0020;  // green 1: only the dropped bit
  src.at(2, 0) = 0x1234;
  BlitBright16(dst.data(), dst.pitch(), 0, 0, 3, 1, src.data(), src.pitch(), 0, 0, 256, 16);
  EXPECT_EQ(dst.at(0, 0), 0xFFDF);
  EXPECT_EQ(dst.at(1, 0), 0x0000);
  EXPECT_EQ(dst.at(2, 0), 0x1234 & ~0x0020);
}

TEST(BrightTest, CrossFadeEnds) {
  for (int layout : {16, 15}) {
    const Layout& l = layout == 16 ? k565 : k555;
    Picture a(2, 1, 0), b(2, 1, 0), dst(2, 1, 0);
    a.at(0, 0) = Pack(l, {31, layout == 16 ? 62 : 31, 9});
    a.at(1, 0) = Pack(l, {4, layout == 16 ? 20 : 10, 31});
    b.at(0, 0) = Pack(l, {7, layout == 16 ? 2 : 1, 30});
    b.at(1, 0) = Pack(l, {31, layout == 16 ? 63 : 31, 31});
    auto fade = [&](int level) {
      BlitBright16B(dst.data(), dst.pitch(), 0, 0, 2, 1, a.data(), a.pitch(), 0, 0, b.data(),
                    b.pitch(), 0, 0, level, layout);
    };
    const uint16_t green_low = layout == 16 ? 0x0020 : 0;
    fade(0);
    EXPECT_EQ(dst.at(0, 0), a.at(0, 0) & ~green_low);
    fade(256);
    EXPECT_EQ(dst.at(1, 0), b.at(1, 0) & ~green_low);
    fade(128);  // floor(A / 2) + floor(B / 2) on 5-bit channels
    EXPECT_EQ(dst.at(0, 0), Pack(l, {15 + 3, layout == 16 ? (15 + 0) * 2 : 15 + 0, 4 + 15}));
    EXPECT_EQ(dst.at(1, 0), Pack(l, {2 + 15, layout == 16 ? (5 + 15) * 2 : 5 + 15, 15 + 15}));
  }
}

// Each call works in the layout it names, whatever came before: both layouts' tables and blits
// are right in one process, in either order.
TEST(BrightTest, BothLayoutsInOneProcessInEitherOrder) {
  const uint16_t pixels[] = {0x7FFF, 0xFFFF, 0x8421, 0x1234, 0xF81F};
  const int orders[2][4] = {{kBrightLayout555, kBrightLayout565, kBrightLayout555, kBrightLayout565},
                            {kBrightLayout565, kBrightLayout555, kBrightLayout565, kBrightLayout555}};
  for (const auto& order : orders) {
    for (int layout : order) {
      const bool is565 = layout == kBrightLayout565;
      for (int t : {0, 1, 7, 17}) {
        const uint16_t* table = BrightTable(layout, t);
        ASSERT_NE(table, nullptr);
        for (uint16_t p : pixels) {
          EXPECT_EQ(table[p], BrightReference(is565, kLevelOfTable[t], p))
              << "layout " << layout << " table " << t << " pixel " << p;
        }
      }
      Picture src(5, 1, 0), dst(5, 1, 0);
      for (int x = 0; x < 5; ++x) src.at(x, 0) = pixels[x];
      BlitBright16(dst.data(), dst.pitch(), 0, 0, 5, 1, src.data(), src.pitch(), 0, 0, 256, layout);
      for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(dst.at(x, 0), BrightReference(is565, 16, pixels[x])) << "layout " << layout;
      }
    }
  }
  // The reading of 0x7FFF tells the layouts apart.
  Picture src(1, 1, 0x7FFF), dst(1, 1, 0);
  BlitBright16(dst.data(), dst.pitch(), 0, 0, 1, 1, src.data(), src.pitch(), 0, 0, 256, 16);
  EXPECT_EQ(dst.at(0, 0), 0x7FDF);
  BlitBright16(dst.data(), dst.pitch(), 0, 0, 1, 1, src.data(), src.pitch(), 0, 0, 256, 15);
  EXPECT_EQ(dst.at(0, 0), 0x7FFF);
  BlitBright16(dst.data(), dst.pitch(), 0, 0, 1, 1, src.data(), src.pitch(), 0, 0, 256, 16);
  EXPECT_EQ(dst.at(0, 0), 0x7FDF);
}

TEST(BrightTest, MaskedShadowHalvesUnderTheMask) {
  for (auto [layout, transparent, half] :
       {std::tuple{16, uint16_t{0x07FF}, uint16_t{0x7BEF}}, {15, 0x03FF, 0x3DEF}}) {
    Picture mask(10, 2, transparent), dst(10, 2, 0xFFFF);
    mask.at(3, 0) = 0x0000;
    mask.at(9, 1) = 0x1234;
    BlitShadow16(dst.data(), dst.pitch(), 0, 0, 10, 2, mask.data(), mask.pitch(), 0, 0, layout);
    for (int y = 0; y < 2; ++y) {
      for (int x = 0; x < 10; ++x) {
        const bool shaded = (x == 3 && y == 0) || (x == 9 && y == 1);
        EXPECT_EQ(dst.at(x, y), shaded ? half : 0xFFFF) << layout << " " << x << "," << y;
      }
    }
  }
}

TEST(BrightTest, EmptyAreasDrawNothing) {
  Picture src(4, 4, 0xFFFF), dst(4, 4, 0x1234);
  const Picture before = dst;
  for (auto [w, h] : {std::pair{0, 4}, {4, 0}, {-5, 4}, {4, -2}}) {
    BlitBright16(dst.data(), dst.pitch(), 0, 0, w, h, src.data(), src.pitch(), 0, 0, 128, 16);
    BlitBright16B(dst.data(), dst.pitch(), 0, 0, w, h, src.data(), src.pitch(), 0, 0, src.data(),
                  src.pitch(), 0, 0, 128, 16);
    BlitShadow16(dst.data(), dst.pitch(), 0, 0, w, h, src.data(), src.pitch(), 0, 0, 16);
  }
  EXPECT_EQ(dst.pixels, before.pixels);
}

}  // namespace
