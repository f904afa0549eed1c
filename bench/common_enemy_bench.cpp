// The longest of the common enemies' attacks: KoumaF's critical on five targets (the sky
// explosion, four shots, four ground explosions and eight batches of hit marks from each of the
// four hit sequences, 160 hit marks), played from the attack's start to state 7 on the headless
// attack rig, one AttackBenchFrame a frame (the units' updates, the effect tasks, the
// animations, the compose, the present). The rig's making and the attack's end (the gauges) are
// not timed.
//
// "frames" is the attack's length in rig frames; the time of an iteration over it is the cost
// of an average frame of the attack. Goal: under 3 ms a frame.

#include <benchmark/benchmark.h>

#include <memory>

#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "bench/attack_bench_frame.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackCase;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;

constexpr uint8_t kStateAfterAttack = 7;

AttackCase KoumaFRow() {
  AttackCase row{.kind = 19, .type = 2, .layout = AttackLayout::kFive};
  row.fixtures = [](AttackFixtures& f) {
    f.Slot(kAnmAttackBody, 8, AttackAnim{.frames = 20, .ticks = 1});
    f.Slot(kAnmAttackEffect, 12, AttackAnim{.frames = 12, .ticks = 1, .side = 48});
  };
  return row;
}

void BM_KoumaFCritical(benchmark::State& state) {
  const AttackCase row = KoumaFRow();
  int64_t frames = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto r = std::make_unique<AttackRig>(row);
    r->Start();
    state.ResumeTiming();
    int n = 0;
    for (; r->attacker().state != kStateAfterAttack && n < 900; ++n) AttackBenchFrame(*r);
    state.PauseTiming();
    frames += n;
    for (int k = 0; !r->Ended() && k < AttackRig::kEndLimit; ++k) r->Step();
    r.reset();
    state.ResumeTiming();
  }
  state.counters["frames"] = static_cast<double>(frames) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_KoumaFCritical)->Unit(benchmark::kMillisecond);

}  // namespace
