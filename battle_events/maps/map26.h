#pragma once
// Map 26's event script, the last stage of the final battle: the hero, the YSOL heroine and the
// route heroine are shown in a flash (26105, or 26106 when the route heroine is LUNET); the boss
// (kind 30) comes back with its escort and YSOL pushes it back eight times (26110), or, when YSOL
// is herself the route heroine, the TAMVIK heroine takes her part and the boss and she fly off in
// a white flash (26111). Both end with a still picture and the battle won (StartGameWin).

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_geometry.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/kit/final_kit.h"

// The boss, and the group-2 escort that walks in with it.
constexpr int32_t kMap26BossKind = 30;
constexpr int32_t kMap26EscortCharacter = 48;
// The start cells of the party by route kind (halved map pixels).
extern const FinalStartCells kMap26StartCells;
// The escort's cell, the pusher's cell, and where the pusher goes afterwards (map pixels).
constexpr SlgPoint kMap26EscortCell{856, 408};
constexpr SlgPoint kMap26PushCell{904, 384};
constexpr SlgPoint kMap26PusherAway{624, 528};
// The pushes: eight, the first after 16 frames and then every 12, each moving the pusher and the
// boss by (-2, +1) pixels.
constexpr int32_t kMap26Pushes = 8;
constexpr int32_t kMap26FirstPush = 16;
constexpr int32_t kMap26PushGap = 12;
constexpr int32_t kMap26PushX = -2;
constexpr int32_t kMap26PushY = 1;
// The fly-off's frames.
constexpr int32_t kMap26FlyFrames = 60;

struct Map26Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  FinalRouteWorks routes{};
  FinalParty party{};
  // The pushes done so far and the wait before the next.
  int32_t pushes = 0;
  int32_t push_interval = 0;
  // The fly-off: the objects' bases (16.16 map points of kinds 82-84) and the game clock's frame
  // at its start.
  std::array<SlgPair, 3> bases{};
  int32_t fly_from = 0;
};
Map26Words& Map26State();

// The map's set-up (row 25 of the map set-up table).
extern const MapSetup kMap26Setup;

// The event-object kinds the map's event-animation table covers (80-84).
constexpr int kMap26ObjectKinds = 5;

// The fly-off's displacement after `frames` frames (16.16): the x speed rises by 1 pixel and the
// y speed by half a pixel every frame, x toward the left and y down.
constexpr SlgPair Map26FlyOffset(int32_t frames) {
  const int32_t n = frames > 0 ? frames : 0;
  const int64_t steps = int64_t{n} * (n + 1) / 2;  // 1 + 2 + ... + n
  return {static_cast<int32_t>(-steps * 65536), static_cast<int32_t>(steps * 32768)};
}
