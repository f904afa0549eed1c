#pragma once
// The title's arithmetic and menu rules, apart from the task that runs them: the turn-in's angle,
// the fly-in's path and ripple, the menu's rows, its moves and mouse bands, and the result each
// menu index leaves.

#include <array>
#include <cstdint>

namespace title {

// ---- Turn-in ----
// c from the frames since the turn began, as the timer gave them in the previous frame.
constexpr int32_t TurnCount(int32_t previous_frames) { return 4 * previous_frames; }
// The value handed to the engine: the angle 128 - c (pi / 256 radians) x 804 / 256, truncated.
constexpr int32_t TurnValue(int32_t c) { return (128 - c) * 804 / 256; }
// From this c on the animation plays again unturned.
inline constexpr int32_t kTurnDoneCount = 129;

// ---- Fly-in ----
// The 16.16 path of the picture's corner: start, velocity and per-frame change; it comes to rest
// at (0, 0) after kFlyFrames frames.
inline constexpr int32_t kFlyStartX = -24305664;  // -370.875
inline constexpr int32_t kFlyStartY = 21135360;   // 322.5
inline constexpr int32_t kFlyVelocityX = 376832;  // 5.75
inline constexpr int32_t kFlyVelocityY = -327680;  // -5.0
inline constexpr int32_t kFlyAccelX = -2944;
inline constexpr int32_t kFlyAccelY = 2560;
inline constexpr int32_t kFlyFrames = 128;
// Where the rows stand once the path is at rest.
inline constexpr int kFlyRowX = 284;
inline constexpr int kFlyRowY = 14;

struct FlyState {
  int32_t x, y;    // 16.16
  int32_t vx, vy;  // 16.16 per frame
};

// The state after `f` frames (f clamped to 0 .. kFlyFrames), in closed form: per frame the
// position moves by the velocity, then the velocity by the change.
FlyState FlyAt(int32_t f);

struct RowPlace {
  int x, y;
};
// Where row r is drawn after f frames: (284 - X - w, r + 14 - Y), X and Y the integer parts of
// the position and w the ripple (sine((4Y - 4r) & 511) x 6 x A) >> 16 with A = (128 - f) / 2.
RowPlace FlyRowAt(int32_t f, int r);

// ---- The menu ----
inline constexpr int kMenuRows = 5;
inline constexpr int kNoRow = 255;

struct MenuRow {
  bool visible;
  uint8_t index;  // the menu index it chooses (0-8)
};
using MenuRows = std::array<MenuRow, kMenuRows>;

// The rows for the save flags, the endings seen and the special-edition mode: new game,
// continue (only with save-flags bit 0 clear), the extra scenario (only with endings bit 7),
// options; in the special edition its own row and the flower cards.
MenuRows BuildMenuRows(uint32_t save_flags, uint32_t endings_seen, bool cesa_mode);
// The first visible row (kNoRow when none is).
int FirstRow(const MenuRows& rows);
// The previous (step -1) or next (step 1) visible row from `row`, wrapping.
int StepRow(const MenuRows& rows, int row, int step);

// The menu window and its text rows.
inline constexpr int kMenuTextLeft = 184;
inline constexpr int kMenuTextTop = 160;
inline constexpr int kMenuTextRight = 472;
inline constexpr int kMenuTextBottom = 336;
inline constexpr int kMenuRowHeight = 40;
inline constexpr int kMenuTextX = 44;  // in the text area
// The visible row whose 40-pixel band (from 4 pixels above its text) holds the point, inside the
// text area; kNoRow when none.
int RowAtPoint(const MenuRows& rows, int x, int y);

// ---- Results ----
// What a chosen menu index leaves as the title's result: 0 -> 1, 3 and 5 -> 2, 4 -> 6, 6 -> 4,
// 7 -> 5, 8 -> 7, any other -> 4. Indexes 1 and 2 open the options and the slot menu instead.
int ResultOfIndex(int index);
// Menu index 6: what the idle timeouts choose.
inline constexpr int kIdleIndex = 6;

}  // namespace title
