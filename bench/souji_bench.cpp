// The cleaning game at its busiest: one mg_frame in play (the game's step, the object update and
// the picture with both tile-map passes) with 16 obstacles, 48 decorations, the two characters and
// the score, beside BM_MinigameBusyDraw (goal: under 2 ms a frame on one core, no allocation in
// steady frames).

#include <benchmark/benchmark.h>

#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/minigame_context.h"
#include "minigames/souji/souji_course.h"
#include "testsupport/od_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_game.h"

namespace {

// The busy course: walls and front tiles in every row away from the leader's column, the tables
// full and spread over the screen, the floor between two new rows.
void MakeBusy(souji::SoujiState& s) {
  for (int r = 0; r < souji::kRows; ++r) {
    souji::FreshRow(s, r);
    for (int c : {0, 2, 7}) s.cells[static_cast<size_t>(r * souji::kCols + c)] = souji::kWall;
    s.cells[static_cast<size_t>(r * souji::kCols + 5)] = souji::kFrontTile;
  }
  s.scroll = 300;
  s.x = 320;
  for (int i = 0; i < souji::kObstacleCount; ++i) {
    s.obstacles[static_cast<size_t>(i)] = souji::Obstacle{1 + i % 3, 40 + 36 * i, 10 + 8 * i,
                                                          i % 3 == 1 ? 0 : 3, i % 3 == 0 ? 6 : 9};
    mg_obj_put(souji::kObjObstacleFirst + i, 40 + 36 * i, 10 + 8 * i, 256, i % 3 == 0 ? 100 : 102,
               0);
  }
  for (int i = 0; i < souji::kDecorationCount; ++i) {
    s.decorations[static_cast<size_t>(i)] = souji::Decoration{1, 12 * i, 5 * i};
    mg_obj_put(souji::kObjDecorationFirst + i, 12 * i, 5 * i, 512, 110, 0);
  }
}

void BM_SoujiBusyFrame(benchmark::State& state) {
  testsupport::GameTree tree;
  testsupport::TestGame game;
  MinigameContext minigame;
  MinigameScope scope{minigame};
  game.engine.host.display.pitch_padding = 0;
  Ctx().file_io.SetInstallDir(tree.install().c_str());
  // Full-size tiles and character-sized keyed pictures.
  testsupport::OdWriter od = testsupport::UniversalOd({200});
  for (int tile = 1; tile <= 4; ++tile) od.Solid(tile, 64, 96, 40 * tile, 100, 80);
  for (int image : {100, 102, 110, 201, 301}) od.Solid(image, 48, 64, 200, 60, 90, 2);
  tree.Write("install/tamvik3/od/mg_souji.od", od.Build());
  // Mode 2 has no menu before play; the score shows (variable 3 is not 0).
  if (Ctx().ddraw.InitDirectDraw() != 1 || mg_start(2, mg::kModeHubMatch) != 1) {
    state.SkipWithError("the minigame could not start");
    return;
  }
  souji::SoujiState& s = Minigame().souji;
  auto frame = [&game] {
    game.engine.host.clock.Advance(17);
    mg_frame();
  };
  for (int i = 0; i < 200 && s.step != souji::kStepPlay; ++i) frame();
  if (s.step != souji::kStepPlay) {
    state.SkipWithError("the game did not reach play");
    return;
  }
  MakeBusy(s);
  frame();
  uint64_t allocations = 0;
  int64_t steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    MakeBusy(s);
    state.ResumeTiming();
    const uint64_t before = BenchAllocations();
    frame();
    allocations += BenchAllocations() - before;
    steps += Minigame().fw.last_steps;
  }
  state.counters["allocs/frame"] = static_cast<double>(allocations) / state.iterations();
  state.counters["steps/frame"] = static_cast<double>(steps) / state.iterations();
  if (s.step != souji::kStepPlay) state.SkipWithError("the busy course crashed");
  mg_end();
}
BENCHMARK(BM_SoujiBusyFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
