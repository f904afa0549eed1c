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
int32_t SlgRand();
// SlgRand() >> 4.
int32_t SlgRand20();

// ---- Fixed-point products and polar offsets ----
struct SlgPair;
// (a x b) >> 16 in 64 bits: the 16.16 product.
int32_t SlgFxMul(int32_t a, int32_t b);
// The 16.16 offset of length r (16.16) at angle a (512 steps): x = r cos a, y = r sin a, the
// table's values x 4 as 16.16 factors.
SlgPair SlgPolarToXY(int32_t r, int32_t a);
