#include "battle/slg_enemy_think.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_enemy.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search.h"
#include "battle/slg_start.h"
#include "battle/slg_think_search.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "engine/core/debug_trace.h"

namespace {

// SlgFlags bits.
constexpr uint16_t kFlagBusy = 0x1;
constexpr uint16_t kFlagUnitEnded = 0x2;

constexpr uint8_t kPlayerCategory = 0;
constexpr uint8_t kSupportCategory1 = 1;
constexpr uint8_t kSupportCategory2 = 2;
constexpr uint8_t kCharacterSelf = 'h';
constexpr uint8_t kCharacterLine = 'd';  // required by the line and height conditions
constexpr int kMostWounded = 16;
constexpr int kWoundedLife = 100;  // the kind groups pick the least life below this
constexpr int kNormalAttack = 0;

SlgEnemyState& E() { return Battle().enemy; }
SlgThinkSearchState& T() { return Battle().think_search; }

uint16_t SlotOnListed(uint32_t i) {
  const SlgRangePos p = Battle().search.range_list[i];
  const SlgCell c = PosToCell(p.x, p.y);
  return GetUnitAtCell(c.column, c.row);
}

int16_t Le16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

std::array<EnemyThinkPoint, 4> Points(const uint8_t* bytes) {
  std::array<EnemyThinkPoint, 4> points;
  for (size_t i = 0; i < 4; ++i) points[i] = {Le16(bytes + 4 + 4 * i), Le16(bytes + 6 + 4 * i)};
  return points;
}

// The number of whole 20-byte records of a think file (0 without one).
size_t Records(const std::unique_ptr<SlgThinkBlock>& block) {
  return block ? block->size() / kThinkRecordBytes : 0;
}

// Ends the unit's action on bad think data: the trace, then think step 18 on the next call.
void GiveUp() {
  E().think_step = kThinkStepEnd;
  E().next_step = kThinkStepEnd;
}

// Puts the phase task into the phase step of an action.
void StartAction(SlgMainWork* work, uint8_t phase) { Slg::SetPhaseState(work, phase); }
// The walk to think_search.destination.
void StartWalk(SlgMainWork* work) { StartAction(work, kEnemyPhaseWalk); }

// Takes the next step: step := next, next := 18.
void TakeNext() {
  E().think_step = E().next_step;
  E().next_step = kThinkStepEnd;
}
void Go(uint16_t step) { E().think_step = step; }
void Go(uint16_t step, uint16_t next) {
  E().think_step = step;
  E().next_step = next;
}

// Whether a live category-0 unit stands on a cell of the range list.
bool PlayerListed() {
  const SlgSearchState& s = Battle().search;
  for (uint32_t i = 0; i < s.range_count; ++i) {
    const uint16_t slot = SlotOnListed(i);
    if (!SlgSlotInUse(slot)) continue;
    const SlgUnit& unit = Battle().state.units[slot];
    if (unit.category == kPlayerCategory && SlgUnitLive(unit)) return true;
  }
  return false;
}
// Whether the unit of `slot` stands on a cell of the range list.
bool Listed(uint16_t slot) {
  if (!SlgSlotInUse(slot)) return false;
  const SlgSearchState& s = Battle().search;
  for (uint32_t i = 0; i < s.range_count; ++i) {
    if (SlotOnListed(i) == slot) return true;
  }
  return false;
}

// Chooses a target in the range from where the unit stands; whether one was found.
bool TargetInRange() {
  EnemyRangeCells(kNormalAttack);
  EnemyChooseTarget();
  return T().target != kSlgNoUnit;
}

// The map cursor on the acting unit's cell, as the player's commands read it.
void CursorOnUnit(const SlgUnit& unit) {
  SlgBattleState& s = Battle().state;
  const SlgCell cell = SlgUnitCell(unit);
  const SlgRangePos snap = SlgUnitSnap(unit);
  s.cursor_cell = {cell.column, cell.row};
  s.cursor_snap = {snap.x, snap.y};
}

// The unit a condition names: 'h' the acting unit, else the first live unit of that character;
// null when not on the map.
const SlgUnit* CondUnit(uint8_t character) {
  if (character == kCharacterSelf) return SlgActingUnit();
  const uint8_t slot = FindUnitByCharacter(character);
  return SlgSlotInUse(slot) ? &Battle().state.units[slot] : nullptr;
}

// Kinds 5, 6, 12 and 13: some live player unit above (y < line) or below (y > line) the line
// through points 1 and 2. A vertical line does not hold.
bool PlayerBesideLine(const EnemyCondRec& rec, bool lowered, bool above) {
  EnemyThinkPoint p1 = rec.points[0];
  EnemyThinkPoint p2 = rec.points[1];
  const int32_t y1 = lowered ? ThinkLoweredY(p1) : p1.y;
  const int32_t y2 = lowered ? ThinkLoweredY(p2) : p2.y;
  const ThinkLineFit line =
      ThinkLine({p1.x * 65536, y1 * 65536}, {p2.x * 65536, y2 * 65536});
  if (line.vertical) return false;
  const SlgBattleState& s = Battle().state;
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
    const SlgUnit& unit = s.units[static_cast<size_t>(i)];
    if (unit.category != kPlayerCategory || !SlgUnitLive(unit)) continue;
    const int64_t ly = ThinkLineAt(line, unit.x);
    if (above ? unit.y < ly : unit.y > ly) return true;
  }
  return false;
}

// Kind 11: some live player unit on a cell of at least this height.
bool PlayerAtHeight(uint16_t height) {
  const SlgBattleState& s = Battle().state;
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
    const SlgUnit& unit = s.units[static_cast<size_t>(i)];
    if (unit.category != kPlayerCategory || !SlgUnitLive(unit)) continue;
    if ((SlgCellWord(SlgUnitCell(unit)) & kSlgCellHeightMask) >= height) return true;
  }
  return false;
}

// ---- The pick of the support search ----

// Among the collected units of the two kinds, the one with the least life below 100 (the first
// of equals); kSlgNoUnit when none.
uint16_t LeastLifeOfKinds(const std::array<uint16_t, kMostWounded>& found, int count, uint8_t k1,
                          uint8_t k2) {
  uint16_t pick = kSlgNoUnit;
  int least = kWoundedLife;
  for (int i = 0; i < count; ++i) {
    const SlgUnit& unit = Battle().state.units[found[static_cast<size_t>(i)]];
    if (unit.kind != k1 && unit.kind != k2) continue;
    if (unit.stats.life < least) {
      least = unit.stats.life;
      pick = found[static_cast<size_t>(i)];
    }
  }
  return pick;
}

// ---- The think steps ----

void StepNone(SlgMainWork*) {}

void StepDesignated(SlgMainWork*) {
  Go(2);
  if (T().think.type != 0) return;
  EnemyReachCells(kNormalAttack);
  if (Listed(ThinkDesignatedUnit())) Go(9);
}

void StepSupport(SlgMainWork*) {
  Go(3);
  EnemySupportSearch();
}

void StepReact(SlgMainWork*) {
  const EnemyThinkRec& think = T().think;
  if (think.reaction == 2 || think.reaction == 3) {
    EnemyReachCells(kNormalAttack);
    if (PlayerListed()) {
      Go(9);
      return;
    }
  }
  if (think.reaction == 1 || think.reaction == 3) {
    bool hold = think.type == 5;
    if (think.type == 4) hold = ThinkQuadContains(think.points) != 0;
    if (think.type == 6) {
      std::array<EnemyThinkPoint, 4> lowered = think.points;
      for (EnemyThinkPoint& p : lowered) p.y = static_cast<int16_t>(ThinkLoweredY(p));
      hold = ThinkQuadContains(lowered) != 0;
    }
    if (hold) {
      Go(5);
      return;
    }
  }
  Go(4);
}

void StepAdvance(SlgMainWork*) {
  if (TargetInRange()) {
    Go(16, 10);
    return;
  }
  // The target reachable from the best cell toward the goal decides what follows the walk.
  const int best = EnemyBestMoveCell();
  SlgUnit* unit = SlgActingUnit();
  SlgSearchState& s = Battle().search;
  bool found = false;
  if (unit != nullptr && static_cast<uint32_t>(best) < s.range_count) {
    const SlgRangePos cell = s.range_list[static_cast<size_t>(best)];
    s.range_count = 0;  // an aim shape that lists nothing leaves the count alone
    Slg::AimSearch(cell, *unit, kNormalAttack);
    EnemyChooseTarget();
    found = T().target != kSlgNoUnit;
  }
  Go(14, found ? 16 : kThinkStepEnd);
}

void StepHold(SlgMainWork*) {
  if (TargetInRange()) {
    Go(16, 15);
  } else {
    Go(14, kThinkStepEnd);
  }
}

void StepWalkEnd(SlgMainWork*) { Go(14, kThinkStepEnd); }

void StepEngage(SlgMainWork*) {
  EnemyReachCells(kNormalAttack);
  EnemyChooseTarget();
  EnemyRangeCells(kNormalAttack);
  if (Listed(T().target)) {
    Go(16, 10);
  } else {
    Go(19, 16);
  }
}

void StepSupportMove(SlgMainWork* work) {
  const SlgUnit* unit = SlgActingUnit();
  const uint16_t ally = T().support_target;
  if (unit != nullptr && SlgSlotInUse(ally)) {
    // Within one cell: the ally's own cell or one of the four neighbours.
    const SlgRangePos a = SlgUnitSnap(*unit);
    const SlgRangePos b = SlgUnitSnap(Battle().state.units[ally]);
    const int dx = std::abs(a.x - b.x);
    const int dy = std::abs(a.y - b.y);
    if ((dx == 0 && dy == 0) || (dx == 48 && dy == 24)) {
      Go(17, 12);
      return;
    }
  }
  if (EnemyApproachAlly() == 0) {
    Go(14, kThinkStepEnd);
    return;
  }
  StartWalk(work);
  Go(17, kThinkStepEnd);
}

void StepAfterSupport(SlgMainWork*) {
  if (TargetInRange()) {
    Go(16, kThinkStepEnd);
  } else {
    Go(13);
  }
}

void StepWalk(SlgMainWork* work) {
  const int best = EnemyBestMoveCell();
  if (best == 0) {
    TakeNext();
    return;
  }
  T().destination = Battle().search.range_list[static_cast<size_t>(best)];
  StartWalk(work);
  TakeNext();
  Battle().phase_sub = 0;
}

void StepFocus(uint16_t step) {
  if (const SlgUnit* unit = SlgActingUnit()) Slg::ScrollToUnit(unit->slot);
  Go(step);
}
void StepFocusGuard(SlgMainWork*) { StepFocus(22); }
void StepFocusAttack(SlgMainWork*) { StepFocus(20); }
void StepFocusSupport(SlgMainWork*) { StepFocus(21); }

void StepApproach(SlgMainWork* work) {
  if (EnemyApproachTarget(kNormalAttack) == 0) {
    Go(14, kThinkStepEnd);
    return;
  }
  StartWalk(work);
  TakeNext();
}

void StepAttack(SlgMainWork* work) {
  if (Slg::ScrollStep() == 0) return;
  SlgUnit* unit = SlgActingUnit();
  if (unit == nullptr || !TargetInRange()) {
    Go(kThinkStepEnd);
    return;
  }
  CursorOnUnit(*unit);
  Battle().phase_sub = 0;
  Battle().cmd.attack_mode = 0;
  unit->stats.attack_type = 0;
  StartAction(work, kEnemyPhaseAttack);
  TakeNext();
}

// Steps 21 and 22: once the camera is there, the cursor on the unit and the action started.
void StepStartAtUnit(SlgMainWork* work, uint8_t phase) {
  if (Slg::ScrollStep() == 0) return;
  const SlgUnit* unit = SlgActingUnit();
  if (unit == nullptr) {
    Go(kThinkStepEnd);
    return;
  }
  CursorOnUnit(*unit);
  Battle().phase_sub = 0;
  StartAction(work, phase);
  TakeNext();
}
void StepDoSupport(SlgMainWork* work) { StepStartAtUnit(work, kEnemyPhaseSupport); }
void StepGuard(SlgMainWork* work) { StepStartAtUnit(work, kEnemyPhaseGuard); }

}  // namespace

const std::array<EnemyThinkRoutine, kThinkStepCount> kEnemyThinkTable = {
    EnemyThinkChange,   // 0
    StepDesignated,     // 1
    StepSupport,        // 2
    StepReact,          // 3
    StepAdvance,        // 4
    StepHold,           // 5
    StepNone,           // 6
    StepNone,           // 7
    StepWalkEnd,        // 8
    StepEngage,         // 9
    StepWalkEnd,        // 10
    StepSupportMove,    // 11
    StepAfterSupport,   // 12
    StepWalkEnd,        // 13
    StepWalk,           // 14
    StepFocusGuard,     // 15
    StepFocusAttack,    // 16
    StepFocusSupport,   // 17
    EnemyThinkEnd,      // 18
    StepApproach,       // 19
    StepAttack,         // 20
    StepDoSupport,      // 21
    StepGuard,          // 22
};

void RunEnemyThinkStep(SlgMainWork* work) {
  const uint16_t step = E().think_step;
  if (step >= kEnemyThinkTable.size()) {
    DebugPrint("EnemyThinkStep %d outside the think table: end of action\n", step);
    EnemyThinkEnd(work);
    return;
  }
  kEnemyThinkTable[step](work);
}

EnemyThinkRec EnemyThinkRecord(const uint8_t* bytes) {
  EnemyThinkRec rec;
  rec.reaction = bytes[0];
  rec.type = bytes[1];
  rec.target = bytes[2];
  rec.byte3 = bytes[3];
  rec.points = Points(bytes);
  return rec;
}

EnemyCondRec EnemyCondRecord(const uint8_t* bytes) {
  EnemyCondRec rec;
  rec.kind = bytes[0];
  rec.character = bytes[2];
  rec.points = Points(bytes);
  return rec;
}

void EnemyThinkChange(SlgMainWork*) {
  E().think_step = 1;
  const BattleContext& b = Battle();
  const SlgUnit* unit = SlgActingUnit();
  if (unit == nullptr) {
    DebugPrint("EnemyThinkChange: no acting unit\n");
    GiveUp();
    return;
  }
  if (!b.stage || !b.enemy_change || !b.enemy_think) {
    DebugPrint("EnemyThinkChange: unit %d has no think data\n", unit->slot);
    GiveUp();
    return;
  }
  const int row = b.stage->unit(unit->entry).think_row;
  const size_t at = static_cast<size_t>(row) * kThinkChangeRowBytes;
  if (at + kThinkChangeRowBytes > b.enemy_change->size()) {
    DebugPrint("EnemyThinkChange: unit %d row %d past the end of EnTab (%zu bytes)\n", unit->slot,
               row, b.enemy_change->size());
    GiveUp();
    return;
  }
  const uint8_t* pairs = b.enemy_change->data() + at;
  int think = pairs[7];
  for (int i = 0; i < 3; ++i) {
    if (EnemyCondEval(pairs[2 * i]) == 0) {
      think = pairs[2 * i + 1];
      break;
    }
  }
  if (static_cast<size_t>(think) >= Records(b.enemy_think)) {
    DebugPrint("EnemyThinkChange: unit %d think %d past the end of EnThk (%zu records)\n",
               unit->slot, think, Records(b.enemy_think));
    GiveUp();
    return;
  }
  T().think = EnemyThinkRecord(b.enemy_think->data() + static_cast<size_t>(think) *
                                                           kThinkRecordBytes);
}

int EnemyCondEval(int index) {
  const BattleContext& b = Battle();
  if (index < 0 || static_cast<size_t>(index) >= Records(b.enemy_cond)) {
    DebugPrint("EnemyCondEval: condition %d past the end of EnCnd: does not hold\n", index);
    return 0;
  }
  const EnemyCondRec rec =
      EnemyCondRecord(b.enemy_cond->data() + static_cast<size_t>(index) * kThinkRecordBytes);
  const bool line_data = rec.character == kCharacterLine;
  switch (rec.kind) {
    case 1:
    case 2: {
      const SlgUnit* unit = CondUnit(rec.character);
      return unit != nullptr && unit->stats.life <= 0 ? 1 : 0;
    }
    case 3:
    case 4: {
      const SlgUnit* unit = CondUnit(rec.character);
      return unit != nullptr && unit->stats.life < unit->stats.max_life ? 1 : 0;
    }
    case 5:
    case 6:
      return line_data && PlayerBesideLine(rec, false, rec.kind == 5) ? 1 : 0;
    case 9:
      return CheckEventFlag(rec.points[0].x);
    case 11:
      return line_data && PlayerAtHeight(static_cast<uint16_t>(rec.points[0].x)) ? 1 : 0;
    case 12:
    case 13:
      return line_data && PlayerBesideLine(rec, true, rec.kind == 12) ? 1 : 0;
    default:  // 0, 7, 8, 10 and 14 on never hold
      return 0;
  }
}

void EnemySupportSearch() {
  SlgThinkSearchState& t = T();
  t.support_target = kSlgNoUnit;
  SlgUnit* unit = SlgActingUnit();
  if (unit == nullptr || unit->stats.counter == 0) return;
  // The attack flood lists only "opposed" units: search for the other camp, so that the acting
  // unit's own camp is listed.
  Battle().search.side = unit->side == 0 ? 1 : 0;
  Slg::SearchMode1(SlgUnitSnap(*unit), unit->stats.total_move + 1);
  const SlgSearchState& s = Battle().search;
  const uint32_t listed = std::min<uint32_t>(s.range_count, kThinkListCap);
  std::array<uint16_t, kMostWounded> found{};
  int count = 0;
  for (uint32_t i = 0; i < listed && count < kMostWounded; ++i) {
    const uint16_t slot = SlotOnListed(i);
    if (!SlgSlotInUse(slot)) continue;
    const SlgUnit& ally = Battle().state.units[slot];
    if (ally.category != kSupportCategory1 && ally.category != kSupportCategory2) continue;
    if (ally.stats.max_life <= 4 * ally.stats.life) continue;
    found[static_cast<size_t>(count++)] = slot;
    E().think_step = 11;
  }
  if (count == 0) return;
  for (int i = 0; i < count; ++i) {
    if (Battle().state.units[found[static_cast<size_t>(i)]].category == kSupportCategory2) {
      t.support_target = found[static_cast<size_t>(i)];
      return;
    }
  }
  for (const auto& kinds : {std::array<uint8_t, 2>{16, 19}, {15, 18}, {14, 17}}) {
    const uint16_t pick = LeastLifeOfKinds(found, count, kinds[0], kinds[1]);
    if (pick != kSlgNoUnit) {
      t.support_target = pick;
      return;
    }
  }
  t.support_target = unit->slot;
}

void EnemyThinkEnd(SlgMainWork* work) {
  BattleContext& b = Battle();
  const SlgUnit* unit = SlgActingUnit();
  if (unit != nullptr && (unit->flags & kUnitFollowUp) != 0) {
    b.flags = static_cast<uint16_t>(b.flags & ~kFlagBusy);
    Go(kThinkStepEnd, kThinkStepEnd);
  }
  b.phase_sub = 0;
  b.control.actions_left = 0;
  Slg::NextActor(work);
  b.flags = static_cast<uint16_t>(b.flags | kFlagUnitEnded);
}
