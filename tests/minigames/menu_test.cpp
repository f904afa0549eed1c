// The common menu through the runner: pause and resume, retry, quit, the menu before play, the
// demonstration, the result path, the choice window and help.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_rank.h"
#include "minigames/framework/minigame_sound.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"
#include "testsupport/wav_writer.h"

namespace {

using testsupport::MinigameRunner;

constexpr const char* kSwimOd = "tamvik3\\od\\mg_swim.od";
constexpr const char* kMusic = "tamvik3\\bgm\\m01.wav";

std::vector<uint8_t> Sound(uint32_t frames) {
  return testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(frames, 1500)).Bytes();
}

// A game on row `row` whose procedure calls mg_menu each step (after its own hook) and keeps the
// answers.
struct MenuGame {
  explicit MenuGame(int row_in = 1, testsupport::OdWriter od = testsupport::UniversalOd({200}))
      : row(row_in) {
    runner.WriteFile(runner.minigame().games[static_cast<size_t>(row)].path, od.Build());
    runner.WriteFile(kMusic, Sound(22050 * 5));
    for (const char* se : {"tamvik3\\se\\system01.wav", "tamvik3\\se\\system02.wav",
                           "tamvik3\\se\\system03.wav"}) {
      runner.WriteFile(se, Sound(2205));
    }
    runner.SetProc(row, [this](int state) {
      if (before) before(state);
      answers.push_back(mg_menu(state));
      return 1;
    });
  }
  bool Start(int mode) { return runner.Start(row, mode) && runner.Step(); }
  int Last() const { return answers.empty() ? -1 : answers.back(); }
  // Runs single steps until the answer or the limit.
  bool StepUntilAnswer(int answer, int limit) {
    return runner.RunUntil("answer " + std::to_string(answer),
                           [&] { return Last() == answer; }, limit);
  }
  MgMenu& menu() { return Minigame().menu; }

  MinigameRunner runner;
  int row;
  std::function<void(int)> before;
  std::vector<int> answers;
};

TEST(MinigameMenu, HubModesAnswerPlayAndTouchNothing) {
  MenuGame g;
  ASSERT_TRUE(g.Start(mg::kModeHubMatch));
  Minigame().vars[3] = 2;
  const auto objects = Minigame().objects;
  g.runner.Tap(kMgKeyMenu);
  ASSERT_TRUE(g.runner.Run(20));
  for (int a : g.answers) EXPECT_EQ(a, 0);
  for (int o = 200; o <= 245; ++o) {
    EXPECT_EQ(Minigame().objects[static_cast<size_t>(o)].anim, objects[static_cast<size_t>(o)].anim)
        << o;
  }
  EXPECT_EQ(Minigame().freeze_b.state, mg::kFreezeOff);
}

TEST(MinigameMenu, StartResetsAnEmptyRankingAndClearsVariable9) {
  MenuGame g(2);
  g.before = [](int state) {
    if (state == 2) mg_var_set(9, 4);
  };
  ASSERT_TRUE(g.Start(mg::kModeFreePlay));
  EXPECT_EQ(mg_var_get(9), 0);
  EXPECT_EQ(mg_rank_get(0), 3000);
  EXPECT_EQ(mg_rank_get(2), 1000);
  EXPECT_EQ(g.menu().phase, mg::kPhaseBeforePlay);
}

// Opens the menu during play with the menu button; true once the choice waits.
bool OpenByButton(MenuGame& g) {
  g.menu().phase = mg::kPhasePlaying;
  g.runner.Tap(kMgKeyMenu);
  return g.runner.RunUntil("choice", [&] { return g.menu().step == 10011; }, 40);
}

TEST(MinigameMenu, PauseInFreePlayOpensAndResumes) {
  MenuGame g;
  ASSERT_TRUE(g.Start(mg::kModeFreePlay));
  mg_cursor_open(50, 0);  // the game's own cursor
  mg_cursor_target(0, 60);

  // Not while decide is held.
  g.runner.Hold(kMgKeyDecide);
  g.runner.Tap(kMgKeyMenu);
  ASSERT_TRUE(g.runner.Run(4));
  EXPECT_EQ(g.Last(), 0);
  g.runner.Hold(kMgKeyDecide, false);
  ASSERT_TRUE(g.runner.Run(2));

  ASSERT_TRUE(OpenByButton(g));
  EXPECT_EQ(g.Last(), 1);
  EXPECT_EQ(Minigame().freeze_b.layer, 16);
  EXPECT_EQ(Minigame().freeze_b.level, 128);
  EXPECT_EQ(Minigame().cursor.object, 201);
  EXPECT_EQ(mg_obj(240)->y, 48) << "the top panel has arrived";
  EXPECT_EQ(mg_cursor_get(), mg::kChoiceStart);

  g.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.runner.Step());
  EXPECT_EQ(g.runner.TimesPlayed("se:tamvik3\\se\\system01.wav"), 1);
  int open_steps = 0;
  while (g.Last() == 1 && open_steps < 40) {
    ASSERT_TRUE(g.runner.Step());
    ++open_steps;
  }
  EXPECT_EQ(open_steps, 29) << "the 28-step slide, then play";
  EXPECT_EQ(g.Last(), 0);
  EXPECT_EQ(g.menu().phase, mg::kPhasePlaying);
  EXPECT_EQ(Minigame().cursor.object, 50) << "the game's cursor is back";
  EXPECT_EQ(Minigame().freeze_b.state, mg::kFreezeOff);
  for (int o = 200; o <= 244; ++o) EXPECT_EQ(mg_obj_get_anim(o), 0) << o;
}

TEST(MinigameMenu, RetryKeepsTheMusicAndQuitStopsEverything) {
  for (bool retry : {true, false}) {
    SCOPED_TRACE(retry ? "retry" : "quit");
    MenuGame g;
    ASSERT_TRUE(g.Start(mg::kModeFreePlay));
    mg_bgm_play(kMusic);
    ASSERT_TRUE(OpenByButton(g));
    g.runner.Tap(retry ? kMgKeyDown : kMgKeyUp);  // resume -> retry, or -> quit (wrapping)
    ASSERT_TRUE(g.runner.Step());
    ASSERT_EQ(mg_cursor_get(), retry ? mg::kChoiceRetry : mg::kChoiceQuit);
    g.runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(g.runner.Step());
    std::vector<int32_t> levels;
    while (g.Last() == 1 && levels.size() < 40) {
      ASSERT_TRUE(g.runner.Step());
      levels.push_back(Minigame().fw.brightness);
    }
    ASSERT_GE(levels.size(), 2u);
    EXPECT_EQ(levels[0], 248);
    EXPECT_EQ(levels[1], 240);
    EXPECT_EQ(Minigame().fw.brightness, 0);
    EXPECT_EQ(g.Last(), retry ? 2 : 3);
    EXPECT_EQ(mg_bgm_playing(), retry ? 1 : 0);
    EXPECT_EQ(mg_voice_playing(), 0);
  }
}

TEST(MinigameMenu, BeforePlayTheDimmedGameOpensTheMenuAndDemonstrationRuns) {
  MenuGame g;
  g.before = [](int) { mg_brightness(128); };
  ASSERT_TRUE(g.Start(mg::kModeStory));
  ASSERT_TRUE(g.runner.RunUntil("choice", [&] { return g.menu().step == 10011; }, 40));
  EXPECT_EQ(g.menu().phase, mg::kPhaseBeforePlay);
  EXPECT_EQ(mg_cursor_get(), mg::kChoiceStart);
  g.before = nullptr;
  mg_brightness(256);

  g.runner.Tap(kMgKeyDown);
  ASSERT_TRUE(g.runner.Step());
  ASSERT_EQ(mg_cursor_get(), mg::kChoiceDemo);
  g.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.StepUntilAnswer(0, 40));
  EXPECT_EQ(g.menu().demo, 1);
  ASSERT_TRUE(g.runner.Step());
  const int32_t x0 = mg_obj_get_x(200);
  const int32_t t0 = g.menu().demo_timer;
  ASSERT_TRUE(g.runner.Step());
  EXPECT_EQ(mg_obj_get_anim(200), 453);
  EXPECT_EQ(mg_obj_get_y(200), 432);
  EXPECT_EQ(mg_obj_get_x(200), x0 - 4);
  EXPECT_EQ(g.menu().demo_timer, t0 - 1);
  EXPECT_LT(t0, 1800);
  EXPECT_GT(t0, 1790);
  g.menu().banner_x = 892;
  ASSERT_TRUE(g.runner.Step());
  EXPECT_EQ(mg_obj_get_x(200), 0) << "wraps after 896";

  // mg_finish in the demonstration only ends the timer; the menu button ends it too.
  mg_var_set(2, 5);
  mg_finish(99);
  EXPECT_EQ(g.menu().demo_timer, 0);
  EXPECT_EQ(mg_var_get(2), 5);
  EXPECT_EQ(g.menu().phase, mg::kPhasePlaying);
  g.menu().demo_timer = 100;
  g.runner.Tap(kMgKeyMenu);
  ASSERT_TRUE(g.StepUntilAnswer(2, 5));
  EXPECT_EQ(g.menu().demo, 0);
}

TEST(MinigameMenu, ResultHoldsTheVoiceThenOffersRetryQuitAndReset) {
  for (bool decide : {false, true}) {
    SCOPED_TRACE(decide ? "decide" : "voice ends");
    MenuGame g(1, testsupport::UniversalOd().Text(200, "tamvik3\\voice\\r.wav"));
    g.runner.WriteFile("tamvik3\\voice\\r.wav", Sound(decide ? 22050 * 5 : 4410));
    ASSERT_TRUE(g.Start(mg::kModeFreePlay));
    mg_obj_pointer(150, 77);
    g.menu().phase = mg::kPhasePlaying;
    mg_var_set(9, 1);
    mg_finish(1300);
    EXPECT_EQ(mg_var_get(2), 1);
    EXPECT_EQ(mg_rank_get(1), 1300);
    EXPECT_EQ(g.menu().phase, mg::kPhaseResult);
    ASSERT_TRUE(g.runner.RunUntil("voice", [&] { return g.menu().step == 10008; }, 100));
    EXPECT_EQ(mg_obj_get_anim(210), 479);
    EXPECT_EQ(mg_voice_playing(), 1);
    ASSERT_TRUE(g.runner.Run(3));
    EXPECT_EQ(g.menu().step, 10008) << "held while the voice plays";
    if (decide) g.runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(g.runner.RunUntil("choice", [&] { return g.menu().step == 10011; }, 100));
    EXPECT_EQ(mg_obj_get_anim(150), 77);
    EXPECT_TRUE(mg_obj_test(150, mg::kObjPointer));
    EXPECT_EQ(g.runner.TimesPlayed("se:tamvik3\\se\\system03.wav"), 1);
    EXPECT_EQ(mg_cursor_get(), mg::kChoiceRetry);
    EXPECT_EQ(mg_obj_get_anim(211), 400);
    EXPECT_EQ(mg_obj(212)->value, 1300);

    // Reset: the defaults come back and are redrawn.
    for (int i = 0; i < 2; ++i) {
      g.runner.Tap(kMgKeyDown);
      ASSERT_TRUE(g.runner.Run(3));  // the key up again before the next press
    }
    ASSERT_EQ(mg_cursor_get(), mg::kChoiceReset);
    g.runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(g.runner.Step());
    EXPECT_EQ(mg_rank_get(1), 1500);
    EXPECT_EQ(mg_obj(212)->value, 1500);
    EXPECT_EQ(g.menu().step, 10011);
  }
}

TEST(MinigameMenu, ChoiceWindowByPhaseAndMode) {
  struct Case {
    int row;
    int phase;
    int mode;
    std::vector<int> choices;  // cursor targets
    int items;                 // items shown
    std::string sound;
  };
  const Case cases[] = {
      {1, 0, 0, {0, 2}, 2, ""},
      {4, 0, 1, {0, 2, 5}, 3, ""},
      {1, 1, 0, {0}, 3, "tamvik3\\se\\system02.wav"},
      {1, 1, 1, {0, 1, 3}, 3, "tamvik3\\se\\system02.wav"},
      {4, 1, 1, {0, 1, 3, 5}, 4, "tamvik3\\se\\system02.wav"},
      {1, 2, 1, {1, 3, 4}, 3, "tamvik3\\se\\system03.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << c.row << " phase " << c.phase << " mode " << c.mode);
    MenuGame g(c.row);
    ASSERT_TRUE(g.Start(c.mode));
    g.menu().phase = c.phase;
    EXPECT_EQ(std::string(mg_choice_window(c.row)), c.sound);
    std::vector<int> choices;
    for (int i = 0; i < mg::kCursorTargets; ++i) {
      if (Minigame().cursor.targets[static_cast<size_t>(i)].enabled != 0) choices.push_back(i);
    }
    EXPECT_EQ(choices, c.choices);
    int items = 0;
    for (int o = 202; o <= 205; ++o) {
      if (mg_obj_get_anim(o) == 0) continue;
      ++items;
      EXPECT_EQ(mg_obj_get_x(o), 160);
      EXPECT_EQ(mg_obj_get_y(o), 16 + 32 * (o - 202));
      EXPECT_EQ(mg_obj_get_layer(o), 8);
      EXPECT_EQ(mg_obj(o)->parent, 241);
    }
    EXPECT_EQ(items, c.items);
    EXPECT_EQ(mg_obj_get_anim(211) == 400, c.phase == 2) << "the ranking after a result";
  }
}

TEST(MinigameMenu, ShootingPanelFollowsVariable12) {
  struct Case {
    int32_t v12;
    int32_t picture;
    int title_row;
  };
  for (const Case& c : {Case{0, 420, 7}, Case{1, 420, 2}, Case{6, 425, 4}, Case{7, 420, 7}}) {
    SCOPED_TRACE(c.v12);
    MenuGame g(7);
    ASSERT_TRUE(g.Start(mg::kModeFreePlay));
    mg_var_set(12, c.v12);
    mg_choice_window(7);
    EXPECT_EQ(mg_obj_get_anim(209), c.picture);
    EXPECT_EQ(mg_obj_get_x(200), mg_menu_title_place(c.title_row).x);
    EXPECT_EQ(mg_obj_get_anim(200), 430 + c.title_row);
  }
}

TEST(MinigameMenu, HelpCyclesTwelvePagesAndCancelReturns) {
  MenuGame g(4);
  ASSERT_TRUE(g.Start(mg::kModeFreePlay));
  ASSERT_TRUE(OpenByButton(g));
  for (int i = 0; i < 8 && mg_cursor_get() != mg::kChoiceHelp; ++i) {
    g.runner.Tap(kMgKeyDown);
    ASSERT_TRUE(g.runner.Run(3));
  }
  ASSERT_EQ(mg_cursor_get(), mg::kChoiceHelp);
  g.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.runner.Run(3));
  EXPECT_EQ(g.menu().help_page, 0);
  EXPECT_EQ(mg_obj_get_anim(230), 460);
  for (int page = 1; page <= 12; ++page) {
    g.runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(g.runner.Run(3));
    EXPECT_EQ(g.menu().help_page, page % 12);
  }
  EXPECT_EQ(mg_obj_get_anim(230), 460);
  g.runner.Tap(kMgKeyCancel);
  ASSERT_TRUE(g.runner.Step());
  EXPECT_EQ(g.menu().step, 10011);
  EXPECT_EQ(mg_obj_get_anim(230), 0);
  EXPECT_NE(mg_obj_get_anim(202), 0);
}

}  // namespace
