// The flower-card match procedure through the runner: the modes' ends, the demonstration, free
// play with its result screen and ranking, the tutorial's trace, the hub match's ends and
// continues, lines and faces, and the row table.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <array>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "game/macro_vars.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_rank.h"
#include "minigames/hana/hana_proc.h"
#include "minigames/hana/hana_rules.h"
#include "testsupport/minigame_bots.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"
#include "testsupport/portrait_writer.h"
#include "testsupport/wav_writer.h"

namespace {

using testsupport::MinigameRunner;

constexpr const char* kVoice = "tamvik3\\voice\\h1.wav";
constexpr const char* kFaceFile = "tamvik1\\chara\\hnc.spr";

std::vector<uint8_t> Sound(uint32_t frames) {
  return testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(frames, 1500)).Bytes();
}

// The od file of a card row: the universal pictures, the lines' texts, no voices, faces or music
// unless a test writes them.
testsupport::OdWriter HanaOd() {
  std::vector<int> empty = {30};
  for (int i = 50; i < 75; ++i) empty.push_back(i);
  for (int i = 100; i < 111; ++i) empty.push_back(i);
  return testsupport::UniversalOd(empty);
}

hana::HanaState& H() { return Minigame().hana; }
hana::HanaPlay& Play() { return Minigame().hana.play; }

using testsupport::HanaWaiting;

struct HanaGame {
  explicit HanaGame(int row_in = 4, testsupport::OdWriter od = HanaOd()) : row(row_in) {
    runner.WriteFile(runner.minigame().games[static_cast<size_t>(row)].path, od.Build());
  }
  // A bot tapping decide every 8 frames while a cursor, a line, a text or a plate waits.
  void DecideBot() {
    runner.bot = [this](MinigameRunner& r) {
      decide(r);
      if (each_frame) each_frame();
    };
  }
  MinigameRunner runner;
  int row;
  testsupport::HanaDecideBot decide;
  std::function<void()> each_frame;
};

// ---- The demonstration through a chain ----

struct ChainedDemo {
  ChainedDemo() {
    game.runner.SetProc(8, [this](int state) {
      if (state == 2) {
        ++arrivals;
        if (arrivals == 1) {
          mg_var_set(8, 600);
          mg_chain(4, mg::kModeHubDemonstration);
        } else {
          returned = mg_var_get(1);
        }
      }
      return 1;
    });
    game.runner.bot = [this](MinigameRunner&) {
      if (mg_is_running() && Minigame().fw.game == 4 && Play().step >= hana::kStepBoard) {
        last_demo_steps = Play().demo_steps;
        if (Play().demo_ending != 0 && fade_at < 0) fade_at = Play().demo_steps;
        for (int p = 0; p < 2; ++p) controls.insert(H().players[static_cast<size_t>(p)].control);
      }
      if (decide_at > 0 && Play().demo_steps == decide_at && Minigame().fw.game == 4) {
        game.runner.Tap(kMgKeyDecide);
        decided = true;
      }
      if (decided && returned < 0) ++frames_after_decide;
    };
  }
  HanaGame game;
  bool stub_written = [this] {
    game.runner.WriteFile(game.runner.minigame().games[8].path, HanaOd().Build());
    return true;
  }();
  int arrivals = 0;
  int returned = -1;
  int last_demo_steps = 0;
  int fade_at = -1;
  int decide_at = 0;
  bool decided = false;
  int frames_after_decide = 0;
  std::set<uint32_t> controls;
};

TEST(HanaProc, DemonstrationPlaysBothSidesAndReturnsAfterItsSteps) {
  ChainedDemo d;
  ASSERT_TRUE(d.game.runner.Start(8, mg::kModeStory));
  ASSERT_TRUE(d.game.runner.RunUntil("returned", [&] { return d.returned >= 0; }, 900));
  EXPECT_EQ(d.returned, 1);
  EXPECT_EQ(d.arrivals, 2);
  EXPECT_EQ(d.fade_at, 600);
  EXPECT_EQ(d.controls, (std::set<uint32_t>{hana::kComputer, hana::kComputer | hana::kHidden}));
  EXPECT_EQ(Minigame().fw.game, 8);
}

TEST(HanaProc, DecideEndsTheDemonstrationAtOnce) {
  ChainedDemo d;
  d.decide_at = 100;
  ASSERT_TRUE(d.game.runner.Start(8, mg::kModeStory));
  ASSERT_TRUE(d.game.runner.RunUntil("returned", [&] { return d.returned >= 0; }, 400));
  EXPECT_EQ(d.returned, 1);
  EXPECT_EQ(d.fade_at, 600) << "the count jumps to the limit";
  EXPECT_LT(d.last_demo_steps, 600 + 1);
  EXPECT_LE(d.frames_after_decide, 40) << "the fade starts at once";
}

// ---- Free play ----

TEST(HanaProc, FreePlayPaysTotalsShowsTheResultAndRanksInRowFour) {
  HanaGame g(12);
  g.DecideBot();
  struct Payment {
    int winner, total, before, after;
  };
  std::vector<Payment> payments;
  bool paying = false;
  bool bank1_shown = false;
  bool result_open = false;
  g.each_frame = [&] {
    if (!mg_is_running()) return;
    const hana::HanaPlay& p = Play();
    if (Minigame().fw.state == mg::kStateRunning && !mg_obj_test(hana::kObjBank1, mg::kObjHidden) &&
        mg_obj(hana::kObjBank1)->anim != 0) {
      bank1_shown = true;
    }
    if (p.step == hana::kStepPayment && !paying) {
      paying = true;
      payments.push_back({p.winner, p.total, H().players[0].bank, 0});
    }
    if (p.step != hana::kStepPayment && paying) {
      paying = false;
      payments.back().after = H().players[0].bank;
    }
    if (Minigame().menu.phase == mg::kPhaseResult && Minigame().menu.step == 10011) {
      result_open = true;
    }
  };
  // A low ranking in the flower-card list (variables 30-32), so the match's bank enters it.
  g.runner.tree().Write("install/save/minigame.dat",
                        testsupport::MinigameDat({{30, 3}, {31, 2}, {32, 1}}));
  ASSERT_TRUE(g.runner.Start(12, mg::kModeFreePlay));
  ASSERT_TRUE(g.runner.RunUntil("result screen", [&] { return result_open; }, 30000));
  g.runner.bot = nullptr;
  EXPECT_FALSE(bank1_shown);
  ASSERT_FALSE(payments.empty());
  EXPECT_LE(payments.size(), 3u);
  if (payments.back().after >= 1) {
    EXPECT_EQ(payments.size(), 3u);
  }
  for (const Payment& pay : payments) {
    SCOPED_TRACE(pay.winner);
    if (pay.winner == 0 || pay.before - pay.total >= 1) {
      EXPECT_EQ(pay.after - pay.before, pay.winner == 0 ? pay.total : -pay.total);
    } else {
      EXPECT_EQ(pay.after, 0) << "the payment stops below 1";
    }
  }
  const int32_t bank = H().players[0].bank;
  const int32_t won = bank >= 20 ? 1 : 0;
  EXPECT_EQ(mg_var_get(9), won);
  EXPECT_EQ(mg_var_get(2), won) << "mg_finish leaves variable 2 from variable 9";
  // Down to quit, decide.
  ASSERT_EQ(mg_cursor_get(), mg::kChoiceRetry);
  g.runner.Tap(kMgKeyDown);
  ASSERT_TRUE(g.runner.Run(3));
  ASSERT_EQ(mg_cursor_get(), mg::kChoiceQuit);
  g.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.runner.RunToEnd(200));
  // Row 12 ranks in the flower-card list of row 4 (variables 30-32).
  std::vector<int32_t> ranking = {Minigame().vars[30], Minigame().vars[31], Minigame().vars[32]};
  std::vector<int32_t> expected = {3, 2, 1, bank};
  std::sort(expected.begin(), expected.end(), std::greater<>());
  expected.resize(3);
  EXPECT_EQ(ranking, expected);
}

TEST(HanaProc, FreePlayRetryFromTheResultStartsTheMatchAnew) {
  HanaGame g;
  g.DecideBot();
  bool forced = false;
  g.each_frame = [&] {
    if (!mg_is_running() || forced || Play().step != hana::kStepRoundEnd) return;
    // The computer wins the first round and the point it is paid empties the user's bank.
    forced = true;
    Play().winner = 1;
    H().players[1].formed = hana::kDealersPoint;
    H().players[0].bank = 1;
  };
  ASSERT_TRUE(g.runner.Start(4, mg::kModeFreePlay));
  ASSERT_TRUE(g.runner.RunUntil("result", [] {
    return Minigame().menu.phase == mg::kPhaseResult && Minigame().menu.step == 10011;
  }, 6000));
  EXPECT_EQ(H().players[0].bank, 0);
  EXPECT_EQ(mg_var_get(2), 0);
  ASSERT_EQ(mg_cursor_get(), mg::kChoiceRetry);
  g.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.runner.RunUntil("board again", [] { return Play().step == hana::kStepBoard + 1; },
                                400));
  EXPECT_TRUE(mg_is_running());
  EXPECT_EQ(H().players[0].bank, 10);
  EXPECT_EQ(H().players[1].bank, 999);
}

// ---- The tutorial ----

// (the step that set the state, the state, the deck position of the next draw)
using Trace = std::vector<std::array<int, 3>>;

// Runs the tutorial with the decide bot; the trace of
// (step, tutorial state) at each change of the state.
Trace RunTutorial(int mode, int* final_mode, std::vector<int>* field, int* result,
                  bool choose_stop = false) {
  HanaGame g;
  g.DecideBot();
  Trace trace;
  int prior_step = 0;
  g.each_frame = [&] {
    if (!mg_is_running()) return;
    const int state = Play().tutorial;
    if (state != 0 && (trace.empty() || trace.back()[1] != state)) {
      trace.push_back({prior_step, state, H().next_draw});
    }
    prior_step = Play().step;
    if (choose_stop && Play().step == hana::kStepChooseStop) Minigame().cursor.selection = 1;
    if (field->empty() && Play().step == hana::kStepTurn) {
      for (int i = 0; i < 8; ++i) field->push_back(H().field[static_cast<size_t>(i)]);
    }
    *final_mode = Play().mode;
  };
  SetMacroA(0, 1);
  EXPECT_TRUE(g.runner.Start(4, mode));
  EXPECT_TRUE(g.runner.RunToEnd(8000));
  EXPECT_FALSE(mg_is_running());
  *result = mg_var_get(1);
  return trace;
}

TEST(HanaProc, StoryTutorialDealsTheFixedDeckAndReachesItsStatesInOrder) {
  int mode = -1, result = -1;
  std::vector<int> field;
  const Trace trace = RunTutorial(mg::kModeStory, &mode, &field, &result);
  EXPECT_EQ(mode, mg::kModeStoryTutorial);
  EXPECT_EQ(field, (std::vector<int>{1, 21, 13, 15, 6, 36, 11, 37}));
  ASSERT_GE(trace.size(), 2u);
  EXPECT_EQ(trace.front()[1], hana::kTutorialOn);
  int last = 0;
  for (const auto& t : trace) {
    EXPECT_GE(t[1], last) << "step " << t[0];
    last = t[1];
  }
  // The fixed deck and the bot reach the 28th card, the user's combination and the computer's.
  EXPECT_EQ(trace, (Trace{{-1, 1, 1}, {10054, 200, 29}, {10070, 300, 30}, {10071, 301, 30},
                          {10070, 500, 33}}));
  int mode2 = -1, result2 = -1;
  std::vector<int> field2;
  EXPECT_EQ(RunTutorial(mg::kModeStory, &mode2, &field2, &result2), trace) << "the same each run";
}

TEST(HanaProc, HubTutorialReturnsOneAndExplainsAStop) {
  int mode = -1, result = -1;
  std::vector<int> field;
  const Trace trace = RunTutorial(mg::kModeHubTutorial, &mode, &field, &result, true);
  // The user's stop is explained and the turn passes; the round goes on to the computer's
  // combination.
  EXPECT_EQ(trace, (Trace{{-1, 1, 1}, {10054, 200, 29}, {10070, 300, 30}, {10071, 301, 30},
                          {10076, 400, 30}, {10070, 500, 33}}));
  EXPECT_EQ(mode, mg::kModeHubTutorial);
  EXPECT_EQ(result, 1);
}

// ---- The hub match's ends ----

// A hub match whose first round ends with one payment that ends the match: the round's winner
// is set when the round ends, with a total of 1 and the loser's bank 1.
struct HubEnd {
  HubEnd(int strength, int continues, bool user_wins)
      : strength_(strength), continues_(continues), user_wins_(user_wins) {
    g.runner.bot = [this](MinigameRunner& r) {
      if (!mg_is_running() || Minigame().fw.game != 4) return;
      hana::HanaPlay& p = Play();
      if (p.step == hana::kStepRoundEnd && !forced) {
        forced = true;
        const int w = user_wins_ ? 0 : 1;
        p.winner = w;
        H().players[static_cast<size_t>(w)].formed = hana::kDealersPoint;
        H().players[static_cast<size_t>(1 - w)].bank = 1;
      }
      if (p.step == hana::kStepCountdown + 1 && !in_countdown) {
        in_countdown = true;
        confirms_before = g.runner.TimesPlayed("static:1");
      }
      const int closing_anim = Minigame().objects[hana::kObjClosing].anim;
      if (closing_anim != 0) closing.insert(closing_anim);
      if (in_countdown) {
        if (decide_in_count && !decided && p.counter == 7) {
          decided = true;
          r.Tap(kMgKeyDecide);
        }
        return;
      }
      if (++frame % 8 == 0 && HanaWaiting()) r.Tap(kMgKeyDecide);
    };
  }
  bool Start() {
    if (!g.runner.Start(4, mg::kModeHubMatch)) return false;
    mg_var_set(4, strength_);
    mg_var_set(6, continues_);
    return true;
  }
  HanaGame g;
  int strength_, continues_;
  bool user_wins_;
  int frame = 0;
  int confirms_before = 0;
  bool forced = false, in_countdown = false, decide_in_count = false, decided = false;
  std::set<int> closing;
};

TEST(HanaProc, HubMatchWonReturnsOneWithTheClosingSceneOfTheLastTwo) {
  struct Case {
    int strength;
    bool scene;
    bool voice;
  };
  for (const Case c : {Case{8, false, false}, Case{20, true, false}, Case{1, true, true}}) {
    SCOPED_TRACE(c.strength);
    HubEnd h(c.strength, 0, true);
    ASSERT_TRUE(h.Start());
    ASSERT_TRUE(h.g.runner.RunToEnd(6000));
    EXPECT_EQ(mg_var_get(1), 1);
    EXPECT_EQ(!h.closing.empty(), c.scene);
    EXPECT_EQ(h.g.runner.TimesPlayed("voice:tamvik3\\voice\\2504.wav") > 0, c.voice);
  }
}

TEST(HanaProc, HubMatchLostWithContinueDecidedRestartsWithAWeakerOpponent) {
  struct Case {
    int strength;
    int next_bank;
  };
  for (const Case c : {Case{8, 6}, Case{2, 1}}) {
    SCOPED_TRACE(c.strength);
    HubEnd h(c.strength, 2, false);
    h.decide_in_count = true;
    ASSERT_TRUE(h.Start());
    ASSERT_TRUE(h.g.runner.RunUntil(
        "restart", [&] { return h.decided && Play().step == hana::kStepBoard + 1; }, 6000));
    EXPECT_EQ(mg_var_get(6), 1);
    EXPECT_EQ(mg_var_get(10), 2);
    EXPECT_EQ(H().players[1].bank, c.next_bank) << "2 fewer, never below 1";
    EXPECT_EQ(h.g.runner.TimesPlayed("static:1") - h.confirms_before, 1) << "system01";
    EXPECT_TRUE(mg_is_running());
  }
}

TEST(HanaProc, HubMatchLostWithoutContinueShowsTheClosingPictureAndReturnsTwo) {
  for (int continues : {2, 0, -1}) {
    SCOPED_TRACE(continues);
    HubEnd h(8, continues, false);
    ASSERT_TRUE(h.Start());
    ASSERT_TRUE(h.g.runner.RunToEnd(8000));
    EXPECT_EQ(mg_var_get(1), 2);
    EXPECT_EQ(h.in_countdown, continues > 0);
    EXPECT_EQ(h.closing, (std::set<int>{90}));
    EXPECT_EQ(h.g.runner.TimesPlayed("static:0") >= 10, continues > 0);
  }
}

TEST(HanaProc, LastOpponentOffersNoChoice) {
  HanaGame g;
  g.DecideBot();
  bool chose = false;
  bool forced = false;
  int kind_after = 0;
  g.each_frame = [&] {
    if (!mg_is_running()) return;
    hana::HanaPlay& p = Play();
    if (p.step == hana::kStepChooseStop) chose = true;
    if (forced && kind_after == 0 && p.step != hana::kStepDecide) kind_after = p.last_kind;
    // The user's first turn goes straight to the stop-or-continue decision.
    if (!forced && p.step == hana::kStepTurn && H().current == 0) {
      forced = true;
      p.step = hana::kStepDecide;
    }
  };
  ASSERT_TRUE(g.runner.Start(4, mg::kModeHubMatch));
  mg_var_set(4, 1);
  mg_var_set(6, -1);
  ASSERT_TRUE(g.runner.RunUntil("board", [] { return Play().step >= hana::kStepBoard; }, 50));
  EXPECT_EQ(H().players[0].bank, 1);
  EXPECT_EQ(H().players[1].bank, 1);
  ASSERT_TRUE(g.runner.RunToEnd(8000));
  EXPECT_TRUE(forced);
  EXPECT_FALSE(chose);
  EXPECT_EQ(kind_after, 3);
  EXPECT_EQ(mg_var_get(1), 1) << "the user's stop wins the round and with it the match";
}

// ---- Lines and faces ----

struct LineRig {
  explicit LineRig(testsupport::OdWriter od) {
    runner.WriteFile(runner.minigame().games[4].path, od.Build());
    runner.WriteFile(kVoice, Sound(22050));
  }
  MinigameRunner runner;
};

TEST(HanaProc, LineHoldsWhileItsVoicePlaysUntilDecide) {
  struct Case {
    const char* voice;
    bool decide;
    int min_steps, max_steps;
  };
  for (const Case c : {Case{"", false, 0, 3}, Case{"tamvik3\\voice\\none.wav", false, 0, 3},
                       Case{kVoice, false, 50, 75},
                       Case{kVoice, true, 0, 15}}) {
    SCOPED_TRACE(std::string(c.voice) + (c.decide ? " decide" : ""));
    testsupport::OdWriter od = HanaOd();
    od.Text(64, c.voice);  // the voice of line 14, said at the opening (kind 1)
    LineRig rig(od);
    ASSERT_TRUE(rig.runner.Start(4, mg::kModeHubMatch));  // no common menu before the board
    ASSERT_TRUE(rig.runner.RunUntil("line", [] { return Play().step == hana::kStepLine; }, 200));
    int steps = 0;
    if (c.decide) rig.runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(rig.runner.RunUntil("line ends", [&] {
      ++steps;
      return Play().step != hana::kStepLine;
    }, 200));
    EXPECT_GE(steps, c.min_steps);
    EXPECT_LE(steps, c.max_steps);
  }
}

TEST(HanaProc, FaceTextNamesFileAndPicture) {
  testsupport::NcFileContents nc;
  nc.image_sizes = {{40, 60}};
  nc.pictures = {{0, 11, 0, 0, 0, 0, 0, 0}, {1, 11, 0, 0, 0, 0, 0, 0}, {2, 11, 0, 0, 0, 0, 0, 0},
                 {3, 11, 0, 0, 0, 0, 0, 0}};
  nc.bodies = {{0, 0, 0}};
  struct Case {
    std::string text;
    bool drawn;
  };
  for (const Case& c : {Case{std::string(kFaceFile), true}, Case{std::string(kFaceFile) + ",3", true},
                        Case{std::string(kFaceFile) + ", 2", true},
                        Case{std::string(kFaceFile) + ",7", false},  // the set has pictures 0-3
                        Case{"tamvik1\\chara\\none.spr,3", false}, Case{"", false}}) {
    SCOPED_TRACE(c.text);
    testsupport::OdWriter od = HanaOd();
    od.Text(107, c.text);
    MinigameRunner runner;
    runner.WriteFile(runner.minigame().games[4].path, od.Build());
    runner.WriteFile(kFaceFile, testsupport::NcFile(nc));
    ASSERT_TRUE(runner.Start(4, mg::kModeStory));
    ASSERT_TRUE(runner.Run(2));
    mg_obj_put(hana::kObjFace, 480, 16, 30, 77, 0);
    const MgObject before = *mg_obj(hana::kObjFace);
    EXPECT_EQ(hana::hana_show_face(7), c.drawn ? 1 : 0);
    if (c.drawn) {
      EXPECT_TRUE(mg_obj_test(hana::kObjFace, mg::kObjScenePicture));
    } else {
      EXPECT_EQ(mg_obj(hana::kObjFace)->flags, before.flags);
      EXPECT_EQ(mg_obj(hana::kObjFace)->anim, before.anim);
    }
  }
}

// ---- Faults ----

TEST(HanaProc, UnknownModePlaysAndEndsAsTheStory) {
  HanaGame g;
  g.DecideBot();
  int mode = -1;
  g.each_frame = [&] {
    if (mg_is_running() && Play().step != hana::kStepInit) mode = Play().mode;
  };
  ASSERT_TRUE(g.runner.Start(4, 7));
  ASSERT_TRUE(g.runner.RunToEnd(20000));
  EXPECT_EQ(mode, mg::kModeStory);
  EXPECT_EQ(mg_var_get(3), mg::kModeStory);
  EXPECT_FALSE(mg_is_running());
  EXPECT_EQ(mg_end_reason(), std::string("")) << "ended by the procedure's mg_end";
  EXPECT_GE(mg_var_get(2), 0);
  EXPECT_LE(mg_var_get(2), 2);
}

TEST(HanaProc, DemonstrationStartedDirectlyEndsByItself) {
  MinigameRunner runner;
  runner.WriteFile(runner.minigame().games[4].path, HanaOd().Build());
  ASSERT_TRUE(runner.Start(4, mg::kModeHubDemonstration));
  mg_var_set(8, 60);
  ASSERT_TRUE(runner.RunToEnd(200));
  EXPECT_EQ(mg_var_get(1), 1);
}

TEST(HanaProc, CancelDuringTheDrawnCardsChoiceChangesNothing) {
  HanaGame g;
  g.DecideBot();
  auto drawn_choice = [] {
    return mg_is_running() && Play().step == hana::kStepChooseField &&
           Play().play_slot == hana::kDrawSlot;
  };
  const auto inner = g.runner.bot;
  g.runner.bot = [&](MinigameRunner& r) {
    if (!drawn_choice()) inner(r);
  };
  ASSERT_TRUE(g.runner.Start(4, mg::kModeStory));
  ASSERT_TRUE(g.runner.RunUntil("drawn card choice", drawn_choice, 30000));
  const hana::HanaState before = H();
  g.runner.Tap(kMgKeyCancel);
  ASSERT_TRUE(g.runner.Run(4));
  EXPECT_EQ(Play().step, hana::kStepChooseField);
  EXPECT_EQ(Play().play_slot, hana::kDrawSlot);
  EXPECT_EQ(H().field, before.field);
  EXPECT_EQ(H().players[0].hand, before.players[0].hand);
  EXPECT_EQ(H().players[0].pile, before.players[0].pile);
  EXPECT_GE(mg_cursor_get(), 0) << "the choice stays open";
}

// ---- Rows ----

TEST(HanaProc, EveryCardRowOpensItsOwnFileAndDeals) {
  for (int row : {4, 9, 10, 11, 12, 13, 14, 15}) {
    SCOPED_TRACE(row);
    HanaGame g(row);
    g.DecideBot();
    ASSERT_TRUE(g.runner.Start(row, mg::kModeStory));
    ASSERT_TRUE(g.runner.RunUntil("dealt", [] { return Play().step == hana::kStepTurn; }, 800));
    std::string why;
    EXPECT_TRUE(hana::CheckCards(&why)) << why;
    const std::string path = g.runner.minigame().games[static_cast<size_t>(row)].path;
    const std::string want = path.substr(path.rfind('\\') + 1);
    int own = 0, other = 0;
    for (const std::string& opened : g.runner.files_opened()) {
      std::string lower = opened;
      for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      if (lower.size() < 3 || lower.compare(lower.size() - 3, 3, ".od") != 0) continue;
      if (lower.find(want) != std::string::npos) {
        ++own;
      } else {
        ++other;
      }
    }
    EXPECT_GE(own, 1);
    EXPECT_EQ(other, 0);
  }
}

}  // namespace
