// The battle map's planes: SlgMap::DrawMap of a four-plane map (ground and sky of 64 x 64 tiles
// with a raster, the priority plane with priority data, the underground plane) scrolling one
// pixel a frame, the battle side of a frame only (no compose; the one-frame entries are taken out
// of the buffer again as the draw would). Beside the time: "entries/frame" (the engine's pool
// holds 1024) and "allocs/frame", the operator new calls in the steady frames (should be 0).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_map.h"
#include "bench/bench_allocations.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "scene/scene_context.h"
#include "testsupport/slg_map_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_scene.h"

namespace {

using namespace testsupport;

// Removes surface 4's entries; their count.
int TakeEntries(CDdrawSpr& spr) {
  SprBuffer* b = spr.FindBuffer(SURFACE_ROOT, nullptr);
  if (b == nullptr) return 0;
  int n = 0;
  for (int p = 0; p < SprBuffer::kPriorityCount; ++p) {
    SprLink* l = b->head[p].next;
    while (l != nullptr && l != &b->tail[p]) {
      auto* e = static_cast<SprBufferEntry*>(l);
      l = l->next;
      spr.DeleteBuffer(&e);
      ++n;
    }
  }
  return n;
}

void BM_SlgMapDraw(benchmark::State& state) {
  GameTree tree;
  TestScene scene;
  BattleContext battle;
  BattleScope battle_scope(battle);
  scene.engine().host.files.SetWorkingDirectory(tree.root());
  EngineContext& ctx = scene.engine().ctx();
  ctx.file_io.SetInstallDir(tree.install().c_str());
  scene.engine().host.display.pitch_padding = 0;
  if (ctx.ddraw.InitDirectDraw() != 1) {
    state.SkipWithError("no display");
    return;
  }
  LayFourPlaneMap(tree, 0);
  SlgMap::LoadMapTable(0);
  for (int n = 0; n < 4; ++n) {
    if (battle.map.planes[static_cast<size_t>(n)] == nullptr) {
      state.SkipWithError("a plane did not load");
      return;
    }
  }
  battle.flags |= 0x2;
  CDdrawSpr& spr = ctx.ddraw_spr;
  int32_t scroll = 0;
  auto frame = [&] {
    scene.engine().host.clock.Advance(17);
    ctx.frame_rate.Update();
    SlgMap::DrawMap(scroll, scroll / 2);
    ++scroll;
  };
  for (int i = 0; i < 8; ++i) {
    frame();
    TakeEntries(spr);
  }
  uint64_t allocations = 0;
  int64_t entries = 0;
  for (auto _ : state) {
    const uint64_t before = BenchAllocations();
    frame();
    entries += TakeEntries(spr);
    allocations += BenchAllocations() - before;
  }
  const auto frames = static_cast<double>(state.iterations());
  state.counters["entries/frame"] = static_cast<double>(entries) / frames;
  state.counters["pool"] = CDdrawSpr::kEntryCount;
  state.counters["allocs/frame"] = static_cast<double>(allocations) / frames;
  SlgMap::FreeMap();
}
BENCHMARK(BM_SlgMapDraw)->Unit(benchmark::kMicrosecond);

}  // namespace
