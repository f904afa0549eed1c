// The two heaviest frames of Amateras's special attack, each one engine frame on the headless
// attack rig (task pass with the units' updates, animations, compose, present), beside
// BM_ComposeFrame. The scenes are built as the routine builds them, each frame redrawn by this
// file at a new age:
//
// - BM_AmaterasRays: the scene of step 4: 32 light rays (four-corner polygons from the screen
//   centre to a stretch of the border, of every age 0-15), the orb at zoom 1.25, the boss, and
//   the band "Amateras::LineScroll" (240 strips of 704 x 2 rippling with their blend word).
// - BM_AmaterasBolts: the map frame of step 10: 32 bolts turned and flying out from the boss's
//   source (each starting again once off the screen), the 32 rays round the source, and four
//   hits about each of eight target positions (32 looping hits).
//
// Goal: under 3 ms a frame; "allocs/frame" counts the allocations of the steady frames (goal 0).
// The rig's own units are hidden; BM_DododiRigIdle is the yardstick of the rig's own frame.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_screen.h"
#include "battle/slg_strip_wave.h"
#include "battle/slg_tables.h"
#include "battle/slg_task.h"
#include "battle_effects/amateras.h"
#include "battle_effects/boss_frame.h"
#include "bench/attack_bench_frame.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

constexpr int kKind = 26;
constexpr int32_t kPx = 0x10000;
constexpr int kRays = 32;
constexpr int kBolts = 32;
constexpr int kTargets = 8;
constexpr int kHits = 4 * kTargets;
constexpr uint16_t kRayColour = 0x310;

// Slot 8: the orb (96 pixels), the hit, three bolts, the flash; slot 7: the boss's bodies;
// background 0 at the cut's 704 x 480.
AttackRig MakeRig() {
  return AttackRig({.kind = kKind,
                    .type = 1,
                    .fixtures =
                        [](AttackFixtures& f) {
                          std::vector<AttackAnim> effect(6, AttackAnim{.frames = 4, .side = 32});
                          effect[0].side = 96;  // the orb
                          effect[5].side = 128;  // the flash
                          f.Slot(kAnmSpecialEffect, effect);
                          f.Slot(kAnmSpecialBody, 3, AttackAnim{.frames = 4, .side = 96});
                          f.Pictures(kAnmSpecialBg, {{704, 480}});
                        },
                    .before = &HideAttackRigUnits});
}

// The 32 rays round `centre` (pixels about the screen centre), ray i at perimeter position
// 70 i + 16 per life and of age (frame + i) mod 16, drawn.
void DrawRays(std::array<SlgPoly, kRays>& rays, SlgPoint centre, int frame) {
  for (int i = 0; i < kRays; ++i) {
    SlgPoly& ray = rays[static_cast<size_t>(i)];
    const int32_t lives = (frame + i) / kAmaterasRayLife;
    const int32_t age = (frame + i) % kAmaterasRayLife;
    const int32_t p = (i * 70 + lives * 16) % kAmaterasPerimeter;
    ray.x = centre.x * kPx;
    ray.y = centre.y * kPx;
    const std::array<PolygonPoint, 4> c = AmaterasRayCorners(p, age, centre);
    std::copy(c.begin(), c.end(), ray.corners);
    SlgPolyCreate(CDdrawSpr::kBuffered, &ray, SURFACE_ROOT);
  }
}

void ColourRays(std::array<SlgPoly, kRays>& rays, int depth) {
  for (int i = 0; i < kRays; ++i) {
    rays[static_cast<size_t>(i)].colour = static_cast<uint16_t>(kRayColour + (i & 15));
    rays[static_cast<size_t>(i)].depth = static_cast<int16_t>(depth);
  }
}

void BM_AmaterasRays(benchmark::State& state) {
  AttackRig r = MakeRig();
  SlgUnit& boss = r.attacker();
  boss.stats.attack_type = 1;  // the special's backgrounds
  BossBase w{&boss, {0, 0}, {}};
  std::array<SlgAnmObj*, 2> objs{};  // the boss, the orb
  if (!BossTakeAnms(w, BossAttack::kSpecial) || !BossAllocObjs(w, {{objs.data(), 2}})) {
    state.SkipWithError("no sets");
    return;
  }
  SlgEffectTask* wave =
      BossWideLineScrollStart(boss, 0, "Amateras::LineScroll",
                              {.source = SURFACE_ROOT, .x_offset = 32, .top = 0, .width = 640,
                               .band_height = 480, .strip_height = 2, .dest = SURFACE_ROOT,
                               .mode = 0, .depth = 510, .amp_start = 2 * kPx,
                               .amp_limit = 32 * kPx, .amp_growth = kPx, .step_strip = 2,
                               .step_frame = 4});
  if (wave == nullptr) {
    state.SkipWithError("no line scroll");
    return;
  }
  SlgClearLayer(SURFACE_ROOT);
  SlgLayerOn(SURFACE_ROOT, 2);
  SlgTaskNextPhase(wave);
  const int depth = BossUnitDepth(boss);
  BossPlay(objs[0], w.anms.body, 0, {-136 * kPx, 64 * kPx}, depth, 16, 0);
  BossPlay(objs[1], w.anms.effect, 0, {0, -32 * kPx}, depth - 2, 16, 0);
  SlgSprSetZoom(objs[1]->handle, {kAmaterasOrbFull, kAmaterasOrbFull});
  std::array<SlgPoly, kRays> rays{};
  ColourRays(rays, depth - 1);
  int frame = 0;
  TimeAttackFrames(state, r, [&] { DrawRays(rays, {0, 0}, frame++); });
  state.counters["strips"] = SlgLineScrollWork(wave)->entry_count;
  for (SlgPoly& ray : rays) SlgPolyFree(&ray);
  SlgTaskStop(wave);
  r.rig().Step();
  BossFreeObjs({{objs.data(), 2}});
  BossReleaseAnms(w.anms);
  SlgLayerRestore();
}
BENCHMARK(BM_AmaterasRays)->Unit(benchmark::kMicrosecond);

void BM_AmaterasBolts(benchmark::State& state) {
  AttackRig r = MakeRig();
  SlgUnit& boss = r.attacker();
  boss.stats.attack_type = 1;
  BossBase w{&boss, BossUnitScreen(boss), {}};
  SlgAnmObj* body[1] = {};
  std::array<SlgAnmObj*, kBolts> bolts{};
  std::array<SlgAnmObj*, kHits> hits{};
  if (!BossTakeAnms(w, BossAttack::kSpecial) ||
      !BossAllocObjs(w, {{body, 1}, {bolts.data(), kBolts}, {hits.data(), kHits}})) {
    state.SkipWithError("no sets");
    return;
  }
  const int depth = BossUnitDepth(boss);
  BossPlay(body[0], w.anms.body, 1, w.pos, depth, 0, 0);
  // The bolts' source 24 pixels right of and 64 above the boss; each bolt at its own angle and
  // age, a third of them of each animation.
  const SlgPair source{w.pos.x + 24 * kPx, w.pos.y - 64 * kPx};
  std::array<int32_t, kBolts> angle{};
  std::array<int32_t, kBolts> age{};
  for (int i = 0; i < kBolts; ++i) {
    const size_t k = static_cast<size_t>(i);
    angle[k] = (i * 149) & 511;
    age[k] = (i * 3) % 20;
    BossPlay(bolts[k], w.anms.effect, 2 + static_cast<uint32_t>(i % 3), source, 0, 0, 0);
    SlgSprSetRot(bolts[k]->handle, angle[k]);
  }
  // Eight target positions over the screen, four hits about each.
  for (int i = 0; i < kHits; ++i) {
    const int t = i / 4;
    const SlgPair at{((t * 157) % 560 - 280 + (i % 4) * 8 - 16) * kPx,
                     ((t * 113) % 400 - 200 - (i % 4) * 12) * kPx};
    BossPlay(hits[static_cast<size_t>(i)], w.anms.effect, 1, at, depth - 1, 0, 0);
  }
  std::array<SlgPoly, kRays> rays{};
  ColourRays(rays, depth - 1);
  const SlgPoint centre{source.x >> 16, source.y >> 16};
  int frame = 0;
  TimeAttackFrames(state, r, [&] {
    for (int i = 0; i < kBolts; ++i) {
      const size_t k = static_cast<size_t>(i);
      SlgPair at = AmaterasBoltAt(source, angle[k], ++age[k]);
      if (AmaterasOffScreen(at)) {
        // Off the screen: again from the source at a new angle.
        age[k] = 0;
        angle[k] = (angle[k] + 97) & 511;
        SlgSprSetRot(bolts[k]->handle, angle[k]);
        at = source;
      }
      BossFollow(bolts[k], at);
    }
    DrawRays(rays, centre, frame++);
  });
  for (SlgPoly& ray : rays) SlgPolyFree(&ray);
  BossFreeObjs({{body, 1}, {bolts.data(), kBolts}, {hits.data(), kHits}});
  BossReleaseAnms(w.anms);
}
BENCHMARK(BM_AmaterasBolts)->Unit(benchmark::kMicrosecond);

}  // namespace
