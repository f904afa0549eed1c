#pragma once
// The battle's units: the constant unit type table, creation from a stage entry, the state
// setter, stat totals, removal (keeping slots dense) and the purge of dead records, and the
// occupancy grid that tells which unit stands on which cell. The records live in
// Battle().state.units, slots 0 .. unit_count - 1; a removal moves every later record down one.

#include <array>
#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search_state.h"

class StageTable;

// The unit type table: 52 rows, one per unit kind (0-13 the player's units).
extern const std::array<SlgUnitStats, 52> kSlgUnitType;

constexpr uint8_t kSlgCreateRefused = 255;

// Sets the unit's state, its step to 0 and its body object's state byte to 0. Every state
// change goes through it. Entering or leaving state 9 gives back the unit's hit record.
void SetUnitState(SlgUnit& unit, uint8_t state);
// 1 when some record in use has this state, else 0.
int AnyUnitInState(uint8_t state);
// total = base + extra + trust, per stat (8-bit sums).
void CalcStatTotals(SlgUnitStats& stats);

// The occupancy grid (Battle().unit_grid).
void ClearUnitCellGrid();
// Enters the unit's slot at the cell of its position, only when it has kUnitOnGrid.
void SetUnitCell(const SlgUnit& unit);
// Clears the cell under the unit's snapped position, whoever was entered there.
void ClearUnitCell(const SlgUnit& unit);
// The slot at a cell, kSlgNoUnit for none or a cell outside 22 x 88.
uint16_t GetUnitAtCell(int column, int row);

// Queries every battle module asks of the records.
// Whether `slot` is a record in use (below the unit count and 64).
bool SlgSlotInUse(uint32_t slot);
// The acting unit's record, nullptr when the acting slot is not a record in use.
SlgUnit* SlgActingUnit();
// Whether the record is not a dead slot (step 255).
inline bool SlgUnitLive(const SlgUnit& unit) { return unit.step != kSlgDeadStep; }
// The cell under the unit's position, and the unit's position snapped to that cell.
SlgCell SlgUnitCell(const SlgUnit& unit);
SlgRangePos SlgUnitSnap(const SlgUnit& unit);
// The distance measure of the enemy programs: 2 x the column difference + the row difference.
int SlgCellDistance(SlgCell a, SlgCell b);

// Gives characters 0-6 of side 0 their full life and kiai (the debug menu's heal).
void SlgDebugHealPlayers();

namespace Slg {

// Creates a unit from entry n of the stage table in the next slot and returns the slot: the
// position (shifted to 16.16), facing, character, side, entry and flags from the entry, the
// kind and category from its class entry, the kind's type row (a zero row for the event-object
// kinds 80-143) with the trust bonus cleared and the totals computed. Not placed on the grid.
// Refused (a trace, kSlgCreateRefused, nothing created) with 64 units, or for an entry beyond the
// stage's entries or marked unusable (SlgClassUsable, battle/slg_stage_table.h).
uint8_t CreateUnit(const StageTable& stage, int n);
// Releases the animations of anm2 and anm (the objects stay) and all 23 animation slots
// (battle/slg_unit_sprite.cpp).
void ReleaseUnitSprites(SlgUnit& unit);
// Removes slot n: later records move down a slot (their slot bytes with them), and the update
// index, the acting slot, the turn order and the order position follow; so do the previous
// actor, the two event unit references and the occupancy grid: a word naming n names none
// (65535), one naming a later slot names it one less. A slot not in use does nothing.
void RemoveUnit(uint32_t n);
// Clears the grid, removes every record whose step is 255 and enters the others again.
void PurgeDeadUnits();
// The unit's position in the turn order, -1 when absent.
int OrderIndexOf(const SlgUnit& unit);

}  // namespace Slg
