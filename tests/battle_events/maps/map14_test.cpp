// Maps 14 and 15's event scripts on the event harness: map 14's opening with the squeeze
// teleport, the boss music, the victory, the characters' first-action lines, the choice that
// changes the boss, the favourite's and the partner's lines; map 15's three chained events.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_hits.h"
#include "battle/slg_map.h"
#include "battle/slg_map_plane.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/event_units.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/party_units.h"
#include "battle_events/maps/map14.h"
#include "battle_events/maps/map15.h"
#include "battle_events/runtime/event_script_helpers.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"
#include "testsupport/program_driver.h"
#include "testsupport/slg_map_writer.h"

namespace {

using testsupport::EventHarness;

constexpr int kMad = 18;
constexpr int kBossCharacter = 30;

// Map 14's battle on its small stage: heroines 1-6 of kinds 8-13, the boss (group 2, kind 28)
// unless left out, one enemy of group 1, the event objects 80-95 (95 with character byte 1).
std::unique_ptr<EventHarness> Map14Battle(bool with_boss = true) {
  testsupport::MapStage stage = *testsupport::FindMapStage(14);
  if (!with_boss) {
    std::erase_if(stage.units, [](const testsupport::MapStageUnit& u) {
      return u.side == 2 && u.character == kBossCharacter;
    });
  }
  return testsupport::MakeMapHarness(kMap14Setup, stage);
}

std::vector<int> Ids(const SlgEventEntry* table) {
  std::vector<int> ids;
  for (const SlgEventEntry* row = table; row->handler != nullptr; ++row) ids.push_back(row->id);
  return ids;
}

TEST(Map14Table, RowsInOrderAndTheSetUps) {
  EXPECT_TRUE(testsupport::LintMapSetup(13, kMap14Setup).empty());
  EXPECT_TRUE(testsupport::LintMapSetup(14, kMap15Setup).empty());
  const std::vector<int> map14 = {14100, 14105, 14105, 14110, 14115, 14116, 14117, 14118, 14119,
                                  14120, 14121, 14125, 14128, 14130, 14135, 14400, 500,   501,
                                  502,   503,   504,   505,   520,   521,   522,   523,   524,
                                  525,   530,   531,   532,   533,   534,   535,   610,   611,
                                  612,   613,   614,   615,   616};
  EXPECT_EQ(Ids(kMap14Setup.table), map14);
  EXPECT_EQ(Ids(kMap15Setup.table), (std::vector<int>{15101, 15102, 15103}));
  // The generic rows' two differences from the standard pairs, and the turn talks by heroine.
  for (const SlgEventEntry* row = kMap14Setup.table; row->handler != nullptr; ++row) {
    if (row->id == 610) {
      const auto* args = static_cast<const FavouriteArgs*>(row->arg);
      EXPECT_EQ(args->references[0], (EventMessageRef{65535, 0}));
      EXPECT_EQ(args->references[1], (EventMessageRef{65535, 0}));
      EXPECT_EQ(args->references[2], (EventMessageRef{30, 2025}));
      EXPECT_STREQ(row->c, "NP(IMR());");
    }
    if (row->id == 616) {
      const auto* args = static_cast<const CharTalkArgs*>(row->arg);
      EXPECT_EQ(args->character, 6);
      EXPECT_EQ(args->references[1], (EventMessageRef{138, 2134}));
      EXPECT_STREQ(row->b, "PP(IBS)&R(20);");
    }
    if (row->id == 615) {
      EXPECT_STREQ(row->b, "PP(ITZ)&R(20);");
    }
    if (row->id >= 14115 && row->id <= 14121) {
      EXPECT_EQ(row->guard[1], 105) << row->id;
    }
  }
  EXPECT_EQ(kMapEventSetupTable[13], &kMap14Setup);
  EXPECT_EQ(kMapEventSetupTable[14], &kMap15Setup);
  EXPECT_EQ(kMap14Setup.bgm, MapBgm::Play(27));
  EXPECT_EQ(kMap15Setup.bgm, MapBgm::Play(29));
  ASSERT_EQ(kMap14Setup.anm_table.size(), 16u);
  EXPECT_EQ(kMap14Setup.anm_table[0], kMap14Setup.anm_table[15]);
  EXPECT_NE(kMap14Setup.anm_table[1], kMap14Setup.anm_table[8]);
  EXPECT_EQ(kMap15Setup.anm_table.size(), 7u);
  EXPECT_EQ(kMap14Setup.deferred, nullptr);
  EXPECT_EQ(kMap15Setup.deferred, nullptr);
}

// ---- Map 14: the opening, the boss music, the victory ----

TEST(Map14Chain, OpeningTeleportBossMusicAndOneVictory) {
  auto h = Map14Battle();
  h->Start();
  bool hidden = false;
  uint8_t figure_phase = 0;
  SlgPair figure_at{};
  ASSERT_TRUE(h->RunUntil("the opening's end", [&] {
    const SlgUnit* u = FindUnitByGroupKind(0, 3);
    if (u != nullptr && (u->flags & 0x80u) == 0) hidden = true;
    if (const SlgUnit* f = FindUnitByKindChara(95, 1); f != nullptr && SlgUnitLive(*f)) {
      figure_phase = f->state;
      figure_at = {f->x, f->y};
    }
    return h->FrameOf("end 14100") >= 0;
  }, 6000));
  EXPECT_TRUE(hidden);
  for (int c = 1; c <= 6; ++c) EXPECT_NE(h->Unit(0, c)->flags & 0x80u, 0u) << "shown again";
  EXPECT_EQ(figure_phase, kMap14FadeDone);
  EXPECT_EQ(figure_at.x, kMap14TeleportX << 16);
  EXPECT_EQ(figure_at.y, kMap14TeleportY << 16);
  for (int kind = 80; kind <= 95; ++kind) {
    const SlgUnit* o = FindUnitByKind(kind);
    EXPECT_TRUE(o == nullptr || !SlgUnitLive(*o)) << kind;
  }
  EXPECT_LT(h->FrameOf("bgm 27"), h->FrameOf("bgm 14"));
  EXPECT_EQ(h->Records("se 270").size(), 1u);
  EXPECT_EQ(h->Records("se 271").size(), 1u);
  EXPECT_TRUE(CheckEventFlag(101));

  // A boss action with flag 199: one 14105 row plays, the other never.
  SetEventFlag(199);
  h->Act(2, kBossCharacter);
  ASSERT_TRUE(h->RunUntilIdle(1200));
  h->Act(2, kBossCharacter);
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_EQ(h->Records("start 14105").size(), 1u);
  EXPECT_EQ(h->Records("bgm 17").size(), 1u);
  EXPECT_GE(h->FrameOf("message 294:3158"), 0);

  // The boss at life 0: the victory waits for the end of its exit sequence (flag 198).
  h->SetLife(2, kBossCharacter, 0);
  h->RunFrames(30);
  EXPECT_GE(h->FrameOf("start 14110"), 0);
  EXPECT_TRUE(h->Records("task Slg::GameWin").empty());
  SetEventFlag(198);
  ASSERT_TRUE(h->RunUntilIdle(3000));
  EXPECT_EQ(h->Records("task Slg::GameWin").size(), 1u);
  EXPECT_GE(h->FrameOf("bg slide 107"), 0);
  EXPECT_GE(h->FrameOf("bgm 18"), 0);
  const SlgUnit* enemy = FindUnitByKind(14);
  EXPECT_TRUE(enemy == nullptr || !SlgUnitLive(*enemy) || enemy->stats.life == 0);
}

TEST(Map14Chain, EitherBossMusicRowPlaysOnce) {
  for (bool by_flag : {true, false}) {
    auto h = Map14Battle();
    h->SetFlagAtInstall(100);
    if (by_flag) h->SetFlagAtInstall(199);
    h->Start();
    h->RunFrames(2);
    if (!by_flag) {
      // Every unit of group 1 gone.
      testsupport::RemoveLiveUnitsOfSide(1);
      h->RunFrames(2);
      ASSERT_NE(CondNG(1), 0);
    }
    for (int n = 0; n < 3; ++n) {
      h->Act(2, kBossCharacter);
      ASSERT_TRUE(h->RunUntilIdle(1200));
    }
    EXPECT_EQ(h->Records("start 14105").size(), 1u) << by_flag;
    EXPECT_EQ(h->Records("message 294:3158").size(), 1u) << by_flag;
  }
}

// ---- Map 14: the first-action lines ----

TEST(Map14Lines, EachCharactersFlagFiresItsLineOnceUntilTheBossMusic) {
  struct Case {
    int flag;
    std::string line;
  } cases[] = {{951, "message 12:10001"},  {952, "message 30:10002"}, {953, "message 75:10003"},
               {954, "message 111:10004"}, {955, "message 156:10005"},
               {956, "message 210:10007"}, {957, "message 138:10006"}};
  auto h = Map14Battle();
  h->SetFlagAtInstall(100);
  h->Start();
  for (const Case& c : cases) {
    SetEventFlag(static_cast<uint32_t>(c.flag));
    h->Act(0, 1);
    ASSERT_TRUE(h->RunUntilIdle(600));
    h->Act(0, 2);
    ASSERT_TRUE(h->RunUntilIdle(600));
    EXPECT_EQ(h->Records(c.line).size(), 1u) << c.flag;
  }
  h.reset();
  // After the boss music none fires.
  auto late = Map14Battle();
  late->SetFlagAtInstall(100);
  late->SetFlagAtInstall(105);
  for (const Case& c : cases) late->SetFlagAtInstall(c.flag);
  late->Start();
  late->Act(0, 1);
  ASSERT_TRUE(late->RunUntilIdle(600));
  for (const Case& c : cases) EXPECT_TRUE(late->Records(c.line).empty()) << c.flag;
}

// The core's own flag: the end of an attack by character 3 (kind 10) sets 954, and the next
// action plays 14118's line.
TEST(Map14Lines, AnAttackByCharacterThreeGivesHerLine) {
  auto h = Map14Battle();
  h->SetFlagAtInstall(100);
  h->Start();
  SlgUnit* attacker = h->Unit(0, 3);
  SlgUnit* target = h->Unit(1, 20);
  ASSERT_NE(attacker, nullptr);
  ASSERT_NE(target, nullptr);
  SlgSearchState& search = Battle().search;
  const SlgPoint cell = SnapPosToCell(target->x >> 16, target->y >> 16);
  search.range_count = 0;
  search.range_list[search.range_count++] = {static_cast<int16_t>(cell.x),
                                             static_cast<int16_t>(cell.y)};
  attacker->stats.attack_type = 0;
  Slg::MarkHitUnits(*attacker);
  SetUnitState(*attacker, 5);
  ASSERT_TRUE(h->RunUntil("flag 954", [] { return CheckEventFlag(954) != 0; }, 1200));
  EXPECT_EQ(CheckEventFlag(953), 0);
  ASSERT_TRUE(h->RunUntilIdle(600));
  h->Act(0, 1);
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_EQ(h->Records("message 111:10004").size(), 1u);
}

TEST(Map14Lines, FavouriteByImrAndPartnerByP83) {
  const std::string favourite[] = {"message 33:10020",  "message 78:10021",
                                   "message 114:10022", "message 157:10023",
                                   "message 213:10025", "message 141:10024"};
  for (int f = 1; f <= 6; ++f) {
    auto h = Map14Battle();
    h->SetFlagAtInstall(100);
    h->SetFlagAtInstall(901);
    h->SetTrust(f, 90);
    h->Start();
    ASSERT_EQ(CondIMR(), f);
    h->Act(0, 1);
    ASSERT_TRUE(h->RunUntilIdle(600));
    EXPECT_EQ(h->Records(favourite[f - 1]).size(), 1u) << f;
  }
  struct Case {
    int p83;
    std::string line;
  } partners[] = {{0, "message 239:15000"}, {1, "message 239:15000"}, {2, "message 239:15001"},
                  {3, "message 239:15002"}, {4, "message 239:15004"}, {5, "message 239:15003"},
                  {6, "message 239:15005"}, {300, "message 239:15000"}};
  for (const Case& c : partners) {
    auto h = Map14Battle();
    h->SetFlagAtInstall(100);
    h->SetP(83, static_cast<uint16_t>(c.p83));
    h->Start();
    h->Command(kMad);
    ASSERT_TRUE(h->RunUntilIdle(600));
    EXPECT_EQ(h->Records(c.line).size(), 1u) << c.p83;
  }
}

// ---- Map 14: the choice ----

TEST(Map14Choice, AnswersChangeTheBossAndOthersChangeNothing) {
  struct Case {
    int answer;  // 0: none (time-out)
    std::vector<std::string> lines;
    int attack_delta;
    int defence;  // -1 unchanged
    bool follow;
  } cases[] = {
      {0, {"message 295:60080", "message 239:60090"}, 0, 2, false},
      {1, {"message 18:60020", "message 295:60030", "message 239:60040"}, 0, 2, false},
      {2, {"message 12:60050", "message 293:60060", "message 239:60070"}, 17, -1, true},
      {3, {}, 0, -1, false},
  };
  for (const Case& c : cases) {
    auto h = Map14Battle();
    h->SetFlagAtInstall(100);
    h->SetFlagAtInstall(910);
    if (c.answer != 0) h->AnswerChoice(c.answer);
    h->Start();
    SlgUnit* boss = h->Unit(2, kBossCharacter);
    ASSERT_NE(boss, nullptr);
    const SlgUnitStats before = boss->stats;
    ASSERT_TRUE(h->RunUntilIdle(2000));
    std::vector<std::string> after;
    for (const std::string& m : h->Records("message")) {
      if (m != "message 295:60000") after.push_back(m);
    }
    EXPECT_EQ(after, c.lines) << c.answer;
    EXPECT_EQ(boss->stats.attack, c.attack_delta != 0 ? 17 : before.attack) << c.answer;
    EXPECT_EQ(boss->stats.defence, c.defence >= 0 ? c.defence : before.defence) << c.answer;
    SlgUnitStats totals = boss->stats;
    CalcStatTotals(totals);
    EXPECT_EQ(boss->stats.total_attack, totals.total_attack) << c.answer;
    EXPECT_EQ(boss->stats.total_defence, totals.total_defence) << c.answer;
    EXPECT_EQ(CheckEventFlag(kMap14FollowFlag) != 0, c.follow) << c.answer;
    EXPECT_EQ(h->Records("se 30").size(), c.follow ? 1u : 0u) << c.answer;
  }
  // Without a boss the lists play and nothing else changes (the victory row, which an absent
  // boss starts, marked as done).
  {
    auto h = Map14Battle(false);
    h->SetFlagAtInstall(100);
    h->SetFlagAtInstall(110);
    h->SetFlagAtInstall(910);
    h->AnswerChoice(2);
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(2000));
    EXPECT_GE(h->FrameOf("message 239:60070"), 0);
    EXPECT_TRUE(CheckEventFlag(kMap14FollowFlag));
  }
  // The victory of a stage without a boss does not wait for an exit sequence that cannot come.
  auto h = Map14Battle(false);
  h->SetFlagAtInstall(100);
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(2000));
  EXPECT_EQ(h->Records("task Slg::GameWin").size(), 1u);
}

// ---- Map 14: the squeeze teleport, frame by frame ----

TEST(Map14Figure, SqueezeTeleportPhasesByTheFigureClock) {
  for (int jump : {1, 5}) {
    auto h = Map14Battle();
    h->SetFlagAtInstall(100);
    h->Start();
    EventDeployKind(95);
    h->RunFrames(1);
    SlgUnit* f = FindUnitByKindChara(95, 1);
    ASSERT_NE(f, nullptr);
    ASSERT_NE(f->anm, nullptr);
    ASSERT_EQ(f->state, 1);
    const SlgEventAnmHandler handler = kMap14Setup.anm_table[15];
    SlgPair at{100 << 16, 200 << 16};
    SetUnitState(*f, kMap14SqueezeStart);
    handler(*f, at);
    ASSERT_EQ(f->state, kMap14Squeezing);
    int t = 0;
    while (f->state == kMap14Squeezing && t < 40) {
      t += jump;
      f->anm->frames = std::min(t, 40);
      handler(*f, at);
      if (f->state == kMap14Squeezing) {
        EXPECT_EQ(Map14State().zoom.x, 0x10000 - t * 0x1000) << t;
        EXPECT_EQ(Map14State().zoom.y, 0x10000 + t * 0x4000) << t;
      }
    }
    EXPECT_EQ(t, jump == 1 ? 16 : 20) << "the first frame with zoom x below 1";
    EXPECT_EQ(f->x, kMap14TeleportX << 16);
    EXPECT_EQ(f->y, kMap14TeleportY << 16);
    EXPECT_EQ(at.x, Slg::PosToScreen({f->x, f->y}).x);
    EXPECT_EQ(Map14State().saved.x, 4096);
    EXPECT_EQ(Map14State().saved.y, 0x50000);
    t = 0;
    while (f->state == kMap14Growing && t < 40) {
      t += jump;
      f->anm->frames = t;
      handler(*f, at);
    }
    EXPECT_EQ(f->state, kMap14Standing);
    EXPECT_EQ(Map14State().zoom.x, 0x10000) << jump;
    if (jump == 1) {
      EXPECT_EQ(t, 15);
    }
  }
}

TEST(Map14Figure, FadesToToneLevel31AndIsDoneThreeFramesLater) {
  auto h = Map14Battle();
  h->SetFlagAtInstall(100);
  h->Start();
  EventDeployKind(95);
  h->RunFrames(1);
  SlgUnit* f = FindUnitByKindChara(95, 1);
  ASSERT_NE(f, nullptr);
  SetUnitState(*f, kMap14FadeStart);
  int hold_at = -1;
  int done_at = -1;
  for (int frame = 0; frame < 400 && done_at < 0; ++frame) {
    h->RunFrames(1);
    if (f->state == kMap14FadeHold && hold_at < 0) hold_at = frame;
    if (f->state == kMap14FadeDone) done_at = frame;
  }
  ASSERT_GE(hold_at, 0);
  ASSERT_GE(done_at, 0);
  EXPECT_GE(done_at - hold_at, 3);
  EXPECT_LE(done_at - hold_at, 4);
  ASSERT_NE(f->anm, nullptr);
  EXPECT_EQ(f->anm->shade, 24576);
}

// ---- Map 15 ----

std::unique_ptr<EventHarness> Map15Battle(int p83) {
  auto h = testsupport::MakeMapHarness(kMap15Setup, *testsupport::FindMapStage(15));
  h->SetP(83, static_cast<uint16_t>(p83));
  return h;
}

TEST(Map15Stage, ClosingLinesLeaveOutThePartnerAndTheStageSwitchesOnce) {
  const std::vector<std::string> all = {"message 114:3166", "message 74:3167",
                                        "message 233:3168", "message 137:3169",
                                        "message 209:3170"};
  struct Case {
    int p83;
    std::string left_out;  // "" none
  } cases[] = {{0, ""},
               {1, ""},
               {2, "message 74:3167"},
               {3, "message 114:3166"},
               {4, "message 137:3169"},
               {5, ""},
               {6, "message 209:3170"},
               {7, ""},
               {300, ""}};
  for (const Case& c : cases) {
    auto h = Map15Battle(c.p83);
    h->Start();
    // A sky plane (plane 1) for the talk to switch off and bring back.
    const int map = h->install.stage.map;
    testsupport::LayMapFile(h->rig().driver().tree, map, "sky.spr",
                            testsupport::MapBankFile(testsupport::GridBank(64, 64, 2, 2, 1)));
    testsupport::MapTabWriter().File("Sky:", {"sky.spr"}).Lay(h->rig().driver().tree, map);
    SlgMap::LoadMapTable(map);
    ASSERT_EQ(h->FrameOf("start 15102"), -1) << "the plane is laid before the talk starts";
    bool plane_off = false;
    ASSERT_TRUE(h->RunUntil("the stage switch", [&] {
      if (CheckEventFlag(101) && !CheckEventFlag(103) && Battle().map.planes[1] != nullptr &&
          Battle().map.planes[1]->enabled == 0) {
        plane_off = true;
      }
      return !h->Records("task Slg::_exchangeStageNofade").empty();
    }, 6000));
    std::vector<std::string> closing;
    for (const std::string& m : h->Records("message")) {
      for (const std::string& line : all) {
        if (m == line) closing.push_back(m);
      }
    }
    std::vector<std::string> expected;
    for (const std::string& line : all) {
      if (line != c.left_out) expected.push_back(line);
    }
    EXPECT_EQ(closing, expected) << c.p83;
    EXPECT_TRUE(plane_off) << c.p83;
    EXPECT_EQ(SlgMap::GetPlaneAlpha(1) & 0xFFFF, 256u) << c.p83;
    EXPECT_EQ(h->Records("task Slg::_exchangeStageNofade").size(), 1u);
    EXPECT_LT(h->FrameOf("se 286"), h->FrameOf("se 283"));
    const int fade_out = h->FrameOf("fade 256 black");
    EXPECT_GE(fade_out, 0);
    EXPECT_LE(fade_out, h->FrameOf("task Slg::_exchangeStageNofade"));
    // Step 5's list no earlier than 60 frames after the timer was set (after step 4's wait).
    EXPECT_GE(h->FrameOf("message 29:3162") - h->FrameOf("message 297:3161"), 90 + 60) << c.p83;
  }
}

}  // namespace
