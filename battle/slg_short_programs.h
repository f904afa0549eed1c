#pragma once
// The short enemy programs of the special units: the stationary gunner (kind 38), the marker
// (kind 51), the spawners (kinds 43 and 44), the transforming unit (kind 42) and the unit of kind
// 4 that flees from the hero. Each is one call per frame on the phase task's work block, like the
// other enemy programs (battle/slg_enemy.h); every road that finds nothing to do ends the action.

#include <cstdint>

struct SlgMainWork;

// The transforming unit's phase step of its own: the replacement.
constexpr uint8_t kTransformPhaseReplace = 85;
// The spawners act only while fewer units than this exist.
constexpr int kSpawnerMostUnits = 32;
// The stage entry the transforming unit becomes.
constexpr int kTransformEntry = 11;

// Kind 38: the nearest live category-0 unit on the normal range from where it stands (distance
// measure, strictly nearer, from 100) becomes the target, none ends the action; once the camera
// is there the cursor on the unit, attack type 1 (SlgAttackMode 1) on full kiai, else 0; after the
// attack it waits for state 15 to clear and ends.
void GunnerProgram(SlgMainWork* work);
// Kind 51: every other unit standing on its cell gets its slot in the attack-type byte and flag
// 0x800; then the end of the action.
void MarkerProgram(SlgMainWork* work);
// Kinds 43 and 44: while fewer than 32 units exist, a counter in the unit's body object rises by
// one per action; from the fourth action on, with the cell in front (+48, +24 pixels) free or a
// spawn already under way (kind 44 tests its own flag first), the kind's spawn flag is set and,
// once the camera is there, the unit goes to state 6 in phase step 2; back in state 0 the counter
// is reset, the flag cleared and the action ends. A unit without a body object ends its action.
void SpawnerProgram(SlgMainWork* work);
// Kind 42: stage-entry byte 10 of 2 or 3 ends the action. Else, with event flag 105 set and a
// category-0 unit within the radius-5 search around it, the camera goes to it and phase step 85
// replaces it: the unit of stage entry 11 is created first at its position and direction (placed,
// totals, appended to the turn order), then the old slot is marked dead and the new unit made the
// acting unit, whose action ends. A refused creation leaves the unit as it is and ends its action.
void TransformProgram(SlgMainWork* work);
// Kind 4: phase 0 starts (80, think step 0, camera), 1 walks (at its end action bit 0, state 0,
// 80), 80 runs two steps: 0 flees to the move-list entry farthest from the first live unit of
// kind 0 (the last of equals; entry 0, or no such unit: no walk), 1 ends the action.
void Kind4Program(SlgMainWork* work);
