// Map 18's event script on the event harness: the table, the opening's last face, and the twin
// finales from the last enemy's fall to the switch to stage 22 (placement, walk-in, the reduced
// cells, the strike and push-back with the camera shake, the still picture, the route works).

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_task.h"
#include "battle/slg_start.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/map18.h"
#include "game/system_data.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr int kStage = 17;
constexpr const char* kSwitch = "task Slg::_exchangeStage";

// Map 18's battle on its small stage: the hero, heroines 1-6 as kinds 8-13 (those in `absent`
// not made at the start; -c: no entry at all), one enemy of group 1, the boss (kind 28, group 2,
// character 17) not made at the start, and the event objects 80-91 (88 and 90 with character
// bytes 0-2).
std::unique_ptr<EventHarness> Map18Battle(uint16_t p83, const std::vector<int>& absent = {},
                                          bool boss = true) {
  auto listed = [&](int c) { return std::find(absent.begin(), absent.end(), c) != absent.end(); };
  testsupport::MapStage stage = *testsupport::FindMapStage(18);
  std::erase_if(stage.units, [&](const testsupport::MapStageUnit& u) {
    return (u.side == 0 && listed(-u.character)) || (u.side == 2 && !boss);
  });
  for (testsupport::MapStageUnit& u : stage.units) {
    if (u.side == 0 && listed(u.character)) u.present = false;
  }
  auto h = testsupport::MakeMapHarness(kMap18Setup, stage);
  h->SetP(kMap18PartnerVar, p83);
  return h;
}

std::vector<int> Ids(const SlgEventEntry* table) {
  std::vector<int> ids;
  for (const SlgEventEntry* row = table; row->handler != nullptr; ++row) ids.push_back(row->id);
  return ids;
}

void RemoveEnemies() { testsupport::RemoveLiveUnitsOfSide(1); }

// The party's unit of character c (event objects share side 0 and character bytes).
SlgUnit* Member(int c) {
  for (int i = 0; i < Battle().state.unit_count; ++i) {
    SlgUnit& u = Battle().state.units[static_cast<size_t>(i)];
    if (u.side == 0 && u.character == c && u.kind < 80 && SlgUnitLive(u)) return &u;
  }
  return nullptr;
}

bool SameCell(const SlgUnit* u, int x, int y) {
  if (u == nullptr) return false;
  const SlgCell a = PosToCell(u->x >> 16, u->y >> 16);
  const SlgCell b = PosToCell(x, y);
  return a.column == b.column && a.row == b.row;
}

// ---- The table ----

TEST(Map18Table, TheRowsInTheMapsOrderTheSharedGuardAndTheSetUp) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap18Setup).empty());
  const std::vector<int> ids = {18100, 18105, 18106, 18120, 500, 501, 502, 503, 504, 505,
                                520,   521,   522,   523,   524, 525, 530, 531, 532, 533,
                                534,   535,   610,   611,   612, 613, 614, 615, 616};
  EXPECT_EQ(Ids(kMap18Setup.table), ids);
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap18Setup);
  EXPECT_EQ(kMap18Setup.anm_table.size(), 12u);
  const SlgEventEntry* t = kMap18Setup.table;
  EXPECT_EQ(t[1].guard[0], 105);
  EXPECT_EQ(t[2].guard[0], 105);
  EXPECT_STREQ(t[1].b, "NG(GZA)&(FAD(83)!=4);");
  EXPECT_STREQ(t[2].b, "NG(GZA)&(FAD(83)=4);");
  EXPECT_EQ(t[3].guard[0], 120);
  EXPECT_EQ(t[3].set[0], 0) << "the mark line repeats";
  EXPECT_STREQ(t[22].c, "NP(IMR());");
  EXPECT_STREQ(t[22].b, "PP(IKD)&R(10);");
  EXPECT_STREQ(t[27].b, "PP(ITZ)&R(20);");
  EXPECT_STREQ(t[28].b, "PP(IBS)&R(20);");
}

// ---- The opening ----

TEST(Map18Opening, TheLastFaceFollowsTheFavourite) {
  const std::array<int, 6> faces = {29, 74, 110, 155, 209, 137};
  for (int f = 1; f <= 6; ++f) {
    SCOPED_TRACE(f);
    auto h = Map18Battle(0);
    h->SetTrust(f, 90);
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(3000));
    const auto messages = h->Records("message ");
    ASSERT_EQ(messages.size(), 9u);
    EXPECT_EQ(messages[7], "message 11:10007");
    EXPECT_EQ(messages[8],
              "message " + std::to_string(faces[static_cast<size_t>(f - 1)]) + ":10008");
    EXPECT_EQ(h->Records("start 18100").size(), 1u);
  }
}

// ---- The finales ----

struct FinaleRun {
  // The party's cells and directions when the first talk begins (before W walks).
  std::array<bool, 7> placed{};
  // The frames (counted from the walk-in's first frame) the walkers started on.
  std::vector<int> starts;
  bool grid_reduced = false;
  bool both_on_map_after_step8 = false;
  bool boss_struck = false;
  bool camera_shook = false;
  bool camera_on_actor = false;
  bool walker_pushed = false;
};

FinaleRun PlayFinale(EventHarness& h, int walker) {
  FinaleRun run;
  h.SetFlagAtInstall(100);
  h.Start();
  EXPECT_TRUE(h.RunUntilIdle(600));
  RemoveEnemies();
  bool placed_seen = false;
  int walk_frame = -1;
  int started = 0;
  int prev_phase = 0;
  int32_t last_cam_x = Battle().camera.current_x;
  int64_t live_before = Battle().alloc.live;
  int64_t freed_at_switch = -1;
  bool in_push = false;
  const bool ended = h.RunUntil("the switch", [&] {
    Map18Words& w = Map18State();
    if (!placed_seen && h.FrameOf("message 74:10013") >= 0) {
      placed_seen = true;
      for (int c = 0; c < 7; ++c) {
        const SlgUnit* u = Member(c);
        int at = c;
        if (walker == 1 && (c == 1 || c == 6)) at = 7 - c;
        const auto p = kMap18Cells[static_cast<size_t>(at)];
        run.placed[static_cast<size_t>(c)] = SameCell(u, p.x, p.y) && u->dir == 0;
      }
    }
    if (walk_frame < 0 && h.FrameOf("se 301") >= 0 && h.FrameOf("message 11:10020") < 0 &&
        w.frames > 0) {
      walk_frame = 0;
      run.grid_reduced = true;
      for (size_t i = 0; i < Battle().cell_grid.size(); ++i) {
        if (Battle().cell_grid[i] != (Battle().cell_grid[i] & 0x1F) ||
            Battle().cell_grid2[i] != (Battle().cell_grid2[i] & 0x1F)) {
          run.grid_reduced = false;
        }
      }
    }
    if (walk_frame >= 0 && h.FrameOf("message 11:10020") < 0) {
      while (started < w.started) {
        run.starts.push_back(w.frames - 1);
        ++started;
      }
    }
    if (h.FrameOf("se 299") >= 0 && h.FrameOf("se 290") >= 0 && h.FrameOf("se 297") < 0) {
      // Character 6 and the walker stay; the others are off the map.
      bool ok = Member(walker) != nullptr && Member(6) != nullptr;
      for (int c = 0; c < 6; ++c) {
        if (c != walker) ok = ok && Member(c) == nullptr;
      }
      run.both_on_map_after_step8 = ok;
    }
    if (h.FrameOf("message 295:10170") >= 0 && !in_push && w.phase == 0 && !run.boss_struck) {
      const SlgUnit* boss = LiveUnitOfKind(kMap18BossKind);
      run.boss_struck = boss != nullptr && (boss->flags & 1) == 0 &&
                        Battle().event_words.acting_mode[0] == 0 &&
                        Battle().event_words.acting_mode[1] == 0;
    }
    if (w.phase == 2) {
      in_push = true;
      if (Battle().camera.current_x != last_cam_x) run.camera_shook = true;
    }
    last_cam_x = Battle().camera.current_x;
    if (in_push && prev_phase != 0 && w.phase == 0) {
      in_push = false;
      const SlgUnit* boss = LiveUnitOfKind(kMap18BossKind);
      run.camera_on_actor = boss != nullptr &&
                            Battle().camera.current_x == boss->x - (320 << 16) &&
                            Battle().camera.current_y == boss->y - (240 << 16) &&
                            Battle().state.scroll_x == Battle().camera.current_x >> 16 &&
                            Battle().state.scroll_y == Battle().camera.current_y >> 16;
      run.walker_pushed = SameCell(Member(walker), kMap18PushX, kMap18PushY);
    }
    prev_phase = w.phase;
    // The switch fades out before the battle is torn down: the works are already freed then.
    if (h.FrameOf(kSwitch) >= 0 && freed_at_switch < 0) {
      freed_at_switch = live_before - Battle().alloc.live;
    }
    live_before = Battle().alloc.live;
    return h.FrameOf(kSwitch) >= 0 && GetSystemData()->battleMap() == 22u;
  }, 40000);
  EXPECT_TRUE(ended);
  EXPECT_GE(freed_at_switch, kMap18Routes) << "the route works are freed with the switch's frame";
  return run;
}

// One partner per case (each finale runs long under the sanitizers).
struct PartnerCase {
  uint16_t p83;
  int walker;
  const char* row;
  const char* other;
};
class Map18FinalePartner : public ::testing::TestWithParam<PartnerCase> {};

TEST_P(Map18FinalePartner, ThePartnerChoosesTheFinaleAndItPlaysOnceToStageTwentyTwo) {
  const PartnerCase& c = GetParam();
  auto h = Map18Battle(c.p83);
  const FinaleRun run = PlayFinale(*h, c.walker);
  EXPECT_EQ(h->Records(c.row).size(), 1u);
  EXPECT_TRUE(h->Records(c.other).empty());
  for (int ch = 0; ch < 7; ++ch) EXPECT_TRUE(run.placed[static_cast<size_t>(ch)]) << ch;
  EXPECT_EQ(run.starts, (std::vector<int>{16, 48, 80, 112, 144, 176}));
  EXPECT_TRUE(run.grid_reduced);
  EXPECT_TRUE(run.both_on_map_after_step8);
  EXPECT_TRUE(run.boss_struck);
  EXPECT_TRUE(run.camera_shook);
  EXPECT_TRUE(run.camera_on_actor);
  EXPECT_TRUE(run.walker_pushed);
  EXPECT_EQ(h->Records(kSwitch).size(), 1u);
  EXPECT_EQ(GetSystemData()->battleMap(), 22u);
  EXPECT_EQ(Map18State().routes, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Partners, Map18FinalePartner,
                         ::testing::Values(PartnerCase{4, 1, "start 18106", "start 18105"},
                                           PartnerCase{0, 6, "start 18105", "start 18106"},
                                           PartnerCase{1, 6, "start 18105", "start 18106"},
                                           PartnerCase{6, 6, "start 18105", "start 18106"},
                                           PartnerCase{300, 6, "start 18105", "start 18106"}),
                         [](const ::testing::TestParamInfo<PartnerCase>& info) {
                           return "Partner" + std::to_string(info.param.p83);
                         });

TEST(Map18Finale, AbsentHeroinesComeBackAndMissingUnitsLetTheFinaleEnd) {
  const struct Case {
    std::vector<int> absent;
    bool boss;
  } cases[] = {{{2, 5}, true}, {{}, false}, {{-3}, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.absent.empty() ? 0 : c.absent.front());
    auto h = Map18Battle(0, c.absent, c.boss);
    if (!c.boss) h->ExpectTrace("map 18 finale: no walker or no boss");
    const bool no_three = c.absent == std::vector<int>{-3};
    if (no_three) h->ExpectTrace("map 18 finale: character 3 is not on the map");
    const FinaleRun run = PlayFinale(*h, 6);
    // Without a unit character 3 has no cell; her walk counts as arrived at once.
    for (int ch = 0; ch < 7; ++ch) {
      EXPECT_EQ(run.placed[static_cast<size_t>(ch)], !(no_three && ch == 3)) << ch;
    }
    EXPECT_EQ(run.starts.size(), 6u) << "all walked in";
    EXPECT_EQ(run.boss_struck, c.boss);
    EXPECT_EQ(run.camera_shook, c.boss);
    EXPECT_EQ(h->Records(kSwitch).size(), 1u);
    EXPECT_EQ(GetSystemData()->battleMap(), 22u);
  }
}

// The heroines that come back are their own kinds (character + 7).
TEST(Map18Finale, TheRedeployedHeroinesAreTheirOwnKinds) {
  auto h = Map18Battle(0, {2, 5});
  h->SetFlagAtInstall(100);
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_EQ(Member(2), nullptr);
  EXPECT_EQ(Member(5), nullptr);
  RemoveEnemies();
  ASSERT_TRUE(h->RunUntil("the first talk", [&] { return h->FrameOf("message 74:10013") >= 0; },
                          3000));
  ASSERT_NE(Member(2), nullptr);
  ASSERT_NE(Member(5), nullptr);
  EXPECT_EQ(Member(2)->kind, 9);
  EXPECT_EQ(Member(5)->kind, 12);
}

// A battle torn down in the middle of the finale gives the route works back with the battle's
// tasks: the teardown frees the works, their holder and its name beyond what it frees at the
// same frame of a battle without the finale.
int64_t TeardownFrees(bool finale) {
  auto h = Map18Battle(0);
  h->ExpectTrace("not built");
  h->SetFlagAtInstall(100);
  if (!finale) h->SetFlagAtInstall(105);  // the finale does not start
  h->Start();
  EXPECT_TRUE(h->RunUntilIdle(600));
  RemoveEnemies();
  if (finale) {
    EXPECT_TRUE(h->RunUntil("the walk-in", [&] { return Map18State().started > 0; }, 5000));
  } else {
    h->RunFrames(2);
  }
  EXPECT_EQ(Map18State().routes != nullptr, finale);
  const int64_t live = Battle().alloc.live;
  SlgTeardown();
  return live - Battle().alloc.live;
}

TEST(Map18Finale, ATeardownMidFinaleFreesTheRouteWorks) {
  const int64_t idle = TeardownFrees(false);
  const int64_t mid_finale = TeardownFrees(true);
  EXPECT_GE(mid_finale - idle, kMap18Routes);
}

}  // namespace
