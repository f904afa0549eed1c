#pragma once
// Map 24's event script, the second stage of the final battle: a scripted scene without a fight
// of the player's. The remaining party is shown in a flash (24105, or 24106 when the route
// heroine is DAVONE); then the party walks in, all but the companion move on, and the companion
// is cornered by a growing pair of objects and a staged one, acts on the staged object, faces
// three enemy groups brought in by white flashes and is struck four times; a still picture leads
// to the stage switch to map 25 (24110 with the TEZAVI heroine as the companion, 24111 with the
// TAMVIK heroine). Twenty-two fixed sprites stand on the map.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_battle_state.h"
#include "battle_events/fix_task.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/kit/final_kit.h"

// The start cells of the party by route kind (halved map pixels).
extern const FinalStartCells kMap24StartCells;
// The walk-in: each kind's offset in steps of (24, -12) halved pixels from its start cell.
inline constexpr std::array<int32_t, kFinalKinds> kMap24WalkOffsets = {12, 12, 12, 11, 15, 8, 12};
constexpr int32_t kMap24WalkStepX = 24;
constexpr int32_t kMap24WalkStepY = -12;
// The companion's start after the others (frames), and the camera's pull while she stands low.
constexpr int32_t kMap24CompanionDelay = 128;
constexpr int32_t kMap24ScrollBelowY = 416;
// The others' second walk: (+192, -120) pixels from where they stand; the companion's stand.
constexpr int32_t kMap24OnX = 192;
constexpr int32_t kMap24OnY = -120;
constexpr int32_t kMap24StandX = 596;
constexpr int32_t kMap24StandY = 540;
// The staged object's point, which the companion's act aims at (three cells along direction 0
// from her stand).
constexpr int16_t kMap24AimX = 740;
constexpr int16_t kMap24AimY = 468;
// The enemy groups the white flashes bring in, in their order.
inline constexpr std::array<int32_t, 3> kMap24FlashKinds = {17, 19, 18};
// The growing objects' zoom: from 1/64 (16.16), by 1/64 for each frame of their clock, to 1.
constexpr int32_t kMap24ZoomStart = 1024;
constexpr int32_t kMap24ZoomFull = 65536;
// The staged object's pattern 4 comes this many frames into its state 7.
constexpr int32_t kMap24StagedHold = 128;
// The event-object kinds the map's event-animation table covers (80-88).
constexpr int kMap24ObjectKinds = 9;
// The fixed sprites (id 3, animation 89), and the list that adds them.
constexpr int kMap24FixedSprites = 22;
extern const std::array<FixTaskRow, kMap24FixedSprites + 1> kMap24Sprites;

struct Map24Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  FinalRouteWorks routes{};
  FinalParty party{};
  FinalWalkers walkers{};
  // The companion of the stand now playing (its unit kind, group 0), and whether her walk-in
  // has started.
  int32_t companion = 5;
  int32_t companion_started = 0;
  // The zoom pairs of the growing objects 80 and 81 (16.16).
  std::array<SlgPair, 2> zoom{};
  // Frames the companion's act on the staged object has run (its wait's limit).
  int32_t act_frames = 0;
};
Map24Words& Map24State();

// The map's set-up (row 23 of the map set-up table).
extern const MapSetup kMap24Setup;

// The walk-in point of a kind (map pixels) from its start cell: (x + 24 x offset, y - 12 x
// offset), doubled.
SlgPoint Map24WalkInPoint(const FinalCell& start, int32_t kind);
