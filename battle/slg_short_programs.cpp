#include "battle/slg_short_programs.h"

#include <cstdlib>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_boss_terms.h"
#include "battle/slg_commands.h"
#include "battle/slg_enemy.h"
#include "battle/slg_enemy_think.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search.h"
#include "battle/slg_think_search.h"
#include "battle/slg_turn.h"
#include "battle/slg_turn_order.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "engine/core/debug_trace.h"

namespace {

constexpr uint8_t kPlayerCategory = 0;
constexpr uint8_t kStateStand = 0;
constexpr uint8_t kStateProduce = 6;  // the spawners' production
constexpr uint8_t kStateDying = 15;
constexpr int kNearestFrom = 100;
constexpr int kSpawnFromAction = 4;
constexpr int kFrontDx = 48;
constexpr int kFrontDy = 24;
constexpr int kTransformFlag = 105;
constexpr int kTransformRadius = 5;
constexpr int kHeroKind = 0;

uint16_t SlotOnListed(uint32_t i) {
  const SlgRangePos p = Battle().search.range_list[i];
  const SlgCell c = PosToCell(p.x, p.y);
  return GetUnitAtCell(c.column, c.row);
}

// The end of an action the program carried out: its bit, the unit standing, the phase step.
void ActionOver(SlgMainWork* work, SlgUnit& unit, uint8_t bit, uint8_t phase) {
  BattleContext& b = Battle();
  b.control.action_done = static_cast<uint8_t>(b.control.action_done | bit);
  SetUnitState(unit, kStateStand);
  Slg::SetPhaseState(work, phase);
}

void Other(SlgMainWork* work, const char* program) {
  if (SlgCommonPhaseState(work)) return;
  DebugPrint("%s: phase step %d unknown: end of action\n", program, work->step);
  EnemyThinkEnd(work);
}

// ---- The gunner ----

// The nearest live category-0 unit on the range list (strictly nearer, from 100).
uint16_t NearestPlayerOnList(const SlgUnit& self) {
  const SlgSearchState& s = Battle().search;
  const SlgCell own = SlgUnitCell(self);
  int best = kNearestFrom;
  uint16_t found = kSlgNoUnit;
  for (uint32_t i = 0; i < s.range_count && i < static_cast<uint32_t>(kThinkListCap); ++i) {
    const uint16_t slot = SlotOnListed(i);
    if (!SlgSlotInUse(slot)) continue;
    const SlgUnit& unit = Battle().state.units[slot];
    if (unit.category != kPlayerCategory || !SlgUnitLive(unit)) continue;
    const int d = SlgCellDistance(own, SlgUnitCell(unit));
    if (d < best) {
      best = d;
      found = slot;
    }
  }
  return found;
}

// ---- The spawners ----

// The counter kept in the unit's body object.
uint8_t& SpawnCounter(SlgAnmObj& anm) { return anm.rest[0]; }
uint8_t& SpawnFlag(const SlgUnit& unit) {
  SlgShortProgramsState& s = Battle().short_programs;
  return unit.kind == 44 ? s.spawn_44 : s.spawn_43;
}
bool FrontCellFree(const SlgUnit& unit) {
  const SlgCell c = PosToCell((unit.x >> 16) + kFrontDx, (unit.y >> 16) + kFrontDy);
  return GetUnitAtCell(c.column, c.row) == kSlgNoUnit;
}

// ---- The transforming unit ----

// A live category-0 unit on the radius-5 attack flood around the unit (searched for its side,
// so that the other camp is listed).
bool PlayerNear(const SlgUnit& self) {
  SlgSearchState& s = Battle().search;
  s.side = self.side;
  s.range_count = 0;
  Slg::SearchMode1(SlgUnitSnap(self), kTransformRadius);
  for (uint32_t i = 0; i < s.range_count && i < static_cast<uint32_t>(kThinkListCap); ++i) {
    const uint16_t slot = SlotOnListed(i);
    if (!SlgSlotInUse(slot)) continue;
    const SlgUnit& unit = Battle().state.units[slot];
    if (unit.category == kPlayerCategory && SlgUnitLive(unit)) return true;
  }
  return false;
}

void Replace(SlgMainWork* work, SlgUnit& self) {
  BattleContext& b = Battle();
  const uint8_t old_slot = self.slot;
  const uint8_t slot = b.stage ? Slg::CreateUnit(*b.stage, kTransformEntry) : kSlgCreateRefused;
  if (slot == kSlgCreateRefused) {
    DebugPrint("TransformProgram: unit %d stays: entry %d not created\n", old_slot,
               kTransformEntry);
    EnemyThinkEnd(work);
    return;
  }
  SlgUnit& old_unit = b.state.units[old_slot];  // the array did not move
  SlgUnit& made = b.state.units[slot];
  made.x = old_unit.x;
  made.y = old_unit.y;
  made.dir = old_unit.dir;
  ClearUnitCell(old_unit);
  old_unit.step = kSlgDeadStep;
  Slg::PlaceUnit(made);
  SetUnitCell(made);
  CalcStatTotals(made.stats);
  Slg::AppendToOrder(slot);
  b.state.acting_unit = slot;
  EnemyThinkEnd(work);
}

// ---- Kind 4 ----

void Kind4Flee(SlgMainWork* work) {
  BattleContext& b = Battle();
  b.enemy.think_step = 1;
  EnemyMoveCells();
  const SlgBattleState& st = b.state;
  const SlgUnit* hero = nullptr;
  for (int i = 0; i < st.unit_count && i < kSlgMaxUnits && hero == nullptr; ++i) {
    const SlgUnit& unit = st.units[static_cast<size_t>(i)];
    if (unit.kind == kHeroKind && SlgUnitLive(unit)) hero = &unit;
  }
  if (hero == nullptr) return;  // nobody to flee from: no walk
  const SlgCell from = SlgUnitCell(*hero);
  const SlgSearchState& s = b.search;
  int best = -1;
  int chosen = 0;
  for (uint32_t i = 0; i < s.range_count && i < static_cast<uint32_t>(kThinkListCap); ++i) {
    const int score = SlgCellDistance(PosToCell(s.range_list[i].x, s.range_list[i].y), from);
    if (score >= best) {
      best = score;
      chosen = static_cast<int>(i);
    }
  }
  if (chosen == 0) return;
  BossWalk(work, s.range_list[static_cast<size_t>(chosen)]);
}

}  // namespace

void GunnerProgram(SlgMainWork* work) {
  SlgUnit* unit = SlgActingUnit();
  if (unit == nullptr) {
    EnemyThinkEnd(work);
    return;
  }
  BattleContext& b = Battle();
  switch (work->step) {
    case kEnemyPhaseEntry: {
      b.think_search.think = EnemyBuiltInThink(unit->kind);
      EnemyRangeCells(0);
      const uint16_t target = NearestPlayerOnList(*unit);
      b.think_search.target = target;
      if (target == kSlgNoUnit) {
        EnemyThinkEnd(work);
        return;
      }
      Slg::SetPhaseState(work, kEnemyPhaseThink);
      Slg::ScrollToUnit(unit->slot);
      break;
    }
    case kEnemyPhaseThink:
      if (!BossCameraArrived()) return;
      BossAttack(work, FullKiai(*unit) ? 1 : 0);
      break;
    case kEnemyPhaseAttack:
      if (Slg::EnemyAttack(*unit) == kSlgCmdRunning) break;
      ActionOver(work, *unit, kEnemyDidAttack, kEnemyPhaseWait);
      break;
    case kEnemyPhaseWait:
      if (AnyUnitInState(kStateDying) == 0) EnemyThinkEnd(work);
      break;
    default:
      Other(work, "GunnerProgram");
      break;
  }
}

void MarkerProgram(SlgMainWork* work) {
  SlgUnit* self = SlgActingUnit();
  if (self != nullptr) {
    SlgBattleState& st = Battle().state;
    const SlgCell own = SlgUnitCell(*self);
    for (int i = 0; i < st.unit_count && i < kSlgMaxUnits; ++i) {
      SlgUnit& unit = st.units[static_cast<size_t>(i)];
      if (&unit == self || !SlgUnitLive(unit)) continue;
      const SlgCell c = SlgUnitCell(unit);
      if (c.column != own.column || c.row != own.row) continue;
      unit.stats.attack_type = self->slot;
      unit.flags |= kUnitFollowUp;
    }
  }
  EnemyThinkEnd(work);
}

void SpawnerProgram(SlgMainWork* work) {
  SlgUnit* unit = SlgActingUnit();
  if (unit == nullptr || Battle().state.unit_count >= kSpawnerMostUnits) {
    EnemyThinkEnd(work);
    return;
  }
  if (unit->anm == nullptr) {
    DebugPrint("SpawnerProgram: unit %d has no body object: end of action\n", unit->slot);
    EnemyThinkEnd(work);
    return;
  }
  uint8_t& counter = SpawnCounter(*unit->anm);
  uint8_t& flag = SpawnFlag(*unit);
  switch (work->step) {
    case kEnemyPhaseEntry: {
      if (counter < 255) ++counter;
      const bool go = unit->kind == 44 ? (flag != 0 || FrontCellFree(*unit))
                                        : (FrontCellFree(*unit) || flag != 0);
      if (counter < kSpawnFromAction || !go) {
        EnemyThinkEnd(work);
        return;
      }
      flag = 1;
      Slg::ScrollToUnit(unit->slot);
      Slg::SetPhaseState(work, kEnemyPhaseThink);
      break;
    }
    case kEnemyPhaseThink:
      if (Slg::ScrollStep() == 0) return;
      Slg::SetPhaseState(work, kEnemyPhaseAttack);
      SetUnitState(*unit, kStateProduce);
      break;
    case kEnemyPhaseAttack:
      if (unit->state != kStateStand) return;
      counter = 0;
      flag = 0;
      EnemyThinkEnd(work);
      break;
    default:
      Other(work, "SpawnerProgram");
      break;
  }
}

void TransformProgram(SlgMainWork* work) {
  SlgUnit* unit = SlgActingUnit();
  BattleContext& b = Battle();
  if (unit == nullptr || !b.stage) {
    EnemyThinkEnd(work);
    return;
  }
  const uint8_t variant = b.stage->unit(unit->entry).think_row;
  if (variant == 2 || variant == 3) {
    EnemyThinkEnd(work);
    return;
  }
  switch (work->step) {
    case kEnemyPhaseEntry:
      if (CheckEventFlag(kTransformFlag) == 0 || !PlayerNear(*unit)) {
        EnemyThinkEnd(work);
        return;
      }
      Slg::ScrollToUnit(unit->slot);
      Slg::SetPhaseState(work, kTransformPhaseReplace);
      break;
    case kTransformPhaseReplace:
      if (Slg::ScrollStep() == 0) return;
      Replace(work, *unit);
      break;
    default:
      Other(work, "TransformProgram");
      break;
  }
}

void Kind4Program(SlgMainWork* work) {
  SlgUnit* unit = SlgActingUnit();
  if (unit == nullptr) {
    EnemyThinkEnd(work);
    return;
  }
  BattleContext& b = Battle();
  switch (work->step) {
    case kEnemyPhaseEntry:
      Slg::SetPhaseState(work, kEnemyPhaseThink);
      b.enemy.think_step = 0;
      Slg::ScrollToUnit(unit->slot);
      break;
    case kEnemyPhaseWalk:
      if (Slg::EnemyMove(*unit) == kSlgCmdRunning) {
        Slg::ScrollStep();
        break;
      }
      ActionOver(work, *unit, kEnemyDidWalk, kEnemyPhaseThink);
      break;
    case kEnemyPhaseThink:
      if (b.enemy.think_step == 0) {
        Kind4Flee(work);
      } else {
        EnemyThinkEnd(work);
      }
      break;
    default:
      Other(work, "Kind4Program");
      break;
  }
}
