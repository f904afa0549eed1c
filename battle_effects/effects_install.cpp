#include "battle_effects/effects_install.h"

#include "battle_effects/attack_dispatch.h"

void InstallBattleEffects(BattleContext& battle) { InstallAttackDispatch(battle); }
