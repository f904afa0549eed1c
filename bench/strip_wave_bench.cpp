// The strip wave at its largest use: a full 640 x 480 picture cut into 240 strips of 2 lines,
// every strip moved each frame. One iteration is one frame: the task pass (the wave's step) and
// the compose that draws the strips, beside BM_ComposeFrame's plain compose. Goal: under 1 ms.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_strip_wave.h"
#include "battle/slg_task.h"
#include "bench/battle_bench_rig.h"
#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "platform/surface.h"

namespace {

void BM_StripWave(benchmark::State& state) {
  BattleBenchRig rig;
  if (!rig.Open()) {
    state.SkipWithError("no display");
    return;
  }
  EngineContext& ctx = rig.scene.engine().ctx();
  CDdrawFunc& dd = ctx.ddraw;
  platform::Surface* source = dd.GetSurface(SURFACE_SCRATCH);
  for (int y = 0; y < source->height(); ++y) {
    for (int x = 0; x < source->width(); ++x)
      source->Row(y)[x] = static_cast<uint16_t>(x * 31 + y * 7);
  }
  SlgEffectTask* task = SlgLineScrollStart("Bench::LineScroll", SURFACE_SCRATCH, 0, 0, 640, 480,
                                           2, SURFACE_ROOT, 0, 0);
  if (task == nullptr) {
    state.SkipWithError("the wave could not start");
    return;
  }
  SlgLineScrollSetAmp(task, 2 << 16, 32 << 16, 1 << 16);
  SlgTaskNextPhase(task);
  auto frame = [&] {
    rig.scene.engine().host.clock.Advance(17);
    ctx.frame_rate.Update();
    ctx.game_task.ExecTask();
    dd.ShowWindow();
  };
  ctx.frame_rate.active = 1;
  for (int i = 0; i < 4; ++i) frame();  // entries made, the wave running
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    frame();
    allocations += BenchAllocations() - before;
  }
  state.counters["allocs/frame"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
  SlgTaskEndAll();
}
BENCHMARK(BM_StripWave)->Unit(benchmark::kMicrosecond);

}  // namespace
