#pragma once
// The range searches' shared state (battle/slg_search.h): the cost grid and result list every
// search overwrites, the search mode and side, the flood fill's work stack and the walk path
// built from the cost grid. Data only; BattleContext holds one, zero-filled per battle.

#include <array>
#include <cstdint>

#include "battle/slg_stage_table.h"

// A cell-centre pixel position as the searches keep it.
struct SlgRangePos {
  int16_t x = 0;
  int16_t y = 0;
};

// Room for every cell of the map: a shape lists each cell at most once, so no area, however
// large (a square of radius 25 covers over a thousand cells), loses a cell. Only a flood, which
// lists a cell again at each lower cost, can fill it; its further entries are refused.
constexpr int kSlgRangeListSize = kSlgGridCells;
// The work stack's depth. The deepest stack seen on an open 22 x 88 map, any row of the attack
// table and floods up to range 255, is 237 (bench/battle_search_bench.cpp reports it).
constexpr int kSlgSearchStackSize = 1024;
// Pushes of one search beyond this many are traced as "Read Error".
constexpr int kSlgSearchPushWarn = 256;
// A path never has more steps than its destination's cost (below 255).
constexpr int kSlgPathSize = 256;
constexpr uint16_t kSlgCostUnreached = 255;
constexpr uint16_t kSlgCostSquareCentre = 254;

struct SlgSearchState {
  std::array<uint16_t, kSlgGridCells> range_cost;         // SlgRangeCost, row x 22 + column
  std::array<SlgRangePos, kSlgRangeListSize> range_list;  // SlgRangeList
  uint32_t range_count;                                   // SlgRangeCount
  uint16_t mode;  // SlgSearchMode: 0 move, 1 aim, 2 area, 3/4 move ignoring heights,
                  // 5 party list, 6 heal
  uint8_t side;   // SlgSearchSide
  std::array<SlgRangePos, kSlgSearchStackSize> stack;  // SlgSearchStack
  uint32_t stack_top;
  uint32_t stack_peak;       // the deepest the stack went in the last flood fill
  uint16_t pushes;           // SlgSearchPushes: pushes since the search began (saturating)
  SlgRangePos range_centre;  // SlgRangeCentre
  uint16_t ray_height;       // SlgRayHeight
  // One capacity trace per search: set when a push or a list entry was refused.
  uint8_t stack_refused;
  uint8_t list_refused;
  // The walk path (SlgPathCount, SlgPathPos, SlgPathDir, SlgMoveDest).
  uint16_t path_count;
  std::array<SlgRangePos, kSlgPathSize> path_pos;
  std::array<uint8_t, kSlgPathSize> path_dir;
  SlgRangePos move_dest;
};
