#pragma once
// The summoner and stationary programs' own words (battle/slg_summon.h). Data only;
// BattleContext holds one. The summoner's opening flag is Battle().summoner_opening (cleared by
// SummonerReset) and the attack variant is the attack frame's attack kind
// (Battle().attack.attack_kind), which the Satan attack routine reads.

#include <cstdint>

// The frames of the summon sequence, at 60 a second on the game clock.
constexpr int kSummonWaitFrames = 60;  // before the first summon
constexpr int kSummonFadeFrames = 31;  // each summoned unit's fade in

struct SlgSummonState {
  // The one-turn gate: set while a kind-45 unit's action runs, cleared at its end.
  uint8_t stationary_gate = 0;
  // The slot of the unit the sequence summoned last (255 none).
  uint8_t summoned = 255;
  // The game clock (ms) at the start of the current wait or fade.
  uint32_t start = 0;
};
