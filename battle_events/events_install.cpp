#include "battle_events/events_install.h"

void InstallBattleEvents(BattleContext& /*battle*/) {}
