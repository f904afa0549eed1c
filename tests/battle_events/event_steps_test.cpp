// The waits and camera steps of the event runtime on the battle rig (a board of 2112 x 2112 map
// pixels on its battle, the battle events installed): each step is called once after each rig
// step, as a handler calls it once a frame, on the rig's clock (one game frame a step, or a fixed
// 34 or 50 ms step as on a slow machine).

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_steps.h"
#include "battle_events/events_install.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::OnCell;

constexpr int32_t kPx = 0x10000;
constexpr int kMapPixels = 2112;  // 22 x 96 and 88 x 24
constexpr int32_t kMaxScrollX = (kMapPixels - 640) * kPx;
constexpr int32_t kMaxScrollY = (kMapPixels - 480) * kPx;

BattleRig::Options StepMs(uint32_t ms) {
  BattleRig::Options o;
  o.step_ms = ms;
  return o;
}

class StepRig {
 public:
  explicit StepRig(const BattleRig::Options& options = {}) : rig(options), board(rig.battle()) {
    InstallBattleEvents(rig.battle());
    board.SetMapSize(kMapPixels, kMapPixels);
  }

  int StepsUntilDone(const std::function<int()>& step, int limit = 400,
                     const std::function<void(int)>& each = {}) {
    return rig.StepsUntilDone(step, limit, each);
  }
  SlgEventRuntimeState& State() { return Battle().Extension<SlgEventRuntimeState>(); }

  BattleRig rig;
  BattleBoard board;
};

// ---- Waits ----

TEST(EventWaitSteps, FinishOnTheFrameTheCountHasPassedOnRegularAndSlowFrames) {
  struct Case {
    const char* name;
    uint32_t step_ms;  // 0: one game frame a step
    int32_t n;
    int steps;  // rig steps until it answers 1
  } cases[] = {
      {"negative: at once", 0, -1, 0},
      {"zero: 0 then 1", 0, 0, 1},
      {"30 frames", 0, 30, 30},
      {"30 frames at 50 ms (3 frames a step)", 50, 30, 10},
      {"31 frames at 50 ms: the late frame ends it", 50, 31, 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StepRig s(StepMs(c.step_ms));
    s.rig.Run(3);  // a start that is not the clock's
    EXPECT_EQ(s.StepsUntilDone([&] { return EventWait(c.n); }), c.steps);
    EXPECT_EQ(s.State().wait_phase, 0) << "reset when finished";
    if (c.n < 0) {
      EXPECT_EQ(s.State().wait_count, 0) << "nothing kept";
    }
  }
}

TEST(EventWaitSteps, TheNextCallAfterTheEndStartsAnewAndTheCountIsTheFirstCalls) {
  StepRig s;
  EXPECT_EQ(s.StepsUntilDone([] { return EventWait(5); }), 5);
  // Another count while one runs is not read: the step is one per kind, not per caller.
  EXPECT_EQ(EventWait(5), 0);
  s.rig.Step();
  EXPECT_EQ(EventWait(100), 0);
  // Started at step 5, it ends at step 11: the rig's 17, 17, 16 ms steps count 83 ms, 4 frames,
  // from step 5 to step 10 (the rig counts whole frames only from a step that is a multiple of 3).
  EXPECT_EQ(s.StepsUntilDone([] { return EventWait(100); }), 5);
}

// ---- Scroll ----

struct ScrollCase {
  const char* name;
  uint32_t step_ms;
  int16_t from_x, from_y;  // the scroll before
  int32_t x, y, speed;
  int steps;  // rig steps until it answers 1 (the first call answers 0)
  int16_t to_x, to_y;
  int32_t velocity_x, velocity_y;
};

TEST(EventScrollSteps, MoveAlongTheLineClampedToTheMapAndArrive) {
  const ScrollCase cases[] = {
      // cos 45 x 0x40000 = 185363.4; (300 << 16) / 185363 = 106.07 frames.
      {"diagonal at 4 pixels", 0, 0, 0, 300 * kPx, 300 * kPx, 0x40000, 107, 300, 300, 185363,
       185363},
      // The same on 34 ms frames: two frames a step and a little more, so it ends in 53.
      {"diagonal on 34 ms frames", 34, 0, 0, 300 * kPx, 300 * kPx, 0x40000, 53, 300, 300, 185363,
       185363},
      // Beyond the right and bottom edges: held at (1472, 1632) (no half pixel there).
      {"clamped to the edges", 0, 100, 100, 3000 * kPx, 3000 * kPx, 0x200000, 65, 1472, 1632,
       1399055, 1562270},
      // Up and left beyond 0: the target becomes half a pixel, the scroll 0.
      {"clamped at 0", 0, 64, 32, -50 * kPx, -50 * kPx, 0x100000, 5, 0, 0, -937874, -468937},
      // One 16.16 unit to the right over 100 pixels down at 2 pixels: the x velocity truncates to
      // 0; the axis is put on its target and the scroll still arrives (y: 6553600 / 131071).
      {"nearly vertical at 2 pixels", 0, 0, 0, 1, 100 * kPx, 0x20000, 51, 0, 100, 0, 131071},
      // A speed of 0 moves nothing, so both axes go to the target at once.
      {"speed 0", 0, 10, 10, 40 * kPx, 20 * kPx, 0, 1, 40, 20, 0, 0},
  };
  for (const ScrollCase& c : cases) {
    SCOPED_TRACE(c.name);
    StepRig s(StepMs(c.step_ms));
    BattleContext& b = Battle();
    b.state.scroll_x = c.from_x;
    b.state.scroll_y = c.from_y;
    const SlgCamera& cam = b.camera;
    std::vector<SlgPoint> path;
    const int steps = s.StepsUntilDone([&] { return EventScroll(c.x, c.y, c.speed); }, 400,
                                       [&](int) { path.push_back({cam.current_x, cam.current_y}); });
    EXPECT_EQ(steps, c.steps);
    EXPECT_EQ(cam.step_x, c.velocity_x);
    EXPECT_EQ(cam.step_y, c.velocity_y);
    EXPECT_EQ(b.state.scroll_x, c.to_x);
    EXPECT_EQ(b.state.scroll_y, c.to_y);
    EXPECT_EQ(cam.current_x, cam.target_x);
    EXPECT_EQ(cam.current_y, cam.target_y);
    EXPECT_EQ(s.State().scroll_phase, 0);
    // The path never leaves the map and never goes back.
    for (size_t i = 1; i < path.size(); ++i) {
      EXPECT_GE(path[i].x, 0);
      EXPECT_LE(path[i].x, kMaxScrollX);
      EXPECT_LE(path[i].y, kMaxScrollY);
      EXPECT_GE(int64_t{path[i].x - path[i - 1].x} * c.velocity_x, 0) << i;
      EXPECT_GE(int64_t{path[i].y - path[i - 1].y} * c.velocity_y, 0) << i;
    }
  }
}

TEST(EventScrollSteps, ADiagonalStaysOnTheLineAndALateFrameJumpsAhead) {
  StepRig s;
  const SlgCamera& cam = Battle().camera;
  ASSERT_EQ(EventScroll(300 * kPx, 300 * kPx, 0x40000), 0);
  EXPECT_EQ(cam.current_x, 0x8000) << "scroll x 65536 + half a pixel";
  for (int f = 1; f <= 50; ++f) {
    s.rig.Step();
    ASSERT_EQ(EventScroll(300 * kPx, 300 * kPx, 0x40000), 0);
    ASSERT_EQ(cam.current_x, cam.current_y) << f;
    ASSERT_EQ(cam.current_x, 0x8000 + 185363 * f) << f;
  }
  EXPECT_EQ(Battle().state.scroll_x, (0x8000 + 185363 * 50) >> 16);  // 141

  // Two frames' time in one step: the position is where frame 52 has it, not frame 51.
  StepRig late(StepMs(34));
  ASSERT_EQ(EventScroll(300 * kPx, 300 * kPx, 0x40000), 0);
  late.rig.Step();
  ASSERT_EQ(EventScroll(300 * kPx, 300 * kPx, 0x40000), 0);
  EXPECT_EQ(Battle().camera.current_x, 0x8000 + 185363 * 2);
}

TEST(EventScrollSteps, AnotherTripleRestartsFromWhereTheCameraIsAndTheSameOneArrivesAgain) {
  StepRig s;
  BattleContext& b = Battle();
  const SlgCamera& cam = b.camera;
  ASSERT_EQ(EventScroll(400 * kPx, 0, 0x40000), 0);
  for (int f = 0; f < 10; ++f) {
    s.rig.Step();
    ASSERT_EQ(EventScroll(400 * kPx, 0, 0x40000), 0);
  }
  ASSERT_EQ(b.state.scroll_x, 40);
  // A new triple before arrival: a new start from the scroll reached, towards the new target.
  s.rig.Step();
  EXPECT_EQ(EventScroll(0, 400 * kPx, 0x40000), 0);
  EXPECT_EQ(cam.start_x, 40 * kPx + 0x8000);
  EXPECT_EQ(cam.target_x, 0x8000);
  EXPECT_EQ(cam.target_y, 400 * kPx + 0x8000);
  EXPECT_LT(cam.step_x, 0);
  EXPECT_GT(s.StepsUntilDone([] { return EventScroll(0, 400 * kPx, 0x40000); }), 0);
  EXPECT_EQ(b.state.scroll_x, 0);
  EXPECT_EQ(b.state.scroll_y, 400);

  // The same triple after arrival starts again from the camera, already there: 0, then 1.
  EXPECT_EQ(s.StepsUntilDone([] { return EventScroll(0, 400 * kPx, 0x40000); }), 1);
  EXPECT_EQ(b.state.scroll_y, 400);
  // At a clamped target (no half pixel) the start is half a pixel off it and still arrives next
  // frame.
  ASSERT_GT(s.StepsUntilDone([] { return EventScroll(3000 * kPx, 0, 0x200000); }), 1);
  EXPECT_EQ(s.StepsUntilDone([] { return EventScroll(3000 * kPx, 0, 0x200000); }), 1);
  EXPECT_EQ(b.state.scroll_x, 1472);
}

// ---- Focus ----

TEST(EventFocusSteps, ArriveOnTheFrameTheCoreCameraArrivesAndFinishAtOnceWithoutAUnitOrUnderLock) {
  StepRig s;
  BattleContext& b = Battle();
  s.board.AddUnit({.side = 0, .character = 0, .kind = 0, .x = 192, .y = 240});  // slot 0
  s.board.AddUnit(OnCell(15, 60, {.side = 0, .character = 2, .kind = 2}));     // slot 1, far
  Slg::InitCamera();

  // No such unit: 1 at once, the camera untouched.
  EXPECT_EQ(s.StepsUntilDone([] { return EventFocusUnit(0, 5); }), 0);
  EXPECT_EQ(b.camera.followed, 0);
  EXPECT_EQ(s.State().focus_phase, 0);

  // The far unit: the first call already moves the camera.
  ASSERT_EQ(EventFocusUnit(0, 2), 0);
  EXPECT_EQ(b.camera.followed, 1);
  EXPECT_GT(b.state.scroll_x, 0);
  const int steps = s.StepsUntilDone([] { return EventFocusUnit(0, 2); });
  EXPECT_EQ(steps, 16);
  EXPECT_EQ(b.state.scroll_x, 1440 - 320);
  EXPECT_EQ(b.camera.current_y, b.camera.target_y);
  EXPECT_EQ(s.State().focus_phase, 0);

  // The acting unit (slot 0, back at the start): the same protocol.
  b.state.acting_unit = 0;
  EXPECT_EQ(s.StepsUntilDone([] { return EventFocusActing(); }), 16);
  EXPECT_EQ(b.state.scroll_x, 0);
  b.state.acting_unit = kSlgNoUnit;
  EXPECT_EQ(s.StepsUntilDone([] { return EventFocusActing(); }), 0);

  // Held camera: the core's step never arrives, the focus finishes at once, also half way.
  b.camera.lock = 1;
  EXPECT_EQ(s.StepsUntilDone([] { return EventFocusUnit(0, 2); }), 0);
  EXPECT_EQ(b.state.scroll_x, 0) << "the camera did not move";
  b.camera.lock = 0;
  ASSERT_EQ(EventFocusUnit(0, 2), 0);
  b.camera.lock = 1;
  s.rig.Step();
  EXPECT_EQ(EventFocusUnit(0, 2), 1);
  EXPECT_EQ(s.State().focus_phase, 0);
}

}  // namespace
