#pragma once
// The short enemy programs' own words (battle/slg_short_programs.h): the spawn flags of kinds 43
// and 44. Data only; BattleContext holds one, zero-filled per battle.

#include <cstdint>

struct SlgShortProgramsState {
  uint8_t spawn_43 = 0;  // kind 43's spawn under way
  uint8_t spawn_44 = 0;  // kind 44's own
};
