// The title's arithmetic and menu rules: the turn-in's angle, the fly-in's path and ripple, the
// menu's rows, moves and mouse bands, and the results of the menu indexes.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "flow/title_model.h"
#include "game/sine_table.h"

namespace {

using namespace title;

TEST(TitleTurnTest, CountAndValueByFrames) {
  struct Case {
    int32_t previous_frames;
    int32_t c;
    int32_t value;
  };
  for (const Case& k : std::vector<Case>{{0, 0, 402},
                                         {1, 4, 389},  // 124 x 804 / 256 = 389.4
                                         {16, 64, 201},
                                         {31, 124, 12},  // 4 x 804 / 256 = 12.56
                                         {32, 128, 0},
                                         {33, 132, -12}}) {
    SCOPED_TRACE(k.previous_frames);
    EXPECT_EQ(TurnCount(k.previous_frames), k.c);
    EXPECT_EQ(TurnValue(k.c), k.value);
  }
  // The turn ends when c reaches 129: the first frame whose previous timer read 33.
  EXPECT_LT(TurnCount(32), kTurnDoneCount);
  EXPECT_GE(TurnCount(33), kTurnDoneCount);
}

TEST(TitleFlyInTest, PathInClosedFormMatchesTheStepwiseSum) {
  // f = 0 starts at (-370.875, 322.5); f = 128 rests at (0, 0).
  const FlyState start = FlyAt(0);
  EXPECT_EQ(start.x, static_cast<int32_t>(-370.875 * 65536));
  EXPECT_EQ(start.y, static_cast<int32_t>(322.5 * 65536));
  EXPECT_EQ(start.vx, static_cast<int32_t>(5.75 * 65536));
  EXPECT_EQ(start.vy, -5 * 65536);
  const FlyState rest = FlyAt(128);
  EXPECT_EQ(rest.x, 0);
  EXPECT_EQ(rest.y, 0);
  EXPECT_EQ(rest.vx, 0);
  EXPECT_EQ(rest.vy, 0);
  // Every frame between equals adding up the steps; later frames stay at rest.
  FlyState s = start;
  for (int f = 1; f <= 128; ++f) {
    s.x += s.vx;
    s.y += s.vy;
    s.vx += kFlyAccelX;
    s.vy += kFlyAccelY;
    const FlyState closed = FlyAt(f);
    ASSERT_EQ(closed.x, s.x) << f;
    ASSERT_EQ(closed.y, s.y) << f;
  }
  EXPECT_EQ(FlyAt(500).x, 0);
  EXPECT_EQ(FlyAt(500).y, 0);
}

TEST(TitleFlyInTest, RowPlacesWithTheRippleRowsBelowYIncluded) {
  struct Case {
    int32_t f;
    int r;
  };
  for (const Case& k : std::vector<Case>{{0, 0}, {0, 100}, {0, 322}, {0, 400}, {10, 7},
                                         {64, 200}, {127, 5}, {128, 0}, {128, 300}, {200, 50}}) {
    SCOPED_TRACE(testing::Message() << "f " << k.f << " r " << k.r);
    const int32_t f = k.f > 128 ? 128 : k.f;
    const FlyState s = FlyAt(f);
    const int32_t x = s.x >> 16;
    const int32_t y = s.y >> 16;
    int32_t a = (4 * y - 4 * k.r) % 512;
    if (a < 0) a += 512;  // the angle taken modulo 512, never a negative index
    const double sine = std::trunc(16384.0 * std::sin(2.0 * 3.14159265358979323846 * a / 512.0));
    const int32_t w = (static_cast<int32_t>(sine) * 6 * ((128 - f) / 2)) >> 16;
    const RowPlace place = FlyRowAt(k.f, k.r);
    EXPECT_EQ(place.x, 284 - x - w);
    EXPECT_EQ(place.y, k.r + 14 - y);
  }
  // At rest every row stands at (284, r + 14).
  EXPECT_EQ(FlyRowAt(128, 0).x, 284);
  EXPECT_EQ(FlyRowAt(128, 0).y, 14);
  // f = 0: X = -371 (the shift floors), Y = 322; row 322 has angle 0: no ripple.
  EXPECT_EQ(FlyRowAt(0, 322).x, 284 + 371);
  // The ripple reaches at most 96 pixels.
  for (int r = 0; r < 480; ++r) {
    const int w = 284 - (FlyAt(0).x >> 16) - FlyRowAt(0, r).x;
    ASSERT_LE(std::abs(w), 96) << r;
  }
}

TEST(TitleMenuTest, VisibleRowsByFlags) {
  struct Case {
    uint32_t save_flags;
    uint32_t endings;
    bool cesa;
    std::vector<int> indexes;  // the visible rows' indexes, top to bottom
    std::vector<int> rows;
  };
  for (const Case& k : std::vector<Case>{
           {0, 0, false, {0, 2, 1}, {0, 1, 3}},
           {1, 0, false, {0, 1}, {0, 3}},
           {0, 0x80, false, {0, 2, 4, 1}, {0, 1, 2, 3}},
           {1, 0x80, false, {0, 4, 1}, {0, 2, 3}},
           {0xFFFE, 0x7F, false, {0, 2, 1}, {0, 1, 3}},
           {0, 0x80, true, {7, 8}, {0, 1}},
           {1, 0, true, {7, 8}, {0, 1}},
       }) {
    SCOPED_TRACE(testing::Message() << k.save_flags << " " << k.endings << " " << k.cesa);
    const MenuRows rows = BuildMenuRows(k.save_flags, k.endings, k.cesa);
    std::vector<int> indexes, visible;
    for (int i = 0; i < kMenuRows; ++i) {
      if (!rows[static_cast<size_t>(i)].visible) continue;
      visible.push_back(i);
      indexes.push_back(rows[static_cast<size_t>(i)].index);
    }
    EXPECT_EQ(indexes, k.indexes);
    EXPECT_EQ(visible, k.rows);
    // Down walks the visible rows in order and wraps; up walks them back.
    int row = FirstRow(rows);
    EXPECT_EQ(row, k.rows.front());
    for (size_t n = 1; n <= k.rows.size(); ++n) {
      row = StepRow(rows, row, 1);
      EXPECT_EQ(row, k.rows[n % k.rows.size()]);
    }
    for (size_t n = k.rows.size(); n > 0; --n) {
      row = StepRow(rows, row, -1);
      EXPECT_EQ(row, k.rows[(n - 1) % k.rows.size()]);
    }
  }
}

TEST(TitleMenuTest, MousePicksTheVisibleRowByItsBand) {
  const MenuRows rows = BuildMenuRows(1, 0x80, false);  // rows 0, 2, 3
  struct Case {
    int x, y, row;
  };
  for (const Case& k : std::vector<Case>{{200, 156, 0},
                                         {200, 195, 0},
                                         {200, 196, kNoRow},  // row 1 is hidden
                                         {200, 236, 2},
                                         {471, 275, 2},
                                         {300, 276, 3},
                                         {300, 315, 3},
                                         {300, 316, kNoRow},
                                         {300, 155, kNoRow},
                                         {183, 170, kNoRow},
                                         {472, 170, kNoRow}}) {
    EXPECT_EQ(RowAtPoint(rows, k.x, k.y), k.row) << k.x << "," << k.y;
  }
}

TEST(TitleResultTest, IndexToResult) {
  const int expected[] = {1, 4, 4, 2, 6, 2, 4, 5, 7, 4, 4};
  for (int index = 0; index <= 10; ++index) {
    if (index == 1 || index == 2) continue;  // actions, not results
    EXPECT_EQ(ResultOfIndex(index), expected[index]) << index;
  }
  EXPECT_EQ(ResultOfIndex(255), 4);
  EXPECT_EQ(ResultOfIndex(-1), 4);
  EXPECT_EQ(ResultOfIndex(kIdleIndex), 4);
}

}  // namespace
