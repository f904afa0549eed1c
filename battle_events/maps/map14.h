#pragma once
// Map 14's event script: the battle against the boss of kind 28. The opening hides the party
// (kinds 7-13), shows picture 208 with its talk, brings in the party's arrival figures (81-87
// played once, 88-94 held until resumed) and lets the figure of kind 95 squeeze away, reappear
// at (1408, 376) and fade out. During the battle each character's first action gives a line
// until the boss music (flag 105) starts, the favourite and the partner heroine comment on the
// command MAD, and a timed choice (flag 910) changes the boss's stats. Once the boss's life is 0
// and its exit sequence has ended (flag 198), every enemy is destroyed and the battle is won.

#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_units.h"
#include "battle_events/map_setup.h"

// The event-object kinds the event-animation table covers (80-95).
constexpr int kMap14ObjectKinds = 16;
// The squeezing figure's phases (its state byte).
enum : uint8_t {
  kMap14SqueezeStart = 2,   // raised by the opening
  kMap14Squeezing = 3,
  kMap14Growing = 4,
  kMap14Standing = 5,
  kMap14FadeStart = 6,      // raised again by the opening
  kMap14Fading = 7,
  kMap14FadeHold = 8,
  kMap14FadeDone = 9,
};
// Where the figure reappears (pixels).
constexpr int32_t kMap14TeleportX = 1408;
constexpr int32_t kMap14TeleportY = 376;
// The boss's kind and the flag that makes it follow the hero (set on the third answer).
constexpr int32_t kMap14BossKind = 28;
constexpr int kMap14FollowFlag = 902;

struct Map14Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The squeezing figures' zoom (16.16) and the zoom their current phase started from.
  SlgPair zoom{};
  SlgPair saved{};
  // The victory found no boss record when it started.
  bool no_boss = false;
};
Map14Words& Map14State();

// The map's set-up (row 13 of the map set-up table).
extern const MapSetup kMap14Setup;
