// The sprite buffer's per-frame work: one compose with 1024 persistent 16 x 16 keyed entries on a
// layer, at random priorities or all at the back (2047), and the bare draw walk over 1024
// entries that draw nothing (zoom 0), which isolates the cost of visiting the priority lists.
// The random priorities and places come from the engine's own generator.

#include <benchmark/benchmark.h>

#include <cstdint>

#include "engine/files/random.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "testsupport/test_engine.h"

namespace {

constexpr int kEntries = CDdrawSpr::kEntryCount;

// A fresh engine with the display set up (rows without padding) and one 16 x 16 sprite whose
// corners are the colour key.
struct Scene {
  Scene() {
    engine.host.display.pitch_padding = 0;
    dd().InitDirectDraw();
    platform::Surface* s = dd().GetSurface(SURFACE_SCRATCH2);
    const auto key = static_cast<uint16_t>(dd().GetColorKey());
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 16; ++x) {
        const bool corner = (x < 3 || x > 12) && (y < 3 || y > 12);
        s->Row(y)[x] = corner ? key : static_cast<uint16_t>(0x1000 + x * 33 + y);
      }
    }
    sprite = spr().CreateSprite(0, 0, SURFACE_SCRATCH2, 0, 0, 16, 16);
  }
  CDdrawFunc& dd() { return engine.ctx().ddraw; }
  CDdrawSpr& spr() { return engine.ctx().ddraw_spr; }

  // range(0): 0 random priorities, 1 all at 2047.
  void Fill(const benchmark::State& state, int32_t zoom) {
    GameRandom gen;
    gen.Seed(12345);
    for (int i = 0; i < kEntries; ++i) {
      const int p = state.range(0) == 0 ? gen.Next() % CDdrawSpr::kPriorityCount
                                        : CDdrawSpr::kPriorityCount - 1;
      const int x = gen.Next() % (640 - 16 + 1);
      const int y = gen.Next() % (480 - 16 + 1);
      SprBufferEntry* e = spr().SetBuffer(CDdrawSpr::kBuffered, sprite, x, y, SURFACE_BG, 1, p);
      spr().SetBufferZoom(e, zoom, zoom);
    }
  }

  testsupport::TestEngine engine;
  SprRec* sprite = nullptr;
};

void BM_ComposeWithSprites(benchmark::State& state) {
  Scene scene;
  scene.Fill(state, CDdrawSpr::kZoomOne);
  auto& dd = scene.dd();
  for (auto _ : state) {
    dd.SetUpdate(SURFACE_ALL_LAYERS, 1);
    if (dd.ShowWindow() != 1) state.SkipWithError("compose failed");
  }
  state.SetItemsProcessed(state.iterations());  // frames
}
BENCHMARK(BM_ComposeWithSprites)->ArgName("all_at_back")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_DrawWalk(benchmark::State& state) {
  Scene scene;
  scene.Fill(state, 0);
  SprBuffer* buffer = scene.spr().FindBuffer(SURFACE_BG, nullptr);
  platform::Surface* back = scene.dd().GetSurface(SURFACE_BACK);
  for (auto _ : state) {
    if (scene.spr().DrawBufferList(buffer, 0, 0, back) != kEntries) state.SkipWithError("walk");
  }
  state.SetItemsProcessed(state.iterations() * kEntries);  // entries visited
}
BENCHMARK(BM_DrawWalk)->ArgName("all_at_back")->Arg(0)->Arg(1);

}  // namespace
