// The strip wave on the rig's clock: the default swing, amplitude growth and limit, the scroll
// and its wrap, the stop, refused starts, bands that differ from the one cut, and a captured
// frame of a striped picture.

#include "battle/slg_strip_wave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_math.h"
#include "battle/slg_screen.h"
#include "battle/slg_task.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "platform/surface.h"
#include "testsupport/battle_rig.h"

namespace {

using testsupport::BattleRig;

constexpr int32_t kOne = 0x10000;
constexpr ColorRef kRed = 0x000000FF;
constexpr ColorRef kBlue = 0x00FF0000;

// A rig whose scratch surface holds a picture red left of x = 320 and blue from there, and whose
// screen shows layer 4 alone, cleared black.
struct WaveRig {
  WaveRig() {
    platform::Surface* s = Ctx().ddraw.GetSurface(SURFACE_SCRATCH);
    const uint16_t red = platform::PackColorRef(kRed, s->layout());
    const uint16_t blue = platform::PackColorRef(kBlue, s->layout());
    for (int y = 0; y < s->height(); ++y) {
      uint16_t* row = s->Row(y);
      for (int x = 0; x < s->width(); ++x) row[x] = x < 320 ? red : blue;
    }
    for (SurfaceId id = SURFACE_BG; id <= SURFACE_TEXT; ++id) SlgSetLayer(id, 0);
    SlgSetLayer(SURFACE_ROOT, 1);
    SlgClearLayer(SURFACE_ROOT);
  }
  // A wave over `band` lines of `strip` lines from the top of the picture onto layer 4.
  SlgEffectTask* Start(int32_t band, int32_t strip, int32_t top = 0) {
    return SlgLineScrollStart("Test::LineScroll", SURFACE_SCRATCH, 0, top, 640, band, strip,
                              SURFACE_ROOT, 0, 0);
  }
  // Phase 1 on the next frame, then `frames` frames of phase 2.
  void Play(SlgEffectTask* task, int frames) {
    SlgTaskNextPhase(task);
    rig.Step();
    rig.Run(frames);
  }
  // A colour as the frame shows it in the rig's layout.
  uint32_t Shown(ColorRef c) {
    const platform::PixelLayout layout = rig.driver().host().display.layout();
    return platform::UnpackToColorRef(platform::PackColorRef(c, layout), layout);
  }
  static std::vector<int> Xs(const StripWaveWork& w) {
    std::vector<int> xs;
    for (int i = 0; i < w.entry_count; ++i) xs.push_back(w.entries[i]->x);
    return xs;
  }
  BattleRig rig;
};

TEST(StripWave, DefaultSwingIsSixteenPixelsWithNeighboursFourStepsApart) {
  WaveRig r;
  SlgEffectTask* task = r.Start(256, 2, 10);  // 128 strips: one whole turn over the band
  ASSERT_NE(task, nullptr);
  StripWaveWork& w = *SlgLineScrollWork(task);
  EXPECT_EQ(w.strip_count, 128);
  r.Play(task, 2);
  ASSERT_EQ(task->phase, 2);
  ASSERT_EQ(w.entry_count, 128);
  const std::vector<int> before = WaveRig::Xs(w);
  EXPECT_EQ(*std::max_element(before.begin(), before.end()), 16);
  EXPECT_EQ(*std::min_element(before.begin(), before.end()), -16);
  for (int i = 0; i < 128; ++i) {
    EXPECT_EQ(w.entries[i]->y, 10 + 2 * i) << "no scroll: each strip on its own lines";
    EXPECT_EQ(w.entries[i]->sprite, w.sprites[i]);
  }
  // d frames later every strip shows what the strip d below it showed: the wave moves 4 steps a
  // frame and neighbours are 4 steps apart. (The rig's 17, 17, 16 ms frames make d 1 or 2.)
  const int32_t f0 = task->frames;
  r.rig.Step();
  const int d = task->frames - f0;
  ASSERT_GE(d, 1);
  const std::vector<int> after = WaveRig::Xs(w);
  for (int i = 0; i + d < 128; ++i) EXPECT_EQ(after[i], before[i + d]) << "strip " << i;
  SlgTaskStop(task);
  r.rig.Step();
}

TEST(StripWave, AmplitudeGrowthAndLimit) {
  const struct {
    const char* name;
    int32_t start, limit, growth;
    int32_t after3;  // amplitude on frame 3 of phase 2
  } cases[] = {
      {"growth 0 keeps the start", 4 * kOne, 32 * kOne, 0, 4 * kOne},
      {"growth adds per frame", 4 * kOne, 32 * kOne, kOne / 2, 4 * kOne + 3 * kOne / 2},
      {"a limit below the start caps it", 8 * kOne, 2 * kOne, kOne, 2 * kOne},
      {"the limit stops the growth", kOne, 2 * kOne, kOne, 2 * kOne},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WaveRig r;
    SlgEffectTask* task = r.Start(256, 2);
    SlgLineScrollSetAmp(task, c.start, c.limit, c.growth);
    SlgTaskNextPhase(task);
    r.rig.Step();
    r.rig.Step();
    const StripWaveWork& w = *SlgLineScrollWork(task);
    if (c.limit < c.start) {
      EXPECT_EQ(w.amplitude, c.limit) << "capped from the first frame";
    }
    r.rig.Run(2);
    ASSERT_EQ(task->frames, 3);
    EXPECT_EQ(w.amplitude, c.after3);
    const std::vector<int> xs = WaveRig::Xs(w);
    const int peak = *std::max_element(xs.begin(), xs.end());
    EXPECT_EQ(peak, c.after3 / kOne) << "the strips swing as wide as the amplitude";
    SlgTaskStop(task);
    r.rig.Step();
  }
}

TEST(StripWave, ScrollWrapsInsideTheBand) {
  const struct {
    const char* name;
    int32_t wrap, speed;
    int want_first;  // y of strip 0 on frame 3 (top 100)
  } cases[] = {
      {"down 4 lines a frame", 32, 4 * kOne, 100 + 12},
      {"up wraps into the band", 32, -4 * kOne, 100 + 20},
      {"a wrap of 0 is kept at 1", 0, 4 * kOne, 100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WaveRig r;
    SlgEffectTask* task = r.Start(32, 2, 100);
    SlgLineScrollSetScroll(task, 32, c.wrap, c.speed);
    r.Play(task, 3);
    const StripWaveWork& w = *SlgLineScrollWork(task);
    EXPECT_EQ(w.scroll, 3 * c.speed);
    EXPECT_EQ(w.entries[0]->y, c.want_first);
    const int32_t wrap = std::max(c.wrap, 1);
    for (int i = 0; i < w.entry_count; ++i) {
      EXPECT_GE(w.entries[i]->y, 100);
      EXPECT_LT(w.entries[i]->y, 100 + wrap) << "strip " << i;
    }
    SlgTaskStop(task);
    r.rig.Step();
  }
}

TEST(StripWave, StopFreesEveryEntryAndSpriteOnTheNextFrame) {
  WaveRig r;
  const int64_t live = Battle().alloc.live;
  SlgEffectTask* task = r.Start(64, 2);
  r.Play(task, 1);
  const StripWaveWork& w = *SlgLineScrollWork(task);
  std::vector<SprBufferEntry*> entries(w.entries, w.entries + w.entry_count);
  std::vector<SprRec*> sprites(w.sprites, w.sprites + w.strip_count);
  ASSERT_EQ(entries.size(), 32u);
  SlgTaskStop(task);
  EXPECT_EQ(SlgTaskIsAlive(task), 1) << "it ends on its own next frame";
  r.rig.Step();
  EXPECT_EQ(SlgTaskIsAlive(task), 0);
  EXPECT_EQ(Battle().alloc.live, live);
  for (SprBufferEntry* e : entries) EXPECT_FALSE(e->in_use);
  for (SprRec* s : sprites) EXPECT_EQ(Ctx().ddraw_spr.IsSprite(s), 0);
}

TEST(StripWave, RefusedStartsLeaveNothing) {
  WaveRig r;
  const int64_t live = Battle().alloc.live;
  EXPECT_EQ(r.Start(64, 0), nullptr) << "strip height 0";
  EXPECT_EQ(r.Start(64, -2), nullptr);
  EXPECT_EQ(r.Start(-64, 2), nullptr);
  // Each of the three allocations of a start refused in turn (work area, sprites, entries; the
  // name copy is the task's own).
  for (uint32_t refused = 0; refused < 4; ++refused) {
    SCOPED_TRACE("refused call " + std::to_string(refused));
    const uint32_t base = Battle().alloc.calls;
    Battle().alloc.refuse = [&](uint32_t call, size_t) { return call == base + refused; };
    EXPECT_EQ(r.Start(64, 2), nullptr);
    Battle().alloc.refuse = nullptr;
    EXPECT_EQ(Battle().alloc.live, live);
  }
  // The setters take a null task.
  SlgLineScrollSetAlpha(nullptr, 0);
  SlgLineScrollSetStep(nullptr, 1, 1);
  SlgLineScrollSetAmp(nullptr, 1, 1, 1);
  SlgLineScrollSetScroll(nullptr, 1, 1, 1);
}

TEST(StripWave, ABandThatDiffersFromTheCutMovesOnlyTheStripsMade) {
  const struct {
    int32_t band;
    int entries;
  } cases[] = {{1000, 16}, {8, 4}, {32, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE("band " + std::to_string(c.band));
    WaveRig r;
    SlgEffectTask* task = r.Start(32, 2);
    SlgLineScrollSetScroll(task, c.band, 32, kOne);
    r.Play(task, 2);
    const StripWaveWork& w = *SlgLineScrollWork(task);
    EXPECT_EQ(w.entry_count, c.entries);
    for (int i = 0; i < w.strip_count; ++i)
      EXPECT_EQ(w.entries[i] != nullptr, i < c.entries) << "strip " << i;
    SlgTaskStop(task);
    r.rig.Step();
  }
}

TEST(StripWave, CapturedFrameShowsEachStripShifted) {
  WaveRig r;
  SlgEffectTask* task = r.Start(480, 2);
  SlgLineScrollSetAlpha(task, 256);
  r.Play(task, 5);
  r.rig.SaveFrame("strip_wave");
  const StripWaveWork& w = *SlgLineScrollWork(task);
  ASSERT_EQ(w.entry_count, 240);
  int shifted = 0;
  for (int i = 0; i < 240; i += 7) {
    const int x = w.entries[i]->x;
    const int y = 2 * i + 1;
    SCOPED_TRACE("strip " + std::to_string(i) + " at x " + std::to_string(x));
    EXPECT_EQ(r.rig.PixelAt(320 + x - 1, y), r.Shown(kRed));
    EXPECT_EQ(r.rig.PixelAt(320 + x, y), r.Shown(kBlue));
    if (x > 0) {
      EXPECT_EQ(r.rig.PixelAt(x - 1, y), 0u) << "uncovered on the left: black";
    }
    if (x != 0) ++shifted;
  }
  EXPECT_GT(shifted, 10);
  SlgTaskStop(task);
  r.rig.Step();
}

}  // namespace
