// One engine frame of an attack on the headless attack rig, as the benchmarks of the attack
// families time it: a 1/60 s step later (16 or 17 ms), the rig's main task with the units'
// updates, the effect tasks, the animations, the compose and the present, without the test
// driver's input and sound recording.

#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>

#include "bench/bench_allocations.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/attack_rig.h"
#include "testsupport/program_driver.h"

inline void AttackBenchFrame(testsupport::AttackRig& r) {
  static int n = 0;
  r.rig().driver().host().clock.Advance(++n % 3 == 0 ? 16 : 17);
  EngineContext& ctx = Ctx();
  ctx.frame_rate.Update();
  ctx.game_task.ExecTask();
  ctx.anime.Exec(static_cast<uint32_t>(ctx.frame_rate.GetTime()));
  ctx.ddraw.ShowWindow();
}

// Four frames to settle, then the timed frames, each after `change` (when given, also before the
// settling frames), with the allocations they make counted ("allocs/frame").
inline void TimeAttackFrames(benchmark::State& state, testsupport::AttackRig& r,
                             const std::function<void()>& change = {}) {
  for (int i = 0; i < 4; ++i) {
    if (change) change();
    AttackBenchFrame(r);
  }
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    if (change) change();
    AttackBenchFrame(r);
    allocations += BenchAllocations() - before;
  }
  state.counters["allocs/frame"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
