// The busiest frame of a battle's opening, from the mode manager on the battle rig: the builder's
// story cast on a stage filled to 64 units (the cast, the two event objects deployed and 56 more
// ASHIGARU), two fixed sprites, and one step of the opening that in every frame walks heroine 1
// to and fro, reveals the hidden ASHIGARU again and again (camera, sound, fade) and plays the first
// falling-sprite burst on the first ASHIGARU (started again between frames, with the timing
// paused, once it has ended: its start is one work block and its sound).
//
// BM_EventOpeningFrame/1 times that frame; BM_EventOpeningFrame/0 the same battle with an opening
// that only holds (no object, fixed sprite, walk, reveal or burst). The events' share of the frame
// is the difference of the two. Goal: under 0.2 ms, no allocation in the steady frames
// ("allocs/frame": operator new calls; "slg allocs/frame": battle allocator blocks).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_effect_calls.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle_events/fix_task.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/runtime/event_anm_handlers.h"
#include "battle_events/runtime/event_tone.h"
#include "battle_events/runtime/event_walks.h"
#include "bench/bench_allocations.h"
#include "engine/core/debug_trace.h"
#include "flow/tamvik_general.h"
#include "game/system_data.h"
#include "testsupport/battle_install.h"
#include "testsupport/battle_rig.h"
#include "testsupport/headless_records.h"
#include "testsupport/story_map.h"

namespace {

using testsupport::BattleInstall;
using testsupport::BattleRig;

constexpr int kUnits = 64;
constexpr int kAshigaru = 14;

// What the busy step keeps between frames.
struct Opening {
  RouteWork* walk = nullptr;
  bool walk_back = false;
  bool busy = false;      // the busy step has run
  bool burst = false;     // the burst is playing
  int reveals = 0;        // reveals finished
  int walks = 0;          // legs walked
  int bursts = 0;         // bursts started
};
Opening g_opening;

// The first ASHIGARU on the board.
SlgUnit* FirstAshigaru() {
  SlgBattleState& st = Battle().state;
  for (uint32_t i = 0; i < st.unit_count; ++i) {
    if (st.units[i].kind == kAshigaru && (st.units[i].flags & kUnitShown) != 0) return &st.units[i];
  }
  return nullptr;
}
constexpr uint8_t kHidden[] = {kAshigaru, BattleInstall::kHiddenAshigaruNumber};

// The burst's next frame on the first ASHIGARU (its start when none plays).
void StepBurst() {
  SlgUnit* unit = FirstAshigaru();
  if (unit == nullptr) return;
  g_opening.burst = SlgFallEffect(*unit, SlgMapToScreen(*unit)) != 0;
}

// One frame of everything at once; never done.
int BusyStep() {
  Opening& o = g_opening;
  o.busy = true;
  if (o.walk == nullptr) o.walk = RouteWorkAlloc();
  const int x = o.walk_back ? BattleInstall::kHeroine1X : testsupport::kStoryWalkX;
  const int y = o.walk_back ? BattleInstall::kHeroine1Y : testsupport::kStoryWalkY;
  if (EventWalkUnit(o.walk, 0, 1, x, y, 0) == 1) {
    o.walk_back = !o.walk_back;
    ++o.walks;
  }
  if (EventRevealUnits(kHidden, 1) == 1) {
    // Hidden again for the next reveal.
    if (SlgUnit* u = FindUnitByIndex(kAshigaru, kHidden[1] * 256)) {
      u->flags &= ~kUnitShown;
      Slg::HideUnit(*u);
    }
    ++o.reveals;
  }
  if (o.burst) StepBurst();
  return 0;
}
int HoldStep() {
  g_opening.busy = true;
  return 0;
}

// Two fixed sprites of kind 80's pictures, as the story map lays them.
constexpr FixTaskRow kFixed[] = {{0, 80, 560, 96}, {16, 80, -80, 400}, kFixTaskRowEnd};
void AddFixedSprites() { FixTaskAddList(kFixed); }

namespace S = EventSeq;
constexpr S::Op kBusyOpening[] = {
    S::FadeIn(),
    S::DeployKind(BattleInstall::kObjectKinds[0]),
    S::DeployKind(BattleInstall::kObjectKinds[1]),
    S::Do(&AddFixedSprites),
    S::Custom(&BusyStep, 1),
    S::End(),
};
static_assert(S::Valid(kBusyOpening));
constexpr SeqArgs kBusyArgs{kBusyOpening};
constexpr S::Op kHoldOpening[] = {S::FadeIn(), S::Custom(&HoldStep, 1), S::End()};
static_assert(S::Valid(kHoldOpening));
constexpr SeqArgs kHoldArgs{kHoldOpening};

constexpr SlgEventEntry kBusyTable[] = {
    {.id = 1, .timing = 0x8000, .guard = {1, 0}, .set = {1, 0}, .handler = &SeqRow,
     .arg = &kBusyArgs},
    kEventTableEnd};
constexpr SlgEventEntry kHoldTable[] = {
    {.id = 1, .timing = 0x8000, .guard = {1, 0}, .set = {1, 0}, .handler = &SeqRow,
     .arg = &kHoldArgs},
    kEventTableEnd};
// Kind 80 holds its last frame, kind 81 plays once.
constexpr SlgEventAnmHandler kAnm[] = {EventAnmHold, EventAnmOnce};

// The story cast, and ASHIGARU on the even rows 4-16 of columns 7-14 (a stage of 2048 x 2048)
// until the battle holds 64 units with the two event objects.
BattleInstall FullInstall() {
  BattleInstall install;
  install.StoryCast();
  install.stage.header.width = 2048;
  install.stage.header.height = 2048;
  const StageUnitEntry enemy = install.stage.units[1];
  for (int i = 0; install.stage.header.num_unit < kUnits; ++i) {
    const int column = 7 + i % 8;
    const int row = 4 + 2 * (i / 8);
    const int n = install.AddUnit(enemy.side, 20 + i, kAshigaru, 1, 96 * column, 24 * row);
    install.stage.units[static_cast<size_t>(n)].facing = enemy.facing;
  }
  return install;
}

struct OpeningFrame {
  explicit OpeningFrame(bool busy) : busy(busy) {}

  // Starts the battle and runs its opening into the step; false when a part is missing.
  bool Build() {
    g_opening = {};
    rig.InstallEventTable(busy ? kBusyTable : kHoldTable);
    rig.InstallEventAnmTable(kAnm);
    FullInstall().Lay(rig.driver().tree);
    testsupport::LayEventFaces(rig.driver().tree);
    GetSystemData()->setVoiceOff(1);
    for (int f = 0; f < 600 && !g_opening.busy; ++f) {
      if (!rig.Step()) return Fail("the program ended");
    }
    if (!g_opening.busy) return Fail("the opening's step did not start");
    if (Battle().state.unit_count != (busy ? kUnits : kUnits - 2)) {
      return Fail("not every unit was made");
    }
    rig.driver().host().display.on_present = nullptr;
    testsupport::HeadlessRecordsOff(rig.driver());
    return true;
  }
  bool Fail(const char* why) {
    failure = why;
    return false;
  }
  // The burst started again when it has ended; the battle allocator's blocks it took.
  uint32_t KeepBurst() {
    if (!busy || g_opening.burst) return 0;
    const uint32_t calls = Battle().alloc.calls;
    StepBurst();
    if (g_opening.burst) ++g_opening.bursts;
    return Battle().alloc.calls - calls;
  }

  bool busy;
  BattleRig rig{[] {
    BattleRig::Options o;
    o.manager_mode = 26;
    o.seed = 7;
    o.hash_frames = false;
    return o;
  }()};
  std::string failure;
};

void BM_EventOpeningFrame(benchmark::State& state) {
  auto program = std::make_unique<OpeningFrame>(state.range(0) != 0);
  if (!program->Build()) {
    state.SkipWithError(program->failure.c_str());
    return;
  }
  BattleContext& battle = Battle();
  // Warm up: lazily made buffers exist, the walk, the reveal and the burst have each run once.
  for (int i = 0; i < 300; ++i) {
    program->KeepBurst();
    program->rig.Step();
  }
  const DebugTraceHook capture = SetDebugTraceHook({});
  const Opening before_run = g_opening;
  const uint32_t slg_before = battle.alloc.calls;
  uint64_t allocations = 0;
  uint32_t restart_blocks = 0;
  for (auto _ : state) {
    state.PauseTiming();
    restart_blocks += program->KeepBurst();
    state.ResumeTiming();
    const uint64_t before = BenchAllocations();
    program->rig.Step();
    allocations += BenchAllocations() - before;
  }
  SetDebugTraceHook(capture);
  const auto frames = static_cast<double>(state.iterations());
  state.counters["allocs/frame"] = static_cast<double>(allocations) / frames;
  state.counters["slg allocs/frame"] =
      (battle.alloc.calls - slg_before - restart_blocks) / frames;
  state.counters["units"] = battle.state.unit_count;
  state.counters["fixed"] = battle.fix_tasks.count;
  state.counters["reveals"] = g_opening.reveals - before_run.reveals;
  state.counters["walks"] = g_opening.walks - before_run.walks;
  state.counters["bursts"] = g_opening.bursts - before_run.bursts;
  if (CTamvikGeneral::GetMode() < 26 || CTamvikGeneral::GetMode() > 28) {
    state.SkipWithError("the battle ended");
  }
  RouteWorkFree(g_opening.walk);
  g_opening = {};
}
BENCHMARK(BM_EventOpeningFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->Iterations(600);

}  // namespace
