#pragma once
// The LUNET heroine unit's attacks (kind 3). Row 3's entry is the two-way one (attack type 1 the
// special, any other type the normal routine: battle_effects/attack_dispatch.h); both routines
// are declared in battle_effects/attack_routines.h.
//
// The normal routine (types 0, 2 the critical, and 3) draws through animation objects of its
// own, no attack context and no effect task: the body and effect animations at the unit, one
// looping hit animation on every target for the whole attack, and up to 16 particles thrown
// from the unit that fall, bounce off the unit's foot line, blink and go. Its steps, on the
// unit's step counter:
//
//   0  the work cleared, the ATTACK_BODY and ATTACK_EFFECT sets loaded (either missing: both
//      released, EndAttack)
//   1  the body and effect objects play animation n by direction (the critical one less), the
//      hit objects on the targets, the 16 particle objects made (any allocation refused: all
//      given back, EndAttack)
//   2  a wait (35 frames, critical 115)
//   3  a particle on every eighth frame, the particles move; after 20 frames (critical 50)
//   4  the particles move until the body animation has ended
//   5  everything given back, state 7 (SetUnitState: the attack type keeps its value)
//
// Particle motion is replayed from each particle's start values every frame, never integrated,
// so its path is the same at any frame rate.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_battle_state.h"
#include "battle_effects/step_timeline.h"

struct SlgAnmObj;
struct SprAnm;

constexpr int kLunetParticles = 16;

// One particle: 16.16 pixels about the screen centre, speeds per frame, accelerations per frame
// per frame; x0 .. vy0 the values at its start, from which every frame replays its path.
struct LunetParticle {
  int32_t life;  // frames: released once older
  int32_t x, y;
  int32_t ax, ay;
  int32_t vx, vy;
  int32_t x0, y0, vx0, vy0;
  uint32_t start;  // game clock ms at its emission
};

// The normal routine's work: one per battle (one attack runs at a time), cleared at step 0.
struct LunetNormalWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  StepClock clock;  // the current step's start
  SlgUnit* unit;
  SprAnm* body_anims;    // ATTACK_BODY of the unit's kind
  SprAnm* effect_anims;  // ATTACK_EFFECT
  std::array<LunetParticle, kLunetParticles> particles;
  std::array<SlgAnmObj*, kLunetParticles> particle_objs;
  int32_t particle_count;  // emitted so far
  int32_t last_tick;       // the last emission tick (frames / 8 of step 3)
  int32_t pos_x, pos_y;    // the drawing position of this frame; pos_y is the particles' floor
  SlgAnmObj* body_obj;
  SlgAnmObj* effect_obj;
  int32_t target_count;  // the damage list's count at step 0
  std::array<SlgAnmObj*, kSlgMaxUnits> hit_objs;  // one per target
};

// Sets the particle's x, y, vx, vy to where `frames` frames of its path from the start values
// bring it, bouncing off the floor line `floor_y` (16.16): each frame, below the floor the fall
// turns into a rise at 0.625 of the speed, rounded down to a whole pixel; then vx += ax,
// x += vx, vy += ay, y += vy, and y += 1 pixel.
void ReplayLunetParticle(LunetParticle& particle, int32_t frames, int32_t floor_y);
