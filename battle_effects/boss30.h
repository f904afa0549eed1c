#pragma once
// The boss of kind 30: the pieces of its two attacks that are plain arithmetic, for the family's
// routines (boss30.cpp) and its tests.
//
// Normal attack: a projectile flies from the boss to the attacked unit in 32 frames on a straight
// line of map positions, drawn dipping below it (64 x sin(n x 8) pixels, deepest at n = 16).
// Special attack: thirteen beams strike from a source 176 pixels above the attacked unit onto the
// points round it; a shape climbs off the screen before the scene whites out.

#include <array>
#include <cstdint>

#include "battle/slg_geometry.h"
#include "battle/slg_units.h"

namespace Boss30 {

// ---- The projectile (normal attack) ----

constexpr int32_t kFlightFrames = 32;

// The drop below the straight line n frames after the launch: SlgSin(n x 8) x 256 (16.16; 64
// pixels at n = 16, none at 0 and 32).
int32_t DipAt(int32_t n);
// Whether the projectile has passed its goal: on either axis the whole-pixel parts of (goal -
// current) and (goal - start) have opposite signs. A start in the goal's whole pixel on both axes
// (an attack aimed at the attacker's own cell) has passed at once.
bool FlightPassed(const SlgPair& start, const SlgPair& goal, const SlgPair& current);

// ---- The strike (special attack) ----

constexpr int kStrikePoints = 13;
// Pixels from the attacked unit's map position, and each beam's depth relative to the attacked
// unit. Point 8 is the attacked unit's own cell.
constexpr std::array<SlgPoint, kStrikePoints> kStrikeOffsets{{{48, 24},
                                                              {-48, 24},
                                                              {-48, -24},
                                                              {48, -24},
                                                              {96, 0},
                                                              {0, 48},
                                                              {-96, 0},
                                                              {0, -48},
                                                              {0, 0},
                                                              {96, 48},
                                                              {-96, 48},
                                                              {-96, -48},
                                                              {96, -48}}};
constexpr std::array<int8_t, kStrikePoints> kBeamDepths{-1, -1, 2, 2, 0, -3, 0, 3, 0, -3, -3, 3, 3};
// The source stands this far above the attacked unit; the beam picture is this tall.
constexpr int32_t kSourceRise = 176;
constexpr int32_t kBeamLength = 192;

// Beam k's rotation (512 steps: SlgAtan2(-dx, dy + 128)) and zoom (1.0 across; along, the
// 192-pixel picture stretched to (dy + 176) / cos(angle) pixels, 16.16).
struct BeamPose {
  int32_t angle;
  SlgPair zoom;
};
BeamPose BeamAt(int k);

// ---- The rising shape (special attack) ----

// The climb replayed from its start n frames into it: from y = -128 pixels at -2.0 pixels a
// frame, the speed growing by 1.0 a frame, stopping at the first y of -256 pixels or less (done).
struct Climb {
  int32_t y;  // 16.16 pixels
  bool done;
};
Climb ClimbAt(int32_t n);

}  // namespace Boss30
