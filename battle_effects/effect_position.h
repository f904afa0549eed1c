#pragma once
// Six operations the boss attack routines place effects with: on 16.16 map positions (a unit's
// x, y) and on the battle's damage list (Battle().targets, up to target_count slots, -1 after
// the last).
//
// Cells are compared on the ground: a position stands in the cell its whole pixels snap to
// (SnapPosToCell), and a raised drawing point (a position lifted by its cell's height) is never
// compared with a ground position. SnapPosToCellHeight gives both points, the ground one for
// comparing and walking, the raised one for drawing.

#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_units.h"

struct SlgAnmObj;

// The current frame of the object's animation; 0 for no object or no animation.
int32_t AnmFrameOf(const SlgAnmObj* obj);
// 1 when both positions snap to the same cell point, else 0.
int SamePosCell(const SlgPair& a, const SlgPair& b);

// A cell's snapped point (16.16): on the ground, and raised by the cell's height x 48 pixels.
struct SlgCellPoint {
  SlgPair ground;
  SlgPair raised;
};
// The cell point under (x >> 16, y >> 16), 16.16.
SlgCellPoint SnapPosToCellHeight(int32_t x, int32_t y);

// Target i of the damage list (0 .. target_count - 1); null outside it or when the entry names
// no unit in use.
SlgUnit* ListedTarget(int i);
// The slot of the first target of the damage list, in list order, standing in the cell of pos;
// when none does, the list's first slot; kSlgNoUnit for an empty list (never its -1).
uint16_t TargetAtPos(const SlgPair& pos);
// 1 when a target of the damage list stands in the cell of pos, else 0.
int IsTargetAtPos(const SlgPair& pos);

// The passable cells in a straight line from the unit's cell toward direction 0-3 (steps of
// (48, -24), (48, 24), (-48, 24), (-48, -24) pixels), at most `max`: a cell passes without the
// bits 0x400, 0x800, 0x1000 and at the unit's own cell's height; the walk stops at the first that
// fails, at the limit, or past x 2048 or y 2048 or below 0 (0 when the first step lies there).
// Another direction, or a limit below 1, counts 0.
int CountLineCells(const SlgUnit& unit, int dir, int max);
