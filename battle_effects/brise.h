#pragma once
// Player kind 6's attacks (BRISE): row 6 of the player table, {normal, special, normal, normal}
// by attack type; both routines are declared in battle_effects/attack_routines.h.
//
// - Normal (types 0, 2, 3): the player kinds' shared normal attack (battle_effects/
//   player_shape.h), two objects, rows {0, 1}, {2, 3} and {6, 7}.
// - Special (type 1), on the unit's step counter:
//   0  the context; layer 4 on in mode 3; SPECIAL_BG picture 0 loaded into layer 4 (the layer
//      first takes the picture's size when it is larger than the screen) and cut into pictures
//      A (columns 0-640), B (608-1312) and C (1248-1952, B and C drawn from x -32), each only as
//      far as the picture reaches; layer 4 then 640 x 2048 with 256 bands of 8 px running cyan
//      to blue; the line and the two dot sprites drawn on the work surface; picture A's entry
//      (depth 511); the attack voice
//   1  the fade in, two objects at (-32, 64) playing the opening row stopped, the targets hidden
//   2  every call a dot (at most 256), "Brise::Dot" on the first; at 60 frames both objects run;
//      at object 0's frame 23 (or its end) step 3
//   3  a falling line "Brise::line%d" each time frames / 4 passes the count; at object 0's frame
//      69 (or its end) picture B, then
//   4  the layer scroll (49 px every 16 ms, 32 times), the entry at the first shake offset
//   5  picture C at 6 frames, the bombs at 15 and 20, the entry shaking by kBriseShake; at 32
//      frames x 0 and
//   6  once no attack animation runs: the scene cleared (layer 4 given back at 640 x 480 and the
//      layers restored), the targets shown, one object playing the closing row {4, 5}
//   7  the small bombs at 30 and 40 frames (the second tried every call until made); at 120
//      frames (and the second made) step 8, which after 30 frames frees everything and ends
//      with state 7, SlgFlags bits 1 and 2 set
//
// Every bomb rebuilds the damage list (DamageMember) when it starts; with no target the bombs
// take the attacker's depth.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_units.h"
#include "battle_effects/player_shape.h"
#include "battle_effects/spawner.h"
#include "battle_effects/step_timeline.h"
#include "engine/anime/anime_handle.h"

struct SprBufferEntry;
struct SprRec;
struct SlgEffectTask;

// The picture entry's x offsets by frame of step 5.
constexpr int kBriseShakeFrames = 32;
constexpr std::array<int8_t, kBriseShakeFrames> kBriseShake{
    -32, 32, -32, 32, -32, 32, -32, 32, -32, 32, -32, 32, -24, 24, -16, 16,
    -12, 12, -8,  8,  -4,  4,  0,   0,  0,   0,  0,   0,  0,   0,  0,   0};

constexpr int kBriseDots = 256;
// The gradient layer's size and its bands.
constexpr int kBriseGradientWidth = 640;
constexpr int kBriseGradientHeight = 2048;
constexpr int kBriseBands = 256;
// Band k's colour (COLORREF): green falls from 255 as k rises, blue stays full.
constexpr uint32_t BriseBandColour(int k) { return 0x00FFFF00u - 256u * static_cast<uint32_t>(k); }

// One dot: positions and velocity in 24.8 pixels about the screen centre.
struct BriseDot {
  uint32_t active;
  int32_t x, y;
  int32_t start_x, start_y;
  int32_t vx, vy;
  int32_t angle;
  SprRec* sprite;
  SprBufferEntry* entry;
  uint32_t start;  // game clock ms
};

// A dot's start: edge (0 top, 1 bottom, 2 left, 3 right), the coordinate along it (-320..319 on
// the top and bottom, -240..239 on the sides, pixels) and whether it is large.
struct BriseDotStart {
  int edge;
  int32_t along;
  bool large;
};
// The dot's record at its start (pixels -> 24.8; heading toward the centre, 6 or 12 px a frame).
BriseDot BriseMakeDot(const BriseDotStart& start);
// The dot `frames` frames on: start + velocity x frames. False once it has come within 32 px of
// the centre in x (it is deleted).
bool BriseDotAt(BriseDot& dot, int32_t frames);

// The special's state: one attack at a time, zero at its start.
struct BriseSpecial {
  SlgAttackCtx* ctx;
  StepClock clock;
  SlgUnit* unit;
  SlgPair pos;  // the drawing position of the current call
  // Pictures A, B and C, the shown one's entry, and the line and dot sprites.
  std::array<SprRec*, 3> pictures;
  SprBufferEntry* entry;
  int8_t shown;
  SprRec* line;
  SprRec* large_dot;
  SprRec* small_dot;
  bool layer_resized;  // layer 4 stands on a larger surface
  AnimeHandle scroll;
  // The dots: the count added, the table and the mover task.
  int32_t dot_count;
  std::array<BriseDot, kBriseDots> dots;
  SlgEffectTask* dot_task;
  Spawner lines;
  bool objects_started;
  bool scene_over;  // step 7 reached: the dots and lines end
  uint8_t events;   // events of the current step done (bit per event)
  bool small_bomb2_made;
};

// The family's per-battle block (Battle().Extension<BriseWork>()).
struct BriseWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  BriseWork() = default;
  // A battle that ends mid-special: its pictures and entries are given back.
  ~BriseWork();
  BriseWork(const BriseWork&) = delete;
  BriseWork& operator=(const BriseWork&) = delete;

  PlayerNormal normal;
  BriseSpecial special;
};
BriseWork& BriseAttackWork();
