// The routine frame: each wait of a timeline row on the rig's clock (one game frame a step, and
// 50 ms steps that skip frames), the animation waits on short and missing animations, a child
// task, a counter and a sub-sequence; chaining rows in one call, counting calls, a stop, the end
// of the rows, and a unit state change starting the timeline again.

#include "battle_effects/step_timeline.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_draw.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_effects/effect_position.h"
#include "testsupport/attack_fixtures.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackFixtures;
using testsupport::BattleRig;

constexpr int kKind = 1;
constexpr uint32_t kShort = 0;  // 4 frames x 2 ticks
constexpr uint32_t kLong = 1;   // 4 frames x 4 ticks

struct Work {
  StepClock clock{};
  uint32_t step = 0;
  SlgAnmObj obj{};
  SlgEffectTask* child = nullptr;
  int32_t counter = 0;
  int sub_calls = 0;
  int acted = 0;       // actions run
  bool fade_over = false;  // SlgIsFadeEnd when the action ran
  bool anm_ended = false;  // SlgAnmObjIsEnd when the action ran
  int32_t anm_frame = 0;
};

int Act(Work& w) {
  ++w.acted;
  w.fade_over = SlgIsFadeEnd() != 0;
  w.anm_ended = SlgAnmObjIsEnd(&w.obj) != 0;
  w.anm_frame = AnmFrameOf(&w.obj);
  return kTimelineNextRow;
}
SlgAnmObj* Obj(Work& w) { return &w.obj; }
SlgEffectTask* Child(Work& w) { return w.child; }
int32_t Counter(Work& w) { return w.counter; }
void Count(Work& w) { ++w.counter; }
int Sub(Work& w) { return ++w.sub_calls >= 4 ? 1 : 0; }

// A child that ends itself 5 frames after its start.
void ChildBody(SlgEffectTask* task) {
  if (task->frames >= 5) SlgTaskEnd(task);
}

// The rig with kind 1's sets laid and its ATTACK_EFFECT loaded.
class TimelineRig {
 public:
  explicit TimelineRig(uint32_t step_ms = 0) : rig(Options(step_ms)) {
    testsupport::SlgTableWriter tables;
    AttackFixtures(kKind)
        .Slot(kAnmAttackEffect,
              {AttackAnim{.frames = 4, .ticks = 2}, AttackAnim{.frames = 4, .ticks = 4}})
        .Lay(rig.driver().tree, tables);
    tables.Lay(rig.driver().tree);
    LoadSlgTables();
    set = GetUnitAnm(kKind, kAnmAttackEffect);
  }
  ~TimelineRig() { ReleaseUnitAnm(&set); }
  static BattleRig::Options Options(uint32_t step_ms) {
    BattleRig::Options o;
    o.step_ms = step_ms;
    return o;
  }
  void Play(Work& w, uint32_t n) {
    w.obj.mode = kSlgAnmOnce;
    SlgPlayAnm(set, n, &w.obj, 4);
  }
  // Steps the rig and runs the timeline once a step until its first action; the call it ran
  // in (1 the first), -1 within none of `limit`.
  template <size_t N>
  int CallsUntilAction(const TimelineRow<Work> (&rows)[N], Work& w, int limit) {
    for (int call = 1; call <= limit; ++call) {
      rig.Step();
      RunTimeline(rows, w.step, w.clock, w);
      if (w.acted > 0) return call;
    }
    return -1;
  }

  BattleRig rig;
  SprAnm* set = nullptr;
};

using Wait = TimelineWait<Work>;

TEST(StepTimeline, EachWaitEndsWhenWhatItWaitsForIsThere) {
  struct Case {
    const char* name;
    uint32_t step_ms;
    TimelineRow<Work> row;
    void (*prepare)(TimelineRig&, Work&);
    int min_call, max_call;  // the call the action runs in
  };
  const Case cases[] = {
      {"10 frames", 0, {Wait::Frames(10), &Act}, nullptr, 11, 11},
      // 50 ms a step: 3 frames a call; 10 frames are over at the fifth call (12 frames).
      {"10 frames, skipped clock", 50, {Wait::Frames(10), &Act}, nullptr, 5, 5},
      {"a fade", 0, {Wait::FadeEnd(), &Act},
       [](TimelineRig&, Work&) { SlgFadeIn(18); }, 18, 21},
      {"a fade, skipped clock", 50, {Wait::FadeEnd(), &Act},
       [](TimelineRig&, Work&) { SlgFadeIn(18); }, 6, 8},
      {"frame 10 of an 8-frame animation: its end", 0, {Wait::AnmFrame(&Obj, 10), &Act},
       [](TimelineRig& r, Work& w) { r.Play(w, kShort); }, 8, 11},
      {"frame 2 of a 16-frame animation", 0, {Wait::AnmFrame(&Obj, 2), &Act},
       [](TimelineRig& r, Work& w) { r.Play(w, kLong); }, 8, 10},
      {"a frame of no animation: at once", 0, {Wait::AnmFrame(&Obj, 10), &Act}, nullptr, 1, 1},
      {"an animation's end", 0, {Wait::AnmEnd(&Obj), &Act},
       [](TimelineRig& r, Work& w) { r.Play(w, kLong); }, 16, 19},
      {"a child task gone", 0, {Wait::TaskGone(&Child), &Act},
       [](TimelineRig&, Work& w) {
         w.child = SlgTaskCreate(SlgTaskOwner(), &ChildBody, "Timeline::Child");
       },
       5, 6},
      {"a counter", 0, {Wait::Counter(&Counter, 3), &Act, kTimelineNextRow, 0, &Count}, nullptr, 3,
       3},
      {"a sub-sequence", 0, {Wait::SubDone(&Sub), &Act}, nullptr, 4, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TimelineRig r(c.step_ms);
    Work w;
    if (c.prepare != nullptr) c.prepare(r, w);
    const TimelineRow<Work> rows[] = {c.row};
    const int call = r.CallsUntilAction(rows, w, 40);
    EXPECT_GE(call, c.min_call);
    EXPECT_LE(call, c.max_call);
    EXPECT_EQ(w.step, 1u);
    if (c.row.wait.kind == TimelineWaitKind::kFadeEnd) {
      EXPECT_TRUE(w.fade_over);
    }
    if (c.row.wait.kind == TimelineWaitKind::kAnmEnd) {
      EXPECT_TRUE(w.anm_ended);
    }
    if (std::string(c.name) == "frame 2 of a 16-frame animation") {
      EXPECT_FALSE(w.anm_ended);
      EXPECT_GE(w.anm_frame, 2);
    }
    Scene().tamvik_spr.ReleaseAnm(&w.obj.handle);
  }
}

TEST(StepTimeline, ChainedRowsRunInOneCallAndTheNextStepsClockStartsThen) {
  TimelineRig r;
  Work w;
  const TimelineRow<Work> rows[] = {
      {Wait::AtOnce(), &Act, kTimelineNextRow, kTimelineChain},
      {Wait::AtOnce(), &Act, 3, kTimelineChain},  // jumps over row 2
      {Wait::AtOnce(), &Act},
      {Wait::Frames(5), &Act},
  };
  r.rig.Step();
  EXPECT_EQ(RunTimeline(rows, w.step, w.clock, w), 0);
  EXPECT_EQ(w.acted, 2);
  EXPECT_EQ(w.step, 3u);
  // Row 3's 5 frames count from the first call's clock (17 ms): over at the sixth call more.
  int calls = 0;
  while (calls < 10 && w.acted == 2) {
    r.rig.Step();
    ++calls;
    const int result = RunTimeline(rows, w.step, w.clock, w);
    EXPECT_EQ(result, w.acted == 3 ? 1 : 0);
  }
  EXPECT_EQ(calls, 6);
  EXPECT_EQ(w.acted, 3);
  // Past its rows the timeline runs nothing.
  EXPECT_EQ(RunTimeline(rows, w.step, w.clock, w), 1);
  EXPECT_EQ(w.acted, 3);
}

TEST(StepTimeline, CountingCallsIgnoresSkippedFrames) {
  for (const bool calls : {true, false}) {
    SCOPED_TRACE(calls ? "calls" : "frames");
    TimelineRig r(50);
    Work w;
    const TimelineRow<Work> rows[] = {
        {Wait::Frames(3), &Act, kTimelineNextRow, calls ? kTimelineCalls : uint8_t{0}}};
    // Calls are counted from 0 at the step's first: the fourth call has 3 before it. Frames: 50
    // ms is 3 frames, over at the second call.
    EXPECT_EQ(r.CallsUntilAction(rows, w, 10), calls ? 4 : 2);
  }
}

TEST(StepTimeline, AStoppingActionLeavesTheStepAndTheClockAlone) {
  TimelineRig r;
  Work w;
  w.step = 1;
  const TimelineRow<Work> rows[] = {
      {Wait::AtOnce()},
      {Wait::AtOnce(), [](Work& work) { ++work.acted; return kTimelineStop; }},
      {Wait::AtOnce(), &Act, kTimelineStop},  // the row says the routine ends
  };
  r.rig.Step();
  EXPECT_EQ(RunTimeline(rows, w.step, w.clock, w), kTimelineStop);
  EXPECT_EQ(w.step, 1u);
  const StepClock clock = w.clock;
  w.step = 2;
  EXPECT_EQ(RunTimeline(rows, w.step, w.clock, w), kTimelineStop);
  EXPECT_EQ(w.step, 2u);
  EXPECT_EQ(w.acted, 2);
  EXPECT_EQ(clock.step, 1u);
}

TEST(StepTimeline, ASetUnitStateStartsTheUnitsTimelineAgain) {
  TimelineRig r;
  SlgUnit unit{};
  SetUnitState(unit, 6);
  Work w;
  const TimelineRow<Work> rows[] = {{Wait::Frames(3), &Act}, {Wait::Frames(100), &Act}};
  // The calls until the unit's step leaves row 0.
  const auto calls_on_row0 = [&] {
    int calls = 0;
    while (calls < 10 && unit.step == 0) {
      r.rig.Step();
      RunTimeline(rows, unit.step, w.clock, w);
      ++calls;
    }
    return calls;
  };
  EXPECT_EQ(calls_on_row0(), 4);
  EXPECT_EQ(unit.step, 1u);
  r.rig.Step();
  RunTimeline(rows, unit.step, w.clock, w);
  SetUnitState(unit, 6);  // the step is 0 again: its clock starts at the next call
  const int again = calls_on_row0();
  EXPECT_EQ(again, 4);
}

}  // namespace
