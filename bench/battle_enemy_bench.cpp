// The enemy phase's decisions on a full stage: a 22 x 88 map (flat, no blocked cell) with 58
// common enemies of kinds 14-19 spread over it and 6 player units in its lower part (64 units). Thinks of types 0, 2, 4 and 6 with
// reactions 2 and 3, chosen through the think-change table. One iteration is the enemies'
// decisions one after the other as in their turns: for each, the think steps from step 0 until
// it starts its action (walk, attack, support, guard) or ends it, the camera waits skipped (the
// camera is put on its target before steps 20-22). The units do not move, so every iteration
// decides the same. Beside the time of the 58 decisions: "us/decision", "allocs/iter" (operator
// new calls, goal 0) and how many decisions ended in each road.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_enemy.h"
#include "battle/slg_enemy_think.h"
#include "battle/slg_start.h"
#include "battle/slg_unit.h"
#include "bench/battle_bench_common.h"
#include "bench/bench_allocations.h"
#include "testsupport/battle_board.h"
#include "testsupport/test_game.h"
#include "testsupport/think_record.h"

namespace {

using testsupport::ThinkRecordBytes;

using testsupport::BattleBoard;
using testsupport::BoardUnit;
using testsupport::OnCell;

constexpr int kEnemies = 58;
constexpr int kPlayers = 6;

EnemyThinkPoint PointOn(int column, int row) {
  return {static_cast<int16_t>((2 * column + (row & 1)) * 48), static_cast<int16_t>(24 * row)};
}

struct Stage {
  testsupport::TestGame game;
  BattleBoard board;
  std::vector<uint8_t> enemies;
  SlgMainWork work{};

  Stage() {
    board.SetMapSize(22 * 96, 88 * 24);
    // The player units in the lower part of the map.
    for (int i = 0; i < kPlayers; ++i) {
      const uint8_t slot = board.AddUnit(OnCell(2 + 3 * i, 70 + 2 * i,
                                                {.side = 0,
                                                 .character = static_cast<uint8_t>(i),
                                                 .kind = static_cast<uint8_t>(i),
                                                 .category = 0}));
      SlgUnit& u = board.battle().state.units[slot];
      u.stats.life = u.stats.max_life = 100;
    }
    // The enemies spread over rows 6-84, the lower ones among the players (a taken cell moves
    // the enemy one column on).
    for (int i = 0; i < kEnemies; ++i) {
      const int row = 6 + i * 78 / kEnemies;
      int column = (i * 5) % 22;
      while (GetUnitAtCell(column, row) != kSlgNoUnit) column = (column + 1) % 22;
      const uint8_t kind = static_cast<uint8_t>(14 + i % 6);
      const uint8_t slot = board.AddUnit(
          OnCell(column, row, {.side = 1, .character = static_cast<uint8_t>(20 + i % 8),
                               .kind = kind, .category = 1}));
      SlgUnit& u = board.battle().state.units[slot];
      u.stats.life = static_cast<int16_t>(i % 5 == 0 ? 20 : 100);
      u.stats.max_life = 100;
      u.stats.total_move = static_cast<uint8_t>(4 + i % 3);
      u.stats.counter = static_cast<int8_t>(kind == 16 ? 1 : 0);
      enemies.push_back(slot);
    }
    // Thinks: types 0, 2, 4, 6 x reactions 2, 3; condition 0 never holds, so row i gives think i.
    const std::array<EnemyThinkPoint, 4> region = {PointOn(2, 74), PointOn(10, 64),
                                                   PointOn(19, 74), PointOn(10, 84)};
    std::vector<std::vector<uint8_t>> thinks;
    for (uint8_t reaction : {2, 3}) {
      thinks.push_back(ThinkRecordBytes(reaction, 0, 'i'));
      thinks.push_back(ThinkRecordBytes(reaction, 2, 'j', {PointOn(10, 76)}));
      thinks.push_back(ThinkRecordBytes(reaction, 4, 'i', region));
      thinks.push_back(ThinkRecordBytes(reaction, 6, 'i', region));
    }
    BattleContext& b = board.battle();
    b.enemy_think = std::make_unique<SlgThinkBlock>();
    for (const auto& t : thinks) b.enemy_think->insert(b.enemy_think->end(), t.begin(), t.end());
    const std::vector<uint8_t> never = ThinkRecordBytes(0, 0, 0);
    b.enemy_cond = std::make_unique<SlgThinkBlock>(never.begin(), never.end());
    b.enemy_change = std::make_unique<SlgThinkBlock>();
    for (uint8_t i = 0; i < thinks.size(); ++i) {
      for (int pair = 0; pair < 4; ++pair) b.enemy_change->insert(b.enemy_change->end(), {0, i});
    }
    std::array<uint8_t, kStageTableBytes> bytes = b.stage->bytes();
    for (int i = 0; i < kEnemies; ++i) {
      bytes[kStageUnitOffset + 16 * b.state.units[enemies[static_cast<size_t>(i)]].entry + 10] =
          static_cast<uint8_t>(i % thinks.size());
    }
    b.stage->Assign(bytes.data(), bytes.size(), "bench");
  }

  // One enemy's decision; the phase step it ends in (80 when it ended its action instead).
  int Decide(uint8_t slot) {
    BattleContext& b = Battle();
    b.state.acting_unit = slot;
    b.enemy.think_step = kThinkStepChoose;
    work.step = kEnemyPhaseThink;
    for (int i = 0; i < 32; ++i) {
      const uint16_t step = b.enemy.think_step;
      if (step == kThinkStepEnd) break;
      if (step >= 20 && step <= 22) {
        b.camera.current_x = b.camera.target_x;
        b.camera.current_y = b.camera.target_y;
      }
      RunEnemyThinkStep(&work);
      if (work.step != kEnemyPhaseThink) break;
    }
    return work.step;
  }
};

void BM_EnemyDecisions(benchmark::State& state) {
  Stage stage;
  uint64_t allocations = 0;
  std::array<int, 256> roads{};
  for (auto _ : state) {
    roads.fill(0);
    const uint64_t before = BenchAllocations();
    for (uint8_t slot : stage.enemies) ++roads[static_cast<size_t>(stage.Decide(slot))];
    allocations += BenchAllocations() - before;
    benchmark::ClobberMemory();
  }
  battle_bench::DecisionCounters(state, allocations, kEnemies, roads);
}
BENCHMARK(BM_EnemyDecisions)->Unit(benchmark::kMicrosecond);

}  // namespace
