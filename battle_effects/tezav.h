#pragma once
// Player kind 5's attacks (TEZAV): row 5 of the player table, {normal, special, normal, normal}
// by attack type; both routines are declared in battle_effects/attack_routines.h.
//
// - Normal (types 0, 2, 3): the player kinds' shared normal attack (battle_effects/
//   player_shape.h), two objects, rows {0, 1} (types 0 and 3) and {2, 3} (type 2). Types 0 and 2
//   set four delayed hit marks on every target ("Tezav::HitMark%d%d", target index and mark k):
//   effect 4 (type 2: 5) beside the target, hidden until 94 (type 2: 132) + 6k frames, then
//   played once; the attack ends 30 frames after the animations and the last mark.
// - Special (type 1), on the unit's step counter:
//   0  the context, layer 4 on in mode 3, SPECIAL_BG picture 0 tiled 4 x 4 at 256 x 256 and
//      scrolled (16, 16) px every 16 ms for ever (wrapping), picture 1 at (128, 208), the voice
//   1  the targets hidden, two objects at the centre (object 0 playing body 0), the
//      sub-sequence (a fade in), the variant copied from the attack state (kind5_variant)
//   2  the sub-sequence's report; 3: 96 frames, then the eight robots ("Tezav::Robo%d", as many
//      as can be made); 4: 60 frames, then mode 1 (the robots drift off)
//   5  130 frames (the variant 160); the variant plays effect 14 on object 1 (6: to its end)
//   7  the background gone, object 0 playing the closing row {7, 8} at the handed position, the
//      targets shown, layer 4 given back and the layers restored, mode 2 (the robots swarm the
//      first target with sparks, "Tezav::Takari%d"), the sub-sequence's end
//   8  after 180 frames mode 3 (the robots fly off); once none is left, 15 frames; 9: object 1
//      plays effect 13 on the first target; 10: to its end, then 30 frames; 11: state 7
//
// With no target the robots swarm, and the final hit stands, at the attacker's position.

#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_units.h"
#include "battle_effects/player_shape.h"
#include "battle_effects/step_timeline.h"
#include "engine/anime/anime_handle.h"

struct SprBufferEntry;
struct SprRec;

// The robots' modes (TezavSpecial::mode).
enum TezavMode : uint8_t { kTezavHover = 0, kTezavGather = 1, kTezavSwarm = 2, kTezavLeave = 3 };

constexpr int kTezavRobots = 8;
constexpr int kTezavMarksPerTarget = 4;

// A hit mark's start: delay frames and the offsets from its target (pixels).
struct TezavMark {
  int32_t delay;  // frames
  int32_t dx;     // right of the target (negative: left)
  int32_t raise;  // drawn this many pixels higher
};
// Mark k of a target whose first side bit is `side`, with the two random values it draws.
TezavMark TezavMarkOf(int k, bool side, int32_t first_delay, int32_t r_x, int32_t r_raise);

// The special's state: one attack at a time, zero at its start.
struct TezavSpecial {
  SlgAttackCtx* ctx;
  StepClock clock;
  SlgUnit* unit;
  SlgPair pos;  // the drawing position of the current call
  int16_t running;   // robots counted in
  int16_t surprise;  // the variant robot's surprise animations running
  uint8_t sub;       // the sub-sequence's stage
  int sub_report;    // its report of this call
  uint8_t mode;
  int16_t variant;
  AnimeHandle scroll;
  bool layer_on;       // layer 4 is on (SlgLayerOn) until the layers are restored
  bool layer_resized;  // and stands on the tiled background's larger surface
  SprRec* picture1;
  SprBufferEntry* entry;
  int32_t robots_made;
  int32_t sparks;  // spark tasks made (their numbers)
};

// The family's per-battle block (Battle().Extension<TezavWork>()).
struct TezavWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  TezavWork() = default;
  ~TezavWork();
  TezavWork(const TezavWork&) = delete;
  TezavWork& operator=(const TezavWork&) = delete;

  PlayerNormal normal;
  int16_t marks;  // hit marks running
  TezavSpecial special;
};
TezavWork& TezavAttackWork();
