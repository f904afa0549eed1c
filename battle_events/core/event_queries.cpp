#include "battle_events/core/event_queries.h"

#include "battle/battle_context.h"
#include "battle/slg_unit.h"

namespace {

// The index of the first record in use that `match` accepts; the unit count when none.
template <class Match>
int FirstUnitIndex(Match match) {
  SlgBattleState& s = Battle().state;
  uint32_t i = 0;
  for (; SlgSlotInUse(i); ++i) {
    if (match(s.units[i])) return static_cast<int>(i);
  }
  return s.unit_count;
}

// The record at an index FirstUnitIndex gave; null for "none".
SlgUnit* RecordAt(int index) {
  return SlgSlotInUse(static_cast<uint32_t>(index)) ? &Battle().state.units[index] : nullptr;
}

int32_t WrapAdd(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// 48 x the height in a cell word: at most 48 x 31.
int32_t LiftOf(uint32_t word) {
  return static_cast<int32_t>(word & kSlgCellHeightMask) * kSlgCellHeightPixels;
}

// The cell holding the snapped point of (x, y), clamped to the grid.
SlgCell SnappedCell(int32_t x, int32_t y) {
  const SlgPoint snap = SnapPosToCell(x, y);
  return PosToCell(snap.x, snap.y);
}

uint32_t PlacementWord(SlgCell cell) {
  // PosToCell clamps to the grid, so the index is inside.
  return Battle().cell_grid2[static_cast<size_t>(cell.row * kSlgGridColumns + cell.column)];
}

}  // namespace

// ---- Unit look-ups ----

int FindUnitIndexByKind(int32_t kind) {
  return FirstUnitIndex([&](const SlgUnit& u) { return u.kind == kind; });
}

int FindUnitIndexByGroupKind(int32_t group, int32_t kind) {
  return FirstUnitIndex([&](const SlgUnit& u) { return u.side == group && u.kind == kind; });
}

int FindUnitIndexByChara(int32_t group, int32_t character) {
  return FirstUnitIndex(
      [&](const SlgUnit& u) { return u.side == group && u.character == character; });
}

SlgUnit* FindFirstUnitOfKind(int32_t kind) { return RecordAt(FindUnitIndexByKind(kind)); }

SlgUnit* FindGroupKindUnit(int32_t group, int32_t kind) {
  return RecordAt(FindUnitIndexByGroupKind(group, kind));
}

int UnitAbsent(int32_t group, int32_t character) {
  const int i = FirstUnitIndex([&](const SlgUnit& u) {
    return u.side == group && u.character == character && SlgUnitLive(u);
  });
  return RecordAt(i) == nullptr ? 1 : 0;
}

int IsPlayerChara(int32_t character, uint32_t unit) {
  if (!SlgSlotInUse(unit)) return 0;
  const SlgUnit& u = Battle().state.units[unit];
  return u.side == 0 && u.character == character ? 1 : 0;
}

int IsGroupKind(int32_t group, int32_t kind, uint32_t unit) {
  if (!SlgSlotInUse(unit)) return 0;
  const SlgUnit& u = Battle().state.units[unit];
  return u.side == group && u.kind == kind ? 1 : 0;
}

// ---- Position queries ----

SlgPoint CellToPosHeight(int32_t x, int32_t y) {
  SlgPoint p = SnapPosToCell(x, y);
  p.y = WrapAdd(p.y, LiftOf(SlgCellWord(PosToCell(p.x, p.y))));
  return p;
}

SlgPoint CellPosLift(int32_t x, int32_t y) {
  return {x, WrapAdd(y, LiftOf(SlgCellWord(SnappedCell(x, y))))};
}

SlgPoint CellPosDrop(int32_t x, int32_t y) {
  return {x, WrapAdd(y, -LiftOf(PlacementWord(SnappedCell(x, y))))};
}

SlgPoint UnitCellPos(int32_t group, int32_t kind) {
  const SlgUnit* u = FindGroupKindUnit(group, kind);
  if (u == nullptr) return {-1, -1};
  return SnapPosToCell(u->x >> 16, u->y >> 16);
}

// ---- Battle words ----

uint32_t EventDebugPriority() { return Battle().debug_priority; }
