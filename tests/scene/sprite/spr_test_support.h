#pragma once
// Fixture of the sprite-file tests: a fresh scene (engine, game and scene contexts) with the
// display set up in the test's pixel layout and a temporary working directory for the files.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/gfx/display/ddraw_func.h"
#include "platform/surface.h"
#include "scene/sprite/spr_file.h"
#include "testsupport/spr_writer.h"
#include "testsupport/temp_tree.h"
#include "testsupport/test_scene.h"
#include "testsupport/trace_capture.h"

namespace spr_test {

using platform::PixelLayout;

inline std::string LayoutName(const ::testing::TestParamInfo<PixelLayout>& info) {
  return info.param == PixelLayout::kRgb565 ? "Rgb565" : "Rgb555";
}

// A part's bytes as the loaders see them.
inline SprPart PartOf(const std::vector<uint8_t>& bytes) {
  return {bytes.data(), static_cast<uint32_t>(bytes.size())};
}

class SprFixture {
 public:
  explicit SprFixture(PixelLayout layout = PixelLayout::kRgb565) {
    if (layout == PixelLayout::kRgb555) scene.engine().host.config.Set("Pixel Format", "555");
    scene.engine().host.files.SetWorkingDirectory(tree.root());
  }
  bool OpenDisplay() { return ddraw().InitDirectDraw() == 1; }

  CDdrawFunc& ddraw() { return scene.engine().ctx().ddraw; }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    tree.Write(name, bytes);
    return name;
  }
  int LiveUserSurfaces() {
    int n = 0;
    for (int i = 0; i < kUserSurfaceCount; ++i) n += ddraw().GetUserSurface(i) != nullptr ? 1 : 0;
    return n;
  }

  testsupport::TempTree tree;
  testsupport::TestScene scene;
};

}  // namespace spr_test

#define INSTANTIATE_SPR_LAYOUTS(Suite)                                                   \
  INSTANTIATE_TEST_SUITE_P(Layouts, Suite,                                               \
                           ::testing::Values(platform::PixelLayout::kRgb565,             \
                                             platform::PixelLayout::kRgb555),            \
                           spr_test::LayoutName)
