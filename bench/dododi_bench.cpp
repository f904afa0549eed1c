// The two heaviest frames of Dododi's special attack, each one engine frame on the headless
// attack rig (task pass with the units' updates, animations, compose, present), beside
// BM_ComposeFrame:
//
// - BM_DododiCard: the card at zoom 5.0 (a 176 x 176 animation drawn 880 pixels wide, larger
//   than the screen), turned about its vertical axis with perspective by a new angle each frame.
// - BM_DododiScene: the scene of step 12: the line scroll "Dododi::LineScroll" (128 strips of
//   640 x 2 with their blend word), 32 sparkles and 32 risers at zoom 1.0-2.0 looping, and the
//   aura with its alpha word, on layer 4.
//
// Goal: under 3 ms a frame; "allocs/frame" counts the allocations of the steady frames (goal 0).
// The rig's own units are hidden (their stands replay with new animations); BM_DododiRigIdle is
// the same frame with nothing of the attack, the yardstick of what the rig's driver allocates
// itself (its present recorder and the frame-rate display).

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <functional>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_draw.h"
#include "battle/slg_screen.h"
#include "battle/slg_strip_wave.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/card_turn.h"
#include "bench/attack_bench_frame.h"
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

constexpr int kKind = 29;
constexpr int32_t kPx = 0x10000;

// Slot 8 with a 176-pixel card (animation 11) and looping sparkles and risers; the backgrounds
// at their sizes. The board's units are hidden: only the attack's sprites are drawn.
AttackRig MakeRig() {
  return AttackRig({.kind = kKind,
                    .type = 1,
                    .fixtures =
                        [](AttackFixtures& f) {
                          std::vector<AttackAnim> effect(12, AttackAnim{.frames = 8, .side = 48});
                          effect[11].side = 176;
                          effect[2].side = 256;  // the aura
                          f.Slot(kAnmSpecialEffect, effect);
                          f.Pictures(kAnmSpecialBg, {{320, 200}, {640, 448}});
                        },
                    .before = &HideAttackRigUnits});
}

void BM_DododiCard(benchmark::State& state) {
  AttackRig r = MakeRig();
  SprAnm* set = GetUnitAnm(kKind, kAnmSpecialEffect);
  SlgAnmObj* card = nullptr;
  if (set == nullptr || AllocAnimeObjs(&card, nullptr, 1) == 0) {
    state.SkipWithError("no card");
    return;
  }
  SlgLayerOn(SURFACE_ROOT, 2);
  card->depth = -100;
  SlgPlayAnm(set, 11, card, SURFACE_ROOT);
  int32_t angle = 0;
  TimeAttackFrames(state, r, [&] {
    // The front faces (the back is a polygon): 0-127 and 385-511.
    angle = (angle + 7) % 512;
    if (angle > 128 && angle < 384) angle = 384;
    SlgSprSetZoom(card->handle, {5 * kPx, 5 * kPx});
    SlgSprSetTurnY(card->handle, angle, kCardTurnWidth, kCardPerspective);
  });
  FreeAnimeObjs(&card, 1);
  ReleaseUnitAnm(&set);
  SlgLayerRestore();
}
BENCHMARK(BM_DododiCard)->Unit(benchmark::kMicrosecond);

void BM_DododiScene(benchmark::State& state) {
  AttackRig r = MakeRig();
  SlgUnit& boss = r.attacker();
  boss.stats.attack_type = 1;  // the special's backgrounds
  BossBase w{&boss, {0, 0}, {}};
  std::array<SlgAnmObj*, 65> objs{};
  if (!BossTakeAnms(w, BossAttack::kSpecial) || !BossAllocObjs(w, {{objs.data(), 65}})) {
    state.SkipWithError("no sets");
    return;
  }
  SlgLayerOn(SURFACE_ROOT, 2);
  BossLineScroll scroll{.top = 192,
                        .band_height = 256,
                        .amp_start = 2 * kPx,
                        .amp_limit = 8 * kPx,
                        .amp_growth = kPx / 4,
                        .step_strip = 2,
                        .alpha = 0x20080};
  SlgEffectTask* wave = BossLineScrollStart(boss, 1, "Dododi::LineScroll", scroll);
  if (wave == nullptr) {
    state.SkipWithError("no line scroll");
    return;
  }
  SlgTaskNextPhase(wave);
  // 32 sparkles and 32 risers spread over the screen, the aura at the centre.
  for (int i = 0; i < 64; ++i) {
    SlgAnmObj* obj = objs[static_cast<size_t>(i)];
    const SlgPair at{((i * 97) % 640 - 320) * kPx, ((i * 61) % 480 - 240) * kPx};
    const uint16_t attr = static_cast<uint16_t>(i & 16);
    BossPlay(obj, w.anms.effect, i < 32 ? 6 + (i & 1) : 4, at, -60, attr, 0);
    const int32_t zoom = kPx + (i % 16) * kPx / 16;
    if (i >= 32) SlgSprSetZoom(obj->handle, {zoom, zoom});
  }
  BossPlay(objs[64], w.anms.effect, 2, {0, 0}, -41, 0, 0);
  SlgSprSetAlpha(objs[64], 0x10100);
  TimeAttackFrames(state, r);
  SlgTaskStop(wave);
  r.rig().Step();
  BossFreeObjs({{objs.data(), 65}});
  BossReleaseAnms(w.anms);
  SlgLayerRestore();
}
BENCHMARK(BM_DododiScene)->Unit(benchmark::kMicrosecond);

void BM_DododiRigIdle(benchmark::State& state) {
  AttackRig r = MakeRig();
  TimeAttackFrames(state, r);
}
BENCHMARK(BM_DododiRigIdle)->Unit(benchmark::kMicrosecond);

}  // namespace
