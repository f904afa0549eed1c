// The shapes of the attacks of kinds 23 and 24 as arithmetic: the shake, the risers, the fall onto
// the strike cells, the flames' ellipse and rise, the orb's zoom and the random picks.

#include "battle_effects/falling_strikes.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "battle/battle_context.h"
#include "testsupport/battle_rig.h"

namespace {

constexpr int32_t kPx = kFallPx;

TEST(FallingStrikes, TheShakeSwingsWiderEveryFourFramesThenFlipsBetweenTheEnds) {
  // The background is drawn at x = 2 x offset in whole pixels; the big object at its x + offset.
  const int32_t background[] = {0, -2, 2, -4, 8, -8, 8, -8, 8};
  for (int32_t k = 0; k < 9; ++k) {
    SCOPED_TRACE(k);
    const int32_t offset = ShakeOffsetAtFrame(4 * k);
    EXPECT_EQ(2 * offset / kPx, background[k]);
    EXPECT_EQ(offset, background[k] * kPx / 2) << "the big object moves by half as much";
    // Within an interval the offset holds.
    EXPECT_EQ(ShakeOffsetAtFrame(4 * k + 3), offset);
  }
  EXPECT_EQ(ShakeOffsetAtFrame(-10), 0);
  EXPECT_EQ(ShakeOffset(1001), -4 * kPx);
  EXPECT_EQ(ShakeOffset(1000), 4 * kPx);
}

TEST(FallingStrikes, RisersLeaveAtTheirSpeedAndAreGoneAboveTheLine) {
  // Column 0 starts at y 80: (80 + 240) / 64 = 5 px a frame, gone at 93 frames (-385 px).
  const int32_t column = RiserSpeed(80 * kPx, 240);
  EXPECT_EQ(column, 5 * kPx);
  struct Case {
    int32_t frames;
    int32_t y_px;
    bool gone;
  } cases[] = {{-3, 80, false}, {0, 80, false}, {1, 75, false}, {92, -380, false},
               {93, -385, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frames);
    const RiserPos p = RiserAt(80 * kPx, column, c.frames);
    EXPECT_EQ(p.y, c.y_px * kPx);
    EXPECT_EQ(p.gone, c.gone);
  }
  // A late object at y 320: (320 + 224) / 64 = 8.5 px a frame.
  const int32_t late = RiserSpeed(320 * kPx, 224);
  EXPECT_EQ(late, 8 * kPx + kPx / 2);
  EXPECT_EQ(RiserAt(320 * kPx, late, 10).y, 235 * kPx);
  // A clock far ahead holds the product to 32 bits and counts as gone.
  EXPECT_TRUE(RiserAt(80 * kPx, column, INT32_MAX).gone);
}

TEST(FallingStrikes, AFallSpeedsUpByAPixelAFrameAndStopsAtItsLanding) {
  struct Case {
    const char* name;
    int32_t raise_px, first_px, frames;
    int32_t drop_px;
    bool landed;
    int32_t steps;
  } cases[] = {
      // A stone: 1, 2, 3 ... px a frame.
      {"stone after 3 frames", 100, 1, 3, 6, false, 3},
      {"stone lands at 14 (105 >= 100)", 100, 1, 20, 100, true, 14},
      {"stone one frame short", 100, 1, 13, 91, false, 13},
      // A meteor: 2, 3, 4 ... px a frame.
      {"meteor after 3 frames", 400, 2, 3, 9, false, 3},
      {"meteor lands at 27 (405 >= 400)", 400, 2, 60, 400, true, 27},
      // Starting at or below its landing point: landed at once.
      {"no raise", 0, 1, 0, 0, true, 0},
      {"a boss far above the screen", -160, 1, 5, 0, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const FallState s = FallAt({c.raise_px * kPx, c.first_px * kPx}, c.frames);
    EXPECT_EQ(s.drop, c.drop_px * kPx);
    EXPECT_EQ(s.landed, c.landed);
    EXPECT_EQ(s.frames, c.steps);
  }
}

TEST(FallingStrikes, FlamesStandOnTheEllipseAndRiseFasterEachFrame) {
  struct Case {
    int i;
    int32_t x_px, y_px;  // rounded to whole pixels
  } cases[] = {
      {0, 186, 64},    // angle 21
      {3, -44, 110},   // angle 147
      {6, -188, 35},   // angle 273
      {11, 180, 26},   // angle 483
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.i);
    const SlgPair p = FlamePlace(c.i);
    EXPECT_NEAR(p.x / static_cast<double>(kPx), c.x_px, 1.0);
    EXPECT_NEAR(p.y / static_cast<double>(kPx), c.y_px, 1.0);
  }
  // The rise: -1, -1.5, -2 ... px a frame.
  EXPECT_EQ(FlameRiseAt(0, 0).y, 0);
  EXPECT_EQ(FlameRiseAt(0, 1).y, -kPx);
  EXPECT_EQ(FlameRiseAt(0, 3).y, -(kPx + kPx * 3 / 2 + 2 * kPx));
  const FlameRise far = FlameRiseAt(100 * kPx, 1000);
  EXPECT_TRUE(far.gone);
  EXPECT_LT(far.y, kFlameGoneY);
  EXPECT_GT(far.y, kFlameGoneY - 40 * kPx) << "the rise stops once above the line";
}

TEST(FallingStrikes, TheOrbGrowsToOneAndAHalf) {
  const int32_t n[] = {0, 32, 64, 100};
  const int32_t want[] = {kPx, kPx + kPx / 4, kPx + kPx / 2, kPx + kPx / 2};
  for (size_t k = 0; k < 4; ++k) EXPECT_EQ(OrbZoom(n[k]), want[k]) << n[k];
}

TEST(FallingStrikes, MeteorsLandBySide) {
  struct Case {
    bool on_target;
    uint8_t side;
    uint32_t first, second;
  } cases[] = {{true, 0, 6, 7}, {true, 1, 4, 8}, {true, 2, 4, 8}, {false, 0, 4, 8}};
  for (const Case& c : cases) {
    const LandingAnms a = MeteorLanding(c.on_target, c.side);
    EXPECT_EQ(a.first, c.first);
    EXPECT_EQ(a.second, c.second);
  }
}

TEST(FallingStrikes, RandomPicksComeFromTheirSetsAndVary) {
  testsupport::BattleRig rig;
  std::set<uint32_t> first, replay, rock, stone;
  std::set<int32_t> xs;
  for (int k = 0; k < 200; ++k) {
    const SpawnPick s = PickSpark(false);
    first.insert(s.anm);
    xs.insert(s.x);
    EXPECT_GE(s.x, -320 * kPx);
    EXPECT_LE(s.x, 319 * kPx);
    replay.insert(PickSpark(true).anm);
    rock.insert(PickRock().anm);
    stone.insert(PickStoneAnm());
  }
  EXPECT_EQ(first, (std::set<uint32_t>{0, 1, 21, 22}));
  EXPECT_EQ(replay, (std::set<uint32_t>{0, 1}));
  EXPECT_EQ(rock, (std::set<uint32_t>{9, 10, 11, 12, 13}));
  EXPECT_EQ(stone, (std::set<uint32_t>{15, 16, 17, 18}));
  EXPECT_GT(xs.size(), 100u) << "the x varies";
  // A scripted generator picks in order: the animation first, then the x.
  std::vector<int32_t> draws = {2, 700};
  size_t next = 0;
  Battle().rand_seam.script = [&] { return draws[next++ % draws.size()]; };
  const SpawnPick s = PickSpark(false);
  EXPECT_EQ(s.anm, 21u);
  EXPECT_EQ(s.x, (700 % 640 - 320) * kPx);
}

}  // namespace
