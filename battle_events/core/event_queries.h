#pragma once
// The battle queries of the events: unit look-ups, position queries on the map's cells and the
// battle's debug-priority word. They read the running battle (Battle()) and keep no state.
//
// Unit look-ups run over slots 0 .. unit count - 1, lowest first; records with step 255 (dead,
// being removed) are found like the others unless said otherwise. "Group" is the unit's side
// (0 the player's, 1, 2, 4 the others). The first unit of a group and character is the core's
// FindUnitByGroupKind (battle/slg_events.h), which keys on the character despite its name; the
// core's Slg::FindUnitByChara (battle/slg_unit_sprite.h) is another query (a slot, live records
// of any side).

#include <cstdint>

#include "battle/slg_geometry.h"

struct SlgUnit;

// ---- Unit look-ups ----

// The index of the first unit of that kind (any group) / group and kind / group and character;
// the unit count when none.
int FindUnitIndexByKind(int32_t kind);
int FindUnitIndexByGroupKind(int32_t group, int32_t kind);
int FindUnitIndexByChara(int32_t group, int32_t character);
// The record of the first unit of that kind / group and kind; null when none.
SlgUnit* FindFirstUnitOfKind(int32_t kind);
SlgUnit* FindGroupKindUnit(int32_t group, int32_t kind);
// 1 when no unit of that group and character with a step other than 255 exists, else 0.
int UnitAbsent(int32_t group, int32_t character);
// 1 when slot `unit` is a record in use of group 0 and that character, else 0.
int IsPlayerChara(int32_t character, uint32_t unit);
// 1 when slot `unit` is a record in use of that group and kind, else 0.
int IsGroupKind(int32_t group, int32_t kind, uint32_t unit);

// ---- Position queries (map pixels) ----
// Heights are the low 5 bits of a cell word, 48 pixels a level; the grids are read only at cells
// clamped to 22 x 88, so any x, y is safe. Sums wrap in 32 bits.

// SnapPosToCell(x, y) with its y increased by 48 x the height of that cell (cell attribute
// grid, Battle().cell_grid).
SlgPoint CellToPosHeight(int32_t x, int32_t y);
// (x, y + 48 x height), the height that of the cell holding the snapped point (cell attribute
// grid); the point itself is not snapped.
SlgPoint CellPosLift(int32_t x, int32_t y);
// (x, y - 48 x height), the height taken from the placement and height grid
// (Battle().cell_grid2) at the cell holding the snapped point.
SlgPoint CellPosDrop(int32_t x, int32_t y);
// SnapPosToCell of the pixel position of the first unit of that group and kind; (-1, -1) when
// there is none.
SlgPoint UnitCellPos(int32_t group, int32_t kind);

// ---- Battle words ----

// The battle's debug-priority word (Battle().debug_priority): while it is 1 the event messages
// draw their numbers. The debug menu's "BattleSetDebugPriorityFlag" sets it.
uint32_t EventDebugPriority();
