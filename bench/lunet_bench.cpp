// The LUNET heroine unit's special attack (kind 3, type 1):
//
// - BM_LunetFlakeUpdate: the flakes' work of one frame at its worst, 64 flakes each replaying
//   600 frames of its path (sway, wind and split) from its base. Goal: under 0.5 ms.
// - BM_LunetSceneFrame: one engine frame of the scene on the headless attack rig (the rig's task
//   with the units' updates and the routine, the animations, the compose, the present): layer 4
//   tiled 2 x 2 at 1024 x 512 and scrolling, 64 flakes drawn, the picture (640 x 480, its own
//   alpha) made again at its place, the body blended, the rear objects looping. The routine
//   itself runs (step 5); the picture's clock is held 40 frames into the slide so that it never
//   stops; the board's other units are hidden. Goal: under 2 ms a frame, no allocation
//   ("allocs/frame" counts them; the rig's driver makes about 0.07 a frame of its own, see
//   BM_DododiRigIdle).

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_tables.h"
#include "battle_effects/lunet.h"
#include "bench/attack_bench_frame.h"
#include "bench/bench_allocations.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackFixtures;
using testsupport::AttackRig;

constexpr int32_t kPx = 0x10000;

void BM_LunetFlakeUpdate(benchmark::State& state) {
  std::array<LunetFlake, kLunetFlakes> flakes{};
  for (size_t i = 0; i < flakes.size(); ++i) {
    LunetFlake& f = flakes[i];
    f.base = {static_cast<int32_t>(i % 30) * 32 * kPx - 640 * kPx, -224 * kPx};
    f.velocity = {0, 2 * kPx + static_cast<int32_t>(i % 8) * kPx / 2};
    f.step = 512 / (15 + static_cast<int32_t>(i % 32));
    f.amp = 2 + 2 * static_cast<int32_t>(i % 2);
  }
  const LunetDrift drift{{4 * kPx, 0}, {4 * kPx, 4 * kPx}};
  int64_t sum = 0;
  for (auto _ : state) {
    for (LunetFlake& f : flakes) {
      const SlgPair at = LunetFlakePath(f, drift, 600, &f.phase);
      sum += at.x ^ at.y;
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_LunetFlakeUpdate)->Unit(benchmark::kMicrosecond);

void BM_LunetSceneFrame(benchmark::State& state) {
  AttackRig r({.kind = 3,
               .type = 1,
               .layout = testsupport::AttackLayout::kNone,
               .fixtures =
                   [](AttackFixtures& f) {
                     f.Slot(kAnmSpecialBody, 5, AttackAnim{.frames = 4, .ticks = 1, .side = 96});
                     std::vector<AttackAnim> effect(68, AttackAnim{.frames = 4, .ticks = 1});
                     for (size_t n = 1; n < 6; ++n) effect[n].side = 128;
                     effect[3].frames = 300;  // rear 2's entry: the flakes fill up meanwhile
                     f.Slot(kAnmSpecialEffect, effect);
                     f.Pictures(kAnmSpecialBg, {{1024, 512}, {640, 480}});
                   },
               .before =
                   [](AttackRig& rig) {
                     BattleContext& b = rig.rig().battle();
                     for (int i = 0; i < b.state.unit_count; ++i) {
                       SlgUnit& u = b.state.units[static_cast<size_t>(i)];
                       if (&u == &rig.attacker()) continue;  // its update runs the routine
                       Slg::HideUnit(u);
                       u.flags &= ~kUnitShown;
                     }
                   }});
  r.Start();
  LunetSpecialWork& w = Battle().Extension<LunetSpecialRecord>().work;
  const auto step = [&r] { return r.attacker().anm != nullptr ? r.attacker().anm->state : 0; };
  const auto hold_picture = [&w] { w.picture.start = TimelineNow() - 667; };
  for (int i = 0; i < 2000 && step() != 5; ++i) r.Step();
  if (step() != 5 || w.flake_spawner.started < kLunetFlakes) {
    state.SkipWithError(("the scene did not come: step " + std::to_string(step()) + ", " +
                         std::to_string(w.flake_spawner.started) + " flakes")
                            .c_str());
    return;
  }
  for (int i = 0; i < 4; ++i) {
    hold_picture();
    AttackBenchFrame(r);
  }
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    hold_picture();
    AttackBenchFrame(r);
    allocations += BenchAllocations() - before;
  }
  state.counters["allocs/frame"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_LunetSceneFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
