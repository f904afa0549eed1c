#pragma once
// The hit reaction's per-slot record (battle/slg_damage.h has the operations). BattleContext
// holds one fixed record per unit slot, zero-filled per battle: it is reset whenever a unit
// enters state 9 and released whenever it leaves it, so no reaction leaves an object behind.

#include <cstdint>

#include "battle/slg_units.h"

struct SlgAnmObj;
struct SprAnm;

// The position callback the record moves its object with.
using SlgAnmPosFn = void (*)(SlgAnmObj* obj, const SlgPair& pos);

struct SlgHitRecord {
  SprAnm* zoom_anims;  // the unit's ZOOM_BODY set, a reference of the record's own; null none
  SlgAnmObj* obj;      // the object animated: the unit's body, or a pool object (zoom)
  SlgAnmPosFn set_pos;
  uint8_t zoom;        // 1: obj is the record's pool object
};
