#pragma once
// Event objects: the people, animals and props the map scripts put on the map. They are unit
// records of the battle core with a kind of 80-143 and category 3, made from the stage's
// placement list by the deploy operations (battle_events/event_units.h). Their pictures are the
// EventAnm.TAB animations of their kind; their behaviour is the current map's event-animation
// table, one handler per kind, which the map's set-up installs (SetEventAnmTable) after its event
// table (StartEventCheck).
//
// Each frame the core updates every shown live unit through its category's entry; category 3's
// (SlgEventAnmUpdate, through the event entry table) is EventObjStep, which drives the object's
// deploy state:
//
//   EventDeployEntry -> 1 --first step--> 2 (the handler runs in that frame and every frame after)
//   EventUndeployKind: 2 -> 3 --next step--> EventObjFree (the slot removed); 1 -> 0 (never run,
//   the record stays as it is)
//
// The event NPC animations (the EventAnm.TAB entries 80-143 of the battle map) are held from the
// install of a map's events (EventNpcLoad, by StartEventCheck) to their end (EventNpcFree, by
// EndEventCheck).

#include <array>
#include <bitset>
#include <cstdint>
#include <span>

#include "battle/battle_extension.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_tables.h"

struct SprAnm;

// Deploy states (SlgUnit::deploy_state).
constexpr uint8_t kEventObjNotDeployed = 0;
constexpr uint8_t kEventObjDeployed = 1;  // deployed this frame: the first step starts it
constexpr uint8_t kEventObjRunning = 2;   // its handler runs each frame
constexpr uint8_t kEventObjLeaving = 3;   // the next step frees it

// A handler of the event-animation table: called once a frame for each running event object of
// its kind, with the unit and its drawing position (16.16 about the screen centre, the lift taken
// off; the handler may change its copy). Its result is not used.
using SlgEventAnmHandler = int (*)(SlgUnit& unit, SlgPair& position);

// The event objects' state in a battle (Battle().Extension<SlgEventNpcState>()), kept for the
// whole battle.
struct SlgEventNpcState {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;

  // SlgEventAnmTable: the current map's handlers, entry i for kind 80 + i, and their count;
  // empty when none is current. The map keeps the array.
  std::span<const SlgEventAnmHandler> anm_table;
  // EventNpcAnmTable: the EventAnm animation of NPC id 80 + i (null for none), held from
  // EventNpcLoad to EventNpcFree.
  std::array<SprAnm*, kSlgEventAnmCount> npc_anm_table{};
  // The kinds traced as having no handler since the table was set (one trace per kind).
  std::bitset<256> traced;
};

// The current battle's block.
SlgEventNpcState& EventNpcState();

// Makes `table` the current event-animation table (empty: none). The event check's install and
// end (StartEventCheck, EndEventCheck) make none current, so a map that installs no table runs
// no handler of the map before it.
void SetEventAnmTable(std::span<const SlgEventAnmHandler> table);
// Whether a unit of this kind is an event object the current table has no handler for (kind
// 80 or more, at or beyond 80 + the table's count): such a kind is not deployed.
bool EventKindBeyondTable(int kind);

// Clears the event runtime's state block (battle_events/event_runtime_state.h), then takes the
// EventAnm animations of NPC ids 80-143 (GetEventAnm) into EventNpcAnmTable; animations still
// held from an earlier install are released first. Called by StartEventCheck.
void EventNpcLoad();
// Releases the 64 animations (ReleaseEventAnm). Called by EndEventCheck.
void EventNpcFree();

// The set-up of an event object just made from its placement entry (EventDeployEntry): the
// EventAnm animation of its kind into its first animation slot (LoadUnitEventAnm; when there is
// none, "NPCID:%d is not described in EventAnm Table!\n" with kind - 80 is traced and the set-up
// goes on), both object pointers cleared, EventObjInit at the entry's position with n = 0, and
// the body object's attribute word := the entry's word at bytes 10-11 (16 mirrored; the
// placement number in the high byte).
void EventObjSetup(SlgUnit& unit);
// The unit at (x, y) (16.16), its elapsed word (walk) 0, a body object from the pool
// (CreateAnmObj: animation 0, attribute 0, n) with its flags (play-mode byte) 0, state 0. No body
// object when the pool is full.
void EventObjInit(SlgUnit& unit, int32_t x, int32_t y, int n);
// The per-frame update of category 3, by deploy state: 1 -> 2 and the handler called in the same
// frame; 2 the handler; 3 EventObjFree; others nothing. Before a handler call the body object's
// `now` := the game clock and `frames` := (now - start_time) x 60 / 1000. The handler's result,
// or 0 when none is called: no table current, or a kind the table has no handler for (below 80,
// beyond its count, or a null entry; traced once per kind).
int EventObjStep(SlgUnit& unit, const SlgPair& position);
// Frees both animation objects, clears the deploy state and removes the unit's slot
// (Slg::RemoveUnit: the later records move down one). The record is another unit's after it.
void EventObjFree(SlgUnit& unit);
