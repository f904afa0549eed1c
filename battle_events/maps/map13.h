#pragma once
// Map 13's event script: the escape of map 12 goes on. At the first turn start the life and
// kiai map 12 wrote into the story variables (kMap12LifeVar, kMap12KiaiVar) are put back into the
// party; a character who left map 12 without life is taken off the map and her fall marked as
// done. A white flash and the fade of map plane 1 open the battle. Once no enemy of group GZA
// remains the favourite speaks, the hero is brought to life 1 and a closing talk plays under
// sound effects at random intervals before the victory.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle_events/map_setup.h"

// The flag set for a character restored with life 0 (characters 0-6): her fall's guard flag.
inline constexpr std::array<int, 7> kMap13DownFlag = {999, 500, 501, 502, 503, 505, 504};
// Map plane 1's x offset at the opening.
constexpr int32_t kMap13PlaneX = 1024;
// The closing talk's sound effect and the shortest interval between two (frames; up to 63 more).
constexpr int kMap13ClosingSe = 277;
constexpr int32_t kMap13SeInterval = 64;

struct Map13Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The closing talk's current interval and the frames counted since the last draw.
  int32_t delay = 0;
  int32_t waited = 0;
};
Map13Words& Map13State();

// The map's set-up (row 12 of the map set-up table).
extern const MapSetup kMap13Setup;
