// The display's per-frame work: one full compose (five visible, copied layers, a cross-fade and a
// fade at 128, then the flip) in both pixel layouts, and the blit worker's keyed copy, 2x stretch
// and mirrored copy of a 640 x 480 picture in pixels per second, beside a memcpy of the same bytes
// and SDL2's keyed SDL_BlitSurface on RGB565 surfaces (when the benchmark is built with SDL2).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/test_engine.h"

#ifdef TAMVIK_BENCH_SDL
#include <SDL.h>
#endif

namespace {

using platform::PixelLayout;

constexpr int kW = 640;
constexpr int kH = 480;
constexpr int64_t kPixels = int64_t{kW} * kH;

// A fresh engine with the display set up, rows without padding, layers holding a picture in
// which about a quarter of the pixels are the colour key.
struct Screen {
  explicit Screen(PixelLayout layout) {
    engine.host.display.pitch_padding = 0;
    if (layout == PixelLayout::kRgb555) engine.host.config.Set("Pixel Format", "555");
    dd().InitDirectDraw();
    const auto key = static_cast<uint16_t>(dd().GetColorKey());
    for (SurfaceId id : {4, 5, 6, 7, 8, 9, 12}) {
      platform::Surface* s = dd().GetSurface(id);
      for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
          s->Row(y)[x] = ((x / 8 + y / 8 + id) % 4 == 0) ? key : static_cast<uint16_t>(x * 31 + y * 7 + id);
        }
      }
    }
  }
  CDdrawFunc& dd() { return engine.ctx().ddraw; }
  testsupport::TestEngine engine;
};

PixelLayout Layout(const benchmark::State& state) {
  return state.range(0) == 555 ? PixelLayout::kRgb555 : PixelLayout::kRgb565;
}

// range(0): 565 or 555.
void BM_ComposeFrame(benchmark::State& state) {
  Screen screen(Layout(state));
  auto& dd = screen.dd();
  dd.SetVisible(10, 0);
  dd.SetVisible(11, 0);
  dd.SetXfadeLayer(2);
  dd.SetXfadeAlpha(128);
  dd.SetFadeLevel(128);
  for (auto _ : state) {
    dd.SetUpdate(SURFACE_ALL_LAYERS, 1);
    if (dd.ShowWindow() != 1) state.SkipWithError("compose failed");
  }
  state.SetItemsProcessed(state.iterations());  // frames
}
BENCHMARK(BM_ComposeFrame)->Arg(565)->Arg(555)->Unit(benchmark::kMillisecond);

// range(0): layout; range(1): 0 keyed copy, 1 2x stretch (a 320 x 240 source), 2 mirrored copy.
void BM_BlitWorker(benchmark::State& state) {
  Screen screen(Layout(state));
  auto& dd = screen.dd();
  const Rect full{0, 0, kW, kH};
  const Rect quarter{0, 0, kW / 2, kH / 2};
  const BltFx mirror{100, kBltFxMirrorLeftRight};
  for (auto _ : state) {
    int ok = 0;
    switch (state.range(1)) {
      case 0: ok = dd.Blt(5, full, 2, full, 1); break;
      case 1: ok = dd.Blt(5, quarter, 2, full, 1); break;
      default: ok = dd.BltEx(5, full, 2, full, 1, kBltDdFx, &mirror); break;
    }
    if (ok != 1) state.SkipWithError("blit failed");
  }
  state.SetItemsProcessed(state.iterations() * kPixels);  // destination pixels
}
BENCHMARK(BM_BlitWorker)
    ->ArgsProduct({{565, 555}, {0, 1, 2}})
    ->ArgNames({"layout", "kind"});

void BM_MemcpyScreen(benchmark::State& state) {
  std::vector<uint16_t> a(kPixels, 0x1234), b(kPixels);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), kPixels * 2);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kPixels);
}
BENCHMARK(BM_MemcpyScreen);

#ifdef TAMVIK_BENCH_SDL
void BM_SdlKeyedBlit(benchmark::State& state) {
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 16, SDL_PIXELFORMAT_RGB565);
  SDL_Surface* dst = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 16, SDL_PIXELFORMAT_RGB565);
  SDL_LockSurface(src);
  for (int y = 0; y < kH; ++y) {
    auto* row = reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(src->pixels) + y * src->pitch);
    for (int x = 0; x < kW; ++x) {
      row[x] = ((x / 8 + y / 8) % 4 == 0) ? 0x07FF : static_cast<uint16_t>(x * 31 + y * 7);
    }
  }
  SDL_UnlockSurface(src);
  SDL_SetColorKey(src, SDL_TRUE, 0x07FF);
  for (auto _ : state) SDL_BlitSurface(src, nullptr, dst, nullptr);
  state.SetItemsProcessed(state.iterations() * kPixels);
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}
BENCHMARK(BM_SdlKeyedBlit);
#endif  // TAMVIK_BENCH_SDL

}  // namespace
