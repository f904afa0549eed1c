#pragma once
// Map 2's event script: the set-up of its row of the map set-up table, its event table and the
// words its handlers and its event objects share.
//
// The map words are made afresh for each stage (so they are zero when the map's events are
// installed); the signal words are written by the story's handlers and answered by the map's
// props (kinds 87-90 and 102), which the holds of the openings wait on.

#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_geometry.h"
#include "battle_events/map_setup.h"

// The map's words.
struct Map02Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The signals (the props' handshakes): the lifted prop (0 idle, 1 lift off, 2 gone, 3 set
  // down, 4 down, 5 tone-controlled), the growing prop (1 grow, 2 grown, 3 shrink, 4 shrunk),
  // the dropping props (1 drop; 0 again once one has left), the pulsing prop (1 grow, 2 grown,
  // 3 shrink, 4 gone) and the holding prop (1 grow, 2 grown).
  int32_t stretch = 0;
  int32_t grow = 0;
  int32_t drop = 0;
  int32_t pulse = 0;
  int32_t hold = 0;
  // Bits 1-4: flying figure 1-4 has arrived.
  int32_t arrival = 0;
  // The free cell points (map pixels) of the point scene and of the boss's arrival.
  SlgPoint scene_point{};
  SlgPoint boss_point{};
};
Map02Words& Map02State();

// The map's set-up (row 1 of the map set-up table).
extern const MapSetup kMap02Setup;

// The number of event-object kinds the map's event-animation table covers (80-105).
constexpr int kMap02ObjectKinds = 26;
