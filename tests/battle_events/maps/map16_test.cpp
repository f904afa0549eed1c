// Map 16's event script in real battles on the event harness: the table and its mended rows, the
// gate watch, the pass allowance and the defeat, the talker's lines, the boss teleport, the boss's
// stats, the victory and the bursts.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_events/core/cond_eval.h"
#include "battle_events/core/event_check.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/event_steps.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/map16.h"
#include "battle/slg_geometry.h"
#include "engine/app/context.h"
#include "testsupport/cond_fake.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr const char* kTaskName = "Slg::Map16:CheckKouma";
constexpr int kStage = 15;
// The kouma units of the tests: characters 40, 41, 42 of side 1, standing away from the gates.
constexpr int kKoumaChar = 40;
constexpr int kBossChar = 18;
constexpr int kBossKind = 29;

struct BattleOptions {
  std::vector<int> kouma_kinds = {17, 18, 19};
  int kouma_category = 1;
  bool boss = true;
  bool skip_opening = true;
  int allowance = 1;
};

// Map 16's battle on its small stage: the hero at (600, 600) and heroines 1-6, the kouma units
// and the boss as `o` says; the opening's and the gates' pictures.
std::unique_ptr<EventHarness> MakeBattle(const BattleOptions& o = {}) {
  testsupport::MapStage stage = *testsupport::FindMapStage(16);
  // The kouma units and the boss as the options say, in the description's order.
  std::erase_if(stage.units, [](const testsupport::MapStageUnit& u) { return u.side != 0; });
  for (size_t i = 0; i < o.kouma_kinds.size(); ++i) {
    stage.units.push_back({1, kKoumaChar + static_cast<int>(i), o.kouma_kinds[i],
                           o.kouma_category, 200 + 96 * static_cast<int>(i), 300});
  }
  if (o.boss) stage.units.push_back({2, kBossChar, kBossKind, 1, 1300, 400});
  auto h = testsupport::MakeMapHarness(kMap16Setup, stage);
  h->SetP(82, static_cast<uint16_t>(o.allowance));
  if (o.skip_opening) h->SetFlagAtInstall(120);
  return h;
}

GameTaskRec* MapTask() { return Ctx().game_task.FindTask(kTaskName); }

int Count(const EventHarness& h, const std::string& what) {
  return static_cast<int>(h.Records(what).size());
}

// ---- The table ----

TEST(Map16Table, ItsRowsAreCleanInTheMapsOrderWithTheMendedRows) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap16Setup).empty());
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap16Setup);
  EXPECT_TRUE(kMap16Setup.anm_table.empty()) << "the map installs no event-animation table";
  ASSERT_EQ(kMap16Setup.tasks.size(), 1u);
  EXPECT_STREQ(kMap16Setup.tasks[0].name, kTaskName);
  EXPECT_EQ(kMap16Setup.tasks[0].order, MapTaskOrder::kBeforeDeferred);
  std::vector<int> ids;
  const SlgEventEntry* defeat = nullptr;
  for (const SlgEventEntry* row = kMap16Setup.table; row->handler != nullptr; ++row) {
    ids.push_back(row->id);
    if (row->id == 16220) defeat = row;
    if (row->id == 16201 || row->id == 16212 || row->id == 16220) {
      EXPECT_EQ(row->guard[0], kMap16DefeatGuard) << row->id;
    }
    if (row->id == 16230) {
      EXPECT_EQ(row->guard[0], kMap16VictoryGuard);
    }
  }
  std::vector<int> expected = {16110, 16120, 16410, 16140, 16150, 16160, 16170, 16180, 16200,
                               16201, 16210, 16211, 16212, 16220, 16225, 16230, 16240, 16241,
                               16242};
  for (int base : {520, 500, 530}) {
    for (int s = 0; s < 6; ++s) expected.push_back(base + s);
  }
  for (int id = 600; id <= 606; ++id) expected.push_back(id);
  EXPECT_EQ(ids, expected);
  // Written without its ";", 16220's condition holds whatever flag 193 is.
  ASSERT_NE(defeat, nullptr);
  EXPECT_STREQ(defeat->b, "F(193);");
  testsupport::CondFake flags;
  flags.SetAnswer(kCondF, 0);
  EXPECT_EQ(CondEval("F(193)", flags.functions()), 1);
  EXPECT_EQ(CondEval(defeat->b, flags.functions()), 0);
  EXPECT_FALSE(testsupport::LintMapSetup(kStage, MapSetup{.table = [defeat] {
                                                     static SlgEventEntry rows[2] = {
                                                         {}, kEventTableEnd};
                                                     rows[0] = *defeat;
                                                     rows[0].b = "F(193)";
                                                     return &rows[0];
                                                   }()})
                   .empty())
      << "the lint rejects the string without its end";
}

// ---- The gate watch ----

struct GateCase {
  int kind;
  int category;
  int state;
  bool dead;
  std::vector<int> flags;  // of 400-403, the ones set
};

TEST(Map16Gates, AnIdleUnitOfCategoryOneOnAGateSetsTheFlagsOfItsKind) {
  const std::vector<GateCase> cases = {
      {17, 1, 0, false, {400, 401}}, {19, 1, 8, false, {400, 403}}, {18, 1, 0, false, {400, 402}},
      {20, 1, 0, false, {400}},      {17, 1, 3, false, {}},          {17, 0, 0, false, {}},
      {17, 1, 0, true, {}},
  };
  for (size_t g = 0; g < kMap16Gates.size(); ++g) {
    for (const GateCase& c : cases) {
      SCOPED_TRACE(testing::Message() << "gate " << g << " kind " << c.kind << " category "
                                      << c.category << " state " << c.state << " dead " << c.dead);
      if (g > 0 && c.kind != 17) continue;  // every gate once, the table on the first
      auto battle = MakeBattle({.kouma_kinds = {c.kind}, .kouma_category = c.category});
      EventHarness& h = *battle;
      h.Start();
      ASSERT_TRUE(h.RunUntilIdle(600));
      ASSERT_NE(MapTask(), nullptr);
      h.MoveTo(1, kKoumaChar, kMap16Gates[g].x, kMap16Gates[g].y);
      h.RunFrames(1);
      SlgUnit* unit = h.Unit(1, kKoumaChar);
      ASSERT_NE(unit, nullptr);
      if (c.state != 0) SetUnitState(*unit, static_cast<uint8_t>(c.state));
      if (c.dead) unit->step = kSlgDeadStep;
      h.RunFrames(3);
      for (int f = 400; f <= 403; ++f) {
        const bool want = std::find(c.flags.begin(), c.flags.end(), f) != c.flags.end();
        EXPECT_EQ(CheckEventFlag(static_cast<uint32_t>(f)) != 0, want) << "flag " << f;
      }
      EXPECT_EQ(Map16State().gate.slot >= 0, c.flags.size() == 2);
    }
  }
}

TEST(Map16Gates, TheTaskEndsOnTheFrameAfterTheTableIsGone) {
  auto h = MakeBattle();
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  ASSERT_NE(MapTask(), nullptr);
  EndEventCheck();
  h->RunFrames(1);
  EXPECT_EQ(MapTask(), nullptr);
}

// ---- The allowance ----

// Puts kouma unit n on the first gate and lets a unit act (the 0x4 moment).
void Pass(EventHarness& h, int n) {
  h.MoveTo(1, kKoumaChar + n, kMap16Gates[0].x, kMap16Gates[0].y);
  h.RunFrames(2);
  h.Act(0, 0);
}

bool GameOverRunning() { return Ctx().game_task.FindTask("Slg::GameOver") != nullptr; }

void ExpectDefeat(EventHarness& h) {
  ASSERT_TRUE(h.RunUntil("the defeat", [] { return GameOverRunning(); }, 3000));
  EXPECT_EQ(Battle().lost, 1u);
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    const SlgUnit& u = Battle().state.units[i];
    EXPECT_FALSE(u.kind >= 17 && u.kind <= 19) << "kouma in slot " << i;
  }
  EXPECT_EQ(CheckEventFlag(kMap16DefeatGuard), 1);
  // Another 0x4 moment does not start the defeat again.
  h.Act(0, 0);
  h.RunFrames(30);
  const int defeats = Count(h, "start 16201") + Count(h, "start 16212") + Count(h, "start 16220");
  EXPECT_EQ(defeats, 1);
}

TEST(Map16Allowance, OneAllowedPassWarnsThenTheSecondLoses) {
  auto h = MakeBattle({.allowance = 1});
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_EQ(CheckEventFlag(191), 1);
  Pass(*h, 1);  // kind 18
  ASSERT_TRUE(h->RunUntil("16200", [&] { return h->FrameOf("end 16200") >= 0; }, 3000));
  EXPECT_EQ(CheckEventFlag(200), 1);
  EXPECT_EQ(CheckEventFlag(400), 0);
  for (int f = 401; f <= 403; ++f) EXPECT_EQ(CheckEventFlag(static_cast<uint32_t>(f)), 0);
  EXPECT_EQ(Count(*h, "bg show 245"), 1) << "the picture of kind 18";
  const auto messages = h->Records("message");
  EXPECT_NE(std::find(messages.begin(), messages.end(), "message 506:10035"), messages.end());
  EXPECT_NE(std::find(messages.begin(), messages.end(), "message 506:10039"), messages.end());
  EXPECT_EQ(h->FrameOf("start 16201"), -1);
  EXPECT_EQ(h->FrameOf("start 16220"), -1) << "the mended row does not hold without 193";
  const SlgUnit* gate = FindUnitByGroupKind(1, kKoumaChar + 1);
  EXPECT_TRUE(gate == nullptr || !SlgUnitLive(*gate)) << "the gate unit removed";
  Pass(*h, 0);
  ASSERT_TRUE(h->RunUntil("16201", [&] { return h->FrameOf("start 16201") >= 0; }, 600));
  ExpectDefeat(*h);
  const auto all = h->Records("message");
  EXPECT_NE(std::find(all.begin(), all.end(), "message 339:10050"), all.end());
}

TEST(Map16Allowance, TwoAllowedPassesWarnTwiceThenTheThirdLoses) {
  auto h = MakeBattle({.allowance = 2});
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  Pass(*h, 2);  // kind 19
  ASSERT_TRUE(h->RunUntil("16210", [&] { return h->FrameOf("end 16210") >= 0; }, 3000));
  EXPECT_EQ(Count(*h, "bg show 249"), 1);
  Pass(*h, 0);
  ASSERT_TRUE(h->RunUntil("16211", [&] { return h->FrameOf("end 16211") >= 0; }, 3000));
  EXPECT_EQ(Count(*h, "bg show 247"), 1);
  EXPECT_EQ(Battle().lost, 0u);
  Pass(*h, 1);
  ASSERT_TRUE(h->RunUntil("16212", [&] { return h->FrameOf("start 16212") >= 0; }, 600));
  ExpectDefeat(*h);
}

TEST(Map16Allowance, AnyOtherAllowanceLosesAtTheFirstPass) {
  for (int p : {0, 3, 65535}) {
    SCOPED_TRACE(p);
    auto h = MakeBattle({.allowance = p});
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(600));
    EXPECT_EQ(CheckEventFlag(193), 1);
    Pass(*h, 0);
    ASSERT_TRUE(h->RunUntil("16220", [&] { return h->FrameOf("start 16220") >= 0; }, 600));
    EXPECT_EQ(h->FrameOf("start 16200"), -1);
    ExpectDefeat(*h);
  }
}

// The gate unit defeated and the records compacted before the scene runs: nothing else is
// removed in its place.
TEST(Map16Allowance, AGateUnitGoneBeforeTheSceneIsNotReplacedByAnother) {
  auto h = MakeBattle({.allowance = 1});
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  h->MoveTo(1, kKoumaChar, kMap16Gates[0].x, kMap16Gates[0].y);
  h->RunFrames(3);
  ASSERT_GE(Map16State().gate.slot, 0);
  SlgUnit* unit = h->Unit(1, kKoumaChar);
  ASSERT_NE(unit, nullptr);
  EventRemoveUnit(unit);
  Slg::PurgeDeadUnits();  // kind 18 moves into its slot
  h->MoveTo(1, kKoumaChar + 1, 200, 600);
  h->RunFrames(1);
  h->ExpectTrace("no longer on the map");
  h->Act(0, 0);
  ASSERT_TRUE(h->RunUntil("16200", [&] { return h->FrameOf("end 16200") >= 0; }, 3000));
  const SlgUnit* other = h->Unit(1, kKoumaChar + 1);
  ASSERT_NE(other, nullptr);
  EXPECT_TRUE(SlgUnitLive(*other));
}

// ---- The talker's lines and the teleport ----

// The line's message for talker t (0-7) and round n (0-3), with its face.
std::string Line(int t, int n) {
  static const int kFace[7] = {29, 74, 110, 155, 209, 137, 11};
  const int column = t >= 1 && t <= 6 ? t - 1 : 6;
  return "message " + std::to_string(kFace[column]) + ":" + std::to_string(10007 + 7 * n + column);
}

// A KP by heroine c (a defeat by her, then the 0x4 moment), then flag 131 set as the core sets it.
void TalkerRound(EventHarness& h, int c, int n) {
  h.Defeat(1, kKoumaChar + n % 3, 0, c);
  h.Act(0, c);
  ASSERT_TRUE(h.RunUntilIdle(3000));
  SetEventFlag(131);
  const std::string id = std::to_string(16140 + 10 * n);
  ASSERT_TRUE(h.RunUntil(id, [&] { return h.FrameOf("end " + id) >= 0; }, 3000));
  EXPECT_EQ(CheckEventFlag(131), 0);
}

TEST(Map16Talker, FourRoundsPlayTheTalkersLinesInOrderThenTheBossTeleports) {
  for (int c : {1, 4, 6}) {
    SCOPED_TRACE(c);
    auto h = MakeBattle();
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(600));
    for (int n = 0; n < 4; ++n) {
      TalkerRound(*h, c, n);
      EXPECT_EQ(Map16State().talker, c);
      const auto messages = h->Records("message");
      EXPECT_NE(std::find(messages.begin(), messages.end(), Line(c, n)), messages.end()) << n;
    }
    ASSERT_TRUE(h->RunUntil("16180", [&] { return h->FrameOf("end 16180") >= 0; }, 3000));
    EXPECT_LE(h->FrameOf("end 16170"), h->FrameOf("start 16180"));
  }
}

TEST(Map16Talker, ATalkerOutsideTheHeroinesHearsTheHerosLine) {
  for (int t : {0, 7}) {
    SCOPED_TRACE(t);
    auto h = MakeBattle();
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(600));
    Map16State().talker = t;
    SetEventFlag(131);
    ASSERT_TRUE(h->RunUntil("16140", [&] { return h->FrameOf("end 16140") >= 0; }, 3000));
    EXPECT_EQ(Count(*h, Line(t, 0)), 1);
  }
}

TEST(Map16Teleport, TheBossLandsOnTheNearestFreeCellUnderAToneFade) {
  auto h = MakeBattle();
  // The cell nearest the landing point is taken by a heroine.
  h->AddUnit(0, 7, 7, 0, kMap16Landing.x, kMap16Landing.y);
  h->SetFlagAtInstall(170);
  h->Start();
  int top = 0;
  ASSERT_TRUE(h->RunUntil("16180", [&] {
    top = std::max<int>(top, EventRuntimeState().tone_level);
    return h->FrameOf("end 16180") >= 0;
  }, 3000));
  EXPECT_EQ(top, 31);
  EXPECT_EQ(EventRuntimeState().tone_level, 0);
  const SlgUnit* boss = h->Unit(2, kBossChar);
  ASSERT_NE(boss, nullptr);
  const SlgPoint taken = SnapPosToCell(kMap16Landing.x, kMap16Landing.y);
  const SlgPoint at = SnapPosToCell(boss->x >> 16, boss->y >> 16);
  EXPECT_FALSE(at.x == taken.x && at.y == taken.y) << "not on the taken cell";
  EXPECT_LT(std::abs(at.x - taken.x) + std::abs(at.y - taken.y), 200) << "beside it";
  EXPECT_EQ(boss->dir, 2);
  ASSERT_NE(boss->anm, nullptr);
  EXPECT_EQ(boss->anm->shade, 8192);
  EXPECT_EQ(Battle().flags & 0x40, 0);
}

TEST(Map16Teleport, WithoutABossOnlyTheToneRuns) {
  auto h = MakeBattle({.boss = false});
  h->SetFlagAtInstall(170);
  h->ExpectTrace("no unit of kind 29");
  h->Start();
  int top = 0;
  ASSERT_TRUE(h->RunUntil("16180", [&] {
    top = std::max<int>(top, EventRuntimeState().tone_level);
    return h->FrameOf("end 16180") >= 0;
  }, 3000));
  EXPECT_EQ(top, 31);
  EXPECT_EQ(Battle().flags & 0x40, 0);
}

// ---- The boss's stats ----

TEST(Map16Choice, TheAnswerSetsTheBossStats) {
  struct Case {
    int answer;  // 0: time out
    int attack, defence, move;
    bool weak;
  };
  for (const Case& c : std::vector<Case>{{1, 16, 13, 5, false}, {2, 11, 9, 4, true},
                                         {0, 16, 13, 5, false}, {3, 16, 13, 5, false}}) {
    SCOPED_TRACE(c.answer);
    auto h = MakeBattle();
    if (c.answer != 0) h->AnswerChoice(c.answer);
    h->SetFlagAtInstall(903);
    h->Start();
    ASSERT_TRUE(h->RunUntil("16410", [&] { return h->FrameOf("end 16410") >= 0; }, 3000));
    const SlgUnit* boss = h->Unit(2, kBossChar);
    ASSERT_NE(boss, nullptr);
    EXPECT_EQ(boss->stats.attack, c.attack);
    EXPECT_EQ(boss->stats.defence, c.defence);
    EXPECT_EQ(boss->stats.move, c.move);
    EXPECT_EQ(CheckEventFlag(904), c.weak ? 1 : 0);
  }
}

// ---- The victory ----

TEST(Map16Victory, TheBossDeathWaitsForItsSequenceThenWinsOnce) {
  auto h = MakeBattle();
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  h->SetLife(2, kBossChar, 0);
  h->RunFrames(200);
  EXPECT_GE(h->FrameOf("start 16230"), 0);
  EXPECT_EQ(h->FrameOf("end 16230"), -1) << "waits for flag 198";
  EXPECT_EQ(Count(*h, "bg slide"), 0);
  SetEventFlag(198);
  ASSERT_TRUE(h->RunUntil("16230", [&] { return h->FrameOf("end 16230") >= 0; }, 3000));
  EXPECT_EQ(Count(*h, "bg slide 108"), 1);
  EXPECT_EQ(Count(*h, "task Slg::GameWin"), 1);
  h->RunFrames(120);
  EXPECT_EQ(Count(*h, "start 16230"), 1) << "the row does not start again while the win fades";
}

// ---- The bursts ----

TEST(Map16Bursts, TheOpeningsBurstsEndAndSweepTheStandingFiguresAway) {
  auto h = MakeBattle({.skip_opening = false});
  h->Start();
  int most = 0;
  bool seen_active = false;
  ASSERT_TRUE(h->RunUntil("16120", [&] {
    most = std::max(most, Battle().fix_tasks.count);
    seen_active = seen_active || Map16BurstActive();
    return h->FrameOf("end 16120") >= 0;
  }, 6000));
  EXPECT_TRUE(seen_active);
  EXPECT_FALSE(Map16BurstActive());
  EXPECT_EQ(Battle().fix_tasks.count, 0) << "the standing figures gone";
  EXPECT_LE(most, 64);
}

TEST(Map16Bursts, TheDefeatsBurstKeepsItsParticlesWithinTheListAndEnds) {
  auto h = MakeBattle({.allowance = 0});
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  Pass(*h, 0);
  int most = 0;
  bool seen_active = false;
  ASSERT_TRUE(h->RunUntil("the defeat", [&] {
    most = std::max(most, Battle().fix_tasks.count);
    seen_active = seen_active || Map16BurstActive();
    return GameOverRunning();
  }, 3000));
  EXPECT_TRUE(seen_active);
  EXPECT_FALSE(Map16BurstActive());
  EXPECT_LE(most, 64);
}

TEST(Map16Bursts, NoFixedSpriteTaskOutlivesTheBattle) {
  auto h = MakeBattle({.skip_opening = false});
  h->Start();
  h->RunFrames(60);
  StartMap16Burst(600, 100, 16, 512, 256);
  h->RunFrames(5);
  ASSERT_GT(Battle().fix_tasks.count, 2);
  EndEventCheck();
  h->RunFrames(2);
  EXPECT_EQ(Battle().fix_tasks.count, 0);
  EXPECT_EQ(Ctx().game_task.FindTask("Slg::FixTask"), nullptr);
}

}  // namespace

namespace {

TEST(Map16Victory, WithoutTheHeroTheScrollIsSkippedAndTheSceneGoesOn) {
  auto h = MakeBattle();
  h->ExpectTrace("the hero is not on the map");
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  EventRemoveUnit(h->Unit(0, 0));
  Slg::PurgeDeadUnits();
  ASSERT_EQ(FindUnitByGroupKind(0, 0), nullptr);
  h->SetLife(2, kBossChar, 0);
  SetEventFlag(198);
  ASSERT_TRUE(h->RunUntil("16230", [&] { return h->FrameOf("end 16230") >= 0; }, 3000));
  EXPECT_EQ(Count(*h, "bg slide 108"), 1);
  EXPECT_EQ(Count(*h, "task Slg::GameWin"), 1);
}

}  // namespace

namespace {

// Flag 131 from the core: a generator (kind 44) whose defeat sequence ends sets it.
TEST(Map16Talker, ADefeatedGeneratorPlaysTheTalkersFirstLine) {
  constexpr int kGenerator = 50;
  auto h = MakeBattle();
  h->AddUnit(1, kGenerator, 44, 4, 1200, 200);
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(600));
  h->Defeat(1, kKoumaChar, 0, 3);
  h->Act(0, 3);
  ASSERT_TRUE(h->RunUntilIdle(3000));
  EXPECT_EQ(Map16State().talker, 3);
  EXPECT_EQ(h->FrameOf("start 16140"), -1);
  SetUnitState(*h->Unit(1, kGenerator), 15);
  ASSERT_TRUE(h->RunUntil("16140", [&] { return h->FrameOf("end 16140") >= 0; }, 3000));
  EXPECT_EQ(Count(*h, Line(3, 0)), 1);
  EXPECT_EQ(CheckEventFlag(131), 0);
  EXPECT_EQ(h->FrameOf("start 16150"), -1);
}

}  // namespace
