// The shooting game: spawning from the stage tables, the movers, the shot with its blocking
// scenery, the result, and (through the runner) the crosshair and whole games with an aim bot.

#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/app/doors.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/framework/minigame_od.h"
#include "minigames/framework/minigame_surface.h"
#include "minigames/shot/shot_game.h"
#include "minigames/shot/shot_state.h"
#include "minigames/shot/shot_tables.h"
#include "mg_fixture.h"
#include "testsupport/minigame_bots.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/shot_od.h"

namespace {

using mg_test::MgFixture;
using shot::Target;

// ---- Unit fixture: the od loaded, no program running ----

class ShotGame : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.opened);
    ASSERT_EQ(mg_screen_open(), 1);
    f.Write(testsupport::kShotOdPath, testsupport::ShotOd().Build());
    ASSERT_EQ(mg_obj_create(testsupport::kShotOdPath), 1);
  }
  void TearDown() override { mg_screen_close(); }

  static shot::ShotState& S() { return Minigame().shot; }
  static Target& T(int slot) { return S().targets[static_cast<size_t>(slot)]; }
  // Spawn chances until one spawns; its slot (-1 when none did within the limit).
  static int SpawnOne(int limit = 20000) {
    for (int i = 0; i < limit; ++i) {
      const int slot = shot::Spawn();
      if (slot >= 0) return slot;
    }
    return -1;
  }
  // A live target placed as a spawn would place it.
  static Target& Make(int slot, int32_t kind, int32_t layer, int32_t x, int32_t y, int32_t dx,
                      int32_t dy) {
    Target& t = T(slot);
    t = Target{};
    t.state = shot::kSpawned;
    t.kind = kind;
    t.layer = layer;
    t.x = x;
    t.y = y;
    t.base_y = y;
    t.dx = dx;
    t.dy = dy;
    t.object = 100 + slot;
    const int d = shot::DepthOf(layer);
    t.box_left = shot::kDepthTable[static_cast<size_t>(d)].box_left;
    t.box_top = shot::kDepthTable[static_cast<size_t>(d)].box_top;
    t.box_right = shot::kDepthTable[static_cast<size_t>(d)].box_right;
    t.box_bottom = shot::kDepthTable[static_cast<size_t>(d)].box_bottom;
    mg_obj_put(t.object, x, y, layer, 40, 0);
    return t;
  }

  MgFixture f;
};

// ---- Spawning ----

TEST_F(ShotGame, SpawnTakesTheFirstFreeSlotAndWaitsWhileAllAreBusy) {
  S().stage = 0;
  for (Target& t : S().targets) t.state = shot::kMovingOut;
  T(3).state = shot::kFree;
  T(7).state = shot::kFree;
  EXPECT_EQ(SpawnOne(), 3);
  EXPECT_EQ(S().spawned, 1);
  EXPECT_EQ(T(3).object, 103);

  T(7).state = shot::kMovingOut;
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(shot::Spawn(), -1) << "all 50 slots are busy";
  EXPECT_EQ(S().spawned, 1) << "a chance with no free slot counts nothing";

  T(40).state = shot::kFree;
  EXPECT_EQ(SpawnOne(), 40);
  EXPECT_EQ(S().spawned, 2);

  // The stage still spawns its full quota of 20, then nothing more.
  for (Target& t : S().targets) t.state = shot::kFree;
  while (S().spawned < 20) {
    ASSERT_GE(SpawnOne(), 0);
    for (Target& t : S().targets) t.state = shot::kFree;
  }
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(shot::Spawn(), -1) << "the quota is reached";
}

TEST_F(ShotGame, NoStageRunningSpawnsNothing) {
  S().stage = -1;
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(shot::Spawn(), -1);
  EXPECT_EQ(S().spawned, 0);
}

// A spawn point where it places a target: x, y, layer, mover kind, whether it goes right.
struct PointCase {
  int32_t x, y, layer, kind;
  bool right;
};
constexpr int32_t W = shot::kWalker, F = shot::kFlyer, P = shot::kPopUp, D = shot::kDiagonal;
const std::vector<PointCase> kCommonPoints = {
    {-96, 392, 507, W, true},  {-96, 392, 507, W, true},  {704, 344, 509, W, false},
    {704, 344, 509, W, false}, {-64, 312, 511, W, true},  {-64, 312, 511, W, true},
    {736, 208, 507, F, false}, {736, 208, 507, F, false}, {-96, 176, 509, F, true},
    {-96, 176, 509, F, true},  {704, 128, 511, F, false}, {704, 128, 511, F, false},
    {320, 720, 256, P, false},
};
const std::array<std::vector<PointCase>, 3> kOwnPoints = {{
    {{176, 320, 509, D, false},
     {480, 288, 511, D, false},
     {208, 272, 509, D, true},
     {536, 288, 511, D, true}},
    {{280, 272, 511, D, false}, {360, 304, 511, D, true}},
    {{304, 320, 509, D, true}, {104, 336, 509, D, false}, {296, 256, 509, D, true}},
}};

TEST_F(ShotGame, SeededSpawnsFollowTheStageTables) {
  const std::array<int32_t, 3> rates = {60, 50, 40};
  const std::map<int32_t, int32_t> anim_base = {{511, 0}, {509, 10}, {507, 20}, {256, 30}};
  const std::map<int32_t, std::array<int32_t, 4>> boxes = {{511, {-40, -48, 24, 0}},
                                                           {509, {-56, -80, 40, 0}},
                                                           {507, {-64, -128, 64, 0}},
                                                           {256, {-96, -224, 96, 0}}};
  for (int stage = 0; stage < 3; ++stage) {
    std::vector<PointCase> points = kCommonPoints;
    points.insert(points.end(), kOwnPoints[static_cast<size_t>(stage)].begin(),
                  kOwnPoints[static_cast<size_t>(stage)].end());
    std::set<int32_t> points_seen;
    std::set<int32_t> offsets_seen;
    for (uint32_t seed = 1; seed <= 160; ++seed) {
      SCOPED_TRACE("stage " + std::to_string(stage) + " seed " + std::to_string(seed));
      // The draws: the chance until it passes, the point, then the animation (not at the near
      // depth).
      SeedRandom(seed);
      int chances = 1;
      while ((GetRandom() & 4095) * rates[static_cast<size_t>(stage)] >= 4095) ++chances;
      const int32_t point = GetRandom() / 256 % static_cast<int32_t>(points.size());
      const PointCase& p = points[static_cast<size_t>(point)];
      const int32_t offset = p.layer == 256 ? 160 : 40 * (1 + GetRandom() % 4);

      S() = shot::ShotState{};
      S().stage = stage;
      SeedRandom(seed);
      for (int i = 1; i < chances; ++i) ASSERT_EQ(shot::Spawn(), -1);
      ASSERT_EQ(shot::Spawn(), 0);
      const Target& t = T(0);
      EXPECT_EQ(t.point, point);
      EXPECT_EQ(t.layer, p.layer);
      EXPECT_EQ(t.y, p.y);
      EXPECT_EQ(t.kind, p.kind);
      EXPECT_EQ(t.anim, anim_base.at(p.layer) + offset);
      EXPECT_EQ(t.state, shot::kSpawned);
      EXPECT_EQ(t.object, 100);
      const auto& box = boxes.at(p.layer);
      EXPECT_EQ((std::array<int32_t, 4>{t.box_left, t.box_top, t.box_right, t.box_bottom}), box);
      EXPECT_EQ(mg_obj_get_layer(100), p.layer);
      EXPECT_EQ(mg_obj_get_anim(100), t.anim);
      points_seen.insert(point);
      if (p.layer != 256) offsets_seen.insert(offset);
      switch (p.kind) {
        case shot::kWalker:
        case shot::kFlyer: {
          EXPECT_EQ(t.x, p.x);
          const int32_t speed = p.right ? t.dx : -t.dx;
          if (p.layer == 511) {
            EXPECT_EQ(speed, 2);
          } else {
            EXPECT_TRUE(speed == 2 || speed == 4 || speed == 6) << t.dx;
          }
          if (p.kind == shot::kFlyer) {
            EXPECT_TRUE(t.dy >= 32 && t.dy <= 62 && t.dy % 2 == 0) << t.dy;
            EXPECT_TRUE(t.phase_speed >= 1 && t.phase_speed <= 8) << t.phase_speed;
            EXPECT_EQ(mg_obj_get_anim(150), 9) << "the shadow";
            EXPECT_EQ(mg_obj(150)->parent, 100);
          }
          break;
        }
        case shot::kPopUp:
          EXPECT_EQ(t.anim, 190) << "the near depth is always base + 160";
          EXPECT_TRUE(t.x >= 120 && t.x <= 518 && t.x % 2 == 0) << t.x;
          EXPECT_EQ(t.dy, -8);
          break;
        case shot::kDiagonal:
          EXPECT_EQ(t.x, p.x);
          EXPECT_EQ(t.dy, p.layer == 511 ? -1 : -2);
          EXPECT_EQ(t.dx, p.right ? -t.dy : t.dy);
          break;
      }
    }
    EXPECT_EQ(points_seen.size(), points.size()) << "every point of stage " << stage;
    EXPECT_EQ(offsets_seen, (std::set<int32_t>{40, 80, 120, 160}));
  }
}

// ---- Movers ----

TEST_F(ShotGame, MoversFollowTheirPathsAndFreeTheirSlots) {
  struct At {
    int step;
    int32_t x, y;
  };
  struct Case {
    const char* name;
    int32_t kind, layer, x, y, dx, dy;
    std::vector<At> at;
    int freed;  // the step in which the slot is freed
  };
  const std::vector<Case> cases = {
      {"walker leaving left", W, 509, 0, 300, -4, 0, {{1, -4, 300}, {16, -64, 300}}, 17},
      {"far walker leaving right", W, 511, 640, 300, 2, 0, {{1, 642, 300}, {32, 704, 300}}, 33},
      {"fast walker leaving right", W, 507, 640, 300, 6, 0, {{10, 700, 300}}, 11},
      {"pop-up", P, 256, 300, 720, 0, -8,
       {{1, 300, 712}, {32, 300, 464}, {62, 300, 464}, {63, 300, 472}, {93, 300, 712}}, 94},
      {"pop-up downwards", P, 256, 300, 200, 0, 8, {{32, 300, 456}, {93, 300, 208}}, 94},
      {"far diagonal", D, 511, 300, 300, -1, -1, {{32, 268, 268}, {62, 268, 268}, {93, 299, 299}},
       94},
      {"reversed diagonal", D, 509, 300, 300, 2, -2, {{32, 364, 236}, {63, 362, 238}}, 94},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    S() = shot::ShotState{};
    Make(5, c.kind, c.layer, c.x, c.y, c.dx, c.dy);
    size_t next = 0;
    int freed = 0;
    for (int step = 1; step <= 400 && freed == 0; ++step) {
      shot::MoveTargets();
      if (T(5).state == shot::kFree) {
        freed = step;
        break;
      }
      if (next < c.at.size() && c.at[next].step == step) {
        EXPECT_EQ(T(5).x, c.at[next].x) << "step " << step;
        EXPECT_EQ(T(5).y, c.at[next].y) << "step " << step;
        EXPECT_EQ(mg_obj_get_x(105), c.at[next].x);
        EXPECT_EQ(mg_obj_get_y(105), c.at[next].y);
        ++next;
      }
    }
    EXPECT_EQ(next, c.at.size());
    EXPECT_EQ(freed, c.freed);
    EXPECT_EQ(mg_obj_get_anim(105), 0) << "the object is cleared";
  }
}

TEST_F(ShotGame, FlyerBobsOnTheSineAndTakesItsShadowAlong) {
  S().stage = 0;
  uint32_t seed = 1;
  // The first seed that spawns a flyer.
  for (;; ++seed) {
    ASSERT_LT(seed, 500u);
    S() = shot::ShotState{};
    S().stage = 0;
    SeedRandom(seed);
    ASSERT_EQ(SpawnOne(), 0);
    if (T(0).kind == shot::kFlyer) break;
  }
  const Target start = T(0);
  int32_t x = start.x;
  int steps = 0;
  while (T(0).state != shot::kFree && steps < 1000) {
    shot::MoveTargets();
    ++steps;
    x += start.dx;
    if (T(0).state == shot::kFree) break;
    const int32_t phase = (start.phase_speed * steps) & 0xFF;
    ASSERT_EQ(T(0).y, start.base_y + static_cast<int32_t>(int64_t{start.dy} * mg_sin(phase) / 65536))
        << "step " << steps;
    ASSERT_EQ(T(0).x, x);
    ASSERT_EQ(mg_obj(150)->parent, 100) << "the shadow follows";
  }
  EXPECT_TRUE(start.dx < 0 ? x < -64 : x > 704) << "freed off screen at " << x;
  EXPECT_EQ(mg_obj_get_anim(150), 0) << "the shadow goes with it";
}

TEST_F(ShotGame, HitTargetsFallOverOrDown) {
  // Walkers, pop-ups and diagonals fall over about their bottom edge, 3 a step; freed past 64.
  for (int32_t kind : {W, P, D}) {
    SCOPED_TRACE(kind);
    S() = shot::ShotState{};
    Make(2, kind, 507, 300, 400, -2, -2).state = shot::kJustHit;
    shot::MoveTargets();
    EXPECT_EQ(T(2).state, shot::kFalling);
    EXPECT_EQ(T(2).kind, shot::kFallingOver);
    EXPECT_EQ(mg_obj(102)->flags & (mg::kObjRotate | mg::kObjEdgePivot),
              mg::kObjRotate | mg::kObjEdgePivot);
    int freed = 0;
    for (int n = 1; n <= 40; ++n) {
      shot::MoveTargets();
      if (T(2).state == shot::kFree) {
        freed = n;
        break;
      }
      ASSERT_EQ(mg_obj(102)->tilt, 3 * n);
      ASSERT_EQ(T(2).x, 300) << "it stays where it was hit";
    }
    EXPECT_EQ(freed, 22) << "the tilt of 66 passes 64";
  }
  // Flyers drop: dy from -12, one more each step, y + dy / 2, tilt + 2; freed below 608.
  S() = shot::ShotState{};
  Make(4, F, 509, 300, 300, -2, 40).state = shot::kJustHit;
  shot::MoveTargets();
  EXPECT_EQ(T(4).kind, shot::kFallingDown);
  int32_t y = 300, dy = -12, tilt = 0;
  int expected_free = 0;
  for (int n = 1; n < 200 && expected_free == 0; ++n) {
    dy += 1;
    y += dy / 2;
    tilt += 2;
    if (y > 608) {
      expected_free = n;
      break;
    }
    shot::MoveTargets();
    ASSERT_EQ(T(4).y, y) << "step " << n;
    ASSERT_EQ(mg_obj(104)->tilt, tilt);
  }
  shot::MoveTargets();
  EXPECT_EQ(T(4).state, shot::kFree) << "freed in step " << expected_free;
}

// ---- The shot ----

// Stage 0's pieces as the game places them: 16 (mask 1) at 200, 250 on layer 508 with a
// transparent hole at 296-303, 330-337 on screen; 17 (mask 2) at 420, 200 on layer 510.
class ShotShoot : public ShotGame {
 protected:
  void SetUp() override {
    ShotGame::SetUp();
    S().stage = 0;
    mg_obj_put(16, 200, 250, 508, 16, 0);
    mg_obj_put(17, 420, 200, 510, 17, 0);
    ASSERT_EQ(mg_fill_pixel(16, 96, 80, 8, 8, mg_color_key()), 1);
    mg_obj_update();
  }
  // A live target whose box holds (sx, sy).
  static void TargetAt(int slot, int32_t layer, int32_t sx, int32_t sy) {
    Make(slot, W, layer, sx, sy + 4, -2, 0).state = shot::kMovingOut;
  }
};

TEST_F(ShotShoot, SceneryBlocksOnlyWhenAllFiveProbesAreOpaque) {
  struct Case {
    const char* name;
    int32_t sx, sy, layer;
    bool hit;
  };
  const std::vector<Case> cases = {
      {"mask 1, all opaque: 511 behind", 280, 330, 511, false},
      {"mask 1, all opaque: 509 behind", 280, 330, 509, false},
      {"mask 1, all opaque: 507 in front", 280, 330, 507, true},
      {"mask 1, all opaque: 256 in front", 280, 330, 256, true},
      {"one probe on the hole", 300, 310, 509, true},
      {"one probe past the left edge", 210, 330, 511, true},
      {"one probe past the bottom edge", 280, 390, 511, true},
      {"mask 2: 511 behind", 500, 280, 511, false},
      {"mask 2: 509", 500, 280, 509, true},
      {"mask 2: 507", 500, 280, 507, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (Target& t : S().targets) t = Target{};
    S().hits = 0;
    TargetAt(9, c.layer, c.sx, c.sy);
    EXPECT_EQ(shot::Shoot(c.sx, c.sy), c.hit ? 9 : -1);
    EXPECT_EQ(S().hits, c.hit ? 1 : 0);
    EXPECT_EQ(T(9).state, c.hit ? shot::kJustHit : shot::kMovingOut);
  }
}

TEST_F(ShotShoot, OnlyTheNearestTargetUnderTheShotIsHit) {
  TargetAt(3, 511, 100, 100);
  TargetAt(4, 509, 100, 100);
  TargetAt(6, 507, 100, 100);
  TargetAt(8, 507, 100, 100);
  EXPECT_EQ(shot::Shoot(100, 100), 6) << "507 before 509 and 511; the lower slot of equals";
  EXPECT_EQ(T(8).state, shot::kMovingOut);
  EXPECT_EQ(T(4).state, shot::kMovingOut);
  // The hit effect: object + 50, one layer nearer, depth rank 2, gone at its animation's end.
  EXPECT_EQ(mg_obj_get_layer(156), 506);
  EXPECT_EQ(mg_obj_get_anim(156), 242);
  EXPECT_EQ(mg_obj(156)->flags, mg::kObjDeleteAtEnd);
  EXPECT_EQ(mg_obj_get_x(156), 100);
  EXPECT_EQ(mg_obj_get_y(156), 104);
  EXPECT_EQ(shot::Shoot(100, 100), 8) << "a hit target is no longer live";
  EXPECT_EQ(shot::Shoot(100, 100), 4);
  EXPECT_EQ(shot::Shoot(100, 100), 3);
  EXPECT_EQ(mg_obj_get_anim(153), 240);
  EXPECT_EQ(shot::Shoot(100, 100), -1);
  EXPECT_EQ(S().hits, 4);
}

TEST_F(ShotShoot, TheBoxIsWidenedBy24OnEverySide) {
  // A far target at 300, 100: box 260-324 x 52-100, so hits from 236-348 x 28-124.
  struct Case {
    int32_t sx, sy;
    bool hit;
  };
  for (const Case& c : {Case{236, 80, true}, Case{235, 80, false}, Case{348, 80, true},
                        Case{349, 80, false}, Case{300, 28, true}, Case{300, 27, false},
                        Case{300, 124, true}, Case{300, 125, false}}) {
    SCOPED_TRACE(std::to_string(c.sx) + "," + std::to_string(c.sy));
    Make(1, W, 511, 300, 100, -2, 0).state = shot::kMovingOut;
    EXPECT_EQ(shot::Shoot(c.sx, c.sy), c.hit ? 1 : -1);
  }
}

TEST_F(ShotShoot, WithNoStageRunningNothingBlocks) {
  // Between stages no stage row is read: the opaque piece does not protect the far target.
  S().stage = -1;
  EXPECT_EQ(shot::BlockMask(280, 330), 0u);
  TargetAt(9, 511, 280, 330);
  EXPECT_EQ(shot::Shoot(280, 330), 9);
}

// ---- The result ----

TEST(ShotResult, HitsGiveVariables2And9) {
  MgFixture f;
  struct Case {
    int32_t hits, var2, var9;
  };
  for (const Case& c : {Case{94, 2, 0}, Case{95, 2, 1}, Case{79, 1, 0}, Case{80, 2, 0},
                        Case{59, 0, 0}, Case{60, 1, 0}, Case{100, 2, 1}, Case{0, 0, 0}}) {
    SCOPED_TRACE(c.hits);
    shot::SetResult(c.hits);
    EXPECT_EQ(mg_var_get(2), c.var2);
    EXPECT_EQ(mg_var_get(9), c.var9);
  }
}

// ---- Through the program ----

struct Play {
  explicit Play(int mode) {
    runner.WriteFile(testsupport::kShotOdPath, testsupport::ShotOd().Build());
    started = runner.Start(7, mode);
  }
  // Runs to the menu before play and chooses start; true once play runs.
  bool PassStartMenu() {
    if (!runner.RunUntil("menu choice", [] { return Minigame().menu.step == 10011; }, 200)) {
      return false;
    }
    runner.Tap(kMgKeyDecide);
    return runner.RunUntil("play", [] { return Minigame().menu.phase == mg::kPhasePlaying &&
                                                Minigame().menu.answer == mg::kMenuPlay; },
                           100);
  }
  shot::ShotState& S() { return Minigame().shot; }

  testsupport::MinigameRunner runner;
  bool started = false;
};

TEST(ShotProgram, MenuPointerAndCounterAndCrosshair) {
  Play p(mg::kModeStory);
  ASSERT_TRUE(p.started);
  ASSERT_TRUE(p.runner.RunUntil("menu", [] { return Minigame().menu.step == 10011; }, 200));
  EXPECT_EQ(mg_obj(199)->flags & ~mg::kObjAnimEnded, mg::kObjPointer)
      << "the pointer shows while the menu is open";
  EXPECT_EQ(mg_obj_get_anim(199), 495);
  EXPECT_EQ(mg_obj(1)->flags & ~mg::kObjAnimEnded, mg::kObjNumber);
  EXPECT_EQ(mg_obj(1)->digits, 3);
  EXPECT_EQ(mg_obj_get_anim(1), 400);
  EXPECT_EQ(Minigame().fw.letterbox, 1);
  const Rect clip = Minigame().screen.clip;
  EXPECT_EQ((std::array<int32_t, 4>{clip.left, clip.top, clip.right, clip.bottom}),
            (std::array<int32_t, 4>{0, 16, 640, 464}));
  EXPECT_EQ(p.runner.TimesPlayed("bgm:tamvik1\\bgm\\minigame.wav"), 1);
  ASSERT_TRUE(p.PassStartMenu());
  ASSERT_TRUE(p.runner.Step());
  EXPECT_EQ(mg_obj(199)->flags, 0u) << "hidden again";

  struct Case {
    const char* name;
    int32_t x, y;
    uint32_t keys;
    int32_t want_x, want_y;
  };
  for (const Case& c : {Case{"right", 100, 200, kMgKeyRight, 260, 200},
                        Case{"right to the edge", 600, 200, kMgKeyRight, 639, 200},
                        Case{"left and right: left", 400, 200, kMgKeyLeft | kMgKeyRight, 240, 200},
                        Case{"up and down: up", 300, 300, kMgKeyUp | kMgKeyDown, 300, 140},
                        Case{"down to the edge", 300, 400, kMgKeyDown, 300, 479}}) {
    SCOPED_TRACE(c.name);
    p.runner.Pointer(c.x, c.y);
    ASSERT_TRUE(p.runner.Step());
    ASSERT_EQ(mg_mouse_x(), c.x);
    p.runner.Hold(c.keys);
    int steps = 0;
    while (steps < 10) {
      ASSERT_TRUE(p.runner.Step());
      steps += p.runner.last_steps();
    }
    p.runner.Hold(c.keys, false);  // up from the next frame
    EXPECT_EQ(steps, 10);
    EXPECT_EQ(mg_mouse_x(), c.want_x);
    EXPECT_EQ(mg_mouse_y(), c.want_y);
    EXPECT_EQ(mg_obj_get_x(2), c.want_x);
    EXPECT_EQ(mg_obj_get_y(2), c.want_y);
    ASSERT_TRUE(p.runner.Run(2));
    EXPECT_EQ(mg_mouse_x(), c.want_x) << "the pointer stays where the game put it";
    EXPECT_EQ(mg_mouse_y(), c.want_y);
  }

  // A click plays the shot and redraws the counter.
  p.S().stage = 0;
  p.S().targets[0] = Target{};
  Target& t = p.S().targets[0];
  t.state = shot::kMovingOut;
  t.layer = 256;
  t.x = 320;
  t.y = 300;
  t.kind = shot::kPopUp;
  t.dy = 0;
  t.box_left = -96;
  t.box_top = -224;
  t.box_right = 96;
  t.object = 100;
  p.runner.Pointer(320, 240);
  p.runner.MouseButton(0, true);
  ASSERT_TRUE(p.runner.Step());
  p.runner.MouseButton(0, false);
  ASSERT_TRUE(p.runner.Run(2));
  EXPECT_EQ(p.S().hits, 1);
  EXPECT_EQ(mg_obj(1)->value, 1);
  EXPECT_EQ(p.runner.TimesPlayed("static:5"), 1) << "the shot";
  EXPECT_EQ(p.runner.TimesPlayed("static:4"), 1) << "the hit";
}

TEST(ShotProgram, RetryFromThePauseMenuStartsAnew) {
  Play p(mg::kModeFreePlay);
  ASSERT_TRUE(p.started);
  ASSERT_TRUE(p.PassStartMenu());
  ASSERT_TRUE(p.runner.RunUntil("stage 0", [&p] { return p.S().stage == 0; }, 200));
  p.S().hits = 7;
  p.runner.Tap(kMgKeyMenu);
  ASSERT_TRUE(p.runner.RunUntil("pause menu", [] { return Minigame().menu.step == 10011; }, 60));
  const int32_t stage_step = p.S().step;
  EXPECT_EQ(mg_obj(199)->flags & ~mg::kObjAnimEnded, mg::kObjPointer);
  p.runner.Tap(kMgKeyDown);
  ASSERT_TRUE(p.runner.Run(2));
  ASSERT_EQ(mg_cursor_get(), mg::kChoiceRetry);
  p.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(p.runner.RunUntil("restarted", [&p, stage_step] { return p.S().step != stage_step; }, 100));
  EXPECT_EQ(p.S().hits, 0);
  EXPECT_EQ(p.S().stage, -1);
  EXPECT_EQ(p.S().pointer_shown, 0);
  EXPECT_EQ(mg_obj_get_anim(199), 0);
  EXPECT_EQ(Minigame().menu.phase, mg::kPhaseBeforePlay) << "the menu before play comes again";
  ASSERT_TRUE(p.PassStartMenu());
  ASSERT_TRUE(p.runner.RunUntil("stage 0 again", [&p] { return p.S().stage == 0; }, 200));
}

using AimBot = testsupport::ShotAimBot;

// Runs frames of six steps until the game has ended (or a menu step is reached when `until` says
// so); records the most targets each stage spawned.
bool RunGame(Play& p, const std::function<bool()>& until, std::map<int32_t, int32_t>* spawned) {
  for (int frame = 0; frame < 3000; ++frame) {
    if (MiniGameIsRunning() == 0 || (until && until())) return true;
    if (!p.runner.Step(100)) return false;
    if (spawned != nullptr && MiniGameIsRunning() != 0 && p.S().stage >= 0) {
      int32_t& n = (*spawned)[p.S().stage];
      n = std::max(n, p.S().spawned);
    }
  }
  return false;
}

TEST(ShotProgram, AimBotClearsThreeStagesInStoryMode) {
  Play p(mg::kModeStory);
  ASSERT_TRUE(p.started);
  ASSERT_TRUE(p.PassStartMenu());
  AimBot bot;
  p.runner.bot = [&bot](testsupport::MinigameRunner& r) { bot(r); };
  std::map<int32_t, int32_t> spawned;
  ASSERT_TRUE(RunGame(p, nullptr, &spawned));
  EXPECT_EQ(spawned, (std::map<int32_t, int32_t>{{0, 20}, {1, 30}, {2, 50}}));
  EXPECT_EQ(mg_var_get(2), 2) << "80 hits or more";
  EXPECT_GE(p.S().hits, 80);
  EXPECT_EQ(mg_var_get(9), p.S().hits > 94 ? 1 : 0);
  EXPECT_EQ(p.runner.TimesPlayed("se:tamvik3\\se\\shot10.wav"), 2) << "two scrolls";
  EXPECT_EQ(p.runner.TimesPlayed("se:tamvik3\\se\\shot11.wav"), 2);
  EXPECT_EQ(p.S().scroll, 1600);
}

TEST(ShotProgram, WithoutInputTheGameEndsWithNoHits) {
  Play p(mg::kModeStory);
  ASSERT_TRUE(p.started);
  ASSERT_TRUE(p.PassStartMenu());
  ASSERT_TRUE(RunGame(p, nullptr, nullptr));
  EXPECT_EQ(p.S().hits, 0);
  EXPECT_EQ(mg_var_get(2), 0);
  EXPECT_EQ(mg_var_get(9), 0);
  EXPECT_EQ(p.runner.TimesPlayed("static:5"), 0) << "no shot";
  EXPECT_EQ(Minigame().fw.brightness, 0) << "faded out before the end";
}

TEST(ShotProgram, FreePlayShowsTheResultAndRanksTheHits) {
  Play p(mg::kModeFreePlay);
  ASSERT_TRUE(p.started);
  ASSERT_TRUE(p.PassStartMenu());
  AimBot bot;
  p.runner.bot = [&bot](testsupport::MinigameRunner& r) { bot(r); };
  ASSERT_TRUE(RunGame(p, [] { return Minigame().menu.phase == mg::kPhaseResult &&
                                      Minigame().menu.step == 10011; },
                      nullptr));
  ASSERT_EQ(MiniGameIsRunning(), 1);
  p.runner.bot = nullptr;
  const int32_t hits = p.S().hits;
  EXPECT_GE(hits, 80);
  EXPECT_EQ(mg_obj(199)->flags & ~mg::kObjAnimEnded, mg::kObjPointer)
      << "the pointer is shown on the result";
  for (int i = 0; i < 4 && mg_cursor_get() != mg::kChoiceQuit; ++i) {
    p.runner.Tap(kMgKeyDown);
    ASSERT_TRUE(p.runner.Run(2));
  }
  ASSERT_EQ(mg_cursor_get(), mg::kChoiceQuit);
  p.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(p.runner.RunToEnd(200));
  const std::array<int32_t, 3> ranks = {mg_var_get(39), mg_var_get(40), mg_var_get(41)};
  EXPECT_TRUE(ranks[0] == hits || ranks[1] == hits || ranks[2] == hits)
      << ranks[0] << " " << ranks[1] << " " << ranks[2];
  EXPECT_EQ(ranks[0], std::max(hits, 80));
}

}  // namespace
