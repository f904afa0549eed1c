// The scene's character and face pictures in minigames: shown at their objects on the captured
// frame, the talking animation, and their release by the screen's close.

#include <gtest/gtest.h>

#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "mg_fixture.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_picture.h"
#include "minigames/framework/minigame_surface.h"
#include "scene/scene_context.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"
#include "testsupport/portrait_writer.h"

namespace {

using platform::PixelLayout;
using testsupport::FaceValue;
using testsupport::NcValue;

constexpr const char* kNcFile = "tamvik1\\chara\\mgnc.spr";

// Image 0 the body (40 x 60) at offset 10, 20; eyes 1-2 and lips 3-4 (8 x 4) on it.
testsupport::NcFileContents Character() {
  testsupport::NcFileContents c;
  c.image_sizes = {{40, 60}, {8, 4}, {8, 4}, {8, 4}, {8, 4}};
  c.pictures = {{0, 11, 2, 4, 2, 0, 2, 0}};
  c.bodies = {{0, 10, 20}};
  c.eyes = {{1, 12, 14, 2000}, {2, 12, 14, 150}};
  c.lips = {{3, 16, 30}, {4, 16, 30}};
  return c;
}

class MinigamePictures : public ::testing::TestWithParam<PixelLayout> {
 protected:
  MinigamePictures() : runner(Options()) {}
  static testsupport::MinigameRunner::Options Options() {
    testsupport::MinigameRunner::Options o;
    o.layout = GetParam();
    return o;
  }
  uint16_t Portrait(uint8_t value) const {
    return platform::PackColorRef(testsupport::SprColourRef(testsupport::PortraitColour(value)),
                                  GetParam());
  }
  static uint16_t Screen(int x, int y) {
    return static_cast<uint16_t>(mg_pixel_get(mg::kSlotScreen, x, y));
  }
  PortraitState& portraits() { return runner.driver().scene.portraits; }

  testsupport::MinigameRunner runner;
};

TEST_P(MinigamePictures, CharacterAndFaceShowAtTheirObjectsAndTheCloseReleasesThem) {
  runner.WriteFile(runner.minigame().games[0].path, testsupport::OdWriter().Build());
  runner.WriteFile("tamvik1\\system\\kao.spr", testsupport::FaceFile({{{0, 7, 32}}, 1, {}}));
  runner.WriteFile(kNcFile, testsupport::NcFile(Character()));
  int loaded = -1;
  runner.SetProc(0, [&](int state) {
    if (state == mg::kStateLoadPending) {
      mg_obj_put(1, 300, 100, 50, 0, 0);
      mg_obj_put(2, 400, 300, 40, 0, 0);
      loaded = mg_obj_nc(1, kNcFile, 0) + 2 * mg_obj_face(2, 1);
    }
    return 1;
  });
  ASSERT_TRUE(runner.Start(0, mg::kModeFreePlay));
  ASSERT_TRUE(runner.Run(3));
  ASSERT_EQ(loaded, 3);
  // The body at the object + its offset; the screen around it stays black.
  EXPECT_EQ(Screen(300 + 10 + 30, 100 + 20 + 50), Portrait(NcValue(0)));
  EXPECT_EQ(Screen(300 + 10 + 39, 100 + 20 + 59), Portrait(NcValue(0)));
  EXPECT_EQ(Screen(300 + 10 + 40, 100 + 20 + 50), 0);
  EXPECT_EQ(Screen(300 + 9, 100 + 20 + 50), 0);
  // The face box at the object: face rows 0-95, nothing past the box.
  EXPECT_EQ(Screen(400, 300), Portrait(FaceValue(0, 0)));
  EXPECT_EQ(Screen(400 + 79, 300 + 95), Portrait(FaceValue(0, 95)));
  EXPECT_EQ(Screen(400 + 80, 300 + 10), 0);
  EXPECT_EQ(Screen(400 + 10, 300 + 96), 0);

  // The talking animation starts and stops.
  auto lips = [&] { return Ctx().anime.BlockOf<AnimeTalkBlock>(portraits().nc_lip_anime); };
  ASSERT_NE(lips(), nullptr);
  EXPECT_EQ(mg_nc_talk("aiueo"), 1);
  EXPECT_EQ(lips()->mode, kTalkText);
  EXPECT_EQ(mg_nc_talk_stop(), 1);
  EXPECT_EQ(lips()->mode, kTalkIdle);

  // The end of the game closes the screen, which releases both (LeakSanitizer sees the rest).
  mg_end();
  EXPECT_EQ(portraits().nc_body, nullptr);
  EXPECT_EQ(portraits().nc_lip_anime, nullptr);
  EXPECT_EQ(portraits().blink_anime, nullptr);
  for (const SprRec* s : portraits().blink) EXPECT_EQ(s, nullptr);
  EXPECT_EQ(runner.minigame().pictures.nc, 0);
  EXPECT_EQ(runner.minigame().pictures.face, 0);
}

TEST_P(MinigamePictures, PicturesThatDoNotLoadLeaveTheObjectsAlone) {
  runner.WriteFile(runner.minigame().games[0].path, testsupport::OdWriter().Build());
  int results = -1;
  runner.SetProc(0, [&](int state) {
    if (state == mg::kStateLoadPending) {
      mg_obj_put(1, 300, 100, 50, 0, 0);
      results = mg_obj_nc(1, "tamvik1\\chara\\none.spr", 0) + mg_obj_face(2, 1) +
                mg_obj_nc(256, kNcFile, 0);
    }
    return 1;
  });
  ASSERT_TRUE(runner.Start(0, mg::kModeFreePlay));
  ASSERT_TRUE(runner.Run(2));
  EXPECT_EQ(results, 0);
  EXPECT_EQ(mg_obj_test(1, mg::kObjScenePicture), 0);
  EXPECT_EQ(runner.minigame().pictures.nc, 0);
}

INSTANTIATE_MG_LAYOUTS(MinigamePictures);

}  // namespace
