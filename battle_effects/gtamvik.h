#pragma once
// Player kind 8's attacks (GTAMVIK): row 8 of the player table, {normal, special, normal,
// normal} by attack type; both routines are declared in battle_effects/attack_routines.h.
//
// - Normal (types 0, 2, 3): the player kinds' shared normal attack (battle_effects/
//   player_shape.h, the held form: object 1 without looping, the further objects once), rows
//   {0, 1}, {0, 1}, {6, 7} (type 3 the first two) and {2, 3}, {2, 3}, {4, 5}, {6, 7}, {8, 9}.
// - Special (type 1), on the unit's step counter:
//   0  the context, layer 4 on, SPECIAL_BG picture 0 (the curtain) and 1-3 (the cycle), voice
//   1  targets hidden, the camera on the unit, two objects (the body stopped), the first petal,
//      the scene's first call
//   2  the scene's report (curtain and cycle done): petals every 10 frames from here on, the
//      body runs on, object 1 plays effect 0; 30 frames
//   3  petal mode 1 and the shock ring ("Gtamvik::Shogeki"); 30 frames
//   4  sparkles as frames / 2 passes their count; after 30 frames petal mode 2
//   5  the body's end, a sparkle the frame before each petal; then the scene goes on to its
//      white-out
//   6  the white-out's report: the objects' animations released, the targets shown, petal mode 3,
//      the shot ("Gtamvik::Shot", running count 2; 0 when it cannot be made)
//   7  the body follows the unit; once the count is below 2 it plays its closing row; at count 0
//      "Gtamvik::Hit" (count 1 while it runs)
//   8  count 0; 30 frames; 9: everything given back, ShowFlaggedUnits, state 7
//
// The scene (a presentation, battle_effects/presentation.h), stages 0-6: units hidden and a fade
// in over 60 frames; at the fade's end the curtain's move; the curtain open at 640 pixels; the
// cycle of pictures 1-3 for 60 frames; 28 frames more while they fade (report); held until the
// routine moves it on; a white-out over 30 frames, then the layers back, the units shown and the
// fade ended at once (report).

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_geometry.h"
#include "battle/slg_math.h"
#include "battle/slg_units.h"
#include "battle_effects/player_shape.h"
#include "battle_effects/presentation.h"
#include "battle_effects/spawner.h"
#include "battle_effects/step_timeline.h"
#include "engine/anime/anime.h"

struct SprBufferEntry;
struct SprRec;
struct SlgUnit;

constexpr int32_t kGtamvikPx = 65536;

// What the petals and sparkles do (GtamvikSpecial::mode).
enum GtamvikMode : uint8_t {
  kGtamvikFall = 0,   // petals fall
  kGtamvikHover = 1,  // petals bob where they are
  kGtamvikRise = 2,   // petals burst and rise
  kGtamvikEnd = 3,    // petals and sparkles end
};

// A point-move's pairs (CDdrawAnime::CreatePointMove): they live in the family's per-battle block,
// so the engine never writes into a task's freed work.
struct GtamvikMover {
  AnimeHandle handle;
  AnimePoint point, velocity, acceleration;
  bool taken;
};
constexpr int kGtamvikMovers = 96;

// The shot's velocity and trail spacing by direction 0-3 (map pixels a frame; pixels).
constexpr std::array<SlgPair, 4> kGtamvikShotVelocity{{{24 * kGtamvikPx, -12 * kGtamvikPx},
                                                       {24 * kGtamvikPx, 12 * kGtamvikPx},
                                                       {-24 * kGtamvikPx, 12 * kGtamvikPx},
                                                       {-24 * kGtamvikPx, -12 * kGtamvikPx}}};
constexpr std::array<SlgPair, 4> kGtamvikShotSpacing{{{-48 * kGtamvikPx, 24 * kGtamvikPx},
                                                      {-48 * kGtamvikPx, -24 * kGtamvikPx},
                                                      {48 * kGtamvikPx, -24 * kGtamvikPx},
                                                      {48 * kGtamvikPx, 24 * kGtamvikPx}}};
constexpr int kGtamvikShotObjects = 4;

// The shot's phases (GtamvikShot::phase).
enum GtamvikShotPhase : uint8_t {
  kShotOut = 0,     // flying out from the unit
  kShotTurn = 1,    // 30 frames at the turn
  kShotBack = 2,    // flying back as many frames as it flew out
  kShotShrink = 3,  // the trail drawn in
  kShotVanish = 4,  // the head alone, scaled by the keyed motion
};

// The shot's state (one at a time, in the special's work).
struct GtamvikShot {
  uint8_t phase;
  uint32_t phase_start;  // game clock ms
  int8_t dir;            // the direction its objects play (turned: the opposite)
  SlgPair start;         // where the current flight began (map, 16.16)
  SlgPair velocity;      // map pixels a frame, 16.16
  SlgPair spacing;
  SlgPair pos;           // the head on the map
  int32_t factor;        // the trail's spacing factor, 16.16
  int32_t out_frames;    // frames it flew out before turning
  int32_t stepped;       // flight frames already looked at for cells
  int32_t started;       // objects started
  SlgCell cell;          // the cell it last entered
  SlgMotion motion;      // the head's scale at the end
};

// The special's state: one attack at a time, zero at its start.
struct GtamvikSpecial {
  SlgAttackCtx* ctx;
  StepClock clock;
  SlgUnit* unit;
  SlgPair pos;  // the drawing position of the current call
  // Picture 0 and its two halves; pictures 1-3, the cycle's entry and the picture it shows.
  SprRec* curtain;
  SprBufferEntry* left;
  SprBufferEntry* right;
  std::array<SprRec*, 3> cycle;
  SprBufferEntry* cycle_entry;
  int8_t cycle_shown;
  uint32_t cycle_start;  // game clock ms
  // The curtain's position and speed (x, 16.16 pixels) and its move.
  GtamvikMover* curtain_move;
  // The scene, and whether the routine has moved it on to its white-out.
  PresentationState scene;
  int32_t advanced;
  // Petals: the clock from step 2, their spawner, the side sign, the mode; the sparkles' spawners
  // (step 4: every 2 frames; steps 5-6: the frame before each petal) and the name counters.
  uint32_t petal_start;
  Spawner petals;
  Spawner sparkle_burst;
  Spawner sparkle_paced;
  int8_t side;
  uint8_t mode;
  uint32_t petal_names;
  uint32_t sparkle_names;
  // The running count of the shot and the closing visit, and the closing row played.
  int16_t count;
  bool closing;
  GtamvikShot shot;
  // The closing visit ("Gtamvik::Hit"): its phase and clock, the targets it has marked.
  uint8_t visit_phase;
  uint32_t visit_start;
  std::array<bool, kSlgMaxUnits> visited;
};

// The family's per-battle block (Battle().Extension<GtamvikWork>()).
struct GtamvikWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  GtamvikWork() = default;
  // A battle that ends mid-special: its pictures and moves are given back.
  ~GtamvikWork();
  GtamvikWork(const GtamvikWork&) = delete;
  GtamvikWork& operator=(const GtamvikWork&) = delete;

  PlayerNormal normal;
  GtamvikSpecial special;
  std::array<GtamvikMover, kGtamvikMovers> movers;
};
GtamvikWork& GtamvikAttackWork();

// The cycle's picture (0-2 for pictures 1-3) `frames` frames into the cycle.
int GtamvikCyclePicture(int32_t frames);
// The cycle pictures' alpha word `t` frames into their fade (0-28).
uint32_t GtamvikCycleAlpha(int32_t t);
// The shot's spacing factor (16.16) `t` frames after it grows from 0 (up to 1.0), or shrinks from
// 1.0 (down to 0).
int32_t GtamvikShotFactor(int32_t t, bool growing);
