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
#include "battle_events/maps/map10.h"
#include "battle_events/maps/map11.h"
#include "battle_events/maps/map12.h"
#include "battle_events/maps/map16.h"
#include "battle_events/maps/map20.h"
#include "battle_events/maps/kit/party_units.h"
#include "game/system_data.h"
#include "testsupport/event_harness.h"
#include "testsupport/map_run_stories.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

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

void Flags(EventHarness& h, std::initializer_list<int> flags) {
  for (int f : flags) h.SetFlagAtInstall(f);
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

// Map 10's heroines' second variables (which order the talks).
constexpr std::array<int, 6> kMap10SecondVar = {10, 20, 30, 50, 60, 40};
std::function<void(EventHarness&)> Map10Before(std::array<int, 6> values,
                                               std::vector<int> answers) {
  return [values, answers](EventHarness& h) {
    for (size_t i = 0; i < values.size(); ++i) {
      h.SetP(kMap10SecondVar[i], static_cast<uint16_t>(32768 + values[i]));
    }
    for (int line : answers) h.AnswerChoice(line);
  };
}
std::function<void()> Map10Going(std::vector<int> going) {
  return [going] {
    for (int heroine = 1; heroine <= 6; ++heroine) {
      const bool goes = std::count(going.begin(), going.end(), heroine) == 1;
      EXPECT_EQ(SlgGetMacroP(kMap10GoingVar[static_cast<size_t>(heroine - 1)]), goes ? 1 : 0)
          << "heroine " << heroine;
    }
  };
}

// Map 12's escape: after the opening each of the party is given life 10 + c and kiai 30 + c,
// all cross the line through (1200, 480) and the hero acts.
void Map12Escape(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(6000));
  for (int c = 0; c <= 6; ++c) {
    SlgUnit* u = h.Unit(0, c);
    ASSERT_NE(u, nullptr);
    u->stats.life = static_cast<int16_t>(10 + c);
    u->stats.kiai = static_cast<uint16_t>(30 + c);
    h.MoveTo(0, c, 1500, 420 + 16 * c);
  }
  h.RunFrames(2);
  h.Act(0, 0);
}

// Map 27: after the arrival and the menu the boss acts; heroine 4 on the marked cell acts and
// opens the gate; the boss beaten and the core's flag 198.
void Map27Play(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(3000));
  h.Act(2, 24);
  ASSERT_TRUE(h.RunUntilIdle(4000));
  const SlgPoint mark = CellToPosHeight(1584, 792);
  h.MoveTo(0, 4, mark.x, mark.y);
  h.Act(0, 4);
  ASSERT_TRUE(h.RunUntilIdle(4000));
  h.SetLife(2, 24, 0);
  h.BeginTurn();
  h.RunFrames(2);
  SetEventFlag(kSlgFlagBossGone);
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

// Map 21: both openings (P[80] 0 and 1) make the cast; the talks' flag 125 (both lines heard);
// the cast placed around character 4 (the hero and character 1 on opposite sides) and the hero
// acting starts the scene with `answers` queued. Character 4's trust starts at 20.
std::function<void(EventHarness&)> Map21Before(uint16_t p80, std::vector<int> answers) {
  return [p80, answers](EventHarness& h) {
    h.SetP(80, p80);
    h.SetTrust(4, 20);
    h.SetRandom({0xFFFF});  // R(25) fails: no chance lines
    h.AddMovie(0, 14, 0.1);
    for (int a : answers) h.AnswerChoice(a);
  };
}
void Map21Scene(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(3000));
  SetEventFlag(125);
  const SlgPoint four = SnapPosToCell(624, 600);
  h.MoveTo(0, 4, four.x, four.y);
  h.MoveTo(0, 0, four.x - 48, four.y + 24);
  h.MoveTo(0, 1, four.x + 48, four.y - 24);
  ASSERT_TRUE(h.RunUntilIdle(600));
  h.Act(0, 0);
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

// Map 11: heroine 3 sent on by map 10, the rows before the targets done; the three factories
// destroyed by heroine 3 (byte 3), 9 (index 1) and 0 in turn, then the finale. The heroines'
// second variables hold 0 (stored with the sign bit).
void Map11Before(EventHarness& h) {
  Flags(h, {130, 140, 150});
  h.SetP(kMap10GoingVar[2], 1);
  for (int var : kMap10SecondVar) h.SetP(var, 32768);
}
void Map11Play(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(600));
  // The row takes the byte when it starts and clears all three flags when it ends.
  const std::pair<int, uint8_t> steps[] = {{427, 3}, {429, 9}, {428, 0}};
  for (const auto& [flag, byte] : steps) {
    Battle().factory_destroyer = byte;
    SetEventFlag(static_cast<uint32_t>(flag));
    ASSERT_TRUE(h.RunUntil("the flags cleared", [] {
      return CheckEventFlag(427) + CheckEventFlag(428) + CheckEventFlag(429) == 0;
    }, 600));
  }
}

// Map 20: the boss's life (maximum 1000) from full to 20 % (the 25 % scene), then 0; the
// victory removes the summons and plays the movie.
void Map20BossAt(int percent) {
  SlgUnit* boss = LiveUnitOfKind(33);
  ASSERT_NE(boss, nullptr);
  boss->stats.max_life = 1000;
  boss->stats.life = static_cast<int16_t>(10 * percent);
}
void Map20Play(EventHarness& h) {
  Map20BossAt(100);
  ASSERT_TRUE(h.RunUntilIdle(6000));
  Map20BossAt(20);
  ASSERT_TRUE(h.RunUntil("20150", [&] { return h.FrameOf("end 20150") >= 0; }, 6000));
  Map20BossAt(0);
}

// Map 22: trusts 5: 40, 3: 40, 1: 10 (the order 5, 3, 1, 6, 4, 2); the first boss defeated
// leaves through its exit sequence, the second wave and the gathering, then the second boss at
// life 0 and the victory with its movie.
void Map22Defeat(EventHarness& h, int character) {
  SlgUnit* boss = h.Unit(2, character);
  ASSERT_NE(boss, nullptr) << character;
  boss->stats.life = 0;
  SetUnitState(*boss, 15);
  h.RunFrames(1);
}
void Map22Before(EventHarness& h) {
  h.SetTrust(5, 40);
  h.SetTrust(3, 40);
  h.SetTrust(1, 10);
  h.SetRandom({0xFFFF});
  h.AddMovie(0, 21, 0.5);
}
void Map22Play(EventHarness& h) {
  ASSERT_TRUE(h.RunUntilIdle(4000));
  Map22Defeat(h, 26);
  ASSERT_TRUE(h.RunUntil("22160 ended", [&] {
    return CheckEventFlag(160) != 0 && h.FrameOf("end 22160") >= 0;
  }, 8000));
  ASSERT_TRUE(h.RunUntilIdle(2000));
  Map22Defeat(h, 27);
}

// Map 13 on the life and kiai map 12 left (heroines 1 and 5 without life); the party's maxima
// 80 and 50; the first turn restores the party, then every enemy of group 1 is taken off.
// Heroine 4 is the favourite.
constexpr std::array<std::array<int, 2>, 7> kMap13Left = {
    {{40, 20}, {0, 9}, {900, 30}, {12, 700}, {5, 5}, {0, 0}, {20, 10}}};
void Map13Before(EventHarness& h) {
  for (size_t c = 0; c < kMap13Left.size(); ++c) {
    h.SetP(kMap12LifeVar[c], static_cast<uint16_t>(kMap13Left[c][0]));
    h.SetP(kMap12KiaiVar[c], static_cast<uint16_t>(kMap13Left[c][1]));
  }
  h.SetTrust(4, 90);
}
void Map13Play(EventHarness& h) {
  for (int c = 0; c <= 6; ++c) {
    if (SlgUnit* u = FindUnitByGroupKind(0, c); u != nullptr) {
      u->stats.max_life = 80;
      u->stats.max_kiai = 50;
    }
  }
  h.BeginTurn();
  ASSERT_TRUE(h.RunUntilIdle(3000));
  for (int i = 0; i < Battle().state.unit_count; ++i) {
    SlgUnit& u = Battle().state.units[static_cast<size_t>(i)];
    if (u.side == 1 && SlgUnitLive(u)) EventRemoveUnit(&u);
  }
}

// Maps 18 and 23-26 (the final battle), each route heroine 1-6 (P[83] of her route): each map's first
// two rows and last two choose by P[83] (a and b), 23-25 switch to the next stage after a fade,
// 26 is won.
std::vector<RunRow> FinalRows() {
  static const char* const kNames[] = {"", "Heroine1", "Heroine2", "Heroine3", "Heroine4",
                                       "Heroine5", "Heroine6"};
  constexpr std::array<uint16_t, 7> kP83OfRoute = {0, 1, 2, 3, 5, 6, 4};
  struct Final {
    int map, a, b;
  };
  std::vector<RunRow> rows;
  // Map 18: the opening, then its enemies gone; the finale chooses by P[83] 4 and switches to
  // stage 22 after a fade.
  for (int route = 1; route <= 6; ++route) {
    const uint16_t p83 = kP83OfRoute[static_cast<size_t>(route)];
    rows.push_back({std::string("Map18Route") + kNames[route], 18,
                    [p83](EventHarness& h) { h.SetP(83, p83); },
                    [](EventHarness& h) {
                      ASSERT_TRUE(h.RunUntilIdle(6000));
                      for (int i = 0; i < Battle().state.unit_count; ++i) {
                        SlgUnit& u = Battle().state.units[static_cast<size_t>(i)];
                        if (u.side == 1 && SlgUnitLive(u)) EventRemoveUnit(&u);
                      }
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
      rows.push_back({"Map" + std::to_string(f.map) + "Route" + kNames[route], f.map, [p83](EventHarness& h) { h.SetP(83, p83); }, nullptr,
                      f.map == 26 ? End::kWin : End::kFadeSwitch, f.map, {first, second}, {},
                      {"bg show 300"}, nullptr});
    }
  }
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
    const std::vector<RunRow> more = FinalRows();
    rows.insert(rows.end(), more.begin(), more.end());
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
