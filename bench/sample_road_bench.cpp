// The boot-to-scene-and-back road on the sample install directory, headless (testsupport/
// sample_road.h): the staff card, the opening, the title's menu, the extra scene's two messages
// and the title again. Reports game frames per second of wall time, that rate as a multiple of
// real time (60 game frames a second), and the wall time per presented (composed) frame.

#include <benchmark/benchmark.h>

#include <memory>

#include "testsupport/sample_road.h"

namespace {

void BM_SampleBootToSceneAndBack(benchmark::State& state) {
  double frames = 0;
  double presented = 0;
  for (auto _ : state) {
    state.PauseTiming();
    auto road = std::make_unique<testsupport::SampleRoad>(TAMVIK_SAMPLE_DIR, "");
    state.ResumeTiming();
    bool ok = road->BootToTitleMenu();
    if (ok) {
      road->ChooseRow(2);
      ok = road->PlaySceneToTitle();
    }
    if (!ok) {
      state.SkipWithError("the road was not completed");
      break;
    }
    frames += road->d.frame();
    presented += road->d.presented();
    state.PauseTiming();
    road.reset();
    state.ResumeTiming();
  }
  state.counters["game_frames_per_s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["x_real_time"] = benchmark::Counter(frames / 60.0, benchmark::Counter::kIsRate);
  state.counters["s_per_presented_frame"] = benchmark::Counter(
      presented, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["frames"] = benchmark::Counter(frames, benchmark::Counter::kAvgIterations);
}
// Rates per wall second: the counters divide by real time, not the main thread's CPU time.
BENCHMARK(BM_SampleBootToSceneAndBack)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
