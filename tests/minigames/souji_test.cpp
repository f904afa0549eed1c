// The cleaning game: the course's rows and patterns, sections, tables, moves and collisions on
// the framework's tile map, and the procedure on the runner (set-up, score, crash, goal, result,
// the whole course under an autopilot).

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <array>
#include <span>
#include <string>
#include <vector>

#include "engine/app/context.h"
#include "engine/files/random.h"
#include "minigames/framework/minigame_cursor.h"
#include "minigames/framework/minigame_draw.h"
#include "minigames/framework/minigame_framework.h"
#include "minigames/framework/minigame_input.h"
#include "minigames/framework/minigame_menu.h"
#include "minigames/framework/minigame_object.h"
#include "minigames/minigame_context.h"
#include "minigames/souji/souji_course.h"
#include "minigames/souji/souji_game.h"
#include "mg_fixture.h"
#include "testsupport/minigame_bots.h"
#include "testsupport/minigame_runner.h"
#include "testsupport/od_writer.h"

namespace {

using souji::SoujiState;

// ---- The course without the procedure: the map open over the state's cells, scroll 32, 0 ----

struct CourseRig : mg_test::MgFixture {
  CourseRig() {
    souji::ResetCourse(s);
    mg_map_open(std::span<const uint16_t>(s.cells), 0, souji::kTileW, souji::kTileH, souji::kCols,
                souji::kStartRow, souji::kCols, souji::kRows);
    mg_map_scroll(souji::kScrollX, 0);
    Minigame().sound.played = [this](const std::string& what) { sounds.push_back(what); };
  }
  // A fresh course, objects and sound record (one rig serves a table of cases).
  void Reset() {
    souji::ResetCourse(s);
    mg_obj_clear_all();
    sounds.clear();
  }
  uint16_t Cell(int r, int c) const { return s.cells[static_cast<size_t>(r * souji::kCols + c)]; }
  void SetCell(int r, int c, uint16_t v) { s.cells[static_cast<size_t>(r * souji::kCols + c)] = v; }
  int Count(const std::string& part) const {
    return static_cast<int>(std::count_if(sounds.begin(), sounds.end(), [&](const std::string& w) {
      return w.find(part) != std::string::npos;
    }));
  }
  // Runs the current pattern into ring row 0 (refreshed before each row) until it ends; the
  // rows it wrote.
  std::vector<std::array<uint16_t, souji::kCols>> PatternRows(int limit = 16) {
    std::vector<std::array<uint16_t, souji::kCols>> rows;
    for (int k = 0; k < limit; ++k) {
      souji::FreshRow(s, 0);
      const bool ended = souji::RunPattern(s, 0);
      std::array<uint16_t, souji::kCols> row{};
      for (int c = 0; c < souji::kCols; ++c) row[static_cast<size_t>(c)] = Cell(0, c);
      rows.push_back(row);
      if (ended) return rows;
    }
    ADD_FAILURE() << "pattern " << s.pattern << " did not end within " << limit << " rows";
    return rows;
  }

  SoujiState& s = Minigame().souji;
  std::vector<std::string> sounds;
};

bool IsFreshExceptWalls(const std::array<uint16_t, souji::kCols>& row) {
  if (row[9] != souji::kEdge) return false;
  for (int c = 0; c < 9; ++c) {
    const uint16_t v = row[static_cast<size_t>(c)];
    if (v != souji::kFloor && v != souji::kWall && v != souji::kFrontTile) return false;
  }
  return true;
}

std::vector<int> WallColumns(const std::array<uint16_t, souji::kCols>& row) {
  std::vector<int> walls;
  for (int c = 0; c < 9; ++c) {
    if (row[static_cast<size_t>(c)] == souji::kWall) walls.push_back(c);
  }
  return walls;
}

TEST(SoujiCourse, PatternsZeroToSevenWriteTheirLeadRowsAndOneRowFromTheGenerator) {
  CourseRig rig;
  for (uint32_t seed : {1u, 77u, 40503u}) {
    for (int p = 0; p < 8; ++p) {
      SCOPED_TRACE("pattern " + std::to_string(p) + " seed " + std::to_string(seed));
      rig.Reset();
      rig.s.pattern = p;
      Ctx().random.Seed(seed);
      GameRandom ref;
      ref.Seed(seed);
      const auto rows = rig.PatternRows();
      const size_t lead = p == 2 ? 2 : 1;
      ASSERT_EQ(rows.size(), lead + 1);
      for (const auto& row : rows) EXPECT_TRUE(IsFreshExceptWalls(row));
      for (size_t k = 0; k < lead; ++k) EXPECT_TRUE(WallColumns(rows[k]).empty());

      std::vector<int> walls;
      int kind = 0;
      int column = 0;
      int dx = 0;
      switch (p) {
        case 0: walls = {ref.Next() % 9}; break;
        case 1: { const int c = ref.Next() % 8; walls = {c, c + 1}; break; }
        case 2: { const int c = ref.Next() % 7; walls = {c, c + 1, c + 2}; break; }
        case 3:
          column = 2 * (ref.Next() % 256) / 64;
          kind = 1;
          dx = (ref.Next() & 1) ? 3 : -3;
          break;
        case 4: walls = {0, 1, 4, 7, 8}; break;
        case 5: column = 2 * (ref.Next() % 256) / 64; kind = 2; break;
        case 6: walls = {1, 3, 5, 7}; break;
        default: walls = {0, 2, 4, 6, 8}; break;
      }
      EXPECT_EQ(WallColumns(rows[lead]), walls);
      const souji::Obstacle& ob = rig.s.obstacles[0];
      EXPECT_EQ(ob.kind, kind);
      if (kind != 0) {
        EXPECT_EQ(ob.x, 64 * column + 64) << "the middle of its column on the screen";
        EXPECT_EQ(ob.y, -64);
        EXPECT_EQ(ob.dx, dx);
        EXPECT_EQ(ob.speed, kind == 1 ? 6 : 9);
        EXPECT_EQ(mg_obj_get_anim(souji::kObjObstacleFirst), kind == 1 ? 100 : 102);
        EXPECT_EQ(mg_obj_test(souji::kObjObstacleFirst, mg::kObjMirrorX), dx > 0 ? 1 : 0);
        EXPECT_EQ(rig.Count("souji09"), 1);
      }
      EXPECT_EQ(Ctx().random.state(), ref.state()) << "no further draws";
    }
  }
}

// A column is reachable in a row when it is free there, was free in the row before, and lies
// within one column (the 96 pixels the leader moves while a row scrolls by) of a column
// reachable in the row before.
bool PassableFrom(int start, const std::vector<std::array<uint16_t, souji::kCols>>& rows) {
  std::array<bool, souji::kCols> reach{};
  std::array<bool, souji::kCols> before{};
  for (int c = 0; c < 9; ++c) before[static_cast<size_t>(c)] = true;  // the plain row
  reach[static_cast<size_t>(start)] = true;
  for (const auto& row : rows) {
    std::array<bool, souji::kCols> next{};
    bool any = false;
    for (int c = 0; c < souji::kCols; ++c) {
      const bool free = (row[static_cast<size_t>(c)] & souji::kSolid) == 0;
      bool near = false;
      for (int a = std::max(c - 1, 0); a <= std::min(c + 1, souji::kCols - 1); ++a) {
        near = near || reach[static_cast<size_t>(a)];
      }
      next[static_cast<size_t>(c)] = free && before[static_cast<size_t>(c)] && near;
      any = any || next[static_cast<size_t>(c)];
      before[static_cast<size_t>(c)] = free;
    }
    if (!any) return false;
    reach = next;
  }
  return true;
}

TEST(SoujiCourse, DesignedPatternsArePassableFromEveryColumnOfAPlainRow) {
  CourseRig rig;
  for (int p = 8; p < souji::kPatternCount; ++p) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
      SCOPED_TRACE("pattern " + std::to_string(p) + " seed " + std::to_string(seed));
      souji::ResetCourse(rig.s);
      rig.s.pattern = p;
      Ctx().random.Seed(seed);
      const auto rows = rig.PatternRows();
      EXPECT_LE(rows.size(), 12u);
      for (const auto& ob : rig.s.obstacles) EXPECT_LE(ob.kind, 3);
      for (const auto& row : rows) {
        EXPECT_EQ(row[9], souji::kEdge);
        for (uint16_t v : row) {
          if ((v & souji::kFront) != 0) {
            EXPECT_EQ(v & souji::kSolid, 0) << "front tiles never block";
          }
        }
      }
      for (int start = 0; start < 9; ++start) {
        EXPECT_TRUE(PassableFrom(start, rows)) << "from column " << start;
      }
      if (p == 8) {
        int half_rows = 0;
        for (size_t k = 2; k < rows.size(); ++k) {
          EXPECT_EQ(rows[k][4], souji::kWall) << "row " << k;
          const std::vector<int> walls = WallColumns(rows[k]);
          const auto left = std::count_if(walls.begin(), walls.end(), [](int c) { return c < 4; });
          const auto right = std::count_if(walls.begin(), walls.end(), [](int c) { return c > 4; });
          if ((left == 3 && right == 0) || (left == 0 && right == 3)) ++half_rows;
        }
        EXPECT_EQ(half_rows, 10);
      }
    }
  }
}

TEST(SoujiCourse, SectionTimersByMode) {
  struct Case {
    int mode;
    std::vector<int> steps;
  };
  const std::vector<Case> cases = {
      {1, {180, 180, 240, 240, 240, 240, 240, 240}},
      {0, {60, 60, 60, 60, 60, 60, 60, 60}},
      {2, {60, 60, 60, 60, 60, 60, 60, 60}},  // modes without a table of their own: the short one
      {5, {60, 60, 60, 60, 60, 60, 60, 60}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    CourseRig rig;
    for (size_t k = 0; k < c.steps.size(); ++k) {
      const int before = rig.s.section;
      int n = 0;
      while (rig.s.section == before && n < 1000) {
        souji::SectionTick(rig.s, c.mode);
        ++n;
      }
      EXPECT_EQ(n, c.steps[k]) << "section " << k;
    }
    for (int n = 0; n < 2000; ++n) souji::SectionTick(rig.s, c.mode);
    EXPECT_EQ(rig.s.section, 8) << "from section 8 only the rows advance";
  }
}

TEST(SoujiCourse, SpecialSectionsFollowTenRandomRowsAndEndAtTheGoal) {
  struct Case {
    int mode;
    std::vector<int> specials;
    int goal;
  };
  const std::vector<Case> cases = {
      {0, {8, 9, 11, 12, 18}, 13},
      {1, {8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}, 19},
      {2, {8, 9, 11, 12, 18}, 13},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    CourseRig rig;
    Ctx().random.Seed(5);
    rig.s.section = 8;
    std::vector<int> specials;
    int rows = 0;
    int rows_in_section = 0;
    while (rig.s.goal == 0 && rows < 2000) {
      const int section = rig.s.section;
      souji::NewRow(rig.s, rows % souji::kRows, c.mode);
      ++rows;
      ++rows_in_section;
      if (rig.s.section != section) {
        specials.push_back(rig.s.pattern);
        EXPECT_GE(rows_in_section, 10) << "ten rows of random patterns first";
        rows_in_section = 0;
      } else if (rig.s.goal == 0 && rig.s.pattern_step == 0) {
        EXPECT_LT(rig.s.pattern, 8) << "between the special patterns only patterns 0-7";
      }
    }
    EXPECT_EQ(specials, c.specials);
    EXPECT_EQ(rig.s.section, c.goal);
    EXPECT_EQ(rig.s.goal, 1);
    EXPECT_EQ(rig.Count("2386"), static_cast<int>(c.specials.size()));
    // Rows after the goal stay fresh.
    rig.SetCell(3, 2, souji::kWall);
    souji::NewRow(rig.s, 3, c.mode);
    for (int col = 0; col < 9; ++col) EXPECT_EQ(rig.Cell(3, col), souji::kFloor);
  }
}

TEST(SoujiCourse, EarlySectionsPickFromTheirEarlierPatterns) {
  CourseRig rig;
  Ctx().random.Seed(11);
  for (int section = 0; section < 8; ++section) {
    rig.s.section = section;
    std::array<int, 8> seen{};
    for (int row = 0; row < 400; ++row) {
      souji::NewRow(rig.s, row % souji::kRows, 0);
      if (rig.s.pattern_step == 0) ++seen[static_cast<size_t>(rig.s.pattern)];
      rig.s.obstacles.fill(souji::Obstacle{});
    }
    for (int p = 0; p < 8; ++p) {
      if (p <= section) {
        EXPECT_GT(seen[static_cast<size_t>(p)], 0) << "section " << section << " pattern " << p;
      } else {
        EXPECT_EQ(seen[static_cast<size_t>(p)], 0) << "section " << section << " pattern " << p;
      }
    }
  }
}

TEST(SoujiCourse, SteeringMovesClampsAndRefusesWalls) {
  struct Case {
    const char* what;
    int32_t x;
    uint32_t held;
    int32_t expected;
  };
  // At scroll 0 the leader's box (368-384) lies in ring row 1.
  const Case cases[] = {
      {"left", 320, kMgKeyLeft, 314},
      {"decide steers left", 320, kMgKeyDecide, 314},
      {"right", 320, kMgKeyRight, 326},
      {"cancel steers right", 320, kMgKeyCancel, 326},
      {"left wins over right", 320, kMgKeyLeft | kMgKeyRight, 314},
      {"nothing held", 320, kMgKeyUp, 320},
      {"left clamp", 34, kMgKeyLeft, 32},
      {"at the left clamp", 32, kMgKeyLeft, 32},
      {"the last column's wall", 596, kMgKeyRight, 596},
      {"into the wall of column 3", 296, kMgKeyLeft, 296},
      {"away from it", 296, kMgKeyRight, 302},
  };
  CourseRig rig;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rig.Reset();
    rig.SetCell(1, 3, souji::kWall);
    rig.s.x = c.x;
    souji::Steer(rig.s, c.held);
    EXPECT_EQ(rig.s.x, c.expected);
    EXPECT_FALSE(souji::Crashes(rig.s));
  }
  // Without the last column's wall the right clamp holds at 608, the box reaching past the map.
  rig.Reset();
  rig.SetCell(1, 9, souji::kFloor);
  rig.s.x = 604;
  souji::Steer(rig.s, kMgKeyRight);
  EXPECT_EQ(rig.s.x, 608);
  souji::Steer(rig.s, kMgKeyRight);
  EXPECT_EQ(rig.s.x, 608);
  EXPECT_FALSE(souji::Crashes(rig.s));
  // Standing on a wall is a crash.
  rig.SetCell(1, 4, souji::kWall);
  rig.s.x = 320;
  EXPECT_TRUE(souji::Crashes(rig.s));
  rig.SetCell(1, 4, souji::kFrontTile);
  EXPECT_FALSE(souji::Crashes(rig.s)) << "front tiles do not block";
}

TEST(SoujiCourse, ObstacleHitWindowsOfLeaderAndFollower) {
  struct Case {
    int32_t dx;  // obstacle x - the character's x
    int32_t y;
    bool leader_hit;
    bool follower_hit;
  };
  const Case cases[] = {
      {0, 375, false, false}, {0, 376, true, false},  {0, 400, true, false},
      {0, 401, false, false}, {12, 388, true, false}, {-12, 388, true, false},
      {13, 388, false, false}, {-13, 388, false, false}, {0, 459, false, false},
      {0, 460, false, true},  {0, 484, false, true},  {0, 485, false, false},
      {12, 470, false, true}, {-12, 470, false, true}, {13, 470, false, false},
  };
  CourseRig rig;
  for (const Case& c : cases) {
    SCOPED_TRACE("dx " + std::to_string(c.dx) + " y " + std::to_string(c.y));
    for (bool leader : {true, false}) {
      rig.Reset();
      rig.s.x = 320;
      rig.s.follower_x = 200;
      rig.s.obstacles[7] = souji::Obstacle{2, (leader ? 320 : 200) + c.dx, c.y, 0, 9};
      EXPECT_EQ(souji::Crashes(rig.s), leader ? c.leader_hit : c.follower_hit)
          << (leader ? "leader's x" : "follower's x");
    }
  }
}

TEST(SoujiCourse, FullTablesSkipNewEntriesAndLeaveOtherObjectsAlone) {
  CourseRig rig;
  mg_obj_put(souji::kObjFollower, 320, 448, 256, 201, 0);
  mg_obj_put(108, 5, 6, 7, 8, 0);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(souji::SpawnObstacle(rig.s, 1 + i % 3, i % 9), 1) << i;
  EXPECT_EQ(souji::SpawnObstacle(rig.s, 2, 4), 0);
  for (int i = 0; i < 48; ++i) EXPECT_EQ(souji::SpawnDecoration(rig.s, 64 + i, -100), 1) << i;
  EXPECT_EQ(souji::SpawnDecoration(rig.s, 1, 2), 0);
  EXPECT_EQ(rig.Count("souji09"), 16);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(rig.s.obstacles[static_cast<size_t>(i)].kind, 1 + i % 3);
  for (int i = 0; i < 48; ++i) EXPECT_EQ(rig.s.decorations[static_cast<size_t>(i)].x, 64 + i);
  EXPECT_EQ(mg_obj_get_anim(souji::kObjFollower), 201);
  EXPECT_EQ(mg_obj_get_x(souji::kObjFollower), 320);
  EXPECT_EQ(mg_obj_get_anim(108), 8);
  EXPECT_EQ(mg_obj_get_x(108), 5);

  // Pattern 17 with a full table writes no obstacles and still ends.
  rig.s.pattern = 17;
  rig.PatternRows();
  EXPECT_EQ(rig.Count("souji09"), 16);

  // Moves free the records: decorations below 480, obstacles 64 below the screen.
  for (int n = 0; n < 110; ++n) {
    souji::MoveDecorations(rig.s, 6);
    souji::MoveObstacles(rig.s);
  }
  for (const auto& d : rig.s.decorations) EXPECT_EQ(d.active, 0);
  for (const auto& ob : rig.s.obstacles) EXPECT_EQ(ob.kind, 0);
  EXPECT_EQ(mg_obj_test(souji::kObjDecorationFirst, mg::kObjHidden), 1);
  EXPECT_EQ(mg_obj_test(souji::kObjObstacleFirst + 15, mg::kObjHidden), 1);
  EXPECT_EQ(souji::SpawnObstacle(rig.s, 2, 4), 1);
}

// ---- The procedure on the runner ----

constexpr const char* kOd = "tamvik3\\od\\mg_souji.od";

// Row 2 with the universal od file (no menu voice), each step of the procedure recorded.
struct SoujiGame {
  explicit SoujiGame(uint32_t seed = 1) : runner(Options(seed)) {
    runner.WriteFile(kOd, testsupport::UniversalOd({200}).Build());
    runner.SetProc(2, [this](int state) {
      const int r = souji_proc(state);
      if (on_step) on_step();
      return r;
    });
  }
  static testsupport::MinigameRunner::Options Options(uint32_t seed) {
    testsupport::MinigameRunner::Options o;
    o.seed = seed;
    return o;
  }
  SoujiState& s() { return Minigame().souji; }
  // Starts the game and runs it into play, taking the start choice of the menu before play in
  // modes 0 and 1.
  bool StartToPlay(int mode) {
    if (!runner.Start(2, mode)) return false;
    if (mode <= 1) {
      if (!runner.RunUntil("menu", [] { return Minigame().menu.step == 10011; }, 200)) return false;
      runner.Tap(kMgKeyDecide);
    }
    return runner.RunUntil("play", [this] { return s().step == souji::kStepPlay; }, 200);
  }
  // The autopilot drives until the goal or a crash; false past the frame limit.
  bool AutopilotToGoalOrCrash(int limit) {
    runner.bot = [this](testsupport::MinigameRunner& r) {
      if (s().step == souji::kStepPlay) testsupport::SoujiDrive(r, pilot.Next(s()));
    };
    return runner.RunUntil("the goal or a crash", [this] {
      return s().step == souji::kStepGoal || s().step == souji::kStepCrash;
    }, limit);
  }

  testsupport::MinigameRunner runner;
  testsupport::SoujiAutopilot pilot;
  std::function<void()> on_step;
};

TEST(SoujiGame, SetUpThenScoreEverySixteenStepsAndTheScreenFollows) {
  SoujiGame g;
  ASSERT_TRUE(g.StartToPlay(mg::kModeHubMatch));  // no menu; the score shows (variable 3 is 2)
  SoujiState& s = g.s();
  EXPECT_EQ(mg_obj_get_anim(souji::kObjPointer), 495);
  EXPECT_EQ(mg_obj_test(souji::kObjPointer, mg::kObjPointer), 1);
  EXPECT_EQ(mg_obj_get_anim(souji::kObjLeader), 301);
  EXPECT_EQ(mg_obj_get_anim(souji::kObjFollower), 201);
  EXPECT_EQ(mg_obj_test(souji::kObjLeader, mg::kObjHoldLast), 0);
  EXPECT_EQ(mg_obj_get_layer(souji::kObjLeader), 256);
  EXPECT_EQ(mg_obj_get_layer(souji::kObjFollower), 256);
  EXPECT_EQ(mg_obj_get_x(souji::kObjScore), 480);
  EXPECT_EQ(mg_obj_get_y(souji::kObjScore), 32);
  EXPECT_EQ(mg_obj_get_layer(souji::kObjScore), 128);
  EXPECT_EQ(mg_obj_test(souji::kObjScore, mg::kObjNumber), 1);
  EXPECT_EQ(Minigame().objects[souji::kObjScore].digits, 4);
  EXPECT_EQ(Minigame().fw.brightness, 256);
  EXPECT_EQ(g.runner.TimesPlayed("bgm:tamvik1\\bgm\\tamvik.wav"), 1);
  EXPECT_EQ(g.runner.TimesPlayed("voice:tamvik3\\voice\\2385.wav"), 1);
  const MgTileMap& map = Minigame().draw.map;
  EXPECT_EQ(map.cells, s.cells.data());
  EXPECT_EQ(map.tile_w, 64);
  EXPECT_EQ(map.tile_h, 96);
  EXPECT_EQ(map.start_row, 5);
  EXPECT_EQ(map.scroll_x, 32);

  std::vector<std::array<int32_t, 3>> seen;  // scroll, score, display
  g.on_step = [&] { seen.push_back({s.scroll, s.score, Minigame().objects[1].value}); };
  ASSERT_TRUE(g.runner.RunUntil("three rows", [&] { return s.scroll >= 3 * 96; }, 80));
  for (const auto& [scroll, score, shown] : seen) {
    EXPECT_EQ(score, scroll / 96 * 10) << scroll;
    EXPECT_EQ(shown, score);
  }
  EXPECT_EQ(map.scroll_y, s.scroll);
  EXPECT_EQ(mg_obj_get_y(souji::kObjLeader), 384);
  EXPECT_EQ(mg_obj_get_y(souji::kObjFollower), 468);
}

TEST(SoujiGame, StoryModeShowsNoScore) {
  SoujiGame g;
  ASSERT_TRUE(g.StartToPlay(mg::kModeStory));
  ASSERT_TRUE(g.runner.RunUntil("a row", [&] { return g.s().score >= 10; }, 40));
  EXPECT_EQ(mg_obj_get_anim(souji::kObjScore), 0);
  EXPECT_EQ(mg_obj_test(souji::kObjScore, mg::kObjNumber), 0);
}

TEST(SoujiGame, MenuRetryRestartsTheCourseAndQuitEndsTheGame) {
  SoujiGame g;
  ASSERT_TRUE(g.StartToPlay(mg::kModeFreePlay));
  SoujiState& s = g.s();
  ASSERT_TRUE(g.runner.RunUntil("a few rows", [&] { return s.score >= 30; }, 100));
  std::vector<int> steps;
  g.on_step = [&] { steps.push_back(s.step); };
  // The menu during play: resume, retry, quit; the cursor moved to retry.
  g.runner.Tap(kMgKeyMenu);
  ASSERT_TRUE(g.runner.RunUntil("menu", [] { return Minigame().menu.step == 10011; }, 60));
  const int32_t paused_scroll = s.scroll;
  for (int n = 0; mg_cursor_get() != mg::kChoiceRetry; ++n) {
    ASSERT_LT(n, 8) << "cursor " << mg_cursor_get();
    g.runner.Tap(kMgKeyDown);
    ASSERT_TRUE(g.runner.Run(3));  // the tap's release lands before the next press
  }
  EXPECT_EQ(s.scroll, paused_scroll) << "the course waits while the menu is open";
  steps.clear();
  g.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.runner.RunUntil("restart", [&] { return s.step == 1; }, 60));
  EXPECT_EQ(steps.front(), souji::kStepPlay) << "the menu held the game where it was";
  EXPECT_NE(std::find(steps.begin(), steps.end(), 0), steps.end()) << "from step -1 again";
  EXPECT_EQ(s.scroll, 0);
  EXPECT_EQ(s.score, 0);
  EXPECT_EQ(s.x, 320);
  EXPECT_EQ(Minigame().draw.map.cells, s.cells.data());
  // The menu before play again, then quit from the menu during play.
  ASSERT_TRUE(g.runner.RunUntil("menu", [] { return Minigame().menu.step == 10011; }, 100));
  g.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.runner.RunUntil("play", [&] { return s.step == souji::kStepPlay; }, 100));
  g.runner.Tap(kMgKeyMenu);
  ASSERT_TRUE(g.runner.RunUntil("menu", [] { return Minigame().menu.step == 10011; }, 60));
  for (int n = 0; mg_cursor_get() != mg::kChoiceQuit; ++n) {
    ASSERT_LT(n, 8) << "cursor " << mg_cursor_get();
    g.runner.Tap(kMgKeyDown);
    ASSERT_TRUE(g.runner.Run(3));  // the tap's release lands before the next press
  }
  g.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.runner.RunToEnd(100));
  EXPECT_EQ(mg_var_get(9), 0);
}

TEST(SoujiGame, TheFollowerWalksFourteenStepsBehindWhileAWallHoldsTheLeader) {
  SoujiGame g;
  ASSERT_TRUE(g.StartToPlay(mg::kModeHubMatch));
  SoujiState& s = g.s();
  // Column 3 walled down the whole ring, kept so while rows are refilled.
  auto wall = [&] {
    for (int r = 0; r < souji::kRows; ++r) {
      s.cells[static_cast<size_t>(r * souji::kCols + 3)] = souji::kWall;
    }
  };
  wall();
  std::vector<int32_t> leader;
  std::vector<int32_t> follower;
  g.on_step = [&] {
    wall();
    leader.push_back(mg_obj_get_x(souji::kObjLeader));
    follower.push_back(mg_obj_get_x(souji::kObjFollower));
  };
  g.runner.Hold(kMgKeyLeft);
  ASSERT_TRUE(g.runner.RunUntil("40 steps", [&] { return leader.size() >= 40; }, 80));
  EXPECT_EQ(s.x, 296) << "the box stops at the wall of column 3";
  EXPECT_EQ(s.step, souji::kStepPlay);
  for (size_t k = 14; k < leader.size(); ++k) EXPECT_EQ(follower[k], leader[k - 14]) << k;
  EXPECT_EQ(follower.back(), 296);
  EXPECT_LT(*std::min_element(leader.begin(), leader.end()), 320);
}

TEST(SoujiGame, CrashAtTheGoalStepDecidesByTheScore) {
  struct Case {
    int32_t score;
    int var2;
  };
  for (const Case& c : {Case{1990, 0}, Case{2000, 1}}) {
    SCOPED_TRACE(c.score);
    SoujiGame g;
    ASSERT_TRUE(g.StartToPlay(mg::kModeStory));
    SoujiState& s = g.s();
    // The next new row ends a pattern at the goal section; an obstacle on the leader crashes
    // the step before.
    s.section = 13;
    s.pattern = 0;
    s.pattern_step = 1;
    s.scroll = 96 * 7 - 6;
    s.score = c.score;
    s.obstacles[0] = souji::Obstacle{2, s.x, 380, 0, 0};
    ASSERT_TRUE(g.runner.RunUntil("crash", [&] { return s.step == souji::kStepCrash; }, 4));
    EXPECT_EQ(s.goal, 0);
    EXPECT_EQ(g.runner.TimesPlayed("static:0"), 1) << "souji08 from the static list";
    EXPECT_EQ(mg_obj_get_anim(souji::kObjLeader), 310);
    EXPECT_EQ(mg_obj_get_anim(souji::kObjFollower), 210);
    EXPECT_EQ(mg_obj_test(souji::kObjLeader, mg::kObjHoldLast), 1);
    ASSERT_TRUE(g.runner.RunToEnd(200));
    EXPECT_EQ(mg_var_get(9), 0);
    EXPECT_EQ(mg_var_get(2), c.var2);
  }
}

TEST(SoujiGame, TheGoalSequenceBringsThePictureDownAndWalksToTheGoal) {
  SoujiGame g;
  ASSERT_TRUE(g.StartToPlay(mg::kModeStory));
  SoujiState& s = g.s();
  s.section = 13;
  s.pattern = 0;
  s.pattern_step = 1;
  s.scroll = 96 * 7 - 6;
  ASSERT_TRUE(g.runner.RunUntil("goal", [&] { return s.step == souji::kStepGoal; }, 4));
  EXPECT_EQ(mg_obj_get_y(souji::kObjGoal), -192);
  EXPECT_EQ(mg_obj_get_layer(souji::kObjGoal), 768);
  EXPECT_EQ(mg_obj_get_anim(souji::kObjGoal), 5);
  const int32_t scroll = s.scroll;
  ASSERT_TRUE(g.runner.RunUntil("walk", [&] { return s.step == souji::kStepGoalWalk; }, 90));
  EXPECT_EQ(mg_obj_get_y(souji::kObjGoal), 0);
  EXPECT_EQ(s.scroll, scroll + 64 * 3);
  ASSERT_TRUE(g.runner.RunUntil("pose", [&] { return s.step == souji::kStepGoalPose; }, 90));
  EXPECT_EQ(mg_obj_get_x(souji::kObjLeader), 288);
  EXPECT_EQ(mg_obj_get_y(souji::kObjLeader), 240);
  EXPECT_EQ(mg_obj_get_x(souji::kObjFollower), 352);
  EXPECT_EQ(mg_obj_get_y(souji::kObjFollower), 240);
  EXPECT_EQ(mg_obj_get_anim(souji::kObjLeader), 304);
  EXPECT_EQ(mg_obj_get_anim(souji::kObjFollower), 205);
  ASSERT_TRUE(g.runner.RunToEnd(200));
  EXPECT_EQ(mg_var_get(2), 2);
  EXPECT_EQ(mg_var_get(9), 1);
}

TEST(SoujiGame, IdleStoryRunStaysInColumnFourAndCrashesByTheMiddleWall) {
  SoujiGame g(3);
  ASSERT_TRUE(g.StartToPlay(mg::kModeStory));
  SoujiState& s = g.s();
  bool moved = false;
  g.on_step = [&] { moved = moved || s.x != 320; };
  ASSERT_TRUE(g.runner.RunUntil("crash", [&] { return s.step == souji::kStepCrash; }, 2000));
  EXPECT_FALSE(moved);
  EXPECT_LE(s.section, 9) << "pattern 8 walls column 4";
  ASSERT_TRUE(g.runner.RunToEnd(200));
  EXPECT_EQ(mg_var_get(9), 0);
}

TEST(SoujiGame, AutopilotReachesTheGoalOfTheShortCourse) {
  SoujiGame g(21);
  ASSERT_TRUE(g.StartToPlay(mg::kModeStory));
  ASSERT_TRUE(g.AutopilotToGoalOrCrash(3000));
  EXPECT_EQ(g.s().step, souji::kStepGoal) << "section " << g.s().section << " x " << g.s().x;
  EXPECT_EQ(g.s().section, 13);
  ASSERT_TRUE(g.runner.RunToEnd(400));
  EXPECT_EQ(mg_var_get(2), 2);
  EXPECT_EQ(mg_var_get(9), 1);
}

TEST(SoujiGame, AutopilotReachesTheGoalOfTheLongCourseAndTheRanking) {
  SoujiGame g(8);
  ASSERT_TRUE(g.StartToPlay(mg::kModeFreePlay));
  ASSERT_TRUE(g.AutopilotToGoalOrCrash(8000));
  EXPECT_EQ(g.s().step, souji::kStepGoal) << "section " << g.s().section << " x " << g.s().x;
  EXPECT_EQ(g.s().section, 19);
  const int32_t score = g.s().score;
  ASSERT_GT(score, 2000);
  ASSERT_LT(score, 3000);
  g.runner.bot = nullptr;
  // The result: variable 9, the ranking (between the defaults 3000 and 2000), then the menu's
  // result screen; quit.
  ASSERT_TRUE(g.runner.RunUntil("result menu", [] { return Minigame().menu.step == 10011; }, 600));
  EXPECT_EQ(mg_var_get(9), 1);
  const std::vector<int32_t> ranking = {3000, score, 2000};
  auto ranks = [] { return std::vector<int32_t>{mg_var_get(24), mg_var_get(25), mg_var_get(26)}; };
  EXPECT_EQ(ranks(), ranking);
  g.runner.Tap(kMgKeyDown);
  ASSERT_TRUE(g.runner.Run(2));
  ASSERT_EQ(mg_cursor_get(), mg::kChoiceQuit);
  g.runner.Tap(kMgKeyDecide);
  ASSERT_TRUE(g.runner.RunToEnd(200));
  EXPECT_EQ(ranks(), ranking);
}

}  // namespace
