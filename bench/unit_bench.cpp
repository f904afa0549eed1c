// Sprite units and kind-12 animations: 64 units of 16 entries re-placed every frame (the sprite
// buffer's 1024 entries), with and without rotation, and a frame of 200 playing animations.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/spr_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_scene.h"

namespace {

using namespace testsupport;

// A file of two 8 x 8 images, a unit of 16 entries, a unit of two and one of one, and two
// animations (of the two small units) of two frames.
std::vector<uint8_t> BenchFile() {
  std::vector<SprUnitEntry> sixteen;
  for (int i = 0; i < 16; ++i) {
    sixteen.push_back(BoxEntry(static_cast<uint16_t>(i % 2), static_cast<int16_t>(i % 4 * 8),
                               static_cast<int16_t>(i / 4 * 8), 8, 8));
  }
  const std::vector<uint8_t> pixels(64, 1);
  return AnimationFile({{31, 0, 0}, {0, 31, 0}},
                       {{8, 8, kSprDepth8, 0, pixels}, {8, 8, kSprDepth8, 0, pixels}},
                       {sixteen, {BoxEntry(0, 0, 0, 8, 8), BoxEntry(1, 8, 0, 8, 8)},
                        {BoxEntry(1, 0, 0, 8, 8)}},
                       {{{1, 2}, {2, 2}}, {{2, 3}, {1, 3}}});
}

struct BenchScene {
  BenchScene() {
    scene.engine().host.files.SetWorkingDirectory(tree.root());
    ok = scene.engine().ctx().ddraw.InitDirectDraw() == 1;
    tree.Write("bench.spr", BenchFile());
    anm = TamvikFunc::LoadAnmFile("bench.spr");
    ok = ok && anm != nullptr;
  }
  TempTree tree;
  TestScene scene;
  SprAnm* anm = nullptr;
  bool ok = false;
};

// 64 units of 16 entries released and put again; range(0): rotation (radians x 256).
void BM_UnitsReplaced(benchmark::State& state) {
  BenchScene bench;
  if (!bench.ok) {
    state.SkipWithError("no scene");
    return;
  }
  CTamvikSpr& spr = bench.scene.scene().tamvik_spr;
  SprUnit* unit = bench.anm->unit;
  SpxAnimeBlock place;
  place.surface = SURFACE_ROOT;
  place.rotation = static_cast<int32_t>(state.range(0));
  std::vector<SprUnitHandle*> handles(64, nullptr);
  for (auto _ : state) {
    for (size_t i = 0; i < handles.size(); ++i) {
      spr.ReleaseUnit(&handles[i]);
      place.x = static_cast<int32_t>(i % 8 * 80);
      place.y = static_cast<int32_t>(i / 8 * 60);
      handles[i] = spr.PutUnitChecked(unit, 0, place);
    }
    benchmark::DoNotOptimize(handles.data());
  }
  for (SprUnitHandle*& h : handles) spr.ReleaseUnit(&h);
}
BENCHMARK(BM_UnitsReplaced)->Arg(0)->Arg(100)->Unit(benchmark::kMicrosecond);

// One Exec of the animation list with 200 kind-12 animations of one or two entries.
void BM_SpxAnimationsFrame(benchmark::State& state) {
  BenchScene bench;
  if (!bench.ok) {
    state.SkipWithError("no scene");
    return;
  }
  CTamvikSpr& spr = bench.scene.scene().tamvik_spr;
  CDdrawAnime& anime = bench.scene.engine().ctx().anime;
  for (int i = 0; i < 200; ++i) {
    spr.PlayAnm(bench.anm, static_cast<uint32_t>(i % 2), i % 20 * 30, i / 20 * 40, SURFACE_ROOT, 1);
  }
  uint32_t now = 0;
  for (auto _ : state) {
    now += 17;
    anime.Exec(now);
  }
}
BENCHMARK(BM_SpxAnimationsFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
