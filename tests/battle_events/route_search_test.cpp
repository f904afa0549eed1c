#include "battle_events/core/route_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_search.h"
#include "battle/slg_tables.h"
#include "battle/slg_unit.h"
#include "battle/slg_unit_sprite.h"
#include "scene/scene_context.h"
#include "scene/sprite/spx_anime.h"
#include "scene/sprite/tamvik_spr.h"
#include "testsupport/battle_board.h"
#include "testsupport/battle_rig.h"
#include "testsupport/slg_table_writer.h"
#include "testsupport/unit_anm_writer.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BattleRig;
using testsupport::BoardUnit;
using testsupport::CellPos;
using testsupport::CellWord;
using testsupport::OnCell;

constexpr int32_t kPx = 0x10000;
constexpr int kDx[4] = {48, 48, -48, -48};
constexpr int kDy[4] = {-24, 24, 24, -24};

SlgRangePos Step(SlgRangePos p, int d) {
  return {static_cast<int16_t>(p.x + kDx[d]), static_cast<int16_t>(p.y + kDy[d])};
}
SlgRangePos Walk(SlgRangePos p, const std::vector<int>& dirs) {
  for (int d : dirs) p = Step(p, d);
  return p;
}
size_t Index(SlgRangePos p) {
  int index = -1;
  EXPECT_TRUE(SlgSearchCellIndex(p.x, p.y, &index)) << p.x << ", " << p.y;
  return static_cast<size_t>(index);
}
bool operator==(SlgRangePos a, SlgRangePos b) { return a.x == b.x && a.y == b.y; }
std::string Str(SlgRangePos p) { return std::to_string(p.x) + ", " + std::to_string(p.y); }

// A stage lays both grids; the route search reads the second (placement and height) one.
void SetBoth(BattleBoard& board, SlgRangePos p, uint32_t word) {
  const size_t i = Index(p);
  const int column = static_cast<int>(i % kSlgGridColumns);
  const int row = static_cast<int>(i / kSlgGridColumns);
  board.SetCell(column, row, word);
  board.SetCell2(column, row, word);
}

// The route replayed forward from `start`: each step onto a cell of the map that is not blocked
// and at most one level higher; the cell it ends on.
SlgRangePos Replay(const RouteRecord& route, SlgRangePos start) {
  const SlgGrid& grid = Battle().cell_grid2;
  SlgRangePos p = start;
  for (int i = route.count; i >= 0; --i) {
    const SlgRangePos n = Step(p, (route.dirs[static_cast<size_t>(i)] + 2) & 3);
    int from = 0;
    int to = 0;
    EXPECT_TRUE(SlgSearchCellIndex(p.x, p.y, &from));
    if (!SlgSearchCellIndex(n.x, n.y, &to)) {
      ADD_FAILURE() << "a step off the map to " << Str(n);
      return n;
    }
    EXPECT_EQ(grid[static_cast<size_t>(to)] & 0x400, 0u) << "a step onto a blocked cell";
    EXPECT_LE(static_cast<int>(grid[static_cast<size_t>(to)] & 0x1F) -
                  static_cast<int>(grid[static_cast<size_t>(from)] & 0x1F),
              1)
        << "a climb of two levels";
    p = n;
  }
  return p;
}

// ---- RouteSearch and RouteTrace ----

struct TraceCase {
  const char* name;
  SlgRangePos start;
  SlgRangePos target;
  int limit;
  std::function<void(BattleBoard&)> lay;
  int result;
  int steps;  // of a route found
};

TEST(RouteTrace, RefusalsWallsHeightsAndMapEdges) {
  const SlgRangePos mid = CellPos(5, 40);
  // A wall down the map at x = 624 (column 6 of the odd rows) with one gap at row 45.
  auto wall = [](BattleBoard& b) {
    for (int row = 1; row < kSlgGridRows; row += 2) {
      if (row != 45) SetBoth(b, CellPos(6, row), CellWord(0, 0x400));
    }
  };
  const SlgRangePos beyond = CellPos(8, 40);  // six steps east of mid without the wall
  const SlgRangePos down1 = Walk(mid, {1});
  const SlgRangePos down2 = Walk(mid, {1, 1});
  const std::vector<TraceCase> cases = {
      {"flat", mid, Walk(mid, {1, 1, 0}), 15, nullptr, 1, 3},
      {"target on the start cell", mid, mid, 15, nullptr, 0, 0},
      {"blocked target", mid, down1, 15,
       [&](BattleBoard& b) { SetBoth(b, down1, CellWord(0, 0x400)); }, 0, 0},
      {"blocked in the first grid only: the second decides", mid, down1, 15,
       [&](BattleBoard& b) { b.SetCell(5, 41, CellWord(0, 0x400)); }, 1, 1},
      {"out of reach within the limit", mid, Walk(mid, {1, 1, 1, 1, 1}), 4, nullptr, 0, 0},
      {"just within the limit", mid, Walk(mid, {1, 1, 1, 1, 1}), 5, nullptr, 1, 5},
      {"through the one gap of a wall", mid, beyond, 15, wall, 1, 10},
      {"the wall's detour beyond the limit", mid, beyond, 9, wall, 0, 0},
      {"two levels up refused", mid, down1, 15,
       [&](BattleBoard& b) { SetBoth(b, down1, CellWord(2)); }, 0, 0},
      {"two levels down allowed", mid, down1, 15,
       [&](BattleBoard& b) { SetBoth(b, mid, CellWord(2)); }, 1, 1},
      {"a stair of one level at a time", mid, down2, 15,
       [&](BattleBoard& b) {
         SetBoth(b, down1, CellWord(1));
         SetBoth(b, down2, CellWord(2));
       },
       1, 2},
      {"units do not block", mid, down2, 15,
       [&](BattleBoard& b) { b.AddUnit(OnCell(5, 41, {.side = 1, .kind = 14})); }, 1, 2},
      {"a blocked start still starts", mid, down1, 15,
       [&](BattleBoard& b) { SetBoth(b, mid, CellWord(0, 0x400)); }, 1, 1},
      {"top-left corner", CellPos(0, 0), Walk(CellPos(0, 0), {1, 1}), 15, nullptr, 1, 2},
      {"top edge", CellPos(10, 0), Walk(CellPos(10, 0), {2, 1}), 15, nullptr, 1, 2},
      {"left edge", CellPos(0, 44), Walk(CellPos(0, 44), {0, 0}), 15, nullptr, 1, 2},
      {"right edge", CellPos(21, 43), Walk(CellPos(21, 43), {3, 3}), 15, nullptr, 1, 2},
      {"bottom edge", CellPos(10, 87), Walk(CellPos(10, 87), {0, 3}), 15, nullptr, 1, 2},
      {"bottom-right corner", CellPos(21, 87), Walk(CellPos(21, 87), {3, 0, 3}), 15, nullptr, 1, 3},
  };
  for (const TraceCase& c : cases) {
    SCOPED_TRACE(c.name);
    BattleBoard board;
    if (c.lay) c.lay(board);
    SlgUnit unit{};
    unit.dir = 3;
    RouteSearch({c.start.x, c.start.y + 24}, c.limit);
    for (uint16_t cost : Battle().search.range_cost) {
      EXPECT_TRUE(cost <= c.limit || cost == kSlgCostUnreached) << cost;
    }
    RouteRecord route;
    route.count = 99;
    EXPECT_EQ(RouteTrace(route, unit, c.target.x, c.target.y + 24), c.result);
    EXPECT_TRUE(route.target == c.target) << Str(route.target);
    if (c.result == 0) {
      EXPECT_EQ(route.count, 0);
      EXPECT_EQ(unit.dir, 3) << "not turned";
      continue;
    }
    EXPECT_EQ(route.count, c.steps - 1);
    EXPECT_EQ(Battle().search.path_count, c.steps - 1);
    EXPECT_EQ(unit.dir, (route.dirs[route.count] + 2) & 3) << "facing its first step";
    EXPECT_TRUE(Replay(route, c.start) == c.target);
  }
}

TEST(RouteTrace, EqualRoutesPreferTheLowestDirectionAtEachStepBack) {
  BattleBoard board;
  const SlgRangePos start = CellPos(5, 40);
  const SlgRangePos target = Walk(start, {0, 1});  // two cells east: via north-east or south-east
  SlgUnit unit{};
  RouteRecord route;
  RouteSearch({start.x, start.y + 24}, 15);
  ASSERT_EQ(RouteTrace(route, unit, target.x, target.y + 24), 1);
  // Back from the target: direction 2 (the south-east cell) comes before 3, then 3 to the start.
  EXPECT_EQ(route.count, 1);
  EXPECT_EQ(route.dirs[0], 2);
  EXPECT_EQ(route.dirs[1], 3);
  EXPECT_EQ(unit.dir, 1) << "the first step goes south-east";

  // With the south-east cell blocked, the north-east way.
  SetBoth(board, Step(start, 1), CellWord(0, 0x400));
  RouteSearch({start.x, start.y + 24}, 15);
  ASSERT_EQ(RouteTrace(route, unit, target.x, target.y + 24), 1);
  EXPECT_EQ(route.dirs[0], 3);
  EXPECT_EQ(route.dirs[1], 2);
  EXPECT_EQ(unit.dir, 0);
}

TEST(RouteTrace, AGridChangedSinceTheSearchFailsInsteadOfLooping) {
  BattleBoard board;
  const SlgRangePos start = CellPos(5, 40);
  const SlgRangePos target = Walk(start, {1, 1});
  RouteSearch({start.x, start.y + 24}, 15);
  // The target raised by five levels after the search: no neighbour can climb to it.
  SetBoth(board, target, CellWord(5));
  SlgUnit unit{};
  RouteRecord route;
  EXPECT_EQ(RouteTrace(route, unit, target.x, target.y + 24), 0);
  // A target far off the map does not alias onto a cell of it.
  RouteSearch({start.x, start.y + 24}, 15);
  EXPECT_EQ(RouteTrace(route, unit, start.x + 65536, start.y), 0);
  EXPECT_EQ(RouteTrace(route, unit, -200, start.y), 0);
}

TEST(RouteSearch, CostsAreTheFewestStepsAndAStartOffTheMapReachesNothing) {
  BattleBoard board;
  const SlgRangePos start = CellPos(10, 43);
  RouteSearch({start.x, start.y + 24}, 3);
  const auto& cost = Battle().search.range_cost;
  EXPECT_EQ(cost[Index(start)], 0);
  EXPECT_EQ(cost[Index(Walk(start, {0}))], 1);
  EXPECT_EQ(cost[Index(Walk(start, {0, 1}))], 2);
  EXPECT_EQ(cost[Index(Walk(start, {0, 0, 0}))], 3);
  EXPECT_EQ(cost[Index(Walk(start, {0, 0, 0, 0}))], kSlgCostUnreached);
  int reached = 0;
  for (uint16_t c : cost) reached += c != kSlgCostUnreached;
  EXPECT_EQ(reached, 25) << "the diamond of radius 3: 1 + 4 x (1 + 2 + 3)";

  RouteSearch({-500, 240}, 15);
  for (uint16_t c : cost) EXPECT_EQ(c, kSlgCostUnreached);
  RouteSearch({start.x, start.y + 24}, 100000);  // held to 254: the whole open map
  for (uint16_t c : cost) EXPECT_LT(c, kSlgCostUnreached);
}

// ---- RouteWalk ----

// A board on a rig: a unit on (5, 40) with a route searched and traced to `target`.
struct WalkRig {
  explicit WalkRig(BoardUnit u = {.kind = 40}, bool animated = false) : board(rig.battle()) {
    if (animated) {
      testsupport::SlgTableWriter tables;
      testsupport::UnitAnmWriter(u.kind).Lay(rig.driver().tree, tables);
      tables.Lay(rig.driver().tree);
      LoadSlgTables();
    }
    slot = board.AddUnit(OnCell(5, 40, u));
    Slg::PlaceUnit(U());
  }
  SlgUnit& U() { return Battle().state.units[slot]; }
  int Trace(SlgRangePos target) {
    RouteSearch({U().x >> 16, U().y >> 16}, kRouteWalkLimit);
    return RouteTrace(route, U(), target.x, target.y + 24);
  }
  // Walks until arrival or `limit` frames, standing in for the unit states: 3 (the walk's start)
  // turns into 1 on the second frame, and state 10 (a height change) back into 1 after a frame.
  int WalkToEnd(uint32_t fast, int limit = 400) {
    U().state = 3;
    U().step = 0;
    for (int f = 0; f < limit; ++f) {
      rig.Step();
      if (f == 1) U().state = kUnitStateWalk;
      if (U().state == kUnitStateHeightChange) {
        climbs.push_back(U().x >> 16);
        U().state = kUnitStateWalk;
      }
      steps.push_back(U().step);
      if (RouteWalk(route, U(), fast) == 1) return f + 1;
    }
    return -1;
  }

  BattleRig rig;
  BattleBoard board;
  uint8_t slot = 0;
  RouteRecord route;
  std::vector<uint32_t> steps;  // the step before each call
  std::vector<int32_t> climbs;  // x when state 10 was seen
};

uint16_t UnitAt(SlgRangePos p) {
  const size_t i = Index(p);
  return GetUnitAtCell(static_cast<int>(i % kSlgGridColumns),
                       static_cast<int>(i / kSlgGridColumns));
}

TEST(RouteWalk, OneStepGoesFromStepTwoToThreeAfterOneLeg) {
  WalkRig w;
  const SlgRangePos start = CellPos(5, 40);
  const SlgRangePos target = Step(start, 1);
  ASSERT_EQ(w.Trace(target), 1);
  EXPECT_EQ(w.route.count, 0);
  ASSERT_GT(w.WalkToEnd(0), 0);
  // Step 0 until the walking state, 1 for the leg, then 2 once and 3 once.
  ASSERT_GE(w.steps.size(), 4u);
  EXPECT_EQ(w.steps.front(), 0u);
  EXPECT_EQ(w.steps[w.steps.size() - 2], 2u);
  EXPECT_EQ(w.steps.back(), 3u);
  EXPECT_EQ(std::count(w.steps.begin(), w.steps.end(), 2u), 1);
  EXPECT_EQ(w.U().x, target.x * kPx);
  EXPECT_EQ(w.U().y, target.y * kPx);
  EXPECT_EQ(UnitAt(target), w.slot);
  EXPECT_EQ(UnitAt(start), kSlgNoUnit);
}

TEST(RouteWalk, ThreeStepsWithAClimbLandOnTheTargetWithItsLift) {
  WalkRig w;
  const SlgRangePos start = CellPos(5, 40);
  const SlgRangePos c1 = Step(start, 1);
  const SlgRangePos c2 = Step(c1, 0);
  const SlgRangePos c3 = Step(c2, 1);
  for (SlgRangePos p : {c2, c3}) SetBoth(w.board, p, CellWord(1));
  // The ways round c2 blocked, so the route is start -> c1 -> c2 -> c3.
  SetBoth(w.board, Step(start, 0), CellWord(0, 0x400));
  SetBoth(w.board, Step(c1, 1), CellWord(0, 0x400));
  ASSERT_EQ(w.Trace(c3), 1);
  EXPECT_EQ(w.route.count, 2);
  EXPECT_EQ(w.U().dir, 1);
  ASSERT_GT(w.WalkToEnd(0), 0);
  ASSERT_EQ(w.climbs.size(), 1u) << "one height change, asked for on c1";
  EXPECT_EQ(w.climbs[0], c1.x);
  EXPECT_EQ(w.route.count, 0);
  EXPECT_EQ(Battle().search.path_count, 0);
  EXPECT_EQ(w.U().x, c3.x * kPx);
  EXPECT_EQ(w.U().y, c3.y * kPx) << "y on the cell, the height in the lift";
  EXPECT_EQ(w.U().lift, 48 * kPx);
  EXPECT_EQ(w.U().cell_attr & 0x1F, 1u);
  EXPECT_EQ(UnitAt(c3), w.slot);
  EXPECT_EQ(UnitAt(start), kSlgNoUnit);
}

TEST(RouteWalk, FastWalksAtFourTimesFromTheStartAndSlowClearsALeftoverFastFlag) {
  struct Case {
    uint32_t fast;
    uint32_t leftover;
    bool quick;
  };
  int frames[3] = {};
  const Case cases[] = {{0, 0, false}, {1, 0, true}, {0, 1, false}};
  for (int i = 0; i < 3; ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(testing::Message() << "fast " << c.fast << ", left over " << c.leftover);
    WalkRig w({.kind = 0}, true);
    ASSERT_EQ(w.Trace(Step(CellPos(5, 40), 1)), 1);
    ASSERT_NE(w.U().anm, nullptr);
    ASSERT_NE(w.U().anm->handle, nullptr);
    Battle().fast_walk = c.leftover;  // as the last player move left it
    w.U().state = kUnitStateWalk;
    w.U().step = 0;
    EXPECT_EQ(RouteWalk(w.route, w.U(), c.fast), 0);
    EXPECT_EQ(w.U().step, 1u);
    EXPECT_EQ(Battle().fast_walk, c.fast);
    const SpxAnimeBlock* body = Scene().tamvik_spr.spx()->Block(w.U().anm->handle);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(body->speed, c.quick ? kSlgFastWalkSpeed : 256u);
    if (c.quick) {
      EXPECT_EQ(Battle().fast_walk_start, w.rig.Now());
    }
    int f = 0;
    while (w.U().step == 1 && f < 80) {
      w.rig.Step();
      RouteWalk(w.route, w.U(), c.fast);
      ++f;
    }
    frames[i] = f;
    EXPECT_EQ(w.U().step, 2u);
  }
  EXPECT_LT(frames[1] * 3, frames[0]) << "a fast leg takes a fraction of a normal one";
  EXPECT_EQ(frames[2], frames[0]) << "a slow walk after a fast move walks at normal speed";
}

TEST(RouteWalk, TheTeleportingHeroineGoesStraightToTheTarget) {
  WalkRig w({.character = kSlgTeleportCharacter, .kind = 40});
  const SlgRangePos target = Walk(CellPos(5, 40), {1, 1, 0});
  SetBoth(w.board, target, CellWord(2, 0, 1));
  SetBoth(w.board, Walk(CellPos(5, 40), {1, 1}), CellWord(1));
  SetBoth(w.board, Walk(CellPos(5, 40), {1}), CellWord(1));
  ASSERT_EQ(w.Trace(target), 1);
  SlgUnit& u = w.U();
  u.state = 3;
  u.step = 0;
  EXPECT_EQ(RouteWalk(w.route, u, 0), 0);
  EXPECT_EQ(u.step, 0u) << "she waits for state 1 or 10";
  u.state = kUnitStateWalk;
  EXPECT_EQ(RouteWalk(w.route, u, 0), 0);
  EXPECT_EQ(u.step, 3u);
  EXPECT_EQ(RouteWalk(w.route, u, 0), 1);
  EXPECT_EQ(u.x, target.x * kPx);
  EXPECT_EQ(u.y, target.y * kPx);
  EXPECT_EQ(u.lift, 2 * 48 * kPx);
  EXPECT_EQ(UnitAt(target), w.slot);
}

// ---- FindFreeCellNear ----

TEST(FindFreeCellNear, CellBitsAndUnitsThatMakeACellTaken) {
  struct Case {
    uint32_t word;
    bool unit;
    bool free;
  };
  const Case cases[] = {
      {CellWord(3), false, true},          {CellWord(0, 0x2000), false, true},
      {CellWord(0, 0x400), false, false},  {CellWord(0, 0x800), false, false},
      {CellWord(0, 0x1000), false, false}, {CellWord(0, 0x80000000), false, false},
      {CellWord(0), true, false},
  };
  const SlgRangePos p = CellPos(7, 30);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.word << " unit " << c.unit);
    BattleBoard board;
    board.SetCell2(7, 30, c.word);
    if (c.unit) board.AddUnit(OnCell(7, 30));
    SlgPoint out{1, 2};
    EXPECT_EQ(FindFreeCellNear(out, p.x + 10, p.y + 30), 1);
    // Taken: the first neighbour in direction order.
    const SlgRangePos expected = c.free ? p : Step(p, 0);
    EXPECT_EQ(out.x, expected.x);
    EXPECT_EQ(out.y, expected.y);
  }
}

TEST(FindFreeCellNear, ACrowdedMapFindsItsLastCellAndAFullOneNone) {
  BattleBoard board;
  Battle().unit_grid.fill(0);
  const SlgRangePos corner = CellPos(21, 87);
  Battle().unit_grid[Index(corner)] = kSlgNoUnit;
  SlgPoint out;
  EXPECT_EQ(FindFreeCellNear(out, 0, 0), 1) << "every other cell queued before it";
  EXPECT_EQ(out.x, corner.x);
  EXPECT_EQ(out.y, corner.y);

  Battle().unit_grid[Index(corner)] = 3;
  EXPECT_EQ(FindFreeCellNear(out, 500, 600), 0);
  EXPECT_EQ(out.x, 500);
  EXPECT_EQ(out.y, 600);
}

TEST(FindFreeCellNear, PointsBelowTheMapDoNotAliasOntoTheLastRow) {
  BattleBoard board;
  Battle().unit_grid.fill(0);
  const SlgRangePos start = CellPos(10, 87);
  const SlgRangePos free_cell = CellPos(11, 87);  // two steps away, through row 86
  Battle().unit_grid[Index(free_cell)] = kSlgNoUnit;
  SlgPoint out;
  ASSERT_EQ(FindFreeCellNear(out, start.x, start.y + 24), 1);
  EXPECT_EQ(out.x, free_cell.x);
  EXPECT_EQ(out.y, free_cell.y) << "the cell itself, not a point below it";

  Battle().unit_grid.fill(kSlgNoUnit);
  EXPECT_EQ(FindFreeCellNear(out, start.x, start.y + 24 * 20), 0);
  EXPECT_EQ(out.y, start.y + 24 * 20);
}

}  // namespace
