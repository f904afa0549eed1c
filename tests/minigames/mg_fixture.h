#pragma once
// Fixture of the minigame framework's unit tests: fresh engine, game and minigame contexts over a
// game tree (install directory with save\), the display open in the test's pixel layout.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/files/file_io.h"
#include "engine/gfx/display/ddraw_func.h"
#include "minigames/minigame_context.h"
#include "platform/surface.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_game.h"
#include "testsupport/trace_capture.h"

namespace mg_test {

using platform::PixelLayout;

inline std::string LayoutName(const ::testing::TestParamInfo<PixelLayout>& info) {
  return info.param == PixelLayout::kRgb565 ? "Rgb565" : "Rgb555";
}

// "a\b.od" -> "a/b.od".
inline std::string HostName(std::string path) {
  for (char& c : path) c = c == '\\' ? '/' : c;
  return path;
}

class MgFixture {
 public:
  explicit MgFixture(PixelLayout layout = PixelLayout::kRgb565) {
    if (layout == PixelLayout::kRgb555) game.engine.host.config.Set("Pixel Format", "555");
    game.engine.host.files.SetWorkingDirectory(tree.cwd());
    Ctx().file_io.SetInstallDir(tree.install().c_str());
    tree.MakeDir("install/save");
    opened = Ctx().ddraw.InitDirectDraw() == 1;
  }
  // A game file (backslash path) in the install directory.
  void Write(const std::string& game_path, const std::vector<uint8_t>& bytes) {
    tree.Write("install/" + HostName(game_path), bytes);
  }
  CDdrawFunc& ddraw() { return Ctx().ddraw; }

  testsupport::GameTree tree;
  testsupport::TestGame game;
  MinigameContext minigame;
  MinigameScope scope{minigame};
  testsupport::TraceCapture trace;
  bool opened = false;
};

}  // namespace mg_test

#define INSTANTIATE_MG_LAYOUTS(Suite)                                                \
  INSTANTIATE_TEST_SUITE_P(Layouts, Suite,                                           \
                           ::testing::Values(platform::PixelLayout::kRgb565,         \
                                             platform::PixelLayout::kRgb555),        \
                           mg_test::LayoutName)
