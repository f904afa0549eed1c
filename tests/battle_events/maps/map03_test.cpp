// Map 3's event script in real battles on the event harness: the table, the three openings with
// the props' real handshakes and the camera held in between, the turn talks in turn, the line of
// the victory, heroine 6's choice and every road of the victory with the boss's strike.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/map03.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr int kMad = 18;
constexpr int kBossGroup = 2;
constexpr int kBossCharacter = 9;
// The openings' flags: set at the install, the openings do not run.
constexpr int kOpeningFlags[] = {100, 101, 97};

struct Map03Battle {
  std::unique_ptr<EventHarness> h;
  std::vector<int> soldiers;
  int boss = -1;
};

// Map 3's battle on its small stage: the hero and heroines 1, 2, 3, 5 and 6 on the near side of the
// victory line (LP(c, -1, 768, 888) > 0), the two guides (kind 14 numbers 1 and 2), soldiers of
// kinds 14-16, the boss (kind 23, group 2, character 9) and the event objects 80-108; the attacks
// stubbed (only the soldiers' of kinds 15 and 16 with `real_attacks`).
Map03Battle MakeBattle(bool real_attacks = false) {
  testsupport::MapStage stage = *testsupport::FindMapStage(3);
  if (real_attacks) stage.stub_kinds = {15, 16};
  Map03Battle m;
  m.h = testsupport::MakeMapHarness(kMap03Setup, stage);
  const EventHarness& h = *m.h;
  for (int c = 10; c <= 13; ++c) m.soldiers.push_back(testsupport::StageEntryOf(h, 1, c));
  m.boss = testsupport::StageEntryOf(h, kBossGroup, kBossCharacter);
  return m;
}

std::vector<std::string> Starts(const EventHarness& h) { return h.Records("start"); }
size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}

// ---- The table ----

TEST(Map03Table, ItsRowsAreCleanAndInTheMapsOrder) {
  EXPECT_TRUE(testsupport::LintMapSetup(2, kMap03Setup).empty());
  const std::vector<int> ids = {3100, 3101, 3097, 3102, 3103, 3104, 3105, 3106, 3098,
                                3107, 3107, 3107, 3107, 3107, 3107, 500,  501,  502,
                                504,  505,  520,  521,  522,  524,  525,  530,  531,
                                532,  534,  535,  600,  601,  602,  603,  605,  606};
  std::vector<int> got;
  for (const SlgEventEntry* row = kMap03Setup.table; row->handler != nullptr; ++row) {
    got.push_back(row->id);
  }
  EXPECT_EQ(got, ids);
  EXPECT_EQ(kMap03Setup.anm_table.size(), 29u);
  EXPECT_EQ(kMapEventSetupTable[2], &kMap03Setup);
  EXPECT_STREQ(kMap03Setup.table[30].b, "PP(IKD)&R(10);");
  EXPECT_STREQ(kMap03Setup.table[30].c, "HP(IKD,0)|NP(IMR());");
  // The favourite's lines: character 4's with face 4 on this map, the others the shared ones.
  const auto& favourite = static_cast<const FavouriteArgs*>(kMap03Setup.table[30].arg)->references;
  EXPECT_EQ(favourite[8], (EventMessageRef{4, 2093}));
  EXPECT_EQ(favourite[9], (EventMessageRef{4, 2094}));
  EXPECT_EQ(favourite[12], (EventMessageRef{138, 2138}));
  // Heroine 6's defeat remark as the map has it.
  const auto* remark = static_cast<const RefTalkArgs*>(kMap03Setup.table[23].arg);
  EXPECT_EQ(kMap03Setup.table[23].id, 524);
  EXPECT_EQ(remark->face, 138);
  EXPECT_EQ(remark->message, 2414);
}

// ---- The openings ----

TEST(Map03Openings, TheChainRunsWithTheRealPropsAndTheCameraHeldUntilTheTour) {
  Map03Battle m = MakeBattle();
  EventHarness& h = *m.h;
  h.Start();
  // From the end of the opening until the tour clears it the camera is held; the battle's own
  // camera step does not move it between the scripted scrolls.
  ASSERT_TRUE(h.RunUntil("3100", [&] { return h.FrameOf("end 3100") >= 0; }, 6000));
  EXPECT_EQ(Battle().camera.lock, 1u);
  const SlgCamera held = Battle().camera;
  EXPECT_EQ(Slg::ScrollStep(), 0);
  EXPECT_EQ(Battle().camera.current_x, held.current_x);
  EXPECT_EQ(Battle().camera.current_y, held.current_y);
  EXPECT_EQ(Battle().camera.start_time, held.start_time);
  ASSERT_TRUE(h.RunUntil("3097", [&] {
    if (h.FrameOf("message 11:30117") < 0) {
      EXPECT_EQ(Battle().camera.lock, 1u) << h.RunningRow();
    }
    return h.FrameOf("end 3097") >= 0;
  }, 6000));
  EXPECT_EQ(Battle().camera.lock, 0u);
  ASSERT_TRUE(h.RunUntilIdle(600));

  EXPECT_EQ(Starts(h), (std::vector<std::string>{"start 3100", "start 3101", "start 3097"}));
  EXPECT_EQ(Map03State().signal2, 4) << "the zooming prop answered both stages";
  EXPECT_EQ(Map03State().signal1, 0) << "a falling prop answered";
  EXPECT_EQ(Count(h, "stop se 230"), 1u);
  EXPECT_GT(h.FrameOf("stop se 230"), h.FrameOf("se 230"));
  EXPECT_LT(h.FrameOf("se 228"), h.FrameOf("se 230"));
  EXPECT_GE(h.FrameOf("bgm 13"), 0);
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 276:3345", "message 278:30000", "message 11:3030",
                                      "message 110:3031", "message 276:3032", "message 278:3033",
                                      "message 278:3034", "message 279:30002",
                                      "message 239:30115", "message 239:30116",
                                      "message 11:30117"}));
  for (int kind : {0, 1, 2, 3, 5, 6}) {
    const SlgUnit* u = FindUnitByKind(kind);
    ASSERT_NE(u, nullptr);
    EXPECT_NE(u->flags & 0x80u, 0u) << "kind " << kind << " shown again";
  }
  EXPECT_EQ(CheckEventFlag(104), 1);
  // The two guides have walked from their places to their points (the cell points of the
  // opening's targets).
  const struct {
    int number;  // placement number x 256
    SlgPoint to;
  } guides[] = {{256, {1098, 1704}}, {512, {1244, 1154}}};
  for (const auto& g : guides) {
    SCOPED_TRACE(g.number);
    const SlgUnit* guide = FindUnitByIndex(14, g.number);
    ASSERT_NE(guide, nullptr);
    const SlgPoint want = CellToPosHeight(g.to.x, g.to.y);
    const SlgPoint at = SnapPosToCell(guide->x >> 16, guide->y >> 16);
    const SlgPoint cell = SnapPosToCell(want.x, want.y);
    EXPECT_EQ(at.x, cell.x);
    EXPECT_EQ(at.y, cell.y);
  }
}

// ---- The turn talks ----

TEST(Map03Talks, TheThreeTurnTalksRotateAtMadOnceTheTourHasEnded) {
  Map03Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.Command(kMad);
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_TRUE(Starts(h).empty()) << "no talk before flag 104";
  SetEventFlag(104);
  for (int i = 0; i < 4; ++i) {
    h.Command(kMad);
    ASSERT_TRUE(h.RunUntilIdle(600));
    h.Command(2);  // another command starts nothing
    ASSERT_TRUE(h.RunUntilIdle(600));
  }
  EXPECT_EQ(Starts(h), (std::vector<std::string>{"start 3102", "start 3103", "start 3104",
                                                 "start 3102"}));
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 239:30003", "message 239:30004",
                                      "message 239:30005", "message 239:30003"}));
}

// ---- Heroine 6's choice ----

TEST(Map03Choice, HeroineSixsAnswersGiveTheirLinesSoundsAndVariables) {
  struct Case {
    int line;  // 0: no answer (the time-out)
    std::vector<std::string> messages;
    int32_t delta;
    std::vector<std::string> se;
  } cases[] = {
      {0, {"message 140:30112", "message 140:30113", "message 137:30105"}, 0, {}},
      {1,
       {"message 139:30102", "message 139:30103", "message 137:30104", "message 137:30105"},
       -2,
       {"se 21"}},
      {2, {"message 138:30106", "message 138:30107", "message 138:30108"}, 5, {"se 20"}},
      {3, {"message 139:30109", "message 139:30110", "message 139:30111"}, -2, {"se 21"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Map03Battle m = MakeBattle();
    EventHarness& h = *m.h;
    for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    for (int f : {105, 106}) h.SetFlagAtInstall(f);
    h.SetTrust(6, 40);
    if (c.line != 0) h.AnswerChoice(c.line);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(2000));
    if (h.FrameOf("start 3098") < 0) {
      h.Act(0, 6);
      ASSERT_TRUE(h.RunUntilIdle(2000));
    }
    EXPECT_EQ(Starts(h), std::vector<std::string>{"start 3098"});
    auto messages = h.Records("message");
    ASSERT_GE(messages.size(), 1u);
    EXPECT_EQ(messages.front(), "message 138:30100");
    messages.erase(messages.begin());
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(GetTrustVar(6), 40 + c.delta);
    std::vector<std::string> se;
    for (const std::string& r : h.Records("se ")) {
      if (r == "se 20" || r == "se 21") se.push_back(r);
    }
    EXPECT_EQ(se, c.se);
  }
}

// ---- The victory ----

// Characters of the victory rows and a point beyond the line (LP < 0).
constexpr int kFarX = 600;
constexpr int kFarY = 700;

// Starts a battle past its openings; `c` crosses the line and acts.
void CrossTheLine(EventHarness& h, int c) {
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  for (int f : {98, 105, 106}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.MoveTo(0, c, kFarX, kFarY);
  h.Act(0, c);
}

TEST(Map03Victory, WhoeverCrossesTheLineFirstStartsTheVictoryOnce) {
  struct Case {
    int character;
    bool cross;
    bool absent;
    size_t victories;
  } cases[] = {
      {0, true, false, 1}, {1, true, false, 1}, {2, true, false, 1}, {3, true, false, 1},
      {5, true, false, 1}, {6, true, false, 1},
      {6, true, true, 0},   // an absent character's row never fires
      {1, false, false, 0},  // the near side
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "character " << c.character << (c.absent ? " absent" : "")
                                    << (c.cross ? " beyond the line" : " on the near side"));
    Map03Battle m = MakeBattle();
    EventHarness& h = *m.h;
    for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    for (int f : {98, 105, 106}) h.SetFlagAtInstall(f);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(600));
    if (c.absent) {
      // Fallen beyond the line: its line test is below 0 but its row does not fire.
      h.MoveTo(0, c.character, kFarX, kFarY);
      h.Defeat(0, c.character, kBossGroup, kBossCharacter, true);
      h.RunFrames(120);
      EXPECT_LT(CondLP(c.character, -1, 768, 888), 0);
      EXPECT_EQ(CondNP(c.character), 1);
    } else {
      EXPECT_GE(CondLP(c.character, -1, 768, 888), 0) << "starts on the near side";
      if (c.cross) h.MoveTo(0, c.character, kFarX, kFarY);
    }
    h.Act(0, c.absent ? 0 : c.character);
    ASSERT_TRUE(h.RunUntilIdle(4000));
    EXPECT_EQ(Count(h, "start 3107"), c.victories);
    EXPECT_EQ(Count(h, "task Slg::GameWin"), c.victories);
  }
}

TEST(Map03Victory, TheAnswerDecidesWhomTheBossStrikes) {
  struct Case {
    const char* name;
    int line;  // 0: the time-out
    int struck;
    const char* picture;
    uint16_t p70;
    const char* last;
    bool real_attack = false;  // the boss's own attack routine, not the stub
  } cases[] = {
      {"the first line: the hero", 1, 0, "deploy 107", 0, "message 18:30015"},
      {"the second line: character 1", 2, 1, "deploy 108", 1, "message 36:2027"},
      {"no answer: character 1", 0, 1, "deploy 108", 1, "message 36:2027"},
      {"the boss's real attack", 1, 0, "deploy 107", 0, "message 18:30015", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Map03Battle m = MakeBattle(c.real_attack);
    EventHarness& h = *m.h;
    if (c.line != 0) h.AnswerChoice(c.line);
    CrossTheLine(h, 0);
    ASSERT_TRUE(h.RunUntil("victory", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 4000));
    h.RunFrames(5);
    EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
    EXPECT_EQ(Battle().lost, 0u);
    const SlgUnit* struck = h.Unit(0, c.struck);
    ASSERT_NE(struck, nullptr);
    EXPECT_EQ(struck->stats.life, 10);
    bool pictured = false;
    for (const std::string& r : h.Records("deploy")) {
      if (r.rfind(c.picture, 0) == 0) pictured = true;
    }
    EXPECT_TRUE(pictured) << c.picture;
    ASSERT_EQ(Battle().fix_tasks.count, 1) << "the still picture";
    const FixTaskWork* picture = FixTaskWorkOf(Battle().fix_tasks.tasks[0]);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->x >> 16, struck->x >> 16);
    EXPECT_EQ(picture->y >> 16, struck->y >> 16);
    EXPECT_EQ(SlgGetMacroP(70), c.p70);
    EXPECT_GE(h.FrameOf(c.last), 0);
    EXPECT_EQ(Battle().event_words.acting_mode[0], 0u);
    EXPECT_EQ(Battle().flags & 0x40u, 0u);
    const SlgUnit* boss = FindUnitByGroupKind(kBossGroup, kBossCharacter);
    ASSERT_NE(boss, nullptr);
    EXPECT_EQ(boss->flags & 0x80u, 0u) << "the boss is hidden";
  }
}

// The player's unit of that character on the map (not a record being removed).
const SlgUnit* LiveChara(int c) {
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    const SlgUnit& u = Battle().state.units[i];
    if (u.side == 0 && u.character == c && u.step != kSlgDeadStep) return &u;
  }
  return nullptr;
}

// Heroine `c` defeated by the boss and removed from the map; her fall scene played.
void FallToTheBoss(EventHarness& h, int c) {
  h.Defeat(0, c, kBossGroup, kBossCharacter, true);
  ASSERT_TRUE(h.RunUntilIdle(2000));
  ASSERT_EQ(LiveChara(c), nullptr);
}

TEST(Map03Victory, FallenHeroinesComeBackAndTheWholePartyWalksIntoFormation) {
  Map03Battle m = MakeBattle();
  EventHarness& h = *m.h;
  h.SetTrust(2, 35);
  h.SetTrust(5, 35);
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  for (int f : {98, 105, 106}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  // Heroines 2 and 5 fall to the boss before the line is crossed (heroine 2 the acting unit of
  // the first round), each with her fall scene.
  FallToTheBoss(h, 2);
  FallToTheBoss(h, 5);
  EXPECT_EQ(Starts(h), (std::vector<std::string>{"start 501", "start 505"}));
  h.MoveTo(0, 0, kFarX, kFarY);
  h.Act(0, 0);
  ASSERT_TRUE(h.RunUntil("walks", [&] { return h.FrameOf("message 11:30008") >= 0; }, 3000));

  EXPECT_EQ(Map03State().arrived, 0x3F) << "all six walkers arrived";
  const struct {
    int c;
    SlgPoint to;
  } formation[] = {{0, {958, 624}}, {1, {860, 576}}, {3, {814, 600}},
                   {6, {862, 624}}, {5, {914, 650}}, {2, {814, 650}}};
  for (const auto& f : formation) {
    SCOPED_TRACE(f.c);
    const SlgUnit* u = LiveChara(f.c);
    ASSERT_NE(u, nullptr);
    const SlgPoint at = SnapPosToCell(u->x >> 16, u->y >> 16);
    const SlgPoint want = SnapPosToCell(f.to.x, f.to.y);
    EXPECT_EQ(at.x, want.x);
    EXPECT_EQ(at.y, want.y);
  }
  for (int c : {2, 5}) {
    SCOPED_TRACE(c);
    const SlgUnit* u = LiveChara(c);
    ASSERT_NE(u, nullptr);
    EXPECT_GT(u->stats.life, 0);
    const SlgUnitStats& s = u->stats;
    EXPECT_NE(s.trust_attack + s.trust_defence + s.trust_move, 0) << "the trust bonus";
    EXPECT_EQ(s.total_attack, static_cast<uint8_t>(s.attack + s.extra_attack + s.trust_attack));
    EXPECT_EQ(s.total_move, static_cast<uint8_t>(s.move + s.extra_move + s.trust_move));
  }
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    const SlgUnit& u = Battle().state.units[i];
    EXPECT_FALSE(u.kind >= 14 && u.kind <= 16 && u.step != kSlgDeadStep)
        << "a soldier of kind " << int(u.kind) << " left";
  }
}

// The boss missing from the map: the victory ends without a strike, and no life changes.
TEST(Map03Victory, WithoutTheBossTheVictoryEndsWithoutAStrike) {
  Map03Battle m = MakeBattle();
  EventHarness& h = *m.h;
  h.ExpectTrace("no boss for the boss's strike");
  h.AnswerChoice(1);
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  for (int f : {98, 105, 106}) h.SetFlagAtInstall(f);
  h.install.stage.units[static_cast<size_t>(m.boss)].present = 0;
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.MoveTo(0, 0, kFarX, kFarY);
  h.Act(0, 0);
  ASSERT_TRUE(h.RunUntil("victory", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 4000));
  const SlgUnit* hero = LiveChara(0);
  ASSERT_NE(hero, nullptr);
  EXPECT_NE(hero->stats.life, 10);
  EXPECT_EQ(Battle().event_words.acting_mode[0], 0u);
  EXPECT_EQ(SlgGetMacroP(70), 0);
}

// With 64 units on the map a fallen heroine cannot be made again: she stays away and the victory
// goes on to its end.
TEST(Map03Victory, AFallenHeroineTheBattleCannotMakeAgainStaysAway) {
  Map03Battle m = MakeBattle();
  EventHarness& h = *m.h;
  h.AnswerChoice(1);
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  for (int f : {98, 105, 106}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  FallToTheBoss(h, 2);
  // Soldiers of kind 15 fill every record.
  while (Slg::CreateUnit(*Battle().stage, m.soldiers[2]) != kSlgCreateRefused) {
  }
  ASSERT_EQ(Battle().state.unit_count, 64u);
  h.MoveTo(0, 0, kFarX, kFarY);
  h.Act(0, 0);
  ASSERT_TRUE(h.RunUntil("victory", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 4000));
  EXPECT_EQ(LiveChara(2), nullptr);
  EXPECT_NE(LiveChara(5), nullptr);
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
}

// The boss gone in the middle of its strike: the strike is finished without it.
TEST(Map03Victory, ABossGoneDuringItsStrikeLeavesTheStrikeFinished) {
  Map03Battle m = MakeBattle();
  EventHarness& h = *m.h;
  h.AnswerChoice(1);
  CrossTheLine(h, 0);
  ASSERT_TRUE(h.RunUntil("strike", [] { return Battle().event_words.acting_mode[0] == 1; }, 4000));
  EventRemoveUnit(FindUnitByGroupKind(kBossGroup, kBossCharacter));
  ASSERT_TRUE(h.RunUntil("victory", [&] { return h.FrameOf("task Slg::GameWin") >= 0; }, 4000));
  EXPECT_EQ(Battle().event_words.acting_mode[0], 0u);
  const SlgUnit* hero = LiveChara(0);
  ASSERT_NE(hero, nullptr);
  EXPECT_EQ(hero->stats.life, 10);
  EXPECT_EQ(hero->flags & 1u, 0u) << "out of the damage list";
}
}  // namespace
