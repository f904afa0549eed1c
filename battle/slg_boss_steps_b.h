#pragma once
// The step lists of boss kinds 23, 24, 20, 21, 22, 35 and 34, run by the family frame
// (battle/slg_boss_program.h) in its phase step 80 at EnemyThinkStep, written with the shared
// terms (battle/slg_boss_terms.h), and the samurai programs of kinds 21 and 22.
//
// - Kind 23 (14 steps, end 7) and kind 24 (13 steps, end 5) note in EnemyChosenAttack the attack
//   their target was chosen for; their approach and attack read it (1 special, else normal).
// - Kind 24 pulls: with event flag 159 clear, when no live player unit stands inside its
//   quadrilateral, it moves a player unit (the character named by the first set flag of
//   430-436, else the one with the most life) onto the first free cell beside itself (event
//   flag 400 + the unit's kind), places it again on that cell (cell word, lift, shade) and
//   attacks it; once pulls have begun, an action after two counted ones sets event flag 409.
// - Kinds 20 and 21 (14 steps, end 7) share one list with differences by kind.
// - Kind 22 runs the 23 think steps of the common enemies (end 18) with steps 5, 6, 7, 14 and 20
//   of its own; its program makes its built-in record current on every call and sets event flag
//   198 while it stands ready on the cell (7, 48). Kind 21's row goes through it.
// - Kind 35 (9 steps, end 5) rotates its targets: after one target it takes a player unit of
//   another kind, so that one action may strike twice.
// - Kind 34 (11 steps, end 7).

#include <cstdint>
#include <span>

#include "battle/slg_boss_program.h"

struct SlgUnit;

extern const std::span<const BossStepFn> kBossSteps20;
extern const std::span<const BossStepFn> kBossSteps21;
extern const std::span<const BossStepFn> kBossSteps22;
extern const std::span<const BossStepFn> kBossSteps23;
extern const std::span<const BossStepFn> kBossSteps24;
extern const std::span<const BossStepFn> kBossSteps34;
extern const std::span<const BossStepFn> kBossSteps35;

// Kind 22's program (row 22, and row 21, whose units it passes on to SamuraiProgram21).
void SamuraiProgram22(SlgMainWork* work);
// Kind 21's program: the family frame over its own list.
void SamuraiProgram21(SlgMainWork* work);

// Kind 24's pull: the slot of the unit it would pull (the character of the first set flag of
// 430-436 on the map when `named`, else the category-0 unit with the most life, the first of
// equals); kSlgNoUnit when no such unit has life above 0.
uint16_t BossPullCandidate(bool named);
// The first free cell beside the acting unit (snapped position plus (48, 24), (48, -24),
// (-48, 24), (-48, -24)): no unit on it and no bit 0x400 in its cell word. False when none.
bool BossFreeCellBeside(int32_t* x, int32_t* y);
// 1 when a live category-0 unit with life above 0 stands inside kind 24's quadrilateral.
bool BossPlayerInPullArea();
