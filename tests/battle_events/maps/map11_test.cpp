// Map 11's event script in real battles on the event harness: the table, the placement of the
// present heroines (at most three), the leader's opening talk and tour, the target lines by who
// destroyed each factory, the finale, the glowing object's pulse, and the chain from map 10's
// split.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_death.h"
#include "battle/slg_draw.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_hits.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_units.h"
#include "battle_events/fix_task.h"
#include "battle_events/maps/map10.h"
#include "battle_events/maps/map11.h"
#include "game/system_data.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr const char* kSwitch = "task Slg::_exchangeStageNofade";
constexpr int kFactoryKind = 43;
// The story rows before the targets: set at the install, they do not run.
constexpr int kOpeningFlags[] = {110, 130, 140, 150};
// The heroines' second variables (index h - 1).
constexpr std::array<int, 6> kSecondVar = {10, 20, 30, 50, 60, 40};

struct Map11Battle {
  std::unique_ptr<EventHarness> h;
  std::array<int, 3> factory{};  // entries of variants 0-2
};

// Map 11's battle on its small stage: the hero, heroines 1-6 whose entries are not made at the
// start, the install's soldier and one more, three factories of variants 0-2 (with the entries
// 10-12 they produce from) and the event objects 80-94; the going variables of the heroines in
// `going` set, and the second variables `second` (index h - 1).
Map11Battle MakeBattle(const std::vector<int>& going,
                       const std::array<int32_t, 6>& second = {}) {
  Map11Battle m;
  m.h = testsupport::MakeMapHarness(kMap11Setup, *testsupport::FindMapStage(11));
  EventHarness& h = *m.h;
  for (int v = 0; v < 3; ++v) {
    m.factory[static_cast<size_t>(v)] = testsupport::StageEntryOf(h, 1, 30 + v);
  }
  for (int c : going) h.SetP(kMap10GoingVar[static_cast<size_t>(c - 1)], 1);
  for (size_t i = 0; i < second.size(); ++i) {
    h.SetP(kSecondVar[i], static_cast<uint16_t>(32768 + second[i]));
  }
  return m;
}

std::vector<int> PresentFlags() {
  std::vector<int> flags;
  for (int heroine = 1; heroine <= 6; ++heroine) {
    if (CheckEventFlag(kMap11PresentFlag + heroine) != 0) flags.push_back(kMap11PresentFlag + heroine);
  }
  return flags;
}

// The heroines on the map (a live group-0 unit).
std::vector<int> Placed() {
  std::vector<int> placed;
  for (int heroine = 1; heroine <= 6; ++heroine) {
    const SlgUnit* u = FindUnitByGroupKind(0, heroine);
    if (u != nullptr && SlgUnitLive(*u)) placed.push_back(heroine);
  }
  return placed;
}

SlgUnit* Factory(int variant) {
  for (int i = 0; i < Battle().state.unit_count; ++i) {
    SlgUnit& u = Battle().state.units[static_cast<size_t>(i)];
    if (u.kind == kFactoryKind && Battle().stage->unit(u.entry).think_row == variant &&
        SlgUnitLive(u)) {
      return &u;
    }
  }
  return nullptr;
}

// ---- The table ----

TEST(Map11Table, ItsRowsAreCleanInTheMapsOrderWithThePresenceFlags) {
  EXPECT_TRUE(testsupport::LintMapSetup(10, kMap11Setup).empty());
  std::vector<int> ids;
  std::vector<std::string> b;
  for (const SlgEventEntry* row = kMap11Setup.table; row->handler != nullptr; ++row) {
    ids.push_back(row->id);
    b.emplace_back(row->b);
  }
  EXPECT_EQ(ids, (std::vector<int>{11110, 11130, 11140, 11150, 11190, 11210, 11211, 11500,
                                   11501, 11502, 11503, 11504, 11505, 11520, 11521, 11522,
                                   11523, 11524, 11525, 11160, 11170, 11180, 11530, 11531,
                                   11532, 11533, 11534, 11535, 11610, 11611, 11612, 11613,
                                   11614, 11615, 11616}));
  ASSERT_EQ(b.size(), 35u);
  EXPECT_EQ(b[11], "F(446)&NP(IBS);");
  EXPECT_EQ(b[12], "F(445)&NP(ITZ);");
  EXPECT_EQ(b[19], "F(427)|F(428)|F(429);");
  EXPECT_EQ(b[28], "PP(IKD)&R(20);");
  EXPECT_EQ(b[33], "F(445)&PP(ITZ)&R(20);");
  EXPECT_EQ(b[34], "F(446)&PP(IBS)&R(20);");
  EXPECT_STREQ(kMap11Setup.table[4].a, "F(180);");
  EXPECT_STREQ(kMap11Setup.table[28].c, "HP(IKD,0)|NP(IMR());");
  EXPECT_EQ(kMapEventSetupTable[10], &kMap11Setup);
  EXPECT_EQ(kMap11Setup.anm_table.size(), 15u);
  EXPECT_EQ(kMap11Setup.bgm, MapBgm::Play(30));
}

// ---- The placement and the opening ----

TEST(Map11Placement, ThePresentHeroinesTakeTheThreeCellsAndAFourthStaysAway) {
  struct Case {
    const char* name;
    std::vector<int> going;
    std::vector<int> flags;
    std::vector<int> placed;
  } cases[] = {
      {"heroines 2 and 5", {2, 5}, {442, 445}, {2, 5}},
      {"four set: the fourth has no cell", {1, 2, 3, 4}, {441, 442, 443}, {1, 2, 3}},
      {"none", {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Map11Battle m = MakeBattle(c.going);
    EventHarness& h = *m.h;
    for (int f : {130, 140, 150}) h.SetFlagAtInstall(f);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(600));
    EXPECT_EQ(PresentFlags(), c.flags);
    EXPECT_EQ(Placed(), c.placed);
    for (size_t n = 0; n < c.placed.size(); ++n) {
      const SlgUnit* u = FindUnitByGroupKind(0, c.placed[n]);
      const SlgPoint cell = {kMap11PlaceCells[n].x, kMap11PlaceCells[n].y};
      EXPECT_EQ(SlgUnitCell(*u).column, PosToCell(cell.x, cell.y).column) << c.placed[n];
      EXPECT_EQ(SlgUnitCell(*u).row, PosToCell(cell.x, cell.y).row) << c.placed[n];
      EXPECT_EQ(u->dir, 2) << c.placed[n];
    }
    ASSERT_NE(FindUnitByKind(kMap11GlowKind), nullptr) << "the glowing object";
    EXPECT_GE(h.FrameOf("fade 0 black"), 0) << "the fade-in";
    // An absent heroine's fall stays silent.
    h.Act(0, 0);
    h.BeginTurn();
    ASSERT_TRUE(h.RunUntilIdle(2000));
    EXPECT_LT(h.FrameOf("start 11503"), 0);
  }
}

TEST(Map11Opening, ThePresentHeroinesSpeakAndTheLeaderToursTheTargets) {
  struct Case {
    const char* name;
    std::vector<int> going;
    std::array<int32_t, 6> second;
    std::vector<std::string> messages;
  } cases[] = {
      {"heroines 2 and 5: heroine 5 leads", {2, 5}, {90, 10, 0, 0, 20, 0},
       {"message 11:10000", "message 74:10002", "message 209:10005", "message 209:10011",
        "message 11:10013", "message 11:10014", "message 209:10018", "message 209:10024",
        "message 209:10030", "message 209:10036", "message 11:10038", "message 209:3094"}},
      {"equal values: the lower number leads", {3, 6}, {0, 0, 5, 0, 0, 5},
       {"message 11:10000", "message 110:10003", "message 137:10006", "message 110:10009",
        "message 11:10013", "message 11:10014", "message 110:10016", "message 110:10022",
        "message 110:10028", "message 110:10034", "message 11:10038", "message 110:3094"}},
      {"none present: heroine 1 leads", {}, {0, 50, 0, 0, 0, 0},
       {"message 11:10000", "message 29:10007", "message 11:10013", "message 11:10014",
        "message 29:20000", "message 29:10020", "message 29:10026", "message 29:10032",
        "message 11:10038", "message 29:3094"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Map11Battle m = MakeBattle(c.going, c.second);
    EventHarness& h = *m.h;
    h.Start();
    // Held from the end of the opening talk until the tour's last line has been read.
    const std::string last_tour_line = c.messages[c.messages.size() - 3];
    bool held = true;
    ASSERT_TRUE(h.RunUntil("the tour", [&] {
      if (h.FrameOf("end 11130") >= 0 && h.FrameOf(last_tour_line) < 0 &&
          Battle().camera.lock != 1) {
        held = false;
      }
      return h.FrameOf("end 11150") >= 0;
    }, 6000));
    EXPECT_TRUE(held) << "the camera held from the opening talk to the tour's end";
    EXPECT_EQ(Battle().camera.lock, 0u);
    EXPECT_EQ(h.Records("message"), c.messages);
    EXPECT_EQ(h.Records("start"), (std::vector<std::string>{"start 11110", "start 11130",
                                                             "start 11140", "start 11150"}));
  }
}

// ---- The targets and the finale ----

TEST(Map11Targets, EachDestroyedTargetShowsItsDestroyersLineThenTheFinaleSwitches) {
  Map11Battle m = MakeBattle({3});
  EventHarness& h = *m.h;
  for (int f : {130, 140, 150}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  // The recorded byte & 7 picks the line: 3, 9 (index 1), 0.
  struct Step {
    int flag;
    uint8_t byte;
    const char* row;
    const char* line;
  } steps[] = {
      {427, 3, "start 11160", "message 110:10042"},
      {429, 9, "start 11170", "message 29:10047"},
      {428, 0, "start 11180", "message 11:10060"},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.row);
    Battle().factory_destroyer = s.byte;
    SetEventFlag(static_cast<uint32_t>(s.flag));
    ASSERT_TRUE(h.RunUntil(s.line, [&] { return h.FrameOf(s.line) >= 0; }, 600));
    EXPECT_GE(h.FrameOf(s.row), 0);
    if (std::string(s.row) != "start 11180") {
      ASSERT_TRUE(h.RunUntilIdle(600));
      for (int f : {427, 428, 429}) EXPECT_EQ(CheckEventFlag(f), 0) << f;
    }
  }
  // The finale: four flashes, the enemies blink and go, the glowing object breaks, the switch.
  std::vector<SlgUnit*> enemies;
  for (int i = 0; i < Battle().state.unit_count; ++i) {
    SlgUnit& u = Battle().state.units[static_cast<size_t>(i)];
    if (u.side == 1 && SlgUnitLive(u)) enemies.push_back(&u);
  }
  ASSERT_GE(enemies.size(), 5u) << "two soldiers and three factories";
  int hidden_frames = 0;
  bool broken = false;
  ASSERT_TRUE(h.RunUntil("the switch", [&] {
    if (h.FrameOf("start 11190") >= 0 && (enemies[0]->flags & 0x80u) == 0 &&
        SlgUnitLive(*enemies[0])) {
      ++hidden_frames;
    }
    const SlgUnit* glow = FindUnitByKind(kMap11GlowKind);
    if (glow != nullptr && glow->state == kMap11GlowBroken) broken = true;
    return h.FrameOf(kSwitch) >= 0;
  }, 6000));
  EXPECT_EQ(h.Records("se 269").size(), 4u);
  EXPECT_GE(h.FrameOf("task Eve::fadeOutMusic"), 0);
  EXPECT_EQ(hidden_frames, 30) << "30 blinks, hidden one frame in two";
  for (const SlgUnit* e : enemies) EXPECT_FALSE(SlgUnitLive(*e));
  EXPECT_TRUE(broken) << "the glowing object reached phase 4";
  const auto messages = h.Records("message");
  const std::vector<std::string> last(messages.end() - 2, messages.end());
  EXPECT_EQ(last, (std::vector<std::string>{"message 15:10061", "message 11:10062"}));
  EXPECT_EQ(GetSystemData()->battleMap(), 21u);
}

// The core's own path: heroine 3, the acting unit, defeats the variant-0 factory; its death sets
// flag 427 and records her character, and 11160 gives her line.
TEST(Map11Targets, TheCoreRecordsTheActingHeroineWhoDestroysAFactory) {
  Map11Battle m = MakeBattle({3});
  EventHarness& h = *m.h;
  for (int f : {130, 140, 150}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  Battle().factory_destroyer = 7;
  SlgUnit* heroine = h.Unit(0, 3);
  SlgUnit* factory = Factory(0);
  ASSERT_NE(heroine, nullptr);
  ASSERT_NE(factory, nullptr);
  h.Act(0, 3);
  h.RunFrames(2);
  // Her attack's hit resolution: the factory in the damage list with a result of its life.
  factory->stats.life = 1;
  factory->stats.result = 1;
  factory->flags |= kUnitInDamageList;
  ASSERT_EQ(Slg::ApplyHits(*heroine), 1);
  EXPECT_EQ(factory->state, kUnitStateDefeated);
  EXPECT_EQ(Battle().event_unit_ref[0], heroine->slot);
  ASSERT_TRUE(h.RunUntil("11160", [&] { return h.FrameOf("start 11160") >= 0; }, 600));
  EXPECT_EQ(Battle().factory_destroyer, 3);
  EXPECT_EQ(CheckEventFlag(160), 0) << "set when it finishes";
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_GE(h.FrameOf("message 110:10042"), 0);
  EXPECT_EQ(CheckEventFlag(427), 0);
  EXPECT_EQ(Battle().event_unit_ref[0], kSlgNoUnit) << "reset by the event's finish";
  EXPECT_EQ(Battle().factory_destroyer, 3) << "kept";
}

// ---- The glowing object ----

TEST(Map11Glow, ItsAlphaPulsesOverSixtyFourFramesUnlessTheSpritesAreHeld) {
  Map11Battle m = MakeBattle({});
  EventHarness& h = *m.h;
  for (int f : {130, 140, 150}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_EQ(Battle().fix_tasks.count, 18) << "the map's fixed sprites";
  SlgUnit* glow = FindUnitByKind(kMap11GlowKind);
  ASSERT_NE(glow, nullptr);
  ASSERT_NE(glow->anm, nullptr);
  ASSERT_NE(glow->anm->handle, nullptr);
  EXPECT_EQ(glow->state, 1);
  const SlgEventAnmHandler handler = kMap11Setup.anm_table[kMap11GlowKind - 80];
  struct Case {
    int32_t t;
    uint32_t level;
  } cases[] = {{0, 128}, {15, 184}, {31, 248}, {32, 256}, {63, 128}};
  SlgPair at{};
  for (const Case& c : cases) {
    glow->anm->frames = c.t;
    handler(*glow, at);
    EXPECT_EQ(SlgSprGetAlpha(glow->anm), 0x20000u + c.level) << "t " << c.t;
  }
  Battle().flags |= kMap11GlowHeldBit;
  glow->anm->frames = 15;
  handler(*glow, at);
  EXPECT_EQ(SlgSprGetAlpha(glow->anm), 0x20000u + 128) << "held";
  Battle().flags &= static_cast<uint16_t>(~kMap11GlowHeldBit);
}

// ---- From map 10 to map 11 ----

TEST(Map11Chain, TheHeroinesMapTenSentOnAreExactlyTheOnesPlaced) {
  std::vector<int> going;
  {
    auto map10 = testsupport::MakeMapHarness(kMap10Setup, *testsupport::FindMapStage(10));
    EventHarness& h = *map10;
    for (int flag : {110, 120}) h.SetFlagAtInstall(flag);
    for (int line : {2, 1, 1, 2, 1}) h.AnswerChoice(line);
    h.Start();
    ASSERT_TRUE(h.RunUntil("the switch", [&] { return h.FrameOf(kSwitch) >= 0; }, 20000));
    for (int heroine = 1; heroine <= 6; ++heroine) {
      if (SlgGetMacroP(kMap10GoingVar[static_cast<size_t>(heroine - 1)]) == 1) {
        going.push_back(heroine);
      }
    }
  }
  ASSERT_EQ(going, (std::vector<int>{2, 3, 5})) << "answers 2, 1, 1, 2, 1 in number order";
  Map11Battle m = MakeBattle(going);
  EventHarness& h = *m.h;
  for (int f : {130, 140, 150}) h.SetFlagAtInstall(f);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_EQ(Placed(), going);
  EXPECT_EQ(PresentFlags(), (std::vector<int>{442, 443, 445}));
}

}  // namespace
