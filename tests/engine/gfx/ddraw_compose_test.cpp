// The compose step: update word, layer rules, hooks, cross-fade, capture, fade, flip, and the
// layer settings.

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "display_test_support.h"
#include "testsupport/trace_capture.h"

namespace {

using display_test::DisplayTest;
using platform::PixelLayout;
using platform::Surface;

constexpr ColorRef kRed = 0x0000FF;
constexpr ColorRef kGreen = 0x00FF00;
constexpr ColorRef kBlue = 0xFF0000;
constexpr ColorRef kGrey = 0x808080;

class ComposeTest : public DisplayTest {
 protected:
  void SetUp() override {
    DisplayTest::SetUp();
    // Start from a settled screen: the set-up's own copy into the flip buffer asked for a compose.
    ASSERT_EQ(ddraw().ShowWindow(), 1);
    ASSERT_EQ(ddraw().update_word(), 0u);
    frames = display().frames_presented;
  }
  // Composes the whole screen and returns whether a new frame was shown.
  bool Compose() {
    ddraw().SetUpdate(SURFACE_ALL_LAYERS, 1);
    EXPECT_EQ(ddraw().ShowWindow(), 1);
    bool shown = display().frames_presented != frames;
    frames = display().frames_presented;
    return shown;
  }
  uint16_t Shown(int x, int y) const { return engine.host.display.FramePixel(x, y); }
  // floor(c * (256 - level) / 256) per channel.
  uint16_t Darken(uint16_t p, int level) const { return Blend(0, p, level); }

  int frames = 0;
};
INSTANTIATE_FOR_BOTH_LAYOUTS(ComposeTest);

TEST_P(ComposeTest, NothingIsComposedWithoutAnUpdateBitOrWhileBitZeroHoldsTheScreen) {
  auto& dd = ddraw();
  Paint(4, {0, 0, 640, 480}, Pack(kGrey));  // changed without asking for an update
  EXPECT_EQ(dd.ShowWindow(), 1);
  EXPECT_EQ(display().frames_presented, frames);

  dd.SetUpdate(0, 1);
  dd.SetUpdate(5, 1);
  EXPECT_EQ(dd.ShowWindow(), 1);
  EXPECT_EQ(display().frames_presented, frames);
  EXPECT_NE(Shown(10, 10), Pack(kGrey));

  dd.SetUpdate(0, 0);
  EXPECT_EQ(dd.ShowWindow(), 1);
  EXPECT_EQ(display().frames_presented, frames + 1);
  EXPECT_EQ(Shown(10, 10), Pack(kGrey));
  EXPECT_EQ(dd.update_word(), 0u);
}

TEST_P(ComposeTest, BottomLayerIsCopiedWithoutKeyAndTheOthersKeyed) {
  auto& dd = ddraw();
  Paint(4, {0, 0, 320, 480}, Key());  // bottom: cyan on the left, grey on the right
  Paint(4, {320, 0, 640, 480}, Pack(kGrey));
  Paint(5, {100, 100, 200, 200}, Pack(kRed));  // layer 5 is transparent elsewhere
  Paint(6, {150, 150, 250, 250}, Pack(kBlue));
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(10, 10), Key());  // the bottom's cyan shows as cyan
  EXPECT_EQ(Shown(400, 10), Pack(kGrey));
  EXPECT_EQ(Shown(120, 120), Pack(kRed));
  EXPECT_EQ(Shown(170, 170), Pack(kBlue));  // the upper layer is drawn over the lower
  EXPECT_EQ(Shown(240, 240), Pack(kBlue));

  dd.SetVisible(6, 0);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(170, 170), Pack(kRed));
  dd.SetSurfaceBlt(5, 0);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(170, 170), Key());

  // Bottom not copied: clear flag 1 starts from black, 0 keeps the last composed picture.
  dd.SetSurfaceBlt(4, 0);
  Paint(4, {0, 0, 640, 480}, Pack(kGreen));
  dd.SetClearFlag(0);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(400, 10), Pack(kGrey));
  dd.SetClearFlag(1);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(400, 10), 0);
  dd.SetVisible(4, 0);
  dd.SetSurfaceBlt(4, 1);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(400, 10), 0);
}

TEST_P(ComposeTest, EachLayerDrawsWindowsThenItsSurfaceThenSpritesAndTheDebugSurfacesLast) {
  auto& dd = ddraw();
  std::vector<std::string> calls;
  dd.hooks().draw_windows = [&](SurfaceId id) {
    calls.push_back("W" + std::to_string(id));
    if (id == 5) Paint(2, {0, 0, 1, 1}, Pack(kGreen));  // covered by the layer's own surface
    return 1;
  };
  dd.hooks().draw_sprites = [&](SurfaceId id) {
    calls.push_back("S" + std::to_string(id));
    if (id == 5) Paint(2, {1, 0, 2, 1}, Pack(kBlue));  // over the layer's surface
    return 1;
  };
  Paint(5, {0, 0, 2, 1}, Pack(kRed));
  dd.SetVisible(7, 0);
  ASSERT_TRUE(Compose());
  const std::vector<std::string> expected = {"W4", "S4", "W5", "S5", "W6", "S6", "W8",
                                             "S8", "S2", "W10", "S10", "W11", "S11"};
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(Shown(0, 0), Pack(kRed));
  EXPECT_EQ(Shown(1, 0), Pack(kBlue));

  // A failing draw stops the compose: nothing is shown and the request stays.
  dd.hooks().draw_sprites = [](SurfaceId id) { return id == 6 ? 0 : 1; };
  dd.SetUpdate(SURFACE_ALL_LAYERS, 1);
  EXPECT_EQ(dd.ShowWindow(), 0);
  EXPECT_EQ(display().frames_presented, frames);
  EXPECT_NE(dd.IsUpdate(SURFACE_ALL_LAYERS), 0u);
}

TEST_P(ComposeTest, CrossFadeBlendsSurfaceNineAfterItsPositionAndUnderTheLayersAbove) {
  auto& dd = ddraw();
  Paint(5, {0, 0, 100, 100}, Pack(kRed));
  Paint(6, {50, 0, 100, 100}, Pack(kBlue));
  Paint(9, {0, 0, 100, 100}, Pack(kGreen));
  Paint(9, {0, 0, 10, 10}, Key());  // key pixels of the picture are not blended
  dd.SetXfadeLayer(1);              // right after layer 5
  dd.SetXfadeAlpha(256);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(20, 20), Pack(kGreen));
  EXPECT_EQ(Shown(5, 5), Pack(kRed));
  EXPECT_EQ(Shown(70, 20), Pack(kBlue));

  dd.SetXfadeAlpha(128);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(20, 20), Blend(Pack(kGreen), Pack(kRed), 128));
  EXPECT_EQ(Shown(70, 20), Pack(kBlue));

  // Only the cross-fade rectangle is blended; position 4 blends over every layer.
  Rect part{0, 0, 30, 480};
  dd.SetXfadeRect(&part);
  dd.SetXfadeLayer(4);
  dd.SetXfadeAlpha(256);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(20, 20), Pack(kGreen));
  EXPECT_EQ(Shown(40, 20), Pack(kRed));
  dd.SetXfadeAlpha(0);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(20, 20), Pack(kRed));
}

TEST_P(ComposeTest, CaptureComposesLayersOverTransparencyAndIsRefusedDuringACrossFade) {
  auto& dd = ddraw();
  dd.SetVisible(4, 0);
  Paint(5, {0, 0, 100, 100}, Pack(kRed));
  Paint(6, {50, 50, 150, 150}, Pack(kBlue));
  Paint(7, {300, 300, 310, 310}, Pack(kGreen));
  ASSERT_EQ(dd.CaptureLayers(6, 9), 1);
  EXPECT_EQ(Pixel(9, 10, 10), Pack(kRed));
  EXPECT_EQ(Pixel(9, 60, 60), Pack(kBlue));
  EXPECT_EQ(Pixel(9, 200, 200), Key());
  EXPECT_EQ(Pixel(9, 305, 305), Key());  // layer 7 is above the captured ones
  EXPECT_NE(dd.IsUpdate(9), 0u);

  ASSERT_EQ(dd.CaptureLayers(SURFACE_ALL_LAYERS, 12), 1);
  EXPECT_EQ(Pixel(12, 305, 305), Pack(kGreen));
  EXPECT_EQ(dd.CaptureLayers(9, 12), 0);

  dd.SetXfadeLayer(2);
  Paint(9, {0, 0, 640, 480}, 0x1234);
  EXPECT_EQ(dd.CaptureLayers(6, 9), 0);
  EXPECT_EQ(Pixel(9, 10, 10), 0x1234);
}

struct FadeCase {
  PixelLayout layout;
  int type;
  int level;
  uint16_t from_white;
  uint16_t from_black;
};

class FadeTest : public ::testing::TestWithParam<FadeCase> {};

TEST_P(FadeTest, FadesTheLayersButNotTheDebugSurfaces) {
  const FadeCase& c = GetParam();
  testsupport::TestEngine engine;
  display_test::SelectLayout(engine, c.layout);
  auto& dd = engine.ctx().ddraw;
  ASSERT_EQ(dd.InitDirectDraw(), 1);
  const uint16_t white = platform::PackColorRef(0xFFFFFF, c.layout);
  display_test::PaintRect(dd.GetSurface(4), {0, 0, 320, 480}, white);
  display_test::PaintRect(dd.GetSurface(4), {320, 0, 640, 480}, 0);
  display_test::PaintRect(dd.GetSurface(10), {0, 0, 1, 1}, 0x0421);
  dd.SetFadeType(c.type);
  dd.SetFadeLevel(c.level);
  dd.SetUpdate(SURFACE_ALL_LAYERS, 1);
  ASSERT_EQ(dd.ShowWindow(), 1);
  const auto& display = engine.host.display;
  EXPECT_EQ(display.FramePixel(10, 10), c.from_white);
  EXPECT_EQ(display.FramePixel(400, 10), c.from_black);
  EXPECT_EQ(display.FramePixel(0, 0), 0x0421);
}

constexpr uint16_t P565(int r, int g, int b) { return static_cast<uint16_t>(r << 11 | g << 5 | b); }
constexpr uint16_t P555(int r, int g, int b) { return static_cast<uint16_t>(r << 10 | g << 5 | b); }

INSTANTIATE_TEST_SUITE_P(
    Cases, FadeTest,
    ::testing::Values(
        FadeCase{PixelLayout::kRgb565, 0, 0, P565(31, 63, 31), 0},
        FadeCase{PixelLayout::kRgb565, 0, 128, P565(15, 31, 15), 0},
        FadeCase{PixelLayout::kRgb565, 0, 256, 0, 0},
        FadeCase{PixelLayout::kRgb565, 1, 128, P565(30, 61, 30), P565(15, 30, 15)},
        FadeCase{PixelLayout::kRgb565, 1, 256, P565(31, 62, 31), P565(31, 62, 31)},
        FadeCase{PixelLayout::kRgb565, 2, 256, P565(31, 63, 31), 0},
        FadeCase{PixelLayout::kRgb555, 0, 0, P555(31, 31, 31), 0},
        FadeCase{PixelLayout::kRgb555, 0, 128, P555(15, 15, 15), 0},
        FadeCase{PixelLayout::kRgb555, 0, 256, 0, 0},
        FadeCase{PixelLayout::kRgb555, 1, 128, P555(30, 30, 30), P555(15, 15, 15)},
        FadeCase{PixelLayout::kRgb555, 1, 256, P555(31, 31, 31), P555(31, 31, 31)},
        FadeCase{PixelLayout::kRgb555, 2, 256, P555(31, 31, 31), 0}),
    [](const auto& info) {
      const FadeCase& c = info.param;
      return std::string(c.layout == PixelLayout::kRgb565 ? "Rgb565" : "Rgb555") + "Type" +
             std::to_string(c.type) + "Level" + std::to_string(c.level);
    });

TEST(FadeLevel, OutOfRangeLevelsBecomeFull) {
  testsupport::TestEngine engine;
  auto& dd = engine.ctx().ddraw;
  for (auto [in, out] : {std::pair{0, 0}, {128, 128}, {256, 256}, {257, 256}, {-1, 256}}) {
    dd.SetFadeLevel(in);
    EXPECT_EQ(dd.GetFadeLevel(), out) << in;
  }
}

// ---- Flip ----

TEST_P(ComposeTest, FlipExchangesTheChainAndFlipModeOneComposesIntoTheFlipBuffer) {
  auto& dd = ddraw();
  Surface* primary = dd.GetSurface(1);
  Paint(4, {0, 0, 640, 480}, Pack(kRed));
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Pixel(primary, 5, 5), Pack(kRed));
  EXPECT_EQ(Pixel(2, 5, 5), Pack(kRed));

  dd.SetFlipMode(1);
  Paint(4, {0, 0, 640, 480}, Pack(kBlue));
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(5, 5), Pack(kBlue));
  EXPECT_EQ(Pixel(primary, 5, 5), Pack(kBlue));
  EXPECT_EQ(Pixel(dd.GetSurface(3), 5, 5), Pack(kRed));  // the previous front
  dd.SetFlipMode(0);
  EXPECT_EQ(Pixel(2, 5, 5), Pack(kRed));  // the system-memory buffer was not drawn on

  EXPECT_EQ(dd.Flip(), 1);
  EXPECT_EQ(display().frames_presented, frames + 1);
  EXPECT_EQ(dd.FlipToGDI(1), 1);
  EXPECT_EQ(display().frames_presented, frames + 1);
  EXPECT_EQ(dd.FlipToGDI(0), 1);
  EXPECT_EQ(display().frames_presented, frames + 2);
}

TEST_P(ComposeTest, ALostScreenThatComesBackSkipsOneFrameAndKeepsTheRequest) {
  auto& dd = ddraw();
  testsupport::TraceCapture trace;
  dd.SetFlipMode(1);
  dd.SetVisible(10, 0);
  dd.SetVisible(11, 0);
  bool lose = true;
  dd.hooks().draw_sprites = [&](SurfaceId id) {
    if (id == 2 && lose) dd.GetSurface(1)->SetLost(true);  // lost after compose, before the flip
    return 1;
  };
  Paint(4, {0, 0, 640, 480}, Pack(kRed));
  dd.SetUpdate(SURFACE_ALL_LAYERS, 1);
  EXPECT_EQ(dd.ShowWindow(), 1);
  EXPECT_EQ(display().frames_presented, frames);
  EXPECT_NE(dd.IsUpdate(SURFACE_ALL_LAYERS), 0u);
  EXPECT_FALSE(trace.Contains("Flip Fail"));

  lose = false;
  EXPECT_EQ(dd.ShowWindow(), 1);
  EXPECT_EQ(display().frames_presented, frames + 1);
  EXPECT_EQ(Shown(5, 5), Pack(kRed));
  EXPECT_EQ(dd.update_word(), 0u);
}

TEST_P(ComposeTest, AFlipThatCannotBeMadeFailsTheComposeAndKeepsTheRequest) {
  auto& dd = ddraw();
  testsupport::TraceCapture trace;
  display().present_fails = true;
  dd.SetUpdate(5, 1);
  EXPECT_EQ(dd.ShowWindow(), 0);
  EXPECT_TRUE(trace.Contains("Flip Fail\n"));
  EXPECT_NE(dd.IsUpdate(5), 0u);
  display().present_fails = false;

  // A lost screen that cannot be restored.
  dd.SetFlipMode(1);
  dd.SetVisible(10, 0);
  dd.SetVisible(11, 0);
  dd.hooks().draw_sprites = [&](SurfaceId id) {
    if (id == 2) {
      dd.GetSurface(1)->SetLost(true);
      dd.GetSurface(1)->SetRestoreFails(true);
    }
    return 1;
  };
  trace.Clear();
  EXPECT_EQ(dd.ShowWindow(), 0);
  EXPECT_TRUE(trace.Contains("Flip Fail\n"));
  EXPECT_EQ(dd.Flip(), 0);
}

// ---- Layer settings ----

TEST_P(ComposeTest, ResizeGivesALayerALargerSurfaceAndASecondResizeGivesTheFirstBack) {
  auto& dd = ddraw();
  testsupport::TraceCapture trace;
  Surface* own = dd.GetSurface(5);
  ASSERT_EQ(dd.ResizeSurface(5, 1, 641, 480), 1);
  EXPECT_TRUE(trace.Contains("Surface Resized Width=641 Height=480\n"));
  const LayerRec* rec = dd.GetLayer(5);
  EXPECT_EQ(dd.GetSurface(5)->width(), 641);
  EXPECT_EQ(rec->surface_width, 641);
  EXPECT_EQ(rec->surface_height, 480);
  EXPECT_EQ(rec->view_width, 640);
  EXPECT_EQ(rec->view_height, 480);
  ASSERT_EQ(rec->swap_surface, 0);
  EXPECT_EQ(dd.GetUserSurface(0), own);
  EXPECT_EQ(Pixel(5, 639, 479), Key());

  // The second resize starts from the layer's own surface, so nothing is stranded, and the
  // clear puts the scroll back to the corner.
  ASSERT_EQ(dd.SetLayerScroll(5, 1, 0), 1);
  ASSERT_EQ(rec->scroll_x, 1);
  ASSERT_EQ(dd.ResizeSurface(5, 0, 100, 2048), 1);
  EXPECT_EQ(rec->scroll_x, 0);
  EXPECT_EQ(dd.GetSurface(5)->width(), 640);
  EXPECT_EQ(dd.GetSurface(5)->height(), 2048);
  EXPECT_EQ(rec->view_width, 640);
  ASSERT_EQ(rec->swap_surface, 0);  // the first larger surface was given back and freed
  EXPECT_EQ(dd.GetUserSurface(0), own);
  EXPECT_EQ(dd.GetUserSurface(1), nullptr);

  ASSERT_EQ(dd.GiveBackLayerSurface(5, 1), 1);
  EXPECT_EQ(dd.GetSurface(5), own);
  EXPECT_EQ(rec->swap_surface, -1);
  EXPECT_EQ(rec->surface_height, 480);
  EXPECT_EQ(dd.GetUserSurface(0), nullptr);

  trace.Clear();
  EXPECT_EQ(dd.ResizeSurface(9, 1, 800, 600), 0);
  display().fail_step = platform::headless::HeadlessDisplay::Step::kSurface;
  display().fail_surface_index = display().surfaces_made;
  EXPECT_EQ(dd.ResizeSurface(5, 1, 800, 600), 0);
  EXPECT_TRUE(trace.Contains("Surface Resize Failed\n"));
  EXPECT_EQ(dd.GetSurface(5), own);
}

TEST_P(ComposeTest, ScrollIsClampedViewsAreCheckedAndLayersSwapWithTheirRecords) {
  auto& dd = ddraw();
  ASSERT_EQ(dd.ResizeSurface(6, 1, 1000, 800), 1);
  struct ScrollCase {
    int x, y, want_x, want_y;
  };
  for (ScrollCase c : {ScrollCase{-5, -5, 0, 0}, ScrollCase{500, 400, 360, 320},
                       ScrollCase{100, 100, 100, 100}, ScrollCase{INT32_MAX, 0, 360, 0}}) {
    ASSERT_EQ(dd.SetLayerScroll(6, c.x, c.y), 1);
    int x = -1, y = -1;
    ASSERT_EQ(dd.GetLayerScroll(6, &x, &y), 1);
    EXPECT_EQ(x, c.want_x) << c.x;
    EXPECT_EQ(y, c.want_y) << c.y;
  }
  int x = 7, y = 7;
  EXPECT_EQ(dd.SetLayerScroll(9, 1, 1), 0);
  EXPECT_EQ(dd.GetLayerScroll(9, &x, &y), 0);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);

  // The scroll decides which part of a larger layer shows.
  Paint(6, {0, 0, 1000, 800}, Key());
  Paint(6, {360, 320, 361, 321}, Pack(kRed));
  ASSERT_EQ(dd.SetLayerScroll(6, 360, 320), 1);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(0, 0), Pack(kRed));

  struct ViewCase {
    int x1, y1, x2, y2, ok;
  };
  for (ViewCase c : {ViewCase{0, 0, 640, 480, 1}, ViewCase{5, 6, 7, 8, 1},
                     ViewCase{10, 10, 10, 20, 0}, ViewCase{-1, 0, 10, 10, 0},
                     ViewCase{0, 0, 641, 480, 0}, ViewCase{0, 20, 10, 10, 0}}) {
    EXPECT_EQ(dd.SetLayerView(7, c.x1, c.y1, c.x2, c.y2), c.ok) << c.x1 << "," << c.x2;
  }
  const LayerRec* rec = dd.GetLayer(7);
  EXPECT_EQ(rec->screen_x, 5);
  EXPECT_EQ(rec->scroll_y, 6);
  EXPECT_EQ(rec->view_width, 2);
  EXPECT_EQ(dd.GetLayer(9), nullptr);

  EXPECT_EQ(dd.SwapLayers(4, 9), 0);
  ASSERT_EQ(dd.SwapLayers(4, 7), 1);
  EXPECT_EQ(dd.GetLayerIndex(7), 0);
  EXPECT_EQ(dd.GetLayerIndex(4), 3);
  EXPECT_EQ(dd.GetLayer(7), rec);
  // Layer 7 is now the bottom (its small view, unkeyed); layer 4 is keyed above the others.
  Paint(7, {5, 6, 7, 8}, Key());
  Paint(4, {0, 0, 640, 480}, Key());
  Paint(4, {6, 7, 7, 8}, Pack(kBlue));
  dd.SetVisible(6, 0);
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(5, 6), Key());
  EXPECT_EQ(Shown(6, 7), Pack(kBlue));
}

TEST_P(ComposeTest, LayerStateIsSavedAndRestoredWithAFullUpdate) {
  auto& dd = ddraw();
  dd.SetVisible(5, 0);
  dd.SetSurfaceBlt(7, 0);
  dd.SetClearFlag(0);
  LayerState state;
  EXPECT_EQ(dd.SaveLayerState(&state), 0);
  EXPECT_EQ(state.visible[5], 0);
  EXPECT_EQ(state.visible[6], 1);
  EXPECT_EQ(state.copy[7], 0);

  dd.SetVisible(5, 1);
  dd.SetSurfaceBlt(7, 1);
  dd.SetVisible(10, 0);
  dd.SetClearFlag(1);
  dd.RestoreLayerState(&state);
  EXPECT_EQ(dd.IsVisible(5), 0u);
  EXPECT_EQ(dd.IsSurfaceBlt(7), 0u);
  EXPECT_EQ(dd.IsVisible(10), 0u);  // only the layers are restored
  EXPECT_EQ(dd.GetClearFlag(), 0);
  EXPECT_NE(dd.IsUpdate(SURFACE_ALL_LAYERS), 0u);
}

TEST_P(ComposeTest, AComposedFrameCanBeWrittenForAPersonToLookAt) {
  auto& dd = ddraw();
  for (int band = 0; band < 8; ++band) {
    Paint(4, {band * 80, 0, band * 80 + 80, 480}, Pack(0x00FFFF - 0x002020 * band));
  }
  Paint(5, {100, 100, 540, 380}, Pack(kRed));
  Paint(9, {200, 150, 440, 330}, Pack(kGreen));
  dd.SetXfadeLayer(1);
  dd.SetXfadeAlpha(128);
  dd.SetFadeLevel(64);
  ASSERT_TRUE(Compose());
  // Red and green half and half, then darkened by a quarter.
  EXPECT_EQ(Shown(300, 200), Darken(Blend(Pack(kGreen), Pack(kRed), 128), 64));
  EXPECT_EQ(Shown(150, 120), Darken(Pack(kRed), 64));
  const std::string name =
      std::string("compose_frame_") + (GetParam() == PixelLayout::kRgb565 ? "565" : "555");
  ASSERT_TRUE(display().SaveFramePng(name + ".png"));
  std::ifstream png(name + ".png", std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(png)), {});
  EXPECT_GT(bytes.size(), 640u * 480u * 3u);
  EXPECT_EQ(bytes.substr(1, 3), "PNG");
}

}  // namespace
