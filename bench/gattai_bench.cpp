// The heaviest frame of the combination attack's closing, one engine frame on the headless attack
// rig (task pass with the units' updates, animations, compose, present), beside BM_ComposeFrame:
//
// - BM_GattaiFlash: the flash "Gattai::Akira" at its full zoom 6.0 (a 128 x 128 animation drawn
//   768 pixels across, clipped to the screen) with its blend word 0x90000, over opening A's still
//   of the screen (640 x 480 at depth 511). The attack is played on the rig up to the flash's last
//   frame; the flash is then held there (its task kept from its end) while the frames are timed.
//
// Goal: under 3 ms a frame; "allocs/frame" counts the allocations of the steady frames (goal 0).
// The rig's own units are hidden; BM_DododiRigIdle is the yardstick of the rig's own frame.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/gattai.h"
#include "bench/attack_bench_frame.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

constexpr int32_t kFlashFull = 0x60000;  // 6.0
constexpr int kFrameLimit = 900;

SlgEffectTask* TaskNamed(const char* name) {
  GameTaskRec* rec = Ctx().game_task.FindTask(name);
  return rec != nullptr ? static_cast<SlgEffectTask*>(rec->work) : nullptr;
}

void BM_GattaiFlash(benchmark::State& state) {
  // The body (8 frames of 2 ticks), the flash (128 pixels), the rings and the sparkles.
  AttackRig r({.kind = 1,
               .type = 5,
               .fixtures =
                   [](AttackFixtures& f) {
                     f.Slot(kAnmGattaiBody, 2, {.frames = 8, .ticks = 2});
                     std::vector<AttackAnim> effect(3, AttackAnim{.frames = 8, .side = 48});
                     effect[0].side = 128;  // the flash
                     f.Slot(kAnmGattaiEffect, effect);
                     f.Slot(kAnmGattaiExtEffect, 1);
                     f.Pictures(kAnmGattaiBg, {{64, 64}});
                   },
               .before =
                   [](AttackRig& rig) {
                     HideAttackRigUnits(rig);
                     rig.attacker().character = 0;  // opening A: the still
                   }});
  r.Start();
  // Up to the flash at its full size (its task then ends on the next frame).
  SlgEffectTask* flash = nullptr;
  for (int n = 0; n < kFrameLimit; ++n) {
    r.Step();
    flash = TaskNamed("Gattai::Akira");
    const EffectWork* w = flash != nullptr ? EffectWorkOf(flash) : nullptr;
    if (w != nullptr && w->zoom >= kFlashFull) break;
    flash = nullptr;
  }
  const GattaiWork& g = Gattai();
  if (flash == nullptr || EffectWorkOf(flash)->obj.handle == nullptr ||
      g.still_entry == nullptr) {
    state.SkipWithError("no full flash over the still");
    return;
  }
  // Held at its last frame: the task redraws it at 6.0 each frame and never ends.
  TimeAttackFrames(state, r, [&] {
    if (flash->phase == 2) flash->phase = 1;
  });
  state.counters["zoom"] = static_cast<double>(EffectWorkOf(flash)->zoom) / 65536.0;
  // Let the attack finish.
  for (int n = 0; n < kFrameLimit && !r.Ended(); ++n) r.Step();
}
BENCHMARK(BM_GattaiFlash)->Unit(benchmark::kMicrosecond);

}  // namespace
