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
// The special (type 1) is not built yet: it ends the attack on its first frame.

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_units.h"
#include "battle_effects/homing.h"
#include "battle_effects/layered_attack.h"
#include "battle_effects/step_timeline.h"

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

struct GtezavWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  GtezavNormal normal;
};
GtezavWork& GtezavAttackWork();
