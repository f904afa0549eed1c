#include "battle/slg_boss_program.h"

#include <array>

#include "battle/battle_context.h"
#include "battle/slg_boss_steps_a.h"
#include "battle/slg_boss_steps_b.h"
#include "battle/slg_boss_terms.h"
#include "battle/slg_comm_win.h"
#include "battle/slg_commands.h"
#include "battle/slg_enemy.h"
#include "battle/slg_enemy_think.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_think_search.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "engine/core/debug_trace.h"
#include "game/game_context.h"
#include "game/system_data.h"

namespace {

// SlgFlags bits.
constexpr uint16_t kFlagBusy = 0x1;
constexpr uint16_t kFlagMouse = 0x8;

constexpr uint8_t kStateStand = 0;
constexpr uint8_t kStateReady = 8;    // a unit back from an action of its own
constexpr uint8_t kStateCharge = 11;  // the charge's animation; it returns to state 8
constexpr uint8_t kStateDying = 15;
constexpr int kChargeMark = 17;       // the command window's mark of a unit command
constexpr int kCmdRefused = 2;        // a support or guard result that leaves the action


// The step routines run only with an acting unit.
const SlgUnit& Self() { return *SlgActingUnit(); }

// ---- Kind 29 (15 steps, end step 7) ----

constexpr uint16_t kEnd29 = 7;

void Step29Open(SlgMainWork*) {
  if (FullKiai(Self()) && PlayerUnitInReach(1)) {
    BossCamera();
    BossGo(11);
  } else if (PlayerUnitInReach(0)) {
    BossGo(1);
  } else {
    BossGo(6);
  }
}
void Step29Choose(SlgMainWork*) {
  ChooseInReach(0);
  if (TargetInRange(0)) {
    BossGo(3);
  } else {
    BossGo(2, 3);
  }
}
void Step29Approach(SlgMainWork* work) {
  if (BossApproach(work, 0)) {
    BossTakeNext(kEnd29);
  } else {
    BossGo(kEnd29, kEnd29);
  }
}
void Step29Focus(SlgMainWork*) {
  BossCamera();
  BossGo(4, 5);
}
void Step29Attack(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossAttack(work, 0);
  BossTakeNext(kEnd29);
}
void Step29Retreat(SlgMainWork* work) {
  BossRetreat(work);
  BossTakeNext(kEnd29);
}
void Step29GuardOrCharge(SlgMainWork*) {
  BossGuardOrCharge(8, 9, 9);
  Battle().enemy.next_step = 10;
}
void Step29End(SlgMainWork* work) { EnemyThinkEnd(work); }
void Step29Guard(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossGuard(work);
  BossTakeNext(kEnd29);
}
void Step29Charge(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossCharge(work);
  BossTakeNext(kEnd29);
}
void Step29RandomWalk(SlgMainWork* work) {
  BossRandomWalk(work);
  BossGo(kEnd29, kEnd29);
}
void Step29ChooseSpecial(SlgMainWork*) {
  ChooseInReach(1);
  if (TargetInRange(1)) {
    BossGo(13);
  } else {
    BossGo(12, 13);
  }
}
void Step29ApproachSpecial(SlgMainWork* work) {
  if (BossApproach(work, 1)) {
    BossTakeNext(kEnd29);
  } else {
    BossGo(kEnd29, kEnd29);
  }
}
void Step29FocusSpecial(SlgMainWork*) {
  BossCamera();
  BossGo(14, 5);
}
void Step29AttackSpecial(SlgMainWork* work) {
  if (!BossCameraArrived()) return;
  BossAttack(work, 1);
  BossTakeNext(kEnd29);
}

constexpr std::array<BossStepFn, 15> kSteps29 = {
    Step29Open,         Step29Choose,        Step29Approach,        Step29Focus,
    Step29Attack,       Step29Retreat,       Step29GuardOrCharge,   Step29End,
    Step29Guard,        Step29Charge,        Step29RandomWalk,      Step29ChooseSpecial,
    Step29ApproachSpecial, Step29FocusSpecial, Step29AttackSpecial,
};

// ---- The members ----

BossMember Member(int gate, uint16_t end_step = 7) {
  BossMember m;
  m.gate_flag = gate;
  m.end_step = end_step;
  return m;
}

const std::array<BossMember, kSlgUnitKinds> kMembers = [] {
  std::array<BossMember, kSlgUnitKinds> t{};
  t[20] = Member(116);
  t[21] = Member(-1);
  t[22] = Member(-1, 18);
  t[23] = Member(-1);
  t[23].gate_map = 4;
  t[24] = Member(-1, 5);
  t[25] = Member(401);
  t[25].keeps_next = true;
  t[26] = Member(-1);
  t[26].keeps_next = true;
  t[27] = t[26];
  t[28] = Member(101, 8);
  t[29] = Member(170);
  t[29].steps = kSteps29;
  t[30] = Member(160);
  t[31] = Member(110);
  t[31].charges = false;
  t[32] = Member(120);
  t[34] = Member(-1);
  t[34].charges = false;
  t[34].guard_window = false;
  t[35] = Member(-1, 5);
  t[35].charges = false;
  // ---- Step lists of kinds 25, 26/27, 28, 30, 31, 32 (battle/slg_boss_steps_a.h) ----
  t[25].steps = kBossSteps25;
  t[26].steps = kBossSteps26;
  t[27].steps = kBossSteps26;
  t[28].steps = kBossSteps28;
  t[30].steps = kBossSteps30;
  t[31].steps = kBossSteps31;
  t[32].steps = kBossSteps32;
  // ---- end of the step lists of kinds 25, 26/27, 28, 30, 31, 32 ----
  // ---- Step lists of kinds 20-24, 34, 35 (battle/slg_boss_steps_b.h) ----
  t[20].steps = kBossSteps20;
  t[21].steps = kBossSteps21;
  t[22].steps = kBossSteps22;
  t[23].steps = kBossSteps23;
  t[24].steps = kBossSteps24;
  t[34].steps = kBossSteps34;
  t[35].steps = kBossSteps35;
  // ---- end of the step lists of kinds 20-24, 34, 35 ----
  return t;
}();

// The end of an action the frame carried out: its bit in SlgActionDone, the unit standing, and
// the phase step to go on with.
void ActionOver(SlgMainWork* work, SlgUnit& unit, uint8_t bit, uint8_t phase) {
  BattleContext& b = Battle();
  b.control.action_done = static_cast<uint8_t>(b.control.action_done | bit);
  SetUnitState(unit, kStateStand);
  Slg::SetPhaseState(work, phase);
}

// The walk's and the attack's end: EnemyNextStep := the end step unless the kind keeps it.
void SetEndStep(const BossMember& m) {
  if (!m.keeps_next) Battle().enemy.next_step = m.end_step;
}

// Support or guard running: its result.
void SupportOrGuard(SlgMainWork* work, SlgUnit& unit, const BossMember& m, int result) {
  if (result == kSlgCmdDone) {
    ActionOver(work, unit, kEnemyDidSupport, kEnemyPhaseThink);
  } else if (result == kCmdRefused) {
    // The enemy forms of the commands never give it; the action leaves through state 17.
    if (m.guard_window) DebugPrint("BossFamilyFrame: kind %d action refused\n", unit.kind);
    Slg::SetPhaseState(work, kSlgPhaseCommand);
  }
}

void Charge(SlgMainWork* work, SlgUnit& unit) {
  BattleContext& b = Battle();
  if (b.phase_sub == 0) {
    SetUnitState(unit, kStateCharge);
    b.flags = static_cast<uint16_t>((b.flags & ~kFlagMouse) | kFlagBusy);
    b.phase_sub = 1;
    return;
  }
  if (unit.state != kStateReady) return;
  b.flags = static_cast<uint16_t>((b.flags & ~kFlagBusy) | kFlagMouse);
  CommWinMark(kChargeMark);
  b.control.action_done = static_cast<uint8_t>(b.control.action_done | kEnemyDidSupport);
  Slg::SetPhaseState(work, kEnemyPhaseThink);
}

void RunStep(SlgMainWork* work, const BossMember& m, uint8_t kind) {
  BattleContext& b = Battle();
  b.think_search.think = EnemyBuiltInThink(kind);
  const uint16_t step = b.enemy.think_step;
  const BossStepFn fn = step < m.steps.size() ? m.steps[step] : nullptr;
  if (fn == nullptr) {
    DebugPrint("BossFamilyFrame: kind %d step %d outside its list: end of action\n", kind, step);
    EnemyThinkEnd(work);
    return;
  }
  fn(work);
}

// Phase steps no member has, or 8 and 9 for the members without them.
void Other(SlgMainWork* work) {
  if (SlgCommonPhaseState(work)) return;
  DebugPrint("BossFamilyFrame: phase step %d unknown: end of action\n", work->step);
  EnemyThinkEnd(work);
}

}  // namespace

const std::span<const BossStepFn> kBossSteps29 = kSteps29;

const BossMember& BossMemberOf(uint8_t kind) {
  static const BossMember kNone{};
  return kind < kMembers.size() ? kMembers[kind] : kNone;
}

void BossFamilyFrame(SlgMainWork* work, uint8_t kind) {
  SlgUnit* unit = SlgActingUnit();
  const BossMember& m = BossMemberOf(kind);
  const bool closed =
      (m.gate_flag >= 0 && CheckEventFlag(m.gate_flag) == 0) ||
      (m.gate_map >= 0 && (!HasGame() || GetSystemData()->battleMap() != static_cast<uint32_t>(m.gate_map)));
  if (unit == nullptr || closed) {
    EnemyThinkEnd(work);
    return;
  }
  BattleContext& b = Battle();
  switch (work->step) {
    case kEnemyPhaseEntry:
      Slg::SetPhaseState(work, kEnemyPhaseThink);
      b.enemy.think_step = kThinkStepChoose;
      Slg::ScrollToUnit(unit->slot);
      break;
    case kEnemyPhaseWalk:
      if (Slg::EnemyMove(*unit) == kSlgCmdRunning) {
        Slg::ScrollStep();
        break;
      }
      SetEndStep(m);
      ActionOver(work, *unit, kEnemyDidWalk, kEnemyPhaseThink);
      break;
    case kEnemyPhaseAttack:
      if (Slg::EnemyAttack(*unit) == kSlgCmdRunning) break;
      SetEndStep(m);
      ActionOver(work, *unit, kEnemyDidAttack, kEnemyPhaseWait);
      break;
    case kBossPhaseCharge:
      if (m.charges) {
        Charge(work, *unit);
      } else {
        Other(work);
      }
      break;
    case kEnemyPhaseSupport:
      if (m.charges) {
        SupportOrGuard(work, *unit, m, Slg::EnemyHeal(*unit));
      } else {
        Other(work);
      }
      break;
    case kEnemyPhaseGuard:
      SupportOrGuard(work, *unit, m, Slg::EnemyDefend());
      break;
    case kEnemyPhaseThink:
      RunStep(work, m, kind);
      break;
    case kEnemyPhaseWait:
      if (AnyUnitInState(kStateDying) == 0) Slg::SetPhaseState(work, kEnemyPhaseThink);
      break;
    default:
      Other(work);
      break;
  }
}

void BossProgram20(SlgMainWork* work) { BossFamilyFrame(work, 20); }
void BossProgram23(SlgMainWork* work) { BossFamilyFrame(work, 23); }
void BossProgram24(SlgMainWork* work) { BossFamilyFrame(work, 24); }
void BossProgram25(SlgMainWork* work) { BossFamilyFrame(work, 25); }
void BossProgram26(SlgMainWork* work) {
  const SlgUnit* unit = SlgActingUnit();
  BossFamilyFrame(work, unit != nullptr && unit->kind == 27 ? 27 : 26);
}
void BossProgram28(SlgMainWork* work) { BossFamilyFrame(work, 28); }
void BossProgram29(SlgMainWork* work) { BossFamilyFrame(work, 29); }
void BossProgram30(SlgMainWork* work) { BossFamilyFrame(work, 30); }
void BossProgram31(SlgMainWork* work) { BossFamilyFrame(work, 31); }
void BossProgram32(SlgMainWork* work) { BossFamilyFrame(work, 32); }
void BossProgram34(SlgMainWork* work) { BossFamilyFrame(work, 34); }
void BossProgram35(SlgMainWork* work) { BossFamilyFrame(work, 35); }
