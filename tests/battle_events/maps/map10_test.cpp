// Map 10's event script in real battles on the event harness: the table, the arrival, the talks in
// the order of the heroines' second variable released by the map task, every road of the choice
// and the split with its farewells, walk, story variables and stage switch.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_task.h"
#include "battle/slg_unit.h"
#include "battle_events/core/cond_eval.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/core/event_queries.h"
#include "battle_events/event_units.h"
#include "battle_events/maps/map10.h"
#include "engine/app/context.h"
#include "testsupport/cond_fake.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_table_lint.h"
#include "testsupport/map_stages.h"

namespace {

using testsupport::EventHarness;

constexpr const char* kTaskName = "Slg::Map10::lips_exeflag_cntrl";
constexpr const char* kSwitch = "task Slg::_exchangeStageNofade";
// The arrival's flags: set at the install, the arrival does not run.
constexpr int kArrivalFlags[] = {110, 120};

// Per heroine 1-6 (index h - 1): the talk's opening line and its farewell line.
const std::array<std::string, 6> kOpening = {"message 29:10001",  "message 74:10013",
                                             "message 110:10034", "message 155:10045",
                                             "message 209:10022", "message 137:10059"};
const std::array<std::string, 6> kFarewell = {"message 29:3095",  "message 74:3096",
                                              "message 110:3100", "message 155:3099",
                                              "message 209:3098", "message 137:3097"};
const std::array<int, 7> kLeaderFace = {0, 29, 74, 110, 155, 209, 137};
// The heroines' second variables (index h - 1), which order the talks.
constexpr std::array<int, 6> kSecondVar = {10, 20, 30, 50, 60, 40};

// Map 10's battle on its small stage: the hero and heroines 1-6 in a row, the figures of kinds
// 80-94, the heroines' second variables `values` (index h - 1).
std::unique_ptr<EventHarness> MakeBattle(const std::array<int32_t, 6>& values) {
  auto h = testsupport::MakeMapHarness(kMap10Setup, *testsupport::FindMapStage(10));
  for (size_t i = 0; i < values.size(); ++i) {
    h->SetP(kSecondVar[i], static_cast<uint16_t>(32768 + values[i]));
  }
  return h;
}

std::vector<std::string> TalkStarts(const EventHarness& h) {
  std::vector<std::string> talks;
  for (const std::string& r : h.Records("start 1013")) {
    if (r != "start 10130") talks.push_back(r);
  }
  return talks;
}

std::vector<int> Heroines(const std::array<uint16_t, 6>& group, int count) {
  return {group.begin(), group.begin() + count};
}

GameTaskRec* MapTask() { return Ctx().game_task.FindTask(kTaskName); }

// ---- The table ----

TEST(Map10Table, ItsRowsAreCleanInTheMapsOrderAndTheSplitWaitsForItsFlag) {
  EXPECT_TRUE(testsupport::LintMapSetup(9, kMap10Setup).empty());
  std::vector<int> ids;
  const SlgEventEntry* split = nullptr;
  for (const SlgEventEntry* row = kMap10Setup.table; row->handler != nullptr; ++row) {
    ids.push_back(row->id);
    if (row->id == 10140) split = row;
  }
  EXPECT_EQ(ids, (std::vector<int>{10110, 10120, 10130, 10131, 10132, 10133, 10134, 10135,
                                   10136, 10140}));
  EXPECT_EQ(kMapEventSetupTable[9], &kMap10Setup);
  EXPECT_EQ(kMap10Setup.anm_table.size(), 15u);
  ASSERT_EQ(kMap10Setup.tasks.size(), 1u);
  EXPECT_STREQ(kMap10Setup.tasks[0].name, kTaskName);
  // The split's condition holds only with flag 420; written without its ";" it would hold at
  // once (the language answers 1 for an unended string).
  ASSERT_NE(split, nullptr);
  EXPECT_STREQ(split->b, "F(420);");
  testsupport::CondFake flags;
  flags.SetAnswer(kCondF, 0);  // flag 420 clear
  EXPECT_EQ(CondEval("F(420)", flags.functions()), 1);
  EXPECT_EQ(CondEval(split->b, flags.functions()), 0);
  EXPECT_FALSE(testsupport::LintMapSetup(9, MapSetup{.table = [] {
                                                     static SlgEventEntry rows[2] = {
                                                         {}, kEventTableEnd};
                                                     rows[0] = kMap10Setup.table[9];
                                                     rows[0].b = "F(420)";
                                                     return &rows[0];
                                                   }()})
                   .empty())
      << "the lint rejects the string without its end";
}

// ---- The arrival ----

TEST(Map10Arrival, TheFiguresArriveWithThePartyHiddenAndTheCameraHeldUntilTheArrival) {
  auto h = MakeBattle({});
  h->Start();
  EXPECT_EQ(Battle().camera.lock, 0u);
  ASSERT_TRUE(h->RunUntil("10110", [&] { return h->FrameOf("end 10110") >= 0; }, 600));
  EXPECT_EQ(Battle().camera.lock, 1u);
  bool hidden_seen = false;
  ASSERT_TRUE(h->RunUntil("10120", [&] {
    if (h->FrameOf("message 11:3000") >= 0 && h->FrameOf("message 110:3090") < 0) {
      const SlgUnit* hero = FindUnitByKind(0);
      if (hero != nullptr && (hero->flags & 0x80u) == 0) hidden_seen = true;
    }
    return h->FrameOf("end 10120") >= 0;
  }, 3000));
  EXPECT_EQ(Battle().camera.lock, 0u);
  EXPECT_EQ(Battle().fix_tasks.count, 2) << "the map's fixed sprites";
  EXPECT_TRUE(hidden_seen) << "the party hidden while the figures stand";
  for (int c = 0; c <= 6; ++c) {
    const SlgUnit* u = FindUnitByKind(c);
    ASSERT_NE(u, nullptr);
    EXPECT_NE(u->flags & 0x80u, 0u) << "character " << c << " shown again";
  }
  // The arrival figures in one frame, the standing figures 15 frames later.
  std::vector<int> arrival_frames;
  std::vector<int> standing_frames;
  for (const auto& r : h->records()) {
    if (r.what.rfind("deploy ", 0) != 0) continue;
    const int kind = std::stoi(r.what.substr(7));
    if (kind >= 80 && kind <= 86) arrival_frames.push_back(r.frame);
    if (kind >= 87 && kind <= 93) standing_frames.push_back(r.frame);
  }
  ASSERT_EQ(arrival_frames.size(), 7u);
  ASSERT_EQ(standing_frames.size(), 7u);
  EXPECT_EQ(std::count(arrival_frames.begin(), arrival_frames.end(), arrival_frames[0]), 7);
  EXPECT_EQ(std::count(standing_frames.begin(), standing_frames.end(), standing_frames[0]), 7);
  EXPECT_GE(standing_frames[0] - arrival_frames[0], 15);
  for (int kind = 80; kind <= 93; ++kind) {
    const SlgUnit* figure = FindUnitByKind(kind);
    EXPECT_TRUE(figure == nullptr || !SlgUnitLive(*figure)) << "figure " << kind << " gone";
  }
  const auto messages = h->Records("message");
  ASSERT_GE(messages.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(messages.begin(), messages.begin() + 3),
            (std::vector<std::string>{"message 11:3000", "message 110:3090",
                                      "message 11:10000"}));
  EXPECT_LT(h->FrameOf("se 134"), h->FrameOf("se 130"));
}

// ---- The talks and the split ----

struct SplitCase {
  const char* name;
  std::array<int32_t, 6> values;
  std::vector<int> answers;  // the lines answered in turn; a choice past them times out
  std::vector<int> order;    // the heroines in the order their talks start
  std::vector<int> going;
  std::vector<int> staying;
};

// Plays the battle from its start to the stage switch, checking every frame that the map task
// released no talk over a heroine placed above who has not talked.
void PlaySplit(const SplitCase& c) {
  SCOPED_TRACE(c.name);
  auto h = MakeBattle(c.values);
  for (int line : c.answers) h->AnswerChoice(line);
  h->Start();
  std::array<SlgPoint, 7> start{};
  for (int character = 0; character <= 6; ++character) {
    const SlgUnit* unit = h->Unit(0, character);
    ASSERT_NE(unit, nullptr);
    start[static_cast<size_t>(character)] = {unit->x >> 16, unit->y >> 16};
  }
  bool released_early = false;
  ASSERT_TRUE(h->RunUntil("the switch", [&] {
    const Map10Words& w = Map10State();
    for (int heroine = 1; heroine <= 6; ++heroine) {
      if (CheckEventFlag(kMap10ReleaseFlag + heroine) == 0) continue;
      for (int p = 1; p < w.place[static_cast<size_t>(heroine)]; ++p) {
        if (w.talked[static_cast<size_t>(w.order[static_cast<size_t>(p - 1)])] == 0) {
          released_early = true;
        }
      }
    }
    return h->FrameOf(kSwitch) >= 0;
  }, 20000));
  EXPECT_FALSE(released_early);

  std::vector<std::string> want_talks;
  for (int heroine : c.order) want_talks.push_back("start " + std::to_string(10130 + heroine));
  EXPECT_EQ(TalkStarts(*h), want_talks);
  const Map10Words& w = Map10State();
  EXPECT_EQ(std::vector<int>(w.order.begin(), w.order.begin() + static_cast<long>(c.order.size())),
            c.order);
  EXPECT_EQ(Heroines(w.going, w.going_count), c.going);
  EXPECT_EQ(Heroines(w.staying, w.staying_count), c.staying);
  for (int heroine = 1; heroine <= 6; ++heroine) {
    const bool goes = std::count(c.going.begin(), c.going.end(), heroine) == 1;
    EXPECT_EQ(SlgGetMacroP(kMap10GoingVar[static_cast<size_t>(heroine - 1)]), goes ? 1 : 0)
        << "heroine " << heroine;
  }

  // The split: its lines, the first-placed heroine's message 3088, the farewells in group order.
  const auto messages = h->Records("message");
  const auto split = std::find(messages.begin(), messages.end(), "message 11:10069");
  ASSERT_NE(split, messages.end());
  std::vector<std::string> want = {"message 11:10069", "message 11:10070",
                                   "message " + std::to_string(kLeaderFace[static_cast<size_t>(
                                                    w.order[0])]) +
                                       ":3088"};
  for (int s : c.staying) want.push_back(kFarewell[static_cast<size_t>(s - 1)]);
  EXPECT_EQ(std::vector<std::string>(split, messages.end()), want);
  EXPECT_LT(h->FrameOf("start 10140"), h->FrameOf(kSwitch));
  const auto switches = h->Records(kSwitch);
  EXPECT_EQ(switches.size(), 1u);
  EXPECT_GE(h->FrameOf("fade 256 black"), 0) << "the walk under the fade";

  // The hero and the going heroines walked toward their place moved by (192, -96).
  ASSERT_EQ(w.walkers, 4);
  EXPECT_EQ(w.walker[0], 0);
  for (int n = 0; n < 4; ++n) {
    const int character = w.walker[static_cast<size_t>(n)];
    if (n > 0) {
      EXPECT_EQ(character, c.going[static_cast<size_t>(n - 1)]);
    }
    const SlgPoint from = start[static_cast<size_t>(character)];
    const SlgPoint target = w.target[static_cast<size_t>(n)];
    EXPECT_EQ(target.x - from.x, 192) << "walker " << character;
    EXPECT_EQ(target.y - from.y, -96) << "walker " << character;
    EXPECT_TRUE((w.arrived & (1 << n)) != 0 || w.walks[static_cast<size_t>(n)].phase == 1)
        << "walker " << character << " set off";
    // Character 4 teleports: she is still on her first cell while her teleport-out plays.
    if (character == 4) continue;
    const SlgUnit* unit = FindUnitByGroupKind(0, character);
    ASSERT_NE(unit, nullptr);
    EXPECT_GT((unit->x >> 16) - from.x, 0) << "walker " << character << " on the way";
  }
}

TEST(Map10Split, TheTalksFollowTheOrderAndEachAnswerFillsItsGroup) {
  const SplitCase cases[] = {
      {"three first answers: the others stay", {40, 50, 50, 10, 60, 0}, {1, 1, 1},
       {5, 2, 3}, {5, 2, 3}, {1, 4, 6}},
      {"three second answers: the others go", {40, 50, 50, 10, 60, 0}, {2, 2, 2},
       {5, 2, 3}, {1, 4, 6}, {5, 2, 3}},
      {"1, 2, another line, 1: going after the fourth", {40, 50, 50, 10, 60, 0}, {1, 2, 3, 1},
       {5, 2, 3, 1}, {5, 3, 1}, {2, 4, 6}},
  };
  for (const SplitCase& c : cases) PlaySplit(c);
}

TEST(Map10Split, EqualValuesTalkInNumberOrderAndTimeOutsGo) {
  const SplitCase cases[] = {
      {"equal values talk in number order", {7, 7, 7, 7, 7, 7}, {2, 1, 2, 2},
       {1, 2, 3, 4}, {2, 5, 6}, {1, 3, 4}},
      {"no answers: the time-outs go", {0, 0, 0, 0, 0, 30}, {}, {6, 1, 2}, {6, 1, 2},
       {3, 4, 5}},
  };
  for (const SplitCase& c : cases) PlaySplit(c);
}

TEST(Map10Split, AnswersRaiseTheHeroinesVariablesAndPlayTheirSound) {
  auto h = MakeBattle({0, 0, 0, 0, 0, 0});
  for (int line : {1, 2, 3}) h->AnswerChoice(line);
  for (int f : kArrivalFlags) h->SetFlagAtInstall(f);
  h->Start();
  ASSERT_TRUE(h->RunUntil("three talks", [&] { return h->FrameOf("end 10133") >= 0; }, 6000));
  // Heroines 1-3 talk in number order: answer 1 raises by 2, answer 2 by 1, another line not.
  EXPECT_EQ(GetHeroineVar2(1), 2);
  EXPECT_EQ(GetHeroineVar2(2), 1);
  EXPECT_EQ(GetHeroineVar2(3), 0);
  EXPECT_EQ(GetTrustVar(1), GetTrustVar(3) + 2);
  const auto se = h->Records("se 20");
  EXPECT_EQ(se.size(), 2u);
  EXPECT_EQ(h->Records("message"),
            (std::vector<std::string>{"message 29:10001", "message 11:10002", "message 30:10003",
                                      "message 30:10004", "message 74:10013", "message 11:10016",
                                      "message 74:10017", "message 110:10034",
                                      "message 110:10041", "message 110:10042"}));
}

// Heroine 6's second answer is a list where the others have one line.
TEST(Map10Split, HeroineSixsSecondAnswerPlaysItsList) {
  auto h = MakeBattle({0, 0, 0, 0, 0, 9});
  h->AnswerChoice(2);
  for (int f : kArrivalFlags) h->SetFlagAtInstall(f);
  h->Start();
  ASSERT_TRUE(h->RunUntil("talk 6", [&] { return h->FrameOf("end 10136") >= 0; }, 3000));
  EXPECT_EQ(h->Records("message"),
            (std::vector<std::string>{"message 137:10059", "message 11:10062", "message 11:10063",
                                      "message 137:10064", "message 137:10065"}));
}

// Without a talk released the talks never close: the split waits (its condition needs flag 420).
TEST(Map10Split, WithTheMapTaskGoneTheSplitNeverStarts) {
  auto h = MakeBattle({0, 0, 0, 0, 0, 0});
  for (int f : kArrivalFlags) h->SetFlagAtInstall(f);
  h->Start();
  ASSERT_TRUE(h->RunUntil("10130", [&] { return h->FrameOf("start 10130") >= 0; }, 600));
  // End the map task before it sees flag 130.
  ASSERT_EQ(CheckEventFlag(130), 0);
  ASSERT_NE(MapTask(), nullptr);
  SlgTaskEnd(static_cast<SlgEffectTask*>(MapTask()->work));
  ASSERT_EQ(MapTask(), nullptr);
  ASSERT_TRUE(h->RunUntilIdle(600));
  h->RunFrames(300);
  EXPECT_EQ(CheckEventFlag(130), 1);
  EXPECT_EQ(CheckEventFlag(kMap10ClosedFlag), 0);
  EXPECT_LT(h->FrameOf("start 10140"), 0);
  EXPECT_TRUE(TalkStarts(*h).empty());
  EXPECT_LT(h->FrameOf(kSwitch), 0);
}

TEST(Map10Split, TheMapTaskEndsOnceTheTalksCloseEvenDuringAnEvent) {
  auto h = MakeBattle({0, 0, 0, 0, 0, 0});
  for (int f : kArrivalFlags) h->SetFlagAtInstall(f);
  h->Start();
  ASSERT_TRUE(h->RunUntil("talk 1", [&] { return h->FrameOf("start 10131") >= 0; }, 600));
  ASSERT_NE(Battle().event_busy, 0u);
  ASSERT_NE(MapTask(), nullptr);
  SetEventFlag(kMap10ClosedFlag);
  h->RunFrames(2);
  EXPECT_NE(Battle().event_busy, 0u);
  EXPECT_EQ(MapTask(), nullptr) << "the task has ended itself";
}

}  // namespace
