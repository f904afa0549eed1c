// The shared shapes of the attacks of kinds 23 and 24: shake, risers, falls, flames, orb zoom,
// the random picks and the strikers.

#include "battle_effects/falling_strikes.h"

#include <algorithm>
#include <cstdint>

#include "battle/slg_math.h"
#include "battle_effects/kinematic.h"

namespace {

constexpr int32_t kPx = kFallPx;
constexpr int32_t kShakeLimit = 4 * kPx;

int32_t Clamp32(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

int32_t ShakeOffset(int32_t swings) {
  int32_t offset = 0;
  int32_t amplitude = kPx;
  // The growing swings: at most four before the amplitude reaches its limit.
  int32_t n = std::max(swings, 0);
  while (n > 0 && amplitude < kShakeLimit) {
    offset = offset >= 0 ? offset - amplitude : offset + amplitude;
    amplitude += kPx;
    --n;
  }
  // Then it flips between the two ends: each swing from the side it is on to the other.
  if (n == 0) return offset;
  const bool first_to_minus = offset >= 0;
  const bool minus = (n % 2 == 1) ? first_to_minus : !first_to_minus;
  return minus ? -kShakeLimit : kShakeLimit;
}

int32_t RiserSpeed(int32_t start_y, int32_t base_px) {
  return Clamp32((static_cast<int64_t>(start_y) + static_cast<int64_t>(base_px) * kPx) / 64);
}

RiserPos RiserAt(int32_t start_y, int32_t speed, int32_t frames) {
  const int64_t f = std::max(frames, 0);
  const int32_t y = Clamp32(static_cast<int64_t>(start_y) - static_cast<int64_t>(speed) * f);
  return {y, y < kRiserGoneY};
}

FallState FallAt(const Fall& fall, int32_t frames) {
  if (fall.raise <= 0) return {0, 0, true};
  struct Drop {
    int64_t drop;
    int64_t speed;
  };
  const auto r = KinematicReplay(Drop{0, fall.first_speed}, frames, [&](Drop& d, int32_t) {
    d.drop += d.speed;
    d.speed += kPx;
    return d.drop < fall.raise;
  });
  const bool landed = r.state.drop >= fall.raise;
  return {landed ? fall.raise : static_cast<int32_t>(r.state.drop), r.steps, landed};
}

SlgPair FlamePlace(int i) {
  const int32_t a = (42 * i + 21) & 511;
  // The table's 1.0 is 16384: 192 x cos in 16.16 is 192 x table x 4.
  return {192 * SlgCos(a) * 4, 48 * kPx + 64 * SlgSin(a) * 4};
}

FlameRise FlameRiseAt(int32_t y0, int32_t frames) {
  struct Rise {
    int64_t y;
    int64_t speed;
  };
  const auto r = KinematicReplay(Rise{y0, -kPx}, frames, [](Rise& s, int32_t) {
    s.y += s.speed;
    s.speed -= kPx / 2;
    return s.y >= kFlameGoneY;
  });
  return {Clamp32(r.state.y), r.state.y < kFlameGoneY};
}

int32_t OrbZoom(int32_t n) {
  const int64_t z = kPx + static_cast<int64_t>(std::max(n, 0)) * (kPx / 128);
  return static_cast<int32_t>(std::min<int64_t>(z, kPx + kPx / 2));
}

namespace {

int32_t RandomX() { return (SlgRand() % 640 - 320) * kPx; }

}  // namespace

SpawnPick PickSpark(bool replay) {
  constexpr uint32_t kFirst[] = {0, 1, 21, 22};
  const uint32_t anm =
      replay ? static_cast<uint32_t>(SlgRand() & 1) : kFirst[static_cast<uint32_t>(SlgRand()) & 3];
  return {anm, RandomX()};
}

SpawnPick PickRock() {
  const uint32_t anm = 9 + static_cast<uint32_t>(SlgRand() % 5);
  return {anm, RandomX()};
}

uint32_t PickStoneAnm() { return 15 + static_cast<uint32_t>(SlgRand() & 3); }

LandingAnms MeteorLanding(bool on_target, uint8_t side) {
  if (on_target && side == 0) return {6, 7};
  return {4, 8};
}

void MakeStrikers(Strikers& s, const SlgPair& centre, std::span<CellStrike, kStrikers> strikes) {
  CellStrikesAround(centre, kStrikeCells, strikes);
  for (size_t i = 0; i < kStrikers; ++i) {
    s.all[i] = {strikes[i].cell.ground, strikes[i].target, 0, kStrikeWaiting};
  }
  s.spawn = {};
  s.spawn_start = TimelineNow();
  s.done = 0;
}
