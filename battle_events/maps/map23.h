#pragma once
// Map 23's event script, the first stage of the final battle: a scripted scene without a fight of
// the player's. The party is shown in a flash and all but the companion leave by their exits
// (23105, or 23106 when the route heroine is BRISE); the companion then fights the guard (kind
// 29) in two scripted attacks, the enemy brings in a wall of three objects that advances on her
// three times and falls, and a still picture leads to the stage switch to map 24 (23110, or
// 23111 with the TAMVIK heroine as the companion). Ambient particles drift on a changing wind.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_battle_state.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/kit/final_kit.h"

// The guard of the companion's stand, and the group-2 walker of the scene.
constexpr int32_t kMap23GuardKind = 29;
constexpr int32_t kMap23WalkerCharacter = 48;
// The start cells of the party by route kind (halved map pixels).
extern const FinalStartCells kMap23StartCells;
// The exits: the order of the kinds and each kind's exit cell (halved), for 23105 and 23106.
struct Map23Exits {
  std::array<int8_t, 6> order;
  FinalCellRow cells;
};
extern const Map23Exits kMap23Exits105;
extern const Map23Exits kMap23Exits106;
// The exit walk's first start after the talk, the interval between two starts, and the
// companion's turn in the order.
constexpr int32_t kMap23ExitFirst = 16;
constexpr int32_t kMap23ExitGap = 24;
constexpr int32_t kMap23ExitCompanion = 1;

// The wall's advance: (48, 24) pixels over 32 frames; its fall: from 2 pixels a frame, a quarter
// more each frame, up to 16 (16.16).
constexpr int32_t kMap23AdvanceX = 48;
constexpr int32_t kMap23AdvanceY = 24;
constexpr int32_t kMap23AdvanceFrames = 32;
constexpr int32_t kMap23FallStart = 2 * 65536;
constexpr int32_t kMap23FallMax = 16 * 65536;

// The ambient drift: twelve particles on one wind.
constexpr int kMap23Particles = 12;
constexpr int kMap23History = 480;
// The wind's speed (16.16 pixels a frame): from 12 to 24 by 13107 a frame, with holds.
constexpr int32_t kMap23WindLow = 12 * 65536;
constexpr int32_t kMap23WindHigh = 24 * 65536;
constexpr int32_t kMap23WindStep = 13107;
// The particles' field: the visible area widened by 64 pixels on each side; their start range.
constexpr int32_t kMap23FieldMargin = 64;
constexpr int32_t kMap23StartRangeX = 904;
constexpr int32_t kMap23StartRangeY = 744;
constexpr int16_t kMap23ParticleDepth = static_cast<int16_t>(64446);

struct Map23Wind {
  int32_t state = 0;  // 0 start, 1 rising, 2 holding high, 3 falling, 4 holding low
  int32_t speed = 0;
  int32_t hold = 0;
  SlgPair vector{};   // this frame's drift (16.16)
};
struct Map23Particle {
  std::array<SlgPair, kMap23History> history{};
  int32_t recorded = 0;
  int64_t sum_x = 0;  // the recorded vectors' sum
  int64_t sum_y = 0;
  int32_t start_x = 0;  // 16.16 map pixels
  int32_t start_y = 0;
  int32_t x = 0;
  int32_t y = 0;
  int32_t start_frame = 0;  // the game clock's frame at its start
  int32_t running = 0;
  int32_t starts = 0;  // (re)starts so far
};

struct Map23Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  FinalRouteWorks routes{};
  FinalParty party{};
  FinalWalkers exits{};
  // The companion of the scene now playing (its unit kind, group 0).
  int32_t companion = 2;
  // 1 once the exit walk has started the music's fade.
  int32_t music_faded = 0;
  // The wall's bases (16.16 map points of kinds 83-85 or 89-91) and its fall speed (16.16).
  std::array<SlgPair, 3> bases{};
  int32_t fall_speed = 0;
  int32_t advance_phase = 0;
  int32_t fall_phase = 0;
  Map23Wind wind{};
  std::array<Map23Particle, kMap23Particles> particles{};
};
Map23Words& Map23State();

// The map's set-up (row 22 of the map set-up table).
extern const MapSetup kMap23Setup;

// The event-object kinds the map's event-animation table covers (80-91).
constexpr int kMap23ObjectKinds = 12;

// One frame of the wind, and of particle n (its restart, its history and its position) with the
// visible area's top-left corner (map pixels) and the game clock's frame.
void Map23WindStep(Map23Wind& wind);
// True when the particle (re)started on this frame.
bool Map23ParticleStep(Map23Particle& p, const Map23Wind& wind, SlgPoint corner, int32_t frame);
