// The busiest frame of kind 6's special attack, one engine frame on the headless attack rig (task
// pass with the units' updates, animations, compose, present), beside BM_ComposeFrame: the
// attack itself played to its falling lines (step 3, object 0 then held so that it stays there),
// the dot table kept full (256 rotated dot entries moved by "Brise::Dot", a dot that reaches the
// centre put back at its edge), the 640 x 2048 gradient layer scrolling and the picture entry.
//
// Goal: under 2 ms a frame; "allocs/frame" counts the allocations of the steady frames (goal 0).

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "battle/slg_draw.h"
#include "battle/slg_tables.h"
#include "battle_effects/brise.h"
#include "battle_effects/step_timeline.h"
#include "bench/attack_bench_frame.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

// Dot i at its edge, `age` frames into its flight (never near the centre column).
void RefillDot(BriseSpecial& w, int i) {
  BriseDot& d = w.dots[static_cast<size_t>(i)];
  const int edge = i & 3;
  int32_t along = (i * 53) % 500 - 250;
  if (edge < 2 && std::abs(along) < 64) along = 160;
  CDdrawSpr& sprites = Ctx().ddraw_spr;
  sprites.DeleteBuffer(&d.entry);
  d = BriseMakeDot({edge, along, (i & 4) != 0});
  d.sprite = (i & 4) != 0 ? w.large_dot : w.small_dot;
  d.start = TimelineNow() - static_cast<uint32_t>((i % 16) * 1000 / 60);
  BriseDotAt(d, i % 16);
  d.entry = SlgSprCreate(CDdrawSpr::kBuffered, d.sprite, (d.x >> 8) + 320, (d.y >> 8) + 240,
                         SURFACE_ROOT, 0, 510, 0);
  sprites.SetBufferRotZ(d.entry, d.angle * 804 / 256);
}

void BM_BriseBusiestFrame(benchmark::State& state) {
  AttackRig r({.kind = 6,
               .type = 1,
               .layout = testsupport::AttackLayout::kFront,
               .fixtures =
                   [](AttackFixtures& f) {
                     std::vector<AttackAnim> body(8);
                     body[0] = AttackAnim{.frames = 80, .ticks = 1};
                     f.Slot(kAnmSpecialBody, body);
                     f.Slot(kAnmSpecialEffect, 15);
                     f.Pictures(kAnmSpecialBg, {{1952, 480}});
                   },
               .before = &HideAttackRigUnits});
  r.Start();
  for (int n = 0; n < 2000 && !(r.attacker().state == 6 && r.attacker().step == 3); ++n) {
    r.Step();
  }
  BriseSpecial& w = BriseAttackWork().special;
  if (r.attacker().step != 3 || w.ctx == nullptr) {
    state.SkipWithError("the attack did not reach its lines");
    return;
  }
  Ctx().anime.SetStop(w.ctx->objects[0]->handle, 1);  // held before frame 69
  for (int n = 0; n < 48; ++n) r.Step();
  AnimeHandle scroll = nullptr;
  const auto keep_busy = [&] {
    w.dot_count = kBriseDots;
    for (int i = 0; i < kBriseDots; ++i) {
      if (w.dots[static_cast<size_t>(i)].entry == nullptr) RefillDot(w, i);
    }
    if (Ctx().anime.IsAnime(scroll) == 0) {
      Ctx().ddraw.SetLayerScroll(SURFACE_ROOT, 0, 0);
      scroll = Ctx().anime.CreateLayerScroll(SURFACE_ROOT, 0, 49, 16, 32);
    }
  };
  TimeAttackFrames(state, r, keep_busy);
  int lines = 0;
  for (const std::string& name : AttackRig::LiveTaskNames()) {
    if (name.rfind("Brise::line", 0) == 0) ++lines;
  }
  state.counters["lines"] = lines;
  Ctx().anime.DeleteRef(&scroll);
}
BENCHMARK(BM_BriseBusiestFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
