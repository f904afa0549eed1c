#pragma once
// Player kind 12's attacks (GTEZAV): row 12 of the player table, {normal, special, normal,
// normal} by attack type; both routines are declared in battle_effects/attack_routines.h.
//
// The normal routine (types 0, 2, 3) is the player kinds' layered shape (two objects, rows
// {0, 1} x 2, the critical {2, 3} x 2, object 1 once) with homing shells ("Gtezav::Shell%d")
// fired from the unit's launchers at the map cursor's point and, once they are gone, bursts of
// hit sparks around every target. On the unit's step counter:
//   0  the attack context
//   1  the objects play; the first-shell wait of the direction
//   2  the shells: 3 shells 15 frames apart (the critical: 5 shells 5 frames apart)
//   3  once no shell runs: type 3 goes to step 5; the others to step 4 with the hit counter 0
//   4  3 frames, a burst of 5 sparks per target on each of them and on the frame that ends it
//   5  once no attack animation and no shell runs: 30 frames
//   6  once the hit counter (sparks still playing) is 0: everything freed, state 7
//
// The special (type 1), on the unit's step counter:
//   0  the context, the SPECIAL_EFFECT2 set (missing: the attack ends), layer 4 in mode 3 with
//      SPECIAL_BG picture 0 tiled 640 x 480 (1 x 2) and scrolled 20 px down every 16 ms (wrapping
//      at 1024 x 480), the voice
//   1  the targets hidden, two objects at (0, 80) (the body's animation 0, effect 20 one deeper),
//      the scene's first call, the four pictures ("Gtezav::Picture%d")
//   2  the scene's fade-in ended: the four lights ("Gtezav::Light%d")
//   3  a rock ("Gtezav::rock%d") every 10 frames; once no picture runs, the scene's white-out
//   4  the white-out ended
//   5  the scene's clean-up; object 0 plays {13, 14} by direction
//   6  object 0 on the handed position from here on; the targets shown, SlgFlags bit 6 cleared,
//      beast 0 ("Gtezav::beast%d"), mode 1 (the rocks end)
//   7  each beast once the one before has left the running count, four in all; then 60 frames
//   8  mode 2 (the beasts close in); 60 frames
//   9  a white-in over 30 frames, 14 hit animations (11) scattered about the first target, mode 3
//      (the beasts end); 150 frames
//   10 everything given back, state 7
// With no target no beast starts and nothing is scattered.
//
// The scene (a presentation, stepped once a call from step 1 on): 0 the units hidden and a fade
// in from black over 30 frames; 1 the fade's end (report); 2 held until step 3 moves it on;
// 3 a white-out over 30 frames; 4 its end (report); 5 the clean-up (the flagged units shown,
// SlgFlags | 0x46, the scroll deleted, layer 4 cleared, the layers restored, a white-in over 20
// frames); 6 the targets shown (report).

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_units.h"
#include "battle_effects/homing.h"
#include "battle_effects/layered_attack.h"
#include "battle_effects/presentation.h"
#include "battle_effects/spawner.h"
#include "battle_effects/step_timeline.h"
#include "engine/anime/anime_handle.h"

struct SlgAnmObj;
struct SlgUnit;
struct SprAnm;

// ---- The normal attack's tables, by the unit's direction 0-3 (another counts as 0) ----

// Frames from the objects' start to the first shell.
int32_t GtezavFirstShellWait(int type, int dir);
// The launch angle (512ths of a turn).
int32_t GtezavLaunchAngle(int dir);
// The launcher's offset from the unit's raised map position, pixels.
SlgPair GtezavLauncherOffset(int dir);
// A shell's first heading: the launch angle plus (side 1) or minus (side 0) 16 + (r & 15),
// made 0-511.
int32_t GtezavShellAngle(int dir, int side, int32_t r);
// Shells of an attack type and the frames between two.
int GtezavShellCount(int type);
int32_t GtezavShellSpacing(int type);
// A spark's offset (pixels) from the burst's centre: (dx, dy) with the signs of quadrant q
// (0: dy negative; 1: dx negative; 2: both; 3: neither).
SlgPair GtezavSparkOffset(int q, int32_t dx, int32_t dy);

// ---- The shells ----

constexpr int kGtezavShellTurns = 60;
constexpr int32_t kGtezavShellStraight = 10;  // frames straight at the start and at the end

enum GtezavShellPhase : uint8_t { kGtezavLaunch, kGtezavHoming, kGtezavLeaving };

// A shell "Gtezav::Shell%d" (map pixels, 16.16; slot 0 of its task, the object first).
struct GtezavShell {
  SlgAnmObj* obj;
  uint8_t type;     // the attack type
  uint8_t phase;
  uint8_t counted;  // still in the running count
  int32_t phase_start;  // the task's frames when the phase began
  SlgPair from;         // where the phase's straight flight began
  SlgPair velocity;     // of the straight flight, per frame
  Homing homing;        // position, target point, heading, turns
  std::array<int32_t, kGtezavShellTurns> turns;  // the turn steps, 16-31
};

// The shells' homing: every 2 frames from frame 1, the stored turn steps the way chosen once
// (anew after the heading has reached the target's angle), 6 px a frame, boxes 8 / 16, 60 turns.
// The turn steps come from the shell HomingFly is flying (GtezavFlyShell sets it).
extern const HomingParams kGtezavShellHoming;
// Flies a shell's homing to `frames` frames of its homing phase; true on the call it ends.
bool GtezavFlyShell(GtezavShell& shell, int32_t frames);

// ---- The family's work ----

struct GtezavNormal {
  SlgAttackCtx* ctx;
  SlgUnit* unit;
  LayeredAttack layered;
  uint8_t step;         // the shells' and sparks' step, 1-5 as above
  StepClock clock;      // of that step
  int32_t wait;         // frames of step 1's wait
  int32_t shots;        // shells fired
  int32_t running;      // shells in the running count
  int32_t hits;         // sparks started and not yet ended
  uint32_t calls;        // the routine's calls, and the one that last stepped the shells
  uint32_t stepped_call;
};

// ---- The special's tables and motions, by index 0-3 (another counts as 0) ----

// A picture's start point (pixels about the screen centre); its animation (effect set), and after
// the fold its second one (SPECIAL_EFFECT2).
SlgPair GtezavPictureStart(int i);
uint32_t GtezavPictureAnm(int i, bool second);
// A beast's start angle and its animation (effect set).
int32_t GtezavBeastAngle(int k);
uint32_t GtezavBeastAnm(int k);

// A picture's flight over `distance` pixels: 40 px a frame, braked by 2 px a frame squared over
// its last 20 frames (so it is k x k pixels away k frames before it arrives). The frames it
// takes, and its distance from the centre `t` frames after it set off (16.16).
int32_t GtezavFlyFrames(int32_t distance);
int32_t GtezavFlyDistance(int32_t distance, int32_t t);
// The picture's corner factors `f` frames (0-15) into its fold: the width 1 + 1310 f / 65536,
// the height 1 - 4369 f / 65536, as {width, height, width, height}.
std::array<int32_t, 4> GtezavFoldCorners(int32_t f);

// The picture's time line from the start of its flight, frames.
constexpr int32_t kGtezavPictureWait = 120;  // picture 0's wait from step 1
constexpr int32_t kGtezavPictureRest = 11;
constexpr int32_t kGtezavPictureFold = 15;
constexpr int32_t kGtezavPictureRestAfter = 15;

// A light's climb: the angle on its ellipse, the spin (512ths a frame, up to 16), the rise and
// its speed (16.16 pixels, upward negative; the speed falls 0.25 px a frame to -16).
struct GtezavLightMotion {
  int32_t angle;
  int32_t spin;
  int32_t rise;
  int32_t rise_speed;
};
// One frame of the climb; true once the light has risen 360 px.
bool GtezavLightStep(GtezavLightMotion& m);

// A beast's entrance, frames: its two effects grow (zoom + 3276 a frame to 1.0) for 30 frames,
// then the beast appears and the effects shrink for 20.
constexpr int32_t kGtezavBeastGrow = 30;
constexpr int32_t kGtezavBeastShrink = 20;
// The effects' zoom `f` frames into the entrance (16.16).
int32_t GtezavBeastEffectZoom(int32_t f);
// The beast's radius (16.16) `f` frames into its closing in, and its blend word.
int32_t GtezavBeastRadius(int32_t f);
uint32_t GtezavBeastAlpha(int32_t f);

// The special's effect tasks' work (slot 0 of each task, the object first where it has one).

// "Gtezav::Light%d": effect animation 21 + i once about (0, 80) on its ellipse, then 25 + i looping
// while it climbs.
struct GtezavLight {
  SlgAnmObj* obj;
  SprAnm* set;  // its own reference of the effect set
  GtezavLightMotion motion;
  int32_t climb_start;  // the task's frames when the climb began; -1 before
  int32_t stepped;      // frames of the climb flown
  uint8_t index;
};

enum GtezavPicturePhase : uint8_t { kGtezavPictureWaiting, kGtezavPictureFlying };

// "Gtezav::Picture%d": its flight counted from its start (`fly_start`, the task's frames): `fly`
// frames in, the rest, the fold (the second animation at its end), the unfold (the counter raised
// at its end), the rest after, `fly` frames out to the point opposite its start.
struct GtezavPicture {
  SlgAnmObj* obj;
  std::array<SprAnm*, 2> sets;  // its own references of the effect set and SPECIAL_EFFECT2
  uint8_t index;
  uint8_t phase;      // GtezavPicturePhase
  uint8_t folded;     // the second animation plays
  uint8_t unfolded;   // the counter has been raised
  uint8_t counted;    // still in the running count
  int32_t fly_start;
  int32_t distance;   // pixels from the start point to the centre
  int32_t fly;        // frames of each flight
};

enum GtezavBeastPhase : uint8_t {
  kGtezavBeastGrowing,
  kGtezavBeastShrinking,
  kGtezavBeastCircling,
  kGtezavBeastClosing,
};

// "Gtezav::beast%d": objects 0 and 1 the effects 16 and 17, object 2 the beast.
struct GtezavBeast {
  std::array<SlgAnmObj*, 3> objs;
  SprAnm* set;  // its own reference of the effect set
  uint8_t index;
  uint8_t phase;    // GtezavBeastPhase
  uint8_t counted;  // still in the running count
  int32_t phase_start;  // the task's frames
  int32_t stepped;      // frames of circling flown
  int32_t angle;
  int32_t radius;       // 16.16
  int32_t closed;       // frames of closing in flown
};

// What the special's effect tasks read (GtezavSpecial::mode).
enum GtezavMode : uint8_t {
  kGtezavScene = 0,
  kGtezavRocksEnd = 1,
  kGtezavBeastsClose = 2,
  kGtezavBeastsEnd = 3,
};

struct GtezavSpecial {
  SlgAttackCtx* ctx;
  SlgUnit* unit;
  SlgPair pos;  // the drawing position of the current call
  StepClock clock;
  PresentationState scene;
  SprAnm* effect2;      // the SPECIAL_EFFECT2 set
  AnimeHandle scroll;   // the background's layer scroll
  int16_t running;      // pictures, then beasts in their entrance
  int16_t counter;      // pictures unfolded
  int16_t side;         // the next rock's side, 1 or -1
  uint8_t mode;         // GtezavMode
  uint8_t beasts;       // beasts started
  uint8_t missing;      // bit i: picture i could not be started
  int16_t target;       // the first target's slot, -1 for none
  uint32_t rock_names;
  Spawner rocks;
};

struct GtezavWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  GtezavWork() = default;
  // A battle that ends mid-special: the scroll and the SPECIAL_EFFECT2 set given back.
  ~GtezavWork();
  GtezavWork(const GtezavWork&) = delete;
  GtezavWork& operator=(const GtezavWork&) = delete;

  GtezavNormal normal;
  GtezavSpecial special;
};
GtezavWork& GtezavAttackWork();
