// Map 22's event script: its table, the trust order, and the scenes and objects in real battles on
// the event harness.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_death.h"
#include "battle/slg_events.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/map22.h"
#include "engine/app/context.h"
#include "engine/gfx/display/ddraw_func.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr int kStage = 21;
constexpr int kPx = 65536;

struct BattleOptions {
  // Heroines on the map from the start (the others come by their placement entries).
  std::vector<int> present{};
  // Heroines without a placement entry.
  std::vector<int> no_entry{};
  // Event-object kinds without a placement entry.
  std::vector<int> missing{};
  // The second boss on the map from the start.
  bool second_boss = false;
  // The unit (group 2, character 7) the merging object flies to.
  bool flight_unit = true;
};

bool Has(const std::vector<int>& v, int x) { return std::find(v.begin(), v.end(), x) != v.end(); }

// Map 22's battle on its small stage: the hero, heroines 1-6 of kinds 1-6 (made by the scenes
// unless present), the first boss (kind 26, group 2), the second (kind 27, group 2, character 27,
// made by 22150), kind 35 numbers 17-24 (group 1, made by 22150), one enemy of group 1, the unit
// (group 2, character 7), and the event objects 80-104 (104 with direction 1); the attacks stubbed.
std::unique_ptr<EventHarness> MakeBattle(const BattleOptions& o = {}) {
  testsupport::MapStage stage = *testsupport::FindMapStage(22);
  std::erase_if(stage.units, [&](const testsupport::MapStageUnit& u) {
    return (u.side == 0 && Has(o.no_entry, u.character)) ||
           (u.side == 2 && u.character == 7 && !o.flight_unit);
  });
  for (testsupport::MapStageUnit& u : stage.units) {
    if (u.side == 0) u.present = Has(o.present, u.character);
    if (u.side == 2 && u.character == 27) u.present = o.second_boss;
  }
  std::erase_if(stage.objects,
                [&](const testsupport::MapStageObject& obj) { return Has(o.missing, obj.kind); });
  return testsupport::MakeMapHarness(kMap22Setup, stage);
}

size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}

int LastFrameOf(const EventHarness& h, const std::string& what) {
  int frame = -1;
  for (const auto& r : h.records()) {
    if (r.what == what) frame = r.frame;
  }
  return frame;
}

// The live unit of a group and character (kind below 80); null when none.
SlgUnit* Live(int group, int character) {
  SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; i < s.unit_count; ++i) {
    SlgUnit& u = s.units[i];
    if (u.step != kSlgDeadStep && u.side == group && u.character == character && u.kind < 80) {
      return &u;
    }
  }
  return nullptr;
}
SlgUnit* Object(int kind) {
  SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; i < s.unit_count; ++i) {
    SlgUnit& u = s.units[i];
    if (u.step != kSlgDeadStep && u.kind == kind && u.deploy_state != 0) return &u;
  }
  return nullptr;
}

constexpr int kParticipation[] = {0, 18, 28, 38, 58, 68, 48};

// ---- The table ----

TEST(Map22Table, ItsRowsAreCleanAndInTheMapsOrder) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap22Setup).empty());
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap22Setup);
  EXPECT_EQ(kMap22Setup.anm_table.size(), 25u);
  EXPECT_EQ(kMap22Setup.bgm, MapBgm::None());
  std::vector<int> ids = {22110, 22120, 22130, 22140, 22150, 22160, 22170,
                          22180, 22190, 22210, 22211, 22212, 22410};
  for (int base : {22500, 22520, 22530}) {
    for (int id = base; id <= base + 5; ++id) ids.push_back(id);
  }
  for (int id = 22600; id <= 22606; ++id) ids.push_back(id);
  std::vector<int> got;
  std::vector<const SlgEventEntry*> rows;
  for (const SlgEventEntry* row = kMap22Setup.table; row->handler != nullptr; ++row) {
    got.push_back(row->id);
    rows.push_back(row);
  }
  ASSERT_EQ(got, ids);
  // The generic rows of a heroine are guarded by her participation flag (slots in the order of
  // characters 1, 2, 3, 4, 6, 5).
  const char* const a[] = {"F(18);", "F(28);", "F(38);", "F(58);", "F(48);", "F(68);"};
  for (size_t s = 0; s < 6; ++s) {
    EXPECT_STREQ(rows[13 + s]->a, a[s]) << s;
    EXPECT_STREQ(rows[13 + s]->c, "HP(IKD,0);");
    EXPECT_STREQ(rows[19 + s]->a, a[s]) << s;
    EXPECT_STREQ(rows[25 + s]->a, a[s]) << s;
  }
  EXPECT_STREQ(rows[31]->b, "PP(IKD)&R(10);");
  EXPECT_STREQ(rows[31]->c, "NP(IMR());");
  EXPECT_STREQ(rows[37]->b, "PP(ITZ)&R(20);");
  EXPECT_STREQ(rows[37]->c, "");
  EXPECT_STREQ(rows[32]->a, "");
  // The talk pairs and the boss at 30 %.
  EXPECT_EQ(rows[10]->guard[1], 130);
  EXPECT_EQ(rows[11]->clear[0], 211);
  EXPECT_EQ(rows[12]->guard[1], 170);
  EXPECT_EQ(rows[5]->clear[0], 198);
}

// ---- The trust order and the speaker ----

TEST(Map22Order, JoinedHeroinesComeFirstAndEachPartIsSortedByTrust) {
  const struct {
    std::vector<int> joined;
    Map22Trusts trust;
    Map22Order order;
  } cases[] = {
      {{2, 5}, {0, 0, 0, 0, 0, 0, 0}, {2, 5, 6, 4, 3, 1}},
      {{2, 5}, {0, 9, 0, 0, 0, 0, 0}, {2, 5, 1, 6, 4, 3}},
      // The later of two equal trusts stays behind; a strictly higher one passes.
      {{1, 2, 3}, {0, 5, 7, 7, 0, 0, 0}, {2, 3, 1, 6, 5, 4}},
      {{}, {0, 1, 2, 3, 4, 5, 6}, {6, 5, 4, 3, 2, 1}},
      {{}, {0, 0, 0, 0, 0, 0, 0}, {6, 5, 4, 3, 2, 1}},
      {{1, 2, 3, 4, 5, 6}, {0, 0, 0, 0, 0, 0, 0}, {1, 2, 3, 4, 5, 6}},
      {{1, 2, 3, 4, 5, 6}, {0, 3, -8, 3, 12, 0, 3}, {4, 1, 3, 6, 5, 2}},
  };
  for (const auto& c : cases) {
    std::array<bool, 7> joined{};
    for (int j : c.joined) joined[static_cast<size_t>(j)] = true;
    EXPECT_EQ(Map22BuildOrder(joined, c.trust), c.order) << ::testing::PrintToString(c.joined);
  }
}

TEST(Map22Order, TheSpeakerIsThePresentHeroineWithTheHighestTrustTheEarlierOnTies) {
  const Map22Order order = {4, 2, 6, 1, 3, 5};
  Map22Trusts trust{};
  trust[4] = 10;
  trust[2] = 40;
  trust[6] = 40;
  std::array<bool, 7> present{};
  EXPECT_EQ(Map22Speaker(order, present, trust), 0);
  present[4] = present[2] = present[6] = true;
  EXPECT_EQ(Map22Speaker(order, present, trust), 2);
  present[2] = false;
  EXPECT_EQ(Map22Speaker(order, present, trust), 6);
  present[6] = false;
  EXPECT_EQ(Map22Speaker(order, present, trust), 4);
}

// ---- The opening ----

// Heroines 2 and 5 have joined: the order is 2, 5, 6, 4, 3, 1; 2, 5 and 6 are made on the
// doubled points with their flags; 4, 3 and 1 stay away, and one of them falling is never seen.
TEST(Map22Opening, TheFirstThreeOfTheOrderTakePartOnTheirDoubledCells) {
  auto hp = MakeBattle();
  EventHarness& h = *hp;
  h.SetP(27, 1);
  h.SetP(67, 1);
  h.Start();
  ASSERT_TRUE(h.RunUntil("22110 ended", [] { return CheckEventFlag(110) != 0; }, 600));
  EXPECT_EQ(Map22State().order, (Map22Order{2, 5, 6, 4, 3, 1}));
  const struct {
    int c, x, y;
  } placed[] = {{2, 432, 268}, {5, 360, 256}, {6, 432, 292}};
  for (const auto& p : placed) {
    const SlgUnit* u = Live(0, p.c);
    ASSERT_NE(u, nullptr) << p.c;
    const SlgPoint cell = SnapPosToCell(2 * p.x, 2 * p.y);
    EXPECT_EQ(u->x >> 16, cell.x) << p.c;
  }
  for (int c = 1; c <= 6; ++c) {
    const bool takes_part = c == 2 || c == 5 || c == 6;
    EXPECT_EQ(CheckEventFlag(kParticipation[c]), takes_part ? 1 : 0) << c;
    EXPECT_EQ(Live(0, c) != nullptr, takes_part) << c;
  }
  // The first boss is hidden; the drifting figure is out.
  const SlgUnit* boss = Live(2, 26);
  ASSERT_NE(boss, nullptr);
  EXPECT_EQ(boss->flags & kShowFlag, 0u);
  EXPECT_NE(Object(80), nullptr);
  // Heroine 1 takes no part: her fall row (22500) never starts.
  ASSERT_TRUE(h.RunUntilIdle(3000));
  EXPECT_EQ(h.FrameOf("start 22500"), -1);
}

// Mode 1 without a placement entry of her kind places nothing and sets no flag; the others of
// the three are placed all the same.
TEST(Map22Opening, AHeroineWithoutAPlacementEntryIsNotPlacedAndTakesNoPart) {
  auto hp = MakeBattle({.no_entry = {1}});
  EventHarness& h = *hp;
  h.SetTrust(1, 90);  // first of the order
  h.Start();
  ASSERT_TRUE(h.RunUntil("22110 ended", [] { return CheckEventFlag(110) != 0; }, 600));
  EXPECT_EQ(Map22State().order[0], 1);
  EXPECT_EQ(CheckEventFlag(18), 0);
  EXPECT_EQ(Live(0, 1), nullptr);
  const int second = Map22State().order[1];
  const int third = Map22State().order[2];
  EXPECT_EQ(CheckEventFlag(kParticipation[second]), 1);
  EXPECT_EQ(CheckEventFlag(kParticipation[third]), 1);
}

// ---- The first scene and the drifting figure ----

// The figure bobs within 2 pixels of its base on a 128-frame period; once the rise byte is set
// its lift grows by 2621 a frame of its clock.
TEST(Map22FirstScene, TheDriftingFigureBobsAndThenRises) {
  auto hp = MakeBattle();
  EventHarness& h = *hp;
  h.Start();
  ASSERT_TRUE(h.RunUntil("figure out", [] { return Object(80) != nullptr && Object(80)->state == 1; }, 200));
  const int32_t base = Map22State().bob_base_y;
  std::vector<int32_t> ys;
  for (int f = 0; f < 257; ++f) {
    h.RunFrames(1);
    const SlgUnit* fig = Object(80);
    ASSERT_NE(fig, nullptr);
    ys.push_back(fig->y);
    if (Map22State().rise == 1) break;
  }
  ASSERT_GT(ys.size(), 140u) << "the rise began too early for the test";
  for (int32_t y : ys) EXPECT_LE(std::abs(y - base), 2 * kPx);
  EXPECT_NE(*std::min_element(ys.begin(), ys.end()), *std::max_element(ys.begin(), ys.end()));
  for (size_t i = 0; i + 128 < ys.size(); ++i) EXPECT_EQ(ys[i], ys[i + 128]) << i;

  ASSERT_TRUE(h.RunUntil("rise", [] { return Map22State().rise == 1; }, 2000));
  h.RunFrames(2);
  SlgUnit* fig = Object(80);
  ASSERT_NE(fig, nullptr);
  const int32_t lift0 = fig->lift;
  const int32_t clock0 = fig->anm->frames;
  h.RunFrames(10);
  EXPECT_EQ(fig->lift - lift0, 2621 * (fig->anm->frames - clock0));
  EXPECT_GT(fig->lift, lift0);
}

// The first scene: the picture, the figure of kind 81 ending with H = 1, the boss shown, BGM 16.
TEST(Map22FirstScene, TheBossShowsOnceKind81HasEnded) {
  for (const bool without : {false, true}) {
    SCOPED_TRACE(without);
    auto hp = MakeBattle({.missing = without ? std::vector<int>{81} : std::vector<int>{}});
    EventHarness& h = *hp;
    h.Start();
    ASSERT_TRUE(h.RunUntil("22120 ended", [] { return CheckEventFlag(120) != 0; }, 3000));
    ASSERT_TRUE(h.RunUntilIdle(2000));
    EXPECT_EQ(Count(h, "bg fade-in 207"), 1u);
    EXPECT_EQ(Map22State().h, without ? 0 : 1);
    EXPECT_EQ(h.Records("bgm"), std::vector<std::string>{"bgm 16"});
    const SlgUnit* boss = Live(2, 26);
    ASSERT_NE(boss, nullptr);
    EXPECT_NE(boss->flags & kShowFlag, 0u);
    EXPECT_EQ(h.Records("message").back(), "message 255:3027");
    EXPECT_EQ(Object(80), nullptr);
  }
}

// ---- The talks ----

constexpr int kMad = 18;

// 22211 / 22212 take turns on M(MAD) before flag 130; 22190 / 22210 from flag 160 on, when the
// first pair never plays again.
TEST(Map22Talks, ThePairsAlternateAndTheFirstStopsForGoodAtFlag130) {
  const struct {
    std::vector<int> flags;
    std::vector<std::string> talks;
  } cases[] = {
      {{110, 120}, {"start 22211", "start 22212", "start 22211"}},
      {{110, 120, 130, 140, 150, 160}, {"start 22190", "start 22210", "start 22190"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags.size());
    auto hp = MakeBattle({.present = {1, 2, 3, 4, 5, 6}});
    EventHarness& h = *hp;
    h.SetRandom({0xFFFF});  // no turn remark
    for (int f : c.flags) h.SetFlagAtInstall(f);
    h.SetFlagAtInstall(170);  // no boss scene in the way
    h.SetFlagAtInstall(180);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(2000));
    for (int n = 0; n < 3; ++n) {
      h.Act(0, 0);
      h.Command(kMad);
      ASSERT_TRUE(h.RunUntilIdle(600));
    }
    std::vector<std::string> talks;
    for (const std::string& r : h.Records("start 22")) {
      if (r == "start 22190" || r == "start 22210" || r == "start 22211" || r == "start 22212") {
        talks.push_back(r);
      }
    }
    EXPECT_EQ(talks, c.talks);
  }
}

// The second boss at 30 %: once between flags 160 and 170, with its values worked out again.
TEST(Map22Talks, TheSecondBossAt30PercentSpeaksOnceBetweenFlags160And170) {
  for (const bool after_170 : {false, true}) {
    SCOPED_TRACE(after_170);
    auto hp = MakeBattle({.present = {1, 2, 3, 4, 5, 6}, .second_boss = true});
    EventHarness& h = *hp;
    h.SetRandom({0xFFFF});  // no turn remark
    for (int f : {110, 120, 130, 140, 150, 160}) h.SetFlagAtInstall(f);
    if (after_170) h.SetFlagAtInstall(170);
    h.SetFlagAtInstall(180);
    h.Start();
    SlgUnit* boss = Live(2, 27);
    ASSERT_NE(boss, nullptr);
    ASSERT_TRUE(h.RunUntilIdle(2000));
    boss->stats.max_life = 100;
    boss->stats.life = 31;
    h.Act(0, 0);
    ASSERT_TRUE(h.RunUntilIdle(600));
    EXPECT_EQ(Count(h, "start 22410"), 0u) << "above 30 %";
    boss->stats.life = 30;
    for (int n = 0; n < 2; ++n) {
      h.Act(0, 0);
      ASSERT_TRUE(h.RunUntilIdle(600));
    }
    EXPECT_EQ(Count(h, "start 22410"), after_170 ? 0u : 1u);
    if (!after_170) {
      EXPECT_EQ(h.Records("message"),
                (std::vector<std::string>{"message 255:3124", "message 255:3125"}));
      EXPECT_EQ(Count(h, "se 30"), 1u);
    }
  }
}

// ---- The whole map ----

// The first boss defeated (state 15) leaves through its exit sequence, whose flag 198 lets 22130
// go on.
void DefeatBoss(EventHarness& h, int character) {
  SlgUnit* boss = Live(2, character);
  ASSERT_NE(boss, nullptr) << character;
  boss->stats.life = 0;
  SetUnitState(*boss, kUnitStateDefeated);
  h.RunFrames(1);
}

// No heroine has joined; trusts 5: 40, 3: 40, 1: 10: the order is 5, 3, 1, 6, 4, 2 and 5, 3 and
// 1 take part. The map from the opening to the movie victory (22170 ends at once here).
TEST(Map22Story, TheMapPlaysFromTheOpeningToTheMovieVictory) {
  auto hp = MakeBattle();
  EventHarness& h = *hp;
  h.SetTrust(5, 40);
  h.SetTrust(3, 40);
  h.SetTrust(1, 10);
  h.SetRandom({0xFFFF});
  h.AddMovie(0, 21, 0.5);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(4000));
  ASSERT_EQ(CheckEventFlag(120), 1);
  EXPECT_EQ(Map22State().order, (Map22Order{5, 3, 1, 6, 4, 2}));

  // 22130 holds until the boss has left (flag 198), then the present heroine with the highest
  // trust, the earlier of the two 40s, speaks.
  DefeatBoss(h, 26);
  ASSERT_TRUE(h.RunUntil("22130", [&] { return h.FrameOf("start 22130") >= 0; }, 60));
  const size_t lines_before = h.Records("message").size();
  ASSERT_TRUE(h.RunUntil("flag 198", [] { return CheckEventFlag(198) != 0; }, 2000));
  EXPECT_EQ(h.Records("message").size(), lines_before) << "nothing before flag 198";
  EXPECT_EQ(Live(2, 26), nullptr);

  // On to the end of the gathering, watching H.
  std::vector<int32_t> hs;
  ASSERT_TRUE(h.RunUntil("22160 ended",
                         [&] {
                           const int32_t v = Map22State().h;
                           if (hs.empty() || hs.back() != v) hs.push_back(v);
                           return CheckEventFlag(160) != 0 && h.FrameOf("end 22160") >= 0;
                         },
                         8000));
  EXPECT_EQ(hs, (std::vector<int32_t>{1, 0, 1, 2, 4, 3}));
  const std::vector<std::string> lines = h.Records("message");
  auto has = [&](const std::string& m) {
    return std::find(lines.begin(), lines.end(), m) != lines.end();
  };
  EXPECT_TRUE(has("message 210:3341"));
  EXPECT_FALSE(has("message 111:3340"));
  // The second wave's lines of characters 1 and 3 (present), not 4's.
  EXPECT_TRUE(has("message 33:3116"));
  EXPECT_TRUE(has("message 114:3120"));
  EXPECT_FALSE(has("message 159:3121"));
  // The second boss and the eight of kind 35, revealed one after another.
  ASSERT_NE(Live(2, 27), nullptr);
  EXPECT_EQ(Count(h, "bgm 27"), 1u);
  for (int n = 17; n <= 24; ++n) {
    const SlgUnit* u = FindUnitByIndex(35, n << 8);
    ASSERT_NE(u, nullptr) << n;
    EXPECT_NE(u->flags & kShowFlag, 0u) << n;
    EXPECT_EQ(u->flags & kUnitHideNext, 0u) << n;
  }
  EXPECT_EQ(Count(h, "se 244"), 8u);
  // The gathering: all six take part, the last three on their points, flag 198 cleared; o[4]
  // (heroine 6) says both her lines.
  for (int c = 1; c <= 6; ++c) {
    EXPECT_EQ(CheckEventFlag(kParticipation[c]), 1) << c;
    EXPECT_NE(Live(0, c), nullptr) << c;
  }
  EXPECT_EQ(CheckEventFlag(198), 0);
  EXPECT_TRUE(has("message 137:3110"));
  EXPECT_TRUE(has("message 137:10012"));
  const SlgPoint cell = SnapPosToCell(2 * 384, 2 * 284);
  EXPECT_EQ(Live(0, 6)->x >> 16, cell.x);
  for (int c : {0, 5, 3, 1}) EXPECT_EQ(Live(0, c)->dir, 0) << c;

  // The second boss at life 0 after flag 150 stays on the map in state 0; 22170 and the victory
  // follow.
  ASSERT_TRUE(h.RunUntilIdle(2000));
  DefeatBoss(h, 27);
  ASSERT_TRUE(h.RunUntil("victory", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 3000));
  SlgUnit* second = Live(2, 27);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->state, 0);
  EXPECT_GE(h.FrameOf("start 22170"), 0);
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
  EXPECT_EQ(second->flags & kShowFlag, 0u);
  EXPECT_EQ(Ctx().ddraw.GetClearFlag(), 1);
  EXPECT_GE(h.FrameOf("movie end"), 0);
  h.RunFrames(5);
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
  // The six flashes from full white after waits of 59, 29, 59, 19, 29 and 59 frames (the waits
  // run on the game clock: a frame or two more), then the white-out after 69 more and the movie.
  std::vector<int> flashes;
  for (const auto& r : h.records()) {
    if (r.what == "fade 0 white" && r.frame > h.FrameOf("start 22180")) flashes.push_back(r.frame);
  }
  ASSERT_EQ(flashes.size(), 7u);  // the six and the white-in after the white-out
  const int waits[] = {29, 59, 19, 29, 59};
  for (size_t i = 0; i < 5; ++i) {
    const int gap = flashes[i + 1] - flashes[i];
    EXPECT_GE(gap, waits[i]) << i;
    EXPECT_LE(gap, waits[i] + 2) << i;
  }
  EXPECT_GT(LastFrameOf(h, "fade 256 white"), flashes[5] + 69);
  EXPECT_LT(LastFrameOf(h, "fade 256 white"), flashes[6]);
  EXPECT_GT(h.FrameOf("movie Movie\\Movie021.mpg"), flashes[6]);
  EXPECT_GE(h.FrameOf("task Slg::GameWin"), h.FrameOf("movie end"));
}

// Without the movie file the victory goes on all the same: one win.
TEST(Map22Story, WithoutTheMovieTheBattleIsStillWon) {
  auto hp = MakeBattle({.present = {1, 2, 3}, .second_boss = true});
  EventHarness& h = *hp;
  for (int f : {110, 120, 130, 140, 150, 160, 170}) h.SetFlagAtInstall(f);
  h.ExpectTrace("Can't Play Movie");
  h.Start();
  ASSERT_TRUE(h.RunUntil("victory", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 3000));
  h.RunFrames(5);
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
  EXPECT_EQ(h.Records("movie Movie"), std::vector<std::string>{});
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 258:3143", "message 258:3144", "message 258:3145",
                                      "message 258:3141"}));
}

// The second wave's waits on H end when kind 82 or 83 is missing; the scene goes on to the
// reveal.
TEST(Map22SecondWave, TheWaitsOnHEndWithoutTheirObjects) {
  for (const int missing : {82, 83}) {
    SCOPED_TRACE(missing);
    auto hp = MakeBattle({.present = {1, 2, 3}, .missing = {missing}});
    EventHarness& h = *hp;
    for (int f : {110, 120, 130, 140}) h.SetFlagAtInstall(f);
    h.SetFlagAtInstall(160);  // the gathering not in the way
    h.Start();
    ASSERT_TRUE(h.RunUntil("22150 ended", [&] { return h.FrameOf("end 22150") >= 0; }, 5000));
    EXPECT_EQ(Count(h, "message 254:3119"), 1u);
    EXPECT_NE(Live(2, 27), nullptr);
    EXPECT_EQ(Count(h, "se 244"), 8u);
  }
}

// ---- Event 22170 ----

TEST(Map22Merge, TheOrderIsSortedAgainByTrustAlone) {
  const struct {
    std::array<int32_t, 6> trust_by_place;
    Map22Order order;
  } cases[] = {
      // The later of the two 30s stays behind the earlier.
      {{10, 30, 20, 30, 5, 40}, {6, 2, 4, 3, 1, 5}},
      {{7, 7, 7, 7, 7, 7}, {1, 2, 3, 4, 5, 6}},
      {{1, 2, 3, 4, 5, 6}, {6, 5, 4, 3, 2, 1}},
  };
  for (const auto& c : cases) {
    const Map22Order order = {1, 2, 3, 4, 5, 6};
    Map22Trusts trust{};
    for (size_t i = 0; i < 6; ++i) trust[i + 1] = c.trust_by_place[i];
    const Map22Order got = Map22Resort(order, trust);
    EXPECT_EQ(got, c.order) << ::testing::PrintToString(c.trust_by_place);
    for (size_t i = 0; i + 1 < 6; ++i) {
      EXPECT_GE(trust[static_cast<size_t>(got[i])], trust[static_cast<size_t>(got[i + 1])]);
    }
  }
}

// The twinkle's factors: (1.0, 0.164) at the start, (0.164, 1.0) after 7 frames, a 13-frame
// cycle, every value between the two.
TEST(Map22Merge, TheTwinkleRunsA13FrameCycleBetweenItsKeys) {
  constexpr int32_t kLow = 21 * 65536 / 128;
  EXPECT_EQ(Map22Twinkle(0).x, 65536);
  EXPECT_EQ(Map22Twinkle(0).y, kLow);
  EXPECT_EQ(Map22Twinkle(7).x, kLow);
  EXPECT_EQ(Map22Twinkle(7).y, 65536);
  std::vector<int32_t> xs;
  for (int32_t f = 0; f < 40; ++f) {
    const SlgPair v = Map22Twinkle(f);
    EXPECT_EQ(v.x, Map22Twinkle(f + 13).x) << f;
    EXPECT_EQ(v.y, Map22Twinkle(f + 13).y) << f;
    EXPECT_GE(v.x, kLow - 8);
    EXPECT_LE(v.x, 65536);
    EXPECT_GE(v.y, kLow - 8);
    EXPECT_LE(v.y, 65536);
    xs.push_back(v.x);
  }
  std::sort(xs.begin(), xs.end());
  EXPECT_GE(std::unique(xs.begin(), xs.end()) - xs.begin(), 6);
}

// One frame of the objects of kinds 90-96 as the test saw it.
struct MergeFrame {
  int frame;
  uint32_t phase;
  int32_t elapsed;
  SlgPair zoom;
  SlgPair at;
  int32_t lift;
  SlgPair twinkle;
};

// The phase changes of the first object of `kind`: (phase from, phase to, elapsed at the change).
struct PhaseWatch {
  int kind;
  std::vector<MergeFrame> frames;
  void See(int frame) {
    const SlgUnit* u = Object(kind);
    if (u == nullptr || u->anm == nullptr) return;
    const Map22Words& w = Map22State();
    frames.push_back({frame, u->step, u->anm->frames, w.zoom, {u->x, u->y}, u->lift,
                      {w.twinkle.x, w.twinkle.y}});
  }
  // The first frame seen in `phase`; null when never.
  const MergeFrame* First(uint32_t phase) const {
    for (const MergeFrame& f : frames) {
      if (f.phase == phase) return &f;
    }
    return nullptr;
  }
  // The last frame seen in `phase`.
  const MergeFrame* Last(uint32_t phase) const {
    const MergeFrame* last = nullptr;
    for (const MergeFrame& f : frames) {
      if (f.phase == phase) last = &f;
    }
    return last;
  }
};

// Runs until 22170 has ended, watching the object every frame.
bool WatchTo22170End(EventHarness& h, PhaseWatch& watch) {
  int frame = 0;
  return h.RunUntil("22170 ended",
                    [&] {
                      watch.See(frame++);
                      return h.FrameOf("end 22170") >= 0;
                    },
                    6000);
}

// 22170 from its start (the second boss never made: HGU on an absent unit holds), with heroines
// 1-6 present and 1, 2, 3 taking part.
std::unique_ptr<EventHarness> MergeBattle(const BattleOptions& o = {.present = {1, 2, 3, 4, 5, 6}}) {
  auto h = MakeBattle(o);
  for (int f : {110, 120, 130, 140, 150, 160}) h->SetFlagAtInstall(f);
  h->SetFlagAtInstall(180);  // no victory after it
  h->SetRandom({0xFFFF});
  return h;
}

// The merging object grows to 0.5 on elapsed frame 61, swells to 5.0 in 61 frames once D = 2,
// sits at its point at 1.0, takes in six arrivals (2.5) and swells away in 34 frames after its
// flight of 60 frames.
TEST(Map22Merge, TheMergingObjectGrowsSwellsTakesInSixAndSwellsAway) {
  auto hp = MergeBattle();
  EventHarness& h = *hp;
  h.Start();
  PhaseWatch watch{90, {}};
  ASSERT_TRUE(WatchTo22170End(h, watch));
  // Growing by 436 a frame from 0.1: still below 0.5 on elapsed frame 60, held at 0.5 from 61.
  for (const MergeFrame& f : watch.frames) {
    if (f.phase == kMap22MergeGrowing) {
      EXPECT_EQ(f.zoom.x, 6553 + 436 * f.elapsed) << f.frame;
    }
    if (f.phase == kMap22MergeSwelling) {
      EXPECT_EQ(f.zoom.x, 0x8000 + 4915 * f.elapsed) << f.frame;
    }
  }
  const MergeFrame* holding = watch.First(kMap22MergeHolding);
  ASSERT_NE(holding, nullptr);
  EXPECT_LE(watch.Last(kMap22MergeGrowing)->elapsed, 60);
  EXPECT_GE(holding->elapsed, 61);
  EXPECT_EQ(holding->zoom.x, 0x8000);
  // Swelling by 4915 a frame: 12 short of 5.0 on frame 60, at its point with 1.0 from 61.
  const MergeFrame* waiting = watch.First(kMap22MergeWaiting);
  ASSERT_NE(waiting, nullptr);
  EXPECT_LE(watch.Last(kMap22MergeSwelling)->elapsed, 60);
  EXPECT_GE(waiting->elapsed, 61);
  EXPECT_EQ(waiting->zoom.x, 0x10000);
  EXPECT_EQ(waiting->lift, 96 * kPx);
  // Six arrivals of 0.25 each; the flight of 60 frames; the swell away from 2.5 in 34 frames.
  const MergeFrame* flying = watch.First(kMap22MergeFlying);
  ASSERT_NE(flying, nullptr);
  EXPECT_EQ(watch.Last(kMap22MergeWaiting)->zoom.x, 0x28000);
  EXPECT_LT(watch.Last(kMap22MergeFlying)->elapsed, 60);
  EXPECT_GE(watch.Last(kMap22MergeFlying)->elapsed, 57);
  for (const MergeFrame& f : watch.frames) {
    if (f.phase == kMap22MergeSwellingAway) {
      EXPECT_EQ(f.zoom.x, 0x28000 + 4915 * f.elapsed) << f.frame;
      EXPECT_LE(f.elapsed, 33) << f.frame;
    }
  }
  EXPECT_GE(watch.First(kMap22MergeDone)->elapsed, 34);
  // The flight went toward the unit (group 2, character 7), about 63 % of the way.
  const SlgUnit* to = Live(2, 7);
  ASSERT_NE(to, nullptr);
  const MergeFrame* last_flight = watch.Last(kMap22MergeFlying);
  EXPECT_LT(std::abs(last_flight->at.x - to->x), std::abs(waiting->at.x - to->x));
  EXPECT_NE(last_flight->at.x, to->x);
  // The twinkle's value is the motion replayed for the elapsed frames, whatever frames the
  // clock skipped.
  int twinkles = 0;
  for (const MergeFrame& f : watch.frames) {
    if (f.phase != kMap22MergeGrowing && f.phase != kMap22MergeHolding) continue;
    ++twinkles;
    EXPECT_EQ(f.twinkle.x, Map22Twinkle(f.elapsed).x) << f.frame;
    EXPECT_EQ(f.twinkle.y, Map22Twinkle(f.elapsed).y) << f.frame;
  }
  EXPECT_GT(twinkles, 60);
}

// A joining object waits in phase 8 until D = 3 names its kind, rises from 96 to 160 pixels in
// 16 frames and joins in 20 more with D = 1 and the arrival byte set.
TEST(Map22Merge, AJoiningObjectWaitsForItsOrderRisesAndJoins) {
  auto hp = MergeBattle();
  EventHarness& h = *hp;
  h.SetTrust(4, 90);  // heroine 4 first of the order: her object is sent first
  h.Start();
  PhaseWatch watch{94, {}};
  int frame = 0;
  int d_one = -1;
  int arrival = -1;
  std::vector<std::string> faults;
  ASSERT_TRUE(h.RunUntil("joined",
                         [&] {
                           watch.See(frame++);
                           const Map22Words& w = Map22State();
                           const SlgUnit* u = Object(94);
                           if (u == nullptr) return false;
                           // Sent first: while it rises the others still wait in phase 8.
                           if (u->step == kMap22JoinRising) {
                             for (int k = 91; k <= 96; ++k) {
                               const SlgUnit* o = Object(k);
                               if (k != 94 && (o == nullptr || o->step != kMap22JoinWaiting)) {
                                 faults.push_back("object " + std::to_string(k) + " not waiting");
                               }
                             }
                           }
                           if (u->step == kMap22MergeDone && d_one < 0) {
                             d_one = w.d;
                             arrival = w.arrival;
                           }
                           return d_one >= 0;
                         },
                         6000));
  EXPECT_TRUE(faults.empty()) << faults.front();
  EXPECT_EQ(Map22State().order[0], 4);
  const MergeFrame* waiting = watch.Last(kMap22JoinWaiting);
  ASSERT_NE(waiting, nullptr);
  EXPECT_EQ(waiting->lift, 96 * kPx);
  // Rising 4 pixels a frame: below 160 pixels until elapsed frame 16; then 20 frames of flight
  // toward the merging object's point and down to 96 pixels.
  for (const MergeFrame& f : watch.frames) {
    if (f.phase == kMap22JoinRising) {
      EXPECT_EQ(f.lift, 96 * kPx + 4 * kPx * f.elapsed) << f.frame;
      EXPECT_LE(f.elapsed, 15) << f.frame;
    }
    if (f.phase == kMap22JoinFlying) {
      EXPECT_LT(f.elapsed, 20) << f.frame;
    }
  }
  const MergeFrame* flying = watch.First(kMap22JoinFlying);
  ASSERT_NE(flying, nullptr);
  const MergeFrame* last = watch.Last(kMap22JoinFlying);
  const SlgPair target = Map22State().target;
  EXPECT_LT(std::abs(last->at.x - target.x), std::abs(waiting->at.x - target.x) + 1);
  EXPECT_LT(last->lift, 160 * kPx);
  EXPECT_EQ(d_one, 1);
  EXPECT_EQ(arrival, 1);
}

// A joining object never sent stays waiting in phase 8 until it is undeployed.
TEST(Map22Merge, AJoiningObjectNeverSentWaitsUntilUndeployed) {
  auto hp = MergeBattle({.present = {1, 2, 3, 4, 5, 6}, .second_boss = true});
  EventHarness& h = *hp;
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  EventDeployKind(92);
  h.RunFrames(300);
  const SlgUnit* u = Object(92);
  ASSERT_NE(u, nullptr);
  EXPECT_EQ(u->step, kMap22JoinWaiting);
  EXPECT_EQ(Map22State().k, 92);
  EventUndeployKind(92);
  h.RunFrames(2);
  EXPECT_EQ(Object(92), nullptr);
}

// Without the unit (group 2, character 7) the merging object keeps its point, sets D = 1 after 60
// frames and swells away there; the scene ends.
TEST(Map22Merge, WithoutTheUnitToFlyToTheObjectStaysAndSwellsAway) {
  auto hp = MergeBattle({.present = {1, 2, 3, 4, 5, 6}, .flight_unit = false});
  EventHarness& h = *hp;
  h.Start();
  PhaseWatch watch{90, {}};
  ASSERT_TRUE(WatchTo22170End(h, watch));
  const MergeFrame* waiting = watch.Last(kMap22MergeWaiting);
  ASSERT_NE(waiting, nullptr);
  for (const MergeFrame& f : watch.frames) {
    if (f.phase >= kMap22MergeFlying && f.phase <= kMap22MergeSwellingAway) {
      EXPECT_EQ(f.at.x, waiting->at.x) << f.frame;
      EXPECT_EQ(f.at.y, waiting->at.y) << f.frame;
    }
  }
  EXPECT_LT(watch.Last(kMap22MergeFlying)->elapsed, 60);
  EXPECT_GE(watch.Last(kMap22MergeFlying)->elapsed, 57);
  EXPECT_NE(watch.First(kMap22MergeDone), nullptr);
}

// The figures: character 0's plays at once; a heroine's is held until her joining object is
// deployed, an absent heroine's drawn under tone control and started all the same.
TEST(Map22Merge, AFigureStartsWhenItsHeroinesJoiningObjectIsDeployed) {
  auto hp = MergeBattle({.present = {1, 2, 3, 4, 6}});
  EventHarness& h = *hp;
  h.Start();
  std::array<uint16_t, 7> shade{};
  std::vector<std::string> faults;
  ASSERT_TRUE(h.RunUntil("figures out", [] { return Object(103) != nullptr; }, 3000));
  // A figure is held while its heroine's joining object is not out, and running from the frame
  // after that object's first frame (which names its kind in K).
  std::array<bool, 7> object_seen{};
  ASSERT_TRUE(h.RunUntil("22170 passes",
                         [&] {
                           for (int c = 1; c <= 6; ++c) {
                             const SlgUnit* u = Object(97 + c);
                             if (u == nullptr || u->anm == nullptr) continue;
                             shade[static_cast<size_t>(c)] = u->anm->shade;
                             const bool seen = object_seen[static_cast<size_t>(c)];
                             if (!seen && u->step != 1) faults.push_back("early " + std::to_string(c));
                             if (seen && u->step != 2) faults.push_back("late " + std::to_string(c));
                             const SlgUnit* o = Object(90 + c);
                             object_seen[static_cast<size_t>(c)] = o != nullptr && o->step >= 7;
                           }
                           const SlgUnit* hero = Object(97);
                           if (hero == nullptr || hero->step != 2) faults.push_back("hero held");
                           return Object(90 + Map22State().order[0]) != nullptr;
                         },
                         3000));
  h.RunFrames(1);
  EXPECT_TRUE(faults.empty()) << faults.front();
  for (int c = 0; c <= 6; ++c) {
    const SlgUnit* u = Object(97 + c);
    ASSERT_NE(u, nullptr) << c;
    EXPECT_EQ(u->step, 2u) << c;
  }
  EXPECT_EQ(shade[5], 24576);
  EXPECT_NE(shade[4], 24576);
}

// 22170 to its end: the enemies gone, the party back on its points facing 0 and shown, objects
// 90-103 undeployed; the same records on two runs; then 22180 wins.
TEST(Map22Merge, TheSceneEndsWithThePartyOnItsPointsAndTheVictoryFollows) {
  auto make = [] {
    auto h = MakeBattle({.present = {1, 2, 3, 4, 5, 6}});
    for (int f : {110, 120, 130, 140, 150, 160}) h->SetFlagAtInstall(f);
    h->SetRandom({0xFFFF});
    h->AddMovie(0, 21, 0.2);
    return h;
  };
  EXPECT_TRUE(testsupport::RunEventsTwice(make, [](EventHarness& h) {
    h.Start();
    ASSERT_TRUE(h.RunUntil("22170 ended", [&] { return h.FrameOf("end 22170") >= 0; }, 6000));
  }));
  auto hp = make();
  EventHarness& h = *hp;
  h.Start();
  ASSERT_TRUE(h.RunUntil("22170 ended", [&] { return h.FrameOf("end 22170") >= 0; }, 6000));
  h.RunFrames(2);
  SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; i < s.unit_count; ++i) {
    const SlgUnit& u = s.units[i];
    if (u.step == kSlgDeadStep) continue;
    EXPECT_NE(u.side, 1) << "slot " << i;
    if (u.kind >= 90 && u.kind <= 103) {
      EXPECT_EQ(u.deploy_state, 0) << int{u.kind};
    }
  }
  const SlgPoint points[] = {{384, 240}, {336, 216}, {456, 228}, {312, 252},
                             {432, 264}, {360, 276}, {408, 204}};
  for (int c = 0; c <= 6; ++c) {
    const SlgUnit* u = Live(0, c);
    ASSERT_NE(u, nullptr) << c;
    const SlgPoint cell = CellToPosHeight(2 * points[c].x, 2 * points[c].y);
    EXPECT_EQ(u->x >> 16, cell.x) << c;
    EXPECT_EQ(u->y >> 16, cell.y) << c;
    EXPECT_EQ(u->dir, 0) << c;
    EXPECT_NE(u->flags & kShowFlag, 0u) << c;
  }
  const SlgUnit* to = Live(2, 7);
  ASSERT_NE(to, nullptr);
  EXPECT_EQ(to->dir, 2);
  EXPECT_EQ(Count(h, "se 262"), 6u);
  EXPECT_EQ(Count(h, "se 401"), 1u);
  EXPECT_EQ(Battle().flags & 0x40, 0);
  ASSERT_TRUE(h.RunUntil("victory", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 3000));
}

}  // namespace
