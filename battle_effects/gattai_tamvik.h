#pragma once
// TAMVIK's part of the combination attack (characters 0 and 1): GattaiTamvik on the heroine-
// routine frame (battle_effects/gattai.h), with the letterbox "Gattai::Tamvik::Window". All of it
// is drawn on surface 4; positions are pixels about the screen centre unless said otherwise.
//
// States (frames on the sub-state's clock):
//   0  the hero's cut-in (GATTAI_BG picture 0) from x 640 at 16 px a frame to x 0 (40 frames),
//      its bottom on row 416, in front of everything; held 88 frames, then removed
//   1  the heroine's (picture 1) from x -width at 16 px a frame to x 352; held 105 frames
//      In states 0 and 1: an after-image every 4 frames while the cut-in slides, and a sweeping
//      line every 8 frames on a clock running through both states
//   2  two swinging figures ("Gattai::Tamvik::Furari0", "1") stop at x -16 and -160; vertical
//      lines every 4 frames; state 3 280 frames after the state began
//   3  the fire ball ("Gattai::Tamvik::Hinotama"): grows to 1.0 over 11 frames, draws in a ball
//      every 2 frames up to frame 126 (63), then throws out a petal spiral every 4 frames; at the
//      spiral's frame 61 it raises this state's sub-state and starts the second spiral
//   4  the white-out over 64 frames; then the frame's end (stop word, signals)
//
// Effect tasks (slot 13, GATTAI_EXT_EFFECT, of the attacker's kind), each ending by itself or on
// the family's stop word:
//   "Gattai::Tamvik:KadrunZanzou%d" / "Gattai::Tamvik:TamvikZanzou%d"  after-images, 23 frames
//   "Gattai::Tamvik::KadrunYokoLine%d" / "...TamvikYokoLine%d"  lineH across at 32 px a frame
//   "Gattai::Tamvik::TateLine%d"  lineV (or animation 8) rising 16 px a frame
//   "Gattai::Tamvik::Tama%d"  a ball turning 8 steps a frame toward the fire ball at 20 px a frame
//   "Gattai::Tamvik::TamvikFubuki%d", "...TamvikFubuki2%d"  petals on a widening spiral

#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_units.h"
#include "battle_effects/spawner.h"

struct SprAnm;
struct SprBufferEntry;
struct SprRec;

// The routine's block (Battle().Extension<GattaiTamvikWork>()), made afresh at its start.
struct GattaiTamvikWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;

  SprAnm* eff_anm = nullptr;  // slot 13 as the frame holds it
  SprRec* line_h = nullptr;   // 192 x 2, white
  SprRec* line_v = nullptr;   // 2 x 80, pale blue
  // The cut-in on the screen (pixels, its top-left corner) and where it started.
  SprBufferEntry* cut_entry = nullptr;
  int32_t cut_x = 0;
  int32_t cut_y = 0;
  int32_t cut_start_x = 0;
  uint32_t state_ms = 0;  // the clock of the current state (from its sub-state 0)
  uint32_t lines_ms = 0;  // the sweeping lines' clock (from state 0)
  Spawner after_images{};
  Spawner lines{};
  Spawner tate_lines{};
  Spawner balls{};
  Spawner petals{};
  int32_t spiral_angle = 0;  // the first spiral's angle when the second begins
};
GattaiTamvikWork& GattaiTamvikBlock();

// A swinging figure at `frames` frames (index 0 from the left, 1 from the right): its x (16.16),
// its depth, and whether it has stopped.
struct TamvikFigure {
  int32_t x;
  int16_t depth;
  bool stopped;
};
TamvikFigure TamvikFigureAt(int index, int32_t frames);

// A ball from `start` (16.16) at `frames` frames: where it is, its heading, and whether it has
// reached the fire ball's box (the steps it took to get there).
struct TamvikBall {
  SlgPair pos;
  int32_t heading;
  bool arrived;
  int32_t steps;
};
TamvikBall TamvikBallAt(const SlgPair& start, int32_t frames);
// Whether a position (16.16) lies inside the fire ball's box (-22 < x < 10, -122 < y < -90).
bool TamvikInFireBall(const SlgPair& pos);

// A petal of a spiral begun at `angle`, `frames` frames after its start: its position (16.16),
// angle and zoom.
struct TamvikPetal {
  SlgPair pos;
  int32_t angle;
  int32_t zoom;
};
TamvikPetal TamvikPetalAt(int32_t angle, int32_t frames);
