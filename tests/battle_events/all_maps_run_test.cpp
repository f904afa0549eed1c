// The map scripts played through the real runtime and battle core on their small stages
// (testsupport/map_stages.h), one row per map and variant, each from its set-up to the map's own
// end (the victory, the stage switch or the lost battle), and each run twice on fresh battles
// that must record the same frames.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_boss_exit.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_start.h"
#include "battle/slg_turn.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_conditions.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_units.h"
#include "battle_events/map_setup.h"
#include "battle_events/maps/map07.h"
#include "battle_events/maps/map10.h"
#include "battle_events/maps/map11.h"
#include "battle_events/maps/map12.h"
#include "battle_events/maps/map15.h"
#include "battle_events/maps/map16.h"
#include "battle_events/maps/map20.h"
#include "battle_events/maps/kit/party_units.h"
#include "game/system_data.h"
#include "testsupport/event_harness.h"
#include "testsupport/map_run_stories.h"
#include "testsupport/map_stages.h"
#include "tests/battle_events/map_plays.h"

namespace {

using testsupport::EventHarness;
using namespace map_plays;

// kNone: the scene ends and the battle goes on (the map's end is the battle's own).
// kFadeSwitch: the switch after a 32-frame fade out (stages 17 and 22-25).
enum class End { kWin, kSwitch, kFadeSwitch, kLost, kNone };

struct RunRow {
  std::string name;
  int map;
  // Before the start: story variables, trust, flags the core would have set, answers.
  std::function<void(EventHarness&)> before;
  // After the start: the moments the rows wait for, up to the end's request.
  std::function<void(EventHarness&)> play;
  End end;
  int next_stage;  // the stage a switch asks for
  std::vector<std::string> starts;    // every row started, in order
  std::vector<std::string> messages;  // every message shown, in order
  std::vector<std::string> marks;     // records that must appear (BGM, SE, backgrounds)
  std::function<void()> variables;    // checks of the story variables written
};

size_t Count(const EventHarness& h, const std::string& what) {
  const auto r = h.Records(what);
  return static_cast<size_t>(std::count(r.begin(), r.end(), what));
}

std::string EndRecord(End end) {
  switch (end) {
    case End::kWin:
      return std::string("task ") + kSlgGameWinTaskName;
    case End::kSwitch:
      return std::string("task ") + kSlgExchangeNofadeTaskName;
    case End::kFadeSwitch:
      return std::string("task ") + kSlgExchangeTaskName;
    case End::kLost:
      return std::string("task ") + kSlgGameOverTaskName;
    case End::kNone:
      break;
  }
  return {};
}

// Plays the row on a fresh harness (started here) and checks what it did.
void Play(const RunRow& row, EventHarness& h) {
  if (row.before) row.before(h);
  h.Start();
  if (row.play) row.play(h);
  const std::string end = EndRecord(row.end);
  if (row.end == End::kNone) {
    ASSERT_TRUE(h.RunUntilIdle(6000));
  } else {
    ASSERT_TRUE(h.RunUntil(end, [&] { return h.FrameOf(end) >= 0; }, 20000));
  }
  // A switch hands the context to the next stage's set-up: the run stops at its request.
  const bool switched = row.end == End::kSwitch || row.end == End::kFadeSwitch;
  if (!switched) h.RunFrames(30);
  for (End e : {End::kWin, End::kSwitch, End::kFadeSwitch, End::kLost}) {
    EXPECT_EQ(Count(h, EndRecord(e)), e == row.end ? 1u : 0u) << EndRecord(e);
  }
  switch (row.end) {
    case End::kNone:
    case End::kWin:
      EXPECT_EQ(Battle().lost, 0u);
      break;
    case End::kSwitch:
    case End::kFadeSwitch:
      EXPECT_EQ(GetSystemData()->battleMap(), static_cast<uint32_t>(row.next_stage));
      break;
    case End::kLost:
      EXPECT_EQ(Battle().lost, 1u);
      break;
  }
  // Every row that started finished, except one that asked for a switch (the switch tears the
  // table down under it).
  std::vector<std::string> running;
  for (const auto& r : h.records()) {
    if (r.what.rfind("start ", 0) == 0) running.push_back(r.what.substr(6));
    if (r.what.rfind("end ", 0) != 0) continue;
    const auto at = std::find(running.begin(), running.end(), r.what.substr(4));
    EXPECT_NE(at, running.end()) << "frame " << r.frame << ": " << r.what << " never started";
    if (at != running.end()) running.erase(at);
  }
  EXPECT_LE(running.size(), switched ? 1u : 0u) << "rows left running";
  const auto starts = h.Records("start");
  if (!row.starts.empty()) {
    EXPECT_EQ(starts, row.starts);
  }
  if (!row.messages.empty()) {
    EXPECT_EQ(h.Records("message"), row.messages);
  }
  for (const std::string& s : row.marks) EXPECT_GE(h.FrameOf(s), 0) << s;
  if (row.variables) row.variables();
}

// ---- The rows ----

// Map 2's boss and the companion: the boss's life goes to 0, it leaves; the companion falls.
void Map02Victory(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.SetLife(2, 24, 0);
  ASSERT_TRUE(h.RunUntil("2108", [&] { return h.FrameOf("start 2108") >= 0; }, 60));
  h.RunFrames(60);
  SlgUnit* boss = FindUnitByKind(22);
  ASSERT_NE(boss, nullptr);
  EventRemoveUnit(boss);
}

// Map 5's boss defeated from full life by heroine `by`: its exit sequence starts on the next
// frame (the battle puts a defeated boss in state 15).
std::function<void(EventHarness&)> Map05Defeat(int by) {
  return [by](EventHarness& h) {
    ASSERT_TRUE(h.RunUntilIdle(600));
    h.Defeat(2, 10, 0, by);
    h.RunFrames(1);
    SlgUnit* boss = h.Unit(2, 10);
    ASSERT_NE(boss, nullptr);
    SetUnitState(*boss, 15);
  };
}

void Map05Before(EventHarness& h) {
  Flags(h, {100, 101, 110, 111, 112, 113, 114});
  h.SetTrust(3, 30);
  h.SetRandom({0xFFFF});  // R(n) fails: no turn remarks
}

// Map 16: gate-breaker n (character 40 + n) put on the first gate, then a unit acts.
void Map16Pass(EventHarness& h, int n) {
  h.MoveTo(1, 40 + n, kMap16Gates[0].x, kMap16Gates[0].y);
  h.RunFrames(2);
  h.Act(0, 0);
}
std::function<void(EventHarness&)> Map16Allowance(int allowance) {
  return [allowance](EventHarness& h) { h.SetP(82, static_cast<uint16_t>(allowance)); };
}
void Map16WaitFor(EventHarness& h, const std::string& what) {
  ASSERT_TRUE(h.RunUntil(what, [&] { return h.FrameOf(what) >= 0; }, 3000));
}

// Map 19's first visit: the opening, the kind-31 boss beaten (the second scene brings the
// kind-32 boss and its guard), then the kind-32 boss beaten.
void Map19FirstVisit(EventHarness& h) {
  ASSERT_TRUE(h.RunUntil("19110 ended", [] { return CheckEventFlag(110) != 0; }, 12000));
  ASSERT_TRUE(h.RunUntilIdle(3000));
  h.SetLife(2, 16, 0);
  ASSERT_TRUE(h.RunUntil("19121 ended", [] { return CheckEventFlag(121) != 0; }, 12000));
  h.SetLife(2, 11, 0);
}

// Map 1: after the opening (the offer timed out) the soldiers fall, then the boss.
void Map01Play(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(6000));
  for (int c : {20, 21, 22, 23, 24}) h.Defeat(1, c, 0, 0, true);
  ASSERT_TRUE(h.RunUntilIdle(3000));
  h.Defeat(2, 20, 0, 0, true);
}

// Map 14: the opening, a boss action with flag 199 (its music), the boss at life 0 and the
// core's flag 198 at the end of its exit sequence.
void Map14Play(EventHarness& h) {
  ASSERT_TRUE(h.RunUntil("14100", [&] { return h.FrameOf("end 14100") >= 0; }, 6000));
  SetEventFlag(199);
  h.Act(2, 30);
  ASSERT_TRUE(h.RunUntilIdle(1200));
  h.SetLife(2, 30, 0);
  h.RunFrames(30);
  SetEventFlag(kSlgFlagBossGone);
}

// Map 4: the openings' and the goal area's flags set; the hero on the goal cell acts: the
// soldiers go, the carrier comes and the hero boards it.
void Map04Before(EventHarness& h) {
  Flags(h, {99, 100, 104});
  h.SetRandom({99});  // no turn remark
}
void Map04Play(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.MoveTo(0, 0, 1078, 528);
  h.Act(0, 0);
}

// Map 7: the openings' flags set, the commander on the map; heroine 4 gone, heroine 1 past the
// first line; every kind-34 soldier falls.
void Map07Before(EventHarness& h) {
  Flags(h, {97, 98, 99, 100, 101});
  h.SetRandom({0xFFFF});  // R(n) fails: no chance lines
}
void Map07Play(EventHarness& h) {
  EventRemoveChara(0, 4);
  const SlgPoint p = CellToPosHeight(624, 744);
  h.MoveTo(0, 1, p.x, p.y - 48);
  h.Act(0, 1);
  ASSERT_TRUE(h.RunUntilIdle(3000));
  SlgBattleState& s = Battle().state;
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    if (s.units[i].kind == 34) EventRemoveUnit(&s.units[i]);
  }
  h.RunFrames(2);
}

// Map 8: both openings done; the party at full life, the commander falls (the battle puts it in
// state 15) and its exit sequence ends the battle.
void Map08Play(EventHarness& h) {
  for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
    SlgUnit& u = Battle().state.units[i];
    if (u.side != 0) continue;
    u.stats.max_life = 100;
    u.stats.life = 100;
  }
  ASSERT_TRUE(h.RunUntilIdle(600));
  SlgUnit* commander = FindUnitByKind(25);
  ASSERT_NE(commander, nullptr);
  commander->stats.life = 0;
  SetUnitState(*commander, 15);
}

// Maps 18 and 23-26 (the final battle), each route heroine 1-6 (P[83] of her route): each map's
// first two rows and last two choose by P[83] (a and b), 23-25 switch to the next stage after a
// fade, 26 is won.
using testsupport::kP83OfRoute;
using testsupport::kRouteNames;

std::vector<RunRow> FinalRows() {
  struct Final {
    int map, a, b;
  };
  std::vector<RunRow> rows;
  // Map 18: the opening, then its enemies gone; the finale chooses by P[83] 4 and switches to
  // stage 22 after a fade.
  for (int route = 1; route <= 6; ++route) {
    const uint16_t p83 = kP83OfRoute[static_cast<size_t>(route)];
    rows.push_back({std::string("Map18Route") + kRouteNames[static_cast<size_t>(route)], 18,
                    [p83](EventHarness& h) { h.SetP(83, p83); },
                    [](EventHarness& h) {
                      ASSERT_TRUE(h.RunUntilIdle(6000));
                      testsupport::RemoveLiveUnitsOfSide(1);
                    },
                    End::kFadeSwitch, 22, {}, {},
                    {p83 == 4 ? "start 18106" : "start 18105", "se 301"}, nullptr});
  }
  for (const Final& f : {Final{23, 4, 2}, Final{24, 2, 6}, Final{25, 6, 3}, Final{26, 3, 5}}) {
    for (int route = 1; route <= 6; ++route) {
      const uint16_t p83 = kP83OfRoute[static_cast<size_t>(route)];
      const int base = f.map * 1000 + 100;
      const std::string first = "start " + std::to_string(base + (p83 == f.a ? 6 : 5));
      const std::string second = "start " + std::to_string(base + (p83 == f.b ? 11 : 10));
      rows.push_back({"Map" + std::to_string(f.map) + "Route" + kRouteNames[static_cast<size_t>(route)], f.map, [p83](EventHarness& h) { h.SetP(83, p83); }, nullptr,
                      f.map == 26 ? End::kWin : End::kFadeSwitch, f.map, {first, second}, {},
                      {"bg show 300"}, nullptr});
    }
  }
  return rows;
}

// Map 1: the offer of the demonstration answered (heroine 3's trust 20): answers 1 and 2 play
// the demonstration (2 after the grudging lines, heroine 3's trust -5), answer 3 declines it as
// the time-out does. Then the soldiers fall and the boss.
void Map01PlayAfterTheOffer(EventHarness& h) {
  ASSERT_TRUE(h.RunUntil("the offer's road ended",
                         [&] { return h.FrameOf("end 102") >= 0; }, 12000));
  ASSERT_TRUE(h.RunUntilIdle(600));
  for (int c : {20, 21, 22, 23, 24}) h.Defeat(1, c, 0, 0, true);
  ASSERT_TRUE(h.RunUntilIdle(3000));
  h.Defeat(2, 20, 0, 0, true);
}
RunRow Map01Answer(int answer) {
  const bool plays = answer != 3;
  std::vector<std::string> marks = {"start 101", "start 102", "start 116", "start 117",
                                    "start 118", "bgm 18"};
  if (plays) {
    marks.insert(marks.end(), {"message 110:10010", "message 110:10039", "message 110:10100"});
  } else {
    marks.insert(marks.end(), {"se 21", "message 111:20010"});
  }
  if (answer == 2) marks.insert(marks.end(), {"message 112:20015", "message 112:20016"});
  return {"Map01Answer" + std::to_string(answer) + (plays ? "DemonstrationWon" : "DeclinedWon"),
          1,
          [answer](EventHarness& h) {
            h.SetTrust(3, 20);
            h.AnswerChoice(answer);
          },
          Map01PlayAfterTheOffer, End::kWin, 0, {}, {}, marks,
          [answer, plays] {
            EXPECT_EQ(GetTrustVar(3), answer == 2 ? 15 : 20);
            EXPECT_EQ(Battle().event_words.demo_cursor, 0u);
            EXPECT_EQ(Battle().pointer_mode, 0u) << (plays ? "the demonstration" : "declined");
            for (int flag : {101, 102, 116, 117, 118}) EXPECT_NE(CheckEventFlag(flag), 0) << flag;
          }};
}

// Map 1's heroine 1 talk (from turn 5, when she acts) answered 1, 2 or 3, or timed out (0), after
// the offer declined: heroine 1's trust (20) -2, +5, unchanged, -2; then the battle is won.
RunRow Map01Heroine1Talk(int answer) {
  struct Road {
    int delta;
    std::vector<std::string> marks;
  };
  const Road roads[] = {{-2, {"message 11:60100", "message 29:60110", "se 21"}},
                        {-2, {"message 11:60040", "message 29:60050", "se 21"}},
                        {5, {"message 12:60060", "message 30:60070", "se 20"}},
                        {0, {"message 12:60080", "message 31:60090"}}};
  const Road& road = roads[answer];
  std::vector<std::string> marks = road.marks;
  marks.insert(marks.end(), {"start 1400", "message 30:60000", "start 118", "bgm 18"});
  const int delta = road.delta;
  const std::string how = answer == 0 ? "TimedOut" : "Answer" + std::to_string(answer);
  return {"Map01Heroine1Talk" + how + "Won", 1,
          [answer](EventHarness& h) {
            h.SetTrust(1, 20);
            h.AnswerChoice(3);  // the offer declined
            if (answer != 0) h.AnswerChoice(answer);
          },
          [](EventHarness& h) {
            ASSERT_TRUE(h.RunUntilIdle(6000));
            for (int turn = 2; turn <= 5; ++turn) h.BeginTurn();
            h.Act(0, 1);
            ASSERT_TRUE(h.RunUntil("1400", [&] { return h.FrameOf("end 1400") >= 0; }, 1200));
            Map01PlayAfterTheOffer(h);
          },
          End::kWin, 0, {}, {}, marks,
          [delta] { EXPECT_EQ(GetTrustVar(1), 20 + delta); }};
}

// Map 15 for each route heroine and for no route (P[83] 0): the closing talk leaves out the
// line of the heroine P[83] names (heroines 1 and 4 have none), then the switch to stage 15.
RunRow Map15Route(int route) {
  const uint16_t p83 = kP83OfRoute[static_cast<size_t>(route)];
  const int partner = Map15Partner(p83);
  std::vector<std::string> messages = {"message 297:3160", "message 297:3161", "message 29:3162",
                                       "message 29:3163",  "message 299:3164", "message 233:3165"};
  if (partner != 3) messages.push_back("message 114:3166");
  if (partner != 2) messages.push_back("message 74:3167");
  messages.push_back("message 233:3168");
  if (partner != 6) messages.push_back("message 137:3169");
  if (partner != 5) messages.push_back("message 209:3170");
  messages.insert(messages.end(),
                  {"message 299:10000", "message 299:10001", "message 300:10002"});
  return {std::string("Map15Route") + (route == 0 ? "None" : kRouteNames[static_cast<size_t>(route)]), 15,
          [p83](EventHarness& h) { h.SetP(83, p83); }, nullptr, End::kSwitch, 15,
          {"start 15101", "start 15102", "start 15103"}, messages,
          {"bgm 14", "se 131", "se 286", "se 283"},
          [partner] { EXPECT_EQ(Map15State().partner, partner); }};
}

// Map 7 from its set-up: the leader chosen by the trust of heroines 2 and 6, heroine 2's and 6's
// life cut, the two openings with their long moves, then the first line crossed and the
// soldiers gone (as Map07Play). The commander is made by the first opening.
std::function<void(EventHarness&)> Map07FromTheStart(int trust2, int trust6) {
  return [trust2, trust6](EventHarness& h) {
    h.SetRandom({0xFFFF});  // R(n) fails: no chance lines
    h.SetTrust(2, trust2);
    h.SetTrust(6, trust6);
    for (StageUnitEntry& u : h.install.stage.units) {
      if (u.side == 2) u.present = 0;
    }
  };
}
void Map07OpeningsThenPlay(EventHarness& h) {
  ASSERT_TRUE(h.RunUntil("the openings", [] { return CheckEventFlag(101) != 0; }, 8000));
  ASSERT_TRUE(h.RunUntilIdle(3000));
  ASSERT_NE(LiveUnitOfKind(25), nullptr) << "the commander made by the opening";
  Map07Play(h);
}
RunRow Map07Openings(const std::string& name, int trust2, int trust6, int leader) {
  return {name, 7, Map07FromTheStart(trust2, trust6), Map07OpeningsThenPlay, End::kWin, 0,
          {}, {},
          {"start 7097", "start 7099", "start 7100", "start 7101", "start 7104", "start 7105",
           "message 273:10050", "message 271:3347", "message 29:3040", "message 273:3041",
           "message 273:3042", "bgm 13", "bgm 16", "bgm 18"},
          [leader] {
            for (int flag : {120, 125}) {
              EXPECT_EQ(CheckEventFlag(static_cast<uint32_t>(flag)), flag == leader ? 1 : 0)
                  << flag;
            }
            EXPECT_EQ(Map07State().moves_running, 0);
          }};
}

// Map 8 from its set-up: the weakening opening by P[81] and heroine 1's trust (below 25 is
// remembered in flag 130), the soldier's strike and the long talk, then the commander falls.
RunRow Map08Openings(const std::string& name, uint16_t p81, int trust1) {
  return {name, 8,
          [p81, trust1](EventHarness& h) {
            h.SetRandom({0xFFFF});  // no turn remark draws its chance
            h.SetP(81, p81);
            h.SetTrust(1, trust1);
          },
          [](EventHarness& h) {
            ASSERT_TRUE(h.RunUntil("8102", [&] { return h.FrameOf("end 8102") >= 0; }, 8000));
            Map08Play(h);
          },
          End::kWin, 0, {}, {},
          {"start 8101", "start 8102", "start 8106", "start 8107", "se 135",
           "message 216:3047", "message 271:3058", "bgm 13"},
          [trust1] {
            EXPECT_EQ(CheckEventFlag(401), 1);
            EXPECT_EQ(CheckEventFlag(130), trust1 < 25 ? 1 : 0);
            EXPECT_EQ(CheckEventFlag(198), 1);
          }};
}

std::vector<RunRow> MoreRows() {
  std::vector<RunRow> rows;
  for (int answer : {1, 2, 3}) rows.push_back(Map01Answer(answer));
  for (int answer : {0, 1, 2, 3}) rows.push_back(Map01Heroine1Talk(answer));
  for (int route : {0, 1, 3, 4, 5, 6}) rows.push_back(Map15Route(route));
  rows.push_back(Map07Openings("Map07OpeningsHeroine2LeadsWon", 40, 20, 120));
  rows.push_back(Map07Openings("Map07OpeningsHeroine6LeadsWon", 20, 40, 125));
  rows.push_back(Map07Openings("Map07OpeningsNoLeaderWon", 10, 10, 0));
  rows.push_back(Map08Openings("Map08OpeningsWeakenedLowTrustWon", 1, 24));
  rows.push_back(Map08Openings("Map08OpeningsHalvedWon", 0, 25));
  return rows;
}

const std::vector<RunRow>& Rows() {
  static std::vector<RunRow> rows = {
      {"Map02Lost", 2, [](EventHarness& h) { Flags(h, {100, 101, 102, 98, 198}); }, nullptr,
       End::kLost, 0, {"start 2109"},
       {"message 18:20019", "message 216:20020", "message 361:20021"}, {}, nullptr},
      {"Map02Won", 2, [](EventHarness& h) { Flags(h, {100, 101, 102, 98, 103, 107}); },
       Map02Victory, End::kWin, 0, {}, {}, {"bgm 18"},
       [] { EXPECT_EQ(CheckEventFlag(196), 1); }},
      {"Map03CrossesTheLine", 3,
       [](EventHarness& h) {
         Flags(h, {98, 105, 106});  // the talks before the line
         h.AnswerChoice(2);
       },
       [](EventHarness& h) {
         ASSERT_TRUE(h.RunUntilIdle(6000));
         h.MoveTo(0, 0, 600, 700);
         h.Act(0, 0);
       },
       End::kWin, 0, {}, {}, {"message 36:2027"},
       [] { EXPECT_EQ(SlgGetMacroP(70), 1); }},
      {"Map05WonByHeroine3", 5, Map05Before, Map05Defeat(3), End::kWin, 0,
       {"start 5103", "start 5104"},
       {"message 103:50003", "message 102:439", "message 102:440"}, {"bgm 18"},
       [] { EXPECT_EQ(GetTrustVar(3), 35); }},
      {"Map05WonByHeroine1", 5, Map05Before, Map05Defeat(1), End::kWin, 0, {"start 5104"},
       {"message 102:439", "message 102:440"}, {"bgm 18"},
       [] { EXPECT_EQ(GetTrustVar(3), 30); }},
      {"Map06KeepsHeroine4", 6,
       [](EventHarness& h) {
         h.SetTrust(4, 40);
         h.AnswerChoice(1);
       },
       nullptr, End::kSwitch, 20, {}, {}, {"se 20"},
       [] {
         EXPECT_EQ(GetTrustVar(4), 45);
         EXPECT_EQ(SlgGetMacroP(71), 0);
         EXPECT_EQ(CheckEventFlag(407), 0);
       }},
      {"Map06PartsHeroines4And1", 6,
       [](EventHarness& h) {
         h.SetTrust(4, 40);
         h.AnswerChoice(2);
       },
       [](EventHarness& h) {
         ASSERT_TRUE(h.RunUntil("6105", [&] { return h.FrameOf("end 6105") >= 0; }, 20000));
         ASSERT_TRUE(h.RunUntilIdle(3000));
         // The commander beaten; the core's flag 198 after its defeat sequence.
         h.SetLife(2, 24, 0);
         SetEventFlag(kSlgFlagBossGone);
         h.BeginTurn();
       },
       End::kWin, 0, {}, {}, {"se 21", "bgm 18"},
       [] {
         EXPECT_EQ(GetTrustVar(4), 35);
         EXPECT_EQ(SlgGetMacroP(71), 1);
         EXPECT_EQ(CheckEventFlag(407), 1);
       }},
      {"Map09NoInput", 9, nullptr, nullptr, End::kWin, 0,
       {"start 9120", "start 9130", "start 9140", "start 9160", "start 9170", "start 9180"}, {},
       {"bgm 16", "bgm 27", "bg show 8", "bg free 8", "se 135"},
       [] { EXPECT_EQ(CondNU(14), 1) << "no kind-14 unit after the bombardment"; }},
      {"Map09SecondAnswerRewardsTheFavourite", 9,
       [](EventHarness& h) {
         for (int hero = 1; hero <= 6; ++hero) h.SetTrust(hero, hero == 3 ? 40 : 20);
         h.AnswerChoice(2);
       },
       nullptr, End::kWin, 0,
       {"start 9120", "start 9130", "start 9140", "start 9160", "start 9170", "start 9180"}, {},
       {"se 20"},
       [] {
         for (int hero = 1; hero <= 6; ++hero) {
           EXPECT_EQ(GetTrustVar(hero), hero == 3 ? 45 : 20) << "heroine " << hero;
         }
       }},
      {"Map10FirstAnswersStay", 10, Map10Before({40, 50, 50, 10, 60, 0}, {1, 1, 1}), nullptr,
       End::kSwitch, 10, {"start 10110", "start 10120", "start 10130", "start 10135",
                          "start 10132", "start 10133", "start 10140"},
       {}, {}, Map10Going({5, 2, 3})},
      {"Map10SecondAnswersGo", 10, Map10Before({40, 50, 50, 10, 60, 0}, {2, 2, 2}), nullptr,
       End::kSwitch, 10, {"start 10110", "start 10120", "start 10130", "start 10135",
                          "start 10132", "start 10133", "start 10140"},
       {}, {}, Map10Going({1, 4, 6})},
      {"Map12Escape", 12,
       [](EventHarness& h) {
         h.AddMovie(1, 18, 0.2);
         Flags(h, {99, 102, 103});  // the turn rows before the escape have run
       },
       Map12Escape,
       End::kSwitch, 12, {}, {}, {"task Eve::fadeOutMusic", "movie Movie\\Movie118.mpg"},
       [] {
         for (size_t c = 0; c < 7; ++c) {
           EXPECT_EQ(SlgGetMacroP(kMap12LifeVar[c]), static_cast<int>(10 + c)) << c;
           EXPECT_EQ(SlgGetMacroP(kMap12KiaiVar[c]), static_cast<int>(30 + c)) << c;
         }
       }},
      {"Map16Allowance1Lost", 16, Map16Allowance(1),
       [](EventHarness& h) {
         ASSERT_TRUE(h.RunUntilIdle(3000));
         Map16Pass(h, 1);  // kind 18: warned
         Map16WaitFor(h, "end 16200");
         Map16Pass(h, 0);
       },
       End::kLost, 0, {}, {}, {"bg show 245", "message 506:10035", "start 16201"},
       [] {
         EXPECT_EQ(CheckEventFlag(200), 1);
         EXPECT_EQ(CheckEventFlag(kMap16DefeatGuard), 1);
       }},
      {"Map16Allowance2Lost", 16, Map16Allowance(2),
       [](EventHarness& h) {
         ASSERT_TRUE(h.RunUntilIdle(3000));
         Map16Pass(h, 2);
         Map16WaitFor(h, "end 16210");
         Map16Pass(h, 0);
         Map16WaitFor(h, "end 16211");
         Map16Pass(h, 1);
       },
       End::kLost, 0, {}, {}, {"bg show 249", "bg show 247", "start 16212"},
       [] { EXPECT_EQ(CheckEventFlag(kMap16DefeatGuard), 1); }},
      {"Map16AllowanceOtherLost", 16, Map16Allowance(3),
       [](EventHarness& h) {
         ASSERT_TRUE(h.RunUntilIdle(3000));
         Map16Pass(h, 0);
       },
       End::kLost, 0, {}, {}, {"start 16220"},
       [] { EXPECT_EQ(CheckEventFlag(193), 1); }},
      {"Map16Won", 16, Map16Allowance(1),
       [](EventHarness& h) {
         ASSERT_TRUE(h.RunUntilIdle(3000));
         h.SetLife(2, 18, 0);
         h.RunFrames(200);
         SetEventFlag(kSlgFlagBossGone);
       },
       End::kWin, 0, {}, {}, {"start 16230", "bg slide 108"}, nullptr},
      {"Map21Opening1GoesWithTheHero", 21, Map21Before(0, {1}), Map21Scene, End::kSwitch, 26,
       {}, {}, {"start 21106", "start 21130", "message 11:10170", "movie Movie\\Movie014.mpg"},
       [] { EXPECT_EQ(GetTrustVar(4), 60); }},
      {"Map21Opening2GoesWithTheHero", 21, Map21Before(1, {1}), Map21Scene, End::kSwitch, 26,
       {}, {}, {"start 21105", "start 21130", "message 11:10165", "movie Movie\\Movie014.mpg"},
       [] { EXPECT_EQ(GetTrustVar(4), 60); }},
      {"Map21ComesRound", 21, Map21Before(0, {2, 2}), Map21Scene, End::kSwitch, 26, {}, {},
       {"message 147:10280", "movie Movie\\Movie014.mpg"},
       [] { EXPECT_EQ(GetTrustVar(4), 60); }},
      {"Map21TurnsBack", 21, Map21Before(0, {2, 1}), Map21Scene, End::kNone, 0, {}, {},
       {"message 15:10250", "se 21", "end 21130"}, [] { EXPECT_EQ(GetTrustVar(4), 15); }},
      {"Map21Silent", 21, Map21Before(1, {3}), Map21Scene, End::kNone, 0, {}, {},
       {"message 148:10290", "end 21130"}, [] { EXPECT_EQ(GetTrustVar(4), 20); }},
      {"Map19FirstVisit", 19,
       [](EventHarness& h) {
         h.SetP(83, 2);
         h.SetP(73, 0);
         h.AnswerChoice(1);
       },
       Map19FirstVisit, End::kWin, 0, {}, {}, {"start 19110", "start 19120", "start 19121"},
       [] {
         EXPECT_EQ(SlgGetMacroP(73), 1);
         EXPECT_EQ(CheckEventFlag(195), 1);
       }},
      {"Map19ReturnVisit", 19,
       [](EventHarness& h) {
         h.SetP(83, 1);
         h.SetP(73, 1);
         h.ExpectTrace("Can't Play Movie");
       },
       nullptr, End::kSwitch, 19, {}, {}, {"start 19140", "bgm 28", "movie end"},
       [] { EXPECT_EQ(Battle().fix_tasks.count, 0); }},
      {"Map27ArrivalMenuGateWon", 27, [](EventHarness& h) { h.AnswerChoice(2); }, Map27Play,
       End::kWin, 0, {}, {},
       {"start 27150", "start 27153", "start 27151", "start 27152", "start 27157",
        "start 27185"},
       [] { EXPECT_EQ(CheckEventFlag(432), 1); }},
      {"Map01OfferTimedOutWon", 1, nullptr, Map01Play, End::kWin, 0, {}, {},
       {"start 101", "start 102", "start 116", "start 117", "start 118", "message 111:20010",
        "se 21", "bgm 6", "bgm 13", "bgm 16", "bgm 18"},
       [] {
         for (int flag : {101, 102, 116, 117, 118}) EXPECT_NE(CheckEventFlag(flag), 0) << flag;
       }},
      {"Map14OpeningBossMusicWon", 14, nullptr, Map14Play, End::kWin, 0, {}, {},
       {"start 14100", "start 14105", "start 14110", "bgm 27", "bgm 14", "bgm 17", "se 270",
        "se 271", "message 294:3158", "bg slide 107", "bgm 18"},
       [] { EXPECT_NE(CheckEventFlag(101), 0); }},
      {"Map04CarrierWon", 4, Map04Before, Map04Play, End::kWin, 0, {"start 4106"}, {},
       {"message 15:40017", "se 226", "message 33:40038"},
       [] {
         for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
           const SlgUnit& u = Battle().state.units[i];
           EXPECT_FALSE(u.kind >= 14 && u.kind <= 16 && SlgUnitLive(u)) << "kind " << int(u.kind);
         }
       }},
      {"Map08CommanderFallsWon", 8, [](EventHarness& h) {
         Flags(h, {101, 102});
         h.SetRandom({0xFFFF});  // no turn remark draws its chance
       },
       Map08Play, End::kWin, 0, {}, {}, {"start 8106"},
       [] { EXPECT_EQ(CheckEventFlag(198), 1); }},
      {"Map11TargetsThenTheFinale", 11, Map11Before, Map11Play, End::kSwitch, 21, {}, {},
       {"start 11160", "message 110:10042", "start 11170", "message 29:10047", "start 11180",
        "message 11:10060", "start 11190", "se 269", "task Eve::fadeOutMusic",
        "message 15:10061", "message 11:10062"},
       [] { EXPECT_EQ(CheckEventFlag(kMap11PresentFlag + 3), 1); }},
      {"Map15ClosingLinesWithoutPartner2", 15, [](EventHarness& h) { h.SetP(83, 2); }, nullptr,
       End::kSwitch, 15, {"start 15101", "start 15102", "start 15103"}, {},
       {"message 114:3166", "message 233:3168", "message 137:3169", "message 209:3170",
        "se 286", "se 283", "fade 256 black"},
       nullptr},
      {"Map17BossGoneWon", 17,
       [](EventHarness& h) { Flags(h, {120, 130, 140, 150, 155, 160}); },
       [](EventHarness& h) {
         ASSERT_TRUE(h.RunUntilIdle(600));
         h.SetLife(2, 30, 0);
         h.BeginTurn();
         h.RunFrames(120);
         SetEventFlag(kSlgFlagBossGone);
       },
       End::kWin, 0, {"start 17170"}, {"message 14:10006", "message 14:10007"}, {}, nullptr},
      {"Map20BossThresholdsWon", 20,
       [](EventHarness& h) {
         h.SetP(kMap20PartnerVar, 1);
         h.AddMovie(1, 20, 0.2);
       },
       Map20Play, End::kWin, 0, {}, {},
       {"start 20150", "start 20160", "se 405", "message 13:40010", "movie end"},
       [] {
         EXPECT_EQ(LiveUnitOfKind(48), nullptr);
         EXPECT_EQ(LiveUnitOfKind(49), nullptr);
         EXPECT_EQ(Map20LiveTasks(), 0);
       }},
      {"Map22OpeningToTheMovieVictory", 22, Map22Before, Map22Play, End::kWin, 0, {}, {},
       {"start 22130", "start 22170", "start 22180", "message 210:3341", "message 33:3116",
        "message 114:3120", "bgm 27", "se 244", "message 137:3110", "message 137:10012",
        "movie Movie\\Movie021.mpg", "movie end"},
       [] {
         EXPECT_EQ(CheckEventFlag(120), 1);
         EXPECT_EQ(CheckEventFlag(160), 1);
       }},
      {"Map13RestoredPartyWon", 13, Map13Before, Map13Play, End::kWin, 0,
       {"start 13104", "start 13105"}, {},
       {"message 239:10022", "message 239:10023", "fade 256 white", "message 4:10024",
        "message 150:10029", "message 6:3148", "message 203:3149"},
       [] {
         // Heroines 1 and 5 gone with their falls marked, the others within their maxima, the
         // hero brought to life 1 at the end.
         for (int c : {1, 5}) EXPECT_NE(CondNP(c), 0) << c;
         for (int f : {500, 505}) EXPECT_EQ(CheckEventFlag(static_cast<uint32_t>(f)), 1) << f;
         const std::array<std::array<int, 3>, 4> kept = {{{2, 80, 30}, {3, 12, 50}, {4, 5, 5}, {6, 20, 10}}};
         for (const auto& [c, life, kiai] : kept) {
           const SlgUnit* u = FindUnitByGroupKind(0, c);
           ASSERT_NE(u, nullptr) << c;
           EXPECT_EQ(u->stats.life, life) << c;
           EXPECT_EQ(u->stats.kiai, kiai) << c;
         }
         EXPECT_EQ(FindUnitByGroupKind(0, 0)->stats.life, 1);
       }},
      {"Map07SoldiersGoneWon", 7, Map07Before, Map07Play, End::kWin, 0, {}, {},
       {"start 7105", "bgm 18"},
       [] {
         EXPECT_NE(CheckEventFlag(104), 0);
         for (uint32_t i = 0; SlgSlotInUse(i); ++i) {
           const SlgUnit& u = Battle().state.units[i];
           EXPECT_FALSE(u.side == 1 && SlgUnitLive(u)) << i;
         }
       }},
  };
  static const bool finals = [] {
    for (const std::vector<RunRow>& more : {FinalRows(), MoreRows()}) {
      rows.insert(rows.end(), more.begin(), more.end());
    }
    return true;
  }();
  (void)finals;
  return rows;
}

class MapRun : public testing::TestWithParam<size_t> {};

TEST_P(MapRun, PlaysToItsEndTheSameWayTwice) {
  const RunRow& row = Rows()[GetParam()];
  const testsupport::MapStage* stage = testsupport::FindMapStage(row.map);
  ASSERT_NE(stage, nullptr);
  const MapSetup& setup = *kMapEventSetupTable[static_cast<size_t>(row.map - 1)];
  EXPECT_TRUE(testsupport::RunEventsTwice(
      [&] { return testsupport::MakeMapHarness(setup, *stage); },
      [&](EventHarness& h) { Play(row, h); }));
}

INSTANTIATE_TEST_SUITE_P(AllMaps, MapRun, testing::Range<size_t>(0, Rows().size()),
                         [](const testing::TestParamInfo<size_t>& info) {
                           return Rows()[info.param].name;
                         });

// The stories the story fuzz targets take as seeds (testsupport/map_run_stories.h) are exactly
// what the rows give their harnesses before the start.
TEST(MapRunStories, AreTheRowsOwn) {
  ASSERT_EQ(testsupport::MapRunStories().size(), Rows().size());
  for (const RunRow& row : Rows()) {
    const testsupport::MapRunStory* story = testsupport::FindMapRunStory(row.name);
    ASSERT_NE(story, nullptr) << row.name;
    EXPECT_EQ(story->map, row.map) << row.name;
    auto h = testsupport::MakeMapHarness(*kMapEventSetupTable[static_cast<size_t>(row.map - 1)],
                                         *testsupport::FindMapStage(row.map));
    if (row.before) row.before(*h);
    const EventHarness::Inputs given = h->inputs();
    EXPECT_EQ(given.p, story->inputs.p) << row.name;
    EXPECT_EQ(given.trust, story->inputs.trust) << row.name;
    EXPECT_EQ(given.flags, story->inputs.flags) << row.name;
    EXPECT_EQ(given.answers, story->inputs.answers) << row.name;
  }
}

}  // namespace
