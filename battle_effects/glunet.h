#pragma once
// Player kind 10's attacks (GLUNET): row 10 of the player table, {normal, special, normal,
// normal} by attack type; both routines are declared in battle_effects/attack_routines.h.
//
// - Normal (types 0, 2, 3): the player kinds' layered normal (battle_effects/player_shape.h) with
//   its own forms: two objects, rows {2, 3} (types 0 and 3) and {0, 1} (type 2), object 1 played
//   once with looping off; the damage list rebuilt as the objects start; no wait after the
//   animations. While they run, "Glunet::hit" starts once: type 0 at 84 frames, type 2 when the
//   body reaches frame 38, type 3 never. The hit stands on the first target (depth - 10,
//   ATTACK_EFFECT 4 looping) for 50 frames; with no target there is none.
// - Special (type 1), on the unit's step counter:
//   0  the context, layer 4 in mode 3, SPECIAL_BG picture 0 on layer 4, picture 1 and a white
//      640 x 480 box (surface 12) as sprites, the voice
//   1  any fade ended at once; the damage list; four objects at the screen centre, once, the
//      opening rows for direction 0 whatever the unit faces (objects 1-3 clear their handles at
//      their ends); the targets hidden, SlgFlags bits 1-2 cleared
//   2  object 1's frame 30: the flash ("Glunet::PikaPika"); object 0's end: the flash's end flag
//   3  back on the map (layer 4 cleared, the layers restored, flagged units and targets shown,
//      bits 1-2 set); one object plays the closing row by direction; "Glunet::Hit2Gen" (none:
//      step 5)
//   4  until the hit marks' generator has moved the step on (or is gone)
//   5  everything given back, state 7
//
// The flash, every frame from its start: the white box on the frames whose frame count has bit 1
// set, picture 1 on the first two frames of every eight from frame 8 on (both at depth 511); at
// the end flag both entries and both sprites go.
//
// The hit marks: "Glunet::Hit2Gen" starts one mark "Glunet::HitMart2<i>" per target i and moves
// the unit's step on once every mark has ended. A mark (depth + 2, SPECIAL_EFFECT 5 once,
// blinking every 2 frames) throws a volley of two sparks ("<mark name>0", "<mark name>1", 40
// pixels right and left, depth - 2, SPECIAL_EFFECT 7 and 8 once) whenever frames / 16 passes its
// volley count from frame 30 to 63; from frame 64, once its sparks have ended, it squashes away
// over 20 frames (GlunetSquashZoom) and ends. Names may repeat (the 21st target's mark and the
// 3rd target's first spark share one; every volley reuses its sparks' names): each mark and each
// spark is counted by its slot and the attack's serial in the family block, never by name.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_units.h"
#include "battle_effects/player_shape.h"
#include "battle_effects/step_timeline.h"

struct SprBufferEntry;
struct SprRec;
struct SlgEffectTask;
struct SlgUnit;

// A hit mark's place in the family block: its live sparks, and the serial of the attack that
// made it (a spark of another attack never counts here).
struct GlunetMark {
  int32_t sparks;
  uint32_t serial;
};

// The special's state: one attack at a time, zero at its start but for the serial.
struct GlunetSpecial {
  SlgAttackCtx* ctx;
  StepClock clock;
  SlgUnit* unit;
  SlgPair pos;
  uint32_t serial;     // this attack's number: the marks and sparks it made carry it
  bool flash_started;  // "Glunet::PikaPika" has been started
  uint8_t flash_end;   // 1: the flash deletes what it shows and ends
  int32_t flash_counter;  // frames / 8 of the picture's last showing
  SprRec* white;
  SprRec* picture;
  SprBufferEntry* white_entry;
  SprBufferEntry* picture_entry;
  SlgEffectTask* hit_gen;  // "Glunet::Hit2Gen" while it lives
  int32_t marks;           // marks alive
  std::array<GlunetMark, kSlgMaxUnits> mark;
};

// The family's per-battle block (Battle().Extension<GlunetWork>()).
struct GlunetWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  GlunetWork() = default;
  // A battle that ends mid-attack: the context, its objects and the flash's sprites are given
  // back.
  ~GlunetWork();
  GlunetWork(const GlunetWork&) = delete;
  GlunetWork& operator=(const GlunetWork&) = delete;

  PlayerNormal normal;
  bool hit_started;       // the normal attack's hit has been started
  uint32_t normal_start;  // game clock ms when the normal attack's objects started
  GlunetSpecial special;
};
GlunetWork& GlunetAttackWork();

// A hit mark's zoom (x, y; 16.16) `frames` frames into its squash: x 1.0 - f x 3276/65536, y 1.0
// + f x 6553/65536, f held to 0-20.
SlgPair GlunetSquashZoom(int32_t frames);
