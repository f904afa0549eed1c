// Every row of the minigame table played inside the game flow: the real mode manager (every
// sequence entry as the composition root fills it, only the scene controller faked to name the
// row) goes 21 -> 22 -> 23 -> 32 through StartMiniGame and the minigame entries while the row's
// bot plays, and the result reaches the script's A[0]. One test case per row.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "flow/tamvik_general.h"
#include "game/game_state.h"
#include "game/macro_vars.h"
#include "game/system_data.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_rank.h"
#include "minigames/minigame_context.h"
#include "testsupport/minigame_bots.h"
#include "testsupport/minigame_flow.h"
#include "testsupport/minigame_install.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"

namespace {

using testsupport::MinigameRunner;

// A path lower-cased with forward slashes (the log holds the paths the program opened).
std::string Plain(std::string path) {
  for (char& c : path) {
    c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return path;
}

bool IsOdFile(const std::string& path) { return Plain(path).find("/od/") != std::string::npos; }

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

MinigameRunner::Options FlowOptions(platform::PixelLayout layout = platform::PixelLayout::kRgb565,
                                    bool hash = false) {
  MinigameRunner::Options options;
  options.game_flow = true;
  options.layout = layout;
  options.hash_frames = hash;
  return options;
}

using testsupport::FlowCase;
using testsupport::FlowExpect;

}  // namespace

namespace testsupport {
// How a case shows in test output: its name.
void PrintTo(const FlowCase& c, std::ostream* os) { *os << c.name; }
}  // namespace testsupport

namespace {

// One run of a row from the hand-over to mode 32, with what the determinism check compares.
struct FlowRun {
  explicit FlowRun(platform::PixelLayout layout, bool hash = false)
      : runner(FlowOptions(layout, hash)), layout_(layout) {
    testsupport::WriteMinigameInstall(runner);
  }

  // The case's run (testsupport::PlayFlowCase) with the checkpoints of each presented frame.
  bool Play(const FlowCase& c) {
    int presented = runner.driver().presented();
    const testsupport::FlowPlay play = testsupport::PlayFlowCase(runner, c, [&] {
      if (runner.driver().presented() != presented && mg_is_running()) {
        presented = runner.driver().presented();
        Checkpoints(c);
      }
    });
    modes = play.modes;
    passed_32 = play.passed_32;
    if (!passed_32) ADD_FAILURE() << "mode 32 not reached in " << c.frame_limit << " frames";
    if (passed_32) a0 = GetMacroA(0);
    // The variables stay after the end (the fresh start cleared 2 and 9).
    var2 = mg_var_get(2);
    var9 = mg_var_get(9);
    if (runner.tree().Exists("install/save/minigame.dat")) {
      dat = runner.tree().Read("install/save/minigame.dat");
    }
    return passed_32;
  }

  // The checkpoints of a presented frame: the first one at full brightness (the fade-in done),
  // the one with the most objects on the layer lists (the busiest), the last one (the result).
  void Checkpoints(const FlowCase& c) {
    const uint64_t hash = runner.driver().presented_frames().back().hash;
    int shown = 0;
    for (int layer = 0; layer < mg::kLayerCount; ++layer) {
      for (int o = Minigame().layer_heads[static_cast<size_t>(layer)]; o != 0 && shown < 4096;
           o = mg_obj(o)->link) {
        ++shown;
      }
    }
    if (faded_in == 0 && Minigame().fw.brightness == 256) {
      faded_in = hash;
      Png(c, "fade_in");
    }
    if (shown > busiest_count) {
      busiest_count = shown;
      busiest = hash;
      Png(c, "busiest");
    }
    result = hash;
    Png(c, "result");
  }
  // With TAMVIK_MINIGAME_PNG naming a folder: the checkpoint's picture as <case>_<layout>_<name>.
  void Png(const FlowCase& c, const char* name) {
    const char* folder = std::getenv("TAMVIK_MINIGAME_PNG");
    if (folder == nullptr || *folder == 0) return;
    const char* layout = layout_ == platform::PixelLayout::kRgb555 ? "555" : "565";
    runner.driver().display().SaveFramePng(std::string(folder) + "/" + c.name + "_" + layout +
                                           "_" + name + ".png");
  }
  // The modes seen from 21 up to 32.
  std::vector<int> FlowModes() const {
    std::vector<int> out = {21};
    for (int m : modes) {
      if (m != 21) out.push_back(m);
      if (m == 32) break;
    }
    return out;
  }

  MinigameRunner runner;
  platform::PixelLayout layout_;
  std::vector<int> modes;
  bool passed_32 = false;
  int32_t var2 = -1;
  int32_t var9 = -1;
  int32_t a0 = -1;
  std::string dat;
  uint64_t faded_in = 0;
  uint64_t busiest = 0;
  int busiest_count = -1;
  uint64_t result = 0;
};

class EndToEnd : public ::testing::TestWithParam<FlowCase> {};

TEST_P(EndToEnd, PlaysFromTheHandOverToA0) {
  const FlowCase& c = GetParam();
  FlowRun run(platform::PixelLayout::kRgb565);
  ASSERT_TRUE(run.Play(c));
  EXPECT_EQ(run.FlowModes(), (std::vector<int>{21, 22, 23, 32}));
  EXPECT_EQ(Ctx().game_task.FindTask("mg_task"), nullptr);
  EXPECT_EQ(mg_is_running(), 0);
  EXPECT_EQ(mg_var_get(0), c.row);
  switch (c.expect) {
    case FlowExpect::kZero: EXPECT_EQ(run.a0, 0); break;
    case FlowExpect::kVar2: EXPECT_EQ(run.a0, run.var2); break;
    case FlowExpect::kVar9: EXPECT_EQ(run.a0, run.var9); break;
  }
  if (c.var2 >= 0) {
    EXPECT_EQ(run.var2, c.var2);
  }
  EXPECT_NE(std::string(mg_end_reason()), "mg_obj_create") << "the row's od file loaded";
  // Each row reads its own od file and no other row's.
  const std::string own = Plain(run.runner.minigame().games[static_cast<size_t>(c.row)].path);
  int od_reads = 0;
  for (const std::string& path : run.runner.files_opened()) {
    if (!IsOdFile(path)) continue;
    EXPECT_TRUE(EndsWith(Plain(path), own)) << path;
    ++od_reads;
  }
  EXPECT_GE(od_reads, 1);
  if (c.byte40 == 1) {
    // The ranking the free play left is the one in save\minigame.dat.
    ASSERT_FALSE(run.dat.empty());
    const int first = mg::kRankFirstVar + 3 * mg_rank_row(c.row);
    for (int v = first; v < first + 3; ++v) {
      EXPECT_EQ(testsupport::MinigameDatValue(run.dat, v), mg_var_get(v)) << v;
    }
  }
}

// Each row twice in each pixel layout with every frame hashed: the same A[0], the same
// save\minigame.dat and the same pictures at the three checkpoints.
TEST_P(EndToEnd, RunsTheSameTwiceInBothLayouts) {
  const FlowCase& c = GetParam();
  struct Outcome {
    int32_t a0;
    std::string dat;
    uint64_t faded_in, busiest, result;
    int busiest_count;
  };
  for (platform::PixelLayout layout :
       {platform::PixelLayout::kRgb565, platform::PixelLayout::kRgb555}) {
    SCOPED_TRACE(layout == platform::PixelLayout::kRgb565 ? "RGB565" : "RGB555");
    std::vector<Outcome> outcomes;
    for (int i = 0; i < 2; ++i) {
      FlowRun run(layout, true);
      ASSERT_TRUE(run.Play(c)) << "run " << i;
      outcomes.push_back(
          {run.a0, run.dat, run.faded_in, run.busiest, run.result, run.busiest_count});
    }
    const Outcome& a = outcomes[0];
    const Outcome& b = outcomes[1];
    EXPECT_EQ(a.a0, b.a0);
    EXPECT_EQ(a.dat, b.dat);
    EXPECT_NE(a.result, 0u) << "a frame was presented";
    EXPECT_EQ(a.faded_in, b.faded_in) << "after the fade-in";
    EXPECT_EQ(a.busiest_count, b.busiest_count);
    EXPECT_EQ(a.busiest, b.busiest) << "the busiest moment";
    EXPECT_EQ(a.result, b.result) << "the result";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, EndToEnd, ::testing::ValuesIn(testsupport::MinigameFlowCases()),
                         [](const ::testing::TestParamInfo<FlowCase>& info) {
                           return std::string(info.param.name);
                         });

// The rows that never start a game.
class EndToEndRefused : public ::testing::Test {
 protected:
  MinigameRunner runner{FlowOptions()};
  std::vector<int> Modes(int limit) {
    std::vector<int> modes = {21};
    for (int i = 0; i < limit && modes.back() != 32; ++i) {
      if (!runner.Step()) break;
      const int mode = CTamvikGeneral::GetMode();
      if (modes.back() != mode) modes.push_back(mode);
    }
    runner.Step();  // mode 32 runs: A[0] is written
    return modes;
  }
};

TEST_F(EndToEndRefused, TheCookingGameWithoutItsOdFileGivesA0Zero) {
  SetMacroA(0, 77);
  ASSERT_TRUE(runner.EnterMinigameMode(3, 0));
  EXPECT_EQ(Modes(60), (std::vector<int>{21, 22, 23, 32}));
  EXPECT_EQ(std::string(mg_end_reason()), "mg_obj_create");
  EXPECT_EQ(GetMacroA(0), 0);
}

TEST_F(EndToEndRefused, ARowOutsideTheTableIsRefusedAndSkipped) {
  SetMacroA(0, 77);
  ASSERT_TRUE(runner.EnterMinigameMode(16, 0));
  EXPECT_EQ(Modes(60), (std::vector<int>{21, 23, 32}));
  EXPECT_TRUE(runner.driver().trace().Contains("MiniGame is not Installed and Skip"));
  EXPECT_EQ(Ctx().game_task.FindTask("mg_task"), nullptr);
  EXPECT_EQ(GetMacroA(0), 0);
}

TEST_F(EndToEndRefused, TheSkipSwitchPassesOverTheMinigame) {
  testsupport::WriteMinigameInstall(runner);
  ASSERT_TRUE(runner.EnterMinigameMode(4, 0));
  GetSystemData()->setSkipMiniGame(1);
  EXPECT_EQ(Modes(60), (std::vector<int>{21, 23, 32}));
  EXPECT_FALSE(runner.driver().trace().Contains("MiniGame No:"));
  EXPECT_EQ(runner.minigame().fw.state, 0);
  for (const std::string& path : runner.files_opened()) EXPECT_FALSE(IsOdFile(path)) << path;
}

}  // namespace
