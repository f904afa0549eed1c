// Sprites: creation and deletion, the drawing rectangle (scale and card turn), and the draw
// worker's extents and its opaque, translucent and transform paths.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>

#include "sprite_test_support.h"
#include "testsupport/trace_capture.h"

namespace {

using platform::Surface;
using sprite_test::SpriteTest;

constexpr int32_t kOne = 0x10000;
constexpr BltFx kMirrorX{100, kBltFxMirrorLeftRight};
constexpr BltFx kMirrorXY{100, kBltFxMirrorLeftRight | kBltFxMirrorUpDown};

INSTANTIATE_FOR_BOTH_LAYOUTS(SpriteTest);

// ---- Creation and deletion ----

TEST_P(SpriteTest, ASpriteHoldsACopyOfTheSourceRectangleAtItsHomePosition) {
  SprRec* s = Cut(100, 50, {30, 40, 70, 70});
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(spr().IsSprite(s), 1);
  EXPECT_EQ(s->x, 100);
  EXPECT_EQ(s->y, 50);
  EXPECT_EQ(s->alpha, 256u);
  EXPECT_EQ(s->rect.left, 100);
  EXPECT_EQ(s->rect.top, 50);
  EXPECT_EQ(s->rect.right, 140);
  EXPECT_EQ(s->rect.bottom, 80);
  int w = 0;
  int h = 0;
  EXPECT_EQ(spr().GetSpriteSize(s, &w, &h), 1);
  EXPECT_EQ(w, 40);
  EXPECT_EQ(h, 30);
  Surface* own = spr().GetSpriteSurface(s);
  ASSERT_NE(own, nullptr);
  ASSERT_EQ(own->width(), 40);
  ASSERT_EQ(own->height(), 30);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) ASSERT_EQ(own->Row(y)[x], Src(30 + x, 40 + y)) << x << "," << y;
  }
  // The copy is the sprite's own: later changes of the source do not reach it.
  Paint(kSource, {0, 0, 640, 480}, 0);
  EXPECT_EQ(own->Row(0)[0], Src(30, 40));
  EXPECT_EQ(spr().GetSpriteSize(nullptr, &w, &h), 0);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 0);
}

TEST_P(SpriteTest, VideoMemoryIsUsedWhenAskedAndFallsBackToSystemMemory) {
  SprRec* plain = Cut(0, 0, {0, 0, 8, 8});
  SprRec* video = spr().CreateSprite(0, 0, kSource, 0, 0, 8, 8, 1);
  display().video_memory_fails = true;
  SprRec* fallback = spr().CreateSprite(0, 0, kSource, 0, 0, 8, 8, 1);
  ASSERT_NE(plain, nullptr);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(fallback, nullptr);
  EXPECT_EQ(ddraw().GetSurfaceCaps(plain->surface) & kSurfaceCapsVideoMemory, 0u);
  EXPECT_NE(ddraw().GetSurfaceCaps(video->surface) & kSurfaceCapsVideoMemory, 0u);
  EXPECT_EQ(ddraw().GetSurfaceCaps(fallback->surface) & kSurfaceCapsVideoMemory, 0u);
  EXPECT_EQ(fallback->surface->Row(7)[7], Src(7, 7));
}

TEST_P(SpriteTest, RectanglesThatCannotBeCopiedMakeNoSprite) {
  testsupport::TraceCapture trace;
  const Rect bad[] = {{0, 0, 0, 10}, {10, 10, 5, 20}, {-1, 0, 10, 10}, {630, 0, 650, 10},
                      {0, 470, 10, 481}};
  for (const Rect& r : bad) {
    EXPECT_EQ(Cut(0, 0, r), nullptr) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  }
  EXPECT_EQ(spr().CreateSprite(0, 0, 99, 0, 0, 8, 8), nullptr);  // no such surface
  EXPECT_TRUE(trace.Contains("CDdrawSpr::CreateSprite"));
}

TEST_P(SpriteTest, DeleteClearsTheVariableAndRefusesNullOrUnknownSprites) {
  SprRec* s = Cut(0, 0, {0, 0, 8, 8});
  SprRec* alias = s;
  EXPECT_EQ(spr().DeleteSprite(&s), 1);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(spr().IsSprite(alias), 0);
  EXPECT_EQ(spr().DeleteSprite(&alias), 0);  // no longer in the list: nothing is touched
  EXPECT_EQ(alias, nullptr);
  EXPECT_EQ(spr().DeleteSprite(&s), 0);
  EXPECT_EQ(spr().DeleteSprite(nullptr), 0);

  SprRec* a = Cut(0, 0, {0, 0, 8, 8});
  SprRec* b = Cut(0, 0, {8, 8, 16, 16});
  spr().DeleteAllSprite();
  EXPECT_EQ(spr().IsSprite(a), 0);
  EXPECT_EQ(spr().IsSprite(b), 0);
}

TEST_P(SpriteTest, CopySpriteFillsATargetOfTheSameSizeElseMakesANewSprite) {
  SprRec* s = Cut(10, 20, {0, 0, 16, 8});
  spr().SetSpriteAlpha(s, 0x10080);
  spr().SetSpriteScale(s, 50, 100);
  SprRec* same = Cut(0, 0, {100, 100, 116, 108});
  ASSERT_EQ(spr().CopySprite(s, same), same);
  EXPECT_EQ(same->x, 10);
  EXPECT_EQ(same->y, 20);
  EXPECT_EQ(same->alpha, 0x10080u);
  EXPECT_EQ(same->rect.left, s->rect.left);
  EXPECT_EQ(same->rect.right, s->rect.right);
  EXPECT_EQ(same->surface->Row(5)[9], Src(9, 5));

  SprRec* other = Cut(0, 0, {0, 0, 4, 4});
  SprRec* copy = spr().CopySprite(s, other);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy, other);
  EXPECT_NE(copy, s);
  EXPECT_EQ(spr().IsSprite(copy), 1);
  EXPECT_EQ(other->width, 4);  // the target of another size is left alone
  EXPECT_EQ(copy->width, 16);
  EXPECT_EQ(copy->alpha, 0x10080u);
  EXPECT_EQ(copy->rect.left, s->rect.left);
  EXPECT_EQ(copy->surface->Row(7)[15], Src(15, 7));
  EXPECT_EQ(spr().CopySprite(nullptr, nullptr), nullptr);
}

// The count of sprites made rises by one for each new sprite (cut, or copied into a new one),
// never for a copy into a sprite of its size, a refusal or a draw: a frame benchmark tells the
// frames that build content from those that only draw it by this count.
TEST_P(SpriteTest, SpritesMadeCountsEachNewSpriteAndNothingElse) {
  SprRec* s = Cut(0, 0, {0, 0, 16, 8});
  SprRec* same = Cut(0, 0, {20, 0, 36, 8});
  SprRec* small = Cut(0, 0, {0, 0, 4, 4});
  const struct {
    const char* what;
    std::function<void()> act;
    uint64_t made;
  } cases[] = {
      {"a cut", [&] { Cut(0, 0, {0, 0, 8, 8}); }, 1},
      {"a cut in video memory", [&] { spr().CreateSprite(0, 0, kSource, 0, 0, 8, 8, 1); }, 1},
      {"a cut from a surface pointer",
       [&] { spr().CreateSpriteSys(0, 0, ddraw().GetSurface(kSource), {0, 0, 2, 2}); }, 1},
      {"a copy into a sprite of another size", [&] { spr().CopySprite(s, small); }, 1},
      {"a copy into a sprite of its size", [&] { spr().CopySprite(s, same); }, 0},
      {"an empty rectangle", [&] { Cut(0, 0, {4, 4, 4, 8}); }, 0},
      {"a rectangle outside the source", [&] { Cut(0, 0, {0, 0, 4000, 8}); }, 0},
      {"no source surface", [&] { spr().CreateSpriteSys(0, 0, nullptr, {0, 0, 2, 2}); }, 0},
      {"a draw and a buffer entry",
       [&] {
         spr().PutSprite(s, 0, 0, kTarget, 0);
         SprBufferEntry* e = spr().SetBuffer(nullptr, s, 0, 0, kTarget, 0);
         spr().DeleteBuffer(&e);
       },
       0},
      {"a delete", [&] { spr().DeleteSprite(&small); }, 0},
  };
  for (const auto& c : cases) {
    const uint64_t before = spr().sprites_made();
    c.act();
    EXPECT_EQ(spr().sprites_made() - before, c.made) << c.what;
  }
}

struct WorkCopyCase {
  const char* name;
  BlendWord alpha;
  int scale_x, scale_y;  // percents of the drawing rectangle (100: the picture's own size)
  uint32_t blt_flags;
  const BltFx* fx;
  bool changes;  // the draw changes the picture (a blend of a picture with itself does not)
};

// A sprite drawn onto its own surface from a work copy (the working surface holds the picture)
// leaves what a draw from a sprite copy leaves, also where the translucent draw stretches
// through its cushion, which is that same working surface.
TEST_P(SpriteTest, ADrawFromAWorkCopyLeavesWhatADrawFromASpriteCopyLeaves) {
  static const WorkCopyCase kCases[] = {
      {"scaled copy at its own size (an alpha bake)", 0x20000 + 128, 100, 100, 0, nullptr, true},
      {"alpha blend at its own size", 100, 100, 100, 0, nullptr, false},
      {"add, shrunk through the cushion", 0x10000 + 64, 50, 75, 0, nullptr, true},
      {"scaled copy, mirrored through the cushion", 0x20000 + 200, 100, 100, kBltDdFx, &kMirrorX,
       true},
  };
  const Rect cut{7, 3, 47, 31};  // 40 x 28
  for (const WorkCopyCase& c : kCases) {
    SCOPED_TRACE(c.name);
    // The same draw from a sprite copy and from a work copy, each onto a sprite of its own.
    auto draw_onto_itself = [&](bool work_copy) {
      SprRec* s = Cut(60, 40, cut);
      spr().SetSpriteScale(s, c.scale_x, c.scale_y);
      spr().SetSpriteAlpha(s, c.alpha);
      SprRec work;
      SprRec* copy = nullptr;
      if (work_copy) {
        EXPECT_TRUE(spr().CopySpriteToWork(s, work));
        EXPECT_EQ(work.surface, ddraw().GetSurface(SURFACE_SCRATCH));
      } else {
        copy = spr().CopySprite(s, nullptr);
      }
      SprRec* from = work_copy ? &work : copy;
      EXPECT_NE(from, nullptr);
      if (from == nullptr) return testpix::Picture(1, 1, 0);
      EXPECT_EQ(from->rect.right - from->rect.left, s->rect.right - s->rect.left);
      EXPECT_EQ(spr().PutSpriteEx(from, -from->rect.left, -from->rect.top, s->surface, 1,
                                  c.blt_flags, c.fx, kOne, kOne, 0, nullptr, 0, 0,
                                  CDdrawSpr::kOpaque),
                1);
      testpix::Picture drawn = Grab(s->surface);
      spr().DeleteSprite(&copy);
      spr().DeleteSprite(&s);
      return drawn;
    };
    SprRec* original = Cut(60, 40, cut);
    const testpix::Picture before = Grab(original->surface);
    spr().DeleteSprite(&original);
    const testpix::Picture want = draw_onto_itself(false);
    const testpix::Picture got = draw_onto_itself(true);
    EXPECT_EQ(want.pixels != before.pixels, c.changes);
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    int wrong = 0;
    for (int y = 0; y < want.height; ++y) {
      for (int x = 0; x < want.width; ++x) wrong += got.at(x, y) != want.at(x, y) ? 1 : 0;
    }
    EXPECT_EQ(wrong, 0);
  }
}

TEST_P(SpriteTest, AWorkCopyIsRefusedForAPictureLargerThanTheWorkingSurface) {
  Surface* wide = ddraw().CreateSurface(700, 8);
  ASSERT_NE(wide, nullptr);
  SprRec* s = spr().CreateSpriteSys(0, 0, wide, {0, 0, 700, 8});
  ASSERT_NE(s, nullptr);
  SprRec work;
  work.x = 5;
  EXPECT_FALSE(spr().CopySpriteToWork(s, work));
  EXPECT_EQ(work.x, 5);  // untouched
  EXPECT_EQ(work.surface, nullptr);
  EXPECT_FALSE(spr().CopySpriteToWork(nullptr, work));
  // The whole screen's size still fits.
  SprRec* screen = Cut(0, 0, {0, 0, 640, 480});
  ASSERT_NE(screen, nullptr);
  EXPECT_TRUE(spr().CopySpriteToWork(screen, work));
  EXPECT_EQ(work.width, 640);
  EXPECT_EQ(work.surface->Row(479)[639], Src(639, 479));
  spr().DeleteSprite(&s);
  spr().DeleteSprite(&screen);
  ddraw().ReleaseSurface(wide);
}

// ---- The drawing rectangle ----

struct ScaleCase {
  const char* name;
  bool turn;  // SetSpriteTurn(a, b) instead of SetSpriteScale(a, b)
  int a, b;
  Rect want;
};

class SpriteScaleTest : public ::testing::TestWithParam<ScaleCase> {};

// A 40 x 30 sprite at home (100, 50).
TEST_P(SpriteScaleTest, TheRectangleShrinksAboutTheHomeRectanglesCentre) {
  const ScaleCase& c = GetParam();
  testsupport::TestEngine engine;
  auto& dd = engine.ctx().ddraw;
  auto& spr = engine.ctx().ddraw_spr;
  ASSERT_EQ(dd.InitDirectDraw(), 1);
  SprRec* s = spr.CreateSprite(100, 50, SURFACE_SCRATCH, 0, 0, 40, 30);
  ASSERT_NE(s, nullptr);
  spr.SetSpriteRect(s, 300, 300);  // the home position, not the current rectangle, is the base
  ASSERT_EQ(c.turn ? spr.SetSpriteTurn(s, c.a, c.b) : spr.SetSpriteScale(s, c.a, c.b), 1);
  EXPECT_EQ(s->rect.left, c.want.left);
  EXPECT_EQ(s->rect.top, c.want.top);
  EXPECT_EQ(s->rect.right, c.want.right);
  EXPECT_EQ(s->rect.bottom, c.want.bottom);
  spr.ResetSpriteRect(s);
  EXPECT_EQ(s->rect.left, 100);
  EXPECT_EQ(s->rect.bottom, 80);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpriteScaleTest,
    ::testing::Values(
        ScaleCase{"Full", false, 100, 100, {100, 50, 140, 80}},
        ScaleCase{"Half", false, 50, 50, {110, 57, 130, 72}},
        ScaleCase{"Third", false, 33, 10, {113, 63, 126, 66}},
        ScaleCase{"ZeroIsALine", false, 0, 0, {120, 65, 121, 66}},
        ScaleCase{"NegativeIsZeroAndLargerGrows", false, -5, 200, {120, 35, 121, 95}},
        ScaleCase{"TurnFirstAngleNarrowsTheHeight", true, 60, 0, {100, 57, 140, 72}},
        ScaleCase{"TurnSecondAngleNarrowsTheWidth", true, 0, 45, {106, 50, 134, 80}},
        ScaleCase{"TurnEdgeOnIsALine", true, 0, 90, {120, 50, 121, 80}},
        ScaleCase{"TurnPastEdgeOnIsALine", true, 120, 0, {100, 65, 140, 66}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Extents of the draw ----

struct ExtentCase {
  const char* name;
  int32_t zoom_x, zoom_y;
  int32_t center_x, center_y;
  int scale_x, scale_y;  // percents given to SetSpriteScale first
  Rect want;             // the drawn rectangle; empty: nothing drawn
};

class SpriteExtentTest : public SpriteTest {};

// A 20 x 10 sprite at home (0, 0) drawn at (100, 100).
TEST_P(SpriteExtentTest, ZoomedRectanglesAreRoundedOutwardAndStretched) {
  const ExtentCase cases[] = {
      {"One", kOne, kOne, 0, 0, 100, 100, {100, 100, 120, 110}},
      {"DoubleAboutTheCentre", 2 * kOne, 2 * kOne, 10, 5, 100, 100, {80, 90, 120, 110}},
      {"OneAndAHalfAboutTheCentre", 3 * kOne / 2, 3 * kOne / 2, 10, 5, 100, 100,
       {85, 92, 115, 108}},
      {"Half", kOne / 2, kOne / 2, 0, 0, 100, 100, {100, 100, 110, 105}},
      {"JustOverHalfRoundsOut", kOne / 2 + 1, kOne / 2 + 1, 0, 0, 100, 100, {100, 100, 111, 106}},
      {"ScaledToALine", kOne, kOne, 0, 0, 0, 100, {110, 100, 111, 110}},
      {"ZeroZoom", 0, 0, 0, 0, 100, 100, {}},
      {"ZeroHeight", kOne, 0, 0, 0, 100, 100, {}},
      {"ScaledToNothing", kOne, kOne, 0, 0, 4, 100, {}},
  };
  for (const ExtentCase& c : cases) {
    SCOPED_TRACE(c.name);
    Paint(kTarget, {0, 0, 640, 480}, background);
    SprRec* s = Cut(0, 0, {200, 100, 220, 110});
    ASSERT_NE(s, nullptr);
    spr().SetSpriteScale(s, c.scale_x, c.scale_y);
    testpix::Picture want = Grab(target());
    const Rect& d = c.want;
    DrawOpaque(want, d, Stretched(200, 100, 20, 10, d.right - d.left, d.bottom - d.top), 0);
    EXPECT_EQ(spr().PutSpriteEx(s, 100, 100, target(), 0, 0, nullptr, c.zoom_x, c.zoom_y, 0,
                                nullptr, c.center_x, c.center_y, 256),
              1);
    ExpectPicture(target(), want);
    spr().DeleteSprite(&s);
  }
}

TEST_P(SpriteExtentTest, NullSpritesAndMissingTargetsFailAndImmediateFormsDrawAtOnce) {
  EXPECT_EQ(spr().PutSpriteEx(nullptr, 0, 0, target(), 0, 0, nullptr, kOne, kOne, 0, nullptr, 0,
                              0, 256),
            0);
  SprRec* s = Cut(5, 6, {0, 0, 12, 9});
  EXPECT_EQ(spr().PutSpriteToSurface(s, 0, 0, nullptr, 0), 0);
  EXPECT_EQ(spr().PutSprite(s, 0, 0, 99, 0), 0);

  testpix::Picture want = Grab(target());
  DrawOpaque(want, {15, 26, 27, 35}, Stretched(0, 0, 12, 9, 12, 9), 0);
  DrawOpaque(want, {305, 206, 329, 224}, Stretched(0, 0, 12, 9, 24, 18), 0);
  EXPECT_EQ(spr().PutSprite(s, 10, 20, kTarget, 0), 1);
  EXPECT_EQ(spr().PutSpriteZoom(s, 300, 200, target(), 0, 2 * kOne, 2 * kOne), 1);
  ExpectPicture(target(), want);
}

INSTANTIATE_FOR_BOTH_LAYOUTS(SpriteExtentTest);

// ---- Opaque paths ----

TEST_P(SpriteTest, OpaqueDrawsHonourTheColourKeyAndMirrorThroughTheBlit) {
  // Key pixels in the source: a 4 x 4 block of the picture.
  Paint(kSource, {2, 2, 6, 6}, Key());
  SprRec* s = Cut(0, 0, {0, 0, 16, 12});
  testpix::Picture want = Grab(target());
  auto keyed = [&](int i, int j) { return i >= 2 && i < 6 && j >= 2 && j < 6 ? Key() : Src(i, j); };
  DrawOpaque(want, {50, 60, 66, 72}, keyed, 1);
  DrawOpaque(want, {100, 60, 116, 72}, keyed, 0);
  DrawOpaque(want, {150, 60, 166, 72},
             [&](int i, int j) { return keyed(15 - i, 11 - j); }, 1);
  EXPECT_EQ(spr().PutSpriteEx(s, 50, 60, target(), 1, 0, nullptr, kOne, kOne, 0, nullptr, 0, 0,
                              256),
            1);
  EXPECT_EQ(spr().PutSpriteEx(s, 100, 60, target(), 0, 0, nullptr, kOne, kOne, 0, nullptr, 0, 0,
                              256),
            1);
  EXPECT_EQ(spr().PutSpriteEx(s, 150, 60, target(), 1, kBltDdFx, &kMirrorXY, kOne, kOne, 0,
                              nullptr, 0, 0, 256),
            1);
  ExpectPicture(target(), want);
}

// With rotation or a four-corner block the draw is the display's transform draw, given the
// source, the destination rectangle and the four extents about the centre.
TEST_P(SpriteTest, RotatedOrFourCorneredDrawsGoThroughTheTransformDraw) {
  struct Case {
    const char* name;
    int32_t rotation;
    bool corners;
    int32_t zoom;
    int32_t cx, cy;
    uint32_t flags;
    const BltFx* fx;
    int color_key;
    Rect dest;
    int32_t left, right, top, bottom;
  };
  static const int32_t kCorners[4] = {kOne, kOne / 2, kOne, 2 * kOne};
  const Case cases[] = {
      {"Rotated", 201, false, kOne, 10, 8, 0, nullptr, 0, {190, 192, 210, 208}, -10, 10, -8, 8},
      {"RotatedZoomedMirroredKeyed", 402, false, 2 * kOne, 10, 8, kBltDdFx, &kMirrorX, 1,
       {180, 184, 220, 216}, -20, 20, -16, 16},
      {"FourCorners", 0, true, kOne, 0, 0, 0, nullptr, 0, {200, 200, 220, 216}, 0, 20, 0, 16},
  };
  Paint(kSource, {4, 4, 8, 8}, Key());
  SprRec* s = Cut(0, 0, {0, 0, 20, 16});
  Surface* reference = ddraw().GetSurface(SURFACE_FC);
  const Rect whole{0, 0, 20, 16};
  const testpix::Picture untouched = Grab(target());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Paint(kTarget, {0, 0, 640, 480}, background);
    Paint(SURFACE_FC, {0, 0, 640, 480}, background);
    const int32_t* corners = c.corners ? kCorners : nullptr;
    ASSERT_EQ(ddraw().PutTransform(s->surface, &whole, reference, &c.dest, c.color_key, c.flags,
                                   c.fx, c.rotation, corners, c.left, c.right, c.top, c.bottom),
              1);
    EXPECT_EQ(spr().PutSpriteEx(s, 200, 200, target(), c.color_key, c.flags, c.fx, c.zoom, c.zoom,
                                c.rotation, corners, c.cx, c.cy, 256),
              1);
    const testpix::Picture want = Grab(reference);
    EXPECT_GT(Changed(reference, untouched), 0);
    ExpectPicture(target(), want);
  }
}

// ---- Translucent paths ----

// Surface 12 is the cushion: a marker painted on it shows whether a draw went through it.
class TranslucentTest : public SpriteTest {
 protected:
  void SetUp() override {
    SpriteTest::SetUp();
    Paint(SURFACE_SCRATCH, {0, 0, 640, 480}, Pack(0x00FF00));
  }
  bool CushionUsed() { return Pixel(SURFACE_SCRATCH, 0, 0) != Pack(0x00FF00); }
};
INSTANTIATE_FOR_BOTH_LAYOUTS(TranslucentTest);

TEST_P(TranslucentTest, UnscaledUnmirroredDrawsBlendStraightFromTheSprite) {
  Paint(kSource, {3, 3, 7, 5}, Key());
  SprRec* s = Cut(10, 10, {0, 0, 24, 16});
  const auto picture = [&](int i, int j) {
    return i >= 3 && i < 7 && j >= 3 && j < 5 ? Key() : Src(i, j);
  };
  struct Case {
    BlendWord entry_alpha;
    BlendWord sprite_alpha;
    int color_key;
    BlendWord used;
  };
  const Case cases[] = {
      {100, 256, 1, 100},
      {0x10000 | 200, 256, 0, 0x10000 | 200},  // additive: the whole word goes to the blend
      {256, 64, 1, 64},                        // 256 takes the sprite's own alpha
      {256, 0x20000 | 256, 0, 0x20000 | 256},
  };
  int x = 0;
  const testpix::Picture untouched = Grab(target());
  testpix::Picture want = untouched;
  for (const Case& c : cases) {
    spr().SetSpriteAlpha(s, c.sprite_alpha);
    // Partly off the left edge: the blend is clipped as a blit is.
    const int at = -20 + x;
    DrawBlend(want, {at + 10, 40 + 10, at + 34, 40 + 26}, picture, c.color_key, c.used);
    EXPECT_EQ(spr().PutSpriteEx(s, at, 40, target(), c.color_key, 0, nullptr, kOne, kOne, 0,
                                nullptr, 0, 0, c.entry_alpha),
              1);
    x += 60;
  }
  ExpectPicture(target(), want);
  EXPECT_GT(Changed(target(), untouched), 0);
  EXPECT_FALSE(CushionUsed());
}

TEST_P(TranslucentTest, MirroredOrScaledDrawsGoThroughTheCushion) {
  Paint(kSource, {3, 3, 7, 5}, Key());
  SprRec* s = Cut(0, 0, {0, 0, 24, 16});
  const auto src = [&](int c, int r) {
    return c >= 3 && c < 7 && r >= 3 && r < 5 ? Key() : Src(c, r);
  };
  struct Case {
    const char* name;
    int32_t zoom;
    uint32_t flags;
    const BltFx* fx;
    int color_key;
    Rect dest;
  };
  const Case cases[] = {
      {"Mirrored", kOne, kBltDdFx, &kMirrorX, 1, {100, 100, 124, 116}},
      {"MirroredBothWays", kOne, kBltDdFx, &kMirrorXY, 0, {100, 100, 124, 116}},
      {"ScaledKeyed", 3 * kOne, 0, nullptr, 1, {100, 100, 172, 148}},
      {"ScaledMirrored", kOne * 3 / 2, kBltDdFx, &kMirrorX, 0, {100, 100, 136, 124}},
      // Shrunk: several source columns and rows per cushion pixel, with uneven steps.
      {"ShrunkMirroredBothWays", kOne * 2 / 3, kBltDdFx, &kMirrorXY, 1, {100, 100, 116, 111}},
      {"FlagsWithoutMirror", kOne, kBltWait, nullptr, 1, {100, 100, 124, 116}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Paint(kTarget, {0, 0, 640, 480}, background);
    Paint(SURFACE_SCRATCH, {0, 0, 640, 480}, Pack(0x00FF00));
    const bool mx = c.fx != nullptr && (c.fx->ddfx & kBltFxMirrorLeftRight) != 0;
    const bool my = c.fx != nullptr && (c.fx->ddfx & kBltFxMirrorUpDown) != 0;
    const int64_t dw = c.dest.right - c.dest.left;
    const int64_t dh = c.dest.bottom - c.dest.top;
    testpix::Picture want = Grab(target());
    DrawBlend(want, c.dest,
              [&](int i, int j) {
                int64_t col = i * 24 / dw;
                int64_t row = j * 16 / dh;
                if (mx) col = 23 - col;
                if (my) row = 15 - row;
                return src(static_cast<int>(col), static_cast<int>(row));
              },
              c.color_key, 100);
    EXPECT_EQ(spr().PutSpriteEx(s, 100, 100, target(), c.color_key, c.flags, c.fx, c.zoom, c.zoom,
                                0, nullptr, 0, 0, 100),
              1);
    ExpectPicture(target(), want);
    EXPECT_TRUE(CushionUsed());
  }
}

// A huge zoom stretches only what lands on the target: the pixels are those of the full
// stretch, and no surface larger than the screen is made.
TEST_P(TranslucentTest, HugeZoomsStretchOnlyTheVisiblePart) {
  SprRec* s = Cut(0, 0, {40, 30, 60, 40});
  const int made = display().surfaces_made;
  struct Case {
    const char* name;
    int32_t zoom;
    int x, y;
  };
  const Case cases[] = {
      {"CoversTheScreen", 64 * kOne, -300, -200},   // 1280 x 640 from (-300, -200)
      {"OffTheTopLeft", 40 * kOne, -500, -300},     // 800 x 400 from (-500, -300)
      {"Enormous", 30000 * kOne, -300000, -1000},   // 600000 x 300000
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Paint(kTarget, {0, 0, 640, 480}, background);
    const int64_t dw = int64_t{20} * (c.zoom / kOne);
    const int64_t dh = int64_t{10} * (c.zoom / kOne);
    const Rect d{c.x, c.y, static_cast<int32_t>(c.x + dw), static_cast<int32_t>(c.y + dh)};
    testpix::Picture want = Grab(target());
    DrawBlend(want, d, Stretched(40, 30, 20, 10, dw, dh), 0, 150);
    EXPECT_EQ(spr().PutSpriteEx(s, c.x, c.y, target(), 0, 0, nullptr, c.zoom, c.zoom, 0, nullptr,
                                0, 0, 150),
              1);
    ExpectPicture(target(), want);
  }
  EXPECT_EQ(display().surfaces_made, made);
}

TEST_P(TranslucentTest, AVisiblePartLargerThanTheCushionUsesATemporarySurface) {
  const UserSurface n = ddraw().CreateUserSurface(1000, 700);
  ASSERT_GE(n, 0);
  Surface* big = ddraw().GetUserSurface(n);
  Paint(big, {0, 0, 1000, 700}, background);
  SprRec* s = Cut(0, 0, {10, 10, 30, 25});
  const int made = display().surfaces_made;
  testpix::Picture want = Grab(big);
  const Rect d{-100, 50, -100 + 20 * 45, 50 + 15 * 45};  // 900 x 675, 800 x 650 on the target
  DrawBlend(want, d, Stretched(10, 10, 20, 15, 900, 675), 1, 0x10000 | 90);
  EXPECT_EQ(spr().PutSpriteEx(s, -100, 50, big, 1, 0, nullptr, 45 * kOne, 45 * kOne, 0, nullptr, 0,
                              0, 0x10000 | 90),
            1);
  ExpectPicture(big, want);
  EXPECT_EQ(display().surfaces_made, made + 1);
  EXPECT_FALSE(CushionUsed());
  // Drawing onto the cushion itself also takes a temporary instead of overwriting its target.
  Paint(SURFACE_SCRATCH, {0, 0, 640, 480}, background);
  testpix::Picture want12 = Grab(ddraw().GetSurface(SURFACE_SCRATCH));
  DrawBlend(want12, {0, 0, 40, 30}, Stretched(10, 10, 20, 15, 40, 30), 0, 100);
  EXPECT_EQ(spr().PutSpriteEx(s, 0, 0, ddraw().GetSurface(SURFACE_SCRATCH), 0, 0, nullptr,
                              2 * kOne, 2 * kOne, 0, nullptr, 0, 0, 100),
            1);
  ExpectPicture(ddraw().GetSurface(SURFACE_SCRATCH), want12);
  EXPECT_EQ(display().surfaces_made, made + 2);
}

TEST_P(TranslucentTest, RotationIsNotAppliedToTranslucentDraws) {
  SprRec* s = Cut(0, 0, {0, 0, 20, 16});
  testpix::Picture want = Grab(target());
  DrawBlend(want, {50, 50, 70, 66}, Stretched(0, 0, 20, 16, 20, 16), 0, 128);
  EXPECT_EQ(spr().PutSpriteEx(s, 50, 50, target(), 0, 0, nullptr, kOne, kOne, 300, nullptr, 0, 0,
                              128),
            1);
  ExpectPicture(target(), want);
}

}  // namespace
