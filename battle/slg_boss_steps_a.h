#pragma once
// Step lists of the boss kinds 30, 31, 32 and of the three kinds that share one layout (28,
// 26/27, 25), written with the boss building blocks (battle/slg_boss_terms.h) and run by the
// family frame (battle/slg_boss_program.h) in phase step 80, one step per frame.
//
// Kinds 31 and 32 share one array of routines: kind 32's step n is entry n + 13, and steps 2, 3,
// 6, 7, 9 and 10 are the same routines in both lists. Kind 31's steps 1, 4, 5, 13 and 14 are
// never set by its own steps; they are empty (or outside its list), so a stale step number ends
// the action through the frame instead of running one of kind 32's routines.

#include <span>

#include "battle/slg_boss_program.h"

// Kind 30 (18 steps, end step 7): self-support, special and normal attacks with the camera
// saving the unit's life, a retreat after an attack only when the unit lost life in it.
extern const std::span<const BossStepFn> kBossSteps30;
// Kind 31 (13 entries, end step 7): normal reach and range, flag attack 0, best, guard.
extern const std::span<const BossStepFn> kBossSteps31;
// Kind 32 (18 steps, end step 7).
extern const std::span<const BossStepFn> kBossSteps32;
// The shared layout (end step 8): kind 28 (12 steps), kinds 26 and 27 (13), kind 25 (13).
extern const std::span<const BossStepFn> kBossSteps28;
extern const std::span<const BossStepFn> kBossSteps26;
extern const std::span<const BossStepFn> kBossSteps25;
