#include "battle/slg_enemy.h"

#include "battle/battle_context.h"
#include "battle/slg_boss_program.h"
#include "battle/slg_boss_steps_b.h"
#include "battle/slg_short_programs.h"
#include "battle/slg_commands.h"
#include "battle/slg_enemy_think.h"
#include "battle/slg_geometry.h"
#include "battle/slg_start.h"
#include "battle/slg_summon.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "engine/core/debug_trace.h"

namespace {

// SlgFlags bits.
constexpr uint16_t kFlagBusy = 0x1;
constexpr uint16_t kFlagMouse = 0x8;

constexpr uint8_t kStateStand = 0;
constexpr uint8_t kStateDying = 15;  // the death actions: the program waits for them


// The end of an action the program carried out: its bit in SlgActionDone, the unit back to
// standing, and the phase step to go on with.
void ActionOver(SlgMainWork* work, SlgUnit& unit, uint8_t bit, uint8_t phase) {
  BattleContext& b = Battle();
  b.control.action_done = static_cast<uint8_t>(b.control.action_done | bit);
  SetUnitState(unit, kStateStand);
  Slg::SetPhaseState(work, phase);
}

}  // namespace

const std::array<EnemyProgramFn, kSlgUnitKinds> kEnemyProgramTable = [] {
  std::array<EnemyProgramFn, kSlgUnitKinds> table{};
  for (int kind = 14; kind <= 19; ++kind) table[static_cast<size_t>(kind)] = EnemyGenericProgram;
  for (int kind = 48; kind <= 50; ++kind) table[static_cast<size_t>(kind)] = EnemyGenericProgram;
  // ---- The boss family and the special units (battle/slg_boss_program.h); 21 and 22 (the
  // samurai) end their action until their programs come ----
  table[20] = BossProgram20;
  table[23] = BossProgram23;
  table[24] = BossProgram24;
  table[25] = BossProgram25;
  table[26] = table[27] = BossProgram26;
  table[28] = BossProgram28;
  table[29] = BossProgram29;
  table[30] = BossProgram30;
  table[31] = BossProgram31;
  table[32] = BossProgram32;
  table[34] = BossProgram34;
  table[35] = BossProgram35;
  table[4] = Kind4Program;
  table[38] = GunnerProgram;
  table[42] = TransformProgram;
  table[43] = table[44] = SpawnerProgram;
  table[51] = MarkerProgram;
  // ---- end of the boss family ----
  // ---- The samurai (battle/slg_boss_steps_b.h): row 21 passes its units on to kind 21's ----
  table[21] = table[22] = SamuraiProgram22;
  // ---- end of the samurai ----
  // ---- The summoner's programs (battle/slg_summon.h) ----
  table[kSlgKindSatan] = SatanProgram;
  table[kSlgKindStationary] = StationaryProgram;
  // ---- end of the summoner's programs ----
  return table;
}();

void EnemyPhaseStep(SlgMainWork* work) {
  BattleContext& b = Battle();
  b.flags = static_cast<uint16_t>((b.flags & ~kFlagMouse) | kFlagBusy);
  EnemyProgram(work);
}

void EnemyProgram(SlgMainWork* work) {
  const SlgUnit* unit = SlgActingUnit();
  const EnemyProgramFn program =
      unit != nullptr && unit->kind < kEnemyProgramTable.size() ? kEnemyProgramTable[unit->kind]
                                                                : nullptr;
  if (program == nullptr) {
    EnemyThinkEnd(work);
    return;
  }
  program(work);
}

void EnemyGenericProgram(SlgMainWork* work) {
  BattleContext& b = Battle();
  SlgUnit* unit = SlgActingUnit();
  if (unit == nullptr) {
    EnemyThinkEnd(work);
    return;
  }
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
      b.enemy.next_step = kThinkStepEnd;
      ActionOver(work, *unit, kEnemyDidWalk, kEnemyPhaseThink);
      break;
    case kEnemyPhaseAttack:
      if (Slg::EnemyAttack(*unit) == kSlgCmdRunning) break;
      b.enemy.next_step = kThinkStepEnd;
      ActionOver(work, *unit, kEnemyDidAttack, kEnemyPhaseWait);
      break;
    case kEnemyPhaseSupport:
      if (Slg::EnemyHeal(*unit) != kSlgCmdDone) break;
      ActionOver(work, *unit, kEnemyDidSupport, kEnemyPhaseThink);
      break;
    case kEnemyPhaseGuard:
      if (Slg::EnemyDefend() != kSlgCmdDone) break;
      ActionOver(work, *unit, kEnemyDidSupport, kEnemyPhaseThink);
      break;
    case kEnemyPhaseThink:
      RunEnemyThinkStep(work);
      break;
    case kEnemyPhaseWait:
      if (AnyUnitInState(kStateDying) == 0) Slg::SetPhaseState(work, kEnemyPhaseThink);
      break;
    default:
      // The common end-of-action states of turn control; anything else is no step of the
      // program's: the action ends.
      if (!SlgCommonPhaseState(work)) {
        DebugPrint("EnemyGenericProgram: phase step %d unknown: end of action\n", work->step);
        EnemyThinkEnd(work);
      }
      break;
  }
}
