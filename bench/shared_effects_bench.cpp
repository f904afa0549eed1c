// The shared unit effects: both falling-sprite bursts and a flash running at once around one
// unit, each started again on the frame after it has ended. A frame is the three effect steps,
// the task pass and the animation list's step (no compose). Goal: under 30 us a frame on one
// core in a release build. Beside the time: "objects" (the effects' pool objects, averaged),
// "allocs/frame" (operator new calls in the frames that start no effect: should be 0),
// "allocs/start" (those of a frame that starts one: the work block and the first animations)
// and "slg allocs/frame" (battle allocator blocks, one per burst started).

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_effect_calls.h"
#include "battle/slg_sys_spr.h"
#include "battle/slg_task.h"
#include "battle_events/runtime/shared_effects.h"
#include "battle_events/runtime/shared_effects_state.h"
#include "bench/battle_bench_rig.h"
#include "bench/bench_allocations.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "testsupport/system_sprites.h"
#include "testsupport/temp_tree.h"

namespace {

using namespace testsupport;

void BM_SharedEffects(benchmark::State& state) {
  BattleBenchRig rig;
  if (!rig.Open()) {
    state.SkipWithError("no display");
    return;
  }
  GameTree tree;
  EngineContext& ctx = rig.scene.engine().ctx();
  rig.UseTree(tree);
  SystemSpriteSet().Lay(tree);
  LoadSystemSprites();
  for (int slot : {kSysBougyoEffect, kSysKaifukuEffect, kSysTameEffect}) {
    if (SlgSysSprite(slot) == nullptr) {
      state.SkipWithError("an effect sprite did not load");
      return;
    }
  }
  InstallSharedEffects(rig.battle);
  // One unit below the screen centre (the effects read its depth only).
  SlgBattleState& s = rig.battle.state;
  s.unit_count = 1;
  SlgUnit& unit = s.units[0];
  unit.x = 320 << 16;
  unit.y = 300 << 16;
  const SlgPair pos{0, 60 << 16};
  const SharedEffectsState& effects = rig.battle.Extension<SharedEffectsState>();
  const auto starting = [&] {
    return effects.fall == nullptr || effects.fall2 == nullptr || effects.flash == nullptr;
  };
  ctx.frame_rate.active = 1;
  auto frame = [&] {
    rig.scene.engine().host.clock.Advance(17);
    ctx.frame_rate.Update();
    ctx.game_task.ExecTask();
    SlgFallEffect(unit, pos);
    SlgFallEffect2(unit, pos);
    SlgFlashEffect(unit, pos);
    ctx.anime.Exec(static_cast<uint32_t>(ctx.frame_rate.GetTime()));
  };
  // A few whole runs of every effect first: the engine's lists grow to their peak.
  for (int i = 0; i < 600; ++i) frame();

  uint64_t allocations = 0;
  uint64_t start_allocations = 0;
  int64_t starts = 0;
  int64_t objects = 0;
  const uint32_t slg_before = rig.battle.alloc.calls;
  for (auto _ : state) {
    const bool starts_now = starting();
    const uint64_t before = BenchAllocations();
    frame();
    const uint64_t made = BenchAllocations() - before;
    if (starts_now) {
      start_allocations += made;
      ++starts;
    } else {
      allocations += made;
    }
    objects += rig.battle.anm_pool.in_use;
  }
  const auto frames = static_cast<double>(state.iterations());
  state.counters["objects"] = static_cast<double>(objects) / frames;
  const double steady = frames - static_cast<double>(starts);
  state.counters["allocs/frame"] = steady > 0 ? static_cast<double>(allocations) / steady : 0.0;
  state.counters["allocs/start"] =
      starts != 0 ? static_cast<double>(start_allocations) / static_cast<double>(starts) : 0.0;
  state.counters["slg allocs/frame"] = (rig.battle.alloc.calls - slg_before) / frames;
  SlgTaskEndAll();
  FreeSystemSprites();
}
BENCHMARK(BM_SharedEffects)->Unit(benchmark::kMicrosecond);

}  // namespace
