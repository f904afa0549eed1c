#pragma once
// The map objects: units of kinds 38-47 and 51 (the jokidama, drum cans, boxes, carts, the fake
// wakiji, the factory, the generator, the electric box, rocks and the joki stand). Each kind's
// update function makes its objects on the unit's first frame (flag 0x400, cleared), then runs
// the handler of the unit's state from the kind's 16-slot table; map objects draw no shadow.
//
// Slots 0-14 keep the object's sprite on its drawing position and priority, but for:
//   kind 38 (jokidama)  5 lead-in, 6 the rolling ball, 7 end
//   kind 42 (fake)      6 its attack effect (kind 34's BASE_EFFECT), then state 0
//   kind 43 (factory)   every idle slot also places its three part objects; 6 produces a unit
//   kind 44 (generator) 6 shows its effects and produces a unit
//   kind 45 (Elebox)    5 lead-in, 6 the damage effect on the acting unit and the targets, 7 end
//   kind 51 (stand)     every slot keeps it snapped to its cell
// and slot 15 of every kind is ActMapObjDead (the factory and the generator add their event
// flags and free their objects).
//
// Handlers keep their step in unit.step (SetUnitState clears it) and their working records in
// Battle().map_objects by the unit's stage entry.

#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_unit_states_state.h"

struct SlgEffectTask;

// The kinds.
constexpr uint8_t kSlgKindJokidama = 38;
constexpr uint8_t kSlgKindFakeWakiji = 42;
constexpr uint8_t kSlgKindFactory = 43;
constexpr uint8_t kSlgKindGenerator = 44;
constexpr uint8_t kSlgKindElebox = 45;
constexpr uint8_t kSlgKindJokiStand = 51;
// The stage entry a factory or generator produces from: its own variant byte + 10.
constexpr int kSlgProducedEntryBase = 10;
// The factory's new unit walks out (4, 2) pixels a frame for 12 frames.
constexpr int kSlgFactoryWalkFrames = 12;
// The sound of a production (played at its start and when the new unit stands).
constexpr int kSlgFactorySe = 34;
// Event flags: a factory's death sets 427 + its variant, the generator's 131.
constexpr uint32_t kSlgFactoryDeadFlag = 427;
constexpr uint32_t kSlgGeneratorDeadFlag = 131;
// The jokidama's ball: a leg (one cell) takes this many frames, and it explodes after at most
// this many legs (every cell of the map once).
constexpr int kSlgBallLegFrames = 8;
constexpr int kSlgBallMaxLegs = 22 + 88;
// The explosion's depth.
constexpr int16_t kSlgExplosionDepth = -1084;

// The update functions (kind update table).
void ActJokidamaUnit(SlgUnit& unit, const SlgPair& screen);
void ActMapObjUnit(SlgUnit& unit, const SlgPair& screen);
void ActFakeWakijiUnit(SlgUnit& unit, const SlgPair& screen);
void ActWakijiFactoryUnit(SlgUnit& unit, const SlgPair& screen);
void ActKoumaGenUnit(SlgUnit& unit, const SlgPair& screen);
void ActDengekiBakoUnit(SlgUnit& unit, const SlgPair& screen);
void ActJokiStandUnit(SlgUnit& unit, const SlgPair& screen);

// The handler of a map-object kind's table for a state; null for another kind or a state above
// 15.
SlgStateHandler SlgMapObjStateHandler(uint32_t kind, uint32_t state);

// The handlers.
// Idle slots: the body on pos at the depth of the unit's map position.
void MapObjKeep(SlgUnit& unit, SlgPair& pos);
void FactoryIdle(SlgUnit& unit, SlgPair& pos);
// Factory state 6: step 0 creates the unit of entry variant + 10 at the factory (its order
// entry appended); 1 production pattern 1 and SE 34; 2 when it has ended the new unit walks
// (state 1); 3 it moves (4, 2) px a frame for 12 frames, then SE 34, state 0, snapped and on the
// grid, factory pattern 2; 4 when that has ended state 0. The variant's status byte goes 1, 2,
// 1, 0. Nothing is made (a trace, state 0) with 64 units, without that entry, or when the cell
// it would walk to is taken.
void FactoryProduce(SlgUnit& unit, SlgPair& pos);
// Factory state 15: on its first frame its slot into the first event unit reference, the acting
// unit's character byte into Battle().factory_destroyer (the maps' target lines name who
// destroyed it) and event flag 427 + variant; then ActMapObjDead; once the slot is dead its part
// objects are freed.
void FactoryDead(SlgUnit& unit, SlgPair& pos);
// Generator state 6: both effects shown and played once; when they have ended the unit of entry
// variant + 10 is created and placed where the entry puts it (refused as the factory's), the
// effects hidden, state 0.
void GeneratorProduce(SlgUnit& unit, SlgPair& pos);
// Generator state 15: ActMapObjDead; once the slot is dead its effect objects freed and event
// flag 131.
void GeneratorDead(SlgUnit& unit, SlgPair& pos);
// Fake wakiji state 6: kind 34's BASE_EFFECT (kept in the unit's ATTACK_EFFECT slot) played once
// on the second object; when it has ended the object hidden and state 0.
void FakeWakijiAttack(SlgUnit& unit, SlgPair& pos);
// Jokidama states 5 and 7: the core lead-in and end with body pattern 3 in every direction.
void JokidamaLeadIn(SlgUnit& unit, SlgPair& pos);
void JokidamaEnd(SlgUnit& unit, SlgPair& pos);
// Jokidama state 6: step 0 body pattern 2, the ball shown on the jokidama, SlgFlags bit 1; step
// 1 the ball rolls one cell a leg toward EnemyTarget's cell, the camera following, until it
// stands on a unit of side 0, on the target's cell, before a blocked cell or the map's edge, or
// after kSlgBallMaxLegs legs; then the ball hidden, the explosion made and body pattern 0; step
// 2 body pattern 3 once that has ended, state 7 once the explosion has ended.
void JokidamaRoll(SlgUnit& unit, SlgPair& pos);
// Elebox states 5 and 7: the core lead-in and end with body pattern 0 in every direction.
void EleboxLeadIn(SlgUnit& unit, SlgPair& pos);
void EleboxEnd(SlgUnit& unit, SlgPair& pos);
// Elebox state 6: step 0 the second object (pattern 2) on the acting unit, the body replayed,
// Elebox::StartDamageEffect, the effect-done byte 0; step 1 when the second object has ended
// the effect-done byte 1, state 7, the object freed.
void EleboxAttack(SlgUnit& unit, SlgPair& pos);
// Every joki-stand slot but 15: snapped to its cell, the body on pos; its next pattern (0 and 1
// in turn) when its animation has ended.
void JokiStandKeep(SlgUnit& unit, SlgPair& pos);

namespace Slg {
// The factory's own hide and show (Slg::HideUnit / ShowUnit of kind 43): while it is alive, the
// animations of its body and its three part objects are stopped / run again.
void HideFactory(SlgUnit& unit);
void ShowFactory(SlgUnit& unit);
}  // namespace Slg

namespace Elebox {
// "Elebox::DamageEffect" with one object (pattern 1) on the acting unit, traced "unitanm%d
// bank%d pos%d %d\n", then "Elebox::DamageEffect:<k>" for each target k with one object
// (pattern 0) on it, all one depth step in front of their unit and playing kind 45's
// BASE_EFFECT; stops at the first task not made. Returns the tasks made.
int StartDamageEffect(SlgUnit& box);
// The tasks' body: the object kept on its unit until the effect-done byte is 1 or the box has
// left state 6; then the object freed and the task ended.
void DamageEffect(SlgEffectTask* task);
}  // namespace Elebox
