// Map 9's drifting particles' share of a battle frame: the 24 particles (two twins of 12) and the
// drift controller through their own per-frame functions, every particle at age 479 so that each
// replays its longest path (479 frames of recorded drift) and stays inside its field. Goal: under
// 0.5 ms a frame in a release build, no heap allocation ("allocs/frame") and no battle block
// ("battle allocs/frame").

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/map09.h"
#include "bench/event_bench_rig.h"
#include "bench/bench_allocations.h"

namespace {

using namespace testsupport;

// Every particle one frame short of its last, placed so that its path over 479 frames of its
// recorded drift (`drift`: the x it travels, by particle) and its rise ends inside the field.
void AgeParticles(const SlgBattleState& s, const std::array<int32_t, 2 * kMap09Particles>& drift) {
  const int32_t cx = s.scroll_x + s.scroll_offset_x;
  const int32_t cy = s.scroll_y + s.scroll_offset_y;
  size_t n = 0;
  for (auto& twin : Map09State().particles) {
    for (Map09Particle& p : twin) {
      p.running = 1;
      p.age = kMap09ParticleLife - 2;
      p.start_x = (cx + 400) * 65536 - drift[n++];
      p.speed = -4 * 65536;
      p.start_y = (cy + 2000) * 65536;
    }
  }
}

void BM_Map09Particles(benchmark::State& state) {
  EventBenchRig rig;
  if (!rig.OpenEvents({84, 85})) {
    state.SkipWithError("no display");
    return;
  }
  kMap09Setup.deferred();
  FixTaskList& list = rig.battle.fix_tasks;
  if (list.count != 2 * kMap09Particles + 1) {
    state.SkipWithError("the particles were not made");
    return;
  }
  auto step = [&] { rig.RunFixTaskBodies(); };
  step();  // the particles start and play their animations
  std::array<int32_t, 2 * kMap09Particles> drift{};
  AgeParticles(rig.battle.state, drift);
  step();  // and record their drift history up to their age
  size_t n = 0;
  for (auto& twin : Map09State().particles) {
    for (Map09Particle& p : twin) {
      drift[n++] = p.history.Replay(kMap09ParticleLife - 1, -2 * 65536, 0);
    }
  }
  uint64_t allocations = 0;
  uint64_t blocks = 0;
  for (auto _ : state) {
    AgeParticles(rig.battle.state, drift);
    const uint64_t before = BenchAllocations();
    const uint32_t before_blocks = rig.battle.alloc.calls;
    step();
    allocations += BenchAllocations() - before;
    blocks += rig.battle.alloc.calls - before_blocks;
  }
  for (const auto& twin : Map09State().particles) {
    for (const Map09Particle& p : twin) {
      if (p.running != 1) state.SkipWithError("a particle left its field");
    }
  }
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  state.counters["battle allocs/frame"] =
      benchmark::Counter(static_cast<double>(blocks), benchmark::Counter::kAvgIterations);
  EndEventCheck();
}
BENCHMARK(BM_Map09Particles)->Unit(benchmark::kMicrosecond);

}  // namespace
