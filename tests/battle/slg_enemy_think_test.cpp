// The enemy think interpreter on board fixtures: the choice of the think from the think-change
// row (with the bad-data roads), the conditions, the roads through the think steps to the action
// they start, and the support search's pick.

#include "battle/slg_enemy_think.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "battle/battle_context.h"
#include "battle/slg_enemy.h"
#include "battle/slg_events.h"
#include "battle/slg_geometry.h"
#include "battle/slg_start.h"
#include "battle/slg_think_search.h"
#include "testsupport/battle_board.h"
#include "testsupport/stage_writer.h"
#include "testsupport/test_game.h"
#include "testsupport/trace_capture.h"
#include "testsupport/think_record.h"

namespace {

using testsupport::ThinkRecordBytes;

using testsupport::BattleBoard;
using testsupport::BoardUnit;
using testsupport::CellPos;
using testsupport::OnCell;

using Cell = std::pair<int, int>;  // (column, row)

// The cell n steps from c in direction d (0-3: (+48, -24), (+48, +24), (-48, +24), (-48, -24)).
Cell StepFrom(Cell c, int d, int n = 1) {
  constexpr int kDx[4] = {48, 48, -48, -48};
  constexpr int kDy[4] = {-24, 24, 24, -24};
  const SlgRangePos p = CellPos(c.first, c.second);
  const SlgCell cell = PosToCell(p.x + n * kDx[d], p.y + n * kDy[d]);
  return {cell.column, cell.row};
}
Cell CellOfPos(SlgRangePos p) {
  const SlgCell c = PosToCell(p.x, p.y);
  return {c.column, c.row};
}

std::unique_ptr<SlgThinkBlock> Block(const std::vector<std::vector<uint8_t>>& records) {
  auto block = std::make_unique<SlgThinkBlock>();
  for (const auto& r : records) block->insert(block->end(), r.begin(), r.end());
  return block;
}

// An engine (the camera's clock), a board and the phase task's work block in phase step 80.
struct EnemyBoard {
  testsupport::TestGame game;
  BattleBoard board;
  SlgMainWork work{};

  EnemyBoard() { work.step = kEnemyPhaseThink; }

  SlgUnit& U(uint8_t slot) { return board.battle().state.units[slot]; }
  uint8_t Add(Cell c, BoardUnit u, int life = 100, int max_life = 100) {
    const uint8_t slot = board.AddUnit(OnCell(c.first, c.second, u));
    U(slot).stats.life = static_cast<int16_t>(life);
    U(slot).stats.max_life = static_cast<int16_t>(max_life);
    return slot;
  }
  uint8_t Player(Cell c, uint8_t character, int life = 100) {
    return Add(c, {.side = 0, .character = character, .kind = character, .category = 0}, life);
  }
  // The acting enemy with its move and support values.
  uint8_t Actor(Cell c, int move, int counter = 0, uint8_t kind = 14, int life = 100) {
    const uint8_t slot = Add(c, {.side = 1, .character = 20, .kind = kind, .category = 1}, life);
    U(slot).stats.total_move = static_cast<uint8_t>(move);
    U(slot).stats.counter = static_cast<int8_t>(counter);
    board.battle().state.acting_unit = slot;
    return slot;
  }
  // The think-change row of the unit's stage entry.
  void SetRow(uint8_t slot, uint8_t row) {
    std::array<uint8_t, kStageTableBytes> bytes = board.battle().stage->bytes();
    bytes[kStageUnitOffset + 16 * U(slot).entry + 10] = row;
    board.battle().stage->Assign(bytes.data(), bytes.size(), "board");
  }
};

void SetThink(uint8_t reaction, uint8_t type, uint8_t target,
              std::array<EnemyThinkPoint, 4> points = {}) {
  EnemyThinkRec& t = Battle().think_search.think;
  t.reaction = reaction;
  t.type = type;
  t.target = target;
  t.points = points;
}

// ---- The choice of the think ----

TEST(EnemyThinkChange, ChoiceTable) {
  // Conditions: 0 kind 0 (never), 1 kind 9 flag 2100 (outside the flags: set), 2 kind 9 flag 5
  // (set below), 3 kind 9 flag 6 (clear). Thinks 0-4 told apart by their target byte.
  std::vector<std::vector<uint8_t>> conds = {
      ThinkRecordBytes(0, 0, 0), ThinkRecordBytes(9, 0, 0, {EnemyThinkPoint{2100, 0}}),
      ThinkRecordBytes(9, 0, 0, {EnemyThinkPoint{5, 0}}), ThinkRecordBytes(9, 0, 0, {EnemyThinkPoint{6, 0}})};
  std::vector<std::vector<uint8_t>> thinks;
  for (uint8_t i = 0; i < 5; ++i) thinks.push_back(ThinkRecordBytes(0, 3, static_cast<uint8_t>(60 + i)));
  struct Case {
    const char* name;
    std::array<uint8_t, 8> row;  // (condition, think) x 4
    uint8_t row_index;           // the unit's row (rows past 0 are copies of it)
    int think;                   // the think taken (its target byte - 60), -1 the action ends
  } cases[] = {
      {"first condition never holds", {0, 2, 1, 3, 1, 4, 1, 1}, 0, 2},
      {"three hold: the fourth pair", {1, 0, 2, 1, 1, 2, 0, 4}, 0, 4},
      {"the first that does not hold", {2, 0, 3, 1, 1, 2, 1, 3}, 0, 1},
      {"condition past EnCnd does not hold", {1, 0, 200, 3, 1, 2, 1, 4}, 0, 3},
      {"think past EnThk", {0, 200, 0, 0, 0, 0, 0, 0}, 0, -1},
      {"row past the end of EnTab", {0, 1, 0, 1, 0, 1, 0, 1}, 9, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EnemyBoard e;
    SetEventFlag(5);
    const uint8_t self = e.Actor({10, 40}, 3);
    e.SetRow(self, c.row_index);
    BattleContext& b = e.board.battle();
    b.enemy_cond = Block(conds);
    b.enemy_think = Block(thinks);
    b.enemy_change = std::make_unique<SlgThinkBlock>(c.row.begin(), c.row.end());
    b.think_search.think = EnemyThinkRec{};
    b.enemy.think_step = 0;
    testsupport::TraceCapture trace;
    RunEnemyThinkStep(&e.work);
    if (c.think < 0) {
      EXPECT_EQ(b.enemy.think_step, kThinkStepEnd);
      EXPECT_EQ(b.enemy.next_step, kThinkStepEnd);
      EXPECT_TRUE(trace.Contains("EnemyThinkChange"));
    } else {
      EXPECT_EQ(b.enemy.think_step, 1);
      EXPECT_EQ(b.think_search.think.target, 60 + c.think);
      EXPECT_EQ(b.think_search.think.type, 3);
    }
  }
}

TEST(EnemyThinkChange, MissingThinkDataEndsTheAction) {
  // A map without common enemies loads no think data; a failed load leaves a file out.
  for (int missing = 0; missing < 3; ++missing) {
    SCOPED_TRACE(missing);
    EnemyBoard e;
    e.Actor({10, 40}, 3);
    BattleContext& b = e.board.battle();
    b.enemy_think = Block({ThinkRecordBytes(0, 3, 0)});
    b.enemy_cond = Block({ThinkRecordBytes(0, 0, 0)});
    b.enemy_change = std::make_unique<SlgThinkBlock>(8, 0);
    (missing == 0 ? b.enemy_think : missing == 1 ? b.enemy_cond : b.enemy_change).reset();
    b.enemy.think_step = 0;
    RunEnemyThinkStep(&e.work);
    // Without EnCnd every condition fails, so the first think is taken; the others end.
    EXPECT_EQ(b.enemy.think_step, missing == 1 ? 1 : kThinkStepEnd);
  }
}

// ---- Conditions ----

TEST(EnemyCondEval, KindTable) {
  EnemyBoard e;
  BattleContext& b = e.board.battle();
  // The hero (character 0) at row 20 (y 480), full life; heroine 2 at row 60 (y 1440) with life
  // 0 on a cell of height 3; the acting enemy (character 20) wounded, an ally (21) unhurt.
  e.board.SetCell(8, 60, testsupport::CellWord(3));
  e.Player({4, 20}, 0);
  e.Player({8, 60}, 2, 0);
  e.Actor({10, 40}, 3, 0, 14, 50);
  e.Add({14, 40}, {.side = 1, .character = 21, .kind = 14, .category = 1});
  // The second grid lifts every point by 2 levels (96 pixels) for kinds 12 and 13.
  b.cell_grid2.fill(2);
  SetEventFlag(5);

  auto line = [](int16_t y) {
    return std::array<EnemyThinkPoint, 4>{EnemyThinkPoint{0, y}, {1000, y}};
  };
  const std::array<EnemyThinkPoint, 4> vertical = {EnemyThinkPoint{500, 0}, {500, 2000}};
  const uint8_t d = 'd';
  const uint8_t h = 'h';
  struct Case {
    const char* name;
    uint8_t kind, character;
    std::array<EnemyThinkPoint, 4> points;
    int holds;
  } cases[] = {
      {"kind 0 never", 0, 0, {}, 0},
      {"kind 1 life 0", 1, 2, {}, 1},
      {"kind 2 life above 0", 2, 0, {}, 0},
      {"kind 1 absent character", 1, 6, {}, 0},
      {"kind 3 'h' wounded", 3, h, {}, 1},
      {"kind 4 unhurt character", 4, 21, {}, 0},
      {"kind 4 character at life 0", 4, 2, {}, 1},
      {"kind 3 absent character", 3, 6, {}, 0},
      {"kind 5 a player above", 5, d, line(1000), 1},
      {"kind 5 none above", 5, d, line(400), 0},
      {"kind 5 without 'd'", 5, 0, line(1000), 0},
      {"kind 6 a player below", 6, d, line(1000), 1},
      {"kind 6 none below", 6, d, line(1500), 0},
      {"kind 6 vertical line", 6, d, vertical, 0},
      {"kinds 7, 8, 10 never", 7, d, {}, 0},
      {"kind 8", 8, d, {}, 0},
      {"kind 10", 10, d, {}, 0},
      {"kind 9 flag set", 9, 0, {EnemyThinkPoint{5, 0}}, 1},
      {"kind 9 flag clear", 9, 0, {EnemyThinkPoint{6, 0}}, 0},
      {"kind 9 flag 2100 counts as set", 9, 0, {EnemyThinkPoint{2100, 0}}, 1},
      {"kind 11 height 3 reached", 11, d, {EnemyThinkPoint{3, 0}}, 1},
      {"kind 11 height 4 not", 11, d, {EnemyThinkPoint{4, 0}}, 0},
      {"kind 11 without 'd'", 11, 0, {EnemyThinkPoint{3, 0}}, 0},
      // Lowered by 96: a line at 400 lies at 496, under the hero at 480.
      {"kind 12 lowered line above the hero", 12, d, line(400), 1},
      {"kind 12 without 'd'", 12, 0, line(400), 0},
      // A line at 1400 lies at 1496, under heroine 2 at 1440.
      {"kind 13 lowered line under everyone", 13, d, line(1400), 0},
      {"kind 13 lowered line above heroine 2", 13, d, line(1300), 1},
      {"kind 14 never", 14, d, line(1000), 0},
  };
  std::vector<std::vector<uint8_t>> records;
  for (const Case& c : cases) records.push_back(ThinkRecordBytes(c.kind, 0, c.character, c.points));
  b.enemy_cond = Block(records);
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    EXPECT_EQ(EnemyCondEval(static_cast<int>(i)), cases[i].holds);
  }
  EXPECT_EQ(EnemyCondEval(static_cast<int>(std::size(cases))), 0) << "past the file";
}

// ---- The roads through the think steps ----

// Runs the think steps from `from` until an action starts (the phase step leaves 80), a camera
// step (15-17) or the end (18) is reached; the steps run on the way.
struct Road {
  std::vector<int> path;
  int stop = -1;
  int next = -1;
  int phase = -1;
};
Road RunRoad(SlgMainWork& work, int from) {
  SlgEnemyState& en = Battle().enemy;
  en.think_step = static_cast<uint16_t>(from);
  en.next_step = kThinkStepEnd;
  work.step = kEnemyPhaseThink;
  Road road;
  for (int i = 0; i < 16; ++i) {
    const int step = en.think_step;
    if (step >= 15 && step <= 18) break;
    road.path.push_back(step);
    RunEnemyThinkStep(&work);
    if (work.step != kEnemyPhaseThink) break;
  }
  road.stop = en.think_step;
  road.next = en.next_step;
  road.phase = work.step;
  return road;
}

TEST(EnemyThinkSteps, RoadTable) {
  const Cell own{10, 40};
  const Cell far{2, 84};
  // A diamond around the cell (10, 60), in the two orders the searches read: the goal region
  // (left, top, right, bottom) and the hold test (top, left, bottom, right).
  auto pt = [](Cell c) {
    const SlgRangePos p = CellPos(c.first, c.second);
    return EnemyThinkPoint{p.x, static_cast<int16_t>(p.y + 24)};
  };
  const std::array<EnemyThinkPoint, 4> region = {pt({6, 60}), pt({10, 52}), pt({14, 60}),
                                                 pt({10, 68})};
  const std::array<EnemyThinkPoint, 4> around_own = {pt({10, 34}), pt({7, 40}), pt({10, 46}),
                                                     pt({13, 40})};
  const EnemyThinkPoint goal{10, 70};  // type 7: a column and row
  constexpr uint8_t kNone = 255;
  struct Case {
    const char* name;
    std::function<void(EnemyBoard&)> setup;
    std::vector<int> path;
    int stop, next, phase;
    uint16_t support = kSlgNoUnit;
    int walks_down = 0;  // 1: the destination lies below the unit's row
  } cases[] = {
      {"type 0, the designated unit in reach and range: attack",
       [&](EnemyBoard& e) {
         e.Player(StepFrom(own, 1), 0);
         e.Actor(own, 3);
         SetThink(0, 0, 0);
       },
       {1, 9}, 16, 10, kEnemyPhaseThink},
      {"reaction 2, a player in reach only: approach, then attack",
       [&](EnemyBoard& e) {
         e.Player(StepFrom(own, 1, 3), 1);
         e.Actor(own, 3);
         SetThink(2, 3, 'i');
       },
       {1, 2, 3, 9, 19}, 16, 18, kEnemyPhaseWalk, kSlgNoUnit, 1},
      {"type 3 never walks",
       [&](EnemyBoard& e) {
         e.Player(far, 0);
         e.Actor(own, 3);
         SetThink(0, 3, 'i');
       },
       {1, 2, 3, 4, 14}, 18, 18, kEnemyPhaseThink},
      {"type 5 never walks",
       [&](EnemyBoard& e) {
         e.Player(far, 0);
         e.Actor(own, 3);
         SetThink(2, 5, 'i');
       },
       {1, 2, 3, 4, 14}, 18, 18, kEnemyPhaseThink},
      {"type 5 with reaction 1 holds",
       [&](EnemyBoard& e) {
         e.Player(far, 0);
         e.Actor(own, 3);
         SetThink(1, 5, 'i');
       },
       {1, 2, 3, 5, 14}, 18, 18, kEnemyPhaseThink},
      {"holding with a player in range: attack, then guard",
       [&](EnemyBoard& e) {
         e.Player(StepFrom(own, 2), 0);
         e.Actor(own, 3);
         SetThink(1, 5, 'i');
       },
       {1, 2, 3, 5}, 16, 15, kEnemyPhaseThink},
      {"type 4 inside its region holds",
       [&](EnemyBoard& e) {
         e.Player(far, 0);
         e.Actor(own, 3);
         SetThink(1, 4, 'i', around_own);
       },
       {1, 2, 3, 5, 14}, 18, 18, kEnemyPhaseThink},
      {"type 4 outside its region advances",
       [&](EnemyBoard& e) {
         e.Player(far, 0);
         e.Actor(own, 3);
         SetThink(1, 4, 'i', region);
       },
       {1, 2, 3, 4, 14}, 18, 18, kEnemyPhaseWalk, kSlgNoUnit, 1},
      {"no target anywhere: walk toward the goal",
       [&](EnemyBoard& e) {
         e.Player(far, 0);
         e.Actor(own, 3);
         SetThink(0, 7, kNone, {goal});
       },
       {1, 2, 3, 4, 14}, 18, 18, kEnemyPhaseWalk, kSlgNoUnit, 1},
      {"a wounded category-2 ally: walk beside it",
       [&](EnemyBoard& e) {
         const Cell ally_cell = StepFrom(own, 1, 3);
         e.Add(ally_cell, {.side = 1, .character = 22, .kind = 20, .category = 2}, 10, 100);
         e.Player(far, 0);
         e.Actor(own, 3, 1);
         SetThink(0, 7, kNone, {EnemyThinkPoint{static_cast<int16_t>(ally_cell.first),
                                                static_cast<int16_t>(ally_cell.second)}});
       },
       {1, 2, 11}, 17, 18, kEnemyPhaseWalk, 0, 1},
      {"a wounded ally in slot 0 beside the unit: support, then look for a target",
       [&](EnemyBoard& e) {
         e.Add(StepFrom(own, 0), {.side = 1, .character = 22, .kind = 16, .category = 1}, 10, 100);
         e.Player(far, 0);
         e.Actor(own, 3, 1);
         SetThink(0, 3, 'i');
       },
       {1, 2, 11}, 17, 12, kEnemyPhaseThink, 0},
      {"support value 0 stays on step 3",
       [&](EnemyBoard& e) {
         e.Add(StepFrom(own, 0), {.side = 1, .character = 22, .kind = 16, .category = 1}, 10, 100);
         e.Player(far, 0);
         e.Actor(own, 3, 0);
         SetThink(0, 3, 'i');
       },
       {1, 2, 3, 4, 14}, 18, 18, kEnemyPhaseThink},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EnemyBoard e;
    c.setup(e);
    const Road road = RunRoad(e.work, 1);
    EXPECT_EQ(road.path, c.path);
    EXPECT_EQ(road.stop, c.stop);
    EXPECT_EQ(road.next, c.next);
    EXPECT_EQ(road.phase, c.phase);
    const BattleContext& b = e.board.battle();
    if (c.support != kSlgNoUnit || c.path.size() > 2) {
      EXPECT_EQ(b.think_search.support_target, c.support);
    }
    if (c.walks_down != 0) {
      const Cell dest = CellOfPos(b.think_search.destination);
      EXPECT_GT(dest.second, own.second);
    }
  }
}

TEST(EnemySupportSearch, PickTable) {
  struct Ally {
    uint8_t kind, category;
    int life, max_life;
  };
  struct Case {
    const char* name;
    std::vector<Ally> allies;
    int pick;  // index into allies, -1 the acting unit, -2 none
  } cases[] = {
      {"category 2 first", {{14, 1, 10, 100}, {20, 2, 50, 300}}, 1},
      {"kinds 16/19: the least life", {{14, 1, 5, 100}, {16, 1, 20, 100}, {19, 1, 10, 100}}, 2},
      {"kinds 15/18 before 14/17", {{14, 1, 5, 100}, {15, 1, 90, 400}, {18, 1, 120, 1000}}, 1},
      {"life 100 or more is no pick", {{17, 1, 150, 1000}, {14, 1, 99, 400}}, 1},
      {"none of the kinds: the unit itself", {{48, 1, 1, 100}}, -1},
      {"unhurt allies: none", {{16, 1, 25, 100}, {20, 2, 100, 100}}, -2},
      {"a wounded player unit is no ally", {{0, 0, 1, 100}}, -2},
  };
  const Cell own{10, 40};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EnemyBoard e;
    std::vector<uint8_t> slots;
    for (size_t i = 0; i < c.allies.size(); ++i) {
      const Ally& a = c.allies[i];
      slots.push_back(e.Add(StepFrom(own, static_cast<int>(i % 4), 1 + static_cast<int>(i / 4)),
                            {.side = static_cast<uint8_t>(a.category == 0 ? 0 : 1),
                             .character = static_cast<uint8_t>(30 + i),
                             .kind = a.kind,
                             .category = a.category},
                            a.life, a.max_life));
    }
    const uint8_t self = e.Actor(own, 2, 1);
    Battle().enemy.think_step = 3;
    EnemySupportSearch();
    const uint16_t expected = c.pick == -2 ? kSlgNoUnit
                              : c.pick == -1 ? self
                                             : slots[static_cast<size_t>(c.pick)];
    EXPECT_EQ(Battle().think_search.support_target, expected);
    EXPECT_EQ(Battle().enemy.think_step, c.pick == -2 ? 3 : 11);
  }
}

TEST(EnemyThinkSteps, StepOutsideTheTableEndsTheAction) {
  EnemyBoard e;
  e.Actor({10, 40}, 3);
  Battle().enemy.think_step = 23;
  testsupport::TraceCapture trace;
  RunEnemyThinkStep(&e.work);
  EXPECT_TRUE(trace.Contains("outside the think table"));
  EXPECT_EQ(Battle().control.actions_left, 0);
  EXPECT_NE(Battle().flags & 0x2, 0) << "the end of action hands back to turn control";
}

}  // namespace
