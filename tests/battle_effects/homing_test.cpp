// The homing kit: the turn toward the aim (its sense, its step, the snap onto the aim angle), the
// bursts (box overlap, the turn limit, no aim), a second parameter set (a drawn step, a way fixed
// once) and the same path whatever the frame timing.

#include "battle_effects/homing.h"

#include <gtest/gtest.h>

#include <vector>

#include "battle/slg_geometry.h"
#include "battle/slg_math.h"

namespace {

constexpr int32_t kPx = 65536;

Homing At(int32_t x, int32_t y, int32_t heading, int32_t aim_x, int32_t aim_y, bool aimed = true) {
  return {.pos = {x * kPx, y * kPx}, .aim = {aim_x * kPx, aim_y * kPx}, .heading = heading,
          .has_aim = aimed};
}

TEST(Homing, TurnTowardTakesTheStepTheWayGivenAndStopsOnTheAim) {
  struct Case {
    int32_t heading, aim, step;
    int way;
    int32_t expected;
  } cases[] = {
      {0, 100, 16, 1, 16},     // up by a step
      {0, 400, 16, -1, 496},   // down, through 0
      {0, 10, 16, 1, 10},      // would overshoot: onto the aim
      {500, 4, 16, 1, 4},      // across 511 -> 0, onto the aim
      {0, 16, 16, 1, 16},      // exactly the step
      {30, 30, 16, 1, 30},     // on the aim already
      {30, 200, 16, 0, 30},    // no way: kept
  };
  for (const Case& c : cases) {
    EXPECT_EQ(HomingTurnToward(c.heading, c.aim, c.step, c.way), c.expected)
        << c.heading << " -> " << c.aim << " by " << c.step << " way " << c.way;
  }
}

TEST(Homing, TurnTowardGoesTheShorterWayAcrossZero) {
  struct Case {
    int32_t heading, aim, step, expected;
  } cases[] = {
      {0, 100, 8, 8},      // up
      {0, 400, 8, 504},    // down through 0: 112 steps that way, 400 the other
      {500, 20, 8, 508},   // up across 511
      {20, 500, 8, 12},    // down across 0
      {100, 104, 8, 104},  // onto the aim
      {0, 256, 8, 504},    // half a turn either way: Slg::AngleDir turns down
      {700, 200, 8, 196},  // angles taken mod 512 (700 is 188)
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TurnToward(c.heading, c.aim, c.step), c.expected)
        << c.heading << " -> " << c.aim << " by " << c.step;
  }
}

TEST(Homing, AnAimBehindTurnsSixteenStepsEveryTwoFramesTheAngleDirWayThenSnaps) {
  const HomingParams p{};
  // Heading 0 (along +x), the aim far behind and a little above: the aim angle lies near 256.
  Homing h = At(0, 0, 0, -4000, -400);
  const int way = Slg::AngleDir(HomingAimAngle(h), h.heading);
  ASSERT_NE(way, 0);
  std::vector<int32_t> headings;
  for (int f = 1; f <= 8; ++f) {
    ASSERT_FALSE(HomingFly(h, p, f));
    headings.push_back(h.heading);
  }
  // Turns at frames 1, 3, 5, 7.
  const auto turned = [way](int n) { return (way * 16 * n) & 511; };
  EXPECT_EQ(headings, (std::vector<int32_t>{turned(1), turned(1), turned(2), turned(2), turned(3),
                                            turned(3), turned(4), turned(4)}));
  EXPECT_EQ(h.turns, 4);
  // A nearly straight aim: one turn lands on the aim angle exactly.
  Homing near = At(0, 0, 0, 4000, 200);
  const int32_t aim = HomingAimAngle(near);
  ASSERT_GT(aim, 0);
  ASSERT_LT(aim, 16);
  HomingFly(near, p, 1);
  EXPECT_EQ(near.heading, aim);
}

TEST(Homing, BurstsOnBoxOverlapAtTheTurnLimitAndWithoutAnAim) {
  const HomingParams p{};
  int bursts = 0;
  HomingParams counted = p;
  static int* counter = nullptr;
  counter = &bursts;
  counted.burst = [](Homing&) { ++*counter; };
  // The aim's box (32) and the shell's (16) overlap after the first 6-pixel move.
  Homing close = At(0, 0, 0, 50, 0);
  EXPECT_TRUE(HomingFly(close, counted, 10));
  EXPECT_EQ(close.frames, 1);
  EXPECT_EQ(bursts, 1);
  EXPECT_FALSE(HomingFly(close, counted, 20)) << "a burst shell flies no more";
  EXPECT_EQ(bursts, 1);
  // An aim running away (straight ahead, far): the 60th turn, at frame 119.
  Homing away = At(0, 0, 0, 20000, 0);
  EXPECT_FALSE(HomingFly(away, counted, 118));
  EXPECT_TRUE(HomingFly(away, counted, 500));
  EXPECT_EQ(away.frames, 119);
  EXPECT_EQ(away.turns, 60);
  // No aim: the heading is kept, the same limit, and it never reads the aim box.
  Homing blind = At(0, 0, 77, 0, 0, false);
  EXPECT_TRUE(HomingFly(blind, counted, 500));
  EXPECT_EQ(blind.frames, 119);
  EXPECT_EQ(blind.heading, 77);
  const SlgPair step = SlgPolarToXY(6 * kPx, 77);
  EXPECT_EQ(blind.pos.x, 119 * step.x);
  EXPECT_EQ(blind.pos.y, 119 * step.y);
  EXPECT_EQ(bursts, 3);
}

// Kind 12's shells: a step drawn at every turn (16-31) and the way chosen at the first turn.
int32_t g_steps[] = {20, 31, 16, 25, 18, 27, 22, 30};
int g_drawn = 0;
int32_t DrawnStep() { return g_steps[g_drawn++ % 8]; }

TEST(Homing, ADrawnStepAndAWayFixedOnceGoThroughTheSameKit) {
  g_drawn = 0;
  const HomingParams fixed{.turn_step = &DrawnStep, .direction = HomingDirection::kFixedOnce};
  // The aim above (angle near 384 = -128): the first turn goes down (way -1) and the way stays.
  Homing h = At(0, 0, 0, 100, -4000);
  const int32_t aim = HomingAimAngle(h);
  ASSERT_EQ(Slg::AngleDir(aim, 0), -1);
  HomingFly(h, fixed, 1);
  EXPECT_EQ(h.heading, (512 - 20) & 511);
  EXPECT_EQ(h.way, -1);
  // Moved so that the shorter way is now up: the fixed way still turns down.
  h.aim = {h.pos.x + 100 * kPx, h.pos.y + 4000 * kPx};
  ASSERT_EQ(Slg::AngleDir(HomingAimAngle(h), h.heading), 1);
  const int32_t before = h.heading;
  HomingFly(h, fixed, 3);
  EXPECT_EQ(h.heading, (before - 31) & 511);
  EXPECT_EQ(g_drawn, 2) << "one draw a turn";
  // The same aim with the default rule turns up.
  Homing shorter = h;
  shorter.way = 0;
  shorter.frames = 0;
  HomingFly(shorter, HomingParams{}, 1);
  EXPECT_EQ(shorter.heading, (h.heading + 16) & 511);
}

TEST(Homing, ThePathIsTheSameWhateverTheFrameTiming) {
  const HomingParams p{};
  Homing stepped = At(-300, 200, 128, 250, -180);
  Homing jumped = stepped;
  for (int f = 1; f <= 45; ++f) HomingFly(stepped, p, f);
  HomingFly(jumped, p, 17);
  HomingFly(jumped, p, 45);
  EXPECT_EQ(stepped.pos.x, jumped.pos.x);
  EXPECT_EQ(stepped.pos.y, jumped.pos.y);
  EXPECT_EQ(stepped.heading, jumped.heading);
  EXPECT_EQ(stepped.turns, jumped.turns);
  EXPECT_EQ(stepped.burst, jumped.burst);
}

}  // namespace
