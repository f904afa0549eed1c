// The kinematic kit: a straight motion read from its start at a frame count, its clamps and its
// three end rules; and its replay form.

#include "battle_effects/kinematic.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

constexpr int32_t kPx = 65536;

// The hero's dash: from (-346, -200) px at (12, 9) px a frame until x reaches -48 px.
Kinematic Dash() {
  return {.start = {-346 * kPx, -200 * kPx},
          .velocity = {12 * kPx, 9 * kPx},
          .end = KinematicEnd::kPointPassed,
          .axes = kKinematicX,
          .point = {-48 * kPx, 0}};
}

TEST(Kinematic, TheDashMovesFromItsStartAndPassesItsPointAfter25Frames) {
  struct Case {
    int32_t frames;
    int32_t x, y;  // px
    bool ended;
  } cases[] = {
      {-5, -346, -200, false},  // before its start: at the start
      {0, -346, -200, false},
      {1, -334, -191, false},
      {24, -58, 16, false},
      {25, -46, 25, true},  // 298 px from the start: the point is passed
      {40, 134, 160, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frames);
    const KinematicPos p = KinematicAt(Dash(), c.frames);
    EXPECT_EQ(p.pos.x, c.x * kPx);
    EXPECT_EQ(p.pos.y, c.y * kPx);
    EXPECT_EQ(p.ended, c.ended);
  }
}

TEST(Kinematic, ClampsHoldEachAxisAndTheEndRulesReadTheHeldPosition) {
  Kinematic m = Dash();
  m.clamp = kKinematicY;
  m.low = {0, -300 * kPx};
  m.high = {0, -100 * kPx};
  KinematicPos p = KinematicAt(m, 25);
  EXPECT_EQ(p.pos.x, -46 * kPx) << "x is not clamped";
  EXPECT_EQ(p.pos.y, -100 * kPx) << "y held at its high end";
  EXPECT_TRUE(p.ended);
  // A point on a clamped axis is never passed when the clamp stops short of it.
  m.axes = kKinematicY;
  m.point = {0, 0};
  EXPECT_FALSE(KinematicAt(m, 1000).ended);
  // Moving the other way: passed at or below the point.
  const Kinematic left{.start = {0, 0},
                       .velocity = {-2 * kPx, 0},
                       .end = KinematicEnd::kPointPassed,
                       .axes = kKinematicX,
                       .point = {-10 * kPx, 0}};
  EXPECT_FALSE(KinematicAt(left, 4).ended);
  EXPECT_TRUE(KinematicAt(left, 5).ended);
}

TEST(Kinematic, AMotionOfNFramesStopsThereAndABoxEndsItOnceLeft) {
  const Kinematic timed{.start = {0, 0}, .velocity = {3 * kPx, -kPx}, .end = KinematicEnd::kFrames,
                        .frames = 10};
  EXPECT_FALSE(KinematicAt(timed, 9).ended);
  const KinematicPos at10 = KinematicAt(timed, 10);
  EXPECT_TRUE(at10.ended);
  const KinematicPos at50 = KinematicAt(timed, 50);
  EXPECT_TRUE(at50.ended);
  EXPECT_EQ(at50.pos.x, at10.pos.x);
  EXPECT_EQ(at50.pos.x, 30 * kPx);
  EXPECT_EQ(at50.pos.y, -10 * kPx);

  const Kinematic boxed{.start = {0, 0},
                        .velocity = {0, 8 * kPx},
                        .end = KinematicEnd::kBoxLeft,
                        .point = {-320 * kPx, -240 * kPx},
                        .box_high = {320 * kPx, 240 * kPx}};
  EXPECT_FALSE(KinematicAt(boxed, 30).ended) << "on the edge: inside";
  EXPECT_TRUE(KinematicAt(boxed, 31).ended);
}

TEST(Kinematic, ProductsBeyondTheRangeAreHeldAtItsEnds) {
  const Kinematic far{.start = {INT32_MAX - kPx, INT32_MIN + kPx}, .velocity = {kPx, -kPx}};
  const KinematicPos p = KinematicAt(far, INT32_MAX);
  EXPECT_EQ(p.pos.x, INT32_MAX);
  EXPECT_EQ(p.pos.y, INT32_MIN);
  EXPECT_FALSE(p.ended);
}

}  // namespace

namespace {

// The replay form: a speed that grows each step, stopped by its step at a wall.
struct Fall {
  int32_t y = 0;
  int32_t speed = 1;
};

TEST(KinematicReplay, StepsOncePerFrameFromTheStartAndStopsWhereTheStepSays) {
  const auto step = [](Fall& f, int32_t) {
    f.y += f.speed++;
    return f.y < 40;  // the wall: 1 + 2 + ... + 9 = 45
  };
  struct Case {
    int32_t frames;
    int32_t y;
    int32_t steps;
    bool stopped;
  } cases[] = {{-3, 0, 0, false}, {0, 0, 0, false}, {1, 1, 1, false},  {4, 10, 4, false},
               {8, 36, 8, false}, {9, 45, 9, true}, {500, 45, 9, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frames);
    const KinematicReplayed<Fall> r = KinematicReplay(Fall{}, c.frames, step);
    EXPECT_EQ(r.state.y, c.y);
    EXPECT_EQ(r.steps, c.steps);
    EXPECT_EQ(r.stopped, c.stopped);
  }
  // The step is told its number; a clock far ahead runs no more than the limit.
  std::vector<int32_t> told;
  KinematicReplay(Fall{}, 3, [&told](Fall&, int32_t i) {
    told.push_back(i);
    return true;
  });
  EXPECT_EQ(told, (std::vector<int32_t>{0, 1, 2}));
  const auto r = KinematicReplay(
      Fall{}, INT32_MAX,
      [](Fall& f, int32_t) {
        ++f.y;
        return true;
      },
      100);
  EXPECT_EQ(r.steps, 100);
  EXPECT_EQ(r.state.y, 100);
  EXPECT_FALSE(r.stopped);
}

}  // namespace
