// The camera's event step as a story handler calls it once a frame: EventScroll on a 2112 x 2112
// board, a new target every 64 calls (one start, 63 moves: the start's atan2, cos and sin, then
// the moves' recomputation from the start). The step keeps no heap state ("allocs/frame").

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle_events/event_steps.h"
#include "battle_events/events_install.h"
#include "bench/bench_allocations.h"
#include "testsupport/battle_board.h"
#include "testsupport/test_game.h"

namespace {

void BM_EventScrollStep(benchmark::State& state) {
  testsupport::TestGame game;
  testsupport::BattleBoard board;
  board.SetMapSize(2112, 2112);
  InstallBattleEvents(board.battle());
  uint64_t allocations = 0;
  int64_t calls = 0;
  for (auto _ : state) {
    const int32_t target = (calls / 64) % 2 == 0 ? 0x4000000 : 0x100000;
    const uint64_t before = BenchAllocations();
    benchmark::DoNotOptimize(EventScroll(target, target / 2, 0x40000));
    allocations += BenchAllocations() - before;
    ++calls;
  }
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_EventScrollStep)->Unit(benchmark::kNanosecond);

}  // namespace
