#pragma once
// Amateras's attacks (kinds 26, 27): the arithmetic of the special attack's light rays, orb,
// flash and bolts and of the normal attack's beam, each recomputed from its start values and its
// frames (60 per second), for the routines (amateras.cpp) and their tests.
//
//   const std::array<PolygonPoint, 4> c = AmaterasRayCorners(p, age, centre);
//   const SlgPair at = AmaterasBoltAt(source, angle, frames);
//   if (AmaterasOffScreen(at)) ...start it again or let it go

#include <array>
#include <cstdint>

#include "battle/slg_geometry.h"
#include "engine/gfx/gfx_types.h"

// The screen border walked clockwise from the top-left corner: 2 x (640 + 480) pixels.
constexpr int32_t kAmaterasPerimeter = 2240;
// A ray lives 16 frames before it starts again.
constexpr int32_t kAmaterasRayLife = 16;

// The border point of perimeter value q, in pixels about the screen centre: 0..639 the top edge
// (q - 320, -240), 640..1119 the right (320, q - 880), 1120..1759 the bottom (1440 - q, 240),
// from 1760 the left (-320, 2000 - q).
SlgPoint AmaterasBorderPoint(int32_t q);

// The stretch of border a ray at perimeter position p covers at age a (0-15 frames): below 8
// from p to p + a, from 8 from p - 16 + 2a to p + 16.
struct AmaterasStretch {
  int32_t s, e;
};
AmaterasStretch AmaterasRayStretch(int32_t p, int32_t age);

// The ray's polygon corners relative to its centre (pixels about the screen centre): the border
// point of s, the centre, the centre + (e - s) / 4, the border point of e.
std::array<PolygonPoint, 4> AmaterasRayCorners(int32_t p, int32_t age, SlgPoint centre);

// The orb's zoom (n + 1) / 64 held at 1.25, and the flash's 1/16 + n/16 held at 4.0 (16.16).
int32_t AmaterasOrbZoom(int32_t n);
int32_t AmaterasFlashZoom(int32_t n);
constexpr int32_t kAmaterasOrbFull = 0x14000;
constexpr int32_t kAmaterasFlashFull = 0x40000;

// A bolt n frames out from its source (drawing positions, 16.16) along a 512-step angle:
// x + 16 n sin a, y - 16 n cos a pixels.
SlgPair AmaterasBoltAt(const SlgPair& source, int32_t angle, int32_t n);
// Beyond the screen: x past +-320 or y past +-240 pixels.
bool AmaterasOffScreen(const SlgPair& at);

// The beam's far end after n of its 16 frames of growth: origin + (reach - origin) x n / 16
// (16.16; n held to 0..16).
SlgPair AmaterasBeamEnd(const SlgPair& origin, const SlgPair& reach, int32_t n);
// A 16.16 length as whole pixels, rounded down, except that a non-zero length under one pixel
// becomes +1 or -1 by its sign (so the line never loses its width).
int32_t AmaterasShiftPixels(int32_t v);
// The beam's width shift: (2 cos a, 2 sin a) pixels through AmaterasShiftPixels, a the angle
// (SlgAtan2) of the vector from the far end to the origin.
SlgPoint AmaterasBeamShift(const SlgPair& far_end, const SlgPair& origin);
