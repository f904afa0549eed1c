#pragma once
// Event steps that move units in story scenes: walks along a searched route (and the teleporting
// heroine's jump in their place), turning the party toward a point, and a scripted action of one
// unit on a set of targets. Each is called once a frame with the same arguments until it answers
// 1, as every event step (battle_events/event_steps.h).
//
// A walk keeps its progress in a RouteWork the calling handler owns (one per walking unit, so
// several units walk at once); the turning and the scripted action keep theirs in the event
// runtime's state block (battle_events/event_runtime_state.h).
//
// The walks drive the core's unit states: 3 at the start (the walk start turns it into 1, the
// walking state, or for the teleporting heroine the teleport-out that ends in 1), 4 on arrival
// (the walk stop: 4 -> 2 -> 8, the player's with its stop dust). The step answers 1 on the
// arrival frame, so a script does not wait for the dust. No state is ever set on a removed
// record (step 255): SetUnitState would bring it back into the conditions' counts.

#include <cstdint>

#include "battle_events/core/route_search.h"

struct SlgUnit;

// One walking unit's work area: its traced route (direction list, steps left, target) and the
// walk's phase (0 idle, 1 walking).
struct RouteWork {
  RouteRecord route;
  int32_t phase = 0;
};

// A work area from SlgAlloc with its phase cleared; null when the allocation is refused.
RouteWork* RouteWorkAlloc();
// Gives it back (SlgFree); takes null.
void RouteWorkFree(RouteWork* work);

// Walks `unit` to the cell of map pixel (x, y) at `speed` (non-zero: the fast walk). Phase 0
// starts: for the player's character 4 EventJumpToCell, for any other unit RouteSearch with the
// scripts' limit from the unit's position and RouteTrace to (x, y); when that succeeds the unit
// is in state 3, the phase 1 and the answer 0, else the answer is 1 at once. Phase 1: RouteWalk
// each call; on arrival state 4, phase 0 and 1. A null work area, a missing or removed unit: 1 at
// once, nothing changed (a unit removed during the walk ends it).
int EventWalkObj(RouteWork* work, SlgUnit* unit, int32_t x, int32_t y, int32_t speed);
// The same on FindUnitByIndex(kind, number) (number = placement number x 256).
int EventWalkKindNo(RouteWork* work, int32_t kind, int32_t number, int32_t x, int32_t y,
                    int32_t speed);
// The same on FindUnitByGroupKind(group, character).
int EventWalkUnit(RouteWork* work, int32_t group, int32_t character, int32_t x, int32_t y,
                  int32_t speed);

// The teleporting heroine's start in place of a route: the cell of (x, y); 0 when it lies off
// the map's cells, is blocked (0x400 of the placement and height grid) or has a unit on it
// (GetUnitAtCell); else the snapped target in the work area (no steps), the unit in state 3 and
// 1. The walk then takes her straight onto the target once her teleport-out has set state 1.
int EventJumpToCell(RouteWork& work, SlgUnit& unit, int32_t x, int32_t y);

// Turns the player's units of characters 0-6 to face map pixel (x, y): the wanted direction is
// the quadrant of (dx, dy) = point - unit position (0: dx > 0, dy < 0; 1: dx > 0, dy >= 0;
// 2: dx <= 0, dy >= 0; 3: dx <= 0, dy < 0). The first call keeps the point and answers 1 when
// every present unit faces it; else every 15th call turns each unit that does not a quarter the
// shorter way (Slg::SetUnitDir, state 0) and answers 1 once all face it: a half turn takes 30.
// Missing and removed units are left out.
int EventTurnPlayersTo(int32_t x, int32_t y);

// `unit` acts on `count` targets (nulls allowed) in a story scene. The first call keeps the unit
// (a null unit keeps the step waiting). The next: the actor's attack type and first action byte
// cleared and its power worked out (CalcUnitAction's power), state 5; each target that is there
// flag bit 0, its attack-type byte the actor's slot (its hit reaction takes the attacker from
// it) and state 9; the range search's result emptied (the attack's end marks the units on its
// cells as hit); every unit frozen. Then, once the actor is in state 0 or 8:
// Slg::MarkFlaggedUnits and Slg::ResetUnitTurnFlags (which show the hidden units again and
// unfreeze everyone), and 1. An actor removed before it acts ends the step at once; one removed
// during the action ends it through the same two calls.
int EventScriptedAction(SlgUnit* unit, SlgUnit* const* targets, int32_t count);
