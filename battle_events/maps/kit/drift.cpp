#include "battle_events/maps/kit/drift.h"

#include <algorithm>

void StepDrift(DriftLevel& d) {
  ++d.frames;
  switch (d.phase) {
    case DriftPhase::kRise:
      d.value = static_cast<int32_t>(
          std::min<int64_t>(int64_t{d.from} + int64_t{kDriftStep} * d.frames, kDriftTop));
      if (d.value == kDriftTop) d = {d.value, DriftPhase::kHoldHigh, d.value, 0};
      break;
    case DriftPhase::kHoldHigh:
      if (d.frames >= kDriftHoldFrames) d = {d.value, DriftPhase::kFall, d.value, 0};
      break;
    case DriftPhase::kFall:
      d.value = static_cast<int32_t>(
          std::max<int64_t>(int64_t{d.from} - int64_t{kDriftStep} * d.frames, 0));
      if (d.value == 0) d = {0, DriftPhase::kHoldLow, 0, 0};
      break;
    case DriftPhase::kHoldLow:
      if (d.frames >= kDriftHoldFrames) d = {d.value, DriftPhase::kRise, d.value, 0};
      break;
  }
}
