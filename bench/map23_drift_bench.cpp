// Map 23's ambient drift: the twelve particles and the wind (thirteen fixed-sprite tasks) with
// every particle at age 479 (one vector to record a frame, no restart) and the wind moving. Goal:
// under 50 us a frame in a release build, no heap allocation ("allocs/frame").

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/map23.h"
#include "battle_events/runtime/effect_objects.h"
#include "bench/event_bench_rig.h"
#include "bench/bench_allocations.h"

namespace {

using namespace testsupport;

void BM_Map23Drift(benchmark::State& state) {
  EventBenchRig rig;
  if (!rig.OpenEvents({92})) {
    state.SkipWithError("no display");
    return;
  }
  kMap23Setup.deferred();
  FixTaskList& list = rig.battle.fix_tasks;
  if (list.count != kMap23Particles + 1) {
    state.SkipWithError("the drift's sprites were not made");
    return;
  }
  Map23Words& w = Map23State();
  SlgBattleState& s = rig.battle.state;
  auto step = [&] { rig.RunFixTaskBodies(); };
  step();  // the first frame starts every particle
  uint32_t frame = 0;
  uint64_t allocations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    s.scroll_x = static_cast<int16_t>(frame % 64);
    const int32_t now = EffectFrames(0);
    for (Map23Particle& p : w.particles) {
      p.start_frame = now - 479;
      p.recorded = 478;
      p.x = (s.scroll_x + s.scroll_offset_x + 320) * 65536;
      p.y = (s.scroll_y + s.scroll_offset_y + 240) * 65536;
      // Each frame starts from the view's centre with nothing summed yet, so the one vector the
      // frame records keeps the particle there (iterations never add up to leave the map).
      p.start_x = p.x;
      p.start_y = p.y;
      p.sum_x = 0;
      p.sum_y = 0;
    }
    ++frame;
    state.ResumeTiming();
    const uint64_t before = BenchAllocations();
    step();
    allocations += BenchAllocations() - before;
  }
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  SlgEventCheck::EndEventCheck();
}

}  // namespace

BENCHMARK(BM_Map23Drift)->Unit(benchmark::kMicrosecond);
