#pragma once
// Unit categories and the state handlers: Slg::UpdateUnit calls the category's update
// (Battle().state.category_update: 0 UpdatePlayerUnit, 1, 2 and 4 UpdateUnitByKind, 3
// SlgEventAnmUpdate), which runs the handler of the unit's state from the table of its kind:
// the player table (14 kinds x 24 states, Battle().unit_states.player, rebuilt at each battle
// start) or the constant 16-slot table of a kind's update function (kind update table, 52 rows).
//
// Handlers take (unit, pos), pos the unit's drawing position; they keep the body sprite on pos
// every frame and their step in the body object's state byte (SetUnitState clears it), their
// waits in its wait word (frames) and time word (`word`, game clock ms). The object's play-mode
// byte is what the handlers call its flags; "animation 4" replays the body's pattern with the
// flags as they are (ChangeUnitAnm).
//
// A unit without a body object takes each handler's short road: no sprite work and no waiting,
// the state the handler would end in at once.
//
// Table indexes come from the state byte (0-255; events set states too) and, for the player
// table, from any category-0 unit's kind: an index outside its table is an empty slot (nothing
// runs), traced once per unit slot and state.

#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_unit_states_state.h"

// The unit states the handlers name.
constexpr uint8_t kUnitStateStand = 0;
constexpr uint8_t kUnitStateWalkEnd = 2;
constexpr uint8_t kUnitStateWalkStart = 3;
constexpr uint8_t kUnitStateWalkStop = 4;
constexpr uint8_t kUnitStateReady = 8;
constexpr uint8_t kUnitStateSupportFall = 11;
constexpr uint8_t kUnitStateSupportFall2 = 12;
constexpr uint8_t kUnitStateSupportFlash = 13;
constexpr uint8_t kUnitStateCover = 14;
constexpr uint8_t kUnitStateTeleportAppear = 21;

// The gravity the height change hands the jump (16.16 pixels per frame per frame).
constexpr int32_t kSlgJumpGravity = 16384;
// Its rising speed (16.16 pixels per frame): 6 pixels a frame rise 69 pixels against that
// gravity (in 24 frames), enough for the one level (48 pixels) a walk may climb.
constexpr int32_t kSlgJumpSpeed = 0x60000;
// The wait between the appearance and the departure of PlayerTeleportAppear (frames).
constexpr uint16_t kSlgTeleportAppearWait = 60;

// Fills the category update table of Battle().state.
void InitCategoryUpdates();
// Rebuilds the player table: zeroed, the default player row for every kind, then kinds 4 and 11
// an empty handler in slot 1 with PlayerTeleportOut in 3 and PlayerTeleportIn in 4 (slot 14 of
// kinds 0 and 7 is reserved for the hero's cover move and stays empty until it comes). Also
// forgets which bad indexes were traced.
void InitDefaultUnitStates();

// The category updates.
void UpdatePlayerUnit(SlgUnit& unit, const SlgPair& screen);
void UpdateUnitByKind(SlgUnit& unit, const SlgPair& screen);
// The kind update table's entry for a kind; null for an empty row or a kind above 51.
SlgCategoryUpdate SlgKindUpdate(uint32_t kind);
// The default 16-slot table's handler for a state; null for an empty slot or a state above 15.
SlgStateHandler SlgDefaultStateHandler(uint32_t state);

// The per-kind update functions.
// Kind 4 outside category 0: first frame (flag 0x400) frees the idle record, loads the slots,
// makes the body object for its direction and computes the stat totals; then UpdatePlayerUnit.
void ActYsolGuest(SlgUnit& unit, const SlgPair& screen);
// Kinds 14-16: the default table, then the shadow.
void ActUnitCommon(SlgUnit& unit, const SlgPair& screen);
// Kinds 34 and 35: first frame (flag 0x400, cleared) loads the slots, makes and sets up the body
// object and plays animation 4; flag 0x40000 hides the body and clears 0x40000 and 0x80 (nothing
// more that frame); then ActUnitCommon.
void ActBenibachiUnit(SlgUnit& unit, const SlgPair& screen);
void ActKonoeUnit(SlgUnit& unit, const SlgPair& screen);

// Frees the character's idle record (its effect object with it).
void FreeIdleRecord(uint8_t character);

// ---- The default handlers ----
// State 0: stand pattern, start-stopped; each time the wait (frames from the time word) has
// passed the animation plays once and a new wait (random >> 4) & 255 is drawn. Nothing while
// flag 0x4000.
void UnitStand(SlgUnit& unit, SlgPair& pos);
// State 0 of players: UnitStand and the character's idle effect (BASE_EFFECT played once on an
// object one depth step in front of the body; the next after (random >> 3) & 0x380 frames, at
// once while the unit is in state 8).
void PlayerStand(SlgUnit& unit, SlgPair& pos);
// State 1: walk pattern, flags 0, animation 4, speed 1024 under SlgRouteWalking; then draws.
void UnitWalk(SlgUnit& unit, SlgPair& pos);
// State 2: stand pattern, animation 4, state 8.
void UnitWalkEnd(SlgUnit& unit, SlgPair& pos);
// State 2 of players: stand pattern, flags 1, animation 4 and the stop effect; step 1 waits for
// the effect to step the handler on (none created: at once); step 2 sets state 8.
void PlayerWalkEnd(SlgUnit& unit, SlgPair& pos);
// State 3: state 1.
void UnitWalkStart(SlgUnit& unit, SlgPair& pos);
// State 4: stand pattern, animation 4; state 8 under SlgRouteWalking, else 2.
void UnitWalkStop(SlgUnit& unit, SlgPair& pos);
// State 8: flags 0, animation 4; then draws.
void UnitReady(SlgUnit& unit, SlgPair& pos);
// State 10: walk pattern and the jump toward the lift of the cell ahead; once the jump has
// landed (stepped the body's state byte), state 1 again with the walk's own step kept, so the
// leg goes on.
void UnitHeightChange(SlgUnit& unit, SlgPair& pos);
// State 11: flags 2, body stopped; SlgFallEffect until it ends; the kiai gauge (DGaugeKiai);
// when that has ended action 11 (CalcUnitAction) and state 8.
void UnitSupportFall(SlgUnit& unit, SlgPair& pos);
// State 12: flags 2 (the body plays on); SlgFallEffect2; the recovery gauge (DGaugeRecovery);
// action 12 and state 0.
void UnitSupportFall2(SlgUnit& unit, SlgPair& pos);
// State 13: loop off; SlgFlashEffect until it ends; state 8.
void UnitSupportFlash(SlgUnit& unit, SlgPair& pos);
// State 3 of kinds 4 and 11: the TELEPORT_BODY and TELEPORT_EFFECT pair (slots 18 and 19) plays
// once with the unit's body hidden; then the pair is freed and state 1 (empty for these kinds:
// the unit is unseen while it moves).
void PlayerTeleportOut(SlgUnit& unit, SlgPair& pos);
// State 4 of kinds 4 and 11: the arrival pair; then the body shown again and state 2.
void PlayerTeleportIn(SlgUnit& unit, SlgPair& pos);
// State 21: the appearance pair, a 60-frame wait, the departure pair; then the body shown and
// state 2.
void PlayerTeleportAppear(SlgUnit& unit, SlgPair& pos);
// Slots that are there but do nothing (slot 20 of players, slot 1 of kinds 4 and 11).
void UnitStateNone(SlgUnit& unit, SlgPair& pos);
