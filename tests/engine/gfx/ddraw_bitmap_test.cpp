// Bitmap files (every stored form, cyan on the key, layers growing and giving back, damaged
// files) and BMX pictures (transparency, conversion, darkening, size checks).

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "display_test_support.h"
#include "testsupport/bmp_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/trace_capture.h"

namespace {

using display_test::DisplayTest;
using platform::PixelLayout;
using platform::Surface;
using testsupport::BmpFormat;
using testsupport::BmpOptions;
using testsupport::BmpPicture;
using testsupport::WriteBmp;

constexpr uint16_t kSentinel = 0x5A5A;

// Options changed by a function: Options([](BmpOptions& o) { o.top_down = true; }).
template <class F>
BmpOptions Options(F change) {
  BmpOptions o;
  change(o);
  return o;
}
BmpOptions Format(BmpFormat f, bool top_down = false) {
  return Options([&](BmpOptions& o) {
    o.format = f;
    o.top_down = top_down;
  });
}

class BitmapTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    engine.host.files.SetWorkingDirectory(tree.root());
  }
  void Write(const std::string& name, const BmpPicture& p, const BmpOptions& o = {}) {
    tree.Write(name, WriteBmp(p, o));
  }
  // The pixel a stored colour becomes: 16-bit files hold 5 (or 6) bit channels, widened by
  // repeating their bits; the display packs by truncation.
  uint16_t Expected(uint32_t color, BmpFormat f) const {
    const uint32_t r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    if (f == BmpFormat::kRgb555) {
      const auto p = static_cast<uint16_t>((r >> 3) << 10 | (g >> 3) << 5 | b >> 3);
      color = platform::UnpackToColorRef(p, PixelLayout::kRgb555);
    } else if (f == BmpFormat::kRgb565) {
      const auto p = static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
      color = platform::UnpackToColorRef(p, PixelLayout::kRgb565);
    }
    return Pack(color);
  }

  testsupport::TempTree tree;
};

// A 5 x 3 picture (odd width: every stored form pads its rows) with at most two colours per
// 1-bit row... kept to two colours overall for the 1-bit form.
BmpPicture TwoColours() {
  BmpPicture p(5, 3, 0x000000);
  p.at(0, 0) = p.at(4, 0) = p.at(2, 1) = p.at(1, 2) = 0xFFFF00;
  return p;
}
BmpPicture ManyColours() {
  BmpPicture p(5, 3);
  const uint32_t colors[] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFF00, 0x808080,
                             0x123456, 0xFFFFFF, 0x000000, 0x0A1B2C, 0xC0C0C0,
                             0x7F00FF, 0x00FF7F, 0xABCDEF, 0x010203, 0xFEFDFC};
  for (int i = 0; i < 15; ++i) p.colors[static_cast<size_t>(i)] = colors[i];
  return p;
}

TEST_P(BitmapTest, EveryStoredFormLandsAtItsPositionRowsInOrder) {
  struct Form {
    BmpFormat format;
    bool two_colours;
  };
  const Form forms[] = {{BmpFormat::kPalette1, true}, {BmpFormat::kPalette4, false},
                        {BmpFormat::kPalette8, false}, {BmpFormat::kRgb555, false},
                        {BmpFormat::kRgb565, false},   {BmpFormat::kRgb24, false},
                        {BmpFormat::kRgb32, false}};
  for (const Form& f : forms) {
    for (bool top_down : {false, true}) {
      const BmpPicture p = f.two_colours ? TwoColours() : ManyColours();
      Write("pic.bmp", p, Format(f.format, top_down));
      Paint(SURFACE_SCRATCH, {0, 0, 640, 480}, kSentinel);
      ASSERT_EQ(ddraw().LoadBitmap("pic.bmp", 3, 2, 0, SURFACE_SCRATCH), 1)
          << static_cast<int>(f.format) << " top-down " << top_down;
      for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 10; ++x) {
          const bool inside = x >= 3 && x < 8 && y >= 2 && y < 5;
          const uint16_t want = inside ? Expected(p.at(x - 3, y - 2), f.format) : kSentinel;
          ASSERT_EQ(Pixel(SURFACE_SCRATCH, x, y), want)
              << "form " << static_cast<int>(f.format) << " top-down " << top_down << " at " << x
              << "," << y;
        }
      }
      Rect r;
      ddraw().GetBitmapRect(&r);
      EXPECT_EQ(r.left, 3);
      EXPECT_EQ(r.top, 2);
      EXPECT_EQ(r.right, 8);
      EXPECT_EQ(r.bottom, 5);
    }
  }
}

// Cyan of every depth lands exactly on the colour key; with fill flag 1 the key pixels are not
// copied, so what was under them stays.
TEST_P(BitmapTest, CyanLandsOnTheKeyAndIsTransparentWithFillOne) {
  BmpPicture p(2, 1);
  p.at(0, 0) = 0xFFFF00;
  p.at(1, 0) = 0x0000FF;
  for (BmpFormat f : {BmpFormat::kRgb24, BmpFormat::kRgb555, BmpFormat::kRgb565,
                      BmpFormat::kRgb32, BmpFormat::kPalette8}) {
    Write("cyan.bmp", p, Format(f));
    Paint(SURFACE_SCRATCH, {0, 0, 640, 480}, kSentinel);
    ASSERT_EQ(ddraw().LoadBitmap("cyan.bmp", 0, 0, 0, SURFACE_SCRATCH), 1);
    EXPECT_EQ(Pixel(SURFACE_SCRATCH, 0, 0), Key()) << static_cast<int>(f);
    EXPECT_EQ(Pixel(SURFACE_SCRATCH, 1, 0), Pack(0x0000FF)) << static_cast<int>(f);
    ASSERT_EQ(ddraw().LoadBitmap("cyan.bmp", 10, 0, 1, SURFACE_SCRATCH), 1);
    EXPECT_EQ(Pixel(SURFACE_SCRATCH, 10, 0), kSentinel) << static_cast<int>(f);
    EXPECT_EQ(Pixel(SURFACE_SCRATCH, 11, 0), Pack(0x0000FF)) << static_cast<int>(f);
  }
}

TEST_P(BitmapTest, LayerGrowsForALargePictureAndGivesTheLargeSurfaceBackForTheNext) {
  BmpPicture full(640, 480, 0x0000FF);
  full.at(0, 0) = 0x00FF00;
  full.at(639, 479) = 0xFF0000;
  Write("full.bmp", full);
  Surface* own = ddraw().GetSurface(SURFACE_BG);

  ASSERT_EQ(ddraw().LoadBitmap("full.bmp", 0, 0, 1, SURFACE_BG), 1);
  EXPECT_EQ(ddraw().GetSurface(SURFACE_BG), own);
  EXPECT_EQ(ddraw().GetLayer(SURFACE_BG)->swap_surface, -1);
  EXPECT_EQ(Pixel(SURFACE_BG, 0, 0), Pack(0x00FF00));
  EXPECT_EQ(Pixel(SURFACE_BG, 639, 479), Pack(0xFF0000));

  ASSERT_EQ(ddraw().LoadBitmap("full.bmp", 1, 0, 1, SURFACE_BG), 1);
  const LayerRec* rec = ddraw().GetLayer(SURFACE_BG);
  EXPECT_NE(ddraw().GetSurface(SURFACE_BG), own);
  EXPECT_EQ(ddraw().GetSurface(SURFACE_BG)->width(), 641);
  EXPECT_EQ(rec->surface_width, 641);
  EXPECT_EQ(rec->surface_height, 480);
  EXPECT_EQ(rec->view_width, 640);
  EXPECT_EQ(rec->view_height, 480);
  EXPECT_NE(rec->swap_surface, -1);
  EXPECT_EQ(Pixel(SURFACE_BG, 0, 0), Key());  // the new surface was cleared with fill 1
  EXPECT_EQ(Pixel(SURFACE_BG, 1, 0), Pack(0x00FF00));
  EXPECT_EQ(Pixel(SURFACE_BG, 640, 479), Pack(0xFF0000));

  // A small picture: the layer first gets its own surface back, cleared with the fill flag.
  BmpPicture small(2, 2, 0x00FF00);
  Write("small.bmp", small);
  ASSERT_EQ(ddraw().LoadBitmap("small.bmp", 0, 0, 0, SURFACE_BG), 1);
  EXPECT_EQ(ddraw().GetSurface(SURFACE_BG), own);
  EXPECT_EQ(rec->surface_width, 640);
  EXPECT_EQ(rec->swap_surface, -1);
  EXPECT_EQ(Pixel(SURFACE_BG, 1, 1), Pack(0x00FF00));
  EXPECT_EQ(Pixel(SURFACE_BG, 639, 479), 0);  // cleared black (fill 0)

  // A surface that is not a layer does not grow.
  testsupport::TraceCapture trace;
  Paint(SURFACE_SCRATCH, {0, 0, 640, 480}, kSentinel);
  EXPECT_EQ(ddraw().LoadBitmap("full.bmp", 1, 0, 0, SURFACE_SCRATCH), 0);
  EXPECT_TRUE(trace.Contains("Bitmap Size is too Large"));
  EXPECT_EQ(Pixel(SURFACE_SCRATCH, 1, 0), kSentinel);
}

TEST_P(BitmapTest, MissingFileFailsWithoutABox) {
  testsupport::TraceCapture trace;
  EXPECT_EQ(ddraw().LoadBitmap("nothere.bmp", 0, 0, 0, SURFACE_SCRATCH), 0);
  EXPECT_TRUE(engine.host.window.boxes.empty());
  EXPECT_TRUE(trace.Contains("nothere.bmp"));
  EXPECT_EQ(ddraw().LoadBitmap(nullptr, 0, 0, 0, SURFACE_SCRATCH), 0);
}

// Damaged files and invalid requests fail before anything is drawn; AddressSanitizer watches for
// reads beyond what the file gave.
TEST_P(BitmapTest, DamagedFilesAndNegativePositionsAreRefused) {
  const BmpPicture p = ManyColours();
  const size_t full_size = WriteBmp(p).size();
  struct Case {
    const char* name;
    BmpOptions options;
    int x = 0;
    int y = 0;
  };
  const Case cases[] = {
      {"signature", Options([](BmpOptions& o) { o.bad_signature = true; })},
      {"zero width", Options([](BmpOptions& o) { o.stored_width = 0; })},
      {"negative width", Options([](BmpOptions& o) { o.stored_width = -5; })},
      {"huge width", Options([](BmpOptions& o) { o.stored_width = 100000; })},
      {"zero height", Options([](BmpOptions& o) { o.stored_height = 0; })},
      {"most negative height", Options([](BmpOptions& o) { o.stored_height = INT_MIN; })},
      {"huge height", Options([](BmpOptions& o) { o.stored_height = 40000; })},
      {"rows past the end", Options([](BmpOptions& o) { o.stored_height = 4; })},
      {"planes", Options([](BmpOptions& o) { o.stored_planes = 2; })},
      {"bit count", Options([](BmpOptions& o) { o.stored_bits = 7; })},
      {"run-length", Options([](BmpOptions& o) {
         o.format = BmpFormat::kPalette8;
         o.stored_compression = 1;
       })},
      {"masks on 24 bits", Options([](BmpOptions& o) { o.stored_compression = 3; })},
      {"gap in a mask", Options([](BmpOptions& o) {
         o.format = BmpFormat::kRgb565;
         o.stored_masks[0] = 0xF00F;
       })},
      {"empty mask", Options([](BmpOptions& o) {
         o.format = BmpFormat::kRgb565;
         o.stored_masks[1] = 0;
       })},
      {"offset inside the headers", Options([](BmpOptions& o) { o.stored_offset = 20; })},
      {"offset past the end", Options([](BmpOptions& o) { o.stored_offset = 0x7FFFFFF0; })},
      {"palette too large", Options([](BmpOptions& o) {
         o.format = BmpFormat::kPalette8;
         o.stored_colors_used = 300;
       })},
      {"palette past the file", Options([](BmpOptions& o) {
         o.format = BmpFormat::kPalette4;
         o.stored_colors_used = 16;
         o.cut_to = 14 + 40 + 20;
       })},
      {"core header", Options([](BmpOptions& o) { o.stored_info_size = 12; })},
      {"header cut", Options([](BmpOptions& o) { o.cut_to = 30; })},
      {"rows cut", Options([&](BmpOptions& o) { o.cut_to = full_size - 1; })},
      {"empty file", Options([](BmpOptions& o) { o.cut_to = 0; })},
      {"negative x", BmpOptions{}, -1, 0},
      {"negative y", BmpOptions{}, 0, -3},
  };
  for (const Case& c : cases) {
    Write("bad.bmp", p, c.options);
    Paint(SURFACE_SCRATCH, {0, 0, 640, 480}, kSentinel);
    testsupport::TraceCapture trace;
    EXPECT_EQ(ddraw().LoadBitmap("bad.bmp", c.x, c.y, 0, SURFACE_SCRATCH), 0) << c.name;
    EXPECT_GT(trace.lines().size(), 1u) << c.name;
    for (int y = 0; y < 8; ++y) {
      for (int x = 0; x < 8; ++x) ASSERT_EQ(Pixel(SURFACE_SCRATCH, x, y), kSentinel) << c.name;
    }
  }

  // A refused file leaves a layer's larger surface where it is.
  Write("wide.bmp", BmpPicture(700, 2, 0x00FF00));
  ASSERT_EQ(ddraw().LoadBitmap("wide.bmp", 0, 0, 1, SURFACE_FG), 1);
  Write("bad.bmp", p, Options([](BmpOptions& o) { o.stored_planes = 3; }));
  EXPECT_EQ(ddraw().LoadBitmap("bad.bmp", 0, 0, 1, SURFACE_FG), 0);
  EXPECT_EQ(ddraw().GetLayer(SURFACE_FG)->surface_width, 700);
  EXPECT_EQ(Pixel(SURFACE_FG, 699, 1), Pack(0x00FF00));
}

// ---- BMX ----

class BmxTest : public DisplayTest {
 protected:
  Surface* Target() { return ddraw().GetSurface(SURFACE_SCRATCH); }
  uint16_t White() const { return GetParam() == PixelLayout::kRgb565 ? 0xFFFF : 0x7FFF; }
  // A BMX colour word converted without darkening: each 5-bit channel scaled to the display's
  // channel width as max x c / 31.
  uint16_t Convert(uint16_t word) const {
    const unsigned r = (word >> 10) & 31, g = (word >> 5) & 31, b = word & 31;
    if (GetParam() == PixelLayout::kRgb565) return static_cast<uint16_t>(r << 11 | (63 * g / 31) << 5 | b);
    return static_cast<uint16_t>(r << 10 | g << 5 | b);
  }
};

TEST_P(BmxTest, ConvertsColoursAndTransparencyByTheFillFlag) {
  const std::vector<uint16_t> words{0x8000, 0xFFFF, 0x7FFF, 0x0000, 0x7C00, 0x03E0, 0x001F, 0x0200,
                                    0x03FF, 0x4210};
  for (int fill : {0, 1}) {
    Paint(SURFACE_SCRATCH, {0, 0, 640, 480}, kSentinel);
    ASSERT_EQ(ddraw().DrawBmx(words.data(), 4, 6, 5, 2, Target(), fill, 256), 1);
    const uint16_t transparent = fill == 0 ? Key() : 0;
    const std::vector<uint16_t> want{transparent, transparent, White(), 0,
                                     Convert(0x7C00), Convert(0x03E0), Convert(0x001F),
                                     Convert(0x0200), Key(), Convert(0x4210)};
    for (size_t i = 0; i < words.size(); ++i) {
      const int x = 4 + static_cast<int>(i % 5), y = 6 + static_cast<int>(i / 5);
      EXPECT_EQ(Pixel(Target(), x, y), want[i]) << "word " << std::hex << words[i] << " fill " << fill;
    }
    EXPECT_EQ(Pixel(Target(), 3, 6), kSentinel);
    EXPECT_EQ(Pixel(Target(), 9, 7), kSentinel);
    EXPECT_EQ(Pixel(Target(), 4, 8), kSentinel);
  }
  // Mid green: 63 x 16 / 31 = 32 on RGB565.
  EXPECT_EQ(Convert(0x0200), GetParam() == PixelLayout::kRgb565 ? 0x0400 : 0x0200);
}

TEST_P(BmxTest, DarkeningScalesByLumaAndKeepsCyan) {
  const std::vector<uint16_t> words{0x03FF, 0x7FFF, 0x4210, 0x7C00};
  const bool rgb565 = GetParam() == PixelLayout::kRgb565;
  const uint32_t gm = rgb565 ? 63 : 31;
  for (int level : {0, 100, 128, 255}) {
    ASSERT_EQ(ddraw().DrawBmx(words.data(), 0, 0, 4, 1, Target(), 0, level), 1);
    EXPECT_EQ(Pixel(Target(), 0, 0), Key()) << level;
    for (int i = 1; i < 4; ++i) {
      const uint16_t c = Convert(words[static_cast<size_t>(i)]);
      const uint32_t r = rgb565 ? c >> 11 : c >> 10 & 31, g = c >> 5 & gm, b = c & 31;
      uint32_t dr = 0, dg = 0, db = 0;
      CDdrawFunc::ScaleBrightness(level, r, 31, g, gm, b, 31, &dr, &dg, &db);
      const auto want = static_cast<uint16_t>(dr << (rgb565 ? 11 : 10) | dg << 5 | db);
      EXPECT_EQ(Pixel(Target(), i, 0), want) << "level " << level << " pixel " << i;
    }
  }
  // Grey goes black at level 0; levels of 256 and above (unsigned) leave colours as they are.
  ASSERT_EQ(ddraw().DrawBmx(words.data(), 0, 0, 4, 1, Target(), 0, 0), 1);
  EXPECT_EQ(Pixel(Target(), 2, 0), 0);
  for (int level : {256, 1000, -1}) {
    ASSERT_EQ(ddraw().DrawBmx(words.data(), 0, 0, 4, 1, Target(), 0, level), 1);
    EXPECT_EQ(Pixel(Target(), 1, 0), White()) << level;
    EXPECT_EQ(Pixel(Target(), 2, 0), Convert(0x4210)) << level;
  }
}

struct ScaleCase {
  int32_t level;
  uint32_t r, g, b;
  uint32_t want_r, want_g, want_b;
};

class ScaleBrightnessTest : public ::testing::TestWithParam<ScaleCase> {};

// Channel maxima 31, 63, 31.
TEST_P(ScaleBrightnessTest, DarkensByLumaWithinTheChannelRange) {
  const ScaleCase& c = GetParam();
  uint32_t r = 99, g = 99, b = 99;
  CDdrawFunc::ScaleBrightness(c.level, c.r, 31, c.g, 63, c.b, 31, &r, &g, &b);
  EXPECT_EQ(r, c.want_r);
  EXPECT_EQ(g, c.want_g);
  EXPECT_EQ(b, c.want_b);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScaleBrightnessTest,
    ::testing::Values(
        // Level 0 takes the luma away: grey goes black, red keeps its chroma (0.701 x 31 = 21).
        ScaleCase{0, 16, 32, 16, 0, 0, 0}, ScaleCase{0, 31, 0, 0, 21, 0, 0},
        // Half the luma of white: 0.5 x 31 = 15.5, 0.5 x 63 = 31.5.
        ScaleCase{128, 31, 63, 31, 15, 31, 15},
        // A level above 256 would push channels past their maximum (and into the neighbour
        // when packed): they stop at the maximum.
        ScaleCase{512, 31, 63, 31, 31, 63, 31}, ScaleCase{512, 0, 0, 0, 0, 0, 0},
        // Red at 400: 0.467 + 0.701 = 1.168 of red stops at 31; green and blue 0.168 of theirs.
        ScaleCase{400, 31, 0, 0, 31, 10, 5}));

TEST_P(BmxTest, SizesAreCheckedBeforeAnythingIsAllocated) {
  const uint16_t one = 0x7FFF;
  testsupport::TraceCapture trace;
  struct Size {
    int w, h;
  };
  // Each of these would need far more words than `one`: refused before a word is read.
  for (Size s : {Size{0, 5}, Size{5, 0}, Size{-1, 5}, Size{20000, 1}, Size{1, 20000},
                 Size{16384, 16384}, Size{INT_MAX, INT_MAX}}) {
    EXPECT_EQ(ddraw().DrawBmx(&one, 0, 0, s.w, s.h, Target(), 0, 256), 0) << s.w << "x" << s.h;
  }
  EXPECT_EQ(ddraw().DrawBmx(nullptr, 0, 0, 1, 1, Target(), 0, 256), 0);
  // Too large for a surface that is not a layer (negative positions never fit).
  std::vector<uint16_t> words(641 * 2, 0x7FFF);
  EXPECT_EQ(ddraw().DrawBmx(words.data(), 0, 0, 641, 2, Target(), 0, 256), 0);
  EXPECT_TRUE(trace.Contains("Bmx Size is too Large"));
  EXPECT_EQ(ddraw().DrawBmx(words.data(), -1, 0, 2, 2, Target(), 0, 256), 0);
  EXPECT_EQ(ddraw().DrawBmx(words.data(), 639, 0, 2, 1, Target(), 0, 256), 0);
}

TEST_P(BmxTest, LayersGrowForLargePicturesAndGiveThemBack) {
  Surface* own = ddraw().GetSurface(SURFACE_FC);
  std::vector<uint16_t> words(641 * 2, 0x001F);
  ASSERT_EQ(ddraw().DrawBmx(words.data(), 0, 0, 641, 2, own, 1, 256), 1);
  EXPECT_EQ(ddraw().GetLayer(SURFACE_FC)->surface_width, 641);
  EXPECT_EQ(Pixel(SURFACE_FC, 640, 1), Convert(0x001F));
  EXPECT_EQ(Pixel(SURFACE_FC, 0, 2), Key());  // cleared with fill 1

  // The next picture gives the large surface back first. A negative position is cut to the
  // surface.
  ASSERT_EQ(ddraw().DrawBmx(words.data(), -1, -1, 2, 2, ddraw().GetSurface(SURFACE_FC), 0, 256), 1);
  EXPECT_EQ(ddraw().GetSurface(SURFACE_FC), own);
  EXPECT_EQ(ddraw().GetLayer(SURFACE_FC)->swap_surface, -1);
  EXPECT_EQ(Pixel(SURFACE_FC, 0, 0), Convert(0x001F));
  EXPECT_EQ(Pixel(SURFACE_FC, 1, 0), 0);  // cleared black (fill 0)
  EXPECT_EQ(Pixel(SURFACE_FC, 0, 1), 0);
}

TEST(CountBits, CountsSetBits) {
  EXPECT_EQ(CDdrawFunc::CountBits(0), 0);
  EXPECT_EQ(CDdrawFunc::CountBits(0xF800), 5);
  EXPECT_EQ(CDdrawFunc::CountBits(0x07E0), 6);
  EXPECT_EQ(CDdrawFunc::CountBits(0x03E0), 5);
  EXPECT_EQ(CDdrawFunc::CountBits(0xFFFFFFFF), 32);
}

INSTANTIATE_FOR_BOTH_LAYOUTS(BitmapTest);
INSTANTIATE_FOR_BOTH_LAYOUTS(BmxTest);

}  // namespace
