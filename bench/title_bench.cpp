// The title's heaviest frames: the worst petal-wipe frame (alternating one-pixel runs over all 480
// lines, decoded and painted) and one composed frame of the fly-in with 300 row entries moved
// along the path and its ripple.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "flow/petal_wipe.h"
#include "flow/title_model.h"
#include "testsupport/petal_wipe_writer.h"
#include "testsupport/test_engine.h"

namespace {

void BM_PetalWipeWorstFrame(benchmark::State& state) {
  std::vector<uint8_t> data =
      testsupport::PetalWipeFile({testsupport::AlternatingPixelsFrame()});
  data.push_back(255);
  std::vector<uint16_t> pixels(640 * 480, 0);
  SurfaceDesc lock{};
  lock.bits = reinterpret_cast<uint8_t*>(pixels.data());
  lock.pitch = 640 * 2;
  lock.width = 640;
  lock.height = 480;
  for (auto _ : state) {
    benchmark::DoNotOptimize(DrawPetalFrame(data, 0, lock, 0xFF3C));
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations());  // frames
}
BENCHMARK(BM_PetalWipeWorstFrame)->Unit(benchmark::kMicrosecond);

void BM_FlyInFrame(benchmark::State& state) {
  constexpr int kRows = 300;
  testsupport::TestEngine engine;
  engine.host.display.pitch_padding = 0;
  CDdrawFunc& dd = engine.ctx().ddraw;
  CDdrawSpr& spr = engine.ctx().ddraw_spr;
  dd.InitDirectDraw();
  platform::Surface* scratch = dd.GetSurface(SURFACE_SCRATCH);
  for (int y = 0; y < kRows; ++y) {
    for (int x = 0; x < 300; ++x) scratch->Row(y)[x] = static_cast<uint16_t>(0x0841 * (x + y));
  }
  std::vector<SprBufferEntry*> entries;
  for (int r = 0; r < kRows; ++r) {
    SprRec* row = spr.CreateSprite(284, r + 14, SURFACE_SCRATCH, 0, r, 300, r + 1);
    entries.push_back(spr.SetBuffer("FlyRow", row, 284, r + 14, SURFACE_ROOT, 1));
  }
  int32_t f = 0;
  for (auto _ : state) {
    for (int r = 0; r < kRows; ++r) {
      const title::RowPlace place = title::FlyRowAt(f, r);
      spr.SetBufferPos(entries[static_cast<size_t>(r)], place.x, place.y);
    }
    dd.SetUpdate(SURFACE_ALL_LAYERS, 1);
    if (dd.ShowWindow() != 1) state.SkipWithError("compose failed");
    f = (f + 1) % (title::kFlyFrames + 1);
  }
  state.SetItemsProcessed(state.iterations());  // frames
}
BENCHMARK(BM_FlyInFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
