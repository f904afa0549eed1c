#pragma once
// What the steps of several animation kinds share (included by their .cpp files only): the step
// gate of the kinds that start, run and end, and the step of the two-value kinds (sprite
// rectangle, window), which move a pair of values toward their targets and apply them to a
// target through one of three setters.

#include <array>
#include <cstdint>
#include <optional>

#include "engine/anime/anime.h"

namespace anime_steps {

// Steps of the kinds that start, run and end.
constexpr int32_t kStepStart = 0;
constexpr int32_t kStepRunning = 1;
constexpr int32_t kStepEnding = 2;  // the next step ends the animation

// The gate of such a kind: at step 0 `start` runs (and moves the step on), at step 1 the kind's
// own work is to run (true), and any later step ends the animation.
template <class Start>
bool Running(AnimeRec& record, Start&& start) {
  switch (record.step) {
    case kStepStart:
      start();
      return false;
    case kStepRunning:
      return true;
    default:
      record.kind = kAnimeEnded;
      return false;
  }
}

// The values of a two-value kind.
struct PairValues {
  int32_t a = 0;
  int32_t b = 0;
};

// Where a two-value kind applies its values: the live check of its target and the setter of each
// mode (0, 1, 2), members of the service that owns the target.
template <class Service, class Target>
struct PairSetters {
  int (Service::*live)(const Target*) const;
  std::array<int (Service::*)(Target*, int, int), 3> by_mode;
};

// Applies the values through the mode's setter. A target that is no longer live (deleted under
// the animation) fails instead of being written to, and so do a mode without a setter and a
// refused set.
template <class Service, class Target>
bool ApplyPair(Service& service, const PairSetters<Service, Target>& setters, Target* target,
               int32_t mode, int32_t a, int32_t b) {
  if (!(service.*setters.live)(target)) return false;
  if (mode < 0 || mode >= static_cast<int32_t>(setters.by_mode.size())) return false;
  return (service.*setters.by_mode[static_cast<size_t>(mode)])(target, a, b) != 0;
}

// One step of a two-value kind (its block has start_a/b, target_a/b and last). Step 0 applies the
// start values and notes the time, or ends the animation when that apply fails. Step 1 applies
// the values `next` gives (none while nothing is due); the animation ends when an apply fails or
// both values have reached their targets.
template <class Block, class Apply, class Next>
void StepPair(AnimeRec& record, Block& block, uint32_t now, Apply&& apply, Next&& next) {
  const auto start = [&] {
    if (apply(block.start_a, block.start_b)) {
      block.last = now;
      record.step = kStepRunning;
    } else {
      record.step = kStepEnding;
    }
  };
  if (!Running(record, start)) return;
  const std::optional<PairValues> values = next();
  if (!values) return;
  if (!apply(values->a, values->b) ||
      (values->a == block.target_a && values->b == block.target_b)) {
    record.step = kStepEnding;
  }
}

}  // namespace anime_steps
