#pragma once
// Map 3's event script: the set-up of its row of the map set-up table, its event table and the
// words its handlers and its event objects share.
//
// The map words are made afresh for each stage (so they are zero when the map's events are
// installed). The opening's two signals are answered by the falling props (kinds 86-87, signal
// 1) and the zooming prop (kind 88, signal 2); the victory waits on the fanfare object (kind
// 102) and on the substitute figures (kinds 105-106).

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle_events/runtime/event_walks.h"
#include "battle_events/map_setup.h"

// The number of characters that walk into formation in the victory.
constexpr int kMap03Walkers = 6;

struct Map03Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // Signal 1: 1 the props fall, 0 again once one has left. Signal 2: 1 grow, 2 grown, 3 shrink,
  // 4 shrunk.
  int32_t signal1 = 0;
  int32_t signal2 = 0;
  // The fanfare object's stages: 0 not started, 1 playing, 2 its second pattern, 3 over.
  int32_t fanfare = 0;
  // 1 once a substitute figure has shown its unit again.
  int32_t done = 0;
  // 1 once the victory's white flash has passed: the swaying prop settles.
  int32_t sway = 0;
  // The walks' work areas: the guide's in the opening, the party's six in the victory.
  RouteWork guide_walk{};
  std::array<RouteWork, kMap03Walkers> walks{};
  // Bit n: walker n has arrived.
  int32_t arrived = 0;
  // The strike's stage (0 not prepared, 1 under way) and the character struck.
  int32_t strike = 0;
  int32_t struck = 0;
  // The white-out's stage (0 not started, 1 whitening, 2 clearing).
  int32_t white = 0;
};
Map03Words& Map03State();

// The map's set-up (row 2 of the map set-up table).
extern const MapSetup kMap03Setup;

// The number of event-object kinds the map's event-animation table covers (80-108).
constexpr int kMap03ObjectKinds = 29;
