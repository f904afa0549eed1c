// The battle events' route search over any cell grid: the cost flood, the trace back from a
// target and the nearest free cell, checked against plain breadth-first searches.

#include <algorithm>
#include <array>
#include <deque>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_search.h"
#include "battle_events/core/route_search.h"
#include "fuzz/entries/entry_support.h"
#include "fuzz/entries/fuzz_entries.h"
#include "fuzz/entries/fuzz_seeds.h"
#include "testsupport/stage_writer.h"

namespace fuzz {

using detail::ByteAt;
using detail::Check;
using detail::Le16;

namespace {

constexpr const char* kName = "route_search";
constexpr int kStepX[4] = {48, 48, -48, -48};
constexpr int kStepY[4] = {-24, 24, 24, -24};
constexpr size_t kControlBytes = 13;
// Occupied cells the input may name (each a 16-bit cell number, taken modulo the cells).
constexpr size_t kMaxOccupied = 256;
constexpr int kFar = 1 << 20;

int16_t I16(const Bytes& b, size_t at) { return static_cast<int16_t>(Le16(b, at)); }

SlgRangePos CellPos(int index) {
  const int column = index % kSlgGridColumns;
  const int row = index / kSlgGridColumns;
  return {static_cast<int16_t>((2 * column + (row & 1)) * 48), static_cast<int16_t>(24 * row - 24)};
}

int Height(const SlgGrid& grid, int i) {
  return static_cast<int>(grid[static_cast<size_t>(i)] & 0x1F);
}

// Breadth-first steps from cell `from` over the whole map (every cell reachable), or with the
// walking rules (no blocked cell, a climb of at most one level) up to `limit` steps; kFar where
// not reached.
std::vector<int> Distances(const SlgGrid& grid, int from, bool walking, int limit) {
  std::vector<int> dist(kSlgGridCells, kFar);
  std::deque<int> queue{from};
  dist[static_cast<size_t>(from)] = 0;
  while (!queue.empty()) {
    const int i = queue.front();
    queue.pop_front();
    if (walking && dist[static_cast<size_t>(i)] >= limit) continue;
    const SlgRangePos p = CellPos(i);
    for (int d = 0; d < 4; ++d) {
      int n = 0;
      if (!SlgSearchCellIndex(p.x + kStepX[d], p.y + kStepY[d], &n)) continue;
      if (dist[static_cast<size_t>(n)] != kFar) continue;
      const uint32_t word = grid[static_cast<size_t>(n)];
      const int climb = static_cast<int>(word & 0x1F) - Height(grid, i);
      if (walking && ((word & 0x400) != 0 || climb > 1)) continue;
      dist[static_cast<size_t>(n)] = dist[static_cast<size_t>(i)] + 1;
      queue.push_back(n);
    }
  }
  return dist;
}

int SnappedIndex(int32_t x, int32_t y) {
  const SlgPoint p = SnapPosToCell(x, y);
  int index = -1;
  return SlgSearchCellIndex(p.x, p.y, &index) ? index : -1;
}

void CheckRoute(const Bytes& control) {
  BattleContext& b = Battle();
  const SlgSearchState& s = b.search;
  const SlgGrid& grid = b.cell_grid2;
  const int32_t sx = I16(control, 0);
  const int32_t sy = I16(control, 2);
  const int32_t tx = I16(control, 4);
  const int32_t ty = I16(control, 6);
  // A flood of a high limit relaxes its cells many times over (a whole-map flood of 254 makes
  // some hundred thousand pushes): limits 0-63 (the scripts search with 15), 255 the widest.
  const int limit = ByteAt(control, 8) == 255 ? 255 : ByteAt(control, 8) & 63;
  const int held = std::min(limit, kRouteLimitMax);

  RouteSearch({sx, sy}, limit);
  const int start = SnappedIndex(sx, sy);
  for (uint16_t cost : s.range_cost) {
    Check(cost <= held || cost == kSlgCostUnreached, kName, "a cost beyond the limit");
  }
  // A full work stack leaves costs above the fewest steps: the exact checks need a whole flood.
  const bool whole = s.stack_refused == 0;
  if (start < 0) {
    Check(std::all_of(s.range_cost.begin(), s.range_cost.end(),
                      [](uint16_t c) { return c == kSlgCostUnreached; }),
          kName, "a start off the map reached cells");
  } else if (whole) {
    const std::vector<int> dist = Distances(grid, start, true, held);
    for (int i = 0; i < kSlgGridCells; ++i) {
      const int expected =
          dist[static_cast<size_t>(i)] == kFar ? kSlgCostUnreached : dist[static_cast<size_t>(i)];
      Check(s.range_cost[static_cast<size_t>(i)] == expected, kName,
            "a cost other than the fewest steps within the limit");
    }
  }

  SlgUnit unit{};
  RouteRecord route;
  const int traced = RouteTrace(route, unit, tx, ty);
  const int target = SnappedIndex(tx, ty);
  if (whole) {
    const bool reachable = target >= 0 && (grid[static_cast<size_t>(target)] & 0x400) == 0 &&
                           s.range_cost[static_cast<size_t>(target)] != 0 &&
                           s.range_cost[static_cast<size_t>(target)] != kSlgCostUnreached;
    Check(traced == (reachable ? 1 : 0), kName, "a trace that fails on a reached target or not");
  }
  if (traced == 0) return;
  Check(start >= 0 && target >= 0, kName, "a route from or to a point off the map");
  Check(s.path_count == route.count, kName, "the remaining-steps word is not the step count");
  Check(unit.dir == ((route.dirs[route.count] + 2) & 3), kName, "not facing the first step");
  const int cost = s.range_cost[static_cast<size_t>(target)];
  Check(whole ? route.count + 1 == cost : route.count + 1 <= cost, kName,
        "a route of other length than the target's cost");
  // Replayed forward from the start.
  SlgRangePos p = CellPos(start);
  int at = start;
  for (int i = route.count; i >= 0; --i) {
    const int d = (route.dirs[static_cast<size_t>(i)] + 2) & 3;
    int next = 0;
    if (!SlgSearchCellIndex(p.x + kStepX[d], p.y + kStepY[d], &next)) {
      Check(false, kName, "a route step off the map");
      return;
    }
    Check((grid[static_cast<size_t>(next)] & 0x400) == 0, kName,
          "a route step onto a blocked cell");
    Check(Height(grid, next) - Height(grid, at) <= 1, kName, "a route step that climbs two levels");
    p = CellPos(next);
    at = next;
  }
  Check(at == target, kName, "the route does not end on the target");
}

void CheckFreeCell(const Bytes& control) {
  BattleContext& b = Battle();
  const int32_t fx = I16(control, 9);
  const int32_t fy = I16(control, 11);
  auto is_free = [&b](int i) {
    return (b.cell_grid2[static_cast<size_t>(i)] & kSlgCellMoveStop) == 0 &&
           b.unit_grid[static_cast<size_t>(i)] == kSlgNoUnit;
  };
  SlgPoint out{};
  const int found = FindFreeCellNear(out, fx, fy);
  const int from = SnappedIndex(fx, fy);
  int nearest = kFar;
  if (from >= 0) {
    const std::vector<int> dist = Distances(b.cell_grid2, from, false, 0);
    for (int i = 0; i < kSlgGridCells; ++i) {
      if (is_free(i)) nearest = std::min(nearest, dist[static_cast<size_t>(i)]);
    }
    if (found == 1) {
      int i = -1;
      Check(SlgSearchCellIndex(out.x, out.y, &i), kName, "a free cell off the map");
      if (i < 0) return;
      const SlgRangePos c = CellPos(i);
      Check(c.x == out.x && c.y == out.y, kName, "a free cell's point is not its position");
      Check(is_free(i), kName, "the cell found is not free");
      Check(dist[static_cast<size_t>(i)] == nearest, kName, "a free cell that is not the nearest");
      return;
    }
  }
  Check(found == 0 && nearest == kFar, kName, "no free cell found where there is one");
  Check(out.x == fx && out.y == fy, kName, "no free cell, but not the point given");
}

}  // namespace

// Input: control (start x, y; target x, y as i16; the limit byte, its low six bits, or 255 for
// the widest; the free-cell point x, y as i16), the cell words (u32 each, row by row; missing ones
// 0), the occupied cells (u16 cell numbers modulo the cells, at most 256). Both grids take the cell
// words. Rules: every cost within the limit or 255; with the whole flood on the work stack, the
// costs the fewest steps (plain breadth-first search) and the trace succeeding exactly for a
// reached target that is not blocked nor the start; a traced route as long as the target's cost,
// replayed from the start onto the target through cells not blocked, none a climb of two levels,
// the unit facing its first step and the remaining-steps word the step count; the free cell on the
// map, free and at the fewest steps of any free cell, or none only when no cell is free or the
// point lies off the map.
void RouteEntry(const uint8_t* data, size_t size) {
  const std::vector<Bytes> parts = SplitParts(data, size, 3);
  static BattleContext battle;
  BattleScope scope(battle);
  battle.search = SlgSearchState{};
  for (size_t i = 0; i < kSlgGridCells; ++i) {
    uint32_t word = 0;
    for (size_t k = 0; k < 4; ++k) word |= uint32_t{ByteAt(parts[1], 4 * i + k)} << (8 * k);
    battle.cell_grid[i] = word;
    battle.cell_grid2[i] = word;
  }
  battle.unit_grid.fill(kSlgNoUnit);
  for (size_t i = 0; i < kMaxOccupied && 2 * i + 1 < parts[2].size(); ++i) {
    battle.unit_grid[Le16(parts[2], 2 * i) % kSlgGridCells] =
        static_cast<uint16_t>(i % kSlgMaxUnits);
  }
  CheckRoute(parts[0]);
  CheckFreeCell(parts[0]);
}

std::vector<Bytes> RouteSeeds() {
  using testsupport::CellWord;
  auto control = [](SlgRangePos start, SlgRangePos target, uint8_t limit, SlgRangePos free) {
    Bytes c;
    for (int16_t v : {start.x, static_cast<int16_t>(start.y + 24), target.x,
                      static_cast<int16_t>(target.y + 24)}) {
      c.push_back(static_cast<uint8_t>(v));
      c.push_back(static_cast<uint8_t>(v >> 8));
    }
    c.push_back(limit);
    for (int16_t v : {free.x, static_cast<int16_t>(free.y + 24)}) {
      c.push_back(static_cast<uint8_t>(v));
      c.push_back(static_cast<uint8_t>(v >> 8));
    }
    return c;
  };
  auto words = [](const SlgGrid& grid) {
    Bytes b;
    for (uint32_t w : grid) {
      for (int k = 0; k < 4; ++k) b.push_back(static_cast<uint8_t>(w >> (8 * k)));
    }
    return b;
  };
  auto cell = [](int column, int row) { return CellPos(row * kSlgGridColumns + column); };
  auto occupied = [](std::initializer_list<int> cells) {
    Bytes b;
    for (int c : cells) {
      b.push_back(static_cast<uint8_t>(c));
      b.push_back(static_cast<uint8_t>(c >> 8));
    }
    return b;
  };
  std::vector<Bytes> seeds;
  // The minimal stage's flat grid, a walk of the scripts' limit.
  const testsupport::StageWriter flat = testsupport::MinimalStage();
  seeds.push_back(JoinParts({control(cell(2, 10), cell(6, 14), kRouteWalkLimit, cell(2, 10)),
                             words(flat.grid2), occupied({10 * 22 + 2, 10 * 22 + 3})}));
  // A wall with one gap, heights rising in steps of one and two, cells of every blocking bit.
  SlgGrid mixed = flat.grid2;
  for (int row = 1; row < kSlgGridRows; row += 2) {
    if (row != 45) mixed[static_cast<size_t>(row * 22 + 6)] = CellWord(0, 0x400);
  }
  for (int row = 30; row < 60; ++row) {
    for (int column = 8; column < 14; ++column)
      mixed[static_cast<size_t>(row * 22 + column)] =
          CellWord((column - 8) * (row % 3 == 0 ? 2 : 1));
  }
  const uint32_t bits[] = {0x400, 0x800, 0x1000, 0x80000000, 0x2000};
  for (int i = 0; i < 5; ++i) mixed[static_cast<size_t>(40 * 22 + 2 + i)] = CellWord(1, bits[i]);
  seeds.push_back(JoinParts({control(cell(5, 40), cell(12, 44), 30, cell(3, 40)), words(mixed),
                             occupied({40 * 22 + 3, 41 * 22 + 3, 39 * 22 + 3})}));
  // Starts at the map's corners and edges, a point below the map, the widest limit.
  seeds.push_back(JoinParts({control(cell(0, 0), cell(21, 87), 255, cell(21, 87)),
                             words(flat.grid2), occupied({87 * 22 + 21, 86 * 22 + 21})}));
  seeds.push_back(JoinParts({control(cell(21, 87), cell(0, 1), 63,
                                     {cell(10, 87).x, static_cast<int16_t>(cell(10, 87).y + 48)}),
                             words(mixed),
                             {}}));
  // The first 256 cells occupied, the point among them.
  Bytes crowd;
  for (int i = 0; i < static_cast<int>(kMaxOccupied); ++i) {
    crowd.push_back(static_cast<uint8_t>(i));
    crowd.push_back(static_cast<uint8_t>(i >> 8));
  }
  seeds.push_back(
      JoinParts({control(cell(1, 1), cell(1, 1), 15, cell(1, 1)), words(flat.grid2), crowd}));
  return seeds;
}

}  // namespace fuzz
