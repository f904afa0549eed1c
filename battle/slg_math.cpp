#include "battle/slg_math.h"

#include <cmath>
#include <numbers>

#include "battle/slg_units.h"
#include "engine/app/doors.h"
#include "game/sine_table.h"

int32_t SlgSin(int32_t a) { return SineOf(a); }
int32_t SlgCos(int32_t a) { return CosineOf(a); }

int32_t SlgAtan2(int32_t a, int32_t b) {
  const double turn = std::trunc(std::atan2(static_cast<double>(a), static_cast<double>(b)) *
                                 256.0 / std::numbers::pi);
  return static_cast<int32_t>(turn) & 511;
}

int32_t SlgRand() {
  // Three calls in this order: the generator's sequence decides the value.
  const uint32_t r1 = static_cast<uint32_t>(GetRandom());
  const uint32_t r2 = static_cast<uint32_t>(GetRandom());
  const uint32_t r3 = static_cast<uint32_t>(GetRandom());
  return static_cast<int32_t>(((((r1 & 0x7FFFu) << 8) ^ r2) << 8) ^ r3);
}

int32_t SlgRand20() { return SlgRand() >> 4; }

// ---- Fixed-point products and polar offsets ----
int32_t SlgFxMul(int32_t a, int32_t b) {
  return static_cast<int32_t>((static_cast<int64_t>(a) * b) >> 16);
}

SlgPair SlgPolarToXY(int32_t r, int32_t a) {
  return SlgPair{SlgFxMul(r, SlgCos(a) * 4), SlgFxMul(r, SlgSin(a) * 4)};
}
