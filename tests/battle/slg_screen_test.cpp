// The battle's layers and its one fade on the rig.

#include <gtest/gtest.h>

#include "battle/battle_context.h"
#include "battle/slg_screen.h"
#include "engine/anime/anime.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "platform/surface.h"
#include "testsupport/battle_rig.h"

namespace {

using testsupport::BattleRig;

class SlgScreenTest : public ::testing::Test {
 protected:
  CDdrawFunc& ddraw() { return Ctx().ddraw; }
  CDdrawAnime& anime() { return Ctx().anime; }
  LayerState Now() {
    LayerState s;
    ddraw().SaveLayerState(&s);
    return s;
  }
  static bool Same(const LayerState& a, const LayerState& b) {
    for (SurfaceId id = SURFACE_ROOT; id <= SURFACE_TEXT; ++id) {
      if (a.visible[id] != b.visible[id] || a.copy[id] != b.copy[id]) return false;
    }
    return a.clear_flag == b.clear_flag;
  }

  BattleRig rig;
};

TEST_F(SlgScreenTest, SetLayerBits) {
  struct Case {
    SurfaceId layer;
    int mode;
    int visible, copy, clear;  // clear flag 0 before the call
  };
  const Case cases[] = {
      {SURFACE_ROOT, 1, 1, 1, 0}, {SURFACE_ROOT, 2, 1, 0, 1}, {SURFACE_ROOT, 0, 0, 0, 1},
      {SURFACE_ROOT, 3, 1, 1, 0}, {SURFACE_BG, 2, 1, 0, 0},   {SURFACE_TEXT, 3, 1, 1, 0},
      {SURFACE_FG, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "layer " << c.layer << " mode " << c.mode);
    ddraw().SetClearFlag(0);
    ddraw().SetVisible(c.layer, c.visible ? 0 : 1);
    ddraw().SetSurfaceBlt(c.layer, c.copy ? 0 : 1);
    SlgSetLayer(c.layer, c.mode);
    EXPECT_EQ(ddraw().IsVisible(c.layer) != 0, c.visible != 0);
    EXPECT_EQ(ddraw().IsSurfaceBlt(c.layer) != 0, c.copy != 0);
    EXPECT_EQ(ddraw().GetClearFlag(), c.clear);
  }
}

// The battle keeps one layer save block: a second SlgLayerOn overwrites it, so the restore gives
// the state between the two calls.
TEST_F(SlgScreenTest, LayerOnTwiceThenRestoreGivesTheStateBeforeTheSecondCall) {
  ddraw().SetClearFlag(0);
  for (SurfaceId id = SURFACE_ROOT; id <= SURFACE_TEXT; ++id) {
    ddraw().SetVisible(id, 1);
    ddraw().SetSurfaceBlt(id, 0);
  }
  SlgLayerOn(SURFACE_BG, 0);
  const LayerState between = Now();
  SlgLayerOn(SURFACE_ROOT, 2);
  EXPECT_FALSE(Same(Now(), between));
  ddraw().SetUpdate(SURFACE_ALL_LAYERS, 0);
  SlgLayerRestore();
  EXPECT_TRUE(Same(Now(), between));
  EXPECT_EQ(ddraw().IsVisible(SURFACE_BG), 0u);
  EXPECT_EQ(ddraw().GetClearFlag(), 0);
  EXPECT_NE(ddraw().IsUpdate(SURFACE_ALL_LAYERS), 0u);  // a full update

  // A caller's block works the same way without touching the battle's.
  LayerState mine;
  SlgSaveLayers(&mine);
  SlgSetLayer(SURFACE_FC, 0);
  SlgSetClearFlag(1);
  SlgRestoreLayers(&mine);
  EXPECT_TRUE(Same(Now(), between));
  EXPECT_TRUE(Same(Battle().layer_save, between));
}

TEST_F(SlgScreenTest, ClearLayerFillsTheRootBlackAndTheOthersTransparent) {
  ASSERT_EQ(ddraw().ClearSurface(SURFACE_ROOT, 1), 1);
  ASSERT_EQ(ddraw().ClearSurface(SURFACE_BG, 0), 1);
  platform::Surface* root = ddraw().GetSurface(SURFACE_ROOT);
  platform::Surface* bg = ddraw().GetSurface(SURFACE_BG);
  ASSERT_NE(root, nullptr);
  ASSERT_NE(bg, nullptr);
  const uint16_t root_before = root->Row(5)[5];
  const uint16_t bg_before = bg->Row(5)[5];
  EXPECT_EQ(SlgClearLayer(SURFACE_ROOT), 1);
  EXPECT_EQ(SlgClearLayer(SURFACE_BG), 1);
  // Fill 0 and fill 1 swapped places: what the two surfaces were filled with is now reversed.
  EXPECT_EQ(root->Row(5)[5], bg_before);
  EXPECT_EQ(bg->Row(5)[5], root_before);
  EXPECT_NE(root_before, bg_before);
}

TEST_F(SlgScreenTest, FadeTable) {
  struct Case {
    const char* name;
    void (*start)(int);
    int from, to, mode;
  };
  const Case cases[] = {
      {"FadeOut", &SlgFadeOut, 0, 256, 0},          {"FadeOutHalf", &SlgFadeOutHalf, 0, 128, 0},
      {"FadeIn", &SlgFadeIn, 256, 0, 0},            {"FadeInHalf", &SlgFadeInHalf, 128, 0, 0},
      {"WhiteOut", &SlgWhiteOut, 0, 256, 1},        {"WhiteOutHalf", &SlgWhiteOutHalf, 0, 128, 1},
      {"WhiteIn", &SlgWhiteIn, 256, 0, 1},          {"WhiteInHalf", &SlgWhiteInHalf, 128, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.start(12);
    auto* block = anime().BlockOf<AnimeFadeBlock>(Battle().fade_handle);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->start_level, c.from);
    EXPECT_EQ(block->end_level, c.to);
    EXPECT_EQ(block->type, c.mode);
    EXPECT_EQ(block->frames, 12);
    EXPECT_EQ(SlgIsFadeEnd(), 0);
  }
}

// A second fade replaces the first; the end is the end of the last one.
TEST_F(SlgScreenTest, ASecondFadeReplacesTheFirst) {
  SlgFadeOut(4);
  AnimeHandle first = Battle().fade_handle;
  SlgFadeIn(10);
  AnimeHandle second = Battle().fade_handle;
  EXPECT_EQ(anime().IsAnime(first) == 0 || first == second, true);
  EXPECT_EQ(anime().BlockOf<AnimeFadeBlock>(second)->frames, 10);
  ASSERT_TRUE(rig.Run(6));  // the first would have ended by now
  EXPECT_EQ(SlgIsFadeEnd(), 0);
  const int started = rig.frame() - 6;
  ASSERT_TRUE(rig.RunUntil("the fade ended", [] { return SlgIsFadeEnd() == 1; }, 20));
  // It starts at the first animation step, reaches its level 10 frames later and tells its end
  // one frame after that.
  EXPECT_EQ(rig.frame() - started, 12);
  EXPECT_EQ(ddraw().GetFadeLevel(), 0);
  // Zero frames sets the level at once and leaves no fade running.
  SlgFadeOut(0);
  EXPECT_EQ(SlgIsFadeEnd(), 1);
}

// A fade still running when the battle context goes is deleted with it, so its end never clears
// a handle in a context that is gone.
TEST(SlgScreenTeardown, AFadeRunningAtTheEndOfTheBattleGoesWithIt) {
  testsupport::BattleRig rig;
  AnimeHandle fade = nullptr;
  {
    BattleContext inner;
    BattleScope scope(inner);
    SlgFadeOut(30);
    fade = inner.fade_handle;
    ASSERT_NE(fade, nullptr);
  }
  EXPECT_EQ(Ctx().anime.IsAnime(fade), 0);
  ASSERT_TRUE(rig.Run(40));
}

}  // namespace
