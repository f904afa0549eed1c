#include "battle/slg_summoner.h"

#include "battle/battle_context.h"

void SummonerReset() { Battle().summoner_opening = 0; }
