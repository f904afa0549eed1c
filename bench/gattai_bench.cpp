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
//
// - BM_GattaiBriseFrame: BRISE's part in state 1 with a flash on (its clock held at frame 25):
//   176 strip entries moved by the wave, the 640 x 480 flash at its alpha, the letterbox. Goal
//   under 3 ms a frame, no allocation.
// - BM_GattaiBriseSetup: the frame of BRISE's set-up (the 176 strip cuts of two 704 x 400
//   pictures, the flash), the attack played up to it for each iteration untimed. Goal under 16 ms.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/effect_family.h"
#include "battle_effects/gattai.h"
#include "battle_effects/gattai_brise.h"
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
                     // No heroine part: the closing follows the opening at once.
                     rig.rig().battle().Extension<GattaiWork>().table[0] = nullptr;
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

// BRISE's part (kind 6, character 6) with its four slots and two pictures larger than the band.
testsupport::AttackCase BriseRow() {
  return {.kind = 6,
          .type = 5,
          .fixtures =
              [](AttackFixtures& f) {
                f.Slot(kAnmGattaiBody, 2, {.frames = 8, .ticks = 2});
                f.Slot(kAnmGattaiEffect, 3, {.frames = 8, .ticks = 2});
                for (int slot : {kAnmGattaiExtEffect, kAnmGattaiExtEffect2, kAnmGattaiExtEffect3,
                                 kAnmGattaiExtEffect4}) {
                  f.Slot(slot, 3);
                }
                f.Pictures(kAnmGattaiBg, {{704, 400}, {704, 400}});
              },
          .before =
              [](AttackRig& rig) {
                HideAttackRigUnits(rig);
                rig.attacker().character = 6;
              }};
}

void BM_GattaiBriseFrame(benchmark::State& state) {
  AttackRig r(BriseRow());
  r.Start();
  SlgEffectTask* routine = nullptr;
  for (int n = 0; n < kFrameLimit; ++n) {
    r.Step();
    routine = TaskNamed("Gattai::EachCharacter");
    const GattaiBriseWork& b = GattaiBriseBlock();
    if (routine != nullptr && EffectWorkOf(routine)->state == 1 && b.flash_entry != nullptr) break;
    routine = nullptr;
  }
  if (routine == nullptr) {
    state.SkipWithError("no flash in state 1");
    return;
  }
  // The state's clock held at frame 25: the flash stays on, the drops never start.
  TimeAttackFrames(state, r, [&] { EffectWorkOf(routine)->start_ms = routine->now - 417; });
  int moved = 0;
  const GattaiBriseWork& b = GattaiBriseBlock();
  for (int i = 0; i < kBriseStrips; ++i) {
    moved += (b.entries0 != nullptr && b.entries0[i] != nullptr) +
             (b.entries1 != nullptr && b.entries1[i] != nullptr);
  }
  state.counters["strips"] = moved;
  state.counters["flash"] = b.flash_entry != nullptr ? 1 : 0;
  for (int n = 0; n < 2 * kFrameLimit && !r.Ended(); ++n) r.Step();
}
BENCHMARK(BM_GattaiBriseFrame)->Unit(benchmark::kMicrosecond);

void BM_GattaiBriseSetup(benchmark::State& state) {
  int strips = 0;
  for (auto _ : state) {
    state.PauseTiming();
    {
      AttackRig r(BriseRow());
      r.Start();
      // Up to the routine's step 1 (its set-up runs on the next frame).
      SlgEffectTask* routine = nullptr;
      for (int n = 0; n < kFrameLimit && routine == nullptr; ++n) {
        r.Step();
        routine = TaskNamed("Gattai::EachCharacter");
        if (routine != nullptr && routine->phase != 1) routine = nullptr;
      }
      if (routine == nullptr) {
        state.SkipWithError("no set-up");
        state.ResumeTiming();
        break;
      }
      state.ResumeTiming();
      AttackBenchFrame(r);
      state.PauseTiming();
      const GattaiBriseWork& b = GattaiBriseBlock();
      strips = 0;
      for (int i = 0; i < kBriseStrips; ++i) {
        strips += (b.strips0 != nullptr && b.strips0[i] != nullptr) +
                  (b.strips1 != nullptr && b.strips1[i] != nullptr);
      }
      for (int n = 0; n < 2 * kFrameLimit && !r.Ended(); ++n) r.Step();
    }
    state.ResumeTiming();
  }
  state.counters["strips"] = strips;
}
BENCHMARK(BM_GattaiBriseSetup)->Unit(benchmark::kMillisecond)->Iterations(8);

}  // namespace
