// The range searches on an open 22 x 88 map (flat, no blocked cell), one search per iteration:
// the move flood of move 8, the threat search of move 8 with kind 5's normal aim (a square of
// radius 4), kind 33's special area (a square of radius 25, more cells than the list holds) and
// the attack flood of the attack table with the most pushes. Beside the time: "allocs/call"
// (operator new calls, should be 0), "pushes" and "stack peak" of the last flood fill, and
// BM_SlgSearchTablePeak's sweep of every row of the attack table (aim and area from mid-map),
// of the move floods up to move 16 and of attack floods up to range 255: the most pushes
// (saturating at 65535) and the deepest work stack seen.
//
// The events' route search (battle_events/core/route_search.h), as a scripted walk starts it:
// RouteSearch with the scripts' limit of 15 from mid-map and RouteTrace to the farthest cell it
// reached, on the open map, a maze of walls with one gap each and a map of varied heights; and
// FindFreeCellNear from the top-left cell on a map where only the far corner is free (every
// cell queued). Counters: "allocs/call", "pushes" and "stack peak" of the flood, "route steps".

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_search.h"
#include "battle_events/core/route_search.h"
#include "bench/bench_allocations.h"
#include "testsupport/battle_board.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BoardUnit;
using testsupport::CellWord;

constexpr SlgRangePos kMid{1008, 1008};  // column 10, row 43

BoardUnit UnitAtMid(uint8_t kind, uint8_t side = 0) {
  BoardUnit u;
  u.kind = kind;
  u.side = side;
  u.character = side == 0 ? 1 : 20;
  u.x = kMid.x;
  u.y = kMid.y + 24;
  return u;
}

template <typename Search>
void RunSearch(benchmark::State& state, Search&& search) {
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    search();
    allocations += BenchAllocations() - before;
    benchmark::DoNotOptimize(Battle().search.range_count);
  }
  const SlgSearchState& s = Battle().search;
  state.counters["allocs/call"] = static_cast<double>(allocations) / state.iterations();
  state.counters["listed"] = s.range_count;
  state.counters["pushes"] = s.pushes;
  state.counters["stack peak"] = s.stack_peak;
}

void BM_SlgMoveSearch(benchmark::State& state) {
  BattleBoard board;
  board.battle().state.acting_unit = board.AddUnit(UnitAtMid(0));
  RunSearch(state, [] { Slg::MoveSearch(0, kMid, 8); });
}
BENCHMARK(BM_SlgMoveSearch)->Unit(benchmark::kMicrosecond);

void BM_SlgThreatSearch(benchmark::State& state) {
  BattleBoard board;
  const uint8_t u = board.AddUnit(UnitAtMid(5, 1));
  SlgUnit& unit = board.battle().state.units[u];
  unit.stats.total_move = 8;
  RunSearch(state, [&] { Slg::ThreatSearch(kMid, unit, 0); });
}
BENCHMARK(BM_SlgThreatSearch)->Unit(benchmark::kMicrosecond);

void BM_SlgSquare25(benchmark::State& state) {
  BattleBoard board;
  const uint8_t u = board.AddUnit(UnitAtMid(33, 1));
  const SlgUnit& unit = board.battle().state.units[u];
  RunSearch(state, [&] { Slg::AreaSearch(kMid, unit, 1); });
}
BENCHMARK(BM_SlgSquare25)->Unit(benchmark::kMicrosecond);

// The attack table's flood with the most pushes: area shape 0 of the largest range.
void BM_SlgAttackFlood(benchmark::State& state) {
  BattleBoard board;
  int best = 0;
  for (size_t i = 0; i < kSlgAttackRange.size(); ++i) {
    if (kSlgAttackRange[i].area_shape == 0 &&
        kSlgAttackRange[i].area1 > kSlgAttackRange[best].area1) {
      best = static_cast<int>(i);
    }
  }
  const uint8_t u = board.AddUnit(UnitAtMid(static_cast<uint8_t>(best / 2)));
  const SlgUnit& unit = board.battle().state.units[u];
  state.SetLabel("kind " + std::to_string(best / 2) + (best % 2 ? " special" : " normal"));
  RunSearch(state, [&] { Slg::AreaSearch(kMid, unit, best % 2); });
}
BENCHMARK(BM_SlgAttackFlood)->Unit(benchmark::kMicrosecond);

void BM_SlgSearchTablePeak(benchmark::State& state) {
  BattleBoard board;
  board.battle().state.acting_unit = board.AddUnit(UnitAtMid(0));
  uint32_t pushes = 0;
  uint32_t peak = 0;
  auto note = [&] {
    pushes = std::max<uint32_t>(pushes, Battle().search.pushes);
    peak = std::max(peak, Battle().search.stack_peak);
  };
  for (auto _ : state) {
    for (int kind = 0; kind < 52; ++kind) {
      SlgUnit unit = board.battle().state.units[0];
      unit.kind = static_cast<uint8_t>(kind);
      for (int mode = 0; mode < 2; ++mode) {
        Battle().search.pushes = 0;
        Battle().search.stack_peak = 0;
        Slg::AimSearch(kMid, unit, mode);
        note();
        Slg::AreaSearch(kMid, unit, mode);
        note();
      }
    }
    for (int move = 0; move <= 16; ++move) {
      Slg::MoveSearch(0, kMid, move);
      note();
    }
    // The enemy programs' attack floods of any range: the widest, 255, covers the whole map.
    for (int range : {32, 64, 255}) {
      Slg::SearchMode2(kMid, range);
      note();
    }
  }
  state.counters["most pushes"] = pushes;
  state.counters["deepest stack"] = peak;
}
BENCHMARK(BM_SlgSearchTablePeak)->Unit(benchmark::kMicrosecond);

// ---- The events' route search ----

enum class RouteMap { kOpen, kMaze, kHeights };

void LayRouteMap(BattleBoard& board, RouteMap map) {
  for (int row = 0; row < kSlgGridRows; ++row) {
    for (int column = 0; column < kSlgGridColumns; ++column) {
      uint32_t word = 0;
      if (map == RouteMap::kMaze) {
        // Walls down the map at every third column of the odd rows, each with one gap, the gaps
        // alternately above and below mid-map.
        if ((row & 1) != 0 && column % 3 == 0 && row != ((column / 3) % 2 == 0 ? 37 : 49))
          word = CellWord(0, 0x400);
      } else if (map == RouteMap::kHeights) {
        word = CellWord((column * 7 + row * 3) % 5);
      }
      board.SetCell(column, row, word);
      board.SetCell2(column, row, word);
    }
  }
}

void BM_RouteWalkStart(benchmark::State& state) {
  const RouteMap map = static_cast<RouteMap>(state.range(0));
  BattleBoard board;
  LayRouteMap(board, map);
  const SlgPoint start{kMid.x, kMid.y + 24};
  // The target: the farthest cell the flood reaches (the first of them row by row).
  RouteSearch(start, kRouteWalkLimit);
  int farthest = 0;
  int most = 0;
  const auto& cost = Battle().search.range_cost;
  for (int i = 0; i < kSlgGridCells; ++i) {
    const int c = cost[static_cast<size_t>(i)];
    if (c != kSlgCostUnreached && c > most) {
      farthest = i;
      most = c;
    }
  }
  const SlgRangePos target =
      testsupport::CellPos(farthest % kSlgGridColumns, farthest / kSlgGridColumns);
  SlgUnit unit{};
  RouteRecord route;
  uint64_t allocations = 0;
  int traced = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    RouteSearch(start, kRouteWalkLimit);
    traced = RouteTrace(route, unit, target.x, target.y + 24);
    allocations += BenchAllocations() - before;
    benchmark::DoNotOptimize(route.count);
  }
  state.SetLabel(map == RouteMap::kOpen ? "open" : map == RouteMap::kMaze ? "maze" : "heights");
  state.counters["allocs/call"] = static_cast<double>(allocations) / state.iterations();
  state.counters["pushes"] = Battle().search.pushes;
  state.counters["stack peak"] = Battle().search.stack_peak;
  state.counters["route steps"] = traced != 0 ? route.count + 1 : 0;
}
BENCHMARK(BM_RouteWalkStart)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_FindFreeCellNearFullGrid(benchmark::State& state) {
  BattleBoard board;
  Battle().unit_grid.fill(0);
  Battle().unit_grid[kSlgGridCells - 1] = kSlgNoUnit;
  SlgPoint out;
  FindFreeCellNear(out, 0, 0);  // the state block is made by the events' installer in a battle
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    benchmark::DoNotOptimize(FindFreeCellNear(out, 0, 0));
    allocations += BenchAllocations() - before;
  }
  state.counters["allocs/call"] = static_cast<double>(allocations) / state.iterations();
  state.counters["found row"] = out.y / 24 + 1;
}
BENCHMARK(BM_FindFreeCellNearFullGrid)->Unit(benchmark::kMicrosecond);

}  // namespace
