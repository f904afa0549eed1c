#pragma once
// The building blocks the boss and special-unit programs decide with, built once for every step
// list: the built-in think records by unit kind, the tests on the range list (a player unit, a
// unit of side 0, the target on it), full kiai, self-support, the count of distant player units,
// the guard-or-charge choice, the retreat cell and the random walk.
//
// Everything works on the acting unit (Battle().state.acting_unit) and on
// Battle().think_search and Battle().search, as the decision searches do
// (battle/slg_think_search.h); none of them allocates.

#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_think_search_state.h"

struct SlgMainWork;

// The boss programs' phase step of their own: the charge (the others are the enemy programs').
constexpr uint8_t kBossPhaseCharge = 8;

// ---- Built-in think records ----

// The think record a program of unit kind `kind` follows instead of the stage's think file:
// reaction 2, type 0, target 'i' (the nearest player unit), the unread byte and the four points
// all 0xFF; kind 31 targets the hero (0), kind 38 has reaction 1, kind 28 while event flag 902 is
// set follows reaction 0, type 0, target 0, and kind 22 walks (reaction 0, type 7, target 0xFF)
// to the cell (7, 48).
EnemyThinkRec EnemyBuiltInThink(uint8_t kind);

// ---- Tests on the current range list ----

// 1 when some cell of the range list holds a unit of category 0 (a player unit).
bool PlayerUnitInList();
// 1 when some cell of the range list holds a unit of side 0 (which may be of any category).
bool SideZeroUnitInList();
// 1 when a cell of the range list holds think_search.target (none: 0).
bool TargetInList();

// "a player unit in reach": EnemyReachCells(attack), then PlayerUnitInList().
bool PlayerUnitInReach(int attack);
// "choose in reach" / "choose in range": build the list, EnemyChooseTarget; 1 when a target was
// chosen.
bool ChooseInReach(int attack);
bool ChooseInRange(int attack);
// "the target in range": EnemyRangeCells(attack), then TargetInList().
bool TargetInRange(int attack);

// ---- Unit tests ----

// Kiai equals maximum kiai and maximum kiai is not 0.
bool FullKiai(const SlgUnit& unit);
// Self-support: the acting unit's life is below its maximum life >> shift (2 for most kinds, 1
// where a kind says so) and its support value is not 0; then think_search.support_target := the
// acting unit and the result is 1.
bool SelfSupport(int shift);
// N: the live units of category 0 whose cell lies at distance 3 or more from the cell of unit 0
// (the first record of the unit table); 0 without units.
int DistantPlayerCount();
// The step guard-or-charge (g, c, low) goes to: kiai equal to maximum kiai (no test for 0) g;
// else N below 3 c; else life below half the maximum life `low`; otherwise the other of g and c.
int GuardOrChargeStep(int g, int c, int low);

// ---- Cells to walk to ----

// EnemyMoveCells(); every entry scores, for each live category-0 unit at distance d from it,
// 7 - d when d is 7 or less and 7 beyond; the index of the last entry with the greatest score,
// 0 when every score is 0 (or the list is empty).
int EnemyRetreatCell();
// Random walk: EnemyMoveCells(); up to 20 draws of an entry (GetRandom() mod count); the first
// whose distance from the acting unit's cell is above 2 and below 8 and whose position lies on
// the stage (Slg::IsOnMap) becomes think_search.destination and the result is 1. An empty move list draws nothing: 0, as after 20
// misses.
bool RandomWalkCell();

// ---- Steps and actions ----
// A step that starts an action leaves the phase task in it (Slg::SetPhaseState): 1 walk to
// think_search.destination, 2 attack think_search.target, 8 charge, 9 support
// think_search.support_target, 10 guard. SlgPhaseSub is battle-flag byte 2, SlgAttackMode
// (Battle().cmd.attack_mode) byte 6.

// The step := step (and EnemyNextStep := next).
void BossGo(uint16_t step);
void BossGo(uint16_t step, uint16_t next);
// s := n: the step := EnemyNextStep, EnemyNextStep := the kind's end step.
void BossTakeNext(uint16_t end_step);

// Camera to the acting unit.
void BossCamera();
// The map cursor on the acting unit's cell.
void BossCursorOnUnit();
// The wait of every step that starts an attack, a support, a guard or a charge: false while the
// camera still moves (the step runs again next frame); then the cursor on the unit, SlgPhaseSub
// := 0 and true.
bool BossCameraArrived();

// Attack t: the acting unit's attack-type byte := t, SlgAttackMode := t, phase step 2.
void BossAttack(SlgMainWork* work, int type);
// Flag attack b: SlgAttackMode := b (the attack-type byte unchanged), phase step 2.
void BossFlagAttack(SlgMainWork* work, int mode);
// Support (9), guard (10), charge (8).
void BossSupport(SlgMainWork* work);
void BossGuard(SlgMainWork* work);
void BossCharge(SlgMainWork* work);
// Walk: think_search.destination := cell, phase step 1, SlgPhaseSub := 0.
void BossWalk(SlgMainWork* work, SlgRangePos cell);
// Approach a (EnemyApproachTarget), best (EnemyBestMoveCell), retreat (EnemyRetreatCell), random
// walk (RandomWalkCell): walk to the cell found; false (no walk) when none was found or the
// choice is entry 0 of the move list.
bool BossApproach(SlgMainWork* work, int attack);
bool BossBest(SlgMainWork* work);
bool BossRetreat(SlgMainWork* work);
bool BossRandomWalk(SlgMainWork* work);
// Guard-or-charge (g, c, low): camera, the cursor on the unit, then without waiting the step
// GuardOrChargeStep gives.
void BossGuardOrCharge(int g, int c, int low);

// ---- Terms added with the step lists of kinds 20-24, 34 and 35 (battle/slg_boss_steps_b.h) ----

// Kind 24's N: the live units of category 0 whose cell lies at distance 4 or less from the cell
// of unit 0; 0 without units.
int NearPlayerCount();
// Guard-or-charge's choice with N counted by `count` (called only when the kiai test does not
// decide): kiai equal to maximum kiai g; else N below 3 c; else life below half `low`; otherwise
// the other of g and c. GuardOrChargeStep is this with DistantPlayerCount.
int GuardOrChargeStepWith(int (*count)(), int g, int c, int low);
// Guard-or-charge (g, c, low) with N counted by `count`.
void BossGuardOrChargeWith(int (*count)(), int g, int c, int low);
// ---- end of the terms added with kinds 20-24, 34 and 35 ----
