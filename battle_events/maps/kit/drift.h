#pragma once
// Drifting decoration on the maps' fixed sprites: a shared drift level that swells and calms in a
// loop, and the record each drifting sprite keeps of it, so that the sprite's path is replayed
// from its start point with the level each frame of its life had.
//
//   DriftLevel level;                  // the controller's, stepped once a frame
//   DriftHistory<480> history;         // one per sprite, cleared when it (re)starts
//   x = start_x + history.Replay(age, -2 * 65536, level.value);
//
// The level (16.16) rises by 6553 a frame from where the rise began up to 0x30000, holds 300
// frames, falls by 6553 a frame to 0, holds 300 frames, and starts over. A level may start in any
// phase (DriftLevel{.phase = DriftPhase::kHoldLow} holds at 0 first).

#include <array>
#include <cstddef>
#include <cstdint>

enum class DriftPhase : uint8_t { kRise, kHoldHigh, kFall, kHoldLow };

constexpr int32_t kDriftStep = 6553;
constexpr int32_t kDriftTop = 0x30000;
constexpr int32_t kDriftHoldFrames = 300;

struct DriftLevel {
  int32_t value = 0;
  DriftPhase phase = DriftPhase::kRise;
  int32_t from = 0;    // the value when the rise or fall began
  int32_t frames = 0;  // frames into the current phase
};

// One frame of the level.
void StepDrift(DriftLevel& level);

// The level as a sprite saw it on each frame of its life.
template <int N>
struct DriftHistory {
  std::array<int32_t, N> level{};
  int32_t recorded = 0;

  void Clear() { recorded = 0; }
  // The x offset (16.16) after `age` frames: on each frame `base` less the level recorded for it.
  // Frames not yet recorded take `current` (and keep it). Ages past N count N frames.
  int32_t Replay(int32_t age, int32_t base, int32_t current) {
    const int32_t frames = age < 0 ? 0 : (age > N ? N : age);
    for (; recorded < frames; ++recorded) level[static_cast<size_t>(recorded)] = current;
    int64_t dx = 0;
    for (int32_t f = 0; f < frames; ++f) dx += int64_t{base} - level[static_cast<size_t>(f)];
    return static_cast<int32_t>(dx);
  }
  // The same over a life that may outlast the record: frames past N are never recorded and take
  // `current`, as unrecorded frames do.
  int32_t ReplayLong(int32_t age, int32_t base, int32_t current) {
    const int32_t dx = Replay(age, base, current);
    if (age <= N) return dx;
    return static_cast<int32_t>(int64_t{dx} + (int64_t{base} - current) * (int64_t{age} - N));
  }
};
