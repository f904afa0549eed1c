// One engine frame of an attack on the headless attack rig, as the benchmarks of the attack
// families time it: a 1/60 s step later (16 or 17 ms), the rig's main task with the units'
// updates, the effect tasks, the animations, the compose and the present, without the test
// driver's input and sound recording. Also the rig's own units hidden, so that only the attack's
// sprites are drawn.

#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_unit_sprite.h"
#include "bench/bench_allocations.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/attack_rig.h"
#include "testsupport/program_driver.h"

// The board's units hidden (an attack rig row's `before`).
inline void HideAttackRigUnits(testsupport::AttackRig& r) {
  BattleContext& b = r.rig().battle();
  for (int i = 0; i < b.state.unit_count; ++i) {
    SlgUnit& u = b.state.units[static_cast<size_t>(i)];
    Slg::HideUnit(u);
    u.flags &= ~kUnitShown;
  }
}

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
