#pragma once
// Map 22's event script: a two-boss battle fought by the hero with the heroines chosen by their
// trust. The opening builds the trust order and places its first three heroines; a first scene
// shows the map under a background picture and a drifting figure; when the first boss (kind 26)
// has left, the party regroups, a second wave of eight units of kind 35 and the second boss
// (kind 27) appear, and the other three heroines gather. When the second boss falls, a merging
// object at the hero takes in one joining object from each heroine in trust order and flies off
// to the unit (group 2, character 7); the victory flickers the screen white, plays a movie in the
// window and wins the battle.
//
// The scenes and the objects talk through the map's bytes (Map22State()): the object phase H
// (kinds 81-83), the rise byte (kind 80), the merge phase D and the kind byte K (kinds 90-103)
// and the arrival byte. A scene that waits on one of them also ends its wait when the object
// that would answer is not on the map, so a stage without it cannot hold the battle.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_math.h"
#include "battle/slg_units.h"
#include "battle_events/map_setup.h"

// The heroines' participation flags by character 1-6 (index 0 unused).
inline constexpr std::array<int16_t, 7> kMap22ParticipationFlags = {0, 18, 28, 38, 58, 68, 48};
// The story variables that say a heroine has joined, by character 1-6 (index 0 unused).
inline constexpr std::array<int16_t, 7> kMap22JoinedVars = {0, 17, 27, 37, 57, 67, 47};

// The trust order: characters by place (o[1] .. o[6] at indices 0-5).
using Map22Order = std::array<int8_t, 6>;
// Trust of heroines 1-6 (index 0 unused).
using Map22Trusts = std::array<int32_t, 7>;

// The opening's order: the heroines whose joining variable is set (`joined`, by character) first
// in character order, the rest filling the order from its end; each part then sorted by trust,
// highest first, a later heroine passing an earlier one only with strictly higher trust.
Map22Order Map22BuildOrder(const std::array<bool, 7>& joined, const Map22Trusts& trust);
// Of the heroines `present` (by character), in the order's places, the one with the highest
// trust (the earlier place on a tie); 0 when none is present.
int32_t Map22Speaker(const Map22Order& order, const std::array<bool, 7>& present,
                     const Map22Trusts& trust);

// Event 22170's order: for each place i from 1 to 5 in turn, the later place with the highest
// trust (the earliest of equals) changes places with i when its trust is strictly higher.
Map22Order Map22Resort(Map22Order order, const Map22Trusts& trust);

// The merging object's twinkle: the zoom factors (16.16) `frames` elapsed frames after its start,
// the keyed motion run from its start once a frame and started again whenever it ends (a
// 13-frame cycle between (1.0, 0.164) and (0.164, 1.0)).
SlgPair Map22Twinkle(int32_t frames);

// The merging and joining objects' phases (their step-counter word).
enum Map22MergePhase : uint32_t {
  kMap22MergeStart = 0,
  kMap22MergeGrowing = 1,
  kMap22MergeHolding = 2,
  kMap22MergeSwelling = 3,
  kMap22MergeWaiting = 4,
  kMap22MergeFlying = 5,
  kMap22MergeSwellingAway = 6,
  kMap22JoinAppearing = 7,
  kMap22JoinWaiting = 8,
  kMap22JoinRising = 9,
  kMap22JoinFlying = 10,
  kMap22MergeDone = 11,
};

// A flight of a merging or joining object: where it started (16.16), its lift then and the
// frames it takes (the duration word).
struct Map22Flight {
  SlgPair start{};
  int32_t start_lift = 0;
  int32_t duration = 0;
};

struct Map22Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  Map22Order order{};
  // The object phase byte H (kinds 81-83 with the scenes), the rise byte (kind 80), the merge
  // phase D, the kind byte K and the arrival byte (kinds 90-103 with event 22170).
  int32_t h = 0;
  int32_t rise = 0;
  int32_t d = 0;
  int32_t k = 0;
  int32_t arrival = 0;
  // The drifting figure's bob: its base y (16.16) and angle (512 steps).
  int32_t bob_base_y = 0;
  int32_t bob_angle = 0;
  // The gathering's turns during its scroll: frames since the scroll began.
  int32_t turn_frames = 0;
  // The merging and joining objects' shared values: the zoom pair and its base (16.16), the
  // rotation word and its base, the target point (16.16 map pixels) and the twinkle motion; the
  // flights of kinds 90-96 (index kind - 90).
  SlgPair zoom{};
  SlgPair base_zoom{};
  int32_t rotation = 0;
  int32_t rotation_base = 0;
  SlgPair target{};
  SlgMotion twinkle{};
  std::array<Map22Flight, 7> flights{};
  // Event 22170's place counter (its passes and its joining loop).
  int32_t pass = 0;
};
Map22Words& Map22State();

// The map's set-up (row 21 of the map set-up table).
extern const MapSetup kMap22Setup;

// The number of event-object kinds the map's event-animation table covers (80-104).
constexpr int kMap22ObjectKinds = 25;
