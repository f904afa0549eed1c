#pragma once
// The attack effects' installer (battle/battle_extension.h): fills a battle's attack routines,
// the kinds' rows of the attack table, the Satan entry, the combination rows and the hero kinds'
// cover move in slot 14 of the player state table. The composition root registers it.

class BattleContext;

// Fills `battle`'s entries that the attack effects supply: none yet, so every row keeps the
// core's answer (an empty row ends the attack at once).
void InstallBattleEffects(BattleContext& battle);
