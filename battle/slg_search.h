#pragma once
// Movement and attack range searches. Every search writes the one shared result in
// Battle().search: the cost grid (per cell the steps from the start, the ray step, or 0 for a
// listed square cell; 255 unreached) and the list of cell-centre positions (SnapPosToCell form).
// Range markers, commands, the walk and the enemy programs read it after the search.
//
// Neighbours of a cell are at (+48, -24), (+48, +24), (-48, +24), (-48, -24) pixels, directions
// 0-3, always visited in this order. Cell word bits: 0-4 height, 0x400 stops attack searches,
// 0x80001C00 stops movement and the square and heal shapes.
//
// Nothing allocates: fixed arrays in the context and mark maps on the caller's stack. Pushes past
// the work stack and entries past the list (one per cell of the map) are refused (one trace per
// search); every push from the 257th of a search on is traced "Read Error".

#include <array>
#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_search_state.h"

constexpr uint32_t kSlgCellAttackStop = 0x400;
constexpr uint32_t kSlgCellMoveStop = 0x80001C00;

// One row of the attack range table: aim shape and values 1-3, area shape and values 1-3.
struct SlgAttackRangeRow {
  int16_t aim_shape, aim1, aim2, aim3;
  int16_t area_shape, area1, area2, area3;
};
// SlgAttackRange: 52 kinds x 2 rows, indexed kind x 2 + mode (0 normal, 1 special).
extern const std::array<SlgAttackRangeRow, 104> kSlgAttackRange;

// The flood fill in the current search mode from `start` (snapped): cost grid reset, the start
// at cost 0 and listed unless skip_start; cells up to cost `max`; the attack modes (1, 2) list a
// cell only when its predecessor's cost is at least `min`. Appends to the list (callers clear
// the count). A start off the 22 x 88 cells finds nothing.
void RangeSearch(SlgRangePos start, int max, int min, int skip_start);

// The squared pixel distance of two positions.
int64_t SqDistance(SlgRangePos a, SlgRangePos b);
// The grid index (row x 22 + column) of a search position (a snapped position, or one plus any
// number of neighbour steps); false off the 22 x 88 cells, where PosToCell would clamp it onto
// an edge cell.
bool SlgSearchCellIndex(int32_t x, int32_t y, int* index);
// Pushes p on the flood's work stack (Battle().search: stack, stack_top, stack_peak), counted in
// `pushes` (saturating); past kSlgSearchStackSize it is refused, traced once while stack_refused
// is clear (the searches clear it as they begin): false.
bool SlgSearchPush(SlgRangePos p);

namespace Slg {

// A unit's move range (mode 0, the acting unit's side), each cell once, row by row. Character 4
// takes the square of radius `move` (centre not listed), everyone else the flood.
void MoveSearch(int character, SlgRangePos start, int move);
// The move flood for the enemy programs: mode 0, the acting unit's side, the fill's order.
void EnemyMoveSearch(SlgRangePos start, int move);
// The attack flood of `range` from the start: mode 1 (the search side kept) or mode 2 (the
// acting unit's side).
void SearchMode1(SlgRangePos start, int range);
void SearchMode2(SlgRangePos start, int range);
// The aim cells of the unit's attack row (mode 0 normal, 1 special) from `pos`.
void AimSearch(SlgRangePos pos, const SlgUnit& unit, int mode);
// The area cells of the unit's attack row around `pos`.
void AreaSearch(SlgRangePos pos, const SlgUnit& unit, int mode);
// The combination attack's area: the attack square of radius 5 around `pos`, centre flag 1.
void ComboAreaSearch(SlgRangePos pos, const SlgUnit& unit);
// Mode 0: the unit's move range; 5: the party list; 6: the heal cells. `flag` is not read.
void SupportSearch(const SlgUnit& unit, int mode, int flag);
// Every cell the unit could aim at from a cell of its move range from `pos` (heights ignored),
// each once, row by row, cost 0.
void ThreatSearch(SlgRangePos pos, const SlgUnit& unit, int mode);
// The way back from `target` (snapped) down the cost grid to its cost-0 cell: from each cell the
// first neighbour in direction order with a lower cost from which the step forward climbs at
// most one level of `grid`. Step i's code (pointing back) goes into dirs[i], its cell into
// cells[i] unless cells is null; the first step forward is the last entry. The number of steps,
// or 0: a target off the cells, blocked (0x400 of `grid`), unreached or of cost 0, no neighbour
// that qualifies (a cost grid of other heights, or of a search that ignored them), or a way of
// more than `capacity` steps.
int TraceCostPath(const SlgGrid& grid, SlgRangePos target, uint8_t* dirs, SlgRangePos* cells,
                  int capacity);
// The walk path from the last move search's cost grid to (x, y): 1 and the unit facing its
// first step, or 0 (a blocked, unreached or start destination, or no way down the grid).
int BuildPath(SlgUnit& unit, int32_t x, int32_t y);
// Checks the map cursor's cell as the unit's walk destination and builds its path: 1 or 0.
int AcceptMoveDest(SlgUnit& unit);
// The slot of the unit on a listed cell nearest to `unit` (the first in list order among
// equals), or the unit's own slot when no listed cell holds a unit.
uint16_t NearestListedUnit(const SlgUnit& unit);

}  // namespace Slg
