// Map 22's heaviest scene frame: the merging object swelling with its twinkle on elapsed frame 60
// (the zoom, the rotation and the keyed motion replayed for 60 frames), the six joining objects
// flying on elapsed frame 19 of their 20 (each flight replayed for 19 frames) and the seven
// figures, through the map's event-animation table as the event objects' step calls it. Goal:
// under 0.1 ms a frame, no heap allocation ("allocs/frame") and no battle block ("battle
// allocs/frame").

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_anm_pool.h"
#include "battle/slg_unit.h"
#include "battle_events/event_npc.h"
#include "battle_events/events_install.h"
#include "battle_events/maps/map22.h"
#include "bench/bench_allocations.h"
#include "testsupport/battle_board.h"
#include "testsupport/test_scene.h"

namespace {

void BM_Map22MergeFrame(benchmark::State& state) {
  testsupport::TestScene scene;
  testsupport::BattleBoard board;
  BattleContext& b = board.battle();
  InstallBattleEvents(b);
  std::array<uint8_t, 14> slots{};
  for (int i = 0; i < 14; ++i) {
    const int kind = 90 + i;
    slots[static_cast<size_t>(i)] = board.AddUnit({.kind = static_cast<uint8_t>(kind),
                                                   .category = 3,
                                                   .x = static_cast<int16_t>(480 + 48 * i),
                                                   .y = 480,
                                                   .facing = static_cast<uint8_t>(kind >= 97 ? kind - 97 : 0),
                                                   .flags = 0x80});
    if (slots[static_cast<size_t>(i)] == kSlgCreateRefused) {
      state.SkipWithError("an event object was not made");
      return;
    }
    SlgUnit& unit = b.state.units[slots[static_cast<size_t>(i)]];
    unit.anm = CreateAnmObj(0, 0);
  }
  const std::span<const SlgEventAnmHandler> table = kMap22Setup.anm_table;
  Map22Words& w = Map22State();
  auto unit = [&](int i) -> SlgUnit& { return b.state.units[slots[static_cast<size_t>(i)]]; };
  // The figures' first frames (held, or running for character 0).
  for (int i = 7; i < 14; ++i) {
    SlgPair pos{};
    table[static_cast<size_t>(unit(i).kind - 80)](unit(i), pos);
  }
  auto set_up = [&] {
    w.d = 0;
    w.k = 91;
    w.base_zoom = {0x8000, 0x8000};
    w.target = {unit(0).x, unit(0).y};
    SlgUnit& merge = unit(0);
    merge.step = kMap22MergeSwelling;
    merge.anm->frames = 60;
    for (int i = 1; i < 7; ++i) {
      SlgUnit& join = unit(i);
      join.step = kMap22JoinFlying;
      join.anm->frames = 19;
      w.flights[static_cast<size_t>(i)] = {{join.x, join.y - 96 * 65536}, 160 * 65536, 20};
    }
  };
  uint64_t allocations = 0;
  uint64_t blocks = 0;
  for (auto _ : state) {
    state.PauseTiming();
    set_up();
    state.ResumeTiming();
    const uint64_t before = BenchAllocations();
    const uint32_t before_blocks = b.alloc.calls;
    for (int i = 0; i < 14; ++i) {
      SlgPair pos{};
      table[static_cast<size_t>(unit(i).kind - 80)](unit(i), pos);
    }
    allocations += BenchAllocations() - before;
    blocks += b.alloc.calls - before_blocks;
  }
  if (unit(0).step != kMap22MergeSwelling || unit(1).step != kMap22JoinFlying) {
    state.SkipWithError("the objects left their phases");
  }
  state.counters["allocs/frame"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
  state.counters["battle allocs/frame"] =
      benchmark::Counter(static_cast<double>(blocks), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_Map22MergeFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
