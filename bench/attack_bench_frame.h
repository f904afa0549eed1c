#pragma once
// What the attack benchmarks share: one engine frame on the headless attack rig, and the rig's
// own units hidden so that only the attack's sprites are drawn.

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_unit_sprite.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/attack_rig.h"
#include "testsupport/program_driver.h"

namespace attack_bench {

// One engine frame a 1/60 s step later, as the program's frame runs it (the rig's main task with
// the units' updates, the effect tasks, the animations, the compose and the present), without
// the test driver's input and sound recording.
inline void Frame(testsupport::AttackRig& r) {
  static int n = 0;
  r.rig().driver().host().clock.Advance(++n % 3 == 0 ? 16 : 17);
  EngineContext& ctx = Ctx();
  ctx.frame_rate.Update();
  ctx.game_task.ExecTask();
  ctx.anime.Exec(static_cast<uint32_t>(ctx.frame_rate.GetTime()));
  ctx.ddraw.ShowWindow();
}

// The board's units hidden (a row's `before`).
inline void HideUnits(testsupport::AttackRig& r) {
  BattleContext& b = r.rig().battle();
  for (int i = 0; i < b.state.unit_count; ++i) {
    SlgUnit& u = b.state.units[static_cast<size_t>(i)];
    Slg::HideUnit(u);
    u.flags &= ~kUnitShown;
  }
}

}  // namespace attack_bench
