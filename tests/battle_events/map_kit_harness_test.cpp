// The map-script toolkit at work in real battles on the event harness: the step-sequence
// interpreter's timing and control rules, the battle moments the harness raises, its failure on
// an event that never ends, and the toolkit's two-row test map run twice from the battle's start
// to idle.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_events.h"
#include "battle/slg_unit.h"
#include "engine/app/context.h"
#include "engine/sound/dsound_func.h"
#include "battle_events/core/event_check.h"
#include "battle_events/core/event_heroines.h"
#include "battle_events/event_bg.h"
#include "battle_events/event_movie.h"
#include "battle_events/event_runtime_state.h"
#include "battle_events/maps/kit/event_rows.h"
#include "battle_events/maps/kit/event_seq.h"
#include "battle_events/maps/kit/map_common.h"
#include "testsupport/event_harness.h"
#include "testsupport/event_tables.h"
#include "testsupport/kit_test_map.h"
#include "testsupport/lips_files.h"

namespace {

using testsupport::EventHarness;
namespace S = EventSeq;

constexpr int kChoice = 20;  // a two-line choice text
constexpr int kText = 10000;

// A one-row set-up whose row (id 1, the battle's first frame) runs `ops`.
struct OneRow {
  explicit OneRow(std::vector<S::Op> program) : ops(std::move(program)) {
    args.ops = ops;
    table[0] = {.id = 1, .timing = 0x8000, .guard = {1, 0}, .set = {1, 0}, .handler = &SeqRow,
                .arg = &args};
    setup.table = table.data();
  }
  std::vector<S::Op> ops;
  SeqArgs args;
  std::array<SlgEventEntry, 2> table{};
  MapSetup setup;
};

std::unique_ptr<EventHarness> HarnessFor(const MapSetup& setup) {
  auto h = std::make_unique<EventHarness>(setup);
  h->messages.Add({.id = kText, .voice_word = 0, .lip = "", .text = "AB"});
  h->messages.Add(
      {.id = kChoice, .voice_word = 0, .lip = "", .text = testsupport::ChoiceText(2, 4)});
  return h;
}

// ---- The interpreter's rules ----

TEST(EventSeqRun, ImmediatesRunOnTheFrameTheOpBeforeThemCompletedAndTheNextStepOnTheNext) {
  OneRow row({S::Se(41), S::Wait(3), S::Se(42), S::Message(11, kText), S::End()});
  auto h = HarnessFor(row.setup);
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(300));
  const int start = h->FrameOf("start 1");
  ASSERT_GE(start, 0);
  EXPECT_EQ(h->FrameOf("se 41"), start + 1) << "a leading immediate runs on the first frame";
  EXPECT_EQ(h->FrameOf("se 42"), start + 1 + 3) << "on the wait's completion frame";
  EXPECT_EQ(h->FrameOf("message 11:10000"), start + 1 + 4) << "the frame after";
  EXPECT_EQ(h->Records("end"), std::vector<std::string>{"end 1"});
}

// The ops whose builders share the runtime's names reach the runtime: a heroine's variables
// change and the defeat starts its task.
TEST(EventSeqRun, HeroineParamAndTheDefeatReachTheRuntime) {
  OneRow row({S::AddHeroineParam(2, -3), S::RequestGameOver(), S::End()});
  auto h = HarnessFor(row.setup);
  h->SetTrust(2, 20);
  h->Start();
  h->RunFrames(30);
  EXPECT_EQ(GetTrustVar(2), 17);
  EXPECT_EQ(h->Records("task Slg::GameOver"), std::vector<std::string>{"task Slg::GameOver"});
}

TEST(EventSeqRun, ABranchOnTheChoiceTakesItsCaseOrTheDefault) {
  struct Case {
    const char* name;
    int answer;  // 0: none (the choice times out)
    std::string se;
  } cases[] = {
      {"timed out: not listed", 0, "se 49"},
      {"line 2", 2, "se 42"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OneRow row({S::TimedChoice(kChoice, c.answer == 0 ? 30 : 0),
                S::Branch({{1, 1}, {2, 2}}, 9),
                S::Label(1), S::Se(41), S::Goto(10),
                S::Label(2), S::Se(42), S::Goto(10),
                S::Label(9), S::Se(49),
                S::Label(10), S::End()});
    auto h = HarnessFor(row.setup);
    if (c.answer != 0) h->AnswerChoice(c.answer);
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(400));
    std::vector<std::string> ses = h->Records("se 4");
    EXPECT_EQ(ses, std::vector<std::string>{c.se});
  }
}

// The prop's handler: sets the map's signal word on its fifth frame.
int32_t g_signal = 0;
int g_prop_frames = 0;
int32_t& SignalWord() { return g_signal; }
int SignalsOnItsFifthFrame(SlgUnit&, SlgPair&) {
  if (++g_prop_frames == 5) g_signal = 1;
  return 0;
}
constexpr SlgEventAnmHandler kSignalAnm[] = {&SignalsOnItsFifthFrame};

TEST(EventSeqRun, AHoldWaitsForItsSignalAndEndsAtOnceWithNoAnsweringObject) {
  for (bool deployed : {true, false}) {
    SCOPED_TRACE(deployed ? "prop deployed" : "no prop");
    g_signal = 0;
    g_prop_frames = 0;
    std::vector<S::Op> ops;
    if (deployed) ops.push_back(S::DeployKind(80));
    ops.insert(ops.end(), {S::HoldUntil(&SignalWord, 1, {80}), S::Se(43), S::End()});
    OneRow row(std::move(ops));
    row.setup.anm_table = kSignalAnm;
    auto h = HarnessFor(row.setup);
    h->AddObject(80, 0, 400, 336);
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(300));
    const int first = h->FrameOf("start 1") + 1;
    if (deployed) {
      EXPECT_EQ(h->FrameOf("deploy 80 entry 2"), first);
      EXPECT_EQ(g_signal, 1);
      EXPECT_GE(h->FrameOf("se 43"), first + 4) << "held until the prop's fifth frame";
    } else {
      EXPECT_EQ(h->FrameOf("se 43"), first) << "nothing answers: the hold ends at once";
      EXPECT_EQ(g_prop_frames, 0);
    }
  }
}

// The kit's wait for the sound effect: it goes on at once when the channel has stopped, and after
// its frame limit, traced with the map's number, when the channel never reports stopped.
TEST(EventSeqRun, TheSoundEffectWaitEndsWhenTheChannelStopsOrAtItsLimit) {
  for (bool playing : {false, true}) {
    SCOPED_TRACE(playing ? "the effect never stops" : "no effect playing");
    OneRow row({S::Custom(&SeStopped<99>), S::Se(43), S::End()});
    auto h = HarnessFor(row.setup);
    if (playing) h->ExpectTrace("map 99: the sound effect did not stop");
    h->Start();
    auto& channel = Ctx().dsound.channels[kChannelSe];
    ASSERT_TRUE(h->RunUntil(
        "the effect played",
        [&] {
          if (playing) channel.status = 2;
          return h->FrameOf("se 43") >= 0;
        },
        kSeStopLimit + 60));
    channel.status = 0;
    const int first = h->FrameOf("start 1") + 1;
    if (playing) {
      EXPECT_GE(h->FrameOf("se 43"), first + kSeStopLimit) << "held for the whole limit";
      EXPECT_LE(h->FrameOf("se 43"), first + kSeStopLimit + 2);
    } else {
      EXPECT_LE(h->FrameOf("se 43"), first + 1) << "nothing playing: no wait";
    }
  }
}

TEST(EventSeqRun, APairCompletesOnTheFrameItsLaterStepCompletesWithoutRestartingTheEarlier) {
  // The camera cannot move on a one-screen map (the scroll ends at once); the hero walks on.
  OneRow row({S::Pair(S::ScrollPx(0, 0, 4), S::WalkUnit(0, 0, 0, 288, 240, 0)), S::Se(44),
              S::End()});
  auto h = HarnessFor(row.setup);
  h->Start();
  SlgUnit* hero = h->Unit(0, 0);
  ASSERT_NE(hero, nullptr);
  bool walked = false;
  int arrived = -1;
  int scroll_calls_after = 0;
  for (int f = 0; f < 300 && h->FrameOf("se 44") < 0; ++f) {
    h->RunFrames(1);
    // Walking is unit state 1; the arrival's state 4 becomes 2 within its frame.
    if (hero->state == 1) walked = true;
    if (arrived < 0 && walked && hero->state != 1) arrived = h->rig().frame();
    if (arrived < 0 && Battle().Extension<SlgEventRuntimeState>().scroll_phase != 0) {
      ++scroll_calls_after;
    }
  }
  ASSERT_GT(arrived, h->FrameOf("start 1") + 3) << "the walk takes frames";
  EXPECT_EQ(hero->x >> 16, 288);
  EXPECT_EQ(h->FrameOf("se 44"), arrived);
  EXPECT_LE(scroll_calls_after, 1) << "the finished scroll is not started again";
}

TEST(EventSeqRun, APairOfTwoWaitsIsRefusedAtItsFirstRunAndEndsTheEvent) {
  const S::Op pair = S::Pair(S::Wait(3), S::Wait(5));  // at run time: marked, not a compile error
  OneRow row({pair, S::Se(45), S::End()});
  auto h = HarnessFor(row.setup);
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(60));
  EXPECT_TRUE(h->rig().driver().trace().Contains(
      "EventSeq: event 1 refused: a pair of two steps of one kind"));
  EXPECT_EQ(h->Records("se 45"), std::vector<std::string>{});
  EXPECT_EQ(h->Records("end"), std::vector<std::string>{"end 1"});
}

TEST(EventSeqRun, RepeatAndIfSteerTheProgramAndALoopThatNeverWaitsIsStopped) {
  {
    OneRow row({S::SetFlag(300), S::If("F(300);", 2), S::Se(47), S::Label(2),
                S::Label(1), S::Se(46), S::Wait(1), S::Repeat(3, 1),
                S::StartGameWin(), S::End()});
    auto h = HarnessFor(row.setup);
    h->Start();
    ASSERT_TRUE(h->RunUntil("the victory", [&h] { return h->FrameOf("task Slg::GameWin") >= 0; },
                            60));
    std::vector<std::string> story;
    for (const testsupport::EventRecord& r : h->records()) {
      if (r.what.rfind("se 4", 0) == 0 || r.what.rfind("task", 0) == 0) story.push_back(r.what);
    }
    EXPECT_EQ(story, (std::vector<std::string>{"se 46", "se 46", "se 46", "task Slg::GameWin"}))
        << "the If jumped over se 47; the body ran three times, then the victory";
    EXPECT_EQ(h->FrameOf("se 46"), h->FrameOf("start 1") + 1);
  }
  {
    OneRow row({S::Label(1), S::Se(48), S::Goto(1), S::End()});
    auto h = HarnessFor(row.setup);
    h->Start();
    ASSERT_TRUE(h->RunUntilIdle(30));
    EXPECT_TRUE(h->rig().driver().trace().Contains("a loop that never waits"));
    EXPECT_EQ(h->Records("end"), std::vector<std::string>{"end 1"});
  }
}

// The immediates named like the battle's own functions call those functions (the trust of both
// heroine variables raised, the game over begun), not the op builders of the same names.
TEST(EventSeqRun, HeroineParamsAndTheGameOverReachTheBattle) {
  OneRow row({S::AddHeroineParam(1, 5), S::AddHeroineParam(2, -3), S::RequestGameOver(),
              S::End()});
  auto h = HarnessFor(row.setup);
  h->SetTrust(1, 12);
  h->SetTrust(2, 40);
  h->SetP(10, 32768);  // heroine 1's second variable at 0
  h->Start();
  ASSERT_TRUE(h->RunUntil(
      "the game over", [&h] { return h->FrameOf("task Slg::GameOver") >= 0; }, 60));
  EXPECT_EQ(GetTrustVar(1), 17);
  EXPECT_EQ(GetTrustVar(2), 37);
  EXPECT_EQ(GetHeroineVar2(1), 5);
}

// The row's handler, counting its calls.
std::vector<int> g_calls;
testsupport::EventHarness* g_h = nullptr;
void CountedSeqRow(const SlgEventEntry& row) {
  g_calls.push_back(g_h->rig().frame());
  SeqRow(row);
}

TEST(EventSeqRun, EndEndsTheEventOnceAndTheHandlerIsNotCalledAgain) {
  OneRow row({S::Wait(2), S::End()});
  row.table[0].handler = &CountedSeqRow;
  auto h = HarnessFor(row.setup);
  g_h = h.get();
  g_calls.clear();
  h->Start();
  ASSERT_TRUE(h->RunUntilIdle(60));
  h->RunFrames(10);
  g_h = nullptr;
  EXPECT_EQ(h->Records("end"), std::vector<std::string>{"end 1"});
  const int first = h->FrameOf("start 1") + 1;
  EXPECT_EQ(g_calls, (std::vector<int>{first, first + 1, first + 2}));
  EXPECT_EQ(h->FrameOf("end 1"), first + 3);
}

// ---- The harness's moments ----

constexpr int kMad = 18;

TEST(EventHarnessMoments, EachMomentRaisesItsBitOnTheFrameItIsAppliedOnly) {
  // Rows without guards, each ending at once, so every frame that passes their tests starts one.
  static constexpr SlgEventEntry kRows[] = {
      {.id = 10, .timing = 0x0001, .handler = &testsupport::EventEndAtOnce},
      {.id = 11, .timing = 0x8000, .b = "M(MAD);", .handler = &testsupport::EventEndAtOnce},
      {.id = 12, .timing = 0x0008, .b = "PP(ITV);", .handler = &testsupport::EventEndAtOnce},
      {.id = 13, .timing = 0x0008, .b = "PFP(ITV);", .handler = &testsupport::EventEndAtOnce},
      {.id = 14, .timing = 0x0004, .b = "KP(ITV);", .handler = &testsupport::EventEndAtOnce},
      {.id = 15, .timing = 0x0010, .b = "CP(ITV);", .handler = &testsupport::EventEndAtOnce},
      kEventTableEnd};
  static constexpr MapSetup kSetup{.table = kRows};
  EventHarness h(kSetup);
  h.install.HeroineInsteadOfEnemy();  // heroine 1 beside the hero
  h.ExpectTrace("UID:1 ");            // the dressed install has no sprite rows for her kind
  h.AddUnit(1, 20, 14, 1, 480, 336);  // an enemy to defeat
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(120));
  h.RunFrames(5);
  auto starts = [&h](int id) { return h.Records("start " + std::to_string(id)).size(); };
  const size_t rounds = starts(10);

  h.BeginTurn();
  ASSERT_TRUE(h.RunUntilIdle(30));
  h.RunFrames(5);
  EXPECT_EQ(starts(10), rounds + 1) << "0x0001 on the turn's frame only";

  h.Command(kMad);
  ASSERT_TRUE(h.RunUntilIdle(30));
  h.RunFrames(5);
  EXPECT_EQ(starts(11), 1u) << "M(MAD) on the command's frame only";
  EXPECT_EQ(Battle().player.last_choice, 0);

  // Heroine 1 acts (PP), then the hero (the heroine is the previous unit: PFP, not PP).
  h.Act(0, 1);
  ASSERT_TRUE(h.RunUntilIdle(30));
  EXPECT_EQ(starts(12), 1u);
  EXPECT_EQ(starts(13), 0u);
  h.Act(0, 0);
  ASSERT_TRUE(h.RunUntilIdle(30));
  EXPECT_EQ(starts(12), 1u);
  EXPECT_EQ(starts(13), 1u) << "PFP sees the previous unit";

  // A defeat raises nothing; its KP row starts at the next 0x0004 moment (the hero acting again,
  // so that neither PP nor PFP holds).
  h.Defeat(1, 20, 0, 1);
  h.RunFrames(5);
  EXPECT_EQ(starts(14), 0u);
  h.Act(0, 0);
  ASSERT_TRUE(h.RunUntilIdle(30));
  EXPECT_EQ(starts(14), 1u);

  h.Partner(0, 1);
  ASSERT_TRUE(h.RunUntilIdle(30));
  EXPECT_EQ(starts(15), 1u);
}

TEST(EventHarnessMoments, InstallFlagsScriptedRandomNumbersAndPValuesReachTheConditions) {
  static constexpr SlgEventEntry kRows[] = {
      {.id = 30, .timing = 0x8000, .a = "F(199);", .guard = {30, 0}, .set = {30, 0},
       .handler = &testsupport::EventEndAtOnce},
      {.id = 31, .timing = 0x8000, .b = "R(20);", .guard = {31, 0}, .set = {31, 0},
       .handler = &testsupport::EventEndAtOnce},
      {.id = 32, .timing = 0x8000, .b = "FAD(80);", .guard = {32, 0}, .set = {32, 0},
       .handler = &testsupport::EventEndAtOnce},
      kEventTableEnd};
  static constexpr MapSetup kSetup{.table = kRows};
  struct Case {
    const char* name;
    bool flag;
    int32_t random;  // SlgRand's answers
    uint16_t p80;
    std::vector<std::string> starts;
  } cases[] = {
      {"all set", true, 0, 5, {"start 30", "start 31", "start 32"}},
      {"none", false, 60000, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EventHarness h(kSetup);
    if (c.flag) h.SetFlagAtInstall(199);
    h.SetRandom({c.random});
    h.SetP(80, c.p80);
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(60));
    EXPECT_EQ(h.Records("start"), c.starts);
  }
}

// An event that counts to step 2 and stays there.
void NeverEnds(const SlgEventEntry&) {
  if (EventStep() < 2) ++EventStep();
}
EventHarness* g_stuck = nullptr;

TEST(EventHarnessMoments, AHandlerThatNeverEndsFailsRunUntilIdleWithItsRowAndStep) {
  static constexpr SlgEventEntry kRows[] = {
      {.id = 7, .timing = 0x0001, .handler = &testsupport::EventEndAtOnce},
      {.id = 9, .timing = 0x8000, .guard = {9, 0}, .set = {9, 0}, .handler = &NeverEnds},
      kEventTableEnd};
  static constexpr MapSetup kSetup{.table = kRows};
  EventHarness h(kSetup);
  h.Start();
  g_stuck = &h;
  EXPECT_NONFATAL_FAILURE(g_stuck->RunUntilIdle(20), "row 1 (id 9) step 2");
  g_stuck = nullptr;
}

// ---- Backgrounds and movies in the records ----

int SlideInBackground() { return EventBgSlideIn(testsupport::BattleInstall::kBackground); }
int FadeOutBackground() { return EventBgFadeOut(10, 100); }
int FadeInBackground() { return EventBgFadeIn(testsupport::BattleInstall::kBackground, 5, 50); }
int PlayMovie() { return EventMoviePlay(0, 5); }

TEST(EventHarnessRecords, BackgroundsAndMoviesAreRecordedInOrderWithTheirNumbersAndNames) {
  OneRow row({S::Custom(&SlideInBackground, 1), S::Custom(&FadeOutBackground, 2),
              S::Custom(&FadeInBackground, 3), S::Custom(&PlayMovie, 4), S::End()});
  EventHarness h(row.setup);
  h.AddMovie(0, 5, 0.3);
  h.Start();
  ASSERT_TRUE(h.RunUntilIdle(600));
  std::vector<std::string> got;
  for (const testsupport::EventRecord& r : h.records()) {
    if (r.what.rfind("bg ", 0) == 0 || r.what.rfind("movie", 0) == 0 ||
        r.what.rfind("start", 0) == 0 || r.what.rfind("end", 0) == 0) {
      got.push_back(r.what);
    }
  }
  // The movie's preparation frees nothing: the faded-in picture stays until the battle ends.
  const std::vector<std::string> want = {
      "start 1",     "bg show 1", "bg slide 1", "bg fade-out 1",
      "bg free 1",   "bg show 1", "bg fade-in 1", "movie Movie\\Movie005.mpg",
      "movie end",   "end 1"};
  EXPECT_EQ(got, want);
  EXPECT_LT(h.FrameOf("bg slide 1"), h.FrameOf("bg fade-out 1"));
  EXPECT_LT(h.FrameOf("movie Movie\\Movie005.mpg"), h.FrameOf("movie end"));
}

// ---- The toolkit's test map ----

std::unique_ptr<EventHarness> KitMapHarness() {
  auto h = std::make_unique<EventHarness>(testsupport::kKitTestMap);
  testsupport::AddKitTestMessages(h->messages);
  h->AddObject(testsupport::kKitPropKind, 0, 400, 336);
  h->SetTrust(1, 12);
  return h;
}

TEST(KitTestMap, RunsFromTheStartToIdleTwiceWithTheSameRecords) {
  const auto scenario = [](EventHarness& h) {
    h.Start();
    ASSERT_TRUE(h.RunUntilIdle(600));
    // The battle's own fades as it is built and starts (black, as a battle with events does),
    // the opening, then heroine 1's fall (she is not on the map): her trust of 12 picks the first
    // line, then her trust drops with the fall's sound.
    const std::vector<std::string> want = {
        "fade 256 black", "fade 0 black",    "fade 256 black",   "start 101",
        "fade 0 black",   "message 11:10000", "message 74:10001", "se 40",
        "bgm 3",          "deploy 80 entry 2", "end 101",         "start 1500",
        "message 36:2029", "se 21",          "end 1500"};
    std::vector<std::string> got;
    for (const testsupport::EventRecord& r : h.records()) {
      if (r.what.rfind("se 15", 0) != 0) got.push_back(r.what);  // the messages' OK sound
    }
    EXPECT_EQ(got, want);
  };
  EXPECT_TRUE(testsupport::RunEventsTwice(&KitMapHarness, scenario));
}

}  // namespace
