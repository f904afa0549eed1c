#pragma once
// The swimming game's and the test entry's state (members of MinigameContext: swim, test_entry).
//
// Positions of the swimmer and the obstacles are pool coordinates with 8 fraction bits; the
// screen shows pool y + scroll.

#include <array>
#include <cstdint>

namespace swim {

constexpr int kMaxObstacles = 50;
constexpr int kCourseRows = 22;

// Knock-back direction.
constexpr int kKnockNone = 0;
constexpr int kKnockFromRight = 1;
constexpr int kKnockFromLeft = 2;

struct Obstacle {
  int32_t kind = 0;  // 0 none, 1-5
  int32_t x = 0;     // 8 fraction bits
  int32_t y = 0;
  int32_t vx = 0;       // kind 1: horizontal speed (8 fraction bits)
  int32_t phase = 0;    // kind 4: angle; kind 2: 0 waiting, else steps of the alert counted
  int32_t centre_x = 0;  // kind 4: the circle's centre (8 fraction bits)
  int32_t centre_y = 0;
  int32_t bob = 0;      // steps of the bob in the current direction
  int32_t bob_dir = 1;  // +1 down, -1 up
  int32_t object = 0;
  int32_t shadow = 0;
};

struct SwimState {
  int32_t step = -1;
  int32_t restart = 0;  // the menu asked for a retry: the next call starts again
  int32_t wait = 0;

  // The swimmer.
  int32_t x = 0;  // 8 fraction bits
  int32_t y = 0;
  int32_t heading = 0;  // -112..112, 0 straight up
  int32_t speed = 0;    // 0 at rest, -256 after a stroke
  int32_t since = 0;    // steps since the last stroke
  int32_t picture = 0;
  int32_t knock = kKnockNone;
  int32_t knock_steps = 0;

  int32_t scroll = 0;
  int32_t time = 0;
  int32_t goal_x = 0;
  int32_t goal_y = 0;
  int32_t cheering = 0;

  // The water's shimmer: index into the 12-entry phase cycle, steps counted, phase, offset.
  int32_t shimmer_index = 0;
  int32_t shimmer_count = 0;
  int32_t shimmer_phase = 0;
  int32_t shimmer_offset = 9;

  std::array<Obstacle, kMaxObstacles> obstacles{};
  int32_t obstacle_count = 0;
};

struct TestEntryState {
  int32_t n = 1;
  int32_t held = 0;
};

}  // namespace swim
