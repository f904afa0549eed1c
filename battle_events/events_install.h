#pragma once
// The battle events' installer (battle/battle_extension.h): fills a battle's event entry table
// (battle/slg_event_entries.h). The composition root registers it.

class BattleContext;

// Fills `battle`'s event entries that the battle events supply: the event check (check_events,
// has_event_table, end_event_check; battle_events/core/event_check.h), the map set-up
// (setup_map_event: the battle's rows, battle_events/map_setup.h), the fixed sprites' tone
// (fix_task_update_all, battle_events/fix_task.h), the event objects' update (event_anm_update:
// EventObjStep, battle_events/event_npc.h), the message without a key (event_message_no_wait,
// battle_events/event_messages.h) and the five unit effects (battle_events/runtime/
// shared_effects.h), and makes the events' state blocks, the route search's and the map set-up
// rows among them (so that no route search allocates, and a test may fill a row first).
void InstallBattleEvents(BattleContext& battle);
