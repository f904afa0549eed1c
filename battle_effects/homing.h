#pragma once
// The homing kit: a missile that flies at a constant speed along its heading and, at fixed
// intervals, turns toward an aim point by a bounded step until its box meets the aim's box or it
// has used its turns; then it bursts.
//
//   constexpr HomingParams kShell{};            // every 2 frames from frame 1, 16 steps a turn,
//                                               // 6 px a frame, boxes 32 / 16, 60 turns
//   Homing h{.pos = from, .aim = target, .heading = angle, .has_aim = true};
//   ...each frame, with the frames flown since the homing began:
//   if (HomingFly(h, kShell, frames)) ...       // burst on this call (h.burst stays true)
//
// The rules, frame by frame (f = 1, 2, ... up to the frames given; a call after a clock jump
// runs every frame it skipped, so the path is the same at any frame rate):
// 1. Turn: at f = first, first + interval, first + 2 x interval, ... the turn count rises by one;
//    with an aim the heading turns toward the aim's angle (SlgAtan2 of aim - position) by the
//    turn step (`step`, or `turn_step()` drawn afresh at each turn when given), the way
//    Slg::AngleDir says from the current heading, or with kFixedOnce the way chosen at the first
//    turn and kept. A step that would carry the heading onto or past the aim angle stops on it
//    (HomingTurnToward). Without an aim the heading is kept.
// 2. Move: `speed` (16.16 per frame) along the heading (SlgPolarToXY).
// 3. Burst: with an aim, when the box of half size `aim_half` about the aim and the box of half
//    size `body_half` about the position overlap (Slg::HitBox); or once the turn count has reached
//    `max_turns` (so a missile without an aim bursts after its turns). The `burst` hook runs once
//    with the record; no frame after the burst is flown.
// Angles are 512 steps a turn; positions 16.16 pixels in whatever space the caller flies in.

#include <cstdint>

#include "battle/slg_units.h"

// How a turn picks its way.
enum class HomingDirection : uint8_t {
  kTowardAim,  // by Slg::AngleDir at every turn (the shorter way)
  kFixedOnce,  // by Slg::AngleDir at the first turn, then kept
};

struct Homing;

struct HomingParams {
  int32_t interval = 2;  // frames between turns (below 1 counts as 1)
  int32_t first = 1;     // the frame of the first turn
  int32_t step = 16;     // steps of 512 a turn
  // When given, each turn's step is drawn from it instead of `step` (a random step).
  int32_t (*turn_step)() = nullptr;
  HomingDirection direction = HomingDirection::kTowardAim;
  int32_t speed = 6 << 16;  // per frame, 16.16
  int16_t aim_half = 32;    // pixels
  int16_t body_half = 16;
  int32_t max_turns = 60;
  void (*burst)(Homing& homing) = nullptr;
};

struct Homing {
  SlgPair pos{};        // 16.16
  SlgPair aim{};        // 16.16
  int32_t heading = 0;  // 0-511
  bool has_aim = false;
  int32_t turns = 0;    // turns made
  int32_t frames = 0;   // frames flown
  int8_t way = 0;       // kFixedOnce: the way chosen (+1, -1), 0 before the first turn
  bool burst = false;
  void* user = nullptr;  // the caller's, for its burst hook
};

// The heading `step` steps from `heading` toward `aim` the way `way` (+1 up, -1 down, 0 none),
// stopping on the aim when the step reaches it; made 0-511.
int32_t HomingTurnToward(int32_t heading, int32_t aim, int32_t step, int way);
// At most `step` steps from `heading` toward `aim` the shorter way (Slg::AngleDir), stopping on
// the aim; made 0-511. The turn of every missile that turns toward its aim at each step.
int32_t TurnToward(int32_t heading, int32_t aim, int32_t step);
// The angle from the position to the aim (0-511).
int32_t HomingAimAngle(const Homing& homing);
// Flies the frames from homing.frames up to `frames` by the rules above. True on the call that
// bursts; a missile that has burst flies no more (false).
bool HomingFly(Homing& homing, const HomingParams& params, int32_t frames);
