#pragma once
// The shooting game's state: the 50-slot target table and the game's own variables. It lives in
// MinigameContext::shot; the game (shot_game.h) works on it.

#include <array>
#include <cstdint>

namespace shot {

constexpr int kTargetSlots = 50;

// Target states.
constexpr int32_t kFree = 0;
constexpr int32_t kSpawned = 1;
constexpr int32_t kMovingOut = 2;
constexpr int32_t kWaiting = 3;
constexpr int32_t kMovingBack = 4;
constexpr int32_t kJustHit = -1000;
constexpr int32_t kFalling = -999;

// Mover kinds.
constexpr int32_t kWalker = 0;
constexpr int32_t kFlyer = 1;
constexpr int32_t kPopUp = 2;
constexpr int32_t kDiagonal = 3;
constexpr int32_t kFallingOver = 4;
constexpr int32_t kFallingDown = 5;

// One target slot (every field signed 32-bit).
struct Target {
  int32_t state = kFree;
  int32_t x = 0;
  int32_t y = 0;
  int32_t layer = 0;        // 511 far, 509, 507, 256 near
  int32_t dx = 0;           // a falling target's tilt angle
  int32_t dy = 0;           // or a flyer's bob amplitude
  int32_t phase = 0;        // a flyer's bob phase
  int32_t phase_speed = 0;  // and its growth a step
  int32_t base_y = 0;
  int32_t counter = 0;      // steps in the current state
  int32_t kind = kWalker;
  int32_t point = 0;        // spawn point index
  int32_t object = 0;       // 100 + slot; its hit effect or shadow is object + 50
  int32_t anim = 0;
  int32_t box_left = 0;     // hit box relative to x, y
  int32_t box_top = 0;
  int32_t box_right = 0;
  int32_t box_bottom = 0;
};

// The game's variables; the step is the procedure's own (-1 starts it).
struct ShotState {
  std::array<Target, kTargetSlots> targets{};
  int32_t step = -1;
  int32_t wait = 0;
  int32_t stage = -1;  // -1: no stage is spawning
  int32_t last_stage = -1;  // the stage that ended last (what follows its wait)
  int32_t spawned = 0;
  int32_t hits = 0;
  int32_t scroll = 0;
  int32_t scroll_count = 0;
  int32_t pointer_shown = 0;
};

}  // namespace shot
