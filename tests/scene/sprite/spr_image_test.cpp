// Image decoding of sprite files into surfaces of both layouts, the picture load, the sprite
// builder and the corrupt samples.

#include <gtest/gtest.h>

#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spr_image.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/lzss_writer.h"
#include "tests/scene/sprite/spr_test_support.h"

namespace {

using namespace testsupport;
using platform::PixelLayout;
using platform::Surface;
using spr_test::PartOf;

constexpr SurfaceId kTarget = SURFACE_SCRATCH;
constexpr uint16_t kSentinel = 0x1234;
constexpr Rect kUntouchedRect{-9, -9, -9, -9};

// 300 distinct colours: entry i = (i, 3i, 7i) mod 32.
std::vector<SprRgb> Palette(size_t n = 300) {
  std::vector<SprRgb> colours(n);
  for (size_t i = 0; i < n; ++i) {
    colours[i] = {static_cast<uint8_t>(i % 32), static_cast<uint8_t>(i * 3 % 32),
                  static_cast<uint8_t>(i * 7 % 32)};
  }
  return colours;
}

class SprImageTest : public ::testing::TestWithParam<PixelLayout> {
 protected:
  void SetUp() override { ASSERT_TRUE(fx.OpenDisplay()); }

  CDdrawFunc& ddraw() { return fx.ddraw(); }
  Surface* Target() { return ddraw().GetSurface(kTarget); }
  uint16_t Pack(uint32_t colorref) const { return platform::PackColorRef(colorref, GetParam()); }
  uint16_t Key() const { return GetParam() == PixelLayout::kRgb565 ? 0x07FF : 0x03FF; }
  uint16_t At(int x, int y) { return Target()->Row(y)[x]; }
  void Clear() {
    Surface* s = Target();
    for (int y = 0; y < s->height(); ++y) std::fill(s->Row(y), s->Row(y) + s->width(), kSentinel);
    fx.scene.scene().last_spr_rect = kUntouchedRect;
  }
  Rect LastRect() {
    Rect r;
    CTamvikSpr::GetSprRect(&r);
    return r;
  }

  // Draws image 0 of a one-image table into the cleared target.
  int Draw(const std::vector<SprRgb>& palette, const SprImage& image, uint16_t scale,
           uint16_t decoder, int x, int y, int level, int key) {
    colours_ = ColourPart(palette);
    images_ = ImagePart({image}, scale, decoder);
    Clear();
    return DrawSprImage(PartOf(colours_), PartOf(images_), 0, x, y, level, key, Target());
  }

  spr_test::SprFixture fx{GetParam()};
  TraceCapture trace;
  std::vector<uint8_t> colours_, images_;
};

TEST_P(SprImageTest, IndexedAndGreyImagesDrawTheirColours) {
  const std::vector<SprRgb> pal = Palette();
  const auto colour = [&](size_t i) { return Pack(SprColourRef(pal[i])); };

  // 4-bit: 3 x 1 with the bytes 0x12 0x30 draws base + 1, + 2, + 3.
  SprImage four{3, 1, kSprDepth4, 20, {0x12, 0x30}};
  ASSERT_EQ(Draw(pal, four, 1, 0, 5, 6, 256, 0), 1);
  EXPECT_EQ(At(5, 6), colour(21));
  EXPECT_EQ(At(6, 6), colour(22));
  EXPECT_EQ(At(7, 6), colour(23));
  EXPECT_EQ(At(8, 6), kSentinel);
  EXPECT_EQ(At(5, 7), kSentinel);
  const Rect r = LastRect();
  EXPECT_EQ((std::array<int, 4>{r.left, r.top, r.right, r.bottom}), (std::array<int, 4>{5, 6, 8, 7}));

  // 4-bit at an odd width over two rows: each row starts on a byte.
  SprImage odd{3, 2, kSprDepth4, 0, Encode4Bit(3, 2, {1, 2, 3, 4, 5, 6})};
  ASSERT_EQ(Draw(pal, odd, 1, 0, 0, 0, 256, 0), 1);
  EXPECT_EQ(At(2, 0), colour(3));
  EXPECT_EQ(At(0, 1), colour(4));
  EXPECT_EQ(At(2, 1), colour(6));

  // 8-bit from a palette base.
  SprImage eight{4, 1, kSprDepth8, 10, Encode8Bit({1, 2, 255, 200})};
  ASSERT_EQ(Draw(pal, eight, 1, 0, 0, 0, 256, 0), 1);
  EXPECT_EQ(At(0, 0), colour(11));
  EXPECT_EQ(At(1, 0), colour(12));
  EXPECT_EQ(At(2, 0), colour(265));
  EXPECT_EQ(At(3, 0), colour(210));

  // Depth 7: grey 255 - b of each byte b, 0 included (never transparent).
  SprImage grey{3, 1, kSprDepthGrey, 0, {0, 0x40, 0xFF}};
  ASSERT_EQ(Draw(pal, grey, 1, 0, 0, 0, 256, 1), 1);
  EXPECT_EQ(At(0, 0), Pack(0xFFFFFF));
  EXPECT_EQ(At(1, 0), Pack(0xBFBFBF));
  EXPECT_EQ(At(2, 0), Pack(0x000000));
}

TEST_P(SprImageTest, IndexZeroIsTheKeyPixelOrLeavesTheTargetUntouched) {
  SprImage image{2, 1, kSprDepth8, 0, {0, 1}};
  ASSERT_EQ(Draw(Palette(), image, 1, 0, 0, 0, 256, 0), 1);
  EXPECT_EQ(At(0, 0), Key());
  ASSERT_EQ(Draw(Palette(), image, 1, 0, 0, 0, 256, 1), 1);
  EXPECT_EQ(At(0, 0), kSentinel);
  EXPECT_EQ(At(1, 0), Pack(SprColourRef(Palette()[1])));
}

TEST_P(SprImageTest, ScaleFlagOtherThanOneDoublesThePicture) {
  std::vector<uint8_t> values(100);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>(1 + i);
  SprImage image{10, 10, kSprDepth8, 0, values};
  ASSERT_EQ(Draw(Palette(), image, 2, 0, 30, 40, 256, 0), 1);
  const Rect r = LastRect();
  EXPECT_EQ((std::array<int, 4>{r.left, r.top, r.right, r.bottom}),
            (std::array<int, 4>{30, 40, 50, 60}));
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 20; ++x) {
      ASSERT_EQ(At(30 + x, 40 + y), Pack(SprColourRef(Palette()[1 + (y / 2) * 10 + x / 2])))
          << x << "," << y;
    }
  }
  EXPECT_EQ(At(50, 40), kSentinel);
  EXPECT_EQ(At(30, 60), kSentinel);
}

TEST_P(SprImageTest, DrawLevelDarkensColoursAndGreys) {
  const std::vector<SprRgb> pal = {{}, {31, 31, 31}, {31, 0, 0}};
  SprImage colours{2, 1, kSprDepth8, 0, {1, 2}};
  ASSERT_EQ(Draw(pal, colours, 1, 0, 0, 0, 256, 0), 1);
  EXPECT_EQ(At(0, 0), Pack(0xF8F8F8));
  EXPECT_EQ(At(1, 0), Pack(0x0000F8));
  ASSERT_EQ(Draw(pal, colours, 1, 0, 0, 0, 128, 0), 1);
  EXPECT_EQ(At(0, 0), Pack(0x787878));  // white at half luma: 15 of 31
  EXPECT_EQ(At(1, 0), Pack(0x0000D0));  // red keeps its chroma: 26 of 31
  SprImage grey{1, 1, kSprDepthGrey, 0, {0}};
  ASSERT_EQ(Draw(pal, grey, 1, 0, 0, 0, 128, 0), 1);
  EXPECT_EQ(At(0, 0), Pack(0x7F7F7F));
}

TEST_P(SprImageTest, BmxPicturesPackedAndRaw) {
  // Little-endian words: transparent, white, a mid colour.
  const std::vector<uint16_t> words = {0x8000, 0x7FFF, 0x4210, 0x7C00};
  const bool rgb565 = GetParam() == PixelLayout::kRgb565;
  const uint16_t mid = rgb565 ? static_cast<uint16_t>(16 << 11 | (63 * 16 / 31) << 5 | 16) : 0x4210;
  const uint16_t red = rgb565 ? 0xF800 : 0x7C00;
  const std::vector<uint8_t> raw = EncodeBmx(words);
  const SprImage forms[] = {
      {2, 2, kSprDepth16, 0, raw},
      {2, 2, kSprDepth16 | kSprPacked, 0, LzssEncode(raw)},
  };
  for (const SprImage& image : forms) {
    SCOPED_TRACE(image.format);
    for (int key : {0, 1}) {
      ASSERT_EQ(Draw({}, image, 1, 1, 100, 100, 256, key), 1);
      EXPECT_EQ(At(100, 100), key == 0 ? Key() : 0);
      EXPECT_EQ(At(101, 100), 0xFFFF & (rgb565 ? 0xFFFF : 0x7FFF));
      EXPECT_EQ(At(100, 101), mid);
      EXPECT_EQ(At(101, 101), red);
      EXPECT_EQ(At(102, 100), kSentinel);
    }
  }
}

TEST_P(SprImageTest, PictureLoadsThroughTheFile) {
  const std::vector<SprRgb> pal = Palette();
  const std::vector<uint8_t> file =
      PictureFile(pal, {{1, 1, kSprDepth8, 0, {5}}, {2, 1, kSprDepth8, 0, {7, 8}}});
  const std::string name = fx.Write("pic.spr", file);
  for (uint32_t mask : {kSprMaskPicture, 0u}) {
    for (int cache : {0, 1}) {
      SCOPED_TRACE(mask * 10 + cache);
      Clear();
      fx.scene.scene().last_picture_from_spr = 0;
      SprLoadParam param;
      param.surface = kTarget;
      param.x = 3;
      param.y = 4;
      param.image = 1;
      param.use_cache = cache;
      param.file_name = name.c_str();
      ASSERT_EQ(TamvikFunc::LoadSpxSplitData(name.c_str(), &param, mask), 1);
      EXPECT_EQ(At(3, 4), Pack(SprColourRef(pal[7])));
      EXPECT_EQ(At(4, 4), Pack(SprColourRef(pal[8])));
      EXPECT_EQ(fx.scene.scene().last_picture_from_spr, 1);
    }
  }
  EXPECT_EQ(fx.scene.scene().spx_cache.count(), 2u);  // one entry per mask
}

// ---- Corrupt samples ----

struct Corrupt {
  const char* what;
  std::vector<uint8_t> file;
  int result;
  bool rect_updated;
};

std::vector<Corrupt> CorruptSamples() {
  const std::vector<SprRgb> pal = Palette();
  const auto picture = [&](const SprImage& image, uint16_t scale = 1, uint16_t decoder = 0) {
    return PictureFile(pal, {image}, scale, decoder);
  };
  const std::vector<uint8_t> eight = {1, 2, 3, 4};
  std::vector<Corrupt> out;
  {
    std::vector<uint8_t> f = picture({2, 2, kSprDepth8, 0, eight});
    f[0] = 'X';
    out.push_back({"wrong magic", f, 0, false});
    out.push_back({"under 256 bytes", std::vector<uint8_t>(f.begin(), f.begin() + 200), 0, false});
  }
  {
    SprFileWriter w;
    w.Add(14, ImagePart({{2, 2, kSprDepth8, 0, eight}}));
    out.push_back({"kind 14", w.Build(), 0, false});
  }
  {
    SprFileWriter w;
    w.Add(1, ColourPart(pal));
    w.Add(2, ImagePart({{2, 2, kSprDepth8, 0, eight}})).size = 1u << 30;
    out.push_back({"image part past the end", w.Build(), 0, false});
  }
  {
    SprFileWriter w;
    w.Add(1, ColourPart(pal));
    std::vector<uint8_t> images = ImagePart({{2, 2, kSprDepth8, 0, eight}});
    PutBe16(images, 0, 9);
    w.Add(2, images);
    out.push_back({"record count past the part", w.Build(), 0, false});
  }
  out.push_back({"decoder word 2", picture({2, 2, kSprDepth8, 0, eight}, 1, 2), 0, true});
  out.push_back({"width 0", picture({0, 2, kSprDepth8, 0, eight}), 0, true});
  out.push_back({"65535 x 65535", picture({65535, 65535, kSprDepth8, 0, eight}), 0, true});
  out.push_back({"65535 x 65535 BMX", picture({65535, 65535, kSprDepth16, 0, eight}, 1, 1), 0, true});
  out.push_back({"8-bit data short", picture({2, 2, kSprDepth8, 0, {1, 2, 3}}), 0, true});
  out.push_back({"odd-width 4-bit data short", picture({3, 2, kSprDepth4, 0, {0x11, 0x11, 0x11}}), 0, true});
  out.push_back({"data offset past the part",
                 picture({2, 2, kSprDepth8, 0, eight, 1, std::nullopt}), 0, true});
  out.push_back({"data size past the part",
                 picture({2, 2, kSprDepth8, 0, eight, std::nullopt, 0xFFFFFFF0u}), 0, true});
  out.push_back({"raw BMX short", picture({2, 2, kSprDepth16, 0, EncodeBmx({1, 2, 3})}, 1, 1), 0, true});
  {
    const std::vector<uint8_t> packed = LzssEncode(EncodeBmx({1, 2, 3, 4}));
    std::vector<uint8_t> cut(packed.begin(), packed.end() - 1);
    std::vector<uint8_t> longer = packed;
    longer.push_back(0x55);
    out.push_back({"short LZSS stream", picture({2, 2, kSprDepth16 | kSprPacked, 0, cut}, 1, 1), 0, true});
    out.push_back({"overlong LZSS stream", picture({2, 2, kSprDepth16 | kSprPacked, 0, longer}, 1, 1), 0, true});
    out.push_back({"packed depth code 7", picture({2, 2, 7 | kSprPacked, 0, packed}, 1, 1), 0, true});
  }
  // Safe draws: colours the table does not hold are black.
  out.push_back({"colour table cut short", PictureFile({{1, 1, 1}}, {{2, 2, kSprDepth8, 0, eight}}), 1, true});
  out.push_back({"palette base past the table", picture({2, 2, kSprDepth8, 2047, {255, 1, 0, 2}}), 1, true});
  {
    SprFileWriter w;
    w.Add(2, ImagePart({{2, 2, kSprDepth8, 0, eight}}));
    out.push_back({"no colour table", w.Build(), 1, true});
  }
  return out;
}

TEST_P(SprImageTest, CorruptSamplesFailCleanly) {
  const int surfaces = fx.LiveUserSurfaces();
  for (const Corrupt& c : CorruptSamples()) {
    SCOPED_TRACE(c.what);
    Clear();
    const std::string name = fx.Write("bad.spr", c.file);
    SprLoadParam param;
    param.surface = kTarget;
    param.x = 2;
    param.y = 3;
    EXPECT_EQ(TamvikFunc::LoadSpxSplitData(name.c_str(), &param, kSprMaskPicture), c.result);
    EXPECT_EQ(fx.LiveUserSurfaces(), surfaces);
    const Rect r = LastRect();
    EXPECT_EQ(r.left, c.rect_updated ? 2 : kUntouchedRect.left);
    if (c.result == 1) {
      // Every index of these samples lies past what the table holds: black.
      EXPECT_EQ(At(2, 3), Pack(0));
      EXPECT_EQ(At(3, 3), Pack(0));
      EXPECT_EQ(At(3, 4), Pack(0));
    }
  }
}

// ---- The sprite builder ----

TEST_P(SprImageTest, BuildSpritesMakesOneSpritePerImage) {
  const std::vector<SprRgb> pal = Palette();
  std::vector<uint8_t> values(12);
  for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>(i);  // index 0 too
  colours_ = ColourPart(pal);
  images_ = ImagePart({{4, 3, kSprDepth8, 3, values}, {0, 5, kSprDepth8, 0, {}}, {2, 1, kSprDepth4, 0, {0x9A}}},
                      2);
  const int surfaces = fx.LiveUserSurfaces();
  SprLoadParam param;
  ASSERT_EQ(TamvikFunc::BuildSprites(&param, PartOf(colours_), PartOf(images_)), 1);
  ASSERT_EQ(param.sprite_count, 3);
  ASSERT_EQ(param.sprites.size(), 3u);
  EXPECT_EQ(param.sprites[1], nullptr);
  EXPECT_EQ(fx.LiveUserSurfaces(), surfaces);

  CDdrawSpr& spr = fx.scene.engine().ctx().ddraw_spr;
  for (uint32_t i : {0u, 2u}) {
    SCOPED_TRACE(i);
    ASSERT_NE(param.sprites[i], nullptr);
    Surface* sprite = spr.GetSpriteSurface(param.sprites[i]);
    // A direct decode of the same image at (0, 0) with the colour-key flag 0.
    Clear();
    ASSERT_EQ(DrawSprImage(PartOf(colours_), PartOf(images_), i, 0, Target()), 1);
    int w = 0, h = 0;
    ASSERT_EQ(spr.GetSpriteSize(param.sprites[i], &w, &h), 1);
    const Rect r = LastRect();
    EXPECT_EQ(w, r.right);
    EXPECT_EQ(h, r.bottom);
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) ASSERT_EQ(sprite->Row(y)[x], At(x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(spr.GetSpriteSurface(param.sprites[0])->Row(0)[0], Key());

  // A table whose records pass its end makes nothing.
  std::vector<uint8_t> broken = images_;
  PutBe16(broken, 0, 200);
  SprLoadParam none;
  EXPECT_EQ(TamvikFunc::BuildSprites(&none, PartOf(colours_), PartOf(broken)), 0);
  EXPECT_EQ(none.sprite_count, 0);
}

TEST_P(SprImageTest, MasksBuildThroughTheirBuildersOrFail) {
  SprFileWriter w;
  w.Add(1, ColourPart(Palette()));
  w.Add(2, ImagePart({{1, 1, kSprDepth8, 0, {1}}}));
  for (uint32_t kind : {4u, 5u, 6u, 7u, 8u, 9u, 10u, 13u}) w.Add(kind, RecordPart({}));
  const std::string name = fx.Write("all.spr", w.Build());
  struct Case {
    uint32_t mask;
    const char* traced;
    int word5;
    int result;
  } cases[] = {
      // Empty unit, animation and battle-map tables build empty records.
      {kSprMaskUnit, "", 7, 1},
      {kSprMaskAnimation, "", 7, 1},
      {kSprMaskSlgMap, "", 7, 1},
      // Empty NC and face tables: no picture, no face.
      {kSprMaskNcSet, "out of range", -1, 0},
      {kSprMaskFace, "no face record for face 7", -1, 0},
      {1u << 3, "", 7, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    trace.Clear();
    SprLoadParam param;
    param.image = 7;
    param.file_name = name.c_str();
    EXPECT_EQ(TamvikFunc::LoadSpxSplitData(name.c_str(), &param, c.mask), c.result);
    if (*c.traced != '\0') {
      EXPECT_TRUE(trace.Contains(c.traced));
    }
    EXPECT_EQ(param.image, c.word5);
  }
  // Missing parts: the NC and face loads put -1 in word 5.
  SprParts only_images;
  SprLoadParam nc;
  EXPECT_EQ(TamvikFunc::BuildSpx(only_images, &nc, kSprMaskNcSet), 0);
  EXPECT_TRUE(trace.Contains("ALL NC Param is not Exist\n"));
  EXPECT_EQ(nc.image, -1);
}

INSTANTIATE_SPR_LAYOUTS(SprImageTest);

}  // namespace
