// The heaviest stretches of the special attacks of kinds 23 and 24, played by their own routines
// on the headless attack rig, one engine frame per iteration (task pass with the units' updates,
// animations, compose, present), beside BM_ComposeFrame:
//
// - BM_Boss24Rise: steps 6 and 7 of kind 24: the 640 x 480 background shaken (moved each frame),
//   the thirteen columns and tops and the two late objects rising, twelve sparks replayed, the
//   big object shaken.
// - BM_Boss24Stones: step 10 of kind 24: thirteen stones falling by their replayed fall, landing
//   and blinking round the attacked unit on the map.
// - BM_Boss23Flames: step 5 of kind 23: twelve rocks replayed, the orb growing, twelve flames
//   rising by their replayed rise with forty-eight trails played again as they end.
// - BM_Boss23Meteors: step 9 of kind 23: thirteen meteors falling sideways with fifty-two trails,
//   landing in two animations each.
//
// Only the frames of those steps are timed; the others run untimed, and when the attack has
// ended a new one starts on a fresh rig (untimed). Goal: under 3 ms a frame; "allocs/frame"
// counts the allocations of the timed frames (the one-shot animations played again, and the
// stands of the rig's own units, which stay shown, make a few).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "battle/slg_tables.h"
#include "battle/slg_units.h"
#include "bench/attack_bench_frame.h"
#include "bench/bench_allocations.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackAnim;
using testsupport::AttackFixtures;
using testsupport::AttackLayout;
using testsupport::AttackRig;

constexpr uint8_t kStateAttack = 6;

// Slot 8 animations 0-22 of 8 frames, 48 px, with the larger ones at their sizes; the
// background 640 x 480.
void Sets(AttackFixtures& f, const std::vector<std::pair<int, int>>& sides) {
  std::vector<AttackAnim> effect(23, AttackAnim{.frames = 8, .side = 48});
  for (const auto& [anm, side] : sides) effect[static_cast<size_t>(anm)].side = side;
  f.Slot(kAnmSpecialBody, 4, {.frames = 8, .side = 128});
  f.Slot(kAnmSpecialEffect, effect);
  f.Pictures(kAnmSpecialBg, {{640, 480}});
}

std::unique_ptr<AttackRig> StartSpecial(int kind,
                                        const std::function<void(AttackFixtures&)>& sets) {
  auto r = std::make_unique<AttackRig>(testsupport::AttackCase{
      .kind = kind, .type = 1, .layout = AttackLayout::kThree, .fixtures = sets});
  r->Start();
  return r;
}

uint8_t StepOf(const SlgUnit& u) { return u.anm != nullptr ? u.anm->state : 0; }

// Frames of the kind's special, timed while its step lies in [from, to]; a new attack on a fresh
// rig once one has ended.
void TimeSpecialSteps(benchmark::State& state, int kind,
                      const std::function<void(AttackFixtures&)>& sets, uint8_t from, uint8_t to) {
  std::unique_ptr<AttackRig> r = StartSpecial(kind, sets);
  const auto in_steps = [&] {
    const SlgUnit& a = r->attacker();
    const uint8_t step = StepOf(a);
    return a.state == kStateAttack && step >= from && step <= to;
  };
  uint64_t allocations = 0;
  int attacks = 1;
  for (auto _ : state) {
    state.PauseTiming();
    for (int n = 0; !in_steps(); ++n) {
      if (n > 6000) {
        state.SkipWithError("the steps never came");
        return;
      }
      if (r->Ended()) {
        r.reset();
        r = StartSpecial(kind, sets);
        ++attacks;
      } else {
        AttackBenchFrame(*r);
      }
    }
    state.ResumeTiming();
    const uint64_t before = BenchAllocations();
    AttackBenchFrame(*r);
    allocations += BenchAllocations() - before;
  }
  // The attack played to its end, which gives back what it holds.
  for (int n = 0; !r->Ended() && n < 6000; ++n) AttackBenchFrame(*r);
  state.counters["allocs/frame"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
  state.counters["attacks"] = attacks;
}

void Boss24Sets(AttackFixtures& f) {
  // The columns and tops (2-12) 128 px, the big object (14) 256 px.
  Sets(f, {{2, 128}, {3, 128}, {4, 128}, {5, 128}, {6, 128}, {7, 128}, {8, 128}, {9, 128},
           {10, 128}, {11, 128}, {12, 128}, {14, 256}});
}

void Boss23Sets(AttackFixtures& f) {
  // The rocks (9-13) 64 px, the orbs (14-18) 192 px.
  Sets(f, {{9, 64}, {10, 64}, {11, 64}, {12, 64}, {13, 64}, {14, 192}, {15, 192}, {16, 192},
           {18, 192}});
}

void BM_Boss24Rise(benchmark::State& state) { TimeSpecialSteps(state, 24, &Boss24Sets, 6, 7); }
BENCHMARK(BM_Boss24Rise)->Unit(benchmark::kMicrosecond);

void BM_Boss24Stones(benchmark::State& state) { TimeSpecialSteps(state, 24, &Boss24Sets, 10, 10); }
BENCHMARK(BM_Boss24Stones)->Unit(benchmark::kMicrosecond);

void BM_Boss23Flames(benchmark::State& state) { TimeSpecialSteps(state, 23, &Boss23Sets, 5, 5); }
BENCHMARK(BM_Boss23Flames)->Unit(benchmark::kMicrosecond);

void BM_Boss23Meteors(benchmark::State& state) { TimeSpecialSteps(state, 23, &Boss23Sets, 9, 9); }
BENCHMARK(BM_Boss23Meteors)->Unit(benchmark::kMicrosecond);

}  // namespace
