// The compose's cover leaves undrawn only what a layer above overwrites: the busy scene (five
// scrolling layers with keyed holes, 1024 sprite-buffer entries of every kind on every layer and
// on the back buffer, two windows, the cross-fade and the fade) shows the same frames, pixel for
// pixel, with the cover as without it.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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

}  // namespace
