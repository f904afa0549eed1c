// The battle's full frame through the engine frame (task pass, animations, compose and flip):
// a four-plane map scrolling, 64 units updated by their category and state handlers (16 player
// units standing with their idle effects, 44 kind-14 enemies standing, four enemies walking legs
// again and again), one damage gauge counting, 32 effect tasks each moving one animation, the
// map and mouse cursors, the range markers open over 256 cells. The battle's work runs in a task
// of the task list as the battle's main task will. Goal: under 3 ms a frame on one core, no
// allocation in the steady frames. Beside the time: "entries/frame" (sprite-buffer entries of
// the SLG layer before the compose, the engine's pool holds 1024), "allocs/frame" (operator new
// calls) and "slg allocs/frame" (blocks of the battle allocator).

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_command_state.h"
#include "battle/slg_gauge.h"
#include "battle/slg_map.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle/slg_unit_sprite.h"
#include "bench/battle_bench_common.h"
#include "bench/battle_frame_scene.h"
#include "bench/bench_allocations.h"
#include "engine/gfx/sprite/sprite.h"

namespace {

using battle_bench::BattleFrame;
using battle_bench::g_count;
using battle_bench::g_entries;

void BM_BattleFrame(benchmark::State& state) {
  BattleFrame program;
  if (!program.Build()) {
    state.SkipWithError("the battle frame could not be built");
    return;
  }
  // Warm up: lazily made buffers exist, every stand and idle effect has played.
  for (int i = 0; i < 600; ++i) {
    program.Frame();
    program.KeepGauge();
  }
  const int presented_before = program.engine.host.display.frames_presented;
  const uint32_t slg_before = program.battle.alloc.calls;
  uint64_t allocations = 0;
  uint32_t restart_blocks = 0;  // the gauge's restarts, not part of a frame
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    program.Frame();
    allocations += BenchAllocations() - before;
    if (DGaugeRunning(program.gauge) == 0) {
      state.PauseTiming();
      const uint32_t calls = program.battle.alloc.calls;
      program.KeepGauge();
      restart_blocks += program.battle.alloc.calls - calls;
      state.ResumeTiming();
    }
  }
  const auto frames = static_cast<double>(state.iterations());
  state.counters["allocs/frame"] = static_cast<double>(allocations) / frames;
  state.counters["slg allocs/frame"] = (program.battle.alloc.calls - slg_before - restart_blocks) / frames;
  state.counters["shown/frame"] =
      (program.engine.host.display.frames_presented - presented_before) / frames;
  g_count = true;
  program.Frame();
  g_count = false;
  state.counters["entries/frame"] = g_entries;
  if (program.battle.cmd.range_view != kSlgRangeShown)
    state.SkipWithError("the range markers are not shown");
  state.counters["pool"] = CDdrawSpr::kEntryCount;
  program.Teardown();
}
BENCHMARK(BM_BattleFrame)->Unit(benchmark::kMillisecond);

}  // namespace
