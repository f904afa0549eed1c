#pragma once
// Map 18's event script: the opening talk under a pan of the camera, the usual heroine rows, and
// once no enemy of group GZA remains one of two twin finales, chosen by the partner heroine held
// in P[83]. The finale places the party on fixed cells, walks the walker W and then the others
// in, tells its story in pictures and talk around the companion figure (kind 80), brings in the
// boss of kind 28 that W strikes and that pushes W back while the camera shakes, shows the
// figures 88 and 90 in white flashes and a still picture, and switches to stage 22.
//
// The finale's route works (one per character and one for the walker's own walks) belong to a
// holder task: freed at the finale's end, and with the battle's tasks when the battle is torn
// down in the middle of it.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/map_setup.h"

struct SlgEffectTask;

// The finale's route works: 0-6 the characters' walk-in, 7 the walker's own walks.
constexpr int kMap18Routes = 8;
constexpr int kMap18WalkerRoute = 7;
// The partner heroine's story variable, and its value for finale B.
constexpr int kMap18PartnerVar = 83;
// The walker W: character 6, or 1 when the partner is heroine 6.
constexpr int32_t kMap18WalkerA = 6;
constexpr int32_t kMap18WalkerB = 1;
// The boss of the finale and its group-2 character byte.
constexpr int32_t kMap18BossKind = 28;
constexpr int32_t kMap18BossCharacter = 17;
// The walk-in: the delay before the first start and between two starts (frames).
constexpr int32_t kMap18WalkInFirst = 16;
constexpr int32_t kMap18WalkInGap = 32;
inline constexpr std::array<int32_t, 6> kMap18WalkOrder = {1, 5, 4, 3, 2, 0};
struct Map18Point {
  int16_t x;
  int16_t y;
};
// Placement cells and walk-in targets per character 0-6 (map pixels).
inline constexpr std::array<Map18Point, 7> kMap18Cells = {
    {{1144, 672}, {1344, 632}, {1152, 624}, {1248, 672}, {1152, 568}, {1248, 576}, {1448, 624}}};
inline constexpr std::array<Map18Point, 7> kMap18WalkTargets = {
    {{1440, 520}, {1536, 536}, {1488, 456}, {1488, 560}, {1488, 400}, {1536, 432}, {1640, 720}}};
// The push-back: where W is sent (map pixels), its motion (16.16 pixels a frame, and per frame
// added), the camera shake (every kMap18ShakeEvery frames, at most kMap18ShakeMax times, the
// actor's position plus or minus kMap18ShakePx pixels across).
constexpr int32_t kMap18PushX = 1448;
constexpr int32_t kMap18PushY = 624;
constexpr int32_t kMap18PushSpeed = 0x20000;
constexpr int32_t kMap18PushAccel = 0x4000;
constexpr int32_t kMap18PushSeDelay = 63;
constexpr int32_t kMap18ShakeEvery = 4;
constexpr int32_t kMap18ShakeMax = 16;
constexpr int32_t kMap18ShakePx = 4;
// The most frames a finale step waits for a unit's action or a sound effect before going on.
constexpr int32_t kMap18StepLimit = 900;

struct Map18Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The task that owns the finale's route works (null outside the finale).
  SlgEffectTask* routes = nullptr;
  // The finale playing: 0 A, 1 B (set at its start).
  int32_t finale = 0;
  // The progress of the step running now (reset when it completes).
  int32_t phase = 0;
  int32_t frames = 0;
  // The walk-in: characters started, and the bit of each one arrived.
  int32_t started = 0;
  uint32_t arrived = 0;
  // The push-back: W's moving point and velocity, whether it arrived, the shakes made.
  int32_t move_x = 0;
  int32_t move_y = 0;
  int32_t vel_x = 0;
  int32_t vel_y = 0;
  int32_t acc_x = 0;
  int32_t acc_y = 0;
  bool pushed = false;
  int32_t shakes = 0;
  // The opening's list, its last face set per run.
  std::array<EventMessageRef, 10> opening{};
};
Map18Words& Map18State();

// The walker of the finale now playing.
int32_t Map18Walker();

// The map's set-up (row 17 of the map set-up table).
extern const MapSetup kMap18Setup;

// The event-object kinds the map's event-animation table covers (80-91).
constexpr int kMap18ObjectKinds = 12;
