#pragma once
// The battle events' installer (battle/battle_extension.h): fills a battle's event entry table
// (battle/slg_event_entries.h). The composition root registers it.

class BattleContext;

// Fills `battle`'s event entries that the battle events supply: the event check (check_events,
// has_event_table, end_event_check; battle_events/core/event_check.h), the event objects'
// update (event_anm_update: EventObjStep, battle_events/event_npc.h), the message without a key
// (event_message_no_wait, battle_events/event_messages.h) and the five unit effects
// (battle_events/runtime/shared_effects.h), and makes the events' state blocks, the route
// search's among them (so that no route search allocates). The other entries keep the core's
// stand-ins; the map set-up's among them, so no map installs a table yet (tests install theirs
// through the set-up stand-in's call, testsupport/event_tables.h).
void InstallBattleEvents(BattleContext& battle);
