// The effect position operations on board stages: the straight-line cell count (open ground,
// walls, a change of height, the map's edges, a plateau), the cell comparisons and the target
// look-ups on the damage list (list order, none there, an empty list, a raised cell).

#include "battle_effects/effect_position.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "battle/battle_context.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_geometry.h"
#include "testsupport/battle_board.h"

namespace {

using testsupport::BattleBoard;
using testsupport::CellPos;
using testsupport::CellWord;
using testsupport::OnCell;

constexpr int32_t kPx = 0x10000;

// The cell n steps from (column, row) toward direction 1 (right-down): one row down, and one
// column on from an odd row.
std::pair<int, int> Down(int column, int row, int n) {
  for (int i = 0; i < n; ++i) {
    if ((row & 1) != 0) ++column;
    ++row;
  }
  return {column, row};
}

class LineBoard {
 public:
  explicit LineBoard(int column = 4, int row = 20, int height = 0) : column_(column), row_(row) {
    board.SetMapSize(2112, 2112);
    if (height != 0) Plateau(height);
    unit = &Battle().state.units[board.AddUnit(OnCell(column, row, {.kind = 14}))];
  }
  // The unit's cell and every cell of its row-major neighbourhood raised to `height`.
  void Plateau(int height) {
    for (int r = 0; r < 88; ++r) {
      for (int c = 0; c < 22; ++c) board.SetCell(c, r, CellWord(height));
    }
  }
  // The cell n steps toward direction 1.
  void Set(int n, uint32_t word) {
    const auto [c, r] = Down(column_, row_, n);
    board.SetCell(c, r, word);
  }

  BattleBoard board;
  SlgUnit* unit = nullptr;

 private:
  int column_, row_;
};

TEST(CountLineCells, CountsOpenGroundUpToItsLimit) {
  LineBoard b;
  EXPECT_EQ(CountLineCells(*b.unit, 1, 5), 5);
  EXPECT_EQ(CountLineCells(*b.unit, 1, 10), 10);
  EXPECT_EQ(CountLineCells(*b.unit, 3, 10), 8) << "left up from x 384: x 0 is the last cell";
  EXPECT_EQ(CountLineCells(*b.unit, 1, 0), 0);
  EXPECT_EQ(CountLineCells(*b.unit, 4, 10), 0);
  EXPECT_EQ(CountLineCells(*b.unit, -1, 10), 0);
}

TEST(CountLineCells, StopsAtAWallOrAChangeOfHeight) {
  struct Case {
    const char* name;
    int at;
    uint32_t word;
    int want;
  };
  const Case cases[] = {
      {"0x400 first", 1, 0x400, 0},   {"0x800 first", 1, 0x800, 0},
      {"0x1000 first", 1, 0x1000, 0}, {"height 1 first", 1, CellWord(1), 0},
      {"height 2 third", 3, CellWord(2), 2}, {"0x400 fifth", 5, 0x400, 4},
      {"other bits pass", 2, 0x2000 | 0x10000, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LineBoard b;
    b.Set(c.at, c.word);
    EXPECT_EQ(CountLineCells(*b.unit, 1, 10), c.want);
  }
}

TEST(CountLineCells, AMapEdgeEndsTheLine) {
  // Column 21 of an even row lies at x 2016: the first step right is past x 2048.
  EXPECT_EQ(CountLineCells(*LineBoard(21, 20).unit, 1, 10), 0);
  EXPECT_EQ(CountLineCells(*LineBoard(21, 20).unit, 0, 10), 0);
  // Column 20 at x 1920: x 1968 and 2016 count, 2064 is past.
  EXPECT_EQ(CountLineCells(*LineBoard(20, 20).unit, 1, 10), 2);
  // Row 1 lies at y 0: the first step up is below 0; row 3 (y 48) has rows 2 and 1 above it.
  EXPECT_EQ(CountLineCells(*LineBoard(4, 1).unit, 0, 10), 0);
  EXPECT_EQ(CountLineCells(*LineBoard(4, 3).unit, 3, 10), 2);
}

TEST(CountLineCells, APlateauCountsAsFlatGround) {
  for (int dir : {0, 1, 2, 3}) {
    SCOPED_TRACE("direction " + std::to_string(dir));
    LineBoard flat;
    LineBoard raised(4, 20, 2);
    for (int limit : {3, 10, 30}) {
      EXPECT_EQ(CountLineCells(*raised.unit, dir, limit), CountLineCells(*flat.unit, dir, limit));
    }
  }
  LineBoard raised(4, 20, 2);
  raised.Set(3, CellWord(0));  // a step down on the third cell
  EXPECT_EQ(CountLineCells(*raised.unit, 1, 10), 2);
}

// ---- Cells and targets ----

class TargetBoard {
 public:
  TargetBoard() { board.SetMapSize(1280, 1280); }
  uint8_t Add(int column, int row) { return board.AddUnit(OnCell(column, row, {.kind = 14})); }
  static void List(std::initializer_list<int> slots) {
    BattleContext& b = Battle();
    b.targets = BattleContext::MakeEmptyTargets();
    int n = 0;
    for (int s : slots) b.targets[static_cast<size_t>(n++)] = static_cast<int8_t>(s);
    b.target_count = static_cast<int8_t>(n);
  }
  static SlgPair At(int column, int row) {
    const SlgRangePos p = CellPos(column, row);
    return {p.x * kPx, p.y * kPx};
  }
  BattleBoard board;
};

TEST(EffectCells, SamePosCellComparesTheSnappedCells) {
  TargetBoard t;
  const SlgPair cell = TargetBoard::At(5, 11);
  EXPECT_EQ(SamePosCell(cell, {cell.x + 20 * kPx, cell.y + 10 * kPx}), 1);
  EXPECT_EQ(SamePosCell(cell, {cell.x + 47 * kPx, cell.y}), 0);
  EXPECT_EQ(SamePosCell(cell, TargetBoard::At(5, 12)), 0);
  // Sub-pixel parts do not count.
  EXPECT_EQ(SamePosCell(cell, {cell.x + 0xFFFF, cell.y + 0xFFFF}), 1);
}

TEST(EffectCells, TargetsAreFoundInListOrderAndNoneAnswersTheFirstOrNothing) {
  struct Case {
    const char* name;
    std::initializer_list<int> list;
    std::pair<int, int> at;
    uint16_t target;
    int is_target;
  };
  // Units: 0 at (5, 11), 1 at (7, 11), 2 at (5, 11) too (two on one cell).
  const Case cases[] = {
      {"the target in the cell", {1, 0}, {5, 11}, 0, 1},
      {"two there: the first in list order", {2, 1, 0}, {5, 11}, 2, 1},
      {"two there, the other order", {0, 2}, {5, 11}, 0, 1},
      {"none there: the list's first", {1}, {5, 11}, 1, 0},
      {"none there, longer list", {1, 0}, {9, 15}, 1, 0},
      {"empty list: none", {}, {5, 11}, kSlgNoUnit, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TargetBoard t;
    t.Add(5, 11);
    t.Add(7, 11);
    t.Add(5, 11);
    TargetBoard::List(c.list);
    const SlgPair pos = TargetBoard::At(c.at.first, c.at.second);
    EXPECT_EQ(TargetAtPos(pos), c.target);
    EXPECT_EQ(IsTargetAtPos(pos), c.is_target);
  }
  // A count above the entries stops at the list's -1.
  TargetBoard t;
  t.Add(5, 11);
  TargetBoard::List({0});
  Battle().target_count = 5;
  EXPECT_EQ(TargetAtPos(TargetBoard::At(9, 15)), 0);
  EXPECT_EQ(IsTargetAtPos(TargetBoard::At(9, 15)), 0);
  Battle().targets[0] = -1;
  EXPECT_EQ(TargetAtPos(TargetBoard::At(5, 11)), kSlgNoUnit);
}

TEST(EffectCells, ATargetOnARaisedCellIsFoundOnTheGroundAndDrawnRaised) {
  TargetBoard t;
  t.board.SetCell(6, 14, CellWord(2));
  const uint8_t slot = t.Add(6, 14);
  TargetBoard::List({slot});
  const SlgUnit& u = Battle().state.units[slot];
  const SlgCellPoint p = SnapPosToCellHeight(u.x, u.y);
  EXPECT_EQ(p.ground.x, TargetBoard::At(6, 14).x);
  EXPECT_EQ(p.ground.y, TargetBoard::At(6, 14).y);
  EXPECT_EQ(p.raised.x, p.ground.x);
  EXPECT_EQ(p.raised.y, p.ground.y - 96 * kPx) << "two height steps of 48 pixels, upward";
  EXPECT_EQ(IsTargetAtPos(p.ground), 1);
  EXPECT_EQ(TargetAtPos(p.ground), slot);
  // The raised point lies four rows up: another cell, where no target stands.
  EXPECT_EQ(IsTargetAtPos(p.raised), 0);
  // On flat ground both points are one.
  const SlgCellPoint flat = SnapPosToCellHeight(TargetBoard::At(3, 9).x, TargetBoard::At(3, 9).y);
  EXPECT_EQ(flat.raised.y, flat.ground.y);
}

TEST(EffectCells, AnmFrameOfIsZeroWithoutAnAnimation) {
  EXPECT_EQ(AnmFrameOf(nullptr), 0);
  SlgAnmObj obj{};
  EXPECT_EQ(AnmFrameOf(&obj), 0);
}

}  // namespace
