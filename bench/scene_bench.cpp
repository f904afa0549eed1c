// The whole scene of testsupport/whole_scene.h played headless on the program driver:
// - BM_WholeScenePlay: from the manager's GM_ADV_INIT to GM_ADV_STAGE_CLEAR (the choice timed
//   out, the longer row); "game s/s" is game seconds (driver frames of 17 ms) per wall second.
//   The driver's own work (frame hashes, sound record) is inside the time.
// - BM_WholeSceneMapFrame: one whole program frame (input, task list, animations, compose,
//   flip, present, the driver's record) on the town map with the puppet, a place label under the
//   pointer and the message window kept; "allocs/frame" counts operator new calls (the driver's
//   record vectors growing included).

#include <benchmark/benchmark.h>

#include <memory>

#include "bench/bench_allocations.h"
#include "testsupport/program_driver.h"
#include "testsupport/scene_rig.h"
#include "testsupport/whole_scene.h"

namespace {

using testsupport::ProgramDriver;
using testsupport::WholeScenePlayer;

void BM_WholeScenePlay(benchmark::State& state) {
  double game_seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto d = std::make_unique<ProgramDriver>(
        testsupport::SceneRig::RigOptions(ProgramDriver::Options()));
    auto player = std::make_unique<WholeScenePlayer>(*d, WholeScenePlayer::Answer::kTimeout);
    const bool started = d->Start();
    state.ResumeTiming();
    const int first = d->frame();
    if (!started || !player->Play()) {
      state.SkipWithError("the scene did not play to its end");
      return;
    }
    game_seconds += (d->frame() - first) * 17.0 / 1000.0;
    state.PauseTiming();
    player.reset();
    d.reset();
    state.ResumeTiming();
  }
  state.counters["game s/s"] = benchmark::Counter(game_seconds, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_WholeScenePlay)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_WholeSceneMapFrame(benchmark::State& state) {
  ProgramDriver d(testsupport::SceneRig::RigOptions(ProgramDriver::Options()));
  WholeScenePlayer player(d, WholeScenePlayer::Answer::kPointer);
  if (!d.Start() || !player.Start() || !player.PlayToMap()) {
    state.SkipWithError("the scene did not reach the map");
    return;
  }
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    d.Step();
    allocations += BenchAllocations() - before;
  }
  state.counters["allocs/frame"] =
      static_cast<double>(allocations) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_WholeSceneMapFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
