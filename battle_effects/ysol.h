#pragma once
// The YSOL heroine unit's attacks (kind 4), behind the kind's player entry {normal, special,
// normal, normal} (battle_effects/attack_dispatch.h; the routines are declared in
// battle_effects/attack_routines.h).
//
// The normal routine (types 0, 3; the critical type 2) is a layered attack (9 objects, the
// critical 10: the body, object 1 in three pieces, the critical's object 2, then seven marks on an
// arc over the heroine) whose follow-up raises light shells ("YSOL::LShell%d", 8 of them 64 steps
// apart, the critical 16 of them 32 apart) that rise, home in on the targets (battle_effects/
// homing.h) and burst on them; type 3's shells fly straight and burst without a hit. The routine's
// steps are mirrored in the unit's step counter:
//
//   0  the attack context (the ATTACK sets)
//   1  the objects play (LayeredAttack start)
//   2  until the body has ended
//   3  the body plays {4, 6}; once it has ended, 3 frames, then the marks appear (one every 3
//      frames up to 7) and on the next call the shells are launched
//   4  while shells live the body holds its first frame; when none is left and the body has
//      ended: the body plays {23, 24}, object 1 its third piece, the marks go
//   5  until the body has ended
//   6  30 frames, then everything freed and state 7
//
// The special routine (type 1), steps 0-11 on the unit's step counter, with the presentation's
// stages 0-9 beside it (YsolPresentation): the scene (layer 4 with picture 0 of SPECIAL_BG, a
// layer scroll, picture 1 fading in), six big bears "YSOL::BigBear%d" dropping in the order of
// YsolBearOrder, each with four stars "YSOL::star%d" and a hit mark, the white-out, then per
// target four bears "YSOL::Bear%d%d" that spring while the falling-sprite effect (SlgFallEffect2)
// plays on the target.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_math.h"
#include "battle/slg_units.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/homing.h"
#include "battle_effects/layered_attack.h"
#include "battle_effects/step_timeline.h"
#include "engine/anime/anime_handle.h"

struct SlgAnmObj;
struct SlgEffectTask;
struct SlgUnit;
struct SprAnm;

constexpr int kYsolMarks = 7;
constexpr int kYsolBigBears = 6;
constexpr int kYsolBearsPerTarget = 4;

// The order in which the big bears drop: bear i waits (order[i] + 2) x 30 frames. Shuffled in
// place before each special and kept for the battle's next one (a block of its own, so that the
// attack work's clearing at each attack's start leaves it); a new battle starts from the first
// order.
struct YsolBearOrder {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  std::array<uint8_t, kYsolBigBears> order{2, 5, 3, 0, 4, 1};
};

// (SlgRand20 & 3) + 1 swaps of two places, each drawn SlgRand20 mod 6 (first, then second).
void ShuffleYsolBearOrder(std::array<uint8_t, kYsolBigBears>& order);

// The special's presentation: one stage a call; a call answers 1 when its stage reports done.
//   0 SlgFlags bits 1, 2 cleared, fade in from black over 30 frames
//   1 once faded: the layer scroll of layer 4 (2.5 px every 16 ms, 256 moves): done
//   2 once the scroll has ended (its handle cleared by the engine): 120 frames
//   3 picture 1 shown at (0, 0), priority -1534
//   4 its alpha frames x 256 / 34 (1 .. 256) for 34 frames, then 256
//   5 done
//   6 held until the routine moves it on (stage 7)
//   7 fade to white over 120 frames
//   8 once faded: SlgFlags bits 1, 2 set, ShowFlaggedUnits, the picture's entry removed, fade in
//     from white over 60 frames: done
//   9 once faded: done (on every call)
struct YsolPresentation {
  uint8_t stage;
  StepClock clock;
};
// The picture's alpha at frame f of stage 4.
int32_t YsolPictureAlpha(int32_t frames);

// The burst's attribute for a shell's heading: 32 when the reversed heading ((heading + 256) mod
// 512) lies in 129 .. 384, else 0.
uint16_t YsolBurstAttr(int32_t heading);
// Mark i's offset from the unit's drawing position, in pixels: x 48 - 16 i, y from the arc
// (-14, -6, -2, 0, -2, -6, -14).
SlgPair YsolMarkOffset(int mark);

// The attack's work: one per battle (one attack runs at a time), cleared at each attack's start.
struct YsolWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  // A battle that ends during an attack: what the attack holds is given back (YsolGiveBack), so
  // the engine's layer scroll never clears a handle in a block that is gone.
  ~YsolWork();
  SlgAttackCtx* ctx;
  SlgUnit* unit;
  SlgPair pos;  // the drawing position of this call
  // ---- normal ----
  LayeredAttack layered;
  uint8_t follow;        // the follow-up's sub-step (steps 3-5)
  uint8_t piece;         // object 1's piece (1-3; 4 once its third has been deleted)
  int32_t marks_shown;
  uint32_t marks_start;  // game clock ms when the first mark showed
  uint8_t marks_on;
  uint8_t shells_launched;
  int32_t live_shells;
  int32_t shells_made;   // shells launched by this attack (tasks made)
  StepClock follow_clock;
  // ---- special ----
  StepClock clock;
  YsolPresentation presentation;
  int8_t fall_running;    // the falling-sprite effect answered non-zero at its last call
  BossPicture picture;    // picture 1 of SPECIAL_BG
  AnimeHandle scroll;     // the layer scroll, cleared by the engine at its end
  int32_t live_bears;     // big bears and bears
  int32_t star_counter;
  int32_t target_index;
  int32_t target_count;
  uint8_t bears_spring;   // the per-target wait flag
  std::array<SlgEffectTask*, kYsolBigBears> big_bears;
  int32_t bears_made;     // bears of targets made by this attack
};

// ---- The effect tasks' work (slot 0 of each task; the object first, SlgTaskCreateAnmWork) ----

// A light shell "YSOL::LShell%d": its stages, frames counted from each stage's start on the
// task's clock.
enum YsolShellStage : uint8_t { kYsolCharge, kYsolDrift, kYsolRise, kYsolHoming, kYsolBurst, kYsolHit };
struct YsolShell {
  SlgAnmObj* obj;
  int32_t number;  // its launch number
  uint8_t type;    // the attack type
  int8_t target;   // unit slot, -1 none
  uint8_t stage;
  uint8_t shown;        // the critical's charge is showing
  int32_t stage_start;  // the task's frames when the stage began
  int32_t angle;        // the launch angle
  SlgPair velocity;     // the rise's, per frame
  SlgPair from;         // where the stage's straight motion starts
  Homing homing;        // position, aim, heading (map pixels, 16.16)
  SprAnm* set;          // the attack's effect set
};

// A big bear "YSOL::BigBear%d" (screen pixels about the centre, 16.16).
enum YsolBigBearStage : uint8_t { kYsolBigWait, kYsolBigLanding, kYsolBigFall, kYsolBigLanded, kYsolBigDrift };
struct YsolBigBear {
  SlgAnmObj* obj;
  int32_t delay;  // frames before it shows
  SlgPair pos, land;
  uint8_t stage;
  int32_t stage_start;
  int32_t stepped;  // frames of the stage stepped so far
  int32_t speed;    // the fall's, per frame
  SlgMotion motion;
  SprAnm* set;
};

// A bear "YSOL::Bear%d%d" beside a target (its place 0-3; its position on the map).
struct YsolBear {
  SlgAnmObj* obj;
  SlgPair at;
  uint8_t place;
  uint8_t stage;  // 0 not started, 1 waiting for the spring, 2 springing
  int32_t stage_start;
  int32_t stepped;
  SlgMotion motion;
  SprAnm* set;
};

// Gives back what an attack holds: the layer scroll, the picture, the objects and the context.
void YsolGiveBack(YsolWork& work);

// The shells' homing: every 2 frames from frame 1, 16 steps toward the aim, 6 px a frame, boxes
// 32 / 16, 60 turns.
extern const HomingParams kYsolShellHoming;
