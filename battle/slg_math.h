#pragma once
// The battle's sine, cosine, angle and random services: angles of 512 steps per turn on the
// game's shared sine table (16384 = 1.0), random values from the engine's generator.

#include <cstdint>

// table[a & 511] / table[(a & 511) + 128].
int32_t SlgSin(int32_t a);
int32_t SlgCos(int32_t a);
// trunc(atan2(a, b) x 256 / pi) & 511: the angle of the vector whose sine side is a and cosine
// side b.
int32_t SlgAtan2(int32_t a, int32_t b);
// ((((r1 & 0x7FFF) << 8) ^ r2) << 8) ^ r3 of three successive generator values: 0 .. 0x7FFFFFFF.
// With a battle current, each call is counted in Battle().rand_seam, and a script set there
// answers instead of the generator (its low 31 bits; the generator is then not read).
int32_t SlgRand();
// SlgRand() >> 4.
int32_t SlgRand20();

// ---- Fixed-point products and polar offsets ----
struct SlgPair;
// The 16.16 product a x b / 65536, truncated toward zero and held to the 32-bit range.
int32_t SlgFxMul(int32_t a, int32_t b);
// The 16.16 quotient b / a (note the order), truncated toward zero and held to the 32-bit
// range; 0 for a zero divisor.
int32_t SlgFxDiv(int32_t a, int32_t b);
// Rotates a 16.16 vector by `a` (512 steps) on the table's values (16384 = 1.0), rounded:
// x' = x cos a - y sin a + 0.5, y' = x sin a + y cos a + 0.5.
void SlgRotate(SlgPair& v, int32_t a);
// The 16.16 offset of length r (16.16) at angle a (512 steps): x = r cos a, y = r sin a, the
// table's values x 4 as 16.16 factors.
SlgPair SlgPolarToXY(int32_t r, int32_t a);

// ---- Keyed motions ----

// One key of a motion: an offset (divided by the motion's divisors) and the frames the move to
// it takes; a key with frames below 1 ends the list.
struct SlgMotionKey {
  int16_t dx, dy, frames;
};
// A keyed motion over a caller's key list (caller-owned record).
struct SlgMotion {
  const SlgMotionKey* keys;
  int32_t x, y;            // current position, 16.16
  int32_t step_x, step_y;  // per frame, 16.16
  int16_t div_x, div_y;    // divisors of the keys' offsets (0 counts as 1)
  int16_t target_x, target_y;  // the key the current segment moves to
  int16_t frames_left;     // frames left in the segment; -1 once the list has ended
  int16_t index;           // key index
};
// Current := key 0 (dx x 65536 / div_x, dy x 65536 / div_y), steps 0, frames left := key 0's
// frames, index 0.
void SlgMotionInit(SlgMotion& m, const SlgMotionKey* keys, int16_t div_x, int16_t div_y);
// One frame: 0 once the list has ended (and on every later call). Frames left - 1; while it is
// not 0, current += step and 1. At 0 the next key: frames below 1 end the list (frames left -1,
// 0); else current := the key just reached, step := (next - reached) / its frames, 1.
int SlgMotionStep(SlgMotion& m);
