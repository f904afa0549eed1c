// The map cursor's movement (Slg::MoveCursor): the pointer follows the mouse or the keys, scrolls
// the map at the edges of the central box, and the cursor point follows the cell under it.

#include <algorithm>
#include <cstdint>

#include "battle/battle_context.h"
#include "battle/slg_geometry.h"
#include "battle/slg_sound.h"
#include "battle/slg_turn.h"
#include "engine/app/context.h"
#include "engine/core/frame_rate.h"
#include "game/system_data.h"
#include "scene/ui/tamvik_func.h"

namespace {

constexpr int32_t kOne = 65536;
// The option menu's speeds are 0-4; a damaged setting is held to that range before the shift.
constexpr uint16_t kMaxCursorSpeed = 4;
// A longer gap (the first step, or a step after a pause in another state) counts as this long,
// so that the cursor does not leap across the map.
constexpr uint32_t kMaxStepMs = 100;
constexpr uint32_t kSecondGridSkip = 0x800;

struct Box {
  int32_t low, high;  // pixels
};
constexpr Box kScreenX{-320, 320};
constexpr Box kScreenY{-240, 240};
constexpr Box kCentralX{-200, 200};
constexpr Box kCentralY{-50, 100};

int32_t MaxScroll(bool x_axis) {
  const BattleContext& b = Battle();
  if (b.stage == nullptr) return 0;
  const int32_t size = x_axis ? b.stage->header().width : b.stage->header().height;
  return std::max(0, size - (x_axis ? 640 : 480));
}

// One axis of the pointer (16.16) after a step: beyond the central box the map scrolls instead,
// as far as the map allows; what the map cannot take moves the pointer on to the screen's edge.
void MoveAxis(int32_t& pointer, int16_t& scroll, int32_t delta, const Box& box,
              const Box& screen, bool x_axis) {
  int64_t p = int64_t{pointer} + delta;
  const int64_t low = int64_t{box.low} * kOne;
  const int64_t high = int64_t{box.high} * kOne;
  const int64_t excess = p > high ? p - high : (p < low ? p - low : 0);
  if (excess != 0) {
    const int32_t want = static_cast<int32_t>(excess / kOne);
    const int32_t to = std::clamp<int32_t>(scroll + want, 0, MaxScroll(x_axis));
    p -= int64_t{to - scroll} * kOne;
    scroll = static_cast<int16_t>(to);
  }
  p = std::clamp<int64_t>(p, int64_t{screen.low} * kOne, int64_t{screen.high} * kOne);
  pointer = static_cast<int32_t>(p);
}

}  // namespace

namespace Slg {

void MoveCursor(uint32_t screen_only) {
  BattleContext& b = Battle();
  SlgBattleState& s = b.state;
  const uint32_t now = static_cast<uint32_t>(Ctx().frame_rate.GetTime());
  const uint32_t elapsed =
      b.turn.cursor_time == 0 ? 0 : std::min(now - b.turn.cursor_time, kMaxStepMs);
  b.turn.cursor_time = now;

  int32_t dx = 0;
  int32_t dy = 0;
  if (SlgMouseFlag() != 0) {
    int32_t mx = 0;
    int32_t my = 0;
    SlgPointerPos(&mx, &my);
    dx = mx * kOne - s.pointer.x;
    dy = my * kOne - s.pointer.y;
  } else {
    // The setting's low byte, as the option menu writes it.
    const uint16_t setting =
        std::min<uint16_t>(GetSystemData()->cursorSpeed() & 0xFF, kMaxCursorSpeed);
    int32_t speed = 1 << setting;
    if (IsKeyHeld(1) != 0) speed *= 8;
    const int64_t timed = int64_t{elapsed} * speed * 60 * kOne / 1000;
    const int32_t d = static_cast<int32_t>(std::max<int64_t>(int64_t{speed} * kOne, timed));
    if (IsKeyHeld(5) != 0) dy -= d;
    if (IsKeyHeld(6) != 0) dy += d;
    if (IsKeyHeld(7) != 0) dx -= 2 * d;
    if (IsKeyHeld(8) != 0) dx += 2 * d;
  }

  if (screen_only != 0) {
    s.pointer.x =
        std::clamp<int32_t>(s.pointer.x + dx, kScreenX.low * kOne, kScreenX.high * kOne);
    s.pointer.y =
        std::clamp<int32_t>(s.pointer.y + dy, kScreenY.low * kOne, kScreenY.high * kOne);
  } else {
    const int16_t sx = s.scroll_x;
    const int16_t sy = s.scroll_y;
    MoveAxis(s.pointer.x, s.scroll_x, dx, kCentralX, kScreenX, true);
    MoveAxis(s.pointer.y, s.scroll_y, dy, kCentralY, kScreenY, false);
    if (s.scroll_x != sx || s.scroll_y != sy) {
      // The camera stands where the cursor scrolled to, so that its next step keeps it there.
      SlgCamera& cam = b.camera;
      cam.current_x = cam.start_x = cam.target_x = s.scroll_x * kOne;
      cam.current_y = cam.start_y = cam.target_y = s.scroll_y * kOne;
      cam.step_x = 0;
      cam.step_y = 0;
    }
  }

  // The cursor point follows the cell under the pointer, unless that cell is one to skip.
  const int32_t px = s.scroll_x + 320 + (s.pointer.x >> 16);
  const int32_t py = s.scroll_y + 240 + (s.pointer.y >> 16);
  const SlgCell cell = PosToCell(px, py);
  const uint32_t word2 =
      b.cell_grid2[static_cast<size_t>(cell.row) * kSlgGridColumns + cell.column];
  if ((word2 & kSecondGridSkip) != 0) return;
  s.cursor_point = {static_cast<int16_t>(px), static_cast<int16_t>(py)};
  s.focus_x = static_cast<int16_t>(px);
  s.focus_y = static_cast<int16_t>(py);
}

}  // namespace Slg
