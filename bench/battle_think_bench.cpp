// The enemy decision searches on an open 22 x 88 map (flat, no blocked cell), one call per
// iteration: the distance field toward a type-4 region covering the upper half of the map, and
// the reach and the approach toward a player unit for an enemy of move 6 with a cross aim of
// length 5 (kind 25) and with a square aim of radius 5 (kind 45). Beside the time:
// "allocs/call" (operator new calls, should be 0) and the call's result ("listed" cells of the
// reach, "candidates" of the approach, "queued" cells of the field).

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_think_search.h"
#include "bench/bench_allocations.h"
#include "testsupport/battle_board.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BoardUnit;

// A unit standing on cell (column, row).
BoardUnit UnitOn(int column, int row, uint8_t side, uint8_t kind, uint8_t category) {
  BoardUnit u;
  u.side = side;
  u.character = side == 0 ? 1 : 20;
  u.kind = kind;
  u.category = category;
  u.x = static_cast<int16_t>((2 * column + (row & 1)) * 48);
  u.y = static_cast<int16_t>(24 * row);
  return u;
}

// The enemy on (10, 43) with move 6 and the player unit it goes for on (12, 51), its target.
void SetUpFight(BattleBoard& board, uint8_t kind) {
  const uint8_t enemy = board.AddUnit(UnitOn(10, 43, 1, kind, 1));
  board.battle().state.units[enemy].stats.total_move = 6;
  board.battle().state.acting_unit = enemy;
  board.battle().think_search.target = board.AddUnit(UnitOn(12, 51, 0, 1, 0));
}

template <typename Call>
void Run(benchmark::State& state, const char* counter, Call&& call) {
  uint64_t allocations = 0;
  double result = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    result = call();
    allocations += BenchAllocations() - before;
    benchmark::ClobberMemory();
  }
  state.counters["allocs/call"] = static_cast<double>(allocations) / state.iterations();
  state.counters[counter] = result;
}

void BM_EnemyThinkDecideHalfMap(benchmark::State& state) {
  BattleBoard board;
  SetUpFight(board, 25);
  // Vertical sides at columns 0 and 21, rows 0 and 44: 20 x 43 goal cells.
  EnemyThinkRec& think = board.battle().think_search.think;
  think.type = 4;
  think.points = {EnemyThinkPoint{0, 44 * 24}, {0, 0}, {2016, 0}, {2016, 44 * 24}};
  Run(state, "queued", [] {
    EnemyThinkDecide(0);
    return static_cast<double>(Battle().think_search.queue_write);
  });
}
BENCHMARK(BM_EnemyThinkDecideHalfMap)->Unit(benchmark::kMicrosecond);

void BM_EnemyReachCells(benchmark::State& state) {
  BattleBoard board;
  const auto kind = static_cast<uint8_t>(state.range(0));
  SetUpFight(board, kind);
  state.SetLabel(kind == 25 ? "cross 5" : "square 5");
  Run(state, "listed", [] {
    EnemyReachCells(0);
    return static_cast<double>(Battle().search.range_count);
  });
}
BENCHMARK(BM_EnemyReachCells)->Arg(25)->Arg(45)->Unit(benchmark::kMicrosecond);

void BM_EnemyApproachTarget(benchmark::State& state) {
  BattleBoard board;
  const auto kind = static_cast<uint8_t>(state.range(0));
  SetUpFight(board, kind);
  state.SetLabel(kind == 25 ? "cross 5" : "square 5");
  Run(state, "candidates", [] { return static_cast<double>(EnemyApproachTarget(0)); });
}
BENCHMARK(BM_EnemyApproachTarget)->Arg(25)->Arg(45)->Unit(benchmark::kMicrosecond);

}  // namespace
