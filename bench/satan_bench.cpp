// The busiest frame of Satan's critical attack, on the headless attack rig: the lines part, with
// about 40 lines in flight (each replaying its path from its start, up to 40 steps of SlgAtan2 a
// frame, and drawn as a one-frame polygon), the blinking star's five strokes, the eye, the thunder
// and the growing energy. One iteration is one task pass (the rig's unit updates and every effect
// task) a 1/60 s step later; the animations and the compose that follow (which take the frame's
// one-frame polygons away) are run outside the timing.
//
// Goal: under 0.3 ms a pass. The energy is kept from filling (its clock held 60 frames back) so
// that the part never ends; "lines" counts the lines alive.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/effect_family.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/attack_rig.h"
#include "testsupport/program_driver.h"

namespace {

using testsupport::AttackRig;

constexpr const char* kEnergy = "Orbile::CriticalAttack:Energy";

int LinesAlive() {
  int n = 0;
  for (const std::string& name : AttackRig::LiveTaskNames()) {
    if (name.rfind("Orbile::CriticalAttack:Line", 0) == 0) ++n;
  }
  return n;
}

void KeepEnergyGrowing() {
  GameTaskRec* rec = Ctx().game_task.FindTask(kEnergy);
  if (rec == nullptr) return;
  auto* task = static_cast<SlgEffectTask*>(rec->work);
  if (EffectWork* w = EffectWorkOf(task)) w->start_ms = task->now - 1000;
}

void BM_SatanLines(benchmark::State& state) {
  AttackRig r({.kind = 33,
               .before = [](AttackRig&) { Battle().attack.attack_kind = 3; }});
  r.Start();
  // To the energy, and on until the lines in flight no longer grow.
  for (int i = 0; i < 2000 && Ctx().game_task.FindTask(kEnergy) == nullptr; ++i) r.Step();
  for (int i = 0; i < 45; ++i) {
    KeepEnergyGrowing();
    r.Step();
  }
  if (Ctx().game_task.FindTask(kEnergy) == nullptr) {
    state.SkipWithError("the lines part was not reached");
    return;
  }
  EngineContext& ctx = Ctx();
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    r.rig().driver().host().clock.Advance(++n % 3 == 0 ? 16 : 17);
    ctx.frame_rate.Update();
    KeepEnergyGrowing();
    state.ResumeTiming();
    ctx.game_task.ExecTask();
    state.PauseTiming();
    ctx.anime.Exec(static_cast<uint32_t>(ctx.frame_rate.GetTime()));
    ctx.ddraw.ShowWindow();
    state.ResumeTiming();
  }
  state.counters["lines"] = LinesAlive();
}
BENCHMARK(BM_SatanLines)->Unit(benchmark::kMicrosecond);

}  // namespace
