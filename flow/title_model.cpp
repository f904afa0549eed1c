#include "flow/title_model.h"

#include <algorithm>

#include "game/sine_table.h"

namespace title {

FlyState FlyAt(int32_t f) {
  const int64_t n = std::clamp(f, 0, kFlyFrames);
  const int64_t pairs = n * (n - 1) / 2;
  FlyState s{};
  s.x = static_cast<int32_t>(kFlyStartX + n * kFlyVelocityX + pairs * kFlyAccelX);
  s.y = static_cast<int32_t>(kFlyStartY + n * kFlyVelocityY + pairs * kFlyAccelY);
  s.vx = static_cast<int32_t>(kFlyVelocityX + n * kFlyAccelX);
  s.vy = static_cast<int32_t>(kFlyVelocityY + n * kFlyAccelY);
  return s;
}

RowPlace FlyRowAt(int32_t f, int r) {
  const int32_t frames = std::clamp(f, 0, kFlyFrames);
  const FlyState s = FlyAt(frames);
  const int32_t x = s.x >> 16;
  const int32_t y = s.y >> 16;
  const int32_t amplitude = (kFlyFrames - frames) / 2;
  // The table is read at (a & 511): rows below Y give a negative angle.
  const int32_t wave = (SineOf(4 * y - 4 * r) * 6 * amplitude) >> 16;
  return {kFlyRowX - x - wave, r + kFlyRowY - y};
}

MenuRows BuildMenuRows(uint32_t save_flags, uint32_t endings_seen, bool cesa_mode) {
  MenuRows rows{};
  if (cesa_mode) {
    rows[0] = {true, 7};
    rows[1] = {true, 8};
    return rows;
  }
  rows[0] = {true, 0};
  rows[1] = {(save_flags & 1u) == 0, 2};
  rows[2] = {(endings_seen & 0x80u) != 0, 4};
  rows[3] = {true, 1};
  return rows;
}

int FirstRow(const MenuRows& rows) {
  for (int i = 0; i < kMenuRows; ++i) {
    if (rows[static_cast<size_t>(i)].visible) return i;
  }
  return kNoRow;
}

int StepRow(const MenuRows& rows, int row, int step) {
  if (row < 0 || row >= kMenuRows) return FirstRow(rows);
  int next = row;
  for (int i = 0; i < kMenuRows; ++i) {
    next = (next + step + kMenuRows) % kMenuRows;
    if (rows[static_cast<size_t>(next)].visible) return next;
  }
  return row;
}

int RowAtPoint(const MenuRows& rows, int x, int y) {
  if (x < kMenuTextLeft || x >= kMenuTextRight) return kNoRow;
  for (int i = 0; i < kMenuRows; ++i) {
    if (!rows[static_cast<size_t>(i)].visible) continue;
    const int top = kMenuTextTop + i * kMenuRowHeight - 4;
    if (y >= top && y < top + kMenuRowHeight) return i;
  }
  return kNoRow;
}

int ResultOfIndex(int index) {
  switch (index) {
    case 0: return 1;
    case 3:
    case 5: return 2;
    case 4: return 6;
    case 6: return 4;
    case 7: return 5;
    case 8: return 7;
    default: return 4;
  }
}

}  // namespace title
