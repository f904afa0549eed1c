#pragma once
// The unit primitives of the map scripts: they find units, deploy units from the stage's
// placement list and take them off again, and change a unit's flags, state, direction, place and
// animations, directly on the core's unit records (Battle().state.units, slots 0 .. unit count -
// 1) and on the loaded stage table. They keep no state and return at once.
//
// Keys by which scripts name a unit (every look-up scans the slots from 0 and returns the first
// match, or null; a record removed by EventRemoveUnit, step 255, still matches):
//   kind                  FindUnitByKind(kind)
//   kind and number       FindUnitByIndex(kind, number x 256): the number of its placement entry
//                         among the entries of its kind (StageUnitEntry::placement_number)
//   group and character   FindUnitByGroupKind(group, character) (the core's, battle/slg_events.h)
//
// Every operation on a unit does nothing for a missing one. The operations that set a state
// leave a removed record (step 255) alone: SetUnitState clears the step, which would bring it
// back into the conditions' counts.
//
// The placement helpers that the core uses too (EventObjCellWord, EventObjSetCellWord,
// EventObjHeightLift, EventObjSetHeightLift, EventObjShadeMode, EventObjSetDepth, EventObjPlace)
// and EventRemoveUnit are the core's (battle/slg_events.h).

#include <cstdint>

#include "battle/slg_units.h"

struct SlgUnit;

// ---- Look-ups ----
SlgUnit* FindUnitByKind(int32_t kind);
SlgUnit* FindUnitByIndex(int32_t kind, int32_t number);

// ---- Positions ----
// The unit moved to the pixel point CellToPosHeight gives for its position (the snapped point
// lifted by its cell's height), in whole pixels.
void EventObjSnap(SlgUnit& unit);
// The unit's drawing position (16.16 about the screen centre): x - (scroll x + 320),
// y - (scroll y + 216) - lift.
SlgPair EventObjScreenPos(const SlgUnit& unit);

// ---- Deploying and removing ----
// The kind of a placement entry is its class's kind. The deploys walk the whole list in order,
// so two entries of a kind are both deployed, into the next free slots.
// EventDeployEntry for every entry of the kind.
void EventDeployKind(int32_t kind);
// EventDeployEntry for every entry of the kind with that character byte.
void EventDeployKindNo(int32_t kind, int32_t character);
// An event object from placement entry n: Slg::CreateUnit, deploy state 1, EventObjSetup.
// Refused (traced, nothing made) for a kind the current event-animation table has no handler
// for (EventKindBeyondTable), and when CreateUnit refuses (64 units, an unusable entry).
void EventDeployEntry(int32_t n);
// Every entry of the kind made and placed as an ordinary unit (Slg::CreateUnit, Slg::PlaceUnit),
// then the current unit number set back to its saved copy (Slg::ResetCurrentUnit).
void EventRedeployKind(int32_t kind);
// The same for the first entry of the kind with that placement number (number x 256).
void EventRedeployKindNo(int32_t kind, int32_t number);
// Every unit of the kind running (deploy state 2) is to be removed (3); one deployed this frame
// (1) is not deployed any more (0): its handler never runs and its record stays.
void EventUndeployKind(int32_t kind);
// The same for the units of the kind with that character byte.
void EventUndeployKindChara(int32_t kind, int32_t character);
// EventRemoveUnit on the unit of that group and character / kind and number x 256.
void EventRemoveChara(int32_t group, int32_t character);
void EventRemoveKindNo(int32_t kind, int32_t number);
// The pixel position of the first placement entry of the kind (nothing when none): a later
// deploy of that entry puts the unit there.
void EventSetKindPlaceCell(int32_t kind, int32_t x, int32_t y);
// The same for the first entry of the kind with that placement number (number x 256); nothing
// when no entry has it.
void EventSetKindNoPlaceCell(int32_t kind, int32_t number, int32_t x, int32_t y);

// ---- Flags, state, direction, animations ----
// Flag word |= bits; exactly 0x80 also shows the unit (Slg::ShowUnit).
void EventSetUnitFlag(SlgUnit* unit, uint32_t bits);
// Flag word &= ~bits; exactly 0x80 also hides the unit (Slg::HideUnit).
void EventClearUnitFlag(SlgUnit* unit, uint32_t bits);
// The same on the first unit of the kind.
void EventSetKindFlag(int32_t kind, uint32_t bits);
void EventClearKindFlag(int32_t kind, uint32_t bits);
// Flag 0x40000 (the event mark) on the unit of that kind and number x 256.
void EventMarkKindNo(int32_t kind, int32_t number);
// SetUnitState on the unit of that kind and number x 256 unless it is missing or removed.
void EventSetKindNoState(int32_t kind, int32_t number, uint8_t state);
// The player unit of that character (group 0) turned to `dir` (Slg::SetUnitDir) and put in
// state 0, unless it is missing or removed.
void EventSetCharaDir(int32_t character, uint32_t dir);
// The unit's cell cleared, the unit put on the snapped point of (x, y) (pixels) with that cell's
// word and lift, its depth from its position, its direction byte `dir`, and entered on the new
// cell (SetUnitCell: with flag 0x2000).
void EventPlaceUnitAt(SlgUnit* unit, int32_t x, int32_t y, uint32_t dir);
// Every unit of the kind with a body object: its start-stopped bit cleared and its animation
// resumed (CDdrawAnime::SetStop 0).
void EventResumeKindAnm(int32_t kind);
// Animation slots 5 and 6 (the attack pair) loaded; 1.
int EventLoadUnitExtraAnm(SlgUnit* unit);
int EventLoadKindNoExtraAnm(int32_t kind, int32_t number);
int EventLoadCharaExtraAnm(int32_t group, int32_t character);
// LoadUnitEventAnm on the first unit of the kind.
void EventLoadKindEventAnm(int32_t kind);
