#pragma once
// Cell strikes: the cells a boss attack strikes on the map, each placed on its cell
// (SnapPosToCellHeight), tested for a target of the damage list standing there (IsTargetAtPos)
// and resolved to it (TargetAtPos), so that the family plays its target branch (at the target,
// at the target's depth) or its empty branch (at the cell).
//
// Two ways to name the cells: pixel offsets round a map position (the hit cells round the
// attacked unit, the stones and meteors round it), or k = 1 .. n cell steps along a direction from
// a map position's cell (the cells ahead of the unit). Steps go from ground point to ground point
// ((48, -24), (48, 24), (-48, 24), (-48, -24) pixels for directions 0-3), so a raised cell never
// shifts the walk.
//
//   constexpr std::array<SlgPoint, 5> kHits{{{0, 0}, {-48, 24}, {-48, -24}, {48, -24}, {48, 24}}};
//   std::array<CellStrike, 5> strikes;
//   CellStrikesAround({attacked.x, attacked.y}, kHits, strikes);
//   ForEachCellStrike(strikes, [&](int i, const CellStrike& s, const SlgUnit& target) { ... },
//                     [&](int i, const CellStrike& s) { ... });

#include <cstdint>
#include <span>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle_effects/effect_position.h"

struct CellStrike {
  SlgCellPoint cell;  // the cell's point: on the ground (for tests) and raised (for drawing)
  SlgPair screen;     // the cell's drawing position (Slg::PosToScreen of the ground point)
  uint16_t target;    // the target standing there (TargetAtPos); kSlgNoUnit for an empty cell
};

// The strike at a map position (16.16).
CellStrike CellStrikeAt(const SlgPair& pos);
// out[i] := the strike at centre + offsets[i] (pixels), for as many as both hold.
void CellStrikesAround(const SlgPair& centre, std::span<const SlgPoint> offsets,
                       std::span<CellStrike> out);
// out[k - 1] := the strike k cell steps toward dir (0-3) from the cell of `from`, k = 1 ..
// out.size(). Another direction strikes the cell of `from` itself.
void CellStrikesAlong(const SlgPair& from, int dir, std::span<CellStrike> out);

// Calls on_target(i, strike, target unit) for a cell with a target, on_empty(i, strike) for one
// without, in order.
template <class OnTarget, class OnEmpty>
void ForEachCellStrike(std::span<const CellStrike> strikes, OnTarget&& on_target,
                       OnEmpty&& on_empty) {
  for (size_t i = 0; i < strikes.size(); ++i) {
    const CellStrike& s = strikes[i];
    if (s.target != kSlgNoUnit) {
      on_target(static_cast<int>(i), s, Battle().state.units[s.target]);
    } else {
      on_empty(static_cast<int>(i), s);
    }
  }
}
