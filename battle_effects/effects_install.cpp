#include "battle_effects/effects_install.h"

void InstallBattleEffects(BattleContext& /*battle*/) {}
