// Sprite-file pictures: decoding 640 x 480 images (8-bit, 4-bit at scale 2, packed BMX) at draw
// levels 256 and 204, a picture load through the cache, and the cache itself with 1000 entries
// under mixed hits and inserts.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/files/random.h"
#include "engine/gfx/display/ddraw_func.h"
#include "scene/scene_context.h"
#include "scene/sprite/spr_image.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/lzss_writer.h"
#include "testsupport/spr_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_scene.h"

namespace {

using namespace testsupport;

constexpr int kW = 640, kH = 480;

std::vector<SprRgb> Palette() {
  std::vector<SprRgb> colours(2048);
  for (size_t i = 0; i < colours.size(); ++i) {
    colours[i] = {static_cast<uint8_t>(i % 32), static_cast<uint8_t>(i / 32 % 32),
                  static_cast<uint8_t>(i * 7 % 32)};
  }
  return colours;
}

std::vector<uint8_t> Values(size_t n, int modulo) {
  GameRandom random;
  random.Seed(7);
  std::vector<uint8_t> v(n);
  for (uint8_t& b : v) b = static_cast<uint8_t>(random.Next() % modulo);
  return v;
}

// 0: 8-bit, 1: 4-bit at scale 2 (a 320 x 240 record), 2: packed BMX.
void BM_DecodeSprImage(benchmark::State& state) {
  const int form = static_cast<int>(state.range(0));
  const int level = static_cast<int>(state.range(1));
  TestScene scene;
  CDdrawFunc& ddraw = scene.engine().ctx().ddraw;
  if (ddraw.InitDirectDraw() != 1) {
    state.SkipWithError("no display");
    return;
  }
  const std::vector<uint8_t> colours = ColourPart(Palette());
  std::vector<uint8_t> images;
  if (form == 0) {
    images = ImagePart({{kW, kH, kSprDepth8, 0, Values(size_t{kW} * kH, 256)}}, 1, 0);
  } else if (form == 1) {
    images = ImagePart({{kW / 2, kH / 2, kSprDepth4, 0, Encode4Bit(kW / 2, kH / 2, Values(size_t{kW / 2} * (kH / 2), 16))}}, 2, 0);
  } else {
    std::vector<uint16_t> words(size_t{kW} * kH);
    for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint16_t>((i / 64) * 37 & 0xFFFF);
    images = ImagePart({{kW, kH, kSprDepth16 | kSprPacked, 0, LzssEncode(EncodeBmx(words))}}, 1, 1);
  }
  const SprPart c{colours.data(), static_cast<uint32_t>(colours.size())};
  const SprPart i{images.data(), static_cast<uint32_t>(images.size())};
  platform::Surface* target = ddraw.GetSurface(SURFACE_BG);
  for (auto _ : state) {
    if (DrawSprImage(c, i, 0, 0, 0, level, 0, target) != 1) state.SkipWithError("decode failed");
  }
}
BENCHMARK(BM_DecodeSprImage)
    ->ArgNames({"form", "level"})
    ->ArgsProduct({{0, 1, 2}, {256, 204}})
    ->Unit(benchmark::kMillisecond);

void BM_CachedPictureLoad(benchmark::State& state) {
  TempTree tree;
  TestScene scene;
  scene.engine().host.files.SetWorkingDirectory(tree.root());
  if (scene.engine().ctx().ddraw.InitDirectDraw() != 1) {
    state.SkipWithError("no display");
    return;
  }
  tree.Write("pic.spr", PictureFile(Palette(), {{kW, kH, kSprDepth8, 0, Values(size_t{kW} * kH, 256)}}));
  SprLoadParam param;
  param.surface = SURFACE_BG;
  param.use_cache = 1;
  for (auto _ : state) {
    if (TamvikFunc::LoadSpxSplitData("pic.spr", &param, kSprMaskPicture) != 1) {
      state.SkipWithError("load failed");
    }
  }
}
BENCHMARK(BM_CachedPictureLoad)->Unit(benchmark::kMillisecond);

// 1000 cached names, then 10 000 look-ups of random names, a miss inserting the name again.
void BM_SpxCacheMixed(benchmark::State& state) {
  TestScene scene;
  std::vector<std::string> names;
  for (int n = 0; n < 1200; ++n) names.push_back("tamvik1\\chara\\c" + std::to_string(n) + ".spr");
  // About 1000 entries of this size fill the budget (512 MB of memory: 60 MB), so inserts evict.
  constexpr uint32_t kSize = 60 * 1024;
  std::unique_ptr<SpxCache> fresh;
  for (auto _ : state) {
    state.PauseTiming();
    fresh = std::make_unique<SpxCache>();
    SpxCache& cache = *fresh;
    SprParts out;
    for (int n = 0; n < 1000; ++n) cache.Insert(names[static_cast<size_t>(n)].c_str(), 6, SprPartStore{}, kSize);
    GameRandom random;
    random.Seed(11);
    state.ResumeTiming();
    for (int k = 0; k < 10000; ++k) {
      const std::string& name = names[static_cast<size_t>(random.Next()) % names.size()];
      if (cache.Lookup(name.c_str(), 6, &out) == 0) cache.Insert(name.c_str(), 6, SprPartStore{}, kSize);
    }
    benchmark::DoNotOptimize(cache.count());
  }
}
BENCHMARK(BM_SpxCacheMixed)->Unit(benchmark::kMillisecond);

}  // namespace
