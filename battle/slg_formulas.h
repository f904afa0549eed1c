#pragma once
// The battle's arithmetic: the trust level of a heroine and its bonus table, the stat refresh,
// the critical hit, the gauge refill, one action's power, damage, gain and recovery
// (CalcUnitAction), and the saved copy of the trust variables.
//
// The trust variables are the game's script variables (GetTrustVar, battle/slg_events.h); only
// the copy LoadTrustVars takes is the battle's (Battle().trust_save).

#include <array>
#include <cstdint>

struct SlgUnit;

// One row of the trust bonus table.
struct SlgTrustBonus {
  uint8_t attack, defence, move, critical, byte4, refill;
};
constexpr int kSlgTrustLevels = 36;
extern const std::array<SlgTrustBonus, kSlgTrustLevels> kTrustBonusTable;

// CalcUnitAction kinds.
constexpr int kSlgActPower = 5;      // the attacker's power
constexpr int kSlgActDamage = 9;     // damage to the target (its attack_type byte: the attacker)
constexpr int kSlgActRefill = 11;    // gauge refill of the unit
constexpr int kSlgActRecover = 12;   // recovery of the target (its attack_type byte: the healer)
constexpr int kSlgActCombined = 19;  // combination attack power

// 0-35: 0 for a unit not of side 0 and for the hero (character 0); else the character's trust
// variable - 32768, clamped.
int TrustLevel(const SlgUnit& unit);
// trust attack, defence and move := bytes 0-2 of the level's row.
void ApplyTrustBonus(SlgUnit& unit);
// 1 when (SlgRand() >> 3) mod 100 < the level's critical bonus + 15.
int IsCriticalHit(const SlgUnit& unit);
// The level's refill bonus + 20.
int KiaiRefill(int level);
// One step of an action's arithmetic (kinds above); returns the unit's trust level. Any other
// kind changes nothing.
int CalcUnitAction(SlgUnit& unit, int kind);

// The twelve trust variables into Battle().trust_save, and back.
void LoadTrustVars();
void SaveTrustVars();
// The variables, in the order of the copy.
extern const std::array<int, 12> kTrustSaveVars;

namespace Slg {
// ApplyTrustBonus, then CalcStatTotals.
void RecalcUnitStats(SlgUnit& unit);
}  // namespace Slg
