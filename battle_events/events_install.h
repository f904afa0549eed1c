#pragma once
// The battle events' installer (battle/battle_extension.h): fills a battle's event entry table
// (battle/slg_event_entries.h). The composition root registers it.

class BattleContext;

// Fills `battle`'s event entries that the battle events supply: none yet, so every entry keeps
// the core's stand-in.
void InstallBattleEvents(BattleContext& battle);
