// Player kind 9's special attack (type 1). BM_GdavoneStripFrame: one engine frame of its scene
// on the headless attack rig (the rig's task with the units' updates and the routine, the effect
// tasks, the animations, the compose, the present): 120 strips of 672 x 4 waving (each moved
// every frame), the column of four half-transparent entries scrolling, the two opening objects.
// The routine itself runs at its step 4, its clock held so that the feathers never start; the
// board's other units hidden. Goal: under 2 ms a frame, no allocation of the attack's own
// ("allocs/frame"; the rig's driver makes about 0.07 a frame of its own, see BM_DododiRigIdle).

#include <benchmark/benchmark.h>

#include <string>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/gdavone.h"
#include "battle_effects/step_timeline.h"
#include "bench/attack_bench_frame.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

// Hides every unit but the attacker (its update runs the routine).
void HideAllButAttacker(AttackRig& r) {
  BattleContext& b = r.rig().battle();
  for (int i = 0; i < b.state.unit_count; ++i) {
    SlgUnit& u = b.state.units[static_cast<size_t>(i)];
    if (&u == &r.attacker()) continue;
    Slg::HideUnit(u);
    u.flags &= ~kUnitShown;
  }
}

void BM_GdavoneStripFrame(benchmark::State& state) {
  AttackRig r({.kind = 9,
               .type = 1,
               .layout = testsupport::AttackLayout::kNone,
               .fixtures =
                   [](AttackFixtures& f) {
                     f.Slot(kAnmSpecialBody, 2, AttackAnim{.frames = 400, .ticks = 1, .side = 96});
                     f.Slot(kAnmSpecialEffect, 11, AttackAnim{.frames = 400, .ticks = 1});
                     f.Pictures(kAnmSpecialBg, {{672, 480}, {128, 128}});
                   },
               .before = &HideAllButAttacker});
  r.Start();
  GdavoneSpecial& w = GdavoneAttackWork().special;
  for (int i = 0; i < 400 && !(r.attacker().state == 6 && r.attacker().step == 4); ++i) r.Step();
  if (r.attacker().step != 4 || w.strip_count != kGdavoneStrips || w.pole_entries[0] == nullptr) {
    state.SkipWithError(("the scene did not come: step " + std::to_string(r.attacker().step) +
                         ", " + std::to_string(w.strip_count) + " strips")
                            .c_str());
    return;
  }
  TimeAttackFrames(state, r, [&w] { w.clock.start = TimelineNow(); });
}
BENCHMARK(BM_GdavoneStripFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
