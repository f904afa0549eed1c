// The fixed sprites' share of a battle frame: 64 fixed sprites (EventAnm animations of two kinds,
// already playing) through the standard per-frame function on a map that scrolls a pixel a frame,
// and one tone change over all of them (FixTaskUpdateAll). Goal: under 30 us a frame in a release
// build, no heap allocation ("allocs/frame").

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle_events/fix_task.h"
#include "bench/event_bench_rig.h"
#include "bench/bench_allocations.h"

namespace {

using namespace testsupport;

void BM_FixedSprites(benchmark::State& state) {
  EventBenchRig rig;
  if (!rig.OpenEvents({81, 82})) {
    state.SkipWithError("no display");
    return;
  }
  for (int i = 0; i < kFixTaskMax; ++i) {
    const int32_t x = (64 + 24 * (i % 16)) << 16;
    const int32_t y = (200 + 40 * (i / 16)) << 16;
    // A quarter of each shade mode's sign, the rest plain.
    const int32_t sx = i % 4 == 1 ? -x : x;
    const int32_t sy = i % 4 == 2 ? -y : y;
    if (FixTaskAddOne(static_cast<uint32_t>(16 * (i % 2)), 81 + static_cast<uint32_t>(i % 2), sx,
                      sy) == nullptr) {
      state.SkipWithError("a fixed sprite was not made");
      return;
    }
  }
  FixTaskList& list = rig.battle.fix_tasks;
  SlgBattleState& s = rig.battle.state;
  uint32_t frame = 0;
  auto step = [&] {
    s.scroll_x = static_cast<int16_t>(frame % 600);
    s.scroll_y = static_cast<int16_t>(frame % 400);
    for (int i = 0; i < list.count; ++i) FixTaskMain(list.tasks[static_cast<size_t>(i)]);
    SlgFixTask::UpdateAll(128 + frame % 128);
    ++frame;
  };
  step();  // the first shown frame plays the animations
  for (int i = 0; i < list.count; ++i) {
    if (FixTaskWorkOf(list.tasks[static_cast<size_t>(i)])->obj->handle == nullptr) {
      state.SkipWithError("a fixed sprite's animation did not play");
      return;
    }
  }
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    step();
    allocations += BenchAllocations() - before;
  }
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  EndEventCheck();
}
BENCHMARK(BM_FixedSprites)->Unit(benchmark::kMicrosecond);

}  // namespace
