// Map 27's event script in real battles on the event harness: the table, the arrival and the
// first lines, the heroine menu, the gate opened by YSOL or by the bombardment, the reaction
// lines, YSOL's lines and the victory.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_enemy.h"
#include "battle/slg_events.h"
#include "battle/slg_start.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/commander_scenes.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/map27.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr int kMad = 18;
constexpr int kBossGroup = 2;
constexpr int kBoss = 24;
constexpr int kStage = 26;
constexpr int kYsol = 4;
// The arrival's and the first lines' flags: set at the install, they do not run.
constexpr int kOpeningFlags[] = {150, 153};
// The marked cell YSOL opens the gate from (map pixels).
constexpr SlgPoint kMark{1584, 792};

struct Map27Battle {
  std::unique_ptr<EventHarness> h;
};

// Map 27's battle on its small stage: the hero and heroines 1-6, soldiers of side 1 (characters
// 31-36), the boss (kind 24, group 2), the event objects 80-95; the attacks stubbed. `missing`
// leaves out those kinds (party members or event objects).
Map27Battle MakeBattle(const std::vector<int>& missing = {}) {
  auto left_out = [&](int kind) {
    return std::find(missing.begin(), missing.end(), kind) != missing.end();
  };
  testsupport::MapStage stage = *testsupport::FindMapStage(27);
  std::erase_if(stage.units, [&](const testsupport::MapStageUnit& u) {
    return u.side == 0 && left_out(u.kind);
  });
  std::erase_if(stage.objects,
                [&](const testsupport::MapStageObject& o) { return left_out(o.kind); });
  return {testsupport::MakeMapHarness(kMap27Setup, stage)};
}

std::vector<std::string> Starts(const EventHarness& h) { return h.Records("start"); }
size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}
// The story rows started (the generic rows' chance talks left out).
std::vector<std::string> StoryStarts(const EventHarness& h) {
  std::vector<std::string> out;
  for (const std::string& s : Starts(h)) {
    const int id = std::stoi(s.substr(6));
    if (id < 27500) out.push_back(s);
  }
  return out;
}
// The frame of the first record that starts with `prefix`; -1 when none.
int FrameStarting(const EventHarness& h, const std::string& prefix) {
  for (const auto& r : h.records()) {
    if (r.what.rfind(prefix, 0) == 0) return r.frame;
  }
  return -1;
}

// ---- The table ----

TEST(Map27Table, ItsRowsAreCleanAndInTheMapsOrder) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap27Setup).empty());
  std::vector<int> ids = {27150, 27151, 27152, 27153, 27157, 27160, 27165, 27170, 27185,
                          27195, 27196};
  for (int id = 27500; id <= 27505; ++id) ids.push_back(id);
  ids.push_back(27155);
  for (int id = 27520; id <= 27525; ++id) ids.push_back(id);
  for (int id = 27530; id <= 27535; ++id) ids.push_back(id);
  for (int id = 27610; id <= 27616; ++id) ids.push_back(id);
  std::vector<int> got;
  for (const SlgEventEntry* row = kMap27Setup.table; row->handler != nullptr; ++row) {
    got.push_back(row->id);
  }
  EXPECT_EQ(got, ids);
  EXPECT_EQ(kMap27Setup.anm_table.size(), 16u);
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap27Setup);
  const SlgEventEntry* t = kMap27Setup.table;
  EXPECT_STREQ(t[5].b, "F(400)|F(401)|F(402)|F(403)|F(404)|F(405)|F(406);");
  EXPECT_EQ(t[5].guard[0], 0) << "the reaction row runs again";
  EXPECT_STREQ(t[17].b, "NG(GZA)|(NP(IYS)&(T()>15));");
  EXPECT_EQ(t[17].guard[0], t[2].guard[0]) << "27152 and 27155 share their guard";
  for (int r = 11; r <= 16; ++r) {
    EXPECT_EQ(t[r].guard[0], 500 + (r - 11));
    EXPECT_EQ(t[r].set[0], 500 + (r - 11));
  }
  EXPECT_STREQ(t[30].c, "HP(IKD,0)|NP(IMR());");
  EXPECT_STREQ(t[35].b, "PP(ITZ)&R(20);");
  EXPECT_STREQ(t[36].b, "PP(IBS)&R(20);");
}

// ---- The arrival ----

TEST(Map27Arrival, ItRunsOnTheFirstFrameOnceAndTheMenuWaitsForTheBoss) {
  Map27Battle m = MakeBattle();
  EventHarness& h = *m.h;
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(3000));
  // 27150 first (nothing before it), then the first lines its flag lets through.
  EXPECT_EQ(StoryStarts(h), (std::vector<std::string>{"start 27150", "start 27153"}));
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{
                "message 12:10135", "message 147:10140", "message 111:10145", "message 75:10150",
                "message 138:10155", "message 210:10160", "message 12:10165", "message 147:3004",
                "message 110:60000", "message 209:60010", "message 11:60020", "message 209:60030",
                "message 209:60040", "message 15:60050", "message 209:60060", "message 11:60070",
                "message 147:60080"}));
  EXPECT_EQ(CheckEventFlag(150), 1);
  EXPECT_EQ(CommanderScenes().fixed_sprite_anm, kMap27FixedBefore);
  EXPECT_EQ(Battle().fix_tasks.count, 1);
  // The seven objects appear after the talk and go once the 120 frames' wait that starts the frame
  // after SE 130 has ended; the party shows.
  const int se = h.FrameOf("se 130");
  ASSERT_GE(se, 0);
  for (int kind = 80; kind <= 86; ++kind) {
    SCOPED_TRACE(kind);
    EXPECT_LT(FrameStarting(h, "deploy " + std::to_string(kind) + " entry"), se);
    EXPECT_EQ(FrameStarting(h, "remove " + std::to_string(kind) + " entry") - se, 121);
  }
  for (int c = 0; c <= 6; ++c) {
    const SlgUnit* u = h.Unit(0, c);
    ASSERT_NE(u, nullptr);
    EXPECT_NE(u->flags & kShowFlag, 0u) << c;
  }
  for (int c : {2, 3, 5, 6}) EXPECT_EQ(h.Unit(0, c)->dir, 1u) << c;

  // It never runs again; the menu waits for the boss's action.
  for (int turn = 0; turn < 2; ++turn) {
    h.BeginTurn();
    h.Act(0, 0);
    ASSERT_TRUE(h.RunUntilIdle(600));
  }
  EXPECT_EQ(Count(h, "start 27150"), 1u);
  EXPECT_EQ(Count(h, "start 27151"), 0u);
  h.Act(kBossGroup, kBoss);
  ASSERT_TRUE(h.RunUntilIdle(4000));
  h.Act(kBossGroup, kBoss);
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_EQ(Count(h, "start 27151"), 1u);
}

// ---- The heroine menu ----

TEST(Map27Menu, EachPathNamesItsHeroineAndAnyOtherResultNone) {
  const struct Case {
    std::vector<int> lines;  // the answers in turn; a page without one times out
    int heroine;             // 0: none
  } cases[] = {
      {{1}, 1},       {{2}, 2},    {{3, 1}, 3}, {{3, 2}, 4}, {{3, 3, 1}, 5},
      {{3, 3, 2}, 6}, {{}, 0},     {{3}, 0},    {{3, 3}, 0}, {{3, 3, 3}, 0},
  };
  constexpr std::array<int, 7> kFaces = {0, 30, 75, 111, 147, 210, 138};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.lines));
    Map27Battle m = MakeBattle();
    EventHarness& h = *m.h;
    for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    for (int heroine = 1; heroine <= 6; ++heroine) h.SetTrust(heroine, 30);
    for (int line : c.lines) h.AnswerChoice(line);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(600));
    h.Act(kBossGroup, kBoss);
    ASSERT_TRUE(h.RunUntilIdle(4000));
    EXPECT_EQ(StoryStarts(h), std::vector<std::string>{"start 27151"});
    std::vector<std::string> all = {"message 282:60090", "message 282:60100", "message 282:60110",
                                    "message 282:60120", "message 282:60125"};
    if (c.heroine == 0) {
      all.insert(all.end(), {"message 13:60270", "message 284:60271"});
    } else {
      const int at = 60210 + 10 * (c.heroine - 1);
      all.push_back("message 13:" + std::to_string(at));
      all.push_back("message " + std::to_string(kFaces[static_cast<size_t>(c.heroine)]) + ":" +
                    std::to_string(at + 1));
      all.push_back("message 283:" + std::to_string(at + 2));
    }
    EXPECT_EQ(h.Records("message"), all);
    for (int f = 430; f <= 436; ++f) EXPECT_EQ(CheckEventFlag(f), f == 430 + c.heroine) << f;
    for (int heroine = 1; heroine <= 6; ++heroine) {
      EXPECT_EQ(GetTrustVar(heroine), heroine == c.heroine ? 35 : 30) << heroine;
    }
    EXPECT_EQ(Count(h, "se 20"), c.heroine != 0 ? 1u : 0u);
  }
}

// ---- The gate ----

size_t GridIndex(SlgPoint p) {
  const SlgCell c = PosToCell(p.x, p.y);
  return static_cast<size_t>(c.row) * kSlgGridColumns + static_cast<size_t>(c.column);
}
// The move search's cost of the cell of `to` from the cell up and to the left of it.
uint16_t MoveCost(SlgPoint to) {
  const SlgPoint from = SnapPosToCell(to.x - 48, to.y - 24);
  Slg::MoveSearch(0, {static_cast<int16_t>(from.x), static_cast<int16_t>(from.y)}, 3);
  return Battle().search.range_cost[GridIndex(to)];
}
std::vector<SlgPoint> GateCells() {
  std::vector<SlgPoint> cells;
  for (SlgPoint half : kMap27GateHalves) cells.push_back({half.x * 2, half.y * 2});
  return cells;
}
// The arrival's fixed sprite added and the gate cells closed in both grids.
void CloseTheGate(EventHarness& h) {
  AddFixedSprite(kMap27FixedBefore, kMap27FixedX, kMap27FixedY);
  for (SlgPoint p : GateCells()) {
    Battle().cell_grid[GridIndex(p)] |= kBlockedCellBits;
    Battle().cell_grid2[GridIndex(p)] |= kBlockedCellBits;
  }
  Battle().state.acting_unit = h.Unit(0, 0)->slot;
  for (SlgPoint p : GateCells()) EXPECT_EQ(MoveCost(p), 255) << p.x << "," << p.y;
}
void ExpectTheGateOpen(EventHarness& h) {
  for (SlgPoint p : GateCells()) {
    SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
    EXPECT_EQ(Battle().cell_grid[GridIndex(p)] & kBlockedCellBits, 0u);
    EXPECT_EQ(Battle().cell_grid2[GridIndex(p)] & kBlockedCellBits, 0u);
    Battle().state.acting_unit = h.Unit(0, 0)->slot;
    EXPECT_LT(MoveCost(p), 255) << "the move search passes";
  }
}
// The five volley objects one every 8 frames, each with SE 135, before the white-out.
void ExpectTheVolley(const EventHarness& h) {
  std::vector<int> volley;
  for (int kind = 87; kind <= 91; ++kind) {
    volley.push_back(FrameStarting(h, "deploy " + std::to_string(kind) + " entry"));
  }
  for (size_t n = 1; n < volley.size(); ++n) EXPECT_EQ(volley[n] - volley[n - 1], 8) << n;
  EXPECT_EQ(Count(h, "se 135"), 5u);
  EXPECT_LT(volley.back(), h.FrameOf("fade 256 white"));
}

TEST(Map27Gate, YsolOnTheMarkOpensTheGateAndTheBombardmentNeverFollows) {
  Map27Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  h.SetFlagAtInstall(151);
  h.Start();
  CloseTheGate(h);
  SlgEffectTask* before = CommanderScenes().fixed_sprite;
  ASSERT_TRUE(h.RunUntilIdle(600));
  // Anywhere else her action does nothing.
  h.Act(0, kYsol);
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_TRUE(StoryStarts(h).empty());
  const SlgPoint mark = CellToPosHeight(kMark.x, kMark.y);
  h.MoveTo(0, kYsol, mark.x, mark.y);
  h.Act(0, kYsol);
  ASSERT_TRUE(h.RunUntilIdle(4000));
  EXPECT_EQ(StoryStarts(h), (std::vector<std::string>{"start 27152", "start 27157"}));
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 147:10175", "message 11:10180",
                                      "message 282:3038"}));
  EXPECT_GE(h.FrameOf("se 233"), 0);
  ExpectTheVolley(h);
  ExpectTheGateOpen(h);
  EXPECT_EQ(CommanderScenes().fixed_sprite_anm, kMap27FixedAfter);
  EXPECT_NE(CommanderScenes().fixed_sprite, before);
  EXPECT_EQ(Battle().fix_tasks.count, 1);
  EXPECT_GE(h.FrameOf("bgm 16"), 0);
  EXPECT_EQ(CheckEventFlag(159), 1);

  // The soldiers gone after the turn 15: the bombardment's row stays shut.
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& u = Battle().state.units[i];
    if (u.side == 1) EventRemoveUnit(&u);
  }
  for (int t = 0; t < 16; ++t) h.BeginTurn();
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_EQ(Count(h, "start 27155"), 0u);
  EXPECT_EQ(Count(h, "start 27152"), 1u);
}

TEST(Map27Gate, TheBombardmentOpensItWithoutYsolAfterTurnFifteenOrWithTheSoldiersGone) {
  for (const bool by_turn : {true, false}) {
    SCOPED_TRACE(by_turn ? "NP(IYS) & T() > 15" : "NG(GZA)");
    Map27Battle m = by_turn ? MakeBattle({kYsol}) : MakeBattle();
    EventHarness& h = *m.h;
    for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    h.SetFlagAtInstall(151);
    h.Start();
    CloseTheGate(h);
    SlgEffectTask* before = CommanderScenes().fixed_sprite;
    ASSERT_TRUE(h.RunUntilIdle(600));
    if (by_turn) {
      for (int t = 0; t < 14; ++t) h.BeginTurn();  // round 15
      ASSERT_TRUE(h.RunUntilIdle(600));
      EXPECT_TRUE(StoryStarts(h).empty()) << "not on turn 15";
      h.BeginTurn();
    } else {
      for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
        SlgUnit& u = Battle().state.units[i];
        if (u.side == 1) EventRemoveUnit(&u);
      }
      h.BeginTurn();  // round 2
    }
    ASSERT_TRUE(h.RunUntilIdle(4000));
    EXPECT_EQ(StoryStarts(h), (std::vector<std::string>{"start 27155", "start 27157"}));
    std::vector<std::string> messages = {"message 239:10205", "message 239:10210",
                                         "message 11:10180", "message 282:3038"};
    // Without YSOL her fall plays first.
    if (by_turn) messages.insert(messages.begin(), "message 162:2096");
    EXPECT_EQ(h.Records("message"), messages);
    // The shell follows the cannon's flash once the 60 frames' wait has ended.
    EXPECT_GE(FrameStarting(h, "deploy 92 entry"), 0);
    EXPECT_EQ(FrameStarting(h, "deploy 93 entry") - FrameStarting(h, "deploy 92 entry"), 61);
    ExpectTheVolley(h);
    ExpectTheGateOpen(h);
    // The ruined gate is the object of kind 94; the arrival's fixed sprite stays as it was.
    EXPECT_GT(FrameStarting(h, "deploy 94 entry"), FrameStarting(h, "fade 256 white"));
    EXPECT_LT(FrameStarting(h, "deploy 94 entry"), FrameStarting(h, "fade 0 white"));
    EXPECT_EQ(CommanderScenes().fixed_sprite, before);
    EXPECT_EQ(CommanderScenes().fixed_sprite_anm, kMap27FixedBefore);

    if (!by_turn) {
      // YSOL on her mark afterwards: 27152 stays shut.
      const SlgPoint mark = CellToPosHeight(kMark.x, kMark.y);
      h.MoveTo(0, kYsol, mark.x, mark.y);
      h.Act(0, kYsol);
      ASSERT_TRUE(h.RunUntilIdle(600));
      EXPECT_EQ(Count(h, "start 27152"), 0u);
    }
  }
}

TEST(Map27Gate, WithoutTheShellObjectTheBombardmentDoesNotHold) {
  Map27Battle m = MakeBattle({kYsol, 93});
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  h.SetFlagAtInstall(151);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  for (int t = 0; t < 15; ++t) h.BeginTurn();
  ASSERT_TRUE(h.RunUntilIdle(4000));
  EXPECT_GE(h.FrameOf("end 27155"), 0);
  EXPECT_EQ(Count(h, "se 135"), 5u);
}

TEST(Map27Objects, TheCannonFlashDrawsInFrontInShadeMode24576) {
  Map27Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  EventDeployKind(92);
  h.RunFrames(2);
  const SlgUnit* flash = FindUnitByKind(92);
  ASSERT_TRUE(flash != nullptr && flash->anm != nullptr);
  EXPECT_EQ(flash->anm->shade, 24576);
  EXPECT_EQ(flash->anm->depth, -1100);
}

// ---- The reaction lines and YSOL's lines ----

TEST(Map27Reactions, TwoRequestsGiveTwoRunsHighestFirst) {
  Map27Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  SetEventFlag(400);
  SetEventFlag(404);
  for (int turn = 0; turn < 3; ++turn) {
    h.BeginTurn();
    ASSERT_TRUE(h.RunUntilIdle(1000));
  }
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 150:10250", "message 15:10220"}));
  EXPECT_EQ(Count(h, "start 27160"), 2u);
  for (int f = 400; f <= 406; ++f) EXPECT_EQ(CheckEventFlag(f), 0) << f;
}

TEST(Map27Reactions, YsolsLinesNeedHerMadWithTrust25AndTheWayShut) {
  const struct Case {
    int trust;
    bool way_open;
    size_t runs;
  } cases[] = {{25, false, 1}, {24, false, 0}, {40, true, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.trust << (c.way_open ? " after 159" : ""));
    Map27Battle m = MakeBattle();
    EventHarness& h = *m.h;
    for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    h.SetFlagAtInstall(151);
    if (c.way_open) {
      h.SetFlagAtInstall(159);
      h.SetFlagAtInstall(157);
    }
    h.SetTrust(kYsol, c.trust);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(600));
    for (int n = 0; n < 2; ++n) {
      h.Act(0, kYsol);
      h.Command(kMad);
      ASSERT_TRUE(h.RunUntilIdle(600));
    }
    EXPECT_EQ(Count(h, "start 27170"), c.runs);
    if (c.runs == 1) {
      const auto messages = h.Records("message");
      const std::vector<std::string> lines = {"message 239:35000", "message 147:35001",
                                              "message 147:35002", "message 240:35004"};
      EXPECT_TRUE(std::search(messages.begin(), messages.end(), lines.begin(), lines.end()) !=
                  messages.end());
    }
    // The taunt: 27195 while the way is shut, 27196 once it is open.
    EXPECT_GE(Count(h, c.way_open ? "start 27196" : "start 27195"), 1u);
    EXPECT_EQ(Count(h, c.way_open ? "start 27195" : "start 27196"), 0u);
  }
}

TEST(Map27Reactions, TheBossPullsTheChosenHeroineFiveAndHerLineFollows) {
  Map27Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  h.SetFlagAtInstall(151);  // the menu has been answered: heroine 5
  h.SetFlagAtInstall(435);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  SlgUnit* five = h.Unit(0, 5);
  ASSERT_NE(five, nullptr);
  const int32_t from_x = five->x;
  h.Act(kBossGroup, kBoss);
  h.RunFrames(1);
  ASSERT_EQ(Battle().state.acting_unit, h.Unit(kBossGroup, kBoss)->slot);
  SlgMainWork work{};
  for (int f = 0; f < 120 && CheckEventFlag(405) == 0; ++f) {
    EnemyPhaseStep(&work);
    h.RunFrames(1);
  }
  EXPECT_EQ(CheckEventFlag(405), 1) << "heroine 5 was pulled";
  EXPECT_NE(h.Unit(0, 5)->x, from_x);
  h.BeginTurn();
  ASSERT_TRUE(h.RunUntilIdle(1000));
  EXPECT_EQ(h.Records("message"), std::vector<std::string>{"message 213:10245"});
  EXPECT_EQ(CheckEventFlag(405), 0);
}

// ---- The victory ----

TEST(Map27Victory, ItWaitsForFlag198AndWinsOnce) {
  Map27Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  for (int f : {151, 159, 157}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.SetLife(kBossGroup, kBoss, 0);
  h.BeginTurn();
  h.RunFrames(120);
  EXPECT_EQ(StoryStarts(h), std::vector<std::string>{"start 27185"});
  EXPECT_TRUE(h.Records("message").empty()) << "nothing before flag 198";
  SetEventFlag(198);
  ASSERT_TRUE(h.RunUntil("the victory", [&] { return h.FrameOf("end 27185") >= 0; }, 2000));
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 147:586", "message 147:587"}));
  EXPECT_GE(h.FrameOf("bgm 18"), 0);
  EXPECT_LT(h.FrameOf("bgm 18"), h.FrameOf("message 147:586"));
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    const SlgUnit& u = Battle().state.units[i];
    EXPECT_FALSE(u.side == 1 && SlgUnitLive(u) && u.state != 15) << "a soldier still stands";
  }
  h.RunFrames(30);
  EXPECT_EQ(Count(h, "start 27185"), 1u);
}

TEST(Map27Victory, Flag407KeepsTheRowShut) {
  Map27Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  for (int f : {151, 159, 157, 407, 198}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.SetLife(kBossGroup, kBoss, 0);
  h.BeginTurn();
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_EQ(Count(h, "start 27185"), 0u);
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 0u);
}

// ---- The whole story ----

TEST(Map27Story, ArrivalMenuYsolsGateAndVictoryInTurn) {
  Map27Battle m = MakeBattle();
  EventHarness& h = *m.h;
  h.AnswerChoice(2);  // heroine 2
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(3000));
  h.Act(kBossGroup, kBoss);
  ASSERT_TRUE(h.RunUntilIdle(4000));
  const SlgPoint mark = CellToPosHeight(kMark.x, kMark.y);
  h.MoveTo(0, kYsol, mark.x, mark.y);
  h.Act(0, kYsol);
  ASSERT_TRUE(h.RunUntilIdle(4000));
  h.SetLife(kBossGroup, kBoss, 0);
  h.BeginTurn();
  h.RunFrames(2);
  SetEventFlag(198);
  ASSERT_TRUE(h.RunUntil("the victory", [&] { return h.FrameOf("task Slg::GameWin") >= 0; },
                         3000));
  EXPECT_EQ(StoryStarts(h),
            (std::vector<std::string>{"start 27150", "start 27153", "start 27151", "start 27152",
                                      "start 27157", "start 27185"}));
  EXPECT_EQ(CheckEventFlag(432), 1);
  ExpectTheGateOpen(h);
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
}

}  // namespace
