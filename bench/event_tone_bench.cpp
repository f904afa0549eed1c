// The unit tone during a tone change: EventSetTone over 64 units whose bodies are all under tone
// control, the level one step further each frame (31 down to 0 and round again), as a story
// handler's EventToneChange sets it once a frame. Goal: under 10 us a frame in a release build,
// no allocation ("allocs/frame": operator new calls per frame).

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "battle_events/events_install.h"
#include "battle_events/runtime/event_tone.h"
#include "bench/battle_bench_rig.h"
#include "bench/bench_allocations.h"
#include "testsupport/battle_board.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/unit_anm_writer.h"

namespace {

using namespace testsupport;

constexpr int kUnits = 64;

void BM_EventSetToneChange(benchmark::State& state) {
  BattleBenchRig rig;
  if (!rig.Open()) {
    state.SkipWithError("no display");
    return;
  }
  GameTree tree;
  rig.UseTree(tree);
  SlgTableWriter tables;
  UnitAnmWriter(0).Lay(tree, tables);
  tables.Lay(tree);
  LoadSlgTables();
  InstallBattleEvents(rig.battle);
  BattleBoard board(rig.battle);
  for (int i = 0; i < kUnits; ++i) {
    const uint8_t slot = board.AddUnit(OnCell(i % 16, 4 + 2 * (i / 16), {.character = 7}));
    if (slot == 255) {
      state.SkipWithError("a unit was refused");
      return;
    }
    SlgUnit& unit = rig.battle.state.units[slot];
    Slg::PlaceUnit(unit);
    Slg::SetUnitDir(unit, unit.dir);
    if (unit.anm == nullptr || unit.anm->handle == nullptr) {
      state.SkipWithError("a unit has no body");
      return;
    }
    unit.anm->shade = kToneShade;
  }
  uint64_t allocations = 0;
  int32_t level = 31;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    EventSetTone(level);
    allocations += BenchAllocations() - before;
    level = level == 0 ? 31 : level - 1;
  }
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_EventSetToneChange)->Unit(benchmark::kMicrosecond);

}  // namespace
