#pragma once
// The shapes the attacks of kinds 23 and 24 share, as plain arithmetic on 16.16 pixels (frames at
// 60 per second, counted from each object's own start):
//
// - the shake of the scene: an offset that swings from side to side every 4 frames, its swing
//   growing by 1.0 from 1.0 until it reaches 4.0, then alternating between -4.0 and +4.0;
// - risers: objects that leave the screen upward at a constant speed from their place, done once
//   above -384 px;
// - the fall of a striker onto one of the thirteen cells round the attacked unit: a speed that
//   grows by one pixel a frame, replayed from the start each frame, landing once the striker has
//   come down by its raise (at once when the raise is 0 or less);
// - the flames' ellipse and their rise (a speed of -1 px a frame changing by -0.5 a frame);
// - the orb's zoom, 1.0 + n/128 held at 1.5;
// - the random picks of the sparks and rocks (from the battle's generator, SlgRand);
// - the strikers on the thirteen cells (the stones, the meteors): made waiting round the attacked
//   unit, started one by one by a spawner, each fall replayed until it lands on its cell, then
//   the family's own landed stages.
//
//   const FallState f = FallAt({.raise = 300 * kFallPx, .first_speed = kFallPx}, frames);
//   if (f.landed) ...   // else draw at landing point - raise + f.drop
//
//   StepStrikers(w.strikes, kRule, {w.raise, kFallPx},
//                [&](int i, const SlgPair& land, int32_t drop, int32_t frames) { ...place... },
//                [&](int i, const SlgPair& land) { ...play the landing, set the stage... },
//                [&](int i, const SlgPair& land) { ...a landed stage; kStrikeDone at the end... });

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "battle/slg_geometry.h"
#include "battle/slg_units.h"
#include "battle_effects/cell_strikes.h"
#include "battle_effects/spawner.h"
#include "battle_effects/step_timeline.h"

constexpr int32_t kFallPx = 0x10000;

// ---- The strike cells ----

// The thirteen cells round the attacked unit (pixels), the last one its own.
constexpr std::array<SlgPoint, 13> kStrikeCells{{{48, 24},
                                                 {-48, 24},
                                                 {-48, -24},
                                                 {48, -24},
                                                 {0, 48},
                                                 {-96, 0},
                                                 {0, -48},
                                                 {96, 0},
                                                 {96, 48},
                                                 {-96, 48},
                                                 {-96, -48},
                                                 {96, -48},
                                                 {0, 0}}};

// ---- Shake ----

constexpr int32_t kShakeInterval = 4;  // frames between swings

// The shake's offset (16.16) after `swings` swings (swings below 0 count as 0).
int32_t ShakeOffset(int32_t swings);
// The offset `frames` frames after the shake started.
inline int32_t ShakeOffsetAtFrame(int32_t frames) {
  return ShakeOffset(frames < 0 ? 0 : frames / kShakeInterval);
}

// ---- Risers ----

constexpr int32_t kRiserGoneY = -384 * kFallPx;  // done once above this line

// The rise speed (16.16 px a frame, upward) of an object starting at y: (y + base) / 64, base
// 240 px for the columns and tops and 224 px for the late objects.
int32_t RiserSpeed(int32_t start_y, int32_t base_px);
struct RiserPos {
  int32_t y;
  bool gone;  // above kRiserGoneY
};
// y = start y - speed x frames (frames below 0 count as 0; the product held to 32 bits).
RiserPos RiserAt(int32_t start_y, int32_t speed, int32_t frames);

// ---- The fall ----

struct Fall {
  int32_t raise;        // how far above its landing point it starts (16.16; 0 or less: landed)
  int32_t first_speed;  // the first frame's step (16.16); each later step is 1 px longer
};
struct FallState {
  int32_t drop;    // how far it has come down (16.16), at most the raise
  int32_t frames;  // steps taken (the landing frame once landed)
  bool landed;
};
// The fall replayed from its start over `frames` frames; it stops at the frame it lands.
FallState FallAt(const Fall& fall, int32_t frames);

// ---- Flames ----

constexpr int32_t kFlameGoneY = -320 * kFallPx;  // done once above this line

// Flame i's place on the ellipse: angle (42 i + 21) mod 512, x = 192 cos, y = 48 + 64 sin (16.16).
SlgPair FlamePlace(int i);
struct FlameRise {
  int32_t y;
  bool gone;  // above kFlameGoneY; the rise stops there
};
// The rise from y0 replayed over `frames` frames: speed -1 px a frame, -0.5 px more each frame.
FlameRise FlameRiseAt(int32_t y0, int32_t frames);

// ---- The orb ----

// The zoom (16.16) n frames after the orb began to grow: 1.0 + n/128, at most 1.5.
int32_t OrbZoom(int32_t n);

// ---- Random picks (SlgRand: the animation first, then the x) ----

struct SpawnPick {
  uint32_t anm;
  int32_t x;  // 16.16, -320..319 px
};
// A spark's first play: one of 0, 1, 21, 22; its replays: 0 or 1.
SpawnPick PickSpark(bool replay);
// A rock: one of 9-13.
SpawnPick PickRock();
// A stone's fall animation: one of 15-18.
uint32_t PickStoneAnm();

// ---- Meteor landings ----

struct LandingAnms {
  uint32_t first;
  uint32_t second;
};
// On a target of side 0: 6 then 7; on another side's target or an empty cell: 4 then 8.
LandingAnms MeteorLanding(bool on_target, uint8_t side);

// ---- Strikers ----

// A striker's stages; a family numbers its landed stages from kStrikeLanded.
constexpr uint8_t kStrikeWaiting = 0, kStrikeFalling = 1, kStrikeLanded = 2, kStrikeDone = 0xFF;

struct Striker {
  SlgPair cell;     // the landing cell's ground point (map position)
  uint16_t target;  // the target standing there; kSlgNoUnit for none
  uint32_t start;   // game clock when its fall began, then when it landed
  uint8_t stage;
};

constexpr size_t kStrikers = kStrikeCells.size();

// The strikers of an attack on the thirteen cells and the spawner that starts their falls.
struct Strikers {
  std::array<Striker, kStrikers> all;
  Spawner spawn;
  uint32_t spawn_start;
  int32_t done;  // strikers at kStrikeDone
};

// The strikers on the thirteen cells round `centre` (a map position), all waiting, the spawner's
// clock started now; strikes[i] is striker i's cell strike (for its object's first place).
void MakeStrikers(Strikers& s, const SlgPair& centre, std::span<CellStrike, kStrikers> strikes);

// One frame of the strikers. The one the rule has due starts falling. A waiting one is placed by
// place(i, landing point, 0, 0); a falling one has its fall replayed: landed, its clock restarts
// and land(i, landing point) plays its landing and sets its next stage; else place(i, landing
// point, drop, frames since its fall began). A landed one (from kStrikeLanded) is stepped by
// landed(i, landing point), which sets kStrikeDone at its end. The landing point is the cell's
// current drawing position. s.done counts the finished ones.
template <class Place, class Land, class Landed>
void StepStrikers(Strikers& s, const SpawnRule& rule, const Fall& fall, Place&& place, Land&& land,
                  Landed&& landed) {
  const int32_t due = SpawnDue(s.spawn, rule, TimelineFrames(s.spawn_start));
  if (due >= 0 && static_cast<size_t>(due) < kStrikers) {
    s.all[static_cast<size_t>(due)].stage = kStrikeFalling;
    s.all[static_cast<size_t>(due)].start = TimelineNow();
  }
  int32_t done = 0;
  for (size_t n = 0; n < kStrikers; ++n) {
    Striker& k = s.all[n];
    const int i = static_cast<int>(n);
    const SlgPair at = Slg::PosToScreen(k.cell);
    if (k.stage == kStrikeWaiting) {
      place(i, at, 0, 0);
    } else if (k.stage == kStrikeFalling) {
      const int32_t frames = TimelineFrames(k.start);
      const FallState f = FallAt(fall, frames);
      if (f.landed) {
        k.start = TimelineNow();
        land(i, at);
      } else {
        place(i, at, f.drop, frames);
      }
    } else if (k.stage != kStrikeDone) {
      landed(i, at);
    }
    if (k.stage == kStrikeDone) ++done;
  }
  s.done = done;
}
