// The minigame driver: one mg_frame on the fade path (the scene captured in work surface 1021,
// then copied into the screen 1023 with the brightness applied) beside a plain 640 x 480 copy,
// with the allocations of the steady frames counted ("allocs/frame"; goal 0); and whole program
// frames of a running minigame through the test runner (goal: above 2000 steps a second).

#include <benchmark/benchmark.h>

#include <vector>

#include "bench/alloc_count.h"
#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/pixels/surface_pixels.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_surface.h"
#include "minigames/minigame_context.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_game.h"

namespace {

constexpr const char* kOd = "tamvik3\\od\\mg_test.od";

struct FadeRig {
  FadeRig() {
    game.engine.host.display.pitch_padding = 0;
    Ctx().file_io.SetInstallDir(tree.install().c_str());
    tree.Write("install/tamvik3/od/mg_test.od", testsupport::UniversalOd().Build());
    ready = Ctx().ddraw.InitDirectDraw() == 1;
    minigame.games[0].proc = [](int) { return 1; };
  }

  testsupport::GameTree tree;
  testsupport::TestGame game;
  MinigameContext minigame;
  MinigameScope scope{minigame};
  bool ready = false;
};

void BM_MinigameFadeFrame(benchmark::State& state) {
  FadeRig rig;
  if (!rig.ready || mg_start(0, mg::kModeFreePlay) != 1) {
    state.SkipWithError("the minigame could not start");
    return;
  }
  auto frame = [&rig] {
    rig.game.engine.host.clock.Advance(17);
    mg_frame();
  };
  for (int i = 0; i < 4; ++i) frame();  // the load step and the first frames
  mg_brightness(128);
  frame();  // captures the scene into 1021
  uint64_t allocations = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocationCount();
    frame();
    allocations += BenchAllocationCount() - before;
  }
  state.counters["allocs/frame"] = static_cast<double>(allocations) / state.iterations();
  if (Minigame().fw.fade_phase != 2) state.SkipWithError("the fade path was not taken");
  mg_end();
}
BENCHMARK(BM_MinigameFadeFrame)->Unit(benchmark::kMicrosecond);

void BM_PlainScreenCopy(benchmark::State& state) {
  auto a = platform::Surface::Create(640, 480, platform::PixelLayout::kRgb565);
  auto b = platform::Surface::Create(640, 480, platform::PixelLayout::kRgb565);
  const Rect r{0, 0, 640, 480};
  for (auto _ : state) {
    CopyPixels(*a, r, *b, r, PixelCopy{});
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PlainScreenCopy)->Unit(benchmark::kMicrosecond);

void BM_MinigameRunnerStep(benchmark::State& state) {
  testsupport::MinigameRunner runner;
  runner.WriteFile(kOd, testsupport::OdWriter().Solid(0, 32, 32, 255, 0, 0).Build());
  runner.SetProc(0, [](int) {
    mg_fill(mg::kSlotScreen, 0, 0, 64, 64, 0x00FF00);
    return 1;
  });
  if (!runner.Start(0, mg::kModeFreePlay)) {
    state.SkipWithError("the minigame could not start");
    return;
  }
  runner.Run(3);
  int64_t steps = 0;
  for (auto _ : state) {
    runner.Step();
    steps += runner.last_steps();
  }
  state.counters["steps/s"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_MinigameRunnerStep)->Unit(benchmark::kMicrosecond);

}  // namespace
