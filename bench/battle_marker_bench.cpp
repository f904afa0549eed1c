// The range markers: a 256-cell range opening and closing over and over (Slg::RangeMarkers each
// frame: the markers moved and drawn, map plane 2's alpha set) with the animation list's step
// that turns the markers into sprite-buffer entries; the battle side of a frame, no compose.
// Beside the time: "entries" (the sprite-buffer entries in use, of the pool's 1024) and
// "allocs/frame", the operator new calls in the frames that move the markers (should be 0), and
// "allocs/open", those of a frame that opens the range (the 256 marker animations made anew).

#include <benchmark/benchmark.h>

#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_map.h"
#include "battle/slg_range_markers.h"
#include "battle/slg_sys_spr.h"
#include "bench/battle_bench_rig.h"
#include "bench/bench_allocations.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/files/file_io.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/system_sprites.h"

namespace {

using namespace testsupport;

// The move range's markers (search mode 0: the grid's animation 0, which steps its frames).
constexpr uint16_t kBenchSearchMode = 0;

void BM_RangeMarkers(benchmark::State& state) {
  BattleBenchRig rig;
  if (!rig.Open()) {
    state.SkipWithError("no display");
    return;
  }
  GameTree tree;
  EngineContext& ctx = rig.scene.engine().ctx();
  rig.UseTree(tree);
  SystemSpriteSet().Lay(tree);
  LayMapFile(tree, 0, "p.spr", MapBankFile(GridBank(64, 64, 4, 4, 0)));
  MapTabWriter().File("Priority:", {"p.spr"}).Lay(tree, 0);
  LoadSystemSprites();
  SlgMap::LoadMapTable(0);
  if (SlgSysSprite(kSysGrid) == nullptr || rig.battle.map.planes[2] == nullptr) {
    state.SkipWithError("the grid sprite or the plane did not load");
    return;
  }
  ctx.frame_rate.active = 1;
  // 256 cells in a 16 x 16 block of rows around the centre, all inside the view area.
  SlgSearchState& s = rig.battle.search;
  s.range_centre = {384, 288};
  s.range_count = 256;
  s.mode = kBenchSearchMode;
  for (int i = 0; i < 256; ++i) {
    s.range_list[static_cast<size_t>(i)] = {static_cast<int16_t>(384 + 48 * (i % 16 - 8)),
                                            static_cast<int16_t>(288 + 24 * (i / 16 - 8))};
  }
  SlgCommandState& c = rig.battle.cmd;
  auto frame = [&] {
    rig.scene.engine().host.clock.Advance(17);
    ctx.frame_rate.Update();
    if (c.range_view == kSlgRangeShown) c.range_view = kSlgRangeClose;
    if (c.range_view == kSlgRangeClosed) c.range_view = kSlgRangeOpen;
    Slg::RangeMarkers();
    ctx.anime.Exec(static_cast<uint32_t>(ctx.frame_rate.GetTime()));
  };
  for (int i = 0; i < 64; ++i) frame();
  uint64_t allocations = 0;
  uint64_t open_allocations = 0;
  int64_t opens = 0;
  int64_t entries = 0;
  for (auto _ : state) {
    const bool opens_now = c.range_view == kSlgRangeClosed;
    const uint64_t before = BenchAllocations();
    frame();
    const uint64_t made = BenchAllocations() - before;
    if (opens_now) {
      open_allocations += made;
      ++opens;
    } else {
      allocations += made;
    }
    entries += CDdrawSpr::kEntryCount - ctx.ddraw_spr.FreeEntryCount();
  }
  const auto frames = static_cast<double>(state.iterations());
  state.counters["entries"] = static_cast<double>(entries) / frames;
  // The frames that move the markers; the opening frames make the 256 marker animations anew.
  state.counters["allocs/frame"] = static_cast<double>(allocations) / frames;
  state.counters["allocs/open"] =
      opens != 0 ? static_cast<double>(open_allocations) / static_cast<double>(opens) : 0.0;
  Slg::ReleaseRangeMarkers();
  SlgMap::FreeMap();
  FreeSystemSprites();
}
BENCHMARK(BM_RangeMarkers)->Unit(benchmark::kMicrosecond);

}  // namespace
