// The heaviest frames of Vevaz's special attack, one engine frame each on the headless attack rig
// (task pass with the units' updates, animations, compose, present), beside BM_ComposeFrame:
//
// - BM_VevazScene: the scene of steps 10-12: the band "Vevaz::LineScroll" (512 strips of 704 x 1
//   scrolling with their blend word), the two glows, sixteen sparks at zoom 0.5-1.5, and the
//   flash with its alpha word 0x90000 at a zoom that grows by 1/32 a frame (held at 10.0).
//
// Goal: under 3 ms a frame; "allocs/frame" counts the allocations of the steady frames (goal 0).
// The rig's own units are hidden; BM_DododiRigIdle is the yardstick of the rig's own frame.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_screen.h"
#include "battle/slg_tables.h"
#include "battle/slg_strip_wave.h"
#include "battle/slg_task.h"
#include "battle/slg_unit_sprite.h"
#include "battle_effects/boss_frame.h"
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

using testsupport::AttackAnim;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

constexpr int kKind = 28;
constexpr int32_t kPx = 0x10000;

void BM_VevazScene(benchmark::State& state) {
  AttackRig r({.kind = kKind,
               .type = 1,
               .fixtures =
                   [](AttackFixtures& f) {
                     std::vector<AttackAnim> effect(13, AttackAnim{.frames = 8, .side = 48});
                     effect[1].side = 96;   // the flash
                     effect[2].side = 128;  // the glows
                     f.Slot(kAnmSpecialEffect, effect);
                     f.Pictures(kAnmSpecialBg, {{320, 200}, {640, 480}, {704, 512}});
                   },
               .before = &HideAttackRigUnits});
  SlgUnit& boss = r.attacker();
  boss.stats.attack_type = 1;  // the special's backgrounds
  BossBase w{&boss, {0, 0}, {}};
  std::array<SlgAnmObj*, 19> objs{};  // 16 sparks, 2 glows, the flash
  if (!BossTakeAnms(w, BossAttack::kSpecial) || !BossAllocObjs(w, {{objs.data(), 19}})) {
    state.SkipWithError("no sets");
    return;
  }
  CDdrawFunc& ddraw = Ctx().ddraw;
  ddraw.ResizeSurface(SURFACE_ROOT, 0, 704, 512);
  SlgEffectTask* wave =
      BossLineScrollStart(boss, 2, "Vevaz::LineScroll",
                          {.source = SURFACE_ROOT, .x_offset = 32, .top = -1, .band_height = 512,
                           .strip_height = 1, .amp_start = 2 * kPx, .amp_limit = 32 * kPx,
                           .amp_growth = kPx, .step_strip = 2, .scroll_band = 512,
                           .scroll_wrap = 512, .scroll_speed = 4 * kPx, .alpha = 0x20080});
  ddraw.GiveBackLayerSurface(SURFACE_ROOT, 0);
  if (wave == nullptr) {
    state.SkipWithError("no line scroll");
    return;
  }
  SlgClearLayer(SURFACE_ROOT);
  SlgLayerOn(SURFACE_ROOT, 2);
  SlgTaskNextPhase(wave);
  for (int i = 0; i < 16; ++i) {
    SlgAnmObj* obj = objs[static_cast<size_t>(i)];
    const SlgPair at{((i * 97) % 640 - 320) * kPx, ((i * 61) % 480 - 240) * kPx};
    BossPlay(obj, w.anms.effect, 4, at, -60, 0, 0);
    const int32_t zoom = kPx / 2 + (i * kPx) / 16;
    SlgSprSetZoom(obj->handle, {zoom, zoom});
  }
  for (int i = 0; i < 2; ++i) {
    SlgAnmObj* glow = objs[16 + static_cast<size_t>(i)];
    BossPlay(glow, w.anms.effect, 2, {(i == 0 ? -74 : 10) * kPx, (i == 0 ? -6 : 32) * kPx}, -41,
             0, 0);
    SlgSprSetAlpha(glow, 0x10100);
  }
  SlgAnmObj* flash = objs[18];
  BossPlay(flash, w.anms.effect, 1, {0, 32 * kPx}, -41, 0, 0);
  SlgSprSetAlpha(flash, 0x90000);
  int32_t zoom = kPx / 32;
  TimeAttackFrames(state, r, [&] {
    zoom = std::min(zoom + kPx / 32, 10 * kPx);
    SlgSprSetZoom(flash->handle, {zoom, zoom});
  });
  state.counters["strips"] = SlgLineScrollWork(wave)->entry_count;
  SlgTaskStop(wave);
  r.rig().Step();
  BossFreeObjs({{objs.data(), 19}});
  BossReleaseAnms(w.anms);
  SlgLayerRestore();
}
BENCHMARK(BM_VevazScene)->Unit(benchmark::kMicrosecond);

}  // namespace
