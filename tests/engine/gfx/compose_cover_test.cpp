// The compose's cover leaves undrawn only what a layer above overwrites: the busy scene (five
// scrolling layers with keyed holes, 1024 sprite-buffer entries of every kind on every layer and
// on the back buffer, two windows, the cross-fade and the fade) shows the same frames, pixel for
// pixel, with the cover as without it. A keyed layer's copy also leaves its groups of 16 pixels
// that are all the key without reading them: frames of layers with such groups at every column
// phase, scrolled to odd offsets and changed after the groups were found (between composes and
// during one, by a lock and by a blit), equal the layers composed by definition.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/files/random.h"
#include "engine/gfx/display/ddraw_func.h"
#include "tests/engine/anime/anime_test_support.h"
#include "tests/engine/gfx/display_test_support.h"
#include "testsupport/busy_scene.h"
#include "testsupport/test_engine.h"

namespace {

using platform::PixelLayout;

class ComposeCoverTest : public ::testing::TestWithParam<PixelLayout> {
 protected:
  // The frames the busy scene presents, 17 ms apart.
  static std::vector<std::vector<uint16_t>> Frames(PixelLayout layout, bool cover, int count) {
    testsupport::TestEngine engine;
    display_test::SelectLayout(engine, layout);
    CDdrawFunc& ddraw = engine.ctx().ddraw;
    EXPECT_EQ(ddraw.InitDirectDraw(), 1);
    anime_test::AnimeDriver driver(engine);
    driver.Start();
    ddraw.SetComposeCover(cover);
    const testsupport::BusyScene scene = testsupport::BuildBusyScene();
    EXPECT_EQ(scene.entries.size(), 1024u);
    std::vector<std::vector<uint16_t>> frames;
    for (int i = 0; i < count; ++i) {
      driver.Frame(17);
      EXPECT_EQ(ddraw.ShowWindow(), 1);
      frames.push_back(engine.host.display.frame);
    }
    return frames;
  }
};

TEST_P(ComposeCoverTest, TheBusySceneShowsTheSameFramesWithAndWithoutTheCover) {
  constexpr int kFrames = 8;
  const auto covered = Frames(GetParam(), true, kFrames);
  const auto drawn = Frames(GetParam(), false, kFrames);
  ASSERT_EQ(covered.size(), drawn.size());
  for (size_t i = 0; i < covered.size(); ++i) {
    ASSERT_EQ(covered[i].size(), drawn[i].size());
    size_t differ = 0;
    for (size_t p = 0; p < covered[i].size(); ++p) differ += covered[i][p] != drawn[i][p];
    EXPECT_EQ(differ, 0u) << "frame " << i;
  }
  // The scene moves: the frames compared are not one picture.
  EXPECT_NE(covered.front(), covered.back());
}

INSTANTIATE_TEST_SUITE_P(Layouts, ComposeCoverTest,
                         ::testing::Values(PixelLayout::kRgb565, PixelLayout::kRgb555),
                         display_test::LayoutName);

class LayerKeyGroupsTest : public display_test::DisplayTest {
 protected:
  static constexpr int kLayerWidth = 800, kLayerHeight = 560;

  void SetUp() override {
    DisplayTest::SetUp();
    ddraw().SetVisible(SURFACE_DEBUG, 0);
    ddraw().SetVisible(SURFACE_DEBUG2, 0);
    GameRandom rng;
    rng.Seed(11);
    // Rows of runs of the key and of other pixels, each 1-40 pixels long: groups of nothing but
    // the key start at every column phase.
    for (SurfaceId id = SURFACE_ROOT; id < SURFACE_ROOT + 5; ++id) {
      ASSERT_EQ(ddraw().ResizeSurface(id, 1, kLayerWidth, kLayerHeight), 1);
      platform::Surface* s = ddraw().GetSurface(id);
      ASSERT_NE(s, nullptr);
      for (int y = 0; y < kLayerHeight; ++y) {
        uint16_t* row = s->Row(y);
        bool key = rng.Next() % 2 == 0;
        int left = 0;
        for (int x = 0; x < kLayerWidth; ++x) {
          if (left == 0) {
            key = !key;
            left = 1 + static_cast<int>(rng.Next() % 40);
          }
          --left;
          const auto other = static_cast<uint16_t>(1 + rng.Next() % 0xFFFE);
          row[x] = key ? Key() : other == Key() ? uint16_t{1} : other;
        }
      }
    }
  }

  // Every layer scrolled to its own offsets for step i; the column offsets of the layers take
  // every phase of 16 over 16 steps.
  void Scroll(int i) {
    for (int p = 0; p < 5; ++p) {
      ASSERT_EQ(ddraw().SetLayerScroll(SURFACE_ROOT + p, (3 + 5 * i + 7 * p) % 160,
                                       (1 + 3 * i + 5 * p) % 80),
                1);
    }
  }

  // The frame by definition: the bottom layer's view as it is, each layer above it keyed over it.
  std::vector<uint16_t> Expected() {
    std::vector<uint16_t> out(static_cast<size_t>(kScreenWidth) * kScreenHeight);
    for (int p = 0; p < 5; ++p) {
      const SurfaceId id = SURFACE_ROOT + p;
      const platform::Surface* s = ddraw().GetSurface(id);
      int sx = 0, sy = 0;
      ddraw().GetLayerScroll(id, &sx, &sy);
      for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
          const uint16_t v = s->Row(sy + y)[sx + x];
          if (p == 0 || v != Key()) out[static_cast<size_t>(y) * kScreenWidth + x] = v;
        }
      }
    }
    return out;
  }

  // Composes and compares the frame shown with the frame by definition.
  void ExpectComposed(const std::string& what) {
    const std::vector<uint16_t> expected = Expected();
    ddraw().SetUpdate(SURFACE_ALL_LAYERS, 1);
    ASSERT_EQ(ddraw().ShowWindow(), 1) << what;
    ExpectShown(expected, what);
  }
  void ExpectShown(const std::vector<uint16_t>& expected, const std::string& what) {
    const std::vector<uint16_t>& shown = display().frame;
    ASSERT_EQ(shown.size(), expected.size()) << what;
    size_t differ = 0;
    for (size_t i = 0; i < shown.size(); ++i) differ += shown[i] != expected[i];
    EXPECT_EQ(differ, 0u) << what;
  }

  // Writes `value` over a rectangle of a layer through a lock for writing.
  void LockAndPaint(SurfaceId id, const Rect& r, uint16_t value) {
    platform::Surface* s = ddraw().GetSurface(id);
    platform::SurfaceLock lock;
    ASSERT_TRUE(s->Lock(lock));
    for (int y = r.top; y < r.bottom; ++y) {
      auto* row = reinterpret_cast<uint16_t*>(lock.bits + static_cast<ptrdiff_t>(y) * lock.pitch);
      std::fill(row + r.left, row + r.right, value);
    }
    s->Unlock();
  }

  // Copies a rectangle of `value` into a layer through the display's blit (from scratch 12).
  void BlitPaint(SurfaceId id, const Rect& r, uint16_t value) {
    Paint(SURFACE_SCRATCH, {0, 0, r.right - r.left, r.bottom - r.top}, value);
    ASSERT_EQ(ddraw().Blt(SURFACE_SCRATCH, {0, 0, r.right - r.left, r.bottom - r.top}, id, r, 0),
              1);
  }

  // The rectangle of layer `id` shown at screen (x, y) to (x + w, y + h).
  Rect InView(SurfaceId id, int x, int y, int w, int h) {
    int sx = 0, sy = 0;
    ddraw().GetLayerScroll(id, &sx, &sy);
    return {sx + x, sy + y, sx + x + w, sy + y + h};
  }
};
INSTANTIATE_FOR_BOTH_LAYOUTS(LayerKeyGroupsTest);

TEST_P(LayerKeyGroupsTest, LayersScrolledToEveryPhaseShowTheirPixelsThroughEveryChange) {
  // The first compose finds the layers changed; from the second on their groups are kept.
  Scroll(0);
  ExpectComposed("first compose");
  for (int i = 0; i < 17; ++i) {
    Scroll(i);
    ExpectComposed("step " + std::to_string(i));
  }
  const uint16_t opaque = Pack(0x4080C0);
  // Changes between composes: a lock and a blit write over the groups of the views.
  LockAndPaint(SURFACE_ROOT + 4, InView(SURFACE_ROOT + 4, 0, 0, 640, 480), opaque);
  BlitPaint(SURFACE_ROOT + 2, InView(SURFACE_ROOT + 2, 0, 0, 640, 480), opaque);
  ExpectComposed("after a lock and a blit");
  ExpectComposed("again");
  // Key pixels written back over the top layer's view.
  LockAndPaint(SURFACE_ROOT + 4, InView(SURFACE_ROOT + 4, 0, 0, 640, 480), Key());
  ExpectComposed("top layer all key");
  ExpectComposed("again");
  // Changes during a compose, after the groups were found for it: the lower layers' window
  // draws write over layers above them before those are copied.
  Scroll(3);
  ExpectComposed("scrolled");
  int draws = 0;
  ddraw().hooks().draw_windows = [&](SurfaceId id) {
    if (id == SURFACE_ROOT) {
      LockAndPaint(SURFACE_ROOT + 3, InView(SURFACE_ROOT + 3, 32, 40, 300, 200), opaque);
      ++draws;
    } else if (id == SURFACE_ROOT + 1) {
      BlitPaint(SURFACE_ROOT + 4, InView(SURFACE_ROOT + 4, 100, 100, 400, 300), opaque);
      ++draws;
    }
    return 1;
  };
  // The hooks write into layers before those are copied: the frame by definition is that of the
  // layers after the compose, and differs from that before it.
  const std::vector<uint16_t> before = Expected();
  ddraw().SetUpdate(SURFACE_ALL_LAYERS, 1);
  ASSERT_EQ(ddraw().ShowWindow(), 1);
  EXPECT_EQ(draws, 2);
  const std::vector<uint16_t> expected = Expected();
  ASSERT_NE(expected, before);
  ExpectShown(expected, "layers changed during the compose");
}

}  // namespace
