#include "battle_events/core/route_search.h"

#include <algorithm>

#include "battle/battle_context.h"
#include "battle/battle_extension.h"
#include "battle/slg_search.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"

namespace {

constexpr int32_t kStepX[4] = {48, 48, -48, -48};
constexpr int32_t kStepY[4] = {-24, 24, 24, -24};
// The same steps in rows, and whether they go left (the column then depends on the row's parity).
constexpr int kRowStep[4] = {-1, 1, 1, -1};
constexpr int kLeftStep[4] = {0, 0, 1, 1};

// The free-cell search's queue: each cell enters once, so it holds the whole map.
struct RouteSearchState {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  std::array<SlgRangePos, kSlgGridCells> queue;
};

int Height(const SlgGrid& grid, int index) {
  return static_cast<int>(grid[static_cast<size_t>(index)] & kSlgCellHeightMask);
}

SlgRangePos Neighbour(SlgRangePos p, int d) {
  return {static_cast<int16_t>(p.x + kStepX[d]), static_cast<int16_t>(p.y + kStepY[d])};
}

// The grid index of neighbour d of the cell at (column, row), as SlgSearchCellIndex gives it for
// the neighbour's position but without its divisions; false off the cells. Directions 0 and 3 go
// a row up, 1 and 2 a row down; 0 and 1 to the right, which from an even row is the same column
// and from an odd one the next.
bool NeighbourIndex(int column, int row, int d, int* next) {
  const int c = column + (row & 1) - kLeftStep[d];
  const int r = row + kRowStep[d];
  if (r < 0 || r >= kSlgGridRows || c < 0 || c >= kSlgGridColumns) return false;
  *next = r * kSlgGridColumns + c;
  return true;
}

// The snapped position of map pixel (x, y) and its grid index; false off the cells (the
// position then need not fit a search position's 16 bits).
bool SnappedCell(int32_t x, int32_t y, SlgRangePos* pos, int* index) {
  const SlgPoint p = SnapPosToCell(x, y);
  if (!SlgSearchCellIndex(p.x, p.y, index)) return false;
  *pos = {static_cast<int16_t>(p.x), static_cast<int16_t>(p.y)};
  return true;
}

}  // namespace

void InstallRouteSearch(BattleContext& battle) { battle.Extension<RouteSearchState>(); }

void RouteSearch(SlgPoint start, int limit) {
  SlgSearchState& s = Battle().search;
  const SlgGrid& grid = Battle().cell_grid2;
  limit = std::clamp(limit, 0, kRouteLimitMax);
  s.stack_top = 0;
  s.stack_peak = 0;
  s.pushes = 0;
  s.stack_refused = 0;
  s.range_cost.fill(kSlgCostUnreached);
  SlgRangePos first;
  int index = 0;
  if (!SnappedCell(start.x, start.y, &first, &index)) return;
  s.range_cost[static_cast<size_t>(index)] = 0;
  SlgSearchPush(first);
  while (s.stack_top > 0) {
    // Every position on the stack is a cell's (pushed after its index was found).
    const SlgRangePos p = s.stack[--s.stack_top];
    const int row = (p.y + 24) / 24;
    const int column = (p.x - 48 * (row & 1)) / 96;
    index = row * kSlgGridColumns + column;
    const int c = s.range_cost[static_cast<size_t>(index)];
    if (c >= limit) continue;
    const int h = Height(grid, index);
    for (int d = 0; d < 4; ++d) {
      int next = 0;
      if (!NeighbourIndex(column, row, d, &next)) continue;
      if ((grid[static_cast<size_t>(next)] & kSlgCellAttackStop) != 0 || Height(grid, next) - h > 1)
        continue;
      uint16_t& cost = s.range_cost[static_cast<size_t>(next)];
      if (cost <= c || cost == c + 1) continue;
      cost = static_cast<uint16_t>(c + 1);
      // A cell the full stack refuses keeps its cost (a real way of that length) but is not
      // stepped from: the costs beyond it may stay above the fewest steps.
      SlgSearchPush(Neighbour(p, d));
    }
  }
}

int RouteTrace(RouteRecord& route, SlgUnit& unit, int32_t x, int32_t y) {
  route.count = 0;
  const SlgPoint t = SnapPosToCell(x, y);
  route.target = {static_cast<int16_t>(t.x), static_cast<int16_t>(t.y)};
  int index = 0;
  if (!SlgSearchCellIndex(t.x, t.y, &index)) return 0;
  const int steps = Slg::TraceCostPath(Battle().cell_grid2, route.target, route.dirs.data(),
                                       nullptr, kRouteCapacity);
  if (steps == 0) return 0;
  route.count = static_cast<uint16_t>(steps - 1);
  Battle().search.path_count = route.count;
  Slg::SetUnitDir(unit, (route.dirs[static_cast<size_t>(steps - 1)] + 2u) & 3u);
  return 1;
}

int RouteWalk(RouteRecord& route, SlgUnit& unit, uint32_t fast) {
  return Slg::WalkRoute(unit, {route.dirs.data(), &route.count, route.target}, fast);
}

int FindFreeCellNear(SlgPoint& out, int32_t x, int32_t y) {
  BattleContext& b = Battle();
  const SlgGrid& grid = b.cell_grid2;
  std::array<uint16_t, kSlgGridCells>& queued = b.search.range_cost;
  std::array<SlgRangePos, kSlgGridCells>& queue = b.Extension<RouteSearchState>().queue;
  queued.fill(kSlgCostUnreached);
  int index = 0;
  SlgRangePos first;
  if (SnappedCell(x, y, &first, &index)) {
    size_t head = 0;
    size_t tail = 0;
    queue[tail++] = first;
    queued[static_cast<size_t>(index)] = 0;
    while (head < tail) {
      const SlgRangePos p = queue[head++];
      SlgSearchCellIndex(p.x, p.y, &index);
      if ((grid[static_cast<size_t>(index)] & kSlgCellMoveStop) == 0 &&
          GetUnitAtCell(index % kSlgGridColumns, index / kSlgGridColumns) == kSlgNoUnit) {
        out = {p.x, p.y};
        return 1;
      }
      for (int d = 0; d < 4; ++d) {
        int next = 0;
        if (!NeighbourIndex(index % kSlgGridColumns, index / kSlgGridColumns, d, &next) ||
            queued[static_cast<size_t>(next)] == 0)
          continue;
        queued[static_cast<size_t>(next)] = 0;
        queue[tail++] = Neighbour(p, d);
      }
    }
  }
  out = {x, y};
  return 0;
}
