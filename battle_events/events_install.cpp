#include "battle_events/events_install.h"

#include "battle_events/runtime/shared_effects.h"

void InstallBattleEvents(BattleContext& battle) { InstallSharedEffects(battle); }
