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
// whose distance from the acting unit's cell is above 2 and below 8 becomes
// think_search.destination and the result is 1. An empty move list draws nothing: 0, as after 20
// misses.
bool RandomWalkCell();
