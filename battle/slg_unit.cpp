#include "battle/slg_unit.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_damage.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_kind_states.h"
#include "engine/core/debug_trace.h"

namespace {

// One type row from its named columns; every other byte 0.
constexpr SlgUnitStats Row(int16_t life, int16_t max_life, uint16_t kiai, int16_t max_kiai,
                           uint8_t attack, uint8_t defence, uint8_t move, uint8_t extra_attack,
                           uint8_t extra_defence, uint8_t extra_move, int8_t counter,
                           uint8_t recovery, uint8_t byte32, uint8_t special_power,
                           uint8_t byte34) {
  SlgUnitStats s{};
  s.life = life;
  s.max_life = max_life;
  s.kiai = kiai;
  s.max_kiai = max_kiai;
  s.attack = attack;
  s.defence = defence;
  s.move = move;
  s.extra_attack = extra_attack;
  s.extra_defence = extra_defence;
  s.extra_move = extra_move;
  s.counter = counter;
  s.recovery = recovery;
  s.byte32 = byte32;
  s.special_power = special_power;
  s.byte34 = byte34;
  return s;
}

int Cell(SlgCell cell) { return cell.row * kSlgGridColumns + cell.column; }

// A word naming slot `slot` once slot n has been removed: none (65535) for n itself, one less
// above it; kSlgNoUnit stays.
uint16_t SlotAfterRemoval(uint16_t slot, uint32_t n) {
  if (slot == kSlgNoUnit || slot < n) return slot;
  return slot == n ? kSlgNoUnit : static_cast<uint16_t>(slot - 1);
}

}  // namespace

// Columns: life, max life, kiai, max kiai, attack, defence, move (speed), extra attack, extra
// defence, extra move, counter, recovery, byte 32, special power, byte 34.
const std::array<SlgUnitStats, 52> kSlgUnitType = {
    /*  0 */ Row(120, 120, 100, 100, 14, 14, 3, 5, 5, 3, 2, 50, 8, 15, 2),
    /*  1 */ Row(120, 120, 100, 100, 7, 6, 3, 5, 5, 3, 2, 50, 0, 10, 2),
    /*  2 */ Row(120, 120, 100, 100, 7, 7, 2, 5, 5, 3, 2, 50, 0, 7, 2),
    /*  3 */ Row(120, 120, 100, 100, 9, 2, 3, 5, 5, 3, 2, 50, 0, 8, 2),
    /*  4 */ Row(120, 120, 100, 100, 6, 8, 2, 5, 5, 3, 2, 50, 0, 120, 2),
    /*  5 */ Row(120, 120, 100, 100, 6, 4, 2, 5, 5, 3, 2, 50, 0, 16, 2),
    /*  6 */ Row(120, 120, 100, 100, 11, 6, 3, 5, 5, 3, 2, 50, 0, 12, 2),
    /*  7 */ Row(180, 180, 100, 100, 21, 18, 3, 8, 8, 3, 2, 80, 8, 12, 2),
    /*  8 */ Row(180, 180, 100, 100, 12, 9, 3, 8, 8, 3, 2, 80, 0, 9, 2),
    /*  9 */ Row(180, 180, 100, 100, 12, 11, 2, 8, 8, 3, 2, 80, 0, 7, 2),
    /* 10 */ Row(180, 180, 100, 100, 15, 5, 3, 8, 8, 3, 2, 80, 0, 8, 2),
    /* 11 */ Row(180, 180, 100, 100, 10, 13, 2, 8, 8, 3, 2, 80, 0, 180, 2),
    /* 12 */ Row(180, 180, 100, 100, 10, 7, 2, 8, 8, 3, 2, 80, 0, 20, 2),
    /* 13 */ Row(180, 180, 100, 100, 17, 10, 3, 8, 8, 3, 2, 80, 0, 15, 2),
    /* 14 */ Row(80, 80, 0, 0, 5, 4, 1, 4, 4, 3, 0, 30, 0, 0, 2),
    /* 15 */ Row(80, 80, 0, 0, 4, 2, 2, 4, 4, 3, 2, 30, 0, 0, 2),
    /* 16 */ Row(80, 80, 0, 0, 6, 0, 0, 4, 4, 3, 0, 30, 0, 0, 2),
    /* 17 */ Row(120, 120, 0, 0, 10, 10, 1, 6, 6, 3, 0, 50, 0, 0, 2),
    /* 18 */ Row(120, 120, 0, 0, 9, 8, 2, 6, 6, 3, 2, 50, 0, 0, 2),
    /* 19 */ Row(120, 120, 0, 0, 12, 2, 0, 6, 6, 3, 0, 50, 0, 0, 2),
    /* 20 */ Row(300, 300, 0, 0, 7, 4, 1, 8, 8, 4, 2, 80, 0, 0, 2),
    /* 21 */ Row(900, 900, 0, 100, 12, 25, 0, 8, 8, 3, 9, 200, 0, 0, 2),
    /* 22 */ Row(400, 400, 0, 100, 9, 9, 3, 5, 5, 3, 0, 0, 0, 10, 2),
    /* 23 */ Row(600, 600, 0, 100, 6, 9, 5, 7, 6, 2, 0, 50, 0, 6, 2),
    /* 24 */ Row(900, 900, 0, 100, 13, 8, 2, 7, 6, 2, 0, 50, 0, 6, 2),
    /* 25 */ Row(600, 600, 0, 100, 6, 8, 3, 7, 7, 4, 2, 200, 0, 10, 2),
    /* 26 */ Row(600, 600, 0, 100, 8, 4, 1, 8, 8, 3, 1, 100, 0, 0, 2),
    /* 27 */ Row(900, 900, 0, 100, 12, 10, 1, 8, 8, 3, 1, 200, 0, 0, 2),
    /* 28 */ Row(1200, 1200, 100, 100, 16, 6, 2, 9, 12, 3, 0, 50, 0, 8, 2),
    /* 29 */ Row(800, 800, 100, 100, 14, 11, 5, 9, 12, 3, 1, 200, 0, 7, 2),
    /* 30 */ Row(900, 900, 100, 100, 15, 8, 1, 9, 12, 3, 1, 200, 0, 15, 2),
    /* 31 */ Row(300, 300, 0, 0, 15, 13, 2, 8, 8, 3, 0, 50, 0, 0, 2),
    /* 32 */ Row(666, 666, 100, 100, 15, 15, 1, 8, 8, 3, 1, 200, 0, 7, 2),
    /* 33 */ Row(2000, 2000, 0, 100, 26, 28, 0, 0, 0, 0, 0, 0, 0, 7, 2),
    /* 34 */ Row(80, 80, 0, 0, 5, 4, 1, 5, 5, 3, 0, 0, 0, 0, 2),
    /* 35 */ Row(120, 120, 0, 0, 7, 8, 2, 5, 5, 3, 0, 0, 0, 0, 2),
    /* 36 */ Row(150, 150, 0, 0, 10, 7, 1, 8, 8, 3, 0, 0, 0, 0, 2),
    /* 37 */ Row(37, 37, 0, 0, 37, 37, 0, 37, 37, 0, 0, 0, 0, 0, 2),
    /* 38 */ Row(150, 150, 0, 0, 0, 0, 0, 15, 10, 0, 0, 0, 0, 0, 2),
    /* 39 */ Row(60, 60, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 2),
    /* 40 */ Row(60, 60, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 0, 0, 2),
    /* 41 */ Row(80, 80, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 2),
    /* 42 */ Row(200, 200, 0, 0, 0, 0, 0, 0, 15, 0, 0, 0, 0, 0, 2),
    /* 43 */ Row(200, 200, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 2),
    /* 44 */ Row(300, 300, 0, 0, 0, 0, 0, 0, 18, 0, 0, 0, 0, 0, 2),
    /* 45 */ Row(300, 300, 0, 0, 0, 0, 0, 24, 18, 0, 0, 0, 0, 0, 2),
    /* 46 */ Row(46, 46, 0, 0, 46, 46, 0, 46, 46, 0, 0, 0, 0, 0, 2),
    /* 47 */ Row(47, 47, 0, 0, 47, 47, 0, 47, 47, 0, 0, 50, 0, 0, 2),
    /* 48 */ Row(150, 150, 0, 0, 8, 7, 1, 10, 10, 3, 0, 0, 0, 0, 2),
    /* 49 */ Row(150, 150, 0, 0, 5, 4, 2, 10, 10, 3, 0, 50, 0, 0, 2),
    /* 50 */ Row(150, 150, 0, 0, 11, 0, 0, 10, 10, 3, 0, 50, 0, 0, 2),
    /* 51 */ Row(51, 51, 0, 0, 51, 51, 0, 51, 51, 0, 0, 50, 0, 0, 2),
};

void SetUnitState(SlgUnit& unit, uint8_t state) {
  // A hit reaction's record is given back on every entry to state 9 and every road out of it.
  if (unit.state == kUnitStateHit || state == kUnitStateHit) ReleaseHitRecord(unit);
  unit.state = state;
  unit.step = 0;
  if (unit.anm != nullptr) unit.anm->state = 0;
}

int AnyUnitInState(uint8_t state) {
  const SlgBattleState& s = Battle().state;
  for (int i = 0; i < s.unit_count; ++i) {
    if (s.units[i].state == state) return 1;
  }
  return 0;
}

void CalcStatTotals(SlgUnitStats& stats) {
  stats.total_attack = static_cast<uint8_t>(stats.attack + stats.extra_attack + stats.trust_attack);
  stats.total_defence =
      static_cast<uint8_t>(stats.defence + stats.extra_defence + stats.trust_defence);
  stats.total_move = static_cast<uint8_t>(stats.move + stats.extra_move + stats.trust_move);
}

void ClearUnitCellGrid() { Battle().unit_grid.fill(kSlgNoUnit); }

void SetUnitCell(const SlgUnit& unit) {
  if ((unit.flags & kUnitOnGrid) == 0) return;
  Battle().unit_grid[Cell(PosToCell(unit.x >> 16, unit.y >> 16))] = unit.slot;
}

void ClearUnitCell(const SlgUnit& unit) {
  const SlgPoint snap = SnapPosToCell(unit.x >> 16, unit.y >> 16);
  Battle().unit_grid[Cell(PosToCell(snap.x, snap.y))] = kSlgNoUnit;
}

uint16_t GetUnitAtCell(int column, int row) {
  if (column < 0 || column >= kSlgGridColumns || row < 0 || row >= kSlgGridRows) return kSlgNoUnit;
  return Battle().unit_grid[row * kSlgGridColumns + column];
}

bool SlgSlotInUse(uint32_t slot) {
  return slot < Battle().state.unit_count && slot < static_cast<uint32_t>(kSlgMaxUnits);
}

SlgUnit* SlgActingUnit() {
  SlgBattleState& s = Battle().state;
  return SlgSlotInUse(s.acting_unit) ? &s.units[s.acting_unit] : nullptr;
}

SlgCell SlgUnitCell(const SlgUnit& unit) { return PosToCell(unit.x >> 16, unit.y >> 16); }

SlgRangePos SlgUnitSnap(const SlgUnit& unit) {
  const SlgPoint p = SnapPosToCell(unit.x >> 16, unit.y >> 16);
  return {static_cast<int16_t>(p.x), static_cast<int16_t>(p.y)};
}

int SlgCellDistance(SlgCell a, SlgCell b) {
  return 2 * std::abs(a.column - b.column) + std::abs(a.row - b.row);
}

void SlgDebugHealPlayers() {
  for (int character = 0; character <= 6; ++character) {
    SlgUnit* unit = FindUnitByGroupKind(0, character);
    if (unit == nullptr) continue;
    unit->stats.life = unit->stats.max_life;
    unit->stats.kiai = static_cast<uint16_t>(unit->stats.max_kiai);
  }
}

namespace Slg {

uint8_t CreateUnit(const StageTable& stage, int n) {
  SlgBattleState& s = Battle().state;
  if (s.unit_count >= kSlgMaxUnits) {
    DebugPrint("Slg::CreateUnit: no free slot for entry %d (%d units)\n", n, s.unit_count);
    return kSlgCreateRefused;
  }
  if (n < 0 || n >= stage.unit_count() || !stage.usable(n)) {
    DebugPrint("Slg::CreateUnit: entry %d is not usable (%d entries)\n", n, stage.unit_count());
    return kSlgCreateRefused;
  }
  const StageUnitEntry e = stage.unit(n);
  const StageClassEntry c = stage.class_entry(e.class_index);
  const uint16_t slot = s.unit_count;
  SlgUnit& unit = s.units[slot];
  unit = SlgUnit{};
  unit.x = e.x * 65536;
  unit.y = e.y * 65536;
  unit.dir = e.facing;
  unit.character = e.character;
  unit.side = e.side;
  unit.slot = static_cast<uint8_t>(slot);
  unit.entry = static_cast<uint8_t>(n);
  unit.flags = e.flags;
  unit.kind = c.kind;
  unit.category = c.category;
  unit.step = 0;
  unit.lift = 0;
  // Event objects (kinds 80-143, the only usable kinds beyond the table) have no type row.
  unit.stats = c.kind < kSlgUnitType.size() ? kSlgUnitType[c.kind] : SlgUnitStats{};
  unit.stats.trust_attack = unit.stats.trust_defence = unit.stats.trust_move = 0;
  CalcStatTotals(unit.stats);
  ++s.unit_count;
  return static_cast<uint8_t>(slot);
}


void RemoveUnit(uint32_t n) {
  BattleContext& b = Battle();
  SlgBattleState& s = b.state;
  if (n >= s.unit_count) {
    DebugPrint("Slg::RemoveUnit: slot %u not in use (%d units)\n", n, s.unit_count);
    return;
  }
  SlgUnit& gone = s.units[n];
  ReleaseUnitSprites(gone);
  // Its objects go back to the animation-object pool (a record moved over it would lose them).
  for (SlgAnmObj** ref : {&gone.anm, &gone.anm2}) {
    FreeAnmObj(*ref);
    *ref = nullptr;
  }
  FreeFamilyObjectsOfLeaving(gone);
  ReleaseHitRecord(gone);
  for (uint32_t i = n; i + 1 < s.unit_count; ++i) {
    s.units[i] = s.units[i + 1];
    --s.units[i].slot;
    // The per-slot records of the hit reaction and the death actions move with their unit.
    b.hit_records[i] = b.hit_records[i + 1];
    b.death.start[i] = b.death.start[i + 1];
    b.death.wait[i] = b.death.wait[i + 1];
  }
  --s.unit_count;
  s.units[s.unit_count] = SlgUnit{};
  b.hit_records[s.unit_count] = SlgHitRecord{};
  // The record that moved into n (and every later one) is updated in this pass.
  if (static_cast<int32_t>(n) <= b.update_index) --b.update_index;
  if (s.acting_unit != kSlgNoUnit && n < s.acting_unit) --s.acting_unit;
  // The other words naming slots follow their units: the previous actor and the event unit
  // references name none once their unit is gone, and the occupancy grid keeps the moved units
  // on their cells under their new slots.
  for (uint16_t* ref : {&s.previous_acting, &b.event_unit_ref[0], &b.event_unit_ref[1]}) {
    *ref = SlotAfterRemoval(*ref, n);
  }
  for (uint16_t& cell : b.unit_grid) cell = SlotAfterRemoval(cell, n);

  SlgOrder& order = b.order;
  int out = 0;
  const int count = std::clamp<int>(order.count, 0, kSlgMaxUnits);
  for (int i = 0; i < count; ++i) {
    SlgOrder::Entry entry = order.entries[i];
    if (entry.slot == n) {
      // Entries after it move down one: the order position follows, so that the next unit to
      // act keeps its turn.
      if (i <= s.order_pos) --s.order_pos;
      continue;
    }
    if (entry.slot > n) --entry.slot;
    order.entries[out++] = entry;
  }
  for (int i = out; i < count; ++i) order.entries[i] = SlgOrder::Entry{};
  order.count = static_cast<int16_t>(out);
}

void PurgeDeadUnits() {
  ClearUnitCellGrid();
  SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; i < s.unit_count;) {
    if (s.units[i].step == kSlgDeadStep) {
      RemoveUnit(i);
    } else {
      ++i;
    }
  }
  for (int i = 0; i < s.unit_count; ++i) SetUnitCell(s.units[i]);
}

int OrderIndexOf(const SlgUnit& unit) {
  const SlgOrder& order = Battle().order;
  const int count = std::clamp<int>(order.count, 0, kSlgMaxUnits);
  for (int i = 0; i < count; ++i) {
    if (order.entries[i].slot == unit.slot) return i;
  }
  return -1;
}

}  // namespace Slg
