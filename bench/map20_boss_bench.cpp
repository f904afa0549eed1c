// Map 20's heaviest boss frame: the horns, the weak point, the crackle, the jewel and its 30
// fragments through their own per-frame functions, every fragment at the latest frame of its
// flight (each replays its whole flight from its start values: up to 31 frames). Goal: under
// 0.1 ms a frame in a release build, no heap allocation ("allocs/frame") and no battle block
// ("battle allocs/frame") once the tasks are made.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_task.h"
#include "battle_events/maps/map20.h"
#include "bench/event_bench_rig.h"
#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"

namespace {

using namespace testsupport;

void BM_Map20BossFrame(benchmark::State& state) {
  EventBenchRig rig;
  if (!rig.OpenEvents({95, 96, 97, 98, 99, 100})) {
    state.SkipWithError("no display");
    return;
  }
  Map20Words& m = Map20State();
  std::vector<SlgEffectTask*> tasks = {Map20StartHorns(), Map20StartWeakPoint(),
                                       Map20StartCrackle(), Map20StartJewel()};
  m.horns = tasks[0];
  m.weak = tasks[1];
  m.crackle = tasks[2];
  m.jewel = tasks[3];
  for (SlgEffectTask* t : tasks) {
    if (t == nullptr) {
      state.SkipWithError("a boss task was not made");
      return;
    }
    t->body(t);  // set-up
  }
  m.weak_stage = 3;
  m.crackle_stage = 3;
  m.jewel->frames = kMap20FragmentFrame;
  for (SlgEffectTask* t : tasks) t->body(t);  // the stages seen; the jewel bursts
  std::vector<SlgEffectTask*> fragments;
  for (int i = 0; i < kMap20Fragments; ++i) {
    const std::string name = std::string(kMap20FragmentTask) + std::to_string(i);
    GameTaskRec* rec = Ctx().game_task.FindTask(name.c_str());
    if (rec == nullptr) {
      state.SkipWithError("a fragment was not made");
      return;
    }
    auto* t = static_cast<SlgEffectTask*>(rec->work);
    t->body(t);  // the draws
    t->body(t);  // the start values saved
    fragments.push_back(t);
  }
  // Each fragment one frame before the end of its flight.
  for (SlgEffectTask* t : fragments) {
    t->frames = (Map20WorkOf(t)->start.speed + 127) / 128 - 1;
    tasks.push_back(t);
  }
  uint64_t allocations = 0;
  uint64_t blocks = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    const uint32_t before_blocks = rig.battle.alloc.calls;
    for (SlgEffectTask* t : tasks) t->body(t);
    allocations += BenchAllocations() - before;
    blocks += rig.battle.alloc.calls - before_blocks;
  }
  for (SlgEffectTask* t : tasks) {
    if (t->phase != 1) state.SkipWithError("a task left its step");
  }
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  state.counters["battle allocs/frame"] =
      benchmark::Counter(static_cast<double>(blocks), benchmark::Counter::kAvgIterations);
  EndEventCheck();
}
BENCHMARK(BM_Map20BossFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
