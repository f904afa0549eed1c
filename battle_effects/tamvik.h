#pragma once
// The TAMVIK heroine unit's attacks (kind 1): row 1 of the player table, {normal, special,
// normal, normal} by attack type; both routines are declared in battle_effects/attack_routines.h.
//
// - Normal (types 0, 3) and critical (type 2): a layered attack (battle_effects/layered_attack.h)
//   of 3 (type 3: 2) or 5 objects, counted on the body (CountRunningAttackAnms), then 30 frames.
// - Special (type 1), on the unit's step counter:
//   0  the context (SPECIAL sets), layer 4 on, the background and three cut-ins from SPECIAL_BG
//      pictures 0-3, the voice
//   1  targets hidden, four objects at the screen centre (object 0 the body, stopped), the first
//      petal, the presentation's first stage
//   2  petals every 12 frames and a presentation stage a call; its report: the body runs on,
//      three effect objects play
//   3  the same; its report: the petals fly away
//   4  the same; its report: the thrown object flies from the unit (layers back, targets shown,
//      petals told to end, the camera sent to it)
//   5  the flight: a hit animation and the hit signal on every target cell it enters; off the
//      map: step 7; a cell of another height or with a blocking attribute: the bounce (step 6)
//   6  the bounce: slowing to a stop, shrinking to nothing over 20 frames
//   7  30 frames, then everything given back, state 7
//
// The presentation (battle_effects/presentation.h), stages 0-7: fade in; the fade's end (report);
// cut-ins cycling 60 frames; the background fading out over 60 frames; the cut-ins until the body
// reaches frame 12 (report); 30 frames and a fade out; 30 frames, the units back and a fade in
// (report); 30 frames (report).

#include <array>
#include <cstdint>

#include "battle/battle_extension.h"
#include "battle/slg_attack_state.h"
#include "battle/slg_units.h"
#include "battle_effects/layered_attack.h"
#include "battle_effects/presentation.h"
#include "battle_effects/spawner.h"
#include "battle_effects/step_timeline.h"

struct SprAnm;
struct SprBufferEntry;
struct SprRec;
struct SlgUnit;

// What the petals do (TamvikWork::petal_mode).
enum TamvikPetalMode : uint8_t { kPetalDrift = 0, kPetalFlyAway = 1, kPetalEnd = 2 };

// The special's state: one attack at a time, zero at its start.
struct TamvikSpecial {
  SlgAttackCtx* ctx;  // the attack's context (its sets and objects)
  StepClock clock;    // the routine step's clock
  SlgUnit* unit;
  SlgPair pos;        // the drawing position of the current call
  SprRec* bg;         // SPECIAL_BG picture 0 and its entry
  SprBufferEntry* bg_entry;
  std::array<SprRec*, 3> cut_ins;  // pictures 1-3
  SprBufferEntry* cut_in_entry;
  int8_t cut_in_shown;  // the cut-in the entry shows
  PresentationState presentation;
  Spawner petals;        // the petals after the first, on the petal clock
  uint32_t petal_start;  // the petal clock's start (game clock ms)
  int8_t petal_side;     // +1 or -1, flipped for every petal
  uint8_t petal_mode;    // TamvikPetalMode
  // The thrown object: its flight in raised map pixels (16.16), the start's lift (the height the
  // object flies at, in pixels x 65536), the last cell entered and its attribute word.
  SlgPair flight_start;
  SlgPair velocity;
  SlgPair flight_pos;
  int32_t lift;
  SlgPair cell;
  uint32_t cell_attr;
  uint8_t bounced;
  SlgPair bounce_start;
  SlgPair deceleration;
  int32_t zoom;
  int32_t hits;  // target cell entries hit
};

// The family's per-battle block (Battle().Extension<TamvikWork>()).
struct TamvikWork {
  static constexpr BattleExtensionLife kBattleLife = BattleExtensionLife::kBattle;
  TamvikWork() = default;
  // A battle that ends mid-special: its pictures are given back.
  ~TamvikWork();
  TamvikWork(const TamvikWork&) = delete;
  TamvikWork& operator=(const TamvikWork&) = delete;

  SlgAttackCtx* ctx;      // the normal attack's context
  LayeredAttack layered;  // the normal and critical attacks
  TamvikSpecial special;
};

TamvikWork& TamvikAttackWork();

// A petal's work ("TamvikSpecial::Hanabira%d", SlgTaskCreateAnmWork: the object first).
struct TamvikPetal {
  SlgAnmObj* obj;
  SprAnm* set;     // its own reference of SPECIAL_EFFECT
  SlgPair start;   // 16.16 about the screen centre
  int32_t speed;   // fall, 16.16 a frame
  int32_t zoom;    // 16.16
  int32_t factor;  // sway factor 2, 4, 6 or 8
  SlgPair pos;
  SlgPair velocity;
  int32_t angle;
  uint8_t flying;      // 1 once it flies away
  int32_t fly_frame;   // the task frame the fly-away has been stepped to
};

// The petal's drift at `frames` frames from its start: y = y0 + speed x frames, the sway phase
// 16 a frame, x = x0 + cos(phase) x 16 x factor.
SlgPair TamvikPetalDrift(const TamvikPetal& petal, int32_t frames);
// One fly-away frame: each axis's velocity + 0.25 pixel up to 32, the position moved, x past 360
// pixels wrapped to -360 and y past 256 to -256.
void TamvikPetalFlyStep(TamvikPetal& petal);

// The thrown object's velocity by direction 0-3 (pixels a frame, 16.16).
constexpr int32_t kTamvikPx = 65536;
constexpr SlgPair kTamvikFlight[4] = {{12 * kTamvikPx, -6 * kTamvikPx},
                                      {12 * kTamvikPx, 6 * kTamvikPx},
                                      {-12 * kTamvikPx, 6 * kTamvikPx},
                                      {-12 * kTamvikPx, -6 * kTamvikPx}};
// The attribute bits a flight passes over; any other bit in a cell entered stops it.
constexpr uint32_t kTamvikFlightPass = 0x3001F;
