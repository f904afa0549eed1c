#pragma once
// Route search for scripted moves: the cost flood from a unit's cell, the trace of the shortest
// route back from a target cell, the per-frame walk along it, and the nearest free cell.
//
// They work on the battle core's search state (Battle().search): the flood writes the shared cost
// grid (range_cost, row x 22 + column, 255 unreached; every route search and every range search
// overwrites it) through the work stack (stack, stack_top), and the walk mirrors the steps left
// in SlgPathCount (path_count). Cell words are those of the placement and height grid
// (Battle().cell_grid2): bits 0-4 the height level, 0x400 blocked; the walk itself reads the
// first grid as the battle core's walk does. Neighbours are the core's, in direction order:
// 0 (+48, -24), 1 (+48, +24), 2 (-48, +24), 3 (-48, -24) pixels. Nothing allocates: the route
// record is the caller's and the free-cell queue is the events' state block in the battle.

#include <array>
#include <cstdint>

#include "battle/slg_geometry.h"
#include "battle/slg_search_state.h"

class BattleContext;
struct SlgUnit;

// Direction slots of a route (the battle core's walk path holds as many): a route within the
// scripts' limit of 15 steps comes nowhere near it, and the trace refuses a longer one.
constexpr int kRouteCapacity = kSlgPathSize;
// The cost limit the event walks search with.
constexpr int kRouteWalkLimit = 15;
// The highest limit a search takes: a cost of 255 means unreached.
constexpr int kRouteLimitMax = kSlgCostUnreached - 1;

// One walking unit's route: the direction codes from the target back to the start (each pointing
// back, the first step's code last), the steps left after the current one, and the target
// (a snapped position).
struct RouteRecord {
  std::array<uint8_t, kRouteCapacity> dirs{};
  uint16_t count = 0;
  SlgRangePos target;
};

// Makes the events' route state in `battle` (the free-cell queue), so that no search allocates.
void InstallRouteSearch(BattleContext& battle);

// Fills the cost grid from the cell of map pixel `start` (snapped): every cost 255, the start's
// cell 0 (also when blocked), then a last-in first-out flood that steps from cells of cost below
// `limit` (held to 0 .. 254) to neighbours on the map that are not blocked and climb at most one
// level (any drop), improving their cost. Units do not block. The costs are the fewest steps
// from the start within the limit. A start off the 22 x 88 cells reaches nothing. A flood that
// would overfill the work stack stops pushing (traced once).
void RouteSearch(SlgPoint start, int limit);

// Traces the route to (x, y) over the last RouteSearch's costs into `route` (its target the
// snapped point): 0 when the target is off the cells, blocked, unreached or the start cell, or
// when no way down the costs is left (a grid changed since the search); else 1, the step count
// (steps - 1) also in SlgPathCount, and the unit turned toward its first step (Slg::SetUnitDir).
int RouteTrace(RouteRecord& route, SlgUnit& unit, int32_t x, int32_t y);

// One frame of the walk along a traced route, the step in unit.step (0 to start): the battle
// core's walk (Slg::WalkRoute) with SlgFastWalk := fast at its start (non-zero: four times the
// speed from the first leg on). Character 4 moves straight onto the target once her state is 1
// or 10. 1 on the frame the unit stands on the target, else 0.
int RouteWalk(RouteRecord& route, SlgUnit& unit, uint32_t fast);

// The nearest free cell to map pixel (x, y), breadth first from its snapped cell over the map's
// cells in direction order, each cell once: free when not blocked, no unit on it (GetUnitAtCell)
// and none of the bits 0x800, 0x1000, 0x80000000. 1 and `out` its snapped position; 0 and
// `out` := (x, y) when no cell is free or (x, y) lies off the cells. Overwrites the cost grid.
int FindFreeCellNear(SlgPoint& out, int32_t x, int32_t y);
