// One engine frame of the headless attack rig as the program's frame runs it, for the attack
// benchmarks: a 1/60 s step later (17, 17, 16 ms), the rig's main task with the units' updates,
// the effect tasks, the animations, the compose and the present, without the test driver's input
// and sound recording.

#pragma once

#include <cstdint>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/attack_rig.h"
#include "testsupport/program_driver.h"

inline void AttackBenchFrame(testsupport::AttackRig& r) {
  static int n = 0;
  r.rig().driver().host().clock.Advance(++n % 3 == 0 ? 16 : 17);
  EngineContext& ctx = Ctx();
  ctx.frame_rate.Update();
  ctx.game_task.ExecTask();
  ctx.anime.Exec(static_cast<uint32_t>(ctx.frame_rate.GetTime()));
  ctx.ddraw.ShowWindow();
}
