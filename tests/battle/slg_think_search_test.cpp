// The enemy decision searches on board fixtures: the reach, range and move lists, the target
// choice, the distance field (seeds, spread orders, climbing, regions), lines and quadrilaterals,
// the best move cell and the approaches, the blocked cells of battle map 11, and that no search
// allocates.

#include "battle/slg_think_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_search.h"
#include "battle/slg_unit.h"
#include "game/system_data.h"
#include "testsupport/battle_board.h"
#include "testsupport/stage_writer.h"
#include "testsupport/test_game.h"

namespace {

using testsupport::BattleBoard;
using testsupport::BoardUnit;
using testsupport::CellWord;

using Cell = std::pair<int, int>;  // (column, row)
using CellList = std::vector<Cell>;

constexpr int kDx[4] = {48, 48, -48, -48};
constexpr int kDy[4] = {-24, 24, 24, -24};

// The snapped position of a cell, as the searches list it.
SlgRangePos At(Cell c) {
  return {static_cast<int16_t>((2 * c.first + (c.second & 1)) * 48),
          static_cast<int16_t>(24 * c.second - 24)};
}
Cell CellOf(SlgRangePos p) {
  const SlgCell c = PosToCell(p.x, p.y);
  return {c.column, c.row};
}
// The cell n steps from c in direction d (0-3).
Cell Step(Cell c, int d, int n = 1) {
  const SlgRangePos p = At(c);
  return CellOf({static_cast<int16_t>(p.x + n * kDx[d]), static_cast<int16_t>(p.y + n * kDy[d])});
}
// The cells of the range list, in order.
CellList Listed() {
  const SlgSearchState& s = Battle().search;
  CellList out;
  for (uint32_t i = 0; i < s.range_count; ++i) out.push_back(CellOf(s.range_list[i]));
  return out;
}
void SetList(const CellList& cells) {
  SlgSearchState& s = Battle().search;
  s.range_count = static_cast<uint32_t>(cells.size());
  for (size_t i = 0; i < cells.size(); ++i) s.range_list[i] = At(cells[i]);
}
uint16_t Field(Cell c) {
  return Battle().think_search.distance[static_cast<size_t>(c.second * 22 + c.first)];
}
// A think point at the pixel a unit on the cell stands on.
EnemyThinkPoint PointOn(Cell c) {
  const SlgRangePos p = At(c);
  return {p.x, static_cast<int16_t>(p.y + 24)};
}
// A unit standing on a cell (the prose centre, 24 pixels below the snapped position).
BoardUnit On(Cell c, BoardUnit u = {}) {
  const EnemyThinkPoint p = PointOn(c);
  u.x = p.x;
  u.y = p.y;
  return u;
}
BoardUnit Enemy(Cell c, uint8_t kind = 14, uint8_t category = 1) {
  return On(c, {.side = 1, .character = 20, .kind = kind, .category = category});
}
BoardUnit Player(Cell c, uint8_t character = 1) {
  return On(c, {.side = 0, .character = character, .kind = character, .category = 0});
}

// Adds the acting unit with its move value.
uint8_t Act(BattleBoard& board, const BoardUnit& u, int move) {
  const uint8_t slot = board.AddUnit(u);
  board.battle().state.units[slot].stats.total_move = static_cast<uint8_t>(move);
  board.battle().state.acting_unit = slot;
  return slot;
}
void SetThink(uint8_t type, uint8_t target, std::array<EnemyThinkPoint, 4> points = {}) {
  EnemyThinkRec& t = Battle().think_search.think;
  t.type = type;
  t.target = target;
  t.points = points;
}
// Type 7 goal at a cell given by column and row.
void GoalCell(Cell c) { SetThink(7, 0, {EnemyThinkPoint{static_cast<int16_t>(c.first),
                                                        static_cast<int16_t>(c.second)}}); }

// ---- Reach, range and move lists ----

TEST(EnemyLists, MoveCellsDropOtherUnitsKeepOwnCellAndOrder) {
  BattleBoard board;
  const Cell own{5, 20};
  const uint8_t self = Act(board, Enemy(own), 2);
  board.AddUnit(Enemy(Step(own, 1)));  // an ally: the flood passes it, its cell is dropped
  board.AddUnit(Player(Step(own, 3)));  // a player unit stops the flood
  Slg::EnemyMoveSearch(At(own), 2);
  CellList expected;
  for (const Cell& c : Listed()) {
    const uint16_t slot = GetUnitAtCell(c.first, c.second);
    if (slot == kSlgNoUnit || slot == self) expected.push_back(c);
  }
  EnemyMoveCells();
  const CellList moves = Listed();
  EXPECT_EQ(moves, expected);
  EXPECT_EQ(moves.front(), own);
  EXPECT_EQ(std::count(moves.begin(), moves.end(), Step(own, 1)), 0);
  EXPECT_EQ(std::count(moves.begin(), moves.end(), Step(own, 3)), 0);
}

TEST(EnemyLists, EveryListIsCutTo256) {
  BattleBoard board;
  const Cell own{10, 43};
  const uint8_t self = Act(board, Enemy(own, 45), 12);
  const SlgUnit& unit = board.battle().state.units[self];

  Slg::EnemyMoveSearch(At(own), 12);
  ASSERT_GT(Battle().search.range_count, 256u);
  const CellList flood = Listed();
  EnemyMoveCells();
  EXPECT_EQ(Listed(), CellList(flood.begin(), flood.begin() + 256));

  Slg::ThreatSearch(At(own), unit, 0);
  ASSERT_GT(Battle().search.range_count, 256u);
  const CellList threat = Listed();
  EnemyReachCells(0);
  EXPECT_EQ(Listed(), CellList(threat.begin(), threat.begin() + 256));
}

TEST(EnemyLists, RangeCellsStoreTheOriginAndNeverKeepAStaleList) {
  BattleBoard board;
  const Cell own{6, 31};
  const uint8_t self = Act(board, Enemy(own, 25), 3);  // kind 25: a cross of length 5
  EnemyRangeCells(0);
  EXPECT_EQ(Battle().think_search.range_origin.x, At(own).x);
  EXPECT_EQ(Battle().think_search.range_origin.y, At(own).y);
  EXPECT_EQ(Listed().size(), 20u);
  EXPECT_EQ(Listed().front(), Step(own, 0));
  // Kind 4's normal aim lists nothing: an empty range, not the cross of the last search.
  board.battle().state.units[self].kind = 4;
  EnemyRangeCells(0);
  EXPECT_EQ(Battle().search.range_count, 0u);
}

// ---- Units by character, nearest, strongest ----

TEST(EnemyTargetLookups, CharacterNearestAndStrongest) {
  BattleBoard board;
  const uint8_t p0 = board.AddUnit(Player({3, 20}, 1));   // distance 2 x 7 + 0 = 14
  const uint8_t p1 = board.AddUnit(Player({10, 27}, 2));  // 0 + 7 = 7
  const uint8_t p2 = board.AddUnit(Player({10, 13}, 3));  // 7: equal, later
  const uint8_t dead = board.AddUnit(Player({10, 21}, 2));
  Act(board, Enemy({10, 20}), 3);
  SlgBattleState& st = board.battle().state;
  st.units[dead].step = kSlgDeadStep;
  st.units[p0].stats.life = 50;
  st.units[p1].stats.life = 80;
  st.units[p2].stats.life = 80;
  st.units[dead].stats.life = 200;

  EXPECT_EQ(FindUnitByCharacter(2), p1);  // the dead record of character 2 is not found
  EXPECT_EQ(FindUnitByCharacter(20), 4);
  EXPECT_EQ(FindUnitByCharacter(6), kThinkNoCharacterUnit);
  EXPECT_EQ(NearestPlayerUnit(), p1);
  EXPECT_EQ(StrongestPlayerUnit(), p1);

  // Nobody nearer than 100 and nobody with life: none, never slot 0.
  for (uint8_t slot : {p0, p1, p2}) {
    st.units[slot].x = (21 * 96 + 48) << 16;
    st.units[slot].y = (24 * 87) << 16;
    st.units[slot].stats.life = 0;
  }
  st.units[4].x = 0;
  st.units[4].y = 0;
  EXPECT_EQ(NearestPlayerUnit(), kSlgNoUnit);
  EXPECT_EQ(StrongestPlayerUnit(), kSlgNoUnit);
}

// ---- Target choice ----

struct TargetUnit {
  Cell cell;
  uint8_t character;
  int16_t life;
  uint8_t category = 0;
};
struct TargetCase {
  const char* name;
  std::vector<TargetUnit> units;  // slots 0, 1, ...; the acting unit comes after them
  std::vector<int> list;          // the range list as unit numbers (-1: an empty cell)
  uint8_t think_type;
  uint8_t think_target;
  uint16_t expected;
  Cell acting{10, 40};
};

TEST(EnemyChooseTarget, PreferenceTable) {
  // The acting unit stands on (10, 40) unless the case says otherwise.
  const Cell near{10, 42};  // distance 2
  const Cell mid{12, 40};   // 4
  const Cell far{15, 40};   // 10
  const std::vector<TargetUnit> nine = {
      {{10, 30}, 1, 100}, {{10, 31}, 2, 100}, {{10, 32}, 3, 100}, {{10, 33}, 4, 100},
      {{10, 34}, 5, 100}, {{10, 35}, 6, 100}, {{10, 36}, 7, 100}, {{10, 37}, 8, 100},
      {{10, 80}, 9, 5}};
  const TargetCase cases[] = {
      {"life 29 beats the hero", {{far, 0, 100}, {mid, 1, 29}}, {0, 1}, 1, 0, 1},
      {"life 30 does not", {{far, 1, 30}, {mid, 0, 100}}, {0, 1}, 1, 0, 1},
      {"the first of equal least lives", {{far, 1, 20}, {mid, 2, 20}}, {1, 0}, 1, 0, 1},
      {"the hero beats a nearer heroine", {{near, 1, 100}, {far, 0, 100}}, {0, 1}, 1, 0, 1},
      {"else the nearest, first of equals",
       {{far, 1, 100}, {mid, 2, 100}, {{8, 40}, 3, 100}},
       {0, 1, 2},
       1,
       0,
       1},
      {"type 0 'i' collected", {{near, 1, 100}, {mid, 2, 5}}, {1, 0}, 0, 'i', 0},
      {"type 0 'i' not collected", {{near, 1, 100}, {mid, 2, 5}}, {1}, 0, 'i', 1},
      {"'i' is only for type 0", {{near, 1, 100}, {mid, 2, 5}}, {1, 0}, 1, 'i', 1},
      {"type 0 'k' collected", {{near, 1, 100}, {mid, 2, 5}, {far, 3, 300}}, {0, 1, 2}, 0, 'k', 2},
      {"type 0 'k' not collected", {{near, 1, 100}, {mid, 2, 5}, {far, 3, 300}}, {0, 1}, 0, 'k', 1},
      {"type 0 character collected", {{near, 1, 10}, {mid, 3, 100}}, {0, 1}, 0, 3, 1},
      {"type 0 character not collected", {{near, 1, 10}, {mid, 3, 100}}, {0}, 0, 3, 0},
      {"type 0 character not on the map", {{near, 1, 100}, {mid, 0, 100}}, {0, 1}, 0, 6, 1},
      {"type 0 'i' with nobody within 100 names nobody (not slot 0)",
       {{{21, 87}, 1, 100}, {{20, 86}, 2, 20}},
       {0, 1},
       0,
       'i',
       1,
       {0, 0}},
      {"a 9th unit is ignored, repeats count once", nine, {0, 0, 1, 2, 1, 3, 4, 5, 6, 7, 8}, 1, 0, 7},
      {"no category-0 unit", {{near, 1, 5, 1}, {mid, 2, 5, 2}}, {0, -1, 1}, 1, 0, kSlgNoUnit},
      {"all farther than 100: the first collected",
       {{{21, 87}, 1, 100}, {{15, 87}, 2, 100}},
       {1, 0},
       1,
       0,
       1,
       {0, 0}},
  };
  for (const TargetCase& c : cases) {
    SCOPED_TRACE(c.name);
    BattleBoard board;
    for (const TargetUnit& u : c.units) {
      BoardUnit b = Player(u.cell, u.character);
      b.category = u.category;
      const uint8_t slot = board.AddUnit(b);
      board.battle().state.units[slot].stats.life = u.life;
    }
    Act(board, Enemy(c.acting), 3);
    CellList list;
    for (int n : c.list) list.push_back(n < 0 ? Cell{5, 5} : c.units[static_cast<size_t>(n)].cell);
    SetList(list);
    SetThink(c.think_type, c.think_target);
    Battle().think_search.target = 42;
    EnemyChooseTarget();
    EXPECT_EQ(Battle().think_search.target, c.expected);
  }
}

// ---- The distance field ----

TEST(EnemyThinkDecide, ValuesRiseOnePerStepInTheNeighbourOrders) {
  for (const Cell& goal : {Cell{8, 41}, Cell{8, 40}}) {
    SCOPED_TRACE(goal.second);
    BattleBoard board;
    Act(board, Enemy({2, 2}), 3);
    GoalCell(goal);
    EnemyThinkDecide(0);
    const SlgThinkSearchState& t = Battle().think_search;
    const int c = goal.first;
    const int r = goal.second;
    // The goal first, then its neighbours in the row's order.
    const CellList odd = {{c, r - 1}, {c, r + 1}, {c + 1, r + 1}, {c + 1, r - 1}};
    const CellList even = {{c - 1, r - 1}, {c - 1, r + 1}, {c, r + 1}, {c, r - 1}};
    ASSERT_GE(t.queue_write, 5u);
    EXPECT_EQ((Cell{t.queue[0].column, t.queue[0].row}), goal);
    CellList queued;
    for (int i = 1; i <= 4; ++i) queued.emplace_back(t.queue[i].column, t.queue[i].row);
    EXPECT_EQ(queued, (r & 1) != 0 ? odd : even);
    // On open ground every cell is reached once; k steps along a direction hold 1 + k.
    EXPECT_EQ(t.queue_write, 22u * 88u);
    for (int d = 0; d < 4; ++d) {
      for (int k = 1; k <= 6; ++k) EXPECT_EQ(Field(Step(goal, d, k)), 1 + k) << d << " " << k;
    }
    EXPECT_EQ(Field({c, r + 2}), 3);
    EXPECT_EQ(Field({c + 3, r}), 7);
  }
}

TEST(EnemyThinkDecide, BlockedCellsAndUnitsByMode) {
  BattleBoard board;
  const Cell goal{10, 40};
  Act(board, Enemy({10, 50}, 14, 1), 3);
  // A wall of blocked cells across the path: rows 44 and 45 at every column.
  for (int c = 0; c < 22; ++c) {
    board.SetCell(c, 44, 0x400);
    board.SetCell(c, 45, 0x400);
  }
  board.SetCell(21, 44, 0);  // a gap at the right edge
  board.SetCell(21, 45, 0);
  const uint8_t object = board.AddUnit(Enemy({9, 40}, 30, 4));
  const uint8_t other = board.AddUnit(Enemy({11, 40}, 14, 1));
  GoalCell(goal);
  EnemyThinkDecide(0);
  EXPECT_EQ(Field({3, 44}), kThinkBlocked);
  EXPECT_EQ(Field({9, 40}), kThinkBlocked);  // category 4 blocks the goal field
  EXPECT_EQ(Field({11, 40}), 3);             // any other category is passable
  EXPECT_GT(Field({10, 50}), 11);            // around the wall, not through it
  EXPECT_LT(Field({10, 50}), kThinkBlocked);

  // Mode 1 seeds the target's cell and ignores the units.
  Battle().think_search.target = other;
  EnemyThinkDecide(1);
  EXPECT_EQ(Field({11, 40}), 1);
  EXPECT_EQ(Field({9, 40}), 5);
  (void)object;
  // No target: nothing is seeded, nothing reached.
  Battle().think_search.target = kSlgNoUnit;
  EnemyThinkDecide(1);
  const auto& field = Battle().think_search.distance;
  EXPECT_TRUE(std::all_of(field.begin(), field.end(),
                          [](uint16_t v) { return v == kThinkUnreached || v == kThinkBlocked; }));
}

TEST(EnemyThinkDecide, ClimbingRulesInWalkingTerms) {
  // The goal cell stands `climb` levels above all the ground around it: walking onto it climbs.
  struct Case {
    const char* name;
    int climb;
    uint8_t category, kind;
    bool reached;
  } cases[] = {
      {"category 2 kind 14 climbs no level", 1, 2, 14, false},
      {"category 2 kind 21 climbs one", 1, 2, 21, true},
      {"category 2 kind 22 climbs one", 1, 2, 22, true},
      {"category 1 climbs one", 1, 1, 14, true},
      {"category 1 does not climb two", 2, 1, 14, false},
      {"category 2 kind 21 does not climb two", 2, 2, 21, false},
      {"a drop of 5 passes for category 2", -5, 2, 14, true},
      {"level ground", 0, 2, 14, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BattleBoard board;
    const Cell goal{10, 40};
    const int ground = c.climb < 0 ? 6 : 1;
    for (int r = 0; r < 88; ++r) {
      for (int col = 0; col < 22; ++col) board.SetCell(col, r, CellWord(ground));
    }
    board.SetCell(goal.first, goal.second, CellWord(ground + c.climb));
    Act(board, Enemy({3, 3}, c.kind, c.category), 3);
    GoalCell(goal);
    EnemyThinkDecide(0);
    EXPECT_EQ(Field(Step(goal, 1)), c.reached ? 2 : kThinkUnreached);
    EXPECT_EQ(Field({3, 3}) < kThinkBlocked, c.reached);
  }
}

TEST(EnemyThinkDecide, PointGoalsByType) {
  BattleBoard board;
  Act(board, Enemy({2, 2}), 3);
  const uint8_t hero = board.AddUnit(Player({7, 33}, 0));
  // Height 2 under the point in the second grid lowers it 96 pixels, four rows.
  board.battle().cell_grid2[30 * 22 + 5] = CellWord(2);
  board.SetCell(5, 30, CellWord(7));  // the first grid does not lower points
  const EnemyThinkPoint p = PointOn({5, 30});
  struct Case {
    uint8_t type, target;
    EnemyThinkPoint point;
    std::vector<Cell> goals;  // empty: nothing seeded
  } cases[] = {
      {2, 'j', p, {{5, 30}}},
      {2, 0, p, {{5, 34}}},
      {7, 'j', p, {{5, 30}}},
      {7, 0, {12, 70}, {{12, 70}}},
      {7, 0, {22, 70}, {}},  // a column off the map
      {0, 0, p, {{7, 33}}},  // the hero's cell
      {1, 'i', p, {{7, 33}}},  // the nearest: the hero, 2 x 5 + 31 from (2, 2)
      {3, 0, p, {}},
      {5, 0, p, {}},
      {8, 0, p, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int{c.type} << " " << int{c.target});
    SetThink(c.type, c.target, {c.point});
    EnemyThinkDecide(0);
    CellList goals;
    for (int i = 0; i < 22 * 88; ++i) {
      if (Battle().think_search.distance[static_cast<size_t>(i)] == 1) goals.emplace_back(i % 22, i / 22);
    }
    EXPECT_EQ(goals, CellList(c.goals.begin(), c.goals.end()));
  }
  (void)hero;
}

// ---- Regions ----

CellList Seeded() {
  CellList out;
  for (int i = 0; i < 22 * 88; ++i) {
    if (Battle().think_search.distance[static_cast<size_t>(i)] == 1) out.emplace_back(i % 22, i / 22);
  }
  return out;
}

TEST(EnemyThinkDecide, RegionTable) {
  // A diamond in cell coordinates: left (5, 20), top (10, 10), right (15, 20), bottom (10, 30);
  // inside when |r - 20| < 10 - 2 |c - 10| (type 4) or <= (type 6).
  auto diamond = [](int shift, bool inclusive) {
    CellList out;
    for (int r = 0; r < 88; ++r) {
      for (int c = 0; c < 22; ++c) {
        const int a = std::abs(r - 20 - shift);
        const int b = 10 - 2 * std::abs(c - 10);
        if (inclusive ? a <= b : a < b) out.emplace_back(c, r);
      }
    }
    return out;
  };
  auto rect = [](int c0, int c1, int r0, int r1) {
    CellList out;
    for (int r = r0; r <= r1; ++r) {
      for (int c = c0; c <= c1; ++c) out.emplace_back(c, r);
    }
    return out;
  };
  const std::array<EnemyThinkPoint, 4> diamond_points = {PointOn({5, 20}), PointOn({10, 10}),
                                                         PointOn({15, 20}), PointOn({10, 30})};
  // Left side vertical at column 4, right side vertical at column 14.
  const std::array<EnemyThinkPoint, 4> box_points = {PointOn({4, 30}), PointOn({4, 10}),
                                                     PointOn({14, 10}), PointOn({14, 30})};
  struct Case {
    const char* name;
    uint8_t type;
    std::array<EnemyThinkPoint, 4> points;
    bool raise_corners;
    CellList expected;
  } cases[] = {
      {"type 4 diamond, sides out", 4, diamond_points, false, diamond(0, false)},
      {"type 6 diamond, sides in", 6, diamond_points, false, diamond(0, true)},
      {"type 6 corners lowered two rows", 6, diamond_points, true, diamond(2, true)},
      {"type 4 ignores the corner heights", 4, diamond_points, true, diamond(0, false)},
      {"type 4 with vertical sides", 4, box_points, false, rect(5, 13, 11, 29)},
      {"type 6 with vertical sides", 6, box_points, false, rect(4, 14, 10, 30)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BattleBoard board;
    Act(board, Enemy({2, 80}), 3);
    if (c.raise_corners) {
      for (const Cell& corner : {Cell{5, 20}, Cell{10, 10}, Cell{15, 20}, Cell{10, 30}})
        board.battle().cell_grid2[static_cast<size_t>(corner.second * 22 + corner.first)] = CellWord(1);
    }
    SetThink(c.type, 0, c.points);
    EnemyThinkDecide(0);
    EXPECT_EQ(Seeded(), c.expected);
  }
}

TEST(EnemyThinkDecide, HalfMapRegionSeedsMoreThanARingOf256) {
  BattleBoard board;
  Act(board, Enemy({10, 80}), 3);
  // Columns 0 and 21 are vertical sides; rows 0 and 44 the others.
  SetThink(4, 0, {PointOn({0, 44}), PointOn({0, 0}), PointOn({21, 0}), PointOn({21, 44})});
  EnemyThinkDecide(0);
  EXPECT_EQ(Seeded().size(), 20u * 43u);
  const SlgThinkSearchState& t = Battle().think_search;
  EXPECT_EQ(t.queue_write, 22u * 88u);  // every cell queued once
  EXPECT_TRUE(std::none_of(t.distance.begin(), t.distance.end(),
                           [](uint16_t v) { return v >= kThinkBlocked; }));
  EXPECT_EQ(Field({10, 80}), 1 + (80 - 43));
}

// ---- Lines and quadrilaterals ----

TEST(ThinkLine, SlopeInterceptAndVerticalLines) {
  struct Case {
    SlgPair p1, p2;
    int64_t slope, intercept;
  } cases[] = {
      {{0, 0}, {2 << 16, 1 << 16}, 0x8000, 0},
      {{10 << 16, 20 << 16}, {20 << 16, 0}, -2 << 16, 40 << 16},
      {{-100 << 16, 5 << 16}, {300 << 16, 5 << 16}, 0, 5 << 16},
  };
  for (const Case& c : cases) {
    const ThinkLineFit line = ThinkLine(c.p1, c.p2);
    EXPECT_FALSE(line.vertical);
    EXPECT_EQ(line.slope, c.slope);
    EXPECT_EQ(line.intercept, c.intercept);
    EXPECT_EQ(ThinkLineAt(line, c.p2.x), c.p2.y);
  }
  const ThinkLineFit vertical = ThinkLine({7 << 16, 0}, {7 << 16, 90 << 16});
  EXPECT_TRUE(vertical.vertical);
  EXPECT_EQ(vertical.x, 7 << 16);
}

TEST(ThinkQuadContains, InsideOnTheSidesAndVerticalSides) {
  BattleBoard board;
  const uint8_t self = Act(board, Enemy({2, 2}), 3);
  SlgUnit& unit = board.battle().state.units[self];
  // Inside is below L12 and L41 and above L23 and L34 (y grows downward): p1 the top corner,
  // p3 the bottom one. A diamond around (400, 400): top, left, bottom, right.
  const std::array<EnemyThinkPoint, 4> diamond = {
      EnemyThinkPoint{400, 300}, {300, 400}, {400, 500}, {500, 400}};
  // A box whose sides p2-p3 and p4-p1 are vertical: top left, top right, bottom right, bottom
  // left.
  const std::array<EnemyThinkPoint, 4> box = {
      EnemyThinkPoint{300, 300}, {500, 300}, {500, 500}, {300, 500}};
  struct Case {
    const char* name;
    std::array<EnemyThinkPoint, 4> quad;
    int32_t x, y;
    int inside;
  } cases[] = {
      {"centre", diamond, 400, 400, 1},       {"on a side", diamond, 350, 350, 1},
      {"outside a side", diamond, 340, 350, 0}, {"corner", diamond, 400, 300, 1},
      {"below", diamond, 400, 520, 0},        {"box inside", box, 400, 400, 1},
      {"box left side", box, 300, 400, 1},    {"box left of it", box, 299, 400, 0},
      {"box right of it", box, 501, 400, 0},  {"box above", box, 400, 299, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    unit.x = c.x << 16;
    unit.y = c.y << 16;
    EXPECT_EQ(ThinkQuadContains(c.quad), c.inside);
  }
}

// ---- Best move cell and approaches ----

TEST(EnemyBestMoveCell, FirstOfTheBestAndEntryZeroWithoutAField) {
  BattleBoard board;
  const Cell own{5, 20};
  Act(board, Enemy(own), 1);
  GoalCell({5, 22});  // two rows below: (4, 21) and (5, 21) are equally near
  const int best = EnemyBestMoveCell();
  const CellList moves = Listed();
  const SlgThinkSearchState& t = Battle().think_search;
  ASSERT_EQ(moves.size(), 5u);
  int first = -1;
  for (int i = 0; i < 5; ++i) {
    if (moves[static_cast<size_t>(i)] == Cell{4, 21} || moves[static_cast<size_t>(i)] == Cell{5, 21}) {
      EXPECT_EQ(t.scores[static_cast<size_t>(i)], (20 - 2) * 5);
      if (first < 0) first = i;
    }
  }
  EXPECT_EQ(best, first);

  // A goal the walk cannot reach from the move cells (type 3: no goal at all): entry 0.
  SetThink(3, 0);
  EXPECT_EQ(EnemyBestMoveCell(), 0);
  EXPECT_EQ(t.scores[0], -1000);
  EXPECT_EQ(t.scores[4], -1000);
}

TEST(EnemyApproach, TargetLimitsAndTheFirstBestCandidate) {
  BattleBoard board;
  const Cell own{10, 40};
  const uint8_t self = Act(board, Enemy(own, 45), 10);  // kind 45: a square of radius 5
  const Cell goal{7, 36};  // up and left, where the flood goes first
  const uint8_t target = board.AddUnit(Player(goal, 1));
  Battle().think_search.target = target;

  EnemyMoveCells();
  const CellList moves = Listed();
  ASSERT_GT(moves.size(), 128u);
  // Independently: a free move cell of the first 128 whose square (96 x 5 left and right... of
  // 48 r and 24 r pixels) holds the target, each once, at most 32.
  const SlgRangePos g = At(goal);
  CellList expected;
  for (size_t i = 0; i < 128 && expected.size() < 32; ++i) {
    const Cell c = moves[i];
    if (GetUnitAtCell(c.first, c.second) != kSlgNoUnit) continue;
    if (std::find(expected.begin(), expected.end(), c) != expected.end()) continue;
    const SlgRangePos p = At(c);
    if (std::abs(p.x - g.x) <= 240 && std::abs(p.y - g.y) <= 120) expected.push_back(c);
  }
  ASSERT_EQ(expected.size(), 32u);
  int best = -1000;
  Cell chosen{};
  for (const Cell& c : expected) {
    const int score = ((10 - std::abs(c.first - own.first)) * 2 - std::abs(c.second - own.second)) * 5;
    if (score > best) {
      best = score;
      chosen = c;
    }
  }
  EXPECT_EQ(EnemyApproachTarget(0), 32);
  const SlgThinkSearchState& t = Battle().think_search;
  CellList got;
  for (uint32_t k = 0; k < t.candidate_count; ++k) got.push_back(CellOf(t.candidates[k]));
  EXPECT_EQ(got, expected);
  EXPECT_EQ(CellOf(t.destination), chosen);

  // No target: no candidate.
  Battle().think_search.target = kSlgNoUnit;
  Battle().think_search.destination = {};
  EXPECT_EQ(EnemyApproachTarget(0), 0);
  EXPECT_EQ(Battle().think_search.destination.x, 0);
  (void)self;
}

TEST(EnemyApproach, AllyCellNextToTheAlly) {
  BattleBoard board;
  board.AddUnit(Player({2, 2}, 0));  // slot 0
  const Cell own{10, 40};
  Act(board, Enemy(own), 3);
  const Cell ally_cell = Step(own, 1, 3);
  const uint8_t ally = board.AddUnit(Enemy(ally_cell));
  board.AddUnit(Player(Step(ally_cell, 1), 1));  // a player beside it takes one cell
  GoalCell(ally_cell);
  Battle().think_search.support_target = ally;
  const int count = EnemyApproachAlly();
  EXPECT_GT(count, 0);
  const Cell dest = CellOf(Battle().think_search.destination);
  bool beside = false;
  for (int d = 0; d < 4; ++d) beside = beside || Step(ally_cell, d) == dest;
  EXPECT_TRUE(beside) << dest.first << "," << dest.second;

  // No support target: no candidate.
  Battle().think_search.support_target = kSlgNoUnit;
  EXPECT_EQ(EnemyApproachAlly(), 0);
  // A goal field that reaches nothing (type 3): no candidate.
  Battle().think_search.support_target = ally;
  SetThink(3, 0);
  EXPECT_EQ(EnemyApproachAlly(), 0);
}

// ---- Battle map 11 ----

TEST(EnemyMapBlocks, Map11BlocksTwoCellsDuringTheSearchesOnly) {
  testsupport::TestGame game;
  const SlgCell a = PosToCell(1200, 672);
  const SlgCell b = PosToCell(1248, 696);
  const Cell ca{a.column, a.row};
  const Cell cb{b.column, b.row};
  ASSERT_NE(ca, cb);
  enum Search { kReach, kMove, kField };
  struct Case {
    Search search;
    uint32_t map;
    bool b_blocked_before;
  } cases[] = {{kReach, 11, false}, {kMove, 11, false}, {kField, 11, false},
               {kReach, 10, false}, {kMove, 10, false}, {kField, 10, false},
               {kMove, 11, true},   {kField, 11, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.search << " map " << c.map << " " << c.b_blocked_before);
    GetSystemData()->setBattleMap(c.map);
    BattleBoard board;
    // An enemy two cells from both with a cross of length 5 (kind 25).
    Act(board, Enemy(Step(ca, 3, 2), 25), 4);
    GoalCell(Step(ca, 3, 2));
    if (c.b_blocked_before) board.SetCell(cb.first, cb.second, 0x400);
    const SlgGrid before = Battle().cell_grid;
    bool a_blocked = false;
    bool b_blocked = false;
    switch (c.search) {
      case kReach:
      case kMove: {
        if (c.search == kReach) {
          EnemyReachCells(0);
        } else {
          EnemyMoveCells();
        }
        const CellList l = Listed();
        a_blocked = std::find(l.begin(), l.end(), ca) == l.end();
        b_blocked = std::find(l.begin(), l.end(), cb) == l.end();
        break;
      }
      case kField:
        EnemyThinkDecide(0);
        a_blocked = Field(ca) == kThinkBlocked;
        b_blocked = Field(cb) == kThinkBlocked;
        break;
    }
    EXPECT_EQ(a_blocked, c.map == 11);
    EXPECT_EQ(b_blocked, c.map == 11 || c.b_blocked_before);
    EXPECT_EQ(Battle().cell_grid, before);
  }
}

// ---- No allocation ----

#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(
    void (*malloc_hook)(const volatile void*, size_t), void (*free_hook)(const volatile void*));
std::atomic<bool> counting{false};
std::atomic<uint64_t> allocations{0};
void CountMalloc(const volatile void*, size_t) {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1, std::memory_order_relaxed);
}
void IgnoreFree(const volatile void*) {}
#endif

TEST(EnemySearchAllocations, NoSearchAllocates) {
#if defined(__SANITIZE_ADDRESS__)
  static const int installed = __sanitizer_install_malloc_and_free_hooks(CountMalloc, IgnoreFree);
  ASSERT_NE(installed, 0);
  BattleBoard board;
  const Cell own{10, 40};
  Act(board, Enemy(own, 45), 8);
  const uint8_t target = board.AddUnit(Player({8, 36}, 0));
  const uint8_t ally = board.AddUnit(Enemy(Step(own, 1, 3)));
  Battle().think_search.target = target;
  Battle().think_search.support_target = ally;
  SetThink(4, 'i', {PointOn({0, 44}), PointOn({0, 0}), PointOn({21, 0}), PointOn({21, 44})});
  allocations = 0;
  counting = true;
  EnemyReachCells(0);
  EnemyRangeCells(1);
  EnemyMoveCells();
  EnemyChooseTarget();
  Battle().think_search.target = target;
  EnemyThinkDecide(0);
  EnemyThinkDecide(1);
  const int best = EnemyBestMoveCell();
  const int approach = EnemyApproachTarget(0);
  const int ally_cells = EnemyApproachAlly();
  const int inside = ThinkQuadContains(Battle().think_search.think.points);
  counting = false;
  EXPECT_EQ(allocations.load(), 0u);
  EXPECT_GT(approach, 0);
  EXPECT_GT(ally_cells, 0);
  (void)best;
  (void)inside;
#else
  GTEST_SKIP() << "counted through the address sanitizer's allocation hooks";
#endif
}

}  // namespace
