// Each family's heaviest attack, its frames timed from the lead-in to state 7 (the command, the
// units' updates, the effect tasks, the animations, the compose and the present), with the
// fixtures' default sets and three targets ahead:
//
// - AttackFrame/<routine>: on the headless attack rig. Each iteration builds a rig, plays one
//   attack untimed to its end (the engine's pools and kept records then hold what an attack
//   takes, as in a battle after its first attack), then times the same attack again with the
//   rig's recorder paused and no debug trace kept: what is counted is the game's own work.
// - AttackFrameInBattle/<routine>: the same attack played inside BM_BattleFrame's scene (64 units,
//   the map scrolling, markers, gauge, cursors), through the whole engine frame; the first
//   iteration's attack warms the pools, the counters are the last one's.
//
// Counters (the last attack's frames): "frames", "mean_ms" and "worst_ms" over them all; the
// set-up frames, those in which the engine made a sprite or a user surface (a set or a picture
// loaded, strips cut, an alpha copy baked, a window or a work surface made), apart:
// "setup_frames" and "setup_worst_ms"; the steady frames, every other one: "steady_mean_ms",
// "steady_worst_ms", "allocs/frame" (operator new calls a steady frame) and "alloc_frames" (the
// steady frames that allocate at all); "peak_entries" (sprite-buffer entries in use when a
// compose starts, one-frame entries included) and "x_real_time" (game seconds a wall second of
// frame work).
//
// Goals: the worst steady frame under 3 ms, no allocation in steady frames, set-up frames under
// 16 ms each.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_attack.h"
#include "battle/slg_events.h"
#include "battle/slg_unit.h"
#include "battle_effects/effects_install.h"
#include "bench/attack_bench_frame.h"
#include "bench/battle_frame_scene.h"
#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/core/debug_trace.h"
#include "engine/gfx/display/ddraw_func.h"
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

// Sprites and user surfaces the engine has made so far. A frame in which the count rises built
// content (a set's or a picture's pictures cut, strips cut, an alpha copy baked, a window's
// sprites, a picture read, a work surface or a layer's larger stand-in made): a set-up frame.
// A frame that only draws, moves and starts what is there, allocations of a growing pool
// included, is a steady frame.
uint64_t ContentMade() {
  EngineContext& ctx = Ctx();
  return ctx.ddraw_spr.sprites_made() + ctx.ddraw.user_surfaces_made();
}

// The peak of sprite-buffer entries in use when a compose starts drawing the buffers (the
// frame's one-frame entries included: each buffer's draw removes its own), while it lives.
class EntryPeak {
 public:
  EntryPeak() : hooks_(Ctx().ddraw.hooks()), inner_(hooks_.draw_sprites) {
    hooks_.draw_sprites = [this](SurfaceId id) {
      peak_ = std::max(peak_, CDdrawSpr::kEntryCount - Ctx().ddraw_spr.FreeEntryCount());
      return inner_ ? inner_(id) : 0;
    };
  }
  ~EntryPeak() { hooks_.draw_sprites = std::move(inner_); }
  EntryPeak(const EntryPeak&) = delete;
  EntryPeak& operator=(const EntryPeak&) = delete;
  int peak() const { return peak_; }

 private:
  ComposeHooks& hooks_;
  std::function<int(SurfaceId)> inner_;
  int peak_ = 0;
};

// Each frame of an attack: its time, its allocations and whether it was a set-up frame.
struct FrameLog {
  std::vector<double> ms;
  std::vector<uint64_t> allocs;
  std::vector<bool> setup;
  double game_ms = 0;
  double wall_ms = 0;

  // Emptied, with room for the longest attack (so that the log itself allocates nothing while
  // frames are counted).
  void Clear() {
    ms.clear();
    allocs.clear();
    setup.clear();
    ms.reserve(kFrameLimit);
    allocs.reserve(kFrameLimit);
    setup.reserve(kFrameLimit);
  }
  template <typename Frame>
  void Time(Frame&& frame) {
    const uint64_t made = ContentMade();
    const uint64_t before = BenchAllocations();
    const auto t0 = std::chrono::steady_clock::now();
    frame();
    const auto t1 = std::chrono::steady_clock::now();
    const uint64_t allocations = BenchAllocations() - before;
    ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    allocs.push_back(allocations);
    setup.push_back(ContentMade() != made);
  }
  // The attack's frames added to the game and wall time of the run.
  void AddTimes() {
    game_ms += static_cast<double>(ms.size()) * 1000.0 / 60.0;
    for (const double m : ms) wall_ms += m;
  }
};

// The counters of the last attack's frames: all frames' mean and worst; the set-up frames (count
// and worst) apart; the steady frames' mean and worst, their allocations a frame and how many of
// them allocate at all; the peak of entries and the game time played a wall second (over every
// attack timed).
void ReportFrames(benchmark::State& state, const FrameLog& f, int peak_entries) {
  double sum = 0, worst = 0, steady_sum = 0, steady_worst = 0, setup_worst = 0;
  uint64_t steady_allocs = 0;
  int steady = 0, setup = 0, alloc_frames = 0;
  for (size_t i = 0; i < f.ms.size(); ++i) {
    sum += f.ms[i];
    worst = std::max(worst, f.ms[i]);
    if (f.setup[i]) {
      ++setup;
      setup_worst = std::max(setup_worst, f.ms[i]);
    } else {
      ++steady;
      steady_sum += f.ms[i];
      steady_worst = std::max(steady_worst, f.ms[i]);
      steady_allocs += f.allocs[i];
      if (f.allocs[i] != 0) ++alloc_frames;
    }
  }
  const double frames = static_cast<double>(std::max<size_t>(f.ms.size(), 1));
  state.counters["frames"] = static_cast<double>(f.ms.size());
  state.counters["mean_ms"] = sum / frames;
  state.counters["worst_ms"] = worst;
  state.counters["setup_frames"] = setup;
  state.counters["setup_worst_ms"] = setup_worst;
  state.counters["steady_mean_ms"] = steady > 0 ? steady_sum / steady : 0.0;
  state.counters["steady_worst_ms"] = steady_worst;
  state.counters["allocs/frame"] =
      steady > 0 ? static_cast<double>(steady_allocs) / steady : 0.0;
  state.counters["alloc_frames"] = alloc_frames;
  state.counters["peak_entries"] = peak_entries;
  state.counters["x_real_time"] = f.wall_ms > 0 ? f.game_ms / f.wall_ms : 0.0;
}

// What an attack of the candidate needs set before it starts (Satan's attack kind word).
void BeforeAttack(const Candidate& c) {
  if (c.satan_attack_kind >= 0) {
    Battle().attack.attack_kind = static_cast<uint16_t>(c.satan_attack_kind);
  }
}

// One attack played untimed to its end on the rig, the effects it left run out, then the board
// put back as it stood (every unit's life, and its place where the attack moved it: Satan's wind
// carries units away): the engine's pools and kept records then hold what an attack takes, as in
// a battle after its first attack, and the timed attack meets the same board. False when it did
// not end.
bool WarmUp(AttackRig& r, const Candidate& c) {
  BattleContext& b = r.rig().battle();
  std::vector<std::pair<int32_t, int32_t>> places;
  for (int i = 0; i < b.state.unit_count; ++i) {
    const SlgUnit& u = b.state.units[static_cast<size_t>(i)];
    places.emplace_back(u.x, u.y);
  }
  BeforeAttack(c);
  r.Start();
  int n = 0;
  for (; n < kFrameLimit && r.attacker().state != 7; ++n) AttackBenchFrame(r);
  for (; n < kFrameLimit && !r.Ended(); ++n) AttackBenchFrame(r);
  for (; n < kFrameLimit && !AttackRig::LiveTaskNames().empty(); ++n) AttackBenchFrame(r);
  for (int i = 0; i < b.state.unit_count; ++i) {
    SlgUnit& u = b.state.units[static_cast<size_t>(i)];
    u.stats.life = u.stats.max_life;
    const auto [x, y] = places[static_cast<size_t>(i)];
    if (u.x == x && u.y == y) continue;
    ClearUnitCell(u);
    u.x = x;
    u.y = y;
    EventObjPlace(u);
    SetUnitCell(u);
  }
  return n < kFrameLimit;
}

void BM_AttackFrame(benchmark::State& state, Candidate c) {
  FrameLog log;
  int peak_entries = 0;
  for (auto _ : state) {
    state.PauseTiming();
    AttackCase row{.name = c.name, .kind = c.kind, .type = c.type,
                   .layout = AttackLayout::kThree, .frame_limit = kFrameLimit};
    if (c.kind >= 23 && c.kind <= 30) {
      row.before = [](AttackRig& r) {
        Battle().kind_states.boss_shadow = 1;
        r.Step();
      };
    }
    AttackRig r(row);
    if (!WarmUp(r, c)) {
      state.SkipWithError("the warm-up attack did not end");
      return;
    }
    BeforeAttack(c);
    r.Start();
    log.Clear();
    // The game as it runs: the recorder told nothing, no debug trace kept, the presented frames
    // neither hashed nor filed by the test driver.
    r.trace().Pause(true);
    const DebugTraceHook capture = SetDebugTraceHook({});
    auto& display = r.rig().driver().host().display;
    auto on_present = std::move(display.on_present);
    display.on_present = nullptr;
    std::optional<EntryPeak> entries(std::in_place);
    state.ResumeTiming();
    for (int n = 0; n < kFrameLimit && r.attacker().state != 7; ++n) {
      log.Time([&r] { AttackBenchFrame(r); });
    }
    state.PauseTiming();
    peak_entries = std::max(peak_entries, entries->peak());
    entries.reset();
    display.on_present = std::move(on_present);
    SetDebugTraceHook(capture);
    r.trace().Pause(false);
    if (r.attacker().state != 7) state.SkipWithError("the attack did not reach state 7");
    log.AddTimes();
    state.ResumeTiming();
  }
  ReportFrames(state, log, peak_entries);
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
  FrameLog log;
  int peak_entries = 0;
  for (auto _ : state) {
    state.PauseTiming();
    log.Clear();
    for (const int t : targets) b.state.units[static_cast<size_t>(t)].flags |= kUnitInDamageList;
    a.stats.attack_type = static_cast<uint8_t>(c.type);
    if (c.satan_attack_kind >= 0) b.attack.attack_kind = static_cast<uint16_t>(c.satan_attack_kind);
    if (c.type == 5) a.stats.action_bytes[2] = a.character;
    SetUnitState(a, c.type == 5 ? 19 : 5);
    std::optional<EntryPeak> entries(std::in_place);
    state.ResumeTiming();
    for (int n = 0; n < kFrameLimit && a.state != 7; ++n) log.Time([&program] { program.Frame(); });
    state.PauseTiming();
    peak_entries = std::max(peak_entries, entries->peak());
    entries.reset();
    if (a.state != 7) state.SkipWithError("the attack did not reach state 7");
    log.AddTimes();
    for (int n = 0; n < kFrameLimit && a.state != 0; ++n) {
      program.Frame();
      program.KeepGauge();
    }
    for (const int t : targets) {
      b.state.units[static_cast<size_t>(t)].flags &= ~kUnitInDamageList;
    }
    state.ResumeTiming();
  }
  ReportFrames(state, log, peak_entries);
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
