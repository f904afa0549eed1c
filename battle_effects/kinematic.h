#pragma once
// A straight motion at a constant velocity, read afresh from its start every frame: position =
// start + velocity x frames (16.16), each axis held within its clamp, and an end rule. Reading it
// from the start (never adding a step a call) keeps a slow machine that skips frames on the same
// path at the same times.
//
//   Kinematic dash{.start = from, .velocity = {12 << 16, 9 << 16},
//                  .end = KinematicEnd::kPointPassed, .axes = kKinematicX, .point = trigger};
//   const KinematicPos p = KinematicAt(dash, frames);   // p.pos, p.ended
//
// End rules:
// - kPointPassed: every axis named in `axes` has reached `point` in the direction it moves (at or
//   beyond it; an axis that does not move has passed once it is at or beyond the point upward);
// - kFrames: `frames` frames have passed; the motion stops there (the position of that frame);
// - kBoxLeft: the position lies outside the box [point, box_high] (its edges are inside);
// - kNever.
// A clamp holds the position first; the end rule reads the clamped position.

#include <cstdint>

#include "battle/slg_units.h"

constexpr uint8_t kKinematicX = 0x1;
constexpr uint8_t kKinematicY = 0x2;

enum class KinematicEnd : uint8_t { kNever, kPointPassed, kFrames, kBoxLeft };

struct Kinematic {
  SlgPair start{};
  SlgPair velocity{};  // per frame
  uint8_t clamp = 0;   // the axes held within [low, high]
  SlgPair low{};
  SlgPair high{};
  KinematicEnd end = KinematicEnd::kNever;
  uint8_t axes = kKinematicX | kKinematicY;  // the axes kPointPassed tests
  SlgPair point{};     // kPointPassed: the point; kBoxLeft: the box's low corner
  SlgPair box_high{};  // kBoxLeft: the box's high corner
  int32_t frames = 0;  // kFrames: the motion's length
};

struct KinematicPos {
  SlgPair pos;
  bool ended;
};

// The motion at `frames` frames from its start (frames below 0 count as 0). The products are
// taken in 64 bits and held to the 32-bit range.
KinematicPos KinematicAt(const Kinematic& motion, int32_t frames);

// ---- The replay form ----
//
// A motion whose step depends on where it stands (a heading taken afresh each step, a speed that
// changes, a hook that moves other things along): each frame the state is rebuilt from its start
// values and the step applied once per elapsed frame, so a slow machine that skips frames passes
// through the same states. The step (State&, int32_t i) is told the step's number (0 first) and
// answers false to stop the motion there: no later step runs, in this frame or any later one.
//
//   struct Line { SlgPair pos; int32_t heading; };
//   const KinematicReplayed<Line> r = KinematicReplay(Line{start}, frames, [](Line& l, int32_t) {
//     ...one frame of flight...;  return !Inside(l.pos);
//   });
//   // r.state, r.steps (steps applied), r.stopped
//
// At most `limit` steps are applied (a clock that jumps far ahead does not make one frame run for
// ever); frames below 0 count as 0.

template <typename State>
struct KinematicReplayed {
  State state;
  int32_t steps;
  bool stopped;
};

constexpr int32_t kKinematicReplayLimit = 1 << 16;

template <typename State, typename Step>
KinematicReplayed<State> KinematicReplay(const State& start, int32_t frames, Step&& step,
                                         int32_t limit = kKinematicReplayLimit) {
  KinematicReplayed<State> r{start, 0, false};
  const int32_t n = frames < 0 ? 0 : frames < limit ? frames : limit;
  while (r.steps < n) {
    const bool go_on = step(r.state, r.steps);
    ++r.steps;
    if (!go_on) {
      r.stopped = true;
      break;
    }
  }
  return r;
}
