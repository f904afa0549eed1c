// The event objects' share of a battle frame: 64 running event objects (kinds 80-143, category
// 3) updated by Slg::UpdateUnit as the main task's pass does, each through the category table to
// the event objects' step, which refreshes its body object's clock and calls a trivial handler of
// the event-animation table. Goal: under 20 us a frame, no heap allocation ("allocs/frame").

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle/slg_unit_states.h"
#include "battle_events/event_npc.h"
#include "battle_events/events_install.h"
#include "bench/bench_allocations.h"
#include "testsupport/battle_board.h"
#include "testsupport/test_game.h"

namespace {

uint64_t g_handler_calls = 0;

int Trivial(SlgUnit& /*unit*/, SlgPair& /*pos*/) {
  ++g_handler_calls;
  return 0;
}

constexpr std::array<SlgEventAnmHandler, 64> kHandlers = [] {
  std::array<SlgEventAnmHandler, 64> t{};
  t.fill(&Trivial);
  return t;
}();

void BM_EventObjectsStep(benchmark::State& state) {
  testsupport::TestGame game;
  testsupport::BattleBoard board;
  BattleContext& b = board.battle();
  InstallBattleEvents(b);
  InitCategoryUpdates();
  SetEventAnmTable(kHandlers);
  for (int i = 0; i < 64; ++i) {
    const int column = i % 22;
    const int row = 4 + 2 * (i / 22);
    const uint8_t slot = board.AddUnit({.kind = static_cast<uint8_t>(80 + i),
                                        .category = 3,
                                        .x = static_cast<int16_t>((2 * column + (row & 1)) * 48),
                                        .y = static_cast<int16_t>(24 * row),
                                        .flags = 0x80});
    if (slot == kSlgCreateRefused) {
      state.SkipWithError("an event object was not made");
      return;
    }
    SlgUnit& unit = b.state.units[slot];
    unit.anm = CreateAnmObj(0, 0);
    unit.deploy_state = kEventObjRunning;
  }
  uint64_t allocations = 0;
  g_handler_calls = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    for (int i = 0; i < b.state.unit_count; ++i) Slg::UpdateUnit(b.state.units[static_cast<size_t>(i)]);
    allocations += BenchAllocations() - before;
  }
  if (g_handler_calls != 64 * static_cast<uint64_t>(state.iterations())) {
    state.SkipWithError("not every object's handler ran each frame");
  }
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_EventObjectsStep)->Unit(benchmark::kMicrosecond);

}  // namespace
