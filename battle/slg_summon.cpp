#include "battle/slg_summon.h"

#include "battle/battle_context.h"
#include "battle/slg_commands.h"
#include "battle/slg_draw.h"
#include "battle/slg_enemy.h"
#include "battle/slg_enemy_think.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search.h"
#include "battle/slg_sound.h"
#include "battle/slg_start.h"
#include "battle/slg_think_search.h"
#include "battle/slg_turn.h"
#include "battle/slg_turn_order.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit.h"
#include "engine/app/context.h"
#include "engine/app/doors.h"
#include "engine/core/debug_trace.h"
#include "engine/core/frame_rate.h"

namespace {

constexpr int32_t kPx = 65536;

// SlgFlags bits the summon sequence changes for its length.
constexpr uint16_t kFlagMapIdle = 0x4;
constexpr uint16_t kFlagSummoning = 0x80;

constexpr uint8_t kStateStand = 0;
constexpr uint8_t kStateDying = 15;
constexpr int kNormalAttack = 0;
constexpr uint8_t kAttackTypeNormal = 0;
constexpr uint8_t kAttackTypeSpecial = 1;
constexpr uint16_t kStationaryNextStep = 7;
// The camera's goal while the summoner calls: the middle of the rectangle's upper part.
constexpr int32_t kSummonViewX = 1656;
constexpr int32_t kSummonViewY = 344;
constexpr uint8_t kSummonKindBase = 48;
constexpr int kSummonDepthStep = 64;
constexpr int kSummonDepthBase = 8;

// The built-in think of kind 45: attack from where it stands, the nearest unit designated.
const EnemyThinkRec kStationaryThink{2, 0, kThinkTargetNearest, 0xFF, {}};

SlgSummonState& S() { return Battle().summon; }
SlgEnemyState& E() { return Battle().enemy; }

SlgUnit* InUse(uint32_t slot) {
  SlgBattleState& s = Battle().state;
  return slot < s.unit_count && slot < static_cast<uint32_t>(kSlgMaxUnits) ? &s.units[slot]
                                                                            : nullptr;
}

uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }
// Whole frames (60 a second) since the sequence's start time.
int Frames() {
  return static_cast<int>(int64_t{static_cast<int32_t>(Now() - S().start)} * 60 / 1000);
}
int Draw() { return GetRandom() >> 3; }

// The end of the attack: its bit in SlgActionDone, the unit standing, the wait for the deaths.
void AttackOver(SlgMainWork* work, SlgUnit& unit) {
  BattleContext& b = Battle();
  b.control.action_done = static_cast<uint8_t>(b.control.action_done | kEnemyDidAttack);
  SetUnitState(unit, kStateStand);
  Slg::SetPhaseState(work, kEnemyPhaseWait);
}

// Phase step 81: on to 80 once no unit is in its death actions.
void WaitForDeaths(SlgMainWork* work) {
  if (AnyUnitInState(kStateDying) == 0) Slg::SetPhaseState(work, kEnemyPhaseThink);
}

// The map cursor on the unit's cell, where the attack command starts its range.
void CursorOnUnit(const SlgUnit& unit) {
  SlgBattleState& s = Battle().state;
  const SlgCell cell = PosToCell(unit.x >> 16, unit.y >> 16);
  const SlgPoint snap = SnapPosToCell(unit.x >> 16, unit.y >> 16);
  s.cursor_cell = {cell.column, cell.row};
  s.cursor_snap = {static_cast<int16_t>(snap.x), static_cast<int16_t>(snap.y)};
}

// A step outside a kind's list: traced, and the action ends.
void UnknownStep(SlgMainWork* work, const char* program) {
  DebugPrint("%s: step %d unknown: end of action\n", program, E().think_step);
  S().stationary_gate = 0;
  EnemyThinkEnd(work);
}

// ---- Kind 45 ----

bool StationaryTarget() {
  EnemyRangeCells(kNormalAttack);
  EnemyChooseTarget();
  return Battle().think_search.target != kSlgNoUnit;
}

void StationaryList(SlgMainWork* work, SlgUnit& unit) {
  BattleContext& b = Battle();
  switch (E().think_step) {
    case 0:
      E().think_step = StationaryTarget() ? 1 : 3;
      break;
    case 1:
      Slg::ScrollToUnit(unit.slot);
      E().think_step = 2;
      break;
    case 2:
      if (Slg::ScrollStep() == 0) break;
      CursorOnUnit(unit);
      unit.stats.attack_type = kAttackTypeNormal;
      b.phase_sub = 0;
      b.cmd.attack_mode = 0;
      Slg::SetPhaseState(work, kEnemyPhaseAttack);
      E().think_step = 3;
      break;
    case 3:
      S().stationary_gate = 0;
      EnemyThinkEnd(work);
      break;
    default:
      UnknownStep(work, "StationaryStep");
      break;
  }
}

// ---- Kind 33 ----

// The summoned unit's body object (null when the unit or its object is gone).
SlgAnmObj* SummonedBody() {
  SlgUnit* unit = InUse(S().summoned);
  return unit != nullptr ? unit->anm : nullptr;
}

// A unit was summoned: the camera to it and the fade's blend word on its body.
void Summoned(uint8_t slot) {
  S().summoned = slot;
  Slg::ScrollToUnit(slot);
  if (SlgAnmObj* body = SummonedBody()) body->shade = kSummonFadeBlend;
}

// One frame of the fade in: the unit shown at level frames x 256 / 31; true once it is whole
// (blend word 0, level 256).
bool FadeIn() {
  SlgUnit* unit = InUse(S().summoned);
  if (unit == nullptr) return true;
  unit->flags |= kUnitShown;
  const int frames = Frames();
  if (frames < kSummonFadeFrames) {
    SlgSprSetAlpha(unit->anm, static_cast<BlendWord>(frames * 256 / kSummonFadeFrames));
    return false;
  }
  if (unit->anm != nullptr) unit->anm->shade = 0;
  SlgSprSetAlpha(unit->anm, 256);
  return true;
}

// Steps 4, 6 and 8: once the camera is there the fade starts.
bool CameraThenFade() {
  if (Slg::ScrollStep() == 0) return false;
  S().start = Now();
  return true;
}

// Steps 5 and 7: the fade in, then the next unit (none: step 10).
void FadeThenSummon(int n, uint16_t placed_step) {
  if (!FadeIn()) return;
  const uint8_t slot = SummonUnit(n);
  if (slot == kSlgCreateRefused) {
    E().think_step = 10;
    return;
  }
  Summoned(slot);
  E().think_step = placed_step;
}

void SatanList(SlgMainWork* work) {
  BattleContext& b = Battle();
  switch (E().think_step) {
    case 0:
      SatanChoose(work);
      break;
    case 1:
      Slg::ScrollToPos(SlgPair{kSummonViewX * kPx, kSummonViewY * kPx});
      b.flags = static_cast<uint16_t>((b.flags & ~kFlagMapIdle) | kFlagSummoning);
      E().think_step = 2;
      break;
    case 2:
      if (Slg::ScrollStep() == 0) break;
      S().start = Now();
      E().think_step = 3;
      break;
    case 3: {
      if (Frames() < kSummonWaitFrames) break;
      E().think_step = 4;
      const uint8_t slot = SummonUnit(0);
      if (slot == kSlgCreateRefused) {
        E().think_step = 10;
        break;
      }
      Summoned(slot);
      break;
    }
    case 4:
      if (!CameraThenFade()) break;
      VoicePlay(kSummonVoice);
      E().think_step = 5;
      break;
    case 5:
      FadeThenSummon(1, 6);
      break;
    case 6:
      if (CameraThenFade()) E().think_step = 7;
      break;
    case 7:
      FadeThenSummon(2, 8);
      break;
    case 8:
      if (CameraThenFade()) E().think_step = 9;
      break;
    case 9:
      if (FadeIn()) E().think_step = 10;
      break;
    case 10:
      b.flags = static_cast<uint16_t>((b.flags & ~kFlagSummoning) | kFlagMapIdle);
      EnemyThinkEnd(work);
      break;
    default:
      UnknownStep(work, "SatanProgram");
      break;
  }
}

// The r-th live unit of side 0 in slot order, r = (random >> 3) mod their number; kSlgNoUnit
// when there is none (and then no number is drawn).
uint16_t RandomPlayerUnit() {
  const SlgBattleState& s = Battle().state;
  int count = 0;
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
    const SlgUnit& u = s.units[static_cast<size_t>(i)];
    if (u.side == 0 && u.step != kSlgDeadStep) ++count;
  }
  if (count == 0) return kSlgNoUnit;
  int r = Draw() % count;
  for (int i = 0; i < s.unit_count && i < kSlgMaxUnits; ++i) {
    const SlgUnit& u = s.units[static_cast<size_t>(i)];
    if (u.side != 0 || u.step == kSlgDeadStep) continue;
    if (r-- == 0) return static_cast<uint16_t>(i);
  }
  return kSlgNoUnit;
}

}  // namespace

// ---- Kind 45 ----

void StationaryProgram(SlgMainWork* work) {
  if (S().stationary_gate == 0) {
    Battle().think_search.think = kStationaryThink;
    if (!StationaryTarget()) {
      EnemyThinkEnd(work);
      return;
    }
    S().stationary_gate = 1;
  }
  StationaryStep(work);
}

void StationaryStep(SlgMainWork* work) {
  BattleContext& b = Battle();
  SlgUnit* unit = SlgActingUnit();
  if (unit == nullptr) {
    S().stationary_gate = 0;
    EnemyThinkEnd(work);
    return;
  }
  switch (work->step) {
    case kEnemyPhaseEntry:
      Slg::SetPhaseState(work, kEnemyPhaseThink);
      E().think_step = 0;
      Slg::ScrollToUnit(unit->slot);
      break;
    case kEnemyPhaseAttack:
      if (Slg::EnemyAttack(*unit) == kSlgCmdRunning) break;
      b.enemy.next_step = kStationaryNextStep;
      AttackOver(work, *unit);
      break;
    case kEnemyPhaseThink:
      StationaryList(work, *unit);
      break;
    case kEnemyPhaseWait:
      WaitForDeaths(work);
      break;
    default:
      if (!SlgCommonPhaseState(work)) {
        DebugPrint("StationaryStep: phase step %d unknown: end of action\n", work->step);
        S().stationary_gate = 0;
        EnemyThinkEnd(work);
      }
      break;
  }
}

// ---- Kind 33 ----

void SatanProgram(SlgMainWork* work) {
  SlgUnit* unit = SlgActingUnit();
  if (unit == nullptr || CheckEventFlag(kSatanActsFlag) == 0) {
    EnemyThinkEnd(work);
    return;
  }
  switch (work->step) {
    case kEnemyPhaseAttack:
      if (Slg::EnemyAttack(*unit) == kSlgCmdRunning) break;
      AttackOver(work, *unit);
      break;
    case kEnemyPhaseThink:
      SatanList(work);
      break;
    case kEnemyPhaseWait:
      WaitForDeaths(work);
      break;
    default:
      SlgCommonPhaseState(work);
      // Leaving the battle and the follow-up command are turn control's roads out of the
      // action: they keep their state.
      if (work->step == kSlgPhaseExit || work->step == kSlgPhaseFollowUp) break;
      Slg::SetPhaseState(work, kEnemyPhaseThink);
      E().think_step = 0;
      break;
  }
}

void SatanChoose(SlgMainWork* work) {
  BattleContext& b = Battle();
  SlgUnit* unit = SlgActingUnit();
  const uint16_t target = RandomPlayerUnit();
  if (unit == nullptr || target == kSlgNoUnit) {
    DebugPrint("SatanProgram: no unit of side 0 to attack: end of action\n");
    EnemyThinkEnd(work);
    return;
  }
  b.think_search.target = target;
  bool special = false;
  uint16_t variant = kSatanNormal;
  if (b.summoner_opening == 0) {
    b.summoner_opening = 1;
    variant = kSatanCritical2;
  } else if (static_cast<int>(unit->stats.kiai) == unit->stats.max_kiai) {
    variant = kSatanCritical;
    special = true;
  } else if (CheckEventFlag(kSatanSummonsFlag) != 0) {
    variant = kSatanSummoning;
  } else if (CheckEventFlag(kSatanLaterOddsFlag) == 0) {
    const int d = Draw() % 10;
    variant = d < 4 ? kSatanSummoning : d >= 8 ? kSatanCritical2 : kSatanNormal;
  } else {
    variant = (GetRandom() & 0x8) != 0 ? kSatanSummoning : kSatanNormal;
  }
  b.attack.attack_kind = variant;
  if (variant == kSatanSummoning) {
    E().think_step = 1;
    return;
  }
  unit->stats.attack_type = special ? kAttackTypeSpecial : kAttackTypeNormal;
  b.cmd.attack_mode = special ? 1 : 0;
  b.phase_sub = 0;
  Slg::SetPhaseState(work, kEnemyPhaseAttack);
  E().think_step = 10;
}

uint8_t FindStageEntryOfKind(int kind) {
  if (!Battle().stage) return kNoStageEntry;
  const StageTable& stage = *Battle().stage;
  for (int i = 0; i < stage.unit_count() && i < kStageUnitEntries; ++i) {
    const StageUnitEntry entry = stage.unit(i);
    if (entry.class_index >= kStageClassEntries) continue;
    if (stage.class_entry(entry.class_index).kind == kind) return static_cast<uint8_t>(i);
  }
  return kNoStageEntry;
}

uint8_t SummonUnit(int n) {
  BattleContext& b = Battle();
  if (b.state.unit_count >= kSummonMaxUnits) {
    DebugPrint("SummonUnit %d: %d units on the map: none\n", n, b.state.unit_count);
    return kSlgCreateRefused;
  }
  int32_t x = 0;
  int32_t y = 0;
  bool free = false;
  for (int draw = 0; draw < kSummonDraws && !free; ++draw) {
    x = kSummonLeft + Draw() % kSummonWidth;
    y = kSummonTop + Draw() % kSummonHeight;
    const SlgCell cell = PosToCell(x, y);
    free = (SlgCellWord(cell) & kSlgCellAttackStop) == 0 &&
           GetUnitAtCell(cell.column, cell.row) == kSlgNoUnit;
  }
  if (!free) {
    DebugPrint("SummonUnit %d: no free cell in %d draws: none\n", n, kSummonDraws);
    return kSlgCreateRefused;
  }
  const uint8_t entry = FindStageEntryOfKind(kSummonKindBase + n);
  if (entry == kNoStageEntry) {
    DebugPrint("SummonUnit %d: no stage entry of kind %d: none\n", n, kSummonKindBase + n);
    return kSlgCreateRefused;
  }
  // An entry was found, so the stage is there.
  const uint8_t slot = Slg::CreateUnit(*b.stage, entry);
  if (slot == kSlgCreateRefused) return kSlgCreateRefused;
  SlgUnit& unit = b.state.units[slot];
  unit.x = x * kPx;
  unit.y = y * kPx;
  unit.dir = static_cast<uint8_t>(Draw() & 3);
  Slg::PlaceUnit(unit);
  // A unit without a body object is not entered by the placement: it takes its cell all the same.
  SetUnitCell(unit);
  if (unit.anm != nullptr) {
    unit.anm->depth = static_cast<int16_t>((n + kSummonDepthBase) * kSummonDepthStep);
  }
  unit.deploy_state = 0;
  Slg::AppendToOrder(slot);
  CalcStatTotals(unit.stats);
  unit.flags &= ~kUnitShown;
  return slot;
}
