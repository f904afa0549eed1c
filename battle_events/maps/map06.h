#pragma once
// Map 6's event script: the set-up of its row of the map set-up table, its event table and the
// words its handlers share. The commander's menu, the bombardment, the reaction lines, the
// victory wait and the mechanism's objects are the shared scenes of
// battle_events/maps/commander_scenes.h, given this map's numbers.
//
// The map words are made afresh for each stage (so they are zero when the map's events are
// installed).

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_geometry.h"
#include "battle_events/map_setup.h"

struct RouteWork;

// The opening's route work areas (routes 1-6) and the victory's two.
constexpr int kMap06OpeningRoutes = 6;
constexpr int kMap06VictoryRoutes = 2;

struct Map06Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  std::array<RouteWork*, kMap06OpeningRoutes> routes{};
  std::array<RouteWork*, kMap06VictoryRoutes> victory_routes{};
  // Bit n: walker n of a walk together has arrived.
  int32_t arrived = 0;
  // The victory: heroine 4's leg (0-3, 3 arrived), heroine 1 arrived, the volley over.
  int32_t leg = 0;
  int32_t partner_arrived = 0;
  int32_t volley_done = 0;
};
Map06Words& Map06State();

// The map's set-up (row 5 of the map set-up table).
extern const MapSetup kMap06Setup;

// The number of event-object kinds the map's event-animation table covers (80-114).
constexpr int kMap06ObjectKinds = 35;
// The opening's fixed sprite (map pixels) and its animations before and after the bombardment.
constexpr int32_t kMap06FixedX = -896;
constexpr int32_t kMap06FixedY = 512;
constexpr uint32_t kMap06FixedBefore = 114;
constexpr uint32_t kMap06FixedAfter = 113;
// The four cells the bombardment opens (map pixels).
inline constexpr std::array<SlgPoint, 4> kMap06OpenedCells = {
    {{960, 624}, {1008, 608}, {1008, 648}, {1064, 624}}};
