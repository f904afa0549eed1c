// Each family's heaviest attack, its frames timed from the lead-in to state 7 on the headless
// attack rig (the command, the units' updates, the effect tasks, the animations, the compose and
// the present), with the fixtures' default sets and three targets ahead:
//
// - AttackFrame/<routine>: one iteration is the whole attack; the counters give the frames'
//   mean and worst time (ms), the worst "steady" frame (every frame but the routine's first two,
//   where its set-up runs: "setup_ms" apart), the allocations a frame (mean over the steady
//   frames), the steady frames that allocate at all ("alloc_frames"), the peak of sprite-buffer
//   entries and the game seconds played a wall second.
// - AttackFrameInBattle/<routine>: the same attack played inside BM_BattleFrame's scene (64 units,
//   the map scrolling, markers, gauge, cursors), through the whole engine frame; the same
//   counters, to read beside BM_BattleFrame's.
//
// Goals: the worst steady frame under 3 ms, no allocation in steady frames, set-up frames that
// cut or blend strips under 16 ms.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle_effects/effects_install.h"
#include "bench/attack_bench_frame.h"
#include "bench/battle_frame_scene.h"
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

// What the frames of an attack measured: each frame's time and allocations, the frame its
// routine started in (-1 none), the peak of sprite-buffer entries, game and wall time.
struct AttackFrames {
  const std::vector<double>& ms;
  const std::vector<uint64_t>& allocs;
  int routine_first;
  int peak_entries;
  double game_ms;
  double wall_ms;
};

// The counters of an attack's frames: mean and worst, the worst steady frame (every frame but the
// routine's first two, its set-up: "setup_ms"), the allocations a steady frame and how many
// steady frames allocate, the peak of entries and the game time played a wall second.
void ReportFrames(benchmark::State& state, const AttackFrames& f) {
  double sum = 0, worst = 0, steady_worst = 0, setup = 0;
  uint64_t steady_allocs = 0;
  int steady = 0, alloc_frames = 0;
  for (size_t i = 0; i < f.ms.size(); ++i) {
    sum += f.ms[i];
    worst = std::max(worst, f.ms[i]);
    const bool setup_frame = f.routine_first >= 0 && (static_cast<int>(i) == f.routine_first ||
                                                      static_cast<int>(i) == f.routine_first + 1);
    if (setup_frame) {
      setup = std::max(setup, f.ms[i]);
    } else {
      steady_worst = std::max(steady_worst, f.ms[i]);
      steady_allocs += f.allocs[i];
      if (f.allocs[i] != 0) ++alloc_frames;
      ++steady;
    }
  }
  const double frames = static_cast<double>(std::max<size_t>(f.ms.size(), 1));
  state.counters["frames"] = static_cast<double>(f.ms.size());
  state.counters["mean_ms"] = sum / frames;
  state.counters["worst_ms"] = worst;
  state.counters["steady_worst_ms"] = steady_worst;
  state.counters["setup_ms"] = setup;
  state.counters["allocs/frame"] =
      steady > 0 ? static_cast<double>(steady_allocs) / steady : 0.0;
  state.counters["alloc_frames"] = alloc_frames;
  state.counters["peak_entries"] = f.peak_entries;
  state.counters["x_real_time"] = f.wall_ms > 0 ? f.game_ms / f.wall_ms : 0.0;
}

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
  ReportFrames(state, {frame_ms, frame_allocs, routine_first, peak_entries, game_ms, wall_ms});
}

// ---- The same attacks inside the battle's full frame ----

// The unit in slot kAttacker of BM_BattleFrame's scene (bench/battle_frame_scene.h: 64 units, the
// map scrolling, the markers, the gauge, the cursors, 32 moving effects), of the candidate's kind
// on the attack fixtures' sets, attacks its three neighbours (the damage list an event script
// sets; the state it enters: 5, or 19 for the combination): one iteration is the whole attack,
// its frames through the engine frame (task pass, compose and flip) timed from the lead-in to
// state 7; between the iterations, unmeasured, the end timeline runs out.
void BM_AttackFrameInBattle(benchmark::State& state, Candidate c) {
  battle_bench::BattleFrame program;
  program.more_kinds = {c.kind};
  program.attacker_kind = c.kind;
  if (!program.Build()) {
    state.SkipWithError("the battle frame could not be built");
    return;
  }
  InstallBattleEffects(program.battle);
  BattleContext& b = program.battle;
  SlgUnit& a = b.state.units[battle_bench::BattleFrame::kAttacker];
  const std::array<int, 3> targets = {battle_bench::BattleFrame::kAttacker + 1,
                                      battle_bench::BattleFrame::kAttacker + 8,
                                      battle_bench::BattleFrame::kAttacker - 8};
  if (c.kind >= 23 && c.kind <= 30) b.kind_states.boss_shadow = 1;
  for (int i = 0; i < 120; ++i) {
    program.Frame();
    program.KeepGauge();
  }
  std::vector<double> frame_ms;
  std::vector<uint64_t> frame_allocs;
  int routine_first = -1;
  int peak_entries = 0;
  double game_ms = 0, wall_ms = 0;
  const uint8_t attack_state = c.type == 5 ? 19 : 6;
  for (auto _ : state) {
    state.PauseTiming();
    frame_ms.clear();
    frame_allocs.clear();
    routine_first = -1;
    for (const int t : targets) b.state.units[static_cast<size_t>(t)].flags |= kUnitInDamageList;
    a.stats.attack_type = static_cast<uint8_t>(c.type);
    if (c.satan_attack_kind >= 0) b.attack.attack_kind = static_cast<uint16_t>(c.satan_attack_kind);
    if (c.type == 5) a.stats.action_bytes[2] = a.character;
    SetUnitState(a, c.type == 5 ? 19 : 5);
    state.ResumeTiming();
    for (int n = 0; n < kFrameLimit && a.state != 7; ++n) {
      const uint64_t allocs = BenchAllocations();
      const auto t0 = std::chrono::steady_clock::now();
      program.Frame();
      const auto t1 = std::chrono::steady_clock::now();
      frame_ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
      frame_allocs.push_back(BenchAllocations() - allocs);
      if (routine_first < 0 && a.state == attack_state) routine_first = static_cast<int>(n);
      peak_entries =
          std::max(peak_entries, CDdrawSpr::kEntryCount - Ctx().ddraw_spr.FreeEntryCount());
    }
    state.PauseTiming();
    if (a.state != 7) state.SkipWithError("the attack did not reach state 7");
    game_ms += static_cast<double>(frame_ms.size()) * 1000.0 / 60.0;
    for (double ms : frame_ms) wall_ms += ms;
    for (int n = 0; n < kFrameLimit && a.state != 0; ++n) {
      program.Frame();
      program.KeepGauge();
    }
    for (const int t : targets) {
      b.state.units[static_cast<size_t>(t)].flags &= ~kUnitInDamageList;
    }
    state.ResumeTiming();
  }
  ReportFrames(state, {frame_ms, frame_allocs, routine_first, peak_entries, game_ms, wall_ms});
  program.Teardown();
}

[[maybe_unused]] const bool kRegistered = [] {
  for (const Candidate& c : kCandidates) {
    benchmark::RegisterBenchmark((std::string("AttackFrame/") + c.name).c_str(), &BM_AttackFrame,
                                 c)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2);
    benchmark::RegisterBenchmark((std::string("AttackFrameInBattle/") + c.name).c_str(),
                                 &BM_AttackFrameInBattle, c)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(2);
  }
  return true;
}();

}  // namespace
