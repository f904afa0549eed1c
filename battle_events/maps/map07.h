#pragma once
// Map 7's event script: the set-up of its row of the map set-up table, its event table and the
// words its handlers share. The opening walks the party and three soldiers along fixed paths as
// battle tasks of their own ("long moves") while a camera path runs in the opening's handler;
// the falling parts, the growing mechanism and the decoration are the shared objects of
// battle_events/maps/commander_scenes.h.
//
// The map words are made afresh for each stage (so they are zero when the map's events are
// installed).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "battle/battle_extension.h"
#include "battle/slg_geometry.h"
#include "battle_events/map_setup.h"

// A camera path: points (map pixels) each with its speed (pixels a frame), after a start delay.
struct Map07PathPoint {
  int32_t x = 0, y = 0;
  int32_t speed = 0;
};

struct Map07Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The long moves running, and the counter that names them.
  int32_t moves_running = 0;
  int32_t moves_started = 0;
  // The camera path: its points, its delay, the frames it has run, the point it moves to
  // (path.size() once it has ended) and whether that point's move was given.
  std::span<const Map07PathPoint> path{};
  int32_t path_delay = 0;
  int32_t path_frames = 0;
  int32_t path_at = 0;
  int32_t path_moving = 0;
};
Map07Words& Map07State();

// The map's set-up (row 6 of the map set-up table).
extern const MapSetup kMap07Setup;

// The number of event-object kinds the map's event-animation table covers (80-92).
constexpr int kMap07ObjectKinds = 13;
// The name format of the long-move tasks.
inline constexpr const char* kMap07LongMoveName = "setLongMoveCtrlAct: %d";

// The leader choice's rule: 120 (heroine 2 leads), 125 (heroine 6) or 0 (neither), from the
// trust of heroines 2 and 6.
int32_t Map07LeaderFlag(int32_t trust2, int32_t trust6);
// A stat byte moved by `delta`, held to 0 .. 255.
uint8_t Map07ShiftStat(uint8_t value, int32_t delta);

// One frame of the camera path (nothing once it has ended); 1 once it has passed its last point.
int Map07AdvancePath();
