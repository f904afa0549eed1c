// The range searches on board fixtures: the move flood (climbs, sides, row order), the aim rays
// (pass-over, height tables), the attack row's shapes, the threat search, the walk path built
// back from the cost grid, capacity refusals and the map's edges.

#include "battle/slg_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_unit.h"
#include "testsupport/battle_board.h"
#include "testsupport/stage_writer.h"
#include "testsupport/trace_capture.h"

namespace {

using testsupport::CellPos;

using testsupport::BattleBoard;
using testsupport::BoardUnit;
using testsupport::CellWord;
using testsupport::TraceCapture;

using CellList = std::vector<std::pair<int, int>>;  // (column, row)

constexpr int kDx[4] = {48, 48, -48, -48};
constexpr int kDy[4] = {-24, 24, 24, -24};

// The cell n steps from (column, row) in direction d.
std::pair<int, int> Step(int column, int row, int d, int n = 1) {
  const SlgRangePos p = CellPos(column, row);
  const SlgCell c = PosToCell(p.x + n * kDx[d], p.y + n * kDy[d]);
  return {c.column, c.row};
}

CellList Listed() {
  const SlgSearchState& s = Battle().search;
  CellList out;
  for (uint32_t i = 0; i < s.range_count; ++i) {
    const SlgCell c = PosToCell(s.range_list[i].x, s.range_list[i].y);
    out.emplace_back(c.column, c.row);
  }
  return out;
}
bool Has(const CellList& list, std::pair<int, int> cell) {
  return std::find(list.begin(), list.end(), cell) != list.end();
}
int Cost(std::pair<int, int> cell) {
  return Battle().search.range_cost[static_cast<size_t>(cell.second * 22 + cell.first)];
}

// A unit standing on a cell (the prose centre, 24 pixels below the snapped position).
BoardUnit On(int column, int row, BoardUnit u = {}) {
  const SlgRangePos p = CellPos(column, row);
  u.x = p.x;
  u.y = static_cast<int16_t>(p.y + 24);
  return u;
}

void BlockAll(BattleBoard& board, uint32_t word = 0x1000) {
  for (int r = 0; r < 88; ++r) {
    for (int c = 0; c < 22; ++c) board.SetCell(c, r, word);
  }
}

TEST(SlgAttackRange, TellingRowsIndexedKindTimesTwoPlusMode) {
  struct Case {
    int kind, mode;
    SlgAttackRangeRow row;
  };
  for (const Case& c :
       {Case{0, 0, {0, 1, 0, 0, 0, 0, 0, 0}}, Case{1, 1, {0, 256, 0, 0, 1, 256, 0, 0}},
        Case{3, 0, {0, 5, 0, 1, 0, 0, 0, 0}}, Case{4, 0, {1, 2, 0, 0, 2, 2, 0, 1}},
        Case{5, 0, {2, 4, 1, 0, 3, 1, 0, 1}}, Case{8, 1, {0, 256, 0, 0, 4, 256, 0, 0}},
        Case{30, 1, {2, 4, 1, 2, 2, 2, 2, 1}}, Case{33, 1, {1, 25, 0, 0, 2, 25, 0, 1}},
        Case{38, 0, {3, 256, 0, 2, 0, 0, 2, 0}}, Case{51, 1, {1, 5, 0, 0, 2, 5, 0, 0}}}) {
    SCOPED_TRACE(testing::Message() << c.kind << "/" << c.mode);
    const SlgAttackRangeRow& r = kSlgAttackRange[static_cast<size_t>(c.kind * 2 + c.mode)];
    EXPECT_EQ(std::vector<int>(
                  {r.aim_shape, r.aim1, r.aim2, r.aim3, r.area_shape, r.area1, r.area2, r.area3}),
              std::vector<int>({c.row.aim_shape, c.row.aim1, c.row.aim2, c.row.aim3,
                                c.row.area_shape, c.row.area1, c.row.area2, c.row.area3}));
  }
}

TEST(SlgSearchGrid, SnappedCentresAndNeighboursAgreeWithPosToCell) {
  BattleBoard board;
  // Every cell's listed centre is its own snap, and a move of 1 reaches exactly the neighbours
  // the directions name.
  for (int r = 0; r < 88; ++r) {
    for (int c = 0; c < 22; ++c) {
      const SlgPoint snap = SnapPosToCell(CellPos(c, r).x, CellPos(c, r).y + 24);
      ASSERT_EQ(snap.x, CellPos(c, r).x);
      ASSERT_EQ(snap.y, CellPos(c, r).y);
      const SlgPoint again = SnapPosToCell(CellPos(c, r).x, CellPos(c, r).y);
      ASSERT_EQ(again.x, CellPos(c, r).x);
      ASSERT_EQ(again.y, CellPos(c, r).y);
    }
  }
  Slg::MoveSearch(1, CellPos(5, 20), 1);
  EXPECT_EQ(Listed(), (CellList{{4, 19}, {5, 19}, {5, 20}, {4, 21}, {5, 21}}));
  EXPECT_EQ(Step(5, 20, 0), std::make_pair(5, 19));
  EXPECT_EQ(Step(5, 20, 2), std::make_pair(4, 21));
}

TEST(SlgMoveSearch, ClimbsDropsSidesAndRowOrder) {
  BattleBoard board;
  const uint8_t hero = board.AddUnit(On(5, 20));
  board.battle().state.acting_unit = hero;
  // Flat ground, move 1: the start and its four neighbours, row by row, costs 0 and 1.
  Slg::MoveSearch(0, CellPos(5, 20), 1);
  EXPECT_EQ(Listed(), (CellList{{4, 19}, {5, 19}, {5, 20}, {4, 21}, {5, 21}}));
  EXPECT_EQ(Cost({5, 20}), 0);
  EXPECT_EQ(Cost({4, 19}), 1);
  EXPECT_EQ(Cost({5, 18}), 255);
  // Move 0: the start alone.
  Slg::MoveSearch(0, CellPos(5, 20), 0);
  EXPECT_EQ(Listed(), (CellList{{5, 20}}));

  // Start at height 3: a neighbour at 5 is refused, one at 4 taken, one at 0 (a drop) taken.
  board.SetCell(5, 20, CellWord(3));
  board.SetCell(5, 19, CellWord(5));
  board.SetCell(5, 21, CellWord(4));
  board.SetCell(4, 21, CellWord(0));
  board.SetCell(4, 19, CellWord(3, 0x80000000));
  Slg::MoveSearch(0, CellPos(5, 20), 1);
  EXPECT_EQ(Listed(), (CellList{{5, 20}, {4, 21}, {5, 21}}));
}

TEST(SlgMoveSearch, OwnSideUnitsLetTheWalkPassOtherSideUnitsBlock) {
  struct Case {
    uint8_t side;
    bool passes;
  };
  for (const Case& c : {Case{0, true}, Case{1, false}}) {
    SCOPED_TRACE(c.side);
    BattleBoard board;
    // A corridor in direction 1 from (5, 20): three cells.
    BlockAll(board);
    board.SetCell(5, 20, 0);
    const auto a = Step(5, 20, 1);
    const auto b = Step(5, 20, 1, 2);
    board.SetCell(a.first, a.second, 0);
    board.SetCell(b.first, b.second, 0);
    board.battle().state.acting_unit = board.AddUnit(On(5, 20));
    BoardUnit other = On(a.first, a.second);
    other.side = c.side;
    board.AddUnit(other);
    Slg::MoveSearch(0, CellPos(5, 20), 2);
    if (c.passes) {
      EXPECT_EQ(Listed(), (CellList{{5, 20}, a, b}));  // the unit's cell once
    } else {
      EXPECT_EQ(Listed(), (CellList{{5, 20}}));
    }
  }
}

TEST(SlgMoveSearch, TeleportingHeroineTakesTheSquareWithoutHerCell) {
  BattleBoard board;
  board.battle().state.acting_unit = board.AddUnit(On(5, 20, {.character = 4, .kind = 4}));
  Slg::MoveSearch(4, CellPos(5, 20), 1);
  // Radius 1: (x +- 48, y +- 24) and the centre, which flag 0 leaves out; row by row.
  EXPECT_EQ(Listed(), (CellList{{4, 19}, {5, 19}, {4, 21}, {5, 21}}));
  EXPECT_EQ(Cost({5, 20}), 254);
}

TEST(SlgAimSearch, CrossOfOneListsFourCellsNeverTheCentre) {
  BattleBoard board;
  const uint8_t u = board.AddUnit(On(5, 20));
  Slg::AimSearch(CellPos(5, 20), board.battle().state.units[u], 0);
  EXPECT_EQ(Listed(), (CellList{Step(5, 20, 0), Step(5, 20, 1), Step(5, 20, 2), Step(5, 20, 3)}));
  EXPECT_EQ(Cost({5, 20}), 0);
  EXPECT_EQ(Cost(Step(5, 20, 2)), 0);
  EXPECT_EQ(Battle().search.mode, 1);
}

TEST(SlgAimSearch, CharacterThreePassesOverBlockedCellsOthersStopAt0x400) {
  // Kind 3's normal aim: a cross of length 5, height mode 1 (flat here). A blocked cell at step 1
  // of direction 0.
  struct Case {
    uint8_t character;
    uint32_t word;
    std::vector<int> steps;  // the steps of direction 0 listed
  };
  for (const Case& c :
       {Case{3, 0x400, {0, 2, 3, 4}}, Case{3, 0x1000, {0, 2, 3, 4}},
        Case{3, 0x80000000, {0, 2, 3, 4}}, Case{1, 0x400, {0}}, Case{1, 0x1000, {0, 1, 2, 3, 4}}}) {
    SCOPED_TRACE(testing::Message() << int{c.character} << " " << std::hex << c.word);
    BattleBoard board;
    const auto blocked = Step(5, 40, 0, 2);
    board.SetCell(blocked.first, blocked.second, c.word);
    const uint8_t u = board.AddUnit(On(5, 40, {.character = c.character, .kind = 3}));
    Slg::AimSearch(CellPos(5, 40), board.battle().state.units[u], 0);
    const CellList listed = Listed();
    for (int step = 0; step < 6; ++step) {
      const auto cell = Step(5, 40, 0, step + 1);
      const bool want = std::find(c.steps.begin(), c.steps.end(), step) != c.steps.end();
      EXPECT_EQ(Has(listed, cell), want) << "step " << step;
      if (want) {
        EXPECT_EQ(Cost(cell), step);
      }
    }
  }
}

TEST(SlgAimSearch, HeightModeOneByStep) {
  struct Case {
    uint8_t character;
    int step;
    int diff;
    bool listed;
  };
  for (const Case& c :
       {Case{1, 0, -1, false}, Case{1, 0, 0, true}, Case{1, 0, 1, true}, Case{1, 0, 2, false},
        Case{3, 0, -1, true}, Case{3, 0, -2, false}, Case{1, 4, -8, true}, Case{1, 4, -9, false},
        Case{1, 4, 1, true}, Case{1, 4, 2, false}, Case{1, 1, -3, true}, Case{1, 1, -4, false}}) {
    SCOPED_TRACE(testing::Message()
                 << int{c.character} << " step " << c.step << " diff " << c.diff);
    BattleBoard board;
    for (int r = 0; r < 88; ++r) {
      for (int col = 0; col < 22; ++col) board.SetCell(col, r, CellWord(10));
    }
    const auto cell = Step(5, 40, 1, c.step + 1);
    board.SetCell(cell.first, cell.second, CellWord(10 + c.diff));
    const uint8_t u = board.AddUnit(On(5, 40, {.character = c.character, .kind = 3}));
    Slg::AimSearch(CellPos(5, 40), board.battle().state.units[u], 0);
    const CellList listed = Listed();
    EXPECT_EQ(Has(listed, cell), c.listed);
    // A cell left out does not end the ray.
    EXPECT_TRUE(Has(listed, Step(5, 40, 1, 5)) || c.step == 4);
    EXPECT_EQ(Battle().search.ray_height, 10);
  }
}

TEST(SlgAreaSearch, ShapesOfTheAttackRows) {
  // kind 4 normal: the square of radius 2 around the attacker, centre flag 1, own side left out.
  {
    BattleBoard board;
    const uint8_t u = board.AddUnit(On(10, 40, {.kind = 4}));
    board.AddUnit(On(10, 38, {.side = 0}));                   // ally: left out
    board.AddUnit(On(11, 42, {.side = 1, .character = 20}));  // enemy: listed
    const SlgUnit& unit = board.battle().state.units[u];
    Slg::AreaSearch(CellPos(10, 40), unit, 0);
    const CellList listed = Listed();
    EXPECT_EQ(listed.size(), 11u);  // 9 + 4 candidates less the attacker and the ally
    EXPECT_EQ(listed.front(), std::make_pair(9, 38));  // centre - (96, 48) first
    EXPECT_EQ(listed.back(), std::make_pair(10, 41));  // the second lattice last
    EXPECT_FALSE(Has(listed, {10, 40}));
    EXPECT_FALSE(Has(listed, {10, 38}));
    EXPECT_TRUE(Has(listed, {11, 42}));
    EXPECT_EQ(Cost({10, 40}), 254);
    EXPECT_EQ(Cost({11, 42}), 0);
  }
  // kind 1 special: a ray along the facing to the map edge, or to the first 0x400 cell.
  for (bool stopper : {false, true}) {
    SCOPED_TRACE(stopper);
    BattleBoard board;
    const uint8_t u = board.AddUnit(On(5, 40, {.kind = 1, .facing = 1}));
    if (stopper) {
      const auto s = Step(5, 40, 1, 4);
      board.SetCell(s.first, s.second, 0x400);
    }
    Slg::AreaSearch(CellPos(5, 40), board.battle().state.units[u], 1);
    // Direction 1 leaves column 21 after 33 cells ((5, 40) -> (21, 73)).
    CellList want;
    for (int i = 1; i <= (stopper ? 3 : 33); ++i) want.push_back(Step(5, 40, 1, i));
    EXPECT_EQ(Listed(), want);
  }
  // kind 3 special: the cross of length 1, the centre listed last.
  {
    BattleBoard board;
    const uint8_t u = board.AddUnit(On(5, 40, {.kind = 3}));
    Slg::AreaSearch(CellPos(8, 50), board.battle().state.units[u], 1);
    EXPECT_EQ(Listed(),
              (CellList{Step(8, 50, 0), Step(8, 50, 1), Step(8, 50, 2), Step(8, 50, 3), {8, 50}}));
  }
  // kind 8 special: three parallel rays in the unit's direction (0): from the centre, then
  // centre - (48, 24), then centre + (48, 24); each stopped after two cells here.
  {
    BattleBoard board;
    const uint8_t u = board.AddUnit(On(2, 80, {.kind = 8, .facing = 0}));
    const auto left = Step(8, 50, 3);
    const auto right = Step(8, 50, 1);
    for (auto start : {std::make_pair(8, 50), left, right}) {
      const auto s = Step(start.first, start.second, 0, 3);
      board.SetCell(s.first, s.second, 0x400);
    }
    Slg::AreaSearch(CellPos(8, 50), board.battle().state.units[u], 1);
    EXPECT_EQ(Listed(),
              (CellList{Step(8, 50, 0), Step(8, 50, 0, 2), Step(left.first, left.second, 0),
                        Step(left.first, left.second, 0, 2), Step(right.first, right.second, 0),
                        Step(right.first, right.second, 0, 2)}));
  }
  // kind 33 special: the square of radius 25 (probes on a blocked map), its x and y limits.
  {
    BattleBoard board;
    BlockAll(board);
    const uint8_t u = board.AddUnit(On(10, 40, {.kind = 33}));
    struct Probe {
      int dx, dy;  // pixels from the centre
      bool listed;
    };
    const SlgRangePos c = CellPos(10, 41);  // x 1008, y 960
    // (1008, 24) is column 21 at x 2016, beyond the square's x limit of 2000.
    const Probe probes[] = {{48, -600, true}, {48, -648, false},  {0, -576, true},
                            {0, 576, true},   {-1008, -24, true}, {1008, 24, false},
                            {48, 600, true},  {48, 648, false},   {0, 0, true}};
    for (const Probe& p : probes) {
      const SlgCell cell = PosToCell(c.x + p.dx, c.y + p.dy);
      board.SetCell(cell.column, cell.row, 0);
    }
    Slg::AreaSearch(c, board.battle().state.units[u], 1);
    const CellList listed = Listed();
    for (const Probe& p : probes) {
      SCOPED_TRACE(testing::Message() << p.dx << ", " << p.dy);
      const SlgCell cell = PosToCell(c.x + p.dx, c.y + p.dy);
      EXPECT_EQ(Has(listed, {cell.column, cell.row}), p.listed);
    }
  }
  // The heroine's special: the ally square (her special row's aim value 3, flag 1): her own
  // cell and allies listed, enemies not.
  {
    BattleBoard board;
    const uint8_t u = board.AddUnit(On(10, 40, {.character = 4, .kind = 4}));
    board.AddUnit(On(10, 42, {.side = 0, .character = 1}));
    board.AddUnit(On(11, 42, {.side = 1, .character = 20}));
    Slg::AreaSearch(CellPos(10, 40), board.battle().state.units[u], 1);
    const CellList listed = Listed();
    EXPECT_EQ(listed.size(), 16u + 9u - 1u);
    EXPECT_TRUE(Has(listed, {10, 40}));
    EXPECT_TRUE(Has(listed, {10, 42}));
    EXPECT_FALSE(Has(listed, {11, 42}));
    EXPECT_EQ(Cost({10, 40}), 0);
  }
  // kind 0 normal: the adjacent target cell alone.
  {
    BattleBoard board;
    const uint8_t u = board.AddUnit(On(5, 20));
    Slg::AreaSearch(CellPos(5, 19), board.battle().state.units[u], 0);
    EXPECT_EQ(Listed(), (CellList{{5, 19}}));
  }
}

TEST(SlgSupportSearch, HealCellsAndPartyList) {
  BattleBoard board;
  const uint8_t healer = board.AddUnit(On(10, 40, {.character = 2}));
  const auto d0 = Step(10, 40, 0);
  const auto d1 = Step(10, 40, 1);
  const auto d2 = Step(10, 40, 2);
  const uint8_t ally = board.AddUnit(On(d0.first, d0.second, {.character = 1}));
  board.AddUnit(On(d1.first, d1.second, {.side = 1, .character = 20}));
  board.SetCell(d2.first, d2.second, 0x1000);
  const uint8_t dead = board.AddUnit(On(3, 70, {.character = 3}));
  board.battle().state.units[dead].step = kSlgDeadStep;
  const SlgUnit& unit = board.battle().state.units[healer];
  // Heal: one-cell rays of variant C in mode 2 (empty or own side), then the healer's cell.
  Slg::SupportSearch(unit, 6, 0);
  EXPECT_EQ(Listed(), (CellList{d0, Step(10, 40, 3), {10, 40}}));
  EXPECT_EQ(Battle().search.mode, 6);
  // Party: every living unit of side 0 in slot order, its cell's cost its slot.
  Slg::SupportSearch(unit, 5, 0);
  EXPECT_EQ(Listed(), (CellList{{10, 40}, d0}));
  EXPECT_EQ(Cost(d0), ally);
  EXPECT_EQ(Battle().search.range_centre.x, CellPos(10, 40).x);
  EXPECT_EQ(Battle().search.range_centre.y, CellPos(10, 40).y);
}

TEST(SlgThreatSearch, AimRangeFromEveryFreeCellOfTheMoveRange) {
  // Move 0: the aim range from the unit's own cell, row by row, cost 0.
  {
    BattleBoard board;
    const uint8_t u = board.AddUnit(On(5, 20, {.side = 1, .character = 20}));
    board.battle().state.units[u].stats.total_move = 0;
    Slg::ThreatSearch(CellPos(5, 20), board.battle().state.units[u], 0);
    EXPECT_EQ(Listed(), (CellList{{4, 19}, {5, 19}, {4, 21}, {5, 21}}));
    EXPECT_EQ(Cost({4, 19}), 0);
    EXPECT_EQ(Cost({5, 20}), 255);
  }
  // Move 1 with an ally on (5, 19): it is in the move range but no origin, so (6, 18), which
  // only (5, 19)'s cross reaches, stays out; the other origins' crosses are in.
  {
    BattleBoard board;
    const uint8_t u = board.AddUnit(On(5, 20, {.side = 1, .character = 20}));
    board.AddUnit(On(5, 19, {.side = 1, .character = 21}));
    board.battle().state.units[u].stats.total_move = 1;
    Slg::ThreatSearch(CellPos(5, 20), board.battle().state.units[u], 0);
    const CellList listed = Listed();
    EXPECT_FALSE(Has(listed, {6, 18}));
    EXPECT_TRUE(Has(listed, {5, 18}));
    EXPECT_TRUE(Has(listed, {6, 22}));
    EXPECT_TRUE(Has(listed, {4, 20}));
    EXPECT_FALSE(Has(listed, {5, 19}));  // the ally is not aimed at
    EXPECT_FALSE(Has(listed, {5, 20}));  // nor the unit itself
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end(), [](auto a, auto b) {
      return a.second != b.second ? a.second < b.second : a.first < b.first;
    }));
    EXPECT_EQ(std::adjacent_find(listed.begin(), listed.end()), listed.end());
  }
}

TEST(SlgBuildPath, RecordedCodesWalkBackToTheDestination) {
  BattleBoard board;
  // A wall with one gap, so that the route bends.
  for (int r = 30; r < 50; ++r) board.SetCell(6, r, 0x800);
  board.SetCell(6, 44, 0);  // a band two cells wide across the columns: (6, 44) and (6, 45)
  board.SetCell(6, 45, 0);
  const uint8_t u = board.AddUnit(On(5, 40));
  board.battle().state.acting_unit = u;
  Slg::MoveSearch(0, CellPos(5, 40), 10);
  const std::pair<int, int> dest{7, 42};
  const int cost = Cost(dest);
  ASSERT_EQ(cost, 8);  // 4 down to the gap, 2 through it, 2 up
  SlgUnit& unit = board.battle().state.units[u];
  ASSERT_EQ(Slg::BuildPath(unit, CellPos(7, 42).x, CellPos(7, 42).y), 1);
  const SlgSearchState& s = Battle().search;
  EXPECT_EQ(s.path_count, cost - 1);
  EXPECT_EQ(s.move_dest.x, CellPos(7, 42).x);
  EXPECT_EQ(s.move_dest.y, CellPos(7, 42).y);
  SlgRangePos p = CellPos(5, 40);
  for (int k = s.path_count; k >= 0; --k) {
    const int d = (s.path_dir[static_cast<size_t>(k)] + 2) & 3;
    if (k == s.path_count) {
      EXPECT_EQ(unit.dir, d);
    }
    p = {static_cast<int16_t>(p.x + kDx[d]), static_cast<int16_t>(p.y + kDy[d])};
    EXPECT_EQ(p.x, s.path_pos[static_cast<size_t>(k)].x);
    EXPECT_EQ(p.y, s.path_pos[static_cast<size_t>(k)].y);
    EXPECT_NE(board.battle().cell_grid[static_cast<size_t>(PosToCell(p.x, p.y).row * 22 +
                                                           PosToCell(p.x, p.y).column)],
              0x800u);
  }
  EXPECT_EQ(p.x, CellPos(7, 42).x);
  EXPECT_EQ(p.y, CellPos(7, 42).y);
}

TEST(SlgBuildPath, FailsOnBadDestinationsAndOnAGridWithoutAWayDown) {
  BattleBoard board;
  const uint8_t u = board.AddUnit(On(5, 40));
  board.battle().state.acting_unit = u;
  SlgUnit& unit = board.battle().state.units[u];
  Slg::MoveSearch(0, CellPos(5, 40), 2);
  EXPECT_EQ(Slg::BuildPath(unit, CellPos(5, 40).x, CellPos(5, 40).y), 0);  // cost 0
  EXPECT_EQ(Slg::BuildPath(unit, CellPos(9, 40).x, CellPos(9, 40).y), 0);  // cost 255
  board.SetCell(5, 39, 0x400);
  EXPECT_EQ(Slg::BuildPath(unit, CellPos(5, 39).x, CellPos(5, 39).y), 0);  // 0x400
  EXPECT_EQ(Battle().search.path_count, 0);

  // Mode 3 ignores heights: the start at 0, every neighbour of the destination that is nearer
  // to the start lies two levels lower than it.
  board.SetCell(5, 39, CellWord(0));
  for (int r = 0; r < 88; ++r) {
    for (int c = 0; c < 22; ++c) {
      if (!(c == 5 && r == 40)) board.SetCell(c, r, CellWord(2));
    }
  }
  board.SetCell(5, 40, CellWord(0));
  Battle().search.mode = 3;
  Battle().search.range_count = 0;
  RangeSearch(CellPos(5, 40), 1, 0, 0);
  EXPECT_EQ(Cost({5, 39}), 1);
  EXPECT_EQ(Slg::BuildPath(unit, CellPos(5, 39).x, CellPos(5, 39).y), 0);
  EXPECT_EQ(Battle().search.path_count, 0);
}

TEST(SlgAcceptMoveDest, CursorCellRules) {
  BattleBoard board;
  const uint8_t hero = board.AddUnit(On(5, 40));
  const uint8_t heroine = board.AddUnit(On(3, 40, {.character = 4, .kind = 4}));
  board.battle().state.acting_unit = hero;
  SlgBattleState& st = board.battle().state;
  Slg::MoveSearch(0, CellPos(5, 40), 2);
  st.cursor_cell = {5, 38};
  EXPECT_EQ(Slg::AcceptMoveDest(st.units[hero]), 1);
  EXPECT_EQ(Battle().search.path_count, 1);
  st.cursor_cell = {5, 40};  // her own cell holds a unit
  EXPECT_EQ(Slg::AcceptMoveDest(st.units[hero]), 0);
  // The heroine: any cell of cost other than 255, no path.
  board.battle().state.acting_unit = heroine;
  Slg::MoveSearch(4, CellPos(3, 40), 2);
  st.cursor_cell = {4, 42};
  EXPECT_EQ(Slg::AcceptMoveDest(st.units[heroine]), 1);
  EXPECT_EQ(Battle().search.move_dest.x, CellPos(4, 42).x);
  EXPECT_EQ(Battle().search.move_dest.y, CellPos(4, 42).y);
  st.cursor_cell = {12, 42};
  EXPECT_EQ(Slg::AcceptMoveDest(st.units[heroine]), 0);
}

TEST(SlgNearestListedUnit, FirstInListOrderAmongEqualsElseOwnSlot) {
  BattleBoard board;
  const uint8_t u = board.AddUnit(On(10, 40, {.kind = 0}));
  const SlgUnit& unit = board.battle().state.units[u];
  Slg::AimSearch(CellPos(10, 40), unit, 0);  // the four neighbours, none occupied
  EXPECT_EQ(Slg::NearestListedUnit(unit), u);
  // Two enemies at equal distance on directions 1 and 3: direction 1 is listed first.
  const auto d1 = Step(10, 40, 1);
  const auto d3 = Step(10, 40, 3);
  const uint8_t e3 = board.AddUnit(On(d3.first, d3.second, {.side = 1, .character = 20}));
  const uint8_t e1 = board.AddUnit(On(d1.first, d1.second, {.side = 1, .character = 20}));
  Slg::AimSearch(CellPos(10, 40), unit, 0);
  EXPECT_EQ(Slg::NearestListedUnit(unit), e1);
  (void)e3;
  EXPECT_EQ(SqDistance({0, 0}, {-32768, 32767}), int64_t{32768} * 32768 + int64_t{32767} * 32767);
}

TEST(SlgSearchEdges, RaysAndFloodsListNothingOffTheGrid) {
  BattleBoard board;
  // Column 0, row 20 (x 0): directions 2 and 3 step off the grid at once.
  for (int facing : {2, 3}) {
    const uint8_t u = board.AddUnit(On(0, 20, {.kind = 1, .facing = static_cast<uint8_t>(facing)}));
    Slg::AreaSearch(CellPos(0, 20), board.battle().state.units[u], 1);
    EXPECT_EQ(Battle().search.range_count, 0u) << facing;
  }
  const uint8_t u = board.AddUnit(On(0, 1, {.kind = 3}));
  board.battle().state.acting_unit = u;
  for (int search = 0; search < 3; ++search) {
    SCOPED_TRACE(search);
    if (search == 0) Slg::AimSearch(CellPos(0, 1), board.battle().state.units[u], 0);  // cross 5
    if (search == 1) Slg::MoveSearch(0, CellPos(0, 1), 4);
    if (search == 2) Slg::MoveSearch(0, CellPos(21, 87), 4);
    const SlgSearchState& s = Battle().search;
    ASSERT_GT(s.range_count, 0u);
    for (uint32_t i = 0; i < s.range_count; ++i) {
      const SlgCell c = PosToCell(s.range_list[i].x, s.range_list[i].y);
      EXPECT_EQ(CellPos(c.column, c.row).x, s.range_list[i].x);
      EXPECT_EQ(CellPos(c.column, c.row).y, s.range_list[i].y);
    }
  }
}

TEST(SlgSearchCapacity, ListRefusedPastItsSizeWithOneTraceAndPushesTracedFromThe257th) {
  BattleBoard board;
  TraceCapture trace;
  // kind 33's special area on the open map covers over a thousand cells: every one is listed
  // (but the attacker's own).
  const uint8_t u = board.AddUnit(On(10, 44, {.kind = 33}));
  Slg::AreaSearch(CellPos(10, 44), board.battle().state.units[u], 1);
  EXPECT_EQ(Battle().search.range_count, 1070u);
  EXPECT_FALSE(trace.Contains("range list full"));
  // A flood of range 20 lists more entries than the map has cells (each cell again at each lower
  // cost): those past the list are refused, with one trace.
  board.battle().state.acting_unit = u;
  Slg::SearchMode2(CellPos(10, 44), 20);
  EXPECT_EQ(Battle().search.range_count, static_cast<uint32_t>(kSlgRangeListSize));
  EXPECT_EQ(std::count_if(trace.lines().begin(), trace.lines().end(),
                          [](const DebugTraceLine& l) {
                            return l.text.find("range list full") != std::string::npos;
                          }),
            1);
  // Move 20 fills the list on the way too: the move range is still every cell within 20 steps,
  // 2 x 20 x 21 + 1 of them, each once.
  trace.Clear();
  Slg::MoveSearch(0, CellPos(10, 43), 20);
  EXPECT_EQ(Battle().search.range_count, 841u);
  EXPECT_TRUE(trace.Contains("range list full"));
  const CellList moves = Listed();
  EXPECT_TRUE(std::is_sorted(moves.begin(), moves.end(), [](auto a, auto b) {
    return a.second != b.second ? a.second < b.second : a.first < b.first;
  }));
  EXPECT_EQ(std::adjacent_find(moves.begin(), moves.end()), moves.end());
  // An attack flood of range 30: every push from the 257th traced, the result whole.
  trace.Clear();
  Slg::SearchMode2(CellPos(10, 44), 30);
  const SlgSearchState& s = Battle().search;
  ASSERT_GT(s.pushes, 256);
  const auto errors =
      std::count_if(trace.lines().begin(), trace.lines().end(),
                    [](const DebugTraceLine& l) { return l.text == "Read Error\n"; });
  EXPECT_EQ(errors, s.pushes - 256);
  EXPECT_FALSE(trace.Contains("work stack full"));
  // Every cell reached is at its distance: (10, 44) to (10, 46) is two steps.
  EXPECT_EQ(Cost({10, 46}), 2);
  EXPECT_EQ(Cost({10, 44}), 0);
}

}  // namespace
