#pragma once
// The hit reaction (unit state 9): the hit unit replays its hit pattern each time the attacker
// signals a hit (flag 0x4) and returns to state 0 when the attacker sets its reaction-over byte.
// A special attack shows its targets zoomed on a pool object instead (the ZOOM_BODY set), or
// hides them when they cannot be shown so. The pattern tables of the five hit families are
// constant data for every state-9 handler.
//
// While a unit is hit, its attack-type byte holds the attacker's slot. A slot that names no live
// unit (beyond the unit count, or a dead record: events set state 9 directly) counts as an
// ordinary attacker.

#include <cstdint>

#include "battle/slg_attack_state.h"
#include "battle/slg_units.h"

struct SlgHitRecord;
struct SlgUnit;

// Hit patterns (pattern, attribute) by the hit unit's direction 0-3: an ordinary hit and a
// critical one (the attacker's attack type 2).
struct SlgHitTables {
  SlgPatternTable ordinary;
  SlgPatternTable critical;
};
extern const SlgHitTables kSlgHitDefault;   // the default tables; bosses 28-30
extern const SlgHitTables kSlgHitAmateras;  // amateras 26-27, ginkaku 24, soukaku 23
extern const SlgHitTables kSlgHitKujyaku;   // kujyaku 25
extern const SlgHitTables kSlgHitKamui;     // kamui 20, 31, 32 (the same for both)
extern const SlgHitTables kSlgHitKouma;     // kouma 17-19, 48-50

constexpr uint8_t kUnitStateHit = 9;
// The unit-animation slot of the zoomed body a special attack shows.
constexpr int kUnitAnmZoomBody = 20;

// The state-9 handler shared by every kind, called once a frame with the unit's drawing
// position (16.16 about the screen centre) and the kind's tables; its step is `unit.step`.
void Damaged(SlgUnit& unit, const SlgPair& pos, const SlgPatternTable& ordinary,
             const SlgPatternTable& critical);
// Damaged with the default tables.
void UnitDamagedDefault(SlgUnit& unit, SlgPair& pos);

// The unit's hit record; null for a unit outside the battle's unit array.
SlgHitRecord* SlgHitRecordOf(const SlgUnit& unit);
// Gives back what the unit's hit record holds (the zoom object to the pool, the ZOOM_BODY
// reference) and clears it. SetUnitState calls it when a unit enters or leaves state 9.
void ReleaseHitRecord(SlgUnit& unit);
