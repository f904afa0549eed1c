#pragma once
// The enemy think interpreter: the choice of the acting enemy's think at the start of each of its
// actions (the stage's think-change row through the condition file), the conditions, and the 23
// think steps that turn a think into walking, attacking, supporting an ally and guarding.
//
// The think files are the stage's (Battle().enemy_think, enemy_cond, enemy_change), the think
// the unit follows and its target, support ally and destination are the decision searches'
// (Battle().think_search), the think step and the next step are Battle().enemy. A step starts an
// action by putting the phase task into phase step 1 (walk to the destination), 2 (attack the
// target), 9 (support the ally) or 10 (guard); the program's phase step 80 runs the think step.
//
// Bad think data never stops the battle: a think-change row past the end of EnTab, a think index
// past EnThk, missing think files (a map without common enemies, a failed load) or no acting unit
// trace and end the unit's action (think step 18); a condition index past EnCnd does not hold.

#include <array>
#include <cstdint>

#include "battle/slg_enemy_state.h"
#include "battle/slg_think_search_state.h"

struct SlgMainWork;

// A think step routine, given the phase task's work block.
using EnemyThinkRoutine = void (*)(SlgMainWork* work);
// EnemyThinkTable, indexed by the think step; rows 6 and 7 do nothing.
extern const std::array<EnemyThinkRoutine, kThinkStepCount> kEnemyThinkTable;

// Runs the row of the current think step; a step outside the table traces and ends the action.
void RunEnemyThinkStep(SlgMainWork* work);

// Think step 0: the think step becomes 1; walks the acting unit's think-change row (stage-entry
// byte 10) and takes the think of the first pair whose condition does not hold, the fourth when
// the first three hold.
void EnemyThinkChange(SlgMainWork* work);
// 1 when condition record `index` of EnCnd holds, else 0 (an index past the file: 0).
int EnemyCondEval(int index);
// Think step 18: the end of the unit's action, handed back to turn control.
void EnemyThinkEnd(SlgMainWork* work);

// The support search of think step 2: the wounded allies (category 1 or 2, maximum life above
// 4 x life) on the mode-1 search of radius move + 1, at most 16 in list order, then the pick into
// think_search.support_target (kSlgNoUnit none); a found ally makes the think step 11. A unit
// without support value (counter 0) searches nothing.
void EnemySupportSearch();

// Think and condition records as the files hold them (20 bytes, little-endian points).
EnemyThinkRec EnemyThinkRecord(const uint8_t* bytes);
struct EnemyCondRec {
  uint8_t kind = 0;
  uint8_t character = 0;
  std::array<EnemyThinkPoint, 4> points{};
};
EnemyCondRec EnemyCondRecord(const uint8_t* bytes);
