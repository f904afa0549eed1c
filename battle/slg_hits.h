#pragma once
// Hit resolution: who an attack hits (the units on the cells of the current range result) and
// how the results are applied (life, defeats, the per-heroine tallies in the script variables,
// the fighting-spirit gain), and the per-turn flag resets around an attack.

#include <cstdint>

struct SlgUnit;

namespace Slg {

// Walks the range result in list order and hits the live unit on each cell (not the attacker):
// a covered unit (flag 0x10) is taken over by the hero while his cover count lasts (state 14,
// unless the attacker is character 4), the hero busy covering is skipped, anyone else gets
// flags 0x89, its attack_type byte := the attacker's slot, state 9 and the damage arithmetic
// (character 4's special heals instead). Each unit is hit at most once per call (a unit listed
// twice is skipped the second time). Without a hero on the map there is no cover. Result: the
// number of hits.
int MarkHitUnits(SlgUnit& attacker);
// For each unit in use with flag bit 0: life -= result (clamped to 0 .. max life); a defeat sets
// the fallen tally of a heroine or counts a defeat for the attacking heroine, state 15, flag 0x20
// and the first event unit reference := the attacker's slot; then the kiai gain (not for
// character 4's special), clamped. 1 when a unit was defeated.
int ApplyHits(SlgUnit& attacker);
// P 13, 23, 33, 53, 63, 43, 12, 22, 32, 52, 62, 42 and 72 := 0.
void ClearBattleTallies();
// ShowUnflaggedUnits; then every unit in use whose step is not 255 loses flag bits 0-3 and its
// body's shade is refreshed.
void ResetUnitTurnFlags();
// Every unit in use with flag bit 0 gets its reaction-over byte := 1.
void MarkFlaggedUnits();

}  // namespace Slg
