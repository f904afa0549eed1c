// The battle side of a frame for the units: 64 placed units, eight of them walking legs, each
// updated by Slg::UpdateUnit with a category function that keeps the body on its drawing
// position and draws its shadow (no animation step, no compose). "allocs/frame" counts the
// operator new calls in the steady frames: it should be 0.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_draw.h"
#include "battle/slg_unit_sprite.h"
#include "bench/battle_bench_common.h"
#include "bench/battle_bench_rig.h"
#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_scene.h"
#include "testsupport/unit_anm_writer.h"

namespace {

using namespace testsupport;

void FollowAndShadow(SlgUnit& unit, const SlgPair& screen) {
  if (unit.anm != nullptr && unit.anm->handle != nullptr) {
    SetAnmPos(unit.anm, screen);
    SlgSprSetPos(unit.anm->handle, screen);
  }
  Slg::DrawUnitShadow(screen);
}

void BM_BattleUnits(benchmark::State& state) {
  BattleBenchRig rig;
  TempTree& tree = rig.tree;
  TestScene& scene = rig.scene;
  BattleContext& battle = rig.battle;
  if (!rig.Open()) {
    state.SkipWithError("no display");
    return;
  }
  tree.Write("unit.spr", UnitAnmWriter(0).File(0));
  SprAnm* anm = TamvikFunc::LoadAnmFile("unit.spr");
  if (anm == nullptr) {
    state.SkipWithError("no animation file");
    return;
  }
  battle.sys_sprites[kSysShadow].file = anm;
  battle.state.category_update[1] = FollowAndShadow;
  EngineContext& ctx = scene.engine().ctx();
  ctx.frame_rate.active = 1;
  auto now = [&] { return static_cast<int32_t>(ctx.frame_rate.GetTime()); };

  SlgBattleState& s = battle.state;
  s.unit_count = 64;
  for (int i = 0; i < 64; ++i) {
    SlgUnit& u = s.units[static_cast<size_t>(i)];
    u.slot = static_cast<uint8_t>(i);
    u.kind = 40;  // no UnitAnm rows: the body set is given below
    u.category = 1;
    u.dir = static_cast<uint8_t>(i % 4);
    u.flags = kUnitShown | kUnitOnGrid;
    u.x = ((i % 8) * 96 + 96) << 16;
    u.y = ((i / 8) * 48 + 48) << 16;
    Slg::PlaceUnit(u);
    u.anims[kUnitAnmBaseBody] = anm;
    if (i % 8 == 0) {
      Slg::SetUnitDir(u, 1);
      u.state = kUnitStateWalk;
      u.walk_state = {now(), u.x, u.y, 0, 0};
    } else {
      SetUnitStandPattern(u);
      ChangeUnitAnm(u, 0);
    }
  }
  auto frame = [&] {
    scene.engine().host.clock.Advance(17);
    ctx.frame_rate.Update();
    for (int i = 0; i < 64; ++i) {
      SlgUnit& u = s.units[static_cast<size_t>(i)];
      battle_bench::WalkAgainAndAgain(u, static_cast<uint32_t>(now()));
      Slg::UpdateUnit(u);
    }
  };
  for (int i = 0; i < 8; ++i) {
    frame();
    ctx.ddraw_spr.DrawBuffer(SURFACE_ROOT);
  }

  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    frame();
    allocations += BenchAllocations() - before;
    // The shadows are one-frame entries: the draw (not measured) takes them out again.
    state.PauseTiming();
    ctx.ddraw_spr.DrawBuffer(SURFACE_ROOT);
    state.ResumeTiming();
  }
  state.counters["allocs/frame"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
  for (SlgUnit& u : s.units) u.anims.fill(nullptr);
  Slg::ReleaseAllUnitSprites();
  battle.sys_sprites[kSysShadow].file = nullptr;
  TamvikFunc::ReleaseAnmFile(anm);
}
BENCHMARK(BM_BattleUnits)->Unit(benchmark::kMicrosecond);

}  // namespace
