#pragma once
// Map 17's event script: a boss battle. The opening demolishes a row of buildings under double
// white flashes; the second scene warps a figure (kind 90) out and back in, talking with it over
// a sync word, while a shot (kind 89) grows and flies at the hero twice. Later scenes reveal four
// reinforcements, tour the map, show a figure once no minor enemy is left, and end the battle
// once the boss's exit sequence has set flag 198.

#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_units.h"
#include "battle_events/map_setup.h"

// The sync word between event 17130 and the warping figure: the event writes 1, 3 and 5, the
// figure answers 2, 4 and 6.
enum Map17Sync : int32_t {
  kMap17Idle = 0,
  kMap17WarpOut = 1,
  kMap17WarpedOut = 2,
  kMap17GoOn = 3,
  kMap17WarpedIn = 4,
  kMap17Fade = 5,
  kMap17Faded = 6,
};

// A zoom run of the warping figure: zoom pair and speed (16.16).
struct Map17Warp {
  int32_t zoom_x = 0x10000;
  int32_t zoom_y = 0x10000;
  int32_t speed = 0;
};
// The warp-out `frames` frames after its start from `from`: per frame the speed grows by 512,
// zoom x falls by twice and zoom y rises by sixteen times the speed; it stops once zoom x is
// 8192 or less.
Map17Warp Map17WarpOut(Map17Warp from, int32_t frames);
// The warp-in: per frame zoom x rises by twice and zoom y falls by sixteen times the speed, then
// the speed drops by 512; it stops once zoom x has reached 0x10000.
Map17Warp Map17WarpIn(Map17Warp from, int32_t frames);
// The fade's alpha t frames after it began: (31 - t) x 256 / 31, 0 from t = 31.
int32_t Map17FadeAlpha(int32_t t);

struct Map17Words {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kStage;
  int32_t sync = kMap17Idle;
  // The double flash's phase (0-7) and the frames waited in it.
  int32_t flash = 0;
  int32_t flash_wait = 0;
  // The shot: its zoom pair, where its flight starts, its target, its velocity a frame (16.16
  // map pixels), the frames since the zoom or the flight began.
  SlgPair shot_zoom{};
  SlgPair shot_start{};
  SlgPair target{};
  SlgPair velocity{};
  int32_t shot_frames = 0;
  // The warping figure: its zoom run, the one saved at the run's start, the body clock's frame
  // count then.
  Map17Warp figure{};
  Map17Warp figure_saved{};
  int32_t figure_start = 0;
};
Map17Words& Map17State();

// The map's set-up (row 16 of the map set-up table).
extern const MapSetup kMap17Setup;

// The number of event-object kinds the map's event-animation table covers (80-109).
constexpr int kMap17ObjectKinds = 30;
