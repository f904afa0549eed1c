// Map 4's wind-driven particles' share of a battle frame: the wind controller and the 46
// particles through their own per-frame functions, every particle at age 479 so that each
// replays its longest recorded path (479 frames of recorded wind). Goal: under 0.5 ms a frame in
// a release build, no heap allocation ("allocs/frame") and no battle block ("battle allocs/frame").

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/map04.h"
#include "bench/event_bench_rig.h"
#include "bench/bench_allocations.h"

namespace {

using namespace testsupport;

constexpr SlgEventEntry kNoRows[] = {kEventTableEnd};
constexpr int32_t kDeepestAge = kMap04ParticleHistory - 1;

// Every particle running at age 479 on the wind's count.
void AgeParticles() {
  Map04Words& w = Map04State();
  for (Map04Particle& p : w.particles) {
    p.running = 1;
    p.start_frame = w.wind_frames - kDeepestAge;
  }
}

void BM_Map04Particles(benchmark::State& state) {
  EventBenchRig rig;
  if (!rig.OpenEvents({101, 102})) {
    state.SkipWithError("no display");
    return;
  }
  kMap04Setup.deferred();
  FixTaskList& list = rig.battle.fix_tasks;
  if (list.count != 1 + kMap04Particles) {
    state.SkipWithError("the particles were not made");
    return;
  }
  auto step = [&] { rig.RunFixTaskBodies(); };
  step();  // the wind's first frame; the particles start and play their animations
  Map04State().wind.value = 0x18000;  // a wind blowing, on every frame recorded
  AgeParticles();
  step();  // the particles record their wind history up to their age
  uint64_t allocations = 0;
  uint64_t blocks = 0;
  for (auto _ : state) {
    AgeParticles();
    const uint64_t before = BenchAllocations();
    const uint32_t before_blocks = rig.battle.alloc.calls;
    step();
    allocations += BenchAllocations() - before;
    blocks += rig.battle.alloc.calls - before_blocks;
  }
  for (const Map04Particle& p : Map04State().particles) {
    if (p.age != kDeepestAge) state.SkipWithError("a particle restarted");
  }
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  state.counters["battle allocs/frame"] =
      benchmark::Counter(static_cast<double>(blocks), benchmark::Counter::kAvgIterations);
  EndEventCheck();
}
BENCHMARK(BM_Map04Particles)->Unit(benchmark::kMicrosecond);

}  // namespace
