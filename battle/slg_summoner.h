#pragma once
// The summoner's state the unit-state code resets: its opening flag (Battle().summoner_opening).

// Clears the summoner's opening flag (Satan's first frame calls it).
void SummonerReset();
