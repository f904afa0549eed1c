// Display set-up, the surface table, user surfaces, colour matching and the restore of lost
// surfaces.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "display_test_support.h"
#include "engine/app/doors.h"
#include "testsupport/trace_capture.h"

namespace {

using display_test::DisplayTest;
using platform::PixelLayout;
using platform::Surface;
using Step = platform::headless::HeadlessDisplay::Step;

class SurfaceTableTest : public DisplayTest {};
INSTANTIATE_FOR_BOTH_LAYOUTS(SurfaceTableTest);

TEST_P(SurfaceTableTest, IdsOneToThirteenExistWithTheirSizesMemoryAndClears) {
  auto& dd = ddraw();
  EXPECT_EQ(dd.IsFullScreen(), 1);
  EXPECT_EQ(dd.GetDirectDraw(), &display());
  for (SurfaceId id = 1; id <= 13; ++id) {
    SCOPED_TRACE(id);
    Surface* s = dd.GetSurface(id);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->width(), 640);
    EXPECT_EQ(s->height(), 480);
    EXPECT_EQ(s->layout(), GetParam());
    EXPECT_GT(s->pitch(), 640 * 2);  // the test display pads every row
    EXPECT_EQ(dd.GetSurfaceNo(s), id);
    EXPECT_EQ(dd.GetSurfaceDesc(s), static_cast<uint32_t>(480 * s->pitch()));
    // Only the flip chain lives in video memory.
    EXPECT_EQ(dd.GetSurfaceCaps(s) != 0, id == 1 || id == 3);
  }
  for (SurfaceId id : {0, 14, 15, 99, -1}) EXPECT_EQ(dd.GetSurface(id), nullptr) << id;

  // The clears of the set-up: 2, 4, 12, 13 black; 5-11 transparent.
  for (SurfaceId id : {2, 4, 12, 13}) EXPECT_EQ(Pixel(id, 639, 479), 0) << id;
  for (SurfaceId id = 5; id <= 11; ++id) EXPECT_EQ(Pixel(id, 639, 479), Key()) << id;
}

TEST_P(SurfaceTableTest, IdTwoResolvesToTheFlipBufferExactlyWhileTheFlipModeIsNonzero) {
  auto& dd = ddraw();
  Surface* back = dd.GetSurface(2);
  Surface* flip = dd.GetSurface(3);
  ASSERT_NE(back, flip);
  struct Case {
    int mode;
    Surface* expected;
  };
  for (Case c : {Case{1, flip}, Case{0, back}, Case{2, flip}, Case{-1, flip}, Case{0, back}}) {
    dd.SetFlipMode(c.mode);
    EXPECT_EQ(dd.GetSurface(2), c.expected) << c.mode;
    // The flip buffer keeps its own number whatever id 2 stands for.
    EXPECT_EQ(dd.GetSurfaceNo(flip), 3);
  }
  dd.SetFlipDirect();
  EXPECT_EQ(dd.GetFlipMode(), 1);
  dd.SetFlipOneCussion();
  EXPECT_EQ(dd.GetFlipMode(), 0);

  UserSurface n = dd.CreateUserSurface(32, 32);
  ASSERT_GE(n, 0);
  EXPECT_EQ(dd.GetSurfaceNo(dd.GetUserSurface(n)), 0);
  EXPECT_EQ(dd.GetSurfaceNo(nullptr), 0);
}

// ---- Colours ----

struct ColorCase {
  PixelLayout layout;
  uint32_t key, red, green, blue;
};

class ColorMatchTest : public ::testing::TestWithParam<ColorCase> {};

TEST_P(ColorMatchTest, MatchesTheKeyAndPrimariesByTruncationAndTurnsBackByReplication) {
  const ColorCase& c = GetParam();
  testsupport::TestEngine engine;
  testsupport::TraceCapture trace;
  display_test::SelectLayout(engine, c.layout);
  auto& dd = engine.ctx().ddraw;
  ASSERT_EQ(dd.InitDirectDraw(), 1);
  EXPECT_EQ(dd.GetColorKey(), c.key);
  EXPECT_EQ(dd.GetPrimaryColor(0), c.red);
  EXPECT_EQ(dd.GetPrimaryColor(1), c.green);
  EXPECT_EQ(dd.GetPrimaryColor(2), c.blue);
  EXPECT_EQ(dd.MatchedLayout(), c.layout);
  EXPECT_EQ(dd.ColorMatch(5, 0x00FFFF00), c.key);
  // Low bits are dropped, not rounded.
  EXPECT_EQ(dd.ColorMatch(12, 0x070307), 0u);
  EXPECT_EQ(platform::UnpackToColorRef(static_cast<uint16_t>(c.key), c.layout), 0xFFFF00u);
  EXPECT_EQ(platform::UnpackToColorRef(static_cast<uint16_t>(c.red), c.layout), 0x0000FFu);
  char expected[32];
  std::snprintf(expected, sizeof expected, "dwColorKey = %x\n", c.key);
  EXPECT_TRUE(trace.Contains(expected));

  // No surface, or one that cannot be locked: the failure value.
  EXPECT_EQ(dd.ColorMatch(0, 0xFFFFFF), 0xFFFFFFFFu);
  dd.GetSurface(12)->SetRestoreFails(true);
  dd.GetSurface(12)->SetLost(true);
  EXPECT_EQ(dd.ColorMatch(12, 0xFFFFFF), 0xFFFFFFFFu);
}

INSTANTIATE_TEST_SUITE_P(Layouts, ColorMatchTest,
                         ::testing::Values(ColorCase{PixelLayout::kRgb565, 0x07FF, 0xF800, 0x07E0,
                                                     0x001F},
                                           ColorCase{PixelLayout::kRgb555, 0x03FF, 0x7C00, 0x03E0,
                                                     0x001F}),
                         [](const auto& info) {
                           return info.param.layout == PixelLayout::kRgb565 ? "Rgb565" : "Rgb555";
                         });

// ---- User surfaces ----

class UserSurfaceTest : public DisplayTest {};
INSTANTIATE_FOR_BOTH_LAYOUTS(UserSurfaceTest);

TEST_P(UserSurfaceTest, NumbersAreTheLowestFreeAndTheTableHoldsOneThousandTwentyFour) {
  auto& dd = ddraw();
  for (int n = 0; n < 1024; ++n) ASSERT_EQ(dd.CreateUserSurface(2, 2), n);
  EXPECT_EQ(dd.CreateUserSurface(2, 2), -1);
  EXPECT_EQ(DeleteUserSurface(700), 1);
  EXPECT_EQ(dd.GetUserSurface(700), nullptr);
  EXPECT_EQ(DeleteUserSurface(700), 1);  // freeing a free number changes nothing
  EXPECT_EQ(DeleteUserSurface(5), 1);
  EXPECT_EQ(CreateUserSurface(4, 4), 5);
  EXPECT_EQ(dd.GetUserSurface(5)->width(), 4);
  EXPECT_EQ(dd.CreateUserSurfaceEx(4, 4, 1), 700);
}

TEST_P(UserSurfaceTest, MemoryKindsAndFailedCreationsLeaveTheSlotFree) {
  auto& dd = ddraw();
  UserSurface sys = dd.CreateUserSurfaceEx(8, 8, 0);
  UserSurface vid = dd.CreateUserSurfaceEx(8, 8, 1);
  EXPECT_EQ(dd.GetSurfaceCaps(dd.GetUserSurface(sys)), 0u);
  EXPECT_EQ(dd.GetSurfaceCaps(dd.GetUserSurface(vid)), kSurfaceCapsVideoMemory);
  display().video_memory_fails = true;  // video memory gone: system memory instead
  UserSurface fallback = dd.CreateUserSurfaceEx(8, 8, 1);
  ASSERT_GE(fallback, 0);
  EXPECT_EQ(dd.GetSurfaceCaps(dd.GetUserSurface(fallback)), 0u);

  testsupport::TraceCapture trace;
  EXPECT_EQ(dd.CreateUserSurfaceEx(8, 8, 2), -1);
  EXPECT_EQ(dd.CreateUserSurfaceEx(8, 8, -1), -1);
  EXPECT_EQ(dd.CreateUserSurface(0, 8), -1);
  EXPECT_TRUE(trace.Contains("CDdrawFunc::CreateSurface Failed\n"));
  EXPECT_EQ(dd.CreateUserSurface(8, 8), 3);  // the failures took no number
}

// The count of user surfaces made rises by one for each surface made (a work surface, a
// layer's larger stand-in), never for a refusal or a delete: a frame benchmark tells the frames
// that build content from those that only draw it by this count.
TEST_P(UserSurfaceTest, UserSurfacesMadeCountsEachSurfaceMadeAndNoRefusal) {
  auto& dd = ddraw();
  UserSurface kept = -1;
  const struct {
    const char* what;
    std::function<void()> act;
    uint64_t made;
  } cases[] = {
      {"a system-memory surface", [&] { kept = dd.CreateUserSurface(8, 8); }, 1},
      {"a video-memory surface", [&] { dd.CreateUserSurfaceEx(8, 8, 1); }, 1},
      {"a layer's larger stand-in", [&] { dd.ResizeSurface(SURFACE_BG, 0, 800, 600); }, 1},
      {"a stand-in made anew", [&] { dd.ResizeSurface(SURFACE_BG, 0, 900, 600); }, 1},
      {"an unknown memory kind", [&] { dd.CreateUserSurfaceEx(8, 8, 2); }, 0},
      {"an empty size", [&] { dd.CreateUserSurface(0, 8); }, 0},
      {"a resize of a surface that is no layer",
       [&] { dd.ResizeSurface(SURFACE_SCRATCH, 0, 800, 600); }, 0},
      {"a delete", [&] { DeleteUserSurface(kept); }, 0},
  };
  for (const auto& c : cases) {
    const uint64_t before = dd.user_surfaces_made();
    c.act();
    EXPECT_EQ(dd.user_surfaces_made() - before, c.made) << c.what;
  }
}

TEST_P(UserSurfaceTest, NumbersOutsideTheTableAreRefused) {
  auto& dd = ddraw();
  for (UserSurface n : {-1, 1024, -1000, 1 << 30}) {
    SCOPED_TRACE(n);
    EXPECT_EQ(dd.GetUserSurface(n), nullptr);
    EXPECT_EQ(DeleteUserSurface(n), 0);
    EXPECT_EQ(dd.AttachUserSurface(5, n), 0);
  }
  EXPECT_NE(dd.GetSurface(5), nullptr);
}

TEST_P(UserSurfaceTest, AttachExchangesWithALayerAndASecondAttachExchangesBack) {
  auto& dd = ddraw();
  UserSurface n = dd.CreateUserSurface(700, 500);
  Surface* user = dd.GetUserSurface(n);
  Surface* layer = dd.GetSurface(5);

  for (SurfaceId id : {1, 2, 3, 9, 10, 13, 14, 0}) EXPECT_EQ(dd.AttachUserSurface(id, n), 0) << id;
  EXPECT_EQ(dd.AttachUserSurface(5, 3), 0);  // empty user slot
  EXPECT_EQ(dd.GetSurface(5), layer);

  ASSERT_EQ(dd.AttachUserSurface(5, n), 1);
  EXPECT_EQ(dd.GetSurface(5), user);
  EXPECT_EQ(dd.GetUserSurface(n), layer);
  EXPECT_EQ(dd.GetSurfaceNo(user), 5);
  ASSERT_EQ(dd.AttachUserSurface(5, n), 1);
  EXPECT_EQ(dd.GetSurface(5), layer);
  EXPECT_EQ(dd.GetUserSurface(n), user);
}

// ---- Set-up failures and release ----

struct FailCase {
  const char* name;
  Step step;
  int surface_index;  // for kSurface
};

class InitFailureTest : public ::testing::TestWithParam<FailCase> {};

TEST_P(InitFailureTest, ShowsTheErrorBoxReturnsZeroAndReleasesSafely) {
  const FailCase& c = GetParam();
  testsupport::TestEngine engine;
  auto& display = engine.host.display;
  display.fail_step = c.step;
  display.fail_surface_index = c.surface_index;
  auto& dd = engine.ctx().ddraw;
  int sprites_deleted = 0;
  dd.hooks().delete_all_sprites = [&] { ++sprites_deleted; };

  EXPECT_EQ(dd.InitDirectDraw(), 0);
  const auto& boxes = engine.host.window.boxes;
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].owned);
  EXPECT_EQ(boxes[0].caption, "ERROR");
  EXPECT_EQ(boxes[0].text, "DirectX 的初始化失敗了。\n結束程式。");

  dd.ReleaseDirectDraw();
  dd.ReleaseDirectDraw();
  EXPECT_FALSE(display.open);
  EXPECT_FALSE(display.mode_set);
  EXPECT_EQ(sprites_deleted, c.step == Step::kOpen ? 0 : 1);
  for (SurfaceId id = 1; id <= 13; ++id) EXPECT_EQ(dd.GetSurface(id), nullptr) << id;
  EXPECT_EQ(dd.GetDirectDraw(), nullptr);
  EXPECT_EQ(boxes.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, InitFailureTest,
    ::testing::Values(FailCase{"Open", Step::kOpen, 0}, FailCase{"Exclusive", Step::kExclusive, 0},
                      FailCase{"Mode", Step::kMode, 0}, FailCase{"Primary", Step::kPrimary, 0},
                      FailCase{"FlipBuffer", Step::kFlipBuffer, 0},
                      FailCase{"BackBuffer", Step::kSurface, 0},
                      FailCase{"Layer4", Step::kSurface, 4},
                      FailCase{"Debug2", Step::kSurface, 10},
                      FailCase{"Clipper", Step::kClipper, 0},
                      FailCase{"ShowDesktop", Step::kShowDesktop, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InitWithoutDisplay, FailsWithTheBox) {
  platform::headless::HeadlessPlatform host;
  host.seams().display = nullptr;
  EngineContext context(host.seams());
  ContextScope scope(context);
  EXPECT_EQ(context.ddraw.InitDirectDraw(), 0);
  EXPECT_EQ(host.window.boxes.size(), 1u);
  context.ddraw.ReleaseDirectDraw();
}

TEST_P(SurfaceTableTest, ReleaseGivesEverythingBackOnceAndSetUpPresentsAtBothEnds) {
  auto& dd = ddraw();
  int sprites_deleted = 0;
  dd.hooks().delete_all_sprites = [&] {
    ++sprites_deleted;
    EXPECT_NE(dd.GetSurface(2), nullptr);  // sprites go while the surfaces still exist
  };
  UserSurface n = dd.CreateUserSurface(16, 16);
  EXPECT_EQ(display().frames_presented, 1);  // the set-up's desktop flip
  const int desktop = display().show_desktop_calls;

  dd.ReleaseDirectDraw();
  EXPECT_EQ(sprites_deleted, 1);
  EXPECT_EQ(display().frames_presented, 2);
  EXPECT_EQ(display().show_desktop_calls, desktop + 1);
  EXPECT_FALSE(display().open);
  EXPECT_EQ(dd.GetUserSurface(n), nullptr);
  for (SurfaceId id = 1; id <= 13; ++id) EXPECT_EQ(dd.GetSurface(id), nullptr);

  dd.ReleaseDirectDraw();
  EXPECT_EQ(sprites_deleted, 1);
  EXPECT_EQ(display().frames_presented, 2);
}

// ---- Restore ----

class RestoreTest : public DisplayTest {
 protected:
  void PaintAll() {
    for (SurfaceId id : {2, 10, 11, 12, 13}) Paint(id, {0, 0, 640, 480}, 0x1234);
  }
};
INSTANTIATE_FOR_BOTH_LAYOUTS(RestoreTest);

TEST_P(RestoreTest, RestoresPrimaryAndTheFourWorkSurfacesWithTheirClears) {
  auto& dd = ddraw();
  int redraws = 0;
  dd.hooks().redraw_text = [&] { ++redraws; };
  PaintAll();
  Paint(5, {0, 0, 640, 480}, 0x1234);
  for (SurfaceId id : {1, 10, 11, 12, 13}) dd.GetSurface(id)->SetLost(true);
  EXPECT_TRUE(dd.GetSurface(3)->IsLost());  // the flip buffer goes with the primary

  ASSERT_EQ(dd.RestoreAllSurfaces(), 1);
  for (SurfaceId id = 1; id <= 13; ++id) EXPECT_FALSE(dd.GetSurface(id)->IsLost()) << id;
  EXPECT_EQ(Pixel(2, 100, 100), 0);  // the primary's case clears the back buffer to black
  EXPECT_EQ(Pixel(10, 100, 100), Key());
  EXPECT_EQ(Pixel(11, 100, 100), Key());
  EXPECT_EQ(Pixel(12, 100, 100), 0);
  EXPECT_EQ(Pixel(13, 100, 100), 0);
  EXPECT_EQ(Pixel(5, 100, 100), 0x1234);  // layers are not touched
  EXPECT_EQ(redraws, 1);
}

TEST_P(RestoreTest, AFailedRestoreReturnsZeroAtOnce) {
  auto& dd = ddraw();
  int redraws = 0;
  dd.hooks().redraw_text = [&] { ++redraws; };
  PaintAll();
  for (SurfaceId id : {10, 11, 12, 13}) dd.GetSurface(id)->SetLost(true);
  dd.GetSurface(11)->SetRestoreFails(true);

  EXPECT_EQ(dd.RestoreAllSurfaces(), 0);
  // Checked in order primary, 10, 11, 12, 13: 10 came back and was cleared, 11 failed, and the
  // ones after it were not tried.
  EXPECT_FALSE(dd.GetSurface(10)->IsLost());
  EXPECT_EQ(Pixel(10, 0, 0), Key());
  EXPECT_TRUE(dd.GetSurface(11)->IsLost());
  EXPECT_TRUE(dd.GetSurface(12)->IsLost());
  EXPECT_TRUE(dd.GetSurface(13)->IsLost());
  EXPECT_EQ(Pixel(2, 0, 0), 0x1234);  // primary was not lost: back buffer kept
  EXPECT_EQ(redraws, 0);
}

TEST_P(SurfaceTableTest, LockSurfaceHandsOutPointerAndPitch) {
  auto& dd = ddraw();
  Surface* s = dd.GetSurface(12);
  SurfaceDesc desc;
  ASSERT_EQ(dd.LockSurface(s, &desc), 1);
  EXPECT_EQ(desc.pitch, s->pitch());
  EXPECT_EQ(desc.width, 640);
  reinterpret_cast<uint16_t*>(desc.bits + 3 * desc.pitch)[7] = 0x4321;
  s->Unlock();
  EXPECT_EQ(Pixel(12, 7, 3), 0x4321);
  EXPECT_EQ(dd.LockSurface(nullptr, &desc), 0);
  s->SetLost(true);
  EXPECT_EQ(dd.LockSurface(s, &desc), 0);
}

TEST_P(SurfaceTableTest, ReleasedSurfacesAreForgottenAndUnknownOnesIgnored) {
  auto& dd = ddraw();
  Surface* s = dd.CreateSurface(10, 10);
  ASSERT_NE(s, nullptr);
  dd.ReleaseSurface(s);
  dd.ReleaseSurface(s);  // already gone: nothing happens
  dd.ReleaseSurface(nullptr);
  Surface* v = dd.CreateSurfaceVideo(10, 10);
  EXPECT_EQ(dd.GetSurfaceCaps(v), kSurfaceCapsVideoMemory);
}

}  // namespace
