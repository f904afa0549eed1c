#include "battle_events/events_install.h"

#include "battle_events/core/route_search.h"

void InstallBattleEvents(BattleContext& battle) { InstallRouteSearch(battle); }
