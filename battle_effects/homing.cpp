#include "battle_effects/homing.h"

#include "battle/slg_geometry.h"
#include "battle/slg_math.h"

namespace {

constexpr int32_t kAngleMask = 511;

// The turn made at frame f (1-based), by the interval and the first turn.
bool TurnsAt(const HomingParams& p, int32_t f) {
  const int32_t interval = p.interval < 1 ? 1 : p.interval;
  return f >= p.first && (f - p.first) % interval == 0;
}

bool Hits(const Homing& h, const HomingParams& p) {
  const Slg::HitBoxRect aim{h.aim.x, h.aim.y, p.aim_half, p.aim_half};
  const Slg::HitBoxRect body{h.pos.x, h.pos.y, p.body_half, p.body_half};
  return Slg::HitBox(aim, body) != 0;
}

void Turn(Homing& h, const HomingParams& p) {
  ++h.turns;
  if (!h.has_aim) return;
  const int32_t aim = HomingAimAngle(h);
  if (p.direction == HomingDirection::kTowardAim) {
    h.heading = TurnToward(h.heading, aim, p.turn_step != nullptr ? p.turn_step() : p.step);
    return;
  }
  // The way is fixed before the step is asked for: a step hook may clear the kept way so that the
  // next turn chooses anew, and that must not undo this turn's choice.
  int way = Slg::AngleDir(aim, h.heading);
  if (h.way == 0) h.way = static_cast<int8_t>(way == 0 ? 1 : way);
  way = way == 0 ? 0 : h.way;
  const int32_t step = p.turn_step != nullptr ? p.turn_step() : p.step;
  h.heading = HomingTurnToward(h.heading, aim, step, way);
}

}  // namespace

int32_t HomingTurnToward(int32_t heading, int32_t aim, int32_t step, int way) {
  heading &= kAngleMask;
  aim &= kAngleMask;
  if (way == 0 || heading == aim) return heading;
  const int32_t left = (way > 0 ? aim - heading : heading - aim) & kAngleMask;
  if (step >= left) return aim;
  return (heading + (way > 0 ? step : -step)) & kAngleMask;
}

int32_t TurnToward(int32_t heading, int32_t aim, int32_t step) {
  const int way = Slg::AngleDir(aim & kAngleMask, heading & kAngleMask);
  return HomingTurnToward(heading, aim, step, way);
}

int32_t HomingAimAngle(const Homing& h) {
  // In pixels: the table's arc tangent takes the two sides as they come.
  const int32_t dx = (h.aim.x - h.pos.x) >> 16;
  const int32_t dy = (h.aim.y - h.pos.y) >> 16;
  return SlgAtan2(dy, dx) & kAngleMask;
}

bool HomingFly(Homing& h, const HomingParams& p, int32_t frames) {
  if (h.burst) return false;
  while (h.frames < frames) {
    const int32_t f = ++h.frames;
    if (TurnsAt(p, f)) Turn(h, p);
    const SlgPair step = SlgPolarToXY(p.speed, h.heading);
    h.pos.x += step.x;
    h.pos.y += step.y;
    if ((h.has_aim && Hits(h, p)) || h.turns >= p.max_turns) {
      h.burst = true;
      if (p.burst != nullptr) p.burst(h);
      return true;
    }
  }
  return false;
}
