#pragma once
// The death actions (unit state 15 of most kinds): the defeated unit's sprite blinks or vanishes
// while the kind's DEAD_EFFECT animation (unit-animation slot 21) plays in an effect task of its
// own, and then the slot becomes a dead slot. Each handler is a step machine on `unit.step` with
// its waits counted in frames of the game clock (per slot in Battle().death); the effect task
// owns the death record and its pool objects and ends itself when its animations have ended,
// independently of the handler. A missing DEAD_EFFECT set counts as ended animations.
//
//   handler          effect objects                        waits         counter
//   ActPlayerDead    2, by direction, once                  80, blink, 40  player
//   ActWakijiDead    2, looping, mirrored after 50 frames   60, blink, 60  enemy
//   ActKoumaDead     2, the second a narrowing column       60, gone, 60*  enemy
//   ActMapObjDead    1, by kind, once                       30 or 40       map object
//   (* 15 while logical key 2 is held)
//
// When the objects, the record or the task cannot be had, nothing taken is kept and the unit
// still becomes a dead slot (the hero's death still loses the battle).

#include <cstdint>

#include "battle/slg_units.h"

struct SlgAnmObj;
struct SlgUnit;
struct SprAnm;

constexpr uint8_t kUnitStateDefeated = 15;

// The death record an effect task owns (its owned slot 0).
struct SlgDeathRecord {
  uint16_t step;
  uint16_t wait;
  int32_t x, y;        // the unit's map position (16.16)
  int32_t lift;        // its lift (16.16)
  SprAnm* anims;       // the kind's DEAD_EFFECT set, a reference of the record's own; null none
  SlgAnmObj* objs[2];  // pool objects (null unused)
  uint8_t played[2];   // 1 once the object's animation has been started
  SlgPair zoom;        // the kouma column's zoom pair
};

// The four handlers, called once a frame in state 15 with the unit's drawing position.
void ActPlayerDead(SlgUnit& unit, SlgPair& pos);
void ActWakijiDead(SlgUnit& unit, SlgPair& pos);
void ActKoumaDead(SlgUnit& unit, SlgPair& pos);
void ActMapObjDead(SlgUnit& unit, SlgPair& pos);

// The kouma column's zoom after t frames: (0.75^t, (8/7)^t) in 16.16, truncated (t clamped to
// 0-15).
SlgPair KoumaColumnZoom(int32_t t);

namespace Slg {

// Makes the unit a dead slot: state 0 (its hit record given back), step 255, flag word 0, its
// entries in the occupancy grid cleared, its body and second objects given back to the pool
// (their animations released) and the references cleared.
void MakeDeadSlot(SlgUnit& unit);

}  // namespace Slg
