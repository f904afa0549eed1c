// Map 8's event script in real battles on the event harness: the table, the weakening opening and
// the soldier's scripted strike, the two switches and their barriers, heroine 1's six talks and
// her restoration, the choice's answers, the commander's power-up and fall, the victory and the
// taunts.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/map08.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr int kStage = 7;
constexpr int kMad = 18;
constexpr int kCommanderGroup = 2;
constexpr int kCommanderCharacter = 9;
constexpr int kCommanderKind = 25;
constexpr int kSoldierKind = 34;
// Both openings done: set at the install, they do not run.
constexpr int kOpeningFlags[] = {101, 102};
// Where each party member starts (character c at (kPartyX + 192 c, kPartyY)): no two next to
// each other, none on a switch.
constexpr int kPartyX = 240;
constexpr int kPartyY = 1296;
constexpr int kMaxLife = 100;

struct SwitchCase {
  SlgPoint cell;
  std::array<SlgPoint, 2> barrier;
};
constexpr SwitchCase kSwitchA{{1680, 888}, {{{1008, 1136}, {1056, 1104}}}};
constexpr SwitchCase kSwitchB{{632, 656}, {{{1440, 912}, {1488, 896}}}};

struct Map08Battle {
  std::unique_ptr<EventHarness> h;
  std::array<int, 7> entry{};  // by character (0: the hero's)
  int commander = -1;
};

// Map 8's battle on its small stage: the hero and heroines 1-6 (kinds 0-6), soldiers of kind 34
// numbers 1-4 (group 1), the commander (kind 25, group 2) and the event objects 80-87; the
// soldiers' attacks stubbed unless `real_attacks`.
Map08Battle MakeBattle(bool real_attacks = false) {
  testsupport::MapStage stage = *testsupport::FindMapStage(8);
  if (real_attacks) std::erase(stage.stub_kinds, kSoldierKind);
  Map08Battle m;
  m.h = testsupport::MakeMapHarness(kMap08Setup, stage);
  EventHarness& h = *m.h;
  h.SetRandom({0xFFFF});  // no turn remark draws its chance
  for (int c = 1; c <= 6; ++c) m.entry[static_cast<size_t>(c)] = testsupport::StageEntryOf(h, 0, c);
  m.commander = testsupport::StageEntryOf(h, kCommanderGroup, kCommanderCharacter);
  return m;
}

// Sets every party member's life and maximum (the dressed install's classes differ).
void FullLife() {
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& u = Battle().state.units[i];
    if (u.side != 0 && u.kind != kCommanderKind) continue;
    u.stats.max_life = kMaxLife;
    u.stats.life = kMaxLife;
    u.stats.max_kiai = 40;
    u.stats.kiai = 20;
  }
}

// The player's unit of that character on the map (not a record being removed).
SlgUnit* LiveChara(int c) {
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& u = Battle().state.units[i];
    if (u.side == 0 && u.character == c && u.step != kSlgDeadStep) return &u;
  }
  return nullptr;
}

std::vector<std::string> Starts(const EventHarness& h) { return h.Records("start"); }
size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}
bool Has(const EventHarness& h, const std::string& what) { return h.FrameOf(what) >= 0; }

uint32_t& Cell1(SlgPoint p) {
  const SlgCell c = PosToCell(p.x, p.y);
  return Battle().cell_grid[static_cast<size_t>(c.row * kSlgGridColumns + c.column)];
}
uint32_t& Cell2(SlgPoint p) {
  const SlgCell c = PosToCell(p.x, p.y);
  return Battle().cell_grid2[static_cast<size_t>(c.row * kSlgGridColumns + c.column)];
}

// ---- The table ----

TEST(Map08Table, ItsRowsAreCleanAndInTheMapsOrder) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap08Setup).empty());
  const std::vector<int> ids = {
      8101, 8102, 8103, 8103, 8103, 8104, 8104, 8104, 8104, 8104, 8104, 8104, 8105,
      8420, 8106, 8107, 8108, 8109, 8110, 8111, 8112, 8113, 8114, 8115, 8116, 8117,
      8400, 500,  501,  502,  503,  504,  505,  520,  521,  522,  523,  524,  525,
      530,  531,  532,  533,  534,  535,  600,  601,  602,  603,  604,  605,  606};
  std::vector<int> got;
  for (const SlgEventEntry* row = kMap08Setup.table; row->handler != nullptr; ++row) {
    got.push_back(row->id);
  }
  EXPECT_EQ(got, ids);
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap08Setup);
  EXPECT_EQ(kMap08Setup.anm_table.size(), 8u);
  const SlgEventEntry* t = kMap08Setup.table;
  EXPECT_STREQ(t[16].b, "UAJ(GPL,UTV,GPL,UKD)!=4;");
  EXPECT_EQ(t[16].guard[0], 108);
  EXPECT_EQ(t[16].guard[1], 105);
  EXPECT_STREQ(t[21].b, "UAJ(GPL,UTV,GPL,UBS)!=4;");
  EXPECT_EQ(t[21].set[0], 113);
  EXPECT_STREQ(t[33].c, "HGU(GBO,UKJ,0);");
  EXPECT_STREQ(t[38].c, "HGU(GBO,UKJ,0);");
  EXPECT_STREQ(t[39].c, "");
  EXPECT_STREQ(t[45].b, "PP(IKD)&R(10);");
  EXPECT_STREQ(t[45].c, "HP(IKD,0)|HGU(GBO,UKJ,0)|NP(IMR());");
  EXPECT_STREQ(t[46].c, "HP(IKD,0)|HGU(GBO,UKJ,0);");
}

// ---- The openings ----

TEST(Map08Openings, TheWeakeningFollowsP81AndTheLowTrustIsRemembered) {
  struct Case {
    uint16_t p81;
    int32_t trust;
    int16_t life;
    bool low_trust;
  } cases[] = {{1, 24, 33, true}, {0, 25, 50, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "P[81] " << c.p81 << ", trust " << c.trust);
    Map08Battle m = MakeBattle();
    EventHarness& h = *m.h;
    h.SetP(81, c.p81);
    h.SetTrust(1, c.trust);
    h.Start();
    FullLife();
    ASSERT_TRUE(h.RunUntil("8101", [&] { return Has(h, "end 8101"); }, 600));
    for (int ch = 2; ch <= 6; ++ch) {
      const SlgUnit* u = LiveChara(ch);
      ASSERT_NE(u, nullptr);
      EXPECT_EQ(u->stats.life, c.life) << "heroine " << ch;
      EXPECT_EQ(u->stats.kiai, 0) << "heroine " << ch;
    }
    EXPECT_EQ(LiveChara(1)->stats.life, kMaxLife) << "heroine 1 untouched";
    EXPECT_EQ(LiveChara(1)->stats.kiai, 20);
    EXPECT_EQ(CheckEventFlag(401), 1);
    EXPECT_EQ(CheckEventFlag(130), c.low_trust ? 1 : 0);
    EXPECT_EQ(Battle().camera.lock, 1u);
    for (int kind = 83; kind <= 87; ++kind) {
      EXPECT_NE(FindUnitByKind(kind), nullptr) << "kind " << kind << " deployed";
    }
  }
}

TEST(Map08Openings, TheSoldiersStrikeOnHeroineFiveAndTheLongTalk) {
  for (bool real : {false, true}) {
    SCOPED_TRACE(real ? "the soldier's own attack" : "the attack stubbed");
    Map08Battle m = MakeBattle(real);
    EventHarness& h = *m.h;
    h.Start();
    bool soldier_fell = false;
    ASSERT_TRUE(h.RunUntil("8102", [&] {
      const SlgUnit* s = FindUnitByIndex(kSoldierKind, 256);
      if (s != nullptr && (s->state == 15 || s->step == kSlgDeadStep)) soldier_fell = true;
      return Has(h, "end 8102");
    }, 8000));
    EXPECT_TRUE(soldier_fell);
    EXPECT_EQ(Starts(h), (std::vector<std::string>{"start 8101", "start 8102"}));
    EXPECT_EQ(Battle().camera.lock, 0u);
    EXPECT_EQ(Battle().event_words.acting_mode[0], 0u);
    EXPECT_LT(h.FrameOf("se 135"), h.FrameOf("message 216:3047"));
    EXPECT_GE(h.FrameOf("se 135"), 0);
    // Kind 82 played on heroine 5 and took itself off.
    EXPECT_FALSE(h.Records("deploy 82").empty());
    EXPECT_FALSE(h.Records("remove 82").empty());
    EXPECT_EQ(LiveChara(5)->flags & 1u, 0u) << "out of the damage list";
    EXPECT_EQ(h.Records("message"),
              (std::vector<std::string>{
                  "message 216:3047", "message 110:3048", "message 271:3049", "message 274:2151",
                  "message 29:3000", "message 271:3050", "message 110:3051", "message 156:3052",
                  "message 138:3053", "message 210:3054", "message 74:3055", "message 11:10027",
                  "message 29:3057", "message 274:2151", "message 271:3058"}));
    EXPECT_GE(h.FrameOf("bgm 13"), 0);
  }
}

// Without heroine 5 the strike is skipped and the opening goes on; kind 82 without her takes
// itself off on its first frame.
TEST(Map08Openings, WithoutHeroineFiveTheStrikeIsSkipped) {
  Map08Battle m = MakeBattle();
  EventHarness& h = *m.h;
  h.install.stage.units[static_cast<size_t>(m.entry[5])].present = 0;
  h.SetFlagAtInstall(505);  // her fall scene has played
  h.ExpectTrace("no heroine 5 for the soldier's strike");
  h.Start();
  ASSERT_TRUE(h.RunUntil("8102", [&] { return Has(h, "end 8102"); }, 8000));
  EXPECT_EQ(Count(h, "start 8102"), 1u);
  EXPECT_EQ(Battle().event_words.acting_mode[0], 0u);
  EXPECT_EQ(FindUnitByKind(82), nullptr) << "kind 82 took itself off";
}

// ---- The switches ----

struct SwitchRun {
  const char* name;
  const SwitchCase* sw;
  int character;
  int id;  // 0: nothing fires
  const char* line;
};

TEST(Map08Switches, APartyMemberOnASwitchOpensItsBarrier) {
  const SwitchRun runs[] = {
      {"A by the hero", &kSwitchA, 0, 8103, "message 11:10001"},
      {"A by heroine 1", &kSwitchA, 1, 8103, "message 29:10000"},
      {"A by heroine 4", &kSwitchA, 4, 8103, "message 155:10002"},
      {"A by heroine 2: no row", &kSwitchA, 2, 0, nullptr},
      {"B by the hero", &kSwitchB, 0, 8104, "message 11:10004"},
      {"B by heroine 1", &kSwitchB, 1, 8104, "message 29:10003"},
      {"B by heroine 2", &kSwitchB, 2, 8104, "message 74:10007"},
      {"B by heroine 3", &kSwitchB, 3, 8104, "message 110:10005"},
      {"B by heroine 4", &kSwitchB, 4, 8104, "message 155:10009"},
      {"B by heroine 5", &kSwitchB, 5, 8104, "message 209:10006"},
      {"B by heroine 6", &kSwitchB, 6, 8104, "message 137:10008"},
  };
  for (const SwitchRun& r : runs) {
    SCOPED_TRACE(r.name);
    Map08Battle m = MakeBattle();
    EventHarness& h = *m.h;
    for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    h.Start();
    // The barriers and switches as the opening deploys them.
    for (int kind = 83; kind <= 86; ++kind) EventDeployKind(kind);
    ASSERT_TRUE(h.RunUntilIdle(600));
    for (const SlgPoint& p : r.sw->barrier) {
      Cell1(p) |= kSlgCellAttackStop;
      Cell2(p) |= kSlgCellAttackStop;
    }
    const SlgUnit* barrier = FindUnitByKind(r.sw == &kSwitchA ? 83 : 84);
    const SlgUnit* switch_object = FindUnitByKind(r.sw == &kSwitchA ? 85 : 86);
    ASSERT_NE(barrier, nullptr);
    ASSERT_NE(switch_object, nullptr);
    const size_t messages_before = h.Records("message").size();
    h.MoveTo(0, r.character, r.sw->cell.x, r.sw->cell.y);
    h.Act(0, r.character);
    ASSERT_TRUE(h.RunUntilIdle(2000));
    const size_t sw = r.sw == &kSwitchA ? 0 : 1;
    if (r.id == 0) {
      EXPECT_EQ(Count(h, "start 8103") + Count(h, "start 8104"), 0u);
      EXPECT_EQ(Map08State().signal1[sw], 0);
      EXPECT_NE(Cell1(r.sw->barrier[0]) & kSlgCellAttackStop, 0u);
      continue;
    }
    EXPECT_EQ(Count(h, "start " + std::to_string(r.id)), 1u);
    EXPECT_EQ(Map08State().signal1[sw], 1);
    EXPECT_EQ(Map08State().signal2[sw], 1);
    EXPECT_LT(h.FrameOf("se 248"), h.FrameOf("se 256"));
    EXPECT_EQ(CheckEventFlag(r.id - 8000), 1);
    // Switch B also lets the commander's talk (8105) follow.
    const auto messages = h.Records("message");
    ASSERT_GT(messages.size(), messages_before);
    EXPECT_EQ(messages[messages_before], r.line);
    EXPECT_EQ(Count(h, "start 8105"), r.id == 8104 ? 1u : 0u);
    // The barrier let go of its animation; the switch played once and let go of its own.
    EXPECT_EQ(barrier->state, 2);
    EXPECT_EQ(switch_object->state, 2);
    for (const SlgPoint& p : r.sw->barrier) {
      EXPECT_EQ(Cell1(p) & kSlgCellAttackStop, 0u);
      EXPECT_EQ(Cell2(p) & kSlgCellAttackStop, 0u);
    }
    // The move search from the cell beside a barrier cell reaches it.
    const SlgPoint from = SnapPosToCell(r.sw->barrier[0].x - 48, r.sw->barrier[0].y - 24);
    const SlgPoint to = SnapPosToCell(r.sw->barrier[0].x, r.sw->barrier[0].y);
    Slg::MoveSearch(1, {static_cast<int16_t>(from.x), static_cast<int16_t>(from.y)}, 2);
    const auto& s = Battle().search;
    bool listed = false;
    for (uint32_t i = 0; i < s.range_count; ++i) {
      if (s.range_list[i].x == to.x && s.range_list[i].y == to.y) listed = true;
    }
    EXPECT_TRUE(listed);
  }
}

// The barrier's alpha pulses 256 -> 0 -> 256 over 128 frames and holds while the flag word's bit
// 0x20 is set.
TEST(Map08Switches, TheBarrierPulsesAndHoldsWithTheFlagBit) {
  Map08Battle m = MakeBattle();
  EventHarness& h = *m.h;
  h.Start();
  ASSERT_TRUE(h.RunUntil("8101", [&] { return Has(h, "end 8101"); }, 600));
  const SlgUnit* barrier = FindUnitByKind(83);
  ASSERT_NE(barrier, nullptr);
  std::vector<int32_t> seen;
  for (int i = 0; i < 130; ++i) {
    h.RunFrames(1);
    seen.push_back(barrier->walk_state[0]);
  }
  EXPECT_NE(std::find(seen.begin(), seen.end(), 64), seen.end()) << "reached 0 alpha";
  EXPECT_NE(std::find(seen.begin(), seen.end(), 0), seen.end()) << "back to 256";
  Battle().flags = static_cast<uint16_t>(Battle().flags | 0x20);
  const int32_t held = barrier->walk_state[0];
  h.RunFrames(10);
  EXPECT_EQ(barrier->walk_state[0], held);
  Battle().flags = static_cast<uint16_t>(Battle().flags & ~0x20);
  h.RunFrames(3);
  EXPECT_NE(barrier->walk_state[0], held);
}

// ---- Heroine 1's talks ----

// Puts character `c` diagonally next to heroine 1 and lets her act (the next 0x4 moment).
void NextToHeroine1(EventHarness& h, int c) {
  const SlgUnit* h1 = LiveChara(1);
  ASSERT_NE(h1, nullptr);
  h.MoveTo(0, c, (h1->x >> 16) + 48, (h1->y >> 16) - 24);
  h.Act(0, 1);
  ASSERT_TRUE(h.RunUntilIdle(3000));
  h.MoveTo(0, c, kPartyX + 192 * c, kPartyY);
  h.RunFrames(2);
}

TEST(Map08Heroine1, SixTalksOnceEachThenSheIsRestored) {
  Map08Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  h.Start();
  FullLife();
  ASSERT_TRUE(h.RunUntilIdle(600));
  SlgUnit* h1 = LiveChara(1);
  h1->stats.life = 10;
  h1->stats.kiai = 0;
  for (int c : {0, 4, 5, 3, 2, 6}) NextToHeroine1(h, c);
  for (int c : {0, 4}) NextToHeroine1(h, c);  // again: nothing
  EXPECT_EQ(Starts(h), (std::vector<std::string>{"start 8108", "start 8109", "start 8110",
                                                 "start 8111", "start 8112", "start 8113",
                                                 "start 8114"}));
  EXPECT_EQ(h1->stats.life, kMaxLife);
  EXPECT_EQ(h1->stats.kiai, 40);
  EXPECT_GE(h.FrameOf("message 29:10023"), 0);
  EXPECT_GE(h.FrameOf("se 306"), 0);
  // Both aura effects played on her and took themselves off.
  EXPECT_FALSE(h.Records("remove 80").empty());
  EXPECT_FALSE(h.Records("remove 81").empty());
}

TEST(Map08Heroine1, WithSwitchBUsedSheIsNeverRestored) {
  Map08Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  for (int f = 108; f <= 113; ++f) h.SetFlagAtInstall(f);
  h.SetFlagAtInstall(104);
  h.SetFlagAtInstall(105);
  h.Start();
  FullLife();
  LiveChara(1)->stats.life = 10;
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.BeginTurn();
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_EQ(Count(h, "start 8114"), 0u);
  EXPECT_EQ(LiveChara(1)->stats.life, 10);
}

TEST(Map08Heroine1, TheHerosChoiceAnswers) {
  struct Case {
    int line;  // 0: no answer (the time-out)
    int32_t delta;
    std::vector<std::string> messages;
    std::vector<std::string> se;
  } cases[] = {
      {0, 0, {"message 12:10041", "message 31:10042", "message 15:10043"}, {}},
      {1,
       2,
       {"message 12:10033", "message 30:10034", "message 30:10035", "message 30:10036",
        "message 11:10037", "message 29:10038"},
       {"se 20"}},
      {2,
       -5,
       {"message 12:10039", "message 30:10040", "message 30:10035", "message 30:10036",
        "message 11:10037", "message 29:10038"},
       {"se 21"}},
      // A third line of the choice text takes the time-out's road.
      {3, 0, {"message 12:10041", "message 31:10042", "message 15:10043"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Map08Battle m = MakeBattle();
    EventHarness& h = *m.h;
    for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    h.SetTrust(1, 40);
    if (c.line != 0) h.AnswerChoice(c.line);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(600));
    NextToHeroine1(h, 0);
    EXPECT_EQ(Starts(h), std::vector<std::string>{"start 8108"});
    EXPECT_EQ(Count(h, "end 8108"), 1u);
    auto messages = h.Records("message");
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0], "message 29:10031");
    EXPECT_EQ(messages[1], "message 29:10032");
    messages.erase(messages.begin(), messages.begin() + 2);
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(GetTrustVar(1), 40 + c.delta);
    std::vector<std::string> se;
    for (const std::string& r : h.Records("se ")) {
      if (r == "se 20" || r == "se 21") se.push_back(r);
    }
    EXPECT_EQ(se, c.se);
  }
}

// ---- The commander ----

TEST(Map08Commander, PowersUpOnceAtThirtyPercentButNotOnceGone) {
  for (bool gone : {false, true}) {
    SCOPED_TRACE(gone ? "flag 198 set" : "on the map");
    Map08Battle m = MakeBattle();
    EventHarness& h = *m.h;
    for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
    if (gone) h.SetFlagAtInstall(198);
    h.Start();
    FullLife();
    ASSERT_TRUE(h.RunUntilIdle(600));
    h.SetLife(kCommanderGroup, kCommanderCharacter, 30);
    h.BeginTurn();
    ASSERT_TRUE(h.RunUntilIdle(600));
    h.BeginTurn();
    ASSERT_TRUE(h.RunUntilIdle(600));
    const SlgUnit* commander = FindUnitByKind(kCommanderKind);
    ASSERT_NE(commander, nullptr);
    EXPECT_EQ(Count(h, "start 8420"), gone ? 0u : 1u);
    if (gone) continue;
    EXPECT_EQ(commander->stats.attack, 8);
    EXPECT_EQ(commander->stats.defence, 10);
    EXPECT_EQ(commander->stats.move, 3);
    EXPECT_GE(h.FrameOf("message 272:60030"), 0);
    EXPECT_GE(h.FrameOf("se 30"), 0);
  }
}

TEST(Map08Commander, ItsFallEndsTheBattleWithThePartyOnItsClosingCells) {
  Map08Battle m = MakeBattle();
  EventHarness& h = *m.h;
  // Heroines 2 and 6 fell earlier in the battle.
  for (int c : {2, 6}) h.install.stage.units[static_cast<size_t>(m.entry[c])].present = 0;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  for (int f : {501, 504}) h.SetFlagAtInstall(f);
  h.Start();
  FullLife();
  ASSERT_TRUE(h.RunUntilIdle(600));
  ASSERT_EQ(LiveChara(2), nullptr);
  SlgUnit* commander = FindUnitByKind(kCommanderKind);
  ASSERT_NE(commander, nullptr);
  commander->stats.life = 0;
  SetUnitState(*commander, 15);
  int gone_frame = -1;
  int lock_frame = -1;
  int frame = 0;
  ASSERT_TRUE(h.RunUntil("victory", [&] {
    ++frame;
    if (gone_frame < 0 && CondNU(kCommanderKind) != 0) gone_frame = frame;
    if (lock_frame < 0 && Has(h, "start 8106") && Battle().camera.lock == 1) lock_frame = frame;
    return Has(h, "task Slg::GameWin");
  }, 8000));
  h.RunFrames(5);
  EXPECT_EQ(Count(h, "task Slg::GameWin"), 1u);
  EXPECT_EQ(CheckEventFlag(198), 1) << "the exit sequence ended";
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    const SlgUnit& u = Battle().state.units[i];
    if (u.kind == kSoldierKind) {
      EXPECT_TRUE(u.state == 15 || u.step == kSlgDeadStep);
    }
  }
  ASSERT_GT(gone_frame, 0);
  EXPECT_GE(lock_frame - gone_frame, 300);
  EXPECT_LE(h.FrameOf("end 8106"), h.FrameOf("start 8107"));
  EXPECT_EQ(Battle().camera.lock, 0u);
  const std::array<SlgPoint, 7> closing = {
      {{552, 296}, {596, 324}, {628, 248}, {576, 268}, {528, 264}, {552, 228}, {624, 292}}};
  for (int c = 0; c <= 6; ++c) {
    SCOPED_TRACE(c);
    const SlgUnit* u = LiveChara(c);
    ASSERT_NE(u, nullptr) << "on the map at the end";
    const SlgPoint at = SnapPosToCell(u->x >> 16, u->y >> 16);
    const SlgPoint want = SnapPosToCell(2 * closing[static_cast<size_t>(c)].x,
                                        2 * closing[static_cast<size_t>(c)].y);
    EXPECT_EQ(at.x, want.x);
    EXPECT_EQ(at.y, want.y);
    EXPECT_EQ(u->dir, 2u);
  }
  EXPECT_GE(h.FrameOf("bg slide 106"), 0);
  EXPECT_GE(h.FrameOf("bgm 18"), 0);
  EXPECT_GE(h.FrameOf("message 110:3066"), 0);
}

// ---- The taunts ----

TEST(Map08Taunts, EachTauntInItsTimeAndTheLongOneOnce) {
  Map08Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  h.SetTrust(1, 25);
  h.Start();
  FullLife();
  ASSERT_TRUE(h.RunUntilIdle(600));
  auto mad = [&] {
    h.Command(kMad);
    ASSERT_TRUE(h.RunUntilIdle(600));
  };
  mad();
  mad();
  SetEventFlag(103);
  mad();
  SetEventFlag(105);
  mad();
  EXPECT_EQ(Starts(h), (std::vector<std::string>{"start 8115", "start 8115", "start 8116",
                                                 "start 8117"}));
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 30:15000", "message 30:15001", "message 30:15002",
                                      "message 117:10025", "message 155:10029",
                                      "message 209:10200"}));
}

// Heroine 1's trust low at the opening (flag 130): the first taunt is the short line already.
TEST(Map08Taunts, WithLowTrustTheFirstTauntIsTheShortLine) {
  Map08Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  h.SetFlagAtInstall(130);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.Command(kMad);
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_EQ(h.Records("message"), std::vector<std::string>{"message 117:10025"});
}

// ---- Heroines 4 and 5 ----

TEST(Map08Talk8400, HeroineFourActingFromTheFifthRoundTalksWithHeroineFive) {
  Map08Battle m = MakeBattle();
  EventHarness& h = *m.h;
  for (int f : kOpeningFlags) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  for (int round = 2; round <= 5; ++round) {
    h.Act(0, 4);
    ASSERT_TRUE(h.RunUntilIdle(600));
    EXPECT_EQ(Count(h, "start 8400"), 0u) << "round " << round - 1;
    h.BeginTurn();
    ASSERT_TRUE(h.RunUntilIdle(600));
  }
  h.Act(0, 4);
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.Act(0, 4);
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_EQ(Starts(h), std::vector<std::string>{"start 8400"});
  EXPECT_EQ(h.Records("message"),
            (std::vector<std::string>{"message 159:60000", "message 210:60010",
                                      "message 209:60020"}));
}

}  // namespace
