#pragma once
// The summoner's programs in the enemy program table: kind 45 (the electric box), a stationary
// attacker that strikes once per action at a unit in range of where it stands, and kind 33
// (Satan), which, once event flag 110 is set, chooses each action between its attacks and
// summoning one unit each of kinds 48, 49 and 50 into the rectangle (848, 464) - (1487, 943).
//
// Both run on the phase task's step (Slg::SetPhaseState) like the generic program: 2 the attack
// command on think_search.target, 80 the kind's own step list on Battle().enemy.think_step, 81
// the wait for the death actions; the end of the action is think step 18's routine.
//
// Every failure road ends the action: no unit to attack, no free cell in the rectangle, no stage
// entry of the summoned kind, a refused creation and 32 units on the map.

#include <cstdint>

#include "battle/slg_unit.h"

struct SlgMainWork;

// The rows of the enemy program table.
constexpr uint8_t kSlgKindSatan = 33;
constexpr uint8_t kSlgKindStationary = 45;

// Event flags the Satan program reads: 110 it acts at all, 150 it summons, 140 the later odds.
constexpr int32_t kSatanActsFlag = 110;
constexpr int32_t kSatanSummonsFlag = 150;
constexpr int32_t kSatanLaterOddsFlag = 140;

// The attack variants (the attack kind the Satan attack routine plays): 1 normal, 3 critical,
// any other critical 2; 0 while it summons.
constexpr uint16_t kSatanSummoning = 0;
constexpr uint16_t kSatanNormal = 1;
constexpr uint16_t kSatanCritical2 = 2;
constexpr uint16_t kSatanCritical = 3;

// The sequence's voice, the summoned units' blend word while they fade in, the rectangle's
// top-left pixel and size, the units the map may hold for a summon, the draws before giving up.
constexpr int kSummonVoice = 227;
constexpr uint16_t kSummonFadeBlend = 24576;
constexpr int32_t kSummonLeft = 848;
constexpr int32_t kSummonTop = 464;
constexpr int32_t kSummonWidth = 640;
constexpr int32_t kSummonHeight = 480;
constexpr int kSummonMaxUnits = 32;
constexpr int kSummonDraws = 256;
// No stage entry of a kind.
constexpr uint8_t kNoStageEntry = 255;

// Kind 45: with the gate clear, the built-in think (reaction 2, type 0, 'i'), the range from
// where the unit stands and the target; none ends the action. Else (or with the gate set)
// StationaryStep.
void StationaryProgram(SlgMainWork* work);
// The stationary step machine: phase steps 0 (80, think step 0, camera), 2 (the attack; at its
// end SlgActionDone |= 2, state 0, EnemyNextStep 7, phase 81), 80 and 81 as the generic
// program's, the common states of turn control; its step list: 0 range and target (in range 1,
// else 3), 1 camera to the unit, 2 the attack started once the camera is there (cursor on the
// unit, attack type 0, SlgPhaseSub and the attack mode 0), 3 the gate cleared, end of action.
void StationaryStep(SlgMainWork* work);

// Kind 33: without event flag 110 the action ends at once. Phase step 2 the attack (at its end
// SlgActionDone |= 2, state 0, phase 81), 80 the step list, 81 the wait; any other the common
// state of turn control, then phase 80 with think step 0 (but for the exit and the follow-up,
// which stay turn control's).
void SatanProgram(SlgMainWork* work);
// Step 0 of the list: EnemyTarget := the ((random >> 3) mod count)-th live side-0 unit in slot
// order (none: the action ends), then the variant: the opening attack (2, normal), full kiai (3,
// special), flag 150 summons, flag 140 clear d = (random >> 3) mod 10 (0-3 summon, 8-9 variant
// 2, else 1), flag 140 set bit 3 of a random number (summon, else 1). An attack starts phase
// step 2 with think step 10; a summon goes on with step 1.
void SatanChoose(SlgMainWork* work);

// Summons unit n (0-2): a unit from the first stage entry of kind 48 + n on a free, unblocked
// cell of the rectangle (at most 256 draws), facing (random >> 3) & 3, placed, at depth
// (n + 8) x 64, byte 8 0, appended to the turn order, its totals computed, not shown (the fade
// shows it). Its slot; kSlgCreateRefused with 32 units or more, no free cell found, no such
// entry or a refused creation.
uint8_t SummonUnit(int n);
// The first of the stage's entries in use whose class has this kind; kNoStageEntry none (also
// without a stage).
uint8_t FindStageEntryOfKind(int kind);
