#pragma once
// Timed motions replayed from their saved start: a motion keeps the values it started from, and
// on every frame the values are restored and its per-frame rule applied once for each whole frame
// since the start (the body object's `frames`, battle/slg_anm_obj.h). A late frame so jumps
// ahead to where the frame-by-frame run would be, and every run from the same start gives the
// same values.

#include <cstdint>

// Restores `state` from `saved` and applies `step` to it `frames` times; a step returning true
// ends the replay after it (the motion has reached its end). Returns whether a step ended it.
template <class State, class Step>
bool ReplayMotion(State& state, const State& saved, int32_t frames, Step&& step) {
  state = saved;
  for (int32_t f = 0; f < frames; ++f) {
    if (step(state)) return true;
  }
  return false;
}
