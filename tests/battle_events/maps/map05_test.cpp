// Map 5's event script in real battles on the event harness: the table, the opening's memory of
// heroine 3's trust in the taunts, heroine 3's chain of talks, the boss's power-up and its defeat
// through its real exit sequence, and the generic rows silenced by flag 198.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_boss_exit.h"
#include "battle/slg_events.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/maps/map05.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr int kMad = 18;
constexpr int kBossGroup = 2;
constexpr int kBossCharacter = 10;
constexpr int kBossKind = 23;
// Silences the turn remarks' and the favourite's chances (R(n) fails).
constexpr int32_t kNoChance = 0xFFFF;

// Map 5's battle (stage 4) on its small stage: the hero and heroines 1, 2, 3, 5, 6, the opponent
// (group 2, character 9), the boss (kind 23, group 2), two soldiers and the event objects 80-96;
// the attacks stubbed.
std::unique_ptr<EventHarness> MakeBattle() {
  return testsupport::MakeMapHarness(kMap05Setup, *testsupport::FindMapStage(5));
}

std::vector<std::string> Starts(const EventHarness& h) { return h.Records("start"); }
size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}

// ---- The table ----

TEST(Map05Table, ItsRowsAreCleanInTheMapsOrderAndTheGenericRowsWaitOnFlag198) {
  EXPECT_TRUE(testsupport::LintMapSetup(4, kMap05Setup).empty());
  EXPECT_EQ(kMapEventSetupTable[4], &kMap05Setup);
  const std::vector<int> ids = {5100, 5101, 5110, 5111, 5112, 5113, 5114, 5410, 5102, 5103, 5104,
                                500,  501,  502,  504,  505,  520,  521,  522,  524,  525,  530,
                                531,  532,  534,  535,  600,  601,  602,  603,  605,  606};
  std::vector<int> got;
  for (const SlgEventEntry* row = kMap05Setup.table; row->handler != nullptr; ++row) {
    got.push_back(row->id);
  }
  ASSERT_EQ(got, ids);
  EXPECT_EQ(kMap05Setup.anm_table.size(), 17u);
  for (int i = 11; i < 32; ++i) {
    const SlgEventEntry& row = kMap05Setup.table[i];
    SCOPED_TRACE(row.id);
    EXPECT_TRUE(row.guard[0] == 198 || row.guard[1] == 198);
    if (row.id >= 520 && row.id <= 525) {
      EXPECT_STREQ(row.c, "HGU(GBO,USK,0);");
    } else if (row.id >= 530 && row.id <= 535) {
      EXPECT_STREQ(row.c, "");
    } else if (row.id >= 601) {
      EXPECT_STREQ(row.c, "HP(IKD,0)|HGU(GBO,USK,0);");
    }
  }
  EXPECT_STREQ(kMap05Setup.table[26].c, "HP(IKD,0)|HGU(GBO,USK,0)|NP(IMR());");
  EXPECT_STREQ(kMap05Setup.table[26].b, "PP(IKD)&R(10);");
}

// ---- The opening and the taunts ----

TEST(Map05Taunts, HeroineThreesTrustAtTheOpeningDecidesTheFirstTaunt) {
  struct Case {
    int32_t trust;
    std::vector<std::string> taunts;
  } cases[] = {
      {25,
       {"message 239:35000", "message 105:35001", "message 239:35002", "message 239:50002",
        "message 239:50002"}},
      {24, {"message 239:50002", "message 239:50002", "message 239:50002"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trust);
    auto hp = MakeBattle();
    EventHarness& h = *hp;
    h.SetTrust(3, c.trust);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(3000));
    EXPECT_EQ(Starts(h), std::vector<std::string>{"start 5100"});
    EXPECT_EQ(h.Records("message"), std::vector<std::string>{"message 239:50000"});
    EXPECT_FALSE(h.Records("fade").empty());
    for (int i = 0; i < 3; ++i) {
      h.Command(kMad);
      ASSERT_TRUE(h.RunUntilIdle(600));
      h.Command(2);  // another command: no taunt
      ASSERT_TRUE(h.RunUntilIdle(600));
    }
    auto messages = h.Records("message");
    messages.erase(messages.begin());
    EXPECT_EQ(messages, c.taunts);
    EXPECT_EQ(Count(h, "start 5102"), 3u);
  }
}

// ---- Heroine 3's talks ----

TEST(Map05Talks, HeroineThreesTalksAdvanceOneAActionAndStopAfterTheFifth) {
  auto hp = MakeBattle();
  EventHarness& h = *hp;
  h.SetFlagAtInstall(100);
  h.SetTrust(3, 30);
  h.SetRandom({kNoChance});
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  const int32_t var2 = GetHeroineVar2(3);
  for (int i = 0; i < 7; ++i) {
    h.Act(0, 3);
    ASSERT_TRUE(h.RunUntilIdle(1200));
    h.Act(0, 1);  // another heroine's action moves nothing on
    ASSERT_TRUE(h.RunUntilIdle(1200));
  }
  EXPECT_EQ(Starts(h), (std::vector<std::string>{"start 5101", "start 5110", "start 5111",
                                                 "start 5112", "start 5113", "start 5114"}));
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 103:50001", "message 101:50010",
                                      "message 15:50011", "message 101:50012",
                                      "message 101:50013", "message 101:50014",
                                      "message 101:50015"}));
  EXPECT_EQ(GetTrustVar(3), 35);
  EXPECT_EQ(GetHeroineVar2(3), var2 + 5);
  EXPECT_EQ(Count(h, "se 20"), 5u);
}

// ---- The boss ----

SlgUnit* Boss(EventHarness& h) { return h.Unit(kBossGroup, kBossCharacter); }

TEST(Map05Boss, ItPowersUpOnceAtThirtyPercent) {
  auto hp = MakeBattle();
  EventHarness& h = *hp;
  h.SetFlagAtInstall(100);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  SlgUnit* boss = Boss(h);
  ASSERT_NE(boss, nullptr);
  const int max = boss->stats.max_life;
  ASSERT_GE(max, 100);
  const int at31 = (max * 31 + 99) / 100;
  const int at30 = max * 30 / 100;
  h.SetLife(kBossGroup, kBossCharacter, at31);
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_TRUE(Starts(h).empty()) << "above 30 percent";
  h.SetLife(kBossGroup, kBossCharacter, at30);
  ASSERT_TRUE(h.RunUntilIdle(1200));
  EXPECT_EQ(Starts(h), std::vector<std::string>{"start 5410"});
  EXPECT_EQ(h.Records("message"), std::vector<std::string>{"message 277:60020"});
  EXPECT_EQ(boss->stats.attack, 5);
  EXPECT_EQ(boss->stats.defence, 4);
  EXPECT_EQ(boss->stats.move, 5);
  EXPECT_EQ(Count(h, "se 30"), 1u);
  EXPECT_GT(h.FrameOf("end 5410") - h.FrameOf("se 30"), 119) << "the 120-frame wait";
  h.SetLife(kBossGroup, kBossCharacter, at30 / 2);
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_EQ(Count(h, "start 5410"), 1u);
}

TEST(Map05Boss, APowerUpWithoutItsUnitCompletes) {
  auto hp = MakeBattle();
  EventHarness& h = *hp;
  h.SetFlagAtInstall(100);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  SlgUnit* boss = Boss(h);
  ASSERT_NE(boss, nullptr);
  h.SetLife(kBossGroup, kBossCharacter, boss->stats.max_life / 5);
  // The boss leaves the map on the frame its power-up starts.
  ASSERT_TRUE(h.RunUntil("5410", [&] { return h.FrameOf("start 5410") >= 0; }, 60));
  EventRemoveUnit(boss);
  ASSERT_TRUE(h.RunUntil("5410's end", [&] { return h.FrameOf("end 5410") >= 0; }, 600));
  EXPECT_EQ(Count(h, "se 30"), 1u);
}

// The boss defeated from full life by (0, by); its exit sequence starts on the next frame (the
// battle puts a defeated boss in state 15). Runs until the victory; `dead_frame` is the frame its
// slot was found dead, `locked` whether the camera was held on the way.
void DefeatBoss(EventHarness& h, int by, int& dead_frame, bool& locked) {
  // Past the opening and heroine 3's talks (her turns come while the boss leaves).
  for (int f : {100, 101, 110, 111, 112, 113, 114}) h.SetFlagAtInstall(f);
  h.SetTrust(3, 30);
  h.SetRandom({kNoChance});
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.Defeat(kBossGroup, kBossCharacter, 0, by);
  h.RunFrames(1);
  SlgUnit* boss = Boss(h);
  ASSERT_NE(boss, nullptr);
  SetUnitState(*boss, 15);
  dead_frame = -1;
  locked = false;
  ASSERT_TRUE(h.RunUntil("the victory", [&] {
    locked = locked || Battle().camera.lock == 1;
    if (dead_frame < 0 && CondNU(kBossKind) != 0) {
      dead_frame = h.rig().driver().frame();
      EXPECT_EQ(CheckEventFlag(kSlgFlagBossGone), 1) << "flag 198 with the slot dead";
    }
    return h.FrameOf("task Slg::GameWin") >= 0;
  }, 6000));
  h.RunFrames(5);
}

TEST(Map05Boss, ItsDefeatByHeroineThreeRewardsHerAndHoldsTheCameraUntilTheVictory) {
  struct Case {
    int by;
    std::vector<std::string> starts;
    int32_t trust;
  } cases[] = {
      {3, {"start 5103", "start 5104"}, 35},
      {1, {"start 5104"}, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.by);
    auto hp = MakeBattle();
    EventHarness& h = *hp;
    int dead = -1;
    bool locked = false;
    DefeatBoss(h, c.by, dead, locked);
    EXPECT_EQ(Starts(h), c.starts) << "no power-up from full life";
    ASSERT_GE(dead, 0);
    EXPECT_GT(h.FrameOf(c.by == 3 ? "message 103:50003" : "bgm 18"), dead);
    EXPECT_GT(h.FrameOf("bgm 18"), dead);
    EXPECT_EQ(locked, c.by == 3) << "the camera held from heroine 3's word to the victory";
    EXPECT_EQ(GetTrustVar(3), c.trust);
    const auto messages = h.Records("message");
    std::vector<std::string> expect;
    if (c.by == 3) expect.push_back("message 103:50003");
    expect.push_back("message 102:439");
    expect.push_back("message 102:440");
    EXPECT_EQ(messages, expect);
    EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
    EXPECT_GE(h.FrameOf("bg slide 103"), 0);
    EXPECT_GE(h.FrameOf("bgm 18"), 0);
    EXPECT_EQ(Battle().camera.lock, 0u);
  }
}

// ---- Flag 198 ----

TEST(Map05Generic, FlagOneNineEightSilencesEveryGenericRow) {
  struct Case {
    const char* name;
    std::function<void(EventHarness&)> moment;
    const char* row;
    const char* message;  // its first line
  } cases[] = {
      {"a fall", [](EventHarness& h) { h.Defeat(0, 1, kBossGroup, 9, true); }, "start 500",
       "message 36:2029"},
      {"heroine 3's remark on a defeat",
       [](EventHarness& h) {
         h.Defeat(1, 11, 0, 3, true);
         h.Act(0, 3);
       },
       "start 522", "message 102:3340"},
      {"heroine 3's remark on a joint action", [](EventHarness& h) { h.Partner(0, 3); },
       "start 532", "message 102:2068"},
      {"the favourite", [](EventHarness& h) { h.Act(0, 0); }, "start 600", "message 30:2025"},
      {"a turn remark", [](EventHarness& h) { h.Act(0, 2); }, "start 602", "message 75:2042"},
  };
  for (const Case& c : cases) {
    for (bool flag : {false, true}) {
      SCOPED_TRACE(testing::Message() << c.name << (flag ? " with" : " without") << " flag 198");
      auto hp = MakeBattle();
      EventHarness& h = *hp;
      for (int f : {100, 101, 110, 111, 112, 113, 114}) h.SetFlagAtInstall(f);
      if (flag) h.SetFlagAtInstall(198);
      for (int hero = 1; hero <= 6; ++hero) h.SetTrust(hero, hero == 1 ? 30 : 10);
      h.SetRandom({0});
      h.Start();
      ASSERT_TRUE(h.RunUntilIdle(600));
      c.moment(h);
      ASSERT_TRUE(h.RunUntilIdle(1200));
      EXPECT_EQ(Count(h, c.row), flag ? 0u : 1u);
      if (flag) {
        EXPECT_TRUE(Starts(h).empty());
      } else {
        EXPECT_GE(h.FrameOf(c.message), 0);
      }
    }
  }
}

}  // namespace
