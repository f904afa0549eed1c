// The best-three rankings on the persistent variables 18-41.

#include <gtest/gtest.h>

#include <array>
#include <climits>

#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_rank.h"
#include "mg_fixture.h"

namespace {

using mg_test::MgFixture;

using List = std::array<int32_t, 3>;

void SetList(int row, const List& list) {
  for (int i = 0; i < 3; ++i) mg_var_set(18 + 3 * row + i, list[static_cast<size_t>(i)]);
}

List GetList(int row) {
  List out{};
  for (int i = 0; i < 3; ++i) out[static_cast<size_t>(i)] = mg_var_get(18 + 3 * row + i);
  return out;
}

TEST(MinigameRank, InsertKeepsTheBestThreeInOrder) {
  struct Case {
    const char* name;
    int game;      // variable 0
    int row;       // the variables the list lives in
    List before;
    int32_t score;
    List after;
  };
  const Case cases[] = {
      {"swimming: a lower time moves in", 1, 1, {1200, 1500, 1800}, 1300, {1200, 1300, 1500}},
      {"swimming: a worse time changes nothing", 1, 1, {1200, 1500, 1800}, 1900, {1200, 1500, 1800}},
      {"swimming: an equal time ranks below", 1, 1, {1200, 1500, 1800}, 1500, {1200, 1500, 1500}},
      {"cleaning: an equal score ranks below", 2, 2, {3000, 2000, 1000}, 2000, {3000, 2000, 2000}},
      {"cleaning: a new best", 2, 2, {3000, 2000, 1000}, 3500, {3500, 3000, 2000}},
      {"cleaning: a worse score changes nothing", 2, 2, {3000, 2000, 1000}, 999, {3000, 2000, 1000}},
      {"lost child: lower is better", 6, 6, {3600, 5400, 7200}, 4000, {3600, 4000, 5400}},
      {"lost child: a slower time drops out", 6, 6, {3600, 5400, 7200}, 7201, {3600, 5400, 7200}},
      {"row 10 ranks into the flower-card list", 10, 4, {20, 15, 10}, 17, {20, 17, 15}},
      {"row 15 ranks into the flower-card list", 15, 4, {20, 15, 10}, 30, {30, 20, 15}},
      {"garbage values are compared as they are", 2, 2, {INT32_MAX, -5, INT32_MIN}, 0,
       {INT32_MAX, 0, -5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MgFixture f;
    mg_var_set(0, c.game);
    SetList(c.row, c.before);
    EXPECT_EQ(mg_rank_insert(c.score), 1);
    EXPECT_EQ(GetList(c.row), c.after);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(mg_rank_get(i), c.after[static_cast<size_t>(i)]);
  }
}

TEST(MinigameRank, TheHubAndRowsOutsideHaveNoRanking) {
  for (int game : {8, 16, -1}) {
    SCOPED_TRACE(game);
    MgFixture f;
    mg_var_set(0, game);
    for (int v = 18; v <= 41; ++v) mg_var_set(v, 7);
    EXPECT_EQ(mg_rank_insert(100), 0);
    EXPECT_EQ(mg_rank_reset(), 0);
    EXPECT_EQ(mg_rank_show(), 0);
    EXPECT_EQ(mg_rank_get(0), 0);
    for (int v = 18; v <= 41; ++v) EXPECT_EQ(mg_var_get(v), 7) << v;
    for (int o = 211; o <= 213; ++o) EXPECT_EQ(mg_obj_get_anim(o), 0);
  }
}

TEST(MinigameRank, ResetGivesTheDefaultsOfEachRow) {
  const List defaults[] = {{0, 0, 0},     {1200, 1500, 1800}, {3000, 2000, 1000}, {80, 70, 60},
                           {20, 15, 10},  {300, 200, 100},    {3600, 5400, 7200}, {80, 70, 60}};
  MgFixture f;
  for (int v = 18; v <= 41; ++v) mg_var_set(v, -1);
  for (int row = 0; row < 8; ++row) {
    mg_var_set(0, row);
    EXPECT_EQ(mg_rank_reset(), 1);
  }
  for (int row = 0; row < 8; ++row) EXPECT_EQ(GetList(row), defaults[row]) << row;
  EXPECT_EQ(mg_var_get(17), 0);
  EXPECT_EQ(mg_var_get(42), 0);
}

TEST(MinigameRank, ShowPlacesTimeOrNumberDisplaysAndResetRedraws) {
  struct Case {
    int game;
    int32_t x;
    uint32_t flag;
  };
  for (const Case& c : {Case{1, 160, mg::kObjTime}, Case{2, 256, mg::kObjNumber},
                        Case{6, 160, mg::kObjTime}, Case{12, 256, mg::kObjNumber}}) {
    SCOPED_TRACE(c.game);
    MgFixture f;
    mg_var_set(0, c.game);
    const int row = mg_rank_row(c.game);
    SetList(row, {-40, 5, 999999});
    ASSERT_EQ(mg_rank_show(), 1);
    for (int i = 0; i < 3; ++i) {
      const MgObject* o = mg_obj(211 + i);
      EXPECT_EQ(o->x, c.x);
      EXPECT_EQ(o->y, 80 + 32 * i);
      EXPECT_EQ(o->layer, 8);
      EXPECT_EQ(o->anim, 400);
      EXPECT_EQ(o->parent, 240);
      EXPECT_EQ(o->flags & (mg::kObjTime | mg::kObjNumber), c.flag);
      if (c.flag == mg::kObjNumber) {
        EXPECT_EQ(o->digits, 5);
      }
    }
    EXPECT_EQ(mg_obj(211)->value, -40);
    EXPECT_EQ(mg_obj(213)->value, 999999);
    mg_rank_reset();
    EXPECT_EQ(mg_obj(211)->value, mg_rank_default(row, 0));
    EXPECT_EQ(mg_obj(213)->value, mg_rank_default(row, 2));
  }
}

TEST(MinigameRank, ResetDoesNotShowAHiddenList) {
  MgFixture f;
  mg_var_set(0, 2);
  mg_rank_reset();
  for (int o = 211; o <= 213; ++o) EXPECT_EQ(mg_obj_get_anim(o), 0);
}

}  // namespace
