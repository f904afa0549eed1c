// The heaviest frames of the TAMVIK and DAVONE heroine specials (kinds 1 and 2), each one engine
// frame on the headless attack rig (task pass with the units' updates, animations, compose,
// present), the game clock held where the frame is heaviest so every timed frame draws the same:
//
// - BM_TamvikCutIns: stage 3 of the presentation: the 448 x 192 background fading (its own
//   alpha), a 320 x 320 cut-in with its alpha word in front, the body and effects, some twenty
//   petals zoomed and turned.
// - BM_DavoneTiles: the tiles' fall on an odd frame: 48 falling tiles drawn as one-frame entries
//   (the turning ones rotated), the four mirrored 320 x 240 backgrounds, 32 fire poles, the body
//   and the effect.
//
// Goal: under 3 ms a frame; "allocs/frame" counts the allocations of the steady frames.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "battle_effects/davone.h"
#include "battle_effects/tamvik.h"
#include "bench/bench_allocations.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/core/game_task.h"
#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/attack_rig.h"
#include "testsupport/program_driver.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

testsupport::AttackCase Special(int kind) {
  return {.kind = kind,
          .type = 1,
          .layout = testsupport::AttackLayout::kThree,
          .fixtures = [kind](AttackFixtures& f) {
            const AttackAnim body{.frames = 16, .ticks = 12, .side = 64};
            f.Slot(kAnmSpecialBody, 2, body);
            f.Slot(kAnmSpecialEffect, 13, AttackAnim{.frames = 8, .side = 32});
            if (kind == 1) {
              f.Pictures(kAnmSpecialBg, {{448, 192}, {320, 320}, {320, 320}, {320, 320}});
            } else {
              f.Pictures(kAnmSpecialBg, {{320, 240}, {320, 240}, {320, 240}});
            }
          }};
}

// One engine frame `ms` later, as the program's frame runs it.
void Frame(AttackRig& r, uint32_t ms) {
  r.rig().driver().host().clock.Advance(ms);
  EngineContext& ctx = Ctx();
  ctx.frame_rate.Update();
  ctx.game_task.ExecTask();
  ctx.anime.Exec(static_cast<uint32_t>(ctx.frame_rate.GetTime()));
  ctx.ddraw.ShowWindow();
}

// Plays the attack until `ready`, then times frames on the held clock.
void TimeHeld(benchmark::State& state, int kind, const std::function<bool()>& ready) {
  AttackRig r(Special(kind));
  r.Start();
  while (!ready() && r.frames() < 2000) r.Step();
  if (!ready()) {
    state.SkipWithError("the frame was not reached");
    return;
  }
  for (int i = 0; i < 4; ++i) Frame(r, 0);
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    Frame(r, 0);
    allocations += BenchAllocations() - before;
  }
  state.counters["allocs/frame"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
}

void BM_TamvikCutIns(benchmark::State& state) {
  TimeHeld(state, 1, [] {
    const TamvikSpecial& s = TamvikAttackWork().special;
    return s.presentation.stage == 3 && TimelineFrames(s.presentation.clock.start) >= 30;
  });
}
BENCHMARK(BM_TamvikCutIns)->Unit(benchmark::kMicrosecond);

void BM_DavoneTiles(benchmark::State& state) {
  TimeHeld(state, 2, [] {
    const DavoneSpecial& s = DavoneAttackWork().special;
    const int32_t f = s.arm_start != 0 ? TimelineFrames(s.arm_start) : 0;
    return s.tile_mode == kTilesFall && f >= 9 && (f & 1) == 1;
  });
}
BENCHMARK(BM_DavoneTiles)->Unit(benchmark::kMicrosecond);

}  // namespace
