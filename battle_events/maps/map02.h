#pragma once
// Map 2's event script: the set-up of its row of the map set-up table, its event table and the
// words its handlers and its event objects share.
//
// The map words are made afresh for each stage (so they are zero when the map's events are
// installed); the signal words are written by the story's handlers and answered by the map's
// props (kinds 87-90 and 102), which the holds of the openings wait on.

#include <cstdint>
#include <vector>

#include "battle/battle_extension.h"
#include "battle/slg_units.h"
#include "battle/slg_geometry.h"
#include "battle_events/map_setup.h"

// A prop's timed motion: its position (16.16 map pixels), zoom (16.16, 65536 full size) and
// speed, as they are now and as they were at the motion's start.
struct Map02Motion {
  SlgPair pos;
  SlgPair zoom;
  int32_t speed = 0;
};
struct Map02Prop {
  Map02Motion now;
  Map02Motion saved;
  // The lifted prop's bob: its centre (16.16) and phase (0-511).
  SlgPair bob_centre;
  int32_t bob_phase = 0;
  // A flying figure's target and velocity a frame (16.16).
  SlgPair target;
  SlgPair velocity;
};

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
  // The depths the dropping props (shared: the last one placed sets it) and the growing prop are
  // drawn at.
  int32_t drop_depth = 0;
  int32_t grow_depth = 0;
  // The props' motion records (a prop's unit keeps its record's number), one per prop placed in
  // the stage.
  std::vector<Map02Prop> props;
};
Map02Words& Map02State();

// The map's set-up (row 1 of the map set-up table).
extern const MapSetup kMap02Setup;

// The number of event-object kinds the map's event-animation table covers (80-105).
constexpr int kMap02ObjectKinds = 26;
