// The enemy phase's decisions with bosses among the common enemies: a 22 x 88 map (flat, no
// blocked cell) with 6 player units in its lower part, one boss of each family kind (20-32, 34,
// 35; kind 33 the summoner has a program of its own) and 43 common enemies of kinds 14-19 (64
// units, 58 deciding). Gate flags set, battle map 4 (kind 23), flag 159 set (kind 24 fights by
// its reach); the bosses stand among the players or near them, so that their lists run their
// longer roads. One iteration is the 58 decisions one after the other: for each, phase step 80
// from think step 0, the unit's program called until it starts its action or reaches its end
// step, the camera put on its target before every call (no waits). The units do not move.
// Beside the time: "us/decision", "allocs/iter" (goal 0), the slowest kind and its time per
// decision ("slowest_kind", "slowest_us"; among the bosses "slowest_boss_kind",
// "slowest_boss_us"), and the decisions ended in each road.

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_boss_program.h"
#include "battle/slg_boss_terms.h"
#include "battle/slg_enemy.h"
#include "battle/slg_enemy_think.h"
#include "battle/slg_events.h"
#include "battle/slg_start.h"
#include "battle/slg_unit.h"
#include "bench/battle_bench_common.h"
#include "bench/bench_allocations.h"
#include "game/game_context.h"
#include "game/system_data.h"
#include "testsupport/battle_board.h"
#include "testsupport/test_game.h"
#include "testsupport/think_record.h"

namespace {

using testsupport::ThinkRecordBytes;

using testsupport::BattleBoard;
using testsupport::OnCell;

constexpr int kPlayers = 6;
constexpr std::array<uint8_t, 15> kBossKinds = {20, 21, 22, 23, 24, 25, 26, 27,
                                                28, 29, 30, 31, 32, 34, 35};
constexpr int kCommons = 64 - kPlayers - static_cast<int>(kBossKinds.size());
constexpr int kDeciders = kCommons + static_cast<int>(kBossKinds.size());
constexpr std::array<int, 7> kGates = {116, 401, 101, 170, 160, 110, 120};

struct Stage {
  testsupport::TestGame game;
  BattleBoard board;
  std::vector<uint8_t> deciders;
  SlgMainWork work{};

  uint8_t Place(int column, int row, uint8_t kind, uint8_t character) {
    while (GetUnitAtCell(column, row) != kSlgNoUnit) column = (column + 1) % 22;
    const uint8_t slot = board.AddUnit(OnCell(
        column, row, {.side = 1, .character = character, .kind = kind, .category = 1}));
    SlgUnit& u = board.battle().state.units[slot];
    u.stats.life = 100;
    u.stats.max_life = 100;
    u.stats.total_move = 4;
    return slot;
  }

  Stage() {
    board.SetMapSize(22 * 96, 88 * 24);
    GetSystemData()->setBattleMap(4);
    for (int gate : kGates) SetEventFlag(static_cast<uint32_t>(gate));
    SetEventFlag(159);
    for (int i = 0; i < kPlayers; ++i) {
      const uint8_t slot = board.AddUnit(OnCell(2 + 3 * i, 70 + 2 * i,
                                                {.side = 0,
                                                 .character = static_cast<uint8_t>(i),
                                                 .kind = static_cast<uint8_t>(i),
                                                 .category = 0}));
      SlgUnit& u = board.battle().state.units[slot];
      u.stats.life = u.stats.max_life = 100;
    }
    // The bosses among and just above the players, every other one with full kiai.
    for (size_t i = 0; i < kBossKinds.size(); ++i) {
      const uint8_t slot = Place(static_cast<int>(1 + (i * 3) % 20), static_cast<int>(58 + i),
                                 kBossKinds[i], static_cast<uint8_t>(30 + i));
      SlgUnit& u = board.battle().state.units[slot];
      u.stats.max_kiai = 50;
      u.stats.kiai = i % 2 == 0 ? 50 : 10;
      u.stats.counter = 1;
      deciders.push_back(slot);
    }
    // The common enemies spread over rows 6-56.
    for (int i = 0; i < kCommons; ++i) {
      const uint8_t slot = Place((i * 5) % 22, 6 + i * 50 / kCommons,
                                 static_cast<uint8_t>(14 + i % 6),
                                 static_cast<uint8_t>(20 + i % 8));
      SlgUnit& u = board.battle().state.units[slot];
      u.stats.total_move = static_cast<uint8_t>(4 + i % 3);
      deciders.push_back(slot);
    }
    // One think for the common enemies (reaction 2, type 0, the nearest player); the bosses
    // follow their built-in records (kind 22's think change reads it too).
    BattleContext& b = board.battle();
    b.enemy_think = std::make_unique<SlgThinkBlock>(ThinkRecordBytes(2, 0, 'i'));
    b.enemy_cond = std::make_unique<SlgThinkBlock>(ThinkRecordBytes(0, 0, 0));
    b.enemy_change = std::make_unique<SlgThinkBlock>(kThinkChangeRowBytes, 0);
  }

  // One unit's decision; the phase step it ends in (80 when it reached its end step).
  int Decide(uint8_t slot) {
    BattleContext& b = Battle();
    b.state.acting_unit = slot;
    b.enemy.think_step = kThinkStepChoose;
    b.enemy.next_step = kThinkStepEnd;
    b.phase_sub = 0;
    work.step = kEnemyPhaseThink;
    const uint8_t kind = b.state.units[slot].kind;
    const BossMember& member = BossMemberOf(kind);
    const bool boss = !member.steps.empty();
    const uint16_t end = boss ? member.end_step : kThinkStepEnd;
    // A family member whose list is not built yet ends its action at once.
    if (kind >= 20 && kind <= 35 && kind != 33 && !boss) return kEnemyPhaseThink;
    for (int i = 0; i < 64; ++i) {
      if (b.enemy.think_step == end) break;
      b.camera.current_x = b.camera.target_x;
      b.camera.current_y = b.camera.target_y;
      EnemyProgram(&work);
      if (work.step != kEnemyPhaseThink) break;
    }
    return work.step;
  }
};

void BM_EnemyDecisionsWithBosses(benchmark::State& state) {
  Stage stage;
  uint64_t allocations = 0;
  std::array<int, 256> roads{};
  std::array<double, kSlgUnitKinds> kind_ns{};
  std::array<int, kSlgUnitKinds> kind_count{};
  for (auto _ : state) {
    roads.fill(0);
    const uint64_t before = BenchAllocations();
    for (uint8_t slot : stage.deciders) {
      const auto t0 = std::chrono::steady_clock::now();
      ++roads[static_cast<size_t>(stage.Decide(slot))];
      const auto t1 = std::chrono::steady_clock::now();
      const uint8_t kind = Battle().state.units[slot].kind;
      kind_ns[kind] += static_cast<double>(std::chrono::nanoseconds(t1 - t0).count());
      ++kind_count[kind];
    }
    allocations += BenchAllocations() - before;
    benchmark::ClobberMemory();
  }
  int slowest = 0;
  double slowest_ns = 0;
  int slowest_boss = 0;
  double slowest_boss_ns = 0;
  for (size_t k = 0; k < kind_ns.size(); ++k) {
    if (kind_count[k] == 0) continue;
    const double per = kind_ns[k] / kind_count[k];
    if (per > slowest_ns) {
      slowest_ns = per;
      slowest = static_cast<int>(k);
    }
    if (k >= 20 && per > slowest_boss_ns) {
      slowest_boss_ns = per;
      slowest_boss = static_cast<int>(k);
    }
  }
  battle_bench::DecisionCounters(state, allocations, kDeciders, roads);
  state.counters["slowest_kind"] = slowest;
  state.counters["slowest_us"] = slowest_ns / 1000.0;
  state.counters["slowest_boss_kind"] = slowest_boss;
  state.counters["slowest_boss_us"] = slowest_boss_ns / 1000.0;
  state.counters["charge"] = roads[kBossPhaseCharge];
}
BENCHMARK(BM_EnemyDecisionsWithBosses)->Unit(benchmark::kMicrosecond);

}  // namespace
