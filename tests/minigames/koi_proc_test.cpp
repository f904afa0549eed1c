// The flower-card hub of row 8 through the runner: the idle title's demonstration loop, the
// gauntlet (stubbed card rows and one real match), the fresh entry against the resumption, the
// house rules, the free match and its unlock, the combination list and the quit.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <string>
#include <vector>

#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/hana/hana_proc.h"
#include "minigames/hana/hana_state.h"
#include "minigames/hana/koi_proc.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"

namespace {

using testsupport::MinigameRunner;

constexpr const char* kDat = "install/save/minigame.dat";
constexpr int kCardRows[] = {4, 9, 10, 11, 12, 13, 14, 15};

hana::KoiState& K() { return Minigame().koi; }

// The od file of a card row: the universal pictures, no line voices, faces or music.
testsupport::OdWriter CardOd() {
  std::vector<int> empty = {30};
  for (int i = 50; i < 75; ++i) empty.push_back(i);
  for (int i = 100; i < 111; ++i) empty.push_back(i);
  return testsupport::UniversalOd(empty);
}

// What the hub had set when a card row started.
struct Chain {
  int row, mode, v4, v6, v7, v8, v10;
  bool operator==(const Chain&) const = default;
};

struct Hub {
  Hub() {
    runner.WriteFile(runner.minigame().games[8].path, testsupport::UniversalOd().Build());
    for (int row : kCardRows) {
      runner.WriteFile(runner.minigame().games[static_cast<size_t>(row)].path, CardOd().Build());
    }
  }

  // Every card row replaced by a procedure that records the chain and hands back at once with
  // result(row); it leaves variable 10 changed, as a match with continues would.
  void StubCardRows(std::function<int(int)> result) {
    for (int row : kCardRows) {
      runner.SetProc(row, [this, row, result](int state) {
        if (state == 2) {
          Record(row);
          return 1;
        }
        mg_var_set(10, 4);
        mg_return(result(row));
        return 1;
      });
    }
  }
  void Record(int row) {
    chains.push_back({row, mg_var_get(3), mg_var_get(4), mg_var_get(6), mg_var_get(7),
                      mg_var_get(8), mg_var_get(10)});
  }

  bool Running8() { return mg_is_running() && Minigame().fw.game == 8; }
  bool At(int step, int limit = 400) {
    return runner.RunUntil("hub step " + std::to_string(step),
                           [&] { return Running8() && K().step == step; }, limit);
  }
  // From a fresh start or the title to the menu.
  bool ToMenu() {
    if (!At(hana::kKoiTitleIdle)) return false;
    runner.Tap(kMgKeyDecide);
    return At(hana::kKoiMenu) && runner.Run(2);
  }
  // Points at an object and waits until the cursor selects the target.
  bool Select(int object, int target) {
    runner.Pointer(mg_obj_get_x(object) + 4, mg_obj_get_y(object) + 4);
    return runner.RunUntil("selected", [&] { return mg_cursor_get() == target; }, 10);
  }
  // Chooses a menu item with the mouse and decide; Choose waits for the step it leads to.
  bool Pick(int item) {
    if (!Select(hana::kKoiObjItemFirst + item, item)) return false;
    runner.Tap(kMgKeyDecide);
    return true;
  }
  bool Choose(int item, int step) { return Pick(item) && At(step); }

  MinigameRunner runner;
  std::vector<Chain> chains;
};

// ---- The idle title and its demonstrations ----

TEST(KoiProc, IdleTitleChainsDemonstrationsAgainstTheFirstThreeOpponentsInTurn) {
  Hub h;
  // The card rows play their real demonstration; decide ends each soon after its board.
  for (int row : {9, 10, 4}) {
    h.runner.SetProc(row, [&h, row](int state) {
      if (state == 2) h.Record(row);
      return hana::hana_proc(state);
    });
  }
  std::vector<int> idle_steps;  // idle title steps before each demonstration
  int idle = 0;
  int resumed_at_demo_back = 0;
  h.runner.SetProc(8, [&](int state) {
    const int before = K().step;
    if (before == hana::kKoiTitleIdle) ++idle;
    if (before == 0 && mg_var_get(1) != 0 && K().return_step == hana::kKoiDemoBack) {
      ++resumed_at_demo_back;
    }
    const int result = hana::koi_proc(state);
    if (!(Minigame().fw.game == 8)) {
      idle_steps.push_back(idle);
      idle = 0;
    }
    return result;
  });
  h.runner.bot = [](MinigameRunner& r) {
    if (mg_is_running() && Minigame().fw.game != 8 &&
        Minigame().hana.play.step >= hana::kStepBoard && Minigame().hana.play.demo_ending == 0) {
      r.Tap(kMgKeyDecide);
    }
  };
  ASSERT_TRUE(h.runner.Start(8, mg::kModeStory));
  ASSERT_TRUE(h.runner.RunUntil("four demonstrations", [&] { return h.chains.size() == 4; },
                                4 * 1200));
  const int demo = mg::kModeHubDemonstration;
  EXPECT_EQ(h.chains, (std::vector<Chain>{{9, demo, 8, 0, 0, 1800, 0},
                                          {10, demo, 10, 0, 0, 1800, 0},
                                          {4, demo, 12, 0, 0, 1800, 0},
                                          {9, demo, 8, 0, 0, 1800, 0}}));
  EXPECT_EQ(idle_steps, (std::vector<int>{900, 900, 900, 900}));
  EXPECT_EQ(resumed_at_demo_back, 3);
  // The spy on the od path: the hub and the rows it chained, in turn.
  std::vector<std::string> od;
  for (std::string path : h.runner.files_opened()) {
    std::transform(path.begin(), path.end(), path.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const size_t at = path.find("mg_");
    // One load may open its file more than once; a load is one entry.
    if (at != std::string::npos && path.ends_with(".od") &&
        (od.empty() || od.back() != path.substr(at))) {
      od.push_back(path.substr(at));
    }
  }
  EXPECT_EQ(od, (std::vector<std::string>{"mg_koi.od", "mg_aysol.od", "mg_koi.od", "mg_brise.od",
                                          "mg_koi.od", "mg_hana.od", "mg_koi.od", "mg_aysol.od"}));
  EXPECT_GE(h.runner.TimesPlayed("bgm:tamvik1\\bgm\\sm01.wav"), 1);
}

// ---- The gauntlet ----

TEST(KoiProc, GauntletWonChainsEveryOpponentAndSavesTheUnlockAtOnce) {
  Hub h;
  h.StubCardRows([](int) { return 1; });
  ASSERT_TRUE(h.runner.Start(8, mg::kModeStory));
  ASSERT_TRUE(h.ToMenu());
  ASSERT_TRUE(h.Choose(hana::kKoiGauntlet, hana::kKoiTitleIdle));
  const int m = mg::kModeHubMatch;
  EXPECT_EQ(h.chains, (std::vector<Chain>{{9, m, 8, 5, 5, 0, 0},
                                          {10, m, 10, 5, 1, 0, 0},
                                          {4, m, 12, 5, 3, 0, 0},
                                          {11, m, 14, 5, 4, 0, 0},
                                          {12, m, 16, 5, 2, 0, 0},
                                          {13, m, 18, 5, 0, 0, 0},
                                          {14, m, 20, 5, 6, 0, 0},
                                          {15, m, 1, 5, 1, 0, 0}}));
  EXPECT_EQ(mg_var_get(17), 1);
  // Written before any end or chain: a program closed on the title keeps the unlock.
  EXPECT_EQ(testsupport::MinigameDatValue(h.runner.tree().Read(kDat), 17), 1);
}

TEST(KoiProc, GauntletLostForGoodReturnsToTheTitleAndStartsAgainAtTheFirstOpponent) {
  Hub h;
  h.StubCardRows([](int row) { return row == 11 ? 2 : 1; });
  ASSERT_TRUE(h.runner.Start(8, mg::kModeStory));
  ASSERT_TRUE(h.ToMenu());
  ASSERT_TRUE(h.Choose(hana::kKoiGauntlet, hana::kKoiTitleIdle));
  std::vector<int> rows;
  for (const Chain& c : h.chains) rows.push_back(c.row);
  EXPECT_EQ(rows, (std::vector<int>{9, 10, 4, 11}));
  EXPECT_EQ(mg_var_get(17), 0);
  EXPECT_EQ(K().opponent, 0) << "the title takes the opponent modulo 3";

  h.chains.clear();
  h.StubCardRows([](int) { return 2; });
  ASSERT_TRUE(h.ToMenu());
  ASSERT_TRUE(h.Choose(hana::kKoiGauntlet, hana::kKoiTitleIdle));
  ASSERT_EQ(h.chains.size(), 1u);
  EXPECT_EQ(h.chains[0], (Chain{9, mg::kModeHubMatch, 8, 5, 5, 0, 0}));
}

// One real match: the first opponent played by the card game with a decide bot; the round's end
// is forced to pay out the whole bank of one side.
struct RealFirstMatch {
  explicit RealFirstMatch(bool user_wins) {
    h.runner.SetProc(10, [this](int state) {
      if (state == 2) h.Record(10);
      return 1;
    });
    h.runner.bot = [this, user_wins](MinigameRunner& r) {
      if (!mg_is_running() || Minigame().fw.game != 9) return;
      hana::HanaPlay& p = Minigame().hana.play;
      if (p.step == hana::kStepRoundEnd && !forced) {
        forced = true;
        const int w = user_wins ? 0 : 1;
        p.winner = w;
        Minigame().hana.players[static_cast<size_t>(w)].formed = hana::kDealersPoint;
        Minigame().hana.players[static_cast<size_t>(1 - w)].bank = 1;
      }
      if (p.step >= hana::kStepCountdown) return;  // the countdown runs out untouched
      const bool waiting = Minigame().cursor.object >= 0 || p.step == hana::kStepLine ||
                           p.step == hana::kStepText || p.step == hana::kStepCombos + 2;
      if (++frame % 8 == 0 && waiting) r.Tap(kMgKeyDecide);
    };
  }
  Hub h;
  bool forced = false;
  int frame = 0;
};

TEST(KoiProc, GauntletFirstMatchPlayedByTheCardGame) {
  {
    SCOPED_TRACE("won");
    RealFirstMatch g(true);
    ASSERT_TRUE(g.h.runner.Start(8, mg::kModeStory));
    ASSERT_TRUE(g.h.ToMenu());
    ASSERT_TRUE(g.h.Pick(hana::kKoiGauntlet));
    ASSERT_TRUE(g.h.runner.RunUntil("next opponent", [&] { return !g.h.chains.empty(); }, 8000));
    EXPECT_TRUE(g.forced);
    EXPECT_EQ(g.h.chains[0], (Chain{10, mg::kModeHubMatch, 10, 5, 1, 0, 0}));
  }
  {
    SCOPED_TRACE("lost, the countdown run out");
    RealFirstMatch g(false);
    ASSERT_TRUE(g.h.runner.Start(8, mg::kModeStory));
    ASSERT_TRUE(g.h.At(hana::kKoiTitleIdle));
    K().switches = {0, 1, 1};
    ASSERT_TRUE(g.h.ToMenu());
    EXPECT_EQ(mg_var_get(5), 6) << "the house rules set by the menu";
    ASSERT_TRUE(g.h.Pick(hana::kKoiGauntlet));
    ASSERT_TRUE(g.h.runner.RunUntil(
        "back on the title", [&] { return g.h.Running8() && K().step == hana::kKoiTitleIdle; },
        9000));
    EXPECT_TRUE(g.forced);
    EXPECT_EQ(mg_var_get(1), 2);
    EXPECT_TRUE(g.h.chains.empty());
    EXPECT_EQ(K().switches, (std::array<int32_t, 3>{0, 1, 1}));
  }
}

// ---- The tutorial ----

TEST(KoiProc, TutorialChainsRowFourInModeThreeAndComesBackToTheTitle) {
  Hub h;
  h.StubCardRows([](int) { return 1; });
  std::vector<int> resumed;
  h.runner.SetProc(8, [&](int state) {
    if (K().step == 0 && mg_var_get(1) != 0) resumed.push_back(K().return_step);
    return hana::koi_proc(state);
  });
  ASSERT_TRUE(h.runner.Start(8, mg::kModeStory));
  ASSERT_TRUE(h.ToMenu());
  ASSERT_TRUE(h.Pick(hana::kKoiTutorial));
  ASSERT_TRUE(h.runner.RunUntil("back on the title", [&] {
    return !h.chains.empty() && h.Running8() && K().step == hana::kKoiTitleIdle;
  }, 400));
  EXPECT_EQ(h.chains, (std::vector<Chain>{{4, mg::kModeHubTutorial, 12, 0, 0, 0, 0}}));
  EXPECT_EQ(resumed, (std::vector<int>{hana::kKoiTutorialBack}));
  EXPECT_EQ(K().opponent, 2) << "the title's demonstrations go on from the tutorial's opponent";
}

// ---- Fresh entry and resumption ----

TEST(KoiProc, ResumptionKeepsTheSwitchesAndAFreshEntryResetsThem) {
  Hub h;
  h.StubCardRows([](int) { return 1; });
  ASSERT_TRUE(h.runner.Start(8, mg::kModeStory));
  ASSERT_TRUE(h.At(hana::kKoiTitleIdle));
  K().switches = {0, 1, 1};
  ASSERT_TRUE(h.runner.RunUntil("a demonstration and its return",
                                [&] { return h.chains.size() == 1 && h.Running8() &&
                                             K().step == hana::kKoiTitleIdle; },
                                1200));
  EXPECT_EQ(mg_var_get(1), 1);
  EXPECT_EQ(K().switches, (std::array<int32_t, 3>{0, 1, 1}));
  EXPECT_EQ(K().opponent, 1);

  // A new start by the game flow: no jump to the saved step, the defaults again.
  std::vector<int> steps;
  h.runner.SetProc(8, [&](int state) {
    steps.push_back(K().step);
    return hana::koi_proc(state);
  });
  ASSERT_TRUE(h.runner.Start(8, mg::kModeStory));
  EXPECT_EQ(mg_var_get(1), 0);
  ASSERT_TRUE(h.runner.RunUntil("started", [&] { return steps.size() >= 3; }, 10));
  ASSERT_TRUE(h.At(hana::kKoiTitleIdle));
  EXPECT_EQ(K().switches, (std::array<int32_t, 3>{1, 0, 0}));
  EXPECT_EQ(K().opponent, 0);
  ASSERT_GE(steps.size(), 3u);
  EXPECT_EQ(std::vector<int>(steps.begin() + 1, steps.begin() + 3),
            (std::vector<int>{0, hana::kKoiTitle}));
  EXPECT_EQ(std::count(steps.begin(), steps.end(), hana::kKoiDemoBack), 0);
}

// ---- Rules and the free match ----

TEST(KoiProc, SwitchesFlippedOnTheRulesScreenSetVariableFive) {
  Hub h;
  ASSERT_TRUE(h.runner.Start(8, mg::kModeStory));
  ASSERT_TRUE(h.ToMenu());
  EXPECT_EQ(mg_var_get(5), 1);
  std::vector<int> values;
  for (int s : {1, 2, 0}) {
    ASSERT_TRUE(h.Choose(hana::kKoiRulesItem, hana::kKoiRules));
    ASSERT_TRUE(h.runner.Run(2));
    const int confirms = h.runner.TimesPlayed("static:1");
    ASSERT_TRUE(h.Select(hana::kKoiObjSwitchFirst + s, s));
    h.runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(h.runner.Run(3));
    EXPECT_EQ(h.runner.TimesPlayed("static:1") - confirms, 1) << "system01 on the flip";
    EXPECT_EQ(mg_obj_get_anim(hana::kKoiObjSwitchFirst + s),
              hana::kKoiAnimSwitchFirst + 2 * s + K().switches[static_cast<size_t>(s)]);
    ASSERT_TRUE(h.Select(hana::kKoiObjRulesBack, hana::kKoiRulesBack));
    h.runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(h.At(hana::kKoiMenu));
    ASSERT_TRUE(h.runner.Run(2));
    values.push_back(mg_var_get(5));
  }
  EXPECT_EQ(values, (std::vector<int>{3, 7, 6}));
}

TEST(KoiProc, FreeMatchIsLockedUntilTheGauntletIsWon) {
  for (const bool unlocked : {false, true}) {
    SCOPED_TRACE(unlocked ? "unlocked" : "locked");
    Hub h;
    if (unlocked) h.runner.tree().Write(kDat, testsupport::MinigameDat({{17, 1}}));
    ASSERT_TRUE(h.runner.Start(8, mg::kModeStory));
    ASSERT_TRUE(h.ToMenu());
    EXPECT_EQ(mg_obj_get_anim(hana::kKoiObjItemFirst + 5),
              unlocked ? hana::kKoiAnimItemFirst + 5 : hana::kKoiAnimItemLocked);
    // Keys: from item 4, right and down never reach item 5 while it is locked.
    ASSERT_TRUE(h.Select(hana::kKoiObjItemFirst + 4, 4));
    h.runner.Tap(kMgKeyRight);
    ASSERT_TRUE(h.runner.Run(3));
    EXPECT_EQ(mg_cursor_get(), unlocked ? 5 : 3);
    ASSERT_TRUE(h.Select(hana::kKoiObjItemFirst + 3, 3));
    h.runner.Tap(kMgKeyDown);
    ASSERT_TRUE(h.runner.Run(3));
    EXPECT_EQ(mg_cursor_get(), unlocked ? 5 : 4);
    // The mouse over item 5.
    ASSERT_TRUE(h.Select(hana::kKoiObjItemFirst + 0, 0));
    h.runner.Pointer(mg_obj_get_x(hana::kKoiObjItemFirst + 5) + 4,
                     mg_obj_get_y(hana::kKoiObjItemFirst + 5) + 4);
    ASSERT_TRUE(h.runner.Run(3));
    EXPECT_EQ(mg_cursor_get(), unlocked ? 5 : 0);
  }
}

TEST(KoiProc, FreeMatchChainsTheChosenOpponentWithoutContinues) {
  Hub h;
  h.runner.tree().Write(kDat, testsupport::MinigameDat({{17, 1}}));
  h.StubCardRows([](int) { return 1; });
  ASSERT_TRUE(h.runner.Start(8, mg::kModeStory));
  // Item 0 goes back to the menu.
  ASSERT_TRUE(h.ToMenu());
  ASSERT_TRUE(h.Choose(hana::kKoiFreeMatch, hana::kKoiFree));
  ASSERT_TRUE(h.runner.Run(2));
  EXPECT_EQ(Minigame().cursor.targets[8].enabled, 0) << "the last opponent is not offered";
  ASSERT_TRUE(h.Select(hana::kKoiObjPortraitFirst, 0));
  h.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(h.At(hana::kKoiMenu));
  ASSERT_TRUE(h.runner.Run(2));
  EXPECT_TRUE(h.chains.empty());
  for (int item = 1; item <= 7; ++item) {
    SCOPED_TRACE(item);
    if (item > 1) {
      ASSERT_TRUE(h.ToMenu());
    }
    ASSERT_TRUE(h.Choose(hana::kKoiFreeMatch, hana::kKoiFree));
    ASSERT_TRUE(h.runner.Run(2));
    ASSERT_TRUE(h.Select(hana::kKoiObjPortraitFirst + item, item));
    ASSERT_TRUE(h.runner.Run(1));
    for (int i = 0; i < 8; ++i) {
      const int code = i == 0 ? 7 : hana::KoiOpponentAt(i - 1).portrait;
      EXPECT_EQ(mg_obj_get_anim(hana::kKoiObjPortraitFirst + i),
                (i == item ? hana::kKoiAnimPortraitLit : hana::kKoiAnimPortraitDim) + code);
    }
    EXPECT_EQ(mg_cursor_get(), item);
    h.runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(h.At(hana::kKoiTitleIdle, 400));
  }
  std::vector<Chain> want;
  for (int o = 0; o < 7; ++o) {
    const hana::KoiOpponent& op = hana::KoiOpponentAt(o);
    want.push_back({op.row, mg::kModeHubMatch, op.strength, -1, op.plate, 0, 0});
  }
  EXPECT_EQ(h.chains, want);
  std::vector<int> rows;
  for (const Chain& c : h.chains) rows.push_back(c.row);
  EXPECT_EQ(rows, (std::vector<int>{9, 10, 4, 11, 12, 13, 14}));
}

// ---- The combination list ----

TEST(KoiProc, CombinationListShowsEachRowsCardsAndPlates) {
  struct Row {
    std::vector<int> line1, line2;
    int caption, name, points;
  };
  const Row rows[] = {
      {{1, 9, 29, 41, 45}, {}, 19, 0, 12},      {{1, 9, 29, 45}, {}, 20, 1, 13},
      {{9, 29, 41, 45}, {}, 21, 2, 14},         {{1, 29, 45}, {}, 22, 3, 15},
      {{29, 33}, {}, 26, 7, 16},                {{9, 33}, {}, 27, 8, 16},
      {{25, 37, 21}, {}, 25, 4, 15},            {{5, 13, 17, 30, 42}, {}, 29, 10, 17},
      {{2, 6, 10}, {}, 23, 5, 15},              {{22, 34, 38}, {}, 24, 6, 15},
      {{10, 18, 26, 34, 43}, {}, 28, 9, 17},
      {{7, 15, 19, 23, 27}, {31, 39, 44, 47, 48}, 30, 11, 17},
  };
  Hub h;
  ASSERT_TRUE(h.runner.Start(8, mg::kModeStory));
  ASSERT_TRUE(h.ToMenu());
  ASSERT_TRUE(h.Choose(hana::kKoiCombinationList, hana::kKoiList));
  ASSERT_TRUE(h.runner.Run(2));
  auto shown = [](int first) {
    std::vector<int> cards;
    for (int o = first; o < first + 5; ++o) {
      if (!mg_obj_test(o, mg::kObjHidden) && mg_obj_get_anim(o) != 0) {
        cards.push_back(mg_obj_get_anim(o));
      }
    }
    return cards;
  };
  for (int i = 11; i >= 0; --i) {  // from the bottom up, so every row is a change of selection
    SCOPED_TRACE(i);
    const Row& r = rows[i];
    ASSERT_TRUE(h.Select(hana::kKoiObjListFirst + i, i));
    ASSERT_TRUE(h.runner.Run(2));
    EXPECT_EQ(shown(hana::kKoiObjCardFirst), r.line1);
    EXPECT_EQ(shown(hana::kKoiObjCardFirst + 5), r.line2);
    EXPECT_EQ(mg_obj_get_anim(hana::kKoiObjCaption), 200 + r.caption);
    EXPECT_EQ(mg_obj_get_anim(hana::kKoiObjNamePlate), 200 + r.name);
    EXPECT_EQ(mg_obj_get_anim(hana::kKoiObjPointsPlate), 200 + r.points);
    // Centred: the line's middle card (or the middle of its two) at the same x for every row.
    const int n = static_cast<int>(r.line1.size());
    const int32_t mid = (mg_obj_get_x(hana::kKoiObjCardFirst) +
                         mg_obj_get_x(hana::kKoiObjCardFirst + n - 1)) / 2;
    EXPECT_EQ(mid, 448);
  }
  ASSERT_TRUE(h.Select(hana::kKoiObjListFirst + hana::kKoiListBack, hana::kKoiListBack));
  ASSERT_TRUE(h.runner.Run(2));
  EXPECT_EQ(mg_obj_get_anim(hana::kKoiObjCaption), 218);
  EXPECT_TRUE(shown(hana::kKoiObjCardFirst).empty());
  h.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(h.At(hana::kKoiMenu));
}

// ---- Quit ----

TEST(KoiProc, QuitFromTheMenuEndsTheMinigame) {
  Hub h;
  ASSERT_TRUE(h.runner.Start(8, mg::kModeStory));
  ASSERT_TRUE(h.ToMenu());
  EXPECT_EQ(mg_cursor_get(), 0);
  h.runner.Tap(kMgKeyRight);
  ASSERT_TRUE(h.runner.Run(3));
  EXPECT_EQ(mg_cursor_get(), hana::kKoiQuit);
  h.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(h.runner.RunToEnd(200));
  EXPECT_EQ(MiniGameIsRunning(), 0);
  EXPECT_EQ(h.runner.TimesPlayed("static:4"), 1) << "hana10 after the cursor's flight";
}

}  // namespace
