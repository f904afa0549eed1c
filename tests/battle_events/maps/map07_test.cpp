// Map 7's event script in real battles on the event harness: the table and its line conditions,
// the silent events (leader, stat shifts, life cuts), the long-move opening with its camera path,
// the lines that bring the hidden soldiers, the meeting of heroines 2 and 6 and the victory.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_stage_table.h"
#include "battle/slg_start.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_events/core/cond_eval.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/commander_scenes.h"
#include "battle_events/maps/map07.h"
#include "engine/app/context.h"
#include "engine/core/game_task.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr int kStage = 6;
constexpr int kMad = 18;
constexpr int kCommanderGroup = 2;
constexpr int kCommanderCharacter = 8;
constexpr int kCommanderKind = 25;
constexpr int kHiddenKind = 34;
// Silences the turn remarks' and the favourite's chances (R(n) fails).
constexpr int32_t kNoChance = 0xFFFF;
// The silent events and the openings: set at the install, they do not run.
constexpr int kOpeningFlags[] = {97, 98, 99, 100, 101};

struct BattleOptions {
  std::vector<int> missing_party{};  // characters left out
  bool skip_opening = true;          // flags 97-101 set at the install
  bool commander = false;            // the commander on the map from the start
};

// Map 7's battle on its small stage (stage 6): the hero and heroines 1-6 but `missing_party`,
// kind-14 soldiers of numbers 1-3 (the install's own enemy is the first), hidden kind-34 soldiers
// 17-26 (17 and 18 on the map, 19-26 made only by the lines), the commander (kind 25, group 2,
// character 8; made by the opening unless `commander`), the event objects 80-92; the attacks
// stubbed.
std::unique_ptr<EventHarness> MakeBattle(const BattleOptions& o = {}) {
  testsupport::MapStage stage = *testsupport::FindMapStage(7);
  std::erase_if(stage.units, [&](const testsupport::MapStageUnit& u) {
    return u.side == 0 && std::find(o.missing_party.begin(), o.missing_party.end(),
                                    u.character) != o.missing_party.end();
  });
  for (testsupport::MapStageUnit& u : stage.units) {
    if (u.side == kCommanderGroup) u.present = o.commander;
  }
  auto h = testsupport::MakeMapHarness(kMap07Setup, stage);
  h->SetRandom({kNoChance});
  if (o.skip_opening) {
    for (int f : kOpeningFlags) h->SetFlagAtInstall(f);
  }
  return h;
}

[[maybe_unused]] std::vector<std::string> Starts(const EventHarness& h) { return h.Records("start"); }
size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}
bool Flag(int n) { return CheckEventFlag(n) != 0; }
std::string LongMoveName(int n) {
  char name[40];
  std::snprintf(name, sizeof name, kMap07LongMoveName, n);
  return name;
}
[[maybe_unused]] bool LongMoveRuns(int n) { return Ctx().game_task.FindTask(LongMoveName(n).c_str()) != nullptr; }
const SlgEventEntry& Row(int id) {
  const SlgEventEntry* row = kMap07Setup.table;
  while (row->handler != nullptr && row->id != id) ++row;
  return *row;
}

// ---- The table ----

TEST(Map07Table, ItsRowsAreCleanAndInTheMapsOrder) {
  EXPECT_TRUE(testsupport::LintMapSetup(kStage, kMap07Setup).empty());
  EXPECT_EQ(kMapEventSetupTable[kStage], &kMap07Setup);
  EXPECT_EQ(kMap07Setup.anm_table.size(), 13u);
  std::vector<int> ids;
  for (const SlgEventEntry* row = kMap07Setup.table; row->handler != nullptr; ++row) {
    ids.push_back(row->id);
  }
  std::vector<int> want = {7080, 7085, 7097, 7098, 7099, 7100, 7101, 7102, 7103, 7104, 7105, 7106,
                           7107, 7108, 7109, 7110, 7111, 7112, 7113, 7114, 7115, 7116, 7117, 7120,
                           7400};
  for (int base : {7500, 7520, 7530}) {
    for (int s = 0; s < 6; ++s) want.push_back(base + s);
  }
  for (int s = 0; s <= 6; ++s) want.push_back(7600 + s);
  EXPECT_EQ(ids, want);
  const SlgEventEntry* t = kMap07Setup.table;
  EXPECT_STREQ(t[43].b, "PP(IKD)&R(10);");
  EXPECT_STREQ(t[43].c, "NP(IMR());");
  for (int r = 44; r <= 49; ++r) EXPECT_STREQ(t[r].c, "") << r;
  EXPECT_STREQ(t[25].c, "HP(IKD,0);");
  EXPECT_STREQ(t[7].c, "F(115)|F(110)|F(200);");
  EXPECT_STREQ(t[8].c, "F(115)|F(109)|F(200);");
}

TEST(Map07Table, TheLineConditionsAreTheSevenTermsJoined) {
  auto term = [](const std::string& c, const std::string& x, const std::string& y) {
    return "((!NP(" + c + "))&((0>=LP(" + c + ",-1," + x + "," + y + "))&(0<=LP(" + c + ",1," +
           x + "," + y + "))))";
  };
  EXPECT_EQ(term("IKD", "624", "744"),
            "((!NP(IKD))&((0>=LP(IKD,-1,624,744))&(0<=LP(IKD,1,624,744))))");
  for (auto [id, x, y] : {std::tuple{7104, "624", "744"}, std::tuple{7108, "910", "1176"}}) {
    std::string want;
    for (const char* c : {"IKD", "ITV", "IDV", "ILN", "IYS", "ITZ", "IBS"}) {
      if (!want.empty()) want += "|";
      want += term(c, x, y);
    }
    want += ";";
    EXPECT_EQ(Row(id).b, want) << id;
  }
}

// ---- The silent events ----

TEST(Map07Silent, TheLeaderRuleAndTheTauntItLetsRunOnce) {
  EXPECT_EQ(Map07LeaderFlag(25, 24), 120);
  EXPECT_EQ(Map07LeaderFlag(30, 30), 120);
  EXPECT_EQ(Map07LeaderFlag(24, 25), 125);
  EXPECT_EQ(Map07LeaderFlag(25, 30), 125);
  EXPECT_EQ(Map07LeaderFlag(24, 24), 0);
  struct Case {
    int trust2, trust6, flag, runs, never;
  };
  for (const Case& c : {Case{25, 24, 120, 7085, 7080}, Case{24, 25, 125, 7080, 7085},
                        Case{24, 24, 0, 0, 0}}) {
    SCOPED_TRACE(c.trust2 * 100 + c.trust6);
    // The leader choice runs: of the silent events and openings only its flag is not set.
    auto h = MakeBattle({.skip_opening = false});
    for (int f : {98, 99, 100, 101}) h->SetFlagAtInstall(f);
    h->SetTrust(2, c.trust2);
    h->SetTrust(6, c.trust6);
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(600));
    EXPECT_EQ(Count(*h, "start 7097"), 1u);
    EXPECT_EQ(Flag(120), c.flag == 120);
    EXPECT_EQ(Flag(125), c.flag == 125);
    for (int n = 0; n < 2; ++n) {
      h->Command(kMad);
      ASSERT_TRUE(h->RunUntilIdle(600));
    }
    if (c.runs != 0) {
      EXPECT_EQ(Count(*h, "start " + std::to_string(c.runs)), 1u);
      EXPECT_EQ(Count(*h, "start " + std::to_string(c.never)), 0u);
    } else {
      EXPECT_EQ(Count(*h, "start 7080") + Count(*h, "start 7085"), 0u);
    }
  }
}

TEST(Map07Silent, StatShiftsAreHeldToAByte) {
  struct Case {
    int p;
    uint8_t attack, defence, want_attack, want_defence;
  };
  for (const Case& c : {Case{0, 10, 10, 10, 10}, Case{1, 10, 10, 13, 7}, Case{2, 10, 10, 7, 14},
                        Case{1, 254, 2, 255, 0}, Case{2, 1, 253, 0, 255}}) {
    for (uint16_t p85 : {1, 0}) {
      SCOPED_TRACE(std::to_string(c.p) + " " + std::to_string(c.attack) + " p85 " +
                   std::to_string(p85));
      auto h = MakeBattle();
      h->SetP(85, p85);
      h->SetP(17, static_cast<uint16_t>(c.p));  // character 1
      h->Start();
      SlgUnit* u = h->Unit(0, 1);
      ASSERT_NE(u, nullptr);
      u->stats.extra_attack = c.attack;
      u->stats.extra_defence = c.defence;
      ClearEventFlag(98);
      h->RunFrames(2);
      ASSERT_TRUE(h->RunUntilIdle(600));
      ASSERT_EQ(Count(*h, "start 7098"), p85 == 1 ? 1u : 0u);
      u = h->Unit(0, 1);
      ASSERT_NE(u, nullptr);
      EXPECT_EQ(u->stats.extra_attack, p85 == 1 ? c.want_attack : c.attack);
      EXPECT_EQ(u->stats.extra_defence, p85 == 1 ? c.want_defence : c.defence);
    }
  }
}

TEST(Map07Silent, LifeCutsByTheHeroinesState) {
  for (auto [p, life] : {std::pair{0, 56}, {3, 45}, {7, 30}, {8, 30}, {65535, 30}}) {
    SCOPED_TRACE(p);
    auto h = MakeBattle();
    h->SetP(29, static_cast<uint16_t>(p));
    h->SetP(49, static_cast<uint16_t>(p));
    h->Start();
    for (int c : {2, 6}) {
      h->Unit(0, c)->stats.max_life = 90;
      h->Unit(0, c)->stats.life = 90;
    }
    ClearEventFlag(99);
    h->RunFrames(2);
    ASSERT_TRUE(h->RunUntilIdle(600));
    ASSERT_EQ(Count(*h, "start 7099"), 1u);
    for (int c : {2, 6}) {
      EXPECT_EQ(h->Unit(0, c)->stats.max_life, 60) << c;
      EXPECT_EQ(h->Unit(0, c)->stats.life, life) << c;
    }
    EXPECT_EQ(h->Unit(0, 1)->stats.max_life == 60, false);  // the others keep theirs
  }
}

TEST(Map07Silent, AbsentHeroinesAreLeftAlone) {
  auto h = MakeBattle({.missing_party = {2, 6}});
  h->SetP(85, 1);
  h->SetP(27, 1);
  h->SetP(29, 3);
  h->Start();
  ClearEventFlag(98);
  ClearEventFlag(99);
  h->RunFrames(2);
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_EQ(Count(*h, "start 7098"), 1u);
  EXPECT_EQ(Count(*h, "start 7099"), 1u);
}

// ---- The opening ----

// What the opening's run showed: the long moves seen running, the first frame the mechanism
// moved and whether the moves and the camera path were done by then.
struct OpeningWatch {
  std::array<bool, 6> seen{};
  int mechanism_frame = -1;
  bool moves_done_then = false;
  bool path_done_then = false;
  int frame = 0;
  void operator()() {
    ++frame;
    for (int n = 0; n < 6; ++n) seen[static_cast<size_t>(n)] |= LongMoveRuns(n);
    if (mechanism_frame < 0 && CommanderScenes().mechanism != 0) {
      mechanism_frame = frame;
      const Map07Words& w = Map07State();
      moves_done_then = w.moves_running == 0;
      path_done_then = w.path_at >= 3 && w.path.size() == 3;
    }
  }
};

// Whether the unit stands on the cell of map pixel (x, y).
void ExpectOnCell(const SlgUnit* u, int x, int y) {
  ASSERT_NE(u, nullptr);
  const SlgPoint at = SnapPosToCell(u->x >> 16, u->y >> 16);
  const SlgPoint want = SnapPosToCell(x, y);
  EXPECT_EQ(at.x, want.x) << x << "," << y;
  EXPECT_EQ(at.y, want.y) << x << "," << y;
}

TEST(Map07Opening, TheLongMovesAndThePathRunBeforeTheMechanism) {
  auto h = MakeBattle({.skip_opening = false});
  h->Start();
  OpeningWatch watch;
  ASSERT_TRUE(h->RunUntil("the first opening", [&] {
    watch();
    return Flag(100);
  }, 6000));
  for (int n = 0; n < 6; ++n) EXPECT_TRUE(watch.seen[static_cast<size_t>(n)]) << n;
  for (int n = 0; n < 6; ++n) EXPECT_FALSE(LongMoveRuns(n)) << n;
  EXPECT_GT(watch.mechanism_frame, 0);
  EXPECT_TRUE(watch.moves_done_then);
  EXPECT_TRUE(watch.path_done_then);
  ExpectOnCell(h->Unit(0, 0), 382, 1106);
  ExpectOnCell(h->Unit(0, 2), 384, 1056);
  ExpectOnCell(h->Unit(0, 6), 286, 1104);
  ExpectOnCell(FindUnitByIndex(14, 1 * 256), 290, 576);
  ExpectOnCell(FindUnitByIndex(14, 2 * 256), 288, 672);
  ExpectOnCell(FindUnitByIndex(14, 3 * 256), 382, 624);
  const auto msgs = h->Records("message");
  const auto at = std::find(msgs.begin(), msgs.end(), "message 273:10050");
  EXPECT_EQ(std::vector<std::string>(at, msgs.end()),
            (std::vector<std::string>{"message 273:10050", "message 271:3347",
                                      "message 273:10000", "message 271:10051"}));
  // The second opening: the arrival, the two soldiers shown and the party ready.
  ASSERT_TRUE(h->RunUntilIdle(3000));
  EXPECT_EQ(Count(*h, "start 7101"), 1u);
  for (int n : {17, 18}) {
    const SlgUnit* u = FindUnitByIndex(kHiddenKind, n * 256);
    ASSERT_NE(u, nullptr);
    EXPECT_NE(u->flags & 0x80u, 0u) << n;
  }
  for (int c : {1, 3, 4, 5}) {
    EXPECT_NE(h->Unit(0, c)->flags & 0x80u, 0u) << c;
    EXPECT_EQ(h->Unit(0, c)->state, 0) << c;
  }
  EXPECT_EQ(Count(*h, "bgm 13"), 1u);
}

TEST(Map07Opening, ItEndsWithoutAWalker) {
  auto h = MakeBattle({.missing_party = {6}, .skip_opening = false});
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(6000));
  EXPECT_TRUE(Flag(100));
  EXPECT_TRUE(Flag(101));
  for (int n = 0; n < 6; ++n) EXPECT_FALSE(LongMoveRuns(n)) << n;
}

TEST(Map07Opening, AStageSwitchEndsTheLongMovesAndTheirWork) {
  auto h = MakeBattle({.skip_opening = false});
  h->Start();
  ASSERT_TRUE(h->RunUntil("the long moves walking", [] {
    return LongMoveRuns(5) && Map07State().moves_running == 6 && LongMoveRuns(0);
  }, 600));
  h->RunFrames(45);  // every move past its delay, with its work area
  for (int n = 0; n < 6; ++n) {
    GameTaskRec* rec = Ctx().game_task.FindTask(LongMoveName(n).c_str());
    ASSERT_NE(rec, nullptr);
    EXPECT_NE(static_cast<SlgEffectTask*>(rec->work)->owned[0], nullptr) << n;
  }
  // Ending a move gives back its work area and its name, and nothing else.
  const int64_t before_end = Battle().alloc.live;
  SlgTaskEnd(static_cast<SlgEffectTask*>(Ctx().game_task.FindTask(LongMoveName(0).c_str())->work));
  EXPECT_EQ(Battle().alloc.live, before_end - 2);
  const int64_t with_moves = Battle().alloc.live;
  Slg::SwitchStage(15);
  h->RunFrames(30);
  for (int n = 0; n < 12; ++n) EXPECT_FALSE(LongMoveRuns(n)) << n;
  EXPECT_LE(Battle().alloc.live, with_moves - 5);
}

// ---- The lines ----

TEST(Map07Lines, TheFirstLineHoldsBetweenItsDiagonals) {
  auto h = MakeBattle();
  h->Start();
  const SlgPoint p = CellToPosHeight(624, 744);
  const char* line = Row(7104).b;
  auto put = [&](int c, int x, int y) {
    SlgUnit* u = h->Unit(0, c);
    u->x = x * 65536;
    u->y = y * 65536;
  };
  EXPECT_EQ(CondEval(line), 0);  // everyone below the point
  struct Case {
    int dx, dy;
    bool holds;
  };
  for (const Case& c : {Case{0, -100, true}, Case{150, -100, true}, Case{-200, -100, true},
                        Case{300, -100, false}, Case{-300, -100, false}, Case{0, 100, false}}) {
    put(3, p.x + c.dx, p.y + c.dy);
    EXPECT_EQ(CondEval(line) != 0, c.holds) << c.dx << "," << c.dy;
  }
  put(3, p.x, p.y - 100);
  h->Unit(0, 3)->step = kSlgDeadStep;  // absent: not counted
  EXPECT_EQ(CondEval(line), 0);
}

TEST(Map07Lines, AnEntryIsMovedByItsPlacementNumberOnly) {
  auto h = MakeBattle();
  h->Start();
  const StageTable& stage = *Battle().stage;
  auto positions = [&] {
    std::vector<std::pair<int, int>> p;
    for (int n = 0; n < stage.unit_count(); ++n) p.emplace_back(stage.unit(n).x, stage.unit(n).y);
    return p;
  };
  const auto before = positions();
  EventSetKindNoPlaceCell(kHiddenKind, 99 * 256, 768, 536);  // no such number
  EventSetKindNoPlaceCell(kCommanderKind, 22 * 256, 768, 536);  // no such kind and number
  EXPECT_EQ(positions(), before);
  EventSetKindNoPlaceCell(kHiddenKind, 22 * 256, 768, 536);
  const auto after = positions();
  int changed = 0;
  for (size_t n = 0; n < after.size(); ++n) {
    if (after[n] == before[n]) continue;
    ++changed;
    EXPECT_EQ(stage.unit(static_cast<int>(n)).placement_number, 22);
    EXPECT_EQ(after[n], (std::pair<int, int>{768, 536}));
  }
  EXPECT_EQ(changed, 1);
}

TEST(Map07Lines, CrossingTheFirstLineBringsItsSoldiers) {
  auto h = MakeBattle({.commander = true});
  h->Start();
  ASSERT_NE(h->Unit(kCommanderGroup, kCommanderCharacter), nullptr);
  const SlgPoint p = CellToPosHeight(624, 744);
  h->MoveTo(0, 1, p.x, p.y - 48);
  h->Act(0, 1);
  ASSERT_TRUE(h->RunUntilIdle(3000));
  EXPECT_EQ(Count(*h, "start 7104"), 1u);
  EXPECT_TRUE(Flag(104));
  constexpr std::array<SlgPoint, 6> kCells = {
      {{768, 536}, {568, 576}, {912, 456}, {576, 480}, {960, 376}, {816, 360}}};
  for (int n = 21; n <= 26; ++n) {
    SCOPED_TRACE(n);
    const SlgUnit* u = FindUnitByIndex(kHiddenKind, n * 256);
    ExpectOnCell(u, kCells[static_cast<size_t>(n - 21)].x, kCells[static_cast<size_t>(n - 21)].y);
    if (u != nullptr) {
      EXPECT_NE(u->flags & 0x80u, 0u);
    }
  }
  EXPECT_GE(Count(*h, "se 244"), 7u);  // six reveals and the commander's vanish
  const SlgUnit* commander = FindUnitByGroupKind(kCommanderGroup, kCommanderCharacter);
  EXPECT_TRUE(commander == nullptr || !SlgUnitLive(*commander));
  EXPECT_EQ(Count(*h, "bgm 16"), 1u);
}

TEST(Map07Lines, TheFirstLineWithoutTheCommanderStillEnds) {
  auto h = MakeBattle();
  h->Start();
  const SlgPoint p = CellToPosHeight(624, 744);
  h->MoveTo(0, 1, p.x, p.y - 48);
  h->Act(0, 1);
  ASSERT_TRUE(h->RunUntilIdle(3000));
  EXPECT_TRUE(Flag(104));
}

// ---- The meeting ----

// Heroine 2 ends her action diagonally next to heroine 6 (far below both lines).
void Meet(EventHarness& h) {
  // The hero acts first, so the previous actor is not heroine 6.
  h.Act(0, 0);
  ASSERT_TRUE(h.RunUntilIdle(600));
  const SlgPoint q = SnapPosToCell(1500, 1700);
  h.MoveTo(0, 6, q.x, q.y);
  h.MoveTo(0, 2, q.x + 48, q.y + 24);
  h.Act(0, 2);
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.Act(0, 0);
  ASSERT_TRUE(h.RunUntilIdle(3000));
}

TEST(Map07Meeting, EachAnswerShiftsTheHeroines) {
  struct Case {
    int line;  // 0: the time-out
    int delta2, delta6;
    bool flag200;
  };
  for (const Case& c : {Case{1, -5, 5, false}, Case{2, 5, -5, false}, Case{0, 3, 3, true}}) {
    SCOPED_TRACE(c.line);
    auto h = MakeBattle();
    h->SetTrust(2, 20);
    h->SetTrust(6, 20);
    h->Start();
    if (c.line != 0) h->AnswerChoice(c.line);
    Meet(*h);
    EXPECT_EQ(Count(*h, "start 7102"), 1u);
    EXPECT_EQ(Count(*h, "start 7109"), 1u);
    EXPECT_EQ(Count(*h, "start 7110"), 0u);
    EXPECT_EQ(GetTrustVar(2), 20 + c.delta2);
    EXPECT_EQ(GetTrustVar(6), 20 + c.delta6);
    EXPECT_EQ(Flag(200), c.flag200);
  }
}

TEST(Map07Meeting, AfterTheTimeOutNeitherMeetingRunsAndTheFollowUpsCan) {
  auto h = MakeBattle();
  h->Start();
  Meet(*h);
  ASSERT_TRUE(Flag(200));
  // Heroine 6 now ends her action next to heroine 2: the other twin stays shut.
  h->Act(0, 6);
  ASSERT_TRUE(h->RunUntilIdle(600));
  h->Act(0, 0);
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_EQ(Count(*h, "start 7103"), 0u);
  EXPECT_EQ(Count(*h, "start 7110"), 0u);
  // Heroine 2 defeats a soldier with heroine 6 on the map: the follow-up talk.
  h->Defeat(1, 22, 0, 2, true);
  h->Act(0, 0);
  ASSERT_TRUE(h->RunUntilIdle(600));
  EXPECT_EQ(Count(*h, "start 7113"), 1u);
}

// ---- The victory ----

TEST(Map07Victory, NoSoldierLeftAfterTheFirstLineWinsTheBattle) {
  auto h = MakeBattle({.commander = true});
  h->Start();
  // Heroine 4 has left before the end.
  EventRemoveChara(0, 4);
  const SlgPoint p = CellToPosHeight(624, 744);
  h->MoveTo(0, 1, p.x, p.y - 48);
  h->Act(0, 1);
  ASSERT_TRUE(h->RunUntilIdle(3000));
  ASSERT_TRUE(Flag(104));
  ASSERT_EQ(Count(*h, "start 7105"), 0u);
  // Every kind-34 soldier falls.
  SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    if (s.units[i].kind == kHiddenKind) EventRemoveUnit(&s.units[i]);
  }
  h->RunFrames(2);
  ASSERT_TRUE(h->RunUntilIdle(6000));
  EXPECT_EQ(Count(*h, "start 7105"), 1u);
  EXPECT_EQ(Count(*h, "task Slg::GameWin"), 1u);
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    EXPECT_FALSE(s.units[i].side == 1 && SlgUnitLive(s.units[i])) << i;
  }
  constexpr std::array<SlgPoint, 7> kClosing = {
      {{360, 228}, {436, 216}, {480, 216}, {528, 216}, {408, 256}, {456, 252}, {456, 184}}};
  for (int c = 0; c <= 6; ++c) {
    SCOPED_TRACE(c);
    const SlgUnit* u = h->Unit(0, c);
    ExpectOnCell(u, kClosing[static_cast<size_t>(c)].x * 2, kClosing[static_cast<size_t>(c)].y * 2);
    if (u != nullptr) {
      EXPECT_EQ(u->dir, 3u);
    }
  }
  EXPECT_EQ(Battle().flags & 0x40, 0);
  EXPECT_EQ(Count(*h, "bgm 18"), 1u);
}

}  // namespace
