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
//
// The special (type 1) is a scene on layer 4 and then a pillar over the chosen target, on the
// boss frame (battle_effects/boss_frame.h: its step is the state byte of the unit's own body
// object, its work zeroed at step 0). Steps:
//
//   0  SPECIAL_BODY and SPECIAL_EFFECT (either missing: EndAttack); every object the attack
//      uses, all or none (one refused: everything back, EndAttack); layer 4 on, SPECIAL_BG
//      picture 0 tiled 2 x 2 at 1024 x 512 over it, picture 1 cut into a sprite (alpha 0x10100)
//      when it loads; the targets hidden; the chosen target (below); the body stopped on
//      SPECIAL_BODY 1 at the screen centre
//   1  the flakes start, layer 4 scrolls by (20, 10) every 16 ms wrapping at 1024 x 512, fade in
//      (32), the voice; on into step 2
//   2  the fade's end: the body runs, rear 1 plays effect 1 once
//   3  body and rear 1 done: body 2 looping with the blend-in, rear 1 effect 2 looping, rear 2
//      effect 3 once
//   4  rear 2 done: rear 2 and 3 loop effects 4 and 5, wind 4 px, the flakes re-based, the
//      picture starts sliding
//   5  the slide's stop (x -320 px, frame 80): body 0 once with the blend-out, rears 2 and 3
//      finish once, the front effect 0, split 4 px, flakes and picture re-based
//   6  the picture flies on; the body's end: white-out (32)
//   7  the white-out's end: the scene freed (flakes, rears, front, the scroll, the picture's
//      entry), white-in (32)
//   8  layer 4 cleared, layers restored, flagged units and targets shown, SlgFlags bits 1-2;
//      the body stopped on its pose (SPECIAL_BODY 4, 3, 3, 4 by direction) where the unit
//      stands; on into step 9
//   9  the white-in's end: the body runs, the pillar is set up
//  10  the pillar's stages (LunetPillarStep) until done; then one hit (effect 6 once) per
//      target, all in one frame
//  11  every hit done: everything given back, state 7
//
// The chosen target is the unit the attack byte names when it is one of the targets (the byte
// also carries the attack's power), else the first target; with none the pillar stands on the
// attacker and takes its depth.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_battle_state.h"
#include "battle/slg_units.h"
#include "battle_effects/boss_frame.h"
#include "battle_effects/spawner.h"
#include "battle_effects/step_timeline.h"
#include "engine/anime/anime_handle.h"
#include "engine/gfx/pixels/blend_blit.h"

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

// ---- The special ----

constexpr int kLunetFlakes = 64;
constexpr int kLunetPieces = 32;

// A drifting flake: its own fields (the state, new or active, is its object's state byte, its
// position the object's x, y). Its path is replayed every frame from `base` and `phase0` over
// the frames since `start`.
struct LunetFlake {
  int16_t frame = 0;      // SPECIAL_EFFECT sprite frame 65-67
  SlgPair velocity = {};  // 16.16 pixels per frame
  int32_t step = 0;       // phase step per frame
  int32_t phase = 0;      // 0-511
  int32_t phase0 = 0;     // the phase at the path's start
  int32_t amp = 0;        // sway in pixels (2 or 4)
  int32_t repick = 0;     // frames between two picks of the sway
  uint32_t start = 0;     // game clock ms: the path's start
  uint32_t repick_start = 0;
  SlgPair base = {};      // where the path starts
};

// The drift every flake shares: the wind added each frame and the split that pushes flakes
// apart on either side of the line 7 x / 10 = y.
struct LunetDrift {
  SlgPair wind = {};
  SlgPair split = {};
};

// The sliding picture (SPECIAL_BG picture 1): its position and the value taken off it each frame,
// and both at the start of the current motion.
struct LunetPicture {
  SlgPair pos, pos0;
  SlgPair vel, vel0;
  uint32_t start;
  bool stopped;      // the slide has reached its stop
  BossPicture shown;  // the sprite and its entry on layer 4
};

enum class LunetBlend : uint8_t { kNone, kIn, kOut };

struct LunetSpecialWork : BossBase {
  SlgAnmObj* body;
  std::array<SlgAnmObj*, 3> rear;
  std::array<SlgAnmObj*, kLunetFlakes> flake_objs;
  SlgAnmObj* front;
  std::array<SlgAnmObj*, 3> pillar;  // mark (its state byte the pillar's stage), head, pillar
  std::array<SlgAnmObj*, kLunetPieces> pieces;
  std::array<SlgAnmObj*, kSlgMaxUnits> hits;  // one per target
  int32_t target_count;

  LunetPicture picture;
  LunetBlend blend;
  uint32_t blend_start;

  std::array<LunetFlake, kLunetFlakes> flakes;
  LunetDrift drift;
  Spawner flake_spawner;  // count: the last flake tick (frames / 4); started: flakes in use
  uint32_t flake_clock;

  SlgPair zoom;  // the pillar's (16.16); its y also lifts the head
  StepClock pillar_clock;  // the pillar stage's start
  int32_t piece_count;     // pieces started or moved in the stage
  int32_t piece_interval;  // frames between two pieces
  uint32_t piece_start;    // game clock ms of the last piece
  uint8_t depth_unit;      // the unit whose body depth the pillar and pieces take
  SlgPair centre;          // the chosen target's drawing position

  AnimeHandle layer_scroll;
};

// The special's per-battle record (its work zeroed at step 0).
struct LunetSpecialRecord : BossRecord<LunetSpecialWork> {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
};

// The body's alpha word `frames` after the blend's start: level = frames x 128 / d1 / d2 (4, 16
// in, 2, 2 out); in: 0x60000 + level up to 0x60080; out: 0x60000 + 128 - level while above
// 0x60000, then 256 (opaque).
BlendWord LunetBlendAlpha(LunetBlend blend, int32_t frames);

// Where the picture's fly-on has brought it `frames` frames after its re-based start: each frame
// the velocity less (0.375, 0.1875) held at (-12, -6) pixels, then the position less the
// velocity. `vel` gets the velocity of that frame.
SlgPair LunetPictureFlyOn(const SlgPair& pos0, const SlgPair& vel0, int32_t frames,
                          SlgPair* vel = nullptr);

// A flake's path replayed `frames` frames from its base under the drift: its position; `phase`
// gets the phase of that frame.
SlgPair LunetFlakePath(const LunetFlake& flake, const LunetDrift& drift, int32_t frames,
                       int32_t* phase = nullptr);

// The pillar's height zoom `frames` into its growth (1.0 + 6.0 x frames / 64, at most 6.0) and
// its width zoom `frames` into its fall (1.0 - frames / 32, at least 0).
int32_t LunetPillarZoomY(int32_t frames);
int32_t LunetPillarZoomX(int32_t frames);

// One step of the pillar's stages (the mark's state byte 0-6): 1 once it is done.
int LunetPillarStep(LunetSpecialWork& work);
