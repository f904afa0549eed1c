#pragma once
// Vevaz's attacks (kind 28): the pieces of the special attack's shock wave and scene that are
// plain arithmetic, for the routine and its tests.
//
// The wave runs along the boss's facing direction from the centre of its cell toward the centre
// of the last free cell ahead (and later back), accelerating up to a speed limit per axis. Each
// frame the run is replayed from its start copies over every frame since it began, so a machine
// that skips frames puts the wave where a steady one does:
//
//   VevazWave run = VevazWaveOut(point, end, unit.dir);
//   ... each frame: const VevazWavePos p = VevazWaveAt(run, TimelineFrames(start));
//   if (p.passed) the run is over

#include <cstdint>

#include "battle/slg_geometry.h"
#include "battle/slg_units.h"
#include "engine/gfx/pixels/blend_blit.h"

// One run of the wave: its start (16.16 map position), the end it runs toward, its start speed
// and acceleration (16.16 pixels per frame, and per frame per frame) and the speed limit of
// each axis (16.16, signed as the motion).
struct VevazWave {
  SlgPair start;
  SlgPair end;
  SlgPair speed;
  SlgPair accel;
  SlgPair limit;
};

struct VevazWavePos {
  SlgPair point;
  bool passed;  // the point has passed the end (VevazWavePassed)
};

// The wave's line from a unit: the passable cells ahead in its direction (CountLineCells, up to
// 256), the centre of its own cell and the centre of the cell that many steps ahead (ground
// points, 16.16 map positions).
struct VevazWaveLine {
  int32_t cells;
  SlgPair start;
  SlgPair end;
};
VevazWaveLine VevazWaveLineOf(const SlgUnit& unit);

// The run of direction dir (0-3; other values count modulo 4) from `start` toward `end`, with
// that direction's start speed, acceleration and limit.
VevazWave VevazWaveToward(const SlgPair& start, const SlgPair& end, int dir);
// The run after `frames` frames (below 0: 0); a run that has passed its end at its start (the
// same whole pixel) stays there. Per frame: an axis whose speed has reached its
// limit in size stops accelerating for good, the speed grows by the acceleration, the point moves
// by the speed. Sums are taken in 64 bits and held to the 32-bit range.
VevazWavePos VevazWaveAt(const VevazWave& run, int32_t frames);
// Whether `point` has passed the run's end: on an axis where the end and the start differ in
// whole pixels, the whole-pixel sign of end - point differs from that of end - start. A run whose
// start and end are the same whole pixel on both axes has passed at once (it would never change
// sign).
bool VevazWavePassed(const VevazWave& run, const SlgPair& point);

// The map scroll (top-left map pixel) that centres a map position, held to 0 .. map size -
// (640, 480) (the stage's size; 640 x 480 without a stage).
SlgPoint VevazWaveScroll(const SlgPair& point);

// The glows at n frames since their start: alpha word 0x10000 + n x 256 / 32 up to n = 32, then
// 0x10100; zoom 1/32 + n/32 on each axis, held at 1.0.
BlendWord VevazGlowAlpha(int32_t n);
int32_t VevazGlowZoom(int32_t n);
// The sparks kept active at n frames since they started: one more every 8 frames, up to 16.
int VevazActiveSparks(int32_t n);
