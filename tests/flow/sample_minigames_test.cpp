// Each minigame of the sample install as a person meets it from the story: handed over by the
// game-mode manager (mode 21) with the sample's own files, played by the row's player (a few
// inputs) to its result and back to the scene (mode 32), with no traced line of a file missing,
// cut or failing. Frame probes: the game's own background shows, and every frame covers the
// whole screen, so that nothing that moves can leave a trail (the screen is painted a marker
// colour before a frame; none of it may be left in the picture the frame presents).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_surface.h"
#include "minigames/minigame_context.h"
#include "testsupport/minigame_flow.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/sample_data.h"
#include "testsupport/sample_road.h"

namespace {

using testsupport::MinigameRunner;

struct SampleRow {
  const char* name;
  int row;
  int frame_limit;
  int picture_frame;  // when the picture is written (sample_minigame_<name>.png)
};

const SampleRow kRows[] = {
    {"swimming", 1, 800, 200},  {"cleaning", 2, 3000, 600}, {"cooking", 3, 4500, 1200},
    {"cards", 4, 2000, 600},    {"slot", 5, 1200, 300},     {"lost_child", 6, 1200, 300},
    {"shooting", 7, 2000, 300}, {"card_hub", 8, 800, 60},
};

// Magenta (RGB565 0xF81F), which no picture of the sample uses.
constexpr ColorRef kMarker = 0xFF00FF;
constexpr uint16_t kMarkerPixel = 0xF81F;

int MarkerPixels(const platform::headless::HeadlessDisplay& display) {
  int n = 0;
  for (uint16_t p : display.frame) n += p == kMarkerPixel ? 1 : 0;
  return n;
}

// Whether the colour covers at least an eighth of the frame (a background, not a detail).
bool Covers(const platform::headless::HeadlessDisplay& display, uint32_t colour_ref) {
  const int r = static_cast<int>(colour_ref & 0xFF) >> 3;
  const int g = static_cast<int>((colour_ref >> 8) & 0xFF) >> 3;
  const int b = static_cast<int>((colour_ref >> 16) & 0xFF) >> 3;
  const auto want = static_cast<uint16_t>((r << 11) | (g << 6) | b);
  size_t n = 0;
  for (uint16_t p : display.frame) n += (p & 0xFFDF) == want ? 1 : 0;
  return n >= display.frame.size() / 8;
}

class SampleMinigame : public ::testing::TestWithParam<SampleRow> {};

TEST_P(SampleMinigame, IsHandedOverPlayedToItsResultAndCoversTheScreen) {
  const SampleRow& r = GetParam();
  MinigameRunner::Options options;
  options.game_flow = true;
  MinigameRunner runner(options);
  testsupport::CopySample(TAMVIK_SAMPLE_DIR, runner.tree().install());
  // The glyph fonts open by bare name: the program runs in the install directory.
  runner.driver().host().files.SetWorkingDirectory(runner.tree().install());
  const platform::headless::HeadlessDisplay& display = runner.driver().display();
  testsupport::FlowCase c{r.name, r.row, 0, true, r.frame_limit, testsupport::FlowExpect::kVar2};
  int frame = 0;
  int presented = 0;
  int marked = 0;  // frames drawn over the marker
  int uncovered = 0;
  bool background = false;
  const testsupport::FlowPlay play = testsupport::PlayFlowCase(runner, c, [&] {
    ++frame;
    if (display.frames_presented != presented) {
      presented = display.frames_presented;
      if (marked != 0) uncovered = std::max(uncovered, MarkerPixels(display));
      background = background || Covers(display, testsupport::SampleMinigameColour(r.row));
    }
    if (frame == r.picture_frame) {
      display.SaveFramePng(std::string("sample_minigame_") + r.name + ".png");
    }
    // Once the game shows its picture, paint the screen before every fourth frame draws over it.
    marked = 0;
    if (background && frame % 4 == 0 && mg_is_running() != 0 && Minigame().fw.state == 1) {
      mg_fill(1023, 0, 0, 640, 480, kMarker);
      marked = 1;
    }
  });
  EXPECT_TRUE(play.passed_32) << ::testing::PrintToString(play.modes);
  EXPECT_TRUE(background) << "the game's own background never showed";
  EXPECT_EQ(uncovered, 0) << "pixels of a frame left as they were before it";
  for (const std::string& line : testsupport::SampleTraceFaults(runner.driver().trace())) {
    ADD_FAILURE() << "traced: " << line;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, SampleMinigame, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<SampleRow>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
