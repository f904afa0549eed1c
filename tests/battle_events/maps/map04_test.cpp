// Map 4's event script in real battles on the event harness: the table against the goal rows'
// two lists, the scout's opening with its strike and the apparitions, the enemy's arrival and the
// leading heroine's face, the taunts in turn, the goal area and the goal cell, the victory with
// the flying carrier, the hero's jump and its effect, and the wind-driven particles.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_formulas.h"
#include "battle/slg_geometry.h"
#include "battle/slg_screen.h"
#include "battle/slg_search.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/map_common.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/map04.h"
#include "battle_events/runtime/event_tone.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr int kMad = 18;
constexpr int kOpponentGroup = 2;
constexpr int kOpponentCharacter = 9;
constexpr uint32_t kCellBlocked = 0x400;

// The party's start, away from the goal area.
constexpr int kPartyX = 500;
constexpr int kPartyY = 1000;

struct Map04Battle {
  std::unique_ptr<EventHarness> h;
  std::array<int, 7> party_entry{};  // by character
  std::vector<std::pair<int, int>> reinforcements;  // (kind, entry) of numbers 7-27, not present at the start
  int commander = -1;
};

// Map 4's battle on its small stage: the hero and heroines 1, 2, 3, 5 and 6 (and 4 when asked), the
// scout (heroine 3) near the start of her walk, soldiers of kind 14 numbers 1-6 along her way, some
// of the reinforcements (numbers 7-27 of kinds 14-16) not present at the start, the opponent (group
// 2, character 9), the commander (kind 23) and the event objects 80-100; the attacks stubbed unless
// `real_scout_attack` (the scout's own attack routine then plays the strike). `missing_kind`: an
// event object whose entry the stage lacks; `seed`: the engine generator's.
Map04Battle MakeBattle(bool real_scout_attack = false, bool with_character4 = false,
                       int missing_kind = 0, uint32_t seed = 1) {
  testsupport::MapStage stage = *testsupport::FindMapStage(4);
  if (with_character4) {
    // After the scout, before the soldiers.
    const auto scout = std::find_if(stage.units.begin(), stage.units.end(),
                                    [](const testsupport::MapStageUnit& u) {
                                      return u.side == 0 && u.character == 3;
                                    });
    stage.units.insert(scout + 1, {0, 4, 4, 0, kPartyX, kPartyY + 96});
  }
  std::erase_if(stage.objects,
                [&](const testsupport::MapStageObject& o) { return o.kind == missing_kind; });
  if (real_scout_attack) std::erase(stage.stub_kinds, 3);
  EventHarness::Options options;
  options.rig.seed = seed;
  Map04Battle m;
  m.h = testsupport::MakeMapHarness(kMap04Setup, stage, options);
  EventHarness& h = *m.h;
  h.SetRandom({99});  // no turn remark
  for (int c = 1; c <= 6; ++c) {
    m.party_entry[static_cast<size_t>(c)] = testsupport::StageEntryOf(h, 0, c);
  }
  for (const testsupport::MapStageUnit& u : stage.units) {
    if (!u.present) {
      m.reinforcements.push_back({u.kind, testsupport::StageEntryOf(h, u.side, u.character)});
    }
  }
  m.commander = testsupport::StageEntryOf(h, 1, 30);
  return m;
}

std::vector<std::string> Starts(const EventHarness& h) { return h.Records("start"); }
size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}

// The live unit of a kind and placement number.
const SlgUnit* Numbered(int kind, int number) {
  const SlgUnit* u = FindUnitByIndex(kind, number * 256);
  return u != nullptr && SlgUnitLive(*u) ? u : nullptr;
}
const SlgUnit* LiveObject(int kind) {
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    const SlgUnit& u = Battle().state.units[i];
    if (u.kind == kind && SlgUnitLive(u) && (u.deploy_state == 1 || u.deploy_state == 2)) {
      return &u;
    }
  }
  return nullptr;
}
uint32_t GridWord(const SlgGrid& grid, int x, int y) {
  const SlgPoint p = SnapPosToCell(x, y);
  int index = 0;
  EXPECT_TRUE(SlgSearchCellIndex(p.x, p.y, &index));
  return grid[static_cast<size_t>(index)];
}

// ---- The table ----

constexpr const char* kGoalCodes[] = {"IKD", "ITV", "IDV", "ITZ", "IBS"};

std::string OnCell(const std::string& code, int x, int y) {
  const std::string cell = "(" + std::to_string(x) + "," + std::to_string(y) + ")";
  return "XGU(GPL," + code + ")=XF" + cell + "&YGU(GPL," + code + ")=YF" + cell + ";";
}

TEST(Map04Table, ItsRowsAreCleanInTheMapsOrderAndTheGoalRowsFollowTheirTwoLists) {
  EXPECT_TRUE(testsupport::LintMapSetup(3, kMap04Setup).empty());
  EXPECT_EQ(kMapEventSetupTable[3], &kMap04Setup);
  EXPECT_EQ(kMap04Setup.anm_table.size(), 21u);
  EXPECT_EQ(kMap04Setup.bgm, MapBgm::None());
  std::vector<const SlgEventEntry*> rows;
  for (const SlgEventEntry* row = kMap04Setup.table; row->handler != nullptr; ++row) {
    rows.push_back(row);
  }
  ASSERT_EQ(rows.size(), 48u);
  std::vector<int> ids;
  for (const SlgEventEntry* row : rows) ids.push_back(row->id);
  std::vector<int> want = {4099, 4100, 4101, 4102, 4103};
  want.insert(want.end(), 20, 4104);
  want.push_back(4105);
  want.insert(want.end(), 5, 4106);
  for (int id : {500, 501, 504, 505, 520, 521, 524, 525, 530, 531, 534, 535, 600, 601, 602, 605,
                 606}) {
    want.push_back(id);
  }
  EXPECT_EQ(ids, want);

  // Rows 5-24: each character of the list on each goal cell; rows 26-30: each on the goal cell.
  size_t at = 5;
  for (const char* code : kGoalCodes) {
    for (const auto& p : kMap04GoalArea) {
      SCOPED_TRACE(at);
      EXPECT_EQ(rows[at]->b, OnCell(code, p[0], p[1]));
      EXPECT_EQ(rows[at]->c, "NP(" + std::string(code) + ");");
      EXPECT_EQ(rows[at]->timing, 0x4);
      EXPECT_EQ(rows[at]->guard[0], 104);
      ++at;
    }
  }
  EXPECT_STREQ(rows[24]->b, "XGU(GPL,IBS)=XF(1148,480)&YGU(GPL,IBS)=YF(1148,480);");
  EXPECT_STREQ(rows[24]->c, "NP(IBS);");
  at = 26;
  for (const char* code : kGoalCodes) {
    SCOPED_TRACE(at);
    EXPECT_EQ(rows[at]->b, OnCell(code, 1078, 528));
    EXPECT_EQ(rows[at]->c, "NP(" + std::string(code) + ");");
    EXPECT_STREQ(rows[at]->a, "F(104);");
    EXPECT_EQ(rows[at]->guard[0], 106);
    ++at;
  }
  EXPECT_STREQ(rows[30]->b, "XGU(GPL,IBS)=XF(1078,528)&YGU(GPL,IBS)=YF(1078,528);");
  EXPECT_STREQ(rows[30]->c, "NP(IBS);");

  // The taunts' rotation flags and the generic rows' arguments as the map writes them.
  const struct {
    size_t row;
    int16_t guard, set, clear;
  } taunts[] = {{2, 101, 101, 102}, {3, 102, 102, 103}, {4, 103, 103, 101}};
  for (const auto& t : taunts) {
    EXPECT_EQ(rows[t.row]->guard[0], t.guard);
    EXPECT_EQ(rows[t.row]->guard[1], 104);
    EXPECT_EQ(rows[t.row]->set[0], t.set);
    EXPECT_EQ(rows[t.row]->clear[0], t.clear);
  }
  EXPECT_STREQ(rows[43]->b, "PP(IKD)&R(10);");
  EXPECT_STREQ(rows[43]->c, "HP(IKD,0)|NP(IMR());");
  const auto* favourite = static_cast<const FavouriteArgs*>(rows[43]->arg);
  EXPECT_EQ(favourite->references[6], (EventMessageRef{102, 2069}));
  EXPECT_EQ(favourite->references[8], (EventMessageRef{4, 2093}));
}

// ---- Opening 4099 ----

TEST(Map04Opening, TheScoutsOpeningPlaysToItsEnd) {
  Map04Battle m = MakeBattle();
  EventHarness& h = *m.h;
  h.Start();

  // The apparitions: still and transparent when they come, fully shown once fade A has ended.
  ASSERT_TRUE(h.RunUntil("apparitions", [] { return LiveObject(80) != nullptr; }, 6000));
  h.RunFrames(1);
  for (int kind = 80; kind <= 83; ++kind) {
    const SlgUnit* a = LiveObject(kind);
    ASSERT_NE(a, nullptr) << kind;
    EXPECT_EQ(SlgSprGetAlpha(a->anm), 0u) << kind;
    EXPECT_EQ(a->anm->shade, kToneShade) << kind;
  }
  EXPECT_EQ(Battle().event_words.acting_mode[0], 1u);
  ASSERT_TRUE(h.RunUntil("fade A", [] { return Map04State().apparition == 1; }, 600));
  for (int kind = 80; kind <= 83; ++kind) {
    const SlgUnit* a = LiveObject(kind);
    ASSERT_NE(a, nullptr) << kind;
    EXPECT_EQ(SlgSprGetAlpha(a->anm), 256u) << kind;
    EXPECT_EQ(a->anm->shade, 0u) << kind;
  }
  ASSERT_TRUE(h.RunUntil("apparition 84", [] { return LiveObject(84) != nullptr; }, 60));
  h.RunFrames(2);
  ASSERT_NE(LiveObject(84), nullptr);
  EXPECT_EQ(SlgSprGetAlpha(LiveObject(84)->anm), 0u);
  EXPECT_EQ(SlgSprGetAlpha(LiveObject(80)->anm), 256u) << "out of tone control";
  ASSERT_TRUE(h.RunUntil("fade B", [] { return Map04State().apparition == 1; }, 600));
  ASSERT_NE(LiveObject(84), nullptr);
  EXPECT_EQ(SlgSprGetAlpha(LiveObject(84)->anm), 256u);
  h.RunFrames(1);
  EXPECT_EQ(LiveObject(84), nullptr) << "the apparitions go the frame after";

  // The strike leaves the opponent at life 10.
  ASSERT_TRUE(h.RunUntil("strike", [&] { return h.FrameOf("message 105:40003") >= 0; }, 3000));
  const SlgUnit* opponent = FindUnitByGroupKind(kOpponentGroup, kOpponentCharacter);
  ASSERT_NE(opponent, nullptr);
  EXPECT_EQ(opponent->stats.life, 10);
  EXPECT_EQ(opponent->flags & kUnitInDamageList, 0u);

  ASSERT_TRUE(h.RunUntil("4099", [&] { return h.FrameOf("end 4099") >= 0; }, 3000));
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 103:40000", "message 103:40001",
                                      "message 278:40002", "message 279:40041",
                                      "message 105:40003"}));
  EXPECT_GE(h.FrameOf("bgm 30"), 0);
  EXPECT_EQ(h.Records("deploy 100 ").size(), 1u);
  EXPECT_EQ(LivePartyUnit(3), nullptr) << "the scout has fallen";
  for (int n = 3; n <= 6; ++n) EXPECT_EQ(Numbered(14, n), nullptr) << n;
  const SlgUnit* gone = FindUnitByGroupKind(kOpponentGroup, kOpponentCharacter);
  EXPECT_TRUE(gone == nullptr || !SlgUnitLive(*gone));
  EXPECT_NE(LiveObject(96), nullptr);
  EXPECT_NE(GridWord(Battle().cell_grid, 1100, 504) & kCellBlocked, 0u);
  EXPECT_NE(GridWord(Battle().cell_grid2, 1100, 504) & kCellBlocked, 0u);
  EXPECT_EQ(Battle().event_words.acting_mode, (std::array<uint32_t, 2>{0, 0}));

  // The player's move search keeps off the blocked cell.
  const SlgPoint blocked = SnapPosToCell(1100, 504);
  const SlgPoint from = SnapPosToCell(1004, 554);
  Slg::MoveSearch(0, {static_cast<int16_t>(from.x), static_cast<int16_t>(from.y)}, 6);
  ASSERT_GT(Battle().search.range_count, 0u);
  for (uint32_t i = 0; i < Battle().search.range_count; ++i) {
    const SlgRangePos p = Battle().search.range_list[static_cast<size_t>(i)];
    EXPECT_FALSE(p.x == blocked.x && p.y == blocked.y) << "the blocked cell is listed";
  }

  // Opening 4100 follows.
  ASSERT_TRUE(h.RunUntilIdle(4000));
  EXPECT_EQ(Starts(h), (std::vector<std::string>{"start 4099", "start 4100"}));
}

TEST(Map04Opening, TheScoutsRealAttackEndsTheStrike) {
  Map04Battle m = MakeBattle(true);
  EventHarness& h = *m.h;
  h.Start();
  ASSERT_TRUE(h.RunUntil("strike", [&] { return h.FrameOf("message 105:40003") >= 0; }, 8000));
  const SlgUnit* opponent = FindUnitByGroupKind(kOpponentGroup, kOpponentCharacter);
  ASSERT_NE(opponent, nullptr);
  EXPECT_EQ(opponent->stats.life, 10);
  ASSERT_TRUE(h.RunUntil("4099", [&] { return h.FrameOf("end 4099") >= 0; }, 3000));
  EXPECT_EQ(Battle().event_words.acting_mode, (std::array<uint32_t, 2>{0, 0}));
}

// Without the scout the opening's walks, strikes and falls complete at once, the strike is
// traced and her effect (kind 100) is never deployed; deployed by hand it goes at once.
TEST(Map04Opening, WithoutTheScoutTheOpeningStillEnds) {
  Map04Battle m = MakeBattle();
  EventHarness& h = *m.h;
  h.ExpectTrace("no scout for the scout's strike");
  h.install.stage.units[static_cast<size_t>(m.party_entry[3])].present = 0;
  h.Start();
  ASSERT_TRUE(h.RunUntil("4099", [&] { return h.FrameOf("end 4099") >= 0; }, 6000));
  EXPECT_TRUE(h.Records("deploy 100").empty());
  const SlgUnit* opponent = FindUnitByGroupKind(kOpponentGroup, kOpponentCharacter);
  EXPECT_TRUE(opponent == nullptr || !SlgUnitLive(*opponent));

  EventDeployKind(100);
  h.RunFrames(2);
  EXPECT_EQ(LiveObject(100), nullptr) << "the effect undeploys itself without the scout";
}

// ---- Opening 4100 ----

TEST(Map04Arrival, TheReinforcementsComeAndTheLeadingHeroineSpeaks) {
  const struct {
    int top;
    int face;
  } cases[] = {{1, 29}, {2, 74}, {3, 29}, {4, 29}, {5, 209}, {6, 137}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.top);
    Map04Battle m = MakeBattle();
    EventHarness& h = *m.h;
    for (int heroine = 1; heroine <= 6; ++heroine) {
      const int var = kTrustSaveVars[static_cast<size_t>(6 + heroine - 1)];
      h.SetP(var, static_cast<uint16_t>(32768 + (heroine == c.top ? 20 : 0)));
    }
    h.SetFlagAtInstall(99);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(4000));
    ASSERT_EQ(GetTopHeroineVar2(), c.top);
    EXPECT_EQ(Starts(h), std::vector<std::string>{"start 4100"});
    EXPECT_EQ(h.Records("message"),
              (std::vector<std::string>{"message 137:3337", "message 33:40004",
                                        "message 15:40005", "message 239:40040",
                                        "message 15:40006",
                                        "message " + std::to_string(c.face) + ":40007"}));
    for (const auto& [kind, e] : m.reinforcements) {
      EXPECT_EQ(Count(h, "deploy " + std::to_string(kind) + " entry " + std::to_string(e)), 1u)
          << "entry " << e;
    }
    EXPECT_NE(Numbered(14, 7), nullptr);
    EXPECT_NE(Numbered(14, 27), nullptr);
    EXPECT_NE(Numbered(15, 8), nullptr);
    EXPECT_NE(Numbered(16, 12), nullptr);
    const auto bgm = h.Records("bgm");
    ASSERT_FALSE(bgm.empty());
    EXPECT_EQ(bgm.back(), "bgm 27");
    EXPECT_LT(h.FrameOf("bgm 12"), h.FrameOf("bgm 27"));
    for (int kind : {0, 1, 2, 5, 6}) {
      const SlgUnit* u = FindUnitByKind(kind);
      ASSERT_NE(u, nullptr);
      EXPECT_NE(u->flags & 0x80u, 0u) << "kind " << kind << " shown";
    }
  }
}

// ---- The taunts ----

TEST(Map04Talks, TheTauntsRotateUntilTheGoalAreaThenOnlyTheLateTaunt) {
  Map04Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : {99, 100}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  auto taunt = [&] {
    h.Command(kMad);
    ASSERT_TRUE(h.RunUntilIdle(600));
    h.Command(2);  // another command starts nothing
    ASSERT_TRUE(h.RunUntilIdle(600));
  };
  for (int i = 0; i < 4; ++i) taunt();
  SetEventFlag(104);
  for (int i = 0; i < 3; ++i) taunt();
  EXPECT_EQ(Starts(h), (std::vector<std::string>{"start 4101", "start 4102", "start 4103",
                                                 "start 4101", "start 4105", "start 4105",
                                                 "start 4105"}));
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 239:40008", "message 239:40009",
                                      "message 239:40010", "message 239:40008",
                                      "message 239:40016", "message 239:40016",
                                      "message 239:40016"}));
}

// ---- The goal area ----

TEST(Map04Goal, EachCharacterOnEachGoalCellReachesTheGoalAreaOnce) {
  const std::array<std::string, 7> lines = {"message 15:40011", "message 33:40012",
                                            "message 78:40013", "",
                                            "",                 "message 213:40015",
                                            "message 141:40014"};
  for (int c : kMap04GoalCharacters) {
    SCOPED_TRACE(c);
    Map04Battle m = MakeBattle();
    EventHarness& h = *m.h;
    for (int f : {99, 100}) h.SetFlagAtInstall(f);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(600));
    for (const auto& p : kMap04GoalArea) {
      SCOPED_TRACE(testing::Message() << "(" << p[0] << ", " << p[1] << ")");
      ClearEventFlag(104);
      const size_t before = Count(h, "start 4104");
      h.MoveTo(0, c, p[0], p[1]);
      h.Act(0, c);
      ASSERT_TRUE(h.RunUntilIdle(2000));
      EXPECT_EQ(Count(h, "start 4104"), before + 1);
      EXPECT_EQ(h.Records("message").back(), lines[static_cast<size_t>(c)]);
      EXPECT_EQ(Map04State().goal_character, c);
      h.MoveTo(0, c, kPartyX + 96 * c, kPartyY);
    }
    EXPECT_EQ(Count(h, "start 4106"), 0u);
    EXPECT_NE(LiveObject(95), nullptr) << "the marker";
    EXPECT_EQ(Count(h, "se 227"), kMap04GoalArea.size());
  }
}

TEST(Map04Goal, HeroinesThreeAndFourReachNothing) {
  Map04Battle m = MakeBattle(false, true);
  EventHarness& h = *m.h;
  for (int f : {99, 100}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  for (int c : {3, 4}) {
    for (const auto& p : kMap04GoalArea) {
      h.MoveTo(0, c, p[0], p[1]);
      h.Act(0, c);
      ASSERT_TRUE(h.RunUntilIdle(600));
    }
    h.MoveTo(0, c, kPartyX + 96 * c, kPartyY + 96);
  }
  EXPECT_TRUE(Starts(h).empty());
}

TEST(Map04Goal, TheGoalCellFirstReachesTheAreaAndWinsAtALaterCheck) {
  Map04Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : {99, 100}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.MoveTo(0, 0, 1078, 528);
  h.Act(0, 0);
  ASSERT_TRUE(h.RunUntilIdle(2000));
  EXPECT_EQ(Starts(h), std::vector<std::string>{"start 4104"});
  h.Command(2);
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_EQ(Starts(h), std::vector<std::string>{"start 4104"}) << "no 0x4 check yet";
  h.Act(0, 0);
  ASSERT_TRUE(h.RunUntil("4106", [&] { return h.FrameOf("start 4106") >= 0; }, 600));
}

// ---- The victory ----

TEST(Map04Victory, TheSoldiersGoTheAbsentComeBackAndTheHeroBoardsTheCarrier) {
  Map04Battle m = MakeBattle();
  EventHarness& h = *m.h;
  // Heroines 2 and 5 are not on the map when the goal cell is reached (fallen).
  for (int c : {2, 5}) h.install.stage.units[static_cast<size_t>(m.party_entry[c])].present = 0;
  for (int f : {99, 100, 104, 501, 505}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  ASSERT_EQ(LivePartyUnit(2), nullptr);
  ASSERT_EQ(LivePartyUnit(5), nullptr);
  h.MoveTo(0, 0, 1078, 528);
  h.Act(0, 0);

  // The soldiers fade out under tone control, then leave.
  ASSERT_TRUE(h.RunUntil("fading", [] {
    const SlgUnit* s = Numbered(14, 1);
    return s != nullptr && s->anm->shade == kToneShade && SlgSprGetAlpha(s->anm) < 128;
  }, 600));
  ASSERT_TRUE(h.RunUntil("goal line", [&] { return h.FrameOf("message 15:40017") >= 0; }, 600));
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    const SlgUnit& u = Battle().state.units[i];
    EXPECT_FALSE(u.kind >= 14 && u.kind <= 16 && SlgUnitLive(u)) << "kind " << int(u.kind);
  }

  // The carrier arrives: the scene waits for its first signal.
  ASSERT_TRUE(h.RunUntil("carrier", [] { return LiveObject(97) != nullptr; }, 2000));
  h.RunFrames(200);
  EXPECT_LT(h.FrameOf("message 74:40029"), 0) << "waits for the carrier";
  const std::array<std::pair<int, SlgPoint>, 5> closing = {
      {{0, {1008, 504}}, {1, {1106, 554}}, {2, {1104, 604}}, {5, {910, 504}}, {6, {1004, 556}}}};
  for (const auto& [c, at] : closing) {
    SCOPED_TRACE(c);
    const SlgUnit* u = LivePartyUnit(c);
    ASSERT_NE(u, nullptr);
    const SlgPoint want = SnapPosToCell(at.x, at.y);
    const SlgPoint got = SnapPosToCell(u->x >> 16, u->y >> 16);
    EXPECT_EQ(got.x, want.x);
    EXPECT_EQ(got.y, want.y);
    EXPECT_EQ(u->dir, 0u);
  }
  for (int c : {2, 5}) EXPECT_GT(LivePartyUnit(c)->stats.life, 0) << c;

  // The carrier flies in and stops beside the goal: its first signal lets the scene go on.
  ASSERT_TRUE(h.RunUntil("carrier stops", [] { return Map04State().carrier1 == 1; }, 1000));
  const SlgUnit* carrier = LiveObject(97);
  ASSERT_NE(carrier, nullptr);
  EXPECT_EQ(carrier->x, 1408 * 65536);
  EXPECT_EQ(carrier->y, 416 * 65536);
  EXPECT_EQ(Count(h, "se 226"), 1u);

  // The hero walks to the carrier and jumps aboard; the battle is won once it has flown off.
  ASSERT_TRUE(h.RunUntil("jump", [] { return LiveObject(98) != nullptr; }, 3000));
  const SlgUnit* hero = LivePartyUnit(0);
  ASSERT_NE(hero, nullptr);
  const SlgPoint want = SnapPosToCell(1248, 384);
  const SlgPoint got = SnapPosToCell(hero->x >> 16, hero->y >> 16);
  EXPECT_EQ(got.x, want.x);
  EXPECT_EQ(got.y, want.y);
  ASSERT_TRUE(h.RunUntil("victory", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 1500));
  EXPECT_EQ(Map04State().carrier2, 1);
  EXPECT_EQ(Map04State().hero_aboard, 1);
  h.RunFrames(5);
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
  EXPECT_EQ(Count(h, "se 226"), 2u);
  EXPECT_EQ(h.Records("message").back(), "message 33:40038");
  EXPECT_EQ(Starts(h), std::vector<std::string>{"start 4106"});
}

// A heroine the battle cannot make again (64 units) stays away; the victory goes on.
TEST(Map04Victory, AnAbsentHeroineTheBattleCannotMakeAgainStaysAway) {
  Map04Battle m = MakeBattle();
  EventHarness& h = *m.h;
  h.install.stage.units[static_cast<size_t>(m.party_entry[2])].present = 0;
  for (int f : {99, 100, 104, 501}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  // Commanders fill every record (the victory takes only the soldiers off).
  while (Slg::CreateUnit(*Battle().stage, m.commander) != kSlgCreateRefused) {
  }
  Map04State().carrier1 = 1;
  Map04State().carrier2 = 1;
  h.MoveTo(0, 0, 1078, 528);
  h.Act(0, 0);
  ASSERT_TRUE(h.RunUntil("victory", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 3000));
  EXPECT_EQ(LivePartyUnit(2), nullptr);
  EXPECT_NE(LivePartyUnit(5), nullptr);
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
}

}  // namespace

namespace {

// ---- The carrier, the jump and its effect ----

// Starts the victory: flags of the openings and the goal area, the hero on the goal cell.
void StartVictory(EventHarness& h) {
  for (int f : {99, 100, 104}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.MoveTo(0, 0, 1078, 528);
  h.Act(0, 0);
}

TEST(Map04Carrier, ItFliesInHoversTakesTheHeroAboardAndFliesOff) {
  Map04Battle m = MakeBattle();
  EventHarness& h = *m.h;
  StartVictory(h);
  ASSERT_TRUE(h.RunUntil("carrier", [] { return LiveObject(97) != nullptr; }, 3000));
  h.RunFrames(1);  // its set-up ran on its first frame, its sound on this one
  const SlgUnit* carrier = LiveObject(97);
  ASSERT_NE(carrier, nullptr);
  EXPECT_EQ(carrier->x >> 16, 1888);
  EXPECT_EQ(carrier->anm->shade, kToneShade);

  // Flying in: left and up, never past the hover point, slowing after x 1552.
  int32_t last_x = carrier->x;
  int32_t step_at_1552 = 0;
  int32_t last_step = 0;
  h.RunFrames(1);
  ASSERT_TRUE(h.RunUntil("hover", [&] {
    const int32_t step = last_x - carrier->x;
    EXPECT_GE(carrier->x, 1408 * 65536);
    EXPECT_GT(step, 0);
    if (carrier->x > 1552 * 65536) {
      EXPECT_EQ(step, 2 * 65536);
    }
    if (carrier->x <= 1552 * 65536 && step_at_1552 == 0) step_at_1552 = step;
    last_step = step;
    last_x = carrier->x;
    return Map04State().carrier1 == 1;
  }, 1000));
  EXPECT_LT(last_step, step_at_1552) << "it slows down before it stops";
  EXPECT_EQ(carrier->x, 1408 * 65536);
  EXPECT_EQ(carrier->y, 416 * 65536);
  EXPECT_EQ(Count(h, "se 226"), 1u);

  // Hovering: it bobs about the hover point until the hero is aboard.
  std::vector<int32_t> hover_y;
  ASSERT_TRUE(h.RunUntil("jump", [&] {
    if (Map04State().hero_aboard == 0) {
      EXPECT_EQ(carrier->x, 1408 * 65536);
      hover_y.push_back(carrier->y);
    }
    return LiveObject(98) != nullptr;
  }, 3000));
  ASSERT_FALSE(hover_y.empty());
  const auto [low, high] = std::minmax_element(hover_y.begin(), hover_y.end());
  EXPECT_LT(*low, 416 * 65536);
  EXPECT_GT(*high, 416 * 65536);
  EXPECT_LE(*high - *low, 16 * 65536);

  // The jump: the hero hidden, then the landing exactly on the ride point with the jump signal.
  const SlgUnit* jump = LiveObject(98);
  const SlgUnit* hero = LivePartyUnit(0);
  ASSERT_NE(hero, nullptr);
  h.RunFrames(1);
  EXPECT_EQ(hero->flags & kShowFlag, 0u) << "the hero's unit is hidden";
  EXPECT_NE(LiveObject(99), nullptr) << "the jump's effect";
  ASSERT_TRUE(h.RunUntil("landing", [] { return Map04State().jump == 1; }, 600));
  EXPECT_EQ(jump->x, carrier->x - 24 * 65536);
  EXPECT_EQ(jump->y, carrier->y - 80 * 65536);
  EXPECT_EQ(Map04State().hero_aboard, 0);

  // The effect ends and goes; the hero is aboard the next frame but one; the carrier leaves.
  ASSERT_TRUE(h.RunUntil("effect end", [] { return Map04State().jump_effect_end == 1; }, 600));
  ASSERT_TRUE(h.RunUntil("aboard", [] { return Map04State().hero_aboard == 1; }, 10));
  h.RunFrames(2);
  EXPECT_EQ(LiveObject(99), nullptr);
  EXPECT_EQ(jump->x, carrier->x - 24 * 65536) << "it rides along";
  EXPECT_EQ(jump->y, carrier->y - 80 * 65536);
  EXPECT_EQ(jump->anm->shade, kToneShade);
  EXPECT_EQ(Count(h, "se 226"), 2u);
  // A picture for people: the carrier, the hero aboard and the particles (the skipped openings
  // leave the screen faded; it is brought in for the picture).
  SlgFadeIn(1);
  h.RunFrames(3);
  h.rig().SaveFrame("map04_hero_aboard");
  ASSERT_TRUE(h.RunUntil("off", [] { return Map04State().carrier2 == 1; }, 600));
  EXPECT_LE(carrier->x, 1264 * 65536);
  EXPECT_GT(carrier->x, 1262 * 65536) << "the signal on the frame it passes x 1264";
  const int32_t x = carrier->x;
  h.RunFrames(3);
  EXPECT_LT(carrier->x, x) << "it keeps flying";
}

// A stage without one of the objects (a cut or wrong stage file) still ends the victory.
TEST(Map04Carrier, AVictoryWithoutOneOfTheObjectsStillEnds) {
  for (int missing : {97, 98, 99}) {
    SCOPED_TRACE(missing);
    Map04Battle m = MakeBattle(false, false, missing);
    EventHarness& h = *m.h;
    h.ExpectTrace("map 4");
    StartVictory(h);
    ASSERT_TRUE(h.RunUntil("victory", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 5000));
    h.RunFrames(5);
    EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
    EXPECT_EQ(h.Records("message").back(), "message 33:40038");
  }
}

}  // namespace

namespace {

// ---- The wind and its particles ----

// The wind after k frames from its start, as a table of its phases: a hold of 300 frames at 0,
// then the rise (6553 a frame, held to 0x30000 on its 31st frame), 300 frames high, the fall to 0
// on its 31st frame, 300 frames low, and again.
int32_t WindAfter(int k) {
  if (k <= 300) return 0;
  const int r = (k - 301) % 662 + 1;
  if (r <= 31) return std::min(6553 * r, 0x30000);
  if (r <= 331) return 0x30000;
  if (r <= 362) return std::max(0x30000 - 6553 * (r - 331), 0);
  return 0;
}

TEST(Map04Wind, ItHoldsRisesHoldsFallsAndHoldsFrameByFrame) {
  static_assert(6553 * 30 == 0x30000 - 18, "30 steps stop 18 short of the top");
  DriftLevel wind = kMap04WindStart;
  EXPECT_EQ(wind.value, 0);
  for (int k = 1; k <= 2 * 962 + 40; ++k) {
    StepDrift(wind);
    ASSERT_EQ(wind.value, WindAfter(k)) << "frame " << k;
  }
  // Spot values of the table itself: the first rise's first and 31st frames, the fall's end.
  EXPECT_EQ(WindAfter(301), 6553);
  EXPECT_EQ(WindAfter(330), 0x30000 - 18);
  EXPECT_EQ(WindAfter(331), 0x30000);
  EXPECT_EQ(WindAfter(662), 0);
  EXPECT_EQ(WindAfter(963), 6553);
}

// A particle's record is 480 frames; a longer life never reads past it: the later frames take
// the current wind, as frames not recorded yet do.
TEST(Map04Wind, FramesBeyondTheRecordTakeTheCurrentWind) {
  struct Case {
    int32_t age;
    int32_t want;  // with frames recorded at 10, 20, 30, 40 (and the current wind 100)
  };
  constexpr int32_t kBase = -1000;
  for (const Case& c : {Case{0, 0}, Case{2, 2 * kBase - 30}, Case{4, 4 * kBase - 100},
                        Case{7, 7 * kBase - 100 - 3 * 100}, Case{1000, 1000 * kBase - 100 - 996 * 100}}) {
    SCOPED_TRACE(c.age);
    DriftHistory<4> history;
    for (int32_t f = 1; f <= 4; ++f) history.ReplayLong(f, kBase, 10 * f);
    EXPECT_EQ(history.ReplayLong(c.age, kBase, 100), c.want);
    EXPECT_EQ(history.recorded, 4) << "nothing recorded past its size";
  }
}

// The particles' tasks in the fixed-sprite list: the controller first, then particles 0-45.
FixTaskWork* ParticleWork(int i) { return FixTaskWorkOf(Battle().fix_tasks.tasks[static_cast<size_t>(1 + i)]); }

// A battle past its openings whose particles have started, drawing from the engine's generator
// (the battle's scripted answers set aside).
void StartField(EventHarness& h) {
  for (int f : {99, 100}) h.SetFlagAtInstall(f);
  h.Start();
  Battle().rand_seam.script = nullptr;
  h.RunFrames(3);
  ASSERT_TRUE(h.RunUntilIdle(600));
}

TEST(Map04Particles, TheSetUpAddsTheControllerAndFortySixParticles) {
  Map04Battle m = MakeBattle();
  StartField(*m.h);
  const FixTaskList& list = Battle().fix_tasks;
  ASSERT_EQ(list.count, 1 + kMap04Particles);
  for (int i = 0; i < kMap04Particles; ++i) {
    SCOPED_TRACE(i);
    FixTaskWork* work = ParticleWork(i);
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(work->step_words[0], static_cast<uint32_t>(i));
    EXPECT_EQ(Map04State().particles[static_cast<size_t>(i)].started, 1);
  }
  // The wind steps once a frame through its first hold and into its rise; a late frame of 10
  // (its start moved back) lands on the values of the frame-by-frame run.
  Map04Words& w = Map04State();
  for (int n = 0; n < 320; ++n) {
    const int32_t frames = w.wind_frames;
    m.h->RunFrames(1);
    ASSERT_EQ(w.wind_frames, frames + 1);
    ASSERT_EQ(w.wind.value, WindAfter(w.wind_frames)) << w.wind_frames;
  }
  EXPECT_GT(w.wind.value, 0) << "rising";
  const int32_t frames = w.wind_frames;
  w.wind_start -= 9;
  m.h->RunFrames(1);
  EXPECT_EQ(w.wind_frames, frames + 10);
  EXPECT_EQ(w.wind.value, WindAfter(frames + 10));
}

// A restart's draws in their order (x, y, height, speed); then x moves by -2.0 less the wind of
// each frame and y falls by the speed.
TEST(Map04Particles, ARestartDrawsItsStartAndThePathFollowsTheWind) {
  Map04Battle m = MakeBattle();
  EventHarness& h = *m.h;
  StartField(h);
  Map04Words& w = Map04State();
  Map04Particle& p = w.particles[5];
  FixTaskWork* work = ParticleWork(5);
  ASSERT_NE(work, nullptr);
  w.wind = DriftLevel{};  // rising from 0: a wind that changes every frame
  for (const bool first : {true, false}) {
    SCOPED_TRACE(first);
    std::vector<int32_t> draws = {1000, 600, 700, 0x3000};
    uint32_t drawn = 0;
    Battle().rand_seam.script = [&] { return drawn < draws.size() ? draws[drawn++] : 12345; };
    p.running = 0;
    p.started = first ? 0 : 1;
    h.RunFrames(1);
    Battle().rand_seam.script = nullptr;
    ASSERT_EQ(drawn, 4u);
    const SlgBattleState& s = Battle().state;
    const int32_t corner_x = s.scroll_x + s.scroll_offset_x;
    const int32_t corner_y = s.scroll_y + s.scroll_offset_y;
    EXPECT_EQ(p.start_x, (corner_x - 32 + 1000 % 704) * 65536);
    EXPECT_EQ(p.start_y, (corner_y - 32 + 600 % 544) * 65536);
    EXPECT_EQ(p.height, first ? 700 : 700 % 480);
    EXPECT_EQ(p.speed, 0x20000 - 0x3000);
    EXPECT_EQ(p.history.recorded, 0) << "a restart clears the record";

    // Until its (short) animation ends and it starts again.
    int64_t x = p.start_x;
    std::vector<int32_t> seen;
    const int32_t start = p.start_frame;
    for (int n = 1; n <= 600; ++n) {
      h.RunFrames(1);
      if (p.start_frame != start) break;
      ASSERT_EQ(p.age, n);
      x += -2 * 65536 - w.wind.value;
      seen.push_back(w.wind.value);
      ASSERT_EQ(work->x, x) << "frame " << n;
      ASSERT_EQ(work->y, p.start_y - p.height * 65536 + p.speed * n) << "frame " << n;
    }
    ASSERT_GE(seen.size(), 5u);
    EXPECT_NE(seen.front(), seen.back()) << "the wind changed over the path";
  }
}

TEST(Map04Particles, AParticleRestartsWhenItsAnimationEnds) {
  Map04Battle m = MakeBattle();
  EventHarness& h = *m.h;
  StartField(h);
  Map04Particle& p = Map04State().particles[0];
  const int32_t start = p.start_frame;
  const int32_t x = p.start_x;
  ASSERT_TRUE(h.RunUntil("restart", [&] { return p.start_frame != start; }, 3000));
  EXPECT_NE(p.start_x, x);
  EXPECT_LT(p.height, kMap04Height) << "later starts are lower";
  EXPECT_LE(p.history.recorded, 1);
}

// Two runs with one seed place every particle alike; the particles differ from one another.
TEST(Map04Particles, OneSeedGivesTheSamePositions) {
  auto run = [](uint32_t seed) {
    Map04Battle m = MakeBattle(false, false, 0, seed);
    StartField(*m.h);
    m.h->RunFrames(30);
    std::vector<std::pair<int32_t, int32_t>> at;
    for (int i = 0; i < kMap04Particles; ++i) at.emplace_back(ParticleWork(i)->x, ParticleWork(i)->y);
    return at;
  };
  const auto a = run(7);
  const auto b = run(7);
  EXPECT_EQ(a, b);
  std::set<std::pair<int32_t, int32_t>> apart(a.begin(), a.end());
  EXPECT_GT(apart.size(), 40u);
  EXPECT_NE(run(8), a);
}

}  // namespace
