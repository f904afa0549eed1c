// The two heaviest frames of Kamui's special attack, played by the routine itself on the headless
// attack rig, each one engine frame (task pass with the units' updates, animations, compose,
// present), beside BM_ComposeFrame:
//
// - BM_KamuiBackgroundIn: step 11: the 640 x 480 background blended at an alpha that changes
//   every third frame, the five stroke polygons, and the line scroll's 240 strips of 640 x 2
//   (started early here: the routine starts it at step 12).
// - BM_KamuiStorm: step 17 as step 16 leaves it: 20 zoomed rain drops falling and restarting,
//   three looping hit effects and the attacker's body, under a white fade held half-way.
//
// The routine's step clock is held so the step never ends. Goal: under 3 ms a frame;
// "allocs/frame" counts the allocations of the steady frames (goal 0).

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/kamui.h"
#include "bench/attack_bench_frame.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;

AttackRig MakeRig() {
  return AttackRig({.kind = 20,
                    .type = 1,
                    .dir = 1,
                    .layout = AttackLayout::kThree,
                    .fixtures = [](AttackFixtures& f) {
                      f.Slot(kAnmSpecialBody, 3, AttackAnim{.frames = 8, .side = 96});
                      f.Slot(kAnmSpecialEffect, 13, AttackAnim{.frames = 8, .side = 48});
                      f.Pictures(kAnmSpecialBg, {{640, 480}, {640, 480}});
                    }});
}

// Plays the attack until the routine has reached `step`; false when it never does.
bool PlayTo(AttackRig& r, uint32_t step) {
  r.Start();
  for (int i = 0; i < 3000; ++i) {
    r.Step();
    if (r.attacker().step == step) return true;
  }
  return false;
}

void BM_KamuiBackgroundIn(benchmark::State& state) {
  AttackRig r = MakeRig();
  if (!PlayTo(r, 11)) {
    state.SkipWithError("step 11 not reached");
    return;
  }
  KamuiAttack& k = KamuiFamilyWork().attack;
  SlgTaskNextPhase(k.line_scroll);
  // Frames 0-89 of the fade over and over: the alpha changes every third frame.
  int frame = 0;
  TimeAttackFrames(state, r, [&] {
    frame = (frame + 1) % 90;
    k.clock.start = r.rig().Now() - static_cast<uint32_t>(frame * 1000 / 60);
  });
}
BENCHMARK(BM_KamuiBackgroundIn)->Unit(benchmark::kMicrosecond);

void BM_KamuiStorm(benchmark::State& state) {
  AttackRig r = MakeRig();
  if (!PlayTo(r, 17)) {
    state.SkipWithError("step 17 not reached");
    return;
  }
  KamuiAttack& k = KamuiFamilyWork().attack;
  SlgFade(128, 127, 1 << 20, 1);  // white, held half-way
  TimeAttackFrames(state, r, [&] { k.clock.start = r.rig().Now(); });
}
BENCHMARK(BM_KamuiStorm)->Unit(benchmark::kMicrosecond);

}  // namespace
