// The first wind of Satan's critical-2 attack late in its run (90 frames in): one frame of its
// push, as the wind runs it: the 64 units of sides 0 and 1 put back where they stood and taken off
// the grid, the 90 steps replayed (each step every unit tested against the wind's band, the
// chains built and moved, the grid kept), and the units entered again.
//
// Goal: under 2 ms a frame. "moved" counts the units the replay leaves off their start.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_unit.h"
#include "battle_effects/satan.h"
#include "testsupport/battle_board.h"

namespace {

void BM_SatanWindPush(benchmark::State& state) {
  testsupport::BattleBoard board;
  board.SetMapSize(22 * 96, 88 * 24);
  // 64 units, two to a row over rows 6-37, on columns that the wind's band crosses.
  for (int i = 0; i < 64; ++i) {
    const int row = 6 + i / 2;
    const int column = 3 + (i % 2) * 5 + (row % 3);
    const SlgRangePos at = testsupport::CellPos(column, row);
    board.AddUnit({.side = static_cast<uint8_t>(i & 1), .kind = 0, .category = 4, .x = at.x,
                   .y = at.y});
  }
  SatanPushSetUp();
  for (auto _ : state) {
    SatanPushRestore();
    benchmark::DoNotOptimize(SatanWindAt(90, true));
    SatanPushEnter();
  }
  int moved = 0;
  const SatanWindPush& p = WindPush();
  for (int i = 0; i < p.count; ++i) {
    const SlgUnit& u = Battle().state.units[static_cast<size_t>(i)];
    if (u.x != p.saved[static_cast<size_t>(i)].x) ++moved;
  }
  state.counters["moved"] = moved;
}
BENCHMARK(BM_SatanWindPush)->Unit(benchmark::kMicrosecond);

}  // namespace
