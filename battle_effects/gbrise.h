#pragma once
// Player kind 13's attacks (GBRISE): row 13 of the player table, {normal, special, normal,
// normal} by attack type; both routines are declared in battle_effects/attack_routines.h.
//
// - Normal (types 0, 2, 3): the player kinds' shared normal attack (battle_effects/
//   player_shape.h), two objects, rows {0, 1}, {2, 3} and {6, 7}.
// - Special (type 1), on the unit's step counter:
//   0  the context, layer 4 on, the pictures (SPECIAL_BG 0-6, a copy of 5, a blue dot), voice
//   1  three objects (with targets: the camera on the first, the objects about its depth, the
//      targets hidden), the body stopped, the cut-in's first call, the unit's tint task
//   2  the cut-in's first report: the charge task ("Gbrise::Tame"), the body runs on, effects 0
//      and 1 play
//   3  the cut-in's second report; 4: 60 frames, then the streaks (line mode 1); 5: a streak a
//      frame for 30 frames
//   6  the cut-in done and the objects' animations ended: the camera back, the targets shown,
//      the closing rows, the cut-in's clean-up, line mode 2
//   7  the body and the closing effect followed; when both have ended, state 7
//
// The cut-in (a presentation, battle_effects/presentation.h), stages 0-5: the scene and a fade in
// over 30 frames; the fade's end (report); 182 frames, then the tint flag (report); 20 frames;
// the row table (kGBriseCutIn) until row 11 begins (a fade to black); 30 frames; past the end it
// reports every call until the routine cleans it up.
//
// The charge task waits on object 1's frames 25 and 60: an animation that ends (or was released)
// before them counts as past them, so a short effect never keeps the charge running.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_units.h"
#include "battle_effects/player_shape.h"
#include "battle_effects/presentation.h"
#include "battle_effects/step_timeline.h"
#include "engine/gfx/gfx_types.h"

struct SprBufferEntry;
struct SprRec;
struct SlgUnit;

// One row of the cut-in: the entry's point (sprite-buffer pixels), its frames and the picture
// the row leaves (-1: the one shown stays).
struct GBriseCutInRow {
  int16_t x, y, frames;
  int8_t picture;
};
constexpr int kGBriseCutInRows = 12;
constexpr std::array<GBriseCutInRow, kGBriseCutInRows> kGBriseCutIn{{
    {256, 248, 10, 0}, {224, 264, 5, 1}, {192, 248, 5, 2}, {144, 200, 5, 3},
    {6, 8, 2, 4},      {0, 0, 40, -1},   {0, 48, 4, -1},   {0, 128, 4, -1},
    {0, 212, 4, -1},   {-16, 48, 2, 5},  {0, -16, 60, -1}, {-100, -200, 0, -1},
}};

// What the streaks and charge lines do (GBriseSpecial::line_mode).
enum GBriseLineMode : uint8_t { kGBriseCharge = 0, kGBriseStreaks = 1, kGBriseLinesEnd = 2 };

// The special's state: one attack at a time, zero at its start.
struct GBriseSpecial {
  SlgAttackCtx* ctx;
  StepClock clock;
  SlgUnit* unit;
  SlgPair pos;  // the drawing position of the current call
  bool has_targets;
  SlgPair target;  // the first target's map position
  // Pictures 0-5 of SPECIAL_BG, picture 6, the saved copy of picture 5, the 4 x 4 dot.
  std::array<SprRec*, 6> pictures;
  SprRec* picture6;
  SprRec* copy5;
  SprRec* dot;
  // The cut-in: its stages, its entry and the picture it shows, the row and the frame (from the
  // table's start) it began, the frames of the alpha ramp's and of row 10's start (-1 none).
  PresentationState cut_in;
  bool cut_in_clean;  // the clean-up has run: it reports every call
  SprBufferEntry* entry;
  int8_t shown;
  uint8_t row;
  uint32_t table_start;  // game clock ms
  int32_t row_frame;
  int32_t ramp_frame;
  int32_t row10_frame;
  int32_t zoom;  // 16.16
  SlgPair centre;  // the orbit centre, 16.16 about the screen centre
  uint8_t line_mode;
  uint8_t tint;
  // Running numbers of the lines (the streaks' n from line mode 1), plates and balls; the live
  // plates and balls and the charge's mode.
  uint32_t lines, plate_names, ball_names;
  uint16_t plates, balls, mode;
};

// The family's per-battle block (Battle().Extension<GBriseWork>()).
struct GBriseWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  GBriseWork() = default;
  // A battle that ends mid-special: its pictures are given back.
  ~GBriseWork();
  GBriseWork(const GBriseWork&) = delete;
  GBriseWork& operator=(const GBriseWork&) = delete;

  PlayerNormal normal;
  GBriseSpecial special;
};
GBriseWork& GBriseAttackWork();

// The cut-in entry's point at `t` frames into row `row` (0-10): from the row's point to the next
// row's over the row's frames.
SlgPair GBriseCutInPoint(int row, int32_t t);
// The entry's zoom (16.16) `t` frames into row 10: 1 / z, z = 1 - t x 1966/65536, at least 0.1.
int32_t GBriseCutInZoom(int32_t t);
// The unit's blend word `t` frames into the tint's rise (up) or fall.
uint32_t GBriseTintLevel(bool up, int32_t t);

// A plate of the charge: radii and their speeds (16.16 pixels, a frame), the inward
// acceleration, the turn, the scale (16.16 a pixel).
struct GBrisePlate {
  int32_t radius, speed;
  int32_t radius2, speed2;
  int32_t accel;
  int32_t angle, turn;
  int32_t scale;
  bool resting;
};
// The four corner factors of a plate, in order.
std::array<int32_t, 4> GBrisePlateCorners(const GBrisePlate& plate);
// One frame of a plate's fall: 1 once its second radius has reached 0. `released`: object 1 is
// past its frame 59 (a plate at rest then falls on).
int GBrisePlateStep(GBrisePlate& plate, bool released);
