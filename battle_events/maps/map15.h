#pragma once
// Map 15's event script: a short story stage of three chained events. The camera settles on the
// unit of group 2, character 18 (15101); map plane 1 is switched off, picture 209 opens a talk,
// the seven arrival figures (80-86) appear while the party (kinds 7-13) is hidden, and a closing
// talk leaves out the line of the heroine P[83] names (15102); plane 1 comes back with sound
// effects, the screen fades out and the battle switches to stage 15 (15103).

#include <cstdint>

#include "battle/battle_extension.h"
#include "battle_events/map_setup.h"

struct Map15Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The local frame timer: its length (60 Hz frames) and its start (game clock ms).
  int32_t timer_frames = 0;
  uint32_t timer_start = 0;
  // The heroine whose closing line is left out (1-6).
  int32_t partner = 1;
};
Map15Words& Map15State();

// The heroine P[83] names: (1, 1, 2, 3, 6, 4, 5)[P[83]], 1 for a value outside 0-6.
int32_t Map15Partner(int32_t p83);

// The map's set-up (row 14 of the map set-up table).
extern const MapSetup kMap15Setup;
