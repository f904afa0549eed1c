// The swimming game and the test entry: the swimmer's physics, the obstacles, the courses, whole
// timed and free-play swims through the runner, the cheers and shimmer, and the test entry.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/app/doors.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_rank.h"
#include "minigames/framework/minigame_sound.h"
#include "minigames/swim/swim.h"
#include "testsupport/minigame_bots.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"
#include "testsupport/wav_writer.h"

namespace {

using testsupport::MinigameRunner;
using testsupport::OdWriter;

constexpr const char* kSwimOd = "tamvik3\\od\\mg_swim.od";
constexpr const char* kTestOd = "tamvik3\\od\\mg_test.od";

std::vector<uint8_t> Sound(uint32_t frames) {
  return testsupport::PcmWav(1, 22050, 16, std::vector<int16_t>(frames, 1500)).Bytes();
}

swim::SwimState& S() { return Minigame().swim; }

// The swim od (text 200, the menu's result voice, empty) on the runner, the game started with a
// procedure that does nothing, so tests drive the swim's parts one by one.
struct PartsRig {
  explicit PartsRig(OdWriter od = testsupport::UniversalOd({200})) {
    runner.WriteFile(kSwimOd, od.Build());
    runner.SetProc(1, [](int) { return 1; });
    ok = runner.Start(1, mg::kModeStory) && runner.Step();
    S() = swim::SwimState{};
    mg_obj_put(swim::kObjSwimmer, 0, 0, 90, swim::kPicGlide, 0);
    Swimmer(320, 384);
  }
  static void Swimmer(int32_t x, int32_t y) {
    S().x = x * 256;
    S().y = y * 256;
  }
  static void ClearObstacles() {
    S().obstacles = {};
    S().obstacle_count = 0;
  }
  static const swim::Obstacle& Ob(int i) { return S().obstacles[static_cast<size_t>(i)]; }

  MinigameRunner runner;
  bool ok = false;
};

constexpr uint32_t Held(uint32_t button) { return button << 16; }

TEST(SwimPhysics, OneStrokeGlidesToRestAfter128StepsFacingAhead) {
  PartsRig rig;
  ASSERT_TRUE(rig.ok);
  S().heading = 10;
  swim::SwimmerStep(kMgKeyExtra);
  EXPECT_EQ(S().speed, -256);
  EXPECT_EQ(S().heading, 9) << "one unit toward straight ahead";
  EXPECT_EQ(mg_obj_get_anim(swim::kObjSwimmer), swim::kPicStroke);
  EXPECT_EQ(rig.runner.TimesPlayed("se:" + std::string(swim::kSeStroke)), 1);
  EXPECT_GT(S().x, 320 * 256) << "a heading right of ahead moves right";
  for (int i = 1; i < 128; ++i) swim::SwimmerStep(0);
  EXPECT_EQ(S().speed, -8) << "one rise left after 127 steps";
  EXPECT_EQ(S().heading, 9);
  EXPECT_EQ(mg_obj_get_anim(swim::kObjSwimmer), swim::kPicStroke);
  const int32_t y_before = S().y;
  swim::SwimmerStep(0);
  EXPECT_EQ(S().speed, 0);
  EXPECT_EQ(S().heading, 0);
  EXPECT_EQ(mg_obj_get_anim(swim::kObjSwimmer), swim::kPicGlide);
  EXPECT_LT(S().y, 384 * 256);
  EXPECT_LE(S().y, y_before);
  const int32_t x_rest = S().x;
  const int32_t y_rest = S().y;
  for (int i = 0; i < 20; ++i) swim::SwimmerStep(0);
  EXPECT_EQ(S().x, x_rest) << "at rest";
  EXPECT_EQ(S().y, y_rest);
}

TEST(SwimPhysics, StrokeStraightAheadMovesTwoPixelsUp) {
  PartsRig rig;
  ASSERT_TRUE(rig.ok);
  swim::SwimmerStep(kMgKeyExtra);
  EXPECT_EQ(S().y, 382 * 256);
  EXPECT_EQ(S().x, 320 * 256);
}

TEST(SwimPhysics, TurningInputsAndTheirLimits) {
  struct Case {
    const char* name;
    uint32_t keys;
    int32_t turn;
  };
  const Case cases[] = {
      {"left held", Held(kMgKeyLeft), -3},
      {"decide held", Held(kMgKeyDecide), -3},
      {"right held", Held(kMgKeyRight), 3},
      {"cancel held", Held(kMgKeyCancel), 3},
      {"left and right", Held(kMgKeyLeft | kMgKeyRight), 0},
      {"a press is no turn", kMgKeyLeft | kMgKeyRight, 0},
  };
  PartsRig rig;
  ASSERT_TRUE(rig.ok);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    S().heading = 0;
    swim::SwimmerStep(c.keys);
    EXPECT_EQ(S().heading, c.turn);
    for (int i = 0; i < 50; ++i) swim::SwimmerStep(c.keys);
    EXPECT_EQ(S().heading, c.turn < 0 ? -112 : (c.turn > 0 ? 112 : 0)) << "held to -112..112";
  }
}

TEST(SwimPhysics, XIsHeldTo32And608) {
  for (int32_t heading : {-112, 112}) {
    SCOPED_TRACE(heading);
    PartsRig rig;
    ASSERT_TRUE(rig.ok);
    const uint32_t turn = Held(heading < 0 ? kMgKeyLeft : kMgKeyRight);
    S().heading = heading;
    for (int i = 0; i < 400; ++i) swim::SwimmerStep((i % 4 == 0 ? kMgKeyExtra : 0) | turn);
    EXPECT_EQ(S().x, (heading < 0 ? 32 : 608) * 256);
  }
}

// ---- Obstacles ----

TEST(SwimObstacles, Kind1TurnsAtTheEdgesAndFreePlayDrawsItsSpeed) {
  PartsRig rig;
  ASSERT_TRUE(rig.ok);
  rig.ClearObstacles();
  ASSERT_EQ(swim::AddEntry(1, 64, -1000, 0), 1);
  ASSERT_EQ(swim::AddEntry(1, 576, -900, 0), 1);
  EXPECT_EQ(rig.Ob(0).vx, 768);
  EXPECT_EQ(rig.Ob(1).vx, -768);
  S().obstacles[0].x = 638 * 256;
  S().obstacles[1].x = 2 * 256;
  swim::ObstaclesStep(1);
  EXPECT_EQ(rig.Ob(0).vx, -768) << "past 640";
  EXPECT_EQ(rig.Ob(1).vx, 768) << "past 0";
  swim::ObstaclesStep(1);
  EXPECT_EQ(rig.Ob(0).x, 638 * 256);
  EXPECT_EQ(rig.Ob(1).x, 2 * 256);

  std::set<int32_t> signs;
  for (int i = 0; i < 40; ++i) {
    rig.ClearObstacles();
    ASSERT_EQ(swim::AddEntry(1, 320, -1000, 1), 1);
    const int32_t v = rig.Ob(0).vx;
    EXPECT_GE(std::abs(v), 512);
    EXPECT_LE(std::abs(v), 1022);
    EXPECT_EQ(v % 2, 0);
    signs.insert(v < 0 ? -1 : 1);
  }
  EXPECT_EQ(signs.size(), 2u);
}

TEST(SwimObstacles, Kind2WatchesThenStrikesOnlyWhenTheSwimmerStaysNear) {
  for (bool stays : {true, false}) {
    SCOPED_TRACE(stays ? "stays" : "leaves");
    PartsRig rig;
    ASSERT_TRUE(rig.ok);
    rig.ClearObstacles();
    // The swimmer's strike point is (320, 320): 60 to the side is near but outside the strike box.
    ASSERT_EQ(swim::AddEntry(2, 380, 320, 0), 1);
    rig.Swimmer(320, 600);
    swim::ObstaclesStep(1);
    EXPECT_EQ(rig.Ob(0).phase, 0) << "far: waits";
    rig.Swimmer(320, 384);
    EXPECT_EQ(swim::ObstaclesStep(1), 0);
    EXPECT_EQ(mg_obj_get_anim(rig.Ob(0).object), swim::kPicAlert);
    if (!stays) rig.Swimmer(200, 384);
    int struck_at = 0;
    for (int i = 1; i <= 40 && struck_at == 0; ++i) {
      if (swim::ObstaclesStep(1) != 0) struck_at = i;
    }
    if (stays) {
      EXPECT_EQ(struck_at, 31);
      EXPECT_EQ(rig.Ob(0).kind, 5);
      EXPECT_EQ(S().knock, swim::kKnockFromRight);
    } else {
      EXPECT_EQ(struck_at, 0);
      EXPECT_EQ(rig.Ob(0).kind, 2);
      EXPECT_EQ(mg_obj_get_anim(rig.Ob(0).object), 42) << "back to waiting";
    }
  }
}

TEST(SwimObstacles, Kind3LaysFourAndKind4Circles) {
  PartsRig rig;
  ASSERT_TRUE(rig.ok);
  rig.ClearObstacles();
  ASSERT_EQ(swim::AddEntry(3, 480, -1000, 0), 1);
  ASSERT_EQ(S().obstacle_count, 4);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(rig.Ob(k).x, (352 + 64 * k) * 256) << k;
    EXPECT_EQ(rig.Ob(k).y, -1000 * 256);
    EXPECT_EQ(rig.Ob(k).kind, 3);
  }
  swim::ObstaclesStep(1);
  EXPECT_EQ(rig.Ob(0).x, 352 * 256) << "fixed across";

  rig.ClearObstacles();
  ASSERT_EQ(swim::AddEntry(4, 320, -1000, 0), 1);
  std::set<std::pair<int32_t, int32_t>> seen;
  for (int i = 0; i < 256; ++i) {
    swim::ObstaclesStep(1);
    const swim::Obstacle& o = rig.Ob(0);
    const double r = std::hypot(o.x - o.centre_x, o.y - o.centre_y) / 256.0;
    EXPECT_NEAR(r, 24.0, 0.05) << i;
    EXPECT_EQ(o.centre_x, 320 * 256);
    seen.insert({(o.x - o.centre_x) / 256, (o.y - o.centre_y) / 256});
  }
  EXPECT_GT(seen.size(), 40u) << "goes round";
}

TEST(SwimObstacles, EveryObstacleBobsAQuarterPixelReversingEvery18Steps) {
  PartsRig rig;
  ASSERT_TRUE(rig.ok);
  rig.ClearObstacles();
  ASSERT_EQ(swim::AddEntry(3, 320, -1000, 0), 1);
  std::vector<int32_t> ys;
  for (int i = 0; i < 40; ++i) {
    swim::ObstaclesStep(1);
    ys.push_back(rig.Ob(0).y);
  }
  EXPECT_EQ(ys[17], -1000 * 256 + 18 * 64);
  EXPECT_EQ(ys[35], -1000 * 256);
  EXPECT_EQ(ys[39], -1000 * 256 + 4 * 64);
}

TEST(SwimObstacles, StrikeBoxEdges) {
  struct Case {
    int32_t dx;
    int32_t dy;  // from the swimmer's point 64 above his centre
    bool strikes;
  };
  // The bob moves the obstacle a quarter pixel down before the test, which keeps its pixel.
  const Case cases[] = {
      {47, 0, true},  {48, 0, false}, {-47, 0, true}, {-48, 0, false},
      {0, 31, true},  {0, 32, false}, {0, -31, true}, {0, -32, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.dx) + "," + std::to_string(c.dy));
    PartsRig rig;
    ASSERT_TRUE(rig.ok);
    rig.ClearObstacles();
    ASSERT_EQ(swim::AddEntry(2, 320 + c.dx, 320 + c.dy, 0), 1);
    EXPECT_EQ(swim::ObstaclesStep(1), c.strikes ? 1 : 0);
    EXPECT_EQ(rig.Ob(0).kind, c.strikes ? 5 : 2);
    EXPECT_EQ(swim::ObstaclesStep(0), 0) << "no strike test while knocked back";
  }
}

TEST(SwimObstacles, AStruckObstacleNeverStrikesAgainAndGoesWithItsAnimation) {
  PartsRig rig(testsupport::UniversalOd({200}).Animation(
      swim::kPicStruck, {OdWriter::Simple(50, 4), OdWriter::Simple(51, 4)}));
  ASSERT_TRUE(rig.ok);
  rig.ClearObstacles();
  ASSERT_EQ(swim::AddEntry(4, 320, 320, 0), 1);
  const int obj = rig.Ob(0).object;
  ASSERT_EQ(swim::ObstaclesStep(1), 1);
  EXPECT_EQ(rig.runner.TimesPlayed("se:" + std::string(swim::kSeStruck)), 1);
  EXPECT_EQ(mg_obj_get_anim(obj), swim::kPicStruck);
  EXPECT_TRUE(mg_obj_test(obj, mg::kObjDepthScale));
  int gone_at = 0;
  for (int i = 1; i <= 30 && gone_at == 0; ++i) {
    S().knock = swim::kKnockNone;
    EXPECT_EQ(swim::ObstaclesStep(1), 0) << "the swimmer is still on it";
    mg_obj_update();
    if (rig.Ob(0).kind == 0) gone_at = i;
  }
  EXPECT_GT(gone_at, 8);
  EXPECT_LT(gone_at, 14);
  EXPECT_EQ(mg_obj_get_anim(obj), 0);
  EXPECT_EQ(rig.runner.TimesPlayed("se:" + std::string(swim::kSeStruck)), 1);
}

TEST(SwimObstacles, KnockBackLasts20StepsAwayFromTheObstacle) {
  for (int side : {1, -1}) {
    SCOPED_TRACE(side);
    PartsRig rig;
    ASSERT_TRUE(rig.ok);
    rig.ClearObstacles();
    ASSERT_EQ(swim::AddEntry(2, 320 + 20 * side, 320, 0), 1);
    S().speed = -200;
    ASSERT_EQ(swim::ObstaclesStep(1), 1);
    EXPECT_EQ(S().knock, side > 0 ? swim::kKnockFromRight : swim::kKnockFromLeft);
    EXPECT_EQ(mg_obj_get_anim(swim::kObjSwimmer), swim::kPicKnocked);
    EXPECT_EQ(mg_obj_test(swim::kObjSwimmer, mg::kObjMirrorX), side > 0 ? 1 : 0);
    EXPECT_EQ(rig.runner.TimesPlayed("se:" + std::string(swim::kSeSplash)), 1);
    int steps = 0;
    int32_t last_y = S().y;
    while (swim::KnockbackStep() != 0 && steps < 40) {
      ++steps;
      EXPECT_GT(S().y, last_y) << "pushed back";
      last_y = S().y;
    }
    EXPECT_EQ(steps + 1, 20);
    EXPECT_EQ(S().x, (320 - 20 * side) * 256);
    EXPECT_EQ(S().knock, swim::kKnockNone);
    EXPECT_EQ(mg_obj_get_anim(swim::kObjSwimmer), swim::kPicGlide);
    EXPECT_EQ(mg_obj_test(swim::kObjSwimmer, mg::kObjMirrorX), 0);
  }
}

// ---- Courses ----

// (x, y, kind) of the course's obstacles (a circling one by its centre), sorted.
std::vector<std::tuple<int32_t, int32_t, int32_t>> Course() {
  std::vector<std::tuple<int32_t, int32_t, int32_t>> out;
  for (int i = 0; i < S().obstacle_count; ++i) {
    const swim::Obstacle& o = S().obstacles[static_cast<size_t>(i)];
    out.emplace_back(o.centre_x / 256, o.centre_y / 256, o.kind);
  }
  std::sort(out.begin(), out.end());
  return out;
}

int32_t RowY(int row) { return -1536 + 64 * row; }

TEST(SwimCourse, FixedCourse) {
  PartsRig rig;
  ASSERT_TRUE(rig.ok);
  swim::BuildCourse(mg::kModeStory);
  std::vector<std::tuple<int32_t, int32_t, int32_t>> want;
  auto row_of_four = [&](int row, int32_t x) {
    for (int k = 0; k < 4; ++k) want.emplace_back(x - 128 + 64 * k, RowY(row), 3);
  };
  row_of_four(0, 160);
  row_of_four(0, 480);
  want.emplace_back(320, RowY(0), 4);
  want.emplace_back(64, RowY(5), 1);
  want.emplace_back(576, RowY(5), 1);
  want.emplace_back(320, RowY(9), 2);
  row_of_four(10, 160);
  row_of_four(10, 480);
  want.emplace_back(320, RowY(12), 1);
  row_of_four(15, 320);
  want.emplace_back(160, RowY(18), 4);
  want.emplace_back(480, RowY(18), 4);
  std::sort(want.begin(), want.end());
  EXPECT_EQ(Course(), want);
}

TEST(SwimCourse, FreeCourseShufflesEvenAndOddRowsApart) {
  const std::multiset<int32_t> even_kinds{3, 3, 3, 3, 3, 3, 3, 3, 1, 1, 0};
  const std::multiset<int32_t> odd_kinds{2, 2, 2, 2, 4, 4, 4, 4, 1, 1, 0};
  std::set<std::vector<int32_t>> orders;
  for (uint32_t seed : {1u, 77u, 4242u}) {
    SCOPED_TRACE(seed);
    PartsRig rig;
    ASSERT_TRUE(rig.ok);
    SeedRandom(seed);
    swim::BuildCourse(mg::kModeFreePlay);
    EXPECT_LE(S().obstacle_count, 50);
    std::map<int, std::vector<const swim::Obstacle*>> rows;
    for (int i = 0; i < S().obstacle_count; ++i) {
      const swim::Obstacle& o = S().obstacles[static_cast<size_t>(i)];
      const int32_t y = o.centre_y / 256;
      ASSERT_EQ((y + 1536) % 64, 0);
      rows[(y + 1536) / 64].push_back(&o);
    }
    std::vector<int32_t> kinds(22, 0);
    for (const auto& [row, obs] : rows) {
      ASSERT_GE(row, 0);
      ASSERT_LT(row, 22);
      const int32_t kind = obs[0]->kind;
      kinds[static_cast<size_t>(row)] = kind;
      ASSERT_EQ(obs.size(), kind == 3 ? 4u : 1u) << "row " << row;
      const int32_t x = obs[0]->centre_x / 256 + (kind == 3 ? 128 : 0);
      EXPECT_TRUE(x == 160 || x == 320 || x == 480) << x;
    }
    std::multiset<int32_t> even;
    std::multiset<int32_t> odd;
    for (int r = 0; r < 22; ++r) (r % 2 == 0 ? even : odd).insert(kinds[static_cast<size_t>(r)]);
    EXPECT_EQ(even, even_kinds);
    EXPECT_EQ(odd, odd_kinds);
    orders.insert(kinds);
  }
  EXPECT_EQ(orders.size(), 3u) << "the seeds give different courses";
}

// ---- Whole swims through the runner ----

struct SwimRun {
  SwimRun() {
    runner.WriteFile(kSwimOd, testsupport::UniversalOd({200}).Build());
    for (const char* se : {"tamvik3\\se\\system01.wav", "tamvik3\\se\\system03.wav"}) {
      runner.WriteFile(se, Sound(441));
    }
  }
  // Runs frames of `ms` until the condition or the limit.
  bool RunFast(uint32_t ms, const std::function<bool()>& until, int limit) {
    for (int i = 0; i < limit; ++i) {
      if (until()) return true;
      if (!runner.Step(ms)) return false;
    }
    return until();
  }
  const std::string LastVoice() const {
    std::string last;
    for (const std::string& s : runner.sounds_played()) {
      if (s.rfind("voice:", 0) == 0) last = s;
    }
    return last;
  }
  MinigameRunner runner;
};

TEST(SwimRun, TimedRunWithoutInputRunsOutOfTime) {
  SwimRun r;
  ASSERT_TRUE(r.runner.Start(1, mg::kModeStory));
  int32_t highest_scroll = 0;
  ASSERT_TRUE(r.RunFast(
      100,
      [&] {
        highest_scroll = std::max(highest_scroll, S().scroll);
        return S().step == 10029;
      },
      200));
  EXPECT_EQ(highest_scroll, 2000) << "the pan reached the far end";
  EXPECT_EQ(S().scroll, 0);
  EXPECT_LE(S().time, 1800);
  EXPECT_GT(S().time, 1790) << "counted from 1800 since the dive";
  EXPECT_EQ(r.runner.TimesPlayed("se:" + std::string(swim::kSeSplash)) +
                r.runner.TimesPlayed("static:5"),
            1)
      << "the dive";
  EXPECT_GE(r.runner.TimesPlayed("bgm:" + std::string(swim::kMusic)), 1);
  ASSERT_TRUE(r.RunFast(100, [] { return MiniGameIsRunning() == 0; }, 400));
  EXPECT_EQ(S().time, 0);
  EXPECT_EQ(mg_var_get(2), 0);
  EXPECT_EQ(mg_var_get(9), 1) << "as the rules have it: t below 1201";
  EXPECT_EQ(r.LastVoice(), "voice:tamvik3\\voice\\2361.wav");
  EXPECT_EQ(MiniGameResult(), 0);
}

TEST(SwimRun, TimedRunWithStrokesArrivesAndGlides) {
  SwimRun r;
  ASSERT_TRUE(r.runner.Start(1, mg::kModeStory));
  ASSERT_TRUE(r.RunFast(100, [] { return S().step == 10029; }, 200));
  r.runner.bot = testsupport::SwimStrokeBot{};
  bool glided = false;
  ASSERT_TRUE(r.RunFast(
      33,
      [&] {
        glided = glided || S().step == 10037;
        return S().step >= 10037 || MiniGameIsRunning() == 0;
      },
      1500));
  r.runner.bot = nullptr;
  ASSERT_TRUE(glided) << "arrived before the time ran out: t " << S().time;
  const int32_t t = S().time;
  EXPECT_GT(t, 0);
  ASSERT_TRUE(r.RunFast(33, [] { return MiniGameIsRunning() == 0; }, 300));
  EXPECT_EQ(mg_obj_get_x(swim::kObjSwimmer), 320) << "at the heroine";
  const char* voice = t < 300 ? "2361" : (t < 600 ? "2360" : "2359");
  EXPECT_EQ(r.LastVoice(), std::string("voice:tamvik3\\voice\\") + voice + ".wav");
  EXPECT_EQ(mg_var_get(2), t >= 600 ? 2 : 1);
  EXPECT_EQ(mg_var_get(9), t < 1201 ? 1 : 0);
}

// A free swim with the stroke bot against the ranking list `ranking` (best first): the time,
// the voice, the result, the ranking, the quit from the result menu and minigame.dat.
void FreePlayRun(SwimRun& r, std::vector<int32_t> ranking) {
  ASSERT_TRUE(r.runner.Start(1, mg::kModeFreePlay));
  ASSERT_TRUE(r.runner.RunUntil("menu before play", [] { return Minigame().menu.step == 10011; },
                                200));
  EXPECT_EQ(Minigame().menu.phase, mg::kPhaseBeforePlay);
  r.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(r.runner.RunUntil("swimming", [] { return S().step == 10029; }, 200));
  EXPECT_EQ(S().time, 0);
  r.runner.bot = testsupport::SwimStrokeBot{};
  int32_t t_seen = 0;
  ASSERT_TRUE(r.RunFast(
      33,
      [&] {
        if (S().step == 10029) t_seen = S().time;
        return S().step >= 10037;
      },
      3000));
  r.runner.bot = nullptr;
  const int32_t t = S().time;
  EXPECT_GT(t, 100) << "counted up";
  EXPECT_GE(t, t_seen);
  EXPECT_EQ(mg_obj_get_anim(swim::kObjGoal), swim::kPicGoalTurned);
  ASSERT_TRUE(r.runner.RunUntil("result menu", [] { return Minigame().menu.step == 10011; }, 300));
  const char* voice = t < ranking[0] ? "2362" : (t < 2400 ? "2363" : "2364");
  EXPECT_EQ(r.LastVoice(), std::string("voice:tamvik3\\voice\\") + voice + ".wav");
  EXPECT_EQ(Minigame().menu.phase, mg::kPhaseResult);
  EXPECT_EQ(mg_var_get(9), t < 1201 ? 1 : 0);
  EXPECT_EQ(mg_var_get(2), mg_var_get(9));
  ranking.push_back(t);
  std::stable_sort(ranking.begin(), ranking.end());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(mg_rank_get(i), ranking[static_cast<size_t>(i)]) << i;

  EXPECT_EQ(mg_cursor_get(), mg::kChoiceRetry);
  r.runner.Tap(kMgKeyDown);
  ASSERT_TRUE(r.runner.Run(3));
  ASSERT_EQ(mg_cursor_get(), mg::kChoiceQuit);
  r.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(r.runner.RunToEnd(60));
  const std::string dat = r.runner.tree().Read("install/save/minigame.dat");
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(testsupport::MinigameDatValue(dat, 21 + i), ranking[static_cast<size_t>(i)]) << i;
  }
}

TEST(SwimRun, FreePlayCountsUpRanksTheTimeAndQuitsFromTheResultMenu) {
  // The default list (the menu resets an empty one), and a saved list the swim beats.
  const std::vector<std::vector<int32_t>> saved_lists{{}, {5000, 6000, 7000}};
  for (const std::vector<int32_t>& saved : saved_lists) {
    SCOPED_TRACE(saved.empty() ? "defaults" : "a slow saved list");
    SwimRun r;
    if (!saved.empty()) {
      r.runner.tree().Write("install/save/minigame.dat",
                            testsupport::MinigameDat({{21, saved[0]}, {22, saved[1]}, {23, saved[2]}}));
    }
    FreePlayRun(r, saved.empty() ? std::vector<int32_t>{1200, 1500, 1800} : saved);
  }
}

TEST(SwimRun, FreePlayRetryAndQuitFromThePauseMenu) {
  for (bool retry : {true, false}) {
    SCOPED_TRACE(retry ? "retry" : "quit");
    SwimRun r;
    ASSERT_TRUE(r.runner.Start(1, mg::kModeFreePlay));
    ASSERT_TRUE(r.runner.RunUntil("menu before play", [] { return Minigame().menu.step == 10011; },
                                  200));
    r.runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(r.runner.RunUntil("swimming", [] { return S().step == 10029; }, 200));
    r.runner.Tap(kMgKeyExtra);
    ASSERT_TRUE(r.runner.Run(20));
    ASSERT_GT(S().time, 0);
    ASSERT_LT(S().y, 216 * 256);
    r.runner.Tap(kMgKeyMenu);
    ASSERT_TRUE(r.runner.RunUntil("pause menu", [] { return Minigame().menu.step == 10011; }, 60));
    const int32_t paused_time = S().time;
    r.runner.Tap(retry ? kMgKeyDown : kMgKeyUp);  // resume -> retry, or -> quit (wrapping)
    ASSERT_TRUE(r.runner.Run(3));
    ASSERT_EQ(mg_cursor_get(), retry ? mg::kChoiceRetry : mg::kChoiceQuit);
    EXPECT_EQ(S().time, paused_time) << "the swim waits while the menu is open";
    r.runner.Tap(kMgKeyDecide);
    if (!retry) {
      ASSERT_TRUE(r.runner.RunToEnd(60));
      continue;
    }
    ASSERT_TRUE(r.runner.RunUntil("set up again", [] { return S().step == 10001; }, 100));
    ASSERT_TRUE(r.runner.RunUntil("the menu before play again",
                                  [] { return Minigame().menu.step == 10011; }, 200));
    EXPECT_EQ(Minigame().menu.phase, mg::kPhaseBeforePlay);
    EXPECT_EQ(S().time, 0);
    EXPECT_EQ(S().y, 216 * 256);
    EXPECT_EQ(MiniGameIsRunning(), 1);
  }
}

TEST(SwimRun, MissingOdEndsWithResult0) {
  MinigameRunner runner;
  ASSERT_TRUE(runner.Start(1, mg::kModeStory));
  ASSERT_TRUE(runner.RunToEnd(5));
  EXPECT_EQ(MiniGameResult(), 0);
  EXPECT_STREQ(mg_end_reason(), "mg_obj_create");
}

// ---- Cheers and shimmer ----

TEST(SwimCheer, AStartsWhenNoVoicePlaysAndTheChoiceFollowsTheSeed) {
  std::set<std::string> chosen;
  for (uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
    PartsRig rig;
    ASSERT_TRUE(rig.ok);
    for (const char* cheer : swim::kCheers) rig.runner.WriteFile(cheer, Sound(22050 * 5));
    swim::CheerStep();
    EXPECT_EQ(mg_voice_playing(), 0) << "cheering off";
    S().cheering = 1;
    SeedRandom(seed);
    swim::CheerStep();
    ASSERT_EQ(mg_voice_playing(), 1);
    const std::vector<std::string>& played = rig.runner.sounds_played();
    ASSERT_FALSE(played.empty());
    const std::string first = played.back();
    chosen.insert(first);
    const size_t count = played.size();
    swim::CheerStep();
    EXPECT_EQ(played.size(), count) << "not while one plays";
    SeedRandom(seed);
    mg_voice_stop();
    swim::CheerStep();
    EXPECT_EQ(played.back(), first) << "the same seed, the same cheer";
  }
  EXPECT_GE(chosen.size(), 3u);
  for (const std::string& c : chosen) EXPECT_EQ(c.rfind("voice:tamvik3\\voice\\235", 0), 0u) << c;
}

TEST(SwimShimmer, PhaseGoesUpAndDownEvery12Steps) {
  PartsRig rig;
  ASSERT_TRUE(rig.ok);
  std::vector<int32_t> phases;
  for (int i = 1; i <= 12 * 13; ++i) {
    swim::ShimmerStep();
    if (i % 12 == 11) {
      EXPECT_EQ(S().shimmer_phase, phases.empty() ? 0 : phases.back());
    }
    if (i % 12 == 0) {
      phases.push_back(S().shimmer_phase);
      EXPECT_EQ(S().shimmer_offset, (S().shimmer_phase + 3) * 3);
    }
  }
  EXPECT_EQ(phases, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 5, 4, 3, 2, 1, 0, 1}));
}

// ---- The test entry ----

TEST(TestEntry, DecidePressedAndReleasedShowsTheNextAnimation) {
  MinigameRunner runner;
  runner.WriteFile(kTestOd, testsupport::UniversalOd().Build());
  ASSERT_TRUE(runner.Start(0, mg::kModeStory));
  ASSERT_TRUE(runner.Run(2));
  EXPECT_EQ(mg_obj_get_anim(100), 1);
  EXPECT_EQ(mg_obj_get_x(100), 128);
  EXPECT_EQ(mg_obj_get_y(100), 128);
  EXPECT_EQ(mg_obj(1)->value, 0);
  EXPECT_EQ(mg_obj(1)->digits, 4);
  EXPECT_TRUE(mg_obj_test(1, mg::kObjNumber));
  for (int i = 0; i < 3; ++i) {
    runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(runner.Run(3));
  }
  EXPECT_EQ(mg_obj_get_anim(100), 4);
  EXPECT_EQ(mg_obj(1)->value, 3);

  runner.Hold(kMgKeyDecide);
  ASSERT_TRUE(runner.Run(20));
  EXPECT_EQ(mg_obj_get_anim(100), 4) << "not before the release";
  runner.Hold(kMgKeyDecide, false);
  ASSERT_TRUE(runner.Run(3));
  EXPECT_EQ(mg_obj_get_anim(100), 5) << "a held decide advances once";

  Minigame().test_entry.n = 198;
  for (int i = 0; i < 2; ++i) {
    runner.Tap(kMgKeyDecide);
    ASSERT_TRUE(runner.Run(3));
  }
  EXPECT_EQ(Minigame().test_entry.n, 1) << "200 returns to 1";
  EXPECT_EQ(mg_obj(1)->value, 0);
  EXPECT_EQ(Minigame().menu.step, -1) << "no common menu";
  ASSERT_TRUE(runner.Run(30));
  EXPECT_EQ(MiniGameIsRunning(), 1) << "never ends by itself";

  runner.tree().Remove("install/save/minigame.dat");
  MiniGameEnd();
  EXPECT_EQ(MiniGameIsRunning(), 0);
  EXPECT_TRUE(runner.tree().Exists("install/save/minigame.dat"));
}

}  // namespace
