// Map 19's fixed sprites' share of a battle frame: the five repeating one-shots and the 24
// drifting sprites (29 fixed-sprite tasks) through their own per-frame functions, with the view
// scrolling so that drifts leave their box and restart. Goal: under 0.5 ms a frame in a release
// build, no heap allocation ("allocs/frame") and no battle block ("battle allocs/frame") in a
// steady frame.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/map19.h"
#include "bench/event_bench_rig.h"
#include "bench/bench_allocations.h"

namespace {

using namespace testsupport;

// The one-shots' and the drifts' sprites, and the fixed sprites the deferred set-up makes.
constexpr int kMap19FixedSprites = 5 + kMap19Drifts;

void BM_Map19Drift(benchmark::State& state) {
  EventBenchRig rig;
  if (!rig.OpenEvents({112, 113, 114})) {
    state.SkipWithError("no display");
    return;
  }
  kMap19Setup.deferred();
  FixTaskList& list = rig.battle.fix_tasks;
  if (list.count != kMap19FixedSprites) {
    state.SkipWithError("the fixed sprites were not made");
    return;
  }
  SlgBattleState& s = rig.battle.state;
  uint32_t frame = 0;
  auto step = [&] {
    s.scroll_x = static_cast<int16_t>((frame++ * 3) % 256);
    rig.RunFixTaskBodies();
  };
  for (int i = 0; i < 60; ++i) step();  // every drift started and its animation playing
  uint64_t allocations = 0;
  uint64_t blocks = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    const uint32_t before_blocks = rig.battle.alloc.calls;
    step();
    allocations += BenchAllocations() - before;
    blocks += rig.battle.alloc.calls - before_blocks;
  }
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  state.counters["battle allocs/frame"] =
      benchmark::Counter(static_cast<double>(blocks), benchmark::Counter::kAvgIterations);
  SlgEventCheck::EndEventCheck();
}
BENCHMARK(BM_Map19Drift)->Unit(benchmark::kMicrosecond);

}  // namespace
