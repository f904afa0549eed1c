// The cooking game (row 3): the knife and heat of the work panel, the three part scores, the
// seasoning draw and recipe pages, the result thresholds, and the whole lesson played headless
// by a careful and a lazy player.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "engine/app/doors.h"
#include "minigames/cook/cook_proc.h"
#include "minigames/cook/cook_rules.h"
#include "minigames/cook/cook_state.h"
#include "minigames/cook/cook_texts.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/framework/minigame_text.h"
#include "minigames/minigame_context.h"
#include "testsupport/minigame_bots.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"
#include "testsupport/wav_writer.h"

namespace {

using cook::CookState;
using testsupport::MinigameRunner;

constexpr int kRow = 3;

// ---- Cutting ----

int32_t Score(const std::vector<int32_t>& strokes) {
  return cook::CuttingScore(strokes.data(), static_cast<int32_t>(strokes.size()));
}

// `count` strokes 16 apart from 16, with the gap after the first stroke changed to `gap`.
std::vector<int32_t> Even(int count, int32_t gap = 16) {
  std::vector<int32_t> s;
  int32_t p = 16;
  for (int i = 0; i < count; ++i) {
    s.push_back(p);
    p += i == 0 ? gap : 16;
  }
  return s;
}

TEST(CookCutting, ScoreTable) {
  struct Case {
    const char* what;
    std::vector<int32_t> strokes;
    int32_t score;
  };
  const std::vector<Case> cases = {
      {"8 strokes 16 apart", Even(8), 30},
      {"9 strokes 16 apart", Even(9), 30},
      {"one pair 17 apart", Even(8, 17), 30},
      {"one pair 18 apart", Even(8, 18), 28},
      {"one pair 19 apart", Even(8, 19), 27},
      {"one pair 20 apart", Even(8, 20), 26},
      {"one pair 21 apart", Even(8, 21), 25},
      {"one pair 15 apart", Even(8, 15), 30},
      {"one pair 11 apart", Even(8, 11), 25},
      {"7 strokes 16 apart", Even(7), 20},
      {"2 strokes 16 apart", Even(2), 0},
      {"3 strokes 16 apart", Even(3), 0},
      {"4 strokes 16 apart", Even(4), 0},
      {"5 strokes 16 apart", Even(5), 0},
      {"6 strokes 16 apart", Even(6), 10},
      {"1 stroke", {40}, 0},
      {"no stroke", {}, 0},
      {"many bad pairs", {16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27}, 0},
      {"the same place over and over", std::vector<int32_t>(20, 64), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(Score(c.strokes), c.score) << c.what;
  // e = |distance - 16| x 2 is always even: a deduction of 1 never happens.
  for (int32_t d = 0; d <= 160; ++d) EXPECT_NE(cook::StrokeDeduction(d), 1) << d;
}

TEST(CookCutting, AFullStrokeListRecordsNoMore) {
  CookState s;
  for (int i = 0; i < cook::kMaxStrokes; ++i) ASSERT_TRUE(cook::RecordStroke(s, i % 100));
  EXPECT_FALSE(cook::RecordStroke(s, 77));
  EXPECT_EQ(s.stroke_count, cook::kMaxStrokes);
  EXPECT_EQ(s.strokes[cook::kMaxStrokes - 1], (cook::kMaxStrokes - 1) % 100);
  // A stroke started with the list full runs but leaves the list as it is.
  s.panel_state = cook::kPanelActive;
  s.knife = 64;
  cook::CutStep(s, true);
  EXPECT_EQ(s.stroke, cook::kStrokeDown);
  EXPECT_EQ(s.stroke_count, cook::kMaxStrokes);
  EXPECT_EQ(s.strokes[cook::kMaxStrokes - 1], (cook::kMaxStrokes - 1) % 100);
}

// The knife at p with an active (or demonstrating) panel.
CookState Knife(int32_t p, int panel_state = cook::kPanelActive) {
  CookState s;
  cook::CutReset(s);
  s.panel_mode = cook::kPanelCutting;
  s.panel_state = panel_state;
  s.knife = p;
  return s;
}

TEST(CookCutting, DecideStartsAStrokeOnlyWithTheKnifeIn16To144) {
  for (auto [p, starts] : std::vector<std::pair<int32_t, bool>>{
           {15, false}, {16, true}, {80, true}, {144, true}, {145, false}}) {
    CookState s = Knife(p);
    cook::CutStep(s, true);
    EXPECT_EQ(s.stroke_count, starts ? 1 : 0) << p;
    EXPECT_EQ(s.knife, starts ? p : p + 1) << "the knife moves on without a stroke; p " << p;
    if (starts) {
      EXPECT_EQ(s.strokes[0], p);
    }
  }
  // Without decide nothing starts.
  CookState s = Knife(64);
  cook::CutStep(s, false);
  EXPECT_EQ(s.stroke_count, 0);
}

TEST(CookCutting, AStrokeLasts28StepsAndReachesTheBoardOnce) {
  CookState s = Knife(32);
  std::vector<int32_t> depths;
  int bottoms = 0;
  while (s.knife == 32 && depths.size() < 100) {
    // Decide pressed on every step: a running stroke ignores it.
    if (cook::CutStep(s, true)) {
      ++bottoms;
      EXPECT_EQ(s.depth, cook::kStrokeDepth);
    }
    depths.push_back(s.depth);
  }
  ASSERT_EQ(depths.size(), 28u);
  EXPECT_EQ(bottoms, 1);
  EXPECT_EQ(s.stroke_count, 1);
  EXPECT_EQ(s.knife, 33) << "the knife moves on as the stroke ends";
  EXPECT_EQ(depths[0], 1);
  EXPECT_EQ(depths[13], 14);
  EXPECT_EQ(depths[14], 13);
  EXPECT_EQ(depths[27], 0);
  EXPECT_EQ(cook::KnifeX(32), 24);
  EXPECT_EQ(cook::KnifeY(14), 80);
}

TEST(CookCutting, HerDemonstrationCutsAt8Then16ApartAndTheBoardClosesAt160) {
  CookState s = Knife(0, cook::kPanelDemo);
  int steps = 0;
  int bottoms = 0;
  while (s.panel_state != cook::kPanelClosed && steps < 1000) {
    if (cook::CutStep(s, false)) ++bottoms;
    ++steps;
  }
  ASSERT_EQ(s.stroke_count, 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(s.strokes[static_cast<size_t>(i)], 8 + 16 * i) << i;
  EXPECT_EQ(bottoms, 10);
  EXPECT_EQ(s.knife, 160);
  EXPECT_EQ(steps, 160 + 10 * 28 - 10) << "each stroke's last step also moves the knife";
  EXPECT_EQ(Score(std::vector<int32_t>(s.strokes.begin(), s.strokes.begin() + 10)), 30);
}

// ---- Heat ----

CookState Stove(int32_t h_pixels = 0) {
  CookState s;
  cook::HeatReset(s);
  s.panel_mode = cook::kPanelHeat;
  s.panel_state = cook::kPanelActive;
  s.heat = h_pixels * cook::kHeatUnit;
  return s;
}

TEST(CookHeat, HeldDecideSaturatesAndReleasedTheVelocityFalls24AStep) {
  CookState s = Stove();
  std::vector<int32_t> v;
  for (int i = 0; i < 100; ++i) {
    cook::HeatStep(s, true);
    v.push_back(s.velocity);
  }
  EXPECT_EQ(v[0], 48);
  EXPECT_EQ(v[1], 96);
  EXPECT_EQ(v[20], 1008);
  EXPECT_EQ(v[21], 1024) << "held to 1024";
  EXPECT_EQ(v[99], 1024);
  EXPECT_EQ(s.heat, 256 * cook::kHeatUnit) << "held to 256 pixels";
  for (int i = 1; i <= 10; ++i) {
    cook::HeatStep(s, false);
    EXPECT_EQ(s.velocity, 1024 - 24 * i);
  }
  // Released for long the velocity stops at -1024 and the heat at 0.
  for (int i = 0; i < 200; ++i) cook::HeatStep(s, false);
  EXPECT_EQ(s.velocity, -1024);
  EXPECT_EQ(s.heat, 0);
  EXPECT_EQ(s.timer, 900 - 310);
  EXPECT_EQ(s.low_steps + s.good_steps + s.high_steps, 310);
}

TEST(CookHeat, TheBandKeptFor900StepsScores40AndTheVerdictsFollowTheCounters) {
  CookState s = Stove(176);
  int steps = 0;
  while (s.panel_state == cook::kPanelActive && steps < 2000) {
    cook::HeatStep(s, testsupport::CookHoldFor176(s));
    const int32_t px = cook::HeatPixels(s.heat);
    ASSERT_GE(px, 160) << "step " << steps;
    ASSERT_LE(px, 192) << "step " << steps;
    ++steps;
  }
  EXPECT_EQ(steps, 900) << "the panel closes when the timer reaches 0";
  EXPECT_EQ(s.good_steps, 900);
  EXPECT_EQ(cook::HeatScore(s.good_steps), 40);
  EXPECT_EQ(cook::HeatVerdict(40, s.low_steps, s.high_steps), 0);

  // The band edges, and the score and verdicts by counters.
  EXPECT_EQ(cook::HeatBand(159 * 256 + 255), 0);
  EXPECT_EQ(cook::HeatBand(160 * 256), 1);
  EXPECT_EQ(cook::HeatBand(192 * 256 + 255), 1);
  EXPECT_EQ(cook::HeatBand(193 * 256), 2);
  EXPECT_EQ(cook::HeatScore(899), 39);
  EXPECT_EQ(cook::HeatScore(563), 25);
  EXPECT_EQ(cook::HeatVerdict(25, 500, 600), 0) << "good from 25";
  EXPECT_EQ(cook::HeatVerdict(24, 300, 301), 2) << "more high than low: too strong";
  EXPECT_EQ(cook::HeatVerdict(24, 300, 300), 1) << "as many: too weak";
  EXPECT_EQ(cook::HeatVerdict(0, 900, 0), 1);

  // Always held: too strong; never held: too weak.
  for (bool held : {true, false}) {
    CookState t = Stove();
    while (t.panel_state == cook::kPanelActive) cook::HeatStep(t, held);
    const int32_t score = cook::HeatScore(t.good_steps);
    EXPECT_EQ(cook::HeatVerdict(score, t.low_steps, t.high_steps), held ? 2 : 1);
  }
}

TEST(CookHeat, HerDemonstrationRises2PixelsAStepUpTo176) {
  CookState s = Stove();
  s.panel_state = cook::kPanelDemo;
  for (int i = 1; i <= 100; ++i) {
    cook::HeatDemoStep(s);
    EXPECT_EQ(cook::HeatPixels(s.heat), std::min(2 * i, 176)) << i;
  }
  EXPECT_EQ(s.timer, 900) << "no test runs in the demonstration";
  // A closed panel does not move.
  CookState c = Stove(100);
  c.panel_state = cook::kPanelClosed;
  cook::HeatStep(c, true);
  EXPECT_EQ(c.heat, 100 * cook::kHeatUnit);
}

// ---- Seasoning ----

TEST(CookSeasoning, AmountsAndOrderFollowTheGeneratorAndWrongAnswersCost6) {
  MinigameRunner runner;
  runner.WriteFile(runner.minigame().games[kRow].path, testsupport::UniversalOd({200}).Build());
  ASSERT_TRUE(runner.Start(kRow, mg::kModeStory));
  for (uint32_t seed : {1u, 77u, 12345u}) {
    SCOPED_TRACE(seed);
    SeedRandom(seed);
    CookState s;
    s.seasoning_score = 0;
    cook::MakeSeasoning(s);
    SeedRandom(seed);
    std::array<int32_t, 5> amounts{};
    for (int32_t& a : amounts) a = GetRandom() % 3 + 1;
    std::array<int32_t, 5> order{0, 1, 2, 3, 4};
    for (size_t i = 0; i < 5; ++i) std::swap(order[i], order[static_cast<size_t>(GetRandom() % 5)]);
    EXPECT_EQ(s.amounts, amounts);
    EXPECT_EQ(s.order, order);
    EXPECT_EQ(s.seasoning_score, 30);
    EXPECT_EQ(s.question, 0);

    // The recipe pages take the digits in ingredient order.
    int32_t next = 0;
    std::array<char, cook::kRecipeBytes> a{};
    std::array<char, cook::kRecipeBytes> b{};
    cook::FillRecipe(cook::RecipeTemplate(0), s.amounts.data(), 5, &next, a.data(), a.size());
    cook::FillRecipe(cook::RecipeTemplate(1), s.amounts.data(), 5, &next, b.data(), b.size());
    EXPECT_EQ(next, 5);
    std::string digits;
    for (const std::string& page : {std::string(a.data()), std::string(b.data())}) {
      for (size_t i = 0; i < page.size(); ++i) {
        const auto c = static_cast<unsigned char>(page[i]);
        if (c >= 0x80) {
          ++i;
        } else if (c >= '0' && c <= '9') {
          digits += page[i];
        }
        EXPECT_NE(c, 7);
      }
    }
    std::string want;
    for (int32_t x : s.amounts) want += static_cast<char>('0' + x);
    EXPECT_EQ(digits, want);

    // Answers in asking order: right, wrong, right, wrong, wrong.
    const std::array<bool, 5> right{true, false, true, false, false};
    for (int q = 0; q < 5; ++q) {
      s.question = q;
      const int32_t truth = s.amounts[static_cast<size_t>(s.order[static_cast<size_t>(q)])];
      const int32_t answer = right[static_cast<size_t>(q)] ? truth : truth % 3 + 1;
      EXPECT_EQ(cook::AnswerSeasoning(s, answer), right[static_cast<size_t>(q)]);
    }
    EXPECT_EQ(s.seasoning_score, 30 - 3 * 6);
  }
}

TEST(CookSeasoning, RecipeStopsAfterTheFifthAmountAndStaysInItsBuffer) {
  const std::array<int32_t, 5> amounts{1, 2, 3, 2, 1};
  struct Case {
    const char* what;
    std::string tmpl;
    int32_t first;
    size_t size;
    std::string want;
    int32_t next;
  };
  const std::string big5 = "\xC6\xDF";  // one double-byte character
  const std::vector<Case> cases = {
      {"seven 7-bytes", "a\ab\ac\ad\ae\af\ag\ah", 0, 64, "a1b2c3d2e1fgh", 5},
      {"continuing from the fourth", "\a\a\a|", 3, 64, "21|", 5},
      {"none left", "x\ay", 5, 64, "xy", 5},
      {"a start below 0 counts as 0", "\a\a", -3, 64, "12", 2},
      {"cut at the buffer", "\a\a\a\a\a", 0, 4, "123", 3},
      {"a pair is never split", "ab" + big5 + "c", 0, 4, "ab", 0},
      {"a pair that fits", "a" + big5 + "\a", 0, 5, "a" + big5 + "1", 1},
  };
  for (const Case& c : cases) {
    std::vector<char> out(c.size + 8, '#');
    int32_t next = c.first;
    const size_t n = cook::FillRecipe(c.tmpl.c_str(), amounts.data(), 5, &next, out.data(), c.size);
    EXPECT_EQ(std::string(out.data()), c.want) << c.what;
    EXPECT_EQ(n, c.want.size()) << c.what;
    EXPECT_EQ(next, c.next) << c.what;
    for (size_t i = c.size; i < out.size(); ++i) EXPECT_EQ(out[i], '#') << c.what << " byte " << i;
  }
}

// ---- Result ----

TEST(CookResult, ThresholdsOfTheResultTheWinTheVoiceAndTheVerdicts) {
  struct Case {
    int32_t total;
    int32_t result;
    int32_t won;
    int32_t voice;
    int32_t overall;
    int32_t grade;
  };
  const std::vector<Case> cases = {
      {0, 0, 0, 2338, 2, 1},   {39, 0, 0, 2338, 2, 1},  {40, 0, 0, 2337, 2, 1},
      {41, 0, 0, 2337, 1, 1},  {59, 0, 0, 2337, 1, 1},  {60, 1, 0, 2336, 1, 1},
      {61, 1, 0, 2336, 1, 0},  {70, 1, 0, 2336, 1, 0},  {71, 1, 0, 2336, 0, 0},
      {79, 1, 0, 2336, 0, 0},  {80, 2, 0, 2335, 0, 0},  {89, 2, 0, 2335, 0, 0},
      {90, 2, 1, 2335, 0, 0},  {100, 2, 1, 2335, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(cook::ResultValue(c.total), c.result) << c.total;
    EXPECT_EQ(cook::ResultWon(c.total), c.won) << c.total;
    EXPECT_EQ(cook::FinalVoice(c.total), c.voice) << c.total;
    EXPECT_EQ(cook::OverallVerdict(c.total), c.overall) << c.total;
    EXPECT_EQ(cook::TotalGrade(c.total), c.grade) << c.total;
  }
  EXPECT_FALSE(cook::PartGood(19));
  EXPECT_TRUE(cook::PartGood(20));
  EXPECT_EQ(cook::Percent(20, 30), 66);
  EXPECT_EQ(cook::Percent(37, 40), 92);
}

TEST(CookTexts, EveryLineIsBig5AndTheRecipePagesHoldFiveAmounts) {
  std::vector<const char*> lines;
  for (int i = 0; i < cook::kLineCount; ++i) lines.push_back(cook::Lesson(i));
  for (int g = 0; g < 3; ++g) {
    for (int i = 0; i < 3; ++i) lines.push_back(cook::GroupLine(g, i));
  }
  for (int i = 0; i < 5; ++i) lines.push_back(cook::Question(i));
  for (int i = 0; i < 3; ++i) lines.push_back(cook::HeatVerdictLine(i));
  for (int i = 0; i < 3; ++i) lines.push_back(cook::FinalVerdictLine(i));
  lines.push_back(cook::PercentSign());
  for (const char* line : lines) {
    ASSERT_NE(line, nullptr);
    EXPECT_GT(std::strlen(line), 0u) << "a line failed the Big5 conversion";
  }
  int sevens = 0;
  for (int page = 0; page < 2; ++page) {
    for (const char* c = cook::RecipeTemplate(page); *c != '\0'; ++c) sevens += *c == 7 ? 1 : 0;
  }
  EXPECT_EQ(sevens, 5);
}

// ---- The whole lesson ----

using Player = testsupport::CookPlayer;

// Plays row 3 in a mode to its end; false when it did not end within the frame limit.
bool Play(MinigameRunner& r, Player& p, int mode) {
  r.WriteFile(r.minigame().games[kRow].path, testsupport::UniversalOd({200}).Build());
  if (!r.Start(kRow, mode)) return false;
  for (int i = 0; i < 12000; ++i) {
    if (MiniGameIsRunning() == 0) return true;
    const bool fine = p.Act(r);
    if (!(fine ? r.Step() : r.Step(100))) {
      ADD_FAILURE() << "frame " << i << " failed";
      return false;
    }
  }
  ADD_FAILURE() << "still running: step " << Minigame().cook.step << ", menu step "
                << Minigame().menu.step;
  return false;
}

int Count(const MinigameRunner& r, const std::string& what) {
  int n = 0;
  for (const std::string& s : r.sounds_played()) n += s == what ? 1 : 0;
  return n;
}

TEST(CookGame, ACarefulPlayerScores90OrMoreInTheStory) {
  MinigameRunner r;
  Player p;
  ASSERT_TRUE(Play(r, p, mg::kModeStory));
  const CookState& s = Minigame().cook;
  EXPECT_EQ(s.stroke_count, 9);
  EXPECT_EQ(s.cutting_score, 30);
  EXPECT_EQ(s.seasoning_score, 30);
  EXPECT_GE(s.heat_score, 30);
  EXPECT_EQ(s.total, s.cutting_score + s.seasoning_score + s.heat_score);
  EXPECT_GE(s.total, 90);
  EXPECT_EQ(s.heat_verdict, 0);
  EXPECT_EQ(s.overall_verdict, 0);
  EXPECT_EQ(mg_var_get(2), 2);
  EXPECT_EQ(mg_var_get(9), 1);
  EXPECT_EQ(MiniGameResult(), 2);
  // Her ten demonstration strokes and the player's nine each reach the board once.
  EXPECT_EQ(Count(r, "static:4"), 19);
  EXPECT_EQ(Count(r, "bgm:tamvik1\\bgm\\lunet.wav"), 1);
  for (const char* v : {"2331", "2332", "2333", "2334", "2335"}) {
    EXPECT_EQ(Count(r, std::string("voice:tamvik3\\voice\\") + v + ".wav"), 1) << v;
  }
}

TEST(CookGame, ALazyPlayerGetsALowRepeatableTotalAndTooWeak) {
  MinigameRunner r;
  Player p;
  p.careful = false;
  ASSERT_TRUE(Play(r, p, mg::kModeStory));
  const CookState& s = Minigame().cook;
  int wrong = 0;
  for (int32_t a : s.amounts) wrong += a != 1 ? 1 : 0;
  EXPECT_EQ(s.stroke_count, 0);
  EXPECT_EQ(s.cutting_score, 0);
  EXPECT_EQ(s.heat_score, 0);
  EXPECT_EQ(s.low_steps, 900);
  EXPECT_EQ(s.seasoning_score, 30 - 6 * wrong);
  EXPECT_EQ(s.total, 30 - 6 * wrong);
  EXPECT_EQ(s.heat_verdict, 1) << "too weak";
  EXPECT_EQ(s.overall_verdict, 2);
  EXPECT_EQ(mg_var_get(2), 0);
  EXPECT_EQ(mg_var_get(9), 0);
  EXPECT_EQ(Count(r, "voice:tamvik3\\voice\\2338.wav"), 1);
  // No cursor moves here: system00 only for the countdown's three numbers; system01 for the
  // menu's start, the countdown's start and the five answers.
  EXPECT_EQ(Count(r, "static:0"), 3);
  EXPECT_EQ(Count(r, "static:1"), 1 + 1 + 5);
}

TEST(CookGame, FreePlayEndsThroughTheMenusResultAndRanksTheTotal) {
  for (bool careful : {true, false}) {
    SCOPED_TRACE(careful ? "careful" : "lazy");
    MinigameRunner r;
    Player p;
    p.careful = careful;
    ASSERT_TRUE(Play(r, p, mg::kModeFreePlay));
    const int32_t total = Minigame().cook.total;
    EXPECT_EQ(MiniGameIsRunning(), 0) << "quit from the result menu";
    if (careful) {
      EXPECT_GE(total, 90);
      EXPECT_TRUE(p.saw_result_picture) << "variable 9 set: the menu's result picture";
      EXPECT_EQ(Minigame().vars[27], total);
      EXPECT_EQ(Minigame().vars[28], 80);
      EXPECT_EQ(Minigame().vars[29], 70);
      EXPECT_EQ(mg_var_get(2), 1);
    } else {
      EXPECT_LT(total, 60);
      EXPECT_FALSE(p.saw_result_picture);
      EXPECT_EQ(Minigame().vars[27], 80);
      EXPECT_EQ(Minigame().vars[28], 70);
      EXPECT_EQ(Minigame().vars[29], 60);
      EXPECT_EQ(mg_var_get(2), 0);
    }
  }
}

}  // namespace

namespace {

TEST(CookGame, WithoutTheMenuTheLessonStartsAtOnce) {
  // Modes above 1 have no common menu: the lesson does not wait for one.
  MinigameRunner r;
  r.WriteFile(r.minigame().games[kRow].path, testsupport::UniversalOd({200}).Build());
  ASSERT_TRUE(r.Start(kRow, mg::kModeHubMatch));
  ASSERT_TRUE(r.RunUntil("the greeting", [] { return Minigame().cook.step > cook::kStepFadeIn; },
                         100));
  EXPECT_EQ(Minigame().menu.answer, mg::kMenuPlay);
}

}  // namespace

namespace {

// Row 3 started in a mode, with a voice file of `voice_frames` samples for the greeting.
struct Lesson {
  explicit Lesson(int mode, uint32_t voice_frames = 0) {
    r.WriteFile(r.minigame().games[kRow].path, testsupport::UniversalOd({200}).Build());
    if (voice_frames > 0) {
      r.WriteFile("tamvik3\\voice\\2331.wav",
                  testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(voice_frames, 1200))
                      .Bytes());
    }
    started = r.Start(kRow, mode);
  }
  MinigameRunner r;
  bool started = false;
};

TEST(CookGame, AVoicedLineHoldsUntilDecideCutsTheVoice) {
  Lesson g(mg::kModeHubMatch, 22050 * 20);
  ASSERT_TRUE(g.started);
  ASSERT_TRUE(g.r.RunUntil("greeting", [] { return Minigame().cook.step == 10001; }, 200));
  ASSERT_TRUE(g.r.RunUntil("typed", [] { return mg_print_busy() == 0; }, 600));
  ASSERT_TRUE(g.r.Run(120));
  EXPECT_EQ(Minigame().cook.step, 10001) << "typed, but the voice still plays";
  EXPECT_EQ(mg_voice_playing(), 1);
  g.r.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.r.Run(3));
  EXPECT_EQ(Minigame().cook.step, 10002);
  EXPECT_EQ(Count(g.r, "voice:tamvik3\\voice\\2332.wav"), 1) << "the next line and its voice";
}

TEST(CookGame, RetryFromThePauseMenuStartsTheLessonAgain) {
  Lesson g(mg::kModeFreePlay);
  ASSERT_TRUE(g.started);
  ASSERT_TRUE(g.r.RunUntil("menu", [] { return Minigame().menu.step == 10011; }, 100));
  g.r.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.r.RunUntil("greeting", [] { return Minigame().cook.step == 10001; }, 200));
  g.r.Tap(kMgKeyMenu);
  ASSERT_TRUE(g.r.RunUntil("pause", [] { return Minigame().menu.step == 10011; }, 100));
  g.r.Tap(kMgKeyDown);
  ASSERT_TRUE(g.r.Run(3));
  ASSERT_EQ(mg_cursor_get(), mg::kChoiceRetry);
  g.r.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.r.RunUntil("restart", [] { return Minigame().cook.step == cook::kStepMenu; }, 100));
  EXPECT_EQ(Minigame().fw.brightness, 128) << "dimmed again for the menu before play";
  EXPECT_EQ(Minigame().menu.phase, mg::kPhaseBeforePlay);
  EXPECT_EQ(mg_obj_get_anim(mg::kObjTextWindow), 100) << "the window is open again";
  // The menu opens before the lesson once more.
  ASSERT_TRUE(g.r.RunUntil("menu again", [] { return Minigame().menu.step == 10011; }, 100));
  EXPECT_EQ(Minigame().cook.step, cook::kStepMenu);
}

}  // namespace
