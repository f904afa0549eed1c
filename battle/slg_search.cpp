#include "battle/slg_search.h"

#include <algorithm>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/core/debug_trace.h"

const std::array<SlgAttackRangeRow, 104> kSlgAttackRange = {{
    /*  0 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /*  0 s */ {0, 1, 0, 0, 0, 0, 0, 0},
    /*  1 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /*  1 s */ {0, 256, 0, 0, 1, 256, 0, 0},
    /*  2 n */ {0, 2, 0, 0, 1, 2, 0, 0},
    /*  2 s */ {1, 3, 0, 0, 2, 3, 0, 1},
    /*  3 n */ {0, 5, 0, 1, 0, 0, 0, 0},
    /*  3 s */ {0, 5, 0, 1, 3, 1, 0, 0},
    /*  4 n */ {1, 2, 0, 0, 2, 2, 0, 1},
    /*  4 s */ {1, 3, 0, 0, 2, 3, 0, 1},
    /*  5 n */ {2, 4, 1, 0, 3, 1, 0, 1},
    /*  5 s */ {2, 2, 0, 0, 0, 0, 0, 0},
    /*  6 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /*  6 s */ {0, 1, 0, 0, 0, 0, 0, 0},
    /*  7 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /*  7 s */ {0, 1, 0, 0, 0, 0, 0, 0},
    /*  8 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /*  8 s */ {0, 256, 0, 0, 4, 256, 0, 0},
    /*  9 n */ {0, 2, 0, 0, 1, 2, 0, 0},
    /*  9 s */ {1, 5, 0, 0, 2, 5, 0, 1},
    /* 10 n */ {0, 5, 0, 1, 0, 0, 0, 0},
    /* 10 s */ {0, 5, 0, 0, 2, 2, 0, 1},
    /* 11 n */ {1, 2, 0, 0, 2, 2, 0, 1},
    /* 11 s */ {1, 3, 0, 0, 2, 3, 0, 1},
    /* 12 n */ {2, 4, 1, 0, 3, 1, 0, 0},
    /* 12 s */ {2, 2, 0, 0, 0, 0, 0, 0},
    /* 13 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 13 s */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 14 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 14 s */ {0, 0, 0, 0, 0, 0, 0, 0},
    /* 15 n */ {0, 3, 1, 1, 3, 0, 0, 0},
    /* 15 s */ {0, 0, 0, 1, 0, 0, 0, 0},
    /* 16 n */ {2, 4, 1, 0, 3, 1, 0, 0},
    /* 16 s */ {0, 0, 0, 0, 0, 0, 0, 0},
    /* 17 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 17 s */ {0, 0, 0, 0, 0, 0, 0, 0},
    /* 18 n */ {0, 3, 1, 1, 3, 0, 0, 0},
    /* 18 s */ {0, 0, 0, 1, 0, 0, 0, 0},
    /* 19 n */ {2, 4, 1, 0, 3, 1, 0, 0},
    /* 19 s */ {0, 0, 0, 0, 0, 0, 0, 0},
    /* 20 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 20 s */ {1, 5, 0, 0, 2, 5, 0, 1},
    /* 21 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 21 s */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 22 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 22 s */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 23 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 23 s */ {0, 1, 0, 0, 2, 2, 0, 1},
    /* 24 n */ {0, 2, 0, 0, 1, 2, 0, 0},
    /* 24 s */ {0, 1, 0, 0, 2, 2, 0, 1},
    /* 25 n */ {0, 5, 0, 0, 1, 5, 0, 0},
    /* 25 s */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 26 n */ {0, 5, 0, 0, 1, 5, 0, 0},
    /* 26 s */ {2, 2, 0, 0, 2, 5, 0, 1},
    /* 27 n */ {0, 5, 0, 0, 1, 5, 0, 0},
    /* 27 s */ {2, 2, 0, 0, 2, 5, 0, 1},
    /* 28 n */ {0, 2, 0, 0, 1, 2, 0, 0},
    /* 28 s */ {0, 256, 0, 0, 4, 256, 0, 0},
    /* 29 n */ {2, 3, 1, 1, 3, 1, 0, 1},
    /* 29 s */ {2, 2, 0, 0, 2, 3, 0, 1},
    /* 30 n */ {2, 4, 1, 1, 0, 0, 0, 0},
    /* 30 s */ {2, 4, 1, 2, 2, 2, 2, 1},
    /* 31 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 31 s */ {1, 2, 0, 0, 2, 5, 0, 0},
    /* 32 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 32 s */ {2, 2, 0, 0, 2, 5, 0, 1},
    /* 33 n */ {2, 25, 0, 0, 2, 5, 0, 1},
    /* 33 s */ {1, 25, 0, 0, 2, 25, 0, 1},
    /* 34 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 34 s */ {1, 0, 0, 0, 0, 0, 0, 0},
    /* 35 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 35 s */ {1, 0, 0, 0, 0, 0, 0, 0},
    /* 36 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 36 s */ {1, 5, 0, 0, 2, 5, 0, 1},
    /* 37 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 37 s */ {1, 5, 0, 0, 2, 5, 0, 1},
    // The gunner aims along its facing ray (length 256, no height test): it always faces
    // direction 2, and its ball rolls down that line to the first player unit on it.
    /* 38 n */ {3, 256, 0, 2, 0, 0, 2, 0},
    /* 38 s */ {0, 0, 0, 2, 0, 2, 0, 0},
    /* 39 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 39 s */ {1, 5, 0, 0, 2, 5, 0, 0},
    /* 40 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 40 s */ {1, 5, 0, 0, 2, 5, 0, 0},
    /* 41 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 41 s */ {1, 5, 0, 0, 2, 5, 0, 0},
    /* 42 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 42 s */ {1, 5, 0, 0, 2, 5, 0, 0},
    /* 43 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 43 s */ {1, 5, 0, 0, 2, 5, 0, 0},
    /* 44 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 44 s */ {1, 5, 0, 0, 2, 5, 0, 0},
    /* 45 n */ {2, 5, 0, 0, 2, 2, 0, 1},
    /* 45 s */ {1, 5, 0, 0, 2, 5, 0, 1},
    /* 46 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 46 s */ {1, 5, 0, 0, 2, 5, 0, 0},
    /* 47 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 47 s */ {1, 5, 0, 0, 2, 5, 0, 0},
    /* 48 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 48 s */ {0, 0, 0, 0, 0, 0, 0, 0},
    /* 49 n */ {0, 3, 1, 1, 3, 0, 0, 0},
    /* 49 s */ {0, 0, 0, 1, 0, 0, 0, 0},
    /* 50 n */ {2, 4, 1, 0, 3, 1, 0, 0},
    /* 50 s */ {0, 0, 0, 0, 0, 0, 0, 0},
    /* 51 n */ {0, 1, 0, 0, 0, 0, 0, 0},
    /* 51 s */ {1, 5, 0, 0, 2, 5, 0, 0},
}};

// Search positions are snapped positions and their sums with the neighbour steps: the lattice
// x = (2c + (r & 1)) x 48, y = 24 (r - 1), on which this agrees with PosToCell without its
// clamping.
bool SlgSearchCellIndex(int32_t x, int32_t y, int* index) {
  if (y < -24 || x < 0 || (y + 24) % 24 != 0) return false;
  const int32_t row = (y + 24) / 24;
  if (row >= kSlgGridRows) return false;
  const int32_t rest = x - 48 * (row & 1);
  if (rest < 0 || rest % 96 != 0) return false;
  const int32_t column = rest / 96;
  if (column >= kSlgGridColumns) return false;
  *index = row * kSlgGridColumns + column;
  return true;
}

bool SlgSearchPush(SlgRangePos p) {
  SlgSearchState& s = Battle().search;
  if (s.pushes < UINT16_MAX) ++s.pushes;
  if (s.stack_top >= kSlgSearchStackSize) {
    if (s.stack_refused == 0)
      DebugPrint("SlgSearch: work stack full (%d), pushes dropped\n", kSlgSearchStackSize);
    s.stack_refused = 1;
    return false;
  }
  s.stack[s.stack_top++] = p;
  s.stack_peak = std::max(s.stack_peak, s.stack_top);
  return true;
}

namespace {

constexpr int kDirX[4] = {48, 48, -48, -48};
constexpr int kDirY[4] = {-24, 24, 24, -24};

// Mode-1 ray height tables by step (the last value for every later step).
constexpr int kRayTableA[6] = {0, -3, -5, -7, -8, 0};
constexpr int kRayTableB[6] = {-1, -3, -5, -7, -8, 0};
constexpr int kRayTableC[6] = {0, -3, -5, -7, -8, 0};

constexpr int kTeleportCharacter = 4;  // her move is a square, her special an ally square
constexpr int kPassOverCharacter = 3;  // her aim rays pass over blocked cells

enum class RayVariant { kA, kB, kC };
enum class SquareRule { kAttack, kAlly };

SlgSearchState& S() { return Battle().search; }

SlgRangePos CellCentre(int column, int row) {
  return {static_cast<int16_t>((2 * column + (row & 1)) * 48), static_cast<int16_t>(24 * row - 24)};
}
SlgRangePos CellCentre(int index) {
  return CellCentre(index % kSlgGridColumns, index / kSlgGridColumns);
}

SlgRangePos Snap(int32_t x, int32_t y) {
  const SlgPoint p = SnapPosToCell(x, y);
  return {static_cast<int16_t>(p.x), static_cast<int16_t>(p.y)};
}
SlgRangePos UnitPos(const SlgUnit& unit) { return Snap(unit.x >> 16, unit.y >> 16); }

uint32_t Word(int index) { return Battle().cell_grid[static_cast<size_t>(index)]; }
int Height(int index) { return static_cast<int>(Word(index) & kSlgCellHeightMask); }

// The unit standing on a cell, null for none.
const SlgUnit* UnitOn(int index) {
  BattleContext& b = Battle();
  const uint16_t slot = b.unit_grid[static_cast<size_t>(index)];
  if (slot >= kSlgMaxUnits) return nullptr;
  return &b.state.units[slot];
}

// The attack searches' side test.
bool Opposed(const SlgUnit& unit) { return S().side == 0 ? unit.side != 0 : unit.side == 0; }

uint8_t ActingSide() {
  const SlgBattleState& s = Battle().state;
  return s.acting_unit < s.unit_count ? s.units[s.acting_unit].side : 0;
}

void ClearList() { S().range_count = 0; }

// Every public search starts here: one capacity trace per search, however many shapes and
// fills it runs.
void BeginSearch() {
  SlgSearchState& s = S();
  s.list_refused = 0;
  s.stack_refused = 0;
}

void Append(SlgRangePos p) {
  SlgSearchState& s = S();
  if (s.range_count >= kSlgRangeListSize) {
    if (s.list_refused == 0)
      DebugPrint("SlgSearch: range list full (%d), entries dropped\n", kSlgRangeListSize);
    s.list_refused = 1;
    return;
  }
  s.range_list[s.range_count++] = p;
}

void Push(SlgRangePos p) {
  SlgSearchPush(p);
  if (S().pushes > kSlgSearchPushWarn) DebugPrint("Read Error\n");
}

void ClearCost() { S().range_cost.fill(kSlgCostUnreached); }

// Clears the cost grid and the count, puts the centre at cost 0 and makes it the range centre.
void BeginShape(SlgRangePos centre) {
  SlgSearchState& s = S();
  ClearCost();
  ClearList();
  int index = 0;
  if (SlgSearchCellIndex(centre.x, centre.y, &index)) s.range_cost[static_cast<size_t>(index)] = 0;
  s.range_centre = centre;
}

bool RayLists(int diff, int table_value, bool strict) {
  return (strict ? table_value < diff : table_value <= diff) && diff <= 1;
}

// One ray from s in direction d: `length` cells, the first `pass` not tested.
void Ray(SlgRangePos s, int d, int length, int pass, int height_mode, RayVariant variant) {
  SlgSearchState& st = S();
  int index = 0;
  const int start_height = SlgSearchCellIndex(s.x, s.y, &index) ? Height(index) : 0;
  st.ray_height = static_cast<uint16_t>(start_height);
  int previous = start_height;
  for (int i = 0; i < length; ++i) {
    const int32_t x = s.x + (i + 1) * kDirX[d];
    const int32_t y = s.y + (i + 1) * kDirY[d];
    // A step off the cells ends the ray before anything is read (the ray cannot come back).
    if (!SlgSearchCellIndex(x, y, &index)) return;
    if (i >= pass) {
      const uint32_t word = Word(index);
      const int height = static_cast<int>(word & kSlgCellHeightMask);
      const int diff = height - start_height;
      const int step = std::min(i, 5);
      const SlgUnit* unit = UnitOn(index);
      bool listed = true;
      if (variant == RayVariant::kC) {
        if ((word & kSlgCellMoveStop) != 0) return;
        if (height_mode == 0 && height != start_height) return;
        if (height_mode == 1 && !RayLists(diff, kRayTableC[step], true)) listed = false;
        if (unit != nullptr) {
          const bool same = unit->side == st.side;
          if (height_mode == 2 ? !same : same) listed = false;
        }
      } else if (variant == RayVariant::kB && (word & kSlgCellMoveStop) != 0) {
        listed = false;
      } else {
        if ((word & kSlgCellAttackStop) != 0) return;
        if (height_mode == 0) {
          if (height != previous) return;
          previous = height;
        }
        const int* table = variant == RayVariant::kB ? kRayTableB : kRayTableA;
        if (height_mode == 1 && !RayLists(diff, table[step], false)) listed = false;
        if (unit != nullptr && !Opposed(*unit)) listed = false;
      }
      if (listed) {
        st.range_cost[static_cast<size_t>(index)] = static_cast<uint16_t>(i);
        Append({static_cast<int16_t>(x), static_cast<int16_t>(y)});
      }
    }
    if (x < 0 || x > 2048 || y < 0 || y > 2048) return;
  }
}

// The cross: four rays from the centre.
void Cross(SlgRangePos centre, int length, int pass, int height_mode, RayVariant variant) {
  BeginShape(centre);
  for (int d = 0; d < 4; ++d) Ray(centre, d, length, pass, height_mode, variant);
}

// One variant-A ray from the unit's cell in its direction.
void FacingRay(const SlgUnit& unit, int length, int height_mode) {
  const SlgRangePos centre = UnitPos(unit);
  BeginShape(centre);
  Ray(centre, unit.dir & 3, length, 0, height_mode, RayVariant::kA);
}

// Three parallel variant-A rays in the unit's direction: from the centre and the two cells
// beside it across the direction.
void Beam(SlgRangePos centre, const SlgUnit& unit, int length, int height_mode) {
  BeginShape(centre);
  const int d = unit.dir & 3;
  // Directions 0 and 2: centre - (48, 24), then centre + (48, 24); 1 and 3: centre + (48, -24),
  // then centre - (48, -24).
  const int sx = (d == 0 || d == 2) ? 48 : -48;
  const int sy = 24;
  Ray(centre, d, length, 0, height_mode, RayVariant::kA);
  Ray({static_cast<int16_t>(centre.x - sx), static_cast<int16_t>(centre.y - sy)}, d, length, 0,
      height_mode, RayVariant::kA);
  Ray({static_cast<int16_t>(centre.x + sx), static_cast<int16_t>(centre.y + sy)}, d, length, 0,
      height_mode, RayVariant::kA);
}

void SquareCandidate(int32_t x, int32_t y, int centre_index, int flag, SquareRule rule) {
  if (x < 0 || x > 2000 || y < 0 || y > 2024) return;
  int index = 0;
  if (!SlgSearchCellIndex(x, y, &index)) return;
  if ((Word(index) & kSlgCellMoveStop) != 0) return;
  if (index == centre_index && flag == 0) return;
  if (const SlgUnit* unit = UnitOn(index)) {
    const bool passes = rule == SquareRule::kAttack ? Opposed(*unit) : unit->side == S().side;
    if (!passes) return;
  }
  S().range_cost[static_cast<size_t>(index)] = 0;
  Append({static_cast<int16_t>(x), static_cast<int16_t>(y)});
}

// The screen-aligned square of radius r: the two candidate lattices in order.
void Square(SlgRangePos centre, int r, int flag, SquareRule rule) {
  SlgSearchState& s = S();
  ClearCost();
  int centre_index = -1;
  if (SlgSearchCellIndex(centre.x, centre.y, &centre_index)) {
    s.range_cost[static_cast<size_t>(centre_index)] = kSlgCostSquareCentre;
  } else {
    centre_index = -1;
  }
  ClearList();
  s.range_centre = centre;
  r = std::max(r, 0);
  const int32_t x0 = centre.x - 48 * r;
  const int32_t y0 = centre.y - 24 * r;
  for (int j = 0; j <= r; ++j) {
    for (int i = 0; i <= r; ++i)
      SquareCandidate(x0 + 96 * i, y0 + 48 * j, centre_index, flag, rule);
  }
  for (int j = 0; j < r; ++j) {
    for (int i = 0; i < r; ++i) {
      SquareCandidate(x0 + 48 + 96 * i, y0 + 24 + 48 * j, centre_index, flag, rule);
    }
  }
}

void Flood(SlgRangePos start, int max, int min, int skip_start) {
  SlgSearchState& s = S();
  const BattleContext& b = Battle();
  s.pushes = 0;
  s.stack_top = 0;
  s.stack_peak = 0;
  ClearCost();
  const SlgRangePos first = Snap(start.x, start.y);
  int start_index = 0;
  if (!SlgSearchCellIndex(first.x, first.y, &start_index)) return;
  s.range_cost[static_cast<size_t>(start_index)] = 0;
  Push(first);
  if (skip_start == 0) Append(first);
  const bool attack = s.mode == 1 || s.mode == 2;
  const bool heights = s.mode == 0;
  while (s.stack_top > 0) {
    const SlgRangePos p = s.stack[--s.stack_top];
    int index = 0;
    SlgSearchCellIndex(p.x, p.y, &index);
    const int c = s.range_cost[static_cast<size_t>(index)];
    if (c >= max || s.mode >= 5) continue;
    const int h = Height(index);
    for (int d = 0; d < 4; ++d) {
      const int32_t nx = p.x + kDirX[d];
      const int32_t ny = p.y + kDirY[d];
      int n = 0;
      if (!SlgSearchCellIndex(nx, ny, &n)) continue;
      const uint32_t word = b.cell_grid[static_cast<size_t>(n)];
      uint16_t& cost = s.range_cost[static_cast<size_t>(n)];
      const SlgUnit* unit = UnitOn(n);
      if (attack) {
        if ((word & kSlgCellAttackStop) != 0) continue;
        if (cost <= c) continue;
        if (unit != nullptr && !Opposed(*unit)) continue;
      } else {
        if ((word & kSlgCellMoveStop) != 0) continue;
        if (heights && static_cast<int>(word & kSlgCellHeightMask) - h >= 2) continue;
        if (cost <= c) continue;
        if (unit != nullptr && unit->side != s.side) continue;
      }
      if (cost == c + 1) continue;
      cost = static_cast<uint16_t>(c + 1);
      const SlgRangePos np{static_cast<int16_t>(nx), static_cast<int16_t>(ny)};
      Push(np);
      if (!attack || c >= min) Append(np);
    }
  }
}

using MarkMap = std::array<uint8_t, kSlgGridCells>;

void MarkList(MarkMap& marks) {
  const SlgSearchState& s = S();
  for (uint32_t i = 0; i < s.range_count; ++i) {
    int index = 0;
    if (SlgSearchCellIndex(s.range_list[i].x, s.range_list[i].y, &index))
      marks[static_cast<size_t>(index)] = 1;
  }
}

// Clears the count and lists the marked cells row by row.
void ListMarked(const MarkMap& marks) {
  ClearList();
  for (int index = 0; index < kSlgGridCells; ++index) {
    if (marks[static_cast<size_t>(index)] != 0) Append(CellCentre(index));
  }
}

// The move search in the current mode and side.
void MoveRange(int character, SlgRangePos start, int move) {
  ClearList();
  const bool square = character == kTeleportCharacter;
  if (square) {
    Square(Snap(start.x, start.y), move, 0, SquareRule::kAttack);
  } else {
    Flood(start, move, 0, 0);
  }
  MarkMap marks{};
  MarkList(marks);
  // A full list lost cells (the fill lists a cell again at each lower cost, so a long move on an
  // open map can make more entries than the map has cells): the cost grid holds them all, the
  // reached cells of the fill and the cost-0 cells of the square.
  if (S().list_refused != 0) {
    const SlgSearchState& s = S();
    for (int index = 0; index < kSlgGridCells; ++index) {
      const uint16_t cost = s.range_cost[static_cast<size_t>(index)];
      if (square ? cost == 0 : cost != kSlgCostUnreached) marks[static_cast<size_t>(index)] = 1;
    }
  }
  ListMarked(marks);
}

const SlgAttackRangeRow& RowOf(const SlgUnit& unit, int mode) {
  const size_t kind = std::min<size_t>(unit.kind, 51);
  return kSlgAttackRange[kind * 2 + (mode != 0 ? 1 : 0)];
}

}  // namespace

void RangeSearch(SlgRangePos start, int max, int min, int skip_start) {
  BeginSearch();
  Flood(start, max, min, skip_start);
}

int64_t SqDistance(SlgRangePos a, SlgRangePos b) {
  const int64_t dx = int64_t{a.x} - b.x;
  const int64_t dy = int64_t{a.y} - b.y;
  return dx * dx + dy * dy;
}

namespace Slg {

void MoveSearch(int character, SlgRangePos start, int move) {
  BeginSearch();
  SlgSearchState& s = S();
  s.mode = 0;
  s.side = ActingSide();
  MoveRange(character, start, move);
}

void EnemyMoveSearch(SlgRangePos start, int move) {
  SlgSearchState& s = S();
  s.mode = 0;
  s.side = ActingSide();
  ClearList();
  RangeSearch(start, move, 0, 0);
}

void SearchMode1(SlgRangePos start, int range) {
  S().mode = 1;
  ClearList();
  RangeSearch(start, range, 0, 0);
}

void SearchMode2(SlgRangePos start, int range) {
  SlgSearchState& s = S();
  s.mode = 2;
  s.side = ActingSide();
  ClearList();
  RangeSearch(start, range, 0, 0);
}

namespace {

void Aim(SlgRangePos pos, const SlgUnit& unit, int mode) {
  SlgSearchState& s = S();
  s.mode = 1;
  s.side = unit.side;
  const SlgAttackRangeRow& row = RowOf(unit, mode);
  const SlgRangePos centre = Snap(pos.x, pos.y);
  switch (row.aim_shape) {
    case 0:
      Cross(centre, row.aim1, row.aim2, row.aim3,
            unit.character == kPassOverCharacter ? RayVariant::kB : RayVariant::kA);
      break;
    case 2:
      ClearList();
      Square(centre, row.aim1, row.area3, SquareRule::kAttack);
      break;
    case 3:
      FacingRay(unit, row.aim1, row.aim3);
      break;
    default:
      break;
  }
}

}  // namespace

void AimSearch(SlgRangePos pos, const SlgUnit& unit, int mode) {
  BeginSearch();
  Aim(pos, unit, mode);
}

void AreaSearch(SlgRangePos pos, const SlgUnit& unit, int mode) {
  BeginSearch();
  SlgSearchState& s = S();
  s.mode = 2;
  s.side = unit.side;
  const SlgAttackRangeRow& row = RowOf(unit, mode);
  const SlgRangePos centre = Snap(pos.x, pos.y);
  switch (row.area_shape) {
    case 0:
      ClearList();
      Flood(centre, row.area1, 0, 0);
      break;
    case 1:
      FacingRay(unit, row.area1, row.area2);
      break;
    case 2:
      ClearList();
      if (unit.character == kTeleportCharacter && mode == 1) {
        Square(centre, row.aim1, row.area3, SquareRule::kAlly);
      } else {
        Square(centre, row.area1, row.area3, SquareRule::kAttack);
      }
      break;
    case 3:
      Cross(centre, row.area1, 0, row.area2, RayVariant::kA);
      Append(centre);
      break;
    case 4:
      Beam(centre, unit, row.area1, row.area2);
      break;
    default:
      break;
  }
}

void ComboAreaSearch(SlgRangePos pos, const SlgUnit& unit) {
  BeginSearch();
  SlgSearchState& s = S();
  s.mode = 2;
  s.side = unit.side;
  ClearList();
  Square(Snap(pos.x, pos.y), 5, 1, SquareRule::kAttack);
}

void SupportSearch(const SlgUnit& unit, int mode, int /*flag*/) {
  BeginSearch();
  SlgSearchState& s = S();
  const SlgRangePos own = UnitPos(unit);
  switch (mode) {
    case 0:
      MoveSearch(unit.character, own, unit.stats.total_move);
      break;
    case 5: {
      s.mode = 5;
      s.side = unit.side;
      BeginShape(own);
      const SlgBattleState& st = Battle().state;
      for (int i = 0; i < st.unit_count && i < kSlgMaxUnits; ++i) {
        const SlgUnit& u = st.units[static_cast<size_t>(i)];
        if (u.side != 0 || u.step == kSlgDeadStep) continue;
        const SlgRangePos p = UnitPos(u);
        int index = 0;
        if (SlgSearchCellIndex(p.x, p.y, &index)) s.range_cost[static_cast<size_t>(index)] = u.slot;
        Append(p);
      }
      break;
    }
    case 6:
      s.mode = 6;
      s.side = unit.side;
      BeginShape(own);
      for (int d = 0; d < 4; ++d) Ray(own, d, 1, 0, 2, RayVariant::kC);
      Append(own);
      break;
    default:
      break;
  }
}

void ThreatSearch(SlgRangePos pos, const SlgUnit& unit, int mode) {
  BeginSearch();
  SlgSearchState& s = S();
  s.mode = 4;
  s.side = unit.side;
  MoveRange(unit.character, pos, unit.stats.total_move);
  std::array<SlgRangePos, kSlgRangeListSize + 1> origins;
  const uint32_t count = std::min<uint32_t>(s.range_count, kSlgRangeListSize);
  std::copy_n(s.range_list.begin(), count, origins.begin());
  origins[count] = UnitPos(unit);
  MarkMap marks{};
  const BattleContext& b = Battle();
  for (uint32_t i = 0; i <= count; ++i) {
    int index = 0;
    if (!SlgSearchCellIndex(origins[i].x, origins[i].y, &index)) continue;
    const uint16_t slot = b.unit_grid[static_cast<size_t>(index)];
    if (slot != kSlgNoUnit && slot != unit.slot) continue;
    // An aim shape that lists nothing leaves the count alone: clear it, so that the move list
    // is not taken for aim cells.
    ClearList();
    Aim(origins[i], unit, mode);
    MarkList(marks);
  }
  ClearCost();
  for (int index = 0; index < kSlgGridCells; ++index) {
    if (marks[static_cast<size_t>(index)] != 0) s.range_cost[static_cast<size_t>(index)] = 0;
  }
  ListMarked(marks);
}

int TraceCostPath(const SlgGrid& grid, SlgRangePos target, uint8_t* dirs, SlgRangePos* cells,
                  int capacity) {
  const std::array<uint16_t, kSlgGridCells>& cost = S().range_cost;
  auto height = [&grid](int index) {
    return static_cast<int>(grid[static_cast<size_t>(index)] & kSlgCellHeightMask);
  };
  SlgRangePos p = target;
  int index = 0;
  if (!SlgSearchCellIndex(p.x, p.y, &index)) return 0;
  if ((grid[static_cast<size_t>(index)] & kSlgCellAttackStop) != 0) return 0;
  int c = cost[static_cast<size_t>(index)];
  if (c == kSlgCostUnreached || c == 0) return 0;
  int steps = 0;
  while (c != 0) {
    const int h = height(index);
    int found = -1;
    int next = 0;
    for (int d = 0; d < 4 && found < 0; ++d) {
      if (!SlgSearchCellIndex(p.x + kDirX[d], p.y + kDirY[d], &next)) continue;
      if (cost[static_cast<size_t>(next)] < c && h - height(next) < 2) found = d;
    }
    if (found < 0 || steps >= capacity) return 0;
    if (cells != nullptr) cells[steps] = p;
    dirs[steps] = static_cast<uint8_t>(found);
    ++steps;
    p = {static_cast<int16_t>(p.x + kDirX[found]), static_cast<int16_t>(p.y + kDirY[found])};
    index = next;
    c = cost[static_cast<size_t>(index)];
  }
  return steps;
}

int BuildPath(SlgUnit& unit, int32_t x, int32_t y) {
  SlgSearchState& s = S();
  s.path_count = 0;
  s.move_dest = Snap(x, y);
  const int steps = TraceCostPath(Battle().cell_grid, s.move_dest, s.path_dir.data(),
                                  s.path_pos.data(), kSlgPathSize);
  if (steps == 0) return 0;
  s.path_count = static_cast<uint16_t>(steps - 1);
  unit.dir = static_cast<uint8_t>((s.path_dir[static_cast<size_t>(steps - 1)] + 2) & 3);
  SetUnitDir(unit, unit.dir);
  return 1;
}

int AcceptMoveDest(SlgUnit& unit) {
  SlgSearchState& s = S();
  const SlgBattleState& st = Battle().state;
  const int column = st.cursor_cell[0];
  const int row = st.cursor_cell[1];
  if (column < 0 || column >= kSlgGridColumns || row < 0 || row >= kSlgGridRows) return 0;
  if (unit.side == 0 && GetUnitAtCell(column, row) != kSlgNoUnit) return 0;
  const SlgRangePos dest = CellCentre(column, row);
  if (unit.character == kTeleportCharacter) {
    if (s.range_cost[static_cast<size_t>(row * kSlgGridColumns + column)] == kSlgCostUnreached)
      return 0;
    s.move_dest = dest;
    return 1;
  }
  return BuildPath(unit, dest.x, dest.y);
}

uint16_t NearestListedUnit(const SlgUnit& unit) {
  const SlgSearchState& s = S();
  const BattleContext& b = Battle();
  const SlgRangePos own = UnitPos(unit);
  uint16_t best = unit.slot;
  int64_t best_distance = INT64_MAX;
  for (uint32_t i = 0; i < s.range_count; ++i) {
    int index = 0;
    if (!SlgSearchCellIndex(s.range_list[i].x, s.range_list[i].y, &index)) continue;
    const uint16_t slot = b.unit_grid[static_cast<size_t>(index)];
    if (slot == kSlgNoUnit) continue;
    const int64_t d = SqDistance(s.range_list[i], own);
    if (d < best_distance) {
      best_distance = d;
      best = slot;
    }
  }
  return best;
}

}  // namespace Slg
