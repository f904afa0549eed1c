#pragma once
// The map's geometry and the camera. The map is a staggered diamond grid of 22 columns x 88 rows:
// cell centres 96 pixels apart in a row and 24 from row to row, odd rows shifted right by 48.
// Cell heights (bits 0-4 of the cell word) lift a standing unit by 48 pixels a step.
//
// Note on centres: SnapPosToCell gives the y of the cell's upper corner ((192, 240) snaps to
// (192, 216)), 24 pixels above the centre (2c + (r & 1)) x 48, 24 r; the drawing conversions
// subtract 216 rather than 240 to match. Every "snap" and "cell centre" of the battle uses it.

#include <cstdint>

#include "battle/slg_battle_state.h"

// A map cell (column 0-21, row 0-87) or a map pixel.
struct SlgCell {
  int16_t column = 0;
  int16_t row = 0;
};
struct SlgPoint {
  int32_t x = 0;
  int32_t y = 0;
};
// A rectangle, inclusive on every side.
struct SlgRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

constexpr int32_t kSlgCellHeightPixels = 48;
constexpr uint32_t kSlgCellHeightMask = 0x1F;
constexpr uint32_t kSlgCameraDuration = 16;
constexpr uint32_t kSlgCameraHurried = 4;

// The cell of map pixel (x, y), clamped to columns 0-21 and rows 0-87.
SlgCell PosToCell(int32_t x, int32_t y);
// The snapped pixel of the cell that holds (x, y) (see the note above).
SlgPoint SnapPosToCell(int32_t x, int32_t y);
// The cell word of the battle's cell grid at a cell (clamped cells, so always inside).
uint32_t SlgCellWord(SlgCell cell);
// The height level (0-31) of the cell under map pixel (x, y).
int32_t SlgCellHeightAt(int32_t x, int32_t y);
// 1 when left <= x <= right and top <= y <= bottom, else 0.
int PointInRect(const SlgRect& rect, int32_t x, int32_t y);
// The drawing position (16.16 about the screen centre) of a unit standing on the map: its
// position minus the scroll, minus its lift.
SlgPair SlgMapToScreen(const SlgUnit& unit);

namespace Slg {

// The drawing position of a map position (16.16) standing on the ground of its cell.
SlgPair PosToScreen(const SlgPair& pos);

// The camera (Battle().camera); the scroll in pixels is mirrored in Battle().state.scroll_x/y.
// Takes the current scroll as current, start and target; no movement, duration 16, unlocked.
void InitCamera();
// Sends the camera to unit slot n; a slot at or beyond the unit count (65535 = none) does
// nothing. A unit inside the central box (x -200 .. <200, y -50 .. <100 pixels of its drawing
// position) counts as arrived at once. The move takes 16 frames, or 4 while logical key 2 is held,
// no event runs and it is not the battle's first frame.
void ScrollToUnit(uint32_t n);
// The same for a map position (16.16): 16 frames, the target y pos - (48 h + 240).
void ScrollToPos(const SlgPair& pos);
// The camera's target for a map position (16.16) raised by `raise` pixels, with no central
// box: x pos - 320, y pos - (raise + 240), each clamped to 0 .. map size - (640, 480); reached in
// 16 frames. 1 when neither axis needed clamping, else 0.
int ScrollToPos(const SlgPair& pos, int32_t raise);
// The same raised by the height of the cell under pos x 48 pixels.
int ScrollToCellPos(const SlgPair& pos);
// ---- Positions and boxes (16.16 map positions unless said otherwise) ----

// The camera's target and position := pos - (320, 240) pixels at once (no clamping, no move).
void ScrollJumpTo(const SlgPair& pos);
// Nothing when pos, as drawn (PosToScreen), lies within x -199 .. 199 and y -49 .. 99 pixels.
// Else the target ScrollToCellPos gives; the move advances `speed` pixels a frame along the
// direction to it (SlgPolarToXY), taking ceil(larger axis distance / that axis's step) frames
// and at least 1 (a speed of 0, or one that rounds to no step, arrives in one frame).
void ScrollToPosSpeed(const SlgPair& pos, int32_t speed);
// 1 when 0 <= x < map width and 0 <= y < map height in pixels (2048 x 2048 without a map).
int IsOnMap(const SlgPair& pos);
// Snaps pos to its cell: 65535 for the cell already in `cell`, or when pos lies outside the 22 x
// 88 cells; else the cell is stored and the result is the unit on it (65535 none).
uint16_t UpdateCursorCell(SlgCell& cell, const SlgPair& pos);
// The unit on the cell under pos; 65535 for none or outside the cells.
uint16_t UnitAtPos(const SlgPair& pos);
// The cell word (the first cell grid) under pos; `fallback` outside the cells.
uint32_t CellAttrAtPos(const SlgPair& pos, uint32_t fallback);
// pos with y less the height of its cell x 48 pixels.
SlgPair RaiseByCellHeight(const SlgPair& pos);
// pos - (scroll x + 320, scroll y + 216) pixels.
SlgPair WorldToScreen(const SlgPair& pos);
// Centre (16.16) and half sizes (pixels) of a box.
struct HitBoxRect {
  int32_t x = 0, y = 0;
  int16_t half_w = 0, half_h = 0;
};
// 1 when |ax - bx| < aw + bw and |ay - by| < ah + bh (strict: touching boxes do not hit).
int HitBox(const HitBoxRect& a, const HitBoxRect& b);
// The way to turn from angle b toward a (512 steps): 0 when a = b (mod 65536), -1 when
// ((a - b - 256) mod 512) < 257, else 1.
int AngleDir(int32_t a, int32_t b);

// One frame of the camera: 1 once it has arrived (the map cursor and pointer then on the
// followed unit), else 0.
int ScrollStep();

}  // namespace Slg
