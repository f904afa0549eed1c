#pragma once
// The enemy phase: turn control calls EnemyPhaseStep once a frame while an enemy is the acting
// unit; it runs the program of the acting unit's kind (EnemyProgramTable, 52 rows). The common
// enemies (kinds 14-19 and 48-50) run EnemyGenericProgram, a step machine on the phase task's
// step (Slg::SetPhaseState) that runs the think steps (battle/slg_enemy_think.h) and carries out
// the actions they start through the enemy forms of the unit commands (battle/slg_commands.h).
// A kind whose row is empty ends its action at once.
//
// SlgActionDone holds what the enemy did this turn: 1 walked, 2 attacked, 4 supported or guarded.

#include <array>
#include <cstdint>

#include "battle/slg_stage_table.h"

struct SlgMainWork;

// The phase steps of an enemy program.
constexpr uint8_t kEnemyPhaseEntry = 0;    // start the think, camera to the unit
constexpr uint8_t kEnemyPhaseWalk = 1;     // walk to EnemyDestination
constexpr uint8_t kEnemyPhaseAttack = 2;   // attack EnemyTarget
constexpr uint8_t kEnemyPhaseSupport = 9;  // support EnemySupportTarget
constexpr uint8_t kEnemyPhaseGuard = 10;   // guard
constexpr uint8_t kEnemyPhaseThink = 80;   // run the current think step
constexpr uint8_t kEnemyPhaseWait = 81;    // wait until no unit is in state 15, then 80

// The enemy action bits of SlgActionDone.
constexpr uint8_t kEnemyDidWalk = 0x1;
constexpr uint8_t kEnemyDidAttack = 0x2;
constexpr uint8_t kEnemyDidSupport = 0x4;

// An enemy program: one call per frame with the phase task's work block.
using EnemyProgramFn = void (*)(SlgMainWork* work);
// EnemyProgramTable, indexed by unit kind; null rows end the action at once.
extern const std::array<EnemyProgramFn, kSlgUnitKinds> kEnemyProgramTable;

// One enemy-phase frame: SlgFlags bit 3 cleared, bit 0 set, then EnemyProgram.
void EnemyPhaseStep(SlgMainWork* work);
// The row of the acting unit's kind; an empty row (or no acting unit) runs think step 18.
void EnemyProgram(SlgMainWork* work);
// The program of the common enemies.
void EnemyGenericProgram(SlgMainWork* work);
