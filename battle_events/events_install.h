#pragma once
// The battle events' installer (battle/battle_extension.h): fills a battle's event entry table
// (battle/slg_event_entries.h). The composition root registers it.

class BattleContext;

// Fills `battle`'s event entries that the battle events supply: the event check (check_events,
// has_event_table, end_event_check; battle_events/core/event_check.h) and makes the event check's
// state block. The other entries keep the core's stand-ins; the map set-up's among them, so no
// map installs a table yet (tests install theirs through the set-up stand-in's call,
// testsupport/event_tables.h).
void InstallBattleEvents(BattleContext& battle);
