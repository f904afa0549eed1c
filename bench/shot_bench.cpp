// The shooting game's busiest frame: 50 live targets at all four depths (walkers, flyers with
// their shadows, pop-ups, diagonals, ten falling as tilted quads with their hit effects), the
// scenery pieces, the strip, the frame pictures and the letterbox: one mg_frame of one step with
// the game's procedure, drawing and present (goal: under 2 ms on one core, no allocation in the
// steady frames). The table and the objects are put back before each step, so every frame is the
// same busy one. And one shot that runs every probe of two blocking pieces over the 50 targets
// (goal: under 10 us).

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/minigame_context.h"
#include "minigames/shot/shot_game.h"
#include "minigames/shot/shot_tables.h"
#include "testsupport/shot_od.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_game.h"

namespace {

struct ShotRig {
  ShotRig() {
    game.engine.host.display.pitch_padding = 0;
    Ctx().file_io.SetInstallDir(tree.install().c_str());
    tree.Write("install/tamvik3/od/mg_shot.od", testsupport::ShotOd().Build());
    ready = Ctx().ddraw.InitDirectDraw() == 1;
  }
  // Frames of 17, 17, 16 ms: one step each.
  void Frame() {
    static constexpr std::array<uint32_t, 3> kMs = {17, 17, 16};
    game.engine.host.clock.Advance(kMs[static_cast<size_t>(cadence++ % 3)]);
    mg_frame();
  }
  // Starts row 7 in a hub mode (the common menu stays shut) and runs to stage 0; false when the
  // game did not get there.
  bool StartStage() {
    if (!ready || mg_start(7, mg::kModeHubMatch) != 1) return false;
    for (int i = 0; i < 200 && Minigame().shot.stage != 0; ++i) Frame();
    return Minigame().shot.stage == 0;
  }
  // The 50 targets of the busiest frame.
  static void Fill() {
    shot::ShotState& s = Minigame().shot;
    s.spawned = shot::kStageTable[0].quota;  // no more spawns
    for (int i = 0; i < shot::kTargetSlots; ++i) {
      shot::Target& t = s.targets[static_cast<size_t>(i)];
      const int depth = i % shot::kDepths;
      const shot::Depth& d = shot::kDepthTable[static_cast<size_t>(depth)];
      t = shot::Target{};
      t.state = shot::kMovingOut;
      t.layer = d.layer;
      t.x = 40 + (i * 37) % 560;
      t.y = depth == shot::kNearDepth ? 470 : 180 + 60 * depth;
      t.base_y = t.y;
      t.kind = depth == shot::kNearDepth ? shot::kPopUp : i % 3;
      if (t.kind == shot::kFlyer + 1) t.kind = shot::kDiagonal;
      t.dx = t.kind == shot::kPopUp ? 0 : (i % 2 == 0 ? -2 : 2);
      t.dy = t.kind == shot::kFlyer ? 40 : (t.kind == shot::kPopUp ? -8 : -2);
      t.phase_speed = 3;
      t.object = shot::kObjFirstTarget + i;
      t.anim = d.anim_base + shot::kNearAnimOffset;
      t.box_left = d.box_left;
      t.box_top = d.box_top;
      t.box_right = d.box_right;
      t.box_bottom = d.box_bottom;
      mg_obj_put(t.object, t.x, t.y, t.layer, t.anim, 0);
      const int effect = t.object + shot::kEffectOffset;
      if (i % 5 == 0) {
        const bool flyer = t.kind == shot::kFlyer;
        t.state = shot::kFalling;
        t.kind = flyer ? shot::kFallingDown : shot::kFallingOver;
        t.dx = 30;
        t.dy = -4;
        mg_obj_flag(t.object, mg::kObjRotate | (flyer ? 0 : mg::kObjEdgePivot), 1);
        mg_obj_set_tilt(t.object, 30);
        mg_obj_put(effect, t.x, t.y, t.layer - 1, shot::kAnimHitEffect + depth,
                   mg::kObjDeleteAtEnd);
      } else if (t.kind == shot::kFlyer) {
        mg_obj_put(effect, 0, 0, t.layer, shot::kAnimShadow, 0);
        mg_obj_set_parent(effect, t.object);
      }
    }
    // All seven pieces in view.
    for (int k = 0; k < 7; ++k) {
      mg_obj_set_x(shot::kPieces[static_cast<size_t>(k)].object, 40 + 80 * k);
    }
  }

  testsupport::GameTree tree;
  testsupport::TestGame game;
  MinigameContext minigame;
  MinigameScope scope{minigame};
  bool ready = false;
  int cadence = 0;
};

void BM_MinigameFrameShooting(benchmark::State& state) {
  ShotRig rig;
  if (!rig.StartStage()) {
    state.SkipWithError("the shooting game did not reach its first stage");
    return;
  }
  ShotRig::Fill();
  rig.Frame();
  static shot::ShotState saved_shot;
  static std::array<MgObject, mg::kObjectCount> saved_objects;
  saved_shot = Minigame().shot;
  saved_objects = Minigame().objects;
  Minigame().games[7].proc = [](int s) {
    Minigame().shot = saved_shot;
    Minigame().objects = saved_objects;
    return shot_proc(s);
  };
  for (int i = 0; i < 3; ++i) rig.Frame();
  uint64_t allocations = 0;
  int64_t steps = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    rig.Frame();
    allocations += BenchAllocations() - before;
    steps += Minigame().fw.last_steps;
  }
  state.counters["allocs/frame"] = static_cast<double>(allocations) / state.iterations();
  state.counters["steps/frame"] = static_cast<double>(steps) / state.iterations();
  int shown = 0;  // objects with an image on the layer lists
  for (int layer = 0; layer < mg::kLayerCount; ++layer) {
    for (int o = Minigame().layer_heads[static_cast<size_t>(layer)]; o != 0;
         o = Minigame().objects[static_cast<size_t>(o)].link) {
      if (Minigame().objects[static_cast<size_t>(o)].image != mg::kNoImage) ++shown;
    }
  }
  state.counters["objects"] = shown;
  if (Minigame().shot.stage != 0) state.SkipWithError("the stage did not stay busy");
  mg_end();
}
BENCHMARK(BM_MinigameFrameShooting)->Name("MinigameFrame/Shooting")->Unit(benchmark::kMicrosecond);

void BM_ShootingShot(benchmark::State& state) {
  ShotRig rig;
  if (!rig.StartStage()) {
    state.SkipWithError("the shooting game did not reach its first stage");
    return;
  }
  ShotRig::Fill();
  // Both blocking pieces of stage 0 over one another: all ten probes are opaque, so the far
  // targets are protected; the near layers' targets stand aside.
  mg_obj_set_pos(16, 200, 250);
  mg_obj_set_pos(17, 200, 250);
  for (shot::Target& t : Minigame().shot.targets) {
    if (t.layer <= 507) t.x = 600;
  }
  const int32_t sx = 280, sy = 330;
  const int32_t hits = Minigame().shot.hits;
  for (auto _ : state) benchmark::DoNotOptimize(shot::Shoot(sx, sy));
  state.counters["mask"] = static_cast<double>(shot::BlockMask(sx, sy));
  if (Minigame().shot.hits != hits) state.SkipWithError("the shot hit a target");
  mg_end();
}
BENCHMARK(BM_ShootingShot)->Name("ShootingShot")->Unit(benchmark::kMicrosecond);

}  // namespace
