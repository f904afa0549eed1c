// Map 2's event script in real battles on the event harness: the first events and heroine 5's
// trust, the three openings with the props answering their signal words, the talks at the
// MAD command, the boss's arrival and remarks, victory and defeat, the choice talks, heroine 5's
// remark on a defeat and the townspeople.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_start.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/map02.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"
#include "testsupport/stage_writer.h"

namespace {

using testsupport::EventHarness;

constexpr int kMad = 18;
constexpr int kBossGroup = 2;
constexpr int kBossCharacter = 24;
constexpr int kCompanionCharacter = 21;

// The openings' flags: set at the install, the openings do not run.
constexpr int kOpeningFlags[] = {100, 101, 102};

struct Map02Battle {
  std::unique_ptr<EventHarness> h;
  int guide1 = -1;
  int guide3 = -1;
  int heroine3 = -1;
  int heroine5 = -1;
  int companion = -1;
};

// Map 2's battle on its small stage: the hero and heroines 1, 2, 3 and 5, the guides (kind 14
// numbers 1 and 3), the companion (kind 21), the boss (kind 22, group 2) and a kind-38 unit, the
// fixed sprite's animation (kind 105) and the event objects `objects` (kinds 80-105), the
// attacks stubbed. The boss stands on the map from the start unless
// it is to arrive.
// `others` is the group of the guides, the companion and the kind-38 unit (group 1 holds back the
// point scene, which waits until none of group 1 remains).
Map02Battle MakeBattle(const std::vector<int>& objects = {}, bool boss_arrives = false,
                       int others = 1) {
  testsupport::MapStage stage = *testsupport::FindMapStage(2);
  for (testsupport::MapStageUnit& u : stage.units) {
    if (u.side == 1) u.side = others;
    if (u.side == kBossGroup && u.character == kBossCharacter) u.present = !boss_arrives;
  }
  for (int kind : objects) {
    stage.objects.push_back({kind, kind - 80 <= 6 ? kind - 80 : 0, 320, 120});
  }
  Map02Battle m;
  m.h = testsupport::MakeMapHarness(kMap02Setup, stage);
  const EventHarness& h = *m.h;
  m.guide1 = testsupport::StageEntryOf(h, others, 10);
  m.guide3 = testsupport::StageEntryOf(h, others, 11);
  m.heroine3 = testsupport::StageEntryOf(h, 0, 3);
  m.heroine5 = testsupport::StageEntryOf(h, 0, 5);
  m.companion = testsupport::StageEntryOf(h, others, kCompanionCharacter);
  return m;
}

std::vector<std::string> Starts(const EventHarness& h) { return h.Records("start"); }

// Starts the battle and runs to idle; when row `id` has not run by then (it waits for a unit's
// turn), the unit of that group and character acts and the run goes on to idle.
void StartAndRun(EventHarness& h, int id, int group, int character) {
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(2000));
  if (h.FrameOf("start " + std::to_string(id)) < 0) {
    h.Act(group, character);
    ASSERT_TRUE(h.RunUntilIdle(2000));
  }
  ASSERT_GE(h.FrameOf("end " + std::to_string(id)), 0);
}
size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}

// ---- The table ----

TEST(Map02Table, ItsRowsAreCleanAndInTheMapsOrder) {
  EXPECT_TRUE(testsupport::LintMapSetup(1, kMap02Setup).empty());
  const std::vector<int> ids = {2097, 2098, 2099, 2100, 2101, 2102, 2103, 2104, 2105, 2107,
                                2108, 2109, 2110, 2111, 2112, 2113, 2114, 2115, 2116, 2117,
                                2118, 2120, 2500, 2501, 2502, 2505, 2520, 2521, 2522, 2525,
                                2530, 2531, 2532, 2535, 2600, 2601, 2602, 2603, 2606};
  std::vector<int> got;
  for (const SlgEventEntry* row = kMap02Setup.table; row->handler != nullptr; ++row) {
    got.push_back(row->id);
  }
  EXPECT_EQ(got, ids);
  EXPECT_EQ(kMap02Setup.anm_table.size(), 26u);
  EXPECT_EQ(kMapEventSetupTable[1], &kMap02Setup);
  const SlgEventEntry& fav = kMap02Setup.table[34];
  EXPECT_STREQ(fav.c, "NP(IMR())|(!NU(UHW)&HGU(GBO,UHW,0))|HP(IKD,0);");
  EXPECT_EQ(static_cast<const FavouriteArgs*>(fav.arg)->references[8], (EventMessageRef{156, 2093}));
  EXPECT_STREQ(kMap02Setup.table[38].c, "!NU(UHW)&HGU(GBO,UHW,0)|HP(IKD,0);");
}

// ---- The first events ----

TEST(Map02Story, HeroineFivesTrustDecidesTheFirstEventAndTheTrustRemark) {
  struct Case {
    const char* name;
    int32_t trust;
    std::vector<std::string> first;  // the first two rows started
    size_t remarks;                  // 2098 at two MAD commands
  } cases[] = {
      {"below 25: 2097 first, no remark", 24, {"start 2097", "start 2100"}, 0},
      {"25: the remark once", 25, {"start 2100", "start 2101"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Map02Battle m = MakeBattle();
    EventHarness& h = *m.h;
    h.SetTrust(5, c.trust);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(3000));
    const auto starts = Starts(h);
    ASSERT_GE(starts.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(starts.begin(), starts.begin() + 2), c.first);
    for (int i = 0; i < 2; ++i) {
      h.Command(kMad);
      ASSERT_TRUE(h.RunUntilIdle(600));
    }
    EXPECT_EQ(Count(h, "start 2098"), c.remarks);
    EXPECT_EQ(Count(h, "start 2115"), 2 - c.remarks) << "2115 takes the MADs 2098 does not";
  }
}

TEST(Map02Story, TheTalkAtMadFollowsTheStageOfTheBattleAndSetsNoFlag) {
  struct Case {
    std::vector<int> flags;
    std::string talk;
  } cases[] = {{{98}, "start 2115"}, {{98, 103}, "start 2116"}, {{98, 103, 107}, "start 2117"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.talk);
    Map02Battle m = MakeBattle();
    EventHarness& h = *m.h;
    for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    for (int f : c.flags) h.SetFlagAtInstall(f);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(600));
    for (int i = 0; i < 2; ++i) {
      h.Command(kMad);
      ASSERT_TRUE(h.RunUntilIdle(600));
    }
    EXPECT_EQ(Count(h, c.talk), 2u) << "every MAD";
    // The set-up's one fixed sprite, its animation laid.
    ASSERT_EQ(Battle().fix_tasks.count, 1);
    const FixTaskWork* sprite = FixTaskWorkOf(Battle().fix_tasks.tasks[0]);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->x, 496 * 65536);
    EXPECT_EQ(sprite->y, 312 * 65536);
    EXPECT_NE(sprite->anm, nullptr);
    for (const char* talk : {"start 2115", "start 2116", "start 2117"}) {
      if (talk != c.talk) {
        EXPECT_EQ(Count(h, talk), 0u) << talk;
      }
    }
  }
}

// ---- The openings ----

TEST(Map02Openings, TheThreeOpeningsRunInOrderWithTheRealPropsAnswering) {
  std::vector<int> objects;
  for (int k = 80; k <= 104; ++k) objects.push_back(k);
  Map02Battle m = MakeBattle(objects);
  EventHarness& h = *m.h;
  h.SetTrust(5, 30);
  h.Start();
  // The props answer every signal word: the script never waits on the test.
  ASSERT_TRUE(h.RunUntil("drop", [] { return Map02State().drop == 1; }, 3000));
  EXPECT_EQ(Map02State().grow, 2) << "the growing prop answered";
  ASSERT_TRUE(h.RunUntil("dropped", [] { return Map02State().drop == 0; }, 3000));
  EXPECT_LT(h.FrameOf("end 2100"), 0) << "2100 holds until a dropping prop has left";
  ASSERT_TRUE(h.RunUntilIdle(3000));
  EXPECT_EQ(Map02State().grow, 4);
  EXPECT_EQ(Map02State().stretch, 4) << "lifted off and set down";

  EXPECT_EQ(Starts(h), (std::vector<std::string>{"start 2100", "start 2101", "start 2102"}));
  EXPECT_LE(h.FrameOf("end 2100"), h.FrameOf("start 2101"));
  EXPECT_LE(h.FrameOf("end 2101"), h.FrameOf("start 2102"));
  EXPECT_EQ(Count(h, "stop se 221"), 1u);
  EXPECT_GT(h.FrameOf("stop se 221"), h.FrameOf("se 221"));
  EXPECT_GE(h.FrameOf("bgm 13"), 0);
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 254:3013", "message 256:3014", "message 209:3015",
                                      "message 29:3016", "message 255:3017", "message 255:20042",
                                      "message 110:20000", "message 213:20041",
                                      "message 11:20001", "message 110:20115",
                                      "message 110:20116", "message 110:20117",
                                      "message 11:20118"}));
  const std::string g1 = "remove 14 entry " + std::to_string(m.guide1);
  const std::string g3 = "remove 14 entry " + std::to_string(m.guide3);
  EXPECT_GE(h.FrameOf(g1), 0) << "the guides removed";
  EXPECT_GE(h.FrameOf(g3), 0);
  for (int kind : {0, 1, 2, 3, 5}) {
    const SlgUnit* u = FindUnitByKind(kind);
    ASSERT_NE(u, nullptr);
    EXPECT_NE(u->flags & 0x80u, 0u) << "kind " << kind << " shown again";
  }
}

// ---- The boss ----

TEST(Map02Boss, DefeatFlagEndsTheBattleAsLost) {
  Map02Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  h.SetFlagAtInstall(98);
  h.SetFlagAtInstall(198);
  h.Start();
  ASSERT_TRUE(h.RunUntil("lost", [&] { return Battle().lost == 1; }, 600));
  ASSERT_TRUE(h.RunUntil("game over", [&] { return h.FrameOf("task Slg::GameOver") >= 0; }, 5));
  EXPECT_EQ(Starts(h), std::vector<std::string>{"start 2109"});
  EXPECT_EQ(Battle().lost, 1u);
  EXPECT_EQ(h.Records("message"), (std::vector<std::string>{"message 18:20019",
                                                            "message 216:20020",
                                                            "message 361:20021"}));
  EXPECT_EQ(h.Records("fade 256 white").size(), 1u);
  EXPECT_LT(h.FrameOf("fade 256 white"), h.FrameOf("fade 0 white"));
}

TEST(Map02Boss, VictoryWaitsForTheBossToGoThenTheCompanionFalls) {
  Map02Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  for (int f : {98, 103, 107}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.SetLife(kBossGroup, kBossCharacter, 0);
  ASSERT_TRUE(h.RunUntil("2108", [&] { return h.FrameOf("start 2108") >= 0; }, 60));
  h.RunFrames(60);
  EXPECT_EQ(CheckEventFlag(196), 0) << "held while a kind-22 unit remains";
  SlgUnit* boss = FindUnitByKind(22);
  ASSERT_NE(boss, nullptr);
  EventRemoveUnit(boss);
  ASSERT_TRUE(h.RunUntil("flag 196", [] { return CheckEventFlag(196) != 0; }, 300));
  const SlgUnit* companion = FindUnitByKind(21);
  ASSERT_NE(companion, nullptr);
  EXPECT_EQ(companion->state, 15) << "the companion falls";
  ASSERT_TRUE(h.RunUntil("victory", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 3000));
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
  EXPECT_GE(h.FrameOf("bgm 18"), 0);
}

TEST(Map02Boss, TheArrivalPassesTheTurnOnAndTheRemarksFollowTheBossTurns) {
  Map02Battle m = MakeBattle({104}, true);
  EventHarness& h = *m.h;
  // A soldier stands on the boss's arrival point.
  const SlgPoint point = SnapPosToCell(1722, 1540);
  h.AddUnit(1, 39, 14, 1, point.x, point.y);
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  for (int f : {98, 103, 199}) h.SetFlagAtInstall(f);
  h.Start();  // the first unit's turn raises the 0x4 moment
  ASSERT_TRUE(h.RunUntil("flash", [&] { return !h.Records("deploy 104").empty(); }, 600));
  const SlgUnit* boss = FindUnitByKind(22);
  ASSERT_NE(boss, nullptr);
  const SlgPoint at = SnapPosToCell(boss->x >> 16, boss->y >> 16);
  EXPECT_FALSE(at.x == point.x && at.y == point.y) << "the taken cell is passed over";
  EXPECT_LE(std::abs(at.x - point.x), 96);
  EXPECT_LE(std::abs(at.y - point.y), 48);
  EXPECT_EQ(Map02State().boss_point.x, at.x);
  for (int i = 0; i < 14; ++i) {
    EXPECT_EQ(boss->flags & 0x80u, 0u) << "hidden until the flash has played 15 frames";
    h.RunFrames(1);
  }
  h.RunFrames(2);
  EXPECT_NE(boss->flags & 0x80u, 0u) << "shown";
  ASSERT_TRUE(h.RunUntil("2107", [&] { return h.FrameOf("end 2107") >= 0; }, 2000));
  EXPECT_EQ(CheckEventFlag(107), 1);
  EXPECT_LT(h.FrameOf("start 2104"), 0) << "flag 197 is not set";
  // The unit chosen at the arrival lost its turn: another acts, or a round starts.
  const int16_t round = static_cast<int16_t>(Battle().state.round);
  h.RunFrames(10);
  EXPECT_TRUE(Battle().state.acting_unit != kSlgNoUnit || Battle().state.round != round);

  for (int remark = 0; remark < 5; ++remark) {
    h.Act(kBossGroup, kBossCharacter);
    ASSERT_TRUE(h.RunUntilIdle(600));
    h.Act(0, 0);
    ASSERT_TRUE(h.RunUntilIdle(600));
  }
  std::vector<std::string> remarks;
  for (const std::string& s : Starts(h)) {
    if (s >= "start 2110" && s <= "start 2114") remarks.push_back(s);
  }
  EXPECT_EQ(remarks, (std::vector<std::string>{"start 2110", "start 2111", "start 2112",
                                               "start 2113", "start 2114"}));
  EXPECT_GE(h.FrameOf("message 209:20022"), 0) << "heroine 5 on the map";
}

TEST(Map02Boss, TheCompanionsLeadInRaisesTheRemarkAndThenTheBossArrival) {
  Map02Battle m = MakeBattle({104}, true);
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  for (int f : {98, 103}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_TRUE(h.Records("start 21").empty());
  // The companion's attack starts: its lead-in (state 5) sets flags 197 and 199.
  SlgUnit* companion = FindUnitByKind(21);
  ASSERT_NE(companion, nullptr);
  SetUnitState(*companion, 5);
  h.RunFrames(2);
  ASSERT_EQ(CheckEventFlag(197), 1);
  for (int turn = 0; turn < 2; ++turn) {
    h.Act(0, 0);
    ASSERT_TRUE(h.RunUntilIdle(1200));
  }
  ASSERT_GE(h.FrameOf("end 2104"), 0);
  ASSERT_GE(h.FrameOf("start 2107"), 0);
  EXPECT_LE(h.FrameOf("end 2104"), h.FrameOf("start 2107"));
  EXPECT_GE(h.FrameOf("message 33:20005"), 0) << "heroine 1 is on the map";
}

TEST(Map02Boss, TheFirstRemarkChoosesItsLineByHeroineFive) {
  struct Case {
    bool present;
    std::string line;
  } cases[] = {{true, "message 209:20022"}, {false, "message 11:20023"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Map02Battle m = MakeBattle();
    EventHarness& h = *m.h;
    if (!c.present) h.install.stage.units[static_cast<size_t>(m.heroine5)].present = 0;
    for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    for (int f : {98, 103, 107}) h.SetFlagAtInstall(f);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(600));
    h.Act(kBossGroup, kBossCharacter);
    ASSERT_TRUE(h.RunUntilIdle(600));
    EXPECT_LT(h.FrameOf("start 2110"), 0) << "not while the boss acts";
    h.Act(0, 0);
    ASSERT_TRUE(h.RunUntilIdle(600));
    const auto messages = h.Records("message");
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), c.line);
    EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                            [](const std::string& m) { return m.find(":2002") != m.npos; }),
              1)
        << "one line of the two";
  }
}

// ---- The choice talks ----

TEST(Map02Choices, HeroineOnesAnswersChangeHerTrustAndAnswerTwoSkipsTheWait) {
  struct Case {
    int answer;  // 0: the choice times out
    int32_t delta;
    std::string se;  // "" none
  } cases[] = {{1, -3, "se 21"}, {2, 0, ""}, {3, -2, "se 21"}, {0, 1, "se 20"}};
  int answer1_frames = 0;
  int answer2_frames = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    Map02Battle m = MakeBattle();
    EventHarness& h = *m.h;
    for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    h.SetFlagAtInstall(98);
    h.SetP(17, 1);
    h.SetTrust(1, 50);
    if (c.answer != 0) h.AnswerChoice(c.answer);
    StartAndRun(h, 2120, 0, 1);
    if (HasFatalFailure()) return;
    EXPECT_EQ(GetTrustVar(1), 50 + c.delta);
    const auto se = h.Records("se 2");
    if (c.se.empty()) {
      EXPECT_TRUE(se.empty());
    } else {
      EXPECT_EQ(se, std::vector<std::string>{c.se});
    }
    const int length = h.FrameOf("end 2120") - h.FrameOf("message 30:20125") ;
    if (c.answer == 1) answer1_frames = h.FrameOf("end 2120") - h.FrameOf("start 2120");
    if (c.answer == 2) {
      answer2_frames = h.FrameOf("end 2120") - h.FrameOf("start 2120");
      EXPECT_LT(length, 60);
    }
  }
  EXPECT_LT(answer2_frames, answer1_frames);
}


TEST(Map02Choices, HeroineFivesAnswers) {
  struct Case {
    int answer;  // 0: the choice times out
    int32_t delta;
    std::vector<std::string> se;
    std::string first;  // the answer's first message
  } cases[] = {{1, -2, {"se 21"}, "message 211:20102"},
               {2, 5, {"se 20"}, "message 210:20105"},
               {3, -2, {"se 21"}, "message 213:20107"},
               {0, 0, {}, "message 212:20111"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    Map02Battle m = MakeBattle();
    EventHarness& h = *m.h;
    for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    for (int f : {98, 105}) h.SetFlagAtInstall(f);
    h.SetTrust(5, 40);
    if (c.answer != 0) h.AnswerChoice(c.answer);
    StartAndRun(h, 2099, 0, 5);
    if (HasFatalFailure()) return;
    EXPECT_EQ(GetTrustVar(5), 40 + c.delta);
    EXPECT_EQ(h.Records("se 2"), c.se);
    EXPECT_GE(h.FrameOf(c.first), 0);
  }
}

// ---- Heroine 5's remark on a defeat ----

TEST(Map02Story, HeroineFivesDefeatRemarkWaitsWhileTheMainTaskWaitsForItsUnits) {
  Map02Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  h.SetFlagAtInstall(98);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.Defeat(1, 38, 0, 5);
  h.Act(0, 0);
  ASSERT_TRUE(h.RunUntil("2118", [&] { return h.FrameOf("start 2118") >= 0; }, 60));
  SlgMainWork* work = Battle().control.main_work;
  ASSERT_NE(work, nullptr);
  for (int i = 0; i < 20; ++i) {
    work->step = kSlgPhaseAgain;
    h.RunFrames(1);
    EXPECT_EQ(Battle().control.turn_hold, 0u) << "turn control runs";
  }
  EXPECT_LT(h.FrameOf("message 210:20038"), 0) << "nothing shows";
  work->step = kSlgPhaseStart;
  ASSERT_TRUE(h.RunUntil("end 2118", [&] { return h.FrameOf("end 2118") >= 0; }, 600));
  EXPECT_GE(h.FrameOf("message 12:20039"), 0);
  EXPECT_EQ(Battle().event_unit_ref[0], kSlgNoUnit);
}

// ---- The townspeople ----

TEST(Map02Objects, ATownspersonWalksByItsByteUntilACellOfHeightZeroAndAnUnknownByteStandsStill) {
  Map02Battle m = MakeBattle();
  EventHarness& h = *m.h;
  const SlgPoint start{320, 120};
  const int walker = h.AddObject(80, 0, start.x, start.y);
  const int stray = h.AddObject(81, 9, 432, 216);
  (void)walker;
  (void)stray;
  // Every cell of height 1 but the one 24 frames along the walker's way (after its lift).
  testsupport::StageWriter& st = h.install.stage;
  st.grid1.fill(testsupport::CellWord(1));
  const SlgCell goal = PosToCell(start.x - 2 * 24, start.y + 48 - 24);
  st.grid1[static_cast<size_t>(goal.row * 22 + goal.column)] = testsupport::CellWord(0);
  h.Start();
  ASSERT_TRUE(h.RunUntil("deployed", [] { return FindUnitByKind(80) != nullptr &&
                                                 FindUnitByKind(80)->state == 2; }, 300));
  SlgUnit* w = FindUnitByKind(80);
  SlgUnit* s = FindUnitByKind(81);
  ASSERT_NE(s, nullptr);
  const int32_t sx = s->x;
  const int32_t sy = s->y;
  const int32_t wx = w->walk_state[1];
  const int32_t wy = w->walk_state[2];
  ASSERT_TRUE(h.RunUntil("stopped", [&] { return w->state == 3; }, 60));
  const int32_t dx = (w->x - wx) >> 16;
  const int32_t dy = (w->y - wy) >> 16;
  EXPECT_LT(dx, 0);
  EXPECT_EQ(dy * 2, dx) << "velocity (-2, -1)";
  const SlgCell at = PosToCell(w->x >> 16, w->y >> 16);
  EXPECT_EQ(at.column, goal.column);
  EXPECT_EQ(at.row, goal.row);
  const int32_t stop_x = w->x;
  h.RunFrames(5);
  EXPECT_EQ(w->x, stop_x) << "stays once released";
  EXPECT_EQ(s->x, sx) << "byte 9 has no velocity";
  EXPECT_EQ(s->y, sy);
}

// ---- The point scene ----

TEST(Map02PointScene, FromTheOpeningsThroughThePointSceneWithTheRealProps) {
  struct Case {
    const char* name;
    bool heroine3;
    bool scene_props;  // the kind-102 props on the stage
    bool openings;     // from the openings (else from their flags)
    const char* closing;
  } cases[] = {
      {"heroine 3 present, from the openings", true, true, true, "message 110:20003"},
      {"heroine 3 absent", false, true, false, "message 361:20040"},
      {"no kind-102 props: the holds end", true, false, false, "message 110:20003"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> objects;
    for (int k = 80; k <= 91; ++k) objects.push_back(k);
    Map02Battle m = MakeBattle(objects, false, 3);
    EventHarness& h = *m.h;
    if (c.scene_props) {
      h.AddObject(102, 0, 320, 120);
      h.AddObject(102, 1, 320, 120);
    }
    for (int byte = 1; byte <= 4; ++byte) h.AddObject(103, byte, 320, 120);
    if (!c.heroine3) h.install.stage.units[static_cast<size_t>(m.heroine3)].present = 0;
    // The companion comes in the scene; a unit stands on the scene point's cell, so she is
    // placed beside it.
    h.install.stage.units[static_cast<size_t>(m.companion)].present = 0;
    const SlgPoint taken = SnapPosToCell(768, 862);
    h.AddUnit(3, 39, 38, 1, taken.x, taken.y);
    h.SetTrust(5, 30);
    h.SetFlagAtInstall(98);
    if (!c.openings) {
      for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    }
    h.Start();
    if (c.openings) {
      ASSERT_TRUE(h.RunUntil("openings", [&] { return h.FrameOf("end 2102") >= 0; }, 6000));
    }
    ASSERT_TRUE(h.RunUntilIdle(600));
    EXPECT_LT(h.FrameOf("start 2103"), 0) << "held while a soldier remains";
    // The soldiers are gone.
    for (SlgUnit& u : Battle().state.units) {
      if (u.side == 1 && u.step != kSlgDeadStep) EventRemoveUnit(&u);
    }
    ASSERT_TRUE(h.RunUntil("2103", [&] { return h.FrameOf("end 2103") >= 0; }, 3000));
    ASSERT_TRUE(h.RunUntilIdle(600));

    for (int id = c.openings ? 2100 : 2103; id <= 2103; ++id) {
      EXPECT_GE(h.FrameOf("end " + std::to_string(id)), 0) << id;
    }
    const SlgPoint point = Map02State().scene_point;
    EXPECT_FALSE(point.x == taken.x && point.y == taken.y) << "the taken cell is passed over";
    const SlgUnit* companion = FindUnitByKind(21);
    ASSERT_NE(companion, nullptr);
    EXPECT_EQ(companion->x, point.x * 65536);
    EXPECT_EQ(companion->y, point.y * 65536);
    EXPECT_EQ(FindUnitByKind(102), nullptr);
    EXPECT_EQ(FindUnitByKind(103), nullptr);
    if (c.scene_props) {
      EXPECT_EQ(Map02State().pulse, 4);
      EXPECT_EQ(Map02State().hold, 2);
    }
    EXPECT_EQ(Map02State().arrival, 0x1e) << "the four figures arrived";
    EXPECT_GT(h.FrameOf("bgm 16"), h.FrameOf("start 2103"));
    const auto messages = h.Records("message");
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[messages.size() - 2], "message 15:20002");
    EXPECT_EQ(messages.back(), c.closing);
  }
}

// ---- The props ----

// One prop driven by hand (no frames run): its handler called with its clock at `t` frames, as
// the event objects' step calls it.
struct Prop {
  SlgUnit* unit = nullptr;
  int32_t t = 0;
  void Call() {
    SlgAnmObj* body = unit->anm;
    body->now = static_cast<uint32_t>(t);
    body->frames = static_cast<int32_t>(body->now - body->start_time);
    SlgPair position{};
    kMap02Setup.anm_table[unit->kind - 80u](*unit, position);
  }
  const Map02Motion& Motion() const {
    return Map02State().props.at(static_cast<size_t>(unit->walk_state[0] - 1)).now;
  }
};

// A battle where the props of `objects` (kind, byte) stand placed and undeployed: the openings
// and the point scene are over (flag 102 only when `set_down`).
std::unique_ptr<EventHarness> PropBattle(const std::vector<std::pair<int, int>>& objects,
                                         bool set_down = true) {
  Map02Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (auto [kind, byte] : objects) h.AddObject(kind, byte, 432, 312);
  for (int f : {98, 100, 101, 103}) h.SetFlagAtInstall(f);
  if (set_down) h.SetFlagAtInstall(102);
  h.Start();
  return std::move(m.h);
}

// Deploys the prop of that kind and byte and calls its first phase at t = 0.
Prop Deploy(int kind, int byte) {
  EventDeployKindNo(kind, byte);
  Prop p;
  for (SlgUnit& u : Battle().state.units) {
    if (u.kind == kind && u.character == byte && u.deploy_state != 0) p.unit = &u;
  }
  EXPECT_NE(p.unit, nullptr) << kind;
  if (p.unit != nullptr) p.Call();
  return p;
}

struct MotionEnd {
  int32_t frames = -1;  // the frame of the signal's answer, -1 none within the limit
  Map02Motion motion;
  bool operator==(const MotionEnd& o) const {
    const Map02Motion& a = motion;
    const Map02Motion& b = o.motion;
    return frames == o.frames && a.pos.x == b.pos.x && a.pos.y == b.pos.y &&
           a.zoom.x == b.zoom.x && a.zoom.y == b.zoom.y && a.speed == b.speed;
  }
};

int32_t& Grow() { return Map02State().grow; }
int32_t& Stretch() { return Map02State().stretch; }
int32_t& Pulse() { return Map02State().pulse; }
int32_t& Hold() { return Map02State().hold; }

// Raises the signal and runs the prop until it answers, the clock moving `stride` frames a call.
MotionEnd RunMotion(Prop& p, int32_t& signal, int32_t raise, int32_t answer, int32_t stride) {
  signal = raise;
  p.Call();  // the signal is seen and the motion's clock starts
  const int32_t start = p.t;
  for (int i = 0; i < 400 && signal != answer; ++i) {
    p.t += stride;
    p.Call();
  }
  MotionEnd end{signal == answer ? p.t - start : -1, p.Motion()};
  return end;
}

TEST(Map02Props, TimedMotionsEndOnTheirSignalsAndALateFrameJumpsToTheSameValues) {
  struct Step {
    int32_t& (*word)();
    int32_t raise, answer;
    int32_t frames;  // frame-by-frame: the frame of the answer
    int32_t zoom_x, speed;
  };
  struct Case {
    const char* name;
    int kind, byte;
    bool set_down;
    std::vector<Step> steps;
  } cases[] = {
      {"growing prop", 90, 0, true,
       {{&Grow, 1, 2, 10, 64768, 5888}, {&Grow, 3, 4, 10, -5632, 8448}}},
      {"lifted prop: lift-off from speed 0, then its mirror", 87, 0, false,
       {{&Stretch, 1, 2, 11, -2048, 5632}, {&Stretch, 3, 4, 11, 65536, 0}}},
      {"pulsing prop", 102, 1, true,
       {{&Pulse, 1, 2, 5, 59648, 12288},
        {&Pulse, 3, 4, 5, -4352, 13568}}},
      {"holding prop", 102, 0, true,
       {{&Hold, 1, 2, 10, 64768, 5888}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<MotionEnd> by_stride[2];
    for (int run = 0; run < 2; ++run) {
      const int32_t stride = run == 0 ? 1 : 5;
      auto h = PropBattle({{c.kind, c.byte}}, c.set_down);
      Prop p = Deploy(c.kind, c.byte);
      ASSERT_NE(p.unit, nullptr);
      for (const Step& s : c.steps) {
        MotionEnd end = RunMotion(p, s.word(), s.raise, s.answer, stride);
        if (stride == 1) {
          EXPECT_EQ(end.frames, s.frames);
          EXPECT_EQ(end.motion.zoom.x, s.zoom_x);
          EXPECT_EQ(end.motion.speed, s.speed);
        }
        end.frames = -1;  // a late frame answers on the frame it comes
        by_stride[run].push_back(end);
      }
    }
    EXPECT_EQ(by_stride[0], by_stride[1]) << "the late frames reach the same values";
  }
}

TEST(Map02Props, ADroppingPropClearsTheDropSignalOncePastY1102) {
  auto h = PropBattle({{88, 0}});
  Prop p = Deploy(88, 0);
  ASSERT_NE(p.unit, nullptr);
  Map02State().drop = 1;
  int32_t last_y = p.unit->y;
  for (int i = 0; i < 3000 && Map02State().drop == 1; ++i) {
    last_y = p.unit->y;
    ++p.t;
    p.Call();
  }
  EXPECT_EQ(Map02State().drop, 0);
  EXPECT_GT(p.unit->y >> 16, 1102);
  EXPECT_LE(last_y >> 16, 1102) << "cleared on the frame it passed";
  EXPECT_EQ(p.unit->y - last_y, 32768) << "at the top speed of half a pixel a frame";
}

TEST(Map02Props, FlyingFiguresReachTheScenePointsCellOnTheSixteenthFrame) {
  const SlgPoint offsets[] = {{-312, -208}, {312, 208}, {312, -208}, {-312, 208}};
  auto h = PropBattle({{103, 1}, {103, 2}, {103, 3}, {103, 4}});
  const SlgPoint point = SnapPosToCell(432, 312);
  Map02State().scene_point = point;
  for (int byte = 1; byte <= 4; ++byte) {
    SCOPED_TRACE(byte);
    Prop p = Deploy(103, byte);
    ASSERT_NE(p.unit, nullptr);
    const SlgPoint o = offsets[byte - 1];
    EXPECT_EQ(p.unit->x, (point.x + o.x) * 65536);
    EXPECT_EQ(p.unit->y, (point.y + o.y) * 65536);
    const int32_t vx = -o.x * 65536 / 15;
    const int32_t vy = -o.y * 65536 / 15;
    for (int f = 1; f <= 15; ++f) {
      ++p.t;
      p.Call();
      EXPECT_EQ(p.unit->x, (point.x + o.x) * 65536 + vx * f);
      EXPECT_EQ(p.unit->y, (point.y + o.y) * 65536 + vy * f);
    }
    EXPECT_EQ(Map02State().arrival & (1 << byte), 0) << "a few units short";
    ++p.t;
    p.Call();
    EXPECT_EQ(p.unit->x, point.x * 65536);
    EXPECT_EQ(p.unit->y, point.y * 65536);
    EXPECT_NE(Map02State().arrival & (1 << byte), 0);
    EXPECT_EQ(p.unit->anm->handle, nullptr) << "its animation released";
  }
}

TEST(Map02Props, TheLiftedPropBobsTwoPixelsEachWayAndPlacedAfterFlag102NeverLifts) {
  for (const bool set_down : {false, true}) {
    SCOPED_TRACE(set_down ? "after flag 102" : "before flag 102");
    auto h = PropBattle({{87, 0}}, set_down);
    const SlgPoint placed{432, 312};
    Prop p = Deploy(87, 0);
    ASSERT_NE(p.unit, nullptr);
    const SlgPoint at = set_down ? SlgPoint{492, 160} : placed;
    const int32_t centre = (at.y + 1) * 65536;
    int32_t low = centre;
    int32_t high = centre;
    std::vector<int32_t> ys;
    if (set_down) Map02State().stretch = 1;
    for (int f = 0; f < 128; ++f) {
      ++p.t;
      p.Call();
      low = std::min(low, p.unit->y);
      high = std::max(high, p.unit->y);
      ys.push_back(p.unit->y);
    }
    EXPECT_EQ(high - centre, 2 * 65536);
    EXPECT_EQ(centre - low, 2 * 65536);
    EXPECT_EQ(p.unit->x, at.x * 65536);
    p.t += 128;
    p.Call();
    EXPECT_EQ(p.unit->y, ys.front()) << "128 frames a cycle";
    if (set_down) {
      EXPECT_EQ(Map02State().stretch, 1) << "never lifts";
      EXPECT_EQ(p.Motion().zoom.x, 65536);
    }
  }
}

TEST(Map02Props, AnUnknownScenePropByteStandsIdle) {
  auto h = PropBattle({{102, 2}});
  Prop p = Deploy(102, 2);
  ASSERT_NE(p.unit, nullptr);
  const int32_t x = p.unit->x;
  Map02State().hold = 1;
  Map02State().pulse = 1;
  for (int f = 0; f < 20; ++f) {
    ++p.t;
    p.Call();
  }
  EXPECT_EQ(p.unit->state, 0);
  EXPECT_EQ(p.unit->x, x);
  EXPECT_EQ(Map02State().hold, 1);
  EXPECT_EQ(Map02State().pulse, 1);
}

}  // namespace
