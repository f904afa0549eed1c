// The software blitters at full screen (640 x 480 x 16): the blend family, the brightness
// cross-fade, the transform rasterizer and solid quads. Beside each, where it has one, the same
// work done by SDL2's software blitter (when the benchmark is built with SDL2) and a memcpy of
// the same bytes, as the floor that memory traffic sets.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

#include "engine/gfx/pixels/blend_blit.h"
#include "engine/gfx/pixels/quad_raster.h"

#ifdef TAMVIK_BENCH_SDL
#include <SDL.h>
#endif

namespace {

constexpr int kW = 640, kH = 480;
constexpr int kPitch = kW * 2;
constexpr uint16_t kKey565 = 0x07FF, kKey555 = 0x03FF;

// A busy picture: every pixel a different colour; one in 16 pixels is the key.
std::vector<uint16_t> Picture(int w, int h, uint32_t seed, uint16_t key, uint16_t mask) {
  std::vector<uint16_t> p(static_cast<size_t>(w) * h);
  uint32_t x = seed;
  for (auto& v : p) {
    x = x * 1664525u + 1013904223u;
    v = static_cast<uint16_t>(x >> 16) & mask;
    if ((x >> 8 & 15) == 0) v = key;
  }
  return p;
}

// ---- Blend family: range(0) layout (0 = RGB565, 1 = RGB555), range(1) keyed, range(2) mode,
// range(3) level.

void BM_BlitBlend(benchmark::State& state) {
  const bool is555 = state.range(0) != 0, keyed = state.range(1) != 0;
  const auto mode = static_cast<uint32_t>(state.range(2)) << 16;
  const auto level = static_cast<uint32_t>(state.range(3));
  const uint16_t key = is555 ? kKey555 : kKey565, mask = is555 ? 0x7FFF : 0xFFFF;
  const auto src = Picture(kW, kH, 1, key, mask);
  auto dst = Picture(kW, kH, 2, 0, mask);
  const auto fn = is555 ? (keyed ? BlitBlend16For555 : BlitBlend16AltFor555)
                        : (keyed ? BlitBlend16 : BlitBlend16Alt);
  for (auto _ : state) {
    fn(dst.data(), kPitch, 0, 0, kW, kH, src.data(), kPitch, 0, 0, kW, level, mode, key, 0x1234);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kW * kH * 2);
}
void BlendArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"555", "key", "mode", "level"});
  for (int layout : {0, 1}) {
    for (int keyed : {0, 1}) {
      b->Args({layout, keyed, 0, 77});
      b->Args({layout, keyed, 0, 128});
      b->Args({layout, keyed, 1, 256});
      b->Args({layout, keyed, 7, 128});
      b->Args({layout, keyed, 8, 256});  // the shadow: the destination darkened
    }
  }
}
BENCHMARK(BM_BlitBlend)->Apply(BlendArgs);

void BM_BlitBright16B(benchmark::State& state) {
  const int layout = state.range(0) != 0 ? kBrightLayout555 : kBrightLayout565;
  const auto a = Picture(kW, kH, 3, 0, 0xFFFF), b = Picture(kW, kH, 4, 0, 0xFFFF);
  std::vector<uint16_t> dst(kW * kH);
  for (auto _ : state) {
    BlitBright16B(dst.data(), kPitch, 0, 0, kW, kH, a.data(), kPitch, 0, 0, b.data(), kPitch, 0,
                  0, 128, layout);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kW * kH * 2);
}
BENCHMARK(BM_BlitBright16B)->ArgName("555")->Arg(0)->Arg(1);

void BM_BlitBright16(benchmark::State& state) {
  const auto a = Picture(kW, kH, 3, 0, 0xFFFF);
  std::vector<uint16_t> dst(kW * kH);
  for (auto _ : state) {
    BlitBright16(dst.data(), kPitch, 0, 0, kW, kH, a.data(), kPitch, 0, 0, 100, 16);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kW * kH * 2);
}
BENCHMARK(BM_BlitBright16);

// ---- Rasterizer ------------------------------------------------------------------------------

// A 256 x 256 texture at zoom 2 turned 30 degrees about the screen centre; range(0) keyed.
void BM_Transform(benchmark::State& state) {
  const bool keyed = state.range(0) != 0;
  const int tw = 256, th = 256;
  const auto tex = Picture(tw, th, 5, kKey565, 0xFFFF);
  auto dst = Picture(kW, kH, 6, 0, 0xFFFF);
  const double angle = std::numbers::pi / 6, c = std::cos(angle), s = std::sin(angle);
  auto corner = [&](double u, double v, int32_t ts, int32_t tt) {
    return QuadVertex{static_cast<int32_t>(kW / 2 + u * c - v * s),
                      static_cast<int32_t>(kH / 2 + u * s + v * c), ts, tt};
  };
  const double half = tw;  // zoom 2: the 256-pixel texture covers 512 pixels
  const Quad q{{corner(-half, -half, 0, 0), corner(half, -half, tw - 1, 0),
                corner(half, half, tw - 1, th - 1), corner(-half, half, 0, th - 1)}};
  for (auto _ : state) {
    if (keyed) {
      BlitTransform16(dst.data(), kPitch, kW, kH, q, tex.data(), tw * 2, tw, th, kKey565);
    } else {
      BlitTransform16B(dst.data(), kPitch, kW, kH, q, tex.data(), tw * 2, tw, th);
    }
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  // The quad covers about 512 x 512 pixels, clipped to 480 rows.
}
BENCHMARK(BM_Transform)->ArgName("key")->Arg(0)->Arg(1);

// 50 solid 100 x 100 quads spread over the screen; range(0) turned (0 axis-aligned, 1 by 30
// degrees).
void BM_Polygon50(benchmark::State& state) {
  const bool turned = state.range(0) != 0;
  std::vector<uint16_t> dst(kW * kH);
  std::vector<Quad> quads;
  for (int i = 0; i < 50; ++i) {
    const double cx = 60 + (i % 10) * 58, cy = 60 + (i / 10) * 90;
    const double a = turned ? std::numbers::pi / 6 : 0.0, c = std::cos(a), s = std::sin(a);
    auto corner = [&](double u, double v) {
      const auto x = static_cast<int32_t>(std::lround(cx + u * c - v * s));
      const auto y = static_cast<int32_t>(std::lround(cy + u * s + v * c));
      return QuadVertex{x, y, x, y};
    };
    quads.push_back(Quad{{corner(-50, -50), corner(50, -50), corner(50, 50), corner(-50, 50)}});
  }
  for (auto _ : state) {
    for (const Quad& q : quads) BlitPolygon16Work(dst.data(), kPitch, kW, kH, q, 0x1234);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 50 * 100 * 100 * 2);
}
BENCHMARK(BM_Polygon50)->ArgName("turned")->Arg(0)->Arg(1);

// ---- memcpy of the same bytes ----------------------------------------------------------------

void BM_MemcpyFullScreen(benchmark::State& state) {
  const auto src = Picture(kW, kH, 1, 0, 0xFFFF);
  std::vector<uint16_t> dst(kW * kH);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), kW * kH * 2);
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kW * kH * 2);
}
BENCHMARK(BM_MemcpyFullScreen);

// 50 rectangles of 100 x 100 pixels, row by row.
void BM_Memcpy50Rects(benchmark::State& state) {
  const auto src = Picture(kW, kH, 1, 0, 0xFFFF);
  std::vector<uint16_t> dst(kW * kH);
  for (auto _ : state) {
    for (int i = 0; i < 50; ++i) {
      const int x = 10 + (i % 10) * 58, y = 10 + (i / 10) * 90;
      for (int r = 0; r < 100 && y + r < kH; ++r) {
        std::memcpy(&dst[(y + r) * kW + x], &src[(y + r) * kW + x], 200);
      }
    }
    benchmark::DoNotOptimize(dst.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 50 * 100 * 100 * 2);
}
BENCHMARK(BM_Memcpy50Rects);

#ifdef TAMVIK_BENCH_SDL

// ---- SDL2's software blitter on the same pictures --------------------------------------------

struct SdlSurface {
  SdlSurface(const std::vector<uint16_t>& pixels, Uint32 format) {
    surface = SDL_CreateRGBSurfaceWithFormat(0, kW, kH, 16, format);
    SDL_LockSurface(surface);
    for (int y = 0; y < kH; ++y) {
      std::memcpy(static_cast<uint8_t*>(surface->pixels) + y * surface->pitch, &pixels[y * kW],
                  kW * 2);
    }
    SDL_UnlockSurface(surface);
  }
  ~SdlSurface() { SDL_FreeSurface(surface); }
  SDL_Surface* surface;
};

// range(0) layout, range(1) keyed, range(2) SDL blend mode (1 blend, 2 add), range(3) alpha.
void BM_SdlBlit(benchmark::State& state) {
  const bool is555 = state.range(0) != 0, keyed = state.range(1) != 0;
  const Uint32 format = is555 ? SDL_PIXELFORMAT_RGB555 : SDL_PIXELFORMAT_RGB565;
  const uint16_t key = is555 ? kKey555 : kKey565, mask = is555 ? 0x7FFF : 0xFFFF;
  SdlSurface src(Picture(kW, kH, 1, key, mask), format), dst(Picture(kW, kH, 2, 0, mask), format);
  SDL_SetSurfaceBlendMode(src.surface,
                          state.range(2) == 2 ? SDL_BLENDMODE_ADD : SDL_BLENDMODE_BLEND);
  SDL_SetSurfaceAlphaMod(src.surface, static_cast<Uint8>(std::min<int64_t>(state.range(3), 255)));
  if (keyed) SDL_SetColorKey(src.surface, SDL_TRUE, key);
  for (auto _ : state) {
    SDL_BlitSurface(src.surface, nullptr, dst.surface, nullptr);
    benchmark::DoNotOptimize(dst.surface->pixels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kW * kH * 2);
}
void SdlArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"555", "key", "sdlmode", "alpha"});
  for (int layout : {0, 1}) {
    for (int keyed : {0, 1}) {
      b->Args({layout, keyed, 1, 77});
      b->Args({layout, keyed, 1, 128});
      b->Args({layout, keyed, 2, 255});
    }
  }
}
BENCHMARK(BM_SdlBlit)->Apply(SdlArgs);

// 50 filled 100 x 100 rectangles.
void BM_SdlFill50Rects(benchmark::State& state) {
  SdlSurface dst(std::vector<uint16_t>(kW * kH), SDL_PIXELFORMAT_RGB565);
  for (auto _ : state) {
    for (int i = 0; i < 50; ++i) {
      const SDL_Rect r{10 + (i % 10) * 58, 10 + (i / 10) * 90, 100, 100};
      SDL_FillRect(dst.surface, &r, 0x1234);
    }
    benchmark::DoNotOptimize(dst.surface->pixels);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * 50 * 100 * 100 * 2);
}
BENCHMARK(BM_SdlFill50Rects);

#endif  // TAMVIK_BENCH_SDL

}  // namespace
