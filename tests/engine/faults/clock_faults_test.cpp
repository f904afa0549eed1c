// The clock seam under attack: the tick count leaps (the machine slept while the program was
// active, or the count wrapped) while every kind of timed animation runs. The frame after the leap
// must end like any other: each animation catches up in one step, whatever the leap.

#include <gtest/gtest.h>

#include <cstdint>

#include "engine/gfx/anime.h"
#include "engine/gfx/sprite.h"
#include "tests/engine/faults/fault_rig.h"

namespace {

using faults::BusyProgram;

TEST(ClockFaults, LeapOfTheTickCountIsCaughtUpInOneFrame) {
  for (uint32_t leap : {60u * 60u * 1000u, 0x7FFFFFFFu, 0xFFFFFFF0u}) {
    SCOPED_TRACE("leap of " + std::to_string(leap) + " ms");
    BusyProgram p;
    ASSERT_TRUE(p.KeepsShowing(2));
    CDdrawAnime& anime = Ctx().anime;
    SprRec* sprite = p.scene.sprites.at(0);
    // Animations stepping every millisecond that never reach their ends by themselves: a sprite
    // move with a step of 0, an endless scroll and an endless point move with acceleration.
    AnimeRec* stuck = anime.CreateSpriteAnime(sprite, 0, 100, 0, 0, 100, 0, 0, 1);
    AnimeRec* scroll = anime.CreateLayerScroll(SURFACE_TEXT, 1, 1, 1, INT32_MAX);
    AnimePoint point{0, 0};
    AnimePoint velocity{1, 1};
    const AnimePoint acceleration{1, 0};
    AnimeRec* move = anime.CreatePointMove(&point, &velocity, &acceleration, 0);
    AnimeRec* timer = anime.CreateTimer();
    ASSERT_TRUE(p.KeepsShowing(2));

    p.engine.host.clock.Advance(leap);
    EXPECT_TRUE(p.KeepsShowing(3));
    EXPECT_EQ(anime.IsAnime(stuck), 1);
    EXPECT_EQ(anime.IsAnime(scroll), 1);
    EXPECT_EQ(anime.IsAnime(move), 1);
    EXPECT_GE(static_cast<uint32_t>(anime.GetTimer(timer, 1, 0)), leap);
    EXPECT_TRUE(p.host_window().boxes.empty());
  }
}

}  // namespace
