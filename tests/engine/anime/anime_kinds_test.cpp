// The animation kinds that move things or change the whole picture: sprite rectangle, layer
// scroll, point move, screen fade and wave raster.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "anime_test_support.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

using anime_test::AnimeTest;
using anime_test::CallbackLog;
using anime_test::LogCallback;

// ---- Sprite rectangle ----

class SpriteAnimeTest : public AnimeTest {
 protected:
  void SetUp() override {
    AnimeTest::SetUp();
    sprite = spr().CreateSprite(0, 0, SURFACE_ROOT, 0, 0, 40, 20);
    ASSERT_NE(sprite, nullptr);
  }
  CDdrawSpr& spr() { return engine.ctx().ddraw_spr; }
  void ClearUpdates() { ASSERT_EQ(ddraw().ShowWindow(), 1); }

  SprRec* sprite = nullptr;
};

TEST_F(SpriteAnimeTest, MovesByItsStepsPerIntervalAndEndsAtTheTargets) {
  AnimeHandle move = anime().CreateSpriteAnime(sprite, 0, 100, 10, 0, 50, 5, 0, 10);
  anime().SetCallback(move, LogCallback, 3);
  Frame(16);  // the start values
  EXPECT_EQ(sprite->rect.left, 0);
  Frame(50);  // half the way
  EXPECT_EQ(sprite->rect.left, 50);
  EXPECT_EQ(sprite->rect.top, 25);
  EXPECT_EQ(sprite->rect.right, 90);
  Frame(49);  // four more steps; the 9 ms left over are dropped
  EXPECT_EQ(sprite->rect.left, 90);
  Frame(9);
  EXPECT_EQ(sprite->rect.left, 90);
  ClearUpdates();
  Frame(10);  // the targets: the last value asks for a compose too
  EXPECT_EQ(sprite->rect.left, 100);
  EXPECT_EQ(sprite->rect.top, 50);
  EXPECT_NE(ddraw().IsUpdate(SURFACE_ALL_LAYERS), 0u);
  Frames(2, 16);
  EXPECT_EQ(CallbackLog(), std::vector<uintptr_t>{3});
  EXPECT_EQ(anime().IsAnime(move), 0);
}

TEST_F(SpriteAnimeTest, EachModeEndsAsItsSpriteCallWithTheTargetsAndIntervalZeroJumps) {
  struct Case {
    int mode;
    int a0, a1, step_a, b0, b1, step_b;
    uint32_t interval;
  };
  const Case cases[] = {
      {0, 10, -30, 7, 5, 5, 1, 16},  // a moves down, b is already there
      {1, 100, 0, 12, 100, 300, 12, 33},
      {2, 0, 90, 11, 0, 45, 11, 16},
      {0, 0, 640, 1, 0, 480, 1, 0},  // interval 0: the targets at the first play step
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    SprRec* twin = spr().CreateSprite(0, 0, SURFACE_ROOT, 0, 0, 40, 20);
    const int set = c.mode == 0   ? spr().SetSpriteRect(twin, c.a1, c.b1)
                    : c.mode == 1 ? spr().SetSpriteScale(twin, c.a1, c.b1)
                                  : spr().SetSpriteTurn(twin, c.a1, c.b1);
    ASSERT_EQ(set, 1);
    AnimeHandle anim = anime().CreateSpriteAnime(sprite, c.a0, c.a1, c.step_a, c.b0, c.b1,
                                               c.step_b, c.mode, c.interval);
    ASSERT_EQ(anime().SetAutoClear(&anim), 1);
    Frame(16);
    Frame(c.interval == 0 ? 1 : 10000);
    Frames(2, 16);
    EXPECT_EQ(anim, nullptr);
    EXPECT_EQ(sprite->rect.left, twin->rect.left);
    EXPECT_EQ(sprite->rect.top, twin->rect.top);
    EXPECT_EQ(sprite->rect.right, twin->rect.right);
    EXPECT_EQ(sprite->rect.bottom, twin->rect.bottom);
    spr().DeleteSprite(&twin);
  }
}

TEST_F(SpriteAnimeTest, AFailedApplyEndsTheAnimation) {
  // An unknown mode fails at the start and changes nothing.
  const Rect before = sprite->rect;
  AnimeHandle unknown = anime().CreateSpriteAnime(sprite, 5, 9, 1, 5, 9, 1, 3, 10);
  ASSERT_EQ(anime().SetAutoClear(&unknown), 1);
  Frames(3, 16);
  EXPECT_EQ(unknown, nullptr);
  EXPECT_EQ(sprite->rect.left, before.left);

  // The sprite deleted under a running animation: the next step ends it without touching it.
  AnimeHandle move = anime().CreateSpriteAnime(sprite, 0, 100, 1, 0, 100, 1, 0, 10);
  ASSERT_EQ(anime().SetAutoClear(&move), 1);
  Frames(2, 16);
  spr().DeleteSprite(&sprite);
  Frames(3, 16);
  EXPECT_EQ(move, nullptr);
}

// ---- Layer scroll ----

class ScrollTest : public AnimeTest {
 protected:
  void SetUp() override {
    AnimeTest::SetUp();
    ASSERT_EQ(ddraw().ResizeSurface(SURFACE_BG, 1, 1024, 1024), 1);
  }
  std::pair<int, int> Scroll() {
    int x = 0;
    int y = 0;
    ddraw().GetLayerScroll(SURFACE_BG, &x, &y);
    return {x, y};
  }
};

TEST_F(ScrollTest, AMoveNeedsStrictlyMoreThanTheIntervalLeft) {
  AnimeHandle scroll = anime().CreateLayerScroll(SURFACE_BG, 3, 2, 100, 100);
  ASSERT_NE(scroll, nullptr);
  Frame(16);
  struct Step {
    uint32_t ms;
    std::pair<int, int> at;
  };
  for (const Step& s : {Step{350, {9, 6}}, Step{50, {9, 6}}, Step{1, {12, 8}}, Step{99, {12, 8}},
                        Step{1, {15, 10}}}) {
    Frame(s.ms);
    EXPECT_EQ(Scroll(), s.at) << "after " << s.ms << " ms";
  }
  EXPECT_EQ(anime().CreateLayerScroll(SURFACE_XFADE, 1, 1, 10, 10), nullptr);
}

TEST_F(ScrollTest, SkipKeyCountsAndMovesFourfoldAndTheScrollEndsAfterItsMoves) {
  AnimeHandle scroll = anime().CreateLayerScroll(SURFACE_BG, 3, 2, 100, 10);
  ASSERT_EQ(anime().SetAutoClear(&scroll), 1);
  driver.HoldSkip(true);
  Frame(16);
  Frame(350);  // three moves of four: 12 >= 10 ends it at the third
  EXPECT_EQ(Scroll(), (std::pair{36, 24}));
  Frame(1000);
  EXPECT_EQ(Scroll(), (std::pair{36, 24}));
  EXPECT_NE(scroll, nullptr);
  Frame(16);
  EXPECT_EQ(scroll, nullptr);
  driver.HoldSkip(false);
}

TEST_F(ScrollTest, WrapAndPrecision) {
  AnimeHandle wrap = anime().CreateLayerScroll(SURFACE_BG, 15, 0, 100, 100);
  ASSERT_EQ(anime().SetScrollWrap(wrap, 40, 0), 1);
  Frame(16);
  for (int expected : {15, 30, 5, 20, 35, 10}) {
    Frame(101);
    EXPECT_EQ(Scroll().first, expected);
  }
  anime().Delete(wrap);

  // Quarter pixels across, half pixels down, from the layer's current position.
  ASSERT_EQ(ddraw().SetLayerScroll(SURFACE_BG, 8, 6), 1);
  AnimeHandle fine = anime().CreateLayerScroll(SURFACE_BG, 1, 3, 100, 100);
  ASSERT_EQ(anime().SetScrollPrecision(fine, 4, 2), 1);
  ASSERT_EQ(anime().SetScrollPrecision(fine, 0, -1), 1);  // ignored
  Frame(16);
  const std::pair<int, int> expected[] = {{8, 7}, {8, 9}, {8, 10}, {9, 12}, {9, 13}};
  for (const auto& at : expected) {
    Frame(101);
    EXPECT_EQ(Scroll(), at);
  }
}

// ---- Point move ----

struct Motion {
  AnimePoint point, velocity;
  std::optional<AnimePoint> acceleration;
  std::optional<AnimePoint> low_point, high_point, low_velocity, high_velocity;
};

// Where the motion is after f frames from its start (the definition the list follows).
Motion After(Motion m, uint32_t f) {
  auto clamp = [](AnimePoint& p, const std::optional<AnimePoint>& lo,
                  const std::optional<AnimePoint>& hi) {
    if (lo) p = {std::max(p.x, lo->x), std::max(p.y, lo->y)};
    if (hi) p = {std::min(p.x, hi->x), std::min(p.y, hi->y)};
  };
  for (uint32_t i = 0; i < f; ++i) {
    m.point.x += m.velocity.x;
    m.point.y += m.velocity.y;
    if (m.acceleration) {
      m.velocity.x += m.acceleration->x;
      m.velocity.y += m.acceleration->y;
      clamp(m.velocity, m.low_velocity, m.high_velocity);
    }
    clamp(m.point, m.low_point, m.high_point);
  }
  return m;
}

AnimePoint* Ptr(std::optional<AnimePoint>& p) { return p ? &*p : nullptr; }

TEST_F(AnimeTest, PointMoveFollowsTheElapsedTimeAcrossSkippedFrames) {
  AnimePoint point{0, 0};
  AnimePoint velocity{2, 3};
  const AnimePoint acceleration{0, 1};
  ASSERT_NE(anime().CreatePointMove(&point, &velocity, &acceleration, 0), nullptr);
  Frame(16);
  Frame(1000);  // 60 frames in one step
  EXPECT_EQ(point.x, 120);
  EXPECT_EQ(point.y, 3 * 60 + 59 * 60 / 2);
  EXPECT_EQ(velocity.y, 63);
  Frame(500);
  EXPECT_EQ(point.y, 3 * 90 + 89 * 90 / 2);
  EXPECT_EQ(velocity.y, 93);
  Frame(3'600'000);  // an hour later it still runs
  EXPECT_EQ(point.x, 2 * (90 + 216000));

  EXPECT_EQ(anime().CreatePointMove(nullptr, &velocity, nullptr, 0), nullptr);
  EXPECT_EQ(anime().CreatePointMove(&point, nullptr, nullptr, 0), nullptr);
}

TEST_F(AnimeTest, PointMoveStepsEqualTheMotionFromItsStartWhateverChangesOnTheWay) {
  struct Case {
    const char* name;
    Motion start;
    // Changed after the third frame: the acceleration, or limits given with one end only.
    std::optional<AnimePoint> new_acceleration;
    bool limit_point_low;
    bool limit_velocity_high;
  };
  const Case cases[] = {
      {"constant velocity", {{5, -5}, {3, -1}, std::nullopt, {}, {}, {}, {}}, {}, false, false},
      {"acceleration held between limits",
       {{0, 0}, {-7, 2}, AnimePoint{1, 1}, {}, {}, AnimePoint{0, 0}, AnimePoint{12, 6}},
       {},
       false,
       false},
      {"acceleration changed on the way",
       {{0, 0}, {1, 1}, AnimePoint{2, 0}, {}, {}, {}, {}},
       AnimePoint{-1, 3},
       false,
       false},
      {"lowest point only, set on the way",
       {{100, 100}, {-9, -4}, std::nullopt, {}, {}, {}, {}},
       {},
       true,
       false},
      {"highest velocity only, set on the way",
       {{0, 0}, {0, 0}, AnimePoint{3, 2}, {}, {}, {}, {}},
       {},
       false,
       true},
  };
  const uint32_t frame_times[] = {16, 17, 17, 33, 16, 100, 17, 250, 16, 1000, 17};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Motion m = c.start;
    AnimePoint point = m.point;
    AnimePoint velocity = m.velocity;
    AnimePoint acceleration = m.acceleration.value_or(AnimePoint{});
    AnimeHandle move = anime().CreatePointMove(&point, &velocity,
                                             m.acceleration ? &acceleration : nullptr, 0);
    anime().SetMoveCtrl(move, Ptr(m.low_point), Ptr(m.high_point));
    anime().SetMoveCtrl2(move, Ptr(m.low_velocity), Ptr(m.high_velocity));
    Frame(16);
    const uint32_t start = driver.Now();
    int n = 0;
    for (uint32_t ms : frame_times) {
      if (++n == 4) {
        if (c.new_acceleration) acceleration = *m.acceleration = *c.new_acceleration;
        if (c.limit_point_low) m.low_point = AnimePoint{50, 80};
        if (c.limit_velocity_high) m.high_velocity = AnimePoint{4, 100};
        anime().SetMoveCtrl(move, Ptr(m.low_point), nullptr);
        anime().SetMoveCtrl2(move, Ptr(m.low_velocity), Ptr(m.high_velocity));
      }
      Frame(ms);
      const Motion expected = After(m, (driver.Now() - start) * 60 / 1000);
      ASSERT_EQ(point.x, expected.point.x) << "frame " << n;
      ASSERT_EQ(point.y, expected.point.y) << "frame " << n;
      ASSERT_EQ(velocity.x, expected.velocity.x) << "frame " << n;
      ASSERT_EQ(velocity.y, expected.velocity.y) << "frame " << n;
    }
    anime().Delete(move);
  }
}

TEST_F(AnimeTest, PointMoveWithAFrameCountEndsKeepingItsLastValues) {
  AnimePoint point{0, 0};
  AnimePoint velocity{1, 2};
  AnimeHandle move = anime().CreatePointMove(&point, &velocity, nullptr, 30);
  ASSERT_EQ(anime().SetAutoClear(&move), 1);
  Frame(16);
  Frame(400);  // 24 frames
  EXPECT_EQ(point.x, 24);
  Frame(200);  // 36 frames: past the end, nothing more is written
  EXPECT_EQ(point.x, 24);
  EXPECT_EQ(point.y, 48);
  Frames(2, 16);
  EXPECT_EQ(move, nullptr);
}

// ---- Screen fade ----

TEST_F(AnimeTest, FadeOfZeroFramesSetsTheLevelAtOnce) {
  ASSERT_EQ(ddraw().ShowWindow(), 1);
  EXPECT_EQ(anime().CreateFade(0, 200, 0, 1), nullptr);
  EXPECT_EQ(ddraw().GetFadeLevel(), 200);
  EXPECT_EQ(ddraw().GetFadeType(), 1);
  EXPECT_NE(ddraw().IsUpdate(SURFACE_ALL_LAYERS), 0u);
}

TEST_F(AnimeTest, FadeLevelsAreLinearInFramesAndTheCallbackRunsOnce) {
  struct Case {
    int from, to, frames, type;
    std::vector<std::pair<uint32_t, int>> steps;  // ms since the last step, level
  };
  const Case cases[] = {
      {0, 256, 60, 0, {{500, 128}, {250, 192}, {249, 251}, {1, 256}}},
      {256, 0, 7, 1, {{17, 220}, {33, 147}, {67, 0}}},  // truncated toward zero
  };
  for (const Case& c : cases) {
    anime_test::CallbackLogClear();
    AnimeHandle fade = anime().CreateFade(c.from, c.to, c.frames, c.type);
    anime().SetCallback(fade, LogCallback, 4);
    Frame(16);
    EXPECT_EQ(ddraw().GetFadeLevel(), c.from);
    EXPECT_EQ(ddraw().GetFadeType(), c.type);
    for (const auto& [ms, level] : c.steps) {
      Frame(ms);
      EXPECT_EQ(ddraw().GetFadeLevel(), level) << "after " << ms << " ms";
    }
    EXPECT_TRUE(CallbackLog().empty());
    Frame(16);  // the end step reports the end
    EXPECT_EQ(CallbackLog(), std::vector<uintptr_t>{4});
    Frame(16);
    EXPECT_EQ(CallbackLog(), std::vector<uintptr_t>{4});
    EXPECT_EQ(anime().IsAnime(fade), 0);
  }
}

// ---- Wave raster ----

TEST_F(AnimeTest, WaveRefusesAPeriodOrBandHeightNotAboveZero) {
  const std::pair<int, int> refused[] = {{0, 8}, {-4, 8}, {4, 0}, {4, -2}};
  for (auto [period, band] : refused) {
    EXPECT_EQ(anime().CreateWave(0, 0, 640, 480, 0, band, 4, period, SURFACE_BG, 100), nullptr)
        << period << "," << band;
  }
}

TEST_F(AnimeTest, WaveShiftsEachBandAlongATriangleWaveWithWrapAround) {
  platform::Surface* layer = ddraw().GetSurface(SURFACE_BG);
  const Rect r{16, 4, 80, 12};  // 64 wide, four bands of two rows
  struct Case {
    int phase;              // at creation; one step adds 1
    int left_shift[4];      // per band
  };
  const Case cases[] = {
      {0, {2, 3, 4, 4}},   // rising, clamped at the amplitude in the last band
      {4, {2, 1, 0, 63}},  // falling: 3 less one per band, -1 wraps
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phase);
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 100; ++x) layer->Row(y)[x] = static_cast<uint16_t>(x);
    }
    AnimeHandle wave = anime().CreateWave(r.left, r.top, r.right, r.bottom, c.phase, 2, 4, 4,
                                        SURFACE_BG, 100);
    ASSERT_NE(wave, nullptr);
    Frame(16);
    ASSERT_EQ(ddraw().ShowWindow(), 1);
    Frame(100);
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 100; ++x) {
        const bool inside = y >= r.top && y < r.bottom && x >= r.left && x < r.right;
        const int k = inside ? c.left_shift[(y - r.top) / 2] : 0;
        const int expected = inside ? r.left + (x - r.left + k) % 64 : x;
        ASSERT_EQ(layer->Row(y)[x], expected) << x << "," << y;
      }
    }
    // The layer's own compose request is left as it was; surface 12 was drawn.
    EXPECT_EQ(ddraw().IsUpdate(SURFACE_BG), 0u);
    EXPECT_NE(ddraw().IsUpdate(SURFACE_SCRATCH), 0u);
    anime().Delete(wave);
  }
}

}  // namespace
