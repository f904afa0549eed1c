#pragma once
// Map 10's event script: the party's arrival, the heroines' talks in the order of their second
// variable and the split of the party into the group that goes on with the hero and the group
// that stays, written into the story's variables before the battle switches to map 11 (stage
// 10).
//
// The map task "Slg::Map10::lips_exeflag_cntrl" releases the talks one at a time (flags 411-416)
// while no event runs; once a group holds three heroines it closes the talks (flag 420), which
// starts the split, and ends itself.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_geometry.h"
#include "battle_events/map_setup.h"
#include "battle_events/runtime/event_walks.h"

constexpr int kMap10Heroines = 6;
// The story variable of heroine h (index h - 1): 1 when she goes on with the hero, 0 when she
// stays. Map 11 reads them.
inline constexpr std::array<int, kMap10Heroines> kMap10GoingVar = {17, 27, 37, 57, 67, 47};
// The walkers of the split: the hero and the going group.
constexpr int kMap10Walkers = 4;
// The flags of the talks: 410 + h released, 420 + h held; 420 closes them.
constexpr int kMap10ReleaseFlag = 410;
constexpr int kMap10ClosedFlag = 420;
// The heroines a group holds when it is full.
constexpr int kMap10GroupFull = 3;

struct Map10Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The heroines by place (index 0 the first to talk), and each heroine's place 1-6 (index h).
  std::array<int32_t, kMap10Heroines> order{};
  std::array<int32_t, kMap10Heroines + 1> place{};
  // Non-zero once heroine h's talk has started (index h).
  std::array<int32_t, kMap10Heroines + 1> talked{};
  // The two groups, in the order the heroines joined them.
  std::array<uint16_t, kMap10Heroines> going{};
  int32_t going_count = 0;
  std::array<uint16_t, kMap10Heroines> staying{};
  int32_t staying_count = 0;
  // The split: the next farewell (index into the staying group), the walkers (characters), their
  // targets (map pixels), work areas and arrivals (bit n: walker n has arrived).
  int32_t farewell = 0;
  int32_t walkers = 0;
  std::array<int32_t, kMap10Walkers> walker{};
  std::array<SlgPoint, kMap10Walkers> target{};
  std::array<RouteWork, kMap10Walkers> walks{};
  int32_t arrived = 0;
};
Map10Words& Map10State();

// The map's set-up (row 9 of the map set-up table).
extern const MapSetup kMap10Setup;

// The event-object kinds the map's event-animation table covers (80-94).
constexpr int kMap10ObjectKinds = 15;
