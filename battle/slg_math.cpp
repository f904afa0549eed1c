#include "battle/slg_math.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "battle/battle_context.h"
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
  if (HasBattle()) {
    SlgRandSeam& seam = Battle().rand_seam;
    ++seam.calls;
    if (seam.script) return seam.script() & 0x7FFFFFFF;
  }
  // Three calls in this order: the generator's sequence decides the value.
  const uint32_t r1 = static_cast<uint32_t>(GetRandom());
  const uint32_t r2 = static_cast<uint32_t>(GetRandom());
  const uint32_t r3 = static_cast<uint32_t>(GetRandom());
  return static_cast<int32_t>(((((r1 & 0x7FFFu) << 8) ^ r2) << 8) ^ r3);
}

int32_t SlgRand20() { return SlgRand() >> 4; }

// ---- Fixed-point products and polar offsets ----
namespace {

int32_t Saturate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

// In 64-bit integers: every product of two 32-bit values is exact there, and division truncates
// toward zero as the conversion of the double quotient would.
int32_t SlgFxMul(int32_t a, int32_t b) { return Saturate(int64_t{a} * b / 65536); }

int32_t SlgFxDiv(int32_t a, int32_t b) {
  if (a == 0) return 0;
  return Saturate(int64_t{b} * 65536 / a);
}

void SlgRotate(SlgPair& v, int32_t a) {
  const int64_t c = SlgCos(a);
  const int64_t s = SlgSin(a);
  const int64_t x = v.x;
  const int64_t y = v.y;
  v.x = Saturate((x * c - y * s + 8192) >> 14);
  v.y = Saturate((x * s + y * c + 8192) >> 14);
}

SlgPair SlgPolarToXY(int32_t r, int32_t a) {
  return SlgPair{SlgFxMul(r, SlgCos(a) * 4), SlgFxMul(r, SlgSin(a) * 4)};
}

// ---- Keyed motions ----

namespace {

// A key offset in 16.16 over its divisor (0 counts as 1, so a zero divisor cannot trap).
int32_t Scaled(int16_t v, int16_t divisor) {
  return Saturate(int64_t{v} * 65536 / (divisor != 0 ? divisor : 1));
}

}  // namespace

void SlgMotionInit(SlgMotion& m, const SlgMotionKey* keys, int16_t div_x, int16_t div_y) {
  m.keys = keys;
  m.div_x = div_x;
  m.div_y = div_y;
  m.step_x = m.step_y = 0;
  m.index = 0;
  if (keys == nullptr) {
    m.x = m.y = 0;
    m.frames_left = -1;
    return;
  }
  m.x = Scaled(keys[0].dx, div_x);
  m.y = Scaled(keys[0].dy, div_y);
  m.target_x = keys[0].dx;
  m.target_y = keys[0].dy;
  // A list whose first key already ends it has nothing to play.
  m.frames_left = keys[0].frames >= 1 ? keys[0].frames : -1;
}

int SlgMotionStep(SlgMotion& m) {
  // Ended (or never started): stays ended rather than counting the frames on below -1.
  if (m.keys == nullptr || m.frames_left < 0) return 0;
  if (--m.frames_left != 0) {
    m.x = Saturate(int64_t{m.x} + m.step_x);
    m.y = Saturate(int64_t{m.y} + m.step_y);
    return 1;
  }
  const SlgMotionKey& reached = m.keys[m.index];
  const SlgMotionKey& next = m.keys[m.index + 1];
  if (next.frames < 1) {
    m.frames_left = -1;
    return 0;
  }
  ++m.index;
  m.x = Scaled(reached.dx, m.div_x);
  m.y = Scaled(reached.dy, m.div_y);
  m.target_x = next.dx;
  m.target_y = next.dy;
  m.step_x = Saturate((int64_t{Scaled(next.dx, m.div_x)} - m.x) / next.frames);
  m.step_y = Saturate((int64_t{Scaled(next.dy, m.div_y)} - m.y) / next.frames);
  m.frames_left = next.frames;
  return 1;
}
