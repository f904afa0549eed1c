// The window animation (kind 9): start values, linear progress over a duration in milliseconds,
// targets and the end, duration 0, the three modes, and a window deleted under the animation.

#include <gtest/gtest.h>

#include "engine/anime/anime.h"
#include "engine/gfx/window/window.h"
#include "tests/engine/gfx/window_test_support.h"

namespace {

using window_test::kBlue;
using window_test::kGrey;
using window_test::kRed;
using window_test::WindowAnimeTest;

INSTANTIATE_FOR_BOTH_LAYOUTS(WindowAnimeTest);

// Moves, opens and turns: each row gives the values after the first frame (the starts), after
// the given time since then, and whether the animation has reached its end step.
TEST_P(WindowAnimeTest, ValuesMoveLinearlyFromTheStartsToTheTargets) {
  struct Case {
    const char* what;
    int mode;
    int start_a, target_a, amount_a, start_b, target_b, amount_b;
    uint32_t duration;
    struct Point {
      uint32_t after;  // ms since the starts were applied
      int a, b;
    } points[3];
  };
  const Case cases[] = {
      {"move: half time is half way, each value at its own speed", 0, 100, 300, 200, 100, 50, 50,
       1000, {{500, 200, 75}, {999, 299, 51}, {1000, 300, 50}}},
      {"move: an amount larger than the way arrives early and stops", 0, 0, 100, 400, 40, 40, 7,
       1000, {{125, 50, 40}, {200, 80, 40}, {250, 100, 40}}},
      {"open from 0 to 100 %", 1, 0, 100, 100, 0, 100, 100, 200,
       {{50, 25, 25}, {100, 50, 50}, {200, 100, 100}}},
      {"close from 100 to 0 %, the amount's sign does not matter", 1, 100, 0, -100, 100, 0, 100,
       400, {{100, 75, 75}, {300, 25, 25}, {400, 0, 0}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    WindowRec* w = Make(kRed, 0);
    ASSERT_NE(w, nullptr);
    AnimeHandle h = anime().CreateWindowAnime(w, c.start_a, c.target_a, c.amount_a, c.start_b,
                                            c.target_b, c.amount_b, c.mode, c.duration);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(anime().RecordOf(h)->kind, kAnimeWindow);
    ddraw().SetUpdate(SURFACE_ALL_LAYERS, 0);
    Frame(16);
    auto values = [&] {
      return c.mode == 0 ? std::pair{w->frame.left, w->frame.top}
                         : std::pair{w->open_x, w->open_y};
    };
    EXPECT_EQ(values(), (std::pair{c.start_a, c.start_b}));
    EXPECT_NE(ddraw().IsUpdate(SURFACE_ALL_LAYERS), 0u);
    uint32_t elapsed = 0;
    for (const Case::Point& p : c.points) {
      ddraw().SetUpdate(SURFACE_ALL_LAYERS, 0);
      Frame(p.after - elapsed);
      elapsed = p.after;
      EXPECT_EQ(values(), (std::pair{p.a, p.b})) << "after " << p.after << " ms";
      EXPECT_NE(ddraw().IsUpdate(SURFACE_ALL_LAYERS), 0u);
    }
    // At the targets: ends at the next frame and is freed at the one after.
    EXPECT_EQ(anime().RecordOf(h)->step, 2);
    Frame(16);
    Frame(16);
    EXPECT_EQ(anime().IsAnime(h), 0);
    ASSERT_EQ(win().Delete(&w), 1);
  }
}

TEST_P(WindowAnimeTest, DurationZeroJumpsToTheTargetsAtTheFirstPlayStep) {
  WindowRec* w = Make(kBlue, 6);
  ASSERT_NE(w, nullptr);
  AnimeHandle h = anime().CreateWindowAnime(w, 0, 100, 1, 0, 100, 1, 1, 0);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(anime().SetAutoClear(&h), 1);
  Frame(16);
  EXPECT_EQ(w->open_x, 0);
  EXPECT_EQ(w->open_y, 0);
  Frame(1);
  EXPECT_EQ(w->open_x, 100);
  EXPECT_EQ(w->open_y, 100);
  Frame(16);
  Frame(16);
  EXPECT_EQ(h, nullptr);  // ended by itself; the holder's variable was cleared
  ASSERT_TRUE(Compose());
  EXPECT_EQ(Shown(200, 150), Blend(Pack(kGrey), Pack(kBlue), 128));
}

TEST_P(WindowAnimeTest, TurnModeTurnsBothSpritesAndLeavesTheOpenPercentages) {
  WindowRec* w = Make(kRed, 0);
  ASSERT_NE(w, nullptr);
  AnimeHandle h = anime().CreateWindowAnime(w, 0, 60, 60, 0, 0, 0, 2, 100);
  ASSERT_NE(h, nullptr);
  Frame(16);
  Frame(100);
  // cos 60 degrees: half the height about the centre.
  EXPECT_EQ(w->text_sprite->rect.top, 140);
  EXPECT_EQ(w->text_sprite->rect.bottom, 220);
  EXPECT_EQ(w->frame_sprite->rect.top, 140);
  EXPECT_EQ(w->open_y, 100);
}

TEST_P(WindowAnimeTest, AFailedApplyEndsTheAnimation) {
  // An unknown mode fails its first apply.
  WindowRec* w = Make(kRed, 0);
  ASSERT_NE(w, nullptr);
  AnimeHandle bad_mode = anime().CreateWindowAnime(w, 0, 10, 1, 0, 10, 1, 3, 100);
  // A null window likewise.
  AnimeHandle no_window = anime().CreateWindowAnime(nullptr, 0, 10, 1, 0, 10, 1, 0, 100);
  // A window deleted while its animation runs is not written to.
  AnimeHandle orphan = anime().CreateWindowAnime(w, 50, 10, 1, 50, 10, 1, 0, 1000);
  Frame(16);
  EXPECT_EQ(anime().RecordOf(bad_mode)->step, 2);
  EXPECT_EQ(anime().RecordOf(no_window)->step, 2);
  ASSERT_EQ(anime().RecordOf(orphan)->step, 1);
  EXPECT_EQ(w->frame.left, 50);
  ASSERT_EQ(win().Delete(&w), 1);
  Frame(100);
  EXPECT_EQ(anime().RecordOf(orphan)->step, 2);
  Frame(16);
  Frame(16);
  EXPECT_EQ(anime().IsAnime(bad_mode), 0);
  EXPECT_EQ(anime().IsAnime(no_window), 0);
  EXPECT_EQ(anime().IsAnime(orphan), 0);
}

}  // namespace
