// Smoke test of the SDL display under SDL's dummy video driver: set-up through the display
// object in both pixel layouts and frames presented through the window's renderer.

#include "platform/sdl/sdl_display.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "platform/clock.h"
#include "platform/config.h"
#include "platform/platform.h"
#include "platform/sdl/sdl_window.h"
#include "testsupport/temp_tree.h"

namespace {

using platform::PixelLayout;

class SdlDisplaySmoke : public ::testing::TestWithParam<PixelLayout> {
 protected:
  void SetUp() override {
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    lock_ = tree_.Path("lock");
    if (GetParam() == PixelLayout::kRgb555) config_.Set("Pixel Format", "555");
  }
  testsupport::TempTree tree_;  // a fresh private directory for the lock
  std::string lock_;
  platform::MemoryConfig config_;
};

TEST_P(SdlDisplaySmoke, SetsUpThroughTheDisplayObjectAndPresentsFrames) {
  platform::sdl::SdlWindow window(platform::sdl::SdlWindow::Options{true, lock_});
  platform::sdl::SdlDisplay display(window, config_);
  EXPECT_FALSE(display.Open());  // no window, no renderer yet
  ASSERT_TRUE(window.Create("display test", 640, 480));

  platform::Platform seams;
  platform::SystemClock clock;
  seams.clock = &clock;
  seams.config = &config_;
  seams.window = &window;
  seams.display = &display;
  EngineContext context(seams);
  ContextScope scope(context);
  auto& dd = context.ddraw;
  ASSERT_EQ(dd.InitDirectDraw(), 1);
  EXPECT_EQ(display.layout(), GetParam());
  EXPECT_EQ(dd.GetSurface(5)->layout(), GetParam());
  EXPECT_EQ(dd.GetColorKey(), GetParam() == PixelLayout::kRgb565 ? 0x07FFu : 0x03FFu);

  dd.FillSurfaceRect(4, 0, 0, 320, 480, 1);
  dd.SetUpdate(SURFACE_ALL_LAYERS, 1);
  EXPECT_EQ(dd.ShowWindow(), 1);
  EXPECT_EQ(dd.update_word(), 0u);

  // A picture of another size or layout is not shown.
  auto odd = platform::Surface::Create(320, 240, GetParam());
  EXPECT_FALSE(display.Present(*odd));

  dd.ReleaseDirectDraw();
  auto full = platform::Surface::Create(640, 480, GetParam());
  EXPECT_FALSE(display.Present(*full));  // closed
  window.Destroy();
}

INSTANTIATE_TEST_SUITE_P(Layouts, SdlDisplaySmoke,
                         ::testing::Values(PixelLayout::kRgb565, PixelLayout::kRgb555),
                         [](const auto& info) {
                           return info.param == PixelLayout::kRgb565 ? "Rgb565" : "Rgb555";
                         });

}  // namespace
