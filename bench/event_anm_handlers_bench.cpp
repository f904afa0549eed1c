// The shared event-animation handlers' share of a battle frame: 64 running event objects
// (kinds 80-143) on a mix of the shared forms (played once, held with a shadow, looping on its
// cell), updated by Slg::UpdateUnit as the main task's pass does: the category table, the event
// objects' step and the descriptor-driven handler body. Goal: under 40 us a frame, no heap
// allocation ("allocs/frame").

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
#include "battle_events/runtime/event_anm_handlers.h"
#include "bench/bench_allocations.h"
#include "testsupport/battle_board.h"
#include "testsupport/test_scene.h"

namespace {

constexpr std::array<SlgEventAnmHandler, 64> kHandlers = [] {
  std::array<SlgEventAnmHandler, 64> t{};
  constexpr SlgEventAnmHandler kMix[] = {EventAnmOnce, EventAnmHoldSnapShadow,
                                         EventAnmFixedCellLoop};
  for (size_t i = 0; i < t.size(); ++i) t[i] = kMix[i % 3];
  return t;
}();

void BM_EventAnmHandlers(benchmark::State& state) {
  testsupport::TestScene scene;
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
                                        .x = static_cast<int16_t>((2 * column + (row & 1)) * 48 + 5),
                                        .y = static_cast<int16_t>(24 * row + 7),
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
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    for (int i = 0; i < b.state.unit_count; ++i) Slg::UpdateUnit(b.state.units[static_cast<size_t>(i)]);
    allocations += BenchAllocations() - before;
  }
  int running = 0;
  for (int i = 0; i < b.state.unit_count; ++i) {
    if (b.state.units[static_cast<size_t>(i)].state == kEventAnmRunning) ++running;
  }
  if (running == 0) state.SkipWithError("no handler set its objects running");
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_EventAnmHandlers)->Unit(benchmark::kMicrosecond);

}  // namespace
