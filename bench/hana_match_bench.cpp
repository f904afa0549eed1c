// The flower-card match procedure headless with drawing off: demonstration matches (the computer
// on both sides) through hana::hana_proc, each step the procedure and the per-step updates
// (printer, shake, objects), no picture. Counters: steps a second (goal: above 20 000) and the
// allocations of a step (goal: none in steady steps); a new match after each end is not counted.

#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_od.h"
#include "minigames/framework/minigame_text.h"
#include "minigames/hana/hana_proc.h"
#include "minigames/minigame_context.h"
#include "testsupport/od_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_game.h"

namespace {

struct HanaMatchRig {
  HanaMatchRig() {
    Ctx().file_io.SetInstallDir(tree.install().c_str());
    // The line texts without voices, faces or music (files the rig does not have).
    std::vector<int> empty = {30};
    for (int i = 50; i < 75; ++i) empty.push_back(i);
    for (int i = 100; i < 111; ++i) empty.push_back(i);
    tree.Write("install/tamvik3/od/mg_hana.od", testsupport::UniversalOd(empty).Build());
    ready = Ctx().ddraw.InitDirectDraw() == 1;
  }
  // A demonstration as long as it takes, loaded and past its first call.
  bool StartMatch() {
    if (mg_start(4, mg::kModeHubDemonstration) != 1) return false;
    mg_var_set(8, 1 << 30);
    mg_var_set(4, 10);  // an opponent bank of 10: matches of several rounds
    if (mg_obj_create(Minigame().games[4].path) == 0) return false;
    Minigame().fw.state = mg::kStateRunning;
    return hana::hana_proc(mg::kStateLoadPending) == 1;
  }

  testsupport::GameTree tree;
  testsupport::TestGame game;
  MinigameContext minigame;
  MinigameScope scope{minigame};
  bool ready = false;
};

void BM_HanaMatchSteps(benchmark::State& state) {
  HanaMatchRig rig;
  if (!rig.ready || !rig.StartMatch()) {
    state.SkipWithError("the match could not start");
    return;
  }
  uint64_t allocations = 0;
  int64_t steps = 0;
  int64_t matches = 0;
  for (auto _ : state) {
    if (!mg_is_running()) {
      state.PauseTiming();
      ++matches;
      if (!rig.StartMatch()) {
        state.SkipWithError("the match could not start again");
        break;
      }
      state.ResumeTiming();
    }
    const uint64_t before = BenchAllocations();
    hana::hana_proc(mg::kStateRunning);
    if (mg_is_running()) {
      mg_print_step();
      mg_shake_step();
      mg_obj_update();
    }
    allocations += BenchAllocations() - before;
    ++steps;
  }
  state.counters["steps/s"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
  state.counters["allocs/step"] = static_cast<double>(allocations) / static_cast<double>(steps);
  state.counters["matches"] = static_cast<double>(matches);
  mg_end();
}
BENCHMARK(BM_HanaMatchSteps)->Unit(benchmark::kMicrosecond);

}  // namespace
