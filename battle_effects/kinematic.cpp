#include "battle_effects/kinematic.h"

#include <algorithm>
#include <limits>

namespace {

int32_t Along(int32_t start, int32_t velocity, int32_t frames) {
  const int64_t v = int64_t{start} + int64_t{velocity} * frames;
  return static_cast<int32_t>(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

bool Passed(int32_t at, int32_t velocity, int32_t point) {
  return velocity < 0 ? at <= point : at >= point;
}

}  // namespace

KinematicPos KinematicAt(const Kinematic& m, int32_t frames) {
  int32_t f = std::max(frames, int32_t{0});
  if (m.end == KinematicEnd::kFrames) f = std::min(f, std::max(m.frames, int32_t{0}));
  SlgPair p{Along(m.start.x, m.velocity.x, f), Along(m.start.y, m.velocity.y, f)};
  if ((m.clamp & kKinematicX) != 0) p.x = std::clamp(p.x, m.low.x, std::max(m.low.x, m.high.x));
  if ((m.clamp & kKinematicY) != 0) p.y = std::clamp(p.y, m.low.y, std::max(m.low.y, m.high.y));
  bool ended = false;
  switch (m.end) {
    case KinematicEnd::kNever: break;
    case KinematicEnd::kPointPassed:
      ended = (m.axes & (kKinematicX | kKinematicY)) != 0 &&
              ((m.axes & kKinematicX) == 0 || Passed(p.x, m.velocity.x, m.point.x)) &&
              ((m.axes & kKinematicY) == 0 || Passed(p.y, m.velocity.y, m.point.y));
      break;
    case KinematicEnd::kFrames: ended = frames >= m.frames; break;
    case KinematicEnd::kBoxLeft:
      ended = p.x < m.point.x || p.x > m.box_high.x || p.y < m.point.y || p.y > m.box_high.y;
      break;
  }
  return {p, ended};
}
