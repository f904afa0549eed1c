// The battle side of a frame: 256 effect tasks, each moving its own sprite-file animation by its
// frames count, in one pass of the task list (no animation step, no compose). Beside the time,
// "allocs/frame" counts the operator new calls and "slg allocs/frame" the battle allocator's
// blocks taken in the steady frames: both should be 0.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_spawn.h"
#include "battle/slg_task.h"
#include "bench/battle_bench_rig.h"
#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/spr_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_scene.h"

namespace {

using namespace testsupport;

SprAnm* g_anm = nullptr;

// Phase 0 plays the animation; then every frame it moves along a line by the frames count.
void Mover(SlgEffectTask* t) {
  auto* obj = static_cast<SlgAnmObj*>(t->owned[0]);
  if (t->phase == 0) {
    obj->x = (t->index % 16 * 40 - 300) << 16;
    obj->y = (t->index / 16 * 28 - 220) << 16;
    SlgPlayAnm(g_anm, t->index % 2, obj, SURFACE_ROOT);
    SlgTaskNextPhase(t);
    return;
  }
  const int32_t step = t->frames % 64;
  SlgSprSetPos(obj->handle, SlgPair{obj->x + (step << 16), obj->y + ((step / 2) << 16)});
}

void BM_BattleEffectTasks(benchmark::State& state) {
  BattleBenchRig rig;
  TempTree& tree = rig.tree;
  TestScene& scene = rig.scene;
  BattleContext& battle = rig.battle;
  if (!rig.Open()) {
    state.SkipWithError("no display");
    return;
  }
  const std::vector<uint8_t> pixels(64, 1);
  tree.Write("fx.spr", AnimationFile({{31, 0, 0}, {0, 31, 0}},
                                     {{8, 8, kSprDepth8, 0, pixels}, {8, 8, kSprDepth8, 0, pixels}},
                                     {{BoxEntry(0, 0, 0, 8, 8)}, {BoxEntry(1, 0, 0, 8, 8)}},
                                     {{{0, 6}, {1, 6}}, {{1, 4}, {0, 4}}}));
  g_anm = TamvikFunc::LoadAnmFile("fx.spr");
  if (g_anm == nullptr) {
    state.SkipWithError("no animation file");
    return;
  }
  std::vector<std::string> names;
  for (int i = 0; i < 256; ++i) {
    SlgEffectTask* t = SlgTaskCreateAnm(&Mover, ("Bench::Mover" + std::to_string(i)).c_str());
    if (t == nullptr) {
      state.SkipWithError("a task could not be made");
      return;
    }
    t->index = static_cast<uint8_t>(i);
  }
  EngineContext& ctx = scene.engine().ctx();
  auto frame = [&] {
    scene.engine().host.clock.Advance(17);
    ctx.frame_rate.Update();
    ctx.game_task.ExecTask();
  };
  ctx.frame_rate.active = 1;
  for (int i = 0; i < 8; ++i) frame();  // the animations start; buffers exist

  uint64_t allocations = 0;
  const uint32_t slg_before = battle.alloc.calls;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    frame();
    allocations += BenchAllocations() - before;
  }
  const auto frames = static_cast<double>(state.iterations());
  state.counters["allocs/frame"] = static_cast<double>(allocations) / frames;
  state.counters["slg allocs/frame"] = (battle.alloc.calls - slg_before) / frames;
  SlgTaskEndAll();
  TamvikFunc::ReleaseAnmFile(g_anm);
}
BENCHMARK(BM_BattleEffectTasks)->Unit(benchmark::kMicrosecond);

}  // namespace
