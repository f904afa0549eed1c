#pragma once
// Map 25's event script, the third stage of the final battle: a scripted scene without a fight of
// the player's. The party is shown in a flash (25105, or 25106 when the route heroine is
// TEZAVI); then the party walks in, the boss (kind 30) drops onto the field and strikes every
// member in turn, the companion grapples with it while the others run for the exit, the boss
// strikes the companion, large objects appear and a still picture leads to the stage switch to
// map 26 (25110, or 25111 with the TAMVIK heroine as the companion when LUNET is the route
// heroine).

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_battle_state.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/kit/final_kit.h"

// The boss of the scene.
constexpr int32_t kMap25BossKind = 30;
// The start cells of the party by route kind (halved map pixels).
extern const FinalStartCells kMap25StartCells;
// The walk-in cell of a member: its start cell moved by (240, -120) (halved).
constexpr int32_t kMap25WalkInX = 240;
constexpr int32_t kMap25WalkInY = -120;
// The camera's point during the walk-in; the companion's y (map pixels) below which the first
// scroll stops being driven.
constexpr int32_t kMap25CameraX = 680;
constexpr int32_t kMap25CameraY = 128;
constexpr int32_t kMap25ScrollUntilY = 416;
// The boss's descent: from a lift of 256 pixels, 4 pixels a game-clock frame (16.16).
constexpr int32_t kMap25BossLift = 256 * 65536;
constexpr int32_t kMap25DescentStep = 4 * 65536;
// The companion's grapple point, and the exit the others run to (map pixels).
constexpr SlgPoint kMap25Grapple{1104, 288};
constexpr SlgPoint kMap25Exit{1392, 192};
// The gap between two starts of the run to the exit (frames).
constexpr int32_t kMap25ExitGap = 32;

// The grapple shake: eight offsets (pixels) applied in turn to the companion and the boss, each
// then held for its frames of the game clock.
struct Map25ShakeEntry {
  int8_t dx;
  int8_t dy;
  int16_t hold;
};
inline constexpr std::array<Map25ShakeEntry, 8> kMap25Shake = {{
    {2, -1, 16}, {2, -1, 16}, {2, -1, 16}, {2, -1, 32},
    {-2, 1, 16}, {-2, 1, 16}, {-2, 1, 16}, {-2, 1, 32},
}};
struct Map25Shake {
  int32_t index = 0;   // the next offset
  int32_t hold = 0;    // frames of the current hold
  int32_t from = 0;    // the game clock's frame at the hold's start
  int32_t moves = 0;   // offsets applied so far
};

struct Map25Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  FinalRouteWorks routes{};
  FinalParty party{};
  FinalWalkers walkers{};
  // The companion of the boss scene now playing (its unit kind, group 0).
  int32_t companion = 3;
  // Kind 4's walk-in point (map pixels).
  SlgPoint kind4_cell{};
  // The descent: the lift noted and the game clock's frame at its start; 1 once landed.
  int32_t lift_noted = 0;
  int32_t descent_from = 0;
  int32_t landed = 0;
  // The strike loop: the index into the party list, and the kind being struck.
  int32_t strike = 0;
  int32_t struck = -1;
  // Frames the strike has waited for its hit.
  int32_t hit_wait = 0;
  Map25Shake shake{};
};
Map25Words& Map25State();

// The map's set-up (row 24 of the map set-up table).
extern const MapSetup kMap25Setup;

// The event-object kinds the map's event-animation table covers (80-83).
constexpr int kMap25ObjectKinds = 4;

// The boss's line for each member kind struck (face, message).
inline constexpr std::array<std::array<uint16_t, 2>, 7> kMap25StrikeLines = {{
    {18, 40020}, {36, 40030}, {81, 40040}, {117, 40030}, {162, 40050}, {216, 40060}, {144, 40070},
}};
