// The whole minigame end-to-end table headless (testsupport/minigame_flow.h): every case from the
// game flow's hand-over to past mode 32 with the row's bot, on fresh runners, one after another.
// Reports the game time the program's clock covered per wall second ("x_real_time"; goal: at
// least 100) beside the minigame steps run per wall second.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>

#include "minigames/minigame_context.h"
#include "testsupport/minigame_flow.h"
#include "testsupport/minigame_install.h"
#include "testsupport/minigame_runner.h"

namespace {

void BM_MinigameTableHeadless(benchmark::State& state) {
  double game_ms = 0;
  double steps = 0;
  for (auto _ : state) {
    for (const testsupport::FlowCase& c : testsupport::MinigameFlowCases()) {
      state.PauseTiming();
      testsupport::MinigameRunner::Options options;
      options.game_flow = true;
      auto runner = std::make_unique<testsupport::MinigameRunner>(options);
      testsupport::WriteMinigameInstall(*runner);
      const uint32_t start = runner->driver().host().clock.TickCount();
      state.ResumeTiming();
      int64_t case_steps = 0;
      const testsupport::FlowPlay play = testsupport::PlayFlowCase(
          *runner, c, [&] { case_steps += runner->minigame().fw.last_steps; });
      if (!play.passed_32) {
        state.SkipWithError(c.name);
        return;
      }
      game_ms += runner->driver().host().clock.TickCount() - start;
      steps += static_cast<double>(case_steps);
      state.PauseTiming();
      runner.reset();
      state.ResumeTiming();
    }
  }
  state.counters["x_real_time"] = benchmark::Counter(game_ms / 1000.0, benchmark::Counter::kIsRate);
  state.counters["steps_per_s"] = benchmark::Counter(steps, benchmark::Counter::kIsRate);
  state.counters["game_s"] = benchmark::Counter(game_ms / 1000.0, benchmark::Counter::kAvgIterations);
}
// Rates per wall second: the counters divide by real time, not the main thread's CPU time.
BENCHMARK(BM_MinigameTableHeadless)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

}  // namespace
