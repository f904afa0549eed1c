// The lost-child game (row 6): the set-up shuffles, the clue text, the end thresholds, the
// judging of picks and whole games through the runner in modes 0 and 1.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/app/doors.h"
#include "engine/files/random.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_rank.h"
#include "minigames/maigo/maigo.h"
#include "minigames/minigame_context.h"
#include "testsupport/minigame_bots.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"
#include "testsupport/test_game.h"

namespace {

using maigo::MaigoState;
using testsupport::MinigameRunner;

// ---- Shuffles ----

struct MaigoShuffle : ::testing::Test {
  testsupport::TestGame game;
  MinigameContext minigame;
  MinigameScope scope{minigame};
  MaigoState& g = minigame.maigo;
};

template <size_t N>
bool IsPermutation(const std::array<int32_t, N>& table) {
  std::array<int32_t, N> sorted = table;
  std::sort(sorted.begin(), sorted.end());
  for (size_t i = 0; i < N; ++i) {
    if (sorted[i] != static_cast<int32_t>(i)) return false;
  }
  return true;
}

// The tables as the set-up is meant to make them, on a generator of our own.
struct Expected {
  std::array<int32_t, 15> kinds{}, names{}, forms{};
  std::array<int32_t, 9> order{};
};
Expected Reference(uint32_t seed) {
  GameRandom r;
  r.Seed(seed);
  Expected e;
  auto swaps = [&](auto& table, int count, auto pick) {
    for (size_t i = 0; i < table.size(); ++i) table[i] = static_cast<int32_t>(i);
    for (int i = 0; i < count; ++i) {
      const int a = pick();
      const int b = pick();
      std::swap(table[static_cast<size_t>(a)], table[static_cast<size_t>(b)]);
    }
  };
  swaps(e.kinds, 64, [&] { return r.Next() % 15; });
  swaps(e.names, 32, [&] { return r.Next() % 7; });
  for (int i = 0; i < 32; ++i) {
    const int a = (r.Next() & 7) + 7;
    const int b = (r.Next() & 7) + 7;
    std::swap(e.names[static_cast<size_t>(a)], e.names[static_cast<size_t>(b)]);
  }
  swaps(e.order, 64, [&] { return r.Next() % 9; });
  swaps(e.forms, 64, [&] { return r.Next() % 15; });
  return e;
}

TEST_F(MaigoShuffle, TablesArePermutationsMadeInTheGivenOrder) {
  for (uint32_t seed : {1u, 2u, 77u, 12345u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(seed);
    SeedRandom(seed);
    maigo::Shuffle();
    EXPECT_TRUE(IsPermutation(g.kinds));
    EXPECT_TRUE(IsPermutation(g.names));
    EXPECT_TRUE(IsPermutation(g.order));
    EXPECT_TRUE(IsPermutation(g.forms));
    const Expected e = Reference(seed);
    EXPECT_EQ(g.kinds, e.kinds);
    EXPECT_EQ(g.names, e.names);
    EXPECT_EQ(g.order, e.order);
    EXPECT_EQ(g.forms, e.forms);
    // The names keep their group.
    for (size_t i = 0; i < 15; ++i) EXPECT_EQ(g.names[i] < 7, i < 7) << i;

    // The same seed, the same tables.
    const MaigoState first = g;
    SeedRandom(seed);
    maigo::Shuffle();
    EXPECT_EQ(g.kinds, first.kinds);
    EXPECT_EQ(g.names, first.names);
    EXPECT_EQ(g.order, first.order);
    EXPECT_EQ(g.forms, first.forms);
  }
}

TEST_F(MaigoShuffle, SecondNameGroupReachesPosition14) {
  // Seed 1 moves the name at position 14 (the second group's swaps take (r & 7) + 7).
  SeedRandom(1);
  maigo::Shuffle();
  EXPECT_NE(g.names[14], 14);
  EXPECT_GE(g.names[14], 7);
  EXPECT_TRUE(IsPermutation(g.names)) << "nothing past position 14";
}

// ---- Clue text ----

std::string Fill(size_t size, std::string_view tmpl, std::vector<std::string_view> names) {
  std::vector<char> out(size + 4, 'X');
  const size_t n = maigo::FillClue(out.data(), size, tmpl, names);
  if (size == 0) return "(none)";
  EXPECT_EQ(out[n], '\0') << "terminated";
  EXPECT_LT(n, size);
  EXPECT_EQ(out[size], 'X') << "nothing past the buffer";
  return std::string(out.data(), n);
}

TEST(MaigoClue, NamesReplaceByte7InOrderWithinTheBuffer) {
  const std::string pair1 = "\xA4\x70";  // two Big5 characters
  const std::string pair2 = "\xA4\x71";
  const std::string name = pair1 + pair2;
  struct Case {
    const char* what;
    size_t size;
    std::string tmpl;
    std::vector<std::string_view> names;
    std::string want;
  };
  const Case cases[] = {
      {"one name", 64, "A\aB", {"xy"}, "AxyB"},
      {"names in order", 64, "\a-\a", {"a", "bc"}, "a-bc"},
      {"the last name again", 64, "\a\a\a", {"a", "b"}, "abb"},
      {"line break kept", 64, "\a!\n" + pair1, {"n"}, "n!\n" + pair1},
      {"no names: nothing", 64, "A\aB", {}, "AB"},
      {"name cut after its first character", 5, "AB\a", {name}, "AB" + pair1},
      {"name cut, never half a pair", 4, "AB\a", {name}, "AB"},
      {"template pair cut whole", 4, "ABC" + pair1, {}, "ABC"},
      {"a lone lead byte at the end is one byte", 64, "A\xA4", {}, "A\xA4"},
      {"room for the terminator only", 1, "\a", {"a"}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Fill(c.size, c.tmpl, c.names), c.want);
  }
  EXPECT_EQ(maigo::FillClue(nullptr, 8, "A", {}), 0u);
}

TEST(MaigoClue, ContentTemplatesAndNamesAreBig5AndNameTheChild) {
  for (int i = 0; i < 15; ++i) {
    SCOPED_TRACE(i);
    const std::string& tmpl = maigo::ClueTemplate(i);
    ASSERT_FALSE(tmpl.empty());
    EXPECT_NE(tmpl.find('\a'), std::string::npos) << "every clue names the child";
    const std::string& name = maigo::Name(i);
    ASSERT_EQ(name.size() % 2, 0u);
    for (char c : name) EXPECT_GE(static_cast<unsigned char>(c), 0x40);
    EXPECT_GE(static_cast<unsigned char>(name[0]), 0xA1);
  }
}

// ---- End thresholds ----

TEST(MaigoEnd, ThresholdsGiveResultsAndVoices) {
  struct Case {
    int32_t time;
    bool lives;
    int32_t var2;
    int32_t var9;
    const char* voice;
    bool praise;
  };
  const Case cases[] = {
      {3600, true, 2, 1, "tamvik3\\voice\\2418.wav", true},
      {3601, true, 2, 0, "tamvik3\\voice\\2419.wav", false},
      {5400, true, 2, 0, "tamvik3\\voice\\2419.wav", false},
      {5401, true, 1, 0, "tamvik3\\voice\\2420.wav", false},
      {7200, true, 1, 0, "tamvik3\\voice\\2420.wav", false},
      {7201, true, 0, 0, "tamvik3\\voice\\2420.wav", false},
      {maigo::kLostTime, false, 0, 0, "tamvik3\\voice\\2421.wav", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time);
    const maigo::EndResult end = maigo::EndFor(c.time, c.lives);
    EXPECT_EQ(end.var2, c.var2);
    EXPECT_EQ(end.var9, c.var9);
    EXPECT_STREQ(end.voice, c.voice);
    EXPECT_EQ(end.praise, c.praise);
  }
}

// ---- Games through the runner ----

constexpr int kRow = 6;
constexpr const char* kOdPath = "tamvik3\\od\\mg_maigo.od";

struct MaigoGame {
  explicit MaigoGame(uint32_t seed = 1) : runner(MinigameRunner::Options{.seed = seed}) {
    runner.WriteFile(kOdPath, testsupport::UniversalOd({200}).Build());
  }
  MaigoState& g() { return Minigame().maigo; }
  int32_t Step() const { return Minigame().maigo.step; }
  int Sought() { return g().order[static_cast<size_t>(g().round)]; }

  // Frames of 100 ms (six game steps each once the driver has stepped up) until the condition
  // holds; false when the limit runs out.
  bool Until(const std::function<bool()>& reached, int limit) {
    for (int i = 0; i < limit; ++i) {
      if (reached()) return true;
      if (!runner.Step(100)) return false;
    }
    return reached();
  }
  bool To(int32_t step, int limit = 400) {
    return Until([&] { return Step() == step; }, limit);
  }
  // Starts, takes "start" in the menu that opens during the fade in, and runs to the step.
  bool StartTo(int mode, int32_t step) {
    if (!runner.Start(kRow, mode)) return false;
    if (!Until([&] { return Minigame().menu.step == 10011; }, 100)) return false;
    runner.Tap(kMgKeyDecide);
    return To(step);
  }
  // Picks the slot (the selection set on the cursor, then decide) and runs to the next pick or
  // the end.
  bool Pick(int slot) {
    Minigame().cursor.selection = slot;
    runner.Tap(kMgKeyDecide);
    if (!Until([&] { return Step() != maigo::kStepPick; }, 10)) return false;
    return Until([&] { return Step() == maigo::kStepPick || Step() >= maigo::kStepGather; }, 200);
  }

  MinigameRunner runner;
};

TEST(MaigoGameTest, SetUpPlacesChildrenAndMemorisingShowsColumns) {
  MaigoGame m;
  ASSERT_TRUE(m.StartTo(mg::kModeStory, maigo::kStepMemorise));
  MaigoState& g = m.g();
  for (int s = 0; s < 9; ++s) {
    SCOPED_TRACE(s);
    const size_t kind = static_cast<size_t>(g.kinds[static_cast<size_t>(s)]);
    const MgObject* child = mg_obj(maigo::kObjChildFirst + s);
    EXPECT_EQ(child->x, (std::array{96, 256, 416}[static_cast<size_t>(s / 3)]));
    EXPECT_EQ(child->y, (std::array{152, 232, 312}[static_cast<size_t>(s % 3)]));
    EXPECT_EQ(child->anim, static_cast<int32_t>(kind) * 17 + 20);
    EXPECT_EQ(mg_obj(maigo::kObjShadowFirst + s)->linked, maigo::kObjChildFirst + s);
    EXPECT_EQ(mg_obj_get_anim(maigo::kObjLabelFirst + s), maigo::kAnimLabelBase + g.names[kind]);
  }
  EXPECT_EQ(mg_obj_get_x(maigo::kObjHeroine), 576);
  EXPECT_EQ(mg_obj_get_y(maigo::kObjHeroine), 240);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(mg_obj_get_x(maigo::kObjLifeFirst + i), 576 - 32 * i);
    EXPECT_EQ(mg_obj_get_anim(maigo::kObjLifeFirst + i), 330);
  }
  EXPECT_TRUE(mg_obj_test(maigo::kObjTimer, mg::kObjTime));
  EXPECT_EQ(m.runner.TimesPlayed("bgm:tamvik1\\bgm\\brise.wav"), 1);
  EXPECT_EQ(m.runner.TimesPlayed("voice:tamvik3\\voice\\2411.wav"), 1);

  auto shown = [](int s) { return mg_obj_test(maigo::kObjLabelFirst + s, mg::kObjHidden) == 0; };
  // Column c shows from its first step on, the columns before it stay; 120 steps each.
  for (int column = 0; column < 3; ++column) {
    ASSERT_TRUE(m.Until([&] { return m.Step() == maigo::kStepMemorise + column && g.wait > 0; },
                        100));
    for (int s = 0; s < 9; ++s) EXPECT_EQ(shown(s), s < 3 * column + 3) << column << " " << s;
  }
  ASSERT_TRUE(m.To(maigo::kStepPick));
  const int32_t timer = g.timer;
  EXPECT_GT(timer, 0);
  ASSERT_TRUE(m.runner.Step());
  EXPECT_EQ(g.timer, timer + m.runner.last_steps()) << "one count a step";
  EXPECT_EQ(mg_obj(maigo::kObjTimer)->value, g.timer);
  for (int s = 0; s < 9; ++s) EXPECT_FALSE(shown(s));
  EXPECT_EQ(mg_obj_get_anim(maigo::kObjHeroine), maigo::kAnimSearching);
  EXPECT_EQ(m.runner.TimesPlayed("voice:tamvik3\\voice\\2412.wav"), 1);
  EXPECT_EQ(g.timer_running, 1);
  EXPECT_EQ(Minigame().cursor.object, maigo::kObjCursor);
  for (int s = 0; s < 9; ++s) EXPECT_EQ(Minigame().cursor.targets[static_cast<size_t>(s)].enabled, 1);
  // The clue of round 0 names the sought child and is typed on a fresh page.
  const size_t sought_kind = static_cast<size_t>(g.kinds[static_cast<size_t>(g.order[0])]);
  const std::string clue = g.clue.data();
  EXPECT_NE(clue.find(maigo::Name(g.names[sought_kind])), std::string::npos);
  EXPECT_EQ(clue.find('\a'), std::string::npos);
  EXPECT_EQ(std::string(Minigame().printer.buffer.data()), "\r" + clue);
}

TEST(MaigoGameTest, JudgingRightAndWrongPicks) {
  MaigoGame m;
  ASSERT_TRUE(m.StartTo(mg::kModeStory, maigo::kStepPick));
  MaigoState& g = m.g();
  // Round 1 seeks the kind-6 child; round 0 another one; `other` is a third child.
  // The kind-6 child on the screen (in slot 4 unless it is there already).
  auto six = std::find(g.kinds.begin(), g.kinds.end(), 6);
  if (six - g.kinds.begin() >= 9) {
    std::swap(*six, g.kinds[4]);
    six = g.kinds.begin() + 4;
  }
  const int six_slot = static_cast<int>(six - g.kinds.begin());
  std::swap(*std::find(g.order.begin(), g.order.end(), six_slot), g.order[1]);
  const int first = g.order[0];
  int other = 0;
  while (other == six_slot || other == first) ++other;

  struct Case {
    const char* what;
    int slot;
    bool right;
    const char* sound;  // the static number played
  };
  const Case cases[] = {
      {"round 0: wrong pick of the kind-6 child", six_slot, false, "static:8"},
      {"round 0: right pick of a plain child", first, true, "static:4"},
      {"round 1: wrong pick of a plain child", other, false, "static:5"},
      {"round 1: right pick of the kind-6 child", six_slot, true, "static:7"},
  };
  int lives = 3;
  int round = 0;
  const int decides_before = m.runner.TimesPlayed("static:1");  // the menu's start
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int sought = m.Sought();
    ASSERT_EQ(g.found[static_cast<size_t>(c.slot)], 0);
    const int sound_before = m.runner.TimesPlayed(c.sound);
    ASSERT_TRUE(m.Pick(c.slot));
    EXPECT_EQ(m.runner.TimesPlayed(c.sound), sound_before + 1);
    if (c.right) {
      ++round;
      EXPECT_EQ(g.found[static_cast<size_t>(c.slot)], 1);
      EXPECT_TRUE(mg_obj_test(maigo::kObjChildFirst + c.slot, mg::kObjHidden));
      EXPECT_FALSE(Minigame().cursor.targets[static_cast<size_t>(c.slot)].enabled)
          << "a found child is no target";
    } else {
      --lives;
      EXPECT_EQ(g.found[static_cast<size_t>(c.slot)], 0);
      EXPECT_EQ(m.Sought(), sought) << "the same child is sought again";
      EXPECT_EQ(mg_obj_get_anim(maigo::kObjChildFirst + c.slot),
                g.kinds[static_cast<size_t>(c.slot)] * 17 + 20);
    }
    EXPECT_EQ(g.found_count, round);
    EXPECT_EQ(g.round, round);
    EXPECT_EQ(g.lives, lives);
    EXPECT_EQ(mg_obj_get_x(maigo::kObjHeroine), 576);
    EXPECT_EQ(mg_obj_get_y(maigo::kObjHeroine), 240);
    EXPECT_EQ(mg_obj_get_anim(maigo::kObjHeroine), maigo::kAnimSearching);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(mg_obj_test(maigo::kObjLifeFirst + i, mg::kObjHidden) != 0, i >= lives) << i;
      if (i < lives) {
        EXPECT_EQ(mg_obj_get_anim(maigo::kObjLifeFirst + i), 333 - lives) << i;
      }
    }
  }
  EXPECT_EQ(m.runner.TimesPlayed("static:1") - decides_before, 4)
      << "each pick decided with system01";
  EXPECT_GT(m.runner.TimesPlayed("static:6"), 4) << "footsteps while she walks";
  int right_voices = 0;
  for (const char* v : {"2413a", "2413b", "2413c", "2414a", "2414b", "2414c"}) {
    right_voices += m.runner.TimesPlayed(std::string("voice:tamvik3\\voice\\") + v + ".wav");
  }
  EXPECT_EQ(right_voices, 2);
  EXPECT_EQ(m.runner.TimesPlayed("voice:tamvik3\\voice\\2415.wav") +
                m.runner.TimesPlayed("voice:tamvik3\\voice\\2416.wav"),
            2);
}

// Whole games with the pick bot (the finder, or the default cursor item every time).
using Bot = testsupport::MaigoPickBot;

TEST(MaigoGameTest, WholeGameModeStoryFindsAllNine) {
  MaigoGame m;
  ASSERT_TRUE(m.StartTo(mg::kModeStory, maigo::kStepPick));
  m.runner.bot = Bot{};
  ASSERT_TRUE(m.Until([&] { return m.Step() >= maigo::kStepEndWait; }, 1000));
  m.runner.bot = nullptr;
  MaigoState& g = m.g();
  EXPECT_EQ(g.found_count, 9);
  EXPECT_EQ(g.lives, 3);
  EXPECT_EQ(g.result_time, g.timer);
  EXPECT_EQ(mg_obj(maigo::kObjTimer)->value, g.timer);
  for (int s = 0; s < 9; ++s) {
    EXPECT_EQ(mg_obj_get_x(maigo::kObjChildFirst + s), 64 + 64 * s);
    EXPECT_EQ(mg_obj_get_anim(maigo::kObjChildFirst + s),
              g.kinds[static_cast<size_t>(s)] * 17 + 21);
  }
  const int32_t time = g.timer;
  ASSERT_TRUE(m.runner.RunToEnd(200));
  const maigo::EndResult end = maigo::EndFor(time, true);
  EXPECT_EQ(mg_var_get(2), end.var2);
  EXPECT_EQ(mg_var_get(9), time < 3601 ? 1 : 0);
  EXPECT_EQ(m.runner.TimesPlayed(std::string("voice:") + end.voice), 1);
}

TEST(MaigoGameTest, DefaultPicksLoseThreeLives) {
  for (int mode : {mg::kModeStory, mg::kModeFreePlay}) {
    SCOPED_TRACE(mode);
    MaigoGame m;
    ASSERT_TRUE(m.StartTo(mode, maigo::kStepPick));
    ASSERT_NE(m.g().order[0], 0) << "the default item (slot 0) is not the child sought first";
    m.runner.bot = Bot{.finder = false};
    ASSERT_TRUE(m.Until([&] { return m.Step() >= maigo::kStepFadeOut; }, 400));
    m.runner.bot = nullptr;
    EXPECT_EQ(m.g().lives, 0);
    EXPECT_EQ(m.g().round, 0);
    EXPECT_EQ(m.g().result_time, 356400);
    EXPECT_EQ(mg_obj_get_anim(maigo::kObjHeroine), maigo::kAnimSad);
    EXPECT_EQ(m.runner.TimesPlayed("voice:tamvik3\\voice\\2421.wav"), 1);
    EXPECT_EQ(mg_var_get(2), 0);
    EXPECT_EQ(mg_var_get(9), 0);
    if (mode == mg::kModeStory) {
      ASSERT_TRUE(m.runner.RunToEnd(100));
    } else {
      EXPECT_EQ(Minigame().menu.phase, mg::kPhaseResult);
      EXPECT_EQ(mg_var_get(38), 7200) << "356400 does not rank";
      // Retry from the result: a fresh game behind the menu before play.
      ASSERT_TRUE(m.Until([&] { return Minigame().menu.step == 10011; }, 100));
      Minigame().cursor.selection = mg::kChoiceRetry;
      m.runner.Tap(kMgKeyDecide);
      ASSERT_TRUE(m.Until([&] { return m.Step() == maigo::kStepFadeIn; }, 100));
      ASSERT_TRUE(m.Until([&] { return Minigame().menu.step == 10011; }, 100));
      m.runner.Tap(kMgKeyDecide);
      ASSERT_TRUE(m.To(maigo::kStepPick));
      EXPECT_EQ(m.g().lives, 3);
      EXPECT_EQ(m.g().round, 0);
      for (int i = 0; i < 3; ++i) EXPECT_EQ(mg_obj_get_anim(maigo::kObjLifeFirst + i), 330);
      EXPECT_EQ(mg_obj_get_anim(maigo::kObjHeroine), maigo::kAnimSearching);
      EXPECT_LT(m.g().timer, 20);
    }
  }
}

// The thresholds on the real end: the last round set up, the timer set once it has stopped.
TEST(MaigoGameTest, EndThresholdsThroughTheTimer) {
  struct Case {
    int32_t time;
    int32_t var2;
    int32_t var9;
    const char* voice;
  };
  const Case cases[] = {
      {3600, 2, 1, "2418"}, {3601, 2, 0, "2419"}, {5400, 2, 0, "2419"},
      {5401, 1, 0, "2420"}, {7200, 1, 0, "2420"}, {7201, 0, 0, "2420"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time);
    MaigoGame m;
    ASSERT_TRUE(m.StartTo(mg::kModeStory, maigo::kStepPick));
    MaigoState& g = m.g();
    for (int n = 0; n < 8; ++n) {
      const int s = g.order[static_cast<size_t>(n)];
      g.found[static_cast<size_t>(s)] = 1;
      mg_obj_flag(maigo::kObjChildFirst + s, mg::kObjHidden, 1);
    }
    g.found_count = 8;
    g.round = 8;
    ASSERT_TRUE(m.Pick(m.Sought()));
    ASSERT_TRUE(m.To(maigo::kStepGatherWait));
    EXPECT_EQ(g.timer_running, 0);
    g.timer = c.time;
    ASSERT_TRUE(m.runner.RunToEnd(200));
    EXPECT_EQ(g.result_time, c.time);
    EXPECT_EQ(mg_var_get(2), c.var2);
    EXPECT_EQ(mg_var_get(9), c.var9);
    EXPECT_EQ(m.runner.TimesPlayed(std::string("voice:tamvik3\\voice\\") + c.voice + ".wav"), 1);
  }
}

TEST(MaigoGameTest, FreePlayResultRanksTheTimeThenQuits) {
  MaigoGame m;
  ASSERT_TRUE(m.StartTo(mg::kModeFreePlay, maigo::kStepPick));
  m.runner.bot = Bot{};
  ASSERT_TRUE(m.Until(
      [&] { return Minigame().menu.phase == mg::kPhaseResult && Minigame().menu.step == 10011; },
      1000));
  m.runner.bot = nullptr;
  const int32_t time = Minigame().maigo.result_time;
  ASSERT_GT(time, 0);
  ASSERT_LT(time, 3600) << "a quick bot ranks first";
  EXPECT_EQ(mg_var_get(36), time);
  EXPECT_EQ(mg_var_get(37), 3600);
  EXPECT_EQ(mg_var_get(38), 5400);
  EXPECT_EQ(mg_var_get(9), 1);
  EXPECT_EQ(mg_var_get(2), 1) << "free play: the result follows variable 9";
  Minigame().cursor.selection = mg::kChoiceQuit;
  m.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(m.runner.RunToEnd(200));
  EXPECT_EQ(mg_is_running(), 0);
}

}  // namespace
