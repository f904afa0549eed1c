#pragma once
// Map 4's event script: the set-up of its row of the map set-up table, its event table and the
// words its handlers and its event objects share.
//
// The map words are made afresh for each stage (so they are zero when the map's events are
// installed). The opening's apparitions (kinds 80-84) wait on the apparition signal; the victory
// waits on the flying carrier's two signals (kind 97), which the carrier, the hero's jump (98)
// and its effect (99) answer between them with the jump signals and the hero-aboard signal.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/kit/drift.h"
#include "battle_events/runtime/event_walks.h"

// The wind-driven particles: 46 fixed sprites blown by a shared wind level; each keeps the level
// of every frame of its life (480 frames; later frames take the current level).
constexpr int kMap04Particles = 46;
constexpr int kMap04ParticleHistory = 480;
// The field a particle starts in: the visible area widened by 32 pixels on each side.
constexpr int32_t kMap04FieldWidth = 704;
constexpr int32_t kMap04FieldHeight = 544;
constexpr int32_t kMap04FieldMargin = 32;
// How high above its point a particle starts: up to 960 pixels on its first start, 480 later.
constexpr int32_t kMap04FirstHeight = 960;
constexpr int32_t kMap04Height = 480;
struct Map04Particle {
  DriftHistory<kMap04ParticleHistory> history{};
  int32_t start_x = 0;  // its point (16.16 map pixels)
  int32_t start_y = 0;
  int32_t height = 0;   // pixels above its point at the start
  int32_t speed = 0;    // its fall a frame (16.16): 2.0 less a fraction below 0.5
  int32_t start_frame = 0;  // the wind's frame count at its start
  int32_t age = 0;          // frames since its start
  int32_t running = 0;  // 0 until (re)started
  int32_t started = 0;  // 1 once started once (later heights are the lower ones)
};
// The wind starts in its hold at 0.
constexpr DriftLevel kMap04WindStart{.phase = DriftPhase::kHoldLow};

// One apparition fade's progress: 0 not started (the next call starts it), 1 fading, 2 at level
// 0 (the next call ends it); its start time on the game clock and its tone level.
struct Map04Fade {
  int32_t phase = 0;
  uint32_t start = 0;
  int32_t level = 0;
};

struct Map04Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  // The character found on the goal area or the goal cell (0 when none).
  int32_t goal_character = 0;
  // The walks' work areas: the opening's and the victory's.
  RouteWork opening_walk{};
  RouteWork victory_walk{};
  // 1 once the walk of a walk with the camera on the walker has arrived.
  int32_t walk_done = 0;
  // The apparitions' fades (A: kinds 80-83, B: kind 84) and their signal: 0 while a fade runs, 1
  // once it has ended (the apparitions leave tone control).
  std::array<Map04Fade, 2> fades{};
  int32_t apparition = 0;
  // The carrier's signals: 1 once it hovers beside the goal, 2 once it has flown off with the
  // hero aboard.
  int32_t carrier1 = 0;
  int32_t carrier2 = 0;
  // The jump's signals: the hero has landed on the carrier; the jump effect has ended.
  int32_t jump = 0;
  int32_t jump_effect_end = 0;
  // 1 once the hero rides the carrier.
  int32_t hero_aboard = 0;
  // The shared wind level and the particles it blows.
  DriftLevel wind = kMap04WindStart;
  // The game-clock frame of the wind's first frame and the frames it has stepped since (-1
  // before its first frame). The particles count their age on the same count.
  int32_t wind_start = 0;
  int32_t wind_frames = -1;
  std::array<Map04Particle, kMap04Particles> particles{};
  // The two lists the events fill with the leading heroine's face before playing them.
  std::array<EventMessageRef, 2> arrival_list{};
  std::array<EventMessageRef, 2> farewell_list{};
};
Map04Words& Map04State();

// The map's set-up (row 3 of the map set-up table).
extern const MapSetup kMap04Setup;

// The number of event-object kinds the map's event-animation table covers (80-100).
constexpr int kMap04ObjectKinds = 21;

// A particle's x offset (16.16) after `age` frames: -2.0 less the recorded wind on each frame,
// the current wind on frames not recorded (beyond its history too).
int32_t Map04ParticleDrift(Map04Particle& p, int32_t wind);

// The carrier's bob (pixels) on frame n of a flight or hover: a sine of 8 pixels, 128 frames a
// turn, 0 on frame 0.
int32_t Map04CarrierBob(int32_t n);

// The goal area's four cells (map points, in the order the rows test them) and the goal cell.
inline constexpr std::array<std::array<int32_t, 2>, 4> kMap04GoalArea = {
    {{1078, 528}, {1052, 480}, {1148, 528}, {1148, 480}}};
inline constexpr std::array<int32_t, 2> kMap04GoalCell = {1078, 528};
// The characters the goal rows watch, in row order.
inline constexpr std::array<int32_t, 5> kMap04GoalCharacters = {0, 1, 2, 5, 6};
