// One whole program frame of each minigame at its busiest moment, on the minigame runner with the
// install tree of every row and the row's bot playing (the shooting game's frame is in
// shot_bench.cpp). A first run finds the frame with the most objects on the layer lists; a second
// run, the same frame for frame, is brought to it, and the timed frames follow from there, one
// step each (17, 17, 16 ms) with the bot still playing (goal: under 2 ms a frame on one core, no
// allocation in the steady frames). The frames are a fixed number, so the game stays near its
// busiest moment. The whole frame is timed (the engine's frame, the driver's records of it and
// the bot), so the allocations counted include the driver's.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>

#include "bench/alloc_count.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/minigame_context.h"
#include "testsupport/minigame_bots.h"
#include "testsupport/minigame_install.h"
#include "testsupport/minigame_runner.h"

namespace {

constexpr int kTimedFrames = 60;

// The objects on the layer lists that show an image now.
int ListedObjects() {
  int shown = 0;
  int seen = 0;
  for (int layer = 0; layer < mg::kLayerCount; ++layer) {
    for (int o = Minigame().layer_heads[static_cast<size_t>(layer)]; o != 0 && ++seen < 4096;
         o = Minigame().objects[static_cast<size_t>(o)].link) {
      if (Minigame().objects[static_cast<size_t>(o)].image != mg::kNoImage) ++shown;
    }
  }
  return shown;
}

// A run of the row with its bot; `frames` frames at most, stopping early when `stop` holds after
// a frame. The number of frames run.
int Play(testsupport::MinigameRunner& runner, int row, int frames,
         const std::function<bool(int)>& stop) {
  testsupport::WriteMinigameInstall(runner);
  if (!runner.Start(row, 0)) return -1;
  runner.bot = [bot = testsupport::RowBot(row)](testsupport::MinigameRunner& r) mutable {
    if (mg_is_running()) bot(r);
  };
  int i = 0;
  while (i < frames && mg_is_running()) {
    if (!runner.Step()) return -1;
    ++i;
    if (stop(i)) break;
  }
  return i;
}

void MinigameFrame(benchmark::State& state, int row, int search_frames) {
  // The busiest frame of the first run.
  int busiest_frame = -1;
  int busiest = -1;
  {
    testsupport::MinigameRunner runner;
    const int ran = Play(runner, row, search_frames, [&](int frame) {
      const int shown = ListedObjects();
      if (shown > busiest) {
        busiest = shown;
        busiest_frame = frame;
      }
      return false;
    });
    if (ran < 0 || busiest_frame < 0) {
      state.SkipWithError("the minigame did not run");
      return;
    }
  }
  testsupport::MinigameRunner runner;
  if (Play(runner, row, busiest_frame, [](int) { return false; }) != busiest_frame ||
      !mg_is_running()) {
    state.SkipWithError("the second run did not reach the busiest frame");
    return;
  }
  uint64_t allocations = 0;
  int64_t steps = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocationCount();
    runner.Step();
    allocations += BenchAllocationCount() - before;
    steps += runner.last_steps();
  }
  state.counters["allocs/frame"] = static_cast<double>(allocations) / state.iterations();
  state.counters["steps/frame"] = static_cast<double>(steps) / state.iterations();
  state.counters["objects"] = busiest;
  state.counters["at_frame"] = busiest_frame;
}

void Register() {
  struct Game {
    const char* name;
    int row;
    int search_frames;  // frames searched for the busiest moment
  };
  static const Game kGames[] = {
      {"Swimming", 1, 800},  {"Cleaning", 2, 1500}, {"Cooking", 3, 1500}, {"Cards", 4, 1500},
      {"Slot", 5, 900},      {"LostChild", 6, 900}, {"Hub", 8, 300},
  };
  for (const Game& g : kGames) {
    benchmark::RegisterBenchmark((std::string("MinigameFrame/") + g.name).c_str(),
                                 [g](benchmark::State& state) {
                                   MinigameFrame(state, g.row, g.search_frames);
                                 })
        ->Unit(benchmark::kMicrosecond)
        ->Iterations(kTimedFrames);
  }
}

const int kRegistered = (Register(), 0);

}  // namespace
