#pragma once
// What the shared unit effects have in common: the set-up and play of their objects, their
// clock, and the unit reference their tasks keep.

#include <cstdint>

#include "battle/slg_anm_obj.h"
#include "battle/slg_battle_state.h"
#include "battle_events/runtime/shared_effects_state.h"

struct SprAnm;

// The game clock (ms), and the whole 60 Hz frames since `start` (signed, toward zero).
uint32_t EffectNow();
int32_t EffectFrames(uint32_t start);

// A pool object with the common set-up of every effect object: pattern, attribute word and
// shade as given, the word after the depth (attr2) cleared, the flag byte `mode`, the depth and
// the position. Null when the pool is full.
SlgAnmObj* MakeEffectObj(uint8_t pattern, uint16_t attr, uint16_t shade, uint8_t mode,
                         int32_t depth, const SlgPair& pos);
// Plays the object's pattern of the set on the battle layer; `once`: loop off, held to its end,
// and the object's handle cleared by the engine when it has ended.
void PlayEffectObj(SprAnm* list, SlgAnmObj* obj, bool once);
// The object and its animation to `pos` (nothing for null).
void KeepEffectAt(SlgAnmObj* obj, const SlgPair& pos);
// The object and its animation to `depth` (nothing for null).
void SetEffectDepth(SlgAnmObj* obj, int32_t depth);
// Gives the object back to the pool (its animation released) and clears the pointer.
void FreeEffectObj(SlgAnmObj*& obj);

// The depth of the unit's body (its map depth when it has none).
int32_t UnitBodyDepth(const SlgUnit& unit);
// The unit's body shade word (0 without a body).
uint16_t UnitShade(const SlgUnit& unit);

// The reference of a battle record; false when `unit` is not one of the battle's records.
bool MakeUnitRef(const SlgUnit& unit, SlgUnitRef& ref);
// The record the reference names while that slot still holds the same live unit; else null.
SlgUnit* FindUnitRef(const SlgUnitRef& ref);
