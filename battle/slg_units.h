#pragma once
// The battle's units of measure, in one place:
// - position: 16.16 fixed-point pixels about the screen centre; the screen pixel of (x, y) is
//   ((x >> 16) + 320, (y >> 16) + 240);
// - depth: a signed battle depth d is drawn at engine sprite priority d + 1536 (0 is in front,
//   2047 behind); SlgCalcDepth gives the depth of a screen-relative height;
// - angle: 512 steps per turn; the engine's rotations are radians x 256, reached by x 804 / 256;
// - polygon colour: 15-bit 5:5:5 (red in bits 10-14), handed to the engine as a COLORREF
//   0x00BBGGRR with each channel c x 255 / 31.

#include <algorithm>
#include <cstdint>

#include "engine/gfx/gfx_types.h"

// A 16.16 pair: a battle position, or a zoom pair (0x10000 = 1.0).
struct SlgPair {
  int32_t x = 0;
  int32_t y = 0;
};

constexpr int32_t kSlgCentreX = 320;
constexpr int32_t kSlgCentreY = 240;
constexpr int32_t kSlgDepthBase = 1536;
constexpr int32_t kSlgDepthFront = -1536;
constexpr int32_t kSlgDepthBack = 511;

constexpr int32_t SlgScreenX(int32_t x) { return (x >> 16) + kSlgCentreX; }
constexpr int32_t SlgScreenY(int32_t y) { return (y >> 16) + kSlgCentreY; }
constexpr int32_t SlgPriority(int32_t depth) { return depth + kSlgDepthBase; }

// -(y / 2) (toward zero), kept within -1536 .. 511; x is not used.
constexpr int32_t SlgCalcDepth(int32_t /*x*/, int32_t y) {
  return std::clamp(-(y / 2), kSlgDepthFront, kSlgDepthBack);
}

// A battle angle value as engine radians x 256: v x 804 / 256 (signed, toward zero).
constexpr int32_t SlgAngleToEngine(int32_t v) {
  return static_cast<int32_t>(int64_t{v} * 804 / 256);
}
// An angle of any sign reduced to 0 .. 511, then converted.
constexpr int32_t SlgTurnToEngine(int32_t angle) {
  return SlgAngleToEngine(((angle % 512) + 512) % 512);
}

// A 15-bit colour as a COLORREF: each 5-bit channel c becomes c x 255 / 31 (truncated).
constexpr ColorRef SlgColorRef(uint16_t colour) {
  const uint32_t r = ((colour >> 10) & 31u) * 255u / 31u;
  const uint32_t g = ((colour >> 5) & 31u) * 255u / 31u;
  const uint32_t b = (colour & 31u) * 255u / 31u;
  return r | (g << 8) | (b << 16);
}
