#pragma once
// The attack effects' installer (battle/battle_extension.h): fills a battle's attack routines,
// the kinds' rows of the attack table, the Satan entry, the combination rows and the hero kinds'
// cover move in slot 14 of the player state table. The composition root registers it.

class BattleContext;

// Fills `battle`'s entries that the attack effects supply: every kind's attack row, the Satan
// entry, the combination rows and the cover move (InstallAttackDispatch,
// battle_effects/attack_dispatch.h), with the dispatch's per-battle block.
void InstallBattleEffects(BattleContext& battle);
