#pragma once
// The samurai special attack (kinds 21 KAGE and 22 SAMURAI; their other attack types are the
// shared enemy normal attack). Row 21 and 22 are two-way entries (battle_effects/
// attack_dispatch.h): type 1 plays Samurai::SpecialAttack, declared in attack_routines.h.
//
// The scene: two backgrounds cut into 240 strips of 672 x 2 pixels that sway sideways while
// background 1 cross-fades into background 0 in 31 changes of 8 frames, the samurai's figure
// and three effects at the screen centre, and 31 fireballs that fly in from a ring of 512
// pixels and shrink towards the centre. The first target stands at one screen place during the
// scene (hidden, so its reaction comes after), and goes back to its own place at the end.
//
// Steps, on the unit's own step counter (SlgUnit::step), frames at 60 a second:
//
//   0  the attack context (CreateAttackCtx; refused: it has ended the attack), the strip block
//      (refused: the context given back, EndAttack), layer 4 on, the strips built, the voice
//   1  the end flag cleared, four objects at the screen centre with the unit's depth (refused:
//      everything given back, EndAttack), the first target moved, object 0 plays body 0,
//      "Samurai::Special:FireBall", SlgFadeIn(30), the targets hidden,
//      "Samurai::Special:CalcChange" and "Samurai::Special:LineScroll"
//   2  after more than 60 frames: object 1 plays effect 1 once
//   3  after more than 5 frames: object 2 plays effect 2
//   4  once object 1's animation has ended: object 0 plays body 2 once, object 2 to frame 1
//   5  after more than 35 frames: object 3 plays effect 4
//   6  once object 0's animation has ended: SlgFadeOut(30)
//   7  after more than 60 frames: the end flag, layers back, units shown, strips and objects
//      freed, state 7, the first target back, SlgFadeIn(30)
//
// Strips: array 0 holds background 1, array 15 background 0, arrays 1-14 the blends between
// (array 15's strip over array 0's at alpha 256 x j / 15). Strip k is cut from rows 2k and
// 2k + 1 of the picture's columns 0-671 with its home at (-16, 2k), so an entry at (0, 0) shows
// the picture's middle 640 columns on the screen. Layer 4 is resized to 672 x 480 for the cut
// (a 640-pixel surface cannot give 672-pixel strips) and given back after; a picture narrower
// than that gives narrower strips, cut within it. A picture that does not load leaves its strips
// cut from the cleared surface (black), and the scene plays on.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_anm_obj.h"
#include "battle/slg_units.h"
#include "battle_effects/step_timeline.h"
#include "engine/gfx/pixels/blend_blit.h"

struct SlgAttackCtx;
struct SlgEffectTask;
struct SprBufferEntry;
struct SprAnm;
struct SprRec;

constexpr int kSamuraiStrips = 240;
constexpr int kSamuraiStripArrays = 16;
constexpr int kSamuraiStripWidth = 672;
constexpr int kSamuraiStripHeight = 2;
constexpr int kSamuraiStripMargin = 16;  // the strips start this many pixels left of the screen
constexpr int kSamuraiChanges = 31;
constexpr int kSamuraiChangeInterval = 8;

// The strip sprites and the entries that show them: sprites[j][k] is strip k of array j.
struct SamuraiStrips {
  std::array<SprBufferEntry*, kSamuraiStrips> entries;
  std::array<std::array<SprRec*, kSamuraiStrips>, kSamuraiStripArrays> sprites;
};

// "Samurai::Special:CalcChange"'s state: 0 not started, 1 changing, 2 done.
struct SamuraiChange {
  int16_t state;
  int16_t steps_left;
  int16_t interval;
  int16_t next;    // frames from the last change to the next one
  uint32_t start;  // game clock ms of the first frame
  int32_t last;    // frames from the first frame to the last change
  int16_t shown;   // the array the entries show
};

// What one special attack keeps; cleared at its step 0.
struct SamuraiScene {
  StepClock clock;
  SlgUnit* unit;
  SlgAttackCtx* ctx;
  SamuraiStrips* strips;
  uint8_t end_flag;    // 1 tells the effect tasks to end
  int32_t line_phase;  // the sway's phase (512ths of a turn)
  SamuraiChange change;
  uint8_t target_moved;  // the first target stands at the scene's place
  uint8_t target_slot;   // its slot
  SlgPair target_pos;    // its own map position
};

// The family's per-battle block (one attack at a time).
struct SamuraiWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  SamuraiWork() = default;
  // Gives back what an attack cut short by the battle's end still holds.
  ~SamuraiWork();
  SamuraiWork(const SamuraiWork&) = delete;
  SamuraiWork& operator=(const SamuraiWork&) = delete;
  SamuraiScene scene{};
};

SamuraiWork& SamuraiWorkOf();
// Gives back what the attack holds (strips, objects, context) and puts the first target back;
// the effect tasks end on the end flag it sets. Layers and flags are the caller's.
void SamuraiGiveBack(SamuraiScene& scene);
// Starts the fireball task "Samurai::Special:ActFireBall<number>" playing from `set` (it takes
// its own reference); null when refused.
SlgEffectTask* SamuraiStartFireBall(int number, SprAnm* set);

// The work of a task "Samurai::Special:ActFireBall%d": its object, its own reference of the
// effect set, its angle.
struct SamuraiFireBallTask {
  SlgAnmObj obj;
  SprAnm* set;
  int32_t angle;
};

// The array the cross-fade shows with `steps_left` changes to go: ((32 - steps_left) x 15) / 32.
int SamuraiArrayOf(int steps_left);
// The alpha array j's blend draws background 0's strip with: 256 x j / 15.
BlendWord SamuraiBlendAlpha(int j);
// The sway: the phase at `frames` frames, (frames mod 64) x 8, and strip k's x at a phase,
// sin(phase + 8k) x 12 / 16384 pixels toward zero.
int32_t SamuraiSwayPhase(int32_t frames);
int32_t SamuraiSwayX(int32_t phase, int k);

// A fireball `frames` frames after its start at 512-step angle `angle`, replayed from its start
// values (position (512 cos a, 512 sin a), velocity (-64 cos a, -64 sin a) pixels a frame, zoom
// 2.0; each frame the position moves by the velocity, then velocity and zoom are multiplied by
// 0.875, 16.16 toward zero). Position 16.16 about the screen centre.
struct SamuraiFireBall {
  SlgPair pos;
  SlgPair vel;
  int32_t zoom;
};
SamuraiFireBall SamuraiFireBallAt(int32_t angle, int32_t frames);
// Whether a fireball has reached the centre: both coordinates within 16 pixels (absolute value
// below 16).
bool SamuraiFireBallHome(const SlgPair& pos);
