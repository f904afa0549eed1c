#include "battle/slg_geometry.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>

#include "battle/battle_context.h"
#include "battle/slg_math.h"
#include "battle/slg_unit.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "scene/ui/tamvik_func.h"

namespace {

// The diagonal indices of (x, y): a along one diagonal, b along the other (divisions toward
// zero, as the cell formulas are written).
// 64-bit, so that no pixel value can overflow them.
struct Diagonals {
  int64_t a;
  int64_t b;
};
Diagonals DiagonalsOf(int32_t x, int32_t y) {
  const int64_t h = x / 2;
  const int64_t y6 = int64_t{y} + 6;
  return {(h + y6 + 1032) / 48, (y6 - h + 1032) / 48};
}

uint32_t Now() { return static_cast<uint32_t>(Ctx().frame_rate.GetTime()); }

// The largest scroll on each axis: the map size less the screen, never below 0. The stage's map
// size is held at load, so the scroll range in 16.16 fits 32 bits.
static_assert(int64_t{kStageMapSizeLimit} * 65536 <= INT32_MAX);
int32_t MaxScrollX() {
  const BattleContext& b = Battle();
  const int32_t w = b.stage ? b.stage->header().width : 0;
  return std::max(0, w - 640);
}
int32_t MaxScrollY() {
  const BattleContext& b = Battle();
  const int32_t h = b.stage ? b.stage->header().height : 0;
  return std::max(0, h - 480);
}

bool InCentralBox(const SlgPair& screen) {
  return screen.x >= (-200 << 16) && screen.x < (200 << 16) && screen.y >= (-50 << 16) &&
         screen.y < (100 << 16);
}

// Starts a move from the current scroll to the target over `duration` frames.
void StartMove(SlgCamera& cam, uint32_t duration) {
  const SlgBattleState& s = Battle().state;
  cam.duration = duration;
  cam.current_x = s.scroll_x * 65536;
  cam.current_y = s.scroll_y * 65536;
  cam.step_x = (cam.target_x - cam.current_x) / static_cast<int32_t>(duration);
  cam.step_y = (cam.target_y - cam.current_y) / static_cast<int32_t>(duration);
  cam.start_x = cam.current_x;
  cam.start_y = cam.current_y;
  cam.start_time = Now();
}

// Counts as arrived: target and current 0, no movement.
void ArriveAtOnce(SlgCamera& cam) {
  cam.target_x = cam.target_y = 0;
  cam.current_x = cam.current_y = 0;
  cam.step_x = cam.step_y = 0;
}

// The 16-pixel block of a 16.16 scroll value.
int32_t Block(int32_t v) { return (v >> 16) / 16; }

// start + (frames + 1) x step, kept inside the 32-bit range.
int32_t Advance(int32_t start, int64_t frames, int32_t step) {
  const int64_t v = int64_t{start} + (frames + 1) * int64_t{step};
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

namespace {

// The cell of (x, y) before any clamping.
struct RawCell {
  int64_t column;
  int64_t row;
  bool Inside() const {
    return column >= 0 && column < kSlgGridColumns && row >= 0 && row < kSlgGridRows;
  }
};
RawCell RawCellOf(int32_t x, int32_t y) {
  const Diagonals d = DiagonalsOf(x, y);
  const int64_t A = 48 * d.a - 1032;
  const int64_t B = 48 * d.b - 1032;
  return {(A - B) / 96, ((A + B) / 2) / 24 + 1};
}

}  // namespace

SlgCell PosToCell(int32_t x, int32_t y) {
  const RawCell c = RawCellOf(x, y);
  const int64_t column = std::clamp<int64_t>(c.column, 0, kSlgGridColumns - 1);
  const int64_t row = std::clamp<int64_t>(c.row, 0, kSlgGridRows - 1);
  return {static_cast<int16_t>(column), static_cast<int16_t>(row)};
}

SlgPoint SnapPosToCell(int32_t x, int32_t y) {
  const Diagonals d = DiagonalsOf(x, y);
  const int64_t A = 48 * d.a - 1032;
  const int64_t B = 48 * d.b - 1032;
  return {static_cast<int32_t>((d.a - d.b) * 48), static_cast<int32_t>((A + B) / 2)};
}

uint32_t SlgCellWord(SlgCell cell) {
  const int column = std::clamp<int>(cell.column, 0, kSlgGridColumns - 1);
  const int row = std::clamp<int>(cell.row, 0, kSlgGridRows - 1);
  return Battle().cell_grid[static_cast<size_t>(row * kSlgGridColumns + column)];
}

int32_t SlgCellHeightAt(int32_t x, int32_t y) {
  return static_cast<int32_t>(SlgCellWord(PosToCell(x, y)) & kSlgCellHeightMask);
}

int PointInRect(const SlgRect& rect, int32_t x, int32_t y) {
  return rect.left <= x && x <= rect.right && rect.top <= y && y <= rect.bottom ? 1 : 0;
}

SlgPair SlgMapToScreen(const SlgUnit& unit) {
  const SlgBattleState& s = Battle().state;
  return {unit.x - (s.scroll_x + 320) * 65536, unit.y - (s.scroll_y + 216) * 65536 - unit.lift};
}

namespace Slg {

SlgPair PosToScreen(const SlgPair& pos) {
  const SlgBattleState& s = Battle().state;
  const int32_t h = SlgCellHeightAt(pos.x >> 16, pos.y >> 16);
  return {pos.x - (s.scroll_x + 320) * 65536,
          pos.y - (kSlgCellHeightPixels * h + s.scroll_y + 216) * 65536};
}

void InitCamera() {
  BattleContext& b = Battle();
  SlgCamera& cam = b.camera;
  cam.current_x = cam.start_x = cam.target_x = b.state.scroll_x * 65536;
  cam.current_y = cam.start_y = cam.target_y = b.state.scroll_y * 65536;
  cam.step_x = cam.step_y = 0;
  cam.start_time = Now();
  cam.duration = kSlgCameraDuration;
  cam.lock = 0;
}

void ScrollToUnit(uint32_t n) {
  BattleContext& b = Battle();
  if (n >= b.state.unit_count) return;
  SlgCamera& cam = b.camera;
  const SlgUnit& unit = b.state.units[n];
  cam.followed = static_cast<uint16_t>(n);
  if (InCentralBox(PosToScreen({unit.x, unit.y}))) {
    ArriveAtOnce(cam);
    return;
  }
  const int32_t ux = unit.x >> 16;
  const int32_t uy = unit.y >> 16;
  const int32_t lift = kSlgCellHeightPixels * SlgCellHeightAt(ux, uy);
  const int32_t tx = std::clamp(ux - 320, 0, MaxScrollX());
  int32_t ty = uy - (lift + 216);
  if (uy - lift - 264 < 0) {
    ty = 0;
  } else if (ty > MaxScrollY()) {
    ty = MaxScrollY();
  }
  cam.target_x = tx * 65536;
  cam.target_y = ty * 65536;
  const bool hurried = IsKeyHeld(2) != 0 && b.event_busy == 0 && b.first_frame == 0;
  StartMove(cam, hurried ? kSlgCameraHurried : kSlgCameraDuration);
}

void ScrollToPos(const SlgPair& pos) {
  BattleContext& b = Battle();
  SlgCamera& cam = b.camera;
  if (InCentralBox(PosToScreen(pos))) {
    ArriveAtOnce(cam);
    return;
  }
  const int32_t px = pos.x >> 16;
  const int32_t py = pos.y >> 16;
  const int32_t lift = kSlgCellHeightPixels * SlgCellHeightAt(px, py);
  cam.target_x = std::clamp(px - 320, 0, MaxScrollX()) * 65536;
  cam.target_y = std::clamp(py - (lift + 240), 0, MaxScrollY()) * 65536;
  StartMove(cam, kSlgCameraDuration);
}

int ScrollToPos(const SlgPair& pos, int32_t raise) {
  SlgCamera& cam = Battle().camera;
  // 64-bit: a raise or position at the ends of its range cannot overflow the subtraction.
  const int64_t want_x = int64_t{pos.x >> 16} - 320;
  const int64_t want_y = int64_t{pos.y >> 16} - (int64_t{raise} + 240);
  const int64_t tx = std::clamp<int64_t>(want_x, 0, MaxScrollX());
  const int64_t ty = std::clamp<int64_t>(want_y, 0, MaxScrollY());
  cam.target_x = static_cast<int32_t>(tx * 65536);
  cam.target_y = static_cast<int32_t>(ty * 65536);
  StartMove(cam, kSlgCameraDuration);
  return tx == want_x && ty == want_y ? 1 : 0;
}

int ScrollToCellPos(const SlgPair& pos) {
  return ScrollToPos(pos, kSlgCellHeightPixels * SlgCellHeightAt(pos.x >> 16, pos.y >> 16));
}

void ScrollJumpTo(const SlgPair& pos) {
  BattleContext& b = Battle();
  SlgCamera& cam = b.camera;
  cam.target_x = cam.current_x = cam.start_x = pos.x - 320 * 65536;
  cam.target_y = cam.current_y = cam.start_y = pos.y - 240 * 65536;
  cam.step_x = cam.step_y = 0;
  cam.start_time = Now();
  b.state.scroll_x = static_cast<int16_t>(cam.current_x >> 16);
  b.state.scroll_y = static_cast<int16_t>(cam.current_y >> 16);
}

void ScrollToPosSpeed(const SlgPair& pos, int32_t speed) {
  const SlgPair screen = PosToScreen(pos);
  const int32_t sx = screen.x >> 16;
  const int32_t sy = screen.y >> 16;
  if (sx >= -199 && sx <= 199 && sy >= -49 && sy <= 99) return;
  SlgCamera& cam = Battle().camera;
  ScrollToCellPos(pos);  // the target, and a 16-frame move replaced below
  const int64_t dx = int64_t{cam.target_x} - cam.current_x;
  const int64_t dy = int64_t{cam.target_y} - cam.current_y;
  // The per-frame step along the direction (angles from the pixel distances, so the 16.16
  // values cannot overflow the arc tangent's arguments).
  const int32_t r = static_cast<int32_t>(std::clamp<int64_t>(int64_t{speed} * 65536, INT32_MIN,
                                                              INT32_MAX));
  const int32_t angle =
      SlgAtan2(static_cast<int32_t>(dy >> 16), static_cast<int32_t>(dx >> 16));
  const SlgPair unit = SlgPolarToXY(r, angle);
  const bool by_x = std::llabs(dx) >= std::llabs(dy);
  const int64_t distance = std::llabs(by_x ? dx : dy);
  const int64_t per_frame = std::llabs(by_x ? unit.x : unit.y);
  // No step on the longer axis (a speed of 0, or one that rounds to nothing): one frame.
  int64_t frames = per_frame > 0 ? (distance + per_frame - 1) / per_frame : 1;
  frames = std::clamp<int64_t>(frames, 1, INT32_MAX);
  StartMove(cam, static_cast<uint32_t>(frames));
}

int IsOnMap(const SlgPair& pos) {
  const BattleContext& b = Battle();
  int32_t w = 2048, h = 2048;
  if (b.stage) {
    w = b.stage->header().width;
    h = b.stage->header().height;
  }
  const int32_t x = pos.x >> 16;
  const int32_t y = pos.y >> 16;
  return x >= 0 && x < w && y >= 0 && y < h ? 1 : 0;
}

uint16_t UpdateCursorCell(SlgCell& cell, const SlgPair& pos) {
  const RawCell c = RawCellOf(pos.x >> 16, pos.y >> 16);
  if (!c.Inside()) return kSlgNoUnit;
  if (c.column == cell.column && c.row == cell.row) return kSlgNoUnit;
  cell = {static_cast<int16_t>(c.column), static_cast<int16_t>(c.row)};
  return GetUnitAtCell(cell.column, cell.row);
}

uint16_t UnitAtPos(const SlgPair& pos) {
  const RawCell c = RawCellOf(pos.x >> 16, pos.y >> 16);
  if (!c.Inside()) return kSlgNoUnit;
  return GetUnitAtCell(static_cast<int>(c.column), static_cast<int>(c.row));
}

uint32_t CellAttrAtPos(const SlgPair& pos, uint32_t fallback) {
  const RawCell c = RawCellOf(pos.x >> 16, pos.y >> 16);
  if (!c.Inside()) return fallback;
  return SlgCellWord({static_cast<int16_t>(c.column), static_cast<int16_t>(c.row)});
}

SlgPair RaiseByCellHeight(const SlgPair& pos) {
  const int32_t h = SlgCellHeightAt(pos.x >> 16, pos.y >> 16);
  return {pos.x, pos.y - h * kSlgCellHeightPixels * 65536};
}

SlgPair WorldToScreen(const SlgPair& pos) {
  const SlgBattleState& s = Battle().state;
  return {pos.x - (s.scroll_x + 320) * 65536, pos.y - (s.scroll_y + 216) * 65536};
}

int HitBox(const HitBoxRect& a, const HitBoxRect& b) {
  const int64_t reach_x = (int64_t{a.half_w} + b.half_w) * 65536;
  const int64_t reach_y = (int64_t{a.half_h} + b.half_h) * 65536;
  return std::llabs(int64_t{a.x} - b.x) < reach_x && std::llabs(int64_t{a.y} - b.y) < reach_y ? 1
                                                                                              : 0;
}

int AngleDir(int32_t a, int32_t b) {
  const uint32_t diff = static_cast<uint32_t>(a) - static_cast<uint32_t>(b);
  if ((diff & 0xFFFF) == 0) return 0;
  return ((diff - 256) & 511) < 257 ? -1 : 1;
}

int ScrollStep() {
  BattleContext& b = Battle();
  SlgCamera& cam = b.camera;
  SlgBattleState& s = b.state;
  // Elapsed frames, signed; a long pause cannot overflow the position (it ends the move below).
  const int64_t frames = int64_t{static_cast<int32_t>(Now() - cam.start_time)} * 60 / 1000;
  if (cam.lock != 0) return 0;

  if (Block(cam.current_x) == Block(cam.target_x) && Block(cam.current_y) == Block(cam.target_y)) {
    if (cam.followed < s.unit_count) {
      const SlgUnit& unit = s.units[cam.followed];
      const int32_t ux = unit.x >> 16;
      const int32_t uy = unit.y >> 16;
      const int32_t h = SlgCellHeightAt(ux, uy);
      s.focus_x = static_cast<int16_t>(ux);
      s.focus_y = static_cast<int16_t>(uy);
      s.cursor_point = {static_cast<int16_t>(ux),
                        static_cast<int16_t>(uy - kSlgCellHeightPixels * h)};
      s.pointer = {(ux - s.scroll_x - 320) * 65536,
                   (uy - kSlgCellHeightPixels * (h + 5) - s.scroll_y) * 65536};
    }
    return 1;
  }

  if (cam.step_x != 0) cam.current_x = Advance(cam.start_x, frames, cam.step_x);
  if (cam.step_y != 0) cam.current_y = Advance(cam.start_y, frames, cam.step_y);
  if (frames > int64_t{cam.duration} ||
      (Block(cam.current_x) == Block(cam.target_x) && Block(cam.current_y) == Block(cam.target_y))) {
    cam.current_x = cam.target_x;
    cam.current_y = cam.target_y;
    cam.step_x = cam.step_y = 0;
  }

  const int32_t max_x = MaxScrollX() * 65536;
  const int32_t max_y = MaxScrollY() * 65536;
  if (cam.current_x < 0 || cam.current_x > max_x) {
    cam.current_x = cam.target_x = std::clamp(cam.current_x, 0, max_x);
    cam.step_x = 0;
  }
  if (cam.current_y < 0 || cam.current_y > max_y) {
    cam.current_y = cam.target_y = std::clamp(cam.current_y, 0, max_y);
    cam.step_y = 0;
  }
  s.scroll_x = static_cast<int16_t>(cam.current_x >> 16);
  s.scroll_y = static_cast<int16_t>(cam.current_y >> 16);
  return 0;
}

}  // namespace Slg
