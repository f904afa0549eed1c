#pragma once
// Map 12's event script: the escape battle. The opening strengthens the party and the four
// guards (kind 17), shows the arrival figures and makes four figures vanish one after another
// (kinds 87-90, squeezed flat) while the camera visits each. A special action by any character
// brings the favourite's line; from the second turn a talk marks the next phase. Once every
// present character stands beyond the line through (1200, 480) their life and kiai go into the
// story variables (read back by map 13), a movie plays and the battle switches to stage 12.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_units.h"
#include "battle_events/map_setup.h"

// Player characters 0-6 and the story variables of their life and kiai at the escape.
constexpr int kMap12Characters = 7;
inline constexpr std::array<int, kMap12Characters> kMap12LifeVar = {75, 15, 25, 35, 55, 65, 45};
inline constexpr std::array<int, kMap12Characters> kMap12KiaiVar = {76, 16, 26, 36, 56, 66, 46};

// The guards the opening strengthens: the first four units of this kind in record order.
constexpr int32_t kMap12GuardKind = 17;
constexpr int kMap12Guards = 4;

// The vanishing figures: kinds 87-90, their slot by character byte 0-3 (the unit's state byte
// is the phase: 2, raised by the opening, starts the squeeze; 3 once released).
constexpr int32_t kMap12FirstFigureKind = 87;
constexpr int kMap12FigureSlots = 4;
constexpr uint8_t kMap12FigureSqueeze = 2;
constexpr uint8_t kMap12FigureGone = 3;

struct Map12Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The zoom pair of each figure slot (16.16; 65536 full size).
  std::array<SlgPair, kMap12FigureSlots> zoom{};
};
Map12Words& Map12State();

// The map's set-up (row 11 of the map set-up table).
extern const MapSetup kMap12Setup;

// The event-object kinds the map's event-animation table covers (80-94).
constexpr int kMap12ObjectKinds = 15;
