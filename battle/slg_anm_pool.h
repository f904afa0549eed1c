#pragma once
// The animation-object pool (128 objects in Battle().anm_pool) and the small object operations
// every battle sprite uses. Unit sprites take their objects from the pool; effects keep theirs
// on the heap, and FreeAnmObj leaves those alone.

#include <cstdint>

#include "battle/slg_anm_obj.h"
#include "battle/slg_units.h"

// Zeroes all 128 objects and both counts.
void ClearAnmObjPool();
// The first free object, tagged "!TEG"; null with "alloc_anime is Fail\n" when none is free.
SlgAnmObj* alloc_anime();
// pattern and attr set; frame and mode := 0. Nothing for null.
void InitAnmObj(SlgAnmObj* obj, uint8_t pattern, uint16_t attr);
// alloc_anime then InitAnmObj; null when the pool is full.
SlgAnmObj* CreateAnmObj(uint8_t pattern, uint16_t attr, int ignored = 0);
// 1 for a tagged object inside the pool: its animation released, the record zeroed, the in-use
// count - 1. Anything else (null, a heap object, a free pool object, an address inside an
// object): 0 and nothing touched.
int FreeAnmObj(SlgAnmObj* obj);
// pattern := n, frame := 0.
void SetAnmPattern(SlgAnmObj* obj, uint8_t n);
// pattern := n.
void SetAnmPatternOnly(SlgAnmObj* obj, uint8_t n);
// x, y := pos; then the position hook of mode bit 0 (both hooks do nothing).
void SetAnmPos(SlgAnmObj* obj, const SlgPair& pos);
// mode |= bits.
void SetAnmObjFlags(SlgAnmObj* obj, uint8_t bits);
// Hooks handed to the event scripts: 0.
int SlgRetZero(int ignored = 0);
int SlgRetZero2(int ignored = 0);
// Clears the death actions' 256-byte state and their three death counters (battle start).
void ClearDeathActionState();
