// The clock seam under attack: the tick count leaps (the machine slept while the program was
// active, or the count wrapped) while every kind of timed animation runs. The frame after the leap
// must end like any other: each animation catches up in one step, whatever the leap.

#include <gtest/gtest.h>

#include <cstdint>

#include "engine/anime/anime.h"
#include "engine/gfx/display/ddraw_func.h"
#include "engine/gfx/sprite/sprite.h"
#include "tests/engine/faults/fault_rig.h"

namespace {

using faults::BusyProgram;

TEST(ClockFaults, LeapOfTheTickCountIsCaughtUpInOneFrame) {
  for (uint32_t leap : {60u * 60u * 1000u, 0x7FFFFFFFu}) {
    SCOPED_TRACE("leap of " + std::to_string(leap) + " ms");
    BusyProgram p;
    ASSERT_TRUE(p.KeepsShowing(2));
    CDdrawAnime& anime = Ctx().anime;
    SprRec* sprite = p.scene.sprites.at(0);
    // Animations stepping every millisecond or two that never reach their ends by themselves: a
    // sprite move with a step of 0, an endless scroll with a wrap and one without.
    AnimeHandle stuck = anime.CreateSpriteAnime(sprite, 0, 100, 0, 0, 100, 0, 0, 1);
    // (In place of the scene's own scrolls of these two layers.)
    anime.Delete(p.scene.scroll[3]);
    anime.Delete(p.scene.scroll[4]);
    AnimeHandle wrapped = anime.CreateLayerScroll(SURFACE_TEXT, 3, -5, 2, INT32_MAX);
    anime.SetScrollWrap(wrapped, 640, 480);
    AnimeHandle open = anime.CreateLayerScroll(SURFACE_FC, 1, 1, 2, INT32_MAX);
    AnimeHandle timer = anime.CreateTimer();
    // A point move works its motion out frame by frame: a leap of an hour is 216000 frames.
    AnimePoint point{0, 0};
    AnimePoint velocity{1, 1};
    const AnimePoint acceleration{1, 0};
    AnimeHandle move = leap <= 3600000u ? anime.CreatePointMove(&point, &velocity, &acceleration, 0)
                                      : nullptr;
    ASSERT_TRUE(p.KeepsShowing(2));
    int x = 0;
    int y = 0;
    Ctx().ddraw.GetLayerScroll(SURFACE_TEXT, &x, &y);

    p.host().clock.Advance(leap);
    EXPECT_TRUE(p.KeepsShowing(3));
    EXPECT_EQ(anime.IsAnime(stuck), 1);
    EXPECT_EQ(anime.IsAnime(wrapped), 1);
    EXPECT_EQ(anime.IsAnime(open), 1);
    EXPECT_EQ(anime.IsAnime(move), move != nullptr ? 1 : 0);
    EXPECT_GE(static_cast<uint32_t>(anime.GetTimer(timer, 1, 0)), leap);
    // The wrapped scroll stays inside its wrap; the open one has run to the surface's end.
    int wx = -1;
    int wy = -1;
    Ctx().ddraw.GetLayerScroll(SURFACE_TEXT, &wx, &wy);
    EXPECT_TRUE(wx >= 0 && wx < 640 && wy >= 0 && wy < 480) << wx << "," << wy;
    const LayerRec* fc = Ctx().ddraw.GetLayer(SURFACE_FC);
    EXPECT_EQ(fc->scroll_x, fc->surface_width - fc->view_width);
    EXPECT_TRUE(p.host_window().boxes.empty());
  }
}

TEST(ClockFaults, ScrollWithoutIntervalMakesAllItsMovesAtOnce) {
  BusyProgram p;
  ASSERT_TRUE(p.KeepsShowing(1));
  CDdrawAnime& anime = Ctx().anime;
  anime.Delete(p.scene.scroll[3]);
  anime.Delete(p.scene.scroll[4]);
  AnimeHandle all = anime.CreateLayerScroll(SURFACE_TEXT, 1, 0, 0, INT32_MAX);
  anime.SetScrollWrap(all, 640, 480);
  AnimeHandle few = anime.CreateLayerScroll(SURFACE_FC, 2, 1, 0, 100);
  // Started, moved to the end, ended, freed.
  EXPECT_TRUE(p.KeepsShowing(4));
  EXPECT_EQ(anime.IsAnime(all), 0);
  EXPECT_EQ(anime.IsAnime(few), 0);
  int x = -1;
  int y = -1;
  Ctx().ddraw.GetLayerScroll(SURFACE_FC, &x, &y);
  EXPECT_EQ(x, 200);
  EXPECT_EQ(y, 100);
}

// A long catch-up is made in one go; it must land where the moves made one by one land.
TEST(ClockFaults, LongScrollCatchUpLandsWhereMoveByMoveWould) {
  const struct {
    int dx, dy;
  } cases[] = {{3, -5}, {-7, 2}, {1000, 1}, {-1200, -900}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.dx) + "," + std::to_string(c.dy));
    int at[2][2] = {};
    for (int split : {1, 50}) {  // one leap of 5 s, or fifty frames of 100 ms
      BusyProgram p;
      CDdrawAnime& anime = Ctx().anime;
      anime.Delete(p.scene.scroll[3]);
      AnimeHandle scroll = anime.CreateLayerScroll(SURFACE_FC, c.dx, c.dy, 1, INT32_MAX);
      anime.SetScrollWrap(scroll, 640, 480);
      ASSERT_TRUE(p.KeepsShowing(2));
      for (int i = 0; i < split; ++i) {
        p.host().clock.Advance(5000 / split - 17);  // the step adds the frame's 17 ms
        p.Step();
      }
      ASSERT_TRUE(p.KeepsShowing(2));
      int* xy = at[split == 1 ? 0 : 1];
      Ctx().ddraw.GetLayerScroll(SURFACE_FC, &xy[0], &xy[1]);
    }
    EXPECT_EQ(at[0][0], at[1][0]);
    EXPECT_EQ(at[0][1], at[1][1]);
  }
}

}  // namespace
