#pragma once
// The enemy and boss families' update functions and state tables (kinds 17-33, 36, 37, 48-50;
// the kind update table of battle/slg_unit_states.cpp names them). Each function runs its
// first-frame set-up while flag 0x400 is set (and clears it), then the slot of the unit's state
// in its own 16-slot table (an empty slot or a state past the table runs nothing), then the
// shadow by its family's rule:
//
//   kinds          function         table     shadow
//   17-19, 48-50   ActKoumaUnit     kouma     always (flag 0x40000 first hides the body)
//   20, 31, 32     ActKamuiUnit     kamui     while alive; then the kamui aura
//   21, 22         ActSamuraiUnit   samurai   always
//   23             ActSoukakuUnit   soukaku   while alive and the boss shadow switch is 1
//   24             ActGinkakuUnit   ginkaku   as 23
//   25             ActKujyakuUnit   kujyaku   as 23
//   26, 27         ActAmaterasUnit  amateras  as 23
//   28-30          ActBossUnit      boss      as 23 (its first frame sets the switch to 1)
//   33             ActSatanUnit     Satan     none (its attack and event code draw it)
//   36, 37         none: never updated
//
// Handlers keep their step in the body object's state byte, their waits in frames of the game
// clock. A unit without a body takes each handler's short road (the end state at once); an
// animation set that is not loaded counts as ended, so no handler waits on it for ever.

#include <cstdint>

#include "battle/slg_battle_state.h"
#include "battle/slg_unit_states_state.h"

// Event flags the families set.
constexpr uint32_t kSlgFlagBossBackToStand = 199;
constexpr uint32_t kSlgFlagSamuraiLeadIn = 197;
// Set by the story when the samurai boss has arrived: from then on a samurai at life 0 falls.
constexpr uint32_t kSlgFlagSamuraiFalls = 107;
constexpr uint32_t kSlgFlagGinkakuDefeated = 408;

// The family tables (each 16 slots).
enum class SlgFamily {
  kKouma, kKamui, kSamurai, kSoukaku, kGinkaku, kKujyaku, kAmateras, kBoss, kSatan
};
// The handler of a family's slot; null for an empty slot or a state past the table.
SlgStateHandler SlgFamilyStateHandler(SlgFamily family, uint32_t state);

// The per-kind update functions.
void ActKoumaUnit(SlgUnit& unit, const SlgPair& screen);
void ActKamuiUnit(SlgUnit& unit, const SlgPair& screen);
void ActSamuraiUnit(SlgUnit& unit, const SlgPair& screen);
void ActSoukakuUnit(SlgUnit& unit, const SlgPair& screen);
void ActGinkakuUnit(SlgUnit& unit, const SlgPair& screen);
void ActKujyakuUnit(SlgUnit& unit, const SlgPair& screen);
void ActAmaterasUnit(SlgUnit& unit, const SlgPair& screen);
void ActBossUnit(SlgUnit& unit, const SlgPair& screen);
void ActSatanUnit(SlgUnit& unit, const SlgPair& screen);

// ---- Kouma (hovering units) ----
// State 0: stay pattern (1, 0, 0, 1), start-stopped; each time the wait has passed it plays once
// and draws (random >> 4) & 255; facing 1 with bits 8-9 of a random number both 0 a play also
// starts the stay effect, when the previous play had ended.
void ActKoumaStayEffect(SlgUnit& unit, SlgPair& pos);
// State 1: take-off (stand pattern, the walk effect, the hover rising one pixel a frame until
// the animation ends), then the flight pattern (5, 4, 4, 5) at the kept hover.
void ActKoumaWalkEffect(SlgUnit& unit, SlgPair& pos);
// State 2: landing pattern (10, 11, 11, 10), the hover sinking one pixel a frame; at 0 with the
// landing animation ended, state 8.
void KoumaWalkEnd(SlgUnit& unit, SlgPair& pos);
// State 4: landing pattern at the kept hover; state 8 under SlgRouteWalking (landed at once),
// else state 2.
void KoumaWalkStop(SlgUnit& unit, SlgPair& pos);
// State 10: a hovering unit flies over a change of height: its lift becomes the cell ahead's and
// the walk goes on in flight.
void KoumaHeightChange(SlgUnit& unit, SlgPair& pos);
// State 9: Damaged with the kouma tables.
void KoumaHit(SlgUnit& unit, SlgPair& pos);
// The hover the kouma handlers keep for the unit's slot (pixels).
int32_t KoumaHover(const SlgUnit& unit);

// ---- Two-object handlers (kinds 20-32) ----
// States 0 and 8: the body and the family's extra objects play once, then replay after the
// shared wait ((random >> 16) & 0x1C0) + 1 drawn on entry; plus the low-life effect.
void TwoObjectStand(SlgUnit& unit, SlgPair& pos);
// States 2, 4 (and 8 of kinds 28-30): the stand patterns once on the body and the extra objects;
// state 8 when all have ended.
void TwoObjectWalkEnd(SlgUnit& unit, SlgPair& pos);
// State 10: UnitHeightChange with the second object kept on the body.
void TwoObjectHeightChange(SlgUnit& unit, SlgPair& pos);
// State 9: Damaged with the family's tables; event flag 199 once the unit is back in state 0.
void BossHit(SlgUnit& unit, SlgPair& pos);
// States 5 and 7 of kinds 23-30: the core lead-in and end with the family's stand patterns.
void BossLeadIn(SlgUnit& unit, SlgPair& pos);
void BossAttackEnd(SlgUnit& unit, SlgPair& pos);
// One frame of the kamui aura (ActKamuiUnit runs it after the handler).
void ActKamuiAura(SlgUnit& unit, const SlgPair& pos);

// ---- Samurai and Satan ----
// State 5: event flags 197 and 199, then the core lead-in.
void SamuraiLeadIn(SlgUnit& unit, SlgPair& pos);
// State 15: back to state 0 while event flag 107 is clear (a samurai cannot fall before the
// story lets it), else ActWakijiDead.
void SamuraiEnd(SlgUnit& unit, SlgPair& pos);
// State 6 of Satan: the Satan attack entry (Battle().satan_action); while it is empty the attack
// ends at once (EndEmptyAttack).
void SatanAttackEntry(SlgUnit& unit, SlgPair& pos);
// State 15 of ginkaku: event flag 408, then UnitStateSeqA.
void GinkakuEnd(SlgUnit& unit, SlgPair& pos);

// Frees the extra objects and low-life object the families hold for the unit (its slot and
// stage entry).
void FreeFamilyObjects(const SlgUnit& unit);
// The same for a unit leaving the battle (removed by an event or from the records), unless
// another live record came from the same stage entry (a production) and the objects are its.
void FreeFamilyObjectsOfLeaving(const SlgUnit& unit);
