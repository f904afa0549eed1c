// The slot machine: its rules as tables (reel stops, category values, grades and voices, the
// score's clamp and moves, the closing) and the whole game on the runner: scripted and automatic
// stops, the results by mode, the ranking after a free-play game, and the hidden gag.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/files/random.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_rank.h"
#include "minigames/slot/slot_proc.h"
#include "minigames/slot/slot_rules.h"
#include "testsupport/minigame_bots.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"
#include "testsupport/program_driver.h"

namespace {

using testsupport::MinigameRunner;

constexpr int kRow = 5;

// ---- Rules ----

TEST(SlotRules, ARequestedReelStopsAtItsNextSymbolBoundary) {
  struct Case {
    int reel;
    int32_t start;
    int free_advances;  // advances before the request
    int32_t stop_at;
    int advances_to_stop;  // after the request, the stopping one included
    int32_t symbol;
  };
  const Case cases[] = {
      {0, 32, 0, 64, 8, 0},      // 36, 40, ... 64: strip 0 position 2
      {1, 32, 0, 64, 7, 0},      // 37, 42, ... 62, 67 crosses 64
      {2, 32, 16, 192, 11, 1},   // standing on 128 exactly: runs on to 192
      {2, 1016, 0, 0, 2, 2},     // 1022, then 1028 crosses the strip's end: 0
      {1, 1020, 0, 0, 1, 1},     // 1025 crosses 1024
      {0, 60, 0, 64, 1, 0},      // 64 itself is the boundary (old < b <= new)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "reel " << c.reel << " from " << c.start);
    slot::Reel r{c.start, slot::kSpinning};
    for (int i = 0; i < c.free_advances; ++i) EXPECT_FALSE(slot::AdvanceReel(c.reel, r));
    r.stop = slot::kStopRequested;
    int advances = 0;
    while (r.stop != slot::kStopped && advances < 100) {
      const bool stopped = slot::AdvanceReel(c.reel, r);
      ++advances;
      EXPECT_EQ(stopped, r.stop == slot::kStopped);
      EXPECT_GE(r.position, 0);
      EXPECT_LT(r.position, slot::kStripPixels);
    }
    EXPECT_EQ(r.position, c.stop_at);
    EXPECT_EQ(advances, c.advances_to_stop);
    EXPECT_EQ(slot::ShownSymbol(c.reel, r.position), c.symbol);
    EXPECT_FALSE(slot::AdvanceReel(c.reel, r)) << "a stopped reel stands";
    EXPECT_EQ(r.position, c.stop_at);
  }
}

TEST(SlotRules, AnUnstoppedReelWrapsAndNeverLeavesTheStrip) {
  for (int reel = 0; reel < slot::kReels; ++reel) {
    slot::Reel r{slot::kStartPosition, slot::kSpinning};
    int64_t travelled = slot::kStartPosition;
    // Far more than ten plays of automatic stops.
    for (int i = 0; i < 30000; ++i) {
      slot::AdvanceReel(reel, r);
      travelled += slot::kSpeeds[static_cast<size_t>(reel)];
      ASSERT_GE(r.position, 0);
      ASSERT_LT(r.position, slot::kStripPixels);
    }
    EXPECT_EQ(r.position, travelled % slot::kStripPixels);
    EXPECT_EQ(slot::ShownSymbol(reel, r.position),
              slot::kStrips[static_cast<size_t>(reel)]
                           [static_cast<size_t>((travelled / 64 + 1) % 16)]);
  }
}

TEST(SlotRules, CategoryValues) {
  struct Case {
    int32_t s0, s1, s2;
    int category;
    int adjust;
    int32_t value;
  };
  const Case cases[] = {
      {0, 0, 0, 1, 0, 10},   // 10 + 1 + 2 = 13, clamped
      {0, 0, 0, 3, 7, 9},    // 10 + 1 - 2
      {1, 1, 1, 0, 2, 10},   // 9 + 1 + 0
      {3, 3, 3, 0, 0, 7},    // 5 + 1 + 1
      {3, 3, 3, 3, 6, 4},    // 5 + 1 - 2
      {4, 4, 4, 5, 7, 5},    // 5 + 1 - 1
      {0, 1, 3, 0, 2, 4},    // 2 + 2 + 0 (reel 2's term of 3), no pair
      {0, 1, 3, 5, 0, 6},    // + 2
      {0, 1, 3, 3, 7, 2},    // - 2
      {3, 4, 4, 0, 0, -4},   // -2 - 2 - 2 + 1 + 1
      {3, 4, 4, 3, 6, -7},   // -2 - 2 - 2 + 1 - 2: the lowest there is
      {4, 3, 3, 1, 4, -3},   // -2 - 2 + 0 + 1 + 0
      {2, 0, 1, 2, 0, 8},    // 2 + 2 + 2 + 2
      {2, 2, 0, 4, 7, 6},    // 2 + 2 + 2 + 1 - 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.s0 << c.s1 << c.s2 << " category " << c.category
                                    << " entry " << c.adjust);
    EXPECT_EQ(slot::CategoryValue(c.s0, c.s1, c.s2, c.category, c.adjust), c.value);
  }
  for (int32_t s = 0; s < 125; ++s) {
    for (int category = 0; category < slot::kCategories; ++category) {
      for (int adjust = 0; adjust < 8; ++adjust) {
        const int32_t v = slot::CategoryValue(s / 25, s / 5 % 5, s % 5, category, adjust);
        ASSERT_GE(v, -10);
        ASSERT_LE(v, 10);
      }
    }
  }
}

TEST(SlotRules, GradesAndReactionVoices) {
  struct Case {
    int32_t s0, s1, s2;
    int32_t grade;
    std::string voice_bit0;  // bit 8 of the random number clear
    std::string voice_bit1;  // set
  };
  const std::string v = "tamvik3\\voice\\";
  const Case cases[] = {
      {0, 0, 0, 1, v + "2443.wav", v + "2443.wav"},
      {1, 1, 1, 1, v + "2444.wav", v + "2444.wav"},
      {2, 2, 2, 1, v + "2445.wav", v + "2445.wav"},
      {3, 3, 3, 3, v + "2446.wav", v + "2446.wav"},
      {4, 4, 4, 3, v + "2447.wav", v + "2447.wav"},
      {3, 0, 0, 3, v + "2454.wav", v + "2455.wav"},  // c = 1
      {0, 4, 4, 3, v + "2454.wav", v + "2455.wav"},  // c = 1, whatever reel 2 shows
      {0, 1, 2, 1, v + "2448.wav", v + "2449.wav"},  // c = 0, s2 below 3
      {0, 1, 3, 0, v + "2450.wav", v + "2451.wav"},  // c = 0, s2 3 or more
      {2, 2, 4, 0, v + "2450.wav", v + "2451.wav"},
      {3, 4, 0, 2, v + "2452.wav", v + "2453.wav"},  // c = 2
      {4, 4, 3, 2, v + "2452.wav", v + "2453.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.s0 << c.s1 << c.s2);
    EXPECT_EQ(slot::Grade(c.s0, c.s1, c.s2), c.grade);
    EXPECT_EQ(slot::ReactionVoice(c.s0, c.s1, c.s2, 0x0FF), c.voice_bit0);
    EXPECT_EQ(slot::ReactionVoice(c.s0, c.s1, c.s2, 0x100), c.voice_bit1);
    EXPECT_EQ(slot::ReactionVoice(c.s0, c.s1, c.s2, 0x7EFF), c.voice_bit0);
  }
}

// The moves of a play's sum into the score, as the transfer makes them.
std::vector<int32_t> Moves(int32_t score, int32_t sum) {
  std::vector<int32_t> moves;
  int32_t left = slot::ClampPlaySum(score, sum);
  for (int32_t m = slot::TransferMove(left); m != 0 && moves.size() < 100;
       m = slot::TransferMove(left)) {
    moves.push_back(m);
    left -= m;
  }
  return moves;
}

TEST(SlotRules, TheSumMovesInTwosThenOnesAndStopsAtTheClamp) {
  EXPECT_EQ(Moves(0, 7), (std::vector<int32_t>{2, 2, 2, 1}));
  EXPECT_EQ(Moves(0, -5), (std::vector<int32_t>{-2, -2, -1}));
  EXPECT_EQ(Moves(12, 6), (std::vector<int32_t>{2, 2, 2}));
  EXPECT_EQ(Moves(0, 1), (std::vector<int32_t>{1}));
  EXPECT_EQ(Moves(0, 0), (std::vector<int32_t>{}));
  EXPECT_EQ(Moves(995, 7), (std::vector<int32_t>{2, 2}));
  EXPECT_EQ(Moves(996, 7), (std::vector<int32_t>{2, 1}));
  EXPECT_EQ(Moves(999, 5), (std::vector<int32_t>{}));
  EXPECT_EQ(Moves(-996, -9), (std::vector<int32_t>{-2, -1}));
  EXPECT_EQ(slot::ClampPlaySum(990, 60), 9);
  EXPECT_EQ(slot::ClampPlaySum(-990, -60), -9);
  EXPECT_EQ(slot::ClampPlaySum(-990, 60), 60);
}

TEST(SlotRules, ClosingVoiceAndResultsByScore) {
  struct Case {
    int32_t mode;
    int32_t score;
    std::string voice;
  };
  const std::string v = "tamvik3\\voice\\";
  const Case cases[] = {
      {0, 150, v + "2456.wav"}, {0, 149, v + "2451.wav"}, {0, 100, v + "2451.wav"},
      {0, 99, v + "2458.wav"},  {0, 50, v + "2458.wav"},  {0, 49, v + "2459.wav"},
      {0, -300, v + "2459.wav"}, {1, 300, v + "2456.wav"}, {1, 299, v + "2451.wav"},
      {1, 200, v + "2451.wav"}, {1, 199, v + "2458.wav"}, {1, 100, v + "2458.wav"},
      {1, 99, v + "2459.wav"},  {1, 150, v + "2458.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " score " << c.score);
    EXPECT_EQ(slot::ClosingVoice(c.mode, c.score), c.voice);
  }
  struct Result {
    int32_t score, var2, var9;
  };
  for (const Result& r : {Result{49, 0, 0}, Result{50, 1, 0}, Result{149, 1, 0},
                          Result{150, 2, 0}, Result{299, 2, 0}, Result{300, 2, 1},
                          Result{-50, 0, 0}}) {
    SCOPED_TRACE(r.score);
    EXPECT_EQ(slot::ResultVar2(r.score), r.var2);
    EXPECT_EQ(slot::ResultVar9(r.score), r.var9);
  }
}

// ---- The whole game ----

// What one play did: the reels' positions when the spin began, the advances made and the
// position when each stop request arrived, where and on which spin step each stopped, and the
// symbols read.
struct Play {
  std::array<int32_t, slot::kReels> start{};
  std::array<int32_t, slot::kReels> request_step{};
  std::array<int32_t, slot::kReels> request_position{};
  std::array<int32_t, slot::kReels> stop_position{};
  std::array<int32_t, slot::kReels> stop_step{};
  std::array<int32_t, slot::kReels> symbols{};
};

// One call of the procedure: the step and score after it.
struct Call {
  int32_t step = 0;
  int32_t score = 0;
};

// Row 5 with its real procedure wrapped: each call is logged, the plays recorded, the generator
// copied before the call so the draws of a reaction or a category can be replayed, and a hook
// may change the state before the call.
class SlotGame {
 public:
  SlotGame() {
    runner.WriteFile(runner.minigame().games[kRow].path, testsupport::UniversalOd({200}).Build());
    runner.SetProc(kRow, [this](int state) {
      if (before) before(Minigame().slot);
      const GameRandom random = Ctx().random;
      const slot::SlotState old = Minigame().slot;
      const int result = slot_proc(state);
      if (MiniGameIsRunning() != 0) Observe(old, Minigame().slot, random);
      calls.push_back({Minigame().slot.step, Minigame().slot.score});
      return result;
    });
  }

  // Starts the game and passes the menu before play (start is the first choice).
  void StartAndPass(int mode) {
    ASSERT_TRUE(runner.Start(kRow, mode));
    ASSERT_TRUE(runner.RunUntil("menu", [] { return Minigame().menu.step == 10011; }, 200));
    runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(runner.RunUntil(
        "first play", [] { return Minigame().slot.step == slot::kStepWaitPlay; }, 200));
  }

  // Runs frames of `ms` until `done`.
  bool RunUntil(int limit, uint32_t ms, const std::function<bool()>& done) {
    for (int i = 0; i < limit; ++i) {
      if (done()) return true;
      if (!runner.Step(ms)) return false;
    }
    ADD_FAILURE() << "not done in " << limit << " frames";
    return false;
  }

  void Observe(const slot::SlotState& old, const slot::SlotState& s, GameRandom random) {
    if (old.step == slot::kStepWaitPlay && s.step == slot::kStepSpin) {
      plays.emplace_back();
      for (int k = 0; k < slot::kReels; ++k) plays.back().start[k] = s.reels[k].position;
    }
    for (int k = 0; k < slot::kReels; ++k) {
      if (!plays.empty() && old.step == slot::kStepSpin && old.reels[k].stop == slot::kSpinning &&
          s.reels[k].stop != slot::kSpinning) {
        plays.back().request_step[k] = old.spin_steps;
        plays.back().request_position[k] = old.reels[k].position;
      }
      if (!plays.empty() && old.reels[k].stop != slot::kStopped &&
          s.reels[k].stop == slot::kStopped) {
        plays.back().stop_position[k] = s.reels[k].position;
        plays.back().stop_step[k] = s.spin_steps;
      }
    }
    if (old.step == slot::kStepRead) plays.back().symbols = s.symbols;
    // A reaction's voice or a category's value replayed from the generator.
    if (old.step == slot::kStepReaction && s.step == slot::kStepReactionWait) {
      const bool triple = s.symbols[0] == s.symbols[1] && s.symbols[1] == s.symbols[2];
      reactions.push_back(slot::ReactionVoice(s.symbols[0], s.symbols[1], s.symbols[2],
                                              triple ? 0 : random.Next()));
      EXPECT_EQ(mg_obj_get_anim(70), slot::kGradePictures[static_cast<size_t>(s.grade)]);
    }
    if (old.step == slot::kStepCategories && s.category == old.category + 1) {
      const int i = old.category;
      EXPECT_EQ(s.values[i], slot::CategoryValue(s.symbols[0], s.symbols[1], s.symbols[2], i,
                                                  random.Next() & 7))
          << "category " << i;
      EXPECT_EQ(mg_obj(61 + i)->value, s.values[i]) << "its plate shows it";
    }
  }

  slot::SlotState& state() { return Minigame().slot; }

  // Voices started, in order.
  std::vector<std::string> Voices() const {
    std::vector<std::string> voices;
    for (const std::string& v : runner.sounds_played()) {
      if (v.rfind("voice:", 0) == 0) voices.push_back(v.substr(6));
    }
    return voices;
  }

  MinigameRunner runner;
  std::function<void(slot::SlotState&)> before;
  std::vector<Call> calls;
  std::vector<Play> plays;
  std::vector<std::string> reactions;  // the reaction voices the generator called for
};

// Where a reel stops when its request arrives at a position, and how many advances it takes.
struct Stop {
  int32_t position;
  int32_t advances;
};
Stop ExpectedStop(int reel, int32_t p) {
  const int32_t speed = slot::kSpeeds[static_cast<size_t>(reel)];
  const int32_t b = (p / 64 + 1) * 64;
  return {b % slot::kStripPixels, (b - p + speed - 1) / speed};
}

// The position after n advances from `start`.
int32_t After(int reel, int32_t start, int32_t n) {
  return (start + slot::kSpeeds[static_cast<size_t>(reel)] * n) % slot::kStripPixels;
}

using StopBot = testsupport::SlotStopBot;

TEST(SlotGame, TenScriptedPlaysInStoryMode) {
  SlotGame g;
  // Play 0 is the hand table: reels 0 and 1 requested at 36 and 37 both stop at 64 and show 0;
  // reel 2 requested standing on 128 exactly runs on to 192 and shows 1.
  StopBot bot;
  bot.offsets = {{0, 0, 15}};
  for (int p = 1; p < 10; ++p) bot.offsets.push_back({7 * p % 40, 11 * p % 50 + 2, 13 * p % 60 + 1});
  g.StartAndPass(mg::kModeStory);
  g.runner.bot = std::ref(bot);
  ASSERT_TRUE(g.runner.RunToEnd(12000));

  ASSERT_EQ(g.plays.size(), 10u);
  EXPECT_EQ(g.plays[0].start, (std::array<int32_t, 3>{32, 32, 32}));
  EXPECT_EQ(g.plays[0].request_position, (std::array<int32_t, 3>{36, 37, 128}));
  EXPECT_EQ(g.plays[0].stop_position, (std::array<int32_t, 3>{64, 64, 192}));
  EXPECT_EQ(g.plays[0].symbols, (std::array<int32_t, 3>{0, 0, 1}));
  for (int p = 0; p < 10; ++p) {
    SCOPED_TRACE(testing::Message() << "play " << p);
    const Play& play = g.plays[static_cast<size_t>(p)];
    if (p > 0) {
      EXPECT_EQ(play.start, g.plays[static_cast<size_t>(p - 1)].stop_position);
    }
    for (int k = 0; k < 3; ++k) {
      SCOPED_TRACE(testing::Message() << "reel " << k);
      const int32_t n = play.request_step[k];
      EXPECT_EQ(n, bot.offsets[static_cast<size_t>(p)][k] + 1);
      EXPECT_EQ(play.request_position[k], After(k, play.start[k], n));
      const Stop stop = ExpectedStop(k, play.request_position[k]);
      EXPECT_EQ(play.stop_position[k], stop.position);
      EXPECT_EQ(play.stop_step[k], n + stop.advances);
      EXPECT_EQ(play.symbols[k], slot::ShownSymbol(k, stop.position));
    }
  }
  const std::vector<std::string> voices = g.Voices();
  ASSERT_EQ(voices.size(), 12u);
  EXPECT_EQ(voices.front(), slot::kGreetingVoice);
  EXPECT_EQ(std::vector<std::string>(voices.begin() + 1, voices.begin() + 11), g.reactions);
  const int32_t score = g.calls.back().score;
  EXPECT_EQ(voices.back(), slot::ClosingVoice(0, score));
  EXPECT_EQ(mg_var_get(2), slot::ResultVar2(score));
  EXPECT_EQ(mg_var_get(9), slot::ResultVar9(score));
  // Static sounds: 4 slot07 (a spin), 5 slot08 (a reel stands), 6 slot09 (the panel).
  EXPECT_EQ(g.runner.TimesPlayed("static:4"), 10);
  EXPECT_EQ(g.runner.TimesPlayed("static:5"), 30);
  EXPECT_EQ(g.runner.TimesPlayed("static:6"), 10);
  EXPECT_EQ(g.runner.TimesPlayed("bgm:tamvik1\\bgm\\ysol.wav"), 1);
  EXPECT_EQ(Minigame().fw.brightness, 0) << "faded out";
  EXPECT_EQ(g.state().coins, 0);
  EXPECT_EQ(mg_obj(40)->value, 0) << "the coins shown";
  EXPECT_EQ(mg_obj(41)->value, score) << "the score shown";
}

TEST(SlotGame, UnattendedReelsStopAfter1800StepsAndTheTenPlaysEnd) {
  for (int mode : {mg::kModeStory, mg::kModeFreePlay}) {
    SCOPED_TRACE(testing::Message() << "mode " << mode);
    SlotGame g;
    StopBot bot;  // decide only; no reel is ever stopped by hand
    bot.skip_panel = true;
    g.StartAndPass(mode);
    g.runner.bot = std::ref(bot);
    // Story: the game ends. Free play: the menu's result screen waits for a choice.
    ASSERT_TRUE(g.RunUntil(6000, 100, [] {
      return MiniGameIsRunning() == 0 ||
             (Minigame().menu.phase == mg::kPhaseResult && Minigame().menu.step == 10011);
    }));

    ASSERT_EQ(g.plays.size(), 10u);
    for (int p = 0; p < 10; ++p) {
      SCOPED_TRACE(testing::Message() << "play " << p);
      const Play& play = g.plays[static_cast<size_t>(p)];
      for (int k = 0; k < 3; ++k) {
        // The request comes on spin step 1800, after 1799 advances.
        EXPECT_EQ(play.request_step[k], 1799) << "reel " << k;
        const Stop stop = ExpectedStop(k, After(k, play.start[k], 1799));
        EXPECT_EQ(play.stop_position[k], stop.position) << "reel " << k;
        EXPECT_EQ(play.stop_step[k], 1799 + stop.advances) << "reel " << k;
        EXPECT_EQ(play.symbols[k], slot::ShownSymbol(k, stop.position));
      }
    }
    EXPECT_EQ(g.runner.TimesPlayed("static:5"), 30);
    const int32_t score = g.calls.back().score;
    EXPECT_EQ(g.Voices().back(), slot::ClosingVoice(mode, score));
    if (mode == mg::kModeFreePlay) {
      // Into the defaults 300, 200, 100: a strictly higher score moves in.
      std::vector<int32_t> ranking = {300, 200, 100};
      const auto at = std::find_if(ranking.begin(), ranking.end(),
                                   [score](int32_t r) { return score > r; });
      ranking.insert(at, score);
      for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(mg_var_get(33 + i), ranking[static_cast<size_t>(i)]) << "entry " << i;
      }
    }
  }
}

TEST(SlotGame, TheScoreMovesAMoveEveryThreeStepsAndStopsAtTheClamp) {
  struct Case {
    int32_t score;  // before the transfer
    int32_t sum;
    std::vector<int32_t> moves;
  };
  const Case cases[] = {{0, 7, {2, 2, 2, 1}}, {20, -5, {-2, -2, -1}}, {995, 7, {2, 2}}};
  SlotGame g;
  StopBot bot;
  bot.offsets = {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}};
  bot.skip_panel = true;
  g.StartAndPass(mg::kModeStory);
  g.state().coins = 3;
  int play = -1;
  g.before = [&](slot::SlotState& s) {
    if (s.step == slot::kStepWaitPlay && s.coins == 2 - play) ++play;
    if (s.step == slot::kStepPanelOut && play >= 0 && play < 3) {
      s.score = cases[play].score;
      s.play_sum = cases[play].sum;
    }
  };
  g.runner.bot = std::ref(bot);
  ASSERT_TRUE(g.runner.RunToEnd(3000));
  ASSERT_EQ(play, 2);

  // The score's changes during the transfer, grouped by play, with the calls between them.
  std::vector<std::vector<int32_t>> moves(1);
  std::vector<std::vector<size_t>> at(1);
  for (size_t i = 1; i < g.calls.size(); ++i) {
    const bool transfer = g.calls[i].step == slot::kStepTransfer;
    if (!transfer && g.calls[i - 1].step == slot::kStepTransfer) {
      moves.emplace_back();
      at.emplace_back();
    }
    if (transfer && g.calls[i].score != g.calls[i - 1].score) {
      moves.back().push_back(g.calls[i].score - g.calls[i - 1].score);
      at.back().push_back(i);
    }
  }
  ASSERT_GE(moves.size(), 3u);
  for (size_t c = 0; c < 3; ++c) {
    SCOPED_TRACE(testing::Message() << "sum " << cases[c].sum << " onto " << cases[c].score);
    EXPECT_EQ(moves[c], cases[c].moves);
    for (size_t m = 1; m < at[c].size(); ++m) {
      EXPECT_EQ(at[c][m] - at[c][m - 1], 3u);
    }
  }
  EXPECT_EQ(g.calls.back().score, 999) << "the last sum stopped at the clamp";
  EXPECT_EQ(mg_obj(41)->value, 999);
}

TEST(SlotGame, ResultVariablesFollowTheScoreThresholds) {
  struct Case {
    int32_t score;
    int32_t var2;
    int32_t var9;
    std::string voice;
  };
  const std::string v = "tamvik3\\voice\\";
  const Case cases[] = {
      {49, 0, 0, v + "2459.wav"},  {50, 1, 0, v + "2458.wav"},  {149, 1, 0, v + "2451.wav"},
      {150, 2, 0, v + "2456.wav"}, {299, 2, 0, v + "2456.wav"}, {300, 2, 1, v + "2456.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.score);
    SlotGame g;
    StopBot bot;
    bot.offsets = {{0, 0, 0}};
    bot.skip_panel = true;
    g.StartAndPass(mg::kModeStory);
    g.state().coins = 1;
    g.before = [&](slot::SlotState& s) {
      if (s.step == slot::kStepClosing) s.score = c.score;
    };
    g.runner.bot = std::ref(bot);
    ASSERT_TRUE(g.runner.RunToEnd(1500));
    EXPECT_EQ(g.Voices().back(), c.voice);
    EXPECT_EQ(mg_var_get(2), c.var2);
    EXPECT_EQ(mg_var_get(9), c.var9);
    EXPECT_EQ(MiniGameResult(), c.var2) << "the story reads variable 2";
  }
}

TEST(SlotGame, FreePlayOpensTheResultScreenAndRanksTheScore) {
  SlotGame g;
  StopBot bot;
  bot.skip_panel = true;
  for (int p = 0; p < 10; ++p) bot.offsets.push_back({p, 2 * p, 3 * p});
  g.StartAndPass(mg::kModeFreePlay);
  g.before = [&](slot::SlotState& s) {
    if (s.step == slot::kStepClosing) s.score = 320;
  };
  g.runner.bot = std::ref(bot);
  ASSERT_TRUE(g.runner.RunUntil("choice after the result",
                                [] { return Minigame().menu.step == 10011; }, 6000));
  EXPECT_EQ(g.plays.size(), 10u);
  EXPECT_EQ(Minigame().menu.phase, mg::kPhaseResult);
  EXPECT_EQ(mg_var_get(9), 1);
  EXPECT_EQ(mg_var_get(2), 1) << "free play: variable 2 from variable 9";
  EXPECT_EQ(mg_obj_get_anim(210), 479) << "the result picture came first";
  g.runner.bot = nullptr;
  g.runner.Tap(kMgKeyDown);  // retry -> quit
  ASSERT_TRUE(g.runner.Run(3));
  ASSERT_EQ(mg_cursor_get(), mg::kChoiceQuit);
  g.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.runner.RunToEnd(100));
  EXPECT_EQ(mg_var_get(33), 320);
  EXPECT_EQ(mg_var_get(34), 300);
  EXPECT_EQ(mg_var_get(35), 200);
  const std::string dat = g.runner.tree().Read("install/save/minigame.dat");
  EXPECT_EQ(testsupport::MinigameDatValue(dat, 33), 320) << "kept in save\\minigame.dat";
}

TEST(SlotGame, DecideStopsTheReelOfTheStopButtonUnderTheCursor) {
  SlotGame g;
  g.StartAndPass(mg::kModeStory);
  g.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.runner.RunUntil("spin", [] { return Minigame().slot.step == slot::kStepSpin; }, 10));
  // The stop buttons blink while the spin is young.
  std::vector<int32_t> lit;
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(g.runner.Step());
    lit.push_back(mg_obj_get_anim(32));
  }
  EXPECT_NE(std::count(lit.begin(), lit.end(), 30), 0);
  EXPECT_NE(std::count(lit.begin(), lit.end(), 31), 0);

  struct Case {
    int button;  // object 30-32 at x 128, 288, 448, y 320
    std::array<int32_t, 3> stop;  // stop states after the click
  };
  for (const Case& c : {Case{32, {0, 0, 2}}, Case{30, {2, 0, 2}}}) {
    SCOPED_TRACE(c.button);
    g.runner.Pointer(mg_obj_get_x(c.button) + 4, mg_obj_get_y(c.button) + 4);
    ASSERT_TRUE(g.runner.Run(2));
    ASSERT_EQ(mg_cursor_get(), c.button - 30);
    g.runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(g.runner.Run(18));  // long enough for any reel to reach its boundary
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(g.state().reels[k].stop, c.stop[k]) << "reel " << k;
    }
  }
  EXPECT_EQ(g.state().step, slot::kStepSpin);
  EXPECT_EQ(mg_obj_get_anim(30), 32) << "a stopped reel's button shows pressed";
}

TEST(SlotGame, TheMenuPausesTheSpinAndRetryOrQuitAnswers) {
  for (bool retry : {true, false}) {
    SCOPED_TRACE(retry ? "retry" : "quit");
    SlotGame g;
    g.StartAndPass(mg::kModeFreePlay);
    g.runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(g.runner.RunUntil("spin", [] { return Minigame().slot.step == slot::kStepSpin; }, 10));
    ASSERT_TRUE(g.runner.Run(3));
    g.state().score = 42;
    g.runner.Tap(kMgKeyMenu);
    ASSERT_TRUE(g.runner.RunUntil("menu", [] { return Minigame().menu.step == 10011; }, 60));
    const std::array<slot::Reel, 3> paused = g.state().reels;
    const int32_t spun = g.state().spin_steps;
    g.runner.Tap(retry ? kMgKeyDown : kMgKeyUp);  // resume -> retry, or -> quit (wrapping)
    ASSERT_TRUE(g.runner.Run(2));
    EXPECT_EQ(g.state().spin_steps, spun) << "the spin waits while the menu is open";
    EXPECT_EQ(g.state().reels[2].position, paused[2].position);
    g.runner.Tap(kMgKeyDecide);
    if (retry) {
      ASSERT_TRUE(g.runner.RunUntil(
          "menu before play again",
          [] { return Minigame().menu.step == 10011 && Minigame().menu.phase == 0; }, 200));
      EXPECT_EQ(g.state().coins, 10);
      EXPECT_EQ(g.state().score, 0);
      for (const slot::Reel& r : g.state().reels) {
        EXPECT_EQ(r.position, slot::kStartPosition);
        EXPECT_EQ(r.stop, slot::kStopped);
      }
    } else {
      ASSERT_TRUE(g.runner.RunToEnd(100));
      EXPECT_EQ(mg_var_get(2), 0);
    }
  }
}

TEST(SlotGame, TheGagShowsItsPictureOnceAndTheReelsTurnOn) {
  SlotGame g;
  g.StartAndPass(mg::kModeStory);
  g.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.runner.RunUntil("spin", [] { return Minigame().slot.step == slot::kStepSpin; }, 10));
  ASSERT_TRUE(g.runner.Run(3));
  EXPECT_FALSE(mg_obj(95)->anim == 95 && !mg_obj_test(95, mg::kObjHidden));

  // Two of the three keys do nothing.
  testsupport::ProgramDriver& d = g.runner.driver();
  g.runner.Hold(kMgKeyCancel);
  d.Schedule(testsupport::KeyDown(d.frame() + 1, 0x1F));
  ASSERT_TRUE(g.runner.Run(3));
  EXPECT_EQ(g.runner.TimesPlayed("voice:tamvik3\\voice\\2084.wav"), 0);
  EXPECT_TRUE(mg_obj_test(95, mg::kObjHidden));

  d.Schedule(testsupport::KeyDown(d.frame() + 1, 0x26));
  ASSERT_TRUE(g.runner.Run(10));  // held for many steps: shown once
  EXPECT_EQ(g.runner.TimesPlayed("voice:tamvik3\\voice\\2084.wav"), 1);
  EXPECT_EQ(g.runner.TimesPlayed("static:6"), 1) << "slot09";
  EXPECT_EQ(mg_obj_get_anim(95), 95);
  EXPECT_FALSE(mg_obj_test(95, mg::kObjHidden));
  const std::array<slot::Reel, 3> reels = g.state().reels;
  ASSERT_TRUE(g.runner.Run(2));
  EXPECT_EQ(g.state().step, slot::kStepSpin);
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(g.state().reels[k].stop, slot::kSpinning) << k;
    EXPECT_NE(g.state().reels[k].position, reels[k].position) << k;
  }

  // Let go and held again: once more. Then the reels stop and the picture goes.
  g.runner.Hold(kMgKeyCancel, false);
  ASSERT_TRUE(g.runner.Run(2));
  g.runner.Hold(kMgKeyCancel);
  ASSERT_TRUE(g.runner.Run(2));
  EXPECT_EQ(g.runner.TimesPlayed("voice:tamvik3\\voice\\2084.wav"), 2);
  g.runner.Hold(kMgKeyCancel, false);
  g.runner.Tap(kMgKeyLeft | kMgKeyUp | kMgKeyRight);
  ASSERT_TRUE(g.runner.RunUntil("read", [] { return Minigame().slot.step == slot::kStepReaction; },
                                40));
  EXPECT_TRUE(mg_obj_test(95, mg::kObjHidden));
}

}  // namespace
