#pragma once
// The enemy decision searches: which cells the acting unit can reach, attack and walk to, which
// player unit it picks as target, how far every cell is from the think's goal (a breadth-first
// distance field), which move cell brings it nearest the goal, and from which move cell it can
// strike its target or stand by the ally it supports.
//
// Everything works on the acting unit (Battle().state.acting_unit; none: empty results) and on
// the fixed state in Battle().think_search and Battle().search; nothing allocates. Every range
// list read here is first cut to 256 entries. The distance measure between two cells is
// 2 x |dc| + |dr|.
//
// On battle map 11 two cells (under the pixels (1200, 672) and (1248, 696)) are blocked (0x400)
// for the duration of EnemyReachCells, EnemyMoveCells and EnemyThinkDecide and given back their
// own words afterwards.

#include <array>
#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_think_search_state.h"

// The range list := every cell the acting unit can attack this turn after moving (the threat
// search from its snapped position; attack 0 normal, 1 special).
void EnemyReachCells(int attack);
// The range list := the cells the acting unit can attack from where it stands (the aim search);
// its snapped position is kept as think_search.range_origin.
void EnemyRangeCells(int attack);
// The range list := the cells the acting unit can walk to (the enemy move flood with its total
// move), in the flood's order, less the cells other units stand on.
void EnemyMoveCells();

// The first live unit of character c, kThinkNoCharacterUnit when none.
uint8_t FindUnitByCharacter(int character);
// Target 'i': the live category-0 unit nearest the acting unit (strictly nearer than the best so
// far, from 100, so the first of equals wins); kSlgNoUnit when none is nearer than 100.
uint16_t NearestPlayerUnit();
// Target 'k': the live category-0 unit with the most life (strictly more, from 0); kSlgNoUnit
// when none has life above 0.
uint16_t StrongestPlayerUnit();
// The unit the current think's target byte names ('i', 'k' or a character), kSlgNoUnit none.
uint16_t ThinkDesignatedUnit();

// think_search.target from the current range list: of the first 8 distinct category-0 units on
// it, the think's designated unit (type 0), else the least life below 30, else the first hero,
// else the nearest (from 100; the first collected when none is nearer); kSlgNoUnit when the
// list holds no category-0 unit.
void EnemyChooseTarget();

// Fills think_search.distance: mode 1 toward think_search.target, mode 0 toward the think's goal.
void EnemyThinkDecide(int mode);
// EnemyThinkDecide(0), EnemyMoveCells(); the index of the first move-list entry with the best
// score, 0 when no entry was reached by the field.
int EnemyBestMoveCell();
// A free, reached move cell (of the first 128) from which the target is in the attack range:
// the first best becomes think_search.destination. The candidate count (at most 32), 0 none.
int EnemyApproachTarget(int attack);
// The same toward the goal's field, with the radius-1 range around each move cell and the
// support target in place of the target (no support target: 0).
int EnemyApproachAlly();

// The y of a think or condition point lowered by the height of its cell in the second grid
// (y + 48 x height).
int32_t ThinkLoweredY(EnemyThinkPoint p);

// A line through two 16.16 points: y = slope x x + intercept (16.16), or, for two points of
// equal x, vertical at x. A line condition on a vertical line does not hold.
struct ThinkLineFit {
  int64_t slope = 0;
  int64_t intercept = 0;
  bool vertical = false;
  int64_t x = 0;
};
ThinkLineFit ThinkLine(SlgPair p1, SlgPair p2);
// The line's y at x (16.16); 0 for a vertical line.
int64_t ThinkLineAt(const ThinkLineFit& line, int64_t x);
// 1 when the acting unit's 16.16 position lies inside the quadrilateral of the four pixel
// points: y >= L12(x), y <= L23(x), y <= L34(x), y >= L41(x). A vertical side keeps the points on
// the same side of it as the mean of the four corners (itself included).
int ThinkQuadContains(const std::array<EnemyThinkPoint, 4>& points);
