#pragma once
// Player kind 9's attacks (GDAVONE): row 9 of the player table, {normal, special, normal, normal}
// by attack type; both routines are declared in battle_effects/attack_routines.h.
//
// - Normal (types 0, 2, 3): the player kinds' layered normal with the hit form
//   (PlayerHitNormalForm, battle_effects/player_shape.h): two objects, rows {0, 2} (types 0 and
//   3) and {1, 3} (type 2), the damage list rebuilt as they start; when the body reaches its
//   frame 15, "Gdavone::Hit" once on the first target (depth - 10, ATTACK_EFFECT 4 once, type 2:
//   5); none with an empty list. The attack ends with the body.
// - Special (type 1), on the unit's step counter:
//   0  the context, layer 4 in mode 2, SPECIAL_BG picture 0 cut into strips of 4 lines (below),
//      picture 1 as a sprite at alpha 128, the voice
//   1  the damage list; two objects at the screen centre playing row {0, 0} (never mirrored),
//      object 1 with looping off; the targets hidden, SlgFlags bits 1-2 cleared; the strip wave
//      ("Gdavone::LineScroll"); any fade ended at once
//   2  75 frames, then the column scroll ("Gdavone::PoleScroll"); 3 on at once
//   4  37 frames, then the feathers ("Gdavone::hane"; none: step 6)
//   5  until the feathers have moved the step on (or are gone)
//   6  back on the map: the layers restored, the wave and the column ended, flagged units and
//      targets shown, bits 1-2 set; one object plays the closing row {1, 1} by direction; map
//      planes 2, 0 and 3 at alpha 0x40080; the fire bird ("Gdavone::Hinotori"; none: step 8)
//   7  until the bird has moved the step on (or is gone)
//   8  31 frames, then everything given back, any fade ended, the planes back at 256, state 7
//
// The strips: picture 0 is loaded into layer 4 made 672 x 480 for the cut (the surface is given
// back at once, its scroll kept) and cut into up to 120 strips 4 lines high and up to 672 pixels
// wide, drawn from x -16, each within the picture (a smaller picture gives fewer or narrower
// strips; the wave moves only the strips made); strips above row 360 stand at depth 511, the rest
// at -1536. Strip k is shifted by -(sin(frames x 4 + 16k) x 8 / 16384) pixels (GdavoneStripShift).
// The column: four entries of picture 1 at x 224, y = GdavonePoleTop(frames) + 128k, depth -1535.
//
// The feathers (one object at (0, -32) pixels, SPECIAL_EFFECT 7, zoomed by GdavoneHaneZoom; then
// 5 once; then 6 looping as it sinks and rises by GdavoneHaneDrop), 60 frames after the rise the
// unit's step on.
// The fire bird (SPECIAL_EFFECT 3, depth -1090): from x -448 on the line through object 0 at
// angle 42 (y = y0 + |x - x0| tan 42: a V opening upward), 18 pixels a frame up and to the right
// (mirrored) to x 576; it turns; 2 frames later, 128 pixels below the V's right arm, it flies back
// up and to the left along it at v / 256 pixels a frame per table component,
// v from 3072 down 16 a frame (GdavoneBirdSpeed), its zoom growing 1310/65536 a frame. At frame
// 20 of the flight back it starts "Gdavoe::Bomb"; once v is below 1025 the screen whites out over
// 32 frames, 32 frames later the bombs' end flag is raised, and once the bomb task has cleared it
// (or is not alive) the unit's step moves on.
// "Gdavoe::Bomb" (SPECIAL_EFFECT 4 looping, on the first target; on the attacker with an empty
// list) starts a piece "Gdavone::bomb<n>" every frame until the end flag, then waits for the
// pieces to end and clears the flag. A piece stands on a random cell of the 11 x 11 diamond
// round the attacker (GdavoneBombCell), offset by -32..31 and -63..0 pixels, SPECIAL_EFFECT 4
// once, and ends at its animation's end or at the end flag.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_geometry.h"
#include "battle/slg_units.h"
#include "battle_effects/player_shape.h"
#include "battle_effects/step_timeline.h"

struct SprBufferEntry;
struct SprRec;
struct SlgEffectTask;
struct SlgUnit;

constexpr int kGdavoneStrips = 120;
constexpr int kGdavoneStripHeight = 4;
constexpr int kGdavoneStripWidth = 672;
constexpr int kGdavonePoles = 4;

// The special's state: one attack at a time, zero at its start but for the serial.
struct GdavoneSpecial {
  SlgAttackCtx* ctx;
  StepClock clock;
  SlgUnit* unit;
  SlgPair pos;
  uint32_t serial;  // this attack's number: the effects it made carry it
  std::array<SprRec*, kGdavoneStrips> strips;
  std::array<SprBufferEntry*, kGdavoneStrips> strip_entries;
  int32_t strip_count;  // strips made
  SprRec* pole;         // picture 1
  std::array<SprBufferEntry*, kGdavonePoles> pole_entries;
  SlgEffectTask* line_scroll;
  SlgEffectTask* pole_scroll;
  SlgEffectTask* hane;
  SlgEffectTask* bird;
  SlgEffectTask* bomb;
  int16_t bombs;     // pieces alive
  int16_t bomb_end;  // 1: the pieces end and the bomb task clears it
  uint32_t bomb_names;
  int32_t bomb_start_speed;  // the bird's v when it started the bomb task (-1 before)
};

// The family's per-battle block (Battle().Extension<GdavoneWork>()).
struct GdavoneWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  GdavoneWork() = default;
  // A battle that ends mid-attack: the context, its objects, the strips and the column's picture
  // are given back.
  ~GdavoneWork();
  GdavoneWork(const GdavoneWork&) = delete;
  GdavoneWork& operator=(const GdavoneWork&) = delete;

  PlayerNormal normal;
  bool hit_started;  // the normal attack's hit has been started
  GdavoneSpecial special;
};
GdavoneWork& GdavoneAttackWork();

// Strip k's shift in pixels at wave frame `frames`: -(sin(frames x 4 + 16k) x 8 / 16384).
int32_t GdavoneStripShift(int32_t frames, int k);
// The column's top y (pixels) at frame `frames`: 360 - 32 x frames, wrapped below 0 as
// -((-y) mod 128).
int32_t GdavonePoleTop(int32_t frames);
// The feathers' zoom (16.16) `frames` into their growth: x 655 + f x 6553 for 10 frames, y 655 +
// f x 3276 for 20, then 1.0.
SlgPair GdavoneHaneZoom(int32_t frames);
// The feathers' drop (pixels, down) `frames` into their sink: f x 34952/65536 for 30 frames,
// then 40 pixels up a frame for 12.
int32_t GdavoneHaneDrop(int32_t frames);
// The bird's v at frame `frames` of its flight back: 3072 - 16 f, never below 0.
int32_t GdavoneBirdSpeed(int32_t frames);
// The map offset (pixels) of cell r (0-120) of the 11 x 11 diamond: column r mod 11, row r / 11,
// x (row + column - 10) x 48, y (column - row) x 24.
SlgPoint GdavoneBombCell(int r);
