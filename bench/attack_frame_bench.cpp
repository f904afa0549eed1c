// Each family's heaviest attack, its frames timed from the lead-in to state 7 on the headless
// attack rig (the command, the units' updates, the effect tasks, the animations, the compose and
// the present), with the fixtures' default sets and three targets ahead:
//
// - AttackFrame/<routine>: one iteration is the whole attack; the counters give the frames'
//   mean and worst time (ms), the worst "steady" frame (every frame but the routine's first two,
//   where its set-up runs: "setup_ms" apart), the allocations a frame (mean over the steady
//   frames), the peak of sprite-buffer entries and the game seconds played a wall second.
//
// Goals: the worst steady frame under 3 ms, no allocation in steady frames, set-up frames that
// cut or blend strips under 16 ms.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "bench/attack_bench_frame.h"
#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/attack_rig.h"

namespace {

using testsupport::AttackCase;
using testsupport::AttackLayout;
using testsupport::AttackRig;

struct Candidate {
  const char* name;
  int kind;
  int type;
  int satan_attack_kind;  // Satan's attack kind word; -1 for the others
};

// The heaviest attack of each family (the specials; Satan's critical-2, the wind push).
constexpr Candidate kCandidates[] = {
    {"KadrunSpecial", 0, 1, -1},        {"Tamvik::SpecialAttack", 1, 1, -1},
    {"Davone::SpecialAttack", 2, 1, -1}, {"LunetSpecialAttack", 3, 1, -1},
    {"Ysol::SpecialAttack", 4, 1, -1},  {"Tezav::SpecialAttack", 5, 1, -1},
    {"Brise::SpecialAttack", 6, 1, -1}, {"Gkadrun::SpecialAttack", 7, 1, -1},
    {"Gtamvik::SpecialAttack", 8, 1, -1}, {"Gdavone::SpecialAttack", 9, 1, -1},
    {"Glunet::SpecialAttack", 10, 1, -1}, {"Gysol::SpecialAttack", 11, 1, -1},
    {"Gtezav::SpecialAttack", 12, 1, -1}, {"GBrise::SpecialAttack", 13, 1, -1},
    {"KoumaF::Attack", 19, 0, -1},      {"Kamui::SpecialAttack", 20, 1, -1},
    {"Samurai::SpecialAttack", 21, 1, -1}, {"Boss23::SpecialAttack", 23, 1, -1},
    {"Boss24::SpecialAttack", 24, 1, -1}, {"Boss25::SpecialAttack", 25, 1, -1},
    {"Amateras::SpecialAttack", 26, 1, -1}, {"Vevaz::SpecialAttack", 28, 1, -1},
    {"Dododi::SpecialAttack", 29, 1, -1}, {"Boss30::SpecialAttack", 30, 1, -1},
    {"Satan::Critical2Attack", 33, 0, 0}, {"GattaiAction", 1, 5, -1},
};

constexpr int kFrameLimit = 3000;

void BM_AttackFrame(benchmark::State& state, Candidate c) {
  std::vector<double> frame_ms;
  std::vector<uint64_t> frame_allocs;
  int routine_first = -1;
  int peak_entries = 0;
  double game_ms = 0, wall_ms = 0;
  for (auto _ : state) {
    state.PauseTiming();
    AttackCase row{.name = c.name, .kind = c.kind, .type = c.type,
                   .layout = AttackLayout::kThree, .frame_limit = kFrameLimit};
    if (c.satan_attack_kind >= 0) {
      const int attack_kind = c.satan_attack_kind;
      row.before = [attack_kind](AttackRig&) {
        Battle().attack.attack_kind = static_cast<uint16_t>(attack_kind);
      };
    } else if (c.kind >= 23 && c.kind <= 30) {
      row.before = [](AttackRig& r) {
        Battle().kind_states.boss_shadow = 1;
        r.Step();
      };
    }
    AttackRig r(row);
    r.Start();
    frame_ms.clear();
    frame_allocs.clear();
    routine_first = -1;
    state.ResumeTiming();
    const uint32_t attack_state = c.type == 5 ? 19 : 6;
    for (int n = 0; n < kFrameLimit && r.attacker().state != 7; ++n) {
      const uint64_t allocs = BenchAllocations();
      const auto t0 = std::chrono::steady_clock::now();
      AttackBenchFrame(r);
      const auto t1 = std::chrono::steady_clock::now();
      frame_ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
      frame_allocs.push_back(BenchAllocations() - allocs);
      if (routine_first < 0 && r.attacker().state == attack_state) routine_first = n;
      peak_entries = std::max(peak_entries, CDdrawSpr::kEntryCount - Ctx().ddraw_spr.FreeEntryCount());
    }
    state.PauseTiming();
    peak_entries = std::max(peak_entries, r.trace().peak_entries());
    game_ms += static_cast<double>(frame_ms.size()) * 1000.0 / 60.0;
    for (double ms : frame_ms) wall_ms += ms;
    state.ResumeTiming();
  }
  double sum = 0, worst = 0, steady_worst = 0, setup = 0;
  uint64_t steady_allocs = 0;
  int steady = 0;
  for (size_t i = 0; i < frame_ms.size(); ++i) {
    sum += frame_ms[i];
    worst = std::max(worst, frame_ms[i]);
    const bool setup_frame = routine_first >= 0 && (static_cast<int>(i) == routine_first ||
                                                    static_cast<int>(i) == routine_first + 1);
    if (setup_frame) {
      setup = std::max(setup, frame_ms[i]);
    } else {
      steady_worst = std::max(steady_worst, frame_ms[i]);
      steady_allocs += frame_allocs[i];
      ++steady;
    }
  }
  const double frames = static_cast<double>(std::max<size_t>(frame_ms.size(), 1));
  state.counters["frames"] = static_cast<double>(frame_ms.size());
  state.counters["mean_ms"] = sum / frames;
  state.counters["worst_ms"] = worst;
  state.counters["steady_worst_ms"] = steady_worst;
  state.counters["setup_ms"] = setup;
  state.counters["allocs/frame"] =
      steady > 0 ? static_cast<double>(steady_allocs) / steady : 0.0;
  state.counters["peak_entries"] = peak_entries;
  state.counters["x_real_time"] = wall_ms > 0 ? game_ms / wall_ms : 0.0;
}

[[maybe_unused]] const bool kRegistered = [] {
  for (const Candidate& c : kCandidates) {
    benchmark::RegisterBenchmark((std::string("AttackFrame/") + c.name).c_str(), &BM_AttackFrame,
                                 c)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2);
  }
  return true;
}();

}  // namespace
