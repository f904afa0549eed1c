// Map 1's event script in real battles on the event harness: the opening, the offer of the
// demonstration and its three answers, the battle's end in three events, the guide's remarks on
// MAD, heroine 1's talk and the generic rows, on the builder's two-unit stage, on a small stage
// of map 1's cast and on a larger one laid out for the demonstration's clicks.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_enemy.h"
#include "battle/slg_events.h"
#include "battle/slg_player.h"
#include "battle/slg_start.h"
#include "battle/slg_unit.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/map01.h"
#include "scene/scene_context.h"
#include "scene/ui/tamvik_func.h"
#include "testsupport/event_harness.h"
#include "testsupport/lips_files.h"
#include "testsupport/map_stages.h"
#include "testsupport/script_writer.h"
#include "testsupport/stage_writer.h"

namespace {

using testsupport::EventHarness;
using Strings = std::vector<std::string>;

bool Has(const Strings& list, const std::string& what) {
  return std::find(list.begin(), list.end(), what) != list.end();
}

// ---- The builder's two-unit stage (the hero and one ASHIGARU) ----

// The story rows' records of a run (the generic rows left out).
Strings Story(const EventHarness& h, const std::string& prefix) {
  Strings out;
  for (const std::string& r : h.Records(prefix)) {
    if (std::stoi(r.substr(prefix.size() + 1)) < 1500) out.push_back(r);
  }
  return out;
}

// Map 1's script on the stage every battle test plays: the opening runs with no guide and no
// crowd (the crowd's hold does not wait for objects that are not there), the offer times out, the
// ASHIGARU's defeat gives 116, there is no boss so 117 and 118 follow, and the battle is won once.
// (The heroines are absent, so their fall scenes play too.)
TEST(Map01, TheTwoUnitStageRunsFromTheOpeningToOneVictory) {
  EventHarness h(kMap01);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(3000));
  EXPECT_EQ(Story(h, "start"), (Strings{"start 101", "start 102"}));
  EXPECT_EQ(Story(h, "end"), (Strings{"end 101", "end 102"}));
  EXPECT_EQ(h.Records("message 111"), Strings{"message 111:20010"}) << "the offer declined";
  h.Defeat(1, 20, 0, 0, true);
  ASSERT_TRUE(h.RunUntilIdle(3000));
  EXPECT_EQ(Story(h, "start"),
            (Strings{"start 101", "start 102", "start 116", "start 117", "start 118"}));
  EXPECT_EQ(h.Records("task Slg::GameWin"), Strings{"task Slg::GameWin"});
  EXPECT_EQ(h.Records("bgm"), (Strings{"bgm 6", "bgm 1", "bgm 13", "bgm 16", "bgm 18"}));
  for (int flag : {101, 102, 116, 117, 118}) EXPECT_NE(CheckEventFlag(flag), 0) << flag;
  EXPECT_NE(Battle().camera.lock, 0u);
  EXPECT_EQ(Battle().control.turn_hold, 0u) << "the events' end let the turn go on";
}

// ---- A small stage of map 1's cast ----

// The hero (from the builder) and heroines 1-3 and 5, two soldiers and two guides of kind 14
// (placement numbers 2-5 after the builder's ASHIGARU: the guides are 3 and 5), the boss (kind
// 20, group 2) and one event object of each of the opening's roles: crowd (80, 81, 105), waves
// (96, 101), the two substitutes (kind 100), the strike and the end (111, 110), the posts (112,
// 113); the offer and heroine 1's question as choices.
void Map01Stage(EventHarness& h) {
  testsupport::LayMapStage(h, *testsupport::FindMapStage(1));
}

void DefeatSoldiers(EventHarness& h) {
  for (int c : {20, 21, 22, 23, 24}) h.Defeat(1, c, 0, 0, true);
}

// The opening deploys its crowd and sends it away (the crowd answers the trigger word by
// leaving, the last one puts the word back), then the chain to the victory with the boss.
TEST(Map01, TheMainChainOnMapOnesCastWithEveryChoiceTimedOut) {
  EventHarness h(kMap01);
  Map01Stage(h);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(6000));
  EXPECT_EQ(Story(h, "start"), (Strings{"start 101", "start 102"}));
  EXPECT_EQ(Map01().trigger, 0);
  const Strings deploys = h.Records("deploy");
  for (int kind : {80, 81, 100, 105, 110, 111, 112}) {
    EXPECT_TRUE(std::any_of(deploys.begin(), deploys.end(), [kind](const std::string& r) {
      return r.rfind("deploy " + std::to_string(kind) + " ", 0) == 0;
    })) << kind;
  }
  EXPECT_TRUE(Has(h.Records("se"), "se 21")) << "the offer declined";
  EXPECT_TRUE(Has(h.Records("message"), "message 111:20010"));
  DefeatSoldiers(h);
  ASSERT_TRUE(h.RunUntilIdle(3000));
  EXPECT_EQ(Story(h, "start"), (Strings{"start 101", "start 102", "start 116"}));
  h.Defeat(2, 20, 0, 0, true);
  ASSERT_TRUE(h.RunUntilIdle(3000));
  EXPECT_EQ(Story(h, "start"),
            (Strings{"start 101", "start 102", "start 116", "start 117", "start 118"}));
  EXPECT_EQ(h.Records("bgm"), (Strings{"bgm 6", "bgm 1", "bgm 13", "bgm 16", "bgm 18"}));
  EXPECT_EQ(h.Records("task Slg::GameWin"), Strings{"task Slg::GameWin"});
  for (int flag : {101, 102, 116, 117, 118}) EXPECT_NE(CheckEventFlag(flag), 0) << flag;
}

// The second wave's soldier (kind 101) is drawn from the frame after its deploy: its animation
// held on its first frame until the opening resumes it with the music, then playing.
TEST(Map01, TheSecondWaveIsDrawnHeldAndThenResumed) {
  EventHarness h(kMap01);
  Map01Stage(h);
  h.Start();
  const auto soldier = [] {
    SlgUnit* unit = FindUnitByKind(101);
    return unit != nullptr && SlgUnitLive(*unit) ? unit->anm : nullptr;
  };
  ASSERT_TRUE(h.RunUntil("the second wave", [&] { return soldier() != nullptr; }, 6000));
  h.RunFrames(2);
  ASSERT_NE(soldier(), nullptr);
  EXPECT_NE(soldier()->handle, nullptr) << "nothing to draw";
  EXPECT_NE(soldier()->mode & kSlgAnmStartStopped, 0) << "held before the music";
  ASSERT_TRUE(h.RunUntil("battle music 1", [&h] { return Has(h.Records("bgm"), "bgm 1"); }, 6000));
  h.RunFrames(2);
  ASSERT_NE(soldier(), nullptr);
  EXPECT_NE(soldier()->handle, nullptr);
  EXPECT_EQ(soldier()->mode & kSlgAnmStartStopped, 0) << "resumed with the music";
}

// Flag 199 (the boss struck and back on its feet) gives 116 with soldiers left; the boss's fall
// then makes every soldier left fall with it.
TEST(Map01, FlagOneNinetyNineGivesTheSoldiersGoneAndTheBossTakesThemDown) {
  EventHarness h(kMap01);
  Map01Stage(h);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(6000));
  SetEventFlag(199);
  h.BeginTurn();
  ASSERT_TRUE(h.RunUntilIdle(3000));
  EXPECT_EQ(Story(h, "start"), (Strings{"start 101", "start 102", "start 116"}));
  h.Defeat(2, 20, 0, 0, true);
  ASSERT_TRUE(h.RunUntil("117 started", [&h] { return h.FrameOf("start 117") >= 0; }, 600));
  h.RunFrames(3);
  for (int c : {20, 21, 22, 23, 24}) {
    const SlgUnit* soldier = FindUnitByGroupKind(1, c);
    ASSERT_NE(soldier, nullptr);
    EXPECT_EQ(soldier->state, 15) << c;
  }
}

// 1400 from turn 5 with heroine 1 acting: each answer's lists, variables and sound.
TEST(Map01, HeroineOnesTalkByAnswer) {
  struct Case {
    int answer;  // 0: timed out
    int delta;
    Strings lists;
    Strings se;
  } cases[] = {
      {1, -2, {"message 11:60040", "message 29:60050"}, {"se 21"}},
      {2, 5, {"message 12:60060", "message 30:60070"}, {"se 20"}},
      {3, 0, {"message 12:60080", "message 31:60090"}, {}},
      {0, -2, {"message 11:60100", "message 29:60110"}, {"se 21"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    EventHarness h(kMap01);
    Map01Stage(h);
    h.SetTrust(1, 20);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(6000));
    for (int turn = 2; turn <= 4; ++turn) h.BeginTurn();
    h.Act(0, 1);
    ASSERT_TRUE(h.RunUntilIdle(600));
    EXPECT_EQ(h.FrameOf("start 1400"), -1) << "not before turn 5";
    h.BeginTurn();
    h.Act(0, 2);
    ASSERT_TRUE(h.RunUntilIdle(600));
    EXPECT_EQ(h.FrameOf("start 1400"), -1) << "not for another unit";
    if (c.answer != 0) h.AnswerChoice(c.answer);
    const size_t se_before = h.Records("se").size();
    h.Act(0, 1);
    ASSERT_TRUE(h.RunUntilIdle(1200));
    ASSERT_GE(h.FrameOf("start 1400"), 0);
    const Strings messages = h.Records("message");
    for (const std::string& m : c.lists) EXPECT_TRUE(Has(messages, m)) << m;
    EXPECT_EQ(GetTrustVar(1), 20 + c.delta);
    const Strings se = h.Records("se");
    EXPECT_EQ(Strings(se.begin() + static_cast<long>(se_before), se.end()), c.se);
    h.Act(0, 2);
    h.Act(0, 1);
    ASSERT_TRUE(h.RunUntilIdle(600));
    EXPECT_EQ(h.Records("start 1400").size(), 1u) << "once";
  }
}

// The guide's remark at each MAD command: 119 before the soldiers are gone, 120 after; both
// repeat, neither fires at MA.
TEST(Map01, TheGuideRemarksOnEveryMadCommand) {
  EventHarness h(kMap01);
  Map01Stage(h);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(6000));
  for (int choice : {2, 18, 18}) {
    h.Command(choice);
    ASSERT_TRUE(h.RunUntilIdle(600));
  }
  EXPECT_EQ(Story(h, "start").size(), 4u);
  EXPECT_EQ(h.Records("start 119").size(), 2u);
  DefeatSoldiers(h);
  ASSERT_TRUE(h.RunUntilIdle(3000));
  for (int choice : {18, 2, 18}) {
    h.Command(choice);
    ASSERT_TRUE(h.RunUntilIdle(600));
  }
  EXPECT_EQ(h.Records("start 119").size(), 2u);
  EXPECT_EQ(h.Records("start 120").size(), 2u);
}

// Without BBG001.SPR the opening traces the missing picture and still ends; a stage with no
// guide and no crowd runs it to its end as well (the builder's stage above).
TEST(Map01, AMissingBackgroundIsTracedAndTheOpeningEnds) {
  EventHarness h(kMap01);
  Map01Stage(h);
  h.install.background = false;
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(6000));
  EXPECT_TRUE(Has(h.Records("end"), "end 101"));
  EXPECT_GT(h.rig().driver().trace().Count("LoadBG: File Not Found"), 0);
}

// ---- The generic rows on this map ----

// Heroine 1's fall scene by trust (its three references), then -10 and SE 21; none while the
// hero's life is 0.
TEST(Map01, HeroineOnesFallSceneByTrustAndNotOnceTheHeroIsDown) {
  struct Case {
    int32_t trust;
    bool hero_down;
    std::string message;  // "" none
  } cases[] = {
      {10, false, "message 36:2029"},
      {6, false, "message 36:2027"},
      {5, false, "message 31:2028"},
      {10, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.trust << (c.hero_down ? " hero down" : ""));
    EventHarness h(kMap01);
    Map01Stage(h);
    h.SetTrust(1, c.trust);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(6000));
    if (c.hero_down) h.SetLife(0, 0, 0);
    h.Defeat(0, 1, 1, 21, true);
    ASSERT_TRUE(h.RunUntilIdle(1200));
    if (c.message.empty()) {
      EXPECT_EQ(h.FrameOf("start 1500"), -1);
      continue;
    }
    ASSERT_GE(h.FrameOf("start 1500"), 0);
    EXPECT_TRUE(Has(h.Records("message"), c.message));
    EXPECT_EQ(GetTrustVar(1), c.trust - 10);
    const int start = h.FrameOf("start 1500");
    EXPECT_TRUE(std::any_of(h.records().begin(), h.records().end(), [start](const auto& r) {
      return r.what == "se 21" && r.frame > start;
    }));
  }
}

// Heroine 1's remark when she has defeated a unit, at the next unit change.
TEST(Map01, HeroineOnesRemarkAfterSheDefeatsAUnit) {
  EventHarness h(kMap01);
  Map01Stage(h);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(6000));
  h.Defeat(1, 21, 0, 1, true);
  h.Act(0, 2);
  ASSERT_TRUE(h.RunUntilIdle(1200));
  EXPECT_GE(h.FrameOf("start 1520"), 0);
  EXPECT_TRUE(Has(h.Records("message"), "message 30:3338"));
}

// The favourite's remark when the hero acts: the favourite (highest trust) present, and not once
// she is gone.
TEST(Map01, TheFavouritesRemarkWithTheFavouritePresentAndAbsent) {
  for (bool present : {true, false}) {
    SCOPED_TRACE(present);
    EventHarness h(kMap01);
    Map01Stage(h);
    h.SetTrust(2, 60);
    h.SetRandom({0});
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(6000));
    if (!present) {
      h.Defeat(0, 2, 1, 21, true);
      ASSERT_TRUE(h.RunUntilIdle(1200));
    }
    h.Act(0, 0);
    ASSERT_TRUE(h.RunUntilIdle(1200));
    EXPECT_EQ(h.FrameOf("start 1600") >= 0, present);
    const Strings m = h.Records("message");
    EXPECT_EQ(Has(m, "message 75:2047") || Has(m, "message 75:2048"), present);
  }
}

// ---- The demonstration ----

// Answer `answer` to the offer (a choice on both stages) with the real player and enemy phases;
// runs until the demonstration has begun.
void BeginDemonstration(EventHarness& h, int answer) {
  h.SetTrust(3, 20);
  h.Start();
  Battle().phases.player = &SlgPlayerPhase;
  Battle().phases.enemy_step = &EnemyPhaseStep;
  h.AnswerChoice(answer);
  ASSERT_TRUE(h.RunUntil("the demonstration", [] { return Battle().event_words.demo_cursor != 0; },
                         6000));
}

// Runs until the demonstration has ended (the frame its end state is set). What it saw: the virtual OK as IsKeyTriggered reads it (how many presses and
// the most frames one lasted) and the slots that acted, in order.
struct DemoRun {
  int presses = 0;
  int longest = 0;
  std::vector<uint16_t> actors;
};
DemoRun RunDemonstration(EventHarness& h, int limit) {
  DemoRun run;
  int held = 0;
  bool ended = false;
  for (int f = 0; f < limit && !ended; ++f) {
    h.RunFrames(1);
    const bool pressed = Scene().virtual_key_mode != 0 && IsKeyTriggered(0) != 0;
    held = pressed ? held + 1 : 0;
    run.longest = std::max(run.longest, held);
    if (held == 1) ++run.presses;
    const uint16_t acting = Battle().state.acting_unit;
    if (acting < Battle().state.unit_count && (run.actors.empty() || run.actors.back() != acting)) {
      run.actors.push_back(acting);
    }
    ended = Battle().event_words.demo_cursor == 0;
  }
  EXPECT_TRUE(ended) << "the demonstration did not end (" << h.RunningRow() << ")";
  return run;
}

// The battle as the demonstration leaves it: the turn held for the closing lists, the real mouse
// back, no virtual key mode and no virtual key left pressed.
void ExpectDemonstrationOver() {
  const BattleContext& b = Battle();
  EXPECT_EQ(b.control.turn_hold, 1u);
  EXPECT_EQ(b.event_words.demo_cursor, 0u);
  EXPECT_EQ(b.pointer_mode, 0u);
  EXPECT_EQ(Scene().virtual_key_mode, 0);
  EXPECT_EQ(Scene().virtual_keys, 0u);
}

// A map laid out for the click points: 1280 x 960 with heroine 1 a cell from (912, 304), the
// soldier she strikes at (864, 328), heroine 3 near (974, 376) and heroine 2 near (952, 320); the
// offer as a choice.
void DemonstrationStage(EventHarness& h) {
  testsupport::StageWriter& s = h.install.stage;
  s.header.width = 1280;
  s.header.height = 960;
  s.units[1].x = 864;  // the builder's ASHIGARU: the soldier of the tutorial table
  s.units[1].y = 328;
  h.AddUnit(0, 1, 1, 0, 816, 304);
  h.AddUnit(0, 2, 2, 0, 1056, 320);
  h.AddUnit(0, 3, 3, 0, 1008, 424);
  h.AddUnit(2, 20, 20, 1, 1200, 800);
  h.messages.Add({.id = 20005, .voice_word = 0, .lip = "", .text = testsupport::ChoiceText(3, 4)});
  h.StubAttacks({0, 1, 2, 3, 14, 20});
  h.ExpectTrace("is not described in UnitAnm Table");
}

// Answers 1 and 2 play the demonstration to its end on the real player and enemy phases: the
// acting order starts with the tutorial table's units, each heroine goes where the clicks say,
// heroine 1 strikes the soldier, the soldier acts between heroines 3 and 2; the cursor follows the
// glide, not a mouse move of the player's; each virtual OK is seen in one frame only. On the built
// command window a click on a heroine after her move chooses the attack, which then waits for a
// target no click gives (heroines 3 and 2): her wait ends her actions after its patience.
TEST(Map01, TheDemonstrationPlaysToItsEndOnTheRealPhases) {
  for (int answer : {1, 2}) {
    SCOPED_TRACE(answer);
    EventHarness h(kMap01);
    DemonstrationStage(h);
    BeginDemonstration(h, answer);
    BattleContext& b = Battle();
    EXPECT_NE(b.pointer_mode, 0u);
    EXPECT_EQ(b.control.turn_hold, 0u) << "the turn runs the virtual commands";
    EXPECT_EQ(Has(h.Records("message"), "message 112:20015"), answer == 2);
    EXPECT_EQ(Has(h.Records("message"), "message 112:20016"), answer == 2);
    EXPECT_EQ(GetTrustVar(3), answer == 2 ? 15 : 20);
    const auto kind_at = [&b](int n) {
      return b.state.units[b.order.entries[static_cast<size_t>(n)].slot].kind;
    };
    EXPECT_EQ((std::vector<int>{kind_at(0), kind_at(1), kind_at(2), kind_at(3)}),
              (std::vector<int>{1, 3, 14, 2}));
    // A pointer moved by the player during the first glide is put back by the glide.
    h.RunFrames(40);
    b.state.pointer = {0, 0};
    h.RunFrames(1);
    EXPECT_TRUE(b.state.pointer.x != 0 || b.state.pointer.y != 0);

    const int ok_before = h.rig().driver().trace().Count("Press OK");
    const DemoRun run = RunDemonstration(h, 6000);
    EXPECT_EQ(run.longest, 1) << "a press is cleared on the frame after it";
    EXPECT_GE(run.presses, 12);
    EXPECT_GE(h.rig().driver().trace().Count("Press OK") - ok_before, run.presses - 1);
    std::vector<int> kinds;
    for (uint16_t slot : run.actors) kinds.push_back(b.state.units[slot].kind);
    EXPECT_EQ(kinds, (std::vector<int>{1, 3, 14, 2})) << "the table's order, the soldier between";
    const struct {
      int kind;
      int32_t x, y;
    } places[] = {{1, 912, 288}, {3, 960, 360}, {2, 960, 312}};
    for (const auto& p : places) {
      const SlgUnit* u = FindUnitByGroupKind(0, p.kind);
      ASSERT_NE(u, nullptr);
      EXPECT_EQ(u->x >> 16, p.x) << p.kind;
      EXPECT_EQ(u->y >> 16, p.y) << p.kind;
    }
    EXPECT_TRUE(Has(h.Records("message"), "message 110:10039")) << "the closing lists";
    ExpectDemonstrationOver();
    ASSERT_TRUE(h.RunUntilIdle(600));
    EXPECT_TRUE(Has(h.Records("end"), "end 102"));
  }
}

// On a map the click points miss (the 640 x 480 stage: heroine 1's destination lies off it) no
// wait holds the battle: each runs out of patience, ends the acting heroine's actions and the
// demonstration goes on to its end, leaving the battle as it should.
TEST(Map01, TheDemonstrationEndsOnAMapItsClicksMiss) {
  EventHarness h(kMap01);
  Map01Stage(h);
  BeginDemonstration(h, 1);
  const DemoRun run = RunDemonstration(h, 12000);
  EXPECT_EQ(run.longest, 1);
  EXPECT_GT(h.rig().driver().trace().Count("Tutorial: the acting unit's actions end"), 0);
  EXPECT_TRUE(Has(h.Records("message"), "message 110:10039"));
  ExpectDemonstrationOver();
  ASSERT_TRUE(h.RunUntilIdle(600));
  EXPECT_TRUE(Has(h.Records("end"), "end 102"));
}

}  // namespace
