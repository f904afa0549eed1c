#pragma once
// The battle events' installer (battle/battle_extension.h): fills a battle's event entry table
// (battle/slg_event_entries.h). The composition root registers it.

class BattleContext;

// Fills `battle`'s event entries that the battle events supply: the five unit effects
// (battle_events/runtime/shared_effects.h); the others keep the core's stand-ins.
void InstallBattleEvents(BattleContext& battle);
