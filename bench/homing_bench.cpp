// The homing kit's flight: the critical's 16 light shells homing on three aims for their whole
// flight (up to 60 turns, 119 frames), one HomingFly call per shell a frame, as the shells' tasks
// call it. The figure is per shell-frame (items/s). Goal: well under 1 microsecond, so that the
// shells are nothing beside a frame's compose (BM_ComposeFrame).

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "battle_effects/homing.h"

namespace {

constexpr int32_t kPx = 65536;

void BM_HomingShells(benchmark::State& state) {
  const HomingParams params{};
  const std::array<SlgPair, 3> aims = {
      SlgPair{300 * kPx, -120 * kPx}, SlgPair{-250 * kPx, 80 * kPx}, SlgPair{40 * kPx, 260 * kPx}};
  int64_t shell_frames = 0;
  for (auto _ : state) {
    std::array<Homing, 16> shells{};
    for (int i = 0; i < 16; ++i) {
      shells[static_cast<size_t>(i)] = Homing{.pos = {0, -80 * kPx},
                                              .aim = aims[static_cast<size_t>(i % 3)],
                                              .heading = (i * 32) & 511,
                                              .has_aim = true};
    }
    for (int32_t f = 1; f <= 120; ++f) {
      for (Homing& h : shells) {
        if (h.burst) continue;
        HomingFly(h, params, f);
        ++shell_frames;
      }
    }
    benchmark::DoNotOptimize(shells);
  }
  state.SetItemsProcessed(shell_frames);
}
BENCHMARK(BM_HomingShells);

}  // namespace
