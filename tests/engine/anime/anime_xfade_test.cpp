// The layer cross-fade and the screen fade as the compose shows them: refusals, the alpha
// progression, the dissolve's 16 phases, the skip key, clean-up on deletion, and presented frames.

#include <gtest/gtest.h>

#include "anime_test_support.h"

namespace {

using anime_test::AnimePixelTest;
using anime_test::CallbackLog;
using anime_test::LogCallback;
using platform::PixelLayout;

constexpr ColorRef kRed = 0x0000FF;
constexpr ColorRef kGreen = 0x00FF00;
constexpr Rect kScreen{0, 0, 640, 480};

class XfadeTest : public AnimePixelTest {
 protected:
  void SetUp() override {
    AnimePixelTest::SetUp();
    // The new picture on the bottom layer, the old one in surface 9; the upper layers are
    // transparent after the set-up.
    Paint(SURFACE_ROOT, kScreen, New());
    Paint(SURFACE_XFADE, kScreen, Old());
  }
  uint16_t New() const { return Pack(kGreen); }
  uint16_t Old() const { return Pack(kRed); }

  // Composes and presents one frame; the pixel shown.
  uint16_t Shown(int x, int y) {
    EXPECT_EQ(ddraw().ShowWindow(), 1);
    return display().FramePixel(x, y);
  }
  // Runs the two set-up steps of a new cross-fade.
  void Begin() { Frames(2, 16); }

  // How many dissolve phases show in the cells of the rectangle: phase p has made the pixel at
  // column p mod 4, row p / 4 of every cell transparent. Fails when the pixels are not exactly
  // the first phases in order.
  int PhasesDone(const Rect& r) {
    int done = 0;
    for (int p = 0; p < 16; ++p) {
      int keyed = 0;
      int cells = 0;
      for (int y = r.top + p / 4; y < r.bottom; y += 4) {
        for (int x = r.left + p % 4; x < r.right; x += 4, ++cells) {
          keyed += Pixel(SURFACE_XFADE, x, y) == Key() ? 1 : 0;
        }
      }
      EXPECT_TRUE(keyed == 0 || keyed == cells) << "phase " << p << " half done";
      if (keyed == cells) {
        EXPECT_EQ(done, p) << "phase " << p << " done out of order";
        ++done;
      }
    }
    return done;
  }
};
INSTANTIATE_FOR_BOTH_LAYOUTS(XfadeTest);

TEST_P(XfadeTest, CreationIsRefusedForNonLayersUnknownModesTheSkipKeyAndASecondFade) {
  for (SurfaceId id : {SURFACE_BACK, SURFACE_XFADE, SURFACE_DEBUG, 0}) {
    EXPECT_EQ(anime().CreateXfade(id, 50, 0, 0, 640, 480, 1), nullptr) << "id " << id;
  }
  EXPECT_EQ(anime().CreateXfade(SURFACE_BG, 50, 0, 0, 640, 480, 2), nullptr);
  driver.HoldSkip(true);
  EXPECT_EQ(anime().CreateXfade(SURFACE_BG, 50, 0, 0, 640, 480, 1), nullptr);
  driver.HoldSkip(false);
  EXPECT_EQ(ddraw().GetXfadeLayer(), -1);

  ddraw().SwapLayers(SURFACE_BG, SURFACE_TEXT);  // the position follows the layer's place
  ASSERT_NE(anime().CreateXfade(SURFACE_BG, 50, 0, 0, 640, 480, 1), nullptr);
  EXPECT_EQ(ddraw().GetXfadeLayer(), 4);
  for (int mode : {0, 1}) {
    EXPECT_EQ(anime().CreateXfade(SURFACE_FG, 50, 0, 0, 640, 480, mode), nullptr);
  }
  EXPECT_EQ(ddraw().GetXfadeLayer(), 4);
}

TEST_P(XfadeTest, AlphaFadeLowersTheOldPictureOverSixteenPhaseTimesAndEnds) {
  AnimeHandle fade = anime().CreateXfade(SURFACE_ROOT, 100, 0, 0, 320, 480, 1);
  ASSERT_NE(fade, nullptr);
  anime().SetCallback(fade, LogCallback, 5);
  EXPECT_EQ(Shown(10, 10), Old());
  Begin();
  struct Step {
    uint32_t ms;
    int alpha;
  };
  // Total 1600 ms: alpha = (1600 - t) x 256 / 1600.
  for (const Step& s : {Step{400, 192}, Step{30, 187}, Step{770, 64}, Step{400, 0}}) {
    Frame(s.ms);
    EXPECT_EQ(Shown(10, 10), Blend(Old(), New(), s.alpha)) << "alpha " << s.alpha;
    EXPECT_EQ(display().FramePixel(400, 10), New());  // outside the cross-fade rectangle
  }
  EXPECT_EQ(ddraw().GetXfadeLayer(), 0);
  Frame(16);  // the end step
  EXPECT_EQ(ddraw().GetXfadeLayer(), -1);
  EXPECT_TRUE(CallbackLog().empty());
  Frame(16);
  EXPECT_EQ(CallbackLog(), std::vector<uintptr_t>{5});
  EXPECT_EQ(anime().IsAnime(fade), 0);
}

TEST_P(XfadeTest, DissolveTakesOnePixelOfEachCellPerPhaseAndDropsTheRest) {
  const Rect r{8, 8, 24, 20};  // 4 x 3 cells
  AnimeHandle dissolve = anime().CreateXfade(SURFACE_BG, 50, r.left, r.top, r.right, r.bottom, 0);
  ASSERT_NE(dissolve, nullptr);
  Begin();
  struct Step {
    uint32_t ms;
    int phases;
  };
  // A phase needs 50 ms since the last change; time beyond the due phases is dropped.
  for (const Step& s : {Step{49, 0}, Step{1, 1}, Step{120, 3}, Step{49, 3}, Step{50, 4},
                        Step{5000, 16}}) {
    Frame(s.ms);
    EXPECT_EQ(PhasesDone(r), s.phases) << "after " << s.ms << " ms";
  }
  // Pixels outside the rectangle keep the old picture.
  for (auto [x, y] : {std::pair{7, 8}, std::pair{24, 8}, std::pair{8, 20}, std::pair{8, 7}}) {
    EXPECT_EQ(Pixel(SURFACE_XFADE, x, y), Old()) << x << "," << y;
  }
  EXPECT_EQ(ddraw().GetXfadeLayer(), 1);
  Frame(16);
  EXPECT_EQ(ddraw().GetXfadeLayer(), -1);
}

TEST_P(XfadeTest, SkipKeyTakesTheOldPictureAwayAtOnce) {
  for (int mode : {0, 1}) {
    SCOPED_TRACE(mode);
    Paint(SURFACE_XFADE, kScreen, Old());
    ASSERT_NE(anime().CreateXfade(SURFACE_ROOT, 50, 0, 0, 640, 480, mode), nullptr);
    Begin();
    ddraw().SetUpdate(SURFACE_ALL_LAYERS, 1);
    EXPECT_EQ(Shown(320, 240), Old());
    driver.HoldSkip(true);
    Frame(50);
    for (auto [x, y] : {std::pair{0, 0}, std::pair{321, 77}, std::pair{639, 479}}) {
      EXPECT_EQ(Pixel(SURFACE_XFADE, x, y), Key());
    }
    EXPECT_EQ(Shown(320, 240), New());
    Frame(16);
    EXPECT_EQ(ddraw().GetXfadeLayer(), -1);
    driver.HoldSkip(false);
    Frame(16);
  }
}

TEST_P(XfadeTest, DissolveAfterAnAlphaFadeShowsTheOldPictureInItsRectangle) {
  // An alpha fade over a small rectangle runs out and leaves alpha 0 behind.
  ASSERT_NE(anime().CreateXfade(SURFACE_ROOT, 10, 0, 0, 100, 100, 1), nullptr);
  Begin();
  Frames(3, 200);
  ASSERT_EQ(ddraw().GetXfadeLayer(), -1);

  Paint(SURFACE_XFADE, kScreen, Old());
  ASSERT_NE(anime().CreateXfade(SURFACE_ROOT, 50, -40, 200, 700, 300, 0), nullptr);
  ddraw().SetUpdate(SURFACE_ALL_LAYERS, 1);
  EXPECT_EQ(Shown(320, 250), Old());
  EXPECT_EQ(display().FramePixel(50, 50), New());    // outside the dissolve's rectangle
  EXPECT_EQ(display().FramePixel(0, 250), Old());    // clamped at the left edge
  EXPECT_EQ(display().FramePixel(639, 299), Old());  // and at the right edge
  EXPECT_EQ(display().FramePixel(320, 300), New());
}

TEST_P(XfadeTest, DeletingARunningCrossFadeGivesItsPositionBack) {
  AnimeHandle running = anime().CreateXfade(SURFACE_FG, 50, 0, 0, 640, 480, 1);
  ASSERT_NE(running, nullptr);
  Begin();
  anime().DeleteAll();
  EXPECT_EQ(ddraw().GetXfadeLayer(), -1);
  EXPECT_EQ(ddraw().CaptureLayers(SURFACE_ALL_LAYERS, SURFACE_XFADE), 1);

  // An ended one deleted after a new one has started leaves the new one alone.
  AnimeHandle old_fade = anime().CreateXfade(SURFACE_FG, 1, 0, 0, 640, 480, 1);
  Begin();
  Frame(100);  // reaches its end
  Frame(16);   // end step: position off, kind 0
  ASSERT_EQ(anime().IsAnime(old_fade), 1);
  AnimeHandle new_fade = anime().CreateXfade(SURFACE_FC, 50, 0, 0, 640, 480, 1);
  ASSERT_NE(new_fade, nullptr);
  EXPECT_EQ(anime().Delete(old_fade), 1);
  EXPECT_EQ(ddraw().GetXfadeLayer(), 3);
}

TEST_P(XfadeTest, PresentedFramesShowTheCrossFadeThenTheScreenFade) {
  const int frames_before = display().frames_presented;
  auto present = [&](uint32_t ms) {
    Frame(ms);
    EXPECT_EQ(ddraw().ShowWindow(), 1);
  };
  // Half-way through an alpha cross-fade of 16 x 50 ms.
  ASSERT_NE(anime().CreateXfade(SURFACE_ROOT, 50, 0, 0, 640, 480, 1), nullptr);
  ddraw().SetUpdate(SURFACE_ALL_LAYERS, 1);
  present(16);
  present(16);
  EXPECT_EQ(display().FramePixel(100, 100), Old());
  present(400);
  EXPECT_EQ(display().FramePixel(100, 100), Blend(Old(), New(), 128));
  present(400);
  present(16);
  EXPECT_EQ(display().FramePixel(100, 100), New());

  // Half-way through a fade to black over 60 frames, then black.
  ASSERT_NE(anime().CreateFade(0, 256, 60, 0), nullptr);
  present(16);
  present(500);
  EXPECT_EQ(display().FramePixel(100, 100), Blend(0, New(), 128));
  present(500);
  EXPECT_EQ(display().FramePixel(100, 100), 0);
  EXPECT_EQ(display().FramePixel(639, 479), 0);
  // Only the frames in which an animation changed something were composed.
  EXPECT_EQ(display().frames_presented, frames_before + 6);
}

}  // namespace
