// The samurai special attack's two heavy frames on the headless attack rig:
//
// - BM_SamuraiStrips: step 0 alone, the attack's longest frame: two 672 x 480 backgrounds cut
//   into 240 strips each, the 14 blends between them drawn and cut again (3,840 strips in all),
//   240 entries made. Goal: under 16 ms.
// - BM_SamuraiScene: a steady scene frame (the engine frame: task pass, animations, compose,
//   present): the cross-fade's 240 entries deleted and made again, the 240 strips swayed, 8
//   fireballs in flight (started again as they reach the centre, outside the timing), the figure
//   and its effects. Goal: under 2 ms; "allocs/frame" counts the allocations of the timed frames.

#include <benchmark/benchmark.h>

#include <string>

#include "battle/battle_context.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/attack_dispatch.h"
#include "battle_effects/attack_routines.h"
#include "battle_effects/samurai.h"
#include "bench/attack_bench_frame.h"
#include "bench/bench_allocations.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/attack_rig.h"
#include "testsupport/program_driver.h"

namespace {

using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;

constexpr int kKind = 22;
constexpr uint8_t kStateAttack = 6;

AttackRig MakeRig() {
  return AttackRig({.kind = kKind,
                    .type = 1,
                    .layout = AttackLayout::kFront,
                    .fixtures = [](AttackFixtures& f) {
                      f.Slot(kAnmSpecialBody, 3, {.frames = 8, .side = 96});
                      f.Slot(kAnmSpecialEffect, 6, {.frames = 8, .side = 48});
                      f.Pictures(kAnmSpecialBg, {{672, 480}, {672, 480}});
                    }});
}

// The rig stepped until the attack's routine runs (state 6) at `step`.
bool RunTo(AttackRig& r, uint32_t step) {
  r.Start();
  for (int i = 0; i < 600; ++i) {
    const SlgUnit& a = r.attacker();
    if (a.state == kStateAttack && a.step == step) return true;
    r.Step();
  }
  return false;
}

void BM_SamuraiStrips(benchmark::State& state) {
  AttackRig r = MakeRig();
  if (!RunTo(r, 0)) {
    state.SkipWithError("no attack");
    return;
  }
  SlgUnit& unit = r.attacker();
  SlgPair pos{};
  for (auto _ : state) {
    unit.step = 0;
    Samurai::SpecialAttack(unit, pos);
    state.PauseTiming();
    SamuraiGiveBack(SamuraiWorkOf().scene);
    SlgLayerRestore();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_SamuraiStrips)->Unit(benchmark::kMillisecond);

int LiveFireBalls() {
  int n = 0;
  for (GameTaskRec* t = Ctx().game_task.root()->next; t != nullptr; t = t->next) {
    if (!t->deleted && t->function == &SlgTaskStep &&
        t->name.rfind("Samurai::Special:ActFireBall", 0) == 0) {
      ++n;
    }
  }
  return n;
}

void NoStep(SlgUnit&, SlgPair&) {}

void BM_SamuraiScene(benchmark::State& state) {
  AttackRig r = MakeRig();
  // The scene from step 2 on, held there: the routine's slot then does nothing.
  if (!RunTo(r, 2)) {
    state.SkipWithError("no scene");
    return;
  }
  r.dispatch().slots.kinds[kKind].special = &NoStep;
  SamuraiScene& scene = SamuraiWorkOf().scene;
  int number = 100;
  for (int i = 0; i < 4; ++i) AttackBenchFrame(r);
  uint64_t allocations = 0;
  for (auto _ : state) {
    state.PauseTiming();
    while (LiveFireBalls() < 8) SamuraiStartFireBall(++number, scene.ctx->effect_anims);
    state.ResumeTiming();
    const uint64_t before = BenchAllocations();
    AttackBenchFrame(r);
    allocations += BenchAllocations() - before;
  }
  state.counters["allocs/frame"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_SamuraiScene)->Unit(benchmark::kMicrosecond);

}  // namespace
