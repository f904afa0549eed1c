#pragma once
// What the battle uses of the battle events, in one module under their names: the event flags
// and the event unit references (kept for good), the battle's access to the script variables,
// the unit look-up and placement, and the calls whose bodies the battle events supply: the event
// check, the map event set-up and end, the fixed sprites' tone, the self-closing message and the
// event objects' update. Those forward to the current battle's event entry table
// (battle/slg_event_entries.h), whose entries answer as the stand-ins below until the events'
// installer fills them.

#include <cstdint>

#include "battle/slg_battle_state.h"

constexpr int kEventFlagCount = 2048;

// 1 when event flag n is set, else 0; an id outside 0-2047 reads as set.
int CheckEventFlag(int32_t n);
// Set or clear event flag n; ids above 2047 (negative ones passed through, which become large)
// are ignored.
void SetEventFlag(uint32_t n);
void ClearEventFlag(uint32_t n);

// Trust of heroine 1-6: P[n] - 32768 with n = 11, 21, 31, 51, 61, 41; any other character
// reads P[11].
int GetTrustVar(int character);
// Script variable P[n] of the game (Game()). n comes from condition strings and scripts: one
// outside 0-99 reads 0 and writes nothing, with a trace (GetMacroP, SetMacroP).
uint16_t SlgGetMacroP(int n);
void SlgSetMacroP(int n, uint16_t value);

// The per-frame event check: 0 while a command holds the map (SlgCmdBusy); else the entry's
// answer (stand-in: 0).
int CheckEvents();
// 1 when the map has an event table (stand-in: Battle().event_stand_ins.has_table, which tests
// set).
int HasEventTable();
// Ends the event check at a battle's end (stand-in: nothing but telling
// Battle().event_stand_ins.on_call).
void EndEventCheck();
// Applies a tone word to every fixed event sprite (stand-in: nothing).
void FixTaskUpdateAll(uint32_t tone);
// The first record of that side (group) and character, any step (dead records included); null
// when none. (Despite the name it keys on the character, as its callers do: the event scripts and
// SlgDebugHealPlayers. The first unit of a side and kind is the events' FindGroupKindUnit.)
SlgUnit* FindUnitByGroupKind(int group, int character);
// The character of the unit in the first event unit reference; -1 when it names no record in
// use (65535, 64 or more, or at or beyond the unit count after a removal).
int GetEventUnitChara();
// Shows battle message `message` with event face `face` for as long as its text takes to type,
// without waiting for a key; 0 while it shows, 1 once it has closed (stand-in: 1 at once).
int EventMessageNoWait(int face, int message);
// The per-frame update of an event animation object (category 3; stand-in: nothing).
void SlgEventAnmUpdate(SlgUnit& unit, const SlgPair& screen);

// ---- Placing a unit on its cell after a scripted move (the event objects' placement) ----
// The cell word of the first grid under the unit's snapped position (SnapPosToCell, PosToCell).
uint32_t EventObjCellWord(const SlgUnit& unit);
// The same, kept in the unit (cell_attr).
void EventObjSetCellWord(SlgUnit& unit);
// The lift of the unit's kept cell word: its height level (low 5 bits) x 48 pixels, 16.16.
int32_t EventObjHeightLift(const SlgUnit& unit);
// The same, kept in the unit (lift).
void EventObjSetHeightLift(SlgUnit& unit);
// The body object's shade from the kept cell word: 16384 on a cell with a bit of 0x30000, else
// 8192. Nothing without a body object.
void EventObjShadeMode(SlgUnit& unit);
// The body object's depth (and its animation's priority) from the unit's position
// (SetAnmPriByPos). Nothing without a body object.
void EventObjSetDepth(SlgUnit& unit);
// Places the unit again after its position changed: EventObjSetDepth, EventObjSetCellWord,
// EventObjSetHeightLift, EventObjShadeMode, in that order.
void EventObjPlace(SlgUnit& unit);

// ---- Unit removal and the destruction of the minor enemies ----
// (Kept here for the battle events to take over.)
// When the record is given: its cell cleared (ClearUnitCell), both animation objects freed
// (FreeAnmObj) and their pointers cleared, step := 255 (dead). The slot stays in the list.
void EventRemoveUnit(SlgUnit* unit);
// The enemies (side 1, step not 255) blink 30 times, hidden and shown once every two frames,
// then are removed (EventRemoveUnit). 0 each frame, 1 on the frame they were removed.
int EventDestroyEnemies();
// Its phase back to 0.
void EventDestroyEnemiesReset();
// ---- end of unit removal ----

namespace Slg {
// Installs the map's events (stand-in: nothing but telling Battle().event_stand_ins.on_call).
void SetupMapEvent(int map);
}  // namespace Slg
